#include "cards/NumberEntry.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <optional>

#include "cards/CardCatalog.h"
#include "cards/CardCode.h"
#include "cards/NumberText.h"

namespace {

constexpr size_t kMaxCharacters = 8;

// Full-width digits and full stop (U+FF10..U+FF19, U+FF0E) as ASCII, any
// other byte kept; nullopt when there are more characters than a card holds.
std::optional<std::string> toAscii(const std::string& typed) {
    std::string ascii;
    for (size_t i = 0; i < typed.size(); ++i) {
        if (ascii.size() == kMaxCharacters) return std::nullopt;
        unsigned char lead = static_cast<unsigned char>(typed[i]);
        if (lead == 0xEF && i + 2 < typed.size() && static_cast<unsigned char>(typed[i + 1]) == 0xBC) {
            unsigned char last = static_cast<unsigned char>(typed[i + 2]);
            if (last >= 0x90 && last <= 0x99) {
                ascii += static_cast<char>('0' + (last - 0x90));
                i += 2;
                continue;
            }
            if (last == 0x8E) {
                ascii += '.';
                i += 2;
                continue;
            }
        }
        ascii += typed[i];
    }
    return ascii;
}

bool isPlainNumber(const std::string& text) {
    int digits = 0, points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') ++digits;
        else if (c == '.') ++points;
        else return false;
    }
    return digits > 0 && points <= 1;
}

// What the board's numbers hold; jam wraps larger values without a word.
bool fitsTheBoard(long long value, int dialect) {
    switch (dialect) {
    case DIALECT_JAM: return value >= -32768 && value <= 32767;
    case DIALECT_LATTE: return value >= INT_MIN && value <= INT_MAX;
    case DIALECT_QUE: return value >= 0 && value <= 65535;  // two bytes of the instruction
    default: return false;
    }
}

// The number as the board receives it; nullopt when it is no whole number.
std::optional<long long> boardValue(const std::string& numberText, float multiplier) {
    const std::string converted = convertedNumberText(numberText.empty() ? "0" : numberText, multiplier);
    long long value = 0;
    auto result = std::from_chars(converted.data(), converted.data() + converted.size(), value);
    if (result.ec != std::errc()) return std::nullopt;
    return value;
}

} // namespace

NumberEntryResult checkNumberEntry(const std::string& typed, int dialect, float multiplier, bool loopCount) {
    std::optional<std::string> text = toAscii(typed);
    if (!text || !isPlainNumber(*text)) return {false, "", NumberRefusal::NotANumber};
    if (text->front() == '.') text = "0" + *text;

    if (!numberFitsBoard(*text, dialect, multiplier)) return {false, "", NumberRefusal::TooLarge};
    if (loopCount && !countAtLeastOne(*text, multiplier)) return {false, "", NumberRefusal::BelowOne};
    return {true, *text, NumberRefusal::None};
}

std::string largestNumber(int dialect, float multiplier) {
    if (dialect < 0 || dialect >= kDialectCount || !(multiplier > 0)) return "";
    const long long top = dialect == DIALECT_JAM ? 32767 : dialect == DIALECT_QUE ? 65535 : INT_MAX;
    // In tenths, from the board's largest down to the first that fits the
    // card and, converted as the board receives it, the board.
    long long tenths = std::min(static_cast<long long>(static_cast<double>(top) * 10 / multiplier), 999999990LL);
    auto written = [](long long t) {
        std::string text = std::to_string(t / 10);
        if (t % 10) text += "." + std::to_string(t % 10);
        return text;
    };
    // A number too long for a decimal is shown whole.
    const long long step = written(tenths).size() > kMaxCharacters ? 10 : 1;
    if (step == 10) tenths -= tenths % 10;
    for (int tries = 0; tries < 100 && tenths > 0; ++tries, tenths -= step)
        if (written(tenths).size() <= kMaxCharacters && numberFitsBoard(written(tenths), dialect, multiplier))
            return written(tenths);
    return "0";
}

bool numberFitsBoard(const std::string& numberText, int dialect, float multiplier) {
    const std::optional<long long> value = boardValue(numberText, multiplier);
    return value && fitsTheBoard(*value, dialect);
}

bool takesLoopCount(CardKind card, int dialect) {
    if (card.set < 0 || card.set >= kCardSetCount || dialect < 0 || dialect >= kDialectCount) return false;
    return CardCatalog::loopRole(card) == CardCatalog::LoopRole::CountedStart &&
           !CardCatalog::cardCode(card, dialect).placeholder.empty();
}

bool countAtLeastOne(const std::string& numberText, float multiplier) {
    const std::optional<long long> value = boardValue(numberText, multiplier);
    return value && *value >= 1;
}
