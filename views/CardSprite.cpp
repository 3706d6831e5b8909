#include "views/CardSprite.h"

#include "engine/core/Action.h"
#include "engine/core/Button.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"

using namespace engine;

CardSprite* CardSprite::create(const std::string& picturePath, const std::string& codePath) {
    return initAndAutorelease(new CardSprite(), [&](CardSprite* card) { return card->init(picturePath, codePath); });
}

CardSprite* CardSprite::create(const std::string& picturePath) { return create(picturePath, ""); }

bool CardSprite::init(const std::string& picture, const std::string& code) {
    // A missing picture leaves an empty card rather than no card.
    imageSprite = Sprite::create(picture);
    if (!imageSprite) imageSprite = Sprite::create();
    Size size = imageSprite->getContentSize();
    imageSprite->setPosition(size.width * 0.5f, size.height * 0.5f);
    imageSprite->setCascadeOpacityEnabled(true);
    imageSprite->setCascadeColorEnabled(true);
    addChild(imageSprite);
    setContentSize(size);
    setAnchorPoint(Vec2::ANCHOR_MIDDLE);
    picturePath = picture;
    codePath = code;
    if (codePath.empty()) return true;

    // The corner mark shows at rest, so a child sees there is another side.
    // Its touch area reaches past the card's corner, never to its middle,
    // and grows and shrinks with the card.
    flipControl = Button::create("res/r_card_flick.png", [this] { flip(); });
    Size control = flipControl->getContentSize();
    flipControl->setPosition(size.width - control.width * 0.5f, control.height * 0.5f);
    flipControl->setMinimumTouchSize(kFlipTouchSize);
    // Not swallowing: the field's drag listener and the scroll view behind
    // still see a touch that starts on the corner; a card dragged by its
    // corner does not turn over when let go.
    flipControl->setSwallowTouches(false);
    flipControl->setMaxTravel(kFlipTravel);
    addChild(flipControl);
    return true;
}

void CardSprite::flip() {
    if (!flipControl || flipping) return;
    flipping = true;
    const bool toCode = !showingCode;
    showingCode = toCode;
    // Edge-on at the half way point, where the face is swapped unseen.
    imageSprite->runAction(Sequence::create(
        RotateTo::create(kFlipHalfTime, Vec3(0, 90, 0)), CallFunc::create([this, toCode] {
            imageSprite->setTexture(toCode ? codePath : picturePath);
            onFlipped();
        }),
        RotateTo::create(kFlipHalfTime, Vec3(0, toCode ? 180.0f : 0.0f, 0)),
        CallFunc::create([this] { flipping = false; })));
}

void CardSprite::setCodeImage(const std::string& path) {
    codePath = path;
    if (showingCode) imageSprite->setTexture(path);
}

void CardSprite::setNumberText(const std::string& text) { numberText = text; }

void CardSprite::onFlipped() {}

void CardSprite::setOpacity(uint8_t opacity) {
    Node::setOpacity(opacity);
    imageSprite->setOpacity(opacity);
    if (flipControl) flipControl->setOpacity(opacity);
}

void CardSprite::setColor(const Color3B& color) {
    Node::setColor(color);
    imageSprite->setColor(color);
    if (flipControl) flipControl->setColor(color);
}
