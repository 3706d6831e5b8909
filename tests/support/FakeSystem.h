#pragma once
// A folder the port listing reads as the system's device tree and device
// nodes (CORVINA_SYSTEM_ROOT): fake USB adapters and Bluetooth ports, so no
// test lists or opens a real device.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace testsupport {

class FakeSystem {
public:
    FakeSystem() {
        root = std::filesystem::temp_directory_path() /
               ("corvina-system-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "sys" / "class" / "tty");
        std::filesystem::create_directories(root / "dev");
    }
    ~FakeSystem() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    // A USB serial port `name` on the USB socket `socket` ("1-2"), interface
    // 0; its device node leads to `node` (a pty, or nothing real).
    void plugUsb(const std::string& name, const std::string& socket, const std::string& vendor,
                 const std::string& product, const std::string& serial, const std::string& node = "/dev/null",
                 const std::string& productName = "USB Serial") {
        const std::filesystem::path usb = root / "sys" / "devices" / "pci0000:00" / "usb1" / socket;
        const std::filesystem::path port = usb / (socket + ":1.0") / name;
        std::filesystem::create_directories(port);
        write(usb / "idVendor", vendor);
        write(usb / "idProduct", product);
        if (!serial.empty()) write(usb / "serial", serial);
        write(usb / "product", productName);
        write(usb / (socket + ":1.0") / "bInterfaceNumber", "00");
        const std::filesystem::path tty = root / "sys" / "class" / "tty" / name;
        std::filesystem::create_directories(tty);
        std::filesystem::create_directory_symlink(port, tty / "device");
        std::filesystem::create_symlink(node, root / "dev" / name);
    }
    void plugBluetooth(const std::string& name) {
        std::filesystem::create_directories(root / "sys" / "class" / "tty" / name);
        std::filesystem::create_symlink("/dev/null", root / "dev" / name);
    }
    // The computer's own port: listed by the system, never as a board's.
    void addOnBoardPort(const std::string& name) {
        const std::filesystem::path device = root / "sys" / "devices" / "platform" / "serial8250";
        std::filesystem::create_directories(device);
        std::filesystem::create_directories(root / "sys" / "class" / "tty" / name);
        std::filesystem::create_directory_symlink(device, root / "sys" / "class" / "tty" / name / "device");
    }
    // Unplugged: the port and its device are gone (a USB device stays listed
    // while another port of it remains; here each device has one port).
    void unplug(const std::string& name) {
        std::error_code ec;
        const auto device = std::filesystem::canonical(root / "sys" / "class" / "tty" / name / "device", ec);
        if (!ec) std::filesystem::remove_all(device.parent_path().parent_path());
        std::filesystem::remove_all(root / "sys" / "class" / "tty" / name);
        std::filesystem::remove(root / "dev" / name, ec);
    }
    std::string node(const std::string& name) const { return (root / "dev" / name).string(); }
    // A file of the fake system, its folders made: "etc/group", a udev rule.
    void writeFile(const std::string& path, const std::string& text) const {
        std::filesystem::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text;
    }
    // A running program: its name, and what its open descriptors lead to.
    void addProcess(int pid, const std::string& name, const std::vector<std::string>& files = {}) const {
        const std::filesystem::path proc = root / "proc" / std::to_string(pid);
        std::filesystem::create_directories(proc / "fd");
        std::ofstream(proc / "comm") << name << "\n";
        for (size_t fd = 0; fd < files.size(); ++fd) std::filesystem::create_symlink(files[fd], proc / "fd" / std::to_string(fd + 3));
    }

    std::filesystem::path root;

private:
    static void write(const std::filesystem::path& file, const std::string& text) { std::ofstream(file) << text << "\n"; }
    static int& counter() {
        static int n = 0;
        return n;
    }
};

} // namespace testsupport
