#pragma once
// One connection to a board, whatever carries it. The send worker and the
// program generator type bytes into it and read what the board prints.
#include <atomic>
#include <cstdint>
#include <string>

class Link {
public:
    virtual ~Link() = default;
    // False when the byte did not go out: the link failed, the deadline
    // passed, or `cancel` was set while waiting. `cancel` may be null.
    virtual bool writeByte(std::uint8_t byte, const std::atomic<bool>* cancel) = 0;
    // Appends what the board printed since the last call; never waits.
    // False when the link failed.
    virtual bool readAvailable(std::string& into) {
        (void)into;
        return true;
    }
    // Whether the board's printing comes back over this link: a serial port
    // and the simulated board, not the Wi-Fi module.
    virtual bool canAnswer() const { return false; }
    // The errno of the last write or read that failed; 0 when unknown.
    virtual int lastError() const { return 0; }
    // For messages and logs, e.g. the port's path.
    virtual std::string describe() const = 0;
};
