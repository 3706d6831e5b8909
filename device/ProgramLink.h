#pragma once
// A program on its way to the board: what the generator hands out is typed
// over the open link with its pauses, the board's listing is read back and
// repaired, and the texts that stop the board's program. Shared by the
// editor's worker and the command-line tool.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cards/ProgramGenerator.h"
#include "device/CorvinaAppsError.h"
#include "device/Typing.h"

class LinkProgramOutput : public ProgramOutput {
public:
    // `listing` receives the que program's lines, each with its line ending,
    // for the user to read. With `check`, a jam program is listed back on a
    // link the board answers over.
    LinkProgramOutput(TypingContext context, std::function<void(const std::string&)> listing, bool check = true);

    bool sendText(int delayMs, bool reportChars, const std::string& text) override;
    bool sendByte(int delayMs, std::uint8_t byte) override;
    void listingLine(const std::string& line) override;
    bool cancelRequested() const override;
    bool checksProgram() const override;
    ProgramCheck checkOnBoard(const std::vector<ProgramLine>& lines, const std::string& lineEnding,
                              int keyDelayMs) override;

    void programStarting() override {
        if (onProgramStarting) onProgramStarting();
    }

    // Why the last text or byte did not go out.
    CorvinaAppsError error;
    std::function<void()> onProgramStarting;

private:
    TypingContext context;
    std::function<void(const std::string&)> listing;
    bool check;
};

// The rounds of a checked transfer: LIST, repair, LIST, repair, LIST. LIST
// and the repairs are typed through `context`; the answer is read from
// what the board prints after LIST. A board that never answers leaves the
// program not checked; one whose third listing still differs fails it.
ProgramCheck listAndRepair(TypingContext& context, const std::vector<ProgramLine>& lines,
                           const std::string& lineEnding, int keyDelayMs, CorvinaAppsError& error);

// Interrupts the board's running program and switches its outputs off: the
// dialect's break, then its stop text, typed as they stand and not shown.
bool runStopSequence(TypingContext& context, int dialect, CorvinaAppsError& error);

// Asks the board who it is, as the stop control would reach it: the stop
// sequence, then "?VER()" and CR LF. A board prints a number and then "OK";
// the number, or nothing when no such answer came within a second of the
// board taking the keys (with `error` set only when a write failed).
std::optional<std::string> askBoardVersion(TypingContext& context, CorvinaAppsError& error);
