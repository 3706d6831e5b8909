#include "engine/core/EventDispatcher.h"

#include <algorithm>
#include <unordered_set>

#include "engine/core/Director.h"
#include "engine/core/Node.h"
#include "engine/core/Scene.h"
#include "engine/core/Transition.h"

namespace engine {

EventDispatcher::~EventDispatcher() { removeAllEventListeners(); }

// --- adding

bool EventDispatcher::registerListener(EventListener* listener) {
    if (!listener || listener->_isRegistered || !listener->checkAvailable()) return false;
    listener->_isRegistered = true;
    listener->_serial = ++_serial;
    _listeners.emplace_back(listener);
    return true;
}

void EventDispatcher::addEventListenerWithSceneGraphPriority(EventListener* listener, Node* node) {
    if (!node || !registerListener(listener)) return;
    listener->_node = node;
    listener->_fixedPriority = 0;
    listener->_paused = !node->isRunning();
    _nodeListeners[node].push_back(listener);
}

void EventDispatcher::addEventListenerWithFixedPriority(EventListener* listener, int fixedPriority) {
    if (fixedPriority == 0 || !registerListener(listener)) return;
    listener->_node = nullptr;
    listener->_fixedPriority = fixedPriority;
    listener->_paused = false;
}

EventListenerCustom* EventDispatcher::addCustomEventListener(const std::string& eventName,
                                                             const std::function<void(EventCustom*)>& callback) {
    EventListenerCustom* listener = EventListenerCustom::create(eventName, callback);
    addEventListenerWithFixedPriority(listener, 1);
    return listener->isRegistered() ? listener : nullptr;
}

void EventDispatcher::setPriority(EventListener* listener, int fixedPriority) {
    if (!listener || !listener->_isRegistered || listener->_node || fixedPriority == 0) return;
    listener->_fixedPriority = fixedPriority;
}

bool EventDispatcher::hasEventListener(const EventListener::ListenerID& listenerID) const {
    return std::any_of(_listeners.begin(), _listeners.end(),
                       [&](const RefPtr<EventListener>& l) { return l->_listenerID == listenerID; });
}

// --- removing

void EventDispatcher::detach(EventListener* listener) {
    listener->_isRegistered = false;
    if (listener->_type == EventListener::Type::TOUCH_ONE_BY_ONE)
        static_cast<EventListenerTouchOneByOne*>(listener)->_claimedTouches.clear();
    if (Node* node = listener->_node) {
        auto it = _nodeListeners.find(node);
        if (it != _nodeListeners.end()) {
            std::erase(it->second, listener);
            if (it->second.empty()) _nodeListeners.erase(it);
        }
        listener->_node = nullptr;
    }
}

template <typename Pred>
void EventDispatcher::removeListenersWhere(Pred pred) {
    // Dropping the last reference may destroy a node the listener's callback
    // held, which comes back here to remove that node's listeners: release
    // only once the lists are whole again.
    Listeners removed, kept;
    kept.reserve(_listeners.size());
    for (auto& listener : _listeners) (pred(listener.get()) ? removed : kept).push_back(std::move(listener));
    _listeners.swap(kept);
    for (auto& listener : removed) detach(listener.get());
}

void EventDispatcher::removeEventListener(EventListener* listener) {
    if (!listener || !listener->_isRegistered) return;
    removeListenersWhere([listener](EventListener* l) { return l == listener; });
}

void EventDispatcher::removeEventListenersForType(EventListener::Type type) {
    removeListenersWhere([type](EventListener* l) { return l->_type == type; });
}

void EventDispatcher::removeEventListenersForTarget(Node* target, bool recursive) {
    if (!target) return;
    // Every node that dies calls this: most have no listeners.
    if (!recursive) {
        if (!_nodeListeners.count(target)) return;
        removeListenersWhere([target](EventListener* l) { return l->_node == target; });
        return;
    }
    std::unordered_set<const Node*> nodes;
    std::vector<const Node*> pending{target};
    while (!pending.empty()) {
        const Node* node = pending.back();
        pending.pop_back();
        nodes.insert(node);
        for (Node* child : node->getChildren()) pending.push_back(child);
    }
    removeListenersWhere([&nodes](EventListener* l) { return l->_node && nodes.count(l->_node); });
}

void EventDispatcher::removeCustomEventListeners(const std::string& customEventName) {
    removeListenersWhere([&customEventName](EventListener* l) {
        return l->_type == EventListener::Type::CUSTOM && l->_listenerID == customEventName;
    });
}

void EventDispatcher::removeAllEventListeners() {
    removeListenersWhere([](EventListener*) { return true; });
}

void EventDispatcher::reset() {
    removeAllEventListeners();
    _activeTouches.clear();
    _enabled = true;
}

// --- pausing

void EventDispatcher::setPausedForTarget(Node* target, bool recursive, bool paused) {
    if (!target) return;
    auto it = _nodeListeners.find(target);
    if (it != _nodeListeners.end())
        for (EventListener* listener : it->second) listener->_paused = paused;
    if (recursive)
        for (Node* child : target->getChildren()) setPausedForTarget(child, true, paused);
}

void EventDispatcher::pauseEventListenersForTarget(Node* target, bool recursive) {
    setPausedForTarget(target, recursive, true);
}

void EventDispatcher::resumeEventListenersForTarget(Node* target, bool recursive) {
    setPausedForTarget(target, recursive, false);
}

// --- order

// The same walk as drawing: children below zero, the node, the rest; a
// transition draws the outgoing scene and then the incoming one over itself.
// Visibility does not matter: a hidden node still hears, as in the engine
// family, so handlers that care check isVisible() themselves.
void EventDispatcher::collectNodesInDrawOrder(Node* node, std::vector<Node*>& out) const {
    node->sortAllChildren();
    const Vector<Node*>& children = node->getChildren();
    size_t i = 0, n = children.size();
    for (; i < n && children.at(i)->getLocalZOrder() < 0; ++i) collectNodesInDrawOrder(children.at(i), out);
    if (_nodeListeners.count(node)) out.push_back(node);
    for (; i < n; ++i) collectNodesInDrawOrder(children.at(i), out);
    if (auto* transition = dynamic_cast<TransitionScene*>(node)) {
        if (Scene* outgoing = transition->getOutScene()) collectNodesInDrawOrder(outgoing, out);
        if (Scene* incoming = transition->getInScene()) collectNodesInDrawOrder(incoming, out);
    }
}

EventDispatcher::Listeners EventDispatcher::orderedListeners(const EventListener::ListenerID& listenerID) {
    std::vector<EventListener*> before, after;
    bool anyBound = false;
    for (const auto& listener : _listeners) {
        if (listener->_listenerID != listenerID) continue;
        if (listener->_node) anyBound = true;
        else (listener->_fixedPriority < 0 ? before : after).push_back(listener.get());
    }
    auto byPriority = [](const EventListener* a, const EventListener* b) { return a->_fixedPriority < b->_fixedPriority; };
    std::stable_sort(before.begin(), before.end(), byPriority);
    std::stable_sort(after.begin(), after.end(), byPriority);

    Listeners ordered(before.begin(), before.end());
    // Nodes outside the running scene are not reached, so their listeners
    // are not asked even if nobody paused them.
    Scene* scene = Director::getInstance()->getRunningScene();
    if (anyBound && scene) {
        std::vector<Node*> nodes;
        collectNodesInDrawOrder(scene, nodes);
        for (auto node = nodes.rbegin(); node != nodes.rend(); ++node)
            for (EventListener* listener : _nodeListeners[*node])
                if (listener->_listenerID == listenerID) ordered.emplace_back(listener);
    }
    ordered.insert(ordered.end(), after.begin(), after.end());
    return ordered;
}

bool EventDispatcher::canHear(const EventListener* listener, unsigned newestSerial) const {
    return listener->_isRegistered && listener->_isEnabled && !listener->_paused && listener->_serial <= newestSerial;
}

// --- dispatch

void EventDispatcher::dispatchEvent(Event* event) {
    if (!event) return;
    switch (event->getType()) {
    case Event::Type::TOUCH: dispatchTouchEvent(static_cast<EventTouch*>(event)); break;
    case Event::Type::MOUSE: dispatchMouseEvent(static_cast<EventMouse*>(event)); break;
    case Event::Type::KEYBOARD: dispatchKeyboardEvent(static_cast<EventKeyboard*>(event)); break;
    case Event::Type::CUSTOM: dispatchCustom(static_cast<EventCustom*>(event)); break;
    }
    event->_currentTarget = nullptr;
}

void EventDispatcher::dispatchCustomEvent(const std::string& eventName, void* optionalUserData) {
    EventCustom event(eventName);
    event.setUserData(optionalUserData);
    dispatchEvent(&event);
}

void EventDispatcher::dispatchTouch(EventTouch::EventCode code, int id, const Vec2& point) {
    using Code = EventTouch::EventCode;
    RefPtr<Touch> touch;
    if (code == Code::BEGAN) {
        if (_enabled) _keyboardInUse = false;
        // A press whose release was lost: its claimers must not keep it.
        auto old = _activeTouches.find(id);
        if (old != _activeTouches.end()) dispatchTouch(Code::CANCELLED, id, old->second->getLocation());
        touch = RefPtr<Touch>::adopt(new Touch());
        touch->setTouchInfo(id, point);
        _activeTouches[id] = touch;
    } else {
        auto it = _activeTouches.find(id);
        if (it == _activeTouches.end()) return;
        touch = it->second;
        touch->setTouchInfo(id, point);
        if (code == Code::ENDED || code == Code::CANCELLED) _activeTouches.erase(it);
    }
    EventTouch event(code);
    event.setTouches({touch.get()});
    dispatchEvent(&event);
}

void EventDispatcher::dispatchTouchEvent(EventTouch* event) {
    using Code = EventTouch::EventCode;
    const Code code = event->getEventCode();
    const bool ending = code == Code::ENDED || code == Code::CANCELLED;
    std::vector<RefPtr<Touch>> touches(event->getTouches().begin(), event->getTouches().end());

    if (_enabled) {
        // Held for the whole dispatch, so a listener removed by a callback
        // (or whose node died) is still there to be checked and skipped.
        Listeners listeners = orderedListeners(EventListenerTouchOneByOne::LISTENER_ID);
        const unsigned newest = _serial;
        auto callbackFor = [code](EventListenerTouchOneByOne* l) -> std::function<void(Touch*, Event*)>& {
            return code == Code::MOVED ? l->onTouchMoved : code == Code::ENDED ? l->onTouchEnded : l->onTouchCancelled;
        };
        for (const RefPtr<Touch>& touch : touches) {
            if (code == Code::BEGAN) {
                for (const auto& entry : listeners) {
                    auto* l = static_cast<EventListenerTouchOneByOne*>(entry.get());
                    if (!canHear(l, newest) || !l->onTouchBegan) continue;
                    // A node scrolled out of a clipping view is not there to be touched.
                    if (l->_node && !l->_node->isVisibleThroughClipping(touch->getLocation())) continue;
                    event->_currentTarget = l->_node;
                    bool claimed = l->onTouchBegan(touch.get(), event) && l->_isRegistered;
                    if (claimed) l->_claimedTouches.emplace_back(touch);
                    if (event->isStopped()) break;
                    if (claimed && l->_needSwallow) break;
                }
            } else {
                bool swallowed = false;
                for (const auto& entry : listeners) {
                    auto* l = static_cast<EventListenerTouchOneByOne*>(entry.get());
                    if (!l->claims(touch.get())) continue;
                    if (swallowed) {
                        // A claimer in front has started swallowing this touch.
                        // Those behind it would otherwise keep a touch that never
                        // ends for them, and take the next press for a second finger.
                        l->dropClaim(touch.get());
                        if (canHear(l, newest) && l->onTouchCancelled) {
                            event->_currentTarget = l->_node;
                            l->onTouchCancelled(touch.get(), event);
                        }
                        continue;
                    }
                    if (!canHear(l, newest)) continue;
                    event->_currentTarget = l->_node;
                    if (auto& callback = callbackFor(l)) callback(touch.get(), event);
                    if (ending) l->dropClaim(touch.get());
                    if (event->isStopped()) break;
                    if (l->_isRegistered && l->_needSwallow) swallowed = true;
                }
            }
            if (event->isStopped()) break;
        }
    }

    // A touch that is over belongs to nobody, including claimers that were
    // paused, disabled or off the scene when it ended.
    if (ending)
        for (const auto& listener : _listeners)
            if (listener->_type == EventListener::Type::TOUCH_ONE_BY_ONE)
                for (const RefPtr<Touch>& touch : touches)
                    static_cast<EventListenerTouchOneByOne*>(listener.get())->dropClaim(touch.get());
}

void EventDispatcher::dispatchMouseEvent(EventMouse* event) {
    if (!_enabled) return;
    Listeners listeners = orderedListeners(EventListenerMouse::LISTENER_ID);
    const unsigned newest = _serial;
    using Kind = EventMouse::MouseEventType;
    for (const auto& entry : listeners) {
        auto* l = static_cast<EventListenerMouse*>(entry.get());
        if (!canHear(l, newest)) continue;
        event->_currentTarget = l->_node;
        switch (event->getMouseEventType()) {
        case Kind::MOUSE_DOWN: if (l->onMouseDown) l->onMouseDown(event); break;
        case Kind::MOUSE_UP: if (l->onMouseUp) l->onMouseUp(event); break;
        case Kind::MOUSE_MOVE: if (l->onMouseMove) l->onMouseMove(event); break;
        case Kind::MOUSE_SCROLL: if (l->onMouseScroll) l->onMouseScroll(event); break;
        case Kind::MOUSE_NONE: break;
        }
        if (event->isStopped()) break;
    }
}

void EventDispatcher::dispatchKeyboardEvent(EventKeyboard* event) {
    if (!_enabled) return;
    if (event->isPressed()) _keyboardInUse = true;
    Listeners listeners = orderedListeners(EventListenerKeyboard::LISTENER_ID);
    const unsigned newest = _serial;
    for (const auto& entry : listeners) {
        auto* l = static_cast<EventListenerKeyboard*>(entry.get());
        if (!canHear(l, newest)) continue;
        event->_currentTarget = l->_node;
        auto& callback = event->isPressed() ? l->onKeyPressed : l->onKeyReleased;
        if (callback) callback(event->getKeyCode(), event);
        if (event->isStopped()) break;
    }
}

void EventDispatcher::dispatchCustom(EventCustom* event) {
    Listeners listeners = orderedListeners(event->getEventName());
    const unsigned newest = _serial;
    for (const auto& entry : listeners) {
        if (entry->_type != EventListener::Type::CUSTOM || !canHear(entry.get(), newest)) continue;
        auto* l = static_cast<EventListenerCustom*>(entry.get());
        event->_currentTarget = l->_node;
        if (l->_onCustomEvent) l->_onCustomEvent(event);
        if (event->isStopped()) break;
    }
}

} // namespace engine
