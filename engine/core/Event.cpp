#include "engine/core/Event.h"

namespace engine {

void EventTouch::setTouches(const std::vector<Touch*>& touches) {
    std::vector<RefPtr<Touch>> held(touches.begin(), touches.end());
    _touches = touches;
    _held.swap(held);
}

} // namespace engine
