// What a child may type into a number card: what fits the card and what the
// board can hold once converted.
#include <gtest/gtest.h>

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
