// The simulated jam board: programs of real cards typed as the generator
// types them, and lines typed by hand, checked by what the board does and
// when, and by what its screen shows.
#include <gtest/gtest.h>

#include "tests/sim/SimTestSupport.h"

using namespace simtest;
using Lines = std::vector<std::string>;

namespace {

std::shared_ptr<sim::BoardSimulator> jamBoard() { return std::make_shared<sim::BoardSimulator>(DIALECT_JAM); }

const FieldSnapshot kCarLoop = field({{"@LOOP"}, {"OUT 33"}, {"WAIT 60"}, {"OUT 34"}, {"WAIT 60"}, {"GOTO @LOOP"}});

} // namespace

TEST(JamBoard, BlinkInAForeverLoopTogglesEverySecond) {
    auto board = jamBoard();
    feedProgram(*board, field({{"@LOOP"}, {"LED 1"}, {"WAIT 60"}, {"LED 0"}, {"WAIT 60"}, {"GOTO @LOOP"}}));
    runFor(*board, 500);
    EXPECT_EQ(board->runningLine(), 30);
    EXPECT_TRUE(board->state().led);
    runFor(*board, 5000);
    EXPECT_EQ(lines(board->trace()),
              (Lines{"0 LED 1", "1000 LED 0", "2000 LED 1", "3000 LED 0", "4000 LED 1", "5000 LED 0"}));
    EXPECT_EQ(board->runningLine(), 50);
    // The typing's own stop text ran before RUN and is no part of the trace.
    EXPECT_EQ(board->runNumber(), 1);
}

TEST(JamBoard, StopSequenceBreaksTheLoopAndSwitchesTheOutputsOff) {
    auto board = jamBoard();
    feedProgram(*board, kCarLoop);
    runFor(*board, 2500);
    EXPECT_EQ(board->state().outputs, 33);
    ASSERT_TRUE(typeStopSequence(board));
    runFor(*board, 10000);

    // The break lands in the first wait; the stop text's OUT0 half a second later.
    EXPECT_EQ(lines(board->traceFrom(3)), (Lines{"2500 Break in 30", "3000 OUT 0"}));
    const std::vector<std::string> screen = board->screenLines();
    EXPECT_EQ(lineBelow(screen, "Break in 30"), "30 WAIT 60");
    EXPECT_EQ(screen[screen.size() - 2], "OK");
    const sim::BoardState state = board->state();
    EXPECT_EQ(state.outputs, 0);
    EXPECT_EQ(state.leftMotor, 0);
    EXPECT_EQ(state.rightMotor, 0);
    EXPECT_EQ(board->runningLine(), -1);
    EXPECT_EQ(board->errorLine(), 30);
}

TEST(JamBoard, NextClosesTheInnermostLoop) {
    auto board = jamBoard();
    feedProgram(*board, field({{"FOR I = 1 TO 3"}, {"FOR I = 1 TO @", "2"}, {"BEEP"}, {"WAIT @", "0.5"},
                               {"NEXT"}, {"NEXT"}, {"LED 1"}}));
    runFor(*board, 10000);
    EXPECT_EQ(lines(board->trace()), (Lines{"0 BEEP", "500 BEEP", "1000 BEEP", "1500 BEEP", "2000 BEEP",
                                            "2500 BEEP", "3000 LED 1"}));
    EXPECT_EQ(board->state().beeps, 6);
    EXPECT_EQ(board->runningLine(), -1);
    const std::vector<std::string> screen = board->screenLines();
    EXPECT_EQ(screen[screen.size() - 2], "OK");
}

TEST(JamBoard, CarDrivesForwardThenSpins) {
    auto board = jamBoard();
    feedProgram(*board, field({{"OUT 33"}, {"WAIT 60"}, {"OUT 34"}, {"WAIT 60"}, {"OUT 0"}}));
    runFor(*board, 3000);
    const std::vector<sim::TraceEvent> trace = board->trace();
    ASSERT_EQ(lines(trace), (Lines{"0 OUT 33", "1000 OUT 34", "2000 OUT 0"}));
    EXPECT_EQ(std::make_pair(trace[0].after.leftMotor, trace[0].after.rightMotor), std::make_pair(1, 1));
    EXPECT_EQ(std::make_pair(trace[1].after.leftMotor, trace[1].after.rightMotor), std::make_pair(-1, 1));
    EXPECT_EQ(std::make_pair(trace[2].after.leftMotor, trace[2].after.rightMotor), std::make_pair(0, 0));

    // Every way the car cards drive: output 1 left forward, 2 left back, 6 right forward, 5 right back.
    const struct {
        int out, left, right;
    } drives[] = {{33, 1, 1}, {18, -1, -1}, {34, -1, 1}, {17, 1, -1}, {32, 0, 1},
                  {1, 1, 0},  {16, 0, -1},  {2, -1, 0},  {3, 0, 0},   {0, 0, 0}};
    for (const auto& drive : drives) {
        type(*board, "OUT " + std::to_string(drive.out) + "\r", board->nowMs());
        EXPECT_EQ(board->state().leftMotor, drive.left) << drive.out;
        EXPECT_EQ(board->state().rightMotor, drive.right) << drive.out;
    }
}

