#include "cards/BoardWords.h"

#include <cctype>

#include "cards/CardCatalog.h"

std::vector<std::string> PrintedLines::feed(const std::string& text) {
    std::vector<std::string> lines;
    for (char c : text) {
        const bool afterCr = _afterCr;
        _afterCr = c == '\r';
        if (c == '\n' && afterCr) continue;
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(_partial));
            _partial.clear();
            continue;
        }
        // A board that never ends its line does not grow the editor without end.
        if (_partial.size() < 256) _partial += c;
    }
    return lines;
}

namespace {
bool allDigits(const std::string& s) {
    if (s.empty() || s.size() > 5) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// The board's messages are words of letters and blanks.
bool isMessage(const std::string& s) {
    if (s.empty() || !std::isupper(static_cast<unsigned char>(s[0]))) return false;
    for (char c : s)
        if (!std::isalpha(static_cast<unsigned char>(c)) && c != ' ') return false;
    return true;
}
} // namespace

std::optional<BoardError> boardErrorOf(const std::string& printed, int dialect) {
    std::string line = printed;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    const bool latte = dialect == DIALECT_LATTE;
    const std::string marker = latte ? " in line " : " in ";
    const size_t at = line.rfind(marker);
    if (at == std::string::npos) return std::nullopt;
    const std::string message = line.substr(0, at), number = line.substr(at + marker.size());
    if (!isMessage(message) || !allDigits(number) || message == "Break") return std::nullopt;
    const int n = std::stoi(number);
    if (latte && n < 1) return std::nullopt;
    return BoardError{message, latte ? n - 1 : n};
}

BoardErrorText boardErrorText(const BoardError& error, int shownLine) {
    const std::string n = std::to_string(shownLine);
    // Where it happened, when a row of the field holds the line.
    const std::string ja = shownLine >= 0 ? n + "ぎょうめで " : "";
    const std::string en = shownLine >= 0 ? "On line " + n + ", " : "";
    const std::string& m = error.message;
    if (m == "Line error")
        return {ja + "もどる さきが みつかりません。くりかえしの はじめの カードを うえの ぎょうに おいてください。",
                en + "the program jumps back to a start that is not there. Put the repeat's start card on a line "
                     "above it."};
    if (m == "Not match")
        return {ja + "くりかえしの おわりが ありましたが、はじめが ありません。くりかえしの はじめの カードを うえの "
                     "ぎょうに おいてください。",
                en + "a repeat ends that never started. Put the repeat's start card on a line above it."};
    if (m == "Stack overflow")
        return {ja + "くりかえしが かさなりすぎました。くりかえしの なかの くりかえしを へらしてください。",
                en + "too many repeats are inside each other. Take one repeat out of the others."};
    if (m == "Out of memory")
        return {"プログラムが ボードに はいりきりません。カードを へらしてください。",
                "The program is too big for the board. Take some cards off the field."};
    if (m == "Illegal argument")
        return {ja + "カードの かずが ボードで つかえない かずです。カードを タップして かずを かえてください。",
                en + "a card's number is one the board cannot use. Tap the card and change its number."};
    if (m == "Syntax error")
        return {ja + "ボードが カードの コードを よめませんでした。もういちど じっこうボタンを おしてください。"
                     "なおらなければ、カードを おきなおしてください。",
                en + "the board could not read the card's code. Press play again; if it comes back, take the card "
                     "off and put it back."};
    if (m == "Divide by zero")
        return {ja + "0で わりました。カードを タップして 0では ない かずに してください。",
                en + "a number was divided by zero. Tap the card and type a number other than 0."};
    return {(shownLine >= 0 ? ja : std::string()) + "ボードが 「" + m + "」と いって とまりました。",
            (shownLine >= 0 ? en + "the" : std::string("The")) + " board stopped and says \"" + m + "\"."};
}
