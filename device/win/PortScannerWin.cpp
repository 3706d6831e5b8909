// The COM ports of Windows with the names the device manager shows,
// through the Setup API and the devices' registry keys.
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <vector>

#include "device/PortScanner.h"

namespace {
// The published interface class of COM ports.
const GUID kComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

std::string narrow(const wchar_t* text) {
    if (!text || !*text) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::string portName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[256] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? narrow(name) : std::string();
}

std::string description(HDEVINFO set, SP_DEVINFO_DATA& device) {
    DWORD needed = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_DEVICEDESC, nullptr, nullptr, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return {};
    std::vector<wchar_t> text(needed / sizeof(wchar_t) + 1, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_DEVICEDESC, nullptr,
                                           reinterpret_cast<BYTE*>(text.data()), needed, nullptr))
        return {};
    return narrow(text.data());
}
} // namespace

// The root is a Linux folder; Windows lists its own COM ports.
std::optional<std::vector<PortInfo>> enumerateSerialPorts(const std::string&) {
    HDEVINFO set = SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<PortInfo> found;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    DWORD index = 0;
    for (; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        PortInfo port{portName(set, device), description(set, device)};
        if (!port.name.empty() && !port.description.empty()) found.push_back(port);
    }
    const DWORD error = GetLastError();
    SetupDiDestroyDeviceInfoList(set);
    if (error != 0 && error != ERROR_NO_MORE_ITEMS) return std::nullopt;
    return found;
}
