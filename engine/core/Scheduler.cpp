#include "engine/core/Scheduler.h"

#include <algorithm>

namespace engine {

Scheduler::~Scheduler() = default;

void Scheduler::schedule(const Callback& callback, void* target, float interval, unsigned repeat, float delay,
                         bool paused, const std::string& key) {
    unschedule(key, target);
    auto entry = std::make_shared<Entry>();
    entry->target = target;
    entry->key = key;
    entry->callback = callback;
    entry->interval = std::max(0.0f, interval);
    entry->delay = std::max(0.0f, delay);
    entry->useDelay = delay > 0;
    entry->repeat = repeat;
    entry->runForever = repeat == REPEAT_FOREVER;
    entry->paused = paused;
    _timers.push_back(std::move(entry));
}

void Scheduler::unschedule(const std::string& key, void* target) {
    for (auto& e : _timers)
        if (!e->removed && e->target == target && e->key == key) { e->removed = true; _dirty = true; }
}

bool Scheduler::isScheduled(const std::string& key, const void* target) const {
    return std::any_of(_timers.begin(), _timers.end(),
                       [&](const auto& e) { return !e->removed && e->target == target && e->key == key; });
}

void Scheduler::scheduleUpdate(const Callback& callback, void* target, int priority, bool paused) {
    unscheduleUpdate(target);
    auto entry = std::make_shared<Entry>();
    entry->target = target;
    entry->callback = callback;
    entry->priority = priority;
    entry->paused = paused;
    // Stable: equal priorities keep the order they were scheduled in.
    auto pos = std::upper_bound(_updates.begin(), _updates.end(), priority,
                                [](int p, const auto& e) { return p < e->priority; });
    _updates.insert(pos, std::move(entry));
}

void Scheduler::unscheduleUpdate(void* target) {
    for (auto& e : _updates)
        if (!e->removed && e->target == target) { e->removed = true; _dirty = true; }
}

void Scheduler::unscheduleAllForTarget(void* target) {
    for (auto& e : _timers) if (e->target == target) { e->removed = true; _dirty = true; }
    for (auto& e : _updates) if (e->target == target) { e->removed = true; _dirty = true; }
}

void Scheduler::setPaused(void* target, bool paused) {
    for (auto& e : _timers) if (e->target == target) e->paused = paused;
    for (auto& e : _updates) if (e->target == target) e->paused = paused;
}

void Scheduler::pauseTarget(void* target) { setPaused(target, true); }
void Scheduler::resumeTarget(void* target) { setPaused(target, false); }

bool Scheduler::isTargetPaused(const void* target) const {
    bool any = false;
    for (const auto* list : {&_timers, &_updates})
        for (const auto& e : *list) {
            if (e->removed || e->target != target) continue;
            if (!e->paused) return false;
            any = true;
        }
    return any;
}

void Scheduler::update(float dt) {
    // Snapshots: what is scheduled during this frame first runs in the next,
    // what is unscheduled during it (even by itself) runs no more.
    auto updates = _updates;
    for (auto& e : updates)
        if (!e->removed && !e->paused) e->callback(dt);
    auto timers = _timers;
    for (auto& e : timers)
        if (!e->removed && !e->paused) runTimer(*e, dt);
    if (_dirty) purge();
}

void Scheduler::runTimer(Entry& e, float dt) {
    if (!e.counting) {
        e.counting = true;
        return;
    }
    e.elapsed += dt;
    auto fire = [&](double elapsed) {
        ++e.timesExecuted;
        e.callback(static_cast<float>(elapsed));
        if (!e.runForever && e.timesExecuted > e.repeat && !e.removed) { e.removed = true; _dirty = true; }
    };
    if (e.useDelay) {
        if (e.elapsed + 1e-9 < e.delay) return;
        e.useDelay = false;
        e.elapsed -= e.delay;
        fire(e.delay);
        if (e.removed) return;
    }
    double interval = e.interval > 0 ? e.interval : e.elapsed;
    // Catch up when one frame spans several intervals.
    while (!e.removed && e.elapsed + 1e-9 >= interval) {
        e.elapsed -= interval;
        fire(interval);
        if (e.elapsed <= 1e-9) { e.elapsed = std::max(0.0, e.elapsed); break; }
    }
}

void Scheduler::purge() {
    auto gone = [](const auto& e) { return e->removed; };
    _timers.erase(std::remove_if(_timers.begin(), _timers.end(), gone), _timers.end());
    _updates.erase(std::remove_if(_updates.begin(), _updates.end(), gone), _updates.end());
    _dirty = false;
}

void Scheduler::performFunctionInCocosThread(std::function<void()> function) {
    std::lock_guard<std::mutex> lock(_performMutex);
    _functionsToPerform.push_back(std::move(function));
}

void Scheduler::runFunctionsToPerform() {
    std::vector<std::function<void()>> functions;
    {
        std::lock_guard<std::mutex> lock(_performMutex);
        functions.swap(_functionsToPerform);
    }
    for (auto& f : functions) f();
}

size_t Scheduler::pendingFunctionCount() {
    std::lock_guard<std::mutex> lock(_performMutex);
    return _functionsToPerform.size();
}

} // namespace engine
