#include "sim/LatteInterpreter.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace sim::detail {

namespace {

constexpr std::uint8_t kEndOfTransmission = 0x04;

std::int32_t wrap(std::int64_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); }

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::int32_t binary(const std::string& op, std::int32_t a, std::int32_t b) {
    const std::int64_t x = a, y = b;
    if (op == "+") return wrap(x + y);
    if (op == "-") return wrap(x - y);
    if (op == "*") return wrap(x * y);
    if (op == "/") return y == 0 ? 0 : wrap(x / y);
    if (op == "%") return y == 0 ? 0 : wrap(x % y);
    if (op == "|") return a | b;
    if (op == "^") return a ^ b;
    if (op == "&") return a & b;
    if (op == "==") return a == b;
    if (op == "!=") return a != b;
    if (op == "<") return a < b;
    if (op == ">") return a > b;
    if (op == "<=") return a <= b;
    return a >= b;
}

} // namespace

LatteInterpreter::LatteInterpreter(BoardCore& core) : _core(core) {}

void LatteInterpreter::receive(std::uint8_t byte) {
    _input.push_back(byte);
    pump();
}

Ticks LatteInterpreter::wakeAt() const { return _active ? _wake : kNever; }

void LatteInterpreter::resume() { pump(); }

int LatteInterpreter::runningLine() const { return _active && _fromFile ? _line : -1; }

int LatteInterpreter::errorLine() const { return _errorLine; }

std::vector<std::string> LatteInterpreter::program() const {
    auto file = _files.find(_lastFile);
    return file == _files.end() ? std::vector<std::string>() : linesOf(file->second);
}

// Runs what can run now; while nothing runs the keys go to the shell.
void LatteInterpreter::pump() {
    for (;;) {
        if (_active) {
            if (_wake > _core.now) return;
            step();
            if (_active) return;
            continue;
        }
        if (_input.empty()) return;
        const std::uint8_t c = _input.front();
        _input.pop_front();
        key(c);
    }
}

void LatteInterpreter::key(std::uint8_t c) {
    if (_mode == Mode::Capture) {
        if (c == kEndOfTransmission) {
            _files[_captureName] = _captured;
            _lastFile = _captureName;
            _captured.clear();
            _mode = Mode::Shell;
        } else {
            _captured += static_cast<char>(c);
        }
        return;
    }
    const bool afterCr = _afterCr;
    _afterCr = c == '\r';
    if (c == '\r' || c == '\n') {
        if (c == '\n' && afterCr) return;
        std::string line;
        line.swap(_typed);
        _core.newLine();
        if (_mode == Mode::Shell) shellLine(line);
        else statementLine(line);
    } else if (c == '\b' || c == 0x7F) {
        if (!_typed.empty()) {
            _typed.pop_back();
            _core.backspace();
        }
    } else if (c >= 0x20 && c < 0x7F) {
        _typed += static_cast<char>(c);
        _core.echo(static_cast<char>(c));
    }
}

void LatteInterpreter::shellLine(const std::string& line) {
    const std::vector<std::string> command = words(line);
    if (command.empty()) return;
    if (command.size() == 1 && command[0] == "ms") {
        _mode = Mode::Statements;
    } else if (command.size() == 2 && command[0] == "ms") {
        runFile(command[1]);
    } else if (command.size() == 4 && command[0] == "cat" && command[1] == "uart" && command[2] == ">") {
        _mode = Mode::Capture;
        _captureName = command[3];
        _captured.clear();
    } else {
        showError("Syntax error");
    }
}

void LatteInterpreter::statementLine(const std::string& line) {
    std::set<std::string> declared;
    for (const auto& variable : _shellVariables) declared.insert(variable.first);
    try {
        start(latte::parse(line, declared), _shellVariables, false);
    } catch (const latte::SyntaxError&) {
        showError("Syntax error");
    }
}

void LatteInterpreter::runFile(const std::string& name) {
    auto file = _files.find(name);
    if (file == _files.end()) {
        showError("No such file: " + name);
        return;
    }
    _lastFile = name;
    _core.startRun();
    _errorLine = -1;
    std::set<std::string> declared;
    try {
        latte::Code code = latte::parse(file->second, declared);
        _fileVariables.clear();
        start(std::move(code), _fileVariables, true);
    } catch (const latte::SyntaxError& error) {
        const std::vector<std::string> lines = linesOf(file->second);
        const std::string shown = "Syntax error in line " + std::to_string(error.line + 1);
        _core.print(shown);
        _core.event(shown);
        if (static_cast<std::size_t>(error.line) < lines.size()) _core.print(lines[static_cast<std::size_t>(error.line)]);
        _errorLine = error.line;
    }
}

