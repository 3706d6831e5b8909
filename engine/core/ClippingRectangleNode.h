#pragma once
// Clips its children to a rectangle of its own space, with the renderer's
// scissor. Nested clips intersect; the outer clip comes back afterwards.
#include "engine/core/Node.h"
#include "engine/core/Renderer.h"

namespace engine {

class ClippingRectangleNode : public Node {
public:
    static ClippingRectangleNode* create();
    static ClippingRectangleNode* create(const Rect& region);
    void setClippingRegion(const Rect& region) { _region = region; }
    const Rect& getClippingRegion() const { return _region; }
    void setClippingEnabled(bool enabled) { _enabled = enabled; }
    bool isClippingEnabled() const { return _enabled; }

    void visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
               const Color3B& parentColor) override;

protected:
    ClippingRectangleNode();
    bool clipsOut(const Vec2& worldPoint) const override;

private:
    Rect _region;
    bool _enabled = true;
    CustomCommand _before, _after;
    // Where this frame draws: set in visit, read by the commands.
    Renderer* _renderer = nullptr;
    AffineTransform _worldTransform;
};

} // namespace engine
