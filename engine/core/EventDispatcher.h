#pragma once
// Touch, mouse and custom events, delivered to listeners in the order of the
// scene graph.
#include "engine/core/Ref.h"

namespace engine {

class Node;

class EventDispatcher : public Ref {
public:
    void removeEventListenersForTarget(Node* target, bool recursive = false);
    void pauseEventListenersForTarget(Node* target, bool recursive = false);
    void resumeEventListenersForTarget(Node* target, bool recursive = false);
    // Off while a scene transition runs: no touch reaches any listener.
    void setEnabled(bool enabled) { _enabled = enabled; }
    bool isEnabled() const { return _enabled; }

private:
    bool _enabled = true;
};

} // namespace engine
