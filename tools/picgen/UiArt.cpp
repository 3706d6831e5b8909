// The editor's other pictures: rows, palette, buttons, bars, the home
// screen and the question box. One look throughout: flat shapes with dark
// outlines, white and the accent blue, tabs in the accent blue where they
// hang from the accent frame. None carries words.
#include <cmath>
#include <stdexcept>

#include "Art.h"
#include "Digits.h"

namespace picgen {

using namespace style;
using namespace shape;

namespace {

constexpr int P = kPixelsPerPoint;

Image render(const Drawing& d) { return d.render(P); }

// A soft shadow under a shape: the same shape, dark and see-through, lower.
std::string shadowed(const std::string& shapeElement, float dy = 3.0f)
{
    return "<g transform=\"translate(0 " + num(dy) + ")\" opacity=\"0.22\">" + shapeElement + "</g>" + shapeElement;
}

// A round button: shadow, white rim, coloured face.
void roundButton(Drawing& d, float cx, float cy, float r, const std::string& face)
{
    d.add("<g transform=\"translate(0 3)\">" + circle(cx, cy, r - 1.5f, kShadow, "none", 0, 0.22f) + "</g>");
    d.add(circle(cx, cy, r - 1.5f, kWhite, kInk, 3));
    d.add(circle(cx, cy, r - 7.5f, face));
}

// A pill button, for wide buttons.
void pillButton(Drawing& d, float w, float h, const std::string& face, const std::string& rim)
{
    const float r = (h - 6) / 2;
    d.add("<g transform=\"translate(0 3)\">" + rect(3, 2, w - 6, h - 7, r, kShadow, "none", 0, 0.22f) + "</g>");
    d.add(rect(3, 2, w - 6, h - 7, r, face, rim, 3));
}

// ---- digit sheets -----------------------------------------------------------------

UiDrawing sheet(const std::string& glyphs, DigitStyle style)
{
    return [glyphs, style](Context& cx, float w, float h) {
        const int cells = static_cast<int>(glyphs.size());
        if (static_cast<int>(w) % cells != 0)
            throw std::runtime_error("a digit sheet's width must hold whole glyphs");
        return digitSheet(cx.text, glyphs, static_cast<int>(w) / cells * P, static_cast<int>(h) * P, style);
    };
}

// ---- field rows --------------------------------------------------------------------

// The slot a card snaps into; a card covers it but for a 5-point rim.
Image rowHead(Context&, float w, float h)
{
    Drawing d(w, h);
    d.add(rect(1.5f, 1.5f, w - 3, h - 3, 16, "#EEF9FD", "#BFE8F5", 3));
    d.add("<rect x=\"9\" y=\"9\" width=\"" + num(w - 18) + "\" height=\"" + num(h - 18) +
          "\" rx=\"11\" ry=\"11\" fill=\"none\" stroke=\"" + kAccent +
          "\" stroke-width=\"3\" stroke-dasharray=\"12 8\"/>");
    return render(d);
}

// The row number plate; plates stack with no gap, so each keeps a margin.
Image rowPlate(Context&, float w, float h)
{
    Drawing d(w, h);
    d.add(rect(3, 3, w - 6, h - 6, 12, "#BDEBF8", kAccent, 3));
    return render(d);
}

Image smallButton(Context& cx, float w, float h, const std::string& face, const char* icon)
{
    Drawing d(w, h);
    const float r = std::min(w, h) / 2;
    d.add(circle(w / 2, h / 2, r - 1, kWhite));
    d.add(circle(w / 2, h / 2, r - 3, face));
    d.put(cx.art[icon], w / 2, h / 2, Place::scaled((r - 3) * 2 / 48 * 0.95f));
    return render(d);
}

Image flipCorner(Context& cx, float w, float h)
{
    Drawing d(w, h);
    d.put(cx.art["page_curl"], w / 2, h / 2, Place::scaled(w / 36));
    return render(d);
}

Image entryBox(Context&, float w, float h)
{
    Drawing d(w, h);
    d.add(rect(2, 2, w - 4, h - 4, 10, kWhite, kAccentDeep, 3));
    return render(d);
}

// ---- palette ----------------------------------------------------------------------

Image badge(Context&, float w, float h)
{
    Drawing d(w, h);
    const float r = std::min(w, h) / 2 - 2;
    d.add("<g transform=\"translate(0 1.5)\">" + circle(w / 2, h / 2, r, kShadow, "none", 0, 0.25f) + "</g>");
    d.add(circle(w / 2, h / 2, r, kAccentDeep, kWhite, 3));
    return render(d);
}

// Card-set tabs: the chosen one white, the others faded into the accent strip.
UiDrawing tab(const std::string& what, bool on)
{
    return [what, on](Context& cx, float w, float h) {
        Drawing icon(w, h);
        if (what == "basic") {
            icon.put(cx.art["led"], w / 2, h / 2, Place::scaled(0.38f));
        } else if (what == "paprika") {
            Place p = Place::turned(90);
            p.scale = 0.5f;
            icon.put(cx.art["car"], w / 2, h / 2 + 1, p);
        } else {
            icon.put(cx.art["cards_fan"], w / 2, h / 2, Place::scaled(0.8f));
        }
        Drawing back(w, h);
        if (on)
            back.add(rect(2, 2, w - 4, h - 4, 12, kWhite, kAccentDeep, 3));
        else
            back.add(rect(2, 2, w - 4, h - 4, 12, "#A9E5F5", "#8ED9EF", 2));
        Image img = render(back);
        img.draw(render(icon), 0, 0, on ? 1.0f : 0.55f);
        return img;
    };
}

UiDrawing pageButton(bool up)
{
    return [up](Context& cx, float w, float h) {
        Drawing d(w, h);
        d.add(rect(2, 2, w - 4, h - 4, (h - 4) / 2, kAccentDeep, kWhite, 2));
        Place p = Place::scaled((h - 8) / 24);
        p.rotate = up ? 0 : 180;
        d.put(cx.art["icon_chevron"], w / 2, h / 2, p);
        return render(d);
    };
}

UiDrawing trash(bool open)
{
    return [open](Context& cx, float w, float h) {
        Drawing d(w, h);
        // A pale disc behind it marks the place to drop a card.
        d.add(circle(w / 2, h / 2 + 2, std::min(w, h) / 2 - 2, open ? "#FFE1E0" : kAccentPale, open ? kHalt : kAccent, 3));
        d.put(cx.art[open ? "icon_trash_open" : "icon_trash"], w / 2, h / 2 + 3, Place::scaled(std::min(w, h) * 0.72f / 68));
        return render(d);
    };
}

// ---- run controls -----------------------------------------------------------------

// Tabs that hang from the accent frame: only the corners inside the
// picture are rounded, the others lie beyond its edges.
Image frameTab(float w, float h, bool roundTop, bool roundBottom)
{
    Drawing d(w, h);
    const float r = 26;
    const float y = roundTop ? 0 : -r, bottom = roundBottom ? h : h + r;
    d.add(rect(0, y, w + r, bottom - y, r, kAccent));
    return render(d);
}

Image player(Context&, float w, float h) { return frameTab(w, h, true, true); }
Image recordBack(Context&, float w, float h) { return frameTab(w, h, false, true); }
Image settingBack(Context&, float w, float h) { return frameTab(w, h, true, false); }

UiDrawing bigButton(const std::string& face, const char* icon, float iconScale)
{
    return [face, icon, iconScale](Context& cx, float w, float h) {
        Drawing d(w, h);
        const float r = std::min(w, h) / 2 - 2;
        roundButton(d, w / 2, h / 2 - 1, r, face);
        d.put(cx.art[icon], w / 2 + (std::string(icon) == "icon_play" ? r * 0.08f : 0.0f), h / 2 - 1,
              Place::scaled(r * iconScale / 24));
        return render(d);
    };
}

// Dialect buttons: the chosen dialect shows its picture brightly; the plain
// version is faded, as the one already in use.
UiDrawing dialectButton(const char* icon, bool on)
{
    return [icon, on](Context& cx, float w, float h) {
        Drawing d(w, h);
        const float r = std::min(w, h) / 2 - 2;
        d.add("<g transform=\"translate(0 3)\">" + circle(w / 2, h / 2 - 1, r - 1.5f, kShadow, "none", 0, 0.22f) + "</g>");
        d.add(circle(w / 2, h / 2 - 1, r - 1.5f, on ? kWhite : "#E9EEF2", on ? kAccentDeep : "#B7C4CE", on ? 5 : 3));
        Image img = render(d);
        Drawing pic(w, h);
        pic.put(cx.art[icon], w / 2, h / 2 - 1, Place::scaled(r * 1.45f / 48));
        img.draw(render(pic), 0, 0, on ? 1.0f : 0.45f);
        return img;
    };
}

// Eight dots; the engine turns it by 45 degrees a step, so each step moves
// the bright head on by one dot.
Image spinner(Context&, float w, float h)
{
    Drawing d(w, h);
    const float R = std::min(w, h) / 2 - 12;
    for (int i = 0; i < 8; ++i) {
        const float a = -90.0f + 45.0f * static_cast<float>(i);
        const float x = w / 2 + R * std::cos(a * 3.14159265f / 180), y = h / 2 + R * std::sin(a * 3.14159265f / 180);
        const float size = 10.0f - static_cast<float>(i) * 0.7f;
        d.add(circle(x, y, size, kWhite, kAccentDeep, 2.5f, 1.0f - static_cast<float>(i) * 0.1f));
    }
    return render(d);
}

Image record(Context& cx, float w, float h)
{
    Drawing d(w, h);
    d.add(shadowed(rect(3, 3, w - 6, h - 8, 18, kAccentDeep, kInk, 3)));
    d.put(cx.art["icon_home"], w / 2, h / 2 - 1, Place::scaled((h - 18) / 48));
    return render(d);
}

// ---- settings bar ----------------------------------------------------------------------

Image port(Context& cx, float w, float h)
{
    Drawing d(w, h);
    d.add(circle(w / 2, h / 2, std::min(w, h) / 2 - 2, kWhite, kInk, 2.5f));
    d.put(cx.art["icon_plug"], w / 2, h / 2, Place::scaled(std::min(w, h) * 0.7f / 48));
    return render(d);
}

Image portField(Context&, float w, float h)
{
    Drawing d(w, h);
    d.add(rect(2, 2, w - 4, h - 4, (h - 4) / 2, kWhite, kAccentDeep, 2.5f));
    return render(d);
}

Image reload(Context& cx, float w, float h)
{
    Drawing d(w, h);
    d.add(circle(w / 2, h / 2, std::min(w, h) / 2 - 1.5f, kWhite, kAccentDeep, 2));
    d.put(cx.art["icon_reload"], w / 2, h / 2, Place::scaled(std::min(w, h) * 0.8f / 48));
    return render(d);
}

Image setting(Context& cx, float w, float h)
{
    Drawing d(w, h);
    const float r = std::min(w, h) / 2 - 2;
    d.add(shadowed(circle(w / 2, h / 2 - 1, r - 1, kWhite, kInk, 2.5f), 2.5f));
    d.put(cx.art["icon_gear"], w / 2, h / 2 - 1, Place::scaled(r * 1.5f / 48));
    return render(d);
}

// A rounded badge over a soft shadow: filled with the deep accent and white
// rimmed to stand off the accent strip, or plain white like the reload icon.
void barBadge(Drawing& d, float w, float h, bool filled)
{
    const float r = 14;
    d.add("<g transform=\"translate(0 2.5)\">" + rect(2.5f, 2, w - 5, h - 6.5f, r, kShadow, "none", 0, 0.22f) + "</g>");
    d.add(rect(2.5f, 2, w - 5, h - 6.5f, r, filled ? kAccentDeep : kWhite, filled ? kWhite : kAccentDeep, filled ? 3 : 2.5f));
}

// The typing pace: a badge the size of a bar button. The fast pace is the
// one to notice, so it is the filled badge; the normal pace sits plain.
UiDrawing paceButton(const char* animal, bool fast)
{
    return [animal, fast](Context& cx, float w, float h) {
        Drawing d(w, h);
        barBadge(d, w, h, fast);
        const Pictogram& pic = cx.art[animal];
        d.put(pic, w / 2, h / 2 - 2.25f, Place::scaled(std::min((w - 14) / pic.w, (h - 16) / pic.h)));
        return render(d);
    };
}

// Undo and redo: one arrow, mirrored for redo. The editor dims a button
// when there is nothing to take back, so each needs one picture only.
UiDrawing historyButton(bool redo)
{
    return [redo](Context& cx, float w, float h) {
        Drawing d(w, h);
        barBadge(d, w, h, true);
        Place p = Place::scaled((std::min(w, h) - 24) / 48);
        p.mirror = redo;
        // The centre of the badge's face, which stands above its shadow.
        d.put(cx.art["icon_undo"], w / 2, h / 2 - 1.25f, p);
        return render(d);
    };
}

// Zooming the field: a magnifying glass with a minus, a plus, or a card
// at its own size in the lens.
UiDrawing zoomButton(const char* sign)
{
    return [sign = std::string(sign)](Context& cx, float w, float h) {
        Drawing d(w, h);
        barBadge(d, w, h, true);
        const float s = (std::min(w, h) - 20) / 48;
        const float left = (w - 48 * s) / 2, top = (h - 48 * s) / 2 - 1.25f;
        d.put(cx.art["icon_zoom"], w / 2, h / 2 - 1.25f, Place::scaled(s));
        // The lens's centre, in the picture's points.
        const float cx0 = left + 20 * s, cy0 = top + 20 * s, arm = 7 * s;
        std::string path;
        if (sign != "full") path += "M" + num(cx0 - arm) + " " + num(cy0) + " H" + num(cx0 + arm);
        if (sign == "in") path += " M" + num(cx0) + " " + num(cy0 - arm) + " V" + num(cy0 + arm);
        if (sign == "full")
            d.add(rect(cx0 - 5.5f * s, cy0 - 5.5f * s, 11 * s, 11 * s, 1.5f * s, "none", kWhite, 3 * s));
        else
            d.add("<path d=\"" + path + "\" fill=\"none\" stroke=\"" + kWhite + "\" stroke-width=\"" + num(4 * s) +
                  "\" stroke-linecap=\"round\"/>");
        return render(d);
    };
}

// ---- home screen --------------------------------------------------------------------------

// Start a new program: an empty field with a big plus. Also stands in for a
// saved program whose thumbnail is missing.
Image recordBeginning(Context& cx, float w, float h)
{
    Drawing d(w, h);
    d.add(shadowed(rect(4, 4, w - 8, h - 10, 28, kWhite, kInk, 3), 5));
    // Three empty rows of the field.
    for (int i = 0; i < 3; ++i) {
        const float y = 40 + static_cast<float>(i) * 76;
        d.add(rect(34, y, 36, 60, 8, "#BDEBF8", kAccent, 2));
        d.add("<rect x=\"80\" y=\"" + num(y) + "\" width=\"" + num(w - 116) +
              "\" height=\"60\" rx=\"9\" ry=\"9\" fill=\"#EEF9FD\" stroke=\"" + kAccent +
              "\" stroke-width=\"2.5\" stroke-dasharray=\"10 7\"/>");
    }
    roundButton(d, w / 2, h / 2, 62, kAccentDeep);
    d.put(cx.art["icon_plus"], w / 2, h / 2, Place::scaled(1.9f));
    return render(d);
}

// The home row's last card while the bin holds programs: the bin itself,
// and the card that leads back out of it to the programs.
UiDrawing recordSign(const char* icon, const std::string& face)
{
    return [icon = std::string(icon), face](Context& cx, float w, float h) {
        Drawing d(w, h);
        d.add(shadowed(rect(4, 4, w - 8, h - 10, 28, "#EEF9FD", kAccent, 3), 5));
        if (icon == "icon_trash") {
            const Pictogram& bin = cx.art[icon];
            d.put(bin, w / 2, h / 2, Place::scaled(std::min((w - 110) / bin.w, (h - 110) / bin.h)));
        } else {
            roundButton(d, w / 2, h / 2, 70, face);
            d.put(cx.art[icon], w / 2, h / 2, Place::scaled(2.1f));
        }
        return render(d);
    };
}

// A home-screen control over the row: a badge like the editor's bar buttons.
UiDrawing homeBadge(const char* icon)
{
    return [icon](Context& cx, float w, float h) {
        Drawing d(w, h);
        barBadge(d, w, h, true);
        d.put(cx.art[icon], w / 2, h / 2 - 1.25f, Place::scaled((std::min(w, h) - 26) / 48));
        return render(d);
    };
}

// Marks a saved program for deletion: a red frame and a ticked badge.
Image recordSelected(Context& cx, float w, float h)
{
    Drawing d(w, h);
    d.add(rect(6, 6, w - 12, h - 12, 30, kWhite, "none", 0, 0.3f));
    d.add(rect(6, 6, w - 12, h - 12, 30, "none", kWhite, 12));
    d.add(rect(6, 6, w - 12, h - 12, 30, "none", kHalt, 6));
    roundButton(d, w - 36, 36, 30, kHalt);
    d.put(cx.art["icon_check"], w - 36, 36, Place::scaled(0.85f));
    return render(d);
}

Image saveEntryBack(Context& cx, float w, float h)
{
    Drawing d(w, h);
    d.add(shadowed(rect(4, 4, w - 8, h - 10, 24, kWhite, kAccentDeep, 5), 4));
    // A faint line under where the title is typed.
    d.add(line("M36 " + num(h / 2 + 24) + " H" + num(w - 36), "#CFEFF8", 4));
    d.put(cx.art["pencil"], w - 40, h - 42, Place::scaled(0.9f));
    return render(d);
}

UiDrawing pill(const std::string& face, const std::string& rim, const char* icon, const std::string& iconColour)
{
    return [face, rim, icon, iconColour](Context& cx, float w, float h) {
        Drawing d(w, h);
        pillButton(d, w, h, face, rim);
        Place p = Place::scaled((h - 14) / 48);
        if (iconColour != kWhite)
            p.recolor = {{"#FFFFFF", iconColour}};
        d.put(cx.art[icon], w / 2, h / 2 - 2, p);
        return render(d);
    };
}

Image deleteButton(Context& cx, float w, float h)
{
    Drawing d(w, h);
    pillButton(d, w, h, kHalt, kInk);
    Place p = Place::scaled((h - 22) / 68);
    p.recolor = {{"#B8C6D1", kWhite}, {"#D5DEE5", kWhite}, {"#7D8F9E", kHalt}};
    d.put(cx.art["icon_trash"], w / 2, h / 2 - 2, p);
    return render(d);
}

// ---- question box --------------------------------------------------------------------

Image alertWindow(Context&, float w, float h)
{
    Drawing d(w, h);
    d.add(shadowed(rect(5, 5, w - 10, h - 14, 36, "#FFE4EF", "#EE5C9C", 6), 6));
    d.add(rect(16, 16, w - 32, h - 36, 26, "none", kWhite, 3, 0.8f));
    return render(d);
}

// ---- simulated board ------------------------------------------------------------------

// The panel the simulated board is shown in: a white card in the accent frame.
// Closes the simulated board's panel: a white round button with a cross.
Image simClose(Context& cx, float w, float h)
{
    Drawing d(w, h);
    roundButton(d, w / 2, h / 2 - 1.5f, std::min(w, h) / 2 - 1.5f, kWhite);
    Place p = Place::scaled((std::min(w, h) - 30) / 48);
    p.recolor = {{"#FFFFFF", kInk}};
    d.put(cx.art["icon_cross"], w / 2, h / 2 - 1.5f, p);
    return render(d);
}

Image simPanel(Context&, float w, float h)
{
    Drawing d(w, h);
    d.add(shadowed(rect(4, 4, w - 8, h - 10, 26, kWhite, kAccentDeep, 5), 4));
    return render(d);
}

// The floor the car drives on: a pale grid inside a dark rim. The engine
// clips the car to the inside of the rim.
Image simFloor(Context&, float w, float h)
{
    Drawing d(w, h);
    const float cell = 25, rim = 4;
    d.add(rect(rim / 2, rim / 2, w - rim, h - rim, 7, "#F1F9FC"));
    std::string grid;
    for (float x = cell; x < w - rim; x += cell)
        grid += "M" + num(x) + " " + num(rim) + " V" + num(h - rim) + " ";
    for (float y = cell; y < h - rim; y += cell)
        grid += "M" + num(rim) + " " + num(y) + " H" + num(w - rim) + " ";
    d.add(path(grid, "none", "#D3ECF5", 2));
    d.add(rect(rim / 2, rim / 2, w - rim, h - rim, 7, "none", kInk, rim));
    return render(d);
}

Image simCar(Context& cx, float w, float h)
{
    Drawing d(w, h);
    d.put(cx.art["robot_car"], w / 2, h / 2, Place::scaled(std::min(w, h) / 70));
    return render(d);
}

// The board's LED, as on the light cards: glowing yellow when lit, grey when not.
UiDrawing simLed(bool on)
{
    return [on](Context& cx, float w, float h) {
        Drawing d(w, h);
        const float s = 0.8f, cy = h / 2 + 4;
        // led_glow is drawn for a card whose dome centre is at (100, 33);
        // the dome of led.svg sits 19 units above its centre.
        if (on)
            d.put(cx.art["led_glow"], w / 2, cy - 19 * s + 17 * 0.75f, Place::scaled(0.75f));
        Place p = Place::scaled(s);
        if (!on)
            p.recolor = {{"#FFD21F", kUnlit}};
        d.put(cx.art["led"], w / 2, cy, p);
        return render(d);
    };
}

// One output: a bulb over a teal plate that carries the output's number.
UiDrawing simLamp(bool on)
{
    return [on](Context& cx, float w, float h) {
        Drawing d(w, h);
        const float s = 0.7f, cy = 30;
        if (on)
            d.put(cx.art["lamp_rays"], w / 2, cy, Place::scaled(s));
        Place bulb = Place::scaled(s);
        if (!on)
            bulb.recolor = {{"#FFD21F", "#E4E9ED"}, {"#E07B00", "#A8B2BA"}};
        d.put(cx.art["lamp"], w / 2, cy, bulb);
        d.add(rect(w / 2 - 16, h - 24, 32, 22, 8, kPins.colour, kInk, 2.5f));
        return render(d);
    };
}

// The robot whose arms are the two servos; the arms are separate pictures
// the engine turns about the shoulders, (-30, 7) and (30, 7) from the
// centre. Behind each shoulder, the track of the hand and its three stops.
Image simRobot(Context& cx, float w, float h)
{
    Drawing d(w, h);
    const float rx = w / 2, ry = h / 2 - 5;
    const float r = 37;
    for (bool left : {true, false}) {
        const float sx = rx + (left ? -30.0f : 30.0f), sy = ry + 7;
        const float dir = left ? 1.0f : -1.0f;
        d.add(line(arc(sx, sy, r, 90, left ? 270.0f : -90.0f), kArm.colour, 9, 0.25f));
        for (float stop : {0.0f, 90.0f, 180.0f}) {
            const float a = (90 + dir * stop) * 3.14159265f / 180;
            d.add(circle(sx + r * std::cos(a), sy + r * std::sin(a), 3.5f, kArm.deep));
        }
    }
    // Number plates for the servos' pins, as the lamps have for theirs.
    for (float px : {13.0f, w - 13})
        d.add(rect(px - 13, h - 25, 26, 22, 8, kArm.colour, kInk, 2.5f));
    d.put(cx.art["robot"], rx, ry);
    return render(d);
}

UiDrawing simArm(bool active)
{
    return [active](Context& cx, float w, float h) {
        Drawing d(w, h);
        Place p = Place::scaled(std::min(w, h) / 72 * 0.98f);
        if (!active)
            p.recolor = {{"#9A5AD6", "#B9C2CA"}};
        d.put(cx.art["arm"], w / 2, h / 2, p);
        return render(d);
    };
}

// The beeper: a loudspeaker, and its sound waves as a second picture of the
// same size laid over it while a beep sounds.
UiDrawing simSpeaker(bool waves)
{
    return [waves](Context&, float w, float h) {
        Drawing d(w, h);
        const float cy = h / 2, bx = 6;
        if (!waves) {
            d.add(rect(bx, cy - 13, 18, 26, 3, kSound.colour, kInk, 3));
            d.add(path("M" + num(bx + 17) + " " + num(cy - 13) + " L" + num(bx + 39) + " " + num(cy - 29) + " V" +
                           num(cy + 29) + " L" + num(bx + 17) + " " + num(cy + 13) + " Z",
                       "#F7A1C6", kInk, 3));
        } else {
            const float ox = bx + 40;
            for (float r : {10.0f, 19.0f, 28.0f})
                d.add(line(arc(ox, cy, r, -48, 48), kSound.deep, 5.5f));
        }
        return render(d);
    };
}

// The board's screen: white text on black, in a dark bezel.
Image simScreen(Context&, float w, float h)
{
    Drawing d(w, h);
    d.add(rect(1.5f, 1.5f, w - 3, h - 3, 12, kInk, "#1A2329", 3));
    d.add(rect(7, 7, w - 14, h - 14, 6, kScreen));
    return render(d);
}

// The board's words: a card edged in the stop colour with a round "!"
// badge at its top left; the sentence is the editor's text beside it.
Image boardNote(Context&, float w, float h)
{
    Drawing d(w, h);
    d.add(shadowed(rect(4, 4, w - 8, h - 10, 18, kWhite, kHalt, 5), 4));
    const float cx = 34, cy = 34;
    d.add(circle(cx, cy, 20, kHalt));
    d.add(rect(cx - 3.5f, cy - 13, 7, 17, 3.5f, kWhite));
    d.add(circle(cx, cy + 10, 4, kWhite));
    return render(d);
}

} // namespace

const std::map<std::string, UiDrawing>& uiPictures()
{
    static const std::map<std::string, UiDrawing> pictures = {
        {"res/r_input_num_jam_l.png", sheet(kNumberGlyphs, DigitStyle::Rounded)},
        {"res/r_input_num_latte_l.png", sheet(kNumberGlyphs, DigitStyle::Pixel)},
        {"res/r_input_num_jam_s.png", sheet(kNumberGlyphs, DigitStyle::Rounded)},
        {"res/r_field_num.png", sheet(kRowGlyphs, DigitStyle::Dark)},
        {"res/r_field_num_w.png", sheet(kRowGlyphs, DigitStyle::Light)},

        {"res/r_field.png", rowHead},
        {"res/r_field_no.png", rowPlate},
        {"res/r_btn_add.png", [](Context& cx, float w, float h) { return smallButton(cx, w, h, kAccentDeep, "icon_plus"); }},
        {"res/r_btn_delete.png", [](Context& cx, float w, float h) { return smallButton(cx, w, h, kHalt, "icon_minus"); }},
        {"res/r_card_flick.png", flipCorner},
        {"res/r_empty.png", entryBox},

        {"res/r_card_num.png", badge},
        {"res/cards/r_basic_on.png", tab("basic", true)},
        {"res/cards/r_basic_off.png", tab("basic", false)},
        {"res/cards/r_paprika_on.png", tab("paprika", true)},
        {"res/cards/r_paprika_off.png", tab("paprika", false)},
        {"res/cards/r_full_on.png", tab("full", true)},
        {"res/cards/r_full_off.png", tab("full", false)},
        {"res/menuup.png", pageButton(true)},
        {"res/menudown.png", pageButton(false)},
        {"res/r_card_clean.png", trash(false)},
        {"res/r_card_clean_on.png", trash(true)},

        {"res/r_player.png", player},
        {"res/r_play.png", bigButton(kGo, "icon_play", 0.95f)},
        {"res/r_stop.png", bigButton(kHalt, "icon_stop", 0.95f)},
        {"res/r_to_jam.png", dialectButton("jar", false)},
        {"res/r_to_jam_on.png", dialectButton("jar", true)},
        {"res/r_to_latte.png", dialectButton("latte", false)},
        {"res/r_to_latte_on.png", dialectButton("latte", true)},
        {"res/r_to_que.png", dialectButton("que", false)},
        {"res/r_to_que_on.png", dialectButton("que", true)},
        {"res/r_loading.png", spinner},
        {"res/r_record_back.png", recordBack},
        {"res/r_record.png", record},

        {"res/r_port.png", port},
        {"res/r_port_input.png", portField},
        {"res/r_reload.png", reload},
        {"res/r_setting_back1.png", settingBack},
        {"res/r_setting.png", setting},
        {"res/r_pace_fast.png", paceButton("hare", true)},
        {"res/r_pace_normal.png", paceButton("tortoise", false)},
        {"res/r_doctor.png", paceButton("stethoscope", false)},
        {"res/r_undo.png", historyButton(false)},
        {"res/r_redo.png", historyButton(true)},
        {"res/r_zoom_out.png", zoomButton("out")},
        {"res/r_zoom_in.png", zoomButton("in")},
        {"res/r_zoom_full.png", zoomButton("full")},

        {"res/r_record_beginning.png", recordBeginning},
        {"res/r_record_selected.png", recordSelected},
        {"res/r_save_entry_back.png", saveEntryBack},
        {"res/r_recode_clean.png", deleteButton},
        {"res/r_recode_clean_cancel.png", pill(kWhite, kInk, "icon_cross", kInk)},
        {"res/r_recode_copy.png", pill(kAccentDeep, kInk, "icon_copy", kWhite)},
        {"res/r_recode_export.png", pill(kAccentDeep, kInk, "icon_export", kWhite)},
        {"res/r_record_bin.png", recordSign("icon_trash", kAccentDeep)},
        {"res/r_record_leave_bin.png", recordSign("icon_home", kAccentDeep)},
        {"res/r_home_import.png", homeBadge("icon_import")},

        {"res/alert_window_pink.png", alertWindow},
        {"res/alert_window_ok.png", pill(kGo, kInk, "icon_check", kWhite)},
        {"res/alert_window_cancel.png", pill(kWhite, kInk, "icon_cross", kInk)},

        {"res/r_sim_panel.png", simPanel},
        {"res/r_sim_close.png", simClose},
        {"res/r_sim_floor.png", simFloor},
        {"res/r_sim_car.png", simCar},
        {"res/r_sim_led_on.png", simLed(true)},
        {"res/r_sim_led_off.png", simLed(false)},
        {"res/r_sim_lamp_on.png", simLamp(true)},
        {"res/r_sim_lamp_off.png", simLamp(false)},
        {"res/r_sim_robot.png", simRobot},
        {"res/r_sim_arm.png", simArm(true)},
        {"res/r_sim_arm_idle.png", simArm(false)},
        {"res/r_sim_speaker.png", simSpeaker(false)},
        {"res/r_sim_waves.png", simSpeaker(true)},
        {"res/r_sim_screen.png", simScreen},
        {"res/r_board_screen_panel.png", simPanel},
        {"res/r_board_note.png", boardNote},
    };
    return pictures;
}

} // namespace picgen
