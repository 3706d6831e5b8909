// What the board receives for a field: the texts typed in jam and latte, the
// program image written in que, and when a transfer stops early.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "cards/CardCatalog.h"
#include "cards/NumberText.h"
#include "cards/ProgramGenerator.h"
#include "support/CardTyping.h"

namespace {

const CardKind kLedOn{CARD_SET_BASIC, 0}, kLedOff{CARD_SET_BASIC, 1};
const CardKind kEndlessStart{CARD_SET_BASIC, 4}, kEndlessEnd{CARD_SET_BASIC, 5};
const CardKind kWaitAny{CARD_SET_FULL, 2}, kBeep{CARD_SET_FULL, 3};
const CardKind kLoop3Start{CARD_SET_FULL, 4}, kLoop3End{CARD_SET_FULL, 5};
const CardKind kLoop5Start{CARD_SET_FULL, 6}, kLoop5End{CARD_SET_FULL, 7};
const CardKind kLoopAnyStart{CARD_SET_FULL, 8}, kLoopAnyEnd{CARD_SET_FULL, 9};

void put(FieldSnapshot& field, int row, CardKind kind, std::string number = "") {
    field.rows[static_cast<size_t>(row)] = SnapshotCard{kind, std::move(number), {}, 0, row};
}

std::string bytes(std::initializer_list<int> values) {
    std::string result;
    for (int v : values) result += static_cast<char>(v);
    return result;
}

std::vector<std::string> texts(const ByteCollector& out) {
    std::vector<std::string> result;
    for (const auto& t : out.texts) result.push_back(t.text);
    return result;
}

// The texts typed for the cards: what follows break, stop and prelude.
std::vector<std::string> cardTexts(const ByteCollector& out, int dialect) {
    const auto& info = CardCatalog::dialect(dialect);
    std::vector<std::string> all = texts(out);
    return {all.begin() + 2 + static_cast<long>(info.prelude.size()),
            all.end() - static_cast<long>(info.epilogue.size())};
}

const std::string kLedOnQue = bytes({1, 0, 1, 0, 0, 0, 0, 0});
const std::string kLedOffQue = bytes({1, 0, 0, 0, 0, 0, 0, 0});

} // namespace

TEST(ProgramGenerator, EmptyFieldSendsOnlyTheFixedItems) {
    FieldSnapshot field;
    ByteCollector jam;
    EXPECT_EQ(transferProgram(field, DIALECT_JAM, jam).kind, TransferOutcome::Sent);
    const std::vector<ByteCollector::Text> expected = {
        {"\x1b", 500, false}, {"\nOUT0\n", 50, false}, {"\n\n\n\n\nNEW\r\n", 50, true},
        {"SAVE 0", 60, true}, {"\n", 1000, true},     {"RUN\r\n", 50, true},
    };
    ASSERT_EQ(jam.texts.size(), expected.size());
    std::string allBytes;
    std::vector<int> allDelays;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(jam.texts[i].text, expected[i].text) << i;
        EXPECT_EQ(jam.texts[i].delayMs, expected[i].delayMs) << i;
        EXPECT_EQ(jam.texts[i].reportChars, expected[i].reportChars) << i;
        allBytes += expected[i].text;
        allDelays.insert(allDelays.end(), expected[i].text.size(), expected[i].delayMs);
    }
    EXPECT_EQ(jam.bytes, allBytes);
    EXPECT_EQ(jam.delays, allDelays);

    // que: only the fill, no texts and no listing.
    ByteCollector que;
    EXPECT_EQ(transferProgram(field, DIALECT_QUE, que).kind, TransferOutcome::Sent);
    EXPECT_TRUE(que.texts.empty());
    EXPECT_TRUE(que.listing.empty());
    EXPECT_EQ(que.bytes, std::string(512, '\xff'));
}

TEST(ProgramGenerator, JamLinesFollowTheRowsAndLooseCardsStayBehind) {
    FieldSnapshot field;
    put(field, 0, kLedOn);
    put(field, 2, kEndlessEnd);  // its "@" belongs to the jam label
    put(field, 39, kLedOff);
    field.loose.push_back(SnapshotCard{kBeep, "", {}, 0, 3});
    ByteCollector out;
    ASSERT_EQ(transferProgram(field, DIALECT_JAM, out).kind, TransferOutcome::Sent);
    EXPECT_EQ(cardTexts(out, DIALECT_JAM),
              (std::vector<std::string>{"10 LED 1\r\n", "30 GOTO @LOOP\r\n", "400 LED 0\r\n"}));
    for (size_t i = 3; i < 6; ++i) {
        EXPECT_EQ(out.texts[i].delayMs, 50);
        EXPECT_TRUE(out.texts[i].reportChars);
    }
    EXPECT_EQ(out.bytes.find("BEEP"), std::string::npos);
}

