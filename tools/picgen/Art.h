#pragma once
// What each picture shows. Card pictures are looked up by file name, the
// other pictures by their path in the picture list; a name without a
// drawing stops the build, so nothing the editor asks for goes missing.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Image.h"
#include "Style.h"
#include "Svg.h"
#include "Text.h"
#include "cards/CardCode.h"
#include "engine/core/Types.h"

namespace picgen {

struct Context {
    const ArtLibrary& art;
    Text& text;
};

inline constexpr int kPixelsPerPoint = 2;
inline constexpr float kCardWidth = 200.0f;   // points
inline constexpr float kCardHeight = 100.0f;

struct CardPicture {
    const style::Category* category;
    std::function<Image(Context&, CardKind)> draw;
};

// Picture faces by file name ("r_led1.png").
const std::map<std::string, CardPicture>& cardPictures();

// The code face of one card in one dialect, as stored: mirrored left to
// right. `rects` are the card's input rectangles for that dialect.
Image drawCodeFace(Context& cx, const style::Category& category, const CardCode& code,
                   const std::vector<engine::Rect>& rects, const std::string& dialectMark);

// Every other picture, by path ("res/r_field.png"), drawn at the listed size
// in points.
using UiDrawing = std::function<Image(Context&, float width, float height)>;
const std::map<std::string, UiDrawing>& uiPictures();

// Shared pieces.
Drawing cardFrame(const style::Category& c);
// Stamps a number with the digit glyphs of the number sheets, fitted into a
// box given in points (centre and size), as the editor's labels do.
void stampNumber(Image& img, Context& cx, const std::string& digits, float cx_, float cy, float w, float h);

} // namespace picgen
