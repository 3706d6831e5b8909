// Taking changes back and doing them again, by the keys and the controls,
// and cards that cannot join a row laid clear of the program.
#include <fcntl.h>

#include <cerrno>

#include "engine/core/FileUtils.h"
#include "engine/core/FileWriteCalls.h"
#include "field/FieldGridFixture.h"
#include "ui/AlertView.h"
#include "ui/AppEvents.h"

using testsupport::key;
using testsupport::textInput;

namespace {
class FieldHistoryTest : public FieldGridTest {};
} // namespace

TEST_F(FieldHistoryTest, EveryDropIsAStepThatTheKeysAndTheControlsTakeBackAndDoAgain) {
    using Key = EventKeyboard::KeyCode;
    ASSERT_NE(named("undo"), nullptr);
    EXPECT_LT(named("undo")->getOpacity(), 255) << "dimmed: nothing to take back";
    for (int row : {0, 1, 2}) ASSERT_NE(dropOnRow(row, row), nullptr);
    for (int row : {0, 1, 2}) ASSERT_NE(field->cardOnRow(row), nullptr);
    EXPECT_EQ(named("undo")->getOpacity(), 255);
    EXPECT_LT(named("redo")->getOpacity(), 255);

    for (int i = 0; i < 3; ++i) control(Key::KEY_Z);
    EXPECT_TRUE(field->getFieldCards().empty());
    ASSERT_FALSE(saved.empty());
    EXPECT_TRUE(saved.back().empty()) << "the document on disk is the field shown";
    EXPECT_EQ(field->getRowHead(0)->getColor(), Color3B(255, 255, 255));
    EXPECT_EQ(field->getCountLabel(0)->getString(), "0");
    EXPECT_FALSE(field->canUndo());
    control(Key::KEY_Z);
    EXPECT_TRUE(field->getFieldCards().empty()) << "nothing more to take back";

    control(Key::KEY_Z, true);
    control(Key::KEY_Y);
    EXPECT_NE(field->cardOnRow(0), nullptr);
    EXPECT_NE(field->cardOnRow(1), nullptr);
    EXPECT_EQ(field->cardOnRow(2), nullptr);
    EXPECT_EQ(saved.back().size(), 2u);
    EXPECT_TRUE(consistent());

    // The controls do the same; a new change forgets what could be redone.
    tap(centreOf(named("undo")));
    EXPECT_EQ(field->cardOnRow(1), nullptr);
    EXPECT_TRUE(field->canRedo());
    ASSERT_NE(dropOnRow(3, 5), nullptr);
    EXPECT_FALSE(field->canRedo());
    tap(centreOf(named("redo")));
    EXPECT_EQ(field->cardOnRow(1), nullptr);
    EXPECT_NE(field->cardOnRow(5), nullptr);
}

TEST_F(FieldHistoryTest, AMovedChainComesBackToItsRowsAndAHeldCardKeepsUndoAway) {
    using Key = EventKeyboard::KeyCode;
    field->loadDocument({onRow(0, 0, 1), onRow(0, 1, 2), onRow(0, 2, 3)});
    CardSprite* first = field->cardOnRow(1);
    CardSprite* second = field->cardOnRow(2);
    tap(screenOf(first));
    EXPECT_FALSE(field->canUndo()) << "a tap changes nothing: no step";

    Vec2 at = screenOf(first);
    touch(Code::BEGAN, at);
    stepUnseen(30);
    ASSERT_EQ(field->getDragGroup().size(), 3u);
    EXPECT_FALSE(named("undo")->isVisible()) << "the trash takes the corner while a card is dragged";
    control(Key::KEY_Z);
    EXPECT_EQ(field->getDragGroup().size(), 3u) << "no undo while a card is held";
    for (int i = 1; i <= 4; ++i) touch(Code::MOVED, at + Vec2(0, -116.0f * i));
    touch(Code::ENDED, at + Vec2(0, -464));
    EXPECT_EQ(field->cardOnRow(5), first);
    EXPECT_EQ(field->cardOnRow(1), nullptr);
    EXPECT_TRUE(named("undo")->isVisible());

    control(Key::KEY_Z);
    stepUnseen(10);
    EXPECT_EQ(field->cardOnRow(1), first);
    EXPECT_EQ(field->cardOnRow(2), second);
    EXPECT_NE(field->cardOnRow(3), nullptr);
    EXPECT_EQ(linked(first, false), second);
    EXPECT_EQ(linked(second, false), field->cardOnRow(3));
    const CardRecord was = onRow(0, 1, 2);
    EXPECT_EQ(second->getPosition(), Vec2(static_cast<float>(was.x), static_cast<float>(was.y))) << "where it lay";
    EXPECT_TRUE(consistent());
    EXPECT_EQ(snapshotFromDocument(saved.back()).rows[1]->kind, (CardKind{0, 0}));
}

