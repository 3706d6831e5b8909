#include "sim/LatteProgram.h"

#include <cctype>
#include <map>
#include <utility>

namespace sim::detail::latte {

namespace {

struct Token {
    enum class Kind { Number, Name, Symbol, LineEnd, End };
    Kind kind = Kind::End;
    std::string text;
    std::int32_t number = 0;
    int line = 0;
};

// The functions the board knows, with the fewest and most arguments each takes.
const std::map<std::string, std::pair<int, int>>& functions() {
    static const std::map<std::string, std::pair<int, int>> table = {
        {"led", {1, 1}}, {"sleep", {1, 1}}, {"out", {1, 1}}, {"pwm", {2, 2}},
        {"beep", {0, 2}}, {"uart", {0, 0}}, {"exit", {0, 0}},
    };
    return table;
}

bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isNamePart(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::vector<Token> tokenize(const std::string& text) {
    static const char* const kTwoCharSymbols[] = {"==", "!=", "<=", ">="};
    static const std::string kSymbols = "(){};,=<>+-*/%|&^~!";
    std::vector<Token> tokens;
    int line = 0;
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        Token token;
        token.line = line;
        if (c == '\n') {
            token.kind = Token::Kind::LineEnd;
            ++line;
            ++at;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++at;
            continue;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            token.kind = Token::Kind::Number;
            std::uint32_t value = 0;
            for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
                value = value * 10 + static_cast<std::uint32_t>(text[at] - '0');
            token.number = static_cast<std::int32_t>(value);
        } else if (isNameStart(c)) {
            token.kind = Token::Kind::Name;
            for (; at < text.size() && isNamePart(text[at]); ++at) token.text += text[at];
        } else {
            token.kind = Token::Kind::Symbol;
            for (const char* symbol : kTwoCharSymbols)
                if (text.compare(at, 2, symbol) == 0) token.text = symbol;
            if (token.text.empty() && kSymbols.find(c) != std::string::npos) token.text = std::string(1, c);
            if (token.text.empty()) throw SyntaxError{line};
            at += token.text.size();
        }
        tokens.push_back(std::move(token));
    }
    tokens.push_back(Token{Token::Kind::End, {}, 0, line});
    return tokens;
}

class Parser {
public:
    Parser(std::vector<Token> tokens, std::set<std::string>& declared)
        : _tokens(std::move(tokens)), _declared(declared) {}

    Code program() {
        for (skipLineEnds(); !at(Token::Kind::End); skipLineEnds()) statement();
        return std::move(_code);
    }

private:
    const Token& peek() const { return _tokens[_at]; }
    bool at(Token::Kind kind) const { return peek().kind == kind; }
    bool atSymbol(const char* symbol) const { return at(Token::Kind::Symbol) && peek().text == symbol; }
    bool atName(const char* name) const { return at(Token::Kind::Name) && peek().text == name; }
    const Token& take() {
        const Token& token = _tokens[_at];
        if (token.kind != Token::Kind::End) ++_at;
        return token;
    }
    [[noreturn]] void fail() const { throw SyntaxError{peek().line}; }
    void expect(const char* symbol) {
        if (!atSymbol(symbol)) fail();
        take();
    }
    bool accept(const char* symbol) {
        if (!atSymbol(symbol)) return false;
        take();
        return true;
    }
    void skipLineEnds() {
        while (at(Token::Kind::LineEnd)) take();
    }
    // A statement ends at ";", at its line's end, or before the "}" closing its block.
    void endOfStatement() {
        if (accept(";") || atSymbol("}") || at(Token::Kind::End)) return;
        if (!at(Token::Kind::LineEnd)) fail();
        take();
    }

    void statement() {
        const int line = peek().line;
        if (accept(";")) return;
        if (atName("var")) {
            take();
            do declaration(line);
            while (accept(","));
            endOfStatement();
        } else if (atName("while")) {
            whileLoop();
        } else if (atSymbol("{")) {
            take();
            block();
        } else {
            _code.push_back(Step{Step::Op::Eval, line, expression(), {}, 0});
            endOfStatement();
        }
    }

