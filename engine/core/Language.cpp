#include "engine/core/ApplicationProtocol.h"

#include <cctype>
#include <string_view>

namespace engine {

namespace {

struct LanguageCode {
    std::string_view code;
    LanguageType language;
};

// Two- and three-letter codes as they open a locale name. Norwegian has
// three spellings in the wild.
constexpr LanguageCode kLanguageCodes[] = {
    {"en", LanguageType::ENGLISH},    {"zh", LanguageType::CHINESE},   {"fr", LanguageType::FRENCH},
    {"it", LanguageType::ITALIAN},    {"de", LanguageType::GERMAN},    {"es", LanguageType::SPANISH},
    {"nl", LanguageType::DUTCH},      {"ru", LanguageType::RUSSIAN},   {"ko", LanguageType::KOREAN},
    {"ja", LanguageType::JAPANESE},   {"hu", LanguageType::HUNGARIAN}, {"pt", LanguageType::PORTUGUESE},
    {"ar", LanguageType::ARABIC},     {"nb", LanguageType::NORWEGIAN}, {"nn", LanguageType::NORWEGIAN},
    {"no", LanguageType::NORWEGIAN},  {"pl", LanguageType::POLISH},    {"tr", LanguageType::TURKISH},
    {"uk", LanguageType::UKRAINIAN},  {"ro", LanguageType::ROMANIAN},  {"bg", LanguageType::BULGARIAN},
};

} // namespace

LanguageType languageFromLocaleName(const std::string& locale)
{
    // The language is what comes before the territory ("_" or "-"), the
    // encoding (".") or the modifier ("@"): "ja_JP.UTF-8", "ja-JP", "ja".
    std::string code;
    for (char c : locale) {
        if (c == '_' || c == '-' || c == '.' || c == '@')
            break;
        code += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const auto& entry : kLanguageCodes)
        if (entry.code == code)
            return entry.language;
    return LanguageType::ENGLISH;
}

} // namespace engine
