#include "device/PortScanner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The USB device a tty hangs from (the folder with idVendor), and the
// interface folder just below it; nullopt for a tty on no USB device.
std::optional<std::pair<fs::path, fs::path>> usbDeviceOf(const fs::path& device, const fs::path& sysRoot) {
    // A link leading out of the tree read is no device of it.
    const std::string root = sysRoot.string();
    if (root.empty() || device.string().rfind(root, 0) != 0) return std::nullopt;
    fs::path below;
    for (fs::path at = device; !at.empty() && at != at.root_path() && at != sysRoot; at = at.parent_path()) {
        std::error_code ec;
        if (fs::exists(at / "idVendor", ec)) return std::make_pair(at, below);
        below = at;
    }
    return std::nullopt;
}

} // namespace

std::string firstLineOf(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

NamedPort classifyNamedPort(const std::string& path, const std::string& root) {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    if (ec) return NamedPort::Absent;
    const std::string name = real.filename().string();
    const std::string parent = real.parent_path().string();
    // The terminal this very program talks through, under whatever name.
    struct stat port {};
    if (::stat(real.c_str(), &port) == 0 && S_ISCHR(port.st_mode))
        for (int fd = 0; fd <= 2; ++fd) {
            struct stat own {};
            if (::isatty(fd) && ::fstat(fd, &own) == 0 && own.st_rdev == port.st_rdev) return NamedPort::Console;
        }
    if (parent == "/dev/pts") return NamedPort::Board;
    // The terminal of this very process, the console and the virtual
    // consoles, and whatever the kernel writes its console to.
    const bool virtualConsole = startsWith(name, "tty") && name.size() > 3 &&
                                name.find_first_not_of("0123456789", 3) == std::string::npos;
    if (real == "/dev/tty" || real == "/dev/console" || (parent == "/dev" && virtualConsole)) return NamedPort::Console;
    const fs::path sysRoot = fs::path(root) / "sys";
    std::ifstream active(sysRoot / "class" / "tty" / "console" / "active");
    for (std::string console; active >> console;)
        if (console == name) return NamedPort::Console;
    if (startsWith(name, "rfcomm")) return NamedPort::Board;
    const fs::path device = fs::canonical(sysRoot / "class" / "tty" / name / "device", ec);
    if (!ec && usbDeviceOf(device, fs::canonical(sysRoot, ec))) return NamedPort::Board;
    return NamedPort::Other;
}

std::optional<std::vector<PortInfo>> enumerateSerialPorts(const std::string& root) {
    const fs::path sysRoot = fs::path(root) / "sys";
    std::error_code ec;
    fs::directory_iterator entries(sysRoot / "class" / "tty", ec);
    if (ec) return std::nullopt;
    std::vector<PortInfo> found;
    for (const fs::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        const std::string node = (fs::path(root) / "dev" / name).string();
        if (startsWith(name, "rfcomm")) {
            found.emplace_back(node, "Bluetooth " + name, PortKind::Bluetooth, PortIdentity{"bluetooth", "", name, ""},
                               entry.path().string());
            continue;
        }
        // Decided from the device tree alone: the computer's on-board ports
        // (ttyS, one of them the console) hang from no USB device.
        if (startsWith(name, "ttyS")) continue;
        const fs::path device = fs::canonical(entry.path() / "device", ec);
        if (ec) continue;
        const auto usb = usbDeviceOf(device, fs::canonical(sysRoot, ec));
        if (!usb) continue;
        const auto& [usbDevice, interface] = *usb;
        PortIdentity identity{firstLineOf(usbDevice / "idVendor"), firstLineOf(usbDevice / "idProduct"),
                              firstLineOf(usbDevice / "serial"), firstLineOf(interface / "bInterfaceNumber")};
        std::string description = firstLineOf(usbDevice / "product");
        if (description.empty()) description = identity.vendor + ":" + identity.product;
        const PortKind kind = usbPortKind(identity.vendor, identity.product);
        found.emplace_back(node, description, kind, std::move(identity), device.string());
    }
    std::sort(found.begin(), found.end(), [](const PortInfo& a, const PortInfo& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.devicePath < b.devicePath;
    });
    return found;
}

