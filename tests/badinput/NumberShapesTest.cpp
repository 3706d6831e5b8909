// Number texts of every shape, through the number entry and through the
// conversion a saved program's numbers take on their way to the board:
// never a crash, and each either refused or carried as a number the board
// holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "cards/CardCatalog.h"
#include "cards/NumberEntry.h"
#include "cards/NumberText.h"

using namespace std::string_literals;

namespace {

// Where a number is typed: every card that takes one, in every dialect.
struct Slot {
    int dialect;
    float multiplier;
    bool loopCount;
};

std::vector<Slot> everyNumberSlot() {
    std::vector<Slot> slots;
    for (int dialect = 0; dialect < kDialectCount; ++dialect)
        for (int set = 0; set < kCardSetCount; ++set)
            for (int index = 0; index < CardCatalog::cardCount(set); ++index) {
                CardKind card{set, index};
                CardCode code = CardCatalog::cardCode(card, dialect);
                if (code.placeholder.empty()) continue;
                Slot slot{dialect, code.multiplier, takesLoopCount(card, dialect)};
                bool seen = false;
                for (const Slot& s : slots)
                    seen = seen || (s.dialect == slot.dialect && s.multiplier == slot.multiplier &&
                                     s.loopCount == slot.loopCount);
                if (!seen) slots.push_back(slot);
            }
    return slots;
}

// What the board's numbers hold, written here apart from the code under test.
bool inRange(long long value, int dialect) {
    switch (dialect) {
    case DIALECT_JAM: return value >= -32768 && value <= 32767;
    case DIALECT_LATTE: return value >= -2147483648LL && value <= 2147483647LL;
    case DIALECT_QUE: return value >= 0 && value <= 65535;
    default: return false;
    }
}

// The converted text as a whole number: an optional minus and digits, no
// exponent, no sign "+", no point.
std::optional<long long> wholeNumber(const std::string& converted) {
    if (converted.empty()) return std::nullopt;
    for (size_t i = 0; i < converted.size(); ++i)
        if (!(converted[i] >= '0' && converted[i] <= '9') && !(i == 0 && converted[i] == '-' && converted.size() > 1))
            return std::nullopt;
    long long value = 0;
    auto result = std::from_chars(converted.data(), converted.data() + converted.size(), value);
    if (result.ec != std::errc() || result.ptr != converted.data() + converted.size()) return std::nullopt;
    return value;
}

std::string shown(const std::string& text) {
    std::string out;
    for (unsigned char c : text.substr(0, 40)) {
        if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else out += "\\x" + std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
    }
    return text.size() > 40 ? out + "... (" + std::to_string(text.size()) + " bytes)" : out;
}

enum class Expect { Refused, AcceptedSomewhere };

struct Shape {
    std::string text;
    Expect expect;
};

const std::string kInvalidUtf8[] = {"\xff"s, "\xc0\xaf"s, "\xed\xa0\x80"s, "\xe3\x81"s, "5\x80"s};

std::vector<Shape> everyShape() {
    std::vector<Shape> shapes = {
        // Plain numbers a card holds somewhere.
        {"0", Expect::AcceptedSomewhere},
        {"5", Expect::AcceptedSomewhere},
        {".5", Expect::AcceptedSomewhere},
        {"5.", Expect::AcceptedSomewhere},
        {"00000001", Expect::AcceptedSomewhere},
        {"0.000001", Expect::AcceptedSomewhere},
        {"99999999", Expect::AcceptedSomewhere},
        {"32768", Expect::AcceptedSomewhere},  // just past jam's numbers
        {"65536", Expect::AcceptedSomewhere},  // just past que's
        {"１２", Expect::AcceptedSomewhere},
        {"０．５", Expect::AcceptedSomewhere},
        // Nothing, signs, several points, exponents, hex, words.
        {"", Expect::Refused},
        {".", Expect::Refused},
        {"..5", Expect::Refused},
        {"1.2.3", Expect::Refused},
        {"+5", Expect::Refused},
        {"-5", Expect::Refused},
        {"--5", Expect::Refused},
        {"1e3", Expect::Refused},
        {"1E-3", Expect::Refused},
        {"0x10", Expect::Refused},
        {"0x1p4", Expect::Refused},
        {"inf", Expect::Refused},
        {"nan", Expect::Refused},
        {"1,5", Expect::Refused},
        {"1_000", Expect::Refused},
        {"½", Expect::Refused},
        {"٣", Expect::Refused},             // an Arabic-Indic digit
        {"１２３４５６７８９", Expect::Refused},  // nine full-width digits
        {"\xEF\xBC", Expect::Refused},      // a full-width digit cut short
        {"５\xEF\xBC\x99\xEF", Expect::Refused},
        // Spaces and NUL bytes anywhere.
        {" 5", Expect::Refused},
        {"5 ", Expect::Refused},
        {"5\t", Expect::Refused},
        {"\u30005", Expect::Refused},  // an ideographic space
        {"\0"s, Expect::Refused},
        {"5\0"s, Expect::Refused},
        {"\0" "5"s, Expect::Refused},
        {"1\0" "2"s, Expect::Refused},
        // Long runs.
        {"123456789", Expect::Refused},
        {std::string(10000, '9'), Expect::Refused},
        {std::string(9999, '0') + "1", Expect::Refused},
        {"0." + std::string(9998, '0'), Expect::Refused},
        {std::string(10000, 'a'), Expect::Refused},
        {std::string(10000, '\0'), Expect::Refused},
    };
    std::string fullWidth;
    for (int i = 0; i < 10000; ++i) fullWidth += "９";
    shapes.push_back({fullWidth, Expect::Refused});
    for (const std::string& bad : kInvalidUtf8) shapes.push_back({bad, Expect::Refused});
    return shapes;
}

} // namespace

