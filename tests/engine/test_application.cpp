// What the application asks of the system: language and the browser.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/Director.h"
#include "engine/platform/Application.h"
#include "support/SteppedClock.h"

using namespace engine;

namespace {

struct TestApp : Application {
    bool applicationDidFinishLaunching() override { return true; }
    void applicationDidEnterBackground() override {}
    void applicationWillEnterForeground() override {}
};

// A stand-in for xdg-open in a folder of its own, exiting with `code`.
std::string fakeOpener(const std::string& name, int code) {
    std::string dir = std::string(std::getenv("CORVINA_DATA_DIR")) + "/" + name;
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/xdg-open") << "#!/bin/sh\necho \"$1\" > \"${0%/*}/opened\"\nexit " << code << "\n";
    std::filesystem::permissions(dir + "/xdg-open", std::filesystem::perms::owner_all);
    return dir;
}

class EnvGuard {
public:
    explicit EnvGuard(const char* name) : _name(name) {
        const char* v = std::getenv(name);
        _had = v != nullptr;
        if (v) _value = v;
    }
    ~EnvGuard() {
        if (_had) setenv(_name, _value.c_str(), 1);
        else unsetenv(_name);
    }

private:
    const char* _name;
    bool _had = false;
    std::string _value;
};

} // namespace

TEST(ApplicationTest, LanguageFollowsTheSystemLocale) {
    TestApp app;
    EnvGuard lang("LANG"), language("LANGUAGE"), all("LC_ALL");
    unsetenv("LC_ALL");
    unsetenv("LANGUAGE");
    setenv("LANG", "ja_JP.UTF-8", 1);
    EXPECT_EQ(app.getCurrentLanguage(), LanguageType::JAPANESE);
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(app.getCurrentLanguage(), LanguageType::GERMAN);
    unsetenv("LANG");
    setenv("LANGUAGE", "ja:en", 1);
    EXPECT_EQ(app.getCurrentLanguage(), LanguageType::JAPANESE) << "LANGUAGE when LANG is not set";
    unsetenv("LANGUAGE");
    setenv("LANG", "C", 1);
    EXPECT_EQ(app.getCurrentLanguage(), LanguageType::ENGLISH);
    EXPECT_EQ(Application::getInstance(), &app);
    EXPECT_EQ(ApplicationProtocol::getRunning(), &app);
}

TEST(ApplicationTest, OpeningAPageReportsWhetherABrowserCouldStart) {
    TestApp app;
    EnvGuard path("PATH");
    std::string works = fakeOpener("works", 0);
    setenv("PATH", works.c_str(), 1);
    EXPECT_TRUE(app.openURL("https://example.invalid/copyright/win32/"));
    std::ifstream opened(works + "/opened");
    std::string url;
    std::getline(opened, url);
    EXPECT_EQ(url, "https://example.invalid/copyright/win32/");

    // xdg-open exits 3 when it finds no browser.
    std::string fails = fakeOpener("fails", 3);
    setenv("PATH", fails.c_str(), 1);
    EXPECT_FALSE(app.openURL("https://example.invalid/"));

    std::string empty = std::string(std::getenv("CORVINA_DATA_DIR")) + "/empty";
    std::filesystem::create_directories(empty);
    setenv("PATH", empty.c_str(), 1);
    EXPECT_FALSE(app.openURL("https://example.invalid/")) << "no opener at all";
}

namespace {
struct PacedApp : Application {
    bool applicationDidFinishLaunching() override {
        Director::getInstance()->setAnimationInterval(1.0f / 30);
        return true;
    }
    void applicationDidEnterBackground() override {}
    void applicationWillEnterForeground() override {}
};
} // namespace

TEST(ApplicationTest, TheLoopSleepsWithTheIntervalTheDirectorWasGiven) {
    Director::getInstance()->reset();
    Director::getInstance()->setOpenGLView(nullptr);  // the loop ends the view it runs
    PacedApp app;
    testsupport::SteppedClock clock(&app, 10);
    clock.onHalfWay = [] { Director::getInstance()->setAnimationInterval(1.0f / 60); };
    app.setFrameClock(&clock);
    EXPECT_EQ(app.run(), 0);
    ASSERT_EQ(clock.sleeps.size(), 10u);
    for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(clock.sleeps[i], 1.0 / 30, 1e-6) << "frame " << i;
    for (size_t i = 6; i < 10; ++i) EXPECT_NEAR(clock.sleeps[i], 1.0 / 60, 1e-6) << "frame " << i;
    EXPECT_EQ(Director::getInstance()->getTotalFrames(), 10u);
    Director::getInstance()->reset();
}
