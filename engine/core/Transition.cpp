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
    if (EventDispatcher* d = Director::getInstance()->getEventDispatcher()) d->setEnabled(false);
    _outScene->onExitTransitionDidStart();
    _inScene->onEnter();
    startTransition();
}

void TransitionScene::onExit() {
    Scene::onExit();
    if (EventDispatcher* d = Director::getInstance()->getEventDispatcher()) d->setEnabled(true);
    _outScene->onExit();
    _inScene->onEnterTransitionDidFinish();
}

void TransitionScene::cleanup() {
    Scene::cleanup();
    if (Director::getInstance()->isSendCleanupToScene()) _outScene->cleanup();
}

void TransitionScene::visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
                            const Color3B& parentColor) {
    Scene::visit(renderer, parentTransform, parentOpacity, parentColor);
    _outScene->visit(renderer, parentTransform, parentOpacity, parentColor);
    _inScene->visit(renderer, parentTransform, parentOpacity, parentColor);
}

void TransitionScene::finish() {
    _inScene->setPosition(Vec2::ZERO);
    _outScene->setPosition(Vec2::ZERO);
    _outScene->setVisible(false);
    Director::getInstance()->replaceScene(_inScene.get());
}

template <typename T>
static T* makeTransition(float t, Scene* scene) {
    auto* transition = new T();
    if (transition->initWithDuration(t, scene)) return static_cast<T*>(transition->autorelease());
    delete transition;
    return nullptr;
}

TransitionSlideInT* TransitionSlideInT::create(float t, Scene* scene) {
    return makeTransition<TransitionSlideInT>(t, scene);
}

TransitionSlideInB* TransitionSlideInB::create(float t, Scene* scene) {
    return makeTransition<TransitionSlideInB>(t, scene);
}

void TransitionSlideInT::startTransition() {
    float height = Director::getInstance()->getWinSize().height * direction();
    _inScene->setPosition(0, height);
    _inScene->runAction(EaseOut::create(MoveBy::create(_duration, {0, -height}), 2));
    _outScene->runAction(Sequence::create(EaseOut::create(MoveBy::create(_duration, {0, -height}), 2),
                                          CallFunc::create([this] { finish(); })));
}

} // namespace engine
