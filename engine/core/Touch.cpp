#include "engine/core/Touch.h"

namespace engine {

void Touch::setTouchInfo(int id, const Vec2& point) {
    _id = id;
    _prevPoint = _point;
    _point = point;
    if (!_startPointCaptured) {
        _startPoint = _prevPoint = point;
        _startPointCaptured = true;
    }
}

} // namespace engine
