#pragma once
// Typing program text into the board one byte at a time, with the pause
// the board needs after each character. The clock is a seam so the pacing
// is checked without sleeping.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "device/CorvinaAppsError.h"
#include "device/CorvinaCardSerialManager.h"

class PacingClock {
public:
    virtual ~PacingClock() = default;
    virtual std::chrono::steady_clock::time_point now() = 0;
    virtual void sleepUntil(std::chrono::steady_clock::time_point deadline) = 0;
};

// Sleeps to absolute deadlines, so pauses do not add up their oversleeps.
PacingClock& realPacingClock();

struct TypingContext {
    TypingContext() = default;
    TypingContext(CorvinaCardSerialManager* manager, const std::atomic<bool>* cancel, std::function<void(char)> onChar,
                  PacingClock* clock)
        : manager(manager), cancel(cancel), onChar(std::move(onChar)), clock(clock) {}

    CorvinaCardSerialManager* manager = nullptr;
    const std::atomic<bool>* cancel = nullptr;  // set by the user's stop; may be null
    std::function<void(char)> onChar;           // shows the character being typed
    PacingClock* clock = nullptr;               // null: the real clock
    // What the board prints is read after every key typed: shown as it
    // comes, and kept in `heard` for a reader that waits for an answer.
    std::function<void(const std::string&)> onPrinted;
    std::string heard;
    // When a board taking one key a video frame at 50 frames a second (the
    // slower boards) has taken every key typed so far.
    std::chrono::steady_clock::time_point keysTakenBy{};
};

// The slowest board's video frame: its prompt takes one key each.
inline constexpr std::chrono::milliseconds kSlowestKeyInterval{20};

// Reads what the board printed into ctx.heard and shows it; never waits.
// False when the link failed. `got` (may be null): how many bytes came.
bool collectPrinted(TypingContext& ctx, size_t* got = nullptr);

// Types `text` up to its first zero byte, pausing `delayMs` after every
// character (none when <= 0). False with `error` set when a write fails
// (connection failed) or the user cancelled (nothing to show).
bool sendText(TypingContext& ctx, int delayMs, bool reportChars, CorvinaAppsError& error, const std::string& text);
// One raw byte, the pause taken before it.
bool sendByte(TypingContext& ctx, int delayMs, CorvinaAppsError& error, std::uint8_t byte);
