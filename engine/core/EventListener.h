#pragma once
// Listeners: what a node (or the program, at a fixed priority) wants to
// hear. The dispatcher retains every listener it holds; a listener knows its
// node only by a raw pointer, which the node clears by removing its
// listeners when it dies.
#include <functional>
#include <string>
#include <vector>

#include "engine/core/Event.h"
#include "engine/core/Ref.h"

namespace engine {

class Node;

class EventListener : public Ref {
public:
    enum class Type { UNKNOWN, TOUCH_ONE_BY_ONE, MOUSE, KEYBOARD, CUSTOM };
    // Listeners with the same id hear the same events: one id per kind of
    // input, and a custom event's name.
    using ListenerID = std::string;

    // False when the listener lacks the callbacks it needs; such a listener
    // is not added.
    virtual bool checkAvailable() = 0;
    // A fresh, unregistered listener with the same callbacks (autoreleased).
    virtual EventListener* clone() = 0;

    // A disabled listener stays registered but hears nothing.
    void setEnabled(bool enabled) { _isEnabled = enabled; }
    bool isEnabled() const { return _isEnabled; }
    // Paused while its node is off the running scene.
    bool isPaused() const { return _paused; }
    bool isRegistered() const { return _isRegistered; }

    Type getType() const { return _type; }
    const ListenerID& getListenerID() const { return _listenerID; }
    // 0 for listeners that follow the scene graph.
    int getFixedPriority() const { return _fixedPriority; }
    Node* getAssociatedNode() const { return _node; }

protected:
    EventListener(Type type, const ListenerID& id) : _type(type), _listenerID(id) {}
    ~EventListener() override = default;

private:
    friend class EventDispatcher;
    Type _type;
    ListenerID _listenerID;
    Node* _node = nullptr;
    int _fixedPriority = 0;
    unsigned _serial = 0;  // when it was registered
    bool _paused = false;
    bool _isRegistered = false;
    bool _isEnabled = true;
};

// Touches one at a time. onTouchBegan returning true claims the touch: the
// listener then hears its moves and its end, wherever the finger goes.
class EventListenerTouchOneByOne : public EventListener {
public:
    static const ListenerID LISTENER_ID;

    static EventListenerTouchOneByOne* create();

    // A swallowing listener keeps a touch it claimed from the listeners
    // behind it. It may change while a touch is in progress.
    void setSwallowTouches(bool needSwallow) { _needSwallow = needSwallow; }
    bool isSwallowTouches() const { return _needSwallow; }

    bool checkAvailable() override { return static_cast<bool>(onTouchBegan); }
    EventListenerTouchOneByOne* clone() override;

    std::function<bool(Touch*, Event*)> onTouchBegan;
    std::function<void(Touch*, Event*)> onTouchMoved;
    std::function<void(Touch*, Event*)> onTouchEnded;
    std::function<void(Touch*, Event*)> onTouchCancelled;

protected:
    EventListenerTouchOneByOne() : EventListener(Type::TOUCH_ONE_BY_ONE, LISTENER_ID) {}

private:
    friend class EventDispatcher;
    bool claims(const Touch* touch) const;
    void dropClaim(const Touch* touch);

    bool _needSwallow = false;
    std::vector<RefPtr<Touch>> _claimedTouches;
};

class EventListenerMouse : public EventListener {
public:
    static const ListenerID LISTENER_ID;

    static EventListenerMouse* create();

    bool checkAvailable() override { return true; }
    EventListenerMouse* clone() override;

    std::function<void(EventMouse*)> onMouseDown;
    std::function<void(EventMouse*)> onMouseUp;
    std::function<void(EventMouse*)> onMouseMove;
    std::function<void(EventMouse*)> onMouseScroll;

protected:
    EventListenerMouse() : EventListener(Type::MOUSE, LISTENER_ID) {}
};

class EventListenerKeyboard : public EventListener {
public:
    static const ListenerID LISTENER_ID;

    static EventListenerKeyboard* create();

    bool checkAvailable() override { return onKeyPressed || onKeyReleased; }
    EventListenerKeyboard* clone() override;

    std::function<void(EventKeyboard::KeyCode, EventKeyboard*)> onKeyPressed;
    std::function<void(EventKeyboard::KeyCode, EventKeyboard*)> onKeyReleased;

protected:
    EventListenerKeyboard() : EventListener(Type::KEYBOARD, LISTENER_ID) {}
};

// Hears the custom events of one name.
class EventListenerCustom : public EventListener {
public:
    static EventListenerCustom* create(const std::string& eventName, const std::function<void(EventCustom*)>& callback);

    bool checkAvailable() override { return static_cast<bool>(_onCustomEvent); }
    EventListenerCustom* clone() override;

protected:
    EventListenerCustom(const std::string& eventName, const std::function<void(EventCustom*)>& callback)
        : EventListener(Type::CUSTOM, eventName), _onCustomEvent(callback) {}

private:
    friend class EventDispatcher;
    std::function<void(EventCustom*)> _onCustomEvent;
};

} // namespace engine
