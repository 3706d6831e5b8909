#include "Digits.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "Style.h"

namespace picgen {

namespace {

// Renders the glyph large, then fits its inked part into the cell: narrow
// cells get slightly condensed digits instead of small ones.
Image fitted(const Image& glyph, int maxW, int maxH)
{
    int x, y, w, h;
    glyph.opaqueBounds(x, y, w, h);
    if (w == 0 || h == 0)
        return Image();
    Image ink = glyph.cropped(x, y, w, h);
    double scale = std::min(1.0, static_cast<double>(maxH) / h);
    int outW = std::max(1, static_cast<int>(std::lround(w * scale)));
    int outH = std::max(1, static_cast<int>(std::lround(h * scale)));
    if (outW > maxW)
        outW = maxW;  // condense rather than shrink
    return ink.resized(outW, outH);
}

} // namespace

Image digitCell(Text& text, char c, int cellW, int cellH, DigitStyle style)
{
    const std::string s(1, c);
    const Rgba ink = hex(style::kInk.c_str());
    const Rgba white{255, 255, 255, 255};
    Image cell(cellW, cellH);
    switch (style) {
    case DigitStyle::Rounded: {
        // Rendered at four times the size for clean edges once reduced.
        int size = cellH * 4;
        Image big = text.latin(size, s, white, std::max(2, size / 14), ink);
        int pad = std::max(1, cellW / 24);
        Image g = fitted(big, cellW - 2 * pad, cellH * 86 / 100);
        if (c == '.') {
            // A dot sits on the baseline.
            Image dot = fitted(big, cellW, cellH / 4);
            cell.draw(dot, (cellW - dot.width()) / 2, cellH - (cellH - cellH * 86 / 100) / 2 - dot.height());
            return cell;
        }
        cell.drawCentred(g, cellW / 2, cellH / 2);
        return cell;
    }
    case DigitStyle::Pixel: {
        // Whole font pixels: the largest scale whose rimmed glyph still fits.
        Image native = text.pixel(s, 1, white);
        int x, y, w, h;
        native.opaqueBounds(x, y, w, h);
        if (w == 0)
            return cell;
        int scale = 1;
        while ((w * (scale + 1) + 2 * (scale + 1) <= cellW) && (8 * (scale + 1) + 2 * (scale + 1) <= cellH))
            ++scale;
        Image big = text.pixel(s, scale, white);
        Image rimmed = big.outlined(std::max(2, scale / 2 + 1), ink, false);
        // Centre the ink across; keep the font's line box down, so the dot
        // stays on the baseline.
        int ix, iy, iw, ih;
        rimmed.opaqueBounds(ix, iy, iw, ih);
        cell.draw(rimmed, (cellW - iw) / 2 - ix, (cellH - rimmed.height()) / 2);
        return cell;
    }
    case DigitStyle::Dark:
    case DigitStyle::Light: {
        Rgba colour = style == DigitStyle::Dark ? ink : white;
        Image big = text.latin(cellH * 4, s, colour);
        Image g = fitted(big, cellW - 2, cellH - 2);
        cell.drawCentred(g, cellW / 2, cellH / 2);
        return cell;
    }
    }
    throw std::logic_error("unknown digit style");
}

Image digitSheet(Text& text, const std::string& glyphs, int cellW, int cellH, DigitStyle style)
{
    Image sheet(cellW * static_cast<int>(glyphs.size()), cellH);
    for (size_t i = 0; i < glyphs.size(); ++i)
        sheet.draw(digitCell(text, glyphs[i], cellW, cellH, style), static_cast<int>(i) * cellW, 0);
    return sheet;
}

Image digitString(Text& text, const std::string& digits, int cellW, int cellH, DigitStyle style)
{
    return digitSheet(text, digits, cellW, cellH, style);
}

} // namespace picgen
