// Building a program on the field, headless, by injected touches and fixed
// frames: cards out of the palette, onto rows, into the trash; lifting
// cards and chains; shifting rows; typing numbers; the dialect choice.
#include <SDL.h>

#include <random>

#include "cards/ProgramGenerator.h"
#include "engine/core/TextureCache.h"
#include "engine/platform/Input.h"
#include "engine/platform/TextInput.h"
#include "views/InputCardSprite.h"
#include "support/TextEvents.h"

#include "field/FieldGridFixture.h"

using testsupport::key;
using testsupport::textInput;

TEST_F(FieldGridTest, APaletteCardSnapsOntoARowWithinReachAndTheTrashTakesItBack) {
    CardSprite* card = dragOutOfPalette(0);
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->getOpacity(), 150);
    EXPECT_EQ(field->getCountLabel(0)->getString(), "1") << "the badge counts it at once";
    // 59 points to the right of row 2's connector, facing it: it joins.
    bringConnectorTo(card, headConnector(2) + Vec2(59, 0));
    EXPECT_EQ(field->cardOnRow(2), card);
    EXPECT_TRUE(cardConnector(card).equals(headConnector(2))) << "it lands exactly on the row";
    touch(Code::ENDED, fingerAt);
    EXPECT_EQ(card->getOpacity(), 255);
    ASSERT_EQ(saved.size(), 1u) << "the drop is saved";
    EXPECT_EQ(saved.back().size(), 1u);
    EXPECT_EQ(field->getRowHead(2)->getColor(), Color3B(32, 32, 32));

    // 61 points away it stays loose.
    CardSprite* other = dragOutOfPalette(1);
    bringConnectorTo(other, headConnector(3) + Vec2(61, 0));
    EXPECT_EQ(field->cardOnRow(3), nullptr);
    EXPECT_EQ(field->rowOfCard(other), -1);
    touch(Code::ENDED, fingerAt);
    EXPECT_EQ(field->getCardUseCount(CARD_SET_BASIC, 1), 1);

    // Picked up on the field and let go over the trash: gone, badge down.
    Vec2 at = screenOf(card);
    touch(Code::BEGAN, at);
    stepUnseen(4);
    EXPECT_EQ(field->getDragGroup().size(), 1u) << "lifted after 0.05 s";
    Node* trash = named("trash");
    Vec2 trashAt = screenOf(trash) + Vec2(trash->getContentSize().width * 0.8f, 0);  // in the doubled box only
    touch(Code::MOVED, trashAt);
    EXPECT_TRUE(field->isOverTrash());
    EXPECT_EQ(card->getColor(), Color3B(0, 30, 70));
    touch(Code::ENDED, trashAt);
    EXPECT_EQ(field->getFieldCards().size(), 1u);
    EXPECT_EQ(field->getCountLabel(0)->getString(), "0");
    EXPECT_EQ(field->cardOnRow(2), nullptr);
    EXPECT_EQ(field->getRowHead(2)->getColor(), Color3B(255, 255, 255));
    EXPECT_EQ(saved.back().size(), 1u);
    RefPtr<CardSprite> flying(card);
    stepUnseen(25);
    EXPECT_EQ(flying->getParent(), nullptr) << "it flew into the trash and went";
    EXPECT_TRUE(consistent());
}

TEST_F(FieldGridTest, ADropOverTheTrashStraightFromThePaletteIsKept) {
    CardSprite* card = dragOutOfPalette(2);
    Node* trash = named("trash");
    fingerAt = screenOf(trash);
    touch(Code::MOVED, fingerAt);
    touch(Code::ENDED, fingerAt);
    ASSERT_EQ(field->getFieldCards().size(), 1u);
    EXPECT_EQ(field->getFieldCards().front().get(), card);
    EXPECT_EQ(field->getCardUseCount(CARD_SET_BASIC, 2), 1);
}

