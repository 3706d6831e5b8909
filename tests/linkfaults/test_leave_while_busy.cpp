// The editor left for the home screen while a port search and a send both
// run: the editor lives on until its workers end, then goes; nothing is
// shown for it after it has gone, and the home screen keeps drawing.
#include "engine/core/Transition.h"
#include "linkfaults/LinkFaultFixture.h"
#include "save/SaveScene.h"
#include "ui/AppEvents.h"

namespace {

class LeaveTest : public LinkFaultTest {
protected:
    void SetUp() override {
        LinkFaultTest::SetUp();
        // A search that takes as long as the test says.
        CorvinaCardSerialManager::getInstance()->setPortEnumerator([this] {
            std::unique_lock<std::mutex> lock(scanMutex);
            ++searchesEntered;
            scanChanged.notify_all();
            if (!scanChanged.wait_for(lock, CutClock::kWatchdog, [this] { return !holdSearches; }))
                searchWatchdogFired = true;
            return std::optional<std::vector<PortInfo>>(listed);
        });
    }
    void TearDown() override {
        holdSearch(false);
        clock.release();
        clock.markUnplugged();
        stepUntil([this] { return threadCount() <= baselineThreads; });
        LinkFaultTest::TearDown();
    }
    void holdSearch(bool on) {
        std::lock_guard<std::mutex> lock(scanMutex);
        holdSearches = on;
        scanChanged.notify_all();
    }
    bool waitSearchEntered(int count) {
        std::unique_lock<std::mutex> lock(scanMutex);
        return scanChanged.wait_for(lock, std::chrono::seconds(5), [&] { return searchesEntered >= count; });
    }
    void list(std::vector<PortInfo> ports) {
        std::lock_guard<std::mutex> lock(scanMutex);
        listed = std::move(ports);
    }
    // A new editor on the screen, as the home screen opens one.
    void openEditor() {
        Scene* scene = Scene::create();
        field = FieldScene::create(nullptr);
        scene->addChild(field);
        Director::getInstance()->replaceScene(scene);
        ASSERT_TRUE(stepUntil([&] { return field->isRunning() && !field->hasWorkersRunning(); }));
        field->setPacingClock(&clock);
        field->schedule([this](float) { ++sceneFrames; }, "countFrames");
    }
    static SaveScene* runningHome() {
        Scene* scene = Director::getInstance()->getRunningScene();
        if (!scene || dynamic_cast<TransitionScene*>(scene)) return nullptr;
        for (Node* child : scene->getChildren())
            if (auto* home = dynamic_cast<SaveScene*>(child)) return home;
        return nullptr;
    }

    std::mutex scanMutex;
    std::condition_variable scanChanged;
    bool holdSearches = false;
    bool searchWatchdogFired = false;
    int searchesEntered = 0;
    std::vector<PortInfo> listed;
};

} // namespace

TEST_F(LeaveTest, LeavingWhileASearchAndASendRunEndsTheWorkersAndReportsNothing) {
    const int rounds = testsupport::proofRounds(8, 40);
    std::mt19937 random(testsupport::proofSeed(20240612));
    CorvinaCardSerialManager* manager = CorvinaCardSerialManager::getInstance();

    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        devicetest::PtyBoard board;
        ASSERT_FALSE(board.slavePath.empty());
        list({{board.slavePath, "Board"}});
        rescan();
        ASSERT_EQ(manager->getSelectedDevice()->portName, board.slavePath);
        loadProgram();
        const std::string expected = expectedBytes();
        auto editorFreed = std::make_shared<std::atomic<bool>>(false);
        field->addChild(Probe::create(editorFreed));

        // A send in the middle of the program...
        clock.arm(std::uniform_int_distribution<int>(2, pauseCount() - 3)(random));
        play();
        ASSERT_TRUE(clock.waitParked());
        const std::string before = drain(board);
        ASSERT_FALSE(before.empty());
        ASSERT_LT(before.size(), expected.size());
        // ...and a search, as the application coming back to the front
        // starts one.
        const int searches = searchesEntered;
        holdSearch(true);
        Director::getInstance()->getEventDispatcher()->dispatchCustomEvent(kEnterForegroundEvent);
        ASSERT_TRUE(waitSearchEntered(searches + 1));
        ASSERT_TRUE(manager->isScanning());
        ASSERT_GE(field->getLinkWorkerCount(), 1);

        // Gone to the home screen, with or without the slide.
        FieldScene* left = field;
        field = nullptr;
        Scene* home = SaveScene::createScene();
        if (round % 2 == 0) Director::getInstance()->replaceScene(TransitionSlideInT::create(0.5f, home));
        else Director::getInstance()->replaceScene(home);
        longestFrame = {};
        ASSERT_TRUE(stepUntil([] { return runningHome() != nullptr; }));
        for (int i = 0; i < 5; ++i) timedStep();
        EXPECT_FALSE(left->isRunning());
        EXPECT_FALSE(editorFreed->load()) << "the editor went while its workers still use it";
        EXPECT_TRUE(left->hasWorkersRunning());

        // The workers end in either order; the send runs to its end or finds
        // the board pulled out.
        const bool searchFirst = random() % 2 == 0;
        const bool sendFails = random() % 2 == 0;
        auto endSend = [&] {
            clock.release();
            if (sendFails) {
                board.closeMaster();
                list({});
            }
            clock.markUnplugged();
        };
        if (searchFirst) holdSearch(false);
        else endSend();
        for (int i = 0; i < 3; ++i) timedStep();
        if (searchFirst) endSend();
        else holdSearch(false);
        ASSERT_TRUE(stepUntil([&] { return editorFreed->load(); })) << "the editor left is never freed";
        left = nullptr;
        for (int i = 0; i < 10; ++i) timedStep();
        EXPECT_LT(longestFrame, milliseconds(1000)) << "a frame waited for a worker";
        EXPECT_FALSE(clock.watchdogHasFired());
        EXPECT_FALSE(searchWatchdogFired);
        EXPECT_TRUE(messages.empty()) << "shown for an editor that has gone: " << (messages.empty() ? "" : messages[0]);
        EXPECT_EQ(manager->getState(), Idle);
        EXPECT_FALSE(manager->isScanning());
        ASSERT_NE(runningHome(), nullptr);
        EXPECT_TRUE(threadsSettle()) << "a worker thread is still alive";
        if (!sendFails) {
            EXPECT_EQ(before + drain(board), expected) << "the send went on to its end";
        }
        if (HasFailure()) return;

        // Back into a new editor for the next round.
        openEditor();
        if (HasFatalFailure()) return;
    }
}
