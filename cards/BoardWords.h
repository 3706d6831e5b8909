#pragma once
// What the board prints, read for the one thing a child must hear: the
// error that stopped the program and the line it stopped on. Pure logic;
// who listens, and when, is the editor's.
#include <optional>
#include <string>
#include <vector>

// Cuts printed text into lines as it arrives, in any pieces: lines end in
// CR LF, LF or CR.
class PrintedLines {
public:
    // The lines `text` completes, without their endings.
    std::vector<std::string> feed(const std::string& text);
    // The line still being printed (the board's cursor line).
    const std::string& partial() const { return _partial; }

private:
    std::string _partial;
    bool _afterCr = false;
};

// An error the board printed on a line of its own: jam "<message> in <n>",
// latte "<message> in line <n>".
struct BoardError {
    std::string message;  // as printed: "Line error"
    // The program's line in the numbering the editor maps to rows: jam the
    // line number, latte the index of the line from 0.
    int line = -1;
};
// The error a printed line reports; none for any other line, and none for
// the board's "Break", which only says a program was stopped.
std::optional<BoardError> boardErrorOf(const std::string& line, int dialect);

// What went wrong and what to try, in words a child reads; the Japanese in
// kana. `shownLine` is the number on the row's plate, -1 when no row of the
// field holds the line.
struct BoardErrorText {
    std::string japanese, english;
};
BoardErrorText boardErrorText(const BoardError& error, int shownLine);