TEST_F(FieldGridTest, ADownwardDragScrollsThePaletteAndAHeldCardComesOutWithoutMoving) {
    tap(centreOf(named("card set " + std::to_string(CARD_SET_FULL))));
    FieldScrollView* palette = field->getPaletteView();
    CardSprite* source = field->getPaletteCards().at(1).get();
    Vec2 at = screenOf(source);
    float before = palette->getScrollOffset().y;
    touch(Code::BEGAN, at);
    for (int i = 1; i <= 6; ++i) touch(Code::MOVED, at + Vec2(2, 15.0f * i));
    touch(Code::ENDED, at + Vec2(2, 90));
    EXPECT_EQ(field->getPaletteDragCard(), nullptr);
    EXPECT_TRUE(field->getFieldCards().empty());
    EXPECT_GT(palette->getScrollOffset().y, before) << "the palette scrolled instead";
    stepUnseen(60);

    source = field->getPaletteCards().at(3).get();
    at = screenOf(source);
    touch(Code::BEGAN, at);
    stepUnseen(40);
    EXPECT_EQ(field->getPaletteDragCard(), nullptr) << "not before 0.7 s";
    stepUnseen(4);
    CardSprite* copy = field->getPaletteDragCard();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->getPosition().equals(at + Vec2(3, 3)));
    EXPECT_EQ(copy->getOpacity(), 150);
    touch(Code::ENDED, at);
    EXPECT_EQ(field->getPaletteDragCard(), nullptr) << "released over the palette: nothing made";
    EXPECT_TRUE(field->getFieldCards().empty());
}

TEST_F(FieldGridTest, AShortHoldLiftsACardAloneALongerOneItsChainAndItTearsOffOnlyPastTheLimit) {
    field->loadDocument({onRow(0, 0, 0), onRow(0, 1, 1), onRow(0, 2, 2), onRow(0, 3, 3), onRow(0, 4, 5)});
    ASSERT_TRUE(consistent());
    CardSprite* second = field->cardOnRow(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(linked(second, true), field->cardOnRow(0));
    EXPECT_EQ(linked(second, false), field->cardOnRow(2));
    Vec2 at = screenOf(second);
    touch(Code::BEGAN, at);
    stepUnseen(2);
    EXPECT_TRUE(field->getDragGroup().empty());
    stepUnseen(2);
    ASSERT_EQ(field->getDragGroup().size(), 1u);
    EXPECT_EQ(second->getOpacity(), 150);
    EXPECT_GT(second->getLocalZOrder(), field->cardOnRow(0)->getLocalZOrder()) << "raised";
    stepUnseen(26);
    ASSERT_EQ(field->getDragGroup().size(), 3u) << "rows 1 to 3, down to the first empty row";
    for (const auto& c : field->getDragGroup()) EXPECT_EQ(c->getOpacity(), 100);

    std::vector<Vec2> before;
    for (const auto& c : field->getDragGroup()) before.push_back(c->getPosition());
    touch(Code::MOVED, at + Vec2(30, 0));
    touch(Code::MOVED, at + Vec2(55, 0));
    for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(field->getDragGroup()[i]->getPosition(), before[i]);
    EXPECT_EQ(field->cardOnRow(1), second) << "still on its row";
    touch(Code::MOVED, at + Vec2(75, 0));
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(field->getDragGroup()[i]->getPosition().equals(before[i] + Vec2(75, 0)));
    EXPECT_EQ(field->cardOnRow(1), nullptr);
    EXPECT_EQ(field->cardOnRow(3), nullptr);
    EXPECT_EQ(linked(field->cardOnRow(0), false), nullptr) << "cut from the card left behind";
    EXPECT_EQ(linked(second, false), field->getDragGroup()[1].get()) << "the chain holds together";
    EXPECT_TRUE(consistent());
    // Brought back, the chain finds its rows again.
    touch(Code::MOVED, at + Vec2(1, 0));
    EXPECT_EQ(field->cardOnRow(1), second);
    EXPECT_NE(field->cardOnRow(2), nullptr);
    EXPECT_NE(field->cardOnRow(3), nullptr);
    touch(Code::ENDED, at + Vec2(1, 0));
    EXPECT_TRUE(consistent());
    for (int row : {0, 1, 2, 3, 5}) EXPECT_NE(field->cardOnRow(row), nullptr);
}

TEST_F(FieldGridTest, RowsShiftWithTheirCardsAndEachShiftIsSavedWhereTheSlidesEnd) {
    field->loadDocument({onRow(0, 0, 0), onRow(0, 2, 5, ""), onRow(0, 1, 39)});
    CardSprite* fifth = field->cardOnRow(5);
    // The insert button of the top row, tapped near the edge of its touch area.
    Node* insert = field->getFieldView()->getContainer()->getChildByName("insert row 0");
    ASSERT_NE(insert, nullptr);
    Rect box = insert->getBoundingBox();
    tap(field->getFieldView()->getContainer()->convertToWorldSpace(box.origin) - Vec2(6, 6));
    EXPECT_EQ(field->cardOnRow(0), nullptr) << "row 0 empty after inserting there";
    EXPECT_EQ(field->cardOnRow(6), fifth);
    EXPECT_EQ(field->cardOnRow(39), nullptr) << "the card of the last row had nowhere to go";
    EXPECT_EQ(field->getFieldCards().size(), 2u);
    ASSERT_EQ(saved.size(), 1u) << "saved at once";
    stepUnseen(10);
    FieldSnapshot snap = snapshotFromDocument(saved.back());
    EXPECT_TRUE(snap.rows[1].has_value());
    EXPECT_TRUE(snap.rows[6].has_value());
    EXPECT_TRUE(snap.loose.empty()) << "saved where the slides ended";
    EXPECT_TRUE(consistent());

    field->insertRowAt(39);
    EXPECT_EQ(saved.size(), 1u) << "nothing changed: nothing to save";
    field->deleteRowAt(0);
    stepUnseen(10);
    EXPECT_EQ(field->cardOnRow(0)->getCardIndex(), 0);
    EXPECT_EQ(field->cardOnRow(5), fifth) << "every card one row up";
    EXPECT_TRUE(cardConnector(fifth).equals(headConnector(5)));
    EXPECT_EQ(linked(fifth, true), nullptr);
    EXPECT_EQ(saved.size(), 2u);
    EXPECT_TRUE(consistent());
    // The line numbers belong to the places, not the cards.
    std::vector<std::pair<float, std::string>> numbers;
    for (Node* child : field->getFieldView()->getContainer()->getChildren())
        if (auto* label = dynamic_cast<LabelAtlas*>(child)) numbers.emplace_back(-label->getPositionY(), label->getString());
    std::sort(numbers.begin(), numbers.end());
    ASSERT_EQ(numbers.size(), 40u);
    for (size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i].second, std::to_string(10 * (i + 1)));
}

