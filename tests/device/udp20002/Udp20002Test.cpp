// The module answers to local port 20002, so the link must send from it.
// Alone in its program: CTest locks the port for it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "device/CorvinaCardSerialManager.h"
#include "device/UdpLink.h"

TEST(UdpLinkPort20002, DatagramsLeaveFromTheDefaultLocalPort)
{
    const int listener = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);

    UdpSettings settings;
    EXPECT_EQ(settings.localPort, 20002);
    settings.host = "127.0.0.1";
    settings.port = ntohs(address.sin_port);
    auto link = UdpLink::open(settings, nullptr);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->localPort(), 20002);
    ASSERT_TRUE(link->writeByte('1', nullptr));

    char byte = 0;
    sockaddr_in from{};
    size = sizeof from;
    pollfd p{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    ASSERT_EQ(::recvfrom(listener, &byte, 1, 0, reinterpret_cast<sockaddr*>(&from), &size), 1);
    EXPECT_EQ(byte, '1');
    EXPECT_EQ(ntohs(from.sin_port), 20002);
    link.reset();

    // The editor's Wi-Fi entry opened twice, and corvina-cli after it: each
    // opening binds 20002 anew, so the one before must have let it go.
    CorvinaCardSerialManager manager;
    manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
    manager.setUdpSettings(settings);
    ASSERT_TRUE(manager.scanPorts({}));
    ASSERT_TRUE(manager.pick("wifi"));
    for (int send = 0; send < 2; ++send) {
        CorvinaAppsError error;
        ASSERT_TRUE(manager.openLink(&error)) << "send " << send << ": " << error.message;
        ASSERT_TRUE(manager.writeByte('2', nullptr));
        ASSERT_EQ(::poll(&p, 1, 2000), 1);
        ASSERT_EQ(::recvfrom(listener, &byte, 1, 0, reinterpret_cast<sockaddr*>(&from), &size), 1);
        EXPECT_EQ(ntohs(from.sin_port), 20002);
    }
    manager.closeLinkIfWifi();
    EXPECT_TRUE(UdpLink::open(settings, nullptr)) << "20002 is free for the next program";
    ::close(listener);
}
