// Any bytes, loaded as a saved program, give only cards the editor can
// place, and the program written and loaded again is the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string failure = fuzzchecks::checkFieldDocument({reinterpret_cast<const char*>(data), size});
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
