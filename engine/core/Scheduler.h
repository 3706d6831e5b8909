#pragma once
// Per-frame updates, timed callbacks and the queue of functions that worker
// threads hand to the main thread.
#include <climits>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/Ref.h"

namespace engine {

class Scheduler : public Ref {
public:
    static constexpr unsigned REPEAT_FOREVER = UINT_MAX - 1;
    // Priority of the engine's own updates (actions), which run before
    // every node's update.
    static constexpr int PRIORITY_SYSTEM = INT_MIN;

    using Callback = std::function<void(float)>;

    Scheduler() = default;
    ~Scheduler() override;

    // A callback every `interval` seconds (0: every frame), `repeat` + 1
    // times in all (REPEAT_FOREVER: until unscheduled), first after `delay`.
    // Its first update only starts the count: at dt 0.1 a delay of 0.5
    // fires on the sixth frame. Scheduling the same key for the same target
    // again replaces it.
    void schedule(const Callback& callback, void* target, float interval, unsigned repeat, float delay,
                  bool paused, const std::string& key);
    void schedule(const Callback& callback, void* target, float interval, bool paused, const std::string& key) {
        schedule(callback, target, interval, REPEAT_FOREVER, 0, paused, key);
    }
    void unschedule(const std::string& key, void* target);
    bool isScheduled(const std::string& key, const void* target) const;

    // Every frame, lower priorities first, in order of scheduling within one.
    void scheduleUpdate(const Callback& callback, void* target, int priority, bool paused);
    void unscheduleUpdate(void* target);

    void unscheduleAllForTarget(void* target);
    // Pausing holds what the target has scheduled now; what it schedules
    // later follows its own `paused` argument.
    void pauseTarget(void* target);
    void resumeTarget(void* target);
    // True when the target has something scheduled and all of it is paused.
    bool isTargetPaused(const void* target) const;

    void update(float dt);

    // Thread-safe. Runs `function` on the main thread at the start of the
    // next frame, in posting order; one posted from a posted function runs
    // a frame later.
    void performFunctionInCocosThread(std::function<void()> function);
    void runFunctionsToPerform();
    size_t pendingFunctionCount();

private:
    struct Entry {
        void* target = nullptr;
        std::string key;
        Callback callback;
        double interval = 0, delay = 0, elapsed = 0;
        unsigned repeat = 0, timesExecuted = 0;
        bool useDelay = false, removed = false, runForever = false, paused = false, counting = false;
        int priority = 0;
    };
    void runTimer(Entry& entry, float dt);
    void purge();
    void setPaused(void* target, bool paused);

    std::vector<std::shared_ptr<Entry>> _updates;
    std::vector<std::shared_ptr<Entry>> _timers;
    bool _dirty = false;

    std::mutex _performMutex;
    std::vector<std::function<void()>> _functionsToPerform;
};

} // namespace engine
