#include "engine/core/Button.h"

#include <algorithm>

#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"

namespace engine {

Button* Button::create(const std::string& picturePath, std::function<void()> action) {
    return initAndAutorelease(new Button(), [&](Button* b) {
        if (!b->initWithFile(picturePath)) b->init();
        return b->initButton(std::move(action));
    });
}

Button* Button::createWith(Node* face, std::function<void()> action) {
    return initAndAutorelease(new Button(), [&](Button* b) {
        if (!b->init() || !face) return false;
        const Size size = face->getContentSize();
        b->setContentSize(size);
        face->setAnchorPoint(Vec2::ZERO);
        face->setPosition(Vec2::ZERO);
        b->addChild(face);
        b->setCascadeOpacityEnabled(true);
        return b->initButton(std::move(action));
    });
}

bool Button::initButton(std::function<void()> action) {
    _action = std::move(action);
    _listener = EventListenerTouchOneByOne::create();
    _listener->setSwallowTouches(true);
    _listener->onTouchBegan = [this](Touch* touch, Event*) {
        // One finger at a time, also after its press was cancelled.
        if (_touchId >= 0 || !reachable() || !hitTest(touch->getLocation())) return false;
        if (_filter && !_filter(touch->getLocation())) return false;
        _pressed = true;
        _cancelled = false;
        _touchId = touch->getID();
        _pressedAt = touch->getLocation();
        return true;
    };
    _listener->onTouchEnded = [this](Touch* touch, Event*) {
        _pressed = false;
        _touchId = -1;
        if (_cancelled) return;
        // The action may take the button away: it is held until it returns.
        RefPtr<Button> keep(this);
        const bool dragged = _maxTravel >= 0 && (touch->getLocation() - _pressedAt).length() > _maxTravel;
        if (_action && !dragged && reachable() && hitTest(touch->getLocation())) _action();
    };
    _listener->onTouchCancelled = [this](Touch*, Event*) {
        _pressed = false;
        _touchId = -1;
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(_listener.get(), this);
    return true;
}

void Button::activate() {
    // As a press: the action may take the button away.
    RefPtr<Button> keep(this);
    if (_action && isEnabled() && reachable()) _action();
}

bool Button::reachable() const {
    // A control on a hidden panel is not there to be pressed.
    for (const Node* n = this; n; n = n->getParent())
        if (!n->isVisible()) return false;
    return true;
}

void Button::setEnabled(bool on) {
    _listener->setEnabled(on);
    if (on) return;
    // The press under way ends here, even if the button comes back before the finger lifts.
    _pressed = false;
    _cancelled = true;
    _touchId = -1;
}

void Button::onExit() {
    // A finger lifted while the button was off the screen never reaches it.
    _pressed = false;
    _touchId = -1;
    Sprite::onExit();
}

void Button::setMinimumTouchSize(float points) {
    const Size size = getContentSize();
    _margin = std::max(0.0f, (points - std::min(size.width, size.height)) / 2);
}

bool Button::hitTest(const Vec2& worldPoint) const {
    const Size size = getContentSize();
    const Rect area(-_margin, -_margin, size.width + 2 * _margin, size.height + 2 * _margin);
    return area.containsPoint(convertToNodeSpace(worldPoint));
}

void Button::visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
                   const Color3B& parentColor) {
    // Dimmed as drawn, not by its opacity, which its owner may use to say
    // the control has nothing to do.
    const uint8_t opacity = _pressed ? static_cast<uint8_t>(parentOpacity * kPressedOpacity / 255) : parentOpacity;
    Sprite::visit(renderer, parentTransform, opacity, parentColor);
}

} // namespace engine
