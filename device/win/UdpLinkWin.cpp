// The Wi-Fi module on Windows: a non-blocking Winsock datagram socket bound
// to the fixed local port, one datagram per byte.
#include <cerrno>
#include <mutex>

#include "device/UdpLink.h"

namespace {
std::mutex sendToMutex;
UdpLink::SendTo sendToOverride;

int errnoFor(int wsaError) {
    switch (wsaError) {
    case WSAEADDRINUSE: return EADDRINUSE;
    case WSAEACCES: return EACCES;
    default: return EIO;
    }
}
} // namespace

void UdpLink::setSendToForTests(SendTo sendTo) {
    std::lock_guard<std::mutex> lock(sendToMutex);
    sendToOverride = std::move(sendTo);
}

std::unique_ptr<UdpLink> UdpLink::open(const UdpSettings& settings, int* errorNumber) {
    auto fail = [&](int error) {
        if (errorNumber) *errorNumber = error;
        return std::unique_ptr<UdpLink>();
    };
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    if (settings.port <= 0 || settings.port > 65535 || settings.localPort < 0 || settings.localPort > 65535 ||
        inet_pton(AF_INET, settings.host.c_str(), &destination.sin_addr) != 1)
        return fail(EINVAL);
    destination.sin_port = htons(static_cast<u_short>(settings.port));
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 0), &wsa) != 0) return fail(EIO);
    SOCKET fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd == INVALID_SOCKET) {
        WSACleanup();
        return fail(EIO);
    }
    u_long nonBlocking = 1;
    ioctlsocket(fd, FIONBIO, &nonBlocking);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<u_short>(settings.localPort));
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        shutdown(fd, SD_BOTH);
        closesocket(fd);
        WSACleanup();
        return fail(errnoFor(error));
    }
    int length = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    return std::unique_ptr<UdpLink>(new UdpLink(fd, destination, ntohs(local.sin_port)));
}

UdpLink::~UdpLink() {
    shutdown(_fd, SD_BOTH);
    closesocket(_fd);
    WSACleanup();
}

bool UdpLink::writeByte(std::uint8_t byte, const std::atomic<bool>*) {
    SendTo sendTo;
    {
        std::lock_guard<std::mutex> lock(sendToMutex);
        sendTo = sendToOverride;
    }
    const sockaddr* to = reinterpret_cast<const sockaddr*>(&_destination);
    const ssize_t sent = sendTo ? sendTo(_fd, &byte, 1, 0, to, sizeof _destination)
                                : ::sendto(_fd, reinterpret_cast<const char*>(&byte), 1, 0, to, sizeof _destination);
    // Refused by the system (no route to the module): a failed byte.
    return sent == 1;
}

std::string UdpLink::describe() const {
    char host[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &_destination.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(_destination.sin_port));
}
