#include "device/ProgramLink.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "cards/BoardWords.h"
#include "cards/CardCatalog.h"

namespace {

using Clock = std::chrono::steady_clock;

// The board has said nothing for this long after it could have taken every
// key and printed its listing: it is not going to.
constexpr auto kQuietAfterAnswer = std::chrono::seconds(1);
// LIST stops 40 frames after each full screen (0.8 s at 50 frames a second).
constexpr auto kListingPause = std::chrono::milliseconds(800);
// How often the wait looks for the board's answer.
constexpr auto kReadSlice = std::chrono::milliseconds(5);
// A board still printing this long after its answer was due prints
// something else (its old program, not stopped): the listing is damaged.
constexpr auto kLongestListing = std::chrono::seconds(5);

constexpr int kListRounds = 3;

// Types LIST and waits for what the board prints after it. Nothing when the
// board said nothing at all; the listing, or Damaged for any other answer.
ListingAnswer listOnce(TypingContext& ctx, int pauses, const std::string& lineEnding, int keyDelayMs,
                       CorvinaAppsError& error, bool& stopped) {
    PacingClock& clock = ctx.clock ? *ctx.clock : realPacingClock();
    // Only what arrives after LIST counts.
    collectPrinted(ctx);
    ctx.heard.clear();
    if (!sendText(ctx, keyDelayMs, true, error, "LIST" + lineEnding)) {
        stopped = true;
        return {};
    }
    const Clock::time_point answerDue = std::max(ctx.keysTakenBy, clock.now()) + pauses * kListingPause;
    const Clock::time_point givenUp = answerDue + kQuietAfterAnswer + kLongestListing;
    Clock::time_point lastByte = clock.now();
    for (;;) {
        size_t got = 0;
        if (!collectPrinted(ctx, &got)) {
            error = ctx.manager->writeFailedError();
            stopped = true;
            return {};
        }
        const Clock::time_point now = clock.now();
        if (got > 0) lastByte = now;
        ListingAnswer answer = readListing(ctx.heard);
        if (answer.kind == ListingAnswer::Kind::Listed) return answer;
        if (now >= std::max(answerDue, lastByte) + kQuietAfterAnswer || now >= givenUp) {
            if (answer.kind != ListingAnswer::Kind::Nothing) answer.kind = ListingAnswer::Kind::Damaged;
            return answer;
        }
        if (ctx.cancel && ctx.cancel->load()) {
            error = cancelledError();
            stopped = true;
            return {};
        }
        clock.sleepUntil(now + kReadSlice);
    }
}

} // namespace

LinkProgramOutput::LinkProgramOutput(TypingContext context, std::function<void(const std::string&)> listing, bool check)
    : context(std::move(context)), listing(std::move(listing)), check(check) {}

bool LinkProgramOutput::sendText(int delayMs, bool reportChars, const std::string& text) {
    return ::sendText(context, delayMs, reportChars, error, text);
}

bool LinkProgramOutput::sendByte(int delayMs, std::uint8_t byte) { return ::sendByte(context, delayMs, error, byte); }

// The generator hands out lines; shown one after another they need their ending.
void LinkProgramOutput::listingLine(const std::string& line) {
    if (listing) listing(line + "\n");
}

bool LinkProgramOutput::cancelRequested() const {
    return context.cancel && context.cancel->load(std::memory_order_relaxed);
}

bool LinkProgramOutput::checksProgram() const {
    return check && context.manager && context.manager->linkCanAnswer();
}

ProgramCheck LinkProgramOutput::checkOnBoard(const std::vector<ProgramLine>& lines, const std::string& lineEnding,
                                             int keyDelayMs) {
    ProgramCheck result;
    result.lines = static_cast<int>(lines.size());
    if (!check) return result;
    if (!checksProgram()) {
        result.why = ProgramCheck::Unchecked::WiFi;
        return result;
    }
    return listAndRepair(context, lines, lineEnding, keyDelayMs, error);
}

