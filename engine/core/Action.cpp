#include "engine/core/Action.h"

#include <algorithm>
#include <cmath>

#include "engine/core/Node.h"

namespace engine {

namespace {
// Float time sums such as 18 frames of 1/60 s fall a hair short of 0.3.
constexpr double kTimeEpsilon = 1e-6;

// Whole turns are taken off the start (keeping its sign), then the way to
// the target is the shorter one round.
void startAndTurn(float& start, float& diff, float to) {
    start = std::fmod(start, 360.0f);
    diff = to - start;
    if (diff > 180) diff -= 360;
    if (diff < -180) diff += 360;
}
} // namespace

// --- ActionInstant

void ActionInstant::startWithTarget(Node* target) {
    FiniteTimeAction::startWithTarget(target);
    _done = false;
}

void ActionInstant::step(float) {
    if (_done) return;
    _done = true;
    update(1);
}

// --- ActionInterval

bool ActionInterval::initWithDuration(float d) {
    _duration = std::max(0.0f, d);
    return true;
}

void ActionInterval::startWithTarget(Node* target) {
    FiniteTimeAction::startWithTarget(target);
    _elapsed = 0;
    _firstTick = true;
}

void ActionInterval::step(float dt) {
    if (_firstTick) {
        _firstTick = false;
        _elapsed = 0;
    } else {
        _elapsed += dt;
    }
    float t = 1;
    if (_duration > 0 && _elapsed + kTimeEpsilon < _duration)
        t = static_cast<float>(std::clamp(_elapsed / _duration, 0.0, 1.0));
    update(t);
}

bool ActionInterval::isDone() const { return !_firstTick && _elapsed + kTimeEpsilon >= _duration; }

// --- Sequence

Sequence* Sequence::create(const std::vector<FiniteTimeAction*>& actions) {
    return initAndAutorelease(new Sequence(), [&](Sequence* s) {
        double t = 0;
        for (FiniteTimeAction* a : actions) {
            if (!a) continue;
            Part p;
            p.action = a;
            p.start = t;
            t += a->getDuration();
            p.end = t;
            s->_parts.push_back(p);
        }
        s->initWithDuration(static_cast<float>(t));
        return true;
    });
}

Sequence* Sequence::clone() const {
    std::vector<FiniteTimeAction*> copies;
    for (const Part& p : _parts) copies.push_back(static_cast<FiniteTimeAction*>(p.action->clone()));
    return create(copies);
}

void Sequence::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    for (Part& p : _parts) p.started = p.finished = false;
}

void Sequence::stop() {
    for (Part& p : _parts)
        if (p.started && !p.finished) p.action->stop();
    ActionInterval::stop();
}

void Sequence::update(float t) {
    double now = t >= 1 ? _duration : t * static_cast<double>(_duration);
    // Every part whose end has passed is finished exactly once, in order,
    // even when one long frame jumps over several.
    for (Part& p : _parts) {
        if (p.finished) continue;
        if (now + kTimeEpsilon < p.start) break;
        if (!p.started) {
            p.started = true;
            p.action->startWithTarget(_target);
        }
        double d = p.end - p.start;
        if (t >= 1 || now + kTimeEpsilon >= p.end) {
            p.action->update(1);
            p.finished = true;
            p.action->stop();
            if (!_target) return;  // the part ended the whole sequence (e.g. removed its node)
        } else {
            p.action->update(d > 0 ? static_cast<float>((now - p.start) / d) : 1.0f);
            break;
        }
    }
}

// --- Spawn

Spawn* Spawn::create(const std::vector<FiniteTimeAction*>& actions) {
    return initAndAutorelease(new Spawn(), [&](Spawn* s) {
        float d = 0;
        for (FiniteTimeAction* a : actions) {
            if (!a) continue;
            s->_parts.push_back({a, false});
            d = std::max(d, a->getDuration());
        }
        s->initWithDuration(d);
        return true;
    });
}

Spawn* Spawn::clone() const {
    std::vector<FiniteTimeAction*> copies;
    for (const Part& p : _parts) copies.push_back(static_cast<FiniteTimeAction*>(p.action->clone()));
    return create(copies);
}

void Spawn::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    for (Part& p : _parts) {
        p.finished = false;
        p.action->startWithTarget(target);
    }
}

void Spawn::stop() {
    for (Part& p : _parts)
        if (!p.finished) p.action->stop();
    ActionInterval::stop();
}

void Spawn::update(float t) {
    double now = t * static_cast<double>(_duration);
    for (Part& p : _parts) {
        if (p.finished) continue;
        double d = p.action->getDuration();
        if (t >= 1 || now + kTimeEpsilon >= d) {
            p.action->update(1);
            p.finished = true;
            p.action->stop();
            if (!_target) return;
        } else {
            p.action->update(static_cast<float>(now / d));
        }
    }
}

