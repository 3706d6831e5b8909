#pragma once
// A dynamically typed value as property lists hold them.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace engine {

class Value;
using ValueVector = std::vector<Value>;
using ValueMap = std::unordered_map<std::string, Value>;

class Value {
public:
    enum class Type { NONE, BOOLEAN, INTEGER, FLOAT, DOUBLE, STRING, VECTOR, MAP, DATA };

    static const Value Null;

    Value() = default;
    explicit Value(bool v) : _type(Type::BOOLEAN), _b(v) {}
    explicit Value(int v) : _type(Type::INTEGER), _i(v) {}
    explicit Value(float v) : _type(Type::FLOAT), _f(v) {}
    explicit Value(double v) : _type(Type::DOUBLE), _d(v) {}
    explicit Value(const char* v) : _type(Type::STRING), _s(v ? v : "") {}
    explicit Value(std::string v) : _type(Type::STRING), _s(std::move(v)) {}
    // Bytes, as a property list's data holds them.
    static Value fromData(std::string bytes);
    explicit Value(const ValueVector& v);
    explicit Value(ValueVector&& v);
    explicit Value(const ValueMap& v);
    explicit Value(ValueMap&& v);

    Value(const Value& o);
    Value(Value&& o) noexcept;
    Value& operator=(const Value& o);
    Value& operator=(Value&& o) noexcept;
    ~Value();

    Type getType() const { return _type; }
    bool isNull() const { return _type == Type::NONE; }

    // Conversions follow the engine family: numbers convert among
    // themselves and from strings; anything else gives 0, false or "".
    // A string is false only when it is "0" or "false". Strings parse and
    // numbers print the same on every desktop locale; floats print with 7
    // decimals and doubles with 16, as the family does. Numbers too large
    // for an int clamp to its range, NaN gives 0.
    bool asBool() const;
    int asInt() const;
    float asFloat() const;
    double asDouble() const;
    std::string asString() const;
    // The bytes of a DATA value; empty for any other.
    const std::string& asData() const;

    // For a value of another type these return an empty container. The
    // mutable ones turn a null value into the container, so a missing map
    // entry can be filled in place; for any other type they return scratch
    // space that does not change the value and is gone at the next call.
    const ValueVector& asValueVector() const;
    ValueVector& asValueVector();
    const ValueMap& asValueMap() const;
    ValueMap& asValueMap();

    // Same type and same contents, nested containers compared deeply. NaN
    // equals NaN, so a value always equals its copy.
    bool operator==(const Value& o) const;
    bool operator!=(const Value& o) const { return !(*this == o); }

private:
    void reset();
    void copyFrom(const Value& o);

    Type _type = Type::NONE;
    bool _b = false;
    int _i = 0;
    float _f = 0;
    double _d = 0;
    std::string _s;
    std::unique_ptr<ValueVector> _vec;
    std::unique_ptr<ValueMap> _map;
};

// Numbers read from text the same way on every desktop locale. Both skip
// leading blanks and take the longest number at the start of the text, and
// return how many characters they used (0 when there is no number).
namespace detail {
// Decimal digits with an optional sign; saturates at the range of long long.
std::size_t readInteger(std::string_view text, long long& out);
// Decimal, exponent, "inf" and "nan"; too large gives infinity, too small 0.
std::size_t readDouble(std::string_view text, double& out);
} // namespace detail

} // namespace engine
