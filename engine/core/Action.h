#pragma once
// Timed changes of a node, stepped by the action manager once per frame.
// An interval action's first step counts no time: it starts at the clock
// time of the frame that first steps it.
#include <functional>
#include <string>
#include <vector>

#include "engine/core/Ref.h"
#include "engine/core/Types.h"

namespace engine {

class Node;

class Action : public Ref {
public:
    static constexpr int INVALID_TAG = -1;

    virtual void startWithTarget(Node* target) { _target = target; }
    virtual void stop() { _target = nullptr; }
    virtual void step(float dt) = 0;
    // t runs from 0 to 1 over the action's duration.
    virtual void update(float /*t*/) {}
    virtual bool isDone() const { return true; }
    virtual Action* clone() const = 0;

    Node* getTarget() const { return _target; }
    int getTag() const { return _tag; }
    void setTag(int tag) { _tag = tag; }

protected:
    Node* _target = nullptr;
    int _tag = INVALID_TAG;
};

class FiniteTimeAction : public Action {
public:
    float getDuration() const { return _duration; }
    void setDuration(float d) { _duration = d; }

protected:
    float _duration = 0;
};

class ActionInstant : public FiniteTimeAction {
public:
    void startWithTarget(Node* target) override;
    void step(float dt) override;
    bool isDone() const override { return _done; }

protected:
    bool _done = false;
};

class ActionInterval : public FiniteTimeAction {
public:
    void startWithTarget(Node* target) override;
    void step(float dt) override;
    bool isDone() const override;
    double getElapsed() const { return _elapsed; }

protected:
    bool initWithDuration(float d);
    double _elapsed = 0;
    bool _firstTick = true;
};

// --- composition

class Sequence : public ActionInterval {
public:
    static Sequence* create(const std::vector<FiniteTimeAction*>& actions);
    template <typename... A>
    static Sequence* create(A*... actions) { return create(std::vector<FiniteTimeAction*>{actions...}); }
    void startWithTarget(Node* target) override;
    void stop() override;
    void update(float t) override;
    Sequence* clone() const override;

private:
    struct Part { RefPtr<FiniteTimeAction> action; double start = 0, end = 0; bool started = false, finished = false; };
    std::vector<Part> _parts;
};

class Spawn : public ActionInterval {
public:
    static Spawn* create(const std::vector<FiniteTimeAction*>& actions);
    template <typename... A>
    static Spawn* create(A*... actions) { return create(std::vector<FiniteTimeAction*>{actions...}); }
    void startWithTarget(Node* target) override;
    void stop() override;
    void update(float t) override;
    Spawn* clone() const override;

private:
    struct Part { RefPtr<FiniteTimeAction> action; bool finished = false; };
    std::vector<Part> _parts;
};

class RepeatForever : public ActionInterval {
public:
    static RepeatForever* create(ActionInterval* action);
    void startWithTarget(Node* target) override;
    void stop() override;
    void step(float dt) override;
    bool isDone() const override { return false; }
    RepeatForever* clone() const override;

private:
    RefPtr<ActionInterval> _inner;
};

class DelayTime : public ActionInterval {
public:
    static DelayTime* create(float d);
    DelayTime* clone() const override { return create(_duration); }
};

// --- instant actions

class CallFunc : public ActionInstant {
public:
    static CallFunc* create(const std::function<void()>& func);
    void update(float) override { if (_func) _func(); }
    CallFunc* clone() const override { return create(_func); }

private:
    std::function<void()> _func;
};

class CallFuncN : public ActionInstant {
public:
    static CallFuncN* create(const std::function<void(Node*)>& func);
    void update(float t) override;
    CallFuncN* clone() const override { return create(_func); }

private:
    std::function<void(Node*)> _func;
};

class RemoveSelf : public ActionInstant {
public:
    static RemoveSelf* create(bool cleanup = true);
    void update(float t) override;
    RemoveSelf* clone() const override { return create(_cleanup); }

private:
    bool _cleanup = true;
};

// --- node properties

class MoveBy : public ActionInterval {
public:
    static MoveBy* create(float d, const Vec2& delta);
    void startWithTarget(Node* target) override;
    void update(float t) override;
    MoveBy* clone() const override { return create(_duration, _delta); }

protected:
    Vec2 _delta, _start, _previous;
};

class MoveTo : public MoveBy {
public:
    static MoveTo* create(float d, const Vec2& position);
    void startWithTarget(Node* target) override;
    MoveTo* clone() const override { return create(_duration, _end); }

private:
    Vec2 _end;
};

// Takes the shorter way round for each axis, as the engine family does.
class RotateTo : public ActionInterval {
public:
    static RotateTo* create(float d, float degrees);
    static RotateTo* create(float d, const Vec3& degrees3D);
    void startWithTarget(Node* target) override;
    void update(float t) override;
    RotateTo* clone() const override;

private:
    bool _is3D = false;
    Vec3 _to, _from, _diff;
};

class RotateBy : public ActionInterval {
public:
    static RotateBy* create(float d, float degrees);
    static RotateBy* create(float d, const Vec3& degrees3D);
    void startWithTarget(Node* target) override;
    void update(float t) override;
    RotateBy* clone() const override;

private:
    bool _is3D = false;
    Vec3 _delta, _start;
};

class ScaleTo : public ActionInterval {
public:
    static ScaleTo* create(float d, float scale) { return create(d, scale, scale); }
    static ScaleTo* create(float d, float sx, float sy);
    void startWithTarget(Node* target) override;
    void update(float t) override;
    ScaleTo* clone() const override { return create(_duration, _endX, _endY); }

private:
    float _endX = 1, _endY = 1, _startX = 1, _startY = 1;
};

class FadeTo : public ActionInterval {
public:
    static FadeTo* create(float d, uint8_t opacity);
    void startWithTarget(Node* target) override;
    void update(float t) override;
    FadeTo* clone() const override { return create(_duration, _to); }

protected:
    uint8_t _to = 255, _from = 255;
};

class FadeIn : public FadeTo {
public:
    static FadeIn* create(float d);
    FadeIn* clone() const override { return create(_duration); }
};

class FadeOut : public FadeTo {
public:
    static FadeOut* create(float d);
    FadeOut* clone() const override { return create(_duration); }
};

// Runs an inner action on a reshaped time.
class ActionEase : public ActionInterval {
public:
    void startWithTarget(Node* target) override;
    void stop() override;
    void update(float t) override;
    ActionInterval* getInnerAction() const { return _inner.get(); }

protected:
    bool initWithAction(ActionInterval* action);
    virtual float easeTime(float t) const = 0;
    RefPtr<ActionInterval> _inner;
};

// 1 - 2^(-10 t): fast start, gentle landing.
class EaseExponentialOut : public ActionEase {
public:
    static EaseExponentialOut* create(ActionInterval* action);
    static float ease(float t);
    EaseExponentialOut* clone() const override;

protected:
    float easeTime(float t) const override { return ease(t); }
};

// An easing shaped by a rate.
class EaseRateAction : public ActionEase {
protected:
    float _rate = 2;
};

// Slowly at first, then fast: t^rate.
class EaseIn : public EaseRateAction {
public:
    static EaseIn* create(ActionInterval* action, float rate);
    EaseIn* clone() const override;

protected:
    float easeTime(float t) const override;
};

// Fast at first, then slowly: t^(1/rate).
class EaseOut : public EaseRateAction {
public:
    static EaseOut* create(ActionInterval* action, float rate);
    EaseOut* clone() const override;

protected:
    float easeTime(float t) const override;
};

class ActionTweenDelegate {
public:
    virtual ~ActionTweenDelegate() = default;
    virtual void updateTweenAction(float value, const std::string& key) = 0;
};

// Tweens a named value of a target that implements ActionTweenDelegate.
class ActionTween : public ActionInterval {
public:
    static ActionTween* create(float d, const std::string& key, float from, float to);
    void startWithTarget(Node* target) override;
    void update(float t) override;
    ActionTween* clone() const override { return create(_duration, _key, _from, _to); }

private:
    std::string _key;
    float _from = 0, _to = 0;
    ActionTweenDelegate* _delegate = nullptr;
};

} // namespace engine
