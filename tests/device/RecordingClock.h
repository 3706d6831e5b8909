#pragma once
// Pacing checked without sleeping.
#include <chrono>
#include <vector>

#include "device/Typing.h"

namespace devicetest {

// Time moves only when the typing sleeps; every deadline asked for is kept.
class RecordingClock : public PacingClock {
public:
    std::chrono::steady_clock::time_point now() override { return current; }
    void sleepUntil(std::chrono::steady_clock::time_point deadline) override
    {
        deadlines.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - start).count());
        if (deadline > current)
            current = deadline;
    }
    // Milliseconds from the start, in order.
    std::vector<long long> deadlines;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::time_point() + std::chrono::hours(1);
    std::chrono::steady_clock::time_point current = start;
};

} // namespace devicetest
