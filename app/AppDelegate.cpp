#include "app/AppDelegate.h"

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "app/FirstScene.h"
#include "device/CorvinaCardSerialManager.h"
#include "engine/core/Director.h"
#include "engine/core/Event.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Scene.h"
#include "engine/core/Scheduler.h"
#include "engine/platform/GLViewImpl.h"

using namespace engine;

AppDelegate::AppDelegate() = default;
AppDelegate::~AppDelegate() = default;

void AppDelegate::initGLContextAttrs() {
    GLContextAttrs attrs;
    attrs.redBits = 8;
    attrs.greenBits = 8;
    attrs.blueBits = 8;
    attrs.alphaBits = 8;
    attrs.depthBits = 24;
    attrs.stencilBits = 8;
    GLView::setGLContextAttrs(attrs);
}

bool AppDelegate::applicationDidFinishLaunching() {
    Director* director = Director::getInstance();
    GLView* view = director->getOpenGLView();
    if (!view) {
        view = GLViewImpl::createWithRect("CorvinaApps", Rect(0, 0, 1024, 768), 1.0f, true);
        if (!view) return false;
        director->setOpenGLView(view);
    }
    director->setDisplayStats(false);
    director->setAnimationInterval(1.0f / 60);
    view->setDesignResolutionSize(1024, 768, ResolutionPolicy::SHOW_ALL);
    director->setContentScaleFactor(2.0f);

    // A board on a port the system does not list as one (an unusual
    // adapter, or a pty playing the board in a demo) is named explicitly.
    if (const char* port = std::getenv("CORVINA_PORT"); port && *port)
        CorvinaCardSerialManager::getInstance()->setExplicitPort(port);
    // The board the child picked is chosen again at the next start.
    if (const std::string data = FileUtils::getInstance()->getWritablePath(); !data.empty())
        CorvinaCardSerialManager::getInstance()->setChoiceFile(data + "board.plist");

    Scene* scene = Scene::create();
    scene->addChild(createFirstLayer());
    director->runWithScene(scene);
    if (editorLock) {
        director->getScheduler()->schedule([this](float) { showWindowIfWanted(); }, this, 0.25f, false, "second start");
    }
    // Runs at the start of the first frame; the loop ends once it is drawn.
    if (exitAfterFirstFrame()) director->getScheduler()->performFunctionInCocosThread([this] { requestQuit(); });
    return true;
}

bool AppDelegate::exitAfterFirstFrame() {
    const char* value = std::getenv("CORVINA_EXIT_AFTER_FIRST_FRAME");
    return value && std::string(value) == "1";
}

void AppDelegate::applicationDidEnterBackground() { Director::getInstance()->stopAnimation(); }

void AppDelegate::applicationWillEnterForeground() {
    Director* director = Director::getInstance();
    director->startAnimation();
    EventCustom event(kEnterForegroundEvent);
    director->getEventDispatcher()->dispatchEvent(&event);
}

void AppDelegate::applicationWillQuit() {
    EventCustom event(kWillQuitEvent);
    Director::getInstance()->getEventDispatcher()->dispatchEvent(&event);
}

bool AppDelegate::applicationShouldQuit() {
    QuitRequest request;
    request.quitAnyway = [this] { requestQuit(); };
    EventCustom event(kQuitRequestedEvent);
    event.setUserData(&request);
    Director::getInstance()->getEventDispatcher()->dispatchEvent(&event);
    return request.allowed;
}

void AppDelegate::showWindowIfWanted() {
    if (!editorLock || !editorLock->windowWanted()) return;
    auto* impl = dynamic_cast<GLViewImpl*>(Director::getInstance()->getOpenGLView());
    if (!impl) return;
    // Restoring also undoes a maximised window: only a minimised one is.
    if (SDL_GetWindowFlags(impl->getWindow()) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(impl->getWindow());
    SDL_RaiseWindow(impl->getWindow());
}
