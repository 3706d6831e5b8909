// Typing as fast as the board's prompt really takes keys: one key each
// video frame, at most 126 waiting, any more dropped. Time is the link's
// own clock seam, so nothing sleeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "cards/CardCatalog.h"
#include "device/ProgramLink.h"
#include "support/CardTyping.h"
#include "support/ListingBoard.h"
#include "tests/device/MemoryLinks.h"
#include "tests/device/RecordingClock.h"
#include "ui/Localization.h"

namespace {

// The board at its prompt: a key taken each video frame from at most 126
// waiting, the keys taken handed to a board that lists its program back.
class PromptBoard : public Link {
public:
    PromptBoard(devicetest::RecordingClock& clock, double keyMs) : _clock(clock), _keyMs(keyMs), _nextKey(keyMs) {}

    bool writeByte(std::uint8_t byte, const std::atomic<bool>*) override {
        take();
        if (static_cast<int>(_waiting.size()) >= kKeysWaiting) {
            ++dropped;
        } else {
            _waiting.push_back(static_cast<char>(byte));
            mostWaiting = std::max(mostWaiting, static_cast<int>(_waiting.size()));
            received.push_back(static_cast<char>(byte));
        }
        return true;
    }
    bool readAvailable(std::string& into) override {
        take();
        into += _printed;
        _printed.clear();
        return true;
    }
    // A serial port, over which the program is checked.
    bool canAnswer() const override { return answers; }
    std::string describe() const override { return "prompt"; }

    static constexpr int kKeysWaiting = 126;
    bool answers = false;
    testsupport::ListingBoardModel model;
    int mostWaiting = 0;
    int dropped = 0;
    std::string received;

private:
    // The keys the board has taken by now, one a frame.
    void take() {
        const double now = std::chrono::duration<double, std::milli>(_clock.now() - _clock.start).count();
        for (; _nextKey <= now; _nextKey += _keyMs) {
            if (_waiting.empty()) continue;
            for (const auto& piece : model.key(_waiting.front())) _printed += piece.second;
            _waiting.pop_front();
        }
    }

    devicetest::RecordingClock& _clock;
    double _keyMs;
    double _nextKey;
    std::deque<char> _waiting;
    std::string _printed;
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
    // `answers`: a serial port, and the board lists its program back when
    // it has taken LIST from its keys; else its prompt only takes keys.
    std::unique_ptr<PromptBoard> typeInto(double keyMs, TypingPace pace, bool answers = false) {
        devicetest::RecordingClock clock;
        auto board = std::make_unique<PromptBoard>(clock, keyMs);
        board->answers = answers;
        board->model.silent = !answers;
        CorvinaCardSerialManager manager;
        manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
        manager.setLinkOpenerForTests([&board](const CorvinaCardSerialData&, CorvinaAppsError*) {
            return std::make_unique<devicetest::BorrowedLink>(*board);
        });
        EXPECT_TRUE(manager.scanPorts({}));
        EXPECT_TRUE(manager.openLink(nullptr));
        std::atomic<bool> cancel{false};
        LinkProgramOutput out(TypingContext{&manager, &cancel, {}, &clock}, [](const std::string&) {});
        const TransferOutcome outcome = transferProgram(field, DIALECT_JAM, out, pace);
        EXPECT_EQ(outcome.kind, TransferOutcome::Sent);
        // The board lists the program only after the keys still waiting:
        // the check waits for them, and nothing was lost.
        if (answers) {
            EXPECT_EQ(outcome.check.result, ProgramCheck::Result::Checked);
        }
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

TEST_F(BoardPromptTest, TheCheckedHareKeepsTheLongestProgramWithinTheKeysTheBoardHolds) {
    // The most keys forty cards type: six counted loops of 32767 inside
    // each other, then an end and a new loop of 32767 in turn.
    const auto loop = testsupport::cardTyping("FOR I = 1 TO @");
    const auto end = testsupport::cardTyping("NEXT");
    ASSERT_TRUE(loop && end);
    for (int row = 0; row < 40; ++row) {
        const bool ends = row >= 6 && row % 2 == 0;
        field.rows[static_cast<size_t>(row)] = SnapshotCard{ends ? *end : *loop, ends ? "" : "32767", {}, 0, row};
    }
    ByteCollector rendered;
    rendered.silentBoard = true;
    ASSERT_EQ(transferProgram(field, DIALECT_JAM, rendered, TypingPace::Fast).kind, TransferOutcome::Sent);
    ASSERT_NE(rendered.bytes.find("400 FOR N = 1 TO 32767"), std::string::npos);
    for (int frames : {60, 50}) {
        auto board = typeInto(1000.0 / frames, TypingPace::Fast, true);
        EXPECT_EQ(board->dropped, 0) << frames << " frames a second";
        EXPECT_EQ(board->received, rendered.bytes);
        // At 60 frames a second each key is taken before the next comes;
        // at 50 the 3 ms a key gained add up to about 111 of the 126.
        if (frames == 60) {
            EXPECT_LE(board->mostWaiting, 1);
        } else {
            EXPECT_LE(board->mostWaiting, 115);
        }
    }
}
