#include "engine/core/Value.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace engine {

const Value Value::Null;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Index of the first non-blank character.
std::size_t skipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    return i;
}

// from_chars takes no '+'; skip one when a number follows it, as C does.
std::size_t skipPlus(std::string_view text, std::size_t i) {
    if (i + 1 < text.size() && text[i] == '+' && text[i + 1] != '-' && text[i + 1] != '+') return i + 1;
    return i;
}

// from_chars leaves the result alone when the number is out of range; decide
// between overflow and underflow from the decimal exponent of the first
// significant digit.
double outOfRange(std::string_view number) {
    std::size_t i = 0;
    bool negative = false;
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) negative = number[i++] == '-';
    long long magnitude = 0;
    bool seenSignificant = false, afterPoint = false;
    for (; i < number.size(); ++i) {
        char c = number[i];
        if (c == '.') { afterPoint = true; continue; }
        if (!isDigit(c)) break;
        if (!afterPoint) {
            if (seenSignificant) ++magnitude;
            else if (c != '0') seenSignificant = true;
        } else if (!seenSignificant) {
            --magnitude;
            if (c != '0') seenSignificant = true;
        }
    }
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        long long exponent = 0;
        detail::readInteger(number.substr(i + 1), exponent);
        // Both terms are far from the limits of long long: digits are few
        // next to 2^62, and the exponent saturates.
        magnitude = exponent > 0 ? (magnitude > LLONG_MAX - exponent ? LLONG_MAX : magnitude + exponent)
                                 : (magnitude < LLONG_MIN - exponent ? LLONG_MIN : magnitude + exponent);
    }
    double result = magnitude > 0 ? HUGE_VAL : 0.0;
    return negative ? -result : result;
}

