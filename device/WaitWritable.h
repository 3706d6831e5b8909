#pragma once
// Shared by the links: waits for a non-blocking descriptor to take a byte,
// in short slices so a cancel from the user ends the wait promptly.
#include <atomic>
#include <chrono>

namespace device_detail {

// Waits one slice of at most 20 ms, less when the descriptor reports room
// earlier; the caller tries its write again after each. False when the
// deadline passed, `cancel` was set, the descriptor hung up or poll failed.
bool waitSlice(int fd, const std::atomic<bool>* cancel, std::chrono::steady_clock::time_point deadline);

} // namespace device_detail
