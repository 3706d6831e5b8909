// The simulated latte board: its shell, the file captured from the typed
// program, the program's own reading of the keys, and what it does when.
#include <gtest/gtest.h>

#include "tests/sim/SimTestSupport.h"

using namespace simtest;
using Lines = std::vector<std::string>;

namespace {

std::shared_ptr<sim::BoardSimulator> latteBoard() { return std::make_shared<sim::BoardSimulator>(DIALECT_LATTE); }

// A file captured and run, typed by hand.
long runFile(sim::BoardSimulator& board, const std::string& file, long at = 0) {
    return type(board, "cat uart > .\n" + file + "\x04\nms .\n", at, 5);
}

} // namespace

TEST(LatteBoard, BlinkInAForeverLoopTogglesEverySecond) {
    auto board = latteBoard();
    feedProgram(*board, field({{"@LOOP"}, {"LED 1"}, {"WAIT 60"}, {"LED 0"}, {"WAIT 60"}, {"GOTO @LOOP"}}));
    // The captured file: the declarations, a line per card, the closing drain.
    EXPECT_EQ(board->program(), (Lines{"var i=0;var o=0;", "while(uart()==-1){", "  led(1);", "  sleep(1000);",
                                       "  led(0);", "  sleep(1000);", "}", "while(uart()!=-1);"}));
    runFor(*board, 500);
    EXPECT_EQ(board->runningLine(), 3);
    runFor(*board, 5000);
    EXPECT_EQ(lines(board->trace()),
              (Lines{"0 LED 1", "1000 LED 0", "2000 LED 1", "3000 LED 0", "4000 LED 1", "5000 LED 0"}));
    EXPECT_EQ(board->runningLine(), 5);
}

TEST(LatteBoard, StopSequenceEndsALoopThatWaitsForNothingAndSwitchesTheOutputsOff) {
    auto board = latteBoard();
    feedProgram(*board, field({{"@LOOP"}, {"OUT 33"}, {"OUT 34"}, {"GOTO @LOOP"}}));
    runFor(*board, 2500);
    ASSERT_NE(board->runningLine(), -1);
    ASSERT_TRUE(typeStopSequence(board));
    runFor(*board, 10000);
    // The blank ends the loop at its next test; the drain finds nothing
    // more, so the stop text reaches the shell and its out(0) runs.
    const std::vector<sim::TraceEvent> trace = board->trace();
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(lines({trace.back()}), Lines{"2520 OUT 0"});
    EXPECT_LE(trace[trace.size() - 2].ms, 2501);
    EXPECT_EQ(board->state().outputs, 0);
    EXPECT_EQ(board->runningLine(), -1);
}

// What the generated program does on the board: a key typed during a sleep
// waits for the loop's next test, and the program's last line reads away
// whatever came meanwhile, the stop text too. A second stop, with nothing
// running, reaches the shell.
TEST(LatteBoard, StopDuringASleepEndsTheLoopAtItsNextTestAndTheDrainTakesTheStopText) {
    auto board = latteBoard();
    feedProgram(*board, field({{"@LOOP"}, {"OUT 33"}, {"WAIT 60"}, {"OUT 34"}, {"WAIT 60"}, {"GOTO @LOOP"}}));
    runFor(*board, 2500);
    ASSERT_TRUE(typeStopSequence(board));
    runFor(*board, 3999);
    EXPECT_EQ(board->runningLine(), 5);  // the second sleep
    runFor(*board, 10000);
    EXPECT_EQ(lines(board->traceFrom(3)), Lines{"3000 OUT 34"});
    EXPECT_EQ(board->runningLine(), -1);
    EXPECT_EQ(board->state().outputs, 34);

    ASSERT_TRUE(typeStopSequence(board));
    EXPECT_EQ(lines(board->traceFrom(4)), Lines{"10020 OUT 0"});
    EXPECT_EQ(board->state().outputs, 0);
}

