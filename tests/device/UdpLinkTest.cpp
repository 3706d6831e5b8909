#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cerrno>

#include "device/UdpLink.h"
#include "tests/device/LoopbackModule.h"
#include "tests/device/PtyBoard.h"

namespace {

class UdpLinkTest : public ::testing::Test {
protected:
    void TearDown() override { UdpLink::setSendToForTests({}); }
    devicetest::LoopbackModule listener;
};

} // namespace

TEST_F(UdpLinkTest, EachByteIsOneDatagramFromTheBoundPort)
{
    auto link = UdpLink::open(listener.settings(), nullptr);
    ASSERT_TRUE(link);
    ASSERT_GT(link->localPort(), 0);
    EXPECT_EQ(link->describe(), "127.0.0.1:" + std::to_string(listener.port));

    const std::string text = "LED 1";
    for (char c : text)
        ASSERT_TRUE(link->writeByte(static_cast<std::uint8_t>(c), nullptr));
    for (char c : text) {
        char buffer[16];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        pollfd p{listener.fd, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 2000), 1);
        ASSERT_EQ(::recvfrom(listener.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size), 1);
        EXPECT_EQ(buffer[0], c);
        EXPECT_EQ(ntohs(from.sin_port), link->localPort());
    }
}

TEST_F(UdpLinkTest, ATakenLocalPortOrABadHostFailsAndLeavesNoSocket)
{
    auto first = UdpLink::open(listener.settings(), nullptr);
    ASSERT_TRUE(first);
    UdpSettings same = listener.settings();
    same.localPort = first->localPort();

    const int before = devicetest::openDescriptorCount();
    int errorNumber = 0;
    EXPECT_FALSE(UdpLink::open(same, &errorNumber));
    EXPECT_EQ(errorNumber, EADDRINUSE);
    // Only dotted IPv4 addresses: names would need a lookup on the way.
    for (const char* host : {"localhost", "", "127.0.0", "::1"}) {
        UdpSettings bad = listener.settings();
        bad.host = host;
        EXPECT_FALSE(UdpLink::open(bad, &errorNumber)) << host;
    }
    EXPECT_EQ(devicetest::openDescriptorCount(), before);
}

TEST_F(UdpLinkTest, ARefusedSendFailsTheByte)
{
    auto link = UdpLink::open(listener.settings(), nullptr);
    ASSERT_TRUE(link);
    UdpLink::setSendToForTests([](int, const void*, size_t, int, const sockaddr*, socklen_t) -> ssize_t {
        errno = ENETUNREACH;
        return -1;
    });
    EXPECT_FALSE(link->writeByte('A', nullptr));
    EXPECT_EQ(link->lastError(), ENETUNREACH);
    UdpLink::setSendToForTests({});
    EXPECT_TRUE(link->writeByte('A', nullptr));

    // A full send queue is waited out, not taken for a failure.
    int tries = 0;
    UdpLink::setSendToForTests([&tries](int, const void*, size_t, int, const sockaddr*, socklen_t) -> ssize_t {
        if (++tries <= 2) {
            errno = EAGAIN;
            return -1;
        }
        return 1;
    });
    EXPECT_TRUE(link->writeByte('B', nullptr));
    EXPECT_EQ(tries, 3);
}
