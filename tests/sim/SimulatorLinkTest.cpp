// The simulated board behind the real typing: LinkProgramOutput and
// transferProgram write into a SimulatorLink, paced on the board's own
// clock; and the map from the board's running line to the editor's row.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device/ProgramLink.h"
#include "tests/sim/SimTestSupport.h"

using namespace simtest;
using Lines = std::vector<std::string>;

namespace {

const FieldSnapshot kLoops = field({{"FOR I = 1 TO 3"}, {"LED 1"}, {"WAIT @", "0.5"}, {"LED 0"},
                                    {"FOR I = 1 TO @", "2"}, {"BEEP"}, {"WAIT @", "0.25"}, {"NEXT"}, {"NEXT"},
                                    {"@LOOP"}, {"PWM 4, 230"}, {"WAIT 60"}, {"PWM 4, 60"}, {"WAIT 60"},
                                    {"GOTO @LOOP"}});

} // namespace

TEST(SimulatorLink, TypingThroughTheLinkGivesTheBoardTheRenderedBytesAtTheirTimes) {
    for (int dialect : {DIALECT_JAM, DIALECT_LATTE}) {
        SCOPED_TRACE(CardCatalog::dialect(dialect).name);
        auto typed = std::make_shared<sim::BoardSimulator>(dialect);
        sim::SimulatorConnection connection(typed);
        std::string shown;
        LinkProgramOutput output(connection.context(nullptr, [&shown](char c) { shown += c; }), {});
        const TransferOutcome outcome = transferProgram(kLoops, dialect, output);
        ASSERT_EQ(outcome.kind, TransferOutcome::Sent);
        // The board lists jam back at once, so the check costs only LIST's keys.
        const bool jam = dialect == DIALECT_JAM;
        EXPECT_EQ(outcome.check.result, jam ? ProgramCheck::Result::Checked : ProgramCheck::Result::NotChecked);
        EXPECT_EQ(outcome.check.lines, jam ? 15 : 0);

        sim::BoardSimulator fed(dialect);
        const long typingEnds = feedProgram(fed, kLoops, jam);
        EXPECT_EQ(typed->nowMs(), typingEnds);
        EXPECT_GT(typed->runStartMs(), 0);
        EXPECT_EQ(typed->runStartMs(), fed.runStartMs());
        EXPECT_EQ(typed->program(), fed.program());
        EXPECT_EQ(typed->screenLines(), fed.screenLines());
        runFor(*typed, 8000);
        runFor(fed, 8000);
        EXPECT_EQ(typed->trace(), fed.trace());
        EXPECT_EQ(typed->trace().size(), 18u);  // 6 LED, 6 BEEP, then PWM every second from 3 s on

        // The stored program is what the user saw typed.
        ByteCollector rendered;
        rendered.silentBoard = jam;
        transferProgram(kLoops, dialect, rendered);
        std::string cardLines;
        for (const ByteCollector::Text& text : rendered.texts)
            if (text.reportChars) cardLines += text.text;
        EXPECT_EQ(shown, cardLines);
    }
}

TEST(SimulatorLink, PacingClockIsTheBoardsOwnTime) {
    auto board = std::make_shared<sim::BoardSimulator>(DIALECT_JAM);
    sim::VirtualPacingClock clock(board);
    EXPECT_EQ(clock.now(), sim::VirtualPacingClock::timeAt(0));
    type(*board, "10 LED 1\r20 WAIT 60\r30 LED 0\rRUN\r", 0);
    const long run = board->runStartMs();

    // A pause of the typing is the board running on.
    clock.sleepUntil(sim::VirtualPacingClock::timeAt(run + 999));
    EXPECT_TRUE(board->state().led);
    clock.sleepUntil(sim::VirtualPacingClock::timeAt(run + 999) + std::chrono::microseconds(1));
    EXPECT_EQ(clock.now(), sim::VirtualPacingClock::timeAt(run + 1000));
    EXPECT_FALSE(board->state().led);
    // Time never goes back.
    clock.sleepUntil(sim::VirtualPacingClock::timeAt(0));
    board->advanceTo(run);
    EXPECT_EQ(board->nowMs(), run + 1000);
    board->receive('X', 0);
    EXPECT_EQ(board->nowMs(), run + 1000);
}

