#pragma once
// A program on its way to the board: what the generator hands out is typed
// over the open link with its pauses, and the texts that stop the board's
// program. Shared by the editor's worker and the command-line tool.
#include <functional>
#include <string>

#include "cards/ProgramGenerator.h"
#include "device/CorvinaAppsError.h"
#include "device/Typing.h"

class LinkProgramOutput : public ProgramOutput {
public:
    // `listing` receives the que program's lines, each with its line ending,
    // for the user to read.
    LinkProgramOutput(TypingContext context, std::function<void(const std::string&)> listing);

    bool sendText(int delayMs, bool reportChars, const std::string& text) override;
    bool sendByte(int delayMs, std::uint8_t byte) override;
    void listingLine(const std::string& line) override;
    bool cancelRequested() const override;

    // Why the last text or byte did not go out.
    CorvinaAppsError error;

private:
    TypingContext context;
    std::function<void(const std::string&)> listing;
};

// Interrupts the board's running program and switches its outputs off: the
// dialect's break, then its stop text, typed as they stand and not shown.
bool runStopSequence(TypingContext& context, int dialect, CorvinaAppsError& error);
