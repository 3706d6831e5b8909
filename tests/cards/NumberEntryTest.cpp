// What a child may type into a number card: what fits the card and what the
// board can hold once converted.
#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>

#include "cards/CardCatalog.h"
#include "cards/NumberEntry.h"

namespace {

// The wait card that takes its seconds typed.
float waitMultiplier(int dialect) { return CardCatalog::cardCode({CARD_SET_FULL, 2}, dialect).multiplier; }

struct Entry {
    std::string typed;
    int dialect;
    float multiplier;
    const char* text;  // null when refused
};

} // namespace

TEST(NumberEntry, AcceptsWhatTheCardAndTheBoardHold) {
    const float jam = waitMultiplier(DIALECT_JAM), latte = waitMultiplier(DIALECT_LATTE),
                que = waitMultiplier(DIALECT_QUE);
    ASSERT_EQ(jam, 60);
    ASSERT_EQ(latte, 1000);
    const int J = DIALECT_JAM, L = DIALECT_LATTE, Q = DIALECT_QUE;
    const Entry cases[] = {
        {"2", J, jam, "2"},            {".5", J, jam, "0.5"},        {"5.", J, jam, "5."},
        {"1.2.3", J, jam, nullptr},    {"", J, jam, nullptr},        {".", J, jam, nullptr},
        {"-5", J, 1, nullptr},         {" 5", J, 1, nullptr},        {"1e3", J, 1, nullptr},
        {"12345678", L, 1, "12345678"}, {"123456789", L, 1, nullptr},
        {"１２", J, jam, "12"},        {"０．５", J, jam, "0.5"},    {"１２３４５６７８９", L, 1, nullptr},
        {"１あ", J, 1, nullptr},       {"\xEF\xBC", J, 1, nullptr},
        // jam wraps past 32767 without a word.
        {"546", J, jam, "546"},        {"600", J, jam, nullptr},     {"32768", J, 1, nullptr},
        {"600", Q, que, "600"},        {"1092", Q, que, "1092"},     {"1093", Q, que, nullptr},
        {"2147483", L, latte, "2147483"}, {"2147484", L, latte, nullptr},
        {"2", 3, 1, nullptr},
    };
    for (const Entry& c : cases) {
        NumberEntryResult result = checkNumberEntry(c.typed, c.dialect, c.multiplier);
        EXPECT_EQ(result.accepted, c.text != nullptr) << '"' << c.typed << "\" in dialect " << c.dialect;
        EXPECT_EQ(result.text, c.text ? c.text : "") << '"' << c.typed << "\" in dialect " << c.dialect;
    }
}

// A refused number says which rule it broke, and the largest number a card
// takes is one the card accepts while a tenth more is refused.
TEST(NumberEntry, ARefusalSaysWhyAndTheLargestNumberIsTheEdge) {
    EXPECT_EQ(checkNumberEntry("1.2.3", DIALECT_JAM, 1).refusal, NumberRefusal::NotANumber);
    EXPECT_EQ(checkNumberEntry("40000", DIALECT_JAM, 1).refusal, NumberRefusal::TooLarge);
    EXPECT_EQ(checkNumberEntry("0.4", DIALECT_JAM, 1, true).refusal, NumberRefusal::BelowOne);
    EXPECT_EQ(checkNumberEntry("12", DIALECT_JAM, 1).refusal, NumberRefusal::None);
    for (int dialect : {DIALECT_JAM, DIALECT_LATTE, DIALECT_QUE})
        for (float multiplier : {1.0f, 60.0f, 1000.0f}) {
            const std::string largest = largestNumber(dialect, multiplier);
            ASSERT_FALSE(largest.empty());
            EXPECT_TRUE(checkNumberEntry(largest, dialect, multiplier).accepted) << dialect << " x" << multiplier << ": " << largest;
            // A tenth more where it shows tenths, else one more.
            const bool tenths = largest.find('.') != std::string::npos;
            std::ostringstream next;
            next << std::fixed << std::setprecision(tenths ? 1 : 0) << std::stod(largest) + (tenths ? 0.1 : 1);
            EXPECT_FALSE(checkNumberEntry(next.str(), dialect, multiplier).accepted) << dialect << " x" << multiplier << ": " << next.str();
        }
    EXPECT_EQ(largestNumber(DIALECT_JAM, 1), "32767");
}
