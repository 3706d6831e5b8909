#pragma once
// A scene that moves the outgoing scene out and the incoming one in, then
// hands over to the incoming one. Touches are off while it runs.
#include "engine/core/Scene.h"

namespace engine {

class ActionInterval;

class TransitionScene : public Scene {
public:
    bool initWithDuration(float t, Scene* scene);
    void onEnter() override;
    void onExit() override;
    void cleanup() override;
    void visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
               const Color3B& parentColor) override;
    void finish();
    Scene* getInScene() const { return _inScene.get(); }
    Scene* getOutScene() const { return _outScene.get(); }
    float getDuration() const { return _duration; }

protected:
    virtual void startTransition() = 0;
    static constexpr int kSlideTag = 0x511de;
    RefPtr<Scene> _inScene;
    RefPtr<Scene> _outScene;
    float _duration = 0;
    bool _entered = false;
    // Exited here because another scene took over: cleaned up here too.
    bool _inSceneDropped = false;
};

// The incoming scene slides in from the top edge, pushing the old one down.
class TransitionSlideInT : public TransitionScene {
public:
    static TransitionSlideInT* create(float t, Scene* scene);

protected:
    void startTransition() override;
    virtual float direction() const { return 1; }
};

// The incoming scene slides in from the bottom edge.
class TransitionSlideInB : public TransitionSlideInT {
public:
    static TransitionSlideInB* create(float t, Scene* scene);

protected:
    float direction() const override { return -1; }
};

} // namespace engine
