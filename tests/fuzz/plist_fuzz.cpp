// Any bytes, read as a property list and written back, must read back the
// same: the reader's output is always something the writer can hold.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string failure = fuzzchecks::checkPlist({reinterpret_cast<const char*>(data), size});
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
