// Any bytes as the catalogue of saved programs: loading, saving and
// deleting through it touch nothing outside the program folder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "fuzz/FuzzChecks.h"

namespace {
const std::filesystem::path& scratch() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path made = fuzzchecks::defaultScratch();
        std::atexit([] { std::error_code ec; std::filesystem::remove_all(fuzzchecks::defaultScratch(), ec); });
        return made;
    }();
    return folder;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string failure = fuzzchecks::checkCatalogue({reinterpret_cast<const char*>(data), size}, scratch());
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
