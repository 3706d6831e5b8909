#include "Image.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace picgen {

Rgba hex(const char* text, std::uint8_t alpha)
{
    unsigned value = 0;
    if (!text || text[0] != '#' || std::sscanf(text + 1, "%06x", &value) != 1)
        throw std::invalid_argument(std::string("not a #RRGGBB colour: ") + (text ? text : "null"));
    return {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value), alpha};
}

Image::Image(int width, int height, Rgba fill)
    : w_(std::max(0, width)), h_(std::max(0, height)), px_(static_cast<size_t>(w_) * h_, fill)
{
}

Rgba Image::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= w_ || y >= h_)
        return {0, 0, 0, 0};
    return px_[static_cast<size_t>(y) * w_ + x];
}

void Image::set(int x, int y, Rgba c)
{
    if (x >= 0 && y >= 0 && x < w_ && y < h_)
        px_[static_cast<size_t>(y) * w_ + x] = c;
}

namespace {

Rgba over(Rgba dst, Rgba src, float opacity)
{
    float sa = src.a / 255.0f * opacity;
    if (sa <= 0.0f)
        return dst;
    float da = dst.a / 255.0f;
    float oa = sa + da * (1.0f - sa);
    auto mix = [&](std::uint8_t s, std::uint8_t d) {
        float v = (s * sa + d * da * (1.0f - sa)) / oa;
        return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    };
    return {mix(src.r, dst.r), mix(src.g, dst.g), mix(src.b, dst.b),
            static_cast<std::uint8_t>(std::clamp(std::lround(oa * 255.0f), 0L, 255L))};
}

} // namespace

void Image::draw(const Image& src, int x, int y, float opacity)
{
    for (int sy = 0; sy < src.h_; ++sy) {
        int dy = y + sy;
        if (dy < 0 || dy >= h_)
            continue;
        for (int sx = 0; sx < src.w_; ++sx) {
            int dx = x + sx;
            if (dx < 0 || dx >= w_)
                continue;
            Rgba& d = px_[static_cast<size_t>(dy) * w_ + dx];
            d = over(d, src.px_[static_cast<size_t>(sy) * src.w_ + sx], opacity);
        }
    }
}

void Image::drawCentred(const Image& src, int cx, int cy, float opacity)
{
    draw(src, cx - src.w_ / 2, cy - src.h_ / 2, opacity);
}

void Image::fillRect(int x, int y, int w, int h, Rgba c)
{
    for (int yy = std::max(0, y); yy < std::min(h_, y + h); ++yy)
        for (int xx = std::max(0, x); xx < std::min(w_, x + w); ++xx)
            px_[static_cast<size_t>(yy) * w_ + xx] = c;
}

Image Image::flippedX() const
{
    Image out(w_, h_);
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x)
            out.px_[static_cast<size_t>(y) * w_ + (w_ - 1 - x)] = px_[static_cast<size_t>(y) * w_ + x];
    return out;
}

Image Image::cropped(int x, int y, int w, int h) const
{
    Image out(w, h);
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx)
            out.set(xx, yy, at(x + xx, y + yy));
    return out;
}

Image Image::enlarged(int factor) const
{
    Image out(w_ * factor, h_ * factor);
    for (int y = 0; y < out.h_; ++y)
        for (int x = 0; x < out.w_; ++x)
            out.px_[static_cast<size_t>(y) * out.w_ + x] = px_[static_cast<size_t>(y / factor) * w_ + x / factor];
    return out;
}

Image Image::resized(int width, int height) const
{
    Image out(width, height);
    if (empty() || width <= 0 || height <= 0)
        return out;
    double fx = static_cast<double>(w_) / width, fy = static_cast<double>(h_) / height;
    for (int y = 0; y < height; ++y) {
        double y0 = y * fy, y1 = (y + 1) * fy;
        for (int x = 0; x < width; ++x) {
            double x0 = x * fx, x1 = (x + 1) * fx;
            double r = 0, g = 0, b = 0, a = 0, area = 0;
            for (int sy = static_cast<int>(y0); sy < std::min(h_, static_cast<int>(std::ceil(y1))); ++sy) {
                double cy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
                for (int sx = static_cast<int>(x0); sx < std::min(w_, static_cast<int>(std::ceil(x1))); ++sx) {
                    double cover = cy * (std::min<double>(sx + 1, x1) - std::max<double>(sx, x0));
                    Rgba p = px_[static_cast<size_t>(sy) * w_ + sx];
                    double pa = p.a / 255.0 * cover;
                    r += p.r * pa;
                    g += p.g * pa;
                    b += p.b * pa;
                    a += pa;
                    area += cover;
                }
            }
            if (a <= 0 || area <= 0)
                continue;
            auto channel = [&](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v / a), 0L, 255L)); };
            out.px_[static_cast<size_t>(y) * width + x] = {
                channel(r), channel(g), channel(b),
                static_cast<std::uint8_t>(std::clamp(std::lround(a / area * 255.0), 0L, 255L))};
        }
    }
    return out;
}

