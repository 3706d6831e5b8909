#include "device/PortScanner.h"

#include <libserialport.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string textOr(const char* text, const std::string& fallback) { return text && *text ? std::string(text) : fallback; }

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// A tty that a board can be on: a USB serial adapter, a USB modem-class
// device, or Bluetooth. Decided from the kernel's device tree alone, since
// the library's own listing opens the computer's on-board ports to probe
// them, and one of those is the console.
bool isBoardCandidate(const fs::path& tty) {
    const std::string name = tty.filename().string();
    if (startsWith(name, "rfcomm")) return true;
    if (startsWith(name, "ttyS")) return false;
    std::error_code ec;
    const fs::path subsystem = fs::canonical(tty / "device" / "subsystem", ec);
    if (ec) return false;
    const std::string kind = subsystem.filename().string();
    return kind == "usb" || kind == "usb-serial" || kind == "bluetooth";
}

} // namespace

std::optional<std::vector<PortInfo>> enumerateSerialPorts() {
    std::error_code ec;
    fs::directory_iterator entries("/sys/class/tty", ec);
    if (ec) return std::nullopt;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : entries)
        if (isBoardCandidate(entry.path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<PortInfo> found;
    for (const std::string& name : names) {
        const std::string path = "/dev/" + name;
        // By name the library only reads the device tree: nothing is opened.
        sp_port* port = nullptr;
        if (sp_get_port_by_name(path.c_str(), &port) != SP_OK || !port) {
            found.push_back({path, path});
            continue;
        }
        const sp_transport transport = sp_get_port_transport(port);
        const char* product = transport == SP_TRANSPORT_USB ? sp_get_port_usb_product(port) : nullptr;
        found.push_back({path, textOr(product, textOr(sp_get_port_description(port), path))});
        sp_free_port(port);
    }
    return found;
}
