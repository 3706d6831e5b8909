#include "Text.h"

#include <SDL2/SDL_ttf.h>

#include <stdexcept>

namespace picgen {

Text::Text(FontFiles files) : files_(std::move(files))
{
    if (!TTF_WasInit() && TTF_Init() != 0)
        throw std::runtime_error(std::string("SDL_ttf: ") + TTF_GetError());
}

Text::~Text()
{
    for (auto& [key, f] : fonts_)
        TTF_CloseFont(f);
}

TTF_Font* Text::font(const std::string& file, int size)
{
    auto key = std::make_pair(file, size);
    auto it = fonts_.find(key);
    if (it != fonts_.end())
        return it->second;
    TTF_Font* f = TTF_OpenFont(file.c_str(), size);
    if (!f)
        throw std::runtime_error("cannot open font " + file + ": " + TTF_GetError());
    fonts_[key] = f;
    return f;
}

Image Text::render(const std::string& fontFile, int pixelSize, const std::string& utf8, Rgba colour, int outline,
                   Rgba outlineColour)
{
    if (utf8.empty())
        return Image();
    TTF_Font* f = font(fontFile, pixelSize);
    TTF_SetFontOutline(f, 0);
    SDL_Surface* s = TTF_RenderUTF8_Blended(f, utf8.c_str(), {colour.r, colour.g, colour.b, colour.a});
    Image fill = Image::fromSurface(s);
    SDL_FreeSurface(s);
    if (outline <= 0)
        return fill;
    TTF_SetFontOutline(f, outline);
    s = TTF_RenderUTF8_Blended(f, utf8.c_str(), {outlineColour.r, outlineColour.g, outlineColour.b, outlineColour.a});
    TTF_SetFontOutline(f, 0);
    Image out = Image::fromSurface(s);
    SDL_FreeSurface(s);
    out.draw(fill, outline, outline);
    return out;
}

Image Text::pixel(const std::string& utf8, int scale, Rgba colour)
{
    if (utf8.empty())
        return Image();
    TTF_Font* f = font(files_.pixel, kPixelEm);
    TTF_SetFontHinting(f, TTF_HINTING_MONO);
    SDL_Surface* s = TTF_RenderUTF8_Solid(f, utf8.c_str(), {255, 255, 255, 255});
    Image native = Image::fromSurface(s);
    SDL_FreeSurface(s);
    // Solid rendering is all or nothing; recolour the set pixels.
    Image out(native.width(), native.height());
    for (int y = 0; y < native.height(); ++y)
        for (int x = 0; x < native.width(); ++x)
            if (native.at(x, y).a >= 128)
                out.set(x, y, colour);
    return out.enlarged(scale);
}

int Text::pixelWidth(const std::string& utf8)
{
    int w = 0, h = 0;
    TTF_SizeUTF8(font(files_.pixel, kPixelEm), utf8.c_str(), &w, &h);
    return w;
}

} // namespace picgen
