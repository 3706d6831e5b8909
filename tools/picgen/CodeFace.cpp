// Code faces: the card's code as the board's own screen shows it, white
// pixel letters on black, taken from the catalogue. The face is stored
// mirrored, because the card shows it after a half turn about its vertical
// axis; it is laid out here as it is seen and flipped at the end.
#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "Art.h"

namespace picgen {

using namespace style;

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream ss(text);
    for (std::string line; std::getline(ss, line, '\n');)
        lines.push_back(line);
    if (lines.empty())
        lines.push_back("");
    return lines;
}

constexpr int P = kPixelsPerPoint;
constexpr int kInner = static_cast<int>(kCardBorder) * P + 12;  // text keeps this far from the card's edge
constexpr int kLineGap = 2;                                      // font pixels between lines
constexpr int kLargest = 7;                                      // largest font pixel, in picture pixels
const Rgba kCodeColour{255, 255, 255, 255};                      // pure white: only code is drawn in it

// Where a digit's ink sits inside the line's 8-pixel box (top row and
// middle), so lines are placed by what is seen, not by the box.
struct Ink {
    int top;
    float centre;
};
Ink digitInk(Text& text)
{
    Image ref = text.pixel("0", 1, kCodeColour);
    int x, y, w, h;
    ref.opaqueBounds(x, y, w, h);
    return {y, static_cast<float>(y) + static_cast<float>(h) / 2.0f};
}

} // namespace

Image drawCodeFace(Context& cx, const Category& category, const CardCode& code,
                   const std::vector<engine::Rect>& rects, const std::string& dialectMark)
{
    const int W = static_cast<int>(kCardWidth) * P, H = static_cast<int>(kCardHeight) * P;
    const std::vector<std::string> lines = splitLines(code.text);

    // A number card shows its typed value in the third input rectangle; seen
    // through the turn, that rectangle lands mirrored about the centre.
    const bool boxed = code.kind == 1 && !code.placeholder.empty() && rects.size() >= 3 &&
                       code.text.find(code.placeholder) != std::string::npos;
    float boxX = 0, boxY = 0, boxW = 0, boxH = 0;  // as seen, points, y down
    if (boxed) {
        const engine::Rect& r = rects[2];
        boxW = r.size.width;
        boxH = r.size.height;
        boxX = kCardWidth / 2 - r.origin.x - boxW / 2;
        boxY = kCardHeight / 2 - r.origin.y - boxH / 2;
    }

    Drawing d(kCardWidth, kCardHeight);
    const float b = kCardBorder;
    d.add(shape::rect(b / 2, b / 2, kCardWidth - b, kCardHeight - b, kCardRadius, kScreen, category.colour, b));
    if (boxed)
        d.add(shape::rect(boxX, boxY, boxW, boxH, 3, "#2A3540", "#7D8F9E", 1.5f));
    Image face = d.render(P);

    // The dialect mark: a small tag in the top right corner as seen, where
    // the short first lines of two-line code leave room.
    int tagLeft = 0, tagBottom = 0;
    {
        Image word = cx.text.pixel(dialectMark, 3, hex(kScreen.c_str()));
        const int pad = 5;
        Drawing tag(static_cast<float>(word.width() + 2 * pad) / P, static_cast<float>(word.height() + 2 * pad) / P);
        tag.add(shape::rect(0, 0, tag.width(), tag.height(), 3, category.colour));
        Image t = tag.render(P);
        t.draw(word, pad, pad);
        const int x = W - 14 * P - t.width(), y = 9 * P;
        face.draw(t, x, y);
        tagLeft = x - 6;
        tagBottom = y + t.height() + 6;
    }
    // Code must keep clear of the tag: a line whose ink starts at `top`
    // and ends at `right`.
    auto clearOfTag = [&](int right, int top) { return right <= tagLeft || top >= tagBottom; };

    const Ink ink = digitInk(cx.text);
    const float centreOfInk = ink.centre;
    if (boxed) {
        // The code sits on the line of the box at the size of the typed
        // digits, the text before the placeholder ending at the box.
        const int k = std::max(3, static_cast<int>(boxH * P) / Text::kPixelEm);
        size_t atLine = 0, atPos = std::string::npos;
        for (; atLine < lines.size(); ++atLine)
            if ((atPos = lines[atLine].find(code.placeholder)) != std::string::npos)
                break;
        const std::string before = lines[atLine].substr(0, atPos);
        const std::string after = lines[atLine].substr(atPos + code.placeholder.size());
        const int boxLeft = static_cast<int>(std::lround(boxX * P)), boxRight = static_cast<int>(std::lround((boxX + boxW) * P));
        const float lineCentre = (boxY + boxH / 2) * P;
        const int left = boxLeft - k - cx.text.pixelWidth(before) * k;
        for (size_t i = 0; i < lines.size(); ++i) {
            const int top = static_cast<int>(std::lround(lineCentre - centreOfInk * k +
                                                         (static_cast<float>(i) - static_cast<float>(atLine)) *
                                                             (Text::kPixelEm + kLineGap) * k));
            int right = 0;
            if (i == atLine) {
                face.draw(cx.text.pixel(before, k, kCodeColour), left, top);
                face.draw(cx.text.pixel(after, k, kCodeColour), boxRight + k, top);
                right = boxRight + k + cx.text.pixelWidth(after) * k;
                if (left < kInner || right > W - kInner)
                    throw std::runtime_error("code \"" + code.text + "\" does not fit around its number box");
            } else {
                face.draw(cx.text.pixel(lines[i], k, kCodeColour), left, top);
                right = left + cx.text.pixelWidth(lines[i]) * k;
            }
            if (top < kInner || top + Text::kPixelEm * k > H - kInner || !clearOfTag(right, top + ink.top * k))
                throw std::runtime_error("code \"" + code.text + "\" does not fit on its card");
        }
    } else {
        // As large as the longest line allows, the block centred, moved down
        // when it would touch the tag.
        int widest = 1;
        for (const auto& l : lines)
            widest = std::max(widest, cx.text.pixelWidth(l));
        const int n = static_cast<int>(lines.size());
        const int pitch = Text::kPixelEm + kLineGap;
        for (int k = std::min(kLargest, (W - 2 * kInner) / widest); ; --k) {
            if (k < 3)
                throw std::runtime_error("code \"" + code.text + "\" is too long for a card");
            const int left = (W - widest * k) / 2;
            const float firstCentre = H / 2.0f - static_cast<float>((n - 1) * pitch * k) / 2.0f;
            int top = static_cast<int>(std::lround(firstCentre - centreOfInk * k));
            if (!clearOfTag(left + cx.text.pixelWidth(lines[0]) * k, top + ink.top * k))
                top = tagBottom - ink.top * k;
            const int bottom = top + ((n - 1) * pitch + Text::kPixelEm) * k;
            if (bottom > H - kInner)
                continue;
            for (int i = 0; i < n; ++i)
                face.draw(cx.text.pixel(lines[static_cast<size_t>(i)], k, kCodeColour), left, top + i * pitch * k);
            break;
        }
    }
    return face.flippedX();
}

} // namespace picgen
