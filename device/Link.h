#pragma once
// One connection to a board, whatever carries it. The send worker and the
// program generator only ever type bytes into it.
#include <atomic>
#include <cstdint>
#include <string>

class Link {
public:
    virtual ~Link() = default;
    // False when the byte did not go out: the link failed, the deadline
    // passed, or `cancel` was set while waiting. `cancel` may be null.
    virtual bool writeByte(std::uint8_t byte, const std::atomic<bool>* cancel) = 0;
    // For messages and logs, e.g. the port's path.
    virtual std::string describe() const = 0;
};
