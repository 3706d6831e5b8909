#pragma once
// latte: a shell that captures typed text into a file ("cat uart > NAME",
// up to the end-of-transmission byte 4), runs a file ("ms NAME") or takes
// statements one line at a time ("ms", left by exit()). One stream of keys
// feeds them all: while a program runs, the keys wait for its uart(), and
// what it leaves unread goes to the shell once it ends.
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "sim/BoardCore.h"
#include "sim/LatteProgram.h"

namespace sim::detail {

class LatteInterpreter : public Interpreter {
public:
    explicit LatteInterpreter(BoardCore& core);

    void receive(std::uint8_t byte) override;
    Ticks wakeAt() const override;
    void resume() override;
    int runningLine() const override;
    int errorLine() const override;
    std::vector<std::string> program() const override;

private:
    enum class Mode { Shell, Statements, Capture };
    using Variables = std::map<std::string, std::int32_t>;

    void pump();
    void key(std::uint8_t c);
    void shellLine(const std::string& line);
    void statementLine(const std::string& line);
    void runFile(const std::string& name);
    void start(latte::Code code, Variables& variables, bool fromFile);
    void step();
    std::int32_t evaluate(const latte::Expr& expr);
    std::int32_t call(const std::string& name, const std::vector<std::int32_t>& args);
    void finish();
    void showError(const std::string& message);

    BoardCore& _core;
    Mode _mode = Mode::Shell;
    std::map<std::string, std::string> _files;
    std::string _lastFile;
    std::string _captureName;
    std::string _captured;
    std::string _typed;
    bool _afterCr = false;
    std::deque<std::uint8_t> _input;  // keys not yet read by the shell or by uart()

    bool _active = false;
    bool _fromFile = false;
    latte::Code _code;
    std::size_t _pc = 0;
    int _line = -1;           // the line of the step running or waiting
    Ticks _wake = kNever;
    Ticks _sleep = 0;         // asked by the step running; taken once it is done
    bool _exit = false;
    bool _turning = false;    // the test comes from the jump back at its loop's end
    int _turns = 0;
    Variables _fileVariables;
    Variables _shellVariables;  // kept from line to line in "ms"
    Variables* _variables = &_fileVariables;
    int _errorLine = -1;
};

} // namespace sim::detail
