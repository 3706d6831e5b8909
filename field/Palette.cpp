// The palette of the current card set, and the dialect the controls show.
#include <algorithm>
#include <string>

#include "cards/DeviceManager.h"
#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"
#include "field/FieldScene.h"

using namespace engine;

namespace {
const float kFirstCardY = 20;
const float kCardGap = 20;
const float kDragStart = 10;
const float kLongPress = 0.7f;
const uint8_t kCopyOpacity = 150;
const int kLongPressTag = 0x10c;
} // namespace

void FieldScene::clearPalette() {
    if (Node* content = paletteView->getContainer()) content->removeAllChildren();
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    for (auto& card : paletteCards)
        if (EventListener* listener = card->getTouchListener()) dispatcher->removeEventListener(listener);
    paletteCards.clear();
    countLabels.clear();
}

void FieldScene::buildPalette() {
    const float H = Director::getInstance()->getVisibleSize().height;
    const Size window(paletteBackground->getContentSize().width - 10, H - 53 - 5);
    clearPalette();
    DeviceManager* devices = DeviceManager::getInstance();
    const int set = devices->getCardSet();
    const int n = devices->getCardCount(set);

    // From the last card up: index 0 ends at the top.
    float height = kFirstCardY;
    for (int k = n - 1; k >= 0; --k) {
        CardSprite* card = CardSprite::create(devices->getCardImage(k, set), devices->getCardCodeImage(k, set));
        card->setCardKind(set, k);
        Size s = card->getContentSize();
        float y = height + s.height / 2 + kCardGap;
        card->setPosition(window.width - s.width / 2 - 5, y);
        height = y + s.height / 2;
        paletteCards.insert(paletteCards.begin(), card);
        paletteView->addChild(card);
        attachPaletteCardListener(card);

        Sprite* badge = picture("res/r_card_num.png");
        Size b = badge->getContentSize();
        badge->setPosition(card->getPositionX() - s.width / 2 - b.width / 2, y);
        paletteView->addChild(badge);
        const int count = model.useCount(CardKind{set, k});
        LabelAtlas* label = LabelAtlas::create(std::to_string(count), "res/r_field_num_w.png", 9, 11, '0');
        if (label) {
            label->setAnchorPoint(Vec2(0, 0.5f));
            label->setPosition(badge->getPositionX() - b.width * 0.25f, y);
            paletteView->addChild(label);
        }
        countLabels.insert(countLabels.begin(), label);
    }

    paletteView->setContentSize(Size(window.width, height + 40));
    float remembered = rememberedPaletteOffsets[static_cast<size_t>(set)];
    // Shown the first time: the top of the list.
    float y = remembered == 9999.0f ? -paletteView->getContentSize().height : remembered;
    y = paletteView->clampOffsetY(y);
    paletteView->scrollTo(Vec2(paletteView->getScrollOffset().x, y), false);
}

// --- dragging a card out of the palette

void FieldScene::attachPaletteCardListener(CardSprite* card) {
    auto* listener = EventListenerTouchOneByOne::create();
    // Until a drag is decided the palette's scroll view sees the touch too.
    listener->setSwallowTouches(false);
    listener->onTouchBegan = [this, card](Touch* touch, Event*) { return onPaletteCardBegan(card, touch); };
    listener->onTouchMoved = [this, card](Touch* touch, Event*) { onPaletteCardMoved(card, touch); };
    listener->onTouchEnded = [this, card](Touch* touch, Event*) { onPaletteCardEnded(card, touch); };
    listener->onTouchCancelled = [this, card](Touch* touch, Event*) { onPaletteCardEnded(card, touch); };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, card);
    card->setTouchListener(listener);
}

