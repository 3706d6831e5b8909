// The palette of the current card set, and the dialect the controls show.
#include <algorithm>
#include <string>

#include "cards/DeviceManager.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "field/FieldScene.h"

using namespace engine;

namespace {
const float kFirstCardY = 20;
const float kCardGap = 20;
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
    const auto& counts = cardUseCounts[static_cast<size_t>(set)];

    // From the last card up: index 0 ends at the top.
    float height = kFirstCardY;
    for (int k = n - 1; k >= 0; --k) {
        CardSprite* card = CardSprite::create(devices->getCardImage(k, set));
        card->setCardKind(set, k);
        Size s = card->getContentSize();
        float y = height + s.height / 2 + kCardGap;
        card->setPosition(window.width - s.width / 2 - 5, y);
        height = y + s.height / 2;
        paletteCards.insert(paletteCards.begin(), card);
        paletteView->addChild(card);

        Sprite* badge = picture("res/r_card_num.png");
        Size b = badge->getContentSize();
        badge->setPosition(card->getPositionX() - s.width / 2 - b.width / 2, y);
        paletteView->addChild(badge);
        int count = k < static_cast<int>(counts.size()) ? counts[static_cast<size_t>(k)] : 0;
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

void FieldScene::selectCardSet(int set) {
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
}
