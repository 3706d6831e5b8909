#include "cards/FieldDocument.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "cards/CardCatalog.h"
#include "cards/CardCode.h"

namespace {

int intAt(const engine::ValueMap& map, const char* key) {
    auto it = map.find(key);
    return it == map.end() ? 0 : it->second.asInt();
}

std::string textAt(const engine::ValueMap& map, const char* key) {
    auto it = map.find(key);
    return it == map.end() ? std::string() : it->second.asString();
}

// A number card's number as the number entry makes it: digits with at most
// one point. Anything else (a damaged or hand-edited file) is no number, so
// nothing strange is ever typed into the board.
std::string numberOrNothing(const std::string& text) {
    int digits = 0, points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') ++digits;
        else if (c == '.') ++points;
        else return "";
    }
    return digits > 0 && points <= 1 ? text : "";
}

bool inCatalogue(int set, int index) {
    // The catalogue throws for a set outside it: ask only about real sets.
    return set >= 0 && set < kCardSetCount && index >= 0 && index < CardCatalog::cardCount(set);
}

} // namespace

engine::ValueVector documentToValue(const FieldDocument& document) {
    engine::ValueVector cards;
    cards.reserve(document.size());
    for (const CardRecord& record : document) {
        engine::ValueMap card;
        card["tab"] = engine::Value(record.tab);
        card["index"] = engine::Value(record.index);
        card["x"] = engine::Value(record.x);
        card["y"] = engine::Value(record.y);
        card["zorder"] = engine::Value(record.zorder);
        card["value"] = engine::Value(record.value);
        cards.emplace_back(std::move(card));
    }
    return cards;
}

FieldDocument documentFromValue(const engine::ValueVector& value) {
    FieldDocument document;
    for (const engine::Value& element : value) {
        if (element.getType() != engine::Value::Type::MAP) continue;
        const engine::ValueMap& card = element.asValueMap();
        CardRecord record;
        record.tab = intAt(card, "tab");
        record.index = intAt(card, "index");
        if (!inCatalogue(record.tab, record.index)) continue;
        record.x = std::clamp(intAt(card, "x"), -kCoordinateLimit, kCoordinateLimit);
        record.y = std::clamp(intAt(card, "y"), -kCoordinateLimit, kCoordinateLimit);
        record.zorder = intAt(card, "zorder");
        record.value = numberOrNothing(textAt(card, "value"));
        document.push_back(std::move(record));
    }
    return document;
}

int truncateCoordinate(float coordinate) {
    if (std::isnan(coordinate)) return 0;
    // 2^31 is exact in a float; INT_MAX is not.
    if (coordinate >= 2147483648.0f) return INT_MAX;
    if (coordinate <= -2147483648.0f) return INT_MIN;
    return static_cast<int>(coordinate);
}
