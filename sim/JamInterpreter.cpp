#include "sim/JamInterpreter.h"

#include <algorithm>

namespace sim::detail {

namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr int kDeepestLoops = 6;
constexpr int kLastLineNumber = 32767;
constexpr int kSaveSlots = 4;
// LIST pauses 40 frames after each full screen of 23 rows of 32 characters.
constexpr std::size_t kScreenColumns = 32;
constexpr int kListRows = 23;
constexpr Ticks kListPause = 40 * kTicksPerFrame;

// An error as the board names it; stops the run.
struct JamError {
    std::string message;
};

[[noreturn]] void fail(const char* message) { throw JamError{message}; }

std::int16_t wrap(long value) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF)); }

// The board's letters are ASCII whatever the locale.
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isLabelChar(char c) { return isDigit(c) || (upper(c) >= 'A' && upper(c) <= 'Z'); }

} // namespace

// Reads one statement of a line: keywords, numbers, variables, labels.
class JamInterpreter::Cursor {
public:
    Cursor(const std::string& text, std::size_t at) : pos(at), _text(text) {}

    void skipSpaces() {
        while (pos < _text.size() && _text[pos] == ' ') ++pos;
    }
    bool atEnd() const { return pos >= _text.size(); }
    char peek() const { return atEnd() ? '\0' : _text[pos]; }
    // At the end of the statement: the line's end or a ':'.
    bool atStatementEnd() {
        skipSpaces();
        return atEnd() || peek() == ':';
    }
    bool accept(char c) {
        skipSpaces();
        if (peek() != c) return false;
        ++pos;
        return true;
    }
    void expect(char c) {
        if (!accept(c)) fail("Syntax error");
    }
    // A keyword, in either case; it may touch what follows ("OUT0").
    bool keyword(const char* word) {
        skipSpaces();
        std::size_t at = pos;
        for (const char* w = word; *w; ++w, ++at)
            if (at >= _text.size() || upper(_text[at]) != *w) return false;
        pos = at;
        return true;
    }
    // A variable A to Z, as its index.
    int variable() {
        skipSpaces();
        const char c = upper(peek());
        if (c < 'A' || c > 'Z') fail("Syntax error");
        ++pos;
        return c - 'A';
    }
    // "@" and the letters and digits after it, in capitals.
    std::string label() {
        skipSpaces();
        std::string label(1, '@');
        for (++pos; pos < _text.size() && isLabelChar(_text[pos]); ++pos) label += upper(_text[pos]);
        return label;
    }

    std::int16_t expression(const std::array<std::int16_t, 26>& vars) {
        std::int16_t value = term(vars);
        for (;;) {
            if (accept('+')) value = wrap(value + term(vars));
            else if (accept('-')) value = wrap(value - term(vars));
            else return value;
        }
    }

    std::size_t pos;

private:
    std::int16_t term(const std::array<std::int16_t, 26>& vars) {
        std::int16_t value = unary(vars);
        for (;;) {
            if (accept('*')) {
                value = wrap(long{value} * unary(vars));
            } else if (accept('/') || accept('%')) {
                const bool divide = _text[pos - 1] == '/';
                const std::int16_t by = unary(vars);
                if (by == 0) fail("Divide by zero");
                value = wrap(divide ? long{value} / by : long{value} % by);
            } else {
                return value;
            }
        }
    }

    std::int16_t unary(const std::array<std::int16_t, 26>& vars) {
        if (accept('-')) return wrap(-long{unary(vars)});
        skipSpaces();
        const char c = peek();
        if (c == '(') {
            ++pos;
            const std::int16_t value = expression(vars);
            expect(')');
            return value;
        }
        if (isDigit(c)) {
            long value = 0;
            for (; isDigit(peek()); ++pos) value = wrap(value * 10 + (peek() - '0'));
            return wrap(value);
        }
        return vars[static_cast<std::size_t>(variable())];
    }

    const std::string& _text;
};

JamInterpreter::JamInterpreter(BoardCore& core) : _core(core) {}

void JamInterpreter::receive(std::uint8_t byte) {
    if (byte == kEsc && _active) finish("Break");
    else _keys.push_back(byte);
    pump();
}

Ticks JamInterpreter::wakeAt() const { return _active ? _wake : kNever; }

void JamInterpreter::resume() { pump(); }

int JamInterpreter::runningLine() const { return _active ? _line : -1; }

int JamInterpreter::errorLine() const { return _errorLine; }

std::vector<std::string> JamInterpreter::program() const {
    std::vector<std::string> lines;
    for (const auto& line : _lines) lines.push_back(listing(line.first));
    return lines;
}

std::string JamInterpreter::listing(int number) const {
    auto line = _lines.find(number);
    return std::to_string(number) + " " + (line == _lines.end() ? std::string() : line->second);
}

// Runs what can run now, then hands the waiting keys to the prompt, which
// may start something else.
void JamInterpreter::pump() {
    for (;;) {
        if (_active) {
            if (_wake > _core.now) return;
            step();
            if (_active) return;
            continue;
        }
        if (_keys.empty()) return;
        const std::uint8_t c = _keys.front();
        _keys.pop_front();
        key(c);
    }
}

