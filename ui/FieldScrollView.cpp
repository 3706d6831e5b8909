#include "ui/FieldScrollView.h"

#include <algorithm>
#include <cmath>

#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Renderer.h"
#include "engine/core/Scheduler.h"
#include "engine/core/Touch.h"

using namespace engine;

namespace {
const char* const kDecelerateKey = "FieldScrollView.decelerate";
const char* const kNotifyKey = "FieldScrollView.notify";

float length(const Vec2& v) { return std::sqrt(v.x * v.x + v.y * v.y); }
} // namespace

FieldScrollView* FieldScrollView::create(const Size& size) {
    return initAndAutorelease(new FieldScrollView(), [&](FieldScrollView* view) { return view->initWithWindow(size); });
}

bool FieldScrollView::init() { return initWithWindow(Size(200, 200)); }

bool FieldScrollView::initWithWindow(const Size& size) {
    if (!Layer::init()) return false;
    windowSize = size;
    Node::setContentSize(size);

    touchListener = EventListenerTouchOneByOne::create();
    touchListener->setSwallowTouches(true);
    touchListener->onTouchBegan = [this](Touch* t, Event* e) { return onTouchBegan(t, e); };
    touchListener->onTouchMoved = [this](Touch* t, Event* e) { onTouchMoved(t, e); };
    touchListener->onTouchEnded = [this](Touch* t, Event* e) { onTouchEnded(t, e); };
    touchListener->onTouchCancelled = [this](Touch* t, Event* e) { onTouchCancelled(t, e); };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(touchListener.get(), this);
    activeTouches.reserve(15);

    delegate = nullptr;
    elastic = clipping = true;
    scrollAxis = Both;
    pinchStartDistance = 0;
    addFreshContent();
    minZoom = maxZoom = 1;
    velocity = Vec2::ZERO;
    overshootState[0] = overshootState[1] = 0;

    // Made once; each frame only says which renderer they clip, and where.
    beforeDraw.func = [this] {
        clipPushed = clipping;
        if (!clipPushed) return;
        Rect window = drawingTransform.applyToRect(Rect(0, 0, windowSize.width, windowSize.height));
        drawingRenderer->pushScissor(drawingRenderer->getMapping().toPixelRect(window));
    };
    afterDraw.func = [this] {
        if (clipPushed) drawingRenderer->popScissor();
        clipPushed = false;
    };
    return true;
}

void FieldScrollView::addFreshContent() {
    auto* layer = Layer::create();
    layer->setIgnoreAnchorPointForPosition(false);
    layer->setAnchorPoint(Vec2::ZERO);
    layer->setPosition(Vec2::ZERO);
    content = layer;
    Node::addChild(content, content->getLocalZOrder(), content->getTag());
}

FieldScrollView::~FieldScrollView() {
    // The animated scroll's end would call back into this view.
    if (content) content->stopAllActions();
    if (EventDispatcher* d = Director::getInstance()->getEventDispatcher()) d->removeEventListener(touchListener.get());
}

// --- offsets and bounds

Vec2 FieldScrollView::getScrollOffset() const { return content->getPosition(); }

Vec2 FieldScrollView::getMaxOffset() const {
    Size s = content->getContentSize();
    Vec2 anchor = content->isIgnoreAnchorPointForPosition() ? Vec2::ZERO : content->getAnchorPoint();
    Vec2 high(anchor.x * s.width * content->getScaleX(), anchor.y * s.height * content->getScaleY());
    // Small enough to leave room on the left, the content goes no further
    // right than the guard's least offset.
    if (guard) high.x = std::max(high.x, getMinOffset().x);
    return high;
}

Vec2 FieldScrollView::getMinOffset() const {
    Size s = content->getContentSize();
    Vec2 anchor = content->isIgnoreAnchorPointForPosition() ? Vec2::ZERO : content->getAnchorPoint();
    Vec2 low(windowSize.width - (1 - anchor.x) * s.width * content->getScaleX(),
             windowSize.height - (1 - anchor.y) * s.height * content->getScaleY());
    if (guard) {
        const float z = content->getScaleX(), shift = anchor.x * s.width * z;
        low.x = std::max(guard->windowLeft - guard->keepLeft * z, guard->windowRight - guard->keepRight * z) + shift;
    }
    return low;
}

void FieldScrollView::setHorizontalGuard(float keepLeft, float windowLeft, float keepRight, float windowRight) {
    guard = HorizontalGuard{keepLeft, windowLeft, keepRight, windowRight};
    Vec2 at = content->getPosition();
    content->setPosition(clampOffsetX(at.x), at.y);
}

