#include "sim/BoardSimulator.h"

#include <algorithm>
#include <stdexcept>

#include "cards/CardCode.h"
#include "sim/BoardCore.h"
#include "sim/JamInterpreter.h"
#include "sim/LatteInterpreter.h"

namespace sim {

namespace detail {

namespace {

// Forward and back on one motor at once hold it still.
int motor(int outputs, int forwardBit, int backBit) {
    return ((outputs >> forwardBit) & 1) - ((outputs >> backBit) & 1);
}

} // namespace

void BoardCore::setLed(bool on) {
    _state.led = on;
    event(on ? "LED 1" : "LED 0");
}

void BoardCore::setOutputs(int value) {
    _state.outputs = value & 0x3F;
    eventOf([&] { return "OUT " + std::to_string(value); });
}

void BoardCore::setOutput(int port, int value) {
    const int bit = 1 << (port - 1);
    _state.outputs = value != 0 ? (_state.outputs | bit) : (_state.outputs & ~bit);
    eventOf([&] { return "OUT " + std::to_string(port) + "," + std::to_string(value); });
}

void BoardCore::setPwm(int port, int width) {
    if (port == 3) _state.servo3 = width;
    if (port == 4) _state.servo4 = width;
    eventOf([&] { return "PWM " + std::to_string(port) + "," + std::to_string(width); });
}

void BoardCore::beep(Ticks length) {
    ++_state.beeps;
    _beepUntil = now + std::max<Ticks>(length, 0);
    event("BEEP");
}

BoardState BoardCore::state() const {
    BoardState state = _state;
    state.leftMotor = motor(state.outputs, 0, 1);
    state.rightMotor = motor(state.outputs, 5, 4);
    state.beeping = now < _beepUntil;
    return state;
}

void BoardCore::echo(char c) { _screen.back() += c; }

void BoardCore::newLine() {
    _screen.emplace_back();
    while (_screen.size() > static_cast<size_t>(BoardSimulator::kScreenLines)) _screen.pop_front();
}

void BoardCore::print(const std::string& line) {
    if (!_screen.back().empty()) newLine();
    _screen.back() = line;
    newLine();
    // Nobody reading: only the latest words are kept.
    constexpr size_t kPrintedLimit = 1 << 16;
    if (_printed.size() > kPrintedLimit) _printed.erase(0, _printed.size() - kPrintedLimit / 2);
    _printed += line + "\r\n";
}

std::string BoardCore::takePrinted() {
    std::string taken;
    taken.swap(_printed);
    return taken;
}

void BoardCore::backspace() {
    if (!_screen.back().empty()) _screen.back().pop_back();
}

void BoardCore::clearScreen() { _screen.assign(1, std::string()); }

std::vector<std::string> BoardCore::screenLines() const { return {_screen.begin(), _screen.end()}; }

void BoardCore::startRun() {
    runStart = now;
    ++runs;
    trace.clear();
    dropped = 0;
}

bool BoardCore::recording() const { return runStart >= 0 && trace.size() < BoardSimulator::kTraceLimit; }

void BoardCore::event(const std::string& text) {
    if (runStart < 0) return;
    if (!recording()) {
        ++dropped;
        return;
    }
    // Half a millisecond and more counts as the next one.
    const long ms = static_cast<long>((now - runStart + kTicksPerMs / 2) / kTicksPerMs);
    trace.push_back({ms, text, state()});
}

} // namespace detail

using detail::kTicksPerMs;

BoardSimulator::BoardSimulator(int dialect) : _dialect(dialect), _core(std::make_unique<detail::BoardCore>()) {
    if (dialect == DIALECT_JAM)
        _interpreter = std::make_unique<detail::JamInterpreter>(*_core);
    else if (dialect == DIALECT_LATTE)
        _interpreter = std::make_unique<detail::LatteInterpreter>(*_core);
    else
        throw std::invalid_argument("the simulator speaks jam and latte, not dialect " + std::to_string(dialect));
}

BoardSimulator::~BoardSimulator() = default;

int BoardSimulator::dialect() const { return _dialect; }

void BoardSimulator::advanceLocked(long long ticks) {
    // Each turn of this loop moves the time on: a program that waits for
    // nothing still lets a millisecond pass every few turns.
    for (detail::Ticks wake = _interpreter->wakeAt(); wake <= ticks; wake = _interpreter->wakeAt()) {
        _core->now = std::max(_core->now, wake);
        _interpreter->resume();
    }
    _core->now = std::max<detail::Ticks>(_core->now, ticks);
}

void BoardSimulator::receive(std::uint8_t byte, long atMs) {
    std::lock_guard<std::mutex> lock(_mutex);
    advanceLocked(static_cast<long long>(atMs) * kTicksPerMs);
    _interpreter->receive(byte);
}

void BoardSimulator::advanceTo(long ms) {
    std::lock_guard<std::mutex> lock(_mutex);
    advanceLocked(static_cast<long long>(ms) * kTicksPerMs);
}

long BoardSimulator::nowMs() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return static_cast<long>(_core->now / kTicksPerMs);
}

BoardState BoardSimulator::state() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _core->state();
}

std::vector<std::string> BoardSimulator::screenLines() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _core->screenLines();
}

std::string BoardSimulator::takePrinted() {
    std::lock_guard<std::mutex> lock(_mutex);
    return _core->takePrinted();
}

int BoardSimulator::runningLine() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _interpreter->runningLine();
}

int BoardSimulator::errorLine() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _interpreter->errorLine();
}

std::vector<std::string> BoardSimulator::program() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _interpreter->program();
}

long BoardSimulator::runStartMs() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _core->runStart < 0 ? -1 : static_cast<long>(_core->runStart / kTicksPerMs);
}

int BoardSimulator::runNumber() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _core->runs;
}

std::vector<TraceEvent> BoardSimulator::trace() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _core->trace;
}

std::vector<TraceEvent> BoardSimulator::traceFrom(std::size_t first) const {
    std::lock_guard<std::mutex> lock(_mutex);
    const auto& all = _core->trace;
    if (first >= all.size()) return {};
    return {all.begin() + static_cast<long>(first), all.end()};
}

std::size_t BoardSimulator::droppedEvents() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _core->dropped;
}

} // namespace sim
