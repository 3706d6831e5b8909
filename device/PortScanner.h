#pragma once
// The serial ports a board may be on. Only lists them: no port is opened.
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct PortInfo {
    std::string name;         // the path, e.g. /dev/ttyUSB0
    std::string description;  // what the user recognises, e.g. the adapter's product name
};

using PortEnumerator = std::function<std::optional<std::vector<PortInfo>>()>;

// USB and Bluetooth serial ports, never the computer's own ports (one of
// them is often the console). nullopt when the system cannot list ports.
std::optional<std::vector<PortInfo>> enumerateSerialPorts();