TEST_F(FieldHistoryTest, ATypedNumberTakenBackShowsTheOldNumberAndRunsIt) {
    const int wait = waitAnyCard();
    field->loadDocument({onRow(CARD_SET_FULL, wait, 1, "2")});
    CardSprite* card = field->cardOnRow(1);
    tap(screenOf(card));
    ASSERT_TRUE(field->isNumberEntryOpen());
    field->getNumberEntryBox()->setText("");
    type("5");
    ASSERT_EQ(card->getNumberText(), "5");
    field->undo();
    EXPECT_EQ(card->getNumberText(), "2") << "on the face";
    EXPECT_EQ(field->takeSnapshot().rows[1]->numberText, "2") << "and in the program";
    EXPECT_EQ(saved.back().front().value, "2");
    field->redo();
    EXPECT_EQ(card->getNumberText(), "5");
}

// A card that cannot join a row lies clear of the rows: the card it was
// dropped on stays in full view, and the program is what it was.
TEST_F(FieldHistoryTest, ACardDroppedOnATakenRowLiesClearAndChangesNothingThatRuns) {
    field->loadDocument({onRow(0, 0, 2), onRow(0, 1, 3)});
    CardSprite* placed = field->cardOnRow(2);
    step(2);
    const testsupport::Frame before = grab();
    ASSERT_TRUE(before.valid());
    const FieldSnapshot program = field->takeSnapshot();

    CardSprite* dropped = dropOnRow(4, 2);
    ASSERT_NE(dropped, nullptr);
    step(30);
    const testsupport::Frame after = grab();
    EXPECT_EQ(field->rowOfCard(dropped), -1);
    EXPECT_EQ(field->cardOnRow(2), placed);
    Size s = placed->getContentSize();
    Rect box = placed->getNodeToWorldTransform().applyToRect(Rect(0, 0, s.width, s.height));
    int differ = 0;
    for (float y = box.getMinY() + 1; y < box.getMaxY() - 1; y += 2)
        for (float x = box.getMinX() + 1; x < box.getMaxX() - 1; x += 2) {
            const SDL_Color a = at(before, x, y), b = at(after, x, y);
            differ += !colorNear(a, b.r, b.g, b.b, 4);
        }
    EXPECT_EQ(differ, 0) << "the placed card is covered";
    // Small, tilted, faint and right of the card column, under no control.
    EXPECT_LT(dropped->getScale(), 0.7f);
    EXPECT_NE(dropped->getRotation(), 0.0f);
    const Rect lies = dropped->getBoundingBoxInWorld();
    EXPECT_GT(lies.getMinX(), box.getMaxX());
    EXPECT_LT(lies.getMaxX(), 1019);
    EXPECT_GT(lies.getMinY(), 0);
    EXPECT_LT(lies.getMaxY(), 763);
    for (const char* name : {"play", "stop", "dialect", "home", "undo", "redo"})
        EXPECT_FALSE(named(name)->getBoundingBoxInWorld().intersectsRect(lies)) << name;
    EXPECT_EQ(programLineRows(field->takeSnapshot(), 0), programLineRows(program, 0));
    for (int row = 0; row < 40; ++row)
        EXPECT_EQ(field->takeSnapshot().rows[static_cast<size_t>(row)].has_value(), program.rows[static_cast<size_t>(row)].has_value());
    if (const char* dir = std::getenv("CORVINA_SCREENSHOT_DIR")) after.save(std::string(dir) + "/loose-card.png");

    // Lifted, it takes its full size again.
    touch(Code::BEGAN, lies.origin + Vec2(lies.size.width / 2, lies.size.height / 2));
    stepUnseen(4);
    EXPECT_EQ(dropped->getScale(), 1.0f);
    touch(Code::ENDED, lies.origin + Vec2(lies.size.width / 2, lies.size.height / 2));

    // Zoomed out and scrolled to either side, with the settings bar open: on
    // the screen, inside the field, over no placed card.
    field->showSettingsBar();
    stepUnseen(20);
    FieldScrollView* view = field->getFieldView();
    view->setZoom(0.5f);
    for (float x : {view->getMinOffset().x, view->getMaxOffset().x}) {
        view->scrollTo(Vec2(x, view->getScrollOffset().y), false);
        CardSprite* card = field->addCardToField(2, CARD_SET_BASIC, field->getRowHead(2)->getPosition(), 255);
        field->settleLooseCard(card);
        stepUnseen(20);
        const Rect shown = card->getBoundingBoxInWorld();
        EXPECT_GE(shown.getMinX(), 275) << "offset " << x;
        EXPECT_LE(shown.getMaxX(), 1019) << "offset " << x;
        EXPECT_GE(shown.getMinY(), 96) << "offset " << x;
        EXPECT_LE(shown.getMaxY(), 763) << "offset " << x;
        for (int row : {2, 3})
            EXPECT_FALSE(field->cardOnRow(row)->getBoundingBoxInWorld().intersectsRect(shown)) << "offset " << x;
    }
}

