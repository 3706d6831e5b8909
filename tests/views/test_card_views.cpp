// Card views headless: the turn, the flip control, and number cards.
#include <clocale>

#include "cards/CardCatalog.h"
#include "cards/DeviceManager.h"
#include "engine/core/Button.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Sprite.h"
#include "engine/platform/Input.h"
#include "support/HeadlessTest.h"
#include "ui/Localization.h"
#include "views/CardSprite.h"
#include "views/InputCardSprite.h"

using namespace engine;
using testsupport::colorNear;

namespace {

constexpr int kWaitAny = 2;   // full set: wait a typed number of seconds
constexpr int kLoopAny = 8;   // full set: repeat a typed number of times

class CardViewTest : public testsupport::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        FileUtils::getInstance()->setSearchPaths({std::string(CORVINA_TEST_RESOURCE_DIR) + "/"});
        Localization::getInstance()->configure(LanguageType::JAPANESE, {});
        DeviceManager::getInstance()->setDialect(DIALECT_JAM);
        DeviceManager::getInstance()->setCardSet(CARD_SET_BASIC);
        scene = runScene();
    }
    void TearDown() override {
        DeviceManager::getInstance()->setDialect(DIALECT_JAM);
        HeadlessTest::TearDown();
    }

    CardSprite* makeCard(int set, int index) {
        DeviceManager* dm = DeviceManager::getInstance();
        CardSprite* card = CardSprite::create(dm->getCardImage(index, set), dm->getCardCodeImage(index, set));
        card->setCardKind(set, index);
        return card;
    }

    InputCardSprite* makeNumberCard(int index) {
        DeviceManager* dm = DeviceManager::getInstance();
        InputCardSprite* card =
            InputCardSprite::create(dm->getInputRects(index, CARD_SET_FULL), dm->getCardImage(index, CARD_SET_FULL),
                                    dm->getCardCodeImage(index, CARD_SET_FULL),
                                    dm->getCardCode(index, CARD_SET_FULL).multiplier);
        card->setCardKind(CARD_SET_FULL, index);
        return card;
    }

    // Touch in design points, as the mouse gives it.
    void touch(EventTouch::EventCode code, Vec2 at) { injectTouch(code, 0, at); }

    Scene* scene = nullptr;
};

Vec2 flipControlCentre(CardSprite* card) {
    Button* control = card->getFlipControl();
    return card->convertToWorldSpace(control->getPosition());
}

} // namespace

TEST_F(CardViewTest, TurnSwapsTheFaceEdgeOnAndShowsTheCodeTheRightWayRound) {
    CardSprite* card = makeCard(CARD_SET_BASIC, 0);
    ASSERT_NE(card, nullptr);
    ASSERT_NE(card->getFlipControl(), nullptr);
    card->setPosition(300, 400);
    scene->addChild(card);
    step();
    Texture2D* picture = card->getImageSprite()->getTexture();

    Vec2 corner = flipControlCentre(card);
    touch(EventTouch::EventCode::BEGAN, corner);
    EXPECT_TRUE(card->getFlipControl()->isPressed());
    touch(EventTouch::EventCode::ENDED, corner);
    EXPECT_FALSE(card->getFlipControl()->isPressed());
    EXPECT_TRUE(card->isFlipping());

    // 0.1 s steps: the first frame starts the turn.
    step(1, 0.1f);
    step(1, 0.1f);
    EXPECT_EQ(card->getImageSprite()->getTexture(), picture) << "still the picture at 0.1 s";
    EXPECT_NEAR(card->getImageSprite()->getRotation3D().y, 45, 1e-3);
    step(1, 0.1f);
    EXPECT_NE(card->getImageSprite()->getTexture(), picture) << "swapped at 0.2 s, edge-on";
    EXPECT_TRUE(card->isFlipping());
    step(2, 0.1f);
    EXPECT_FALSE(card->isFlipping()) << "done at 0.4 s";
    EXPECT_TRUE(card->isShowingCode());
    EXPECT_NEAR(card->getImageSprite()->getRotation3D().y, 180, 1e-3);

    // The stored code picture is mirrored; the turned card must show it as
    // the un-mirrored picture would look.
    Sprite* reference = Sprite::create(card->getCodePath());
    reference->setFlippedX(true);
    reference->setPosition(700, 400);
    scene->addChild(reference);
    step();
    testsupport::Frame f = grab();
    int differing = 0;
    for (int y = -45; y <= 45; y += 3)
        for (int x = -95; x <= 95; x += 3) {
            if (x > 100 - 36 && y < -50 + 36) continue;  // the corner mark stays on top
            SDL_Color a = f.at(300 + x, 767 - (400 + y)), b = f.at(700 + x, 767 - (400 + y));
            if (std::abs(a.r - b.r) > 2 || std::abs(a.g - b.g) > 2 || std::abs(a.b - b.b) > 2) ++differing;
        }
    EXPECT_EQ(differing, 0);

    // And back to the picture.
    card->flip();
    step(5, 0.1f);
    EXPECT_FALSE(card->isShowingCode());
    EXPECT_EQ(card->getImageSprite()->getTexture(), picture);
}