TEST(JamBoard, StrayLoopEndShowsNotMatchWithItsLine) {
    auto board = jamBoard();
    feedProgram(*board, field({{"NEXT"}, {"LED 1"}}));
    runFor(*board, 1000);
    EXPECT_EQ(lines(board->trace()), Lines{"0 Not match in 10"});
    EXPECT_EQ(lineBelow(board->screenLines(), "Not match in 10"), "10 NEXT");
    EXPECT_FALSE(board->state().led);
    EXPECT_EQ(board->errorLine(), 10);
}

TEST(JamBoard, ErrorsShowAsTheBoardShowsThem) {
    const struct {
        std::string program;
        std::string shown, below;
    } cases[] = {
        {"10 LED 1\r20 PWN 3\r", "Syntax error in 20", "20 PWN 3"},
        {"10 FOR I=1 TO 2\r20 FOR J=1 TO 2\r30 FOR K=1 TO 2\r40 FOR L=1 TO 2\r50 FOR M=1 TO 2\r"
         "60 FOR N=1 TO 2\r70 FOR O=1 TO 2\r",
         "Stack overflow in 70", "70 FOR O=1 TO 2"},
        {"10 FOR I=1 TO 0\r", "Illegal argument in 10", "10 FOR I=1 TO 0"},  // would run no time
        {"10 OUT 7,1\r", "Illegal argument in 10", "10 OUT 7,1"},
        {"10 WAIT -1\r", "Illegal argument in 10", "10 WAIT -1"},
        {"10 GOTO 99\r", "Line error in 10", "10 GOTO 99"},
        {"10 GOTO @NOWHERE\r", "Line error in 10", "10 GOTO @NOWHERE"},
        {"10 LED 1:LED 0 X\r", "Syntax error in 10", "10 LED 1:LED 0 X"},
    };
    for (const auto& c : cases) {
        auto board = jamBoard();
        type(*board, c.program + "RUN\r", 0);
        runFor(*board, 100);
        const std::vector<sim::TraceEvent> trace = board->trace();
        ASSERT_FALSE(trace.empty()) << c.program;
        EXPECT_EQ(trace.back().text, c.shown) << c.program;
        EXPECT_EQ(lineBelow(board->screenLines(), c.shown), c.below) << c.program;
        EXPECT_EQ(board->runningLine(), -1) << c.program;
    }

    // At the prompt an error names no line.
    auto board = jamBoard();
    type(*board, "PWN 3\r", 0);
    EXPECT_TRUE(shows(board->screenLines(), "Syntax error"));
    EXPECT_TRUE(board->trace().empty());  // nothing has run yet
    EXPECT_EQ(board->errorLine(), -1);
}

TEST(JamBoard, PromptStoresReplacesAndClearsLines) {
    auto board = jamBoard();
    long at = type(*board, "10 LED 1\r\n10 LED 0\r20 BEEP\n\n\n", 0);
    EXPECT_EQ(board->program(), (Lines{"10 LED 0", "20 BEEP"}));
    at = type(*board, "20\rSAVE 0\r", at);
    EXPECT_EQ(board->program(), Lines{"10 LED 0"});
    EXPECT_TRUE(shows(board->screenLines(), "Saved 9byte"));  // "10 LED 0" and its line end
    at = type(*board, "NEW\r", at);
    EXPECT_TRUE(board->program().empty());

    // A keyword may touch its number; CR and LF each end a line.
    at = type(*board, "OUT0\nLED1\rOUT 2,1\r\nPWM 3,145\n", at);
    sim::BoardState state = board->state();
    EXPECT_TRUE(state.led);
    EXPECT_EQ(state.outputs, 2);
    EXPECT_EQ(state.servo3, 145);

    // The break key at the prompt, with nothing running, does nothing.
    type(*board, "\x1bLED 0\r", at);
    EXPECT_FALSE(board->state().led);
}