TEST(SimulatorLink, LineMapNamesTheRowOfTheRunningLine) {
    FieldSnapshot snapshot;
    auto put = [&snapshot](int row, const char* jam, std::string number = {}) {
        snapshot.rows[static_cast<size_t>(row)] = SnapshotCard{card(jam), std::move(number), {}, 0, row};
    };
    put(0, "FOR I = 1 TO 3");
    put(1, "LED 1");
    put(3, "WAIT 60");  // row 2 stays empty
    put(4, "NEXT");
    EXPECT_EQ(programLineRows(snapshot, DIALECT_JAM), (std::map<int, int>{{10, 0}, {20, 1}, {40, 3}, {50, 4}}));
    // latte: the declarations, the loop start's two lines, the loop end's
    // two, the closing drain.
    EXPECT_EQ(programLineRows(snapshot, DIALECT_LATTE),
              (std::map<int, int>{{0, -1}, {1, 0}, {2, 0}, {3, 1}, {4, 3}, {5, 4}, {6, 4}, {7, -1}}));
    EXPECT_TRUE(programLineRows(snapshot, DIALECT_QUE).empty());

    for (int dialect : {DIALECT_JAM, DIALECT_LATTE}) {
        auto board = std::make_shared<sim::BoardSimulator>(dialect);
        ASSERT_EQ(typeProgram(board, snapshot).kind, TransferOutcome::Sent);
        runFor(*board, 500);
        EXPECT_EQ(programLineRows(snapshot, dialect).at(board->runningLine()), 3) << dialect;
    }

    // A program the generator refuses has no lines.
    put(5, "FOR I = 1 TO @", "0");
    put(6, "NEXT");
    EXPECT_TRUE(programLineRows(snapshot, DIALECT_JAM).empty());
    EXPECT_TRUE(programLineRows(snapshot, DIALECT_LATTE).empty());
}

TEST(SimulatorLink, SimulationRunsTheProgramForItsTimeAfterRun) {
    const sim::Simulation run = sim::simulate(kLoops, DIALECT_LATTE, 2000);
    EXPECT_TRUE(run.ran);
    EXPECT_EQ(lines(run.trace), (Lines{"0 LED 1", "500 LED 0", "500 BEEP", "750 BEEP", "1000 LED 1", "1500 LED 0",
                                       "1500 BEEP", "1750 BEEP", "2000 LED 1"}));

    // jam types on for a tenth of a second after RUN; what the program does
    // meanwhile past its time is cut.
    const sim::Simulation instant = sim::simulate(field({{"LED 1"}, {"WAIT @", "0.05"}, {"LED 0"}}), DIALECT_JAM, 0);
    EXPECT_EQ(lines(instant.trace), Lines{"0 LED 1"});
    EXPECT_FALSE(instant.state.led);

    const sim::Simulation refused =
        sim::simulate(field({{"FOR I = 1 TO @", "0"}, {"NEXT"}}), DIALECT_JAM, 2000);
    EXPECT_EQ(refused.outcome.kind, TransferOutcome::CountBelowOne);
    EXPECT_FALSE(refused.ran);
    EXPECT_TRUE(refused.trace.empty());
}

TEST(SimulatorLink, TheSendWorkerTypesWhileTheEditorRunsAndReadsTheBoard) {
    auto board = std::make_shared<sim::BoardSimulator>(DIALECT_JAM);
    std::atomic<bool> typed{false};
    std::thread worker([&] {
        sim::SimulatorLink link(board);
        std::string printed;
        for (char c : std::string("10 LED 1\r\n20 WAIT 1\r\n30 LED 0\r\n40 WAIT 1\r\n50 GOTO 10\r\nLIST\r\nRUN\r\n")) {
            link.writeByte(static_cast<std::uint8_t>(c), nullptr);
            link.readAvailable(printed);
        }
        typed = true;
    });
    // The editor's frames: the board's time moves on, its state is drawn.
    long ms = 0;
    while (!typed) {
        board->advanceTo(ms += 16);
        board->state();
        board->screenLines();
        board->traceFrom(0);
    }
    worker.join();
    board->advanceTo(ms + 1000);
    EXPECT_GT(board->runNumber(), 0);
    EXPECT_EQ(board->program().size(), 5u);
}
