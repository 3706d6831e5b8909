#include "cards/FieldSnapshot.h"

#include "cards/FieldModel.h"

#include <algorithm>

FieldSnapshot snapshotFromDocument(const FieldDocument& document, float visibleHeight) {
    FieldModel model(visibleHeight);
    model.load(document);
    return model.snapshot(0);
}

FieldDocument documentFromSnapshot(const FieldSnapshot& snapshot) {
    std::vector<const SnapshotCard*> cards;
    for (const auto& row : snapshot.rows)
        if (row) cards.push_back(&*row);
    for (const SnapshotCard& card : snapshot.loose) cards.push_back(&card);
    std::stable_sort(cards.begin(), cards.end(),
                     [](const SnapshotCard* a, const SnapshotCard* b) { return a->order < b->order; });

    FieldDocument document;
    document.reserve(cards.size());
    for (const SnapshotCard* card : cards)
        document.push_back({card->kind.set, card->kind.index, truncateCoordinate(card->position.x),
                            truncateCoordinate(card->position.y), card->zorder, card->numberText});
    return document;
}
