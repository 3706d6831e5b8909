#include "cards/FieldSnapshot.h"

#include <algorithm>

FieldSnapshot snapshotFromDocument(const FieldDocument& document, float visibleHeight) {
    FieldSnapshot snapshot;
    int order = 0;
    for (const CardRecord& record : document) {
        SnapshotCard card;
        card.kind = {record.tab, record.index};
        card.numberText = record.value;
        card.position = engine::Vec2(static_cast<float>(record.x), static_cast<float>(record.y));
        card.zorder = record.zorder;
        card.order = order++;
        int row = field_geometry::rowAtLoad(card.position, visibleHeight);
        if (row >= 0 && !snapshot.rows[static_cast<size_t>(row)])
            snapshot.rows[static_cast<size_t>(row)] = std::move(card);
        else
            snapshot.loose.push_back(std::move(card));
    }
    return snapshot;
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
