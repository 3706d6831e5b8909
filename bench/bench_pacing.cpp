// Typing over a serial link with the real clock: the board (a pty whose
// far end the link opens) drains everything, so the time is the pauses plus
// the writes. Prints total time / (characters × pause) at 5 ms and 50 ms;
// pauses that add up their oversleeps would show as a ratio that grows.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "bench/RatioReporter.h"
#include "device/Typing.h"

namespace {

// About one second of typing per run.
constexpr int kRunMs = 1000;

class DrainedPty {
public:
    DrainedPty()
    {
        _master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (_master < 0 || grantpt(_master) != 0 || unlockpt(_master) != 0)
            return;
        path = ptsname(_master);
        _reader = std::thread([this] {
            char buffer[256];
            while (!_stop) {
                pollfd p{_master, POLLIN, 0};
                if (::poll(&p, 1, 20) > 0 && ::read(_master, buffer, sizeof buffer) <= 0)
                    break;
            }
        });
    }
    ~DrainedPty()
    {
        _stop = true;
        if (_reader.joinable())
            _reader.join();
        if (_master >= 0)
            ::close(_master);
    }
    std::string path;

private:
    int _master = -1;
    std::atomic<bool> _stop{false};
    std::thread _reader;
};

void BM_Typing(benchmark::State& state)
{
    const int delayMs = static_cast<int>(state.range(0));
    const std::string text(static_cast<size_t>(kRunMs / delayMs), 'A');
    DrainedPty board;
    CorvinaCardSerialManager manager;
    manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
    manager.setExplicitPort(board.path);
    CorvinaAppsError error;
    if (board.path.empty() || !manager.scanPorts({}) || !manager.openLink(&error)) {
        state.SkipWithError("no pty");
        return;
    }
    std::atomic<bool> cancel{false};
    TypingContext ctx{&manager, &cancel, {}, &realPacingClock()};
    for (auto _ : state)
        if (!sendText(ctx, delayMs, false, error, text))
            state.SkipWithError("write failed");
    state.counters["chars"] = static_cast<double>(text.size());
}

BENCHMARK(BM_Typing)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int delayMs : {5, 50}) {
        const double measured = reporter.times["BM_Typing/" + std::to_string(delayMs) + "/iterations:3/real_time"];
        const double ideal = (kRunMs / delayMs) * delayMs;
        if (measured > 0)
            std::printf("typing at %d ms a character: %.1f ms for %d characters, ratio measured / paced = %.3f "
                        "(target <= 1.02)\n",
                        delayMs, measured, kRunMs / delayMs, measured / ideal);
    }
    benchmark::Shutdown();
    return 0;
}
