// The board's COM port on Windows: opened through the device namespace,
// 115200 8N1 with the driver's other settings kept, and a write time-out so
// that a stalled adapter fails the byte instead of hanging the send.
#include <windows.h>

#include <cerrno>
#include <vector>

#include "device/SerialLink.h"

namespace {
const DWORD kWriteDeadlineMs = 2000;

std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}
} // namespace

void SerialLink::setOpenForTests(std::function<int(const char*, int)>) {}

std::unique_ptr<SerialLink> SerialLink::open(const std::string& path, int* errorNumber) {
    // "COM3" and "COM12" alike go through the device namespace.
    const std::wstring device = path.rfind("\\\\.\\", 0) == 0 ? widen(path) : L"\\\\.\\" + widen(path);
    HANDLE handle = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (errorNumber) *errorNumber = error == ERROR_ACCESS_DENIED ? EBUSY : ENOENT;
        return nullptr;
    }
    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(handle, &line)) {
        CloseHandle(handle);
        if (errorNumber) *errorNumber = EIO;
        return nullptr;
    }
    line.BaudRate = CBR_115200;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fParity = FALSE;
    // A framing error on a noisy cable must not stop every later read and write.
    line.fAbortOnError = FALSE;
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutConstant = kWriteDeadlineMs;
    // Reads return at once with whatever has arrived.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (!SetCommState(handle, &line) || !SetCommTimeouts(handle, &timeouts)) {
        CloseHandle(handle);
        if (errorNumber) *errorNumber = EIO;
        return nullptr;
    }
    return std::unique_ptr<SerialLink>(new SerialLink(static_cast<void*>(handle), path));
}

SerialLink::~SerialLink() { CloseHandle(static_cast<HANDLE>(_handle)); }

// A cancel cannot cut into a synchronous write; the write time-out bounds it.
bool SerialLink::writeByte(std::uint8_t byte, const std::atomic<bool>*) {
    DWORD written = 0;
    return WriteFile(static_cast<HANDLE>(_handle), &byte, 1, &written, nullptr) && written == 1;
}

bool SerialLink::readAvailable(std::string& into) {
    char buffer[256];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(_handle), buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) return true;
        into.append(buffer, got);
    }
}