Image Image::outlined(int radius, Rgba colour, bool round) const
{
    Image out(w_ + 2 * radius, h_ + 2 * radius);
    for (int y = 0; y < out.h_; ++y)
        for (int x = 0; x < out.w_; ++x) {
            int best = 0;
            for (int dy = -radius; dy <= radius && best < 255; ++dy)
                for (int dx = -radius; dx <= radius; ++dx) {
                    if (round && dx * dx + dy * dy > radius * radius + radius)
                        continue;
                    best = std::max<int>(best, at(x - radius + dx, y - radius + dy).a);
                }
            if (best)
                out.px_[static_cast<size_t>(y) * out.w_ + x] = {colour.r, colour.g, colour.b,
                                                                  static_cast<std::uint8_t>(best * colour.a / 255)};
        }
    out.draw(*this, radius, radius);
    return out;
}

void Image::opaqueBounds(int& x, int& y, int& w, int& h, int threshold) const
{
    int minX = w_, minY = h_, maxX = -1, maxY = -1;
    for (int yy = 0; yy < h_; ++yy)
        for (int xx = 0; xx < w_; ++xx)
            if (px_[static_cast<size_t>(yy) * w_ + xx].a > threshold) {
                minX = std::min(minX, xx);
                maxX = std::max(maxX, xx);
                minY = std::min(minY, yy);
                maxY = std::max(maxY, yy);
            }
    if (maxX < 0) {
        x = y = w = h = 0;
        return;
    }
    x = minX;
    y = minY;
    w = maxX - minX + 1;
    h = maxY - minY + 1;
}

Image Image::fromSurface(SDL_Surface* surface)
{
    if (!surface)
        throw std::runtime_error(std::string("no picture: ") + SDL_GetError());
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_RGBA32, 0);
    if (!rgba)
        throw std::runtime_error(std::string("cannot convert a picture: ") + SDL_GetError());
    Image out(rgba->w, rgba->h);
    SDL_LockSurface(rgba);
    for (int y = 0; y < rgba->h; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(rgba->pixels) + static_cast<size_t>(y) * rgba->pitch;
        for (int x = 0; x < rgba->w; ++x)
            out.px_[static_cast<size_t>(y) * out.w_ + x] = {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
    }
    SDL_UnlockSurface(rgba);
    SDL_FreeSurface(rgba);
    return out;
}

SDL_Surface* Image::toSurface() const
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w_, h_, 32, SDL_PIXELFORMAT_RGBA32);
    if (!s)
        throw std::runtime_error(std::string("cannot make a surface: ") + SDL_GetError());
    for (int y = 0; y < h_; ++y) {
        auto* row = static_cast<std::uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch;
        for (int x = 0; x < w_; ++x) {
            Rgba p = px_[static_cast<size_t>(y) * w_ + x];
            // Fully transparent pixels carry no colour, which keeps files small.
            if (p.a == 0)
                p = {0, 0, 0, 0};
            row[4 * x] = p.r;
            row[4 * x + 1] = p.g;
            row[4 * x + 2] = p.b;
            row[4 * x + 3] = p.a;
        }
    }
    return s;
}

bool Image::savePng(const std::string& path) const
{
    SDL_Surface* s = toSurface();
    bool ok = IMG_SavePNG(s, path.c_str()) == 0;
    SDL_FreeSurface(s);
    return ok;
}

Image Image::loadPng(const std::string& path)
{
    SDL_Surface* s = IMG_Load(path.c_str());
    if (!s)
        throw std::runtime_error("cannot read " + path + ": " + IMG_GetError());
    Image out = fromSurface(s);
    SDL_FreeSurface(s);
    return out;
}

Image rasterizeSvg(const std::string& svg, int width, int height)
{
    SDL_RWops* rw = SDL_RWFromConstMem(svg.data(), static_cast<int>(svg.size()));
    SDL_Surface* s = IMG_LoadSizedSVG_RW(rw, width, height);
    SDL_RWclose(rw);
    if (!s)
        throw std::runtime_error(std::string("cannot draw an SVG document: ") + IMG_GetError());
    Image drawn = Image::fromSurface(s);
    SDL_FreeSurface(s);
    if (drawn.width() == width && drawn.height() == height)
        return drawn;
    // The rasteriser rounds the size up; keep the requested one exactly.
    return drawn.cropped(0, 0, width, height);
}

} // namespace picgen
