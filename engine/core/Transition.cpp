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
    _outScene->onExit();
    // The outgoing scene was hidden for the last frame of the slide; a
    // scene that is kept must come back whole when it is shown again.
    _outScene->setVisible(true);
    _outScene->setPosition(Vec2::ZERO);
    _outScene->setScale(1);
    // A scene change asked for in the same frame may have exited it already.
    if (_inScene->isRunning()) _inScene->onEnterTransitionDidFinish();
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
}

void TransitionScene::visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
                            const Color3B& parentColor) {
    Scene::visit(renderer, parentTransform, parentOpacity, parentColor);
    _outScene->visit(renderer, parentTransform, parentOpacity, parentColor);
    _inScene->visit(renderer, parentTransform, parentOpacity, parentColor);
}

void TransitionScene::finish() {
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
                                          CallFunc::create([this] { finish(); })));
}

} // namespace engine
