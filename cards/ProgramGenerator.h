#pragma once
// Turns the field into what the board receives and hands it over piece by
// piece: texts to type for jam and latte, the bytes of a program image for
// que. The editor's send worker, the command-line tool and the tests share
// it through ProgramOutput; it reads only the snapshot and the catalogue.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cards/FieldSnapshot.h"
#include "cards/ProgramCheck.h"

class ProgramOutput {
public:
    virtual ~ProgramOutput() = default;
    // Types `text` up to its first zero byte with a pause of delayMs after each character
    // (delayMs <= 0: no pause); reportChars: show each character to the user. false stops the transfer.
    virtual bool sendText(int delayMs, bool reportChars, const std::string& text) = 0;
    // One que byte, the pause taken before it. false stops the transfer.
    virtual bool sendByte(int delayMs, std::uint8_t byte) = 0;
    // One line of the que program listing shown to the user, without its line ending.
    virtual void listingLine(const std::string& line) = 0;
    // The user pressed stop.
    virtual bool cancelRequested() const = 0;
    // The next text starts the program typed (jam's RUN).
    virtual void programStarting() {}
    // Whether checkOnBoard will read the board's listing: numbered lines
    // are then typed at the checked pace.
    virtual bool checksProgram() const { return false; }
    // After the numbered lines, before the epilogue: asks the board for its
    // listing and repairs what differs. `keyDelayMs` is the pace of LIST.
    virtual ProgramCheck checkOnBoard(const std::vector<ProgramLine>& lines, const std::string& lineEnding,
                                      int keyDelayMs) {
        (void)lineEnding;
        (void)keyDelayMs;
        ProgramCheck check;
        check.lines = static_cast<int>(lines.size());
        return check;
    }
};

struct TransferOutcome {
    enum Kind {
        Sent,
        Failed,
        Cancelled,
        // The board's listing still differed after the repairs: neither
        // saved nor run.
        CheckFailed,
        // Refused before anything is sent:
        NumberDoesNotFit,  // a number the board cannot hold
        CountBelowOne,     // a loop count below 1, which the board stops on
        LoopsTooDeep,      // a counted loop inside more than the board runs (jam and latte alike)
        NestedLoopInQue,   // a counted loop inside another, which que's single box cannot count
    };
    Kind kind = Sent;
    int row = -1;            // a refusal: the row (0-based) of the first card refused
    std::string number;      // NumberDoesNotFit and CountBelowOne: that card's number as stored
    ProgramCheck check;      // what the board's listing said
    CardKind card;           // a refusal: the card refused

    // The program was refused before anything was sent.
    bool refused() const;
};

// Everything the board receives for `snapshot` in `dialect`, handed to `out` piece by piece.
// Loose cards are never sent. std::out_of_range for a dialect outside 0..2.
TransferOutcome transferProgram(const FieldSnapshot& snapshot, int dialect, ProgramOutput& out,
                                TypingPace pace = TypingPace::Normal);

// Why the board would not run `snapshot` in `dialect` as its cards say; an
// outcome that is no refusal when it would. Asked before a link is opened.
TransferOutcome refusalOf(const FieldSnapshot& snapshot, int dialect);

// Where each line the board runs comes from, so the running line of a
// simulated board names its row (0-based). jam: the line number of each
// row's line -> its row. latte: the index of each line of the captured
// program file (from 0) -> its row, -1 for a line that comes from no card
// (the declarations before the cards, the closing drain). Empty for que and
// for a program transferProgram refuses.
std::map<int, int> programLineRows(const FieldSnapshot& snapshot, int dialect);

// Whether `pace` changes anything in `dialect`.
bool paceChangesDialect(TypingPace pace, int dialect);

// What the user is told of a refused program, naming the card and the line
// of its row (10 x (row + 1)); the Japanese in kana, for children. Empty texts for an
// outcome that is no refusal.
struct RefusalText {
    std::string japanese, english;
};
RefusalText refusalText(const TransferOutcome& outcome);

// The indentation count of one latte line (two blanks each), updating depth,
// the running brace depth of the program. 0 in the other dialects.
int indentOf(const std::string& lineWithEnding, int& depth, int dialect);

// A ProgramOutput that collects the bytes (no pauses): what the board would receive, in order.
class ByteCollector : public ProgramOutput {
public:
    struct Text {
        std::string text;  // as typed: up to the first zero byte
        int delayMs = 0;
        bool reportChars = false;
    };

    std::string bytes;
    std::vector<std::string> listing;
    std::vector<int> delays;  // one per byte: the pause asked after (text) or before (que) it
    std::vector<Text> texts;  // one per sendText

    // Bytes for a board that answers over its link but says nothing: jam
    // types LIST (at the checked pace) and goes on unchecked.
    bool silentBoard = false;
    std::vector<ProgramLine> checkedLines;  // the lines a checked transfer would list
    long failAtByte = -1;        // the write of byte number failAtByte (from 0) fails
    long cancelAfterBytes = -1;  // stop is pressed once this many bytes went out
    bool cancelled = false;      // stop was pressed

    bool sendText(int delayMs, bool reportChars, const std::string& text) override;
    bool sendByte(int delayMs, std::uint8_t byte) override;
    void listingLine(const std::string& line) override;
    bool cancelRequested() const override;
    bool checksProgram() const override { return silentBoard; }
    ProgramCheck checkOnBoard(const std::vector<ProgramLine>& lines, const std::string& lineEnding,
                              int keyDelayMs) override;

private:
    // Writes one byte as the link would; false when it fails.
    bool write(int delayMs, std::uint8_t byte);
};
