// What the board prints, read for the error that stopped its program.
#include <gtest/gtest.h>

#include "cards/BoardWords.h"
#include "cards/CardCode.h"

TEST(BoardWords, AnErrorNamesItsLineAndTheBoardsOtherWordsAreNone) {
    const auto error = boardErrorOf("Line error in 10", DIALECT_JAM);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "Line error");
    EXPECT_EQ(error->line, 10);
    EXPECT_EQ(boardErrorOf("Illegal argument in 340 ", DIALECT_JAM)->line, 340);
    // A stopped program, the line printed after an error, a direct command's
    // error and the board's other answers name no error.
    for (const char* line : {"Break in 20", "10 GOTO @LOOP", "Syntax error", "OK", "Saved 63byte", "in 10",
                             "10 PRINT \"GO in 10\"", "Line error in ", "Line error in 10x"})
        EXPECT_FALSE(boardErrorOf(line, DIALECT_JAM)) << line;
    // latte counts the program file's lines from 1; the editor from 0.
    EXPECT_EQ(boardErrorOf("Syntax error in line 3", DIALECT_LATTE)->line, 2);
    EXPECT_FALSE(boardErrorOf("Syntax error in line 0", DIALECT_LATTE));
}

TEST(BoardWords, PrintedTextIsCutIntoLinesWhateverThePiecesAndEndings) {
    PrintedLines lines;
    EXPECT_TRUE(lines.feed("Line err").empty());
    EXPECT_EQ(lines.feed("or in 10\r"), std::vector<std::string>{"Line error in 10"});
    EXPECT_EQ(lines.feed("\n10 GOTO @LOOP\nOK\r"), (std::vector<std::string>{"10 GOTO @LOOP", "OK"}));
    EXPECT_EQ(lines.feed("\r\nRe"), std::vector<std::string>{""}) << "CR CR LF: one blank line";
    EXPECT_EQ(lines.partial(), "Re");
}

TEST(BoardWords, EachErrorACardProgramMeetsHasItsOwnSentenceNamingTheLine) {
    const BoardErrorText other = boardErrorText({"Mystery", 30}, 30);
    EXPECT_NE(other.english.find("Mystery"), std::string::npos);
    for (const char* message : {"Syntax error", "Line error", "Not match", "Stack overflow", "Illegal argument"}) {
        const BoardErrorText text = boardErrorText({message, 120}, 120);
        EXPECT_EQ(text.japanese.rfind("120ぎょうめで", 0), 0u) << message;
        EXPECT_EQ(text.english.rfind("On line 120, ", 0), 0u) << message;
        EXPECT_EQ(text.english.find(message), std::string::npos) << "said in a child's words: " << message;
    }
    // Too big a program is the whole program's fault, not a line's.
    const BoardErrorText memory = boardErrorText({"Out of memory", 400}, 400);
    EXPECT_NE(memory.english.find("too big"), std::string::npos);
    // A line no row holds is not named.
    EXPECT_EQ(boardErrorText({"Line error", 15}, -1).english.find("15"), std::string::npos);
}
