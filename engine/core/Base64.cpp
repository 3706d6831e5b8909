#include "engine/core/Base64.h"

#include <cstdint>

namespace engine::base64 {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
} // namespace

std::string encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

std::optional<std::string> decode(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int have = 0, padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        if (c == '=') {
            ++padding;
            if (have + padding > 4 || have < 2) return std::nullopt;
            continue;
        }
        const int v = valueOf(c);
        if (v < 0 || padding > 0) return std::nullopt;
        group = group << 6 | static_cast<std::uint32_t>(v);
        if (++have == 4) {
            for (int k = 2; k >= 0; --k) out += static_cast<char>((group >> (8 * k)) & 0xFF);
            group = 0;
            have = 0;
        }
    }
    if (padding > 0) {
        if (have + padding != 4) return std::nullopt;
        group <<= 6 * padding;
        for (int k = 2; k >= padding; --k) out += static_cast<char>((group >> (8 * k)) & 0xFF);
    } else if (have != 0) {
        return std::nullopt;
    }
    return out;
}

} // namespace engine::base64
