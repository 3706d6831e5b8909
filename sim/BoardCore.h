#pragma once
// What both dialects share: the board's time, its outputs, its screen and
// the trace of the running program. The interpreters act on it; the
// simulator's lock is held around every call.
#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <vector>

#include "sim/BoardSimulator.h"

namespace sim::detail {

// The board counts sixtieths of a millisecond, so a video frame (jam's WAIT
// unit, 1/60 s) and a millisecond (latte's) are both whole.
using Ticks = std::int64_t;
inline constexpr Ticks kTicksPerMs = 60;
inline constexpr Ticks kTicksPerFrame = 1000;
inline constexpr Ticks kNever = std::numeric_limits<Ticks>::max();

// A loop that waits for nothing still takes time: after this many turns
// without a pause the program lets a millisecond pass. Jam and latte count
// the same turns for the same cards (a turn is each start of a loop's body
// but the first), so their programs keep the same times.
inline constexpr int kTurnsPerMs = 10;

// The tone of a BEEP without arguments: three frames, 50 ms.
inline constexpr Ticks kBeepLength = 3 * kTicksPerFrame;

class BoardCore {
public:
    Ticks now = 0;

    // Outputs; each records its event in the words of both dialects: the
    // value as sent ("OUT 33", "OUT 2,1"), widths in hundredths of a ms.
    void setLed(bool on);
    void setOutputs(int value);
    void setOutput(int port, int value);  // port 1 to 6; on unless value is 0
    void setPwm(int port, int width);
    void beep(Ticks length);
    BoardState state() const;

    // The screen: a key shown at the cursor, the cursor to a new line, a
    // line of its own, one key taken back.
    void echo(char c);
    void newLine();
    void print(const std::string& line);
    void backspace();
    void clearScreen();
    std::vector<std::string> screenLines() const;
    // What the board printed on its serial line since the last take: every
    // printed line with CR LF; typed keys are not echoed there.
    std::string takePrinted();

    // A program starts running: a fresh trace timed from now.
    void startRun();
    // Recorded once a program has run: the events before the first RUN are
    // the typing's own.
    void event(const std::string& text);
    // Whether an event now would be kept; a full trace only counts them.
    bool recording() const;

    Ticks runStart = -1;
    int runs = 0;
    std::vector<TraceEvent> trace;
    std::size_t dropped = 0;

private:
    // An event whose text is made only when the trace keeps it.
    template <typename Text>
    void eventOf(const Text& text) {
        if (recording()) event(text());
        else if (runStart >= 0) ++dropped;
    }

    BoardState _state;
    Ticks _beepUntil = 0;
    std::deque<std::string> _screen{std::string()};
    std::string _printed;
};

// One dialect's prompt and interpreter. Keys reach it at the core's time;
// it says when its running program continues and continues it then.
class Interpreter {
public:
    virtual ~Interpreter() = default;
    virtual void receive(std::uint8_t byte) = 0;
    // When the running program (or typed line) continues; kNever when none waits.
    virtual Ticks wakeAt() const = 0;
    // Continues at the core's time, which has reached wakeAt().
    virtual void resume() = 0;
    virtual int runningLine() const = 0;
    virtual int errorLine() const = 0;
    virtual std::vector<std::string> program() const = 0;
};

} // namespace sim::detail