TEST_F(FieldGridTest, TheNumberEntryTakesGoodNumbersAndShakesAtTheRest) {
    const int wait = waitAnyCard();
    ASSERT_GE(wait, 0);
    field->loadDocument({onRow(CARD_SET_FULL, wait, 1, "2"), onRow(CARD_SET_BASIC, 0, 2)});
    CardSprite* card = field->cardOnRow(1);
    // A tap on a plain card opens nothing.
    tap(screenOf(field->cardOnRow(2)));
    EXPECT_FALSE(field->isNumberEntryOpen());
    tap(screenOf(card));
    ASSERT_TRUE(field->isNumberEntryOpen());
    ASSERT_NE(field->getNumberEntryBox(), nullptr);
    EXPECT_STREQ(field->getNumberEntryBox()->getText(), "2");
    EXPECT_TRUE(field->getNumberEntryBox()->isEditing());
    if (const char* dir = std::getenv("CORVINA_SCREENSHOT_DIR")) {
        step(1);
        grab().save(std::string(dir) + "/number-entry.png");
    }

    auto retype = [&](const std::string& text) {
        field->getNumberEntryBox()->setText("");
        type(text);
    };
    retype("1.2.3");
    EXPECT_TRUE(field->isNumberEntryOpen()) << "two points are refused";
    EXPECT_NE(field->getNumberEntryLayer()->getNumberOfRunningActions(), 0u) << "the layer shakes";
    stepUnseen(20);
    EXPECT_EQ(field->getNumberEntryLayer()->getPosition(), Vec2(0, 0)) << "and comes to rest";
    retype("600");
    EXPECT_TRUE(field->isNumberEntryOpen()) << "600 seconds do not fit the board in jam";
    EXPECT_EQ(card->getNumberText(), "2");
    // It says why, with the largest wait the board takes, in seconds.
    auto* said = dynamic_cast<Label*>(named("number entry message"));
    ASSERT_NE(said, nullptr);
    const std::string largest = largestNumber(DIALECT_JAM, DeviceManager::getInstance()->getCardCode(wait, CARD_SET_FULL).multiplier);
    EXPECT_NE(said->getString().find(largest + " びょう"), std::string::npos) << said->getString();
    if (const char* dir = std::getenv("CORVINA_SCREENSHOT_DIR")) {
        step(1);
        grab().save(std::string(dir) + "/number-refused.png");
    }
    size_t saves = saved.size();
    retype(".5");
    EXPECT_FALSE(field->isNumberEntryOpen());
    EXPECT_EQ(card->getNumberText(), "0.5");
    EXPECT_EQ(saved.size(), saves + 1);

    // Full-width digits from an input method.
    tap(screenOf(card));
    ASSERT_TRUE(field->isNumberEntryOpen());
    retype("\xEF\xBC\x91\xEF\xBC\x92");  // "１２"
    EXPECT_EQ(card->getNumberText(), "12");

    // Escape leaves the number as it was.
    tap(screenOf(card));
    field->getNumberEntryBox()->setText("");
    handleTextInputEvent(textInput("8"));
    handleTextInputEvent(key(SDLK_ESCAPE));
    EXPECT_FALSE(field->isNumberEntryOpen());
    EXPECT_EQ(card->getNumberText(), "12");

    // A touch beside the box keeps a good number and drops a bad one.
    tap(screenOf(card));
    field->getNumberEntryBox()->setText("7");
    tap(Vec2(900, 100));
    EXPECT_FALSE(field->isNumberEntryOpen());
    EXPECT_EQ(card->getNumberText(), "7");
    tap(screenOf(card));
    field->getNumberEntryBox()->setText("7..");
    tap(Vec2(900, 100));
    EXPECT_FALSE(field->isNumberEntryOpen());
    EXPECT_EQ(card->getNumberText(), "7");
}

