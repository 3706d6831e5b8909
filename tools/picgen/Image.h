#pragma once
// A plain RGBA picture (straight alpha) that the generator composes in
// memory before one PNG is written. SDL surfaces are only used at the edges:
// rasterising SVG, rendering text and saving.
#include <cstdint>
#include <string>
#include <vector>

struct SDL_Surface;

namespace picgen {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

// "#RRGGBB" as used in the SVG sources.
Rgba hex(const char* text, std::uint8_t alpha = 255);

class Image {
public:
    Image() = default;
    Image(int width, int height, Rgba fill = {0, 0, 0, 0});

    int width() const { return w_; }
    int height() const { return h_; }
    bool empty() const { return w_ == 0 || h_ == 0; }

    Rgba at(int x, int y) const;
    void set(int x, int y, Rgba c);

    // Source-over compositing of `src` with its top-left corner at (x, y).
    void draw(const Image& src, int x, int y, float opacity = 1.0f);
    // Draws `src` centred on (cx, cy).
    void drawCentred(const Image& src, int cx, int cy, float opacity = 1.0f);
    void fillRect(int x, int y, int w, int h, Rgba c);

    Image flippedX() const;
    Image cropped(int x, int y, int w, int h) const;
    // Nearest-neighbour enlargement by a whole factor: keeps pixel fonts sharp.
    Image enlarged(int factor) const;
    // Area-averaged resize (premultiplied), for previews.
    Image resized(int width, int height) const;
    // Grows every opaque pixel by `radius` in the given colour, under the image.
    Image outlined(int radius, Rgba colour, bool round) const;
    // Smallest box holding pixels with alpha above `threshold`: {x, y, w, h}.
    void opaqueBounds(int& x, int& y, int& w, int& h, int threshold = 0) const;

    static Image fromSurface(SDL_Surface* surface);  // does not free it
    SDL_Surface* toSurface() const;                  // caller frees it
    bool savePng(const std::string& path) const;
    static Image loadPng(const std::string& path);

private:
    int w_ = 0, h_ = 0;
    std::vector<Rgba> px_;
};

// Rasterises an SVG document to exactly width x height pixels.
Image rasterizeSvg(const std::string& svg, int width, int height);

} // namespace picgen
