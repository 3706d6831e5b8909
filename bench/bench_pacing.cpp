// Typing over a serial link with the real clock: the board (a pty whose
// far end the link opens) drains everything, so the time is the pauses plus
// the writes. Prints total time / (characters × pause) at 5 ms and 50 ms;
// pauses that add up their oversleeps would show as a ratio that grows.
// Then a whole program of forty "PWM 3, 145" cards in jam, at the normal
// and at the fast pace, against the sum of its pauses, typed into a board
// that lists it back: the checked transfer, the hare at 17 ms.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "bench/RatioReporter.h"
#include "cards/CardCatalog.h"
#include "device/ProgramLink.h"
#include "device/Typing.h"
#include "tests/support/ListingBoard.h"

namespace {

// About one second of typing per run.
constexpr int kRunMs = 1000;

void BM_Typing(benchmark::State& state)
{
    const int delayMs = static_cast<int>(state.range(0));
    const std::string text(static_cast<size_t>(kRunMs / delayMs), 'A');
    // The board drains every key; it has nothing to answer.
    testsupport::ListingBoardModel model;
    testsupport::ListingPtyBoard board(model);
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

FieldSnapshot fortyServoCards()
{
    FieldSnapshot field;
    for (int set = 0; set < kCardSetCount; ++set)
        for (int index = 0; index < CardCatalog::cardCount(set); ++index)
            if (CardCatalog::cardCode({set, index}, DIALECT_JAM).text == "PWM 3, 145")
                for (size_t row = 0; row < field.rows.size(); ++row)
                    field.rows[row] = SnapshotCard{CardKind{set, index}, "", {}, 0, static_cast<int>(row)};
    return field;
}

// The pauses a program asks for, in milliseconds; `checked`: with the LIST
// of a checked transfer, at its pace, and the board's pauses while it
// lists a screen after another (40 frames at 60 a second).
long long pausesOf(const FieldSnapshot& field, TypingPace pace, bool checked)
{
    ByteCollector asked;
    asked.silentBoard = checked;
    transferProgram(field, DIALECT_JAM, asked, pace);
    long long sum = checked ? listingPauses(asked.checkedLines) * 667LL : 0;
    for (int d : asked.delays)
        sum += d > 0 ? d : 0;
    return sum;
}

void BM_FortyServoCards(benchmark::State& state)
{
    const TypingPace pace = state.range(0) ? TypingPace::Fast : TypingPace::Normal;
    const FieldSnapshot field = fortyServoCards();
    testsupport::ListingBoardModel model;
    testsupport::ListingPtyBoard board(model);
    CorvinaCardSerialManager manager;
    manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
    manager.setExplicitPort(board.path);
    CorvinaAppsError error;
    if (!field.rows[39] || board.path.empty() || !manager.scanPorts({}) || !manager.openLink(&error)) {
        state.SkipWithError("no pty or no servo card");
        return;
    }
    std::atomic<bool> cancel{false};
    for (auto _ : state) {
        LinkProgramOutput out(TypingContext{&manager, &cancel, {}, &realPacingClock()}, [](const std::string&) {});
        const TransferOutcome outcome = transferProgram(field, DIALECT_JAM, out, pace);
        if (outcome.kind != TransferOutcome::Sent || outcome.check.result != ProgramCheck::Result::Checked)
            state.SkipWithError("not sent and checked");
    }
}

BENCHMARK(BM_FortyServoCards)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

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
    const FieldSnapshot field = fortyServoCards();
    for (int fast : {0, 1}) {
        const double measured = reporter.times["BM_FortyServoCards/" + std::to_string(fast) + "/iterations:1/real_time"];
        const double paused = static_cast<double>(pausesOf(field, fast ? TypingPace::Fast : TypingPace::Normal, true));
        if (measured > 0)
            std::printf("forty \"PWM 3, 145\" cards in jam, checked, at the %s pace: %.2f s, its pauses and the "
                        "board's listing pause add up to %.2f s, ratio measured / paused = %.3f (target within 2 %%)\n",
                        fast ? "hare's" : "tortoise's", measured / 1000, paused / 1000, measured / paused);
    }
    std::printf("the same cards at the hare's unchecked pace (25 ms, over Wi-Fi): its pauses add up to %.2f s\n",
                static_cast<double>(pausesOf(field, TypingPace::Fast, false)) / 1000);
    benchmark::Shutdown();
    return 0;
}
