#include "engine/platform/Label.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "engine/core/ApplicationProtocol.h"
#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Renderer.h"
#include "engine/platform/SdlRenderer.h"

namespace engine {

namespace {

constexpr int kMaxRasterSide = 8192;

bool ensureTTF() {
    if (TTF_WasInit()) return true;
    return TTF_Init() == 0;
}

// Open fonts by face and pixel size. Labels never hold a font between
// calls, so the cache may be emptied whenever it grows too large.
TTF_Font* openFont(const FontFace& face, int pixelSize) {
    // Lives as long as the process, so open fonts stay reachable to the end.
    static auto& fonts = *new std::map<std::string, TTF_Font*>();
    if (!face.valid() || !ensureTTF()) return nullptr;
    pixelSize = std::max(1, pixelSize);
    std::string key = face.path + "#" + std::to_string(face.index) + "@" + std::to_string(pixelSize);
    auto it = fonts.find(key);
    if (it != fonts.end()) return it->second;
    if (fonts.size() >= 32) {
        for (auto& entry : fonts)
            if (entry.second) TTF_CloseFont(entry.second);
        fonts.clear();
    }
    // At 72 dots per inch a point of SDL_ttf is one pixel.
    TTF_Font* font = TTF_OpenFontIndexDPI(face.path.c_str(), pixelSize, face.index, 72, 72);
    fonts[key] = font;
    return font;
}

int pixelSizeOf(float fontSize, float scale) { return std::max(1, static_cast<int>(std::lround(fontSize * scale))); }

int textWidth(TTF_Font* font, const std::string& text) {
    if (text.empty()) return 0;
    int w = 0, h = 0;
    return TTF_SizeUTF8(font, text.c_str(), &w, &h) == 0 ? w : 0;
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

size_t nextCharStart(const std::string& s, size_t i) {
    if (i >= s.size()) return s.size();
    ++i;
    while (i < s.size() && isContinuation(s[i])) ++i;
    return i;
}

size_t prevCharStart(const std::string& s, size_t i) {
    if (i == 0) return 0;
    --i;
    while (i > 0 && isContinuation(s[i])) --i;
    return i;
}

size_t byteOffsetOfChar(const std::string& s, int chars) {
    size_t i = 0;
    for (int k = 0; k < chars && i < s.size(); ++k) i = nextCharStart(s, i);
    return i;
}

std::string trimRight(const std::string& s) {
    size_t end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// Greedy breaking: at the last space that keeps the line inside
// `maxWidth`, or, when the line has no space (Japanese), before the first
// character that does not fit. Every line takes at least one character.
void breakParagraph(TTF_Font* font, const std::string& paragraph, int maxWidth, std::vector<std::string>& lines) {
    size_t pos = 0;
    bool first = true;
    while (true) {
        if (!first)
            while (pos < paragraph.size() && paragraph[pos] == ' ') ++pos;
        first = false;
        std::string rest = paragraph.substr(pos);
        if (rest.empty()) {
            if (lines.empty() || pos == 0) lines.emplace_back();
            return;
        }
        int extent = 0, count = 0;
        size_t fit = rest.size();
        if (TTF_MeasureUTF8(font, rest.c_str(), maxWidth, &extent, &count) == 0) fit = byteOffsetOfChar(rest, count);
        while (fit > 0 && textWidth(font, rest.substr(0, fit)) > maxWidth) fit = prevCharStart(rest, fit);
        if (fit >= rest.size()) {
            lines.push_back(rest);
            return;
        }
        size_t space = rest.rfind(' ', fit);
        size_t end;
        if (space != std::string::npos && space > 0 && !trimRight(rest.substr(0, space)).empty()) end = space;
        else end = std::max(fit, nextCharStart(rest, 0));
        lines.push_back(trimRight(rest.substr(0, end)));
        pos += end;
    }
}

std::vector<std::string> breakLines(TTF_Font* font, const std::string& text, int maxWidth) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        size_t newline = text.find('\n', start);
        std::string paragraph = text.substr(start, newline == std::string::npos ? std::string::npos : newline - start);
        if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
        if (maxWidth > 0) {
            std::vector<std::string> part;
            breakParagraph(font, paragraph, maxWidth, part);
            lines.insert(lines.end(), part.begin(), part.end());
        } else {
            lines.push_back(paragraph);
        }
        if (newline == std::string::npos) break;
        start = newline + 1;
    }
    return lines;
}

uint8_t mul(uint8_t a, uint8_t b) { return static_cast<uint8_t>((a * b + 127) / 255); }

float pixelsPerPoint(const ViewportMapping& m) {
    float s = std::max(m.scaleX, m.scaleY);
    // Tiny differences in the mapping must not make a new picture.
    s = std::round(s * 100.0f) / 100.0f;
    return s > 0 ? s : 1.0f;
}

bool preferJapanese() {
    ApplicationProtocol* app = ApplicationProtocol::getRunning();
    return app && app->getCurrentLanguage() == LanguageType::JAPANESE;
}

} // namespace

Label::Label() { setAnchorPoint(Vec2::ANCHOR_MIDDLE); }
Label::~Label() = default;

Label* Label::create() { return createWithSystemFont("", "Helvetica", 12); }

Label* Label::createWithSystemFont(const std::string& text, const std::string& font, float fontSize,
                                   const Size& dimensions, TextHAlignment hAlignment, TextVAlignment vAlignment) {
    return initAndAutorelease(new Label(), [&](Label* label) {
        return label->initWithFont(text, font, false, fontSize, dimensions, hAlignment, vAlignment);
    });
}

Label* Label::createWithTTF(const std::string& text, const std::string& fontFilePath, float fontSize,
                            const Size& dimensions, TextHAlignment hAlignment, TextVAlignment vAlignment) {
    std::string full = FileUtils::getInstance()->fullPathForFilename(fontFilePath);
    if (full.empty() || !openFont(FontFace{full, 0}, pixelSizeOf(fontSize, 1))) return nullptr;
    return initAndAutorelease(new Label(), [&](Label* label) {
        return label->initWithFont(text, full, true, fontSize, dimensions, hAlignment, vAlignment);
    });
}

bool Label::initWithFont(const std::string& text, const std::string& font, bool isFile, float fontSize,
                         const Size& dimensions, TextHAlignment h, TextVAlignment v) {
    _text = text;
    _fontName = font;
    _fontIsFile = isFile;
    _fontSize = fontSize > 0 ? fontSize : 12;
    _dimensions = Size(std::max(0.0f, dimensions.width), std::max(0.0f, dimensions.height));
    _hAlignment = h;
    _vAlignment = v;
    resolveFont();
    relayout();
    return true;
}

int Label::getStringLength() const { return static_cast<int>(utf8ToCodePoints(_text).size()); }

void Label::setString(const std::string& text) {
    if (text == _text) return;
    _text = text;
    if (!_fontIsFile) resolveFont();
    relayout();
}

void Label::setSystemFontName(const std::string& font) {
    if (!_fontIsFile && font == _fontName) return;
    _fontName = font;
    _fontIsFile = false;
    resolveFont();
    relayout();
}

void Label::setSystemFontSize(float fontSize) {
    if (fontSize <= 0 || fontSize == _fontSize) return;
    _fontSize = fontSize;
    relayout();
}

void Label::setDimensions(float width, float height) {
    Size d(std::max(0.0f, width), std::max(0.0f, height));
    if (d == _dimensions) return;
    _dimensions = d;
    relayout();
}

void Label::setMaxLineWidth(float width) {
    width = std::max(0.0f, width);
    if (width == _maxLineWidth) return;
    _maxLineWidth = width;
    relayout();
}

void Label::setAlignment(TextHAlignment h, TextVAlignment v) {
    if (h == _hAlignment && v == _vAlignment) return;
    _hAlignment = h;
    _vAlignment = v;
    dropRasters();
}

void Label::resolveFont() {
    FontFace face = _fontIsFile ? FontFace{_fontName, 0} : FontResolver::matchForText(_fontName, _text, preferJapanese());
    if (!(face == _face)) {
        _face = face;
        dropRasters();
    }
}

void Label::relayout() {
    dropRasters();
    _lines.clear();
    float scale = Director::getInstance()->getContentScaleFactor();
    if (scale <= 0) scale = 1;
    TTF_Font* font = _text.empty() ? nullptr : openFont(_face, pixelSizeOf(_fontSize, scale));
    if (!font) {
        // Nothing to show: no width, and only the height asked for.
        setContentSize(Size(0, _dimensions.height));
        return;
    }
    float wrap = _dimensions.width > 0 ? _dimensions.width : _maxLineWidth;
    int maxWidth = wrap > 0 ? std::max(1, static_cast<int>(std::floor(wrap * scale))) : 0;
    _lines = breakLines(font, _text, maxWidth);
    int widest = 0;
    for (const auto& line : _lines) widest = std::max(widest, textWidth(font, line));
    float width = _dimensions.width > 0 ? _dimensions.width : widest / scale;
    float height = _dimensions.height > 0
                       ? _dimensions.height
                       : static_cast<float>(_lines.size()) * static_cast<float>(TTF_FontLineSkip(font)) / scale;
    setContentSize(Size(width, height));
}

void Label::dropRasters() {
    for (auto& raster : _rasters) raster = Raster{};
}

Texture2D* Label::getTextureForScale(float pixelsPerPoint) {
    return rasterFor(dynamic_cast<SdlRenderer*>(Director::getInstance()->getRenderer()), pixelsPerPoint);
}

Texture2D* Label::rasterFor(SdlRenderer* sdl, float pixelsPerPoint) {
    if (!sdl || pixelsPerPoint <= 0 || _lines.empty() || _contentSize.width <= 0 || _contentSize.height <= 0)
        return nullptr;
    for (auto& raster : _rasters)
        if (raster.texture && raster.scale == pixelsPerPoint && raster.renderer == sdl) return raster.texture.get();

    TTF_Font* font = openFont(_face, pixelSizeOf(_fontSize, pixelsPerPoint));
    if (!font) return nullptr;
    int width = std::clamp(static_cast<int>(std::ceil(_contentSize.width * pixelsPerPoint - 0.01f)), 1, kMaxRasterSide);
    int height = std::clamp(static_cast<int>(std::ceil(_contentSize.height * pixelsPerPoint - 0.01f)), 1, kMaxRasterSide);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return nullptr;
    // White everywhere, so blending glyphs in changes only the alpha; the
    // colour comes from the tint when drawing.
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, 255, 255, 255, 0));

    int lineSkip = TTF_FontLineSkip(font);
    int total = lineSkip * static_cast<int>(_lines.size());
    int y = (height - total) / 2;  // no fixed height: split any rounding evenly
    if (_dimensions.height > 0) {
        if (_vAlignment == TextVAlignment::TOP) y = 0;
        else if (_vAlignment == TextVAlignment::BOTTOM) y = height - total;
    }
    const SDL_Color white{255, 255, 255, 255};
    for (const auto& line : _lines) {
        if (!line.empty() && y + lineSkip > 0 && y < height) {
            if (SDL_Surface* glyphs = TTF_RenderUTF8_Blended(font, line.c_str(), white)) {
                int x = 0;
                if (_hAlignment == TextHAlignment::CENTER) x = (width - glyphs->w) / 2;
                else if (_hAlignment == TextHAlignment::RIGHT) x = width - glyphs->w;
                SDL_Rect dst{x, y, glyphs->w, glyphs->h};
                SDL_SetSurfaceBlendMode(glyphs, SDL_BLENDMODE_BLEND);
                SDL_BlitSurface(glyphs, nullptr, surface, &dst);
                SDL_FreeSurface(glyphs);
            }
        }
        y += lineSkip;
    }
    RefPtr<Texture2D> texture = sdl->createTexture(surface);
    SDL_FreeSurface(surface);
    if (!texture) return nullptr;
    ++_rasterCount;
    Raster& slot = _rasters[_nextRaster];
    _nextRaster = (_nextRaster + 1) % _rasters.size();
    slot.scale = pixelsPerPoint;
    slot.texture = texture;
    slot.renderer = sdl;
    return texture.get();
}

void Label::draw(Renderer* renderer, const AffineTransform& transform) {
    if (_lines.empty() || _visitOpacity == 0 || _textColor.a == 0) return;
    if (_contentSize.width <= 0 || _contentSize.height <= 0) return;
    auto* sdl = dynamic_cast<SdlRenderer*>(renderer);
    // Off-screen labels are not rasterised at all.
    if (!sdl || renderer->isCulled(_contentSize, transform)) return;
    Texture2D* texture = rasterFor(sdl, pixelsPerPoint(renderer->getMapping()));
    if (!texture) return;
    Color4B tint(mul(_textColor.r, _visitColor.r), mul(_textColor.g, _visitColor.g), mul(_textColor.b, _visitColor.b),
                 mul(_textColor.a, _visitOpacity));
    Rect pixels(0, 0, static_cast<float>(texture->getPixelsWide()), static_cast<float>(texture->getPixelsHigh()));
    renderer->drawTexture(texture, pixels, _contentSize, transform, tint);
}

} // namespace engine
