// The same cards in jam and in latte make the board do the same things at
// the same times, and the row the editor lights while the board waits is
// the same in both. Car cards set every output at once while the output
// cards change one in latte's variable o, so no program mixes the two.
#include <gtest/gtest.h>

#include <random>

#include "tests/sim/SimTestSupport.h"
#include "tests/support/ProofRuns.h"

using namespace simtest;

namespace {

constexpr long kRunMs = 12000;
constexpr long kSampleMs = 250;

// Everything of an event but its text, which differs between the dialects
// ("OUT 2,1" against "OUT 2").
struct Moment {
    long ms;
    sim::BoardState state;
    bool operator==(const Moment&) const = default;
};

std::vector<Moment> moments(const std::vector<sim::TraceEvent>& trace) {
    std::vector<Moment> result;
    for (const sim::TraceEvent& event : trace) result.push_back({event.ms, event.after});
    return result;
}

std::string describe(const FieldSnapshot& snapshot) {
    std::string text;
    for (const auto& row : snapshot.rows)
        if (row) text += CardCatalog::cardCode(row->kind, DIALECT_JAM).text + " " + row->numberText + " | ";
    return text;
}

// The jam text of the card on `row`; empty for no row or an empty one.
std::string jamText(const FieldSnapshot& snapshot, int row) {
    if (row < 0 || static_cast<size_t>(row) >= snapshot.rows.size()) return {};
    const auto& card = snapshot.rows[static_cast<size_t>(row)];
    return card ? CardCatalog::cardCode(card->kind, DIALECT_JAM).text : std::string();
}

// Runs `snapshot` in both dialects side by side and compares them.
void expectSameInBothDialects(const FieldSnapshot& snapshot) {
    SCOPED_TRACE(describe(snapshot));
    auto jam = std::make_shared<sim::BoardSimulator>(DIALECT_JAM);
    auto latte = std::make_shared<sim::BoardSimulator>(DIALECT_LATTE);
    ASSERT_EQ(typeProgram(jam, snapshot).kind, TransferOutcome::Sent);
    ASSERT_EQ(typeProgram(latte, snapshot).kind, TransferOutcome::Sent);
    const std::map<int, int> jamRows = programLineRows(snapshot, DIALECT_JAM);
    const std::map<int, int> latteRows = programLineRows(snapshot, DIALECT_LATTE);
    // The row lit while the board runs; -1 when nothing runs. A board
    // between events never stands on a line of no card.
    auto rowOf = [](const sim::BoardSimulator& board, const std::map<int, int>& rows) {
        const int line = board.runningLine();
        if (line < 0) return -1;
        auto row = rows.find(line);
        EXPECT_TRUE(row != rows.end() && row->second >= 0) << "running line " << line << " lights no card";
        return row == rows.end() ? -2 : row->second;
    };

    // The typing goes on a little after RUN (jam's line end, latte's): the
    // boards are compared from where both have come.
    const long typedOn = std::max(jam->nowMs() - jam->runStartMs(), latte->nowMs() - latte->runStartMs());
    for (long t = (typedOn / kSampleMs + 1) * kSampleMs; t <= kRunMs; t += kSampleMs) {
        jam->advanceTo(jam->runStartMs() + t);
        latte->advanceTo(latte->runStartMs() + t);
        const int jamRow = rowOf(*jam, jamRows), latteRow = rowOf(*latte, latteRows);
        EXPECT_EQ(jamRow == -1, latteRow == -1) << "at " << t << " ms one dialect still runs";
        // Both wait in the same wait card; a loop that waits for nothing
        // lets time pass at its end in jam and at its start in latte.
        if (jamText(snapshot, jamRow).rfind("WAIT", 0) == 0) {
            EXPECT_EQ(jamRow, latteRow) << "at " << t << " ms";
        }
    }
    const std::vector<sim::TraceEvent> jamTrace = jam->trace(), latteTrace = latte->trace();
    EXPECT_EQ(moments(jamTrace), moments(latteTrace));
    EXPECT_EQ(jam->droppedEvents(), latte->droppedEvents());
    EXPECT_EQ(jam->state(), latte->state());
    for (const sim::TraceEvent& event : jamTrace)
        EXPECT_EQ(event.text.find("error"), std::string::npos) << event.ms << " " << event.text;
}

// The cards a random program draws from: one of two kinds of outputs.
std::vector<Row> palette(bool car) {
    std::vector<Row> rows = {{"LED 1"},     {"LED 0"},     {"WAIT 60"},    {"WAIT 180"},  {"BEEP"},
                             {"PWM 3, 60"}, {"PWM 3, 145"}, {"PWM 3, 230"}, {"PWM 4, 60"}, {"PWM 4, 145"},
                             {"PWM 4, 230"}};
    // Seconds that are whole in both sixtieths and milliseconds.
    for (const char* seconds : {"0.05", "0.1", "0.25", "0.5", "1", "1.5"}) rows.push_back({"WAIT @", seconds});
    if (car) {
        for (const char* out : {"OUT 33", "OUT 0", "OUT 18", "OUT 34", "OUT 32", "OUT 16", "OUT 17", "OUT 1", "OUT 2"})
            rows.push_back({out});
    } else {
        for (const char* out : {"OUT 1, 1", "OUT 1, 0", "OUT 2, 1", "OUT 2, 0", "OUT 3, 1", "OUT 3, 0", "OUT 4, 1",
                                "OUT 4, 0", "OUT 5, 1", "OUT 5, 0", "OUT 6, 1", "OUT 6, 0"})
            rows.push_back({out});
    }
    return rows;
}

// Cards in a block of loops nested well: counted loops at most three deep,
// forever loops anywhere.
void randomBlock(std::mt19937& rng, const std::vector<Row>& cards, int depth, std::vector<Row>& out) {
    const int items = std::uniform_int_distribution<int>(depth == 0 ? 2 : 1, depth == 0 ? 8 : 4)(rng);
    for (int i = 0; i < items; ++i) {
        const int pick = std::uniform_int_distribution<int>(0, 9)(rng);
        if (pick < 6 || depth >= 3) {
            out.push_back(cards[std::uniform_int_distribution<size_t>(0, cards.size() - 1)(rng)]);
        } else if (pick < 9) {
            const int kind = std::uniform_int_distribution<int>(0, 2)(rng);
            if (kind == 0) out.push_back({"FOR I = 1 TO 3"});
            else if (kind == 1) out.push_back({"FOR I = 1 TO 5"});
            else out.push_back({"FOR I = 1 TO @", std::to_string(std::uniform_int_distribution<int>(1, 3)(rng))});
            randomBlock(rng, cards, depth + 1, out);
            out.push_back({"NEXT"});
        } else {
            out.push_back({"@LOOP"});
            randomBlock(rng, cards, depth + 1, out);
            out.push_back({"GOTO @LOOP"});
        }
    }
}

FieldSnapshot snapshotOf(const std::vector<Row>& rows) {
    FieldSnapshot snapshot;
    for (size_t row = 0; row < rows.size(); ++row)
        snapshot.rows[row] = SnapshotCard{card(rows[row].jam), rows[row].number, {}, 0, static_cast<int>(row)};
    return snapshot;
}

} // namespace

