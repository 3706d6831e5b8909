// A fuzz target's driver where libFuzzer cannot be linked: the seeds and the
// corpus, mutated by a generator of fixed seed, fed to the same target for
// a given time. Nothing guides it toward new code, so it finds less than
// libFuzzer would, but the target still runs instead of being skipped.
//
// Understands the flags tools/fuzz gives libFuzzer: -max_total_time=<s>,
// -artifact_prefix=<path>, -dict=<file>, -seed=<n>, -max_len=<bytes>;
// others are ignored. Folders are read for inputs; files given alone are
// run once each. An input that makes the target die is written to the
// artifact prefix as crash-<hash> before the process ends.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#if defined(__has_include)
#if __has_include(<sanitizer/common_interface_defs.h>)
#include <sanitizer/common_interface_defs.h>
#define CORVINA_HAS_SANITIZER_CALLBACK 1
#endif
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// The input being run, for the death handlers.
std::string g_current;
std::string g_artifactPrefix;

// Only async-signal-safe calls from here on: the process is dying.
void writeCurrent() {
    static bool written = false;
    if (written) return;
    written = true;
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : g_current) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char name[4096];
    const char* digits = "0123456789abcdef";
    size_t length = g_artifactPrefix.size();
    if (length + 6 + 16 + 1 > sizeof name) return;
    std::memcpy(name, g_artifactPrefix.data(), length);
    std::memcpy(name + length, "crash-", 6);
    length += 6;
    for (int shift = 60; shift >= 0; shift -= 4) name[length++] = digits[(hash >> shift) & 15];
    name[length] = '\0';
    int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    size_t done = 0;
    while (done < g_current.size()) {
        ssize_t n = ::write(fd, g_current.data() + done, g_current.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    const char note[] = "\n==mutator== the input that failed is written to the artifact prefix\n";
    ssize_t ignored = ::write(2, note, sizeof note - 1);
    (void)ignored;
}

void onSignal(int signal) {
    writeCurrent();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// libFuzzer's dictionary lines: name="token" or "token", with \xNN, \\ and \".
std::vector<std::string> readDictionary(const fs::path& path) {
    std::vector<std::string> tokens;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        size_t open = line.find('"');
        if (line.empty() || line[0] == '#' || open == std::string::npos) continue;
        size_t close = line.rfind('"');
        if (close <= open) continue;
        std::string token;
        for (size_t i = open + 1; i < close; ++i) {
            if (line[i] == '\\' && i + 1 < close) {
                char next = line[++i];
                if (next == 'x' && i + 2 < close) {
                    token += static_cast<char>(std::strtol(line.substr(i + 1, 2).c_str(), nullptr, 16));
                    i += 2;
                } else {
                    token += next;
                }
            } else {
                token += line[i];
            }
        }
        tokens.push_back(token);
    }
    return tokens;
}

class Mutator {
public:
    Mutator(unsigned seed, std::vector<std::string> dictionary, size_t maxLength)
        : _random(seed), _dictionary(std::move(dictionary)), _maxLength(maxLength) {}

    std::string mutate(const std::vector<std::string>& pool) {
        std::string input = pool[below(pool.size())];
        int rounds = 1 + static_cast<int>(below(5));
        for (int i = 0; i < rounds; ++i) once(input, pool);
        if (input.size() > _maxLength) input.resize(_maxLength);
        return input;
    }

private:
    size_t below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(_random); }
    char byte() { return static_cast<char>(below(256)); }

    void once(std::string& input, const std::vector<std::string>& pool) {
        static const char* const numbers[] = {"0", "-1", "2147483647", "2147483648", "-2147483649",
                                              "9223372036854775808", "1e308", "nan", "16777217", "4294967296"};
        size_t at = below(input.size() + 1);
        switch (below(8)) {
        case 0:
            if (!input.empty()) input[below(input.size())] ^= static_cast<char>(1 << below(8));
            break;
        case 1:
            if (!input.empty()) input[below(input.size())] = byte();
            break;
        case 2: input.insert(at, below(8) + 1, byte()); break;
        case 3:
            if (!input.empty()) input.erase(below(input.size()), below(16) + 1);
            break;
        case 4:
            if (!input.empty()) {
                size_t from = below(input.size());
                input.insert(at, input.substr(from, below(64) + 1));
            }
            break;
        case 5:
            if (!_dictionary.empty()) input.insert(at, _dictionary[below(_dictionary.size())]);
            break;
        case 6: {
            const std::string& other = pool[below(pool.size())];
            size_t from = below(other.size() + 1);
            input = input.substr(0, at) + other.substr(from);
            break;
        }
        default: {
            // A run of digits becomes a number at the edge of a range.
            size_t start = input.find_first_of("0123456789", at);
            if (start == std::string::npos) break;
            size_t end = input.find_first_not_of("0123456789", start);
            input.replace(start, (end == std::string::npos ? input.size() : end) - start,
                          numbers[below(std::size(numbers))]);
            break;
        }
        }
    }

    std::mt19937_64 _random;
    std::vector<std::string> _dictionary;
    size_t _maxLength;
};

void run(const std::string& input) {
    g_current = input;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(g_current.data()), g_current.size());
}

} // namespace

int main(int argc, char** argv) {
    long seconds = 0;
    unsigned seed = 1;
    size_t maxLength = 4096;
    std::vector<std::string> dictionary;
    std::vector<fs::path> folders, files;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* flag) -> const char* {
            size_t n = std::strlen(flag);
            return arg.compare(0, n, flag) == 0 ? arg.c_str() + n : nullptr;
        };
        if (const char* v = value("-max_total_time=")) seconds = std::atol(v);
        else if (const char* v = value("-artifact_prefix=")) g_artifactPrefix = v;
        else if (const char* v = value("-dict=")) dictionary = readDictionary(v);
        else if (const char* v = value("-seed=")) seed = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
        else if (const char* v = value("-max_len=")) maxLength = std::strtoul(v, nullptr, 10);
        else if (arg[0] == '-') continue;
        else if (fs::is_directory(arg)) folders.push_back(arg);
        else files.push_back(arg);
    }

    for (int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(s, onSignal);
#ifdef CORVINA_HAS_SANITIZER_CALLBACK
    __sanitizer_set_death_callback(writeCurrent);
#endif

    if (folders.empty()) {
        for (const fs::path& file : files) run(readFile(file));
        std::printf("==mutator== ran %zu inputs\n", files.size());
        return 0;
    }

    std::vector<std::string> pool;
    for (const fs::path& folder : folders)
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) pool.push_back(readFile(entry.path()));
    if (pool.empty()) pool.emplace_back();
    for (const std::string& input : pool) run(input);

    std::printf("==mutator== no libFuzzer: %zu inputs mutated with seed %u for %ld s\n", pool.size(), seed, seconds);
    Mutator mutator(seed, std::move(dictionary), maxLength);
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    std::uint64_t runs = pool.size();
    while (std::chrono::steady_clock::now() < end) {
        for (int i = 0; i < 64; ++i, ++runs) run(mutator.mutate(pool));
    }
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("#%llu\tDONE   execs/s: %.0f\n", static_cast<unsigned long long>(runs),
                elapsed > 0 ? static_cast<double>(runs) / elapsed : 0.0);
    std::printf("stat::number_of_executed_units: %llu\n", static_cast<unsigned long long>(runs));
    return 0;
}
