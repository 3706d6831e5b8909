#pragma once
// jam, the board's BASIC: a prompt that stores numbered lines and runs
// others at once, and the program run by RUN. Integers are 16 bits and
// wrap. Only ESC acts on a running program; other keys wait for the prompt.
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "sim/BoardCore.h"

namespace sim::detail {

class JamInterpreter : public Interpreter {
public:
    explicit JamInterpreter(BoardCore& core);

    void receive(std::uint8_t byte) override;
    Ticks wakeAt() const override;
    void resume() override;
    int runningLine() const override;
    int errorLine() const override;
    std::vector<std::string> program() const override;

    class Cursor;

private:
    // What a statement leaves the run to do next.
    enum class Flow {
        Next,    // the statement after it
        Jumped,  // a loop turned: the position is set, the turn counts
        Moved,   // the position is set (RUN)
        Waits,   // continue at _wake
        Pauses,  // the same statement goes on at _wake (LIST between screens)
        Ended,   // the run is over
    };
    struct ForLoop {
        int variable;
        std::int16_t limit;
        int line;        // where the loop's body starts
        std::size_t pos;
    };

    void pump();
    void key(std::uint8_t c);
    void enterLine(const std::string& line);
    void step();
    Flow statement(Cursor& c);
    Flow forLoop(Cursor& c);
    Flow next(Cursor& c);
    Flow jumpTo(Cursor& c);
    Flow list();
    int labelLine(const std::string& wanted);
    Flow run();
    bool nextLine();
    const std::string& currentText() const;
    // The run stops: message empty for a normal end ("OK"), else the error as shown.
    void finish(const std::string& message);
    std::string listing(int number) const;

    BoardCore& _core;
    std::map<int, std::string> _lines;  // line number -> its text after the number
    std::map<std::string, int> _labelLines;  // GOTO targets found in _lines, -1 for none
    std::map<int, std::map<int, std::string>> _saved;
    std::string _typed;                 // the line at the prompt
    bool _afterCr = false;              // an LF right after a CR ends no line of its own
    std::deque<std::uint8_t> _keys;     // keys waiting for the prompt

    static constexpr int kDirect = -1;  // _line of a line typed at the prompt
    bool _active = false;               // a program or a typed line runs
    int _line = kDirect;
    std::string _direct;
    std::size_t _pos = 0;
    Ticks _wake = kNever;
    std::array<std::int16_t, 26> _vars{};
    std::vector<ForLoop> _loops;
    int _turns = 0;
    int _errorLine = -1;
    int _listFrom = -1;                 // the line LIST goes on with after a pause
};

} // namespace sim::detail
