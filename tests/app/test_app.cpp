// Start-up of the editor and its foreground notice, headless.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AppDelegate.h"
#include "engine/core/Director.h"
#include "engine/core/Event.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/EventListener.h"
#include "engine/core/Scene.h"
#include "engine/platform/Application.h"
#include "engine/platform/GLViewImpl.h"
#include "support/SteppedClock.h"

using namespace engine;

namespace {

SDL_Event windowEvent(Uint8 kind) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = kind;
    return e;
}

} // namespace

TEST(AppDelegateTest, OpensTheWindowAndCountsEveryReturnToTheForeground) {
    AppDelegate delegate;
    Application* app = Application::getInstance();
    ASSERT_NE(app, nullptr);
    app->initGLContextAttrs();
    GLContextAttrs attrs = GLView::getGLContextAttrs();
    EXPECT_EQ((std::vector<int>{attrs.redBits, attrs.greenBits, attrs.blueBits, attrs.alphaBits, attrs.depthBits,
                                attrs.stencilBits}),
              (std::vector<int>{8, 8, 8, 8, 24, 8}));
    ASSERT_TRUE(app->applicationDidFinishLaunching());

    Director* director = Director::getInstance();
    auto* view = dynamic_cast<GLViewImpl*>(director->getOpenGLView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->getViewName(), "CorvinaApps");
    EXPECT_STREQ(SDL_GetWindowTitle(view->getWindow()), "CorvinaApps");
    EXPECT_EQ(view->getWindowSize(), Size(1024, 768));
    EXPECT_TRUE(SDL_GetWindowFlags(view->getWindow()) & SDL_WINDOW_RESIZABLE);
    EXPECT_EQ(view->getDesignResolutionSize(), Size(1024, 768));
    EXPECT_EQ(view->getResolutionPolicy(), ResolutionPolicy::SHOW_ALL);
    EXPECT_EQ(director->getContentScaleFactor(), 2.0f);
    EXPECT_FLOAT_EQ(director->getAnimationInterval(), 1.0f / 60);
    EXPECT_FALSE(director->isDisplayStats());
    ASSERT_NE(director->getRunningScene(), nullptr);
    EXPECT_EQ(director->getRunningScene()->getChildrenCount(), 1u);

    int heard = 0, misspeltTheOtherWay = 0;
    EventDispatcher* dispatcher = director->getEventDispatcher();
    auto* listener = dispatcher->addCustomEventListener(kEnterForegroundEvent, [&](EventCustom*) { ++heard; });
    auto* other = dispatcher->addCustomEventListener("CORVINA_EVENT_ENTER_FOREGROUND",
                                                     [&](EventCustom*) { ++misspeltTheOtherWay; });

    app->stepFrame(1.0f / 60);
    unsigned frames = director->getTotalFrames();
    app->handleEvent(windowEvent(SDL_WINDOWEVENT_MINIMIZED));
    EXPECT_TRUE(director->isAnimationStopped());
    app->stepFrame(1.0f / 60);
    EXPECT_EQ(director->getTotalFrames(), frames) << "nothing runs while minimised";
    EXPECT_EQ(heard, 0);
    // A window manager reports hidden and shown around minimise and
    // restore: still one notice.
    app->handleEvent(windowEvent(SDL_WINDOWEVENT_HIDDEN));
    app->handleEvent(windowEvent(SDL_WINDOWEVENT_SHOWN));
    app->handleEvent(windowEvent(SDL_WINDOWEVENT_RESTORED));
    EXPECT_FALSE(director->isAnimationStopped());
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(misspeltTheOtherWay, 0);
    app->stepFrame(1.0f / 60);
    EXPECT_EQ(director->getTotalFrames(), frames + 1);

    // Through SDL's own queue, as the main loop sees it.
    SDL_Event e = windowEvent(SDL_WINDOWEVENT_MINIMIZED);
    SDL_PushEvent(&e);
    e = windowEvent(SDL_WINDOWEVENT_RESTORED);
    SDL_PushEvent(&e);
    app->stepFrame(1.0f / 60);
    EXPECT_EQ(heard, 2);

    dispatcher->removeEventListener(listener);
    dispatcher->removeEventListener(other);
    director->end();
}

TEST(AppDelegateTest, TheMainLoopRunsAtSixtyFramesASecond) {
    Director::getInstance()->reset();
    Director::getInstance()->setOpenGLView(nullptr);  // a window of its own
    AppDelegate delegate;
    Application* app = Application::getInstance();
    testsupport::SteppedClock clock(app, 5);
    app->setFrameClock(&clock);
    EXPECT_EQ(app->run(), 0);
    ASSERT_EQ(clock.sleeps.size(), 5u);
    for (double sleep : clock.sleeps) EXPECT_NEAR(sleep, 1.0 / 60, 1e-6);
    app->setFrameClock(nullptr);
    Director::getInstance()->reset();
}
