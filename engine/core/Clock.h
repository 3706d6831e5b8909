#pragma once
// The one clock every timed behaviour reads. It advances only by the frame's
// dt, so a test that steps frames sees exactly the time it stepped.
namespace engine {

class Clock {
public:
    static double now() { return s_now; }
    static void advance(double dt) { s_now += dt; }
    static void reset() { s_now = 0; }

private:
    static inline double s_now = 0;
};

} // namespace engine
