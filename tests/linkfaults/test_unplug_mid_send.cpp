// The board pulled out in the middle of a send, again and again: each time
// the user is told once what happened and what to do, the editor keeps
// drawing, the worker ends, the board stays the one chosen, and once it is
// back (under its name or another) the next send reaches it whole.
#include "linkfaults/LinkFaultFixture.h"

namespace {

class UnplugTest : public LinkFaultTest {
protected:
    // The board comes back the way the system lists it: under the name it
    // had, or under a new one; the hot-plug check finds it either way and,
    // as nothing was picked by hand, makes it the board in use.
    void plugBackIn(int cycle) {
        board = std::make_unique<devicetest::PtyBoard>();
        ASSERT_FALSE(board->slavePath.empty());
        const std::string name = cycle % 2 == 0 ? std::string(kStableName) : board->slavePath;
        plugIn(*board, name);
        CorvinaCardSerialManager* manager = CorvinaCardSerialManager::getInstance();
        const bool found = stepUntil([&] {
            auto selected = manager->getSelectedDevice();
            return selected && selected->portName == name && selected->active && !selected->missing &&
                   !field->hasWorkersRunning();
        });
        ASSERT_TRUE(found) << "cycle " << cycle << ": the board plugged in again is never taken up";
        EXPECT_EQ(field->getStatusLabel()->getString(), "● " + name + " [ Board ]");
    }

    std::unique_ptr<devicetest::PtyBoard> board;
};

} // namespace

TEST_F(UnplugTest, ABoardPulledOutMidSendIsReportedOnceAndTheNextSendAfterReplugArrivesWhole) {
    const int cycles = testsupport::proofRounds(10, 100);
    std::mt19937 random(testsupport::proofSeed(20240611));
    field->setHotPlugInterval(0.05f);
    loadProgram();
    const std::string expected = expectedBytes();
    const int pauses = pauseCount();
    ASSERT_GT(expected.size(), 60u);
    ASSERT_GT(pauses, 10);
    plugBackIn(1);
    int descriptors = 0;  // after a whole cycle: the board's and the link's, and the fonts shown

    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        const size_t reported = messages.size();
        const int cut = std::uniform_int_distribution<int>(2, pauses - 3)(random);
        clock.arm(cut);
        longestFrame = {};

        // Play: the tap returns at once; the worker types up to the cut.
        const auto tapped = SteadyClock::now();
        play();
        EXPECT_LT(SteadyClock::now() - tapped, milliseconds(1000)) << "the tap waited for the worker";
        ASSERT_TRUE(clock.waitParked());
        ASSERT_FALSE(clock.watchdogHasFired()) << "the main thread held the worker up";
        const std::string before = drain(*board);
        ASSERT_FALSE(before.empty()) << "the board has read nothing yet";
        ASSERT_LT(before.size(), expected.size());
        ASSERT_EQ(before, expected.substr(0, before.size()));

        // Frames come while the worker sits in the middle of the transfer.
        const int sceneFramesBefore = sceneFrames, steppedBefore = framesStepped;
        for (int i = 0; i < 5; ++i) timedStep();
        EXPECT_EQ(sceneFrames - sceneFramesBefore, 5);
        EXPECT_EQ(field->getLinkWorkerCount(), 1);
        EXPECT_TRUE(field->isSendingOverlayShown());
        EXPECT_FALSE(field->isSendingFinished());

        // Pulled out: the next byte races the unplug, the one after it
        // finds the port gone.
        clock.release();
        board->closeMaster();
        setPorts({});
        clock.markUnplugged();
        int framesWhileWorking = 0;
        const bool ended = stepUntil([&] {
            if (field->getLinkWorkerCount() > 0) ++framesWhileWorking;
            return messages.size() > reported && !field->hasWorkersRunning();
        });
        ASSERT_TRUE(ended) << "the failure is never reported or a worker never ends";
        EXPECT_FALSE(clock.watchdogHasFired());
        EXPECT_GE(framesWhileWorking, 1);
        // Late duplicates would come within these frames.
        for (int i = 0; i < 10; ++i) timedStep();
        ASSERT_EQ(messages.size(), reported + 1) << "told exactly once";
        EXPECT_EQ(messages.back(), cableMessage()) << "what happened and what to do";
        EXPECT_LT(longestFrame, milliseconds(1000)) << "a frame waited for the worker";
        EXPECT_EQ(sceneFrames - sceneFramesBefore, framesStepped - steppedBefore) << "every frame reached the scene";
        EXPECT_TRUE(field->isSendingFinished());
        EXPECT_TRUE(field->isSettingsBarShown());
        const std::string status = field->getStatusLabel()->getString();
        EXPECT_NE(status.find("(ささっていません)"), std::string::npos)
            << status << ": the board stays the one in use, shown as not plugged in, and nothing else takes over";
        EXPECT_TRUE(CorvinaCardSerialManager::getInstance()->getSelectedDevice()->missing);
        closeOverlay();
        EXPECT_FALSE(field->isSendingOverlayShown());
        ASSERT_TRUE(threadsSettle()) << "a worker thread is still alive";

        // Back in: the whole program arrives, byte for byte, and nothing
        // more is said.
        plugBackIn(cycle);
        if (HasFatalFailure()) return;
        clock.arm(0);
        play();
        ASSERT_TRUE(stepUntil([&] { return !field->hasWorkersRunning(); }));
        EXPECT_EQ(board->receive(expected.size()), expected);
        EXPECT_EQ(drain(*board), "") << "nothing after the program";
        EXPECT_EQ(messages.size(), reported + 1);
        EXPECT_TRUE(field->isSendingFinished());
        closeOverlay();
        ASSERT_TRUE(threadsSettle());
        // The dead port's descriptor went as the link opened anew.
        if (cycle == 0) descriptors = devicetest::openDescriptorCount();
        EXPECT_LE(devicetest::openDescriptorCount(), descriptors);
        if (HasFailure()) return;
    }
    CorvinaCardSerialManager::getInstance()->closeLink();
    board.reset();
    EXPECT_LE(devicetest::openDescriptorCount(), descriptors - 2);
}