TEST(JamBoard, ListPrintsOnTheSerialLineAScreenAtATime) {
    auto board = jamBoard();
    // Forty lines; line 100 takes two rows of 32 characters.
    std::string keys = "NEW\r\n";
    Lines listed;
    for (int n = 10; n <= 400; n += 10) {
        const std::string line = std::to_string(n) + (n == 100 ? " OUT 1,0:OUT 2,0:OUT 3,0:OUT 4,0" : " LED 1");
        keys += line + "\r\n";
        listed.push_back(line);
    }
    long at = type(*board, keys, 0);
    EXPECT_EQ(board->takePrinted(), "OK\r\n") << "NEW answers; stored lines and keys are not echoed";

    at = type(*board, "LIST\r\n", at, 17);
    std::string first;
    for (size_t i = 0; i < 22; ++i) first += listed[i] + "\r\n";
    EXPECT_EQ(board->takePrinted(), first) << "a full screen, then 40 frames' pause";
    board->advanceTo(at + 600);
    EXPECT_EQ(board->takePrinted(), "");
    board->advanceTo(at + 680);
    std::string rest;
    for (size_t i = 22; i < 40; ++i) rest += listed[i] + "\r\n";
    EXPECT_EQ(board->takePrinted(), rest + "OK\r\n");
    EXPECT_EQ(board->program(), listed);

    // The break stops a listing between screens.
    at = type(*board, "LIST\r", at + 700);
    board->takePrinted();
    type(*board, "\x1b", at + 100);
    board->advanceTo(at + 2000);
    EXPECT_EQ(board->takePrinted(), "Break\r\n");
}

TEST(JamBoard, GotoFindsTheFirstLineWhoseLabelBeginsItsTarget) {
    auto board = jamBoard();
    type(*board, "10 GOTO @LOOP\r20 @LOOPX\r30 LED 1\r40 END\r50 @LO\r60 OUT 1\rRUN\r", 0);
    runFor(*board, 100);
    EXPECT_EQ(lines(board->trace()), Lines{"0 OUT 1"});
}

TEST(JamBoard, WaitCountsSixtiethsAndIntegersWrapAtSixteenBits) {
    auto board = jamBoard();
    type(*board, "10 LED 1\r20 WAIT 1\r30 LED 0\r40 WAIT 2\r50 LED 1\r60 OUT 32767+34\r70 WAIT 30000*3\rRUN\r", 0);
    runFor(*board, 1000);
    const std::vector<sim::TraceEvent> trace = board->trace();
    // 90000 wraps to 24464 frames, not a negative wait.
    EXPECT_EQ(lines(trace), (Lines{"0 LED 1", "17 LED 0", "50 LED 1", "50 OUT -32735"}));
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[3].after.outputs, 33);
    EXPECT_EQ(board->runningLine(), 70);
}

TEST(JamBoard, KeysTypedWhileAProgramRunsWaitForThePrompt) {
    auto board = jamBoard();
    type(*board, "10 WAIT 120\rRUN\r", 0);
    type(*board, "LED 1\r", board->runStartMs() + 500);
    EXPECT_FALSE(board->state().led);
    runFor(*board, 3000);
    EXPECT_EQ(lines(board->trace()), Lines{"2000 LED 1"});
}

TEST(JamBoard, LoopThatWaitsForNothingStillTakesTimeAndBreaks) {
    auto board = jamBoard();
    type(*board, "10 OUT 33\r20 OUT 34\r30 GOTO 10\rRUN\r", 0);
    runFor(*board, 100);
    std::vector<sim::TraceEvent> trace = board->trace();
    ASSERT_GT(trace.size(), 100u);
    EXPECT_GE(trace.back().ms, 99);
    EXPECT_LE(trace.back().ms, 100);
    type(*board, "\x1b", board->nowMs());
    runFor(*board, 200);
    trace = board->trace();
    EXPECT_EQ(trace.back().text.rfind("Break in ", 0), 0u) << trace.back().text;
    EXPECT_EQ(trace.back().ms, 100);
    EXPECT_EQ(board->runningLine(), -1);

    // A program that runs itself again turns like a loop.
    type(*board, "NEW\r10 LED 1\r20 RUN\rRUN\r", board->nowMs());
    const int runs = board->runNumber();
    runFor(*board, 100);
    EXPECT_GT(board->runNumber(), runs + 100);
    EXPECT_EQ(board->runningLine() / 10, 1);
}