float FieldScrollView::clampOffsetX(float x) const {
    return guard ? std::clamp(x, getMinOffset().x, getMaxOffset().x) : x;
}

float FieldScrollView::clampOffsetY(float y) const {
    return std::clamp(y, std::min(getMinOffset().y, getMaxOffset().y), getMaxOffset().y);
}

void FieldScrollView::notifyScrolled() {
    if (delegate) delegate->onScrolled(this);
}

void FieldScrollView::scrollTo(const Vec2& offset, bool animated) {
    if (animated) {
        animateScrollTo(offset, kAnimatedScrollDuration);
        return;
    }
    // A scroll set at once ends an animated one: moves add up, so it would
    // go on pulling the content.
    stopScrollAnimation();
    Vec2 to(clampOffsetX(offset.x), offset.y);
    if (!elastic) to.y = clampOffsetY(to.y);
    content->setPosition(to);
    notifyScrolled();
}

void FieldScrollView::stopScrollAnimation() {
    if (!scrollAnimation) return;
    content->stopAction(scrollAnimation.get());
    scrollAnimation = nullptr;
    unschedule(kNotifyKey);
}

void FieldScrollView::endScrollAnimation() {
    stopScrollAnimation();
    unschedule(kNotifyKey);
    notifyScrolled();
}

void FieldScrollView::animateScrollTo(const Vec2& offset, float duration) {
    if (scrollAnimation) endScrollAnimation();
    auto* move = EaseExponentialOut::create(MoveTo::create(2 * duration, Vec2(clampOffsetX(offset.x), offset.y)));
    auto* done = CallFuncN::create([this](Node*) {
        scrollAnimation = nullptr;
        unschedule(kNotifyKey);
        notifyScrolled();
    });
    scrollAnimation = content->runAction(Sequence::create(move, done));
    schedule(
        [this](float) {
            notifyScrolled();
            if (pressed) unschedule(kNotifyKey);
        },
        kNotifyKey);
}

void FieldScrollView::clampToBounds() {
    Vec2 at = content->getPosition(), low = getMinOffset(), high = getMaxOffset();
    Vec2 clamped = at;
    if (scrollAxis != Vertical) clamped.x = std::clamp(at.x, std::min(low.x, high.x), high.x);
    if (scrollAxis != Horizontal) clamped.y = clampOffsetY(at.y);
    if (clamped != at) scrollTo(clamped, true);
}

// --- zoom

float FieldScrollView::getZoom() const { return content->getScale(); }

void FieldScrollView::setZoom(float scale) { setZoomAround(scale, convertToWorldSpace(Vec2(windowSize.width / 2, windowSize.height / 2))); }

void FieldScrollView::setZoomAround(float scale, const Vec2& worldPoint) {
    // A pinch of two fingers at one point, or a wheel gone wild, must never
    // make the field vanish.
    if (!std::isfinite(scale) || content->getScale() == scale) return;
    // A glide still under way adds its moves to wherever the zoom puts the
    // content, past the limits of the new zoom.
    stopScrollAnimation();
    Vec2 held = content->convertToNodeSpace(worldPoint);
    // Limits set the wrong way round, or at 0, must not break the field.
    float low = std::max(0.01f, std::min(minZoom, maxZoom)), high = std::max(low, std::max(minZoom, maxZoom));
    content->setScale(std::clamp(scale, low, high));
    if (delegate) delegate->onZoomed(this);
    Vec2 moved = convertToNodeSpace(worldPoint) - convertToNodeSpace(content->convertToWorldSpace(held));
    Vec2 to = content->getPosition() + moved;
    to.x = clampOffsetX(to.x);
    if (!elastic) to.y = clampOffsetY(to.y);
    content->setPosition(to);
    notifyScrolled();
}

void FieldScrollView::updateTweenAction(float value, const std::string&) { setZoom(value); }

// --- geometry

Rect FieldScrollView::getViewRectInWorld() const {
    Vec2 origin = convertToWorldSpace(Vec2::ZERO);
    float sx = 1, sy = 1;
    for (const Node* n = this; n; n = n->getParent()) {
        sx *= n->getScaleX();
        sy *= n->getScaleY();
    }
    float w = windowSize.width * sx, h = windowSize.height * sy;
    if (sx < 0) origin.x += w;
    if (sy < 0) origin.y += h;
    return {origin.x, origin.y, std::fabs(w), std::fabs(h)};
}

bool FieldScrollView::hasVisibleAncestors() const {
    for (const Node* n = getParent(); n; n = n->getParent())
        if (!n->isVisible()) return false;
    return true;
}

