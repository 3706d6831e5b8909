#pragma once
// The board played on a pty: the serial link opens its far end, the test
// reads what arrives at the near end.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace devicetest {

class PtyBoard {
public:
    PtyBoard()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slavePath = ptsname(master);
    }
    ~PtyBoard() { closeMaster(); }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    // What the board received: up to `count` bytes, waiting at most 2 s.
    std::string receive(size_t count)
    {
        std::string got;
        while (got.size() < count) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                break;
            char buffer[256];
            const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

    int master = -1;
    std::string slavePath;
};

// Descriptors open in this process: a failed open must leave none behind.
inline int openDescriptorCount()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

} // namespace devicetest
