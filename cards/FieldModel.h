#pragma once
// What the field holds, as plain data: the forty rows, the card on each,
// loose cards and the links of chains, every card's place, z-order and
// place in the order of placement, and how many of each card are out of
// the palette. The editor's gestures change the field only through these
// operations; its sprites follow. The saved document and the program the
// generator reads are copies of it.
#include <array>
#include <string>
#include <vector>

#include "cards/CardCode.h"
#include "cards/FieldDocument.h"
#include "cards/FieldGeometry.h"
#include "cards/FieldSnapshot.h"
#include "engine/core/Types.h"

// A card's name within one field; never reused, so a card taken back by
// undo is known again by its sprite. 0 names no card.
using CardId = int;

struct FieldCard {
    CardId id = 0;
    CardKind kind;
    std::string numberText;
    engine::Vec2 position;  // centre, in field content coordinates
    int zorder = 0;
    int row = -1;           // -1: loose, part of no program line
    // A chain: on rows, the cards of the occupied rows just above and below;
    // loose, the cards that were lifted off the rows together with it.
    CardId up = 0, down = 0;
    bool operator==(const FieldCard&) const = default;
};

class FieldModel {
public:
    static constexpr int kRowCount = field_geometry::kRowCount;

    explicit FieldModel(float visibleHeight = 768);

    // --- reading
    // Every card, in the order of placement.
    const std::vector<FieldCard>& cards() const { return cardList; }
    const FieldCard* card(CardId id) const;
    CardId cardOnRow(int row) const;
    int useCount(CardKind kind) const;
    // The card and every card below it down to the first empty row (for a
    // card on a row) or along its links (for a loose one), in that order.
    std::vector<CardId> chainFrom(CardId id) const;
    float visibleHeight() const { return height; }

    // --- changing; each keeps every invariant of check()
    // A new loose card on top of the others; 0 for a card the catalogue
    // does not have.
    CardId place(CardKind kind, engine::Vec2 position, const std::string& numberText = {});
    bool remove(CardId id);
    // Joins the card to a free row (one it holds already is fine), puts it
    // on the row's place and links it to the cards of the rows next to it.
    bool attach(CardId id, int row);
    // The cards leave their rows; links to cards outside them are cut.
    void detach(const std::vector<CardId>& group);
    // Moves the cards by `delta`; links to cards outside them are cut.
    void moveBy(const std::vector<CardId>& group, engine::Vec2 delta);
    void setPosition(CardId id, engine::Vec2 position);
    // The group comes to the top, its first card topmost; the cards above
    // each moved one down.
    void raise(const std::vector<CardId>& group);
    void setZOrder(CardId id, int zorder);
    bool setNumber(CardId id, const std::string& text);
    // Every card from `row` down moves one row down; the card pushed off
    // the last row is removed and named (0 when none).
    CardId insertRow(int row);
    // The card of `row` is removed and named (0 when none); every card
    // below moves one row up.
    CardId deleteRow(int row);
    // The cards of rows `first` to `last` move one row up (`by` -1) or down
    // (1); the card of the row they move onto takes the row they leave.
    // False, and nothing changes, past the field's ends.
    bool moveRows(int first, int last, int by);

    // --- whole fields
    // The cards of a saved program; a card joins the row it was saved on
    // unless an earlier card holds it, the others lie loose.
    void load(const FieldDocument& document);
    FieldDocument document() const;
    FieldSnapshot snapshot(int dialect) const;

    // Empty when every invariant holds, else what is wrong: one card per
    // row and one row per card, each on its row's place as loading would
    // find it, links in pairs, along rows and without loops, use counts
    // equal to the cards on the field, ids unique.
    std::string check() const;

    // The same program laid out the same way as a saved file keeps it
    // (whole-number places); z-orders aside, which a lift changes without
    // changing what the child sees of the field.
    bool sameLayout(const FieldModel& other) const;
    bool operator==(const FieldModel&) const = default;

private:
    friend class FieldHistory;
    FieldCard* find(CardId id);
    bool join(CardId id, int row);
    void relinkRows();
    void cutLinksOutside(const std::vector<CardId>& group);
    void shiftRow(int from, int to);

    float height;
    std::vector<FieldCard> cardList;
    std::array<CardId, kRowCount> rows{};
    std::array<std::vector<int>, kCardSetCount> useCounts;
    CardId nextId = 1;
};

// The steps a child can take back and do again: the field before each
// finished change. The field is small, so whole copies keep every step
// exact.
class FieldHistory {
public:
    static constexpr size_t kDepth = 128;

    // A change from `before` to `after`; nothing when the layout is the
    // same. A new change forgets what could be redone.
    void record(const FieldModel& before, const FieldModel& after);
    bool canUndo() const { return !undoSteps.empty(); }
    bool canRedo() const { return !redoSteps.empty(); }
    // The field to show instead of `current`; false when there is none.
    bool undo(FieldModel& current);
    bool redo(FieldModel& current);
    void clear();
    size_t undoCount() const { return undoSteps.size(); }

private:
    static bool step(std::vector<FieldModel>& from, std::vector<FieldModel>& to, FieldModel& current);
    std::vector<FieldModel> undoSteps, redoSteps;
};
