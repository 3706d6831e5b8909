// Every seed and every kept finding of the fuzz targets, run through the
// same check the target runs, so a fault a fuzzer found once stays fixed
// in the everyday suite (and under the sanitizers in CI).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "fuzz/FuzzChecks.h"

namespace fs = std::filesystem;

namespace {

// The inputs of one target: its seeds, then its kept findings.
std::vector<fs::path> inputsOf(const std::string& target) {
    const fs::path fuzz = fs::path(CORVINA_SOURCE_DIR) / "tests" / "fuzz";
    std::vector<fs::path> inputs;
    for (const fs::path& folder : {fuzz / (target + "_seeds"), fuzz / "regressions" / target}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

void replay(const std::string& target, const std::function<std::string(std::string_view)>& check) {
    const std::vector<fs::path> inputs = inputsOf(target);
    ASSERT_GE(inputs.size(), 3u) << "the seeds of " << target << " are missing";
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(check(bytes), "") << input;
    }
}

} // namespace

TEST(FuzzReplay, PropertyLists) { replay("plist", fuzzchecks::checkPlist); }

TEST(FuzzReplay, SavedPrograms) { replay("document", fuzzchecks::checkFieldDocument); }

TEST(FuzzReplay, Catalogues) {
    const char* base = std::getenv("CORVINA_DATA_DIR");
    const fs::path scratch = fs::path(base ? base : "/tmp/corvina-tests") / "replay-catalogue";
    fs::remove_all(scratch);
    replay("catalogue", [&](std::string_view bytes) { return fuzzchecks::checkCatalogue(bytes, scratch); });
}
