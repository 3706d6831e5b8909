#pragma once
// A board on screen for a classroom short of boards: it receives exactly the
// bytes a real board receives and runs them, in jam or in latte, on a
// virtual clock that only its caller moves. It never reads the real clock
// and never sleeps. Pure logic: no drawing, no link of its own.
//
// Every public member may be called from any thread: the send worker types
// into the board while the editor reads its state for drawing.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

// What can be seen and heard of the board at one moment.
struct BoardState {
    bool led = false;
    int outputs = 0;     // bit k is output k + 1 (bits 0 to 5)
    // The last pulse width sent to the servos on PWM 3 and 4, in hundredths
    // of a millisecond (60 one end, 145 the middle, 230 the other end);
    // 0 before any.
    int servo3 = 0;
    int servo4 = 0;
    // The car's motors, from the outputs: +1 forward, -1 back, 0 still.
    // Output 1 drives the left motor forward, 2 back; 6 the right forward, 5 back.
    int leftMotor = 0;
    int rightMotor = 0;
    int beeps = 0;          // tones started since the board was switched on
    bool beeping = false;   // a tone sounds now

    bool operator==(const BoardState&) const = default;
};

// One thing the running program did, as the board shows it.
struct TraceEvent {
    long ms = 0;        // since RUN (latte: "ms .") was entered
    std::string text;   // "LED 1", "OUT 33", "OUT 2,1", "PWM 3,145", "BEEP", or an error as shown
    BoardState after;   // the board just after it

    bool operator==(const TraceEvent&) const = default;
};

namespace detail {
class BoardCore;
class Interpreter;
} // namespace detail

class BoardSimulator {
public:
    static constexpr int kScreenLines = 24;
    // Events kept from one run; a program that outputs in a loop without
    // waiting fills it quickly, and what comes after is counted but dropped.
    static constexpr std::size_t kTraceLimit = 100000;

    // A board switched on at time 0 speaking `dialect` (DIALECT_JAM or
    // DIALECT_LATTE); std::invalid_argument for any other.
    explicit BoardSimulator(int dialect);
    ~BoardSimulator();
    BoardSimulator(const BoardSimulator&) = delete;
    BoardSimulator& operator=(const BoardSimulator&) = delete;

    int dialect() const;

    // One key from the link at `atMs`: the board first runs up to then. A
    // time before the board's own counts as now. Keys come at any rate.
    void receive(std::uint8_t byte, long atMs);
    // Runs the board up to `ms`; a time already passed changes nothing.
    void advanceTo(long ms);
    long nowMs() const;

    BoardState state() const;
    // The last lines of the screen, oldest first, the cursor's line last
    // (empty when the cursor stands at its start); at most kScreenLines.
    std::vector<std::string> screenLines() const;
    // What the board printed on its serial line since the last take, lines
    // ending in CR LF: "OK", errors, LIST. Typed keys are not echoed.
    std::string takePrinted();
    // The line running now: jam its line number, latte the index (from 0) of
    // the line in the captured program file; -1 when no program runs (a
    // line typed at the prompt is no program).
    int runningLine() const;
    // Where the last program stopped on an error (or jam's break), in the
    // numbering of runningLine; -1 when the last run had none.
    int errorLine() const;
    // The program as stored: jam's numbered lines as listed, latte's
    // captured program file line by line.
    std::vector<std::string> program() const;

    // When the last program started running; -1 before any.
    long runStartMs() const;
    // Counts the runs: a new run starts a new trace.
    int runNumber() const;
    // What the programs did since the last run started, errors included;
    // what is typed at the prompt after it counts too.
    std::vector<TraceEvent> trace() const;
    // The trace from event `first` on, for a reader that keeps up.
    std::vector<TraceEvent> traceFrom(std::size_t first) const;
    // Events the full trace had to drop.
    std::size_t droppedEvents() const;

private:
    void advanceLocked(long long ticks);

    mutable std::mutex _mutex;
    int _dialect;
    std::unique_ptr<detail::BoardCore> _core;
    std::unique_ptr<detail::Interpreter> _interpreter;
};

} // namespace sim
