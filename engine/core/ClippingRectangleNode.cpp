#include "engine/core/ClippingRectangleNode.h"

namespace engine {

ClippingRectangleNode* ClippingRectangleNode::create() { return create(Rect::ZERO); }

ClippingRectangleNode* ClippingRectangleNode::create(const Rect& region) {
    return initAndAutorelease(new ClippingRectangleNode(), [&](ClippingRectangleNode* node) {
        node->_region = region;
        return node->init();
    });
}

// The commands are made once; each frame only says where they clip.
ClippingRectangleNode::ClippingRectangleNode() {
    _before.func = [this] {
        _renderer->pushScissor(_renderer->getMapping().toPixelRect(_worldTransform.applyToRect(_region)));
    };
    _after.func = [this] { _renderer->popScissor(); };
}

void ClippingRectangleNode::visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
                                  const Color3B& parentColor) {
    if (!_visible) return;
    if (!_enabled) {
        Node::visit(renderer, parentTransform, parentOpacity, parentColor);
        return;
    }
    _renderer = renderer;
    _worldTransform = parentTransform * getNodeToParentTransform();
    renderer->addCommand(&_before);
    Node::visit(renderer, parentTransform, parentOpacity, parentColor);
    renderer->addCommand(&_after);
}

bool ClippingRectangleNode::clipsOut(const Vec2& worldPoint) const {
    return _enabled && !_region.containsPoint(convertToNodeSpace(worldPoint));
}

} // namespace engine
