#include "device/SerialLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>

#include "device/WaitWritable.h"

namespace {

constexpr auto kWriteDeadline = std::chrono::seconds(2);

std::mutex openCallMutex;
std::function<int(const char*, int)>& openCall()
{
    static std::function<int(const char*, int)> call;
    return call;
}

int openPort(const char* path, int flags)
{
    std::function<int(const char*, int)> call;
    {
        std::lock_guard<std::mutex> lock(openCallMutex);
        call = openCall();
    }
    return call ? call(path, flags) : ::open(path, flags);
}

// The board reads exactly the bytes typed: no line-ending or flow-control
// translation either way, 115200 8N1, reads never wait.
bool makeRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, B115200) != 0 || cfsetospeed(&tio, B115200) != 0)
        return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

void SerialLink::setOpenForTests(std::function<int(const char*, int)> call)
{
    std::lock_guard<std::mutex> lock(openCallMutex);
    openCall() = std::move(call);
}

std::unique_ptr<SerialLink> SerialLink::open(const std::string& path, int* errorNumber)
{
    const int fd = openPort(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errorNumber)
            *errorNumber = errno;
        return nullptr;
    }
    // One writer: another editor or corvina-cli typing into the same board
    // would interleave its bytes. The lock goes with the descriptor.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int saved = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        if (errorNumber)
            *errorNumber = saved;
        return nullptr;
    }
    // Programs that do not lock are kept out too (not root, which may).
    ::ioctl(fd, TIOCEXCL);
    if (!makeRaw(fd)) {
        const int saved = errno;
        ::close(fd);
        if (errorNumber)
            *errorNumber = saved;
        return nullptr;
    }
    if (errorNumber)
        *errorNumber = 0;
    return std::unique_ptr<SerialLink>(new SerialLink(fd, path));
}

SerialLink::~SerialLink()
{
    ::ioctl(_fd, TIOCNXCL);
    ::close(_fd);
}

bool SerialLink::writeByte(std::uint8_t byte, const std::atomic<bool>* cancel)
{
    const auto deadline = std::chrono::steady_clock::now() + kWriteDeadline;
    for (;;) {
        const ssize_t written = ::write(_fd, &byte, 1);
        if (written == 1)
            return true;
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            _lastError = errno;  // EIO: the adapter was unplugged or the far end closed
            return false;
        }
        if (!device_detail::waitSlice(_fd, cancel, deadline)) {
            _lastError = ETIMEDOUT;
            return false;
        }
    }
}

bool SerialLink::readAvailable(std::string& into)
{
    char buffer[256];
    // A board that never stops printing is read a piece at a time.
    for (int pieces = 0; pieces < 16; ++pieces) {
        const ssize_t got = ::read(_fd, buffer, sizeof buffer);
        if (got > 0) {
            into.append(buffer, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // A raw port with nothing waiting reads 0 (or EAGAIN), and so does
        // one hung up: the adapter unplugged says so in poll. EIO: gone too.
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            _lastError = errno;
            return false;
        }
        pollfd p{_fd, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            _lastError = EIO;
            return false;
        }
        return true;
    }
    return true;
}
