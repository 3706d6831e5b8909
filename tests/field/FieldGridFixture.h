#pragma once
// Building a program on the field by touches: a card dragged out of the
// palette onto a row, a connector brought to a point, numbers typed, the
// model's invariants checked against the sprites.
#include <SDL.h>

#include "cards/ProgramGenerator.h"
#include "engine/platform/Input.h"
#include "engine/platform/TextInput.h"
#include "field/FieldFixture.h"
#include "support/TextEvents.h"

// Like the fixture it builds on, one per test program.
namespace {

class FieldGridTest : public FieldSceneTest {
protected:
    void SetUp() override {
        FieldSceneTest::SetUp();
        field->setDocumentSink([this](const FieldDocument& doc) { saved.push_back(doc); });
    }

    Vec2 screenOf(const Node* node) const { return node->getParent()->convertToWorldSpace(node->getPosition()); }
    Vec2 headConnector(int row) const {
        CardSprite* head = field->getRowHead(row);
        return head->convertToWorldSpace(head->connectors[0].point);
    }
    Vec2 cardConnector(CardSprite* card) const { return card->convertToWorldSpace(card->connectors[0].point); }

    // Drags the palette card of `index` out to the right until it is a card
    // on the field; the touch stays down. Returns the new field card.
    CardSprite* dragOutOfPalette(int index) {
        CardSprite* source = field->getPaletteCards().at(static_cast<size_t>(index)).get();
        // Right of the middle, clear of the page buttons over the list.
        Vec2 at = screenOf(source) + Vec2(75, 0);
        touch(Code::BEGAN, at);
        at += Vec2(12, 0);
        touch(Code::MOVED, at);
        EXPECT_NE(field->getPaletteDragCard(), nullptr) << "a move to the right takes a copy out";
        size_t before = field->getFieldCards().size();
        for (int i = 0; i < 20 && field->getFieldCards().size() == before; ++i) {
            at += Vec2(20, 0);
            touch(Code::MOVED, at);
        }
        EXPECT_EQ(field->getFieldCards().size(), before + 1) << "the copy crossed onto the field";
        fingerAt = at;
        return field->getFieldCards().empty() ? nullptr : field->getFieldCards().back().get();
    }
    // Moves the touch so that the card's connector ends at `target`.
    void bringConnectorTo(CardSprite* card, Vec2 target) {
        fingerAt += target - cardConnector(card);
        touch(Code::MOVED, fingerAt);
    }
    // Sends a typed text and the Return key to the focused box.
    void type(const std::string& text) {
        if (!text.empty()) handleTextInputEvent(testsupport::textInput(text.c_str()));
        handleTextInputEvent(testsupport::key(SDLK_RETURN));
    }
    // The model keeps its invariants, and the sprites show its cards.
    ::testing::AssertionResult consistent() const {
        const FieldModel& model = field->getFieldModel();
        if (std::string wrong = model.check(); !wrong.empty()) return ::testing::AssertionFailure() << wrong;
        const auto& cards = field->getFieldCards();
        if (cards.size() != model.cards().size()) return ::testing::AssertionFailure() << "a sprite too many or few";
        for (size_t k = 0; k < cards.size(); ++k)
            if (cards[k]->getFieldId() != model.cards()[k].id)
                return ::testing::AssertionFailure() << "sprite " << k << " shows another card";
        return ::testing::AssertionSuccess();
    }
    // The card the model links above or below `card`.
    CardSprite* linked(const CardSprite* card, bool up) const {
        const FieldCard* c = field->getFieldModel().card(card->getFieldId());
        const CardId other = c ? (up ? c->up : c->down) : 0;
        for (const auto& k : field->getFieldCards())
            if (other && k->getFieldId() == other) return k.get();
        return nullptr;
    }

    // Control with a key, and Shift too when asked.
    static void control(EventKeyboard::KeyCode key, bool shift = false) {
        injectKey(key, true, true, shift);
        injectKey(key, false, true, shift);
    }
    CardSprite* dropOnRow(int paletteIndex, int row) {
        CardSprite* card = dragOutOfPalette(paletteIndex);
        if (!card) return nullptr;
        bringConnectorTo(card, headConnector(row));
        touch(Code::ENDED, fingerAt);
        return card;
    }

    std::vector<FieldDocument> saved;
    Vec2 fingerAt;
};

} // namespace