bool FieldScrollView::clipsOut(const Vec2& worldPoint) const {
    return clipping && !getViewRectInWorld().containsPoint(worldPoint);
}

// --- children go into the content node

const Size& FieldScrollView::getContentSize() const { return content ? content->getContentSize() : _contentSize; }

void FieldScrollView::setContentSize(const Size& size) {
    if (content) content->setContentSize(size);
    else Node::setContentSize(size);
}

void FieldScrollView::addChild(Node* child, int localZOrder, int tag) {
    if (child == content || !content) Node::addChild(child, localZOrder, tag);
    else content->addChild(child, localZOrder, tag);
}

void FieldScrollView::addChild(Node* child, int localZOrder, const std::string& name) {
    if (child == content || !content) Node::addChild(child, localZOrder, name);
    else content->addChild(child, localZOrder, name);
}

void FieldScrollView::removeChild(Node* child, bool cleanup) {
    if (child == content) {
        // Its animation and coasting end with it; the view always has a
        // content node to scroll and to hold.
        stopScrollAnimation();
        unschedule(kDecelerateKey);
        velocity = Vec2::ZERO;
        Node::removeChild(child, cleanup);
        addFreshContent();
    } else if (content) {
        content->removeChild(child, cleanup);
    }
}

// The content node stays: a view without one could neither scroll nor hold.
void FieldScrollView::removeAllChildrenWithCleanup(bool cleanup) {
    if (content) content->removeAllChildrenWithCleanup(cleanup);
}

void FieldScrollView::onExit() {
    Layer::onExit();
    // Touches that were under way when the view left will never end here.
    activeTouches.clear();
    pressed = panning = false;
}

void FieldScrollView::visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
                            const Color3B& parentColor) {
    if (!_visible) return;
    drawingRenderer = renderer;
    // Where this drawing puts the window, which is not where the scene
    // puts it when drawn into a picture.
    drawingTransform = parentTransform * getNodeToParentTransform();
    renderer->addCommand(&beforeDraw);
    Node::visit(renderer, parentTransform, parentOpacity, parentColor);
    renderer->addCommand(&afterDraw);
}

// --- touches

bool FieldScrollView::knows(Touch* touch) const {
    return std::any_of(activeTouches.begin(), activeTouches.end(), [touch](const RefPtr<Touch>& t) { return t.get() == touch; });
}

void FieldScrollView::forget(Touch* touch) {
    std::erase_if(activeTouches, [touch](const RefPtr<Touch>& t) { return t.get() == touch; });
    if (activeTouches.empty()) pressed = panning = false;
}

float FieldScrollView::fingerDistanceInContent() const {
    Vec2 a = content->convertToNodeSpace(activeTouches[0]->getLocation());
    Vec2 b = content->convertToNodeSpace(activeTouches[1]->getLocation());
    return length(a - b);
}

Vec2 FieldScrollView::fingerMidpoint() const {
    Vec2 a = convertToNodeSpace(activeTouches[0]->getLocation());
    Vec2 b = convertToNodeSpace(activeTouches[1]->getLocation());
    return (a + b) * 0.5f;
}

bool FieldScrollView::onTouchBegan(Touch* touch, Event*) {
    if (!isVisible() || !hasVisibleAncestors()) return false;
    // A third finger is still taken (it ends a pinch); a fourth is not.
    if (activeTouches.size() > 2 || panning || !getViewRectInWorld().containsPoint(touch->getLocation())) return false;
    if (!knows(touch)) activeTouches.emplace_back(touch);
    if (activeTouches.size() == 1) {
        stopScrollAnimation();  // the finger takes the content over
        lastPoint = previousPoint = convertToNodeSpace(touch->getLocation());
        panning = false;
        pressed = true;
        lastStep = Vec2::ZERO;
        pinchStartDistance = 0;
        velocity = Vec2::ZERO;
        overshootState[0] = overshootState[1] = 0;
    } else if (activeTouches.size() == 2) {
        lastPoint = fingerMidpoint();
        pinchStartDistance = fingerDistanceInContent();
        pressed = false;
    }
    return true;
}

