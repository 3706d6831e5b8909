#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "device/SerialLink.h"
#include "tests/device/PtyBoard.h"

using devicetest::PtyBoard;

TEST(SerialLink, EveryByteArrivesUntranslatedOverRaw115200EightNOne)
{
    PtyBoard board;
    ASSERT_FALSE(board.slavePath.empty());
    int errorNumber = -1;
    auto link = SerialLink::open(board.slavePath, &errorNumber);
    ASSERT_TRUE(link) << errorNumber;
    EXPECT_EQ(link->describe(), board.slavePath);

    const int slave = ::open(board.slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    ASSERT_EQ(tcgetattr(slave, &tio), 0);
    ::close(slave);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | IXON), 0u);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));

    // Line endings, break, escape and every other value go out as they are.
    std::string all;
    for (int value = 0; value < 256; ++value)
        all.push_back(static_cast<char>(value));
    for (char c : all)
        ASSERT_TRUE(link->writeByte(static_cast<std::uint8_t>(c), nullptr));
    EXPECT_EQ(board.receive(all.size()), all);

    // The board went away: the next byte fails instead of vanishing.
    board.closeMaster();
    EXPECT_FALSE(link->writeByte('A', nullptr));
}

TEST(SerialLink, APortThatCannotBeOpenedOrSetUpLeavesNothingOpen)
{
    const int before = devicetest::openDescriptorCount();
    int errorNumber = 0;
    EXPECT_FALSE(SerialLink::open("/dev/null", &errorNumber));  // not a terminal
    EXPECT_EQ(errorNumber, ENOTTY);
    EXPECT_FALSE(SerialLink::open("/nonexistent/ttyUSB0", &errorNumber));
    EXPECT_EQ(errorNumber, ENOENT);
    EXPECT_EQ(devicetest::openDescriptorCount(), before);
}

TEST(SerialLink, AFullPortFailsTheByteAtTheDeadlineOrAtOnceWhenCancelled)
{
    PtyBoard board;
    auto link = SerialLink::open(board.slavePath, nullptr);
    ASSERT_TRUE(link);
    // Nobody reads the board: fill the pty until it takes nothing more, even
    // after the kernel has moved what it could.
    const int filler = ::open(board.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    const std::string chunk(1024, 'x');
    for (bool tookSome = true; tookSome;) {
        tookSome = false;
        while (::write(filler, chunk.data(), chunk.size()) > 0 || ::write(filler, "x", 1) > 0)
            tookSome = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the kernel move what it can
    }
    ::close(filler);

    EXPECT_FALSE(link->writeByte('A', nullptr));

    std::atomic<bool> cancel{false};
    std::atomic<bool> returned{false};
    bool written = true;
    const auto began = std::chrono::steady_clock::now();
    std::thread writer([&] {
        written = link->writeByte('B', &cancel);
        returned = true;
    });
    cancel = true;
    writer.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(written);
    // Well before the two-second deadline.
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(1500));
}
