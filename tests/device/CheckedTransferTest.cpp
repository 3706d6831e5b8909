// The checked transfer: after the card lines the board is asked for its
// listing, and what arrived damaged is typed again or deleted, in at most
// three listings. In memory on the test's clock, and over a pty in real
// time through the command-line tool.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/CliCommands.h"
#include "device/ProgramLink.h"
#include "support/CardTyping.h"
#include "support/ListingBoard.h"
#include "tests/device/MemoryLinks.h"
#include "tests/device/RecordingClock.h"
#include "ui/Localization.h"

namespace {

using testsupport::ListingBoardModel;
using Result = ProgramCheck::Result;

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class CheckedTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        Localization::getInstance()->configure(engine::LanguageType::ENGLISH, {});
        put(0, "LED 1");
        put(1, "WAIT 60");
        put(2, "LED 0");
        put(11, "WAIT 60");  // line 120
        manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
        manager.setLinkOpenerForTests([this](const CorvinaCardSerialData&, CorvinaAppsError*) {
            return std::make_unique<devicetest::BorrowedLink>(link);
        });
        ASSERT_TRUE(manager.scanPorts({}));
        ASSERT_TRUE(manager.openLink(nullptr));
    }
    void put(int row, const char* jam) {
        const auto kind = testsupport::cardTyping(jam);
        ASSERT_TRUE(kind) << jam;
        field.rows[static_cast<size_t>(row)] = SnapshotCard{*kind, "", {}, 0, row};
    }
    TransferOutcome send(TypingPace pace = TypingPace::Normal) {
        LinkProgramOutput out(TypingContext(&manager, &cancel, {}, &clock), {});
        return transferProgram(field, DIALECT_JAM, out, pace);
    }
    const std::map<int, std::string> kProgram{{10, "LED 1"}, {20, "WAIT 60"}, {30, "LED 0"}, {120, "WAIT 60"}};

    FieldSnapshot field;
    ListingBoardModel board;
    testsupport::ListingBoardLink link{board};
    CorvinaCardSerialManager manager;
    devicetest::RecordingClock clock;
    std::atomic<bool> cancel{false};
};

} // namespace

TEST_F(CheckedTransferTest, AnIntactProgramIsListedOnceThenSavedAndRun) {
    // A LIST lost on the way is typed again, and the "OK"s printed before
    // it (NEW, OUT0) are not taken for its end.
    board.loseKeyAfter("L", 1);
    const TransferOutcome outcome = send(TypingPace::Fast);
    EXPECT_EQ(outcome.kind, TransferOutcome::Sent);
    EXPECT_EQ(outcome.check.result, Result::Checked);
    EXPECT_EQ(outcome.check.lines, 4);
    EXPECT_EQ(board.program, kProgram);
    EXPECT_EQ(count(board.received, "LIST\r\n"), 1u);
    EXPECT_EQ(count(board.received, "LST\r\n"), 1u);
    const size_t list = board.received.rfind("LIST\r\n");
    EXPECT_EQ(board.received.find("SAVE 0"), list + 6) << "SAVE right after the listing";
    EXPECT_NE(board.received.find("RUN\r\n"), std::string::npos);

    ByteCollector silent;
    silent.silentBoard = true;
    transferProgram(field, DIALECT_JAM, silent, TypingPace::Fast);
    for (const ByteCollector::Text& text : silent.texts) {
        if (text.text.find("LED 1") != std::string::npos) {
            EXPECT_EQ(text.delayMs, 17) << "the hare, where it is checked";
        }
    }
}

TEST_F(CheckedTransferTest, ALostKeyIsTypedAgainAndALineItMadeIsDeleted) {
    board.loseKeyAfter("120 W", 1);  // "120 WAIT 60" arrives as "120 WIT 60"
    TransferOutcome outcome = send();
    EXPECT_EQ(outcome.kind, TransferOutcome::Sent);
    EXPECT_EQ(outcome.check.result, Result::Repaired);
    EXPECT_EQ(outcome.check.retyped, std::vector<int>{120});
    EXPECT_EQ(board.program, kProgram);
    EXPECT_EQ(count(board.received, "LIST\r\n"), 2u);
    EXPECT_EQ(checkSummary(outcome.check), "repaired: line 120");
    EXPECT_NE(checkText(outcome.check).english.find("Line 120 arrived damaged"), std::string::npos);

    // A lost "0" turns line 20 into line 2: 20 is typed again, 2 deleted.
    board = ListingBoardModel();
    board.loseKeyAfter("2", 1);
    outcome = send();
    EXPECT_EQ(outcome.check.result, Result::Repaired);
    EXPECT_EQ(outcome.check.retyped, std::vector<int>{20});
    EXPECT_EQ(outcome.check.removed, std::vector<int>{2});
    EXPECT_EQ(board.program, kProgram);
    EXPECT_NE(board.received.find("LIST\r\n20 WAIT 60\r\n2\r\nLIST\r\n"), std::string::npos);
    EXPECT_EQ(checkSummary(outcome.check), "repaired: line 20; removed line 2");
}