    void declaration(int line) {
        if (!at(Token::Kind::Name) || reserved(peek().text)) fail();
        const std::string name = take().text;
        Expr value;
        if (accept("=")) value = expression();
        _declared.insert(name);
        _code.push_back(Step{Step::Op::Declare, line, std::move(value), name, 0});
    }

    // The statements up to the "}" after an opened "{"; that brace's line.
    int block() {
        for (skipLineEnds(); !atSymbol("}"); skipLineEnds()) {
            if (at(Token::Kind::End)) fail();
            statement();
        }
        return take().line;
    }

    void whileLoop() {
        const int line = take().line;
        expect("(");
        Expr condition = expression();
        expect(")");
        const std::size_t test = _code.size();
        _code.push_back(Step{Step::Op::Test, line, std::move(condition), {}, 0});
        int jumpLine = line;
        if (accept("{")) jumpLine = block();
        else statement();  // ";" is the empty body
        _code.push_back(Step{Step::Op::Jump, jumpLine, {}, {}, test});
        _code[test].target = _code.size();
    }

    static bool reserved(const std::string& name) {
        return name == "var" || name == "while" || functions().count(name) != 0;
    }

    Expr expression() {
        if (at(Token::Kind::Name) && _tokens[_at + 1].kind == Token::Kind::Symbol && _tokens[_at + 1].text == "=") {
            const std::string name = take().text;
            if (!_declared.count(name)) throw SyntaxError{_tokens[_at - 1].line};
            take();
            Expr assign{Expr::Kind::Assign, 0, name, {}};
            assign.operands.push_back(expression());
            return assign;
        }
        return binary(0);
    }

    // Operators by how tightly they bind, loosest first.
    Expr binary(std::size_t level) {
        static const std::vector<std::vector<const char*>> kLevels = {
            {"|"}, {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="}, {"+", "-"}, {"*", "/", "%"},
        };
        if (level == kLevels.size()) return unary();
        Expr left = binary(level + 1);
        for (;;) {
            const char* found = nullptr;
            for (const char* op : kLevels[level])
                if (atSymbol(op)) found = op;
            if (!found) return left;
            take();
            Expr combined{Expr::Kind::Binary, 0, found, {}};
            combined.operands.push_back(std::move(left));
            combined.operands.push_back(binary(level + 1));
            left = std::move(combined);
        }
    }

    Expr unary() {
        for (const char* op : {"-", "~", "!"})
            if (accept(op)) {
                Expr negated{Expr::Kind::Unary, 0, op, {}};
                negated.operands.push_back(unary());
                return negated;
            }
        return primary();
    }

    Expr primary() {
        if (at(Token::Kind::Number)) return Expr{Expr::Kind::Number, take().number, {}, {}};
        if (accept("(")) {
            Expr inner = expression();
            expect(")");
            return inner;
        }
        if (!at(Token::Kind::Name)) fail();
        const Token& name = take();
        auto function = functions().find(name.text);
        if (function == functions().end()) {
            if (!_declared.count(name.text)) throw SyntaxError{name.line};
            return Expr{Expr::Kind::Variable, 0, name.text, {}};
        }
        Expr call{Expr::Kind::Call, 0, name.text, {}};
        expect("(");
        if (!atSymbol(")")) {
            do call.operands.push_back(expression());
            while (accept(","));
        }
        expect(")");
        const int count = static_cast<int>(call.operands.size());
        if (count < function->second.first || count > function->second.second) throw SyntaxError{name.line};
        return call;
    }

    std::vector<Token> _tokens;
    std::size_t _at = 0;
    std::set<std::string>& _declared;
    Code _code;
};

} // namespace

Code parse(const std::string& text, std::set<std::string>& declared) {
    return Parser(tokenize(text), declared).program();
}

} // namespace sim::detail::latte
