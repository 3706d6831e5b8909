#include "device/Typing.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <thread>

namespace {

class RealPacingClock : public PacingClock {
public:
    std::chrono::steady_clock::time_point now() override { return std::chrono::steady_clock::now(); }
    void sleepUntil(std::chrono::steady_clock::time_point deadline) override { std::this_thread::sleep_until(deadline); }
};

bool cancelled(const TypingContext& ctx)
{
    return ctx.cancel && ctx.cancel->load();
}

bool write(TypingContext& ctx, std::uint8_t byte, CorvinaAppsError& error)
{
    if (ctx.manager && ctx.manager->writeByte(byte, ctx.cancel)) {
        PacingClock& clock = ctx.clock ? *ctx.clock : realPacingClock();
        ctx.keysTakenBy = std::max(ctx.keysTakenBy, clock.now()) + kSlowestKeyInterval;
        return true;
    }
    // A write given up because the user stopped is not a broken connection.
    error = cancelled(ctx) ? cancelledError() : ctx.manager ? ctx.manager->writeFailedError() : connectionFailedError();
    return false;
}

} // namespace

bool collectPrinted(TypingContext& ctx, size_t* got)
{
    if (!ctx.manager)
        return false;
    std::string printed;
    const bool ok = ctx.manager->readAvailable(printed);
    if (got)
        *got = printed.size();
    if (!printed.empty()) {
        ctx.heard += printed;
        // A board printing on and on keeps only its latest words here.
        constexpr size_t kHeardLimit = 1 << 16;
        if (ctx.heard.size() > kHeardLimit)
            ctx.heard.erase(0, ctx.heard.size() - kHeardLimit);
        if (ctx.onPrinted)
            ctx.onPrinted(printed);
    }
    return ok;
}

PacingClock& realPacingClock()
{
    static RealPacingClock clock;
    return clock;
}

bool sendText(TypingContext& ctx, int delayMs, bool reportChars, CorvinaAppsError& error, const std::string& text)
{
    PacingClock& clock = ctx.clock ? *ctx.clock : realPacingClock();
    const std::chrono::milliseconds delay(delayMs);
    std::optional<std::chrono::steady_clock::time_point> deadline;
    const size_t length = std::strlen(text.c_str());
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        // What the board printed during the last pause shows before the
        // next key, in the order it happened.
        collectPrinted(ctx);
        if (reportChars && ctx.onChar)
            ctx.onChar(c);
        if (!write(ctx, static_cast<std::uint8_t>(c), error))
            return false;
        if (cancelled(ctx)) {
            error = cancelledError();
            return false;
        }
        if (delayMs <= 0)
            continue;
        // Deadlines follow each other, so n characters take n pauses plus
        // only the time of the writes. After a write that stalled past a
        // whole pause the pause starts again: the board still gets its full
        // pause instead of a burst of late characters.
        const auto now = clock.now();
        deadline = deadline ? *deadline + delay : now + delay;
        if (*deadline < now)
            deadline = now + delay;
        clock.sleepUntil(*deadline);
    }
    collectPrinted(ctx);
    return true;
}

bool sendByte(TypingContext& ctx, int delayMs, CorvinaAppsError& error, std::uint8_t byte)
{
    collectPrinted(ctx);
    PacingClock& clock = ctx.clock ? *ctx.clock : realPacingClock();
    if (delayMs > 0)
        clock.sleepUntil(clock.now() + std::chrono::milliseconds(delayMs));
    // Stopped during the pause: the byte is not sent.
    if (cancelled(ctx)) {
        error = cancelledError();
        return false;
    }
    return write(ctx, byte, error);
}