// --- RepeatForever

RepeatForever* RepeatForever::create(ActionInterval* action) {
    return initAndAutorelease(new RepeatForever(), [&](RepeatForever* r) {
        r->_inner = action;
        r->initWithDuration(action ? action->getDuration() : 0);
        return true;
    });
}

RepeatForever* RepeatForever::clone() const { return create(static_cast<ActionInterval*>(_inner->clone())); }

void RepeatForever::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    if (_inner) _inner->startWithTarget(target);
}

void RepeatForever::stop() {
    if (_inner) _inner->stop();
    ActionInterval::stop();
}

void RepeatForever::step(float dt) {
    if (!_inner) return;
    _inner->step(dt);
    // The time past the end of a round runs on into the next ones, so a
    // long frame loses no rounds.
    for (int rounds = 0; _target && _inner->isDone(); ++rounds) {
        double duration = _inner->getDuration();
        double overflow = duration > 0 ? std::max(0.0, _inner->getElapsed() - duration) : 0;
        if (rounds > 10000) overflow = std::fmod(overflow, duration);  // a runaway frame: keep the phase only
        _inner->startWithTarget(_target);
        _inner->step(0);
        if (overflow <= kTimeEpsilon) break;
        _inner->step(static_cast<float>(overflow));
    }
}

// --- DelayTime, instants

DelayTime* DelayTime::create(float d) {
    return initAndAutorelease(new DelayTime(), [&](DelayTime* a) {
        a->initWithDuration(d);
        return true;
    });
}

CallFunc* CallFunc::create(const std::function<void()>& func) {
    return initAndAutorelease(new CallFunc(), [&](CallFunc* a) {
        a->_func = func;
        return true;
    });
}

CallFuncN* CallFuncN::create(const std::function<void(Node*)>& func) {
    return initAndAutorelease(new CallFuncN(), [&](CallFuncN* a) {
        a->_func = func;
        return true;
    });
}

void CallFuncN::update(float) {
    if (_func) _func(_target);
}

RemoveSelf* RemoveSelf::create(bool cleanup) {
    return initAndAutorelease(new RemoveSelf(), [&](RemoveSelf* a) {
        a->_cleanup = cleanup;
        return true;
    });
}

void RemoveSelf::update(float) {
    if (_target) _target->removeFromParentAndCleanup(_cleanup);
}

// --- moves

MoveBy* MoveBy::create(float d, const Vec2& delta) {
    return initAndAutorelease(new MoveBy(), [&](MoveBy* a) {
        a->initWithDuration(d);
        a->_delta = delta;
        return true;
    });
}

void MoveBy::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    _previous = _start = target->getPosition();
}

// Stackable: whatever else moved the node since the last step (another
// move, a finger) is kept, and this move adds its own part on top.
void MoveBy::update(float t) {
    if (!_target) return;
    _start += _target->getPosition() - _previous;
    _previous = _start + _delta * t;
    _target->setPosition(_previous);
}

MoveTo* MoveTo::create(float d, const Vec2& position) {
    return initAndAutorelease(new MoveTo(), [&](MoveTo* a) {
        a->initWithDuration(d);
        a->_end = position;
        return true;
    });
}

void MoveTo::startWithTarget(Node* target) {
    MoveBy::startWithTarget(target);
    _delta = _end - target->getPosition();
}

// --- rotations

RotateTo* RotateTo::create(float d, float degrees) {
    return initAndAutorelease(new RotateTo(), [&](RotateTo* a) {
        a->initWithDuration(d);
        a->_to = Vec3(0, 0, degrees);
        return true;
    });
}

RotateTo* RotateTo::create(float d, const Vec3& degrees3D) {
    return initAndAutorelease(new RotateTo(), [&](RotateTo* a) {
        a->initWithDuration(d);
        a->_is3D = true;
        a->_to = degrees3D;
        return true;
    });
}

RotateTo* RotateTo::clone() const { return _is3D ? create(_duration, _to) : create(_duration, _to.z); }

void RotateTo::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    _from = target->getRotation3D();
    _diff = Vec3();
    if (_is3D) {
        startAndTurn(_from.x, _diff.x, _to.x);
        startAndTurn(_from.y, _diff.y, _to.y);
    }
    startAndTurn(_from.z, _diff.z, _to.z);
}

void RotateTo::update(float t) {
    if (!_target) return;
    Vec3 r = _target->getRotation3D();
    if (_is3D) {
        r.x = _from.x + _diff.x * t;
        r.y = _from.y + _diff.y * t;
    }
    r.z = _from.z + _diff.z * t;
    _target->setRotation3D(r);
}

RotateBy* RotateBy::create(float d, float degrees) {
    return initAndAutorelease(new RotateBy(), [&](RotateBy* a) {
        a->initWithDuration(d);
        a->_delta = Vec3(0, 0, degrees);
        return true;
    });
}

