#pragma once
// What the dispatcher hands to listeners: touches, the mouse, and custom
// events by name. Events live on the caller's stack for one dispatch.
#include <string>
#include <vector>

#include "engine/core/Ref.h"
#include "engine/core/Touch.h"
#include "engine/core/Types.h"

namespace engine {

class Node;

class Event {
public:
    enum class Type { TOUCH, MOUSE, KEYBOARD, CUSTOM };

    explicit Event(Type type) : _type(type) {}
    virtual ~Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    Type getType() const { return _type; }
    // No listener after the current one hears this event.
    void stopPropagation() { _isStopped = true; }
    bool isStopped() const { return _isStopped; }
    // The node of the listener being called (null for fixed priority).
    Node* getCurrentTarget() const { return _currentTarget; }

private:
    friend class EventDispatcher;
    Type _type;
    bool _isStopped = false;
    Node* _currentTarget = nullptr;
};

class EventTouch : public Event {
public:
    static constexpr int MAX_TOUCHES = 15;
    enum class EventCode { BEGAN, MOVED, ENDED, CANCELLED };

    EventTouch() : Event(Type::TOUCH) {}
    explicit EventTouch(EventCode code) : Event(Type::TOUCH), _eventCode(code) {}

    EventCode getEventCode() const { return _eventCode; }
    void setEventCode(EventCode code) { _eventCode = code; }
    const std::vector<Touch*>& getTouches() const { return _touches; }
    // The event keeps the touches alive while it exists.
    void setTouches(const std::vector<Touch*>& touches);

private:
    EventCode _eventCode = EventCode::BEGAN;
    std::vector<Touch*> _touches;
    std::vector<RefPtr<Touch>> _held;
};

class EventMouse : public Event {
public:
    enum class MouseEventType { MOUSE_NONE, MOUSE_DOWN, MOUSE_UP, MOUSE_MOVE, MOUSE_SCROLL };
    enum class MouseButton { BUTTON_UNSET = -1, BUTTON_LEFT = 0, BUTTON_RIGHT = 1, BUTTON_MIDDLE = 2, BUTTON_4 = 3,
                             BUTTON_5 = 4 };

    explicit EventMouse(MouseEventType type) : Event(Type::MOUSE), _mouseEventType(type) {}

    MouseEventType getMouseEventType() const { return _mouseEventType; }

    // Wheel turns in notches. getScrollY() is positive when the wheel turns
    // towards the user (content should move up, as when dragging up), which
    // is the opposite of SDL's sign; getScrollX() is positive to the right.
    void setScrollData(float scrollX, float scrollY) { _scrollX = scrollX; _scrollY = scrollY; }
    float getScrollX() const { return _scrollX; }
    float getScrollY() const { return _scrollY; }

    // The cursor in design points (y up).
    void setCursorPosition(float x, float y) { _point = Vec2(x, y); }
    void setCursorPosition(const Vec2& point) { _point = point; }
    float getCursorX() const { return _point.x; }
    float getCursorY() const { return _point.y; }
    Vec2 getLocation() const { return _point; }

    void setMouseButton(MouseButton button) { _mouseButton = button; }
    MouseButton getMouseButton() const { return _mouseButton; }

    // Whether a Control key was held: Control and the wheel zoom.
    void setControlDown(bool down) { _controlDown = down; }
    bool isControlDown() const { return _controlDown; }

private:
    bool _controlDown = false;
    MouseEventType _mouseEventType;
    MouseButton _mouseButton = MouseButton::BUTTON_UNSET;
    float _scrollX = 0, _scrollY = 0;
    Vec2 _point;
};

// A key pressed or let go, with the modifiers held. Letters are named by
// their key, whatever the keyboard layout types.
class EventKeyboard : public Event {
public:
    enum class KeyCode { KEY_NONE, KEY_ESCAPE, KEY_ENTER, KEY_TAB, KEY_SPACE, KEY_BACKSPACE, KEY_DELETE,
                         KEY_LEFT_ARROW, KEY_RIGHT_ARROW, KEY_UP_ARROW, KEY_DOWN_ARROW,
                         KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
                         KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
                         KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9,
                         KEY_F2, KEY_F5, KEY_PAGE_UP, KEY_PAGE_DOWN, KEY_HOME, KEY_END, KEY_INSERT, KEY_PERIOD };

    EventKeyboard(KeyCode key, bool pressed) : Event(Type::KEYBOARD), _key(key), _pressed(pressed) {}

    KeyCode getKeyCode() const { return _key; }
    bool isPressed() const { return _pressed; }
    void setModifiers(bool control, bool shift) { _control = control; _shift = shift; }
    bool isControlDown() const { return _control; }
    bool isShiftDown() const { return _shift; }
    void setAltDown(bool alt) { _alt = alt; }
    bool isAltDown() const { return _alt; }
    // Control, Shift or Alt held.
    bool hasModifiers() const { return _control || _shift || _alt; }
    // A key held down types again; such a press is a repeat.
    void setRepeat(bool repeat) { _repeat = repeat; }
    bool isRepeat() const { return _repeat; }

private:
    KeyCode _key;
    bool _pressed;
    bool _control = false, _shift = false, _alt = false, _repeat = false;
};

// A file dropped on the window; its user data is the path, a std::string,
// valid while the event is dispatched.
inline constexpr const char* kFileDroppedEvent = "ENGINE_FILE_DROPPED";

class EventCustom : public Event {
public:
    explicit EventCustom(const std::string& eventName) : Event(Type::CUSTOM), _eventName(eventName) {}

    const std::string& getEventName() const { return _eventName; }
    void setUserData(void* data) { _userData = data; }
    void* getUserData() const { return _userData; }

private:
    std::string _eventName;
    void* _userData = nullptr;
};

} // namespace engine
