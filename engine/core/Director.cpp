#include "engine/core/Director.h"

#include "engine/core/ActionManager.h"
#include "engine/core/ApplicationProtocol.h"
#include "engine/core/Clock.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Scene.h"
#include "engine/core/Scheduler.h"
#include "engine/core/TextureCache.h"
#include "engine/core/Transition.h"

namespace engine {

void GLView::setDesignResolutionSize(float width, float height, ResolutionPolicy policy) {
    _designSize = Size(width, height);
    _policy = policy;
    updateRendererMapping();
}

// Work done before the first frame (labels, render targets) already sees
// the window as it will be drawn.
void GLView::updateRendererMapping() {
    if (Renderer* renderer = getRenderer()) renderer->setWindowMapping(getViewportMapping());
}

ViewportMapping GLView::getViewportMapping() const {
    Size frame = getFrameSize();
    if (_policy == ResolutionPolicy::EXACT_FIT) {
        ViewportMapping m;
        m.targetWidth = frame.width;
        m.targetHeight = frame.height;
        m.scaleX = frame.width / _designSize.width;
        m.scaleY = frame.height / _designSize.height;
        return m;
    }
    return ViewportMapping::showAll(_designSize, frame);
}

Director* Director::getInstance() {
    static Director* director = new Director();  // lives for the whole process
    return director;
}

// The first use must not touch the autorelease pool: objects made before it
// (the window among them) belong to the frame that is under way.
Director::Director() : _eventDispatcher(RefPtr<EventDispatcher>::adopt(new EventDispatcher())) { startFresh(); }

void Director::reset() {
    // The pending scene first: if a transition is handing over to it, the
    // transition then finds it exited already and leaves it alone.
    if (RefPtr<Scene> next = std::move(_nextScene)) {
        if (next->isRunning()) next->onExit();
        next->cleanup();
    }
    if (_runningScene) {
        _runningScene->onExit();
        _runningScene->cleanup();
    }
    _runningScene = nullptr;
    if (_actionManager) _actionManager->removeAllActions();
    AutoreleasePool::getInstance()->clear();
    startFresh();
}

void Director::startFresh() {
    if (!_eventDispatcher) _eventDispatcher = RefPtr<EventDispatcher>::adopt(new EventDispatcher());
    _scheduler = RefPtr<Scheduler>::adopt(new Scheduler());
    _actionManager = RefPtr<ActionManager>::adopt(new ActionManager());
    _textureCache = RefPtr<TextureCache>::adopt(new TextureCache());
    ActionManager* actions = _actionManager.get();
    _scheduler->scheduleUpdate([actions](float dt) { actions->update(dt); }, actions, Scheduler::PRIORITY_SYSTEM,
                               false);
    _eventDispatcher->reset();
    _invalid = _paused = _ending = false;
    _totalFrames = 0;
    Clock::reset();
}

void Director::setOpenGLView(GLView* view) {
    _view = view;
    if (view) view->updateRendererMapping();
}

void Director::setEventDispatcher(EventDispatcher* dispatcher) { _eventDispatcher = dispatcher; }

Renderer* Director::getRenderer() const { return _view ? _view->getRenderer() : nullptr; }

void Director::setAnimationInterval(float interval) {
    if (interval <= 0) return;
    _animationInterval = interval;
    if (ApplicationProtocol* app = ApplicationProtocol::getRunning()) app->setAnimationInterval(interval);
}

Size Director::getWinSize() const { return _view ? _view->getDesignResolutionSize() : Size(1024, 768); }

// With SHOW_ALL the whole design area is visible, bars included outside it.
Size Director::getVisibleSize() const { return getWinSize(); }
Vec2 Director::getVisibleOrigin() const { return Vec2::ZERO; }

void Director::runWithScene(Scene* scene) {
    if (!scene || _runningScene) return;
    _nextScene = scene;
    setNextScene();
}

void Director::replaceScene(Scene* scene) {
    if (!scene) return;
    if (!_runningScene) {
        runWithScene(scene);
        return;
    }
    if (scene == _nextScene.get()) return;
    _sendCleanupToScene = true;
    RefPtr<Scene> superseded = std::move(_nextScene);
    _nextScene = scene;
    if (superseded && superseded != _runningScene && !isSceneComing(superseded)) {
        if (superseded->isRunning()) {
            superseded->onExitTransitionDidStart();
            superseded->onExit();
        }
        superseded->cleanup();
    }
}

bool Director::isSceneComing(const Scene* scene) const {
    if (!scene || !_nextScene) return false;
    if (_nextScene.get() == scene) return true;
    auto* transition = dynamic_cast<TransitionScene*>(_nextScene.get());
    return transition && transition->getInScene() == scene;
}

void Director::setNextScene() {
    RefPtr<Scene> old = std::move(_runningScene);
    // Set first: a transition that ends asks whether its incoming scene is
    // the one that takes over or one dropped for another.
    _runningScene = std::move(_nextScene);
    Scene* now = _runningScene.get();
    auto* transition = dynamic_cast<TransitionScene*>(now);
    // A transition takes the scene it slides out over and ends it itself.
    if (old && !(transition && transition->getOutScene() == old)) {
        old->onExitTransitionDidStart();
        old->onExit();
        if (_sendCleanupToScene) old->cleanup();
    }
    // The scene a transition brought in has entered and been told the
    // transition finished; any other enters now.
    if (now && !now->isRunning()) {
        now->onEnter();
        now->onEnterTransitionDidFinish();
    }
}

void Director::mainLoop(float dt) {
    if (_invalid) {
        AutoreleasePool::getInstance()->clear();
        return;
    }
    if (takeNextDeltaTimeZero()) dt = 0;
    Clock::advance(dt);
    _scheduler->runFunctionsToPerform();
    if (!_paused) _scheduler->update(dt);
    if (_nextScene) setNextScene();
    drawScene();
    AutoreleasePool::getInstance()->clear();
    ++_totalFrames;
}

void Director::drawScene() {
    Renderer* renderer = getRenderer();
    if (!renderer) return;
    _view->updateRendererMapping();  // the window may have been resized
    renderer->clear(Color4B::BLACK);
    if (_runningScene) _runningScene->visit(renderer, AffineTransform::identity(), 255, Color3B::WHITE);
    _view->swapBuffers();
}

void Director::end() {
    _ending = true;
    if (_runningScene) {
        _runningScene->onExit();
        _runningScene->cleanup();
    }
    _runningScene = nullptr;
    _nextScene = nullptr;
    _actionManager->removeAllActions();
    AutoreleasePool::getInstance()->clear();
    if (_view) _view->end();
}

} // namespace engine