// Taken back while its slide has not yet moved it, a card still ends on the
// row the field says.
TEST_F(FieldHistoryTest, AnUndoRightAfterARowShiftPutsEveryCardWhereTheFieldHasIt) {
    field->loadDocument({onRow(0, 0, 3), onRow(0, 1, 4)});
    field->insertRowAt(3);
    field->undo();
    stepUnseen(20);
    for (int row : {3, 4}) {
        CardSprite* card = field->cardOnRow(row);
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->getPosition(), field->getFieldModel().card(card->getFieldId())->position) << "row " << row;
    }
}

TEST_F(FieldHistoryTest, ATapOnALooseCardAndACardPutBackOnItsRowAreNoSteps) {
    field->loadDocument({onRow(0, 0, 2)});
    CardSprite* loose = field->addCardToField(1, CARD_SET_BASIC, field->getRowHead(2)->getPosition(), 255);
    field->settleLooseCard(loose);
    stepUnseen(20);
    // Opened again from its saved file, as whole numbers.
    field->loadDocument(field->makeFieldDocument());
    const FieldDocument opened = field->makeFieldDocument();
    for (CardSprite* card : {field->getFieldCards()[1].get(), field->cardOnRow(2)}) {
        const Vec2 at = screenOf(card);
        touch(Code::BEGAN, at);
        stepUnseen(4);
        for (int i = 1; i <= 4; ++i) touch(Code::MOVED, at + Vec2(20.0f * i, 0));  // torn off its row...
        for (int i = 3; i >= 0; --i) touch(Code::MOVED, at + Vec2(20.0f * i, 0));  // ...and back
        touch(Code::ENDED, at);
        stepUnseen(20);
    }
    EXPECT_FALSE(field->canUndo());
    EXPECT_EQ(field->makeFieldDocument().size(), opened.size());
    for (size_t k = 0; k < opened.size(); ++k) {
        EXPECT_EQ(field->makeFieldDocument()[k].x, opened[k].x) << k;
        EXPECT_EQ(field->makeFieldDocument()[k].y, opened[k].y) << k;
    }
}