TEST_F(CardViewTest, FlipControlActsOnlyWhenTheTouchEndsOnIt) {
    CardSprite* card = makeCard(CARD_SET_PAPRIKA, 3);
    card->setPosition(400, 300);
    card->setScale(0.5f);  // as in the palette
    scene->addChild(card);
    step();
    Vec2 corner = flipControlCentre(card);
    touch(EventTouch::EventCode::BEGAN, corner);
    EXPECT_TRUE(card->getFlipControl()->isPressed());
    touch(EventTouch::EventCode::MOVED, corner + Vec2(-80, 40));
    touch(EventTouch::EventCode::ENDED, corner + Vec2(-80, 40));
    EXPECT_FALSE(card->getFlipControl()->isPressed());
    step(10, 0.1f);
    EXPECT_FALSE(card->isShowingCode());
    EXPECT_FALSE(card->isFlipping());

    // A touch on the card away from the corner never lights the control.
    touch(EventTouch::EventCode::BEGAN, card->getPosition());
    EXPECT_FALSE(card->getFlipControl()->isPressed());
    touch(EventTouch::EventCode::ENDED, card->getPosition());

    // Opacity and colour reach the picture.
    card->setOpacity(100);
    card->setColor(Color3B(10, 20, 30));
    EXPECT_EQ(card->getImageSprite()->getOpacity(), 100);
    EXPECT_EQ(card->getImageSprite()->getColor(), Color3B(10, 20, 30));
}

TEST_F(CardViewTest, TheCornerIsAFingerWideNeverTheMiddleAndADragByItTurnsNothing) {
    CardSprite* card = makeCard(CARD_SET_BASIC, 0);
    card->setPosition(400, 300);  // the corner at (500, 250)
    scene->addChild(card);
    step();
    Button* corner = card->getFlipControl();
    EXPECT_TRUE(corner->hitTest({500 - 43, 252}) && corner->hitTest({502, 250 + 41})) << "44 points across";
    EXPECT_FALSE(corner->hitTest({450, 300})) << "half way to the middle is the card's";
    card->setScale(0.5f);
    EXPECT_FALSE(corner->hitTest({450 - 30, 275 - 20})) << "the area shrinks with the card";
    card->setScale(1);

    // Dragged by its corner, the card moves with the finger and stays put.
    touch(EventTouch::EventCode::BEGAN, {490, 260});
    for (int i = 1; i <= 4; ++i) {
        card->setPosition(400 + 15.0f * i, 300);
        touch(EventTouch::EventCode::MOVED, {490 + 15.0f * i, 260});
    }
    touch(EventTouch::EventCode::ENDED, {550, 260});
    step(5, 0.1f);
    EXPECT_FALSE(card->isShowingCode());
}

TEST_F(CardViewTest, CardWithoutCodeHasNoFlipControlAndNeverTurns) {
    CardSprite* card = CardSprite::create(DeviceManager::getInstance()->getCardImage(0, CARD_SET_BASIC));
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->getFlipControl(), nullptr);
    EXPECT_EQ(card->getContentSize(), Size(200, 100));
    scene->addChild(card);
    card->flip();
    step(5, 0.1f);
    EXPECT_FALSE(card->isShowingCode());
    // A new code picture while the picture shows changes nothing visible.
    CardSprite* other = makeCard(CARD_SET_BASIC, 1);
    scene->addChild(other);
    Texture2D* before = other->getImageSprite()->getTexture();
    other->setCodeImage(DeviceManager::getInstance()->getCardCodeImage(1, CARD_SET_BASIC));
    EXPECT_EQ(other->getImageSprite()->getTexture(), before);
}