TEST(NumberShapes, EveryShapeIsRefusedOrCarriedAsANumberTheBoardHolds) {
    const std::vector<Slot> slots = everyNumberSlot();
    ASSERT_GE(slots.size(), 6u) << "number cards in every dialect";
    int accepted = 0;
    for (const Shape& shape : everyShape()) {
        int acceptedHere = 0;
        for (const Slot& slot : slots) {
            const NumberEntryResult result = checkNumberEntry(shape.text, slot.dialect, slot.multiplier, slot.loopCount);
            const std::string where = "\"" + shown(shape.text) + "\" in dialect " + std::to_string(slot.dialect) +
                                      " x" + std::to_string(slot.multiplier) + (slot.loopCount ? " (loop count)" : "");
            if (!result.accepted) {
                EXPECT_EQ(result.text, "") << where;
                continue;
            }
            ++acceptedHere;
            // What the card carries: at most 8 digits and a point, with a
            // leading "0" added before a leading point.
            const std::string& text = result.text;
            EXPECT_LE(text.size(), 9u) << where;
            EXPECT_EQ(text.find_first_not_of("0123456789."), std::string::npos) << where;
            EXPECT_LE(std::count(text.begin(), text.end(), '.'), 1) << where;
            EXPECT_NE(text.front(), '.') << where;
            // What the board receives fits its numbers.
            std::optional<long long> value = wholeNumber(convertedNumberText(text, slot.multiplier));
            ASSERT_TRUE(value.has_value()) << where;
            EXPECT_TRUE(inRange(*value, slot.dialect)) << where << " goes out as " << *value;
            if (slot.loopCount) {
                EXPECT_GE(*value, 1) << where;
            }
            EXPECT_TRUE(numberFitsBoard(text, slot.dialect, slot.multiplier)) << where;
        }
        if (shape.expect == Expect::Refused) {
            EXPECT_EQ(acceptedHere, 0) << '"' << shown(shape.text) << '"';
        } else {
            EXPECT_GT(acceptedHere, 0) << '"' << shown(shape.text) << '"';
        }
        accepted += acceptedHere;
    }
    EXPECT_GT(accepted, 0);
}

// A saved program's number passes the loader when it is digits with at most
// one point, of any length; the board's check before sending is what keeps
// a number it cannot hold from being typed. The conversion itself takes any
// text and any multiplier.
TEST(NumberShapes, ConversionGivesAWholeNumberForAnyTextAndMultiplier) {
    const float multipliers[] = {0.0f, 1.0f, 60.0f, 1000.0f, 0.001f, -1.0f, 1e30f, FLT_MAX,
                                 std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    std::vector<std::string> texts;
    for (const Shape& shape : everyShape()) texts.push_back(shape.text);
    for (const char* more : {"1e308", "-1e308", "1e-400", "0x7fffffffffffffff", "  -12.5", "infinity", "-nan(1)",
                             "9223372036854775807", "9223372036854775808", "-9223372036854775809"})
        texts.push_back(more);
    texts.push_back(std::string(400, '9'));  // past what a double holds
    for (const std::string& text : texts) {
        const double read = readNumberText(text);
        EXPECT_FALSE(std::isnan(read)) << shown(text);
        for (float multiplier : multipliers) {
            const std::string where = "\"" + shown(text) + "\" x" + std::to_string(multiplier);
            const std::string converted = convertedNumberText(text, multiplier);
            if (text.empty()) {
                EXPECT_EQ(converted, "") << where;
                continue;
            }
            std::optional<long long> value = wholeNumber(converted);
            ASSERT_TRUE(value.has_value()) << where << " gave \"" << converted << '"';
            EXPECT_LE(std::llabs(*value), 9000000000000000000LL) << where;
            for (int dialect = 0; dialect < kDialectCount; ++dialect) {
                if (numberFitsBoard(text, dialect, multiplier)) {
                    EXPECT_TRUE(inRange(*value, dialect)) << where << " in dialect " << dialect;
                }
            }
            EXPECT_FALSE(numberFitsBoard(text, kDialectCount, multiplier)) << where;
            EXPECT_FALSE(numberFitsBoard(text, -1, multiplier)) << where;
        }
    }
}
