#include "ui/Localization.h"

#include <algorithm>
#include <cstdlib>

#include "engine/core/FileUtils.h"

using engine::LanguageType;

namespace {

constexpr const char* kEnglishPathList = "file.csv";
constexpr const char* kJapaneseRoot = "res/";
constexpr const char* kEnglishRoot = "res_en/";

// Only two languages are spoken; every other one gets the English texts.
LanguageType spokenLanguage(LanguageType language)
{
    return language == LanguageType::JAPANESE ? LanguageType::JAPANESE : LanguageType::ENGLISH;
}

std::string environmentLocale()
{
    if (const char* language = std::getenv("LANGUAGE"); language && *language) {
        std::string first(language);
        return first.substr(0, first.find(':'));
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value)
            return value;
    return {};
}

} // namespace

Localization* Localization::getInstance()
{
    static Localization* instance = [] {
        auto* localization = new Localization();
        localization->load();
        return localization;
    }();
    return instance;
}

std::string Localization::localizedText(const std::string& japanese, const std::string& english) const
{
    return _language == LanguageType::JAPANESE ? japanese : english;
}

std::string Localization::localizedText(const TextPair& text) const
{
    return localizedText(text.japanese, text.english);
}

std::string Localization::localizedPath(const std::string& path) const
{
    return localizePath(_language, _englishPaths, path);
}

void Localization::load()
{
    configure(systemLanguage(), splitLines(engine::FileUtils::getInstance()->getStringFromFile(kEnglishPathList)));
}

void Localization::configure(LanguageType language, std::vector<std::string> englishPaths)
{
    _language = spokenLanguage(language);
    _englishPaths = std::move(englishPaths);
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string localizePath(LanguageType language, const std::vector<std::string>& englishPaths, const std::string& path)
{
    if (path.find(kJapaneseRoot) == std::string::npos || language == LanguageType::JAPANESE)
        return path;
    if (std::find(englishPaths.begin(), englishPaths.end(), path) == englishPaths.end())
        return path;
    // The listed paths start with "res/"; its four characters give way.
    return kEnglishRoot + path.substr(4);
}

LanguageType systemLanguage()
{
    if (auto* application = engine::ApplicationProtocol::getRunning())
        return application->getCurrentLanguage();
    return engine::languageFromLocaleName(environmentLocale());
}
