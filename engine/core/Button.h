#pragma once
// A control: a picture that dims while a finger is on it and acts when the
// finger lifts inside it. A finger that slides off and lifts elsewhere does
// nothing, so a child can change their mind. It keeps the touches it takes
// from what lies behind it.
#include <functional>
#include <string>

#include "engine/core/EventListener.h"
#include "engine/core/Sprite.h"

namespace engine {

class Button : public Sprite {
public:
    static constexpr uint8_t kPressedOpacity = 192;

    // An empty button when the picture cannot be loaded, so the layout stays.
    static Button* create(const std::string& picturePath, std::function<void()> action = {});
    // A button showing another node, such as a label: it takes the node's size.
    static Button* createWith(Node* face, std::function<void()> action = {});

    void setAction(std::function<void()> action) { _action = std::move(action); }
    // Points on every side of the picture that take a touch too, in the
    // button's own space: they grow and shrink with it and its parents.
    void setTouchMargin(float points) { _margin = points; }
    float getTouchMargin() const { return _margin; }
    // The margin that makes the touch area at least `points` across.
    void setMinimumTouchSize(float points);
    // Asked when a touch begins: false lets it go to what lies behind, as
    // when something the button cannot see lies over it.
    void setTouchFilter(std::function<bool(const Vec2& worldPoint)> filter) { _filter = std::move(filter); }
    // A button on something that can be dragged lets the touches it takes
    // go on to what lies behind, and a touch that travelled further than
    // `points` on the screen was a drag, not a press.
    void setSwallowTouches(bool on) { _listener->setSwallowTouches(on); }
    void setMaxTravel(float points) { _maxTravel = points; }
    // Whether a point on the screen lies in the touch area.
    bool hitTest(const Vec2& worldPoint) const;
    bool isPressed() const { return _pressed; }
    // The touch under way no longer counts as a press: something else,
    // such as a drag it started, has taken it over.
    void cancelPress() {
        _pressed = false;
        _cancelled = true;
    }
    // A disabled button stays in sight but takes no touch, as while its
    // panel fades away.
    void setEnabled(bool on);
    bool isEnabled() const { return _listener->isEnabled(); }
    // Whether it can be pressed now: enabled, and it and its parents shown.
    bool reachable() const;
    // What a press does, asked from the keyboard; nothing when it cannot be
    // pressed now.
    void activate();

    void visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
               const Color3B& parentColor) override;
    void onExit() override;

protected:
    Button() = default;
    bool initButton(std::function<void()> action);

private:
    std::function<void()> _action;
    std::function<bool(const Vec2&)> _filter;
    RefPtr<EventListenerTouchOneByOne> _listener;
    float _margin = 0;
    float _maxTravel = -1;  // none
    Vec2 _pressedAt;
    int _touchId = -1;  // the finger that pressed it; others are not its press
    bool _pressed = false;
    bool _cancelled = false;
};

} // namespace engine
