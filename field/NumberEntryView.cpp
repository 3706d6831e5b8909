// Typing the number of a number card: the card's code shown large on a dim
// layer, with an entry box where the number goes.
#include <algorithm>
#include <cmath>

#include "cards/DeviceManager.h"
#include "cards/NumberEntry.h"
#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"
#include "field/FieldScene.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
const int kEntryZ = 1000;
const int kMaxCharacters = 8;
const int kShakeTag = 0x5a4e;

// The number on `card` counts the turns of a loop in the dialect chosen.
bool takesLoopCount(const CardSprite* card) {
    return card && takesLoopCount(CardKind{card->getCardSet(), card->getCardIndex()},
                                  DeviceManager::getInstance()->getDialect());
}
} // namespace

void FieldScene::openNumberEntry(CardSprite* card) {
    if (numberEntryLayer || !card) return;
    DeviceManager* devices = DeviceManager::getInstance();
    const Size visible = Director::getInstance()->getVisibleSize();
    numberEntryCard = card;
    numberEntryLayer = LayerColor::create(Color4B(0, 0, 0, 128), visible.width, visible.height);
    addChild(numberEntryLayer, kEntryZ);

    // The code face is kept mirrored for the card's half turn; shown flat
    // here, it is turned back so that it reads.
    Sprite* image = Sprite::create(devices->getCardCodeImage(card->getCardIndex(), card->getCardSet()));
    if (!image) image = Sprite::create();
    image->setFlippedX(true);
    const Vec2 at = toScreen(card->getPosition());
    image->setPosition(at);
    numberEntryLayer->addChild(image);

    const auto rects = devices->getInputRects(card->getCardIndex(), card->getCardSet());
    if (!rects.empty()) {
        const Vec2 offset = rects.front().origin;
        const Size picture = image->getContentSize();
        const Size size(std::max(40.0f, std::abs(2 * offset.x) + picture.width),
                        std::max(30.0f, 2 * offset.y + picture.height));
        numberEntryBox = ui::EditBox::create(size, "res/r_empty.png");
        numberEntryBox->setFont("fonts/IchigoJam-1.2.ttf", 20);
        numberEntryBox->setFontColor(Color3B(0, 0, 0));
        numberEntryBox->setText(card->getNumberText());
        numberEntryBox->setInputMode(ui::EditBox::InputMode::SINGLE_LINE);
        numberEntryBox->setReturnType(ui::EditBox::KeyboardReturnType::GO);
        numberEntryBox->setTextHorizontalAlignment(TextHAlignment::CENTER);
        numberEntryBox->setMaxLength(kMaxCharacters);
        numberEntryBox->setPosition(at + offset);
        numberEntryBox->setDelegate(this);
        numberEntryLayer->addChild(numberEntryBox);
        numberEntryBox->openKeyboard();
    }

    // Nothing below the entry can be touched; a touch beside the box closes it.
    auto* listener = EventListenerTouchOneByOne::create();
    listener->setSwallowTouches(true);
    listener->onTouchBegan = [](Touch*, Event*) { return true; };
    listener->onTouchEnded = [this](Touch* touch, Event*) {
        if (!numberEntryBox) {
            closeNumberEntry();
            return;
        }
        Size s = numberEntryBox->getContentSize();
        Rect box = numberEntryBox->getNodeToWorldTransform().applyToRect(Rect(0, 0, s.width, s.height));
        if (box.containsPoint(touch->getLocation())) {
            numberEntryBox->openKeyboard();
            return;
        }
        // As on return when the text is good; otherwise the card keeps its number.
        NumberEntryResult result = checkNumberEntry(numberEntryBox->getText(), DeviceManager::getInstance()->getDialect(),
                                                    numberEntryMultiplier(), takesLoopCount(numberEntryCard.get()));
        applyNumberEntry(result);
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, numberEntryLayer);
    numberEntryListener = listener;
}

float FieldScene::numberEntryMultiplier() const {
    if (!numberEntryCard) return 1;
    return DeviceManager::getInstance()
        ->getCardCode(numberEntryCard->getCardIndex(), numberEntryCard->getCardSet())
        .multiplier;
}

void FieldScene::applyNumberEntry(const NumberEntryResult& result) {
    RefPtr<CardSprite> card = numberEntryCard;
    const bool accepted = result.accepted && card;
    closeNumberEntry();
    if (accepted) setCardNumber(card.get(), result.text);
}