TEST_F(FieldGridTest, AnAnyTimesCountBelowOneShakes) {
    DeviceManager* devices = DeviceManager::getInstance();
    int times = -1;
    for (int i = 0; i < devices->getCardCount(CARD_SET_FULL) && times < 0; ++i)
        if (devices->getCardCode(i, CARD_SET_FULL).kind == 1 && devices->getCardCode(i, CARD_SET_FULL).multiplier == 1)
            times = i;
    ASSERT_GE(times, 0);
    field->loadDocument({onRow(CARD_SET_FULL, times, 0, "3")});
    CardSprite* card = field->cardOnRow(0);
    tap(screenOf(card));
    ASSERT_TRUE(field->isNumberEntryOpen());
    for (const char* below : {"0", "0.4"}) {
        field->getNumberEntryBox()->setText("");
        type(below);
        ASSERT_TRUE(field->isNumberEntryOpen()) << below;
        EXPECT_NE(field->getNumberEntryLayer()->getNumberOfRunningActions(), 0u) << below << " shakes";
        EXPECT_EQ(card->getNumberText(), "3");
        stepUnseen(20);
    }
    field->getNumberEntryBox()->setText("");
    type("0.5");  // one turn as the board counts
    EXPECT_FALSE(field->isNumberEntryOpen());
    EXPECT_EQ(card->getNumberText(), "0.5");
}

TEST_F(FieldGridTest, ChoosingLatteTurnsEveryCardAndTheGreyVeilClosesWithoutAChoice) {
    const int wait = waitAnyCard();
    field->loadDocument({onRow(CARD_SET_BASIC, 0, 0), onRow(CARD_SET_PAPRIKA, 1, 1), onRow(CARD_SET_FULL, wait, 2, "3")});
    CardSprite* turned = field->cardOnRow(1);
    turned->flip();
    // A palette card turns over by its corner mark too.
    CardSprite* palette = field->getPaletteCards().at(0).get();
    tap(palette->getFlipControl()->convertToWorldSpaceAR(Vec2::ZERO));
    stepUnseen(30);
    ASSERT_TRUE(turned->isShowingCode());
    ASSERT_TRUE(palette->isShowingCode());
    TextureCache* cache = Director::getInstance()->getTextureCache();
    DeviceManager* devices = DeviceManager::getInstance();

    tap(centreOf(named("dialect")));
    ASSERT_NE(field->getDialectPopup(), nullptr);
    tap(Vec2(600, 100));  // the grey veil
    stepUnseen(10);
    EXPECT_EQ(field->getDialectPopup(), nullptr);
    EXPECT_EQ(devices->getDialect(), DIALECT_JAM);

    tap(centreOf(named("dialect")));
    if (const char* dir = std::getenv("CORVINA_SCREENSHOT_DIR")) {
        step(10);
        grab().save(std::string(dir) + "/dialect-choice.png");
    }
    Node* latte = field->getDialectPopup()->getChildByTag(DIALECT_LATTE);
    ASSERT_NE(latte, nullptr);
    EXPECT_LT(centreOf(latte).x, centreOf(field->getDialectPopup()->getChildByTag(DIALECT_JAM)).x);
    tap(centreOf(latte));
    stepUnseen(10);
    EXPECT_EQ(devices->getDialect(), DIALECT_LATTE);
    EXPECT_EQ(static_cast<Sprite*>(named("dialect"))->getTexture(), cache->addImage("res/r_to_latte_on.png"));
    for (const auto& cards : {field->getFieldCards(), field->getPaletteCards()})
        for (const auto& c : cards)
            EXPECT_EQ(c->getCodePath(), devices->getCardCodeImage(c->getCardIndex(), c->getCardSet()));
    for (CardSprite* c : {turned, palette})
        EXPECT_EQ(c->getImageSprite()->getTexture(), cache->addImage(c->getCodePath()))
            << "a card showing its code changes at once";
    auto* number = dynamic_cast<InputCardSprite*>(field->cardOnRow(2));
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->getCodeLabel()->getString(), "3000") << "3 seconds are 3000 ms in latte";
    CardSprite* out = dragOutOfPalette(0);
    ASSERT_NE(out, nullptr);
    EXPECT_FALSE(out->isShowingCode()) << "a card comes out of the palette picture up";
    touch(Code::ENDED, fingerAt);
    devices->setDialect(DIALECT_JAM);
}

