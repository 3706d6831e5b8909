// Minimised and restored by the window manager, the editor stops drawing and
// then tells the running scenes once that it is back.
#include <SDL.h>
#include <gtest/gtest.h>

#include <functional>

#include "app/AppDelegate.h"
#include "engine/core/Director.h"
#include "engine/core/Event.h"
#include "engine/core/EventDispatcher.h"
#include "engine/platform/Application.h"
#include "engine/platform/GLViewImpl.h"

using namespace engine;

namespace {
// The window manager answers in its own time: frames run until `done`.
bool runUntil(Application* app, const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
        app->stepFrame(1.0f / 60);
        if (done()) return true;
        SDL_Delay(10);
    }
    return false;
}
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
    ASSERT_TRUE(runUntil(app, [&] { return (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0; }));

    SDL_MinimizeWindow(window);
    ASSERT_TRUE(runUntil(app, [&] { return director->isAnimationStopped(); })) << "never minimised";
    unsigned frames = director->getTotalFrames();
    EXPECT_EQ(heard, 0);

    SDL_RestoreWindow(window);
    ASSERT_TRUE(runUntil(app, [&] { return !director->isAnimationStopped(); })) << "never restored";
    // Let the rest of the window manager's events arrive.
    runUntil(app, [&] { return director->getTotalFrames() > frames + 20; });
    EXPECT_EQ(heard, 1);

    director->getEventDispatcher()->removeEventListener(listener);
    director->end();
}
