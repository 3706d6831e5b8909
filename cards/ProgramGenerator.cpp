#include "cards/ProgramGenerator.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "cards/CardCatalog.h"
#include "cards/NumberEntry.h"
#include "cards/NumberText.h"

namespace {

using CardCatalog::DialectInfo;

// A card outside the catalogue stands for nothing, as one past the end of
// its set does, rather than stopping the worker with an exception.
CardCode codeOf(CardKind card, int dialect) {
    if (card.set < 0 || card.set >= kCardSetCount) return CardCode();
    return CardCatalog::cardCode(card, dialect);
}

// The number as the board receives it: one conversion for the typed text,
// the que bytes and the listing alike. A card without digits gives 0.
std::string boardNumber(const std::string& numberText, float multiplier) {
    return convertedNumberText(numberText.empty() ? "0" : numberText, multiplier);
}

long long boardValue(const std::string& numberText, float multiplier) {
    const std::string text = boardNumber(numberText, multiplier);
    long long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Searching on after each inserted number, so a number holding the
// placeholder is never replaced again.
void replaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

bool hasPatch(const CardCode& code, const char* key) { return code.patches.count(key) != 0; }

using CardCatalog::LoopRole;

LoopRole roleOf(CardKind card) {
    if (card.set < 0 || card.set >= kCardSetCount) return LoopRole::None;
    return CardCatalog::loopRole(card);
}

// Where a loop card stands among the loops: the depth of the counted or
// forever loop it opens or closes, counting from 1; 0 for an end with no
// loop open, and for every other card.
struct LoopPlace {
    int counted = 0;
    int forever = 0;
};

// In field order: a start opens a loop, an end closes the innermost one of its kind.
std::vector<LoopPlace> loopPlaces(const FieldSnapshot& snapshot) {
    std::vector<LoopPlace> places(snapshot.rows.size());
    int counted = 0, forever = 0;
    for (size_t row = 0; row < snapshot.rows.size(); ++row) {
        if (!snapshot.rows[row]) continue;
        switch (roleOf(snapshot.rows[row]->kind)) {
        case LoopRole::CountedStart: places[row].counted = ++counted; break;
        case LoopRole::CountedEnd: places[row].counted = counted > 0 ? counted-- : 0; break;
        case LoopRole::ForeverStart: places[row].forever = ++forever; break;
        case LoopRole::ForeverEnd: places[row].forever = forever > 0 ? forever-- : 0; break;
        case LoopRole::None: break;
        }
    }
    return places;
}

bool isNamePart(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Every use of the one-letter variable `from` as a name of its own, never
// a letter inside a longer word ("while").
void renameVariable(std::string& text, char from, char to) {
    for (size_t at = 0; at < text.size(); ++at)
        if (text[at] == from && (at == 0 || !isNamePart(text[at - 1])) &&
            (at + 1 == text.size() || !isNamePart(text[at + 1])))
            text[at] = to;
}

// The label of a forever loop at `depth`: the cards' own for the outermost;
// "@LB", "@LC", ... inside it, none of which begins another.
std::string foreverLabel(const DialectInfo& info, int depth) {
    return depth <= 1 ? info.foreverLabel : "@L" + std::string(1, static_cast<char>('A' + depth - 1));
}

// A loop card's text with the counter or label of the loop it opens or
// closes; the cards themselves all name the outermost.
void placeLoop(std::string& text, CardKind card, LoopPlace place, const DialectInfo& info) {
    const LoopRole role = roleOf(card);
    const bool counted = role == LoopRole::CountedStart || role == LoopRole::CountedEnd;
    const bool forever = role == LoopRole::ForeverStart || role == LoopRole::ForeverEnd;
    if (counted && place.counted > 1 && static_cast<size_t>(place.counted) <= info.loopVariables.size())
        renameVariable(text, info.loopVariables.front(), info.loopVariables[static_cast<size_t>(place.counted - 1)]);
    if (forever && place.forever > 1 && !info.foreverLabel.empty())
        replaceAll(text, info.foreverLabel, foreverLabel(info, place.forever));
}

// The prelude with every counter beyond the first declared after the
// first's declaration, in depth order.
std::vector<CardCode> preludeFor(const std::vector<LoopPlace>& places, const DialectInfo& info) {
    std::vector<CardCode> prelude = info.prelude;
    if (info.loopVariables.empty()) return prelude;
    auto declaration = [](char variable) { return "var " + std::string(1, variable) + "=0;"; };
    int deepest = 0;
    for (const LoopPlace& place : places) deepest = std::max(deepest, place.counted);
    deepest = std::min(deepest, static_cast<int>(info.loopVariables.size()));
    for (CardCode& item : prelude) {
        if (item.text.find(declaration(info.loopVariables.front())) == std::string::npos) continue;
        for (int depth = 2; depth <= deepest; ++depth)
            item.text += declaration(info.loopVariables[static_cast<size_t>(depth - 1)]);
    }
    return prelude;
}

// A 16-bit little-endian field of the instruction bytes; only two-byte
// patches that lie within the bytes are acted on.
void writePatch(CardCode& code, const char* key, long long value) {
    auto patch = code.patches.find(key);
    if (patch == code.patches.end()) return;
    auto position = patch->second.find("position"), size = patch->second.find("size");
    if (position == patch->second.end() || size == patch->second.end() || size->second != 2) return;
    if (position->second < 0 || static_cast<size_t>(position->second) + 2 > code.bytes.size()) return;
    code.bytes[static_cast<size_t>(position->second)] = static_cast<std::uint8_t>(value & 0xFF);
    code.bytes[static_cast<size_t>(position->second) + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// The first card, in field order, that the board would not run as the
// cards say: a number it cannot hold as sent (the typed text of jam and
// latte, the input bytes of que; its listing is only shown), a loop count
// below 1, or a counted loop inside more than it runs.
TransferOutcome checkProgram(const FieldSnapshot& snapshot, int dialect, const DialectInfo& info,
                             const std::vector<LoopPlace>& places) {
    for (size_t row = 0; row < snapshot.rows.size(); ++row) {
        const auto& card = snapshot.rows[row];
        if (!card) continue;
        const CardCode code = codeOf(card->kind, dialect);
        const bool sendsNumber = info.instructionTarget ? hasPatch(code, "input") : !code.placeholder.empty();
        const int at = static_cast<int>(row);
        if (sendsNumber && !numberFitsBoard(card->numberText, dialect, code.multiplier))
            return {TransferOutcome::NumberDoesNotFit, at, card->numberText, {}, card->kind};
        if (takesLoopCount(card->kind, dialect) && !countAtLeastOne(card->numberText, code.multiplier))
            return {TransferOutcome::CountBelowOne, at, card->numberText, {}, card->kind};
        if (roleOf(card->kind) == LoopRole::CountedStart && places[row].counted > info.deepestCountedLoops)
            return {info.instructionTarget ? TransferOutcome::NestedLoopInQue : TransferOutcome::LoopsTooDeep, at, {}, {},
                    card->kind};
    }
    return {};
}

TransferOutcome ended(TransferOutcome::Kind kind) {
    TransferOutcome outcome;
    outcome.kind = kind;
    return outcome;
}

// A write that did not go out: the stop button, or the link.
TransferOutcome stopped(const ProgramOutput& out) {
    return ended(out.cancelRequested() ? TransferOutcome::Cancelled : TransferOutcome::Failed);
}

// The pause after each character at `pace`: only the dialect's own
// character delay gets faster.
int pacedDelay(int delayMs, const DialectInfo& info, TypingPace pace, bool checked) {
    if (pace != TypingPace::Fast || info.fastCharDelay <= 0 || delayMs != info.charDelay) return delayMs;
    return checked && info.checkedFastCharDelay > 0 ? info.checkedFastCharDelay : info.fastCharDelay;
}

bool sendItems(const std::vector<CardCode>& items, const DialectInfo& info, TypingPace pace, bool checked,
               ProgramOutput& out) {
    for (const CardCode& item : items) {
        std::string text = item.text;
        if (item.appendLineEnding) text += info.lineEnding;
        const int delayMs = item.delayMs >= 0 ? item.delayMs : info.charDelay;
        if (!out.sendText(pacedDelay(delayMs, info, pace, checked), item.reportChars, text)) return false;
    }
    return true;
}

// One row as a line of program text; empty when the row holds nothing.
std::string lineText(const SnapshotCard& card, size_t row, LoopPlace place, int dialect, const DialectInfo& info,
                     int& delayMs, bool& appendLineEnding) {
    const CardCode code = codeOf(card.kind, dialect);
    std::string text = code.text;
    placeLoop(text, card.kind, place, info);
    if (!code.placeholder.empty()) replaceAll(text, code.placeholder, boardNumber(card.numberText, code.multiplier));
    if (code.delayMs >= 0) delayMs = code.delayMs;
    appendLineEnding = code.appendLineEnding;
    return info.numberedLines ? std::to_string(10 * (row + 1)) + " " + text : text;
}

TransferOutcome sendTextProgram(const FieldSnapshot& snapshot, int dialect, const DialectInfo& info,
                                const std::vector<LoopPlace>& places, TypingPace pace, ProgramOutput& out) {
    // Only numbered lines can be listed back.
    const bool checked = info.numberedLines && out.checksProgram();
    // The running program is interrupted and its outputs stopped before the
    // new one is typed; neither is shown to the user.
    if (!out.sendText(info.breakCode.delayMs, false, info.breakCode.text)) return stopped(out);
    if (!out.sendText(pacedDelay(info.charDelay, info, pace, checked), false, info.stopCode.text)) return stopped(out);
    if (!sendItems(preludeFor(places, info), info, pace, checked, out)) return stopped(out);

    int depth = 0;
    std::vector<ProgramLine> lines;
    for (size_t row = 0; row < snapshot.rows.size(); ++row) {
        if (!snapshot.rows[row]) continue;
        int delayMs = info.charDelay;
        bool appendLineEnding = true;
        std::string line = lineText(*snapshot.rows[row], row, places[row], dialect, info, delayMs, appendLineEnding);
        if (line.empty()) continue;
        delayMs = pacedDelay(delayMs, info, pace, checked);
        if (info.numberedLines) lines.push_back({10 * static_cast<int>(row + 1), line, delayMs});
        if (appendLineEnding) line += info.lineEnding;
        const int indent = indentOf(line, depth, dialect);
        if (indent > 0) line.insert(0, 2 * static_cast<size_t>(indent), ' ');
        if (!out.sendText(delayMs, true, line)) return stopped(out);
    }

    TransferOutcome outcome;
    if (info.numberedLines) {
        outcome.check = out.checkOnBoard(lines, info.lineEnding, pacedDelay(info.charDelay, info, pace, checked));
        if (outcome.check.stopped) return stopped(out);
        if (outcome.check.result == ProgramCheck::Result::Failed) {
            outcome.kind = TransferOutcome::CheckFailed;
            return outcome;
        }
    } else {
        outcome.check.why = ProgramCheck::Unchecked::Dialect;
    }
    // The epilogue's last text starts the program: what the board prints
    // from then on is the program's.
    const std::vector<CardCode>& epilogue = info.epilogue;
    const auto last = epilogue.empty() ? epilogue.end() : epilogue.end() - 1;
    if (!sendItems({epilogue.begin(), last}, info, pace, checked, out)) return stopped(out);
    out.programStarting();
    if (!sendItems({last, epilogue.end()}, info, pace, checked, out)) return stopped(out);
    return outcome;
}

// The lines of a que description, one per instruction: a text ending in a
// line feed describes one more, empty, instruction.
std::vector<std::string> descriptionLines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    size_t begin = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', begin)) {
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    lines.push_back(text.substr(begin));
    return lines;
}

class QueWriter {
public:
    QueWriter(const DialectInfo& info, ProgramOutput& out) : _info(info), _out(out) {}

    bool write(std::uint8_t byte) {
        if (!_out.sendByte(_info.charDelay, byte)) return false;
        ++_written;
        return true;
    }

    bool writeAll(const std::vector<std::uint8_t>& bytes) {
        return std::all_of(bytes.begin(), bytes.end(), [this](std::uint8_t byte) { return write(byte); });
    }

    long written() const { return _written; }

private:
    const DialectInfo& _info;
    ProgramOutput& _out;
    long _written = 0;
};

TransferOutcome sendQueProgram(const FieldSnapshot& snapshot, int dialect, const DialectInfo& info,
                               ProgramOutput& out) {
    QueWriter writer(info, out);
    int instruction = 0;  // the number of the next instruction, from 0
    int emptyCount = 0;   // empty positions since the last card
    std::vector<CardCode> openLoops;

    for (const auto& card : snapshot.rows) {
        if (!card) {
            ++emptyCount;
        } else {
            // Empty positions between cards keep the instructions in step
            // with the rows; after the last card they are never written.
            for (int k = 0; k < emptyCount; ++k) {
                if (!writer.writeAll(std::vector<std::uint8_t>(static_cast<size_t>(info.syncCount), info.syncByte)))
                    return stopped(out);
                out.listingLine(std::to_string(instruction + k + 1));
            }
            instruction += emptyCount;
            emptyCount = 0;

            CardCode code = codeOf(card->kind, dialect);
            std::string text = code.text;

            // An end card closes the most recently opened start that names it.
            auto open = std::find_if(openLoops.rbegin(), openLoops.rend(), [&](const CardCode& start) {
                return start.pairIndex == card->kind.index && start.pairSet == card->kind.set;
            });
            if (open != openLoops.rend() && open->line >= 0) {
                const int target = open->line;
                openLoops.erase(std::next(open).base());
                writePatch(code, "line", target);
                if (!code.placeholder.empty())
                    replaceAll(text, code.placeholder, boardNumber(std::to_string(target + 1), code.multiplier));
            } else if (!code.placeholder.empty()) {
                replaceAll(text, code.placeholder, boardNumber(card->numberText, code.multiplier));
            }
            writePatch(code, "input", boardValue(card->numberText, code.multiplier));

            if (!writer.writeAll(code.bytes)) return stopped(out);
            const std::vector<std::string> lines = descriptionLines(text);
            for (size_t i = 0; i < lines.size(); ++i)
                out.listingLine(std::to_string(instruction + 1 + static_cast<int>(i)) + " " + lines[i]);
            instruction += static_cast<int>(code.bytes.size() / 8);

            if (code.pairIndex >= 0 || code.pairSet >= 0) {
                code.line = instruction - 1;  // its last instruction: where the end jumps back to
                openLoops.push_back(code);
            }
        }
        if (out.cancelRequested()) return ended(TransferOutcome::Cancelled);
    }

    while (writer.written() < info.imageSize) {
        if (out.cancelRequested()) return ended(TransferOutcome::Cancelled);
        if (!writer.write(info.padByte)) return stopped(out);
    }
    return {};
}

} // namespace

TransferOutcome transferProgram(const FieldSnapshot& snapshot, int dialect, ProgramOutput& out, TypingPace pace) {
    const DialectInfo& info = CardCatalog::dialect(dialect);
    const std::vector<LoopPlace> places = loopPlaces(snapshot);
    // Checked before anything goes out, so a refused program leaves the
    // board's old one running.
    if (TransferOutcome refused = checkProgram(snapshot, dialect, info, places); refused.refused()) return refused;
    if (!info.instructionTarget) return sendTextProgram(snapshot, dialect, info, places, pace, out);
    TransferOutcome outcome = sendQueProgram(snapshot, dialect, info, out);
    outcome.check.why = ProgramCheck::Unchecked::Dialect;
    return outcome;
}

TransferOutcome refusalOf(const FieldSnapshot& snapshot, int dialect) {
    const DialectInfo& info = CardCatalog::dialect(dialect);
    return checkProgram(snapshot, dialect, info, loopPlaces(snapshot));
}

std::map<int, int> programLineRows(const FieldSnapshot& snapshot, int dialect) {
    const DialectInfo& info = CardCatalog::dialect(dialect);
    const std::vector<LoopPlace> places = loopPlaces(snapshot);
    std::map<int, int> rows;
    if (info.instructionTarget || checkProgram(snapshot, dialect, info, places).refused()) return rows;

    // The texts as sendTextProgram types them, each with the row it comes from.
    std::vector<std::pair<std::string, int>> pieces;
    auto addItems = [&](const std::vector<CardCode>& items) {
        for (const CardCode& item : items)
            pieces.emplace_back(item.appendLineEnding ? item.text + info.lineEnding : item.text, -1);
    };
    addItems(preludeFor(places, info));
    for (size_t row = 0; row < snapshot.rows.size(); ++row) {
        if (!snapshot.rows[row]) continue;
        int delayMs = info.charDelay;
        bool appendLineEnding = true;
        const std::string line =
            lineText(*snapshot.rows[row], row, places[row], dialect, info, delayMs, appendLineEnding);
        if (line.empty()) continue;
        if (info.numberedLines) rows[10 * static_cast<int>(row + 1)] = static_cast<int>(row);
        pieces.emplace_back(appendLineEnding ? line + info.lineEnding : line, static_cast<int>(row));
    }
    if (info.numberedLines) return rows;
    addItems(info.epilogue);

    // latte: the shell command of the first prelude item captures what
    // follows into the program file, up to the end of transmission. A line
    // belongs to the piece that holds its first character.
    int index = 0;
    bool lineOpen = false;
    for (size_t piece = 1; piece < pieces.size(); ++piece)
        for (char c : pieces[piece].first) {
            if (c == '\x04') return rows;
            if (!lineOpen) rows[index] = pieces[piece].second;
            lineOpen = c != '\n';
            if (!lineOpen) ++index;
        }
    return rows;
}

bool paceChangesDialect(TypingPace pace, int dialect) {
    return pace == TypingPace::Fast && CardCatalog::dialect(dialect).fastCharDelay > 0;
}

bool TransferOutcome::refused() const { return kind >= NumberDoesNotFit; }

RefusalText refusalText(const TransferOutcome& outcome) {
    const std::string line = std::to_string(10 * (outcome.row + 1));
    // The card by the name the child knows it by.
    const CardCatalog::CardName name = CardCatalog::cardName(outcome.card);
    const std::string ja = line + "ぎょうめの「" + name.japanese + "」", en = "\"" + name.english + "\" on line " + line;
    switch (outcome.kind) {
    case TransferOutcome::NumberDoesNotFit:
        return {ja + "の かず " + outcome.number + " は ボードには おおきすぎます。カードを タップして ちいさい かずに してください。",
                "The number " + outcome.number + " on " + en +
                    " is too large for the board. Tap the card and type a smaller number."};
    case TransferOutcome::CountBelowOne:
        return {ja + "の くりかえす かいすうが 1より すくないです。カードを タップして 1いじょうの かずに してください。",
                "The repeat count" + (outcome.number.empty() ? std::string() : " " + outcome.number) + " on " + en +
                    " is less than 1. Tap the card and type 1 or more."};
    case TransferOutcome::LoopsTooDeep:
        return {"くりかえしの なかに いれられる くりかえしは 6こ までです。" + ja + "を そとに だしてください。",
                "Repeats go only 6 deep inside each other. The card " + en + " is the 7th: move it out of the others."};
    case TransferOutcome::NestedLoopInQue:
        return {"que では くりかえしの なかに くりかえしを いれられません。" + ja + "を そとに だしてください。",
                "In que a repeat cannot go inside another repeat. Move " + en + " out of the one around it."};
    default:
        return {};
    }
}

int indentOf(const std::string& lineWithEnding, int& depth, int dialect) {
    if (dialect != DIALECT_LATTE) return 0;
    const int before = depth;
    int balance = 0;
    for (char c : lineWithEnding) {
        if (c == '{') ++balance;
        else if (c == '}') --balance;
        else if (c == '\n') depth += balance;
    }
    return std::min(before, depth);
}

bool ByteCollector::write(int delayMs, std::uint8_t byte) {
    if (failAtByte >= 0 && static_cast<long>(bytes.size()) >= failAtByte) return false;
    bytes += static_cast<char>(byte);
    delays.push_back(delayMs);
    if (cancelAfterBytes >= 0 && static_cast<long>(bytes.size()) >= cancelAfterBytes) cancelled = true;
    return true;
}

bool ByteCollector::sendText(int delayMs, bool reportChars, const std::string& text) {
    const std::string typed(text.c_str());
    texts.push_back({typed, delayMs, reportChars});
    // As the link does: stop is noticed after a character went out.
    for (char c : typed)
        if (!write(delayMs, static_cast<std::uint8_t>(c)) || cancelled) return false;
    return true;
}

bool ByteCollector::sendByte(int delayMs, std::uint8_t byte) { return write(delayMs, byte); }

ProgramCheck ByteCollector::checkOnBoard(const std::vector<ProgramLine>& lines, const std::string& lineEnding,
                                         int keyDelayMs) {
    ProgramCheck check;
    check.lines = static_cast<int>(lines.size());
    checkedLines = lines;
    if (!silentBoard) return check;
    check.why = ProgramCheck::Unchecked::NoAnswer;
    check.stopped = !sendText(keyDelayMs, true, "LIST" + lineEnding);
    return check;
}

void ByteCollector::listingLine(const std::string& line) { listing.push_back(line); }

bool ByteCollector::cancelRequested() const { return cancelled; }