bool FieldScene::onPaletteCardBegan(CardSprite* card, Touch* touch) {
    if (fieldBusy()) return false;
    if (!card->getBoundingBoxInWorld().containsPoint(touch->getLocation())) return false;
    decided = false;
    paletteSourceCard = card;
    paletteTouchStart = touch->getLocation();
    card->stopAllActions();
    // Held still, the card comes away without any movement.
    Action* longPress = card->runAction(Sequence::create(DelayTime::create(kLongPress), CallFunc::create([this, card] {
        if (decided || paletteSourceCard.get() != card) return;
        pickUpFromPalette(card, card->convertToWorldSpaceAR(Vec2::ZERO) + Vec2(3, 3));
    })));
    longPress->setTag(kLongPressTag);
    return true;
}

void FieldScene::pickUpFromPalette(CardSprite* card, const Vec2& screenPosition) {
    DeviceManager* devices = DeviceManager::getInstance();
    paletteDragCard = CardSprite::create(devices->getCardImage(card->getCardIndex(), card->getCardSet()));
    paletteDragCard->setCardKind(card->getCardSet(), card->getCardIndex());
    paletteDragCard->setOpacity(kCopyOpacity);
    paletteDragCard->setPosition(screenPosition);
    addChild(paletteDragCard, 800);
    // Held by its corner, the card comes out rather than turning over.
    if (Button* corner = card->getFlipControl()) corner->cancelPress();
    card->setSwallowTouches(true);
    decided = true;
}

void FieldScene::onPaletteCardMoved(CardSprite* card, Touch* touch) {
    if (card != paletteSourceCard.get()) return;
    if (!decided) {
        const Vec2 d = touch->getLocation() - paletteTouchStart;
        if (d.length() < kDragStart) return;
        // Mainly to the right: a card comes out; otherwise the palette scrolls.
        const float angle = std::atan2(d.x, d.y) * 180 / static_cast<float>(M_PI);
        if (angle > 25 && angle < 155) pickUpFromPalette(card, card->convertToWorldSpaceAR(Vec2::ZERO));
        decided = true;
        card->stopActionByTag(kLongPressTag);
        return;
    }
    if (!paletteDragCard) return;
    if (!placedDragCard) {
        paletteDragCard->setPosition(paletteDragCard->getPosition() + touch->getDelta());
        if (paletteDragCard->getPositionX() < kPaletteWidth + paletteDragCard->getContentSize().width / 2) return;
        // Over the field: the real card takes the copy's place.
        paletteDragCard->setVisible(false);
        placeFromPalette(CardKind{card->getCardSet(), card->getCardIndex()}, paletteDragCard->getPosition(), kCopyOpacity);
        return;
    }
    moveDragGroup(placedDragCard, touch->getDelta() / zoom());
}

void FieldScene::onPaletteCardEnded(CardSprite* card, Touch*) {
    if (card != paletteSourceCard.get()) return;
    RefPtr<CardSprite> keep(card);
    if (paletteDragCard) paletteDragCard->removeFromParent();
    paletteDragCard = nullptr;
    dropFromPalette();
    card->stopAllActions();
    card->setSwallowTouches(false);
    paletteSourceCard = nullptr;
    decided = false;
}

void FieldScene::selectCardSet(int set) {
    // A card on its way out of the palette is let go where it is before
    // the palette it came from goes.
    if (paletteSourceCard) onPaletteCardEnded(paletteSourceCard.get(), nullptr);
    DeviceManager* devices = DeviceManager::getInstance();
    rememberedPaletteOffsets[static_cast<size_t>(devices->getCardSet())] = paletteView->getScrollOffset().y;
    devices->setCardSet(set);
    for (int i = 0; i < 3; ++i) cardSetTabs[static_cast<size_t>(i)]->setTexture(devices->getCardSetImage(i));
    buildPalette();
}

void FieldScene::refreshDialect() {
    DeviceManager* devices = DeviceManager::getInstance();
    dialectButton->setTexture(devices->getDialectImage(devices->getDialect(), true));
    for (auto& card : fieldCards)
        card->setCodeImage(devices->getCardCodeImage(card->getCardIndex(), card->getCardSet()));
    for (auto& card : paletteCards)
        card->setCodeImage(devices->getCardCodeImage(card->getCardIndex(), card->getCardSet()));
}
