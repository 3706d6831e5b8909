#include "engine/core/EventDispatcher.h"

namespace engine {

void EventDispatcher::removeEventListenersForTarget(Node*, bool) {}
void EventDispatcher::pauseEventListenersForTarget(Node*, bool) {}
void EventDispatcher::resumeEventListenersForTarget(Node*, bool) {}

} // namespace engine
