#include "engine/platform/Input.h"

#include <SDL.h>

#include <map>
#include <utility>

#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/platform/GLViewImpl.h"

namespace engine {

namespace {

constexpr int kMouseTouchId = 0;

// SDL finger -> our touch id, for fingers that are down.
std::map<std::pair<SDL_TouchID, SDL_FingerID>, int> s_fingers;

using Code = EventTouch::EventCode;
using MouseType = EventMouse::MouseEventType;
using Button = EventMouse::MouseButton;

// A press on the letterbox bars touches nothing.
bool insideDesignArea(const GLViewImpl* view, const Vec2& point) {
    Size design = view->getDesignResolutionSize();
    return Rect(0, 0, design.width, design.height).containsPoint(point);
}

Button buttonOf(Uint8 sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return Button::BUTTON_LEFT;
    case SDL_BUTTON_RIGHT: return Button::BUTTON_RIGHT;
    case SDL_BUTTON_MIDDLE: return Button::BUTTON_MIDDLE;
    case SDL_BUTTON_X1: return Button::BUTTON_4;
    case SDL_BUTTON_X2: return Button::BUTTON_5;
    default: return Button::BUTTON_UNSET;
    }
}

Button heldButton(Uint32 state) {
    if (state & SDL_BUTTON_LMASK) return Button::BUTTON_LEFT;
    if (state & SDL_BUTTON_RMASK) return Button::BUTTON_RIGHT;
    if (state & SDL_BUTTON_MMASK) return Button::BUTTON_MIDDLE;
    return Button::BUTTON_UNSET;
}

void sendMouse(EventDispatcher* dispatcher, MouseType type, const Vec2& point, Button button) {
    EventMouse event(type);
    event.setCursorPosition(point);
    event.setMouseButton(button);
    dispatcher->dispatchEvent(&event);
}

// The smallest id from 1 up that no finger holds. Fingers whose touch the
// dispatcher no longer knows (it was reset) are forgotten first.
int takeFingerId(EventDispatcher* dispatcher) {
    std::erase_if(s_fingers, [dispatcher](const auto& entry) { return !dispatcher->isTouchActive(entry.second); });
    for (int id = kMouseTouchId + 1;; ++id) {
        bool used = false;
        for (const auto& entry : s_fingers) used = used || entry.second == id;
        if (!used) return id;
    }
}

bool handleFinger(const SDL_TouchFingerEvent& finger, GLViewImpl* view, EventDispatcher* dispatcher) {
    Size window = view->getWindowSize();
    Vec2 point = view->windowToDesign(finger.x * window.width, finger.y * window.height);
    auto key = std::make_pair(finger.touchId, finger.fingerId);
    auto it = s_fingers.find(key);
    if (finger.type == SDL_FINGERDOWN) {
        if (it != s_fingers.end()) {
            // Its lift was lost: end that touch before a new one starts.
            dispatcher->dispatchTouch(Code::CANCELLED, it->second, point);
            s_fingers.erase(it);
        }
        if (!insideDesignArea(view, point)) return true;
        int id = takeFingerId(dispatcher);
        s_fingers[key] = id;
        dispatcher->dispatchTouch(Code::BEGAN, id, point);
        return true;
    }
    if (it == s_fingers.end()) return true;
    int id = it->second;
    if (finger.type == SDL_FINGERUP) {
        s_fingers.erase(it);
        dispatcher->dispatchTouch(Code::ENDED, id, point);
    } else {
        dispatcher->dispatchTouch(Code::MOVED, id, point);
    }
    return true;
}

// A letter by what the layout types on the key (Control+Z is the key
// marked Z on a German keyboard too), by the key's place only where the
// layout types no Latin letter; other keys by their place.
EventKeyboard::KeyCode keyCodeOf(const SDL_Keysym& key) {
    using Key = EventKeyboard::KeyCode;
    if (key.sym >= SDLK_a && key.sym <= SDLK_z) return static_cast<Key>(static_cast<int>(Key::KEY_A) + (key.sym - SDLK_a));
    const SDL_Scancode code = key.scancode;
    // Digits by their place in the top row, whatever the layout types there
    // without Shift. The number pad is left out: without Num Lock its keys
    // are arrows.
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9)
        return static_cast<Key>(static_cast<int>(Key::KEY_1) + (code - SDL_SCANCODE_1));
    if (code == SDL_SCANCODE_0) return Key::KEY_0;
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z)
        return static_cast<Key>(static_cast<int>(Key::KEY_A) + (code - SDL_SCANCODE_A));
    switch (code) {
    case SDL_SCANCODE_ESCAPE: return Key::KEY_ESCAPE;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return Key::KEY_ENTER;
    case SDL_SCANCODE_TAB: return Key::KEY_TAB;
    case SDL_SCANCODE_SPACE: return Key::KEY_SPACE;
    case SDL_SCANCODE_BACKSPACE: return Key::KEY_BACKSPACE;
    case SDL_SCANCODE_DELETE: return Key::KEY_DELETE;
    case SDL_SCANCODE_LEFT: return Key::KEY_LEFT_ARROW;
    case SDL_SCANCODE_RIGHT: return Key::KEY_RIGHT_ARROW;
    case SDL_SCANCODE_UP: return Key::KEY_UP_ARROW;
    case SDL_SCANCODE_DOWN: return Key::KEY_DOWN_ARROW;
    case SDL_SCANCODE_F2: return Key::KEY_F2;
    case SDL_SCANCODE_F5: return Key::KEY_F5;
    case SDL_SCANCODE_PAGEUP: return Key::KEY_PAGE_UP;
    case SDL_SCANCODE_PAGEDOWN: return Key::KEY_PAGE_DOWN;
    case SDL_SCANCODE_HOME: return Key::KEY_HOME;
    case SDL_SCANCODE_END: return Key::KEY_END;
    case SDL_SCANCODE_INSERT: return Key::KEY_INSERT;
    case SDL_SCANCODE_PERIOD: return Key::KEY_PERIOD;
    default: return Key::KEY_NONE;
    }
}

} // namespace

