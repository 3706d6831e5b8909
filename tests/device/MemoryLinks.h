#pragma once
// Links that live in memory, for the manager and the typing.
#include <cstdint>
#include <functional>
#include <string>

#include "device/Link.h"

namespace devicetest {

// Keeps what was written; `onWrite` sees the number of the write (from 1)
// and says whether it goes out.
class MemoryLink : public Link {
public:
    bool writeByte(std::uint8_t byte, const std::atomic<bool>*) override
    {
        ++writes;
        if (onWrite && !onWrite(writes))
            return false;
        bytes.push_back(static_cast<char>(byte));
        return true;
    }
    std::string describe() const override { return "memory"; }

    int writes = 0;
    std::string bytes;
    std::function<bool(int)> onWrite;
};

// Hands the manager a link the test keeps owning.
class BorrowedLink : public Link {
public:
    explicit BorrowedLink(Link& target) : _target(target) {}
    bool writeByte(std::uint8_t byte, const std::atomic<bool>* cancel) override { return _target.writeByte(byte, cancel); }
    bool readAvailable(std::string& into) override { return _target.readAvailable(into); }
    bool canAnswer() const override { return _target.canAnswer(); }
    std::string describe() const override { return _target.describe(); }

private:
    Link& _target;
};

} // namespace devicetest
