#pragma once
// Programs of real cards, typed into a simulated board as the board would
// receive them, and the trace read back as "<ms> <text>" lines.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cards/CardCatalog.h"
#include "cards/ProgramGenerator.h"
#include "sim/BoardSimulator.h"
#include "sim/SimulatorLink.h"
#include "support/CardTyping.h"

namespace simtest {

// The card whose jam text is `jam`, looked up as a user would see it.
inline CardKind card(const std::string& jam) {
    if (const auto found = testsupport::cardTyping(jam)) return *found;
    throw std::invalid_argument("no card types " + jam);
}

// One card of a program: its jam text and the number typed on it.
struct Row {
    Row(const char* jam_, std::string number_ = {}) : jam(jam_), number(std::move(number_)) {}
    std::string jam;
    std::string number;
};

// The cards on rows 0, 1, 2, ... in order.
inline FieldSnapshot field(std::initializer_list<Row> rows) {
    FieldSnapshot snapshot;
    int row = 0;
    for (const Row& r : rows) {
        snapshot.rows[static_cast<size_t>(row)] = SnapshotCard{card(r.jam), r.number, {}, 0, row};
        ++row;
    }
    return snapshot;
}

// Types `bytes` into the board from `atMs` on, each key followed by its
// pause, as the typing paces them; the time after the last pause.
inline long feed(sim::BoardSimulator& board, const std::string& bytes, const std::vector<int>& delays, long atMs) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        board.receive(static_cast<std::uint8_t>(bytes[i]), atMs);
        atMs += i < delays.size() ? std::max(delays[i], 0) : 0;
    }
    board.advanceTo(atMs);
    return atMs;
}

// Keys typed by hand: `ms` apart.
inline long type(sim::BoardSimulator& board, const std::string& keys, long atMs, int ms = 20) {
    return feed(board, keys, std::vector<int>(keys.size(), ms), atMs);
}

// The generator's bytes for `snapshot`, typed with their pauses from time 0;
// `listed`: with the LIST of a checked transfer.
inline long feedProgram(sim::BoardSimulator& board, const FieldSnapshot& snapshot, bool listed = false) {
    ByteCollector bytes;
    bytes.silentBoard = listed;
    const TransferOutcome outcome = transferProgram(snapshot, board.dialect(), bytes);
    EXPECT_EQ(outcome.kind, TransferOutcome::Sent);
    return feed(board, bytes.bytes, bytes.delays, board.nowMs());
}

// The stop control's bytes with their pauses, as runStopSequence types them.
inline long feedStop(sim::BoardSimulator& board) {
    const CardCatalog::DialectInfo& info = CardCatalog::dialect(board.dialect());
    long at = feed(board, info.breakCode.text, {info.breakCode.delayMs}, board.nowMs());
    return feed(board, info.stopCode.text, std::vector<int>(info.stopCode.text.size(), info.stopCode.delayMs), at);
}

// The trace as the command-line tool prints it.
inline std::vector<std::string> lines(const std::vector<sim::TraceEvent>& trace) {
    std::vector<std::string> result;
    for (const sim::TraceEvent& event : trace) result.push_back(std::to_string(event.ms) + " " + event.text);
    return result;
}

// Runs the board to `ms` after its program started.
inline void runFor(sim::BoardSimulator& board, long ms) {
    ASSERT_GE(board.runStartMs(), 0) << "the program never started";
    board.advanceTo(board.runStartMs() + ms);
}

// The screen line after the first that reads `line`; empty when there is none.
inline std::string lineBelow(const std::vector<std::string>& screen, const std::string& line) {
    for (size_t i = 0; i + 1 < screen.size(); ++i)
        if (screen[i] == line) return screen[i + 1];
    return {};
}

inline bool shows(const std::vector<std::string>& screen, const std::string& line) {
    for (const std::string& l : screen)
        if (l == line) return true;
    return false;
}

} // namespace simtest
