#pragma once
// The system calls an atomic file write is made of. FileUtils goes through
// one of these, so a test can log the calls or make any of them fail, as a
// full disk or a pulled stick would.
#include <sys/types.h>

#include <cstddef>

namespace engine {

class FileWriteCalls {
public:
    virtual ~FileWriteCalls() = default;
    // As the POSIX calls of the same names (retrying EINTR is the caller's).
    virtual int open(const char* path, int flags, int mode);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
};

} // namespace engine
