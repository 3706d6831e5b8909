// Card picture faces. Where a card's effect is a number in the catalogue (the
// wheels a car output drives, the servo angle, the pin, the seconds), the
// picture is worked out from the card's own code, so the two cannot drift.
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "Art.h"
#include "Digits.h"
#include "cards/CardCatalog.h"

namespace picgen {

using namespace style;
using namespace shape;

namespace {

// ---- reading the card's own code -------------------------------------------

// Operand `word` (0 = opcode, 1..3 = A, B, C) of instruction `n` of a que record.
int queWord(CardKind card, int n, int word)
{
    const auto bytes = CardCatalog::cardCode(card, DIALECT_QUE).bytes;
    size_t at = static_cast<size_t>(n) * 8 + static_cast<size_t>(word) * 2;
    if (at + 1 >= bytes.size())
        throw std::runtime_error("card " + CardCatalog::picturePath(card) + " has no instruction word " +
                                 std::to_string(word));
    return bytes[at] | (bytes[at + 1] << 8);
}

void expectOpcode(CardKind card, int opcode)
{
    if (queWord(card, 0, 0) != opcode)
        throw std::runtime_error("card " + CardCatalog::picturePath(card) + " does not do what its picture shows");
}

// ---- shapes -------------------------------------------------------------------

float rad(float deg) { return deg * static_cast<float>(std::numbers::pi) / 180.0f; }

// A filled arrowhead with its tip at (x, y), pointing along `deg`.
std::string arrowHead(float x, float y, float deg, float length, float halfWidth, const std::string& colour)
{
    float dx = std::cos(rad(deg)), dy = std::sin(rad(deg));
    float bx = x - dx * length, by = y - dy * length;
    float nx = -dy * halfWidth, ny = dx * halfWidth;
    return path("M" + num(x) + " " + num(y) + " L" + num(bx + nx) + " " + num(by + ny) + " L" + num(bx - nx) +
                    " " + num(by - ny) + " Z",
                colour, colour, 2.0f);
}

// A straight arrow from (x0, y0) to its tip at (x1, y1).
std::string straightArrow(float x0, float y0, float x1, float y1, float width, const std::string& colour)
{
    float len = std::hypot(x1 - x0, y1 - y0);
    float dx = (x1 - x0) / len, dy = (y1 - y0) / len;
    float head = width * 2.1f;
    float deg = std::atan2(dy, dx) * 180.0f / static_cast<float>(std::numbers::pi);
    return line("M" + num(x0) + " " + num(y0) + " L" + num(x1 - dx * head * 0.8f) + " " + num(y1 - dy * head * 0.8f),
                colour, width) +
           arrowHead(x1, y1, deg, head, width * 1.35f, colour);
}

// An arrow along a circle from angle a0 to a1 (degrees, clockwise on
// screen), its tip at a1.
std::string arcArrow(float cx, float cy, float r, float a0, float a1, float width, const std::string& colour)
{
    const float sign = a1 > a0 ? 1.0f : -1.0f;
    const float head = width * 2.1f;
    const float headDeg = head / r * 180.0f / static_cast<float>(std::numbers::pi);
    // The head lies along the chord from where the stroke ends to the tip,
    // so it follows the curve.
    const float baseA = a1 - sign * headDeg;
    const float tipX = cx + r * std::cos(rad(a1)), tipY = cy + r * std::sin(rad(a1));
    const float baseX = cx + r * std::cos(rad(baseA)), baseY = cy + r * std::sin(rad(baseA));
    const float dir = std::atan2(tipY - baseY, tipX - baseX) * 180.0f / static_cast<float>(std::numbers::pi);
    return line(arc(cx, cy, r, a0, baseA + sign * headDeg * 0.15f), colour, width) +
           arrowHead(tipX, tipY, dir, std::hypot(tipX - baseX, tipY - baseY), width * 1.35f, colour);
}

// The slot a number sits in (time and repeat cards).
std::string numberSlot(const Category& c, float cx, float cy, float w, float h)
{
    return rect(cx - w / 2, cy - h / 2, w, h, 9, c.colour, c.deep, 2.5f);
}

Image render(const Drawing& d) { return d.render(kPixelsPerPoint); }

// ---- light -----------------------------------------------------------------------

Image led(Context& cx, CardKind card)
{
    expectOpcode(card, 1);
    bool on = queWord(card, 0, 1) != 0;
    Drawing d = cardFrame(kLight);
    if (on)
        d.put(cx.art["led_glow"], 100, 50);
    Place p;
    if (!on)
        p.recolor = {{"#FFD21F", kUnlit}};
    d.put(cx.art["led"], 100, 52, p);
    return render(d);
}

// ---- time ------------------------------------------------------------------------

constexpr float kWatchX = 41, kWatchY = 56;  // the stopwatch's face centre

// The empty slot of a number card: around its first input rectangle, where
// the big typed digits land (offset from the card's centre, y up).
std::string typedNumberSlot(const Category& c, CardKind card)
{
    const auto rects = CardCatalog::inputRects(card, DIALECT_JAM);
    if (rects.empty())
        throw std::runtime_error(CardCatalog::picturePath(card) + " takes a number but has no input rectangle");
    const engine::Rect& r = rects[0];
    return numberSlot(c, kCardWidth / 2 + r.origin.x, kCardHeight / 2 - r.origin.y, r.size.width + 6,
                      r.size.height + 8);
}

Image wait(Context& cx, CardKind card)
{
    expectOpcode(card, 4);
    const CardCode jam = CardCatalog::cardCode(card, DIALECT_JAM);
    const bool any = jam.kind == 1;
    // Ticks of 1/60 s in the que instruction.
    const int seconds = any ? 0 : queWord(card, 0, 1) / 60;
    Drawing d = cardFrame(kTime);
    d.put(cx.art["stopwatch"], kWatchX, kWatchY - 6);
    // A longer wait sweeps a bigger part of the face.
    float end = -90.0f + std::min(18.0f * static_cast<float>(seconds), 300.0f);
    if (seconds > 0)
        d.add(path(pie(kWatchX, kWatchY, 21, -90, end), kTime.colour, "none", 0, 0.55f));
    float hx = kWatchX + 19 * std::cos(rad(end)), hy = kWatchY + 19 * std::sin(rad(end));
    d.add(line("M" + num(kWatchX) + " " + num(kWatchY) + " L" + num(hx) + " " + num(hy), kInk, 4));
    d.add(circle(kWatchX, kWatchY, 4, kInk));
    if (any) {
        // The empty slot where the typed seconds land, and a pencil: "you
        // write the number here".
        d.add(typedNumberSlot(kTime, card));
        d.put(cx.art["pencil"], 160, 52);
        return render(d);
    }
    // A fixed wait shows its seconds big.
    d.add(numberSlot(kTime, 124, 54, 84, 58));
    Image img = render(d);
    stampNumber(img, cx, std::to_string(seconds), 124, 54, 76, 48);
    return img;
}

// ---- repeat -----------------------------------------------------------------------

enum class LoopCount { Forever, Three, Five, Any };

constexpr float kBracketX = 24;

void loopCount(Drawing& d, LoopCount count, CardKind card, float x, float y, float scale)
{
    switch (count) {
    case LoopCount::Forever: {
        // The infinity sign, thick, in the deep green.
        const float w = 34 * scale, h = 15 * scale;
        std::string p = "M" + num(x) + " " + num(y) + " C" + num(x - w * 0.35f) + " " + num(y - h) + " " +
                        num(x - w) + " " + num(y - h) + " " + num(x - w) + " " + num(y) + " C" + num(x - w) + " " +
                        num(y + h) + " " + num(x - w * 0.35f) + " " + num(y + h) + " " + num(x) + " " + num(y) +
                        " C" + num(x + w * 0.35f) + " " + num(y - h) + " " + num(x + w) + " " + num(y - h) + " " +
                        num(x + w) + " " + num(y) + " C" + num(x + w) + " " + num(y + h) + " " +
                        num(x + w * 0.35f) + " " + num(y + h) + " " + num(x) + " " + num(y) + " Z";
        d.add(line(p, kInk, 12 * scale));
        d.add(line(p, kRepeat.colour, 7 * scale));
        break;
    }
    case LoopCount::Three:
    case LoopCount::Five:
        // A fixed count is shown big.
        d.add(numberSlot(kRepeat, x, y, 64 * scale, 50 * scale));
        break;
    case LoopCount::Any:
        d.add(typedNumberSlot(kRepeat, card));
        break;
    }
}

void stampLoopCount(Image& img, Context& cx, LoopCount count, float x, float y, float scale)
{
    if (count == LoopCount::Three || count == LoopCount::Five)
        stampNumber(img, cx, count == LoopCount::Three ? "3" : "5", x, y, 56 * scale, 42 * scale);
}

// The circling arrow says "again and again"; beads inside it count the
// rounds where the count is fixed.
void roundsArrow(Drawing& d, LoopCount count, bool back)
{
    const float x = 168, y = 50;
    d.add(back ? arcArrow(x, y, 20, 230, -60, 6, kRepeat.deep) : arcArrow(x, y, 20, -60, 230, 6, kRepeat.deep));
    std::vector<std::pair<float, float>> beads;
    if (count == LoopCount::Three)
        beads = {{0, -7}, {-6.5f, 5}, {6.5f, 5}};
    else if (count == LoopCount::Five)
        beads = {{-6.5f, -6.5f}, {6.5f, -6.5f}, {0, 0}, {-6.5f, 6.5f}, {6.5f, 6.5f}};
    for (auto [bx, by] : beads)
        d.add(circle(x + bx, y + by, 3.6f, kRepeat.colour, kInk, 1.5f));
}

// The start card opens a bracket that runs down into the next card.
Image loopStart(Context& cx, CardKind card, LoopCount count)
{
    Drawing d = cardFrame(kRepeat);
    d.add(line("M66 17 H" + num(kBracketX) + " V96", kRepeat.deep, 10));
    d.add(rect(kBracketX - 5, 92, 10, 6, 0, kRepeat.deep));
    loopCount(d, count, card, 100, 50, 1.0f);
    roundsArrow(d, count, false);
    Image img = render(d);
    stampLoopCount(img, cx, count, 100, 50, 1.0f);
    return img;
}

// The end card closes the bracket and sends the program back up.
Image loopEnd(Context& cx, CardKind card, LoopCount count)
{
    Drawing d = cardFrame(kRepeat);
    d.add(line("M66 83 H" + num(kBracketX) + " V24", kRepeat.deep, 10));
    d.add(arrowHead(kBracketX, 5, -90, 17, 12, kRepeat.deep));
    if (count == LoopCount::Any) {
        // The count was typed on the start card: an empty slot stands for it.
        d.add(rect(100 - 28, 50 - 19, 56, 38, 9, kRepeat.pale, kRepeat.colour, 3));
    } else {
        loopCount(d, count, card, 100, 50, 1.0f);
    }
    roundsArrow(d, count, true);
    Image img = render(d);
    stampLoopCount(img, cx, count, 100, 50, 1.0f);
    return img;
}

// ---- car -------------------------------------------------------------------------------

enum class Move { Forward, Back, Stop, Spin, Pivot, PivotBack };

struct CarMove {
    Move move;
    bool toRight;  // drawn as the mirror of the left-hand move
};

// The output value sets the wheels: bit 0 left wheel forward, bit 1 left
// wheel back, bit 4 right wheel back, bit 5 right wheel forward.
CarMove carMove(CardKind card)
{
    expectOpcode(card, 2);
    const int v = queWord(card, 0, 2);
    const bool lf = v & 1, lb = v & 2, rb = v & 16, rf = v & 32;
    if ((v & ~(1 | 2 | 16 | 32)) || (lf && lb) || (rf && rb))
        throw std::runtime_error("no picture for output value " + std::to_string(v));
    const int left = lf ? 1 : lb ? -1 : 0, right = rf ? 1 : rb ? -1 : 0;
    if (left == 0 && right == 0)
        return {Move::Stop, false};
    if (left == right)
        return {left > 0 ? Move::Forward : Move::Back, false};
    if (left == -right)
        return {Move::Spin, left > 0};
    // One wheel stands: the car swings around it.
    if (left == 0)
        return {right > 0 ? Move::Pivot : Move::PivotBack, false};
    return {left > 0 ? Move::Pivot : Move::PivotBack, true};
}

Image car(Context& cx, CardKind card)
{
    const CarMove m = carMove(card);
    Drawing d = cardFrame(kCar);
    const std::string& ink = kInk;
    Drawing scene(kCardWidth, kCardHeight);  // drawn for the left-hand move, mirrored for the right
    const Pictogram& body = cx.art["car"];
    // Wheel centre of car.svg relative to its centre, at scale 1.
    const float wheelDx = 4.5f - 26.0f, wheelDy = 40.0f - 33.0f;
    switch (m.move) {
    case Move::Forward:
    case Move::Back: {
        scene.put(body, 100, 50);
        bool fwd = m.move == Move::Forward;
        for (float x : {52.0f, 148.0f})
            scene.add(fwd ? straightArrow(x, 86, x, 12, 9, ink) : straightArrow(x, 14, x, 88, 9, ink));
        break;
    }
    case Move::Stop: {
        scene.put(body, 78, 50);
        scene.put(cx.art["stop_sign"], 140, 50, Place::scaled(1.35f));
        break;
    }
    case Move::Spin: {
        // Two arrows chasing round the car: it turns on the spot.
        const float s = 0.8f;
        scene.put(body, 100, 50, Place::scaled(s));
        scene.add(arcArrow(100, 50, 35, 60, -105, 8, ink));
        scene.add(arcArrow(100, 50, 35, 240, 75, 8, ink));
        break;
    }
    case Move::Pivot:
    case Move::PivotBack: {
        const float s = 0.85f;
        const bool fwd = m.move == Move::Pivot;
        const float carY = fwd ? 60.0f : 40.0f;
        const float px = 100 + wheelDx * s, py = carY + wheelDy * s;
        scene.put(body, 100, carY, Place::scaled(s));
        // The standing wheel: a pin through it.
        scene.add(circle(px, py, 6.5f, kHalt, kWhite, 2.5f));
        scene.add(fwd ? arcArrow(px, py, 47, 5, -150, 8, ink) : arcArrow(px, py, 47, -5, 150, 8, ink));
        break;
    }
    }
    d.group(m.toRight ? "translate(200 0) scale(-1 1)" : "", scene.body());
    return render(d);
}

// ---- servo arms ---------------------------------------------------------------------------

Image arm(Context& cx, CardKind card)
{
    expectOpcode(card, 3);
    const int pin = queWord(card, 0, 1);
    const int value = queWord(card, 0, 2);
    if (pin != 3 && pin != 4)
        throw std::runtime_error("no arm on pin " + std::to_string(pin));
    // 60 .. 230 is the servo's whole swing; the two servos are mounted as
    // mirror images, so pin 3 at 60 and pin 4 at 230 both hang down.
    const float t = std::clamp((static_cast<float>(value) - 60.0f) / 170.0f, 0.0f, 1.0f);
    const bool left = pin == 3;
    const float swing = (left ? t : 1.0f - t) * 180.0f;  // 0 = down, 90 = out, 180 = up
    Drawing d = cardFrame(kArm);
    const float robotX = 100, robotY = 48;
    const float shoulderLX = robotX - 30, shoulderRX = robotX + 30, shoulderY = robotY + 7;
    const float sx = left ? shoulderLX : shoulderRX;
    const float dir = left ? 1.0f : -1.0f;
    // The track the hand moves along, with its three stops.
    const float r = 32;
    float a0 = 90, a1 = left ? 270 : -90;
    d.add(line(arc(sx, shoulderY, r, a0, a1), kArm.colour, 9, 0.3f));
    for (float stop : {0.0f, 85.0f / 170.0f * 180.0f, 180.0f}) {
        float a = 90 + dir * stop;
        d.add(circle(sx + r * std::cos(rad(a)), shoulderY + r * std::sin(rad(a)), 3.5f, kArm.deep));
    }
    // The idle arm hangs down in grey.
    Place idle;
    idle.recolor = {{"#9A5AD6", "#B9C2CA"}};
    d.put(cx.art["arm"], left ? shoulderRX : shoulderLX, shoulderY, idle);
    d.put(cx.art["robot"], robotX, robotY);
    Place active = Place::turned(dir * swing);
    active.scale = 1.15f;
    d.put(cx.art["arm"], sx, shoulderY, active);
    return render(d);
}

// ---- sound -------------------------------------------------------------------------------------

Image beep(Context& cx, CardKind card)
{
    expectOpcode(card, 23);
    Drawing d = cardFrame(kSound);
    d.put(cx.art["speaker"], 100, 50);
    return render(d);
}

// ---- output pins ---------------------------------------------------------------------------------

Image pin(Context& cx, CardKind card)
{
    expectOpcode(card, 2);
    const int n = queWord(card, 0, 1);
    const bool on = queWord(card, 0, 2) != 0;
    if (n < 1 || n > 9)
        throw std::runtime_error("no picture for output pin " + std::to_string(n));
    Drawing d = cardFrame(kPins);
    // The wire from the socket's pin to the bulb, live or dead.
    const std::string wire = "M76 50 C104 50 108 91 132 91 H142 Q152 91 152 84";
    d.add(line(wire, kInk, 8));
    d.add(line(wire, on ? kHalt : "#9AA5AE", 4.5f));
    d.put(cx.art["socket"], 45, 50);
    if (on)
        d.put(cx.art["lamp_rays"], 152, 52);
    Place bulb;
    if (!on)
        bulb.recolor = {{"#FFD21F", "#E4E9ED"}, {"#E07B00", "#A8B2BA"}};
    d.put(cx.art["lamp"], 152, 52, bulb);
    Image img = render(d);
    Image digit = cx.text.latin(110, std::to_string(n), {255, 255, 255, 255});
    int x, y, w, h;
    digit.opaqueBounds(x, y, w, h);
    img.drawCentred(digit.cropped(x, y, w, h).resized(w * 84 / h, 84), 40 * kPixelsPerPoint, 50 * kPixelsPerPoint);
    return img;
}

} // namespace

Drawing cardFrame(const Category& c)
{
    Drawing d(kCardWidth, kCardHeight);
    const float b = kCardBorder;
    d.add(rect(b / 2, b / 2, kCardWidth - b, kCardHeight - b, kCardRadius, c.pale, c.colour, b));
    return d;
}

void stampNumber(Image& img, Context& cx, const std::string& digits, float x, float y, float w, float h)
{
    // Cells of the large number sheet, fitted as the editor fits its label.
    Image label = digitString(cx.text, digits, 24 * kPixelsPerPoint, 36 * kPixelsPerPoint, DigitStyle::Rounded);
    float labelW = 24.0f * static_cast<float>(digits.size()), labelH = 36.0f;
    float scale = std::min(w / labelW, h / labelH);
    Image fitted = label.resized(static_cast<int>(std::lround(label.width() * scale)),
                                 static_cast<int>(std::lround(label.height() * scale)));
    img.drawCentred(fitted, static_cast<int>(std::lround(x * kPixelsPerPoint)),
                    static_cast<int>(std::lround(y * kPixelsPerPoint)));
}

const std::map<std::string, CardPicture>& cardPictures()
{
    static const std::map<std::string, CardPicture> pictures = [] {
        std::map<std::string, CardPicture> m;
        auto loop = [&](const std::string& name, LoopCount count) {
            m[name + "_start.png"] = {&kRepeat, [count](Context& cx, CardKind card) { return loopStart(cx, card, count); }};
            m[name + "_end.png"] = {&kRepeat, [count](Context& cx, CardKind card) { return loopEnd(cx, card, count); }};
        };
        for (const char* name : {"r_led1.png", "r_led0.png"})
            m[name] = {&kLight, led};
        for (const char* name : {"r_wait1.png", "r_wait3.png", "r_wait5.png", "r_wait10.png", "r_wait_any.png"})
            m[name] = {&kTime, wait};
        loop("r_loop_inf", LoopCount::Forever);
        loop("r_loop_3", LoopCount::Three);
        loop("r_loop_5", LoopCount::Five);
        loop("r_loop_any", LoopCount::Any);
        for (const char* name : {"r_pap_forward.png", "r_pap_stop.png", "r_pap_back.png", "r_pap_left1-1.png",
                                 "r_pap_left1-2.png", "r_pap_left1-3.png", "r_pap_right1-1.png", "r_pap_right1-2.png",
                                 "r_pap_right1-3.png"})
            m[name] = {&kCar, car};
        for (const char* name : {"r_pap_left2-1.png", "r_pap_left2-2.png", "r_pap_left2-3.png", "r_pap_right2-1.png",
                                 "r_pap_right2-2.png", "r_pap_right2-3.png"})
            m[name] = {&kArm, arm};
        m["r_beep.png"] = {&kSound, beep};
        for (int n = 1; n <= 6; ++n)
            for (const char* state : {"on", "off"})
                m["r_out" + std::to_string(n) + "_" + state + ".png"] = {&kPins, pin};
        return m;
    }();
    return pictures;
}

} // namespace picgen