void LatteInterpreter::start(latte::Code code, Variables& variables, bool fromFile) {
    _code = std::move(code);
    _variables = &variables;
    _fromFile = fromFile;
    _pc = 0;
    _line = -1;
    _sleep = 0;
    _exit = false;
    _turning = false;
    _turns = 0;
    _active = true;
    _wake = _core.now;
}

// Steps one after another until the program sleeps, lets time pass or ends.
void LatteInterpreter::step() {
    using Op = latte::Step::Op;
    for (;;) {
        if (_pc >= _code.size()) {
            finish();
            return;
        }
        const latte::Step& current = _code[_pc];
        _line = current.line;
        switch (current.op) {
        case Op::Eval:
            evaluate(current.expr);
            ++_pc;
            break;
        case Op::Declare:
            (*_variables)[current.name] = evaluate(current.expr);
            ++_pc;
            break;
        case Op::Jump:
            _pc = current.target;
            _turning = true;
            continue;
        case Op::Test: {
            const bool turned = _turning;
            _turning = false;
            if (evaluate(current.expr) == 0) {
                _pc = current.target;
                break;
            }
            ++_pc;
            // A loop that waits for nothing still takes time.
            if (turned && ++_turns >= kTurnsPerMs) {
                _turns = 0;
                _wake = _core.now + kTicksPerMs;
                return;
            }
            break;
        }
        }
        if (_exit) {
            finish();
            return;
        }
        if (_sleep > 0) {
            _wake = _core.now + _sleep;
            _sleep = 0;
            _turns = 0;
            return;
        }
    }
}

std::int32_t LatteInterpreter::evaluate(const latte::Expr& expr) {
    using Kind = latte::Expr::Kind;
    switch (expr.kind) {
    case Kind::Number:
        return expr.number;
    case Kind::Variable:
        return (*_variables)[expr.name];
    case Kind::Assign:
        return (*_variables)[expr.name] = evaluate(expr.operands[0]);
    case Kind::Unary: {
        const std::int32_t value = evaluate(expr.operands[0]);
        if (expr.name == "-") return wrap(-std::int64_t{value});
        if (expr.name == "~") return ~value;
        return value == 0;
    }
    case Kind::Binary: {
        const std::int32_t left = evaluate(expr.operands[0]);
        return binary(expr.name, left, evaluate(expr.operands[1]));
    }
    case Kind::Call: {
        std::vector<std::int32_t> args;
        for (const latte::Expr& operand : expr.operands) args.push_back(evaluate(operand));
        return call(expr.name, args);
    }
    }
    return 0;
}

std::int32_t LatteInterpreter::call(const std::string& name, const std::vector<std::int32_t>& args) {
    if (name == "uart") {
        if (_input.empty()) return -1;
        const std::uint8_t c = _input.front();
        _input.pop_front();
        return c;
    }
    if (name == "led") {
        _core.setLed(args[0] != 0);
    } else if (name == "sleep") {
        _sleep += std::max<std::int32_t>(args[0], 0) * kTicksPerMs;
    } else if (name == "out") {
        _core.setOutputs(args[0]);
    } else if (name == "pwm") {
        // Microseconds; the trace and the state count hundredths of a millisecond, as jam does.
        _core.setPwm(args[0], std::max<std::int32_t>(args[1], 0) / 10);
    } else if (name == "beep") {
        _core.beep(args.size() == 2 ? std::max<std::int32_t>(args[1], 0) * kTicksPerMs : kBeepLength);
    } else if (name == "exit") {
        _exit = true;
    }
    return 0;
}

void LatteInterpreter::finish() {
    if (_exit && !_fromFile) _mode = Mode::Shell;
    _active = false;
    _wake = kNever;
    _exit = false;
    _line = -1;
    _code.clear();
}

void LatteInterpreter::showError(const std::string& message) {
    _core.print(message);
    _core.event(message);
}

} // namespace sim::detail