TEST_F(CheckedTransferTest, AKeyLostEveryTimeFailsAfterThreeListingsWithoutSaveOrRun) {
    board.loseKeyAfter("120 W", 1000);
    const TransferOutcome outcome = send();
    EXPECT_EQ(outcome.kind, TransferOutcome::CheckFailed);
    EXPECT_FALSE(outcome.refused());
    EXPECT_EQ(outcome.check.result, Result::Failed);
    EXPECT_EQ(outcome.check.retyped, std::vector<int>{120});
    EXPECT_EQ(count(board.received, "LIST\r\n"), 3u);
    EXPECT_EQ(count(board.received, "120 WIT 60\r\n"), 3u) << "typed, then repaired twice";
    EXPECT_EQ(board.received.find("SAVE"), std::string::npos);
    EXPECT_EQ(board.received.find("RUN"), std::string::npos);
    EXPECT_EQ(checkSummary(outcome.check), "failed: line 120");
    EXPECT_NE(checkText(outcome.check).english.find("check the cable"), std::string::npos);
}

TEST_F(CheckedTransferTest, ABoardThatNeverAnswersGetsTheUsualBytesAndIsNotChecked) {
    board.silent = true;
    const TransferOutcome outcome = send();
    EXPECT_EQ(outcome.kind, TransferOutcome::Sent);
    EXPECT_EQ(outcome.check.result, Result::NotChecked);
    EXPECT_EQ(outcome.check.why, ProgramCheck::Unchecked::NoAnswer);
    ByteCollector today;
    transferProgram(field, DIALECT_JAM, today);
    std::string withList = today.bytes;
    withList.insert(withList.rfind("SAVE 0"), "LIST\r\n");
    EXPECT_EQ(board.received, withList);
    // Listened a second after the board could have taken the last key.
    long long listened = 0;
    for (size_t i = 1; i < clock.deadlines.size(); ++i)
        if (clock.deadlines[i] - clock.deadlines[i - 1] == 5) listened += 5;
    EXPECT_GE(listened, 1000);
    EXPECT_LE(listened, 1100);
}

// The command-line tool over a pty, the board answering in real time.
class CheckedSendTest : public ::testing::Test {
protected:
    void SetUp() override {
        CorvinaCardSerialManager::resetForTests();
        document = ::testing::TempDir() + "checked-send.plist";
        std::ostringstream out, err;
        ASSERT_EQ(runCli({"new", "--row", "0:0:0", "--row", "1:0:1", document}, out, err), kCliOk) << err.str();
    }
    int send(std::vector<std::string> options) {
        std::vector<std::string> args{"send", "--fast", "--port", pty.path};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(document);
        std::ostringstream out;
        messages.str("");
        return runCli(args, out, messages);
    }
    std::string document;
    ListingBoardModel board;
    testsupport::ListingPtyBoard pty{board};
    std::ostringstream messages;
};

TEST_F(CheckedSendTest, TheToolSaysWhatTheListingShowedAndFailsWithStatusSix) {
    ASSERT_FALSE(pty.path.empty());
    // A lost "0" turns line 20 into line 2.
    pty.with([](ListingBoardModel& board) { board.loseKeyAfter("2", 1); });
    EXPECT_EQ(send({}), kCliOk) << messages.str();
    EXPECT_NE(messages.str().find("\nrepaired: line 20; removed line 2\n"), std::string::npos) << messages.str();
    pty.with([](ListingBoardModel& board) {
        EXPECT_EQ(board.program, (std::map<int, std::string>{{10, "LED 1"}, {20, "LED 0"}}));
        board.loseKeyAfter("20 L", 1000);
    });
    EXPECT_EQ(send({}), 6) << messages.str();
    EXPECT_NE(messages.str().find("\nfailed: line 20\n"), std::string::npos) << messages.str();
    const std::string received = pty.received();
    EXPECT_EQ(received.rfind("SAVE"), received.find("SAVE")) << "only the first send saved";

    const size_t before = pty.received().size();
    EXPECT_EQ(send({"--no-check"}), kCliOk);
    EXPECT_EQ(pty.received().find("LIST", before), std::string::npos);
    EXPECT_NE(messages.str().find("\nnot checked\n"), std::string::npos) << messages.str();
}
