#include "cards/NumberText.h"

#include <locale.h>

#include <cerrno>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdlib>

namespace {
// strtod as atof uses it, but always with the "C" locale's point, so a
// German desktop still reads "1.5" as 1.5.
locale_t cLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

bool startsWithInfOrNan(const char* p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    if (*p == '+' || *p == '-') ++p;
    auto is = [&](const char* word) {
        for (size_t i = 0; word[i]; ++i)
            if ((p[i] | 0x20) != word[i]) return false;
        return true;
    };
    return is("inf") || is("nan");
}
} // namespace

double readNumberText(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    double value = strtod_l(begin, &end, cLocale());
    if (end == begin || std::isnan(value)) return 0;
    if (errno == ERANGE) {
        // Too small to hold is 0; too large stays an infinity, which the
        // writing clamps.
        if (std::fabs(value) <= DBL_MIN) return 0;
        return value;
    }
    // "inf" and "nan" are words, not numbers a child typed.
    if (std::isinf(value) && startsWithInfOrNan(begin)) return 0;
    return value;
}

std::string convertedNumberText(const std::string& text, float multiplier) {
    if (text.empty()) return "";
    // In double: a float keeps only 7 digits, and 99999999 would go out as
    // 100000000.
    double value = std::round(static_cast<double>(multiplier) * readNumberText(text));
    // The digit pictures have no "e" or "+" and the board cannot read
    // "1.2e+06": the value is written out whole, within what a long holds.
    if (std::isnan(value)) value = 0;
    constexpr double kLimit = 9.0e18;
    value = std::fmax(-kLimit, std::fmin(kLimit, value));
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
    return std::string(buffer, result.ptr);
}
