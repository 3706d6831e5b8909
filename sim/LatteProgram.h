#pragma once
// latte program text made into steps the interpreter can stop between: a
// sleep only takes effect once its statement is done, so a step is one
// statement, one loop test or one jump back to it.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace sim::detail::latte {

struct Expr {
    enum class Kind { Number, Variable, Assign, Unary, Binary, Call };
    Kind kind = Kind::Number;
    std::int32_t number = 0;
    std::string name;            // the variable, the function or the operator
    std::vector<Expr> operands;  // of an operator; a call's arguments; an assignment's value
};

struct Step {
    enum class Op {
        Eval,     // the expression, for what it does
        Declare,  // var name = expression
        Test,     // a loop's condition: on to the body, or to target when false
        Jump,     // back to the loop's test at target
    };
    Op op = Op::Eval;
    int line = 0;  // from 0, in the text parsed
    Expr expr;
    std::string name;
    std::size_t target = 0;
};

using Code = std::vector<Step>;

// Where the text cannot be read; its line from 0.
struct SyntaxError {
    int line = 0;
};

// The steps of `text`. `declared` holds the variables known before it and
// receives those it declares; a name used before its declaration is an
// error, as is anything the board's cards never send.
Code parse(const std::string& text, std::set<std::string>& declared);

} // namespace sim::detail::latte