int clampToInt(double d) {
    if (std::isnan(d)) return 0;
    if (d >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (d <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(d);
}

std::string formatFixed(double d, int decimals) {
    // The largest double has 309 integer digits.
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

} // namespace

namespace detail {

std::size_t readInteger(std::string_view text, long long& out) {
    std::size_t start = skipPlus(text, skipBlanks(text));
    const char* first = text.data() + start;
    auto result = std::from_chars(first, text.data() + text.size(), out);
    if (result.ptr == first) return 0;
    if (result.ec == std::errc::result_out_of_range) out = *first == '-' ? LLONG_MIN : LLONG_MAX;
    return static_cast<std::size_t>(result.ptr - text.data());
}

std::size_t readDouble(std::string_view text, double& out) {
    std::size_t start = skipPlus(text, skipBlanks(text));
    const char* first = text.data() + start;
    auto result = std::from_chars(first, text.data() + text.size(), out, std::chars_format::general);
    if (result.ptr == first) return 0;
    if (result.ec == std::errc::result_out_of_range)
        out = outOfRange(std::string_view(first, static_cast<std::size_t>(result.ptr - first)));
    return static_cast<std::size_t>(result.ptr - text.data());
}

} // namespace detail

Value Value::fromData(std::string bytes) {
    Value value;
    value._type = Type::DATA;
    value._s = std::move(bytes);
    return value;
}

const std::string& Value::asData() const {
    static const std::string none;
    return _type == Type::DATA ? _s : none;
}

Value::Value(const ValueVector& v) : _type(Type::VECTOR), _vec(std::make_unique<ValueVector>(v)) {}
Value::Value(ValueVector&& v) : _type(Type::VECTOR), _vec(std::make_unique<ValueVector>(std::move(v))) {}
Value::Value(const ValueMap& v) : _type(Type::MAP), _map(std::make_unique<ValueMap>(v)) {}
Value::Value(ValueMap&& v) : _type(Type::MAP), _map(std::make_unique<ValueMap>(std::move(v))) {}

Value::Value(const Value& o) { copyFrom(o); }

Value::Value(Value&& o) noexcept
    : _type(o._type), _b(o._b), _i(o._i), _f(o._f), _d(o._d), _s(std::move(o._s)),
      _vec(std::move(o._vec)), _map(std::move(o._map)) {
    o.reset();
}

Value& Value::operator=(const Value& o) {
    if (this != &o) {
        // Copy first: o may live inside this value's own containers.
        Value copy(o);
        *this = std::move(copy);
    }
    return *this;
}

Value& Value::operator=(Value&& o) noexcept {
    if (this != &o) {
        // Take o's parts before dropping ours, which may own o.
        Type type = o._type;
        bool b = o._b;
        int i = o._i;
        float f = o._f;
        double d = o._d;
        std::string s = std::move(o._s);
        auto vec = std::move(o._vec);
        auto map = std::move(o._map);
        o.reset();
        _type = type;
        _b = b;
        _i = i;
        _f = f;
        _d = d;
        _s = std::move(s);
        _vec = std::move(vec);
        _map = std::move(map);
    }
    return *this;
}

Value::~Value() = default;

void Value::reset() {
    _type = Type::NONE;
    _b = false;
    _i = 0;
    _f = 0;
    _d = 0;
    _s.clear();
    _vec.reset();
    _map.reset();
}

void Value::copyFrom(const Value& o) {
    _type = o._type;
    _b = o._b;
    _i = o._i;
    _f = o._f;
    _d = o._d;
    _s = o._s;
    _vec = o._type == Type::VECTOR ? std::make_unique<ValueVector>(*o._vec) : nullptr;
    _map = o._type == Type::MAP ? std::make_unique<ValueMap>(*o._map) : nullptr;
}

bool Value::asBool() const {
    switch (_type) {
    case Type::BOOLEAN: return _b;
    case Type::INTEGER: return _i != 0;
    case Type::FLOAT: return _f != 0;
    case Type::DOUBLE: return _d != 0;
    case Type::STRING: return !(_s == "0" || _s == "false");
    default: return false;
    }
}

int Value::asInt() const {
    switch (_type) {
    case Type::BOOLEAN: return _b ? 1 : 0;
    case Type::INTEGER: return _i;
    case Type::FLOAT: return clampToInt(_f);
    case Type::DOUBLE: return clampToInt(_d);
    case Type::STRING: {
        long long n = 0;
        if (detail::readInteger(_s, n) == 0) return 0;
        return n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
    }
    default: return 0;
    }
}

float Value::asFloat() const {
    // Outside the range of float the conversion gives infinity.
    return _type == Type::FLOAT ? _f : static_cast<float>(asDouble());
}

double Value::asDouble() const {
    switch (_type) {
    case Type::BOOLEAN: return _b ? 1.0 : 0.0;
    case Type::INTEGER: return _i;
    case Type::FLOAT: return _f;
    case Type::DOUBLE: return _d;
    case Type::STRING: {
        double d = 0;
        return detail::readDouble(_s, d) == 0 ? 0.0 : d;
    }
    default: return 0;
    }
}

std::string Value::asString() const {
    switch (_type) {
    case Type::BOOLEAN: return _b ? "true" : "false";
    case Type::INTEGER: return std::to_string(_i);
    case Type::FLOAT: return formatFixed(_f, 7);
    case Type::DOUBLE: return formatFixed(_d, 16);
    case Type::STRING: return _s;
    default: return {};
    }
}

const ValueVector& Value::asValueVector() const {
    static const ValueVector empty;
    return _type == Type::VECTOR ? *_vec : empty;
}

ValueVector& Value::asValueVector() {
    if (_type == Type::VECTOR) return *_vec;
    // A null value (a missing map entry) becomes the vector, so what the
    // caller adds is kept; any other value keeps its own contents.
    if (_type == Type::NONE) {
        _type = Type::VECTOR;
        _vec = std::make_unique<ValueVector>();
        return *_vec;
    }
    if (_vec) _vec->clear();
    else _vec = std::make_unique<ValueVector>();
    return *_vec;
}

const ValueMap& Value::asValueMap() const {
    static const ValueMap empty;
    return _type == Type::MAP ? *_map : empty;
}

ValueMap& Value::asValueMap() {
    if (_type == Type::MAP) return *_map;
    if (_type == Type::NONE) {
        _type = Type::MAP;
        _map = std::make_unique<ValueMap>();
        return *_map;
    }
    if (_map) _map->clear();
    else _map = std::make_unique<ValueMap>();
    return *_map;
}

bool Value::operator==(const Value& o) const {
    if (this == &o) return true;
    if (_type != o._type) return false;
    switch (_type) {
    case Type::NONE: return true;
    case Type::BOOLEAN: return _b == o._b;
    case Type::INTEGER: return _i == o._i;
    case Type::FLOAT: return _f == o._f || (std::isnan(_f) && std::isnan(o._f));
    case Type::DOUBLE: return _d == o._d || (std::isnan(_d) && std::isnan(o._d));
    case Type::STRING:
    case Type::DATA: return _s == o._s;
    case Type::VECTOR: return *_vec == *o._vec;
    case Type::MAP: return *_map == *o._map;
    }
    return false;
}

} // namespace engine