ProgramCheck listAndRepair(TypingContext& context, const std::vector<ProgramLine>& lines,
                           const std::string& lineEnding, int keyDelayMs, CorvinaAppsError& error) {
    ProgramCheck result;
    result.lines = static_cast<int>(lines.size());
    const int pauses = listingPauses(lines);
    for (int round = 1;; ++round) {
        const ListingAnswer answer = listOnce(context, pauses, lineEnding, keyDelayMs, error, result.stopped);
        if (result.stopped) return result;
        if (answer.kind == ListingAnswer::Kind::Nothing && round == 1) {
            result.why = ProgramCheck::Unchecked::NoAnswer;
            return result;
        }
        const bool listed = answer.kind == ListingAnswer::Kind::Listed;
        const ListingDifference difference =
            listed ? compareListing(lines, answer.lines) : ListingDifference{};
        if (listed && difference.empty()) {
            result.result = result.retyped.empty() && result.removed.empty() ? ProgramCheck::Result::Checked
                                                                              : ProgramCheck::Result::Repaired;
            return result;
        }
        if (round == kListRounds) {
            result.result = ProgramCheck::Result::Failed;
            result.retyped.clear();
            result.removed.clear();
            for (const ProgramLine* line : difference.retype) result.retyped.push_back(line->number);
            for (int number : difference.remove) result.retyped.push_back(number);
            std::sort(result.retyped.begin(), result.retyped.end());
            return result;
        }
        // A damaged LIST is only typed again; a listing that differs is
        // mended line by line: typed again, or its number alone deletes it.
        for (const ProgramLine* line : difference.retype) {
            if (std::find(result.retyped.begin(), result.retyped.end(), line->number) == result.retyped.end())
                result.retyped.push_back(line->number);
            if (!sendText(context, line->delayMs, true, error, line->text + lineEnding)) {
                result.stopped = true;
                return result;
            }
        }
        for (int number : difference.remove) {
            if (std::find(result.removed.begin(), result.removed.end(), number) == result.removed.end())
                result.removed.push_back(number);
            if (!sendText(context, keyDelayMs, true, error, std::to_string(number) + lineEnding)) {
                result.stopped = true;
                return result;
            }
        }
        std::sort(result.retyped.begin(), result.retyped.end());
        std::sort(result.removed.begin(), result.removed.end());
    }
}

bool runStopSequence(TypingContext& context, int dialect, CorvinaAppsError& error) {
    const CardCatalog::DialectInfo& info = CardCatalog::dialect(dialect);
    return sendText(context, info.breakCode.delayMs, false, error, info.breakCode.text) &&
           sendText(context, info.stopCode.delayMs, false, error, info.stopCode.text);
}

namespace {
std::optional<std::string> askOnce(TypingContext& ctx, CorvinaAppsError& error, const std::atomic<bool>& late) {
    PacingClock& clock = ctx.clock ? *ctx.clock : realPacingClock();
    if (!runStopSequence(ctx, DIALECT_JAM, error)) return std::nullopt;
    // What the stopped program printed is not the answer.
    collectPrinted(ctx);
    ctx.heard.clear();
    if (!sendText(ctx, static_cast<int>(kSlowestKeyInterval.count()), false, error, "?VER()\r\n")) return std::nullopt;
    const Clock::time_point due = std::max(ctx.keysTakenBy, clock.now()) + kQuietAfterAnswer;
    for (;;) {
        if (!collectPrinted(ctx)) {
            error = ctx.manager->writeFailedError();
            return std::nullopt;
        }
        // A line of digits, then "OK"; blank lines passed over.
        std::vector<std::string> lines = PrintedLines().feed(ctx.heard);
        std::erase(lines, std::string());
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            if (lines[i + 1] == "OK" && lines[i].find_first_not_of("0123456789") == std::string::npos)
                return lines[i];
        const Clock::time_point now = clock.now();
        if (now >= due || late) return std::nullopt;
        clock.sleepUntil(std::min(due, now + kReadSlice));
    }
}
} // namespace

std::optional<std::string> askBoardVersion(TypingContext& ctx, CorvinaAppsError& error) {
    // The whole ask ends within two seconds, even on a port whose writes
    // stall (each may wait two seconds by itself).
    std::atomic<bool> late{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread watch([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!ended.wait_for(lock, std::chrono::seconds(2), [&] { return done; })) late = true;
    });
    const std::atomic<bool>* given = ctx.cancel;
    ctx.cancel = &late;
    std::optional<std::string> version = askOnce(ctx, error, late);
    ctx.cancel = given;
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    ended.notify_all();
    watch.join();
    // Out of time is no failure of the port: nothing answered.
    if (late) error = CorvinaAppsError{};
    return version;
}
