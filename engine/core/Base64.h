#pragma once
// Base64 as property lists hold their data (RFC 4648, with padding).
#include <optional>
#include <string>
#include <string_view>

namespace engine::base64 {

std::string encode(std::string_view bytes);
// Blanks and line breaks between the characters are skipped; anything else
// outside the alphabet, or a wrong length or padding, gives nullopt.
std::optional<std::string> decode(std::string_view text);

} // namespace engine::base64
