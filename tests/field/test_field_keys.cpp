// Keyboard play: a program typed card after card from the palette, the
// field's keys each one step undo takes back, popups and questions answered
// with keys, and the name of the card in focus or under the resting pointer.
#include <gtest/gtest.h>

#include "engine/platform/Input.h"
#include "field/FieldGridFixture.h"
#include "sim/BoardSimulator.h"
#include "tests/device/RecordingClock.h"
#include "ui/AlertView.h"
#include "views/BoardPanel.h"

namespace {

using Key = EventKeyboard::KeyCode;

class FieldKeysTest : public FieldGridTest {
protected:
    // A key as the window hands it over: pressed and let go.
    static void press(SDL_Scancode code, Uint16 mod = KMOD_NONE, SDL_Keycode sym = SDLK_UNKNOWN) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.state = SDL_PRESSED;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        engine::handleInputEvent(e);
        e.type = SDL_KEYUP;
        e.key.state = SDL_RELEASED;
        engine::handleInputEvent(e);
    }
    static void press(std::initializer_list<SDL_Scancode> codes) {
        for (SDL_Scancode code : codes) press(code);
    }
    // The blink program through the palette: the chosen card moved to,
    // then Enter, row after row.
    void typeBlink() {
        press({SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_RETURN});  // forever
        press({SDL_SCANCODE_UP, SDL_SCANCODE_UP, SDL_SCANCODE_UP, SDL_SCANCODE_UP, SDL_SCANCODE_RETURN});  // LED on
        press({SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_RETURN});                              // wait 1
        press({SDL_SCANCODE_UP, SDL_SCANCODE_RETURN});                                                   // LED off
        press({SDL_SCANCODE_DOWN, SDL_SCANCODE_SPACE});                                                  // wait 1
        press({SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_RETURN});           // its end
    }
    std::vector<int> rowKinds(int rows) const {
        std::vector<int> kinds;
        for (int r = 0; r < rows; ++r) {
            CardSprite* card = field->cardOnRow(r);
            kinds.push_back(card ? card->getCardSet() * 100 + card->getCardIndex() : -1);
        }
        return kinds;
    }
    std::string program() const {
        ByteCollector out;
        transferProgram(field->takeSnapshot(), DIALECT_JAM, out);
        return out.bytes;
    }
    void newField() {
        Node* scene = field->getParent();
        field->removeFromParent();
        field = FieldScene::create(nullptr);
        scene->addChild(field);
        field->setDocumentSink([this](const FieldDocument& doc) { saved.push_back(doc); });
        step();
    }
};

} // namespace

TEST_F(FieldKeysTest, ABlinkTypedWithKeysAloneIsTheProgramTouchesBuildAndF5PlaysIt) {
    setPorts({});
    field->startScanThread();
    finishWorkers();
    devicetest::RecordingClock clock;
    field->setPacingClock(&clock);
    // From the first frame, without a click: the palette has the focus, its
    // first card and the first row are chosen, and the card says its name.
    EXPECT_EQ(field->getKeyFocus(), "palette");
    EXPECT_EQ(field->getChosenRow(), 0);
    step();
    EXPECT_EQ(field->getCardNameShown(), "あかりを つける");
    ASSERT_TRUE(field->getFocusRing()->getRinged());
    EXPECT_TRUE(field->getFocusRing()->getRinged()->intersectsRect(field->getPaletteCards()[0]->getBoundingBoxInWorld()));
    ASSERT_TRUE(field->getRowMarker()->getRinged());

    typeBlink();
    EXPECT_EQ(rowKinds(7), (std::vector<int>{4, 0, 2, 1, 2, 5, -1}));
    EXPECT_EQ(field->getChosenRow(), 6);
    EXPECT_TRUE(consistent());
    const FieldDocument typed = field->makeFieldDocument();
    const std::string typedBytes = program();
    EXPECT_NE(typedBytes.find("10 @LOOP\r\n20 LED 1\r\n30 WAIT 60\r\n40 LED 0\r\n50 WAIT 60\r\n60 GOTO @LOOP"), std::string::npos);

    // F5 plays it on the simulated board, the LED lit within the first wait.
    press(SDL_SCANCODE_F5);
    finishWorkers();
    step(30);
    ASSERT_TRUE(field->getSimulator());
    EXPECT_TRUE(field->getBoardPanel()->isLedLit());
    // Ctrl+Period stops it.
    press(SDL_SCANCODE_PERIOD, KMOD_LCTRL, SDLK_PERIOD);
    finishWorkers();
    EXPECT_EQ(field->getSimulator()->runningLine(), -1);

    // The same cards in the same order by touches.
    newField();
    for (auto [index, row] : {std::pair{4, 0}, {0, 1}, {2, 2}, {1, 3}, {2, 4}, {5, 5}}) dropOnRow(index, row);
    step(30);
    EXPECT_EQ(field->makeFieldDocument(), typed);
    EXPECT_EQ(program(), typedBytes);
}