TEST(ProgramGenerator, LatteIndentsByBraceDepth) {
    FieldSnapshot field;
    put(field, 0, kLoopAnyStart, "4");
    put(field, 1, kLedOn);
    put(field, 2, kLoopAnyEnd);
    put(field, 3, kEndlessStart);
    put(field, 4, kEndlessStart);
    put(field, 5, kLedOff);
    put(field, 6, kEndlessEnd);
    put(field, 7, kEndlessEnd);
    ByteCollector out;
    ASSERT_EQ(transferProgram(field, DIALECT_LATTE, out).kind, TransferOutcome::Sent);
    EXPECT_EQ(cardTexts(out, DIALECT_LATTE),
              (std::vector<std::string>{"i=0;\nwhile(i<4){\n", "  led(1);\n", "i=i+1;\n}\n",
                                        "while(uart()==-1){\n", "  while(uart()==-1){\n", "    led(0);\n",
                                        "  }\n", "}\n"}));

    // Other dialects never indent and leave the depth alone.
    int depth = 2;
    EXPECT_EQ(indentOf("@LOOP{\r\n", depth, DIALECT_JAM), 0);
    EXPECT_EQ(depth, 2);
}

TEST(ProgramGenerator, TypedNumbersAreConvertedOnceWholeAndRounded) {
    struct Case {
        int dialect;
        std::string number;
        const char* text;
    };
    const Case cases[] = {
        {DIALECT_JAM, "1.5", "10 WAIT 90\r\n"},
        {DIALECT_JAM, ".025", "10 WAIT 2\r\n"},  // 1.5 goes up
        {DIALECT_JAM, "-1", "10 WAIT -60\r\n"},
        {DIALECT_JAM, "", "10 WAIT 0\r\n"},
        {DIALECT_LATTE, "0.25", "sleep(250);\n"},
        {DIALECT_LATTE, "2000", "sleep(2000000);\n"},  // never 2e+06
    };
    for (const Case& c : cases) {
        FieldSnapshot field;
        put(field, 0, kWaitAny, c.number);
        ByteCollector out;
        ASSERT_EQ(transferProgram(field, c.dialect, out).kind, TransferOutcome::Sent) << c.number;
        EXPECT_EQ(cardTexts(out, c.dialect), std::vector<std::string>{c.text}) << c.number;
    }

    // que: the input bytes and the listing carry the same rounded value.
    const struct {
        std::string number;
        int value;
    } queCases[] = {{"1.5", 90}, {"0.0125", 1}, {"1092", 65520}, {"", 0}};
    for (const auto& c : queCases) {
        FieldSnapshot field;
        put(field, 0, kWaitAny, c.number);
        ByteCollector out;
        ASSERT_EQ(transferProgram(field, DIALECT_QUE, out).kind, TransferOutcome::Sent) << c.number;
        EXPECT_EQ(out.bytes.substr(0, 8), bytes({4, 0, c.value & 0xFF, c.value >> 8, 1, 0, 0, 0})) << c.number;
        EXPECT_EQ(out.listing, std::vector<std::string>{"1 " + std::to_string(c.value) + "かい まつ"});
    }
}

TEST(ProgramGenerator, NumberTheBoardCannotHoldSendsNothing) {
    struct Case {
        int dialect;
        CardKind kind;
        std::string number;
        bool fits;
    };
    const Case cases[] = {
        {DIALECT_JAM, kWaitAny, "546", true},    {DIALECT_JAM, kWaitAny, "547", false},
        {DIALECT_JAM, kWaitAny, "-546", true},   {DIALECT_JAM, kWaitAny, "-547", false},
        {DIALECT_JAM, kLoopAnyStart, "32767", true}, {DIALECT_JAM, kLoopAnyStart, "32768", false},
        {DIALECT_LATTE, kLoopAnyStart, "2147483647", true}, {DIALECT_LATTE, kLoopAnyStart, "2147483648", false},
        {DIALECT_LATTE, kWaitAny, "-2147483.648", true}, {DIALECT_LATTE, kWaitAny, "-2147483.649", false},
        {DIALECT_QUE, kWaitAny, "1092.25", true}, {DIALECT_QUE, kWaitAny, "1092.26", false},
        {DIALECT_QUE, kWaitAny, "-0.01", false},
        // que sends no number for this card: its digits only show.
        {DIALECT_QUE, kLoopAnyStart, "99999999", true},
        // Not a number card: no number is sent whatever it holds.
        {DIALECT_JAM, kLedOn, "99999999", true},
    };
    for (const Case& c : cases) {
        FieldSnapshot field;
        put(field, 1, kLedOn);
        put(field, 5, c.kind, c.number);
        ByteCollector out;
        TransferOutcome outcome = transferProgram(field, c.dialect, out);
        if (c.fits) {
            EXPECT_EQ(outcome.kind, TransferOutcome::Sent) << c.number << " in " << c.dialect;
            continue;
        }
        EXPECT_EQ(outcome.kind, TransferOutcome::NumberDoesNotFit) << c.number << " in " << c.dialect;
        EXPECT_EQ(outcome.row, 5);
        EXPECT_EQ(outcome.number, c.number);
        EXPECT_TRUE(out.bytes.empty());
        EXPECT_TRUE(out.texts.empty());
        EXPECT_TRUE(out.listing.empty());
    }

    // The first row that does not fit is the one named.
    FieldSnapshot field;
    put(field, 3, kWaitAny, "600");
    put(field, 9, kWaitAny, "700");
    ByteCollector out;
    TransferOutcome outcome = transferProgram(field, DIALECT_JAM, out);
    EXPECT_EQ(outcome.row, 3);
    EXPECT_EQ(outcome.number, "600");
}

