#pragma once
// The long proofs (crash points, unplug cycles, random edit sessions) run a
// short form in the everyday suite and in CI, and their full form under
// tools/prove, which sets CORVINA_LONG_RUNS=1. The seed is fixed so a
// failure comes back the same way; CORVINA_PROOF_SEED picks another.
#include <cstdlib>
#include <string>

namespace testsupport {

inline bool longRuns() {
    const char* value = std::getenv("CORVINA_LONG_RUNS");
    return value && std::string(value) == "1";
}

inline int proofRounds(int shortForm, int longForm) { return longRuns() ? longForm : shortForm; }

inline unsigned proofSeed(unsigned fixed) {
    const char* value = std::getenv("CORVINA_PROOF_SEED");
    if (!value || !*value) return fixed;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(value, &end, 10);
    return end && *end == '\0' ? static_cast<unsigned>(parsed) : fixed;
}

} // namespace testsupport
