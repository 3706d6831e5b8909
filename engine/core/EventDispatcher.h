#pragma once
// Touch, mouse and custom events, delivered to listeners in the order of the
// scene graph.
//
// Order of asking: fixed priorities below 0 (lowest first), then listeners
// bound to nodes, the front-most node (drawn last) first and several
// listeners of one node in the order they were added, then fixed priorities
// above 0. The scene-graph order is taken afresh at every dispatch, so it
// follows z-order changes at once.
//
// A press is offered to a node's listeners only where the node shows through
// every clipping node above it.
//
// Listeners may be added and removed from inside callbacks: one removed
// hears nothing more, not even the rest of the current dispatch; one added
// first hears the next event.
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/Event.h"
#include "engine/core/EventListener.h"
#include "engine/core/Ref.h"

namespace engine {

class Node;

class EventDispatcher : public Ref {
public:
    EventDispatcher() = default;

    // The listener hears events only while `node` is in the running scene.
    // A listener can be added once; clone() it to use it again elsewhere.
    void addEventListenerWithSceneGraphPriority(EventListener* listener, Node* node);
    // Priority 0 belongs to the scene graph and is refused.
    void addEventListenerWithFixedPriority(EventListener* listener, int fixedPriority);
    // A fixed-priority (1) listener for the custom events named `eventName`.
    EventListenerCustom* addCustomEventListener(const std::string& eventName,
                                                const std::function<void(EventCustom*)>& callback);

    void removeEventListener(EventListener* listener);
    void removeEventListenersForType(EventListener::Type type);
    void removeEventListenersForTarget(Node* target, bool recursive = false);
    void removeCustomEventListeners(const std::string& customEventName);
    void removeAllEventListeners();
    void pauseEventListenersForTarget(Node* target, bool recursive = false);
    void resumeEventListenersForTarget(Node* target, bool recursive = false);
    // For fixed-priority listeners only.
    void setPriority(EventListener* listener, int fixedPriority);
    bool hasEventListener(const EventListener::ListenerID& listenerID) const;

    // Off while a scene transition runs: no touch or mouse event reaches any
    // listener. Custom events still go through, so news posted by workers
    // is not lost during a slide.
    void setEnabled(bool enabled) { _enabled = enabled; }
    bool isEnabled() const { return _enabled; }
    // Whether the user's last press was a key rather than a touch: screens
    // show where the keys act only then. A screen that opens sets it again.
    bool isKeyboardInUse() const { return _keyboardInUse; }
    void setKeyboardInUse(bool inUse) { _keyboardInUse = inUse; }

    void dispatchEvent(Event* event);
    void dispatchCustomEvent(const std::string& eventName, void* optionalUserData = nullptr);

    // One pointer as the platform reports it, in design points. The touch of
    // an id lives from BEGAN to ENDED or CANCELLED; a BEGAN for an id still
    // pressed cancels the old touch first, and MOVED or ENDED for an id not
    // pressed is dropped. Tests inject touches here.
    void dispatchTouch(EventTouch::EventCode code, int id, const Vec2& point);
    bool isTouchActive(int id) const { return _activeTouches.count(id) != 0; }

    // Back to a fresh state: no listeners, enabled, no touch in progress.
    void reset();

protected:
    ~EventDispatcher() override;

private:
    using Listeners = std::vector<RefPtr<EventListener>>;

    bool registerListener(EventListener* listener);
    template <typename Pred>
    void removeListenersWhere(Pred pred);
    void detach(EventListener* listener);
    void setPausedForTarget(Node* target, bool recursive, bool paused);
    // Everyone who may hear an event of `listenerID`, in the order of asking.
    Listeners orderedListeners(const EventListener::ListenerID& listenerID);
    void collectNodesInDrawOrder(Node* node, std::vector<Node*>& out) const;
    bool canHear(const EventListener* listener, unsigned newestSerial) const;

    void dispatchTouchEvent(EventTouch* event);
    void dispatchMouseEvent(EventMouse* event);
    void dispatchKeyboardEvent(EventKeyboard* event);
    void dispatchCustom(EventCustom* event);

    Listeners _listeners;  // in order of adding
    std::unordered_map<Node*, std::vector<EventListener*>> _nodeListeners;
    std::map<int, RefPtr<Touch>> _activeTouches;
    // Each registration gets a serial; a dispatch skips listeners registered
    // after it began.
    unsigned _serial = 0;
    bool _enabled = true;
    bool _keyboardInUse = true;
};

} // namespace engine
