#pragma once
// Drawing as nodes ask for it. Nodes draw immediately in visiting order;
// a custom command runs its function at its place in that order.
#include <functional>
#include <vector>

#include "engine/core/AffineTransform.h"
#include "engine/core/Texture2D.h"
#include "engine/core/Types.h"

namespace engine {

// Design points (y up) to target pixels (y down). The window and every
// render target have one; nothing else converts points to pixels.
struct ViewportMapping {
    float scaleX = 1, scaleY = 1;      // pixels per point
    float offsetX = 0, offsetY = 0;    // pixel offset of the design origin (letterbox bars)
    float targetWidth = 0, targetHeight = 0;  // pixels

    Vec2 toPixels(const Vec2& p) const {
        return {offsetX + p.x * scaleX, targetHeight - (offsetY + p.y * scaleY)};
    }
    Vec2 toPoints(const Vec2& px) const {
        return {(px.x - offsetX) / scaleX, (targetHeight - px.y - offsetY) / scaleY};
    }
    // A rectangle in points to one in pixels, origin at the top left.
    Rect toPixelRect(const Rect& r) const;
    // The mapping for the viewport of SHOW_ALL: the design area scaled
    // uniformly to fit, centred, bars where aspects differ.
    static ViewportMapping showAll(Size design, Size framePixels);
};

class CustomCommand {
public:
    std::function<void()> func;
};

class Renderer {
public:
    virtual ~Renderer() = default;

    // `rect` is the part of the texture in pixels; `size` its size in points
    // placed at the node's origin and mapped through `transform`.
    virtual void drawTexture(Texture2D* texture, const Rect& rect, const Size& size,
                             const AffineTransform& transform, const Color4B& tint) = 0;
    virtual void drawSolidRect(const Size& size, const AffineTransform& transform, const Color4B& color) = 0;
    virtual void clear(const Color4B& color) = 0;

    void addCommand(CustomCommand* command) { if (command->func) command->func(); }

    const ViewportMapping& getMapping() const { return _mappings.back(); }
    void setWindowMapping(const ViewportMapping& mapping) { _mappings.front() = mapping; }
    // Render targets push their own mapping and clip stack.
    void pushTarget(const ViewportMapping& mapping);
    void popTarget();

    // Clips to a rectangle in target pixels (top-left origin); nested clips
    // intersect, popping brings back the outer one.
    void pushScissor(const Rect& pixels);
    void popScissor();
    bool isScissorEnabled() const { return !_clips.back().empty(); }
    // The current clip in pixels: the whole target when none is set.
    Rect getScissorRect() const;
    // True when a quad of `size` points under `transform` lies wholly
    // outside the current clip and need not be drawn.
    bool isCulled(const Size& size, const AffineTransform& transform) const;

protected:
    Renderer() = default;
    // Applies the clip (or none) to the backend.
    virtual void applyScissor(const Rect* pixels) = 0;

private:
    void applyTopScissor();
    std::vector<ViewportMapping> _mappings{ViewportMapping{}};
    std::vector<std::vector<Rect>> _clips{std::vector<Rect>{}};
};

} // namespace engine
