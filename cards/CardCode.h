#pragma once
// The vocabulary shared by the catalogue, the views, the field document and
// the generator: dialects, card sets, card identities and code records.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Target dialect, kept as a plain int everywhere.
enum CodeDialect : int {
    DIALECT_JAM = 0,    // numbered BASIC lines
    DIALECT_LATTE = 1,  // script lines typed into the board's shell
    DIALECT_QUE = 2,    // 8-byte instructions; its texts describe them to the user
};
inline constexpr int kDialectCount = 3;

// Card set, kept as a plain int everywhere (the field document stores it).
enum CardSet : int {
    CARD_SET_BASIC = 0,
    CARD_SET_PAPRIKA = 1,
    CARD_SET_FULL = 2,
};
inline constexpr int kCardSetCount = 3;

// How fast text is typed into the board. Fast shortens only the pauses at
// the dialect's own character delay, and only in a dialect that has a
// faster one (jam); the bytes stay the same.
enum class TypingPace { Normal, Fast };

// Names one card: its set and its index within the set.
struct CardKind {
    int set = CARD_SET_BASIC;
    int index = 0;
    bool operator==(const CardKind&) const = default;
};

// The code of one card, or of one fixed item, in one dialect. Always copied:
// the generator fills `line` and patches `bytes` on its own copy.
struct CardCode {
    // "position" (byte offset in `bytes`) and "size" (bytes; only 2 is acted on).
    using Patch = std::map<std::string, int>;
    // Keyed "line" (jump target of a loop end) or "input" (the typed number).
    using Patches = std::map<std::string, Patch>;

    int kind = 0;                  // 1: the card carries a typed number
    std::string text;              // code text; in que a description for the user
    int delayMs = -1;              // per character; -1: the dialect's default
    bool appendLineEnding = true;
    bool reportChars = true;       // show each character while sending
    bool isText = true;            // false for records that carry instruction bytes
    std::string placeholder;       // replaced in `text` by a number when not empty
    float multiplier = 1.0f;       // applied to that number
    int pairIndex = -1;            // que loop start: the end card that closes it
    int pairSet = -1;
    int line = -1;                 // instruction number, set on the generator's copy
    std::vector<std::uint8_t> bytes;  // que instructions, 8 bytes each
    Patches patches;

    CardCode() = default;
    explicit CardCode(std::string text);
    CardCode(std::string text, int delayMs);
    CardCode(std::string text, int delayMs, bool appendLineEnding, bool reportChars);
    CardCode(std::string text, std::vector<std::uint8_t> bytes);
    CardCode(std::string text, std::vector<std::uint8_t> bytes, int pairIndex, int pairSet);
    // A card that takes a typed number (kind 1).
    CardCode(std::string text, std::string placeholder, float multiplier);
    CardCode(std::string text, std::vector<std::uint8_t> bytes, Patches patches, std::string placeholder,
             float multiplier);
    CardCode(std::string text, std::vector<std::uint8_t> bytes, Patches patches, std::string placeholder,
             float multiplier, int kind);
};
