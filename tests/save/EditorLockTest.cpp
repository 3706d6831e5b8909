// One editor per data folder: the lock, the word a second start sends, and
// a lock that ends with its process however it ends.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "catalogue/EditorLock.h"

extern char** environ;

namespace {

std::string freshFolder(const char* name) {
    const char* base = std::getenv("CORVINA_DATA_DIR");
    std::filesystem::path folder = std::filesystem::path(base && *base ? base : "/tmp/corvina-test") / name;
    std::filesystem::remove_all(folder);
    return folder.string();
}

TEST(EditorLock, ASecondStartFindsTheFirstAndAsksForItsWindow) {
    const std::string folder = freshFolder("lock-two");
    {
        EditorLock first(folder);
        ASSERT_EQ(first.state(), EditorLock::State::Held);
        EXPECT_FALSE(first.windowWanted());
        EditorLock second(folder);
        EXPECT_EQ(second.state(), EditorLock::State::HeldElsewhere);
        EXPECT_TRUE(EditorLock::heldByAnother(folder));
        ASSERT_TRUE(second.askForWindow());
        EXPECT_TRUE(first.windowWanted());
        EXPECT_FALSE(first.windowWanted()) << "one word, one raise";
        EXPECT_FALSE(EditorLock(freshFolder("lock-other")).state() == EditorLock::State::HeldElsewhere)
            << "another folder is another editor's";
    }
    EXPECT_FALSE(EditorLock::heldByAnother(folder));
    EXPECT_EQ(EditorLock(folder).state(), EditorLock::State::Held);
}

TEST(EditorLock, TheLockEndsWithAProcessKilledHoldingIt) {
    const std::string folder = freshFolder("lock-killed");
    std::filesystem::create_directories(folder);
    const std::string file = folder + "/editor.lock";
    // Another process holds the lock as the editor does, then is killed.
    pid_t pid = 0;
    const char* argv[] = {"flock", "-o", file.c_str(), "sleep", "5", nullptr};
    ASSERT_EQ(posix_spawnp(&pid, "flock", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    for (int i = 0; i < 200 && !EditorLock::heldByAnother(folder); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(EditorLock(folder).state(), EditorLock::State::HeldElsewhere);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    for (int i = 0; i < 200 && EditorLock::heldByAnother(folder); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(EditorLock(folder).state(), EditorLock::State::Held);
}

} // namespace
