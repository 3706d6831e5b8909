#pragma once
// A board behind the Wi-Fi module: each byte typed is one UDP datagram.
// UdpLink.cpp holds the POSIX calls, win/UdpLinkWin.cpp the Winsock ones.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#ifdef _MSC_VER
#include <BaseTsd.h>
using ssize_t = SSIZE_T;
#endif
using SocketHandle = SOCKET;
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
using SocketHandle = int;
#endif

#include <functional>
#include <memory>
#include <string>

#include "device/Link.h"

struct UdpSettings {
    std::string host = "192.168.20.1";  // the module's own access point
    int port = 20001;
    int localPort = 20002;  // the module answers to this port
};

class UdpLink : public Link {
public:
    using SendTo = std::function<ssize_t(SocketHandle, const void*, size_t, int, const sockaddr*, socklen_t)>;

    // Null when the host is not a dotted IPv4 address, a port is out of
    // range or the local port cannot be bound (EADDRINUSE when another
    // program holds it); `errorNumber` (may be null) then holds the errno.
    static std::unique_ptr<UdpLink> open(const UdpSettings& settings, int* errorNumber);
    // Replaces ::sendto for every link; an empty function restores it.
    static void setSendToForTests(SendTo sendTo);

    ~UdpLink() override;
    UdpLink(const UdpLink&) = delete;
    UdpLink& operator=(const UdpLink&) = delete;

    bool writeByte(std::uint8_t byte, const std::atomic<bool>* cancel) override;
    int lastError() const override { return _lastError; }
    std::string describe() const override;
    // The port actually bound: the chosen one when `localPort` was 0.
    int localPort() const { return _localPort; }

private:
    UdpLink(SocketHandle fd, const sockaddr_in& destination, int localPort)
        : _fd(fd), _destination(destination), _localPort(localPort) {}

    SocketHandle _fd;
    sockaddr_in _destination;
    int _localPort;
    int _lastError = 0;
};
