#include "engine/core/Scene.h"

#include "engine/core/Director.h"
#include "engine/core/Renderer.h"

namespace engine {

namespace {
void makeFullScreen(Node* node) {
    node->setIgnoreAnchorPointForPosition(true);
    node->setAnchorPoint(Vec2::ANCHOR_MIDDLE);
    node->setContentSize(Director::getInstance()->getWinSize());
}
} // namespace

Scene* Scene::create() { return initAndAutorelease(new Scene()); }

bool Scene::init() {
    makeFullScreen(this);
    return true;
}

Layer* Layer::create() { return initAndAutorelease(new Layer()); }

bool Layer::init() {
    makeFullScreen(this);
    return true;
}

LayerColor* LayerColor::create() { return create(Color4B(0, 0, 0, 0)); }

LayerColor* LayerColor::create(const Color4B& color) {
    Size s = Director::getInstance()->getWinSize();
    return create(color, s.width, s.height);
}

LayerColor* LayerColor::create(const Color4B& color, float width, float height) {
    return initAndAutorelease(new LayerColor(),
                              [&](LayerColor* layer) { return layer->initWithColor(color, width, height); });
}

bool LayerColor::initWithColor(const Color4B& color, float width, float height) {
    Layer::init();
    setContentSize({width, height});
    _realColor = Color3B(color.r, color.g, color.b);
    _realOpacity = color.a;
    return true;
}

void LayerColor::draw(Renderer* renderer, const AffineTransform& transform) {
    if (_visitOpacity == 0) return;
    renderer->drawSolidRect(_contentSize, transform, Color4B(_visitColor, _visitOpacity));
}

} // namespace engine
