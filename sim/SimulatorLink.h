#pragma once
// The simulated board behind the same link and typing a real board has: the
// generator's texts go through LinkProgramOutput and sendText with their
// pauses, byte by byte, into a SimulatorLink. The pauses are taken on the
// board's own virtual time (VirtualPacingClock), so typing and program run
// on one clock and nothing sleeps.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cards/FieldSnapshot.h"
#include "cards/ProgramGenerator.h"
#include "device/CorvinaCardSerialManager.h"
#include "device/Link.h"
#include "device/Typing.h"
#include "sim/BoardSimulator.h"

namespace sim {

// A pacing clock whose time is the board's: now() reads it, sleepUntil()
// runs the board up to the deadline at once. Time 0 of the board is the
// time_point of a zero duration.
class VirtualPacingClock : public PacingClock {
public:
    explicit VirtualPacingClock(std::shared_ptr<BoardSimulator> board);

    std::chrono::steady_clock::time_point now() override;
    // Deadlines between two milliseconds count as the later one.
    void sleepUntil(std::chrono::steady_clock::time_point deadline) override;

    static std::chrono::steady_clock::time_point timeAt(long ms);

private:
    std::shared_ptr<BoardSimulator> _board;
};

// Hands every byte written to the board, stamped with the board's time,
// which VirtualPacingClock keeps: the link and the typing share one clock.
class SimulatorLink : public Link {
public:
    explicit SimulatorLink(std::shared_ptr<BoardSimulator> board);

    // Never fails: the simulated board takes keys at any rate.
    bool writeByte(std::uint8_t byte, const std::atomic<bool>* cancel) override;
    bool readAvailable(std::string& into) override;
    bool canAnswer() const override { return true; }
    std::string describe() const override;

private:
    std::shared_ptr<BoardSimulator> _board;
};

// A board manager whose one link opens onto the simulator, and the clock to
// type with: what TypingContext needs to type into the simulated board.
class SimulatorConnection {
public:
    explicit SimulatorConnection(std::shared_ptr<BoardSimulator> board);
    ~SimulatorConnection();
    SimulatorConnection(const SimulatorConnection&) = delete;
    SimulatorConnection& operator=(const SimulatorConnection&) = delete;

    // Typing through the open link, paced on the board's time.
    TypingContext context(const std::atomic<bool>* cancel = nullptr, std::function<void(char)> onChar = {});
    CorvinaCardSerialManager& manager() { return _manager; }
    VirtualPacingClock& clock() { return _clock; }

private:
    std::shared_ptr<BoardSimulator> _board;
    CorvinaCardSerialManager _manager;
    VirtualPacingClock _clock;
};

// Types the program of `snapshot` into the board in the board's dialect,
// as a send does: break, stop text, prelude, lines, epilogue, with the
// pauses of `pace`. Returns once the last byte went in.
TransferOutcome typeProgram(const std::shared_ptr<BoardSimulator>& board, const FieldSnapshot& snapshot,
                            TypingPace pace = TypingPace::Normal);
// The stop control: the dialect's break, then its stop text.
bool typeStopSequence(const std::shared_ptr<BoardSimulator>& board);

// What a program does on a fresh board: typed as a send types it, then run
// for `runMs` of its own time after RUN (latte: "ms .").
struct Simulation {
    TransferOutcome outcome;
    bool ran = false;                 // RUN was entered
    std::vector<TraceEvent> trace;    // up to runMs after RUN
    std::size_t droppedEvents = 0;
    std::vector<std::string> screen;  // at the end
    BoardState state;                 // at the end
};
Simulation simulate(const FieldSnapshot& snapshot, int dialect, long runMs, TypingPace pace = TypingPace::Normal);

} // namespace sim
