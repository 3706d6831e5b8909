#pragma once
// The editor driven headless as a child drives it: cards out of the
// palette, cards and chains dragged between rows and into the trash, rows
// inserted and deleted, numbers typed, the dialect and the card set
// changed, through touches, the wheel and typed keys; and the program saved
// and opened again in a new editor, as the home screen opens it, with the
// checks that both saves and the tool's rendering agree.
#include <SDL.h>

#include <chrono>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <random>
#include <sstream>

#include "cards/CardCatalog.h"
#include "cards/ProgramGenerator.h"
#include "cli/CliCommands.h"
#include "engine/core/Clock.h"
#include "engine/core/Plist.h"
#include "engine/core/Ref.h"
#include "engine/core/Scheduler.h"
#include "engine/platform/Input.h"
#include "engine/platform/TextInput.h"
#include "field/FieldFixture.h"
#include "support/ProofRuns.h"
#include "support/TextEvents.h"

// Saved records in failure messages.
inline void PrintTo(const CardRecord& r, std::ostream* out) {
    *out << r.tab << ":" << r.index << " at (" << r.x << ", " << r.y << ") z " << r.zorder << " '" << r.value << "'";
}

namespace {

using testsupport::key;
using testsupport::textInput;

// What a child might type into a number card, good and bad: one or two of
// these run together, after a few backspaces.
const char* const kTypedPieces[] = {
    "0", "1", "2", "5", "9", "10", "25", "60", "99", "100", "255", "546", "600", "999", "1000", "32767", "32768",
    "65535", "65536", "99999", "2147483", "0.5", ".5", "5.", "0.0", "0.4", "1.25", "1.2.3", "..", "-1", "-", "+3",
    "1e3", " 7", "7 ", "abc", "x", "\xEF\xBC\x91\xEF\xBC\x92", "\xEF\xBC\x93\xEF\xBC\x8E\xEF\xBC\x95",
    "\xD9\xA3", "\xF0\x9F\x98\x80", "0x10", "00012", "123456789", ""};

// Saves are written on the writer thread: what it was asked for is read.
std::string fileText(const std::string& path) {
    SaveDataManager::getInstance()->finishWrites();
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string show(Vec2 p) {
    std::ostringstream s;
    s << std::fixed << std::setprecision(1) << "(" << p.x << ", " << p.y << ")";
    return s.str();
}

// Program bytes with the line endings and control bytes made visible.
std::string visible(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\n') out += "\\n\n";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else out += static_cast<char>(c);
    }
    return out;
}

// A card as the rows and the loose list see it: what and which number.
std::string describe(const std::optional<SnapshotCard>& card) {
    if (!card) return "-";
    return std::to_string(card->kind.set) + ":" + std::to_string(card->kind.index) +
           (card->numberText.empty() ? "" : " '" + card->numberText + "'");
}

class EditSessionTest : public FieldSceneTest {
protected:
    using FieldSceneTest::named;
    void SetUp() override {
        FieldSceneTest::SetUp();
        finishWorkers();
        settleEditor();
    }

    // Frames of the scene's schedules and actions as the main loop runs
    // them, without drawing: the sessions never look at a picture, and a
    // drawn frame costs many times a stepped one.
    void advance(int frames, float dt = 1.0f / 60) {
        Director* director = Director::getInstance();
        for (int i = 0; i < frames; ++i) {
            const float elapsed = director->takeNextDeltaTimeZero() ? 0 : dt;
            Clock::advance(elapsed);
            director->getScheduler()->runFunctionsToPerform();
            if (!director->isPaused()) director->getScheduler()->update(elapsed);
            AutoreleasePool::getInstance()->clear();
        }
    }

