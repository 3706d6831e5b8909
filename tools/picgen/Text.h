#pragma once
// Words and digits on pictures: the SVG rasteriser draws no text, so every
// glyph comes from SDL_ttf and is composed onto the drawing afterwards.
#include <map>
#include <string>
#include <utility>

#include "Image.h"

typedef struct _TTF_Font TTF_Font;

namespace picgen {

struct FontFiles {
    std::string latin;     // bold sans serif for digits and captions
    std::string japanese;  // covers kana and kanji (captions of the Japanese contact sheet)
    std::string pixel;     // the board's 8 x 8 pixel font
};

class Text {
public:
    explicit Text(FontFiles files);
    ~Text();
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    const FontFiles& files() const { return files_; }

    // Antialiased text, optionally with a round outline of `outline` pixels.
    Image render(const std::string& fontFile, int pixelSize, const std::string& utf8, Rgba colour,
                 int outline = 0, Rgba outlineColour = {0, 0, 0, 255});
    Image latin(int pixelSize, const std::string& utf8, Rgba colour, int outline = 0,
                Rgba outlineColour = {0, 0, 0, 255})
    {
        return render(files_.latin, pixelSize, utf8, colour, outline, outlineColour);
    }

    // The pixel font at its native 8-pixel size, each font pixel enlarged to
    // `scale` x `scale` picture pixels, so edges stay hard as on the board.
    Image pixel(const std::string& utf8, int scale, Rgba colour);
    // Width in font pixels of a line in the pixel font.
    int pixelWidth(const std::string& utf8);
    static constexpr int kPixelEm = 8;

private:
    TTF_Font* font(const std::string& file, int size);
    FontFiles files_;
    std::map<std::pair<std::string, int>, TTF_Font*> fonts_;
};

} // namespace picgen
