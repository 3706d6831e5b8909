#pragma once
// The saved program: a property-list array with one dictionary per card,
// keyed "tab" (card set), "index" (card within the set), "x" and "y" (the
// card's centre in field content coordinates), "zorder" (its local z-order
// on the field) and "value" (its number text, empty for other cards).
#include <string>
#include <vector>

#include "engine/core/Value.h"

struct CardRecord {
    int tab = 0;
    int index = 0;
    int x = 0;
    int y = 0;
    int zorder = 0;
    std::string value;
    bool operator==(const CardRecord&) const = default;
};
using FieldDocument = std::vector<CardRecord>;

// Coordinates read are kept within what a float holds exactly (2^24), so a
// card read, placed and written back keeps its saved place.
inline constexpr int kCoordinateLimit = 1 << 24;

engine::ValueVector documentToValue(const FieldDocument& document);
// Skips elements that are not dictionaries and cards outside the catalogue;
// a missing or unreadable key reads as 0 or "". Never throws on a damaged
// or hostile file.
FieldDocument documentFromValue(const engine::ValueVector& value);

// Toward zero, clamped to the range of int; NaN is 0.
int truncateCoordinate(float coordinate);
