// Minimised and restored by the window manager, the editor stops drawing and
// then tells the running scenes once that it is back.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "app/AppDelegate.h"
#include "engine/core/Director.h"
#include "engine/core/Event.h"
#include "engine/core/EventDispatcher.h"
#include "engine/platform/Application.h"
#include "engine/platform/GLViewImpl.h"

using namespace engine;

namespace {
// The window manager answers in its own time, slower on a loaded machine:
// frames run until `done`, for as long as it may take. A request that the
// window manager may have missed (sent before it took the window over) is
// sent again every two seconds.
bool runUntil(Application* app, const std::function<bool()>& done, const std::function<void()>& ask = {}) {
    using clock = std::chrono::steady_clock;
    const auto giveUp = clock::now() + std::chrono::seconds(60);
    auto askAgain = clock::now() + std::chrono::seconds(2);
    while (clock::now() < giveUp) {
        app->stepFrame(1.0f / 60);
        if (done()) return true;
        if (ask && clock::now() > askAgain) {
            ask();
            askAgain = clock::now() + std::chrono::seconds(2);
        }
        SDL_Delay(10);
    }
    return false;
}

bool hasFlag(SDL_Window* window, Uint32 flag) { return (SDL_GetWindowFlags(window) & flag) != 0; }
} // namespace

TEST(DesktopWindow, MinimiseAndRestoreGiveOneForegroundEvent) {
    ASSERT_STREQ(SDL_getenv("SDL_VIDEODRIVER"), "x11") << "run through under_x.sh";
    AppDelegate delegate;
    Application* app = Application::getInstance();
    app->initGLContextAttrs();
    ASSERT_TRUE(app->applicationDidFinishLaunching());
    Director* director = Director::getInstance();
    auto* view = dynamic_cast<GLViewImpl*>(director->getOpenGLView());
    ASSERT_NE(view, nullptr);
    SDL_Window* window = view->getWindow();
    EXPECT_STREQ(SDL_GetWindowTitle(window), "CorvinaApps");
    EXPECT_EQ(view->getWindowSize(), Size(1024, 768));

    int heard = 0;
    auto* listener = director->getEventDispatcher()->addCustomEventListener(kEnterForegroundEvent,
                                                                            [&](EventCustom*) { ++heard; });
    ASSERT_TRUE(runUntil(app, [&] { return hasFlag(window, SDL_WINDOW_SHOWN); })) << "never shown";
    // A minimise means something only once the window manager has framed the
    // window; before that the request goes nowhere.
    ASSERT_TRUE(runUntil(app, [&] {
        int top = 0, left = 0, bottom = 0, right = 0;
        return SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 && top > 0;
    })) << "the window manager never framed the window";

    // The state of the window itself is waited on, then what the editor made of it.
    SDL_MinimizeWindow(window);
    ASSERT_TRUE(runUntil(app, [&] { return hasFlag(window, SDL_WINDOW_MINIMIZED) && director->isAnimationStopped(); },
                         [&] { SDL_MinimizeWindow(window); }))
        << "never minimised";
    EXPECT_EQ(heard, 0);

    SDL_RestoreWindow(window);
    ASSERT_TRUE(runUntil(app, [&] { return !hasFlag(window, SDL_WINDOW_MINIMIZED) && !director->isAnimationStopped(); },
                         [&] { SDL_RestoreWindow(window); }))
        << "never restored";
    // Let the rest of the window manager's events arrive.
    unsigned frames = director->getTotalFrames();
    runUntil(app, [&] { return director->getTotalFrames() > frames + 20; });
    EXPECT_EQ(heard, 1);

    director->getEventDispatcher()->removeEventListener(listener);
    director->end();
}
