#include "cards/ProgramCheck.h"

#include <algorithm>

namespace {

constexpr size_t kScreenColumns = 32;
constexpr int kScreenRows = 23;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "20" or "20 and 120" or "20, 40 and 120".
std::string numbers(const std::vector<int>& lines, const char* comma, const char* last) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += i + 1 == lines.size() ? last : comma;
        text += std::to_string(lines[i]);
    }
    return text;
}

std::string joined(const std::vector<int>& lines) {
    std::string text;
    for (int line : lines) text += (text.empty() ? "" : ", ") + std::to_string(line);
    return text;
}

} // namespace

ListingAnswer readListing(const std::string& printed) {
    ListingAnswer answer;
    // A line ends at CR LF, LF or CR; the blank lines CR CR LF makes are passed over.
    size_t begin = 0;
    for (size_t end = printed.find_first_of("\r\n"); end != std::string::npos;
         end = printed.find_first_of("\r\n", begin)) {
        const std::string line = printed.substr(begin, end - begin);
        begin = end + 1;
        if (line.empty()) continue;
        if (line == "OK") {
            answer.kind = ListingAnswer::Kind::Listed;
            return answer;
        }
        size_t digits = 0;
        while (digits < line.size() && digits < 6 && isDigit(line[digits])) ++digits;
        if (digits == 0 || digits >= line.size() || line[digits] != ' ' || digits + 1 == line.size()) {
            answer.kind = ListingAnswer::Kind::Damaged;
            return answer;
        }
        answer.lines[std::stoi(line.substr(0, digits))] = line;
    }
    answer.kind = printed.empty() ? ListingAnswer::Kind::Nothing : ListingAnswer::Kind::Partial;
    return answer;
}

ListingDifference compareListing(const std::vector<ProgramLine>& program, const std::map<int, std::string>& listed) {
    ListingDifference difference;
    for (const ProgramLine& line : program) {
        auto found = listed.find(line.number);
        if (found == listed.end() || found->second != line.text) difference.retype.push_back(&line);
    }
    for (const auto& [number, text] : listed) {
        const bool known = std::any_of(program.begin(), program.end(),
                                       [number = number](const ProgramLine& line) { return line.number == number; });
        if (!known) difference.remove.push_back(number);
    }
    return difference;
}

int listingPauses(const std::vector<ProgramLine>& program) {
    int rows = 0;
    for (const ProgramLine& line : program)
        rows += static_cast<int>(std::max<size_t>(1, (line.text.size() + kScreenColumns - 1) / kScreenColumns));
    return rows > 0 ? (rows - 1) / kScreenRows : 0;
}

CheckText checkText(const ProgramCheck& check) {
    using Result = ProgramCheck::Result;
    const std::string count = std::to_string(check.lines);
    switch (check.result) {
    case Result::Checked:
        return {"ボードに きいて たしかめました。" + count + "ぎょう ぜんぶ ちゃんと とどいています。",
                check.lines == 1 ? "Checked on the board: the line arrived."
                                 : "Checked on the board: all " + count + " lines arrived."};
    case Result::Repaired:
        if (!check.retyped.empty() && !check.removed.empty())
            return {numbers(check.retyped, "、", "と ") + "ぎょうめが こわれて とどいたので もういちど おくり、" +
                        numbers(check.removed, "、", "と ") + "ぎょうめを けしました。"
                                                             "いまは ぜんぶ ちゃんと とどいています。",
                    (check.retyped.size() == 1 ? "Line " : "Lines ") + numbers(check.retyped, ", ", " and ") +
                        " arrived damaged and " + (check.retyped.size() == 1 ? "was" : "were") +
                        " typed again, and line" + (check.removed.size() == 1 ? " " : "s ") +
                        numbers(check.removed, ", ", " and ") + " taken away. Now everything arrived."};
        if (check.retyped.empty())
            return {numbers(check.removed, "、", "と ") + "ぎょうめが まちがって できていたので、けしました。"
                                                            "いまは ぜんぶ ちゃんと とどいています。",
                    (check.removed.size() == 1 ? "Line " : "Lines ") + numbers(check.removed, ", ", " and ") +
                        " arrived by mistake and " + (check.removed.size() == 1 ? "was" : "were") +
                        " taken away. Now everything arrived."};
        return {numbers(check.retyped, "、", "と ") + "ぎょうめが こわれて とどいたので、もういちど おくりました。"
                                                        "いまは ぜんぶ ちゃんと とどいています。",
                (check.retyped.size() == 1 ? "Line " : "Lines ") + numbers(check.retyped, ", ", " and ") +
                    " arrived damaged and " + (check.retyped.size() == 1 ? "was" : "were") +
                    " typed again. Now everything arrived."};
    case Result::Failed:
        if (check.retyped.empty())
            return {"ボードの へんじが こわれて とどきます。ケーブルを たしかめて、もういちど じっこうボタンを おしてください。",
                    "The board's answer kept arriving damaged: check the cable, then press play again."};
        return {numbers(check.retyped, "、", "と ") +
                    "ぎょうめが まだ ちがって とどきます。ケーブルを たしかめて、もういちど じっこうボタンを おしてください。",
                (check.retyped.size() == 1 ? "Line " : "Lines ") + numbers(check.retyped, ", ", " and ") +
                    " still arrived wrong: check the cable, then press play again."};
    case Result::NotChecked:
        break;
    }
    switch (check.why) {
    case ProgramCheck::Unchecked::NoAnswer:
        return {"おくりました。ボードから へんじが なかったので、たしかめられませんでした。",
                "Sent. The board did not answer, so it was not checked."};
    case ProgramCheck::Unchecked::WiFi:
        return {"おくりました。Wi-Fi では とどいたか たしかめられません。",
                "Sent. Over Wi-Fi the board cannot answer, so it was not checked."};
    case ProgramCheck::Unchecked::Dialect:
        return {"おくりました。たしかめられるのは jam の プログラムだけです。",
                "Sent. Only jam programs can be checked."};
    case ProgramCheck::Unchecked::Off:
        break;
    }
    return {"おくりました。", "Sent."};
}

std::string checkSummary(const ProgramCheck& check) {
    using Result = ProgramCheck::Result;
    switch (check.result) {
    case Result::Checked:
        return "checked: " + std::to_string(check.lines) + (check.lines == 1 ? " line" : " lines");
    case Result::Repaired: {
        std::string text = "repaired:";
        if (!check.retyped.empty())
            text += (check.retyped.size() == 1 ? " line " : " lines ") + joined(check.retyped);
        if (!check.removed.empty())
            text += std::string(check.retyped.empty() ? "" : ";") + " removed " +
                    (check.removed.size() == 1 ? "line " : "lines ") + joined(check.removed);
        return text;
    }
    case Result::Failed:
        if (check.retyped.empty()) return "failed: the listing kept arriving damaged";
        return std::string("failed: ") + (check.retyped.size() == 1 ? "line " : "lines ") + joined(check.retyped);
    case Result::NotChecked:
        break;
    }
    return "not checked";
}
