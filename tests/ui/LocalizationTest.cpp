#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/core/FileUtils.h"
#include "ui/Localization.h"

using engine::LanguageType;
using Lines = std::vector<std::string>;

TEST(Localization, SplitsOnlyAtLineFeeds)
{
    EXPECT_EQ(splitLines(""), Lines{});
    EXPECT_EQ(splitLines("\n"), Lines{""});
    EXPECT_EQ(splitLines("res/a.png"), Lines{"res/a.png"});
    EXPECT_EQ(splitLines("res/a.png\n\nres/b.png\n"), (Lines{"res/a.png", "", "res/b.png"}));
    EXPECT_EQ(splitLines("res/a.png\r\nres/b.png"), (Lines{"res/a.png\r", "res/b.png"}));
}

TEST(Localization, ListedPathsGoToTheEnglishPictures)
{
    const Lines listed{"res/r_play.png", "r_plain.png", "res/cards/full/r_beep.png"};
    EXPECT_EQ(localizePath(LanguageType::ENGLISH, listed, "res/cards/full/r_beep.png"),
              "res_en/cards/full/r_beep.png");
    EXPECT_EQ(localizePath(LanguageType::ENGLISH, listed, "res/r_record.png"), "res/r_record.png");
    // Only a whole line matches, and nothing without "res/" is touched.
    EXPECT_EQ(localizePath(LanguageType::ENGLISH, listed, "res/r_play"), "res/r_play");
    EXPECT_EQ(localizePath(LanguageType::ENGLISH, listed, "r_plain.png"), "r_plain.png");
    // Japanese is the base: every listed path stays.
    for (const auto& path : listed)
        EXPECT_EQ(localizePath(LanguageType::JAPANESE, listed, path), path);
}

TEST(Localization, ListWithCarriageReturnsMatchesOnlyItsLastLine)
{
    const Lines listed = splitLines("res/r_play.png\r\nres/r_stop.png\r\nres/r_record.png");
    EXPECT_EQ(localizePath(LanguageType::ENGLISH, listed, "res/r_play.png"), "res/r_play.png");
    EXPECT_EQ(localizePath(LanguageType::ENGLISH, listed, "res/r_stop.png"), "res/r_stop.png");
    EXPECT_EQ(localizePath(LanguageType::ENGLISH, listed, "res/r_record.png"), "res_en/r_record.png");
}

TEST(Localization, EveryLanguageButJapaneseSpeaksEnglish)
{
    Localization* localization = Localization::getInstance();
    localization->configure(LanguageType::GERMAN, {"res/r_play.png"});
    EXPECT_EQ(localization->getLanguage(), LanguageType::ENGLISH);
    EXPECT_EQ(localization->localizedText("はい", "Yes"), "Yes");
    EXPECT_EQ(localization->localizedPath("res/r_play.png"), "res_en/r_play.png");

    localization->configure(LanguageType::JAPANESE, {"res/r_play.png"});
    EXPECT_EQ(localization->localizedText(LocalizedTexts::selectedPortMarker), "● ");
    EXPECT_EQ(localization->localizedPath("res/r_play.png"), "res/r_play.png");
}

TEST(Localization, LocaleNamesGiveTheirLanguage)
{
    for (const char* name : {"ja", "ja_JP.UTF-8", "ja-JP", "JA_jp", "ja@modifier"})
        EXPECT_EQ(engine::languageFromLocaleName(name), LanguageType::JAPANESE) << name;
    EXPECT_EQ(engine::languageFromLocaleName("de_DE"), LanguageType::GERMAN);
    // Unknown, empty and look-alike names are English.
    for (const char* name : {"", "C", "POSIX", "C.UTF-8", "xx_YY", "jav", "j"})
        EXPECT_EQ(engine::languageFromLocaleName(name), LanguageType::ENGLISH) << name;
}

namespace {

// Sets locale variables for one test and puts the old values back.
class LocaleEnvironment {
public:
    LocaleEnvironment(std::initializer_list<std::pair<const char*, const char*>> values)
    {
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* old = std::getenv(name);
            _saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
            unsetenv(name);
        }
        for (const auto& [name, value] : values)
            setenv(name, value, 1);
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    ~LocaleEnvironment()
    {
        for (const auto& [name, value] : _saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> _saved;
};

class RunningApplication : public engine::ApplicationProtocol {
public:
    explicit RunningApplication(LanguageType language) : _language(language) { s_running = this; }
    ~RunningApplication() override { s_running = nullptr; }
    bool applicationDidFinishLaunching() override { return true; }
    void applicationDidEnterBackground() override {}
    void applicationWillEnterForeground() override {}
    LanguageType getCurrentLanguage() override { return _language; }
    bool openURL(const std::string&) override { return false; }
    void setAnimationInterval(float) override {}

private:
    LanguageType _language;
};

} // namespace

TEST(Localization, WithoutAnApplicationTheEnvironmentDecides)
{
    auto languageWith = [](std::initializer_list<std::pair<const char*, const char*>> values) {
        LocaleEnvironment env(values);
        return systemLanguage();
    };
    EXPECT_EQ(languageWith({{"LANGUAGE", "ja:en"}, {"LANG", "de_DE.UTF-8"}}), LanguageType::JAPANESE);
    EXPECT_EQ(languageWith({{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "de"}}),
              LanguageType::JAPANESE);
    EXPECT_EQ(languageWith({{"LC_ALL", "de_DE.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}), LanguageType::GERMAN);
    EXPECT_EQ(languageWith({}), LanguageType::ENGLISH);

    // A running application knows better than the environment.
    LocaleEnvironment env{{"LANG", "de_DE.UTF-8"}};
    RunningApplication application(LanguageType::JAPANESE);
    EXPECT_EQ(systemLanguage(), LanguageType::JAPANESE);
}

TEST(Localization, LoadsTheListFromTheResources)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("localization-test-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "file.csv", std::ios::binary) << "res/r_play.png\n\nres/r_stop.png";

    auto* files = engine::FileUtils::getInstance();
    const auto searchPaths = files->getSearchPaths();
    files->setSearchPaths({folder.string()});
    LocaleEnvironment env{{"LANG", "fr_FR.UTF-8"}};
    Localization* localization = Localization::getInstance();
    localization->load();
    EXPECT_EQ(localization->getLanguage(), LanguageType::ENGLISH);
    EXPECT_EQ(localization->getEnglishPaths(), (Lines{"res/r_play.png", "", "res/r_stop.png"}));
    EXPECT_EQ(localization->localizedPath("res/r_stop.png"), "res_en/r_stop.png");

    // Without the list every picture stays where it is.
    fs::remove_all(folder);
    localization->load();
    EXPECT_TRUE(localization->getEnglishPaths().empty());
    files->setSearchPaths(searchPaths);
}