RotateBy* RotateBy::create(float d, const Vec3& degrees3D) {
    return initAndAutorelease(new RotateBy(), [&](RotateBy* a) {
        a->initWithDuration(d);
        a->_is3D = true;
        a->_delta = degrees3D;
        return true;
    });
}

RotateBy* RotateBy::clone() const { return _is3D ? create(_duration, _delta) : create(_duration, _delta.z); }

void RotateBy::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    _start = target->getRotation3D();
}

void RotateBy::update(float t) {
    if (!_target) return;
    Vec3 r = _target->getRotation3D();
    if (_is3D) {
        r.x = _start.x + _delta.x * t;
        r.y = _start.y + _delta.y * t;
    }
    r.z = _start.z + _delta.z * t;
    _target->setRotation3D(r);
}

// --- scale, fades

ScaleTo* ScaleTo::create(float d, float sx, float sy) {
    return initAndAutorelease(new ScaleTo(), [&](ScaleTo* a) {
        a->initWithDuration(d);
        a->_endX = sx;
        a->_endY = sy;
        return true;
    });
}

void ScaleTo::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    _startX = target->getScaleX();
    _startY = target->getScaleY();
}

void ScaleTo::update(float t) {
    if (!_target) return;
    _target->setScaleX(_startX + (_endX - _startX) * t);
    _target->setScaleY(_startY + (_endY - _startY) * t);
}

FadeTo* FadeTo::create(float d, uint8_t opacity) {
    return initAndAutorelease(new FadeTo(), [&](FadeTo* a) {
        a->initWithDuration(d);
        a->_to = opacity;
        return true;
    });
}

void FadeTo::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    _from = target->getOpacity();
}

void FadeTo::update(float t) {
    if (!_target) return;
    float v = _from + (static_cast<float>(_to) - _from) * t;
    _target->setOpacity(static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f))));
}

FadeIn* FadeIn::create(float d) {
    return initAndAutorelease(new FadeIn(), [&](FadeIn* a) {
        a->initWithDuration(d);
        a->_to = 255;
        return true;
    });
}

FadeOut* FadeOut::create(float d) {
    return initAndAutorelease(new FadeOut(), [&](FadeOut* a) {
        a->initWithDuration(d);
        a->_to = 0;
        return true;
    });
}

// --- easing

bool ActionEase::initWithAction(ActionInterval* action) {
    if (!action) return false;
    _inner = action;
    return initWithDuration(action->getDuration());
}

void ActionEase::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    _inner->startWithTarget(target);
}

void ActionEase::stop() {
    _inner->stop();
    ActionInterval::stop();
}

void ActionEase::update(float t) { _inner->update(easeTime(t)); }

EaseExponentialOut* EaseExponentialOut::create(ActionInterval* action) {
    return initAndAutorelease(new EaseExponentialOut(), [&](EaseExponentialOut* a) {
        return a->initWithAction(action);
    });
}

float EaseExponentialOut::ease(float t) { return t >= 1 ? 1.0f : 1.0f - std::pow(2.0f, -10.0f * t); }

EaseExponentialOut* EaseExponentialOut::clone() const {
    return create(static_cast<ActionInterval*>(_inner->clone()));
}

EaseIn* EaseIn::create(ActionInterval* action, float rate) {
    return initAndAutorelease(new EaseIn(), [&](EaseIn* a) {
        a->_rate = rate;
        return a->initWithAction(action);
    });
}
EaseIn* EaseIn::clone() const { return create(static_cast<ActionInterval*>(_inner->clone()), _rate); }
float EaseIn::easeTime(float t) const { return std::pow(t, _rate); }

EaseOut* EaseOut::create(ActionInterval* action, float rate) {
    return initAndAutorelease(new EaseOut(), [&](EaseOut* a) {
        a->_rate = rate;
        return a->initWithAction(action);
    });
}
EaseOut* EaseOut::clone() const { return create(static_cast<ActionInterval*>(_inner->clone()), _rate); }
float EaseOut::easeTime(float t) const { return std::pow(t, 1.0f / _rate); }

// --- tween

ActionTween* ActionTween::create(float d, const std::string& key, float from, float to) {
    return initAndAutorelease(new ActionTween(), [&](ActionTween* a) {
        a->initWithDuration(d);
        a->_key = key;
        a->_from = from;
        a->_to = to;
        return true;
    });
}

void ActionTween::startWithTarget(Node* target) {
    ActionInterval::startWithTarget(target);
    _delegate = dynamic_cast<ActionTweenDelegate*>(target);
}

void ActionTween::update(float t) {
    if (_delegate && _target) _delegate->updateTweenAction(_from + (_to - _from) * t, _key);
}

} // namespace engine