void FieldScrollView::onTouchMoved(Touch* touch, Event*) {
    if (!isVisible() || !knows(touch)) return;
    if (activeTouches.size() == 1 && pressed) {
        if (panHeld && !panning) return;
        Vec2 now = convertToNodeSpace(touch->getLocation());
        Vec2 move = now - lastPoint;
        Vec2 step = now - previousPoint;
        float d = scrollAxis == Vertical ? std::fabs(move.y) : scrollAxis == Horizontal ? std::fabs(move.x) : length(move);
        // Past an edge the content follows the finger at a fraction of its speed.
        Vec2 at = content->getPosition(), low = getMinOffset(), high = getMaxOffset();
        if (scrollAxis != Vertical && isOutside(at.x, low.x, high.x)) {
            move.x *= kRubberBand;
            step.x *= kRubberBand;
        }
        if (scrollAxis != Horizontal && isOutside(at.y, low.y, high.y)) {
            move.y *= kRubberBand;
            step.y *= kRubberBand;
        }
        if (!panning) {
            GLView* view = Director::getInstance()->getOpenGLView();
            float pixelsPerPoint = 1, dpi = 96;
            if (view) {
                ViewportMapping m = view->getViewportMapping();
                pixelsPerPoint = (m.scaleX + m.scaleY) / 2;
                dpi = view->getDotsPerInch();
            }
            if (d * pixelsPerPoint / dpi < kSlopInches) return;
            move = Vec2::ZERO;  // the first move past the slop only starts the pan
        }
        previousPoint = lastPoint;
        lastPoint = now;
        panning = true;
        if (scrollAxis == Horizontal) move.y = step.y = 0;
        if (scrollAxis == Vertical) move.x = step.x = 0;
        lastStep = step;
        scrollTo(content->getPosition() + move, false);
    } else if (activeTouches.size() == 2 && !pressed) {
        if (panHeld) return;
        float distance = fingerDistanceInContent();
        // Fingers that began at one point have no distance to scale by yet.
        if (pinchStartDistance < 1) {
            pinchStartDistance = distance;
            return;
        }
        setZoom(content->getScale() * distance / pinchStartDistance);
    }
}

void FieldScrollView::onTouchEnded(Touch* touch, Event*) {
    if (!isVisible() || !knows(touch)) return;
    if (activeTouches.size() == 1 && panning) {
        auto launch = [](float v) { return v * 0.5f + (v > 0 ? kStopSpeed : -kStopSpeed); };
        velocity = Vec2(launch(lastStep.x), launch(lastStep.y));
        if (scrollAxis == Vertical) velocity.x = 0;  // a locked axis does not drift
        if (scrollAxis == Horizontal) velocity.y = 0;
        schedule([this](float dt) { decelerate(dt); }, kDecelerateKey);
    }
    forget(touch);
}

void FieldScrollView::onTouchCancelled(Touch* touch, Event*) {
    if (!isVisible() || !knows(touch)) return;
    forget(touch);
}

// --- inertia

bool FieldScrollView::isCoasting() const { return isScheduled(kDecelerateKey); }

void FieldScrollView::decelerateAxis(float& v, float c, float low, float high, signed char& state, float& target,
                                     float dt) {
    if (state == 0) {
        if (std::fabs(v) < kStopSpeed) {
            v = 0;
            return;
        }
        float p = c + v;
        if (!elastic && (p > high || p < low)) v = 0;
        else if (elastic && p > high) {
            state = -1;
            target = high;
        } else if (elastic && p < low) {
            state = 1;
            target = low;
        }
        v *= kDeceleration;
        return;
    }
    if (state * c >= state * target) {
        v *= kSpringDamping;
        return;
    }
    float p = c + v;
    if (v * state < 0) {
        v += (target - p) / (0.15f / dt);
    } else {
        v = (target - p) / (0.1f / dt);
        if (std::fabs(v) < kStopSpeed) {
            state = 0;
            v = 0;
        }
    }
}

void FieldScrollView::decelerate(float dt) {
    if (pressed) {
        unschedule(kDecelerateKey);
        return;
    }
    if (dt <= 0) return;  // a frame that counts no time moves nothing
    Vec2 c = content->getPosition(), low = getMinOffset(), high = getMaxOffset();
    decelerateAxis(velocity.x, c.x, low.x, high.x, overshootState[0], overshootTarget[0], dt);
    decelerateAxis(velocity.y, c.y, low.y, high.y, overshootState[1], overshootTarget[1], dt);
    Vec2 to = c + velocity;
    if (guard && clampOffsetX(to.x) != to.x) {
        to.x = clampOffsetX(to.x);
        velocity.x = 0;
    }
    if (!elastic) to.y = clampOffsetY(to.y);
    content->setPosition(to);
    notifyScrolled();
    if (velocity.x == 0 && velocity.y == 0) {
        unschedule(kDecelerateKey);
        clampToBounds();
    }
}
