#pragma once
// The digit sheets the editor's character-atlas labels read, and the same
// glyphs stamped onto card pictures, so a printed "3" and a typed "3" look
// alike.
#include <string>

#include "Image.h"
#include "Text.h"

namespace picgen {

enum class DigitStyle {
    Rounded,  // bold round digits, white with a dark rim: reads on any card colour and on black
    Pixel,    // the board's pixel digits, white with a dark rim, for code faces
    Dark,     // small dark digits for the light row plates
    Light,    // small white digits for the dark palette badges
};

// The glyphs of a sheet, in order: the engine maps character c to cell c - first.
inline const std::string kNumberGlyphs = "./0123456789";
inline const std::string kRowGlyphs = "0123456789";

// One glyph centred in a cell of cellW x cellH pixels.
Image digitCell(Text& text, char c, int cellW, int cellH, DigitStyle style);
// A whole sheet: one row of cells for `glyphs`.
Image digitSheet(Text& text, const std::string& glyphs, int cellW, int cellH, DigitStyle style);
// A number laid out as the atlas label lays it out: one cell per character.
Image digitString(Text& text, const std::string& digits, int cellW, int cellH, DigitStyle style);

} // namespace picgen
