// The field model without a window: long random runs of the editor's
// operations keep every invariant, and each step taken back and done again
// gives the same field, byte for byte in its document.
#include <gtest/gtest.h>

#include <random>

#include "cards/CardCatalog.h"
#include "cards/FieldModel.h"

using field_geometry::cardCentreOnRow;

namespace {

CardId placeOnRow(FieldModel& model, int row, CardKind kind = {0, 0}) {
    const CardId id = model.place(kind, cardCentreOnRow(row, 768));
    model.attach(id, row);
    return id;
}

// One operation as the gestures make them, picked at random.
void randomOperation(FieldModel& model, std::mt19937& rng) {
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const auto& cards = model.cards();
    const CardId some = cards.empty() ? 0 : cards[static_cast<size_t>(pick(static_cast<int>(cards.size())))].id;
    switch (pick(8)) {
    case 0: {  // a drop from the palette, on a row or beside the column
        const int set = pick(kCardSetCount);
        const CardId id = model.place({set, pick(CardCatalog::cardCount(set))},
                                      engine::Vec2(static_cast<float>(300 + pick(700)), static_cast<float>(pick(5600))));
        model.raise({id});
        if (pick(3)) model.attach(id, pick(FieldModel::kRowCount));
        break;
    }
    case 1: {  // a chain lifted off its rows, moved, and let go on other rows or loose
        if (!some) break;
        const std::vector<CardId> chain = model.chainFrom(some);
        model.raise(chain);
        model.detach(chain);
        model.moveBy(chain, engine::Vec2(static_cast<float>(pick(200)), -static_cast<float>(pick(300))));
        const int row = pick(FieldModel::kRowCount);
        for (size_t k = 0; k < chain.size() && pick(4); ++k) model.attach(chain[k], row + static_cast<int>(k));
        break;
    }
    case 2: if (some) model.remove(some); break;
    case 3: model.insertRow(pick(FieldModel::kRowCount)); break;
    case 4: model.deleteRow(pick(FieldModel::kRowCount)); break;
    case 5: if (some) model.setNumber(some, std::to_string(pick(1000))); break;
    case 6: if (some) model.attach(some, pick(FieldModel::kRowCount)); break;
    default: {  // a field filled down to the last row, so that inserts push a card off
        for (int row = 34; row < FieldModel::kRowCount; ++row)
            if (!model.cardOnRow(row)) placeOnRow(model, row, {1, pick(CardCatalog::cardCount(1))});
        break;
    }
    }
}

} // namespace

TEST(FieldModel, RandomEditsKeepEveryInvariantAndEveryStepComesBackExactly) {
    std::mt19937 rng(20261210);
    for (int session = 0; session < 20; ++session) {
        FieldModel model;
        FieldHistory history;
        // The field just before each step.
        std::vector<FieldDocument> befores;
        for (int op = 0; op < 150; ++op) {
            const FieldModel before = model;
            randomOperation(model, rng);
            ASSERT_EQ(model.check(), "") << "session " << session << ", operation " << op;
            history.record(before, model);
            if (!before.sameLayout(model)) befores.push_back(before.document());
        }
        const FieldDocument last = model.document();
        // Every step back gives the field as it was before that step, and forward again.
        const size_t steps = history.undoCount();
        ASSERT_EQ(steps, std::min(befores.size(), FieldHistory::kDepth));
        for (size_t k = 0; k < steps; ++k) {
            ASSERT_TRUE(history.undo(model));
            ASSERT_EQ(model.check(), "");
            ASSERT_EQ(model.document(), befores[befores.size() - 1 - k]) << "undo " << k;
        }
        EXPECT_FALSE(history.undo(model));
        for (size_t k = steps; k > 0; --k) ASSERT_TRUE(history.redo(model));
        EXPECT_EQ(model.document(), last);
        EXPECT_FALSE(history.canRedo());
    }
}