TEST_F(CardViewTest, NumberCardShowsDigitsAndTheConvertedValue) {
    InputCardSprite* wait = makeNumberCard(kWaitAny);
    ASSERT_NE(wait, nullptr);
    ASSERT_NE(wait->getCodeLabel(), nullptr);
    scene->addChild(wait);
    EXPECT_EQ(wait->getCodeLabel()->getScaleX(), -1.0f) << "mirrored even when empty";
    EXPECT_TRUE(wait->getBigLabel()->isVisible());
    EXPECT_FALSE(wait->getCodeLabel()->isVisible());

    wait->setNumberText("2");
    EXPECT_EQ(wait->getBigLabel()->getString(), "2");
    EXPECT_EQ(wait->getSmallLabel()->getString(), "2");
    EXPECT_EQ(wait->getCodeLabel()->getString(), "120");
    EXPECT_LT(wait->getCodeLabel()->getScaleX(), 0);
    // Each label fits its rectangle.
    const auto& rects = wait->getInputRects();
    LabelAtlas* labels[3] = {wait->getBigLabel(), wait->getSmallLabel(), wait->getCodeLabel()};
    for (int i = 0; i < 3; ++i) {
        Size s = labels[i]->getContentSize();
        EXPECT_LE(s.width * std::abs(labels[i]->getScaleX()), rects[i].size.width + 1e-3);
        EXPECT_LE(s.height * labels[i]->getScaleY(), rects[i].size.height + 1e-3);
    }
    // The digits on the picture lie inside the card at every length.
    const Size card = wait->getImageSprite()->getContentSize();
    for (const char* text : {"1", "12", "0.5", "546.1", "12345678"}) {
        wait->setNumberText(text);
        for (LabelAtlas* label : {wait->getBigLabel(), wait->getSmallLabel()}) {
            const Rect box = label->getBoundingBox();
            EXPECT_GE(box.getMinX(), 0) << text;
            EXPECT_GE(box.getMinY(), 0) << text;
            EXPECT_LE(box.getMaxX(), card.width) << text;
            EXPECT_LE(box.getMaxY(), card.height) << text;
        }
    }
    wait->setNumberText("2");

    // The dialect changes: digits picture, rectangles and multiplier follow.
    Texture2D* jamDigits = wait->getCodeLabel()->getTexture();
    DeviceManager::getInstance()->setDialect(DIALECT_LATTE);
    wait->setCodeImage(DeviceManager::getInstance()->getCardCodeImage(kWaitAny, CARD_SET_FULL));
    EXPECT_EQ(wait->getCodeLabel()->getString(), "2000");
    EXPECT_NE(wait->getCodeLabel()->getTexture(), jamDigits);
    EXPECT_LT(wait->getCodeLabel()->getScaleX(), 0);
    wait->setNumberText("0.5");
    EXPECT_EQ(wait->getCodeLabel()->getString(), "500");

    wait->setNumberText("");
    for (LabelAtlas* label : labels) EXPECT_EQ(label->getString(), "");
    EXPECT_LT(wait->getCodeLabel()->getScaleX(), 0);

    // The code label shows with the code face, the digits with the picture.
    wait->setNumberText("3");
    wait->flip();
    step(5, 0.1f);
    EXPECT_FALSE(wait->getBigLabel()->isVisible());
    EXPECT_TRUE(wait->getCodeLabel()->isVisible());
}

TEST_F(CardViewTest, ConvertedValuesAreWholeNumbersInEveryLocale) {
    DeviceManager::getInstance()->setDialect(DIALECT_JAM);
    InputCardSprite* wait = makeNumberCard(kWaitAny);
    wait->setNumberText("20000");
    EXPECT_EQ(wait->getCodeLabel()->getString(), "1200000") << "no exponent form";
    InputCardSprite* loop = makeNumberCard(kLoopAny);
    loop->setNumberText("3");
    EXPECT_EQ(loop->getCodeLabel()->getString(), "3");

    EXPECT_EQ(InputCardSprite::convertedValue("2.5", 60), "150");
    EXPECT_EQ(InputCardSprite::convertedValue("0.01", 60), "1") << "0.6 rounds up";
    EXPECT_EQ(InputCardSprite::convertedValue("0.0125", 1000), "13") << "halves away from zero";
    EXPECT_EQ(InputCardSprite::convertedValue("abc", 60), "0");
    EXPECT_EQ(InputCardSprite::convertedValue("12abc", 60), "720");
    EXPECT_EQ(InputCardSprite::convertedValue(" +4", 1000), "4000");
    EXPECT_EQ(InputCardSprite::convertedValue("1e400", 60), "9000000000000000000") << "clamped, not undefined";

    // A German desktop writes "1,5"; the card must still read "1.5" as 1.5.
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (!german) GTEST_SKIP() << "no German locale on this machine";
    EXPECT_EQ(InputCardSprite::convertedValue("1.5", 1000), "1500");
    std::setlocale(LC_ALL, "C");
}
