#pragma once
// A card found by the text it types in jam, as a user reads it on its code
// face; tests name cards so instead of by their place in a set.
#include <optional>
#include <string>

#include "cards/CardCatalog.h"

namespace testsupport {

inline std::optional<CardKind> cardTyping(const std::string& jamText) {
    for (int set = 0; set < kCardSetCount; ++set)
        for (int index = 0; index < CardCatalog::cardCount(set); ++index)
            if (CardCatalog::cardCode({set, index}, DIALECT_JAM).text == jamText) return CardKind{set, index};
    return std::nullopt;
}

} // namespace testsupport
