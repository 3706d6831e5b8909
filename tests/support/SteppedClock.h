#pragma once
// A clock for the application's main loop whose time moves only when the
// loop sleeps: it records every sleep and asks the loop to quit after a
// number of frames, so pacing is tested without sleeping.
#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "engine/platform/Application.h"

namespace testsupport {

class SteppedClock : public engine::FrameClock {
public:
    SteppedClock(engine::Application* app, size_t frames) : _app(app), _frames(frames) {}
    TimePoint now() override { return _now; }
    void sleepUntil(TimePoint deadline) override {
        sleeps.push_back(std::chrono::duration<double>(deadline - _now).count());
        if (deadline > _now) _now = deadline;
        if (sleeps.size() == _frames / 2 && onHalfWay) onHalfWay();
        if (sleeps.size() >= _frames) _app->requestQuit();
    }

    // Seconds of each sleep, in order.
    std::vector<double> sleeps;
    std::function<void()> onHalfWay;

private:
    engine::Application* _app;
    size_t _frames;
    TimePoint _now{};
};

} // namespace testsupport
