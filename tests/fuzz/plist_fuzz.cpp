// Any bytes, read as a property list and written back, must read back the
// same: the reader's output is always something the writer can hold.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "engine/core/Plist.h"

using namespace engine;

namespace {

template <typename Root>
void checkRoundTrip(const Root& first, const char* what) {
    auto document = plist::write(first);
    if (!document) {
        std::fprintf(stderr, "%s read but could not be written\n", what);
        std::abort();
    }
    Root again;
    if constexpr (std::is_same_v<Root, ValueMap>) again = plist::parseMap(*document);
    else if constexpr (std::is_same_v<Root, ValueVector>) again = plist::parseVector(*document);
    else again = plist::parse(*document);
    if (!(again == first)) {
        std::fprintf(stderr, "%s changed on the way back; written as:\n%s\n", what, document->c_str());
        std::abort();
    }
    if (plist::write(again) != document) {
        std::fprintf(stderr, "%s written twice gave two documents\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkRoundTrip(plist::parseMap(bytes), "a dictionary");
    checkRoundTrip(plist::parseVector(bytes), "an array");
    Value root = plist::parse(bytes);
    if (!root.isNull()) checkRoundTrip(root, "a root value");
    return 0;
}
