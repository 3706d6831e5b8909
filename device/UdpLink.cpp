#include "device/UdpLink.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>

#include "device/WaitWritable.h"

namespace {

constexpr auto kWriteDeadline = std::chrono::seconds(2);

std::mutex sendToMutex;
UdpLink::SendTo& sendToCall()
{
    static UdpLink::SendTo call;
    return call;
}

ssize_t sendDatagram(int fd, const void* data, size_t size, const sockaddr* to, socklen_t toSize)
{
    UdpLink::SendTo call;
    {
        std::lock_guard<std::mutex> lock(sendToMutex);
        call = sendToCall();
    }
    return call ? call(fd, data, size, 0, to, toSize) : ::sendto(fd, data, size, 0, to, toSize);
}

bool fail(int* errorNumber, int error)
{
    if (errorNumber)
        *errorNumber = error;
    return false;
}

} // namespace

void UdpLink::setSendToForTests(SendTo sendTo)
{
    std::lock_guard<std::mutex> lock(sendToMutex);
    sendToCall() = std::move(sendTo);
}

std::unique_ptr<UdpLink> UdpLink::open(const UdpSettings& settings, int* errorNumber)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    if (settings.port < 1 || settings.port > 65535 || settings.localPort < 0 || settings.localPort > 65535 ||
        inet_pton(AF_INET, settings.host.c_str(), &destination.sin_addr) != 1) {
        fail(errorNumber, EINVAL);
        return nullptr;
    }
    destination.sin_port = htons(static_cast<uint16_t>(settings.port));

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        fail(errorNumber, errno);
        return nullptr;
    }
    // No SO_REUSEADDR: a second program on the module's port must be told,
    // not share the answers.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<uint16_t>(settings.localPort));
    socklen_t localSize = sizeof local;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0) {
        const int saved = errno;
        ::close(fd);
        fail(errorNumber, saved);
        return nullptr;
    }
    if (errorNumber)
        *errorNumber = 0;
    return std::unique_ptr<UdpLink>(new UdpLink(fd, destination, ntohs(local.sin_port)));
}

UdpLink::~UdpLink()
{
    ::close(_fd);
}

bool UdpLink::writeByte(std::uint8_t byte, const std::atomic<bool>* cancel)
{
    const auto deadline = std::chrono::steady_clock::now() + kWriteDeadline;
    for (;;) {
        const ssize_t sent = sendDatagram(_fd, &byte, 1, reinterpret_cast<const sockaddr*>(&_destination),
                                          sizeof _destination);
        if (sent == 1)
            return true;
        if (sent < 0 && errno == EINTR)
            continue;
        // A full send queue waits; anything else (no route, network down)
        // fails the byte.
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!device_detail::waitSlice(_fd, cancel, deadline)) {
                _lastError = ETIMEDOUT;
                return false;
            }
            continue;
        }
        _lastError = sent < 0 ? errno : EIO;
        return false;
    }
}

std::string UdpLink::describe() const
{
    char address[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &_destination.sin_addr, address, sizeof address);
    return std::string(address) + ":" + std::to_string(ntohs(_destination.sin_port));
}
