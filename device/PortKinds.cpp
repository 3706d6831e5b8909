#include <cstdlib>

#include "device/PortScanner.h"

std::string systemRoot() {
    const char* root = std::getenv("CORVINA_SYSTEM_ROOT");
    return root && *root ? root : "/";
}

PortKind usbPortKind(const std::string& vendor, const std::string& product) {
    // The adapters boards come with: FTDI, Silicon Labs CP210x, WCH CH340
    // and CH9102, Prolific.
    static const char* const kAdapters[][2] = {{"0403", "6001"}, {"0403", "6015"}, {"10c4", "ea60"},
                                               {"1a86", "7523"}, {"1a86", "55d4"}, {"067b", "2303"}};
    for (const auto& adapter : kAdapters)
        if (vendor == adapter[0] && product == adapter[1]) return PortKind::BoardAdapter;
    return PortKind::OtherUsb;
}

std::optional<std::vector<PortInfo>> enumerateSerialPorts() { return enumerateSerialPorts(systemRoot()); }
