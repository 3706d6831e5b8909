#include "sim/SimulatorLink.h"

#include <algorithm>
#include <optional>

#include "cards/CardCatalog.h"
#include "device/ProgramLink.h"

namespace sim {

VirtualPacingClock::VirtualPacingClock(std::shared_ptr<BoardSimulator> board) : _board(std::move(board)) {}

std::chrono::steady_clock::time_point VirtualPacingClock::timeAt(long ms) {
    return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms));
}

std::chrono::steady_clock::time_point VirtualPacingClock::now() { return timeAt(_board->nowMs()); }

void VirtualPacingClock::sleepUntil(std::chrono::steady_clock::time_point deadline) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline.time_since_epoch()).count();
    _board->advanceTo(static_cast<long>(ms));
}

SimulatorLink::SimulatorLink(std::shared_ptr<BoardSimulator> board) : _board(std::move(board)) {}

bool SimulatorLink::writeByte(std::uint8_t byte, const std::atomic<bool>*) {
    _board->receive(byte, _board->nowMs());
    return true;
}

bool SimulatorLink::readAvailable(std::string& into) {
    into += _board->takePrinted();
    return true;
}

std::string SimulatorLink::describe() const {
    return "simulated board (" + CardCatalog::dialect(_board->dialect()).name + ")";
}

SimulatorConnection::SimulatorConnection(std::shared_ptr<BoardSimulator> board)
    : _board(std::move(board)), _clock(_board) {
    // No port is ever listed or opened: the one entry's link is the simulator.
    _manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
    _manager.setLinkOpenerForTests([board = _board](const CorvinaCardSerialData&, CorvinaAppsError*) {
        return std::make_unique<SimulatorLink>(board);
    });
    _manager.scanPorts({});
    _manager.openLink(nullptr);
}

SimulatorConnection::~SimulatorConnection() { _manager.closeLink(); }

TypingContext SimulatorConnection::context(const std::atomic<bool>* cancel, std::function<void(char)> onChar) {
    return TypingContext{&_manager, cancel, std::move(onChar), &_clock};
}

TransferOutcome typeProgram(const std::shared_ptr<BoardSimulator>& board, const FieldSnapshot& snapshot,
                            TypingPace pace) {
    SimulatorConnection connection(board);
    LinkProgramOutput output(connection.context(), {});
    return transferProgram(snapshot, board->dialect(), output, pace);
}

bool typeStopSequence(const std::shared_ptr<BoardSimulator>& board) {
    SimulatorConnection connection(board);
    TypingContext context = connection.context();
    CorvinaAppsError error;
    return runStopSequence(context, board->dialect(), error);
}

Simulation simulate(const FieldSnapshot& snapshot, int dialect, long runMs, TypingPace pace) {
    auto board = std::make_shared<BoardSimulator>(dialect);
    Simulation result;
    result.outcome = typeProgram(board, snapshot, pace);
    const long start = board->runStartMs();
    result.ran = start >= 0;
    if (result.ran) {
        board->advanceTo(start + runMs);
        result.trace = board->trace();
        result.trace.erase(std::find_if(result.trace.begin(), result.trace.end(),
                                        [runMs](const TraceEvent& event) { return event.ms > runMs; }),
                           result.trace.end());
        result.droppedEvents = board->droppedEvents();
    }
    result.screen = board->screenLines();
    result.state = board->state();
    return result;
}

} // namespace sim
