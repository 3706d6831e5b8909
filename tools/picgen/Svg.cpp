#include "Svg.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace picgen {

std::string num(double v)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", v);
    std::string s = buffer;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

Pictogram parsePictogram(const std::string& source, const std::string& name)
{
    std::string text = source;
    // The rasteriser reads comments poorly; drop them.
    for (size_t at; (at = text.find("<!--")) != std::string::npos;) {
        size_t end = text.find("-->", at);
        if (end == std::string::npos)
            throw std::runtime_error(name + ": unterminated comment");
        text.erase(at, end + 3 - at);
    }
    size_t open = text.find("<svg");
    size_t openEnd = open == std::string::npos ? open : text.find('>', open);
    size_t close = text.rfind("</svg>");
    if (openEnd == std::string::npos || close == std::string::npos || close < openEnd)
        throw std::runtime_error(name + ": not an <svg> document");
    std::string tag = text.substr(open, openEnd - open);
    size_t vb = tag.find("viewBox=\"");
    Pictogram p;
    if (vb == std::string::npos ||
        std::sscanf(tag.c_str() + vb + 9, "%f %f %f %f", &p.x, &p.y, &p.w, &p.h) != 4 || p.w <= 0 || p.h <= 0)
        throw std::runtime_error(name + ": needs a viewBox of four numbers");
    p.body = text.substr(openEnd + 1, close - openEnd - 1);
    // Features the rasteriser would silently drop or draw grey.
    for (const char* banned : {"<text", "<use", "<image", "clip-path", "mask", "filter", "rgba(", "rgb("})
        if (p.body.find(banned) != std::string::npos)
            throw std::runtime_error(name + ": uses " + banned + ", which the rasteriser cannot draw");
    return p;
}

ArtLibrary::ArtLibrary(const std::string& folder)
{
    namespace fs = std::filesystem;
    if (!fs::is_directory(folder))
        throw std::runtime_error("no pictogram folder " + folder);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".svg")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string name = entry.path().stem().string();
        items_[name] = parsePictogram(ss.str(), entry.path().string());
    }
}

const Pictogram& ArtLibrary::operator[](const std::string& name) const
{
    auto it = items_.find(name);
    if (it == items_.end())
        throw std::runtime_error("no pictogram Resources/art/" + name + ".svg");
    return it->second;
}

std::vector<std::string> ArtLibrary::names() const
{
    std::vector<std::string> out;
    for (const auto& [name, p] : items_)
        out.push_back(name);
    return out;
}

Drawing& Drawing::add(const std::string& element)
{
    body_ += element;
    body_ += '\n';
    return *this;
}

Drawing& Drawing::put(const Pictogram& p, float cx, float cy, const Place& place)
{
    std::string body = p.body;
    for (const auto& [from, to] : place.recolor)
        for (size_t at = 0; (at = body.find(from, at)) != std::string::npos; at += to.size())
            body.replace(at, from.size(), to);
    // Centre of the viewBox to (cx, cy), then turn, mirror and scale about it.
    std::string t = "translate(" + num(cx) + " " + num(cy) + ")";
    if (place.rotate != 0.0f)
        t += " rotate(" + num(place.rotate) + ")";
    t += " scale(" + num(place.mirror ? -place.scale : place.scale) + " " + num(place.scale) + ")";
    t += " translate(" + num(-(p.x + p.w / 2)) + " " + num(-(p.y + p.h / 2)) + ")";
    return group(t, body, place.opacity);
}

Drawing& Drawing::group(const std::string& transform, const std::string& elements, float opacity)
{
    body_ += "<g";
    if (!transform.empty())
        body_ += " transform=\"" + transform + "\"";
    if (opacity < 1.0f)
        body_ += " opacity=\"" + num(opacity) + "\"";
    body_ += ">\n" + elements + "\n</g>\n";
    return *this;
}

std::string Drawing::svg() const
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width_) + "\" height=\"" + num(height_) +
           "\" viewBox=\"0 0 " + num(width_) + " " + num(height_) + "\">\n" + body_ + "</svg>\n";
}

Image Drawing::render(int pixelsPerPoint) const
{
    return rasterizeSvg(svg(), static_cast<int>(std::lround(width_ * pixelsPerPoint)),
                        static_cast<int>(std::lround(height_ * pixelsPerPoint)));
}

namespace shape {

namespace {
std::string paint(const std::string& fill, const std::string& stroke, float strokeWidth, float opacity)
{
    std::string s = " fill=\"" + fill + "\"";
    if (stroke != "none" && strokeWidth > 0)
        s += " stroke=\"" + stroke + "\" stroke-width=\"" + num(strokeWidth) + "\" stroke-linejoin=\"round\"";
    if (opacity < 1.0f)
        s += " opacity=\"" + num(opacity) + "\"";
    return s;
}
} // namespace

std::string rect(float x, float y, float w, float h, float r, const std::string& fill, const std::string& stroke,
                 float strokeWidth, float opacity)
{
    return "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(w) + "\" height=\"" + num(h) +
           "\" rx=\"" + num(r) + "\" ry=\"" + num(r) + "\"" + paint(fill, stroke, strokeWidth, opacity) + "/>";
}

std::string circle(float cx, float cy, float r, const std::string& fill, const std::string& stroke,
                   float strokeWidth, float opacity)
{
    return "<circle cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num(r) + "\"" +
           paint(fill, stroke, strokeWidth, opacity) + "/>";
}

std::string path(const std::string& d, const std::string& fill, const std::string& stroke, float strokeWidth,
                 float opacity)
{
    return "<path d=\"" + d + "\"" + paint(fill, stroke, strokeWidth, opacity) + "/>";
}

std::string line(const std::string& d, const std::string& stroke, float strokeWidth, float opacity)
{
    std::string s = "<path d=\"" + d + "\" fill=\"none\" stroke=\"" + stroke + "\" stroke-width=\"" +
                    num(strokeWidth) + "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"";
    if (opacity < 1.0f)
        s += " opacity=\"" + num(opacity) + "\"";
    return s + "/>";
}

namespace {
void point(float cx, float cy, float r, float deg, float& x, float& y)
{
    double a = deg * std::numbers::pi / 180.0;
    x = static_cast<float>(cx + r * std::cos(a));
    y = static_cast<float>(cy + r * std::sin(a));
}
} // namespace

std::string arc(float cx, float cy, float r, float a0, float a1)
{
    float x0, y0, x1, y1;
    point(cx, cy, r, a0, x0, y0);
    point(cx, cy, r, a1, x1, y1);
    float sweep = a1 - a0;
    int large = std::fabs(sweep) > 180.0f ? 1 : 0;
    int dir = sweep > 0 ? 1 : 0;
    return "M" + num(x0) + " " + num(y0) + " A" + num(r) + " " + num(r) + " 0 " + std::to_string(large) + " " +
           std::to_string(dir) + " " + num(x1) + " " + num(y1);
}

std::string pie(float cx, float cy, float r, float a0, float a1)
{
    return "M" + num(cx) + " " + num(cy) + " L" + arc(cx, cy, r, a0, a1).substr(1) + " Z";
}

} // namespace shape

} // namespace picgen
