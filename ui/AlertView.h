#pragma once
// A question box drawn in the scene: a pink window with a message, an OK
// and a cancel button, over a layer that catches every touch, so nothing
// below can be touched while it is shown. The owner shows it (adds it on
// top, opacity 0, FadeIn 0.05 s) and closes it from its callbacks.
#include <functional>
#include <string>

#include "engine/core/EventListener.h"
#include "engine/core/FocusRing.h"
#include "engine/core/Node.h"

namespace engine {
class Label;
class Layer;
class Sprite;
class Button;
} // namespace engine

class AlertView : public engine::Node {
public:
    using Callback = std::function<void(AlertView*)>;

    static AlertView* create(const std::string& message);
    bool init(const std::string& message);

    // Clears the callbacks, so nothing more is called, then fades out and
    // removes itself. Safe from inside a callback.
    void close();
    // Words under the two buttons, for a question whose answers a picture
    // alone does not tell.
    void setButtonCaptions(const std::string& ok, const std::string& cancel);
    // The answer Enter gives, ringed when the question opens: the cross
    // (stay as things are) unless the question asks to go on with what the
    // child has just asked for. Escape is the cross; Left, Right and Tab
    // move the ring between the answers.
    void setDefaultAnswerOk(bool ok);
    bool isOkChosen() const { return okChosen; }
    engine::FocusRing* getFocusRing() const { return ring; }

    // The OK button released over it, the cancel button released over it,
    // a touch begun outside the window and its buttons ended anywhere.
    Callback okCallback;
    Callback cancelCallback;
    Callback outsideCallback;

    engine::Layer* getCoverLayer() const { return coverLayer; }
    engine::Sprite* getWindow() const { return window; }
    engine::Button* getOkButton() const { return okButton; }
    engine::Button* getCancelButton() const { return cancelButton; }
    engine::Label* getMessageLabel() const { return messageLabel; }

protected:
    AlertView() = default;

private:
    // A swallowing listener for `node`; `ended` hears touches it accepted.
    void listen(engine::Node* node, std::function<bool(engine::Touch*)> began,
                std::function<void(engine::Touch*)> ended, std::function<void(engine::Touch*)> cancelled = nullptr);
    engine::Button* button(const std::string& path, Callback AlertView::*callback);

    engine::Layer* coverLayer = nullptr;  // children, held by the tree
    engine::Sprite* window = nullptr;
    engine::Button* okButton = nullptr;
    engine::Button* cancelButton = nullptr;
    engine::Label* messageLabel = nullptr;
    engine::FocusRing* ring = nullptr;
    bool okChosen = false;
    bool closing = false;
};

// Whether `worldPoint` lies in `node`'s box in world coordinates.
bool containsWorldPoint(const engine::Node* node, const engine::Vec2& worldPoint);