TEST_F(FieldKeysTest, EachChangeMadeWithKeysIsOneUndoStepAndChoosingIsNone) {
    typeBlink();
    const size_t built = saved.size();
    press(SDL_SCANCODE_TAB);
    EXPECT_EQ(field->getKeyFocus(), "field");
    press({SDL_SCANCODE_HOME, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN});  // row 2: the first wait
    EXPECT_EQ(field->getChosenRow(), 2);
    // Alt+Down: the card swaps with the one below; the chosen row follows it.
    press(SDL_SCANCODE_DOWN, KMOD_LALT);
    EXPECT_EQ(rowKinds(6), (std::vector<int>{4, 0, 1, 2, 2, 5}));
    EXPECT_EQ(field->getChosenRow(), 3);
    // Shift+Alt+Up: the card and its chain below (rows 3 to 5) go up one;
    // the card above takes the row they leave.
    press(SDL_SCANCODE_UP, KMOD_LALT | KMOD_LSHIFT);
    EXPECT_EQ(rowKinds(6), (std::vector<int>{4, 0, 2, 2, 5, 1}));
    EXPECT_TRUE(consistent());
    // Insert adds an empty row above; Ctrl+Delete takes it away again.
    press(SDL_SCANCODE_INSERT);
    EXPECT_EQ(rowKinds(7), (std::vector<int>{4, 0, -1, 2, 2, 5, 1}));
    press(SDL_SCANCODE_DELETE, KMOD_LCTRL);
    EXPECT_EQ(rowKinds(6), (std::vector<int>{4, 0, 2, 2, 5, 1}));
    // Delete throws the card away; F turns one over, which is no change.
    press(SDL_SCANCODE_DELETE);
    EXPECT_EQ(rowKinds(6), (std::vector<int>{4, 0, -1, 2, 5, 1}));
    press(SDL_SCANCODE_DOWN);
    press(SDL_SCANCODE_F, KMOD_NONE, SDLK_f);
    step(30);
    EXPECT_TRUE(field->cardOnRow(3)->isShowingCode());
    EXPECT_TRUE(consistent());
    // Five changes, each saved, each taken back alone.
    EXPECT_EQ(saved.size(), built + 5);
    for (auto expected : {std::vector<int>{4, 0, 2, 2, 5, 1}, {4, 0, -1, 2, 2, 5}, {4, 0, 2, 2, 5, 1},
                          {4, 0, 1, 2, 2, 5}, {4, 0, 2, 1, 2, 5}}) {
        field->undo();
        EXPECT_EQ(rowKinds(6), expected);
    }
}

TEST_F(FieldKeysTest, ACardPutOnTheLastRowPushesItsCardIntoTheTrashAndTheLastRowStaysChosen) {
    press(SDL_SCANCODE_END);  // from the palette: the field's last row
    EXPECT_EQ(field->getChosenRow(), 39);
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_DOWN);
    press(SDL_SCANCODE_RETURN);
    EXPECT_EQ(field->getChosenRow(), 39);
    ASSERT_NE(field->cardOnRow(39), nullptr);
    EXPECT_EQ(field->cardOnRow(39)->getCardIndex(), 1);
    EXPECT_EQ(field->getFieldModel().cards().size(), 1u) << "the LED on card went into the trash";
    EXPECT_EQ(field->getCardUseCount(CARD_SET_BASIC, 0), 0);
    field->undo();
    EXPECT_EQ(field->cardOnRow(39)->getCardIndex(), 0) << "one step put back the card pushed off";
    // Enter held down puts one card, not one a repeat.
    injectKey(Key::KEY_ENTER, true, false, false, true);
    EXPECT_EQ(field->getFieldModel().cards().size(), 1u);
    // Right and the digits choose the set; the palette shows it.
    press(SDL_SCANCODE_RIGHT);
    EXPECT_EQ(field->getChosenCard(), (CardKind{CARD_SET_PAPRIKA, 0}));
    press(SDL_SCANCODE_3);
    EXPECT_EQ(DeviceManager::getInstance()->getCardSet(), CARD_SET_FULL);
    step();
    EXPECT_EQ(field->getCardNameShown(), "5びょう まつ");
}

