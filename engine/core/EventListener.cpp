#include "engine/core/EventListener.h"

#include <algorithm>

namespace engine {

// Custom event names are the program's own; these cannot clash with them.
const EventListener::ListenerID EventListenerTouchOneByOne::LISTENER_ID = "__engine_touch_one_by_one";
const EventListener::ListenerID EventListenerMouse::LISTENER_ID = "__engine_mouse";
const EventListener::ListenerID EventListenerKeyboard::LISTENER_ID = "__engine_keyboard";

EventListenerTouchOneByOne* EventListenerTouchOneByOne::create() {
    return initAndAutorelease(new EventListenerTouchOneByOne(), [](EventListenerTouchOneByOne*) { return true; });
}

EventListenerTouchOneByOne* EventListenerTouchOneByOne::clone() {
    EventListenerTouchOneByOne* copy = create();
    copy->onTouchBegan = onTouchBegan;
    copy->onTouchMoved = onTouchMoved;
    copy->onTouchEnded = onTouchEnded;
    copy->onTouchCancelled = onTouchCancelled;
    copy->_needSwallow = _needSwallow;
    return copy;
}

bool EventListenerTouchOneByOne::claims(const Touch* touch) const {
    return std::any_of(_claimedTouches.begin(), _claimedTouches.end(),
                       [touch](const RefPtr<Touch>& t) { return t.get() == touch; });
}

void EventListenerTouchOneByOne::dropClaim(const Touch* touch) {
    std::erase_if(_claimedTouches, [touch](const RefPtr<Touch>& t) { return t.get() == touch; });
}

EventListenerMouse* EventListenerMouse::create() {
    return initAndAutorelease(new EventListenerMouse(), [](EventListenerMouse*) { return true; });
}

EventListenerMouse* EventListenerMouse::clone() {
    EventListenerMouse* copy = create();
    copy->onMouseDown = onMouseDown;
    copy->onMouseUp = onMouseUp;
    copy->onMouseMove = onMouseMove;
    copy->onMouseScroll = onMouseScroll;
    return copy;
}

EventListenerKeyboard* EventListenerKeyboard::create() {
    return initAndAutorelease(new EventListenerKeyboard(), [](EventListenerKeyboard*) { return true; });
}

EventListenerKeyboard* EventListenerKeyboard::clone() {
    EventListenerKeyboard* copy = create();
    copy->onKeyPressed = onKeyPressed;
    copy->onKeyReleased = onKeyReleased;
    return copy;
}

EventListenerCustom* EventListenerCustom::create(const std::string& eventName,
                                                 const std::function<void(EventCustom*)>& callback) {
    return initAndAutorelease(new EventListenerCustom(eventName, callback), [](EventListenerCustom*) { return true; });
}

EventListenerCustom* EventListenerCustom::clone() { return create(getListenerID(), _onCustomEvent); }

} // namespace engine