TEST_F(FieldGridTest, SavedCardsComeBackOnTheirRowsAndALooseCardNearARowStaysLoose) {
    const int wait = waitAnyCard();
    CardRecord nearRow = onRow(0, 3, 8);
    nearRow.x += 30;
    field->loadDocument({onRow(0, 0, 0), onRow(CARD_SET_FULL, wait, 1, "25"), nearRow, onRow(1, 2, 4)});
    EXPECT_EQ(field->cardOnRow(8), nullptr);
    EXPECT_EQ(field->cardOnRow(1)->getNumberText(), "25");
    FieldSnapshot snap = field->takeSnapshot();
    EXPECT_EQ(snap.loose.size(), 1u);
    FieldDocument doc = field->makeFieldDocument();
    field->loadDocument(doc);
    EXPECT_EQ(field->makeFieldDocument(), doc) << "save, load, save gives the same document";
    FieldSnapshot again = field->takeSnapshot();
    for (int row = 0; row < 40; ++row) {
        ASSERT_EQ(again.rows[static_cast<size_t>(row)].has_value(), snap.rows[static_cast<size_t>(row)].has_value());
        if (snap.rows[static_cast<size_t>(row)]) {
            EXPECT_EQ(again.rows[static_cast<size_t>(row)]->kind, snap.rows[static_cast<size_t>(row)]->kind);
        }
    }
    EXPECT_EQ(field->getCardUseCount(0, 0), 1) << "counts start again with the loaded field";
}

TEST_F(FieldGridTest, LinksStayPairedThroughALongRandomSequence) {
    std::mt19937 random(20261209);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (int round = 0; round < 120; ++round) {
        const auto& cards = field->getFieldCards();
        switch (pick(5)) {
        case 0: {  // a new card dropped near a row in view
            CardSprite* card = dragOutOfPalette(pick(6));
            if (card) bringConnectorTo(card, headConnector(pick(5)) + Vec2(pick(80) - 10.0f, pick(40) - 20.0f));
            touch(Code::ENDED, fingerAt);
            break;
        }
        case 1:  // a card or a chain lifted and moved, maybe into the trash
            if (!cards.empty()) {
                CardSprite* card = cards[static_cast<size_t>(pick(static_cast<int>(cards.size())))].get();
                Vec2 at = screenOf(card);
                if (at.y < 0 || at.y > 768 || at.x < 300) break;
                touch(Code::BEGAN, at);
                stepUnseen(pick(2) ? 4 : 30);
                Vec2 to = pick(4) == 0 ? screenOf(named("trash")) : at + Vec2(pick(200) - 100.0f, pick(300) - 150.0f);
                touch(Code::MOVED, (at + to) / 2);
                touch(Code::MOVED, to);
                touch(pick(8) == 0 ? Code::CANCELLED : Code::ENDED, to);
            }
            break;
        case 2: field->insertRowAt(pick(6)); break;
        case 3: field->deleteRowAt(pick(6)); break;
        default: stepUnseen(pick(12)); break;
        }
        ASSERT_TRUE(consistent()) << "after round " << round;
        ASSERT_EQ(field->getHeldCard(), nullptr);
    }
    stepUnseen(30);
    int counted = 0;
    for (int k = 0; k < 6; ++k) counted += field->getCardUseCount(CARD_SET_BASIC, k);
    EXPECT_EQ(counted, static_cast<int>(field->getFieldCards().size()));
}

