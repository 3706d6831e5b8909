#pragma once
// Pictures are composed as SVG documents in points: pictograms drawn by hand
// in Resources/art are placed, turned and mirrored there, next to shapes
// built here (frames, plates, arcs whose angle comes from the catalogue).
// One rasterisation per picture keeps every edge antialiased alike.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Image.h"

namespace picgen {

// One hand-drawn pictogram: its viewBox and the elements inside <svg>.
struct Pictogram {
    float x = 0, y = 0, w = 0, h = 0;
    std::string body;
};

class ArtLibrary {
public:
    // Reads every *.svg of the folder; a broken file stops the build.
    explicit ArtLibrary(const std::string& folder);
    const Pictogram& operator[](const std::string& name) const;  // throws when missing
    std::vector<std::string> names() const;

private:
    std::map<std::string, Pictogram> items_;
};

// Parses one SVG source: viewBox and body, comments removed.
Pictogram parsePictogram(const std::string& text, const std::string& nameForErrors);

struct Place {
    float scale = 1.0f;
    float rotate = 0.0f;      // degrees, clockwise on screen, about the pictogram's centre
    bool mirror = false;      // left to right, about the pictogram's centre
    float opacity = 1.0f;
    std::vector<std::pair<std::string, std::string>> recolor;  // colour text replaced in the body

    static Place scaled(float s)
    {
        Place p;
        p.scale = s;
        return p;
    }
    static Place turned(float degrees)
    {
        Place p;
        p.rotate = degrees;
        return p;
    }
};

// Number formatting for SVG attributes.
std::string num(double v);

class Drawing {
public:
    Drawing(float width, float height) : width_(width), height_(height) {}

    float width() const { return width_; }
    float height() const { return height_; }

    Drawing& add(const std::string& element);
    // Puts the pictogram's centre at (cx, cy).
    Drawing& put(const Pictogram& p, float cx, float cy, const Place& place = {});
    // Wraps elements in a group with an SVG transform.
    Drawing& group(const std::string& transform, const std::string& elements, float opacity = 1.0f);

    std::string svg() const;
    const std::string& body() const { return body_; }
    Image render(int pixelsPerPoint = 2) const;

private:
    float width_, height_;
    std::string body_;
};

// Shape helpers; colours are "#RRGGBB" or "none".
namespace shape {
std::string rect(float x, float y, float w, float h, float r, const std::string& fill,
                 const std::string& stroke = "none", float strokeWidth = 0, float opacity = 1.0f);
std::string circle(float cx, float cy, float r, const std::string& fill, const std::string& stroke = "none",
                   float strokeWidth = 0, float opacity = 1.0f);
std::string path(const std::string& d, const std::string& fill, const std::string& stroke = "none",
                 float strokeWidth = 0, float opacity = 1.0f);
// Open stroke with round ends and joins.
std::string line(const std::string& d, const std::string& stroke, float strokeWidth, float opacity = 1.0f);
// Circular arc path from angle a0 to a1 (degrees, 0 = right, clockwise on screen).
std::string arc(float cx, float cy, float r, float a0, float a1);
// A closed pie slice.
std::string pie(float cx, float cy, float r, float a0, float a1);
} // namespace shape

} // namespace picgen
