#pragma once
// The scrolling, zooming window onto a large content node: one finger drags
// it, two pinch it, a flick coasts on with its own inertia, and content
// dragged or flung past its edges springs back. Drawing is clipped to the
// window, and nothing outside the window can be touched. Used for the card
// field, the palette and the list of saved programs.
#include <optional>
#include <vector>

#include "engine/core/Action.h"
#include "engine/core/EventListener.h"
#include "engine/core/Renderer.h"
#include "engine/core/Scene.h"

class FieldScrollView;

class FieldScrollViewDelegate {
public:
    virtual ~FieldScrollViewDelegate() = default;
    virtual void onScrolled(FieldScrollView*) {}
    virtual void onZoomed(FieldScrollView*) {}
};

class FieldScrollView : public engine::Layer, public engine::ActionTweenDelegate {
public:
    enum ScrollAxis { Horizontal = 0, Vertical = 1, Both = 2 };

    // Per frame, at the 60 frames a second the editor runs at.
    static constexpr float kRubberBand = 0.35f;
    static constexpr float kDeceleration = 0.96f;
    static constexpr float kSpringDamping = 0.55f;
    static constexpr float kStopSpeed = 0.01f;
    static constexpr float kSlopInches = 7.0f / 160;
    static constexpr float kAnimatedScrollDuration = 0.15f;

    static FieldScrollView* create(const engine::Size& windowSize);
    bool init() override;
    bool initWithWindow(const engine::Size& windowSize);

    void setScrollAxis(ScrollAxis axis) { scrollAxis = axis; }
    ScrollAxis getScrollAxis() const { return scrollAxis; }
    void setDelegate(FieldScrollViewDelegate* d) { delegate = d; }
    FieldScrollViewDelegate* getDelegate() const { return delegate; }
    void setElastic(bool on) { elastic = on; }
    bool isElastic() const { return elastic; }
    void setClipping(bool on) { clipping = on; }
    bool isClipping() const { return clipping; }
    void setMinZoom(float zoom) { minZoom = zoom; }
    void setMaxZoom(float zoom) { maxZoom = zoom; }
    float getMinZoom() const { return minZoom; }
    float getMaxZoom() const { return maxZoom; }

    // The scrolled node; children added to the view go into it.
    engine::Node* getContainer() const { return content; }
    const engine::Size& getWindowSize() const { return windowSize; }

    // The content node's position in the view.
    engine::Vec2 getScrollOffset() const;
    // The lowest and highest offsets that keep the content over the window.
    engine::Vec2 getMinOffset() const;
    engine::Vec2 getMaxOffset() const;
    // `y` kept within those offsets (at the highest when the content is
    // lower than the window).
    float clampOffsetY(float y) const;
    // Holds the content's x `keepLeft` right of the window's x `windowLeft`
    // (what covers the window left of it would hide it) and its x
    // `keepRight` right of the window's x `windowRight` (no gap shows at
    // the right), at every zoom. These hold hard: no drag, flick or zoom
    // takes the content past them, even on an elastic view.
    void setHorizontalGuard(float keepLeft, float windowLeft, float keepRight, float windowRight);
    // `x` kept within the offsets; as it is without a guard.
    float clampOffsetX(float x) const;
    void scrollTo(const engine::Vec2& offset, bool animated);
    // Eases out over twice `duration`.
    void animateScrollTo(const engine::Vec2& offset, float duration);
    bool isAnimatingScroll() const { return scrollAnimation != nullptr; }
    // Zooms within the limits, keeping the point under the window's centre.
    void setZoom(float scale);
    // The same, keeping `worldPoint` (a cursor) where it is.
    void setZoomAround(float scale, const engine::Vec2& worldPoint);
    float getZoom() const;
    // Brings the content back within its bounds, animated.
    void clampToBounds();
    // While held, fingers neither move nor zoom the content: something on
    // it is deciding whether a press is its own, or holds a finger of its own.
    void holdPan(bool held) { panHeld = held; }

    engine::Rect getViewRectInWorld() const;
    bool hasVisibleAncestors() const;

    // Inertia and gesture state, for the scene and for tests.
    const engine::Vec2& getVelocity() const { return velocity; }
    bool isPressed() const { return pressed; }
    bool isPanning() const { return panning; }
    size_t getActiveTouchCount() const { return activeTouches.size(); }
    bool isCoasting() const;

    // The size of the content node, not of the window.
    const engine::Size& getContentSize() const override;
    void setContentSize(const engine::Size& size) override;
    using engine::Node::addChild;
    void addChild(engine::Node* child, int localZOrder, int tag) override;
    void addChild(engine::Node* child, int localZOrder, const std::string& name) override;
    void removeChild(engine::Node* child, bool cleanup = true) override;
    // Empties the content node; the content node itself stays.
    void removeAllChildrenWithCleanup(bool cleanup) override;
    void onExit() override;
    void visit(engine::Renderer* renderer, const engine::AffineTransform& parentTransform, uint8_t parentOpacity,
               const engine::Color3B& parentColor) override;
    void updateTweenAction(float value, const std::string& key) override;

    bool onTouchBegan(engine::Touch* touch, engine::Event* event);
    void onTouchMoved(engine::Touch* touch, engine::Event* event);
    void onTouchEnded(engine::Touch* touch, engine::Event* event);
    void onTouchCancelled(engine::Touch* touch, engine::Event* event);

protected:
    FieldScrollView() = default;
    ~FieldScrollView() override;
    bool clipsOut(const engine::Vec2& worldPoint) const override;

private:
    // An empty content node at the offset (0, 0), its own origin as anchor.
    void addFreshContent();
    void decelerate(float dt);
    void decelerateAxis(float& v, float c, float low, float high, signed char& state, float& target, float dt);
    void endScrollAnimation();
    void stopScrollAnimation();
    void notifyScrolled();
    bool isOutside(float c, float low, float high) const { return c < low || c > high; }
    bool knows(engine::Touch* touch) const;
    void forget(engine::Touch* touch);
    float fingerDistanceInContent() const;
    engine::Vec2 fingerMidpoint() const;

    FieldScrollViewDelegate* delegate = nullptr;
    ScrollAxis scrollAxis = Both;
    engine::Node* content = nullptr;  // a child, always there after init
    engine::Size windowSize{200, 200};
    float minZoom = 1, maxZoom = 1;
    struct HorizontalGuard {
        float keepLeft, windowLeft, keepRight, windowRight;
    };
    std::optional<HorizontalGuard> guard;
    bool elastic = true;
    bool clipping = true;
    bool pressed = false;
    bool panning = false;
    bool panHeld = false;
    std::vector<engine::RefPtr<engine::Touch>> activeTouches;
    engine::Vec2 lastPoint, previousPoint, lastStep;
    float pinchStartDistance = 0;
    engine::Vec2 velocity;
    signed char overshootState[2] = {0, 0};
    float overshootTarget[2] = {0, 0};
    engine::RefPtr<engine::EventListenerTouchOneByOne> touchListener;
    engine::RefPtr<engine::Action> scrollAnimation;
    bool clipPushed = false;
    engine::CustomCommand beforeDraw, afterDraw;
    engine::Renderer* drawingRenderer = nullptr;
    engine::AffineTransform drawingTransform;
};
