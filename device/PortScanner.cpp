#include "device/PortScanner.h"

#include <libserialport.h>

namespace {

std::string textOr(const char* text, const std::string& fallback)
{
    return text && *text ? std::string(text) : fallback;
}

} // namespace

std::optional<std::vector<PortInfo>> enumerateSerialPorts()
{
    sp_port** ports = nullptr;
    if (sp_list_ports(&ports) != SP_OK)
        return std::nullopt;
    std::vector<PortInfo> found;
    for (sp_port** port = ports; port && *port; ++port) {
        const char* name = sp_get_port_name(*port);
        if (!name || !*name)
            continue;
        const std::string path(name);
        const sp_transport transport = sp_get_port_transport(*port);
        // Boards come on USB adapters or Bluetooth; the on-board ports are
        // left alone even when reported under another transport.
        if (transport != SP_TRANSPORT_USB && transport != SP_TRANSPORT_BLUETOOTH)
            continue;
        if (path.rfind("/dev/ttyS", 0) == 0)
            continue;
        const char* product = transport == SP_TRANSPORT_USB ? sp_get_port_usb_product(*port) : nullptr;
        found.push_back({path, textOr(product, textOr(sp_get_port_description(*port), path))});
    }
    sp_free_port_list(ports);
    return found;
}
