// Typing as fast as the board's prompt really takes keys: one key each
// video frame, at most 126 waiting, any more dropped. Time is the link's
// own clock seam, so nothing sleeps.
#include <gtest/gtest.h>

#include "cards/CardCatalog.h"
#include "device/ProgramLink.h"
#include "support/CardTyping.h"
#include "tests/device/MemoryLinks.h"
#include "tests/device/RecordingClock.h"
#include "ui/Localization.h"

namespace {

// The board at its prompt, stamping each key with the clock's time.
class PromptBoard : public Link {
public:
    PromptBoard(devicetest::RecordingClock& clock, double keyMs) : _clock(clock), _keyMs(keyMs), _nextKey(keyMs) {}

    bool writeByte(std::uint8_t byte, const std::atomic<bool>*) override {
        const double now = std::chrono::duration<double, std::milli>(_clock.now() - _clock.start).count();
        for (; _nextKey <= now; _nextKey += _keyMs)
            if (waiting > 0) --waiting;
        if (waiting >= kKeysWaiting) {
            ++dropped;
        } else {
            ++waiting;
            received.push_back(static_cast<char>(byte));
        }
        return true;
    }
    std::string describe() const override { return "prompt"; }

    static constexpr int kKeysWaiting = 126;
    int waiting = 0;
    int dropped = 0;
    std::string received;

private:
    devicetest::RecordingClock& _clock;
    double _keyMs;
    double _nextKey;
};

class BoardPromptTest : public ::testing::Test {
protected:
    void SetUp() override {
        Localization::getInstance()->configure(engine::LanguageType::ENGLISH, {});
        const auto servo = testsupport::cardTyping("PWM 3, 145");
        ASSERT_TRUE(servo) << "no card types PWM 3, 145";
        for (size_t row = 0; row < field.rows.size(); ++row)
            field.rows[row] = SnapshotCard{*servo, "", {}, 0, static_cast<int>(row)};
    }

    // Types `field` into a board taking a key every `keyMs`; the board.
    std::unique_ptr<PromptBoard> typeInto(double keyMs, TypingPace pace) {
        devicetest::RecordingClock clock;
        auto board = std::make_unique<PromptBoard>(clock, keyMs);
        CorvinaCardSerialManager manager;
        manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
        manager.setLinkOpenerForTests([&board](const CorvinaCardSerialData&, CorvinaAppsError*) {
            return std::make_unique<devicetest::BorrowedLink>(*board);
        });
        EXPECT_TRUE(manager.scanPorts({}));
        EXPECT_TRUE(manager.openLink(nullptr));
        std::atomic<bool> cancel{false};
        LinkProgramOutput out(TypingContext{&manager, &cancel, {}, &clock}, [](const std::string&) {});
        EXPECT_EQ(transferProgram(field, DIALECT_JAM, out, pace).kind, TransferOutcome::Sent);
        manager.closeLink();
        return board;
    }

    FieldSnapshot field;
};

} // namespace

TEST_F(BoardPromptTest, FastTypingDropsNoKeyOnBoardsOfEitherFrameRate) {
    ByteCollector rendered;
    transferProgram(field, DIALECT_JAM, rendered);
    for (double keyMs : {1000.0 / 60, 1000.0 / 50}) {
        for (TypingPace pace : {TypingPace::Normal, TypingPace::Fast}) {
            auto board = typeInto(keyMs, pace);
            EXPECT_EQ(board->dropped, 0) << "a key every " << keyMs << " ms";
            EXPECT_EQ(board->received, rendered.bytes);
        }
    }
}

TEST_F(BoardPromptTest, TypingFasterThanTheBoardTakesKeysDropsSome) {
    // The model can fail: at 10 ms a key the waiting keys outgrow 126.
    ByteCollector rendered;
    transferProgram(field, DIALECT_JAM, rendered);
    for (double keyMs : {1000.0 / 60, 1000.0 / 50}) {
        devicetest::RecordingClock clock;
        PromptBoard board(clock, keyMs);
        CorvinaCardSerialManager manager;
        manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
        manager.setLinkOpenerForTests([&board](const CorvinaCardSerialData&, CorvinaAppsError*) {
            return std::make_unique<devicetest::BorrowedLink>(board);
        });
        ASSERT_TRUE(manager.scanPorts({}));
        ASSERT_TRUE(manager.openLink(nullptr));
        TypingContext ctx{&manager, nullptr, {}, &clock};
        CorvinaAppsError error;
        ASSERT_TRUE(sendText(ctx, 10, false, error, rendered.bytes));
        EXPECT_GT(board.dropped, 0) << "a key every " << keyMs << " ms";
    }
}
