#include <cstdlib>

#include "device/PortScanner.h"

std::string systemRoot() {
    const char* root = std::getenv("CORVINA_SYSTEM_ROOT");
    return root && *root ? root : "/";
}

const std::vector<std::pair<std::string, std::string>>& boardAdapterIds() {
    // The adapters boards come with: FTDI, Silicon Labs CP210x, WCH CH340
    // and CH9102, Prolific.
    static const std::vector<std::pair<std::string, std::string>> ids = {
        {"0403", "6001"}, {"0403", "6015"}, {"10c4", "ea60"}, {"1a86", "7523"}, {"1a86", "55d4"}, {"067b", "2303"}};
    return ids;
}

PortKind usbPortKind(const std::string& vendor, const std::string& product) {
    for (const auto& [v, p] : boardAdapterIds())
        if (vendor == v && product == p) return PortKind::BoardAdapter;
    return PortKind::OtherUsb;
}

std::optional<std::vector<PortInfo>> enumerateSerialPorts() { return enumerateSerialPorts(systemRoot()); }
