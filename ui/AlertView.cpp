#include "ui/AlertView.h"

#include "engine/core/Action.h"
#include "engine/core/Button.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Scene.h"
#include "engine/core/Sprite.h"
#include "engine/core/Touch.h"
#include "engine/platform/Label.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
constexpr float kWidth = 1024, kHeight = 768;

Sprite* picture(const std::string& path) {
    Sprite* sprite = Sprite::create(Localization::getInstance()->localizedPath(path));
    return sprite ? sprite : Sprite::create();
}
} // namespace

bool containsWorldPoint(const Node* node, const Vec2& worldPoint) {
    return node->getBoundingBoxInWorld().containsPoint(worldPoint);
}

AlertView* AlertView::create(const std::string& message) {
    return initAndAutorelease(new AlertView(), [&](AlertView* view) { return view->init(message); });
}

bool AlertView::init(const std::string& message) {
    if (!Node::init()) return false;
    okCallback = cancelCallback = outsideCallback = nullptr;
    setCascadeOpacityEnabled(true);

    coverLayer = Layer::create();
    coverLayer->setContentSize(Size(kWidth, kHeight));
    coverLayer->setPosition(0, 0);
    addChild(coverLayer);

    window = picture("res/alert_window_pink.png");
    window->setPosition(kWidth * 0.5f, kHeight * 0.5f);
    addChild(window);

    okButton = button("res/alert_window_ok.png", &AlertView::okCallback);
    okButton->setPosition(kWidth * 0.5f - 150, kHeight * 0.5f - 100);
    addChild(okButton);

    cancelButton = button("res/alert_window_cancel.png", &AlertView::cancelCallback);
    cancelButton->setPosition(kWidth * 0.5f + 150, kHeight * 0.5f - 100);
    addChild(cancelButton);

    messageLabel = Label::createWithSystemFont(message, "Helvetica", 28);
    messageLabel->setTextColor(Color3B::BLACK);
    messageLabel->setDimensions(500, 200);
    messageLabel->setAlignment(TextHAlignment::LEFT, TextVAlignment::CENTER);
    messageLabel->setPosition(kWidth * 0.5f, kHeight * 0.5f + 50);
    addChild(messageLabel);

    // Listeners of nodes drawn later are asked first: the buttons, then the
    // window, then the cover, which takes every touch that is left.
    listen(coverLayer, [this](Touch* t) { return containsWorldPoint(coverLayer, t->getLocation()); },
           [this](Touch* t) {
               if (containsWorldPoint(coverLayer, t->getLocation()) && outsideCallback) outsideCallback(this);
           });
    listen(window, [this](Touch* t) { return containsWorldPoint(window, t->getLocation()); }, nullptr);

    ring = FocusRing::create();
    addChild(ring, 10);
    ring->setTarget([this]() -> std::optional<Rect> { return (okChosen ? okButton : cancelButton)->getBoundingBoxInWorld(); });
    // Asked before the screen below, which hears no key while the question stands.
    auto* keys = EventListenerKeyboard::create();
    keys->onKeyPressed = [this](EventKeyboard::KeyCode key, EventKeyboard* event) {
        using Key = EventKeyboard::KeyCode;
        // Answered and fading: the keys go on to the screen below.
        if (closing) return;
        event->stopPropagation();
        if (key == Key::KEY_LEFT_ARROW || key == Key::KEY_RIGHT_ARROW || key == Key::KEY_TAB) {
            okChosen = !okChosen;
        } else if ((key == Key::KEY_ENTER || key == Key::KEY_SPACE) && !event->isRepeat()) {
            (okChosen ? okButton : cancelButton)->activate();
        } else if (key == Key::KEY_ESCAPE) {
            if (Callback call = cancelCallback ? cancelCallback : outsideCallback) call(this);
        }
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(keys, this);
    return true;
}

void AlertView::listen(Node* node, std::function<bool(Touch*)> began, std::function<void(Touch*)> ended,
                       std::function<void(Touch*)> cancelled) {
    auto* listener = EventListenerTouchOneByOne::create();
    listener->setSwallowTouches(true);
    listener->onTouchBegan = [began](Touch* t, Event*) { return began(t); };
    if (ended) listener->onTouchEnded = [ended](Touch* t, Event*) { ended(t); };
    if (cancelled) listener->onTouchCancelled = [cancelled](Touch* t, Event*) { cancelled(t); };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, node);
}

void AlertView::setButtonCaptions(const std::string& ok, const std::string& cancel) {
    for (auto [button, text] : {std::pair{okButton, ok}, std::pair{cancelButton, cancel}}) {
        Label* caption = Label::createWithSystemFont(text, "Helvetica", 20);
        caption->setTextColor(Color3B::BLACK);
        caption->setName(button == okButton ? "ok caption" : "cancel caption");
        caption->setPosition(button->getPositionX(), button->getPositionY() - button->getContentSize().height / 2 - 16);
        addChild(caption);
    }
    messageLabel->setPositionY(messageLabel->getPositionY() + 20);
}

void AlertView::setDefaultAnswerOk(bool ok) { okChosen = ok; }

Button* AlertView::button(const std::string& path, Callback AlertView::*callback) {
    return Button::create(Localization::getInstance()->localizedPath(path), [this, callback] {
        // A copy: the callback may close the alert, which clears it.
        if (Callback call = this->*callback) call(this);
    });
}

void AlertView::close() {
    closing = true;
    okCallback = cancelCallback = outsideCallback = nullptr;
    runAction(Sequence::create(FadeOut::create(0.05f), RemoveSelf::create(true)));
}
