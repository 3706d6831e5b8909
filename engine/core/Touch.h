#pragma once
// One finger (or the mouse) on the screen, from press to release. The same
// object is handed to every event of that press, so listeners may keep it.
#include "engine/core/Ref.h"
#include "engine/core/Types.h"

namespace engine {

class Touch : public Ref {
public:
    Touch() = default;

    // Moves the touch to `point` (design points); the first call also sets
    // where it started.
    void setTouchInfo(int id, const Vec2& point);
    void setTouchInfo(int id, float x, float y) { setTouchInfo(id, Vec2(x, y)); }

    int getID() const { return _id; }
    Vec2 getLocation() const { return _point; }
    Vec2 getPreviousLocation() const { return _prevPoint; }
    Vec2 getStartLocation() const { return _startPoint; }
    // How far the last move went.
    Vec2 getDelta() const { return _point - _prevPoint; }

protected:
    ~Touch() override = default;

private:
    int _id = 0;
    bool _startPointCaptured = false;
    Vec2 _point, _prevPoint, _startPoint;
};

} // namespace engine