TEST_F(FieldGridTest, ADozenCardsFromEverySetDrawOnTheirRows) {
    const int wait = waitAnyCard();
    field->loadDocument({onRow(CARD_SET_BASIC, 0, 0), onRow(CARD_SET_FULL, wait, 1, "2"), onRow(CARD_SET_BASIC, 1, 2),
                         onRow(CARD_SET_FULL, wait, 3, "0.5"), onRow(CARD_SET_PAPRIKA, 4, 4), onRow(CARD_SET_PAPRIKA, 7, 5),
                         onRow(CARD_SET_FULL, 15, 6), onRow(CARD_SET_FULL, 18, 7), onRow(CARD_SET_PAPRIKA, 5, 8),
                         onRow(CARD_SET_BASIC, 2, 9), onRow(CARD_SET_FULL, 20, 10), onRow(CARD_SET_BASIC, 5, 11)});
    ASSERT_EQ(field->getFieldCards().size(), 12u);
    for (int row : {1, 4}) field->cardOnRow(row)->flip();
    field->getFieldView()->setZoom(0.5f);
    field->getFieldView()->scrollTo(Vec2(field->getFieldView()->getScrollOffset().x,
                                         field->getFieldView()->clampOffsetY(-1e6f)), false);
    step(30);
    testsupport::Frame f = grab();
    ASSERT_TRUE(f.valid());
    // Each card is drawn where its row puts it: not the white of an empty row head.
    for (int row = 0; row < 12; ++row) {
        CardSprite* card = field->cardOnRow(row);
        ASSERT_NE(card, nullptr) << "row " << row;
        Vec2 c = screenOf(card);
        ASSERT_GT(c.y, 0);
        EXPECT_GT(coloured(f, card), 0.2) << "row " << row;
    }
    if (const char* dir = std::getenv("CORVINA_SCREENSHOT_DIR")) f.save(std::string(dir) + "/field-cards.png");
}

TEST_F(FieldGridTest, ANumberCardLetGoInTheTrashOpensNoEntryAndHiddenCardsTakeNoTouch) {
    const int wait = waitAnyCard();
    Node* trash = named("trash");
    // In the doubled trash box, beside the controls over it.
    Vec2 inTrash = screenOf(trash) + Vec2(-79, -73);
    field->addCardToField(wait, CARD_SET_FULL, field->getFieldView()->getContainer()->convertToNodeSpace(inTrash), 255);
    ASSERT_EQ(field->getFieldCards().size(), 1u);
    touch(Code::BEGAN, inTrash);
    stepUnseen(4);
    touch(Code::ENDED, inTrash);
    EXPECT_TRUE(field->getFieldCards().empty()) << "a lifted card let go over the trash is thrown away";
    EXPECT_FALSE(field->isNumberEntryOpen()) << "and asks for no number";

    // A palette card scrolled up under the tabs cannot be picked up there.
    FieldScrollView* palette = field->getPaletteView();
    palette->scrollTo(Vec2(0, palette->getScrollOffset().y + 120), false);
    CardSprite* first = field->getPaletteCards().front().get();
    Vec2 hidden = screenOf(first) + Vec2(75, 20);
    ASSERT_GT(hidden.y, palette->getViewRectInWorld().getMaxY());
    touch(Code::BEGAN, hidden);
    touch(Code::MOVED, hidden + Vec2(20, 0));
    touch(Code::MOVED, hidden + Vec2(40, 0));
    EXPECT_EQ(field->getPaletteDragCard(), nullptr);
    touch(Code::ENDED, hidden + Vec2(40, 0));
}

