#pragma once
// The Wi-Fi module played on loopback: a UDP socket bound to a free port of
// 127.0.0.1, which is where every test points the link.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "device/UdpLink.h"

namespace devicetest {

struct LoopbackModule {
    LoopbackModule() {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~LoopbackModule() { ::close(fd); }
    LoopbackModule(const LoopbackModule&) = delete;
    LoopbackModule& operator=(const LoopbackModule&) = delete;

    UdpSettings settings() const { return {"127.0.0.1", port, 0}; }
    // The payloads that arrived, one byte each, until none comes for 50 ms.
    std::string received() {
        std::string got;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) break;
            char buffer[16];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

    int fd = -1;
    int port = 0;
};

} // namespace devicetest
