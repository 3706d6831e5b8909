#pragma once
// A board on a USB serial port: 115200 baud, 8 data bits, no parity, one
// stop bit, raw bytes in both directions. SerialLink.cpp holds the POSIX
// calls, win/SerialLinkWin.cpp the Windows ones.
#include <functional>
#include <memory>
#include <string>

#include "device/Link.h"

class SerialLink : public Link {
public:
    // Null when the port cannot be opened or set up; `errorNumber` (may be
    // null) then holds the errno, e.g. EACCES for a user outside `dialout`,
    // EBUSY when another program holds the port. The port is locked for
    // this program alone before any setting changes.
    static std::unique_ptr<SerialLink> open(const std::string& path, int* errorNumber);
    // Replaces ::open for the ports opened after it; an empty function
    // restores ::open.
    static void setOpenForTests(std::function<int(const char*, int)> openCall);

    ~SerialLink() override;
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Waits at most two seconds for room in the port: a stalled adapter
    // fails the byte instead of hanging the send.
    bool writeByte(std::uint8_t byte, const std::atomic<bool>* cancel) override;
    bool readAvailable(std::string& into) override;
    bool canAnswer() const override { return true; }
    int lastError() const override { return _lastError; }
    std::string describe() const override { return _path; }

private:
#ifdef _WIN32
    // A COM port handle, kept as a pointer so that windows.h stays out of here.
    SerialLink(void* handle, std::string path) : _handle(handle), _path(std::move(path)) {}
    void* _handle;
#else
    SerialLink(int fd, std::string path) : _fd(fd), _path(std::move(path)) {}
    int _fd;
#endif
    std::string _path;
    int _lastError = 0;
};