TEST_F(FieldGridTest, ZOrdersOrderAndWholeNumberPositionsSurviveASave) {
    EXPECT_TRUE(field->makeFieldDocument().empty()) << "an empty field saves an empty array";
    CardRecord a = onRow(0, 0, 0), b = onRow(0, 1, 1), c = onRow(0, 2, 2, "25");
    a.zorder = 3;
    b.zorder = 1;
    c.zorder = 2;
    field->loadDocument({a, b, c});
    // Loose, clear of the card column.
    CardSprite* loose = field->addCardToField(3, CARD_SET_BASIC, Vec2(900.9f, 4040.2f), 255);
    ASSERT_NE(loose, nullptr);
    const FieldDocument doc = field->makeFieldDocument();
    ASSERT_EQ(doc.size(), 4u);
    EXPECT_EQ(doc[0].zorder, 3);
    EXPECT_EQ(doc[1].zorder, 1);
    EXPECT_EQ(doc[2].zorder, 2);
    EXPECT_EQ(doc[2].value, "25");
    EXPECT_EQ(doc[3].x, 900);
    EXPECT_EQ(doc[3].y, 4040);
    field->loadDocument(doc);
    EXPECT_EQ(field->makeFieldDocument(), doc);
    EXPECT_EQ(field->getFieldCards()[3]->getPosition(), Vec2(900, 4040));
}

// A second finger takes no part: a field card pressed while a palette card
// is held stays put, and so does everything once both are let go.
TEST_F(FieldGridTest, ASecondFingerOnAFieldCardWhileAPaletteCardIsHeldLiftsNothing) {
    field->loadDocument({onRow(0, 0, 2)});
    CardSprite* placed = field->cardOnRow(2);
    const Vec2 palette = screenOf(field->getPaletteCards().at(1).get()) + Vec2(75, 0);
    touch(Code::BEGAN, palette, 1);
    const Vec2 card = screenOf(placed);
    touch(Code::BEGAN, card, 2);
    stepUnseen(4);
    EXPECT_EQ(field->getHeldCard(), nullptr);
    touch(Code::MOVED, card + Vec2(200, -200), 2);
    touch(Code::ENDED, card + Vec2(200, -200), 2);
    touch(Code::ENDED, palette, 1);
    EXPECT_EQ(field->cardOnRow(2), placed);
    EXPECT_TRUE(consistent());

    // A card held by one finger: a second finger on another card neither
    // lifts that card nor moves the first.
    field->loadDocument({onRow(0, 0, 2), onRow(0, 1, 4)});
    CardSprite* first = field->cardOnRow(2);
    CardSprite* other = field->cardOnRow(4);
    touch(Code::BEGAN, screenOf(first), 1);
    stepUnseen(4);
    ASSERT_EQ(field->getHeldCard(), first);
    const Vec2 firstAt = first->getPosition();
    const float offset = field->getFieldView()->getScrollOffset().y;
    touch(Code::BEGAN, screenOf(other), 2);
    for (int i = 1; i <= 5; ++i) touch(Code::MOVED, screenOf(other) + Vec2(30.0f * i, 30.0f * i), 2);
    touch(Code::ENDED, screenOf(other) + Vec2(150, 150), 2);
    EXPECT_EQ(first->getPosition(), firstAt);
    EXPECT_EQ(field->getFieldView()->getScrollOffset().y, offset) << "nor scrolls the field under it";
    EXPECT_EQ(field->cardOnRow(4), other);
    touch(Code::ENDED, screenOf(first), 1);
    EXPECT_EQ(field->cardOnRow(2), first);
    field->loadDocument({onRow(0, 0, 2)});

    // A card-set tab pressed during a palette drag lets the card go there.
    dragOutOfPalette(0);
    ASSERT_NE(field->getPaletteDragCard(), nullptr);
    touch(Code::BEGAN, centreOf(named("card set 2")), 3);
    touch(Code::ENDED, centreOf(named("card set 2")), 3);
    touch(Code::ENDED, fingerAt);
    EXPECT_EQ(field->getPaletteDragCard(), nullptr);
    EXPECT_EQ(field->getFieldCards().size(), 2u);
    EXPECT_TRUE(consistent());
    EXPECT_TRUE(field->canUndo()) << "the drop is a step, and undo works on";
    field->undo();
    EXPECT_EQ(field->getFieldCards().size(), 1u);
}

