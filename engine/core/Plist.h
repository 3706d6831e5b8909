#pragma once
// XML property lists (Apple plist 1.0) read into Values and written back.
//
// dict, array, string, integer, real, true and false map onto MAP, VECTOR,
// STRING, INTEGER (an integer beyond int becomes a DOUBLE), DOUBLE and
// BOOLEAN; data (base64) becomes DATA, its bytes; a date is kept as its text. Inside a well-formed
// document every valid entry is kept and a bad one is skipped alone: an
// unknown element, or a number that does not parse, drops its entry.
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/Value.h"

namespace engine::plist {

// Dictionaries and arrays nest at most this deep; a deeper document is
// refused whole, and so is a deeper value on writing.
inline constexpr int kMaxDepth = 64;

// The root value, or Null when the text is not a well-formed property list
// (empty, truncated, not XML, too deep, or a DOCTYPE with an internal subset,
// where entities would be declared).
Value parse(std::string_view document);
// The root when it is a dictionary (an array), otherwise empty.
ValueMap parseMap(std::string_view document);
ValueVector parseVector(std::string_view document);

// The document for a root value, keys sorted, so equal values give equal
// files. Null entries are left out. nullopt for a Null root or a value
// nested deeper than kMaxDepth.
std::optional<std::string> write(const Value& root);
std::optional<std::string> write(const ValueMap& root);
std::optional<std::string> write(const ValueVector& root);

// Text as a document can hold it: invalid UTF-8 becomes U+FFFD and
// characters XML 1.0 forbids (NUL, most control characters, U+FFFE, U+FFFF)
// are dropped. Every string and key read is made so, and every one written.
std::string sanitizeText(std::string_view text);

} // namespace engine::plist