TEST(LatteBoard, CountedLoopsAndTheCarRunAsTheCardsSay) {
    auto board = latteBoard();
    feedProgram(*board, field({{"FOR I = 1 TO 3"}, {"FOR I = 1 TO @", "2"}, {"BEEP"}, {"WAIT @", "0.5"},
                               {"NEXT"}, {"NEXT"}, {"OUT 33"}, {"WAIT 60"}, {"OUT 34"}, {"WAIT 60"},
                               {"PWM 3, 145"}}));
    runFor(*board, 10000);
    const std::vector<sim::TraceEvent> trace = board->trace();
    EXPECT_EQ(lines(trace), (Lines{"0 BEEP", "500 BEEP", "1000 BEEP", "1500 BEEP", "2000 BEEP", "2500 BEEP",
                                   "3000 OUT 33", "4000 OUT 34", "5000 PWM 3,145"}));
    ASSERT_EQ(trace.size(), 9u);
    EXPECT_EQ(std::make_pair(trace[6].after.leftMotor, trace[6].after.rightMotor), std::make_pair(1, 1));
    EXPECT_EQ(std::make_pair(trace[7].after.leftMotor, trace[7].after.rightMotor), std::make_pair(-1, 1));
    EXPECT_EQ(trace[8].after.servo3, 145);  // 1450 microseconds
    EXPECT_EQ(board->runningLine(), -1);
}

TEST(LatteBoard, SyntaxErrorsStopTheFileBeforeItRuns) {
    // A stray loop end: the whole file is read first, so nothing runs.
    auto board = latteBoard();
    feedProgram(*board, field({{"LED 1"}, {"NEXT"}}));
    runFor(*board, 1000);
    EXPECT_EQ(lines(board->trace()), Lines{"0 Syntax error in line 4"});
    EXPECT_EQ(lineBelow(board->screenLines(), "Syntax error in line 4"), "}");
    EXPECT_EQ(board->errorLine(), 3);
    EXPECT_FALSE(board->state().led);

    const struct {
        std::string file, shown, below;
    } cases[] = {
        {"var o=0;\nled(1);\nledd(0);\n", "Syntax error in line 3", "ledd(0);"},
        {"led(1);\nout(x);\n", "Syntax error in line 2", "out(x);"},          // never declared
        {"while(uart()==-1){\n  led(1);\n", "Syntax error in line 3", ""},    // never closed
        {"pwm(3);\n", "Syntax error in line 1", "pwm(3);"},
        {"led(1) led(0);\n", "Syntax error in line 1", "led(1) led(0);"},
    };
    for (const auto& c : cases) {
        auto typed = latteBoard();
        runFile(*typed, c.file);
        runFor(*typed, 100);
        EXPECT_EQ(lines(typed->trace()), Lines{"0 " + c.shown}) << c.file;
        EXPECT_EQ(lineBelow(typed->screenLines(), c.shown), c.below) << c.file;
        EXPECT_FALSE(typed->state().led) << c.file;
    }
}

TEST(LatteBoard, ShellTakesStatementsUntilExit) {
    auto board = latteBoard();
    long at = type(*board, " ms\nout(5)\nvar k=3\nout(k+1)\nexit()\nout(6)\nfoo\n", 0);
    EXPECT_EQ(board->state().outputs, 4);
    // Back in the shell, out(6) is no command.
    const std::vector<std::string> screen = board->screenLines();
    EXPECT_EQ(Lines(screen.end() - 5, screen.end()), (Lines{"out(6)", "Syntax error", "foo", "Syntax error", ""}));
    EXPECT_TRUE(board->trace().empty());  // no program has run
    // A file that is not there.
    type(*board, "ms nothing\n", at);
    EXPECT_TRUE(shows(board->screenLines(), "No such file: nothing"));
}

TEST(LatteBoard, ProgramReadsTheKeysAndLeavesTheRestToTheShell) {
    auto board = latteBoard();
    const long at = runFile(*board, "var c=0;\nwhile(uart()==-1);\nc=uart();\nout(c);\n");
    ASSERT_NE(board->runningLine(), -1);
    EXPECT_EQ(board->runningLine(), 1);
    // Typed at once: x ends the wait, y is read, the rest goes to the shell
    // once the program ends.
    type(*board, "xyz\n", at + 100, 0);
    runFor(*board, 1000);
    const std::vector<sim::TraceEvent> trace = board->trace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].text, "OUT 121");
    EXPECT_EQ(trace[0].after.outputs, 121 & 63);
    EXPECT_EQ(trace[1].text, "Syntax error");
    EXPECT_EQ(board->runningLine(), -1);
}

TEST(LatteBoard, CaptureKeepsTheBytesUpToTheEndOfTransmission) {
    auto board = latteBoard();
    type(*board, "cat uart > prog\nled(1);\n  sleep(20);\r\nled(0);\x04ms prog\n", 0, 1);
    EXPECT_EQ(board->program(), (Lines{"led(1);", "  sleep(20);\r", "led(0);"}));
    runFor(*board, 100);
    EXPECT_EQ(lines(board->trace()), (Lines{"0 LED 1", "20 LED 0"}));
}
