// The beeper under SDL's silent dummy audio driver, and on a machine whose
// audio cannot open at all.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/platform/Beeper.h"

using engine::Beeper;

namespace {

class BeeperTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        savedDriver = driver ? driver : "";
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        Beeper::getInstance()->shutdown();
    }
    void TearDown() override {
        Beeper::getInstance()->shutdown();
        if (savedDriver.empty()) unsetenv("SDL_AUDIODRIVER");
        else setenv("SDL_AUDIODRIVER", savedDriver.c_str(), 1);
    }
    std::string savedDriver;
};

} // namespace

TEST_F(BeeperTest, BeepsOpenTheDeviceOnceAndANewBeepReplacesTheOneSounding) {
    Beeper* beeper = Beeper::getInstance();
    const int before = beeper->beepsPlayed();
    EXPECT_FALSE(beeper->isOpen()) << "nothing opens before the first beep";
    ASSERT_TRUE(beeper->beep(880, 50)) << SDL_GetError();
    EXPECT_TRUE(beeper->isOpen());
    EXPECT_EQ(beeper->beepsPlayed(), before + 1);

    // Long beeps, cut to the longest allowed; the second replaces the first,
    // so what waits in the queue is never more than one beep.
    ASSERT_TRUE(beeper->beep(1000, 60000));
    ASSERT_TRUE(beeper->beep(1000, 60000));
    EXPECT_EQ(beeper->beepsPlayed(), before + 3);
    const Uint32 oneBeep = 48000u * 2 * Beeper::kLongestMs / 1000;  // 16-bit mono at up to 48 kHz
    const Uint32 queued = beeper->queuedBytes();
    EXPECT_GT(queued, 0u);
    EXPECT_LE(queued, oneBeep);
}

TEST_F(BeeperTest, NonsenseTonesAreRefused) {
    Beeper* beeper = Beeper::getInstance();
    const int before = beeper->beepsPlayed();
    EXPECT_FALSE(beeper->beep(0, 50));
    EXPECT_FALSE(beeper->beep(-440, 50));
    EXPECT_FALSE(beeper->beep(std::nan(""), 50));
    EXPECT_FALSE(beeper->beep(HUGE_VAL, 50));
    EXPECT_FALSE(beeper->beep(880, 0));
    EXPECT_FALSE(beeper->beep(880, -5));
    EXPECT_EQ(beeper->beepsPlayed(), before);
}

TEST_F(BeeperTest, WithoutAudioBeepsAreQuietlyRefusedUntilAudioComesBack) {
    Beeper* beeper = Beeper::getInstance();
    const int before = beeper->beepsPlayed();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(beeper->beep(880, 50));
    EXPECT_FALSE(beeper->beep(880, 50));
    EXPECT_FALSE(beeper->isOpen());
    EXPECT_EQ(beeper->beepsPlayed(), before);

    // Refusing does not stick past a shutdown.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_FALSE(beeper->beep(880, 50)) << "no new attempt without a shutdown";
    beeper->shutdown();
    EXPECT_TRUE(beeper->beep(880, 50));
    EXPECT_EQ(beeper->beepsPlayed(), before + 1);
}
