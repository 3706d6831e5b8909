// Reading a card's number text and writing the value the board receives.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "cards/NumberText.h"

namespace {
struct Reading {
    std::string text;
    double value;
};
} // namespace

TEST(NumberText, ReadsAsTheCLibraryReadsInTheCLocale) {
    const Reading cases[] = {
        {"3", 3},          {"  \t\n+4", 4},     {"-2.5", -2.5},     {".5", 0.5},        {"5.", 5},
        {"-.5", -0.5},     {"12abc", 12},       {"3.5e2x", 350},    {"1e", 1},          {"2e+", 2},
        {"0x10", 16},      {"-0x1A", -26},      {"0x1p4", 16},      {"0x", 0},          {"", 0},
        {" ", 0},          {"abc", 0},          {"--5", 0},         {"+-5", 0},         {"-+5", 0},
        {"- 5", 0},        {"inf", 0},          {"-Infinity", 0},   {"nan", 0},         {"NaN(1)", 0},
        {"1e-400", 0},     {"-1e-400", 0},      {"1,5", 1},         {"１２", 0},
    };
    for (const Reading& c : cases) EXPECT_EQ(readNumberText(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(readNumberText("0." + std::string(330, '0') + "1"), 0) << "an underflow is 0";
    EXPECT_EQ(readNumberText("1e400"), HUGE_VAL);
    EXPECT_EQ(readNumberText("-1e400"), -HUGE_VAL);
}

TEST(NumberText, ValuesAreWholeWithHalvesAwayFromZero) {
    EXPECT_EQ(convertedNumberText("2", 60), "120");
    EXPECT_EQ(convertedNumberText("2.5", 1), "3");
    EXPECT_EQ(convertedNumberText("-2.5", 1), "-3");
    EXPECT_EQ(convertedNumberText("-0.5", 1), "-1");
    EXPECT_EQ(convertedNumberText("-0.0125", 1000), "-13");
    EXPECT_EQ(convertedNumberText("-0.4", 1), "0");
    EXPECT_EQ(convertedNumberText("", 60), "");
    EXPECT_EQ(convertedNumberText("x", 60), "0");
    EXPECT_EQ(convertedNumberText("0x10", 60), "960");
    // Damaged saved programs: never exponent form, never undefined.
    EXPECT_EQ(convertedNumberText("1e-400", 60), "0");
    EXPECT_EQ(convertedNumberText("inf", 60), "0");
    EXPECT_EQ(convertedNumberText("1e400", 60), "9000000000000000000");
    EXPECT_EQ(convertedNumberText("-1e400", 60), "-9000000000000000000");
    EXPECT_EQ(convertedNumberText("20000", 60), "1200000");
    // Large counts keep every digit.
    EXPECT_EQ(convertedNumberText("99999999", 1), "99999999");
    EXPECT_EQ(convertedNumberText("2147483.647", 1000), "2147483647");
}

TEST(NumberText, ADesktopLocaleChangesNothing) {
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (!german) GTEST_SKIP() << "no German locale on this machine";
    EXPECT_EQ(readNumberText("1.5"), 1.5);
    EXPECT_EQ(readNumberText("1,5"), 1);
    EXPECT_EQ(convertedNumberText("0.5", 1000), "500");
    std::setlocale(LC_ALL, "C");
}
