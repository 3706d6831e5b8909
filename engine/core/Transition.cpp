#include "engine/core/Transition.h"

#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"

namespace engine {

bool TransitionScene::initWithDuration(float t, Scene* scene) {
    if (!scene || !Scene::init()) return false;
    _duration = t;
    _inScene = scene;
    _outScene = Director::getInstance()->getRunningScene();
    if (!_outScene) _outScene = Scene::create();
    return _inScene != _outScene;
}

void TransitionScene::onEnter() {
    Scene::onEnter();
    _entered = true;
    if (EventDispatcher* d = Director::getInstance()->getEventDispatcher()) d->setEnabled(false);
    _outScene->onExitTransitionDidStart();
    _inScene->onEnter();
    startTransition();
}

void TransitionScene::onExit() {
    Scene::onExit();
    if (EventDispatcher* d = Director::getInstance()->getEventDispatcher()) d->setEnabled(true);
    // The slides belong to the transition: a scene kept for later comes
    // back whole and takes none of them up again (the outgoing one's last
    // step would call back into a transition that is gone).
    for (Scene* scene : {_inScene.get(), _outScene.get()}) {
        scene->stopActionByTag(kSlideTag);
        scene->setVisible(true);
        scene->setPosition(Vec2::ZERO);
        scene->setScale(1);
    }
    if (_outScene->isRunning()) _outScene->onExit();
    // A scene change asked for in the same frame may have exited it already.
    if (!_inScene->isRunning()) return;
    if (Director::getInstance()->getRunningScene() == _inScene) {
        _inScene->onEnterTransitionDidFinish();
        return;
    }
    // Another scene took over while sliding: the incoming one is dropped.
    _inScene->onExitTransitionDidStart();
    _inScene->onExit();
    _inSceneDropped = true;
}

void TransitionScene::cleanup() {
    Scene::cleanup();
    // A transition that never started was dropped for another scene
    // change: the scene it would have brought in goes with it, and the
    // running scene is left to that change.
    if (!_entered) {
        if (!_inScene->isRunning() && !Director::getInstance()->isSceneComing(_inScene)) _inScene->cleanup();
        return;
    }
    if (Director::getInstance()->isSendCleanupToScene()) _outScene->cleanup();
    if (_inSceneDropped) _inScene->cleanup();
    _inSceneDropped = false;
}

void TransitionScene::visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
                            const Color3B& parentColor) {
    Scene::visit(renderer, parentTransform, parentOpacity, parentColor);
    _outScene->visit(renderer, parentTransform, parentOpacity, parentColor);
    _inScene->visit(renderer, parentTransform, parentOpacity, parentColor);
}

void TransitionScene::finish() {
    // Taken over by another transition, it hands over to nobody.
    if (Director::getInstance()->getRunningScene() != this) return;
    // The incoming slide may not have taken its last step yet this frame;
    // stopped, it cannot add that step onto the reset position.
    _inScene->stopActionByTag(kSlideTag);
    _inScene->setVisible(true);
    _inScene->setPosition(Vec2::ZERO);
    _inScene->setScale(1);
    _outScene->setPosition(Vec2::ZERO);
    _outScene->setVisible(false);
    Director::getInstance()->replaceScene(_inScene.get());
}

TransitionSlideInT* TransitionSlideInT::create(float t, Scene* scene) {
    return initAndAutorelease(new TransitionSlideInT(), [&](TransitionSlideInT* s) { return s->initWithDuration(t, scene); });
}

TransitionSlideInB* TransitionSlideInB::create(float t, Scene* scene) {
    return initAndAutorelease(new TransitionSlideInB(), [&](TransitionSlideInB* s) { return s->initWithDuration(t, scene); });
}

void TransitionSlideInT::startTransition() {
    float height = Director::getInstance()->getWinSize().height * direction();
    _inScene->setPosition(0, height);
    _inScene->runAction(EaseOut::create(MoveBy::create(_duration, {0, -height}), 2))->setTag(kSlideTag);
    _outScene->runAction(Sequence::create(EaseOut::create(MoveBy::create(_duration, {0, -height}), 2),
                                          CallFunc::create([this] { finish(); })))->setTag(kSlideTag);
}

} // namespace engine