    // The fixture's wait for the board search, in frames that are not drawn.
    void waitForWorkers() {
        for (int i = 0; i < 3000 && field->hasWorkersRunning(); ++i) {
            advance(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_FALSE(field->hasWorkersRunning()) << "a worker never ended: " << field->getLinkWorkerCount()
                                                 << " link workers\n" << replay();
        advance(2);
    }

    // --- the random stream; every draw is made on the main thread in order
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    bool chance(int outOf) { return pick(outOf) == 0; }
    float between(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); }

    void note(const std::string& line) { steps.push_back(line); }
    std::string replay() const {
        std::ostringstream s;
        s << "seed " << seed << " (CORVINA_PROOF_SEED=" << seed << " runs it again), session " << session << ", "
          << steps.size() << " steps:\n";
        for (size_t i = 0; i < steps.size(); ++i) s << "  " << i + 1 << ". " << steps[i] << "\n";
        return s.str();
    }

    // --- the editor

    // A new editor on `data` (null: a new program), as the home screen opens one.
    void openEditor(SaveData* data) {
        RefPtr<SaveData> keep(data);
        waitForWorkers();
        Scene* scene = Director::getInstance()->getRunningScene();
        field->removeFromParent();
        field = FieldScene::create(data);
        ASSERT_NE(field, nullptr);
        scene->addChild(field);
        waitForWorkers();
        settleEditor();
    }
    void settleEditor() {
        // No hot-plug polling: the board is of no interest here.
        field->setHotPlugInterval(0);
        // The row buttons: a plus above the row's plate, a minus beside it.
        insertButtons.assign(40, nullptr);
        deleteButtons.assign(40, nullptr);
        for (Node* child : field->getFieldView()->getContainer()->getChildren()) {
            auto* sprite = dynamic_cast<Sprite*>(child);
            if (!sprite || sprite->getTag() < 0 || sprite->getTag() >= 40) continue;
            const Vec2 plate = field_geometry::plateCentre(sprite->getTag(), 768);
            if (sprite->getPositionX() >= plate.x - field_geometry::kPlateWidth / 2) continue;
            (sprite->getPositionY() > plate.y ? insertButtons : deleteButtons)[static_cast<size_t>(sprite->getTag())] = sprite;
        }
        // Where a touch may start on the field without landing on a control:
        // right of the palette, left of the run controls.
        float right = 1019;
        for (Node* control : std::initializer_list<Node*>{named("play"), named("stop"),
                                                          named("dialect"), named("home"),
                                                          named("settings")})
            right = std::min(right, control->getBoundingBoxInWorld().getMinX());
        touchable = Rect(FieldScene::kPaletteWidth + 5, 10, right - 5 - (FieldScene::kPaletteWidth + 5), 748);
    }

    Vec2 screenOf(const Node* node) const { return node->getParent()->convertToWorldSpace(node->getPosition()); }
    Vec2 onScreen(Vec2 content) const { return field->getFieldView()->getContainer()->convertToWorldSpace(content); }
    Vec2 headConnector(int row) const {
        CardSprite* head = field->getRowHead(row);
        return head->convertToWorldSpace(head->connectors[0].point);
    }
    Vec2 cardConnector(const CardSprite* card) const { return card->convertToWorldSpace(card->connectors[0].point); }
    Vec2 somewhereTouchable() {
        return Vec2(between(touchable.getMinX(), touchable.getMaxX()), between(touchable.getMinY(), touchable.getMaxY()));
    }
    static std::string named(const CardSprite* card) {
        return card ? std::to_string(card->getCardSet()) + ":" + std::to_string(card->getCardIndex()) : "none";
    }

    // Turns the wheel over the field until the content point is well inside
    // the window; false when it cannot get there.
    bool wheelIntoView(Vec2 content, const std::string& what) {
        const float low = touchable.getMinY() + 60, high = touchable.getMaxY() - 60;
        for (int tries = 0; tries < 3; ++tries) {
            const float y = onScreen(content).y;
            if (y >= low && y <= high) return true;
            const int notches = static_cast<int>(std::lround((between(low, high) - y) / FieldScene::kWheelStep));
            wheel(Vec2(touchable.getMidX(), touchable.getMidY()), static_cast<float>(notches));
            note("  wheel " + std::to_string(notches) + " to bring " + what + " into view");
        }
        const float y = onScreen(content).y;
        return y >= low && y <= high;
    }
    // A point of the card where a touch starts on it, clear of the controls
    // around the field; false when none shows.
    bool touchPointOn(const CardSprite* card, Vec2& at) {
        if (!wheelIntoView(card->getPosition(), "card " + named(card))) return false;
        const Size s = card->getContentSize();
        const Rect box = card->getNodeToWorldTransform().applyToRect(Rect(0, 0, s.width, s.height));
        const float left = std::max(box.getMinX(), touchable.getMinX()), right = std::min(box.getMaxX(), touchable.getMaxX());
        const float bottom = std::max(box.getMinY(), touchable.getMinY()), top = std::min(box.getMaxY(), touchable.getMaxY());
        if (right - left < 8 || top - bottom < 8) return false;
        // Clear of the flip corner at the lower right.
        at = Vec2(between(left + 2, (left + right) / 2), between((bottom + top) / 2, top - 2));
        return true;
    }
    // Rows whose head shows in the touchable part of the window.
    std::vector<int> rowsInView() const {
        std::vector<int> rows;
        for (int row = 0; row < 40; ++row) {
            const Vec2 at = headConnector(row);
            if (at.y > touchable.getMinY() + 55 && at.y < touchable.getMaxY() - 55) rows.push_back(row);
        }
        return rows;
    }

    // --- moving a held card

    void moveFinger(Vec2 to) {
        fingerAt = to;
        touch(Code::MOVED, fingerAt);
    }
    // Moves the finger so that the card's connector comes to `target`.
    void bringConnectorTo(const CardSprite* card, Vec2 target) { moveFinger(fingerAt + (target - cardConnector(card))); }
    std::string where(const CardSprite* card) const {
        const int row = field->rowOfCard(card);
        return row >= 0 ? "on row " + std::to_string(row) : "loose at " + show(card->getPosition());
    }
    // A held card wanders, maybe rides an edge of the window, and ends over
    // a row, over empty field or over the trash.
    void steer(const CardSprite* card) {
        for (int k = pick(3); k > 0; --k) moveFinger(somewhereTouchable());
        if (chance(6)) {
            // To the edge: the field scrolls under it for a while.
            const bool top = chance(2);
            moveFinger(Vec2(between(touchable.getMinX(), touchable.getMaxX()), top ? between(745, 766) : between(2, 25)));
            const int frames = 5 + pick(40);
            advance(frames);
            note(std::string("  held at the ") + (top ? "top" : "bottom") + " edge for " + std::to_string(frames) +
                 " frames, now " + where(card));
        }
        const int choice = pick(10);
        if (choice < 5) {
            const std::vector<int> rows = rowsInView();
            if (!rows.empty()) {
                const int row = rows[static_cast<size_t>(pick(static_cast<int>(rows.size())))];
                // Exactly on it, a hair off, or somewhere within reach and beyond.
                Vec2 off;
                switch (pick(3)) {
                case 0: break;
                case 1: off = Vec2(between(-1.5f, 1.5f), between(-1.5f, 1.5f)); break;
                default: off = Vec2(between(-20, 80), between(-40, 40)); break;
                }
                bringConnectorTo(card, headConnector(row) + off);
                note("  to row " + std::to_string(row) + " offset " + show(off) + ", now " + where(card));
                return;
            }
        }
        if (choice < 8) {
            moveFinger(somewhereTouchable());
            note("  to " + show(fingerAt) + ", now " + where(card));
            return;
        }
        Node* trash = named("trash");
        moveFinger(screenOf(trash) + Vec2(between(-40, 40), between(-40, 40)));
        note("  over the trash at " + show(fingerAt) + (field->isOverTrash() ? " (lit)" : ""));
    }
    // Drags the palette card of `index` (current set) out onto the field; the touch stays down.
    CardSprite* dragOut(int index) {
        CardSprite* source = field->getPaletteCards().at(static_cast<size_t>(index)).get();
        fingerAt = screenOf(source) + Vec2(75, 0);
        touch(Code::BEGAN, fingerAt);
        const size_t before = field->getFieldCards().size();
        for (int i = 0; i < 25 && field->getFieldCards().size() == before; ++i) moveFinger(fingerAt + Vec2(i ? 20 : 12, 0));
        return field->getFieldCards().size() > before ? field->getFieldCards().back().get() : nullptr;
    }
    // Picks a field card up, held `frames` frames; the touch stays down.
    void pickUp(CardSprite* card, int frames) {
        fingerAt = screenOf(card);
        touch(Code::BEGAN, fingerAt);
        advance(frames);
    }
    // The rows and loose cards of the program saved now and opened again.
    FieldSnapshot savedAndOpenedAgain() {
        field->saveFieldDocument();
        openEditor(field->getDocument());
        return field->takeSnapshot();
    }
    void letGo() {
        const bool cancel = chance(12);
        touch(cancel ? Code::CANCELLED : Code::ENDED, fingerAt);
        if (cancel) note("  touch cancelled");
    }

    // --- the gestures

    static bool takesNumber(const CardSprite* card) {
        return DeviceManager::getInstance()->getCardCode(card->getCardIndex(), card->getCardSet()).kind == 1;
    }
    // Any card of the palette; with `numberCard`, one that takes a number if the set has one.
    void dragFromPalette(bool numberCard = false) {
        const auto& palette = field->getPaletteCards();
        std::vector<int> choices;
        for (int k = 0; k < static_cast<int>(palette.size()); ++k)
            if (!numberCard || takesNumber(palette[static_cast<size_t>(k)].get())) choices.push_back(k);
        if (choices.empty()) return dragFromPalette(false);
        const int index = choices[static_cast<size_t>(pick(static_cast<int>(choices.size())))];
        CardSprite* source = palette.at(static_cast<size_t>(index)).get();
        // The wheel over the palette until the card shows clear of the page buttons.
        const Rect view = field->getPaletteView()->getViewRectInWorld();
        const float low = std::max(view.getMinY(), named("page down")->getBoundingBoxInWorld().getMaxY()) + 10;
        const float high = std::min(view.getMaxY(), named("page up")->getBoundingBoxInWorld().getMinY()) - 10;
        for (int tries = 0; tries < 3; ++tries) {
            const float y = screenOf(source).y;
            if (y >= low && y <= high) break;
            const int notches = static_cast<int>(std::lround((between(low, high) - y) / FieldScene::kWheelStep));
            wheel(Vec2(137, 400), static_cast<float>(notches));
        }
        const float y = screenOf(source).y;
        if (y < low || y > high) {
            note("palette card " + std::to_string(index) + " could not be brought into view");
            return;
        }
        const size_t before = field->getFieldCards().size();
        fingerAt = screenOf(source) + Vec2(75, 0);
        touch(Code::BEGAN, fingerAt);
        const bool held = chance(6);
        if (held) advance(45);  // comes away without moving
        else moveFinger(fingerAt + Vec2(12, between(-3, 3)));
        for (int i = 0; i < 25 && field->getFieldCards().size() == before; ++i) moveFinger(fingerAt + Vec2(20, 0));
        std::string line = "palette card " + std::to_string(DeviceManager::getInstance()->getCardSet()) + ":" +
                           std::to_string(index) + (held ? " held" : " dragged");
        if (field->getFieldCards().size() == before) {
            note(line + ", nothing came out");
            letGo();
            return;
        }
        CardSprite* card = field->getFieldCards().back().get();
        note(line + " onto the field");
        steer(card);
        letGo();
    }

    void dragFieldCard() {
        const auto& cards = field->getFieldCards();
        if (cards.empty()) return dragFromPalette();
        CardSprite* chosen = cards[static_cast<size_t>(pick(static_cast<int>(cards.size())))].get();
        if (!touchPointOn(chosen, fingerAt)) {
            note("card " + named(chosen) + " cannot be touched");
            return;
        }
        touch(Code::BEGAN, fingerAt);
        RefPtr<CardSprite> held(field->getHeldCard());
        // Let go at once, lifted alone, or held until its chain comes too.
        const int frames = chance(5) ? pick(3) : chance(2) ? 4 : 30;
        advance(frames);
        note("card " + named(held.get()) + " " + (held ? where(held.get()) : "") + " touched at " + show(fingerAt) +
             ", held " + std::to_string(frames) + " frames, " + std::to_string(field->getDragGroup().size()) + " lifted");
        if (held) steer(held.get());
        letGo();
        if (field->isNumberEntryOpen()) note("  the number entry opened");
    }

    void tapRowButton(bool insert) {
        // Mostly where the cards are: a row with a card or just above one.
        int row = pick(40);
        const auto& cards = field->getFieldCards();
        if (!cards.empty() && chance(2)) {
            const int held = field->rowOfCard(cards[static_cast<size_t>(pick(static_cast<int>(cards.size())))].get());
            if (held >= 0) row = std::max(0, held - pick(3));
        }
        Sprite* button = (insert ? insertButtons : deleteButtons)[static_cast<size_t>(row)];
        // The field may have been pushed aside under the palette or the run controls.
        if (!button || !wheelIntoView(button->getPosition(), "row " + std::to_string(row)) ||
            !touchable.containsPoint(screenOf(button))) {
            note("row button " + std::to_string(row) + " out of reach");
            return;
        }
        // Now and then tapped again before the rows have finished sliding.
        const int taps = chance(4) ? 2 + pick(2) : 1;
        std::string line = std::string(insert ? "insert" : "delete") + " row " + std::to_string(row);
        for (int k = 0; k < taps && touchable.containsPoint(screenOf(button)); ++k) {
            if (k > 0) {
                const int frames = pick(5);
                advance(frames);
                line += ", again after " + std::to_string(frames) + " frames";
            }
            tap(screenOf(button));
        }
        note(line);
    }

    std::string randomTyping() {
        std::string text;
        for (int k = 1 + pick(2); k > 0; --k) text += kTypedPieces[pick(static_cast<int>(std::size(kTypedPieces)))];
        return text;
    }
    void enterNumber() {
        std::vector<CardSprite*> numberCards;
        for (const auto& c : field->getFieldCards())
            if (takesNumber(c.get())) numberCards.push_back(c.get());
        if (numberCards.empty()) {
            ++tally["entries with no number card"];
            // None yet: the full set has them.
            if (DeviceManager::getInstance()->getCardSet() != CARD_SET_FULL) return chooseCardSet(CARD_SET_FULL);
            return dragFromPalette(true);
        }
        CardSprite* card = numberCards[static_cast<size_t>(pick(static_cast<int>(numberCards.size())))];
        Vec2 at;
        if (!touchPointOn(card, at)) {
            note("number card " + named(card) + " cannot be touched");
            ++tally["number cards out of reach"];
            return;
        }
        tap(at);
        if (!field->isNumberEntryOpen()) {
            note("tapped number card " + named(card) + " at " + show(at) + ", no entry opened");
            ++tally["taps that opened no entry"];
            return;
        }
        note("number entry on " + named(card) + " '" + card->getNumberText() + "'");
        ++tally["entries opened"];
        const std::string before = card->getNumberText();
        for (int round = 0; round < 3 && field->isNumberEntryOpen(); ++round) {
            ui::EditBox* box = field->getNumberEntryBox();
            if (!box) break;
            const int backspaces = pick(10);
            for (int k = 0; k < backspaces; ++k) handleTextInputEvent(key(SDLK_BACKSPACE));
            const std::string typed = randomTyping();
            if (!typed.empty()) handleTextInputEvent(textInput(typed.c_str()));
            std::string line = "  " + std::to_string(backspaces) + " backspaces, typed '" + typed + "', box '" +
                               box->getText() + "', ";
            switch (pick(5)) {
            case 0:
            case 1:
                handleTextInputEvent(key(SDLK_RETURN));
                line += "return";
                break;
            case 2:
                handleTextInputEvent(key(SDLK_ESCAPE));
                line += "escape";
                break;
            case 3: {
                // A touch beside the box.
                Size s = box->getContentSize();
                Rect inBox = box->getNodeToWorldTransform().applyToRect(Rect(0, 0, s.width, s.height));
                Vec2 beside = somewhereTouchable();
                if (inBox.containsPoint(beside)) beside = Vec2(touchable.getMinX() + 2, touchable.getMinY() + 2);
                tap(beside);
                line += "a touch beside the box";
                break;
            }
            default:
                tap(screenOf(box));
                line += "a touch on the box";
                break;
            }
            note(line + (field->isNumberEntryOpen() ? ", still open" : ", closed: '" + card->getNumberText() + "'"));
            advance(pick(20));
        }
        if (field->isNumberEntryOpen()) {
            handleTextInputEvent(key(SDLK_ESCAPE));
            if (field->isNumberEntryOpen()) tap(Vec2(touchable.getMinX() + 2, touchable.getMinY() + 2));
            note("  given up: '" + card->getNumberText() + "'");
        }
        if (card->getNumberText() != before) ++tally["numbers changed"];
    }

    void chooseDialect() {
        tap(centreOf(named("dialect")));
        if (!field->getDialectPopup()) {
            note("dialect button: no choice opened");
            return;
        }
        const int choice = pick(3);
        if (choice == 2) {
            tap(Vec2(between(300, 700), between(100, 400)));  // the grey veil
            note("dialect choice closed without a choice");
        } else {
            const int dialect = choice == 0 ? DIALECT_JAM : DIALECT_LATTE;
            tap(centreOf(field->getDialectPopup()->getChildByTag(dialect)));
            note("dialect " + CardCatalog::dialect(dialect).name + " chosen");
        }
        advance(10);
    }
    // que has no control in the editor: a program meant for it comes with
    // the dialect already chosen.
    void chooseQue() {
        DeviceManager::getInstance()->setDialect(DIALECT_QUE);
        field->refreshDialect();
        note("dialect set to que");
    }
    void chooseCardSet(int set) {
        tap(centreOf(named("card set " + std::to_string(set))));
        note("card set tab " + std::to_string(set));
    }
    void turnWheel() {
        const Vec2 at = somewhereTouchable();
        if (chance(3)) {
            const int notches = pick(7) - 3;
            wheel(at, static_cast<float>(notches), true);
            note("zoom " + std::to_string(notches) + " at " + show(at) + ", zoom " +
                 std::to_string(field->getFieldView()->getZoom()));
        } else {
            const int notches = pick(161) - 80;
            wheel(at, static_cast<float>(notches));
            note("wheel " + std::to_string(notches) + " over the field");
        }
    }
    void flipCard() {
        const auto& cards = field->getFieldCards();
        if (cards.empty()) return;
        CardSprite* card = cards[static_cast<size_t>(pick(static_cast<int>(cards.size())))].get();
        Node* corner = card->getFlipControl();
        if (!corner || !wheelIntoView(card->getPosition(), "card " + named(card))) return;
        const Vec2 at = screenOf(corner);
        if (!touchable.containsPoint(at)) return;
        tap(at);
        note("flip corner of " + named(card) + " tapped");
    }

    // Takes the last change back, or does it again, by a key or a control.
    void takeBack(bool again) {
        using Key = EventKeyboard::KeyCode;
        const int how = pick(3);
        if (how == 0) {
            Node* control = field->getChildByName(again ? "redo" : "undo");
            if (control && control->isVisible()) tap(screenOf(control));
            note(std::string(again ? "redo" : "undo") + " control tapped");
            return;
        }
        const Key key = again && how == 2 ? Key::KEY_Y : Key::KEY_Z;
        const bool shift = again && how == 1;
        injectKey(key, true, true, shift);
        injectKey(key, false, true, shift);
        note(std::string(again ? "redo" : "undo") + " key pressed");
    }

    void oneStep() {
        const int roll = pick(100);
        const char* kind = roll < 26 ? "palette drags" : roll < 50 ? "field drags" : roll < 62 ? "row taps"
                         : roll < 72 ? "number entries" : roll < 78 ? "dialect changes" : roll < 83 ? "tab taps"
                         : roll < 87 ? "wheel turns" : roll < 89 ? "flips" : roll < 99 ? "undos and redos" : "pauses";
        ++tally[kind];
        ++gestures;
        if (roll < 26) dragFromPalette(chance(4));
        else if (roll < 50) dragFieldCard();
        else if (roll < 56) tapRowButton(true);
        else if (roll < 62) tapRowButton(false);
        else if (roll < 72) enterNumber();
        else if (roll < 77) chooseDialect();
        else if (roll < 78) chooseQue();
        else if (roll < 83) chooseCardSet(pick(3));
        else if (roll < 87) turnWheel();
        else if (roll < 89) flipCard();
        else if (roll < 99) takeBack(roll >= 95);
        else note("nothing for a while");
        // The field keeps its invariants after every gesture.
        if (const std::string wrong = field->getFieldModel().check(); !wrong.empty()) {
            note("  the field broke here: " + wrong);
            fieldBroke = true;
        }
        // The gestures stay on the field: the run controls are never pressed.
        if (field->getLinkWorkerCount() > 0 || field->isSendingOverlayShown() || field->isStoppingOverlayShown()) {
            note("  the board was called here");
            wentToTheBoard = true;
            return;
        }
        // Sometimes the next gesture comes before the last one's animations end.
        const int frames = chance(4) ? 0 : pick(20);
        advance(frames);
        // At rest, the file holds the field as it shows: every finished
        // change is saved, row shifts once their slides have ended.
        if (frames >= 8 && !field->getHeldCard()) {
            const FieldDocument saved = documentFromValue(SaveDataManager::getInstance()->loadDocument(field->getDocument()));
            if (saved != field->makeFieldDocument()) {
                note("  the saved program fell behind the field here");
                fellBehind = true;
            }
        }
    }

    // Closes whatever the session left open and lets every animation end.
    void finishSession() {
        if (field->isNumberEntryOpen()) {
            handleTextInputEvent(key(SDLK_ESCAPE));
            note("number entry closed with escape");
        }
        if (field->getDialectPopup()) tap(Vec2(600, 100));
        advance(60);
        waitForWorkers();
    }

    // --- the checks after a session

    struct Rendered {
        int status = 0;
        std::string out, err, expectedErr;
    };
    Rendered render(const std::string& path, int dialect, const TransferOutcome& editor) {
        Rendered r;
        std::ostringstream out, err;
        r.status = runCli({"render", "--dialect", CardCatalog::dialect(dialect).name, path}, out, err);
        r.out = out.str();
        r.err = err.str();
        // The tool words a refusal in its own language, as the editor does in its.
        const RefusalText text = refusalText(editor);
        r.expectedErr = "corvina-cli: " + Localization::getInstance()->localizedText(text.japanese, text.english) + "\n";
        Localization::getInstance()->configure(LanguageType::JAPANESE, {});
        return r;
    }

    // The saved records are the field's cards in order, each at its
    // position cut to whole numbers.
    ::testing::AssertionResult describesTheField(const FieldDocument& doc) const {
        const auto& cards = field->getFieldCards();
        if (doc.size() != cards.size())
            return ::testing::AssertionFailure() << doc.size() << " records for " << cards.size() << " cards";
        for (size_t k = 0; k < doc.size(); ++k) {
            const CardSprite* c = cards[k].get();
            const CardRecord shown{c->getCardSet(), c->getCardIndex(), truncateCoordinate(c->getPositionX()),
                                   truncateCoordinate(c->getPositionY()), c->getLocalZOrder(), c->getNumberText()};
            if (doc[k] != shown)
                return ::testing::AssertionFailure()
                       << "card " << k << " (" << named(c) << ") at " << show(c->getPosition()) << " z " << shown.zorder
                       << " '" << shown.value << "' saved as " << doc[k].tab << ":" << doc[k].index << " at ("
                       << doc[k].x << ", " << doc[k].y << ") z " << doc[k].zorder << " '" << doc[k].value << "'";
        }
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult sameRows(const FieldSnapshot& a, const FieldSnapshot& b) const {
        for (size_t row = 0; row < a.rows.size(); ++row) {
            const auto &x = a.rows[row], &y = b.rows[row];
            if (x.has_value() != y.has_value() || (x && (x->kind != y->kind || x->numberText != y->numberText)))
                return ::testing::AssertionFailure() << "row " << row << ": " << describe(x) << " then " << describe(y);
        }
        if (a.loose.size() != b.loose.size())
            return ::testing::AssertionFailure() << a.loose.size() << " loose cards then " << b.loose.size();
        for (size_t k = 0; k < a.loose.size(); ++k)
            if (a.loose[k].kind != b.loose[k].kind || a.loose[k].numberText != b.loose[k].numberText)
                return ::testing::AssertionFailure() << "loose card " << k << ": " << describe(a.loose[k]) << " then "
                                                     << describe(b.loose[k]);
        return ::testing::AssertionSuccess();
    }

    // Saves, opens the program again in a new editor and saves again; false
    // after the first failure.
    bool checkSession() {
        const std::string context = replay();
        if (field->getHeldCard() || field->isNumberEntryOpen()) {
            ADD_FAILURE() << "a gesture never ended\n" << context;
            return false;
        }
        SaveData* data = field->getDocument();
        const std::string autosaved = data->isSaved() ? fileText(dataDir + data->path) : std::string();
        if (!data->isSaved() && !field->getFieldCards().empty()) {
            ADD_FAILURE() << field->getFieldCards().size() << " cards on the field and nothing saved\n" << context;
            return false;
        }
        field->saveFieldDocument();
        if (!data->isSaved()) {
            ADD_FAILURE() << "the program could not be saved\n" << context;
            return false;
        }
        const std::string path = dataDir + data->path;
        const std::string first = fileText(path);
        if (!autosaved.empty() && autosaved != first) {
            ADD_FAILURE() << "the editor's last save fell behind its field:\nsaved\n"
                          << autosaved << "\nshown\n" << first << "\n" << context;
            return false;
        }
        const FieldDocument doc = documentFromValue(engine::plist::parseVector(first));
        if (::testing::AssertionResult same = describesTheField(doc); !same) {
            ADD_FAILURE() << "the saved program is not the field: " << same.message() << "\n" << context;
            return false;
        }
        const FieldSnapshot shown = field->takeSnapshot();
        cardCount += static_cast<long>(field->getFieldCards().size());

        // What the editor would send, against the tool's rendering of the
        // saved file: in the chosen dialect as the editor's send takes it
        // from its snapshot, and in the other two.
        const int chosen = DeviceManager::getInstance()->getDialect();
        for (int dialect = 0; dialect < kDialectCount; ++dialect) {
            ByteCollector sent;
            const TransferOutcome outcome = transferProgram(shown, dialect == chosen ? shown.dialect : dialect, sent);
            const Rendered tool = render(path, dialect, outcome);
            const std::string which = CardCatalog::dialect(dialect).name + (dialect == chosen ? " (chosen)" : "");
            if (outcome.refused()) {
                ++refusals;
                if (tool.status != kCliRefused || tool.err != tool.expectedErr || !tool.out.empty()) {
                    ADD_FAILURE() << which << ": the editor refuses with '" << tool.expectedErr << "', the tool gave status "
                                  << tool.status << " and '" << tool.err << "'\n" << context;
                    return false;
                }
            } else if (tool.status != kCliOk || tool.out != sent.bytes) {
                ADD_FAILURE() << which << ": the tool (status " << tool.status << ", " << tool.err << ") rendered\n"
                              << visible(tool.out) << "\nthe editor sends\n" << visible(sent.bytes) << "\n" << context;
                return false;
            }
        }

        // Opened again, as from the home screen, and saved again.
        openEditor(data);
        if (::testing::Test::HasFatalFailure()) return false;
        field->saveFieldDocument();
        const std::string second = fileText(path);
        if (second != first) {
            ADD_FAILURE() << "saved, opened and saved again, the program changed:\nfirst\n"
                          << first << "\nthen\n" << second << "\n" << context;
            return false;
        }
        // Every card where it was saved, to the point.
        for (size_t k = 0; k < doc.size() && k < field->getFieldCards().size(); ++k)
            if (field->getFieldCards()[k]->getPosition() != Vec2(static_cast<float>(doc[k].x), static_cast<float>(doc[k].y))) {
                ADD_FAILURE() << "opened again, card " << k << " lies at " << show(field->getFieldCards()[k]->getPosition())
                              << ", saved at (" << doc[k].x << ", " << doc[k].y << ")\n" << context;
                return false;
            }
        if (::testing::AssertionResult same = describesTheField(doc); !same) {
            ADD_FAILURE() << "opened again, the field is not the saved program: " << same.message() << "\n" << context;
            return false;
        }
        const FieldSnapshot reopened = field->takeSnapshot();
        if (::testing::AssertionResult same = sameRows(shown, reopened); !same) {
            ADD_FAILURE() << "opened again, the rows differ: " << same.message() << "\n" << context;
            return false;
        }
        ByteCollector before, after;
        transferProgram(shown, shown.dialect, before);
        transferProgram(reopened, reopened.dialect, after);
        if (before.bytes != after.bytes) {
            ADD_FAILURE() << "opened again, the editor would send another program\n" << context;
            return false;
        }
        return true;
    }

    // One session: a new program or the last one again, then 10 to 40 gestures.
    bool runSession(int number) {
        session = number;
        steps.clear();
        if (session > 0 && chance(4)) {
            note("the last program, opened again (" + std::to_string(field->getFieldCards().size()) + " cards)");
        } else {
            openEditor(nullptr);
            if (::testing::Test::HasFatalFailure()) return false;
            note("a new program");
        }
        note("dialect " + CardCatalog::dialect(DeviceManager::getInstance()->getDialect()).name + ", card set " +
             std::to_string(DeviceManager::getInstance()->getCardSet()));
        fellBehind = false;
        for (int n = 10 + pick(31); n > 0 && !fellBehind && !wentToTheBoard && !fieldBroke; --n) oneStep();
        if (fieldBroke) {
            ADD_FAILURE() << "the field lost an invariant\n" << replay();
            return false;
        }
        if (wentToTheBoard) {
            ADD_FAILURE() << "a gesture reached the run controls\n" << replay();
            return false;
        }
        if (fellBehind) {
            ADD_FAILURE() << "a finished change was not saved\n" << replay();
            return false;
        }
        finishSession();
        return checkSession();
    }

    // Every session's saved file and steps, for comparing two runs.
    std::string runSessions(unsigned from, int sessions) {
        seed = from;
        random.seed(seed);
        std::string trace;
        for (int s = 0; s < sessions; ++s) {
            if (!runSession(s)) return trace;
            for (const std::string& line : steps) trace += line + "\n";
            trace += fileText(dataDir + field->getDocument()->path);
        }
        return trace;
    }

    std::mt19937 random;
    std::vector<std::string> steps;
    std::vector<Sprite*> insertButtons, deleteButtons;
    Rect touchable;
    Vec2 fingerAt;
    long gestures = 0, cardCount = 0, refusals = 0;
    bool fellBehind = false, wentToTheBoard = false, fieldBroke = false;
    std::map<std::string, long> tally;
    unsigned seed = 0;
    int session = 0;
};

} // namespace
