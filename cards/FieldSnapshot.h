#pragma once
// A plain copy of the field that a worker thread reads while the user goes
// on editing: the program generator reads this, never the live cards.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "cards/CardCode.h"
#include "cards/FieldDocument.h"
#include "cards/FieldGeometry.h"
#include "engine/core/Types.h"

struct SnapshotCard {
    CardKind kind;
    std::string numberText;
    engine::Vec2 position;  // the card's centre in field content coordinates
    int zorder = 0;
    int order = 0;          // the card's place in the field's list of placed cards
};

struct FieldSnapshot {
    // rows[i] is the card on row i, line number 10 * (i + 1).
    std::array<std::optional<SnapshotCard>, field_geometry::kRowCount> rows;
    std::vector<SnapshotCard> loose;
    int dialect = 0;
};

// Each card joins the row it was saved on unless an earlier card holds it;
// the others are loose. Positions are kept as saved, so writing the
// snapshot back gives the same document.
FieldSnapshot snapshotFromDocument(const FieldDocument& document, float visibleHeight = 768);
// Every card, rows and loose together, in `order`.
FieldDocument documentFromSnapshot(const FieldSnapshot& snapshot);