void JamInterpreter::key(std::uint8_t c) {
    const bool afterCr = _afterCr;
    _afterCr = c == '\r';
    if (c == '\r' || c == '\n') {
        if (c == '\n' && afterCr) return;
        std::string line;
        line.swap(_typed);
        _core.newLine();
        enterLine(line);
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

// A typed line: stored when it starts with a line number, run at once otherwise.
void JamInterpreter::enterLine(const std::string& line) {
    std::size_t at = line.find_first_not_of(' ');
    if (at == std::string::npos) return;
    if (isDigit(line[at])) {
        long number = 0;
        for (; at < line.size() && isDigit(line[at]); ++at)
            number = std::min<long>(number * 10 + (line[at] - '0'), kLastLineNumber + 1);
        const std::size_t text = line.find_first_not_of(' ', at);
        if (number < 1 || number > kLastLineNumber) {
            _core.print("Line error");
            _core.event("Line error");
        } else if (text == std::string::npos) {
            _lines.erase(static_cast<int>(number));
        } else {
            _lines[static_cast<int>(number)] = line.substr(text);
        }
        _labelLines.clear();
        return;
    }
    _direct = line;
    _line = kDirect;
    _pos = 0;
    _active = true;
    _wake = _core.now;
}

const std::string& JamInterpreter::currentText() const { return _line == kDirect ? _direct : _lines.at(_line); }

bool JamInterpreter::nextLine() {
    if (_line == kDirect) return false;
    auto next = _lines.upper_bound(_line);
    if (next == _lines.end()) return false;
    _line = next->first;
    _pos = 0;
    return true;
}

// Statements one after another until the run waits or stops.
void JamInterpreter::step() {
    try {
        for (;;) {
            Cursor c(currentText(), _pos);
            const std::size_t start = _pos;
            if (c.atStatementEnd()) {
                if (!c.atEnd()) {
                    _pos = c.pos + 1;  // past the ':'
                } else if (!nextLine()) {
                    finish({});
                    return;
                }
                continue;
            }
            switch (statement(c)) {
            case Flow::Next:
                if (!c.atStatementEnd()) fail("Syntax error");
                _pos = c.pos;
                break;
            case Flow::Jumped:
                // A loop that waits for nothing still takes time.
                if (++_turns >= kTurnsPerMs) {
                    _turns = 0;
                    _wake = _core.now + kTicksPerMs;
                    return;
                }
                break;
            case Flow::Moved:
                break;
            case Flow::Waits:
                _pos = c.pos;
                return;
            case Flow::Pauses:
                _pos = start;
                return;
            case Flow::Ended:
                return;
            }
        }
    } catch (const JamError& error) {
        finish(error.message);
    }
}

JamInterpreter::Flow JamInterpreter::statement(Cursor& c) {
    if (c.peek() == '@') {  // a label does nothing where it stands
        c.label();
        return Flow::Next;
    }
    if (c.peek() == '\'' || c.keyword("REM")) {
        c.pos = currentText().size();
        return Flow::Next;
    }
    if (c.keyword("LED")) {
        _core.setLed(c.expression(_vars) != 0);
        return Flow::Next;
    }
    if (c.keyword("WAIT")) {
        const std::int16_t frames = c.expression(_vars);
        if (frames < 0) fail("Illegal argument");
        if (frames == 0) return Flow::Next;
        _wake = _core.now + frames * kTicksPerFrame;
        _turns = 0;
        return Flow::Waits;
    }
    if (c.keyword("OUT")) {
        const std::int16_t first = c.expression(_vars);
        if (!c.accept(',')) {
            _core.setOutputs(first);
            return Flow::Next;
        }
        const std::int16_t value = c.expression(_vars);
        if (first < 1 || first > 6) fail("Illegal argument");
        _core.setOutput(first, value);
        return Flow::Next;
    }
    if (c.keyword("PWM")) {
        const std::int16_t port = c.expression(_vars);
        c.expect(',');
        const std::int16_t width = c.expression(_vars);
        if (port < 1 || port > 6 || width < 0) fail("Illegal argument");
        _core.setPwm(port, width);
        return Flow::Next;
    }
    if (c.keyword("BEEP")) {
        std::int16_t length = 3;
        if (!c.atStatementEnd()) {
            c.expression(_vars);  // the tone: only heard
            if (c.accept(',')) length = c.expression(_vars);
        }
        _core.beep(length * kTicksPerFrame);
        return Flow::Next;
    }
    if (c.keyword("FOR")) return forLoop(c);
    if (c.keyword("NEXT")) return next(c);
    if (c.keyword("GOTO")) return jumpTo(c);
    if (c.keyword("RUN")) return run();
    if (c.keyword("END")) {
        finish({});
        return Flow::Ended;
    }
    if (c.keyword("NEW")) {
        _lines.clear();
        _labelLines.clear();
        if (_line == kDirect) return Flow::Next;
        _line = kDirect;  // the running line is gone
        finish({});
        return Flow::Ended;
    }
    if (c.keyword("SAVE")) {
        const std::int16_t slot = c.atStatementEnd() ? 0 : c.expression(_vars);
        if (slot < 0 || slot >= kSaveSlots) fail("Illegal argument");
        _saved[slot] = _lines;
        std::size_t size = 0;
        for (const auto& line : _lines) size += listing(line.first).size() + 1;
        _core.print("Saved " + std::to_string(size) + "byte");
        return Flow::Next;
    }
    if (c.keyword("LIST")) return list();
    if (c.keyword("CLS")) {
        _core.clearScreen();
        return Flow::Next;
    }
    fail("Syntax error");
}

JamInterpreter::Flow JamInterpreter::forLoop(Cursor& c) {
    const int variable = c.variable();
    c.expect('=');
    const std::int16_t start = c.expression(_vars);
    if (!c.keyword("TO")) fail("Syntax error");
    const std::int16_t limit = c.expression(_vars);
    if (static_cast<int>(_loops.size()) >= kDeepestLoops) fail("Stack overflow");
    if (start > limit) fail("Illegal argument");  // a loop that would run no time
    _vars[static_cast<std::size_t>(variable)] = start;
    _loops.push_back({variable, limit, _line, c.pos});
    return Flow::Next;
}

// NEXT closes the innermost FOR, whatever variable it names.
JamInterpreter::Flow JamInterpreter::next(Cursor& c) {
    if (!c.atStatementEnd()) c.variable();
    if (_loops.empty()) fail("Not match");
    const ForLoop loop = _loops.back();
    std::int16_t& counter = _vars[static_cast<std::size_t>(loop.variable)];
    counter = wrap(counter + 1);
    if (counter > loop.limit) {
        _loops.pop_back();
        return Flow::Next;
    }
    if (!c.atStatementEnd()) fail("Syntax error");
    _line = loop.line;
    _pos = loop.pos;
    return Flow::Jumped;
}

// GOTO a line number, or a label: the first line whose label begins the target.
JamInterpreter::Flow JamInterpreter::jumpTo(Cursor& c) {
    int target = -1;
    c.skipSpaces();
    if (c.peek() == '@') {
        target = labelLine(c.label());
    } else {
        const std::int16_t number = c.expression(_vars);
        if (_lines.count(number)) target = number;
    }
    if (!c.atStatementEnd()) fail("Syntax error");
    if (target < 0) fail("Line error");
    if (_line == kDirect) _core.startRun();  // from the prompt into the program
    _line = target;
    _pos = 0;
    return Flow::Jumped;
}

// Prints the program a screen at a time: after a full screen it pauses, and
// the same LIST goes on from the next line.
JamInterpreter::Flow JamInterpreter::list() {
    auto line = _listFrom < 0 ? _lines.begin() : _lines.lower_bound(_listFrom);
    _listFrom = -1;
    int rows = 0;
    for (; line != _lines.end(); ++line) {
        const std::string text = listing(line->first);
        rows += static_cast<int>(std::max<std::size_t>(1, (text.size() + kScreenColumns - 1) / kScreenColumns));
        _core.print(text);
        if (rows >= kListRows && std::next(line) != _lines.end()) {
            _listFrom = std::next(line)->first;
            _wake = _core.now + kListPause;
            return Flow::Pauses;
        }
    }
    return Flow::Next;
}

// The first line whose label begins `wanted`; -1 when none. Found once per
// program: a forever loop jumps there every turn.
int JamInterpreter::labelLine(const std::string& wanted) {
    auto known = _labelLines.find(wanted);
    if (known != _labelLines.end()) return known->second;
    int found = -1;
    for (const auto& [number, text] : _lines) {
        Cursor line(text, 0);
        line.skipSpaces();
        if (line.peek() == '@' && wanted.rfind(line.label(), 0) == 0) {
            found = number;
            break;
        }
    }
    _labelLines[wanted] = found;
    return found;
}

// From the prompt the program starts; from the program it starts again,
// which turns like a loop.
JamInterpreter::Flow JamInterpreter::run() {
    const bool again = _line != kDirect;
    _core.startRun();
    _vars.fill(0);
    _loops.clear();
    if (!again) _turns = 0;
    _errorLine = -1;
    if (_lines.empty()) {
        _line = kDirect;
        finish({});
        return Flow::Ended;
    }
    _line = _lines.begin()->first;
    _pos = 0;
    return again ? Flow::Jumped : Flow::Moved;
}

void JamInterpreter::finish(const std::string& message) {
    const bool inProgram = _line != kDirect;
    _active = false;
    _wake = kNever;
    _listFrom = -1;
    if (message.empty()) {
        _core.print("OK");
    } else {
        const std::string shown = inProgram ? message + " in " + std::to_string(_line) : message;
        _core.print(shown);
        _core.event(shown);
        if (inProgram) {
            _core.print(listing(_line));
            _errorLine = _line;
        }
    }
    _line = kDirect;
}

} // namespace sim::detail