TEST(ProgramGenerator, QueEmptyRowsBetweenCardsAreEmptySteps) {
    FieldSnapshot field;
    put(field, 0, kLedOn);
    put(field, 2, kLedOff);
    ByteCollector out;
    ASSERT_EQ(transferProgram(field, DIALECT_QUE, out).kind, TransferOutcome::Sent);
    EXPECT_EQ(out.bytes, kLedOnQue + std::string(8, '\0') + kLedOffQue + std::string(488, '\xff'));
    EXPECT_EQ(out.listing, (std::vector<std::string>{"1 LEDを つける", "2", "3 LEDを けす"}));
    EXPECT_EQ(out.delays, std::vector<int>(512, 10));
}

TEST(ProgramGenerator, QueLoopEndsJumpBackToTheirStart) {
    FieldSnapshot field;
    put(field, 0, kEndlessStart);
    put(field, 1, kLedOn);
    put(field, 2, kEndlessEnd);
    ByteCollector out;
    ASSERT_EQ(transferProgram(field, DIALECT_QUE, out).kind, TransferOutcome::Sent);
    EXPECT_EQ(out.bytes.substr(0, 24), std::string(8, '\0') + kLedOnQue + bytes({5, 0, 0, 0, 0, 0, 0, 0}));
    // The start's empty description lists nothing.
    EXPECT_EQ(out.listing, (std::vector<std::string>{"2 LEDを つける", "3 1 へ 行く"}));

    // Further down the field the target moves with the start.
    FieldSnapshot later;
    put(later, 0, kLedOn);
    put(later, 2, kEndlessStart);
    put(later, 3, kEndlessEnd);
    ByteCollector shifted;
    ASSERT_EQ(transferProgram(later, DIALECT_QUE, shifted).kind, TransferOutcome::Sent);
    EXPECT_EQ(shifted.bytes.substr(24, 8), bytes({5, 0, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(shifted.listing.back(), "4 3 へ 行く");
}

TEST(ProgramGenerator, QueNestedLoopsPairByTheOpenLoopStack) {
    // Instructions: 0 LED, 1 forever start, 2-3 counted start, 4 beep, 5-6
    // counted end, 7 forever end, 8-9 any-times start, 10-11 its own end.
    FieldSnapshot field;
    put(field, 0, kLedOn);
    put(field, 1, kEndlessStart);
    put(field, 2, kLoop3Start);
    put(field, 3, kBeep);
    put(field, 4, kLoop3End);
    put(field, 5, kEndlessEnd);
    put(field, 6, kLoopAnyStart, "7");
    put(field, 7, kLoopAnyEnd);
    ByteCollector out;
    ASSERT_EQ(transferProgram(field, DIALECT_QUE, out).kind, TransferOutcome::Sent);
    auto operandA = [&](int instruction) {
        const size_t at = static_cast<size_t>(instruction) * 8 + 2;
        return static_cast<unsigned char>(out.bytes[at]) | static_cast<unsigned char>(out.bytes[at + 1]) << 8;
    };
    EXPECT_EQ(out.bytes.substr(48, 8), bytes({16, 0, 3, 0, 2, 0, 3, 0}));
    EXPECT_EQ(operandA(7), 1);
    EXPECT_EQ(operandA(11), 9);
    ASSERT_EQ(out.listing.size(), 11u);
    EXPECT_EQ(out.listing[2], "4 ");
    EXPECT_EQ(out.listing[5], "7 もし #<3 4 へ");
    EXPECT_EQ(out.listing[6], "8 2 へ 行く");
    EXPECT_EQ(out.listing[10], "12 もし #<5 10 へ");

    // An end without its start keeps the table's target 0 and shows the
    // number it carries.
    FieldSnapshot lone;
    put(lone, 0, kLoop5End, "2.5");
    ByteCollector loneOut;
    ASSERT_EQ(transferProgram(lone, DIALECT_QUE, loneOut).kind, TransferOutcome::Sent);
    EXPECT_EQ(loneOut.bytes.substr(8, 8), bytes({16, 0, 0, 0, 2, 0, 5, 0}));
    EXPECT_EQ(loneOut.listing, (std::vector<std::string>{"1 はこ# + 1", "2 もし #<5 3 へ"}));
}

TEST(ProgramGenerator, QueProgramLongerThanTheImageIsWrittenWhole) {
    FieldSnapshot field;
    for (int row = 0; row < 40; row += 2) {  // two instructions each
        put(field, row, kLoop3Start);
        put(field, row + 1, kLoop3End);
    }
    ByteCollector out;
    ASSERT_EQ(transferProgram(field, DIALECT_QUE, out).kind, TransferOutcome::Sent);
    EXPECT_EQ(out.bytes.size(), 640u);
    EXPECT_EQ(out.bytes.find('\xff'), std::string::npos);
    EXPECT_EQ(out.listing.back(), "80 もし #<3 78 へ");
}

TEST(ProgramGenerator, StopAndFailedWritesEndTheTransfer) {
    FieldSnapshot field;
    put(field, 0, kLedOn);
    put(field, 1, kLedOff);

    // que: stop is noticed after the row, and the fill is skipped.
    ByteCollector cancelled;
    cancelled.cancelAfterBytes = 3;
    EXPECT_EQ(transferProgram(field, DIALECT_QUE, cancelled).kind, TransferOutcome::Cancelled);
    EXPECT_EQ(cancelled.bytes, kLedOnQue);
    EXPECT_EQ(cancelled.listing.size(), 1u);

    ByteCollector inFill;
    inFill.cancelAfterBytes = 100;
    EXPECT_EQ(transferProgram(field, DIALECT_QUE, inFill).kind, TransferOutcome::Cancelled);
    EXPECT_EQ(inFill.bytes.size(), 100u);

    // que: a byte that does not go out ends it, with nothing written after.
    for (long failAt : {3L, 12L, 300L}) {
        ByteCollector failed;
        failed.failAtByte = failAt;
        EXPECT_EQ(transferProgram(field, DIALECT_QUE, failed).kind, TransferOutcome::Failed) << failAt;
        EXPECT_EQ(failed.bytes.size(), static_cast<size_t>(failAt));
        EXPECT_EQ(failed.listing.size(), failAt < 8 ? 0u : failAt < 16 ? 1u : 2u);
    }

    // Text: a failed character ends it; stop pressed while typing cancels.
    ByteCollector failedText;
    failedText.failAtByte = 5;
    EXPECT_EQ(transferProgram(field, DIALECT_JAM, failedText).kind, TransferOutcome::Failed);
    EXPECT_EQ(failedText.bytes, "\x1b\nOUT");
    EXPECT_EQ(failedText.texts.size(), 2u);

    ByteCollector cancelledText;
    cancelledText.cancelAfterBytes = 20;
    EXPECT_EQ(transferProgram(field, DIALECT_LATTE, cancelledText).kind, TransferOutcome::Cancelled);
    EXPECT_EQ(cancelledText.bytes.size(), 20u);
    EXPECT_EQ(cancelledText.texts.size(), 3u);
}

TEST(ProgramGenerator, EveryWaitTimeSendsTheNumberOnTheCardFace) {
    const float jamMultiplier = CardCatalog::cardCode(kWaitAny, DIALECT_JAM).multiplier;
    const float queMultiplier = CardCatalog::cardCode(kWaitAny, DIALECT_QUE).multiplier;
    FieldSnapshot field;
    int mismatches = 0;
    for (int step = 1; step <= 109200 && mismatches < 5; ++step) {
        char face[16];
        std::snprintf(face, sizeof face, "%.3f", step * 0.005);
        put(field, 0, kWaitAny, face);

        ByteCollector jam;
        transferProgram(field, DIALECT_JAM, jam);
        const std::string expected = "10 WAIT " + convertedNumberText(face, jamMultiplier) + "\r\n";
        if (jam.texts.size() < 4 || jam.texts[3].text != expected) {
            ++mismatches;
            ADD_FAILURE() << face << ": " << (jam.texts.size() < 4 ? "" : jam.texts[3].text);
        }

        ByteCollector que;
        que.cancelAfterBytes = 8;  // no fill
        transferProgram(field, DIALECT_QUE, que);
        const std::string number = convertedNumberText(face, queMultiplier);
        const int value = static_cast<unsigned char>(que.bytes[2]) | static_cast<unsigned char>(que.bytes[3]) << 8;
        if (que.listing != std::vector<std::string>{"1 " + number + "かい まつ"} || std::to_string(value) != number) {
            ++mismatches;
            ADD_FAILURE() << face << ": " << value << " / " << (que.listing.empty() ? "" : que.listing[0]);
        }
    }
}

namespace {

// A field of the cards given, one a row from the top.
FieldSnapshot column(std::initializer_list<std::pair<CardKind, std::string>> cards) {
    FieldSnapshot field;
    int row = 0;
    for (const auto& [kind, number] : cards) put(field, row++, kind, number);
    return field;
}

std::vector<std::string> sentCards(const FieldSnapshot& field, int dialect) {
    ByteCollector out;
    EXPECT_EQ(transferProgram(field, dialect, out).kind, TransferOutcome::Sent);
    return out.texts.size() < 2 ? std::vector<std::string>{} : cardTexts(out, dialect);
}

std::string latteDeclarations(const FieldSnapshot& field) {
    ByteCollector out;
    transferProgram(field, DIALECT_LATTE, out);
    return out.texts.size() > 3 ? out.texts[3].text : "";
}

} // namespace

TEST(ProgramGenerator, EveryCardSideBySideSendsWhatItAlwaysHas) {
    // Every card of the basic and full sets, then of the paprika set; loop
    // starts sit just above their ends, so nothing nests.
    FieldSnapshot field, paprika;
    int row = 0;
    for (int set : {CARD_SET_BASIC, CARD_SET_FULL})
        for (int index = 0; index < CardCatalog::cardCount(set); ++index)
            put(field, row++, {set, index}, CardKind{set, index} == kWaitAny ? "1.5" : "3");  // 3 turns of any-times
    for (int index = 0; index < CardCatalog::cardCount(CARD_SET_PAPRIKA); ++index)
        put(paprika, index, {CARD_SET_PAPRIKA, index});

    const std::string jamTexts[] = {
        "LED 1", "LED 0", "WAIT 60", "WAIT 180", "@LOOP", "GOTO @LOOP", "WAIT 300", "WAIT 600", "WAIT 90",
        "BEEP", "FOR I = 1 TO 3", "NEXT", "FOR I = 1 TO 5", "NEXT", "FOR I = 1 TO 3", "NEXT", "OUT 1, 1",
        "OUT 1, 0", "OUT 2, 1", "OUT 2, 0", "OUT 3, 1", "OUT 3, 0", "OUT 4, 1", "OUT 4, 0", "OUT 5, 1",
        "OUT 5, 0", "OUT 6, 1", "OUT 6, 0"};
    const std::string latteTexts[] = {
        "led(1);", "led(0);", "sleep(1000);", "sleep(3000);", "while(uart()==-1){", "}", "sleep(5000);",
        "sleep(10000);", "sleep(1500);", "beep();", "i=0;\nwhile(i<3){", "i=i+1;\n}", "i=0;\nwhile(i<5){",
        "i=i+1;\n}", "i=0;\nwhile(i<3){", "i=i+1;\n}", "out(o=o|1);", "out(o=o&~1);", "out(o=o|2);",
        "out(o=o&~2);", "out(o=o|4);", "out(o=o&~4);", "out(o=o|8);", "out(o=o&~8);", "out(o=o|16);",
        "out(o=o&~16);", "out(o=o|32);", "out(o=o&~32);"};
    const std::string paprikaJam[] = {"OUT 33", "OUT 0", "OUT 18", "OUT 34", "OUT 32", "OUT 16", "OUT 17", "OUT 1",
                                      "OUT 2", "PWM 3, 60", "PWM 3, 145", "PWM 3, 230", "PWM 4, 230", "PWM 4, 145",
                                      "PWM 4, 60"};
    const std::string paprikaLatte[] = {"out(33);",      "out(0);",       "out(18);",      "out(34);",
                                        "out(32);",      "out(16);",      "out(17);",      "out(1);",
                                        "out(2);",       "pwm(3, 600);",  "pwm(3, 1450);", "pwm(3, 2300);",
                                        "pwm(4, 2300);", "pwm(4, 1450);", "pwm(4, 600);"};
    auto jamProgram = [](const auto& lines) {
        std::string program = "\x1b\nOUT0\n\n\n\n\n\nNEW\r\n";
        int line = 0;
        for (const std::string& text : lines) program += std::to_string(line += 10) + " " + text + "\r\n";
        return program + "SAVE 0\nRUN\r\n";
    };
    auto latteProgram = [](const auto& lines) {
        std::string program = " ms\nout(0)\nexit()\ncat uart > .\nvar i=0;var o=0;\n";
        for (const std::string& text : lines) program += text + "\n";
        return program + "while(uart()!=-1);\n\x04\nms .\n";
    };
    const struct {
        const FieldSnapshot& field;
        int dialect;
        std::string bytes;
    } cases[] = {
        {field, DIALECT_JAM, jamProgram(jamTexts)},
        {field, DIALECT_LATTE, latteProgram(latteTexts)},
        {paprika, DIALECT_JAM, jamProgram(paprikaJam)},
        {paprika, DIALECT_LATTE, latteProgram(paprikaLatte)},
    };
    for (const auto& c : cases) {
        ByteCollector out;
        ASSERT_EQ(transferProgram(c.field, c.dialect, out).kind, TransferOutcome::Sent);
        EXPECT_EQ(out.bytes, c.bytes) << "dialect " << c.dialect;
    }
}

TEST(ProgramGenerator, CountedLoopsInsideEachOtherEachCountWithTheirOwnVariable) {
    // Three deep, then one beside them, back at the first variable; the
    // any-times end closes the innermost loop whatever card opened it.
    const FieldSnapshot field = column({{kLoop3Start, ""}, {kLoop5Start, ""}, {kLoopAnyStart, "2"}, {kBeep, ""},
                                        {kLoopAnyEnd, ""}, {kLoop3End, ""}, {kLoop5End, ""},
                                        {kLoopAnyStart, "4"}, {kLoopAnyEnd, ""}});
    EXPECT_EQ(sentCards(field, DIALECT_JAM),
              (std::vector<std::string>{"10 FOR I = 1 TO 3\r\n", "20 FOR J = 1 TO 5\r\n", "30 FOR K = 1 TO 2\r\n",
                                        "40 BEEP\r\n", "50 NEXT\r\n", "60 NEXT\r\n", "70 NEXT\r\n",
                                        "80 FOR I = 1 TO 4\r\n", "90 NEXT\r\n"}));
    EXPECT_EQ(sentCards(field, DIALECT_LATTE),
              (std::vector<std::string>{"i=0;\nwhile(i<3){\n", "  j=0;\nwhile(j<5){\n", "    k=0;\nwhile(k<2){\n",
                                        "      beep();\n", "    k=k+1;\n}\n", "  j=j+1;\n}\n", "i=i+1;\n}\n",
                                        "i=0;\nwhile(i<4){\n", "i=i+1;\n}\n"}));
    EXPECT_EQ(latteDeclarations(field), "var i=0;var o=0;var j=0;var k=0;\n");

    // Two deep: only j is declared.
    const FieldSnapshot two = column({{kLoop3Start, ""}, {kLoop3Start, ""}, {kBeep, ""}, {kLoop3End, ""}, {kLoop3End, ""}});
    EXPECT_EQ(sentCards(two, DIALECT_JAM),
              (std::vector<std::string>{"10 FOR I = 1 TO 3\r\n", "20 FOR J = 1 TO 3\r\n", "30 BEEP\r\n",
                                        "40 NEXT\r\n", "50 NEXT\r\n"}));
    EXPECT_EQ(latteDeclarations(two), "var i=0;var o=0;var j=0;\n");
}

TEST(ProgramGenerator, ForeverLoopsInsideEachOtherJumpToTheirOwnLabel) {
    // Forever loops nest apart from counted ones: neither moves the other's depth.
    const FieldSnapshot field = column({{kEndlessStart, ""}, {kLoop3Start, ""}, {kEndlessStart, ""},
                                        {kEndlessStart, ""}, {kLedOn, ""}, {kEndlessEnd, ""}, {kEndlessEnd, ""},
                                        {kLoop3End, ""}, {kEndlessEnd, ""}, {kEndlessStart, ""}, {kEndlessEnd, ""}});
    EXPECT_EQ(sentCards(field, DIALECT_JAM),
              (std::vector<std::string>{"10 @LOOP\r\n", "20 FOR I = 1 TO 3\r\n", "30 @LB\r\n", "40 @LC\r\n",
                                        "50 LED 1\r\n", "60 GOTO @LC\r\n", "70 GOTO @LB\r\n", "80 NEXT\r\n",
                                        "90 GOTO @LOOP\r\n", "100 @LOOP\r\n", "110 GOTO @LOOP\r\n"}));
    // latte's braces nest already; only i is declared.
    const std::vector<std::string> latte = sentCards(field, DIALECT_LATTE);
    ASSERT_EQ(latte.size(), 11u);
    EXPECT_EQ(latte[1], "  i=0;\nwhile(i<3){\n");
    EXPECT_EQ(latte[5], "      }\n");
    EXPECT_EQ(latteDeclarations(field), "var i=0;var o=0;\n");

    // A counted loop around a forever loop.
    EXPECT_EQ(sentCards(column({{kLoop5Start, ""}, {kEndlessStart, ""}, {kEndlessEnd, ""}, {kLoop5End, ""}}),
                        DIALECT_JAM),
              (std::vector<std::string>{"10 FOR I = 1 TO 5\r\n", "20 @LOOP\r\n", "30 GOTO @LOOP\r\n", "40 NEXT\r\n"}));
}

TEST(ProgramGenerator, EndsWithNoLoopOpenChangeNothing) {
    // Stray ends first, and more ends than starts in the middle.
    const FieldSnapshot field = column({{kLoop3End, ""}, {kEndlessEnd, ""}, {kLoop3Start, ""}, {kLoop3End, ""},
                                        {kLoop5End, ""}, {kEndlessEnd, ""}, {kLoop5Start, ""}, {kEndlessStart, ""},
                                        {kEndlessEnd, ""}, {kLoop5End, ""}});
    EXPECT_EQ(sentCards(field, DIALECT_JAM),
              (std::vector<std::string>{"10 NEXT\r\n", "20 GOTO @LOOP\r\n", "30 FOR I = 1 TO 3\r\n", "40 NEXT\r\n",
                                        "50 NEXT\r\n", "60 GOTO @LOOP\r\n", "70 FOR I = 1 TO 5\r\n", "80 @LOOP\r\n",
                                        "90 GOTO @LOOP\r\n", "100 NEXT\r\n"}));
    const std::vector<std::string> latte = sentCards(field, DIALECT_LATTE);
    ASSERT_EQ(latte.size(), 10u);
    EXPECT_EQ(latte[0], "i=i+1;\n}\n");
    EXPECT_EQ(latte[4], "i=i+1;\n}\n");
    EXPECT_EQ(latte[6], "i=0;\nwhile(i<5){\n");
    EXPECT_EQ(latteDeclarations(field), "var i=0;var o=0;\n");
}

namespace {

// The refusal of `field` in `dialect`, checking that nothing went out.
TransferOutcome refusal(const FieldSnapshot& field, int dialect) {
    ByteCollector out;
    const TransferOutcome outcome = transferProgram(field, dialect, out);
    EXPECT_TRUE(outcome.refused()) << "dialect " << dialect;
    EXPECT_TRUE(out.bytes.empty() && out.texts.empty() && out.listing.empty()) << "dialect " << dialect;
    return outcome;
}

// The English and Japanese messages both name `line`.
void expectNamesLine(const TransferOutcome& outcome, int line) {
    const RefusalText text = refusalText(outcome);
    EXPECT_NE(text.english.find("line " + std::to_string(line)), std::string::npos) << text.english;
    EXPECT_NE(text.japanese.find(std::to_string(line) + "ぎょうめ"), std::string::npos) << text.japanese;
}

} // namespace

TEST(ProgramGenerator, SixCountedLoopsInsideEachOtherRunAndASeventhIsRefused) {
    // A loop beside the others first: the seventh start is on row 9, line 100.
    FieldSnapshot field = column({{kLoop3Start, ""}, {kLoop3End, ""}, {kBeep, ""}});
    for (int row = 3; row < 9; ++row) put(field, row, kLoop5Start);
    put(field, 9, kEndlessStart);  // a forever loop adds no depth
    EXPECT_EQ(sentCards(field, DIALECT_JAM)[8], "90 FOR N = 1 TO 5\r\n");
    EXPECT_EQ(latteDeclarations(field), "var i=0;var o=0;var j=0;var k=0;var l=0;var m=0;var n=0;\n");

    put(field, 9, kLoopAnyStart, "2");
    put(field, 10, kLoopAnyStart, "");  // refused too, but further down
    for (int dialect : {DIALECT_JAM, DIALECT_LATTE}) {
        const TransferOutcome outcome = refusal(field, dialect);
        EXPECT_EQ(outcome.kind, TransferOutcome::LoopsTooDeep);
        EXPECT_EQ(outcome.row, 9);
        expectNamesLine(outcome, 100);
    }

    // Closing one lets the next start at the sixth again.
    put(field, 9, kLoop5End);
    put(field, 10, kLoopAnyStart, "2");
    EXPECT_EQ(sentCards(field, DIALECT_JAM)[10], "110 FOR N = 1 TO 2\r\n");
}

TEST(ProgramGenerator, AnAnyTimesCountBelowOneIsRefused) {
    struct Case {
        int dialect;
        CardKind kind;
        std::string number;
        bool sent;
    };
    const Case cases[] = {
        {DIALECT_JAM, kLoopAnyStart, "", false},     {DIALECT_JAM, kLoopAnyStart, "0", false},
        {DIALECT_JAM, kLoopAnyStart, "0.4", false},  {DIALECT_JAM, kLoopAnyStart, "-1", false},
        {DIALECT_JAM, kLoopAnyStart, "0.5", true},   {DIALECT_LATTE, kLoopAnyStart, "", false},
        {DIALECT_LATTE, kLoopAnyStart, "1", true},
        // que takes no count on this card; seconds may be 0.
        {DIALECT_QUE, kLoopAnyStart, "", true},      {DIALECT_JAM, kWaitAny, "0", true},
        {DIALECT_LATTE, kWaitAny, "", true},
    };
    for (const Case& c : cases) {
        FieldSnapshot field;
        put(field, 0, kLedOn);
        put(field, 4, c.kind, c.number);
        if (c.sent) {
            ByteCollector out;
            EXPECT_EQ(transferProgram(field, c.dialect, out).kind, TransferOutcome::Sent) << c.number;
            continue;
        }
        const TransferOutcome outcome = refusal(field, c.dialect);
        EXPECT_EQ(outcome.kind, TransferOutcome::CountBelowOne) << c.number << " in " << c.dialect;
        EXPECT_EQ(outcome.row, 4);
        EXPECT_EQ(outcome.number, c.number);
        expectNamesLine(outcome, 50);
    }
}

TEST(ProgramGenerator, QueRefusesACountedLoopInsideAnother) {
    // Its single box counts one loop; forever loops keep no count.
    const FieldSnapshot nested = column({{kEndlessStart, ""}, {kLoop3End, ""}, {kLoop3Start, ""}, {kBeep, ""},
                                         {kLoopAnyStart, "2"}, {kLoopAnyEnd, ""}, {kLoop3End, ""}});
    const TransferOutcome outcome = refusal(nested, DIALECT_QUE);
    EXPECT_EQ(outcome.kind, TransferOutcome::NestedLoopInQue);
    EXPECT_EQ(outcome.row, 4);
    expectNamesLine(outcome, 50);
    // jam and latte run it.
    EXPECT_EQ(sentCards(nested, DIALECT_JAM)[4], "50 FOR J = 1 TO 2\r\n");

    for (const FieldSnapshot& runs :
         {column({{kLoop3Start, ""}, {kLoop3End, ""}, {kLoop5Start, ""}, {kLoop5End, ""}}),
          column({{kEndlessStart, ""}, {kEndlessStart, ""}, {kLoop3Start, ""}, {kLoop3End, ""}}),
          column({{kLoop3Start, ""}, {kEndlessStart, ""}, {kEndlessEnd, ""}, {kLoop3End, ""}})}) {
        ByteCollector out;
        EXPECT_EQ(transferProgram(runs, DIALECT_QUE, out).kind, TransferOutcome::Sent);
    }
}

TEST(ProgramGenerator, OnlyRefusalsHaveAMessageAndItNamesTheCard) {
    TransferOutcome tooLarge{TransferOutcome::NumberDoesNotFit, 2, "600", {}, CardKind{CARD_SET_FULL, 2}};
    EXPECT_NE(refusalText(tooLarge).english.find("600 on \"wait the seconds you type\""), std::string::npos);
    EXPECT_NE(refusalText(tooLarge).japanese.find("「きめた びょうすう まつ」の かず 600"), std::string::npos);
    expectNamesLine(tooLarge, 30);
    for (auto kind : {TransferOutcome::Sent, TransferOutcome::Failed, TransferOutcome::Cancelled, TransferOutcome::CheckFailed}) {
        const TransferOutcome outcome{kind, 2, "", {}, {}};
        EXPECT_FALSE(outcome.refused());
        EXPECT_TRUE(refusalText(outcome).english.empty() && refusalText(outcome).japanese.empty());
    }
}

namespace {

long long sumOf(const std::vector<int>& delays) {
    long long sum = 0;
    for (int d : delays) sum += d > 0 ? d : 0;
    return sum;
}

} // namespace

TEST(ProgramGenerator, FastTypingHalvesOnlyJamsOwnPauseAndTypesTheSameBytes) {
    FieldSnapshot field;
    const auto servo = testsupport::cardTyping("PWM 3, 145");
    ASSERT_TRUE(servo) << "no card types PWM 3, 145";
    for (int row = 0; row < 40; ++row) put(field, row, *servo);
    ByteCollector normal, fast;
    ASSERT_EQ(transferProgram(field, DIALECT_JAM, normal).kind, TransferOutcome::Sent);
    ASSERT_EQ(transferProgram(field, DIALECT_JAM, fast, TypingPace::Fast).kind, TransferOutcome::Sent);
    EXPECT_EQ(fast.bytes, normal.bytes);
    ASSERT_EQ(normal.bytes.size(), 660u);
    ASSERT_EQ(fast.delays.size(), normal.delays.size());
    for (size_t i = 0; i < normal.delays.size(); ++i)
        EXPECT_EQ(fast.delays[i], normal.delays[i] == 50 ? 25 : normal.delays[i]) << "byte " << i;
    // The break's half second, SAVE's 60 ms and the second after it stay.
    EXPECT_EQ(fast.delays.front(), 500);
    EXPECT_EQ(sumOf(normal.delays), 34460);
    EXPECT_EQ(sumOf(fast.delays), 18160);

    // Latte and que keep their pace.
    put(field, 0, kLoop3Start);
    put(field, 2, kLoop3End);
    for (int dialect : {DIALECT_LATTE, DIALECT_QUE}) {
        ByteCollector same, asked;
        transferProgram(field, dialect, same);
        transferProgram(field, dialect, asked, TypingPace::Fast);
        EXPECT_EQ(asked.bytes, same.bytes);
        EXPECT_EQ(asked.delays, same.delays);
        EXPECT_FALSE(paceChangesDialect(TypingPace::Fast, dialect));
    }
    EXPECT_TRUE(paceChangesDialect(TypingPace::Fast, DIALECT_JAM));
    EXPECT_FALSE(paceChangesDialect(TypingPace::Normal, DIALECT_JAM));
}
