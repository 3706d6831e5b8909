#include "catalogue/EditorLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

namespace {

std::string lockPath(const std::string& folder) { return (std::filesystem::path(folder) / "editor.lock").string(); }

// An abstract socket (no file to leave behind, no length limit on the
// folder's path) named after the folder as the file system resolves it.
sockaddr_un wakeAddress(const std::string& folder, socklen_t& length) {
    std::error_code ec;
    std::string key = std::filesystem::weakly_canonical(folder, ec).string();
    if (ec) key = folder;
    const std::string name = "corvina-editor-" + std::to_string(std::hash<std::string>{}(key));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return address;
}

int openLockFile(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return ::open(lockPath(folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

} // namespace

EditorLock::EditorLock(const std::string& folder) : _folder(folder) {
    _lockFd = openLockFile(folder);
    if (_lockFd < 0) return;  // a read-only folder: nothing to guard, nothing to save either
    if (::flock(_lockFd, LOCK_EX | LOCK_NB) != 0) {
        // Locks the file system does not offer say so; anything else is a holder.
        _state = errno == EWOULDBLOCK ? State::HeldElsewhere : State::Unsupported;
        ::close(_lockFd);
        _lockFd = -1;
        return;
    }
    _state = State::Held;
    _wakeFd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    socklen_t length = 0;
    const sockaddr_un address = wakeAddress(folder, length);
    if (_wakeFd >= 0 && ::bind(_wakeFd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        ::close(_wakeFd);
        _wakeFd = -1;
    }
}

EditorLock::~EditorLock() {
    if (_wakeFd >= 0) ::close(_wakeFd);
    if (_lockFd >= 0) ::close(_lockFd);  // the lock goes with the descriptor
}

bool EditorLock::windowWanted() {
    if (_wakeFd < 0) return false;
    bool wanted = false;
    char word[16];
    while (::recv(_wakeFd, word, sizeof word, 0) >= 0) wanted = true;
    return wanted;
}

bool EditorLock::askForWindow() const {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    socklen_t length = 0;
    const sockaddr_un address = wakeAddress(_folder, length);
    // Never waits: an editor that does not read (hung) has words enough
    // waiting already, which count as delivered.
    const ssize_t n = ::sendto(fd, "show", 4, MSG_NOSIGNAL | MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&address), length);
    const bool sent = n == 4 || (n < 0 && errno == EAGAIN);
    ::close(fd);
    return sent;
}

bool EditorLock::heldByAnother(const std::string& folder) {
    const int fd = ::open(lockPath(folder).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;  // no editor ever ran here, or it cannot be locked at all
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}