TEST(FieldModel, RowShiftsCarryChainsAndTheCardPushedOffComesBackOnUndo) {
    FieldModel model;
    FieldHistory history;
    const CardId first = placeOnRow(model, 37), second = placeOnRow(model, 38, {0, 1}), last = placeOnRow(model, 39, {0, 2});
    model.setNumber(last, "7");
    FieldModel before = model;
    EXPECT_EQ(model.insertRow(37), last) << "nowhere to go below the last row";
    history.record(before, model);
    EXPECT_EQ(model.check(), "");
    EXPECT_EQ(model.cardOnRow(37), 0);
    EXPECT_EQ(model.cardOnRow(38), first);
    EXPECT_EQ(model.cardOnRow(39), second);
    EXPECT_EQ(model.card(second)->position, cardCentreOnRow(39, 768));
    EXPECT_EQ(model.useCount({0, 2}), 0);
    EXPECT_EQ(model.chainFrom(first), (std::vector<CardId>{first, second}));

    ASSERT_TRUE(history.undo(model));
    EXPECT_EQ(model.cardOnRow(39), last);
    EXPECT_EQ(model.card(last)->numberText, "7");
    EXPECT_EQ(model.useCount({0, 2}), 1);

    // Deleting a row in the middle of a chain: the chain closes up.
    before = model;
    EXPECT_EQ(model.deleteRow(38), second);
    EXPECT_EQ(model.check(), "");
    EXPECT_EQ(model.chainFrom(first), (std::vector<CardId>{first, last}));
    history.record(before, model);
    EXPECT_FALSE(history.canRedo()) << "a new change forgets what could be redone";
}

TEST(FieldModel, ALooseChainHoldsTogetherUntilACardOfItJoinsARow) {
    FieldModel model;
    const CardId a = placeOnRow(model, 2), b = placeOnRow(model, 3, {0, 1}), c = placeOnRow(model, 4, {0, 2});
    const CardId above = placeOnRow(model, 1, {0, 3});
    model.detach({a, b, c});
    model.moveBy({a, b, c}, {150, 0});
    EXPECT_EQ(model.check(), "");
    EXPECT_EQ(model.card(above)->down, 0) << "cut from the card left behind";
    EXPECT_EQ(model.chainFrom(a), (std::vector<CardId>{a, b, c}));
    // The middle card alone moves off: the chain parts around it.
    model.moveBy({b}, {0, 300});
    EXPECT_EQ(model.chainFrom(a), (std::vector<CardId>{a}));
    model.attach(c, 10);
    EXPECT_EQ(model.check(), "");
    EXPECT_EQ(model.card(c)->up, 0);
    EXPECT_FALSE(model.attach(a, 10)) << "a row holds one card";
}

TEST(FieldModel, ASavedProgramLoadsWithTheJoinRuleAndWritesBackTheSame) {
    FieldModel model;
    const engine::Vec2 row5 = cardCentreOnRow(5, 768);
    const FieldDocument saved = {{0, 1, static_cast<int>(row5.x), static_cast<int>(row5.y), 4, ""},
                                 {0, 2, static_cast<int>(row5.x), static_cast<int>(row5.y), 2, ""},  // row taken: loose
                                 {2, 3, 900, 2000, 7, "12"},
                                 {9, 0, 0, 0, 0, ""}};  // not in the catalogue
    model.load(saved);
    EXPECT_EQ(model.check(), "");
    ASSERT_EQ(model.cards().size(), 3u);
    EXPECT_EQ(model.cardOnRow(5), model.cards()[0].id);
    EXPECT_EQ(model.cards()[1].row, -1);
    EXPECT_EQ(model.document(), FieldDocument(saved.begin(), saved.begin() + 3));
    const FieldSnapshot snapshot = model.snapshot(1);
    EXPECT_TRUE(snapshot.rows[5].has_value());
    EXPECT_EQ(snapshot.loose.size(), 2u);
    EXPECT_EQ(snapshot.dialect, 1);
}