bool handleInputEvent(const SDL_Event& event) {
    GLViewImpl* view = GLViewImpl::getRunning();
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    if (!view || !dispatcher) return false;

    switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        if (event.button.which == SDL_TOUCH_MOUSEID) return true;
        Vec2 point = view->windowToDesign(static_cast<float>(event.button.x), static_cast<float>(event.button.y));
        bool left = event.button.button == SDL_BUTTON_LEFT;
        // The touch goes first, then the mouse event, as in the engine family.
        if (event.type == SDL_MOUSEBUTTONDOWN) {
            if (left && insideDesignArea(view, point)) dispatcher->dispatchTouch(Code::BEGAN, kMouseTouchId, point);
            sendMouse(dispatcher, MouseType::MOUSE_DOWN, point, buttonOf(event.button.button));
        } else {
            if (left) dispatcher->dispatchTouch(Code::ENDED, kMouseTouchId, point);
            sendMouse(dispatcher, MouseType::MOUSE_UP, point, buttonOf(event.button.button));
        }
        return true;
    }
    case SDL_MOUSEMOTION: {
        if (event.motion.which == SDL_TOUCH_MOUSEID) return true;
        Vec2 point = view->windowToDesign(static_cast<float>(event.motion.x), static_cast<float>(event.motion.y));
        // Only a touch that began moves; a move with nothing pressed is the mouse's alone.
        dispatcher->dispatchTouch(Code::MOVED, kMouseTouchId, point);
        sendMouse(dispatcher, MouseType::MOUSE_MOVE, point, heldButton(event.motion.state));
        return true;
    }
    case SDL_MOUSEWHEEL: {
        if (event.wheel.which == SDL_TOUCH_MOUSEID) return true;
        float x = event.wheel.preciseX != 0 ? event.wheel.preciseX : static_cast<float>(event.wheel.x);
        float y = event.wheel.preciseY != 0 ? event.wheel.preciseY : static_cast<float>(event.wheel.y);
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
            x = -x;
            y = -y;
        }
        // Where the cursor was when the wheel turned.
#if SDL_VERSION_ATLEAST(2, 26, 0)
        int mx = event.wheel.mouseX, my = event.wheel.mouseY;
#else
        int mx = 0, my = 0;
        SDL_GetMouseState(&mx, &my);
#endif
        EventMouse mouse(MouseType::MOUSE_SCROLL);
        mouse.setCursorPosition(view->windowToDesign(static_cast<float>(mx), static_cast<float>(my)));
        // SDL's y is positive away from the user; ours towards the user.
        mouse.setScrollData(x, -y);
        mouse.setControlDown((SDL_GetModState() & KMOD_CTRL) != 0);
        dispatcher->dispatchEvent(&mouse);
        return true;
    }
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP:
        if (event.tfinger.touchId == SDL_MOUSE_TOUCHID) return true;
        return handleFinger(event.tfinger, view, dispatcher);
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const SDL_Keysym& key = event.key.keysym;
        injectKey(keyCodeOf(key), event.type == SDL_KEYDOWN, (key.mod & KMOD_CTRL) != 0, (key.mod & KMOD_SHIFT) != 0,
                  event.key.repeat != 0, (key.mod & KMOD_ALT) != 0);
        return true;
    }
    default:
        return false;
    }
}

void injectTouch(EventTouch::EventCode code, int id, const Vec2& designPoint) {
    if (EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher())
        dispatcher->dispatchTouch(code, id, designPoint);
}

void injectKey(EventKeyboard::KeyCode key, bool pressed, bool control, bool shift, bool repeat, bool alt) {
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    if (!dispatcher || key == EventKeyboard::KeyCode::KEY_NONE) return;
    EventKeyboard event(key, pressed);
    event.setModifiers(control, shift);
    event.setRepeat(repeat);
    event.setAltDown(alt);
    dispatcher->dispatchEvent(&event);
}

void injectMouseScroll(const Vec2& designPoint, float scrollX, float scrollY) {
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    if (!dispatcher) return;
    EventMouse event(MouseType::MOUSE_SCROLL);
    event.setCursorPosition(designPoint);
    event.setScrollData(scrollX, scrollY);
    dispatcher->dispatchEvent(&event);
}

} // namespace engine
