#pragma once
// Text drawn with SDL_ttf: a system font found by family name, or a font
// file. Lines are broken and measured in points when the text changes, so
// the content size is known at once; the picture is made when first drawn,
// at the pixels per point of the target it is drawn on, so text stays sharp
// in a large window and in render targets alike.
#include <array>
#include <string>
#include <vector>

#include "engine/core/Node.h"
#include "engine/core/Texture2D.h"
#include "engine/platform/FontResolver.h"

namespace engine {

enum class TextHAlignment { LEFT, CENTER, RIGHT };
enum class TextVAlignment { TOP, CENTER, BOTTOM };

class SdlRenderer;

class Label : public Node {
public:
    static Label* create();
    // `font` is a family name; text with characters that family lacks, and
    // every text when the application runs in Japanese, gets a font that
    // covers Japanese.
    static Label* createWithSystemFont(const std::string& text, const std::string& font, float fontSize,
                                       const Size& dimensions = Size::ZERO,
                                       TextHAlignment hAlignment = TextHAlignment::LEFT,
                                       TextVAlignment vAlignment = TextVAlignment::TOP);
    // `fontFilePath` is a resource path; null when the file cannot be opened.
    static Label* createWithTTF(const std::string& text, const std::string& fontFilePath, float fontSize,
                                const Size& dimensions = Size::ZERO,
                                TextHAlignment hAlignment = TextHAlignment::LEFT,
                                TextVAlignment vAlignment = TextVAlignment::TOP);

    void setString(const std::string& text);
    const std::string& getString() const { return _text; }
    // Characters (not bytes) and laid-out lines.
    int getStringLength() const;
    int getStringNumLines() const { return static_cast<int>(_lines.size()); }

    // The text's own colour; the node's colour and opacity tint it further.
    void setTextColor(const Color4B& color) { _textColor = color; }
    void setTextColor(const Color3B& color) { _textColor = Color4B(color, 255); }
    const Color4B& getTextColor() const { return _textColor; }

    void setSystemFontName(const std::string& font);
    const std::string& getSystemFontName() const { return _fontName; }
    void setSystemFontSize(float fontSize);
    float getSystemFontSize() const { return _fontSize; }
    // The font file actually used (after fontconfig), for tests and tools.
    const FontFace& getFontFace() const { return _face; }

    // A width of 0 means no wrapping; a height of 0 means as tall as the
    // text. Text that does not fit the height is cut.
    void setDimensions(float width, float height);
    const Size& getDimensions() const { return _dimensions; }
    void setWidth(float width) { setDimensions(width, _dimensions.height); }
    void setHeight(float height) { setDimensions(_dimensions.width, height); }
    // Wraps at `width` without fixing the label's width (0: no wrapping).
    void setMaxLineWidth(float width);
    float getMaxLineWidth() const { return _maxLineWidth; }

    void setAlignment(TextHAlignment h) { setAlignment(h, _vAlignment); }
    void setAlignment(TextHAlignment h, TextVAlignment v);
    void setHorizontalAlignment(TextHAlignment h) { setAlignment(h, _vAlignment); }
    void setVerticalAlignment(TextVAlignment v) { setAlignment(_hAlignment, v); }
    TextHAlignment getHorizontalAlignment() const { return _hAlignment; }
    TextVAlignment getVerticalAlignment() const { return _vAlignment; }

    void draw(Renderer* renderer, const AffineTransform& transform) override;

    // The picture last drawn at `pixelsPerPoint`, made now if needed; null
    // for empty text. Drawing calls this; tests use it to see the raster.
    Texture2D* getTextureForScale(float pixelsPerPoint);
    // How many pictures were made so far (each costs a rasterisation).
    unsigned getRasterCount() const { return _rasterCount; }

protected:
    Label();
    ~Label() override;
    bool initWithFont(const std::string& text, const std::string& font, bool isFile, float fontSize,
                      const Size& dimensions, TextHAlignment h, TextVAlignment v);

private:
    Texture2D* rasterFor(SdlRenderer* renderer, float pixelsPerPoint);
    void resolveFont();
    void relayout();
    void dropRasters();

    std::string _text;
    std::string _fontName;   // family name, or the font file's full path
    bool _fontIsFile = false;
    FontFace _face;
    float _fontSize = 12;
    Size _dimensions;
    float _maxLineWidth = 0;
    TextHAlignment _hAlignment = TextHAlignment::LEFT;
    TextVAlignment _vAlignment = TextVAlignment::TOP;
    Color4B _textColor = Color4B::WHITE;

    std::vector<std::string> _lines;  // trailing spaces removed

    struct Raster {
        float scale = 0;
        RefPtr<Texture2D> texture;
        const void* renderer = nullptr;
    };
    std::array<Raster, 2> _rasters;  // e.g. the window and a render target
    unsigned _nextRaster = 0;
    unsigned _rasterCount = 0;
};

} // namespace engine
