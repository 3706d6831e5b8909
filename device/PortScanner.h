#pragma once
// The serial ports a board may be on. Only lists them: no port is opened.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What kind of serial port, in the order the editor prefers them: the USB
// adapters boards are sold with, any other USB serial device (an Arduino,
// a modem), then Bluetooth, which is only used when picked.
enum class PortKind { BoardAdapter = 1, OtherUsb = 2, Bluetooth = 3 };

// Who a port is, whatever name the system gives it today: the USB device's
// vendor, product and serial number and the interface the port is on.
struct PortIdentity {
    std::string vendor, product, serial, interface;

    bool empty() const { return vendor.empty() && product.empty() && serial.empty() && interface.empty(); }
    bool operator==(const PortIdentity&) const = default;
};

struct PortInfo {
    PortInfo() = default;
    PortInfo(std::string name, std::string description, PortKind kind = PortKind::OtherUsb, PortIdentity identity = {},
             std::string devicePath = {})
        : name(std::move(name)), description(std::move(description)), kind(kind), identity(std::move(identity)),
          devicePath(std::move(devicePath)) {}

    std::string name;         // the path, e.g. /dev/ttyUSB0
    std::string description;  // what the user recognises, e.g. the adapter's product name
    PortKind kind = PortKind::OtherUsb;
    PortIdentity identity;
    std::string devicePath;   // where the system lists the device; orders ports of one kind
};

using PortEnumerator = std::function<std::optional<std::vector<PortInfo>>()>;

// The folder the system's device tree and device nodes are read under:
// "/" unless CORVINA_SYSTEM_ROOT names another (tests and demos give a
// folder of fake adapters, so no real device is ever listed).
std::string systemRoot();

// USB and Bluetooth serial ports under `root` (its sys/class/tty and dev),
// best first: board adapters, other USB devices, Bluetooth; within a kind
// by device path. Never the computer's own ports (one of them is often the
// console). nullopt when the system cannot list ports.
std::optional<std::vector<PortInfo>> enumerateSerialPorts(const std::string& root);
// The same under systemRoot().
std::optional<std::vector<PortInfo>> enumerateSerialPorts();

// What a port named by hand is: a board's (a USB or Bluetooth serial port,
// or a pseudo-terminal playing one), the console (never typed into), or
// something else (a computer's own serial port, a device that is no port).
enum class NamedPort { Board, Console, Other, Absent };
NamedPort classifyNamedPort(const std::string& path, const std::string& root);

// The first line of a small system file (a sysfs attribute, a process's
// name), without its line end; empty when absent.
std::string firstLineOf(const std::string& file);

// The kind of a USB vendor:product pair ("0403", "6001").
PortKind usbPortKind(const std::string& vendor, const std::string& product);
// The vendor:product pairs of the adapters boards come with, as sysfs
// writes them.
const std::vector<std::pair<std::string, std::string>>& boardAdapterIds();
