#include <gtest/gtest.h>

#include "device/ProgramLink.h"
#include "device/Typing.h"
#include "tests/device/MemoryLinks.h"
#include "tests/device/RecordingClock.h"
#include "ui/Localization.h"

namespace {

using Deadlines = std::vector<long long>;

// A manager whose open link is the test's memory link.
class TypingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Localization::getInstance()->configure(engine::LanguageType::ENGLISH, {});
        manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
        manager.setLinkOpenerForTests([this](const CorvinaCardSerialData&, CorvinaAppsError*) {
            return std::make_unique<devicetest::BorrowedLink>(link);
        });
        ASSERT_TRUE(manager.scanPorts({}));
        ASSERT_TRUE(manager.openLink(nullptr));
    }

    CorvinaCardSerialManager manager;
    devicetest::MemoryLink link;
    devicetest::RecordingClock clock;
    std::atomic<bool> cancel{false};
    TypingContext ctx{&manager, &cancel, {}, &clock};
    CorvinaAppsError error;
};

} // namespace

TEST_F(TypingTest, EveryCharacterIsShownThenTypedThenPausedOnAbsoluteDeadlines)
{
    std::string shown;
    ctx.onChar = [&](char c) {
        EXPECT_EQ(link.bytes.size(), shown.size()) << "shown before it is typed";
        shown.push_back(c);
    };
    ASSERT_TRUE(sendText(ctx, 50, true, error, "LED 1\n"));
    EXPECT_EQ(link.bytes, "LED 1\n");
    EXPECT_EQ(shown, "LED 1\n");
    EXPECT_EQ(clock.deadlines, (Deadlines{50, 100, 150, 200, 250, 300}));

    // Not shown when not asked; the text ends at its first zero byte.
    shown.clear();
    ASSERT_TRUE(sendText(ctx, 50, false, error, std::string("AB\0CD", 5)));
    EXPECT_EQ(link.bytes, "LED 1\nAB");
    EXPECT_EQ(shown, "");

    clock.deadlines.clear();
    ASSERT_TRUE(sendText(ctx, -1, false, error, "RUN\n"));
    ASSERT_TRUE(sendText(ctx, 0, false, error, "LIST\n"));
    ASSERT_TRUE(sendText(ctx, 50, true, error, ""));
    EXPECT_EQ(link.bytes, "LED 1\nABRUN\nLIST\n");
    EXPECT_TRUE(clock.deadlines.empty());
}

TEST_F(TypingTest, AStalledWriteIsFollowedByAFullPauseNotABurst)
{
    link.onWrite = [this](int write) {
        if (write == 2)
            clock.current += std::chrono::milliseconds(200);
        return true;
    };
    ASSERT_TRUE(sendText(ctx, 50, false, error, "ABCD"));
    EXPECT_EQ(clock.deadlines, (Deadlines{50, 300, 350, 400}));
}

TEST_F(TypingTest, ACancelStopsWithinOneCharacterAndShowsNothing)
{
    for (int k : {1, 3}) {
        link.bytes.clear();
        link.writes = 0;
        cancel = false;
        link.onWrite = [&, k](int write) {
            if (write == k)
                cancel = true;
            return true;
        };
        error = connectionFailedError();
        EXPECT_FALSE(sendText(ctx, 50, true, error, "PRINT 1\n"));
        EXPECT_LE(link.bytes.size(), static_cast<size_t>(k + 1));
        EXPECT_TRUE(error.title.empty() && error.message.empty());
        EXPECT_FALSE(error.showAlert || error.openPanel || error.rescan);
    }
    // A write given up because of the cancel is not a lost connection.
    link.onWrite = [](int) { return false; };
    EXPECT_FALSE(sendText(ctx, 50, true, error, "X"));
    EXPECT_FALSE(error.showAlert);
}

TEST_F(TypingTest, AFailedWriteStopsTheTextAndReportsTheConnection)
{
    link.onWrite = [](int write) { return write != 3; };
    EXPECT_FALSE(sendText(ctx, 50, false, error, "LED 1\n"));
    EXPECT_EQ(link.bytes, "LE");
    EXPECT_EQ(error.message, "Connection failed.");
    EXPECT_TRUE(error.showAlert && error.openPanel && error.rescan);

    // With no link at all, the same.
    manager.closeLink();
    error = {};
    EXPECT_FALSE(sendText(ctx, 50, false, error, "A"));
    EXPECT_EQ(error.message, "Connection failed.");
}

TEST_F(TypingTest, ARawBytePausesBeforeItGoesOut)
{
    std::vector<size_t> pausesAtWrite;
    link.onWrite = [&](int) {
        pausesAtWrite.push_back(clock.deadlines.size());
        return true;
    };
    ASSERT_TRUE(sendByte(ctx, 30, error, 0xFF));
    ASSERT_TRUE(sendByte(ctx, 30, error, 0x00));
    EXPECT_EQ(link.bytes, std::string("\xFF\0", 2));
    EXPECT_EQ(pausesAtWrite, (std::vector<size_t>{1, 2}));
    EXPECT_EQ(clock.deadlines, (Deadlines{30, 60}));

    link.onWrite = [](int) { return false; };
    EXPECT_FALSE(sendByte(ctx, 30, error, 0x01));
    EXPECT_EQ(error.message, "Connection failed.");

    // Stopped during the pause: the byte stays home.
    link.onWrite = {};
    cancel = true;
    EXPECT_FALSE(sendByte(ctx, 30, error, 0x02));
    EXPECT_EQ(link.bytes.size(), 2u);
    EXPECT_FALSE(error.showAlert);
}

TEST_F(TypingTest, AProgramGoesOutAsRenderedAndItsListingLineByLine)
{
    FieldSnapshot field;
    field.rows[0] = SnapshotCard{CardKind{CARD_SET_BASIC, 0}, "", {}, 0, 0};
    field.rows[2] = SnapshotCard{CardKind{CARD_SET_BASIC, 1}, "", {}, 0, 1};
    std::string shown;
    LinkProgramOutput out(ctx, [&shown](const std::string& line) { shown += line; });
    ASSERT_EQ(transferProgram(field, DIALECT_QUE, out).kind, TransferOutcome::Sent);
    ByteCollector rendered;
    transferProgram(field, DIALECT_QUE, rendered);
    EXPECT_EQ(link.bytes, rendered.bytes);
    std::string lines;
    for (const std::string& line : rendered.listing) lines += line + "\n";
    EXPECT_EQ(shown, lines) << "one line each, as the user reads them";

    link.bytes.clear();
    ASSERT_TRUE(runStopSequence(ctx, DIALECT_JAM, error));
    EXPECT_EQ(link.bytes, "\x1b\nOUT0\n");
}
