#pragma once
// Whether the program the board holds is the one typed: the board's LIST
// read back and set against the program's lines. Pure logic; the typing and
// the waiting are the link's.
#include <map>
#include <string>
#include <vector>

// One numbered line as typed, without its line ending ("20 LED 1").
struct ProgramLine {
    int number = 0;
    std::string text;
    int delayMs = 0;  // the pause after each of its characters
};

struct ProgramCheck {
    enum class Result { NotChecked, Checked, Repaired, Failed };
    // Why a program was not checked.
    enum class Unchecked { NoAnswer, WiFi, Dialect, Off };

    Result result = Result::NotChecked;
    Unchecked why = Unchecked::Off;
    int lines = 0;              // the program's lines
    std::vector<int> retyped;   // Repaired: program lines typed again; Failed: lines still wrong
    std::vector<int> removed;   // Repaired: lines the program does not have, deleted
    bool stopped = false;       // a write failed or stop was pressed: the transfer ends
};

// What came back after LIST: nothing yet, a listing still arriving, the
// whole listing (its "OK" seen), or something else (LIST itself damaged).
struct ListingAnswer {
    enum class Kind { Nothing, Partial, Listed, Damaged };
    Kind kind = Kind::Nothing;
    std::map<int, std::string> lines;  // number -> the line as listed
};
// Reads the board's printing after LIST: "<number> <text>" lines ending in
// CR LF or LF, up to the first line that is exactly "OK". Blank lines are
// passed over.
ListingAnswer readListing(const std::string& printed);

// What a repair types: lines missing from the listing or listed otherwise,
// and listed numbers the program does not have.
struct ListingDifference {
    std::vector<const ProgramLine*> retype;
    std::vector<int> remove;
    bool empty() const { return retype.empty() && remove.empty(); }
};
ListingDifference compareListing(const std::vector<ProgramLine>& program, const std::map<int, std::string>& listed);

// How often LIST pauses for a full screen (23 rows of 32 characters) while
// listing `program`.
int listingPauses(const std::vector<ProgramLine>& program);

// The outcome in words a child reads; the Japanese in kana.
struct CheckText {
    std::string japanese, english;
};
CheckText checkText(const ProgramCheck& check);
// One line for scripts: "checked: 40 lines", "repaired: line 120",
// "failed: line 120", "not checked".
std::string checkSummary(const ProgramCheck& check);
