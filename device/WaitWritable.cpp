#include "device/WaitWritable.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace device_detail {

namespace {
constexpr auto kSlice = std::chrono::milliseconds(20);
}

bool waitSlice(int fd, const std::atomic<bool>* cancel, std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    // A terminal may have room before it reports POLLOUT, so the write is
    // tried again after every slice, not only on POLLOUT.
    if (cancel && cancel->load())
        return false;
    const auto left = deadline - steady_clock::now();
    if (left <= steady_clock::duration::zero())
        return false;
    // Rounded up, so the last slice does not spin at zero.
    const auto slice = std::min<steady_clock::duration>(left, kSlice);
    const int timeoutMs = static_cast<int>(ceil<milliseconds>(slice).count());
    pollfd p{fd, POLLOUT, 0};
    const int ready = ::poll(&p, 1, timeoutMs);
    if (ready < 0)
        return errno == EINTR;
    // A hung-up port never takes the byte: fail now rather than at the
    // deadline.
    return ready == 0 || (p.revents & POLLOUT) != 0;
}

} // namespace device_detail