void FieldScene::showRefusal(NumberRefusal refusal) {
    Localization* texts = Localization::getInstance();
    std::string message;
    if (refusal == NumberRefusal::TooLarge) {
        const std::string largest =
            largestNumber(DeviceManager::getInstance()->getDialect(), numberEntryMultiplier());
        // A card whose number the board counts in finer steps is a wait, in seconds.
        const bool seconds = numberEntryMultiplier() != 1;
        message = texts->localizedText("このカードに いれられるのは " + largest + (seconds ? " びょう" : "") + " までです。",
                                       "This card takes numbers up to " + largest + (seconds ? " seconds." : "."));
    } else if (refusal == NumberRefusal::BelowOne) {
        message = texts->localizedText("1より ちいさい かずは つかえません。", "The number must be 1 or more.");
    } else {
        message = texts->localizedText("すうじだけ いれてね（てんは ひとつまで）。",
                                       "Type digits only, with at most one point.");
    }
    // White on a dark band, below the card's code (above it near the
    // bottom of the screen), over whatever lies there.
    LayerColor* band = static_cast<LayerColor*>(numberEntryLayer->getChildByName("number entry message back"));
    if (!band) {
        band = LayerColor::create(Color4B(20, 40, 60, 230), 10, 10);
        band->setName("number entry message back");
        numberEntryLayer->addChild(band);
        Label* label = Label::createWithSystemFont("", "HiraKakuProN-W6", 22);
        label->setName("number entry message");
        label->setTextColor(Color4B::WHITE);
        numberEntryLayer->addChild(label);
    }
    auto* label = static_cast<Label*>(numberEntryLayer->getChildByName("number entry message"));
    label->setString(message);
    Vec2 at = numberEntryBox ? numberEntryBox->getPosition() : Vec2(512, 384);
    at.y += at.y < 200 ? 100 : -100;
    const Size text = label->getContentSize();
    at.x = std::clamp(at.x, kPaletteWidth + text.width / 2 + 20, 1024 - text.width / 2 - 20);
    label->setPosition(at);
    band->setContentSize(Size(text.width + 32, text.height + 20));
    band->setPosition(at - Vec2(text.width / 2 + 16, text.height / 2 + 10));
}

void FieldScene::closeNumberEntry() {
    if (!numberEntryLayer) return;
    LayerColor* layer = numberEntryLayer;
    ui::EditBox* box = numberEntryBox;
    numberEntryLayer = nullptr;
    numberEntryBox = nullptr;
    numberEntryCard = nullptr;
    if (box) {
        box->setDelegate(nullptr);
        box->closeKeyboard();
    }
    if (numberEntryListener) Director::getInstance()->getEventDispatcher()->removeEventListener(numberEntryListener.get());
    numberEntryListener = nullptr;
    layer->removeFromParent();
}

void FieldScene::editBoxEditingDidEndWithAction(ui::EditBox*, ui::EditBoxDelegate::EditBoxEndAction action) {
    lastEntryEndAction = action;
}

void FieldScene::editBoxReturn(ui::EditBox* editBox) {
    if (editBox != numberEntryBox || !numberEntryLayer) return;
    NumberEntryResult result = checkNumberEntry(editBox->getText(), DeviceManager::getInstance()->getDialect(),
                                                numberEntryMultiplier(), takesLoopCount(numberEntryCard.get()));
    // Escape: the card keeps its number, whatever was typed.
    if (lastEntryEndAction == ui::EditBoxDelegate::EditBoxEndAction::CANCEL) {
        closeNumberEntry();
        return;
    }
    if (lastEntryEndAction != ui::EditBoxDelegate::EditBoxEndAction::RETURN) {
        // Ended some other way (a press beside the box, Escape): a good
        // number is kept, anything else leaves the card as it was.
        applyNumberEntry(result);
        return;
    }
    if (result.accepted) {
        applyNumberEntry(result);
        return;
    }
    // Refused: the layer shakes, says why, and the entry stays open.
    showRefusal(result.refusal);
    numberEntryLayer->stopActionByTag(kShakeTag);
    numberEntryLayer->setPosition(0, 0);
    std::vector<FiniteTimeAction*> steps;
    for (int i = 0; i < 3; ++i)
        for (float x : {-10.0f, 0.0f, 10.0f, 0.0f}) steps.push_back(MoveTo::create(0.02f, Vec2(x, 0)));
    Action* shake = numberEntryLayer->runAction(Sequence::create(steps));
    shake->setTag(kShakeTag);
    editBox->openKeyboard();
}
