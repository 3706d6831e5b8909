#pragma once
// The process's application: the main loop on SDL, the system's language
// and the browser.
#include <chrono>
#include <string>

#include "engine/core/ApplicationProtocol.h"

union SDL_Event;

namespace engine {

// What the main loop paces its frames by; tests put a clock of their own
// here and see the deadlines the loop sleeps to, without sleeping.
class FrameClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~FrameClock() = default;
    virtual TimePoint now() { return std::chrono::steady_clock::now(); }
    virtual void sleepUntil(TimePoint deadline);
};

class Application : public ApplicationProtocol {
public:
    Application();
    ~Application() override;
    static Application* getInstance();

    // Runs frames until the window closes; returns the exit code.
    int run();
    void setAnimationInterval(float interval) override;
    LanguageType getCurrentLanguage() override;
    // False when no browser could be started.
    bool openURL(const std::string& url) override;

    // One SDL event as the main loop handles it (tests inject events here).
    void handleEvent(const SDL_Event& event);
    // Handles pending events and runs one frame of `dt` seconds.
    void stepFrame(float dt);
    bool isQuitRequested() const { return _quit; }
    void requestQuit() { _quit = true; }
    // Null brings back the steady clock.
    void setFrameClock(FrameClock* clock) { _clock = clock ? clock : &_steadyClock; }

private:
    FrameClock _steadyClock;
    FrameClock* _clock = &_steadyClock;
    float _animationInterval = 1.0f / 60;
    bool _quit = false;
    bool _closeRefused = false;  // the close button was answered "stay"
    bool _minimized = false;
};

// Sets the resource search paths, <exe dir>/Resources/ (a build folder)
// then <exe dir>/../share/corvina-apps/ (an installed copy), and the
// writable folder (CORVINA_DATA_DIR or the per-user data folder).
void setUpFilePaths();
// The folder the running program lies in, with a trailing '/'; "" when unknown.
std::string programFolder();

} // namespace engine
