#pragma once
// Japanese or English for the whole run: picks one text of each pair and
// sends the pictures listed in "file.csv" to their English versions under
// "res_en/".
#include <string>
#include <vector>

#include "engine/core/ApplicationProtocol.h"

// A user-facing text in both languages, Japanese first.
struct TextPair {
    const char* japanese;
    const char* english;
};

// The texts shown by more than one place or far from where they are built.
namespace LocalizedTexts {
inline constexpr TextPair createNew{"あたらしくはじめる", "Create new code"};
inline constexpr TextPair connectAgain{"せつぞくしなおしてください。", "Please connect again."};
inline constexpr TextPair failed{"しっぱい", "Failed"};
inline constexpr TextPair connectionFailed{"せつぞくにしっぱいしました。", "Connection failed."};
inline constexpr TextPair selectedPortMarker{"● ", "* "};
} // namespace LocalizedTexts

class Localization {
public:
    // Created and loaded on first use, never destroyed.
    static Localization* getInstance();

    std::string localizedText(const std::string& japanese, const std::string& english) const;
    std::string localizedText(const TextPair& text) const;
    std::string localizedPath(const std::string& path) const;

    engine::LanguageType getLanguage() const { return _language; }
    const std::vector<std::string>& getEnglishPaths() const { return _englishPaths; }

    // Language of the system and the lines of "file.csv" from the resources.
    void load();
    // Replaces both, as `load` would have found them; anything not Japanese
    // is kept as English. For tests and tools that pick the language.
    void configure(engine::LanguageType language, std::vector<std::string> englishPaths);

private:
    Localization() = default;

    engine::LanguageType _language = engine::LanguageType::ENGLISH;
    std::vector<std::string> _englishPaths;
};

// The lines of a text split at each line feed, nothing else stripped: a
// final line without line feed counts, a carriage return stays in its line.
std::vector<std::string> splitLines(const std::string& text);

// `localizedPath` without the singleton.
std::string localizePath(engine::LanguageType language, const std::vector<std::string>& englishPaths,
                         const std::string& path);

// The running application's language; without one (a command-line tool, a
// test) the environment's: LANGUAGE's first entry, LC_ALL, LC_MESSAGES, LANG.
engine::LanguageType systemLanguage();
