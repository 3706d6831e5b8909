#include "engine/core/ClippingRectangleNode.h"

namespace engine {

ClippingRectangleNode* ClippingRectangleNode::create() { return create(Rect::ZERO); }

ClippingRectangleNode* ClippingRectangleNode::create(const Rect& region) {
    auto* node = new ClippingRectangleNode();
    node->_region = region;
    node->autorelease();
    return node;
}

void ClippingRectangleNode::visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
                                  const Color3B& parentColor) {
    if (!_visible) return;
    if (!_enabled) {
        Node::visit(renderer, parentTransform, parentOpacity, parentColor);
        return;
    }
    AffineTransform world = parentTransform * getNodeToParentTransform();
    _before.func = [renderer, world, this] {
        renderer->pushScissor(renderer->getMapping().toPixelRect(world.applyToRect(_region)));
    };
    _after.func = [renderer] { renderer->popScissor(); };
    renderer->addCommand(&_before);
    Node::visit(renderer, parentTransform, parentOpacity, parentColor);
    renderer->addCommand(&_after);
}

} // namespace engine