TEST(DialectAgreement, ChosenProgramsRunAlike) {
    const std::vector<FieldSnapshot> programs = {
        field({{"@LOOP"}, {"LED 1"}, {"WAIT 60"}, {"LED 0"}, {"WAIT 60"}, {"GOTO @LOOP"}}),
        field({{"@LOOP"}, {"OUT 33"}, {"WAIT 60"}, {"OUT 34"}, {"WAIT @", "0.5"}, {"GOTO @LOOP"}}),
        field({{"FOR I = 1 TO 3"}, {"FOR I = 1 TO @", "2"}, {"BEEP"}, {"WAIT @", "0.25"}, {"NEXT"}, {"NEXT"},
               {"PWM 3, 230"}, {"PWM 4, 60"}}),
        field({{"FOR I = 1 TO 5"}, {"OUT 1, 1"}, {"WAIT @", "0.1"}, {"OUT 6, 1"}, {"OUT 1, 0"}, {"WAIT @", "0.05"},
               {"NEXT"}, {"OUT 6, 0"}}),
        // Loops that wait for nothing take the same time in both.
        field({{"FOR I = 1 TO 5"}, {"FOR I = 1 TO 5"}, {"FOR I = 1 TO 5"}, {"BEEP"}, {"NEXT"}, {"NEXT"}, {"NEXT"},
               {"LED 1"}}),
        field({{"@LOOP"}, {"OUT 3, 1"}, {"OUT 3, 0"}, {"GOTO @LOOP"}}),
        field({{"FOR I = 1 TO 3"}, {"@LOOP"}, {"LED 1"}, {"WAIT 180"}, {"GOTO @LOOP"}, {"NEXT"}}),
        field({{"@LOOP"}, {"FOR I = 1 TO @", "2"}, {"PWM 3, 60"}, {"WAIT 60"}, {"NEXT"}, {"PWM 3, 145"},
               {"@LOOP"}, {"BEEP"}, {"WAIT @", "1.5"}, {"GOTO @LOOP"}, {"GOTO @LOOP"}}),
    };
    for (const FieldSnapshot& program : programs) expectSameInBothDialects(program);
}

TEST(DialectAgreement, RandomProgramsRunAlike) {
    std::mt19937 rng(testsupport::proofSeed(20261209));
    const int rounds = testsupport::proofRounds(40, 2000);
    for (int round = 0; round < rounds; ++round) {
        std::vector<Row> rows;
        const std::vector<Row> cards = palette(round % 2 == 0);
        while (rows.empty() || rows.size() > 40) {
            rows.clear();
            randomBlock(rng, cards, 0, rows);
        }
        SCOPED_TRACE("round " + std::to_string(round));
        expectSameInBothDialects(snapshotOf(rows));
        if (HasFailure()) return;
    }
}