namespace {
// A disk that takes no new file: every write fails at its open.
class FullDisk : public engine::FileWriteCalls {
public:
    int open(const char* path, int flags, int mode) override {
        if (full && (flags & O_CREAT)) {
            errno = ENOSPC;
            return -1;
        }
        return FileWriteCalls::open(path, flags, mode);
    }
    bool full = true;
};
} // namespace

TEST_F(FieldHistoryTest, AFailedFirstSaveIsToldAndLeavingAsksFirst) {
    FullDisk disk;
    engine::FileUtils::getInstance()->setWriteCalls(&disk);
    int left = 0;
    field->setLeaveHandler([&] { ++left; });
    ASSERT_NE(dropOnRow(0, 0), nullptr);
    ASSERT_NE(dropOnRow(1, 1), nullptr);
    EXPECT_EQ(messages.size(), 1u) << "told, once";
    EXPECT_TRUE(SaveDataManager::getInstance()->getDatas().empty()) << "nothing listed without a file";

    tap(centreOf(named("home")));
    Node* question = named("leave unsaved");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(left, 0);
    // Stay: the program is tried again, and saved once the disk has room.
    disk.full = false;
    tap(centreOf(static_cast<AlertView*>(question)->getCancelButton()));
    stepUnseen(10);
    EXPECT_EQ(SaveDataManager::getInstance()->getDatas().size(), 1u);
    tap(centreOf(named("home")));
    // Leaving waits for the board search the editor started, however busy
    // the machine.
    for (int frame = 0; frame < 600 && left == 0; frame += 10) stepUnseen(10);
    EXPECT_EQ(left, 1) << "saved: no question";
    EXPECT_EQ(named("leave unsaved"), nullptr);
    engine::FileUtils::getInstance()->setWriteCalls(nullptr);
}

TEST_F(FieldHistoryTest, ClosingTheWindowOnAProgramThatCouldNotBeSavedAsksFirst) {
    FullDisk disk;
    engine::FileUtils::getInstance()->setWriteCalls(&disk);
    ASSERT_NE(dropOnRow(0, 0), nullptr);
    int quits = 0;
    auto close = [&] {
        QuitRequest request;
        request.quitAnyway = [&] { ++quits; };
        engine::EventCustom event(kQuitRequestedEvent);
        event.setUserData(&request);
        engine::Director::getInstance()->getEventDispatcher()->dispatchEvent(&event);
        return request.allowed;
    };
    EXPECT_FALSE(close()) << "the window stays while the child chooses";
    auto* question = static_cast<AlertView*>(named("leave unsaved"));
    ASSERT_NE(question, nullptr);
    EXPECT_FALSE(close());
    tap(centreOf(question->getOkButton()));
    EXPECT_EQ(quits, 1) << "leave without it: the window closes";
    engine::FileUtils::getInstance()->setWriteCalls(nullptr);
}

TEST_F(FieldHistoryTest, ClosingTheWindowFromTheEditorRefreshesTheProgramsPicture) {
    ASSERT_NE(dropOnRow(0, 0), nullptr);
    stepUnseen(2);
    const std::string image = SaveDataManager::getInstance()->getImageFullPath(field->getDocument());
    ASSERT_FALSE(image.empty());
    const std::string first = engine::FileUtils::getInstance()->getStringFromFile(image);
    ASSERT_FALSE(first.empty()) << "drawn at the first save";
    for (int row = 1; row < 4; ++row) ASSERT_NE(dropOnRow(row % 2, row), nullptr);
    EXPECT_EQ(engine::FileUtils::getInstance()->getStringFromFile(image), first);
    engine::EventCustom quitting(kWillQuitEvent);
    engine::Director::getInstance()->getEventDispatcher()->dispatchEvent(&quitting);
    EXPECT_NE(engine::FileUtils::getInstance()->getStringFromFile(image), first) << "the picture shows four cards now";
}
