#include "engine/core/Renderer.h"

#include <algorithm>
#include <cmath>


namespace engine {

Rect ViewportMapping::toPixelRect(const Rect& r) const {
    Vec2 a = toPixels({r.getMinX(), r.getMaxY()});
    Vec2 b = toPixels({r.getMaxX(), r.getMinY()});
    return {std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
}

ViewportMapping ViewportMapping::showAll(Size design, Size frame) {
    ViewportMapping m;
    m.targetWidth = frame.width;
    m.targetHeight = frame.height;
    if (design.width <= 0 || design.height <= 0 || frame.width <= 0 || frame.height <= 0) return m;
    float scale = std::min(frame.width / design.width, frame.height / design.height);
    m.scaleX = m.scaleY = scale;
    m.offsetX = (frame.width - design.width * scale) * 0.5f;
    m.offsetY = (frame.height - design.height * scale) * 0.5f;
    return m;
}

void Renderer::pushTarget(const ViewportMapping& mapping) {
    _mappings.push_back(mapping);
    _clips.emplace_back();
    applyTopScissor();
}

void Renderer::popTarget() {
    if (_mappings.size() <= 1) return;
    _mappings.pop_back();
    _clips.pop_back();
    applyTopScissor();
}

static Rect intersect(const Rect& a, const Rect& b) {
    float x0 = std::max(a.getMinX(), b.getMinX()), y0 = std::max(a.getMinY(), b.getMinY());
    float x1 = std::min(a.getMaxX(), b.getMaxX()), y1 = std::min(a.getMaxY(), b.getMaxY());
    return {x0, y0, std::max(0.0f, x1 - x0), std::max(0.0f, y1 - y0)};
}

void Renderer::pushScissor(const Rect& pixels) {
    auto& clips = _clips.back();
    clips.push_back(clips.empty() ? pixels : intersect(clips.back(), pixels));
    applyTopScissor();
}

void Renderer::popScissor() {
    auto& clips = _clips.back();
    if (!clips.empty()) clips.pop_back();
    applyTopScissor();
}

void Renderer::applyTopScissor() {
    const auto& clips = _clips.back();
    applyScissor(clips.empty() ? nullptr : &clips.back());
}

Rect Renderer::getScissorRect() const {
    const auto& clips = _clips.back();
    if (!clips.empty()) return clips.back();
    const ViewportMapping& m = getMapping();
    return {0, 0, m.targetWidth, m.targetHeight};
}

bool Renderer::isCulled(const Size& size, const AffineTransform& transform) const {
    const ViewportMapping& m = getMapping();
    Rect world = transform.applyToRect({0, 0, size.width, size.height});
    Rect px = m.toPixelRect(world);
    Rect clip = getScissorRect();
    return px.getMaxX() <= clip.getMinX() || px.getMinX() >= clip.getMaxX() ||
           px.getMaxY() <= clip.getMinY() || px.getMinY() >= clip.getMaxY();
}

} // namespace engine