// What covers the field keeps the taps and the wheel that land on it from
// the cards and the rows beneath.
TEST_F(FieldGridTest, TheSettingsBarThePopupsAndALooseCardKeepTapsAndTheWheelFromWhatLiesBeneath) {
    const int wait = waitAnyCard();
    field->loadDocument({onRow(CARD_SET_FULL, wait, 6, "1"), onRow(0, 0, 3)});
    CardSprite* card = field->cardOnRow(6);
    FieldScrollView* view = field->getFieldView();
    wheel(Vec2(600, 400), 5);  // the card half under the bar's edge
    const float offset = view->getScrollOffset().y;
    field->showSettingsBar();
    stepUnseen(20);
    const Vec2 underBar(centreOf(card).x, 15);  // the bar's white foot, beside its controls
    ASSERT_TRUE(card->getBoundingBoxInWorld().containsPoint(underBar));
    tap(underBar);
    EXPECT_FALSE(field->isNumberEntryOpen()) << "the bar took the tap";
    wheel(underBar, 5);
    EXPECT_EQ(view->getScrollOffset().y, offset) << "and the wheel";
    field->hideSettingsBar();
    stepUnseen(20);

    tap(centreOf(card) + Vec2(0, 20));
    ASSERT_TRUE(field->isNumberEntryOpen());
    wheel(centreOf(card), 5);
    EXPECT_EQ(view->getScrollOffset().y, offset) << "the number entry takes the wheel";
    handleTextInputEvent(key(SDLK_ESCAPE));
    field->closeNumberEntry();
    field->openDialectPopup();
    wheel(centreOf(card), 5);
    EXPECT_EQ(view->getScrollOffset().y, offset) << "the dialect popup takes the wheel";
    field->closeDialectPopup();

    // A loose card left over a row's delete button: a tap on it deletes nothing.
    Node* remove = named("delete row 3");
    CardSprite* loose = field->addCardToField(1, CARD_SET_BASIC, remove->getPosition() + Vec2(40, 0), 255);
    ASSERT_NE(loose, nullptr);
    tap(screenOf(remove));
    EXPECT_NE(field->cardOnRow(3), nullptr);
}

// Held at the bottom edge, a card keeps the field scrolling at one speed
// over the card column as beside it, joins no row on the way, and joins
// the free row under it once let go.
TEST_F(FieldGridTest, ACardHeldAtTheEdgeScrollsEvenlyOverTheRowsAndJoinsOneWhenLetGo) {
    field->loadDocument({onRow(0, 0, 2), onRow(0, 1, 3)});
    FieldScrollView* view = field->getFieldView();
    auto scrolled = [&](int row, float x) {
        CardSprite* card = field->cardOnRow(row);
        const Vec2 at = screenOf(card);
        touch(Code::BEGAN, at);
        stepUnseen(4);
        for (int i = 1; i <= 10; ++i) touch(Code::MOVED, at + (Vec2(x, 12) - at) * (static_cast<float>(i) / 10));
        const float before = view->getScrollOffset().y;
        stepUnseen(30);
        const float distance = view->getScrollOffset().y - before;
        EXPECT_EQ(field->rowOfCard(card), -1) << "no row joined on the way";
        touch(Code::ENDED, Vec2(x, 12));
        stepUnseen(20);
        return distance;
    };
    const float overColumn = scrolled(2, 644);
    EXPECT_GT(overColumn, 200);
    EXPECT_NE(field->rowOfCard(field->getFieldCards()[0].get()), -1) << "let go over a free row, it joins it";
    const float beside = scrolled(3, 900);
    EXPECT_NEAR(overColumn, beside, beside * 0.1f);
    EXPECT_TRUE(consistent());
}

// A child's press wobbles: a few points in the first 0.05 s still lift the
// card, and the field holds still meanwhile; a real move scrolls instead.
TEST_F(FieldGridTest, AWobblingPressLiftsTheCardAndARealMoveScrollsTheField) {
    field->loadDocument({onRow(0, 0, 2)});
    CardSprite* card = field->cardOnRow(2);
    FieldScrollView* view = field->getFieldView();
    const Vec2 at = screenOf(card);
    const float offset = view->getScrollOffset().y;
    touch(Code::BEGAN, at);
    touch(Code::MOVED, at + Vec2(3, -4));
    touch(Code::MOVED, at + Vec2(1, -6));
    EXPECT_EQ(view->getScrollOffset().y, offset) << "the field waits";
    stepUnseen(4);
    EXPECT_EQ(field->getDragGroup().size(), 1u) << "lifted";
    touch(Code::ENDED, at + Vec2(1, -6));
    stepUnseen(10);

    touch(Code::BEGAN, at);
    for (int i = 1; i <= 4; ++i) touch(Code::MOVED, at + Vec2(0, 6.0f * i));
    stepUnseen(4);
    EXPECT_TRUE(field->getDragGroup().empty()) << "not lifted";
    EXPECT_GT(view->getScrollOffset().y, offset) << "the field scrolled";
    touch(Code::ENDED, at + Vec2(0, 24));
}