TEST_F(FieldKeysTest, PopupsAndQuestionsAnswerKeysAndTabSkipsWhatIsNotShown) {
    // Tab from the palette: the field, play, stop, the dialect.
    for (int i = 0; i < 4; ++i) press(SDL_SCANCODE_TAB);
    EXPECT_EQ(field->getKeyFocus(), "dialect");
    press(SDL_SCANCODE_RETURN);
    ASSERT_NE(field->getDialectPopup(), nullptr);
    press({SDL_SCANCODE_LEFT, SDL_SCANCODE_RETURN});
    EXPECT_EQ(DeviceManager::getInstance()->getDialect(), DIALECT_LATTE);
    EXPECT_EQ(field->getDialectPopup(), nullptr);
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(field->getDialectPopup(), nullptr);
    EXPECT_EQ(DeviceManager::getInstance()->getDialect(), DIALECT_LATTE);

    // The settings bar's controls are walked only while it is open.
    press(SDL_SCANCODE_TAB, KMOD_LSHIFT);
    EXPECT_EQ(field->getKeyFocus(), "stop");
    for (const char* name : {"dialect", "undo", "redo", "zoom out", "zoom in", "zoom full size", "settings", "home"}) {
        press(SDL_SCANCODE_TAB);
        EXPECT_EQ(field->getKeyFocus(), name);
    }
    press(SDL_SCANCODE_TAB, KMOD_LSHIFT);
    press(SDL_SCANCODE_SPACE);
    EXPECT_TRUE(field->isSettingsBarShown());
    for (const char* name : {"port", "reload", "pace", "doctor", "home", "palette"}) {
        press(SDL_SCANCODE_TAB);
        EXPECT_EQ(field->getKeyFocus(), name);
    }

    // A question takes every key while it stands: Enter gives its default
    // answer (the cross, unless set), Right moves to the other.
    for (bool defaultOk : {false, true}) {
        int said = 0;
        AlertView* alert = AlertView::create("?");
        alert->setDefaultAnswerOk(defaultOk);
        alert->okCallback = [&said](AlertView* a) { said = 1; a->close(); };
        alert->cancelCallback = [&said](AlertView* a) { said = 2; a->close(); };
        field->addChild(alert, 1100);
        const int chosen = field->getChosenRow();
        press(SDL_SCANCODE_DOWN);
        EXPECT_EQ(field->getChosenRow(), chosen) << "the field heard no key";
        press(SDL_SCANCODE_RETURN);
        EXPECT_EQ(said, defaultOk ? 1 : 2);
        step(10);
    }
    AlertView* alert = AlertView::create("?");
    int said = 0;
    alert->cancelCallback = [&said](AlertView* a) { said = 2; a->close(); };
    field->addChild(alert, 1100);
    press(SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(said, 2);
}

TEST_F(FieldKeysTest, ThePointerRestingHalfASecondOnACardShowsItsNameAndATouchPutsTheRingAway) {
    tap(Vec2(700, 300));  // a touch: the ring and the keyboard's name go
    step();
    EXPECT_FALSE(field->getFocusRing()->getRinged());
    EXPECT_EQ(field->getCardNameShown(), "");
    Localization::getInstance()->configure(LanguageType::ENGLISH, {});
    auto moveTo = [](Vec2 at) {
        EventMouse move(EventMouse::MouseEventType::MOUSE_MOVE);
        move.setCursorPosition(at);
        Director::getInstance()->getEventDispatcher()->dispatchEvent(&move);
    };
    moveTo(centreOf(field->getPaletteCards()[2].get()));
    step(20);
    EXPECT_EQ(field->getCardNameShown(), "") << "not yet half a second";
    step(12);
    EXPECT_EQ(field->getCardNameShown(), "wait 1 second");
    moveTo(Vec2(700, 700));
    step();
    EXPECT_EQ(field->getCardNameShown(), "");
    // A key brings the ring back.
    press(SDL_SCANCODE_DOWN);
    step();
    EXPECT_TRUE(field->getFocusRing()->getRinged());
    EXPECT_EQ(field->getCardNameShown(), "LED off");

    // A set chosen with its tab: Tab comes back to the palette in that set.
    tap(centreOf(named("card set 2")));
    press(SDL_SCANCODE_TAB, KMOD_LSHIFT);
    press(SDL_SCANCODE_TAB);
    EXPECT_EQ(field->getKeyFocus(), "palette");
    EXPECT_EQ(field->getChosenCard(), (CardKind{CARD_SET_FULL, 0}));
    // Over the connection check, a card behind it gives no name.
    field->showDoctorReport();
    moveTo(centreOf(field->getPaletteCards()[2].get()));
    step(40);
    EXPECT_EQ(field->getCardNameShown(), "");
    field->closeDoctorReport();
    finishWorkers();
    Localization::getInstance()->configure(LanguageType::JAPANESE, {});
}

