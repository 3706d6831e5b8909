#include "device/ProgramLink.h"

#include "cards/CardCatalog.h"

LinkProgramOutput::LinkProgramOutput(TypingContext context, std::function<void(const std::string&)> listing)
    : context(std::move(context)), listing(std::move(listing)) {}

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

bool runStopSequence(TypingContext& context, int dialect, CorvinaAppsError& error) {
    const CardCatalog::DialectInfo& info = CardCatalog::dialect(dialect);
    return sendText(context, info.breakCode.delayMs, false, error, info.breakCode.text) &&
           sendText(context, info.stopCode.delayMs, false, error, info.stopCode.text);
}
