// The editor and the board, headless: the program typed into a pty playing
// the board, failures and cancelling, leaving while workers run, the
// connection status and boards plugged in while the editor runs.
#include <termios.h>

#include <condition_variable>
#include <cstring>

#include "cards/ProgramGenerator.h"
#include "device/MemoryLinks.h"
#include "device/PtyBoard.h"
#include "device/RecordingClock.h"
#include "engine/core/Scheduler.h"
#include "engine/platform/Input.h"
#include "field/FieldFixture.h"
#include "support/FakeSystem.h"
#include "support/ListingBoard.h"
#include "ui/AlertView.h"
#include "ui/AppEvents.h"

namespace {

// A link whose bytes the test watches from the main thread while a worker
// writes; each write can be held until the test lets it go.
class WatchedLink : public Link {
public:
    bool writeByte(std::uint8_t byte, const std::atomic<bool>*) override {
        std::unique_lock<std::mutex> lock(mutex);
        if (holdAt > 0 && bytes.size() == holdAt) {
            held = true;
            changed.notify_all();
        }
        changed.wait(lock, [this] { return !held; });
        if (failFrom > 0 && static_cast<int>(bytes.size()) + 1 >= failFrom) return false;
        bytes.push_back(static_cast<char>(byte));
        changed.notify_all();
        return true;
    }
    std::string describe() const override { return "watched"; }
    std::string received() {
        std::lock_guard<std::mutex> lock(mutex);
        return bytes;
    }
    // Letting go also ends `holdAt`: a write that starts later is not held.
    void hold(bool on) {
        std::lock_guard<std::mutex> lock(mutex);
        held = on;
        if (!on) holdAt = 0;
        changed.notify_all();
    }
    // Until a write waits at `holdAt`.
    bool waitUntilHeld() {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [&] { return held; });
    }
    bool waitFor(size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [&] { return bytes.size() >= count; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::string bytes;
    bool held = false;
    int failFrom = 0;  // the write (from 1) that fails, and every later one
    size_t holdAt = 0;  // once this many bytes arrived, the next write is held
};

class FieldLinkTest : public FieldSceneTest {
protected:
    void SetUp() override {
        FieldSceneTest::SetUp();
        finishWorkers();
    }
    // The scene's board becomes `link` (each open hands the same one), found
    // as the first port of a scan.
    void useLink(Link& link) {
        setPorts({{"/dev/ttyFAKE0", "Board"}});
        CorvinaCardSerialManager::getInstance()->setLinkOpenerForTests(
            [&link](const CorvinaCardSerialData&, CorvinaAppsError*) {
                return std::unique_ptr<Link>(new devicetest::BorrowedLink(link));
            });
        rescan();
    }
    void rescan() {
        field->startScanThread();
        finishWorkers();
    }
    // `listed`: a port the board answers over, where jam types LIST.
    std::string expectedBytes(int dialect, bool listed = false) const {
        ByteCollector bytes;
        bytes.silentBoard = listed;
        transferProgram(field->takeSnapshot(), dialect, bytes);
        return bytes.bytes;
    }
    void play() { tap(centreOf(named("play"))); }
};

} // namespace

TEST_F(FieldLinkTest, TheProgramArrivesAtAPtyBoardByteForByteWithItsPauses) {
    devicetest::PtyBoard board;
    ASSERT_FALSE(board.slavePath.empty());
    CorvinaCardSerialManager::getInstance()->setExplicitPort(board.slavePath);
    rescan();
    ASSERT_EQ(CorvinaCardSerialManager::getInstance()->getSelectedDevice()->portName, board.slavePath);
    field->loadDocument({onRow(CARD_SET_BASIC, 0, 0), onRow(CARD_SET_FULL, waitAnyCard(), 2, "1.5"),
                         onRow(CARD_SET_BASIC, 1, 3)});
    devicetest::RecordingClock clock;
    field->setPacingClock(&clock);
    const std::string expected = expectedBytes(DIALECT_JAM, true);
    ASSERT_NE(expected.find("30 WAIT 90\r\n"), std::string::npos) << "1.5 seconds are 90 ticks";

    play();
    EXPECT_TRUE(field->isSendingOverlayShown());
    finishWorkers();
    EXPECT_EQ(board.receive(expected.size() + 16), expected) << "every byte as it is, nothing more";
    EXPECT_TRUE(field->isSendingFinished());
    EXPECT_NE(field->getTypedTextLabel()->getString().find("30 WAIT 90"), std::string::npos);
    EXPECT_TRUE(messages.empty());

    // The pauses: the break's half second, then 50 ms after every character
    // of the lines, none lost and none added. The pty says nothing after
    // LIST: a second of listening after the board could have taken every
    // key, and the program is not checked.
    ByteCollector asked;
    asked.silentBoard = true;
    transferProgram(field->takeSnapshot(), DIALECT_JAM, asked);
    std::vector<long long> pauses;
    long long previous = 0, listened = 0;
    for (long long at : clock.deadlines) {
        if (at - previous == 5) listened += 5;
        else pauses.push_back(at - previous);
        previous = at;
    }
    EXPECT_GE(listened, 1000);
    EXPECT_LE(listened, 1030);
    EXPECT_NE(field->getSendingOutcomeText().find("へんじが なかった"), std::string::npos);
    std::vector<long long> wanted;
    for (int delay : asked.delays)
        if (delay > 0) wanted.push_back(delay);
    EXPECT_EQ(pauses, wanted);
    ASSERT_FALSE(pauses.empty());
    EXPECT_EQ(pauses.front(), 500);

    // The editor keeps the port for itself: corvina-cli or another editor
    // is told at once that the board is in use.
    CorvinaCardSerialManager other;
    other.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
    other.setExplicitPort(board.slavePath);
    ASSERT_TRUE(other.scanPorts({}));
    CorvinaAppsError busy;
    EXPECT_FALSE(other.openLink(&busy));
    EXPECT_EQ(busy.message, boardBusyError().message);

    // The port is raw 115200 8N1: the board sees exactly what was sent.
    int fd = ::open(board.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_iflag & ICRNL, 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));

    // A tap closes the finished overlay.
    tap(Vec2(600, 400));
    EXPECT_FALSE(field->isSendingOverlayShown());
}

TEST_F(FieldLinkTest, AFailedWriteSaysSoSearchesAgainAndOpensTheSettingsBar) {
    WatchedLink link;
    link.failFrom = 3;
    useLink(link);
    int scans = 0;
    CorvinaCardSerialManager::getInstance()->setPortEnumerator([&scans] {
        ++scans;
        return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{{"/dev/ttyFAKE0", "Board"}});
    });
    devicetest::RecordingClock clock;
    field->setPacingClock(&clock);
    play();
    finishWorkers();
    EXPECT_EQ(link.received().size(), 2u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.front(), "しっぱい: " + cableCameOutError().message);
    EXPECT_EQ(scans, 1) << "a new search for the board";
    EXPECT_TRUE(field->isSettingsBarShown());
}

TEST_F(FieldLinkTest, StopEndsTheTransferAtOnceAndANewOneNeverMixesWithIt) {
    WatchedLink link;
    useLink(link);
    field->loadDocument({onRow(CARD_SET_BASIC, 0, 0), onRow(CARD_SET_BASIC, 1, 1)});
    const std::string jam = expectedBytes(DIALECT_JAM);
    const std::string latte = expectedBytes(DIALECT_LATTE);
    devicetest::RecordingClock clock;
    field->setPacingClock(&clock);

    play();
    ASSERT_TRUE(link.waitFor(12));
    link.hold(true);
    const size_t atStop = link.received().size();
    // Escape, as the stop control: the control goes with the overlay it stands on.
    ASSERT_NE(named("sending stop"), nullptr);
    injectKey(EventKeyboard::KeyCode::KEY_ESCAPE, true);
    EXPECT_TRUE(field->isSendingFinished()) << "the overlay shows what was typed";
    // At once: the overlay closes, the dialect changes, play again while the
    // first transfer has not yet noticed the stop.
    tap(Vec2(600, 400));
    DeviceManager::getInstance()->setDialect(DIALECT_LATTE);
    play();
    link.hold(false);
    finishWorkers();
    field->setVisible(false);
    step(5);
    field->setVisible(true);
    DeviceManager::getInstance()->setDialect(DIALECT_JAM);

    const std::string got = link.received();
    ASSERT_GE(got.size(), latte.size());
    const size_t first = got.size() - latte.size();
    EXPECT_LE(first, atStop + 1) << "at most one more character after stop";
    EXPECT_EQ(got.substr(0, first), jam.substr(0, first));
    EXPECT_EQ(got.substr(first), latte) << "the second transfer whole, after the first ended";
    EXPECT_TRUE(messages.empty()) << "a stop is not a failure";
}

TEST_F(FieldLinkTest, LeavingTheEditorWhileASearchAndASendRunIsSafe) {
    WatchedLink link;
    useLink(link);
    std::mutex gate;
    std::condition_variable opened;
    bool open = false;
    CorvinaCardSerialManager::getInstance()->setPortEnumerator([&] {
        std::unique_lock<std::mutex> lock(gate);
        opened.wait(lock, [&] { return open; });
        return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{{"/dev/ttyFAKE0", "Board"}});
    });
    devicetest::RecordingClock clock;
    field->setPacingClock(&clock);
    link.hold(true);
    play();
    field->startScanThread();
    RefPtr<FieldScene> left(field);
    ASSERT_TRUE(left->hasWorkersRunning());
    Director::getInstance()->replaceScene(Scene::create());
    step(3);
    EXPECT_FALSE(left->isRunning());
    {
        std::lock_guard<std::mutex> lock(gate);
        open = true;
    }
    opened.notify_all();
    link.hold(false);
    for (int i = 0; i < 3000 && left->hasWorkersRunning(); ++i) {
        step(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(left->hasWorkersRunning());
    step(3);
    EXPECT_TRUE(messages.empty()) << "nothing is shown for an editor that has gone";
    field = nullptr;
}

TEST_F(FieldLinkTest, AStoredNumberTooLargeForTheBoardSendsNothingAndNamesTheLine) {
    WatchedLink link;
    useLink(link);
    field->loadDocument({onRow(CARD_SET_BASIC, 0, 0), onRow(CARD_SET_FULL, waitAnyCard(), 2, "600")});
    devicetest::RecordingClock clock;
    field->setPacingClock(&clock);
    play();
    finishWorkers();
    EXPECT_TRUE(link.received().empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages.front().find("600"), std::string::npos);
    EXPECT_NE(messages.front().find("30"), std::string::npos) << "the line of the card";
}

TEST_F(FieldLinkTest, TheStatusFollowsBoardsPluggedInAndTheChoiceMadeInThePortList) {
    Label* status = field->getStatusLabel();
    // Without a board the simulator is the one in use.
    EXPECT_EQ(status->getString(), "● " + CorvinaCardSerialManager::simulatorName() + " [ SIM ]");
    field->setHotPlugInterval(0.1f);
    setPorts({{"/dev/ttyACM0", "Board"}});
    for (int i = 0; i < 20; ++i) {
        step(1);
        finishWorkers();
    }
    EXPECT_EQ(status->getString(), "● /dev/ttyACM0 [ Board ]") << "found without a reload";

    // The port list: three rows; picking the second makes it the board in use.
    field->showSettingsBar();
    step(15);
    tap(centreOf(named("port")));
    ASSERT_NE(field->getPortListPopup(), nullptr);
    ASSERT_EQ(field->getPortListLabels().size(), 3u);
    Vec2 grey(600, 700);
    tap(grey);
    step(10);
    EXPECT_EQ(field->getPortListPopup(), nullptr) << "a tap beside the rows closes the list";
    EXPECT_EQ(CorvinaCardSerialManager::getInstance()->getSelectedIndex(), 0);
    tap(centreOf(named("port")));
    ASSERT_EQ(field->getPortListLabels().size(), 3u);
    tap(centreOf(field->getPortListLabels()[1].get()));
    finishWorkers();
    step(10);
    EXPECT_EQ(field->getPortListPopup(), nullptr);
    EXPECT_EQ(status->getString(), "● MixJuice [ UDP ]");

    // Unplugged: gone from the list; the chosen Wi-Fi entry stays in use.
    setPorts({});
    for (int i = 0; i < 20; ++i) {
        step(1);
        finishWorkers();
    }
    EXPECT_EQ(CorvinaCardSerialManager::getInstance()->getDevices().size(), 2u);
    EXPECT_EQ(status->getString(), "● MixJuice [ UDP ]");

    // A second editor shows the board at once, not "Search ...".
    FieldScene* second = FieldScene::create(nullptr);
    Director::getInstance()->getRunningScene()->addChild(second);
    for (int i = 0; i < 200 && second->hasWorkersRunning(); ++i) {
        step(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    step(2);
    EXPECT_EQ(second->getStatusLabel()->getString(), "● MixJuice [ UDP ]");
    field->setHotPlugInterval(0);
}

TEST_F(FieldLinkTest, TheHareOnTheSettingsBarTypesJamAtTwiceThePaceWithTheSameBytes) {
    WatchedLink link;
    useLink(link);
    field->loadDocument({onRow(CARD_SET_BASIC, 0, 0), onRow(CARD_SET_BASIC, 1, 1)});
    auto* pace = static_cast<Button*>(named("pace"));
    const Texture2D* tortoise = pace->getTexture();
    tap(centreOf(named("settings")));
    step(1);
    step(12);
    // Between the reload icon and the bar's right end.
    EXPECT_GT(pace->getBoundingBoxInWorld().getMinX(), named("reload")->getBoundingBoxInWorld().getMaxX());
    EXPECT_LT(pace->getBoundingBoxInWorld().getMaxX(), 1024);

    const Vec2 c = centreOf(pace);
    touch(Code::BEGAN, c);
    EXPECT_TRUE(pace->isPressed());
    touch(Code::ENDED, c + Vec2(0, 300));
    EXPECT_EQ(DeviceManager::getInstance()->getTypingPace(), TypingPace::Normal) << "released off the button";
    tap(c);
    EXPECT_EQ(DeviceManager::getInstance()->getTypingPace(), TypingPace::Fast);
    EXPECT_NE(pace->getTexture(), tortoise) << "the hare shows";

    devicetest::RecordingClock clock;
    field->setPacingClock(&clock);
    ByteCollector asked;
    transferProgram(field->takeSnapshot(), DIALECT_JAM, asked);
    play();
    finishWorkers();
    EXPECT_EQ(link.received(), asked.bytes);
    std::vector<long long> pauses, wanted;
    long long previous = 0;
    for (long long at : clock.deadlines) {
        pauses.push_back(at - previous);
        previous = at;
    }
    for (int delay : asked.delays)
        if (delay > 0) wanted.push_back(delay == 50 ? 25 : delay);
    EXPECT_EQ(pauses, wanted);
    EXPECT_NE(field->getTypedTextLabel()->getString().find("20 LED 0"), std::string::npos);

    // Kept for the next editor opened, back to the tortoise with a second tap.
    tap(Vec2(600, 400));
    EXPECT_EQ(static_cast<Sprite*>(named(FieldScene::create(nullptr), "pace"))->getTexture(), pace->getTexture());
    tap(c);
    EXPECT_EQ(DeviceManager::getInstance()->getTypingPace(), TypingPace::Normal);
    EXPECT_EQ(pace->getTexture(), tortoise);
}

TEST_F(FieldLinkTest, TheFinishedOverlaySaysWhatTheBoardsListingShowed) {
    field->loadDocument({onRow(CARD_SET_BASIC, 0, 0), onRow(CARD_SET_BASIC, 1, 11)});
    devicetest::RecordingClock clock;
    field->setPacingClock(&clock);
    struct Case {
        const char* name;
        int lose;       // times the key after "120 L" is lost
        bool silent;
        const char* says;
    };
    for (const Case& c : {Case{"intact", 0, false, "ボードに きいて たしかめました。2ぎょう"},
                          Case{"lost once", 1, false, "120ぎょうめが こわれて とどいたので"},
                          Case{"lost always", 99, false, "120ぎょうめが まだ ちがって とどきます"},
                          Case{"silent", 0, true, "へんじが なかったので"}}) {
        SCOPED_TRACE(c.name);
        testsupport::ListingBoardModel board;
        board.silent = c.silent;
        if (c.lose > 0) board.loseKeyAfter("120 L", c.lose);
        testsupport::ListingBoardLink link(board);
        useLink(link);
        play();
        finishWorkers();
        EXPECT_TRUE(field->isSendingFinished());
        EXPECT_NE(field->getSendingOutcomeText().find(c.says), std::string::npos) << field->getSendingOutcomeText();
        EXPECT_EQ(board.received.find("RUN") == std::string::npos, c.lose > 2) << "a failed check neither saves nor runs";
        EXPECT_TRUE(messages.empty());
        // Read, it is closed with a key as with a tap.
        const auto close = c.silent ? EventKeyboard::KeyCode::KEY_ESCAPE : EventKeyboard::KeyCode::KEY_ENTER;
        injectKey(close, true);
        injectKey(close, false);
        ASSERT_FALSE(field->isSendingOverlayShown());
        CorvinaCardSerialManager::getInstance()->closeLink();  // the next board is another
    }
    // The Wi-Fi module cannot answer: nothing is listed.
    WatchedLink module;
    useLink(module);
    play();
    finishWorkers();
    EXPECT_EQ(module.received().find("LIST"), std::string::npos);
    EXPECT_NE(field->getSendingOutcomeText().find("Wi-Fi では"), std::string::npos);
}

TEST_F(FieldLinkTest, ClosingTheWindowWhileSendingAsksThenWaitsForTheBoardOrStopsIt) {
    WatchedLink link;
    useLink(link);
    field->loadDocument({onRow(CARD_SET_BASIC, 0, 0), onRow(CARD_SET_BASIC, 1, 1)});
    devicetest::RecordingClock clock;
    field->setPacingClock(&clock);
    const std::string whole = expectedBytes(DIALECT_JAM);
    int quits = 0;
    auto closeWindow = [&] {
        QuitRequest request;
        request.quitAnyway = [&quits] { ++quits; };
        EventCustom event(kQuitRequestedEvent);
        event.setUserData(&request);
        Director::getInstance()->getEventDispatcher()->dispatchEvent(&event);
        return request.allowed;
    };
    auto answer = [&](bool stop) {
        auto* question = dynamic_cast<AlertView*>(named("close while sending"));
        ASSERT_NE(question, nullptr);
        tap(centreOf(stop ? question->getOkButton() : question->getCancelButton()));
    };

    // Keep sending: the window stays until the whole program is typed.
    link.holdAt = 5;
    play();
    ASSERT_TRUE(link.waitUntilHeld());
    EXPECT_FALSE(closeWindow());
    answer(false);
    step(2);
    EXPECT_EQ(quits, 0);
    link.hold(false);
    finishWorkers();
    step(5);
    // This program was never saved: that is asked next, as any closing asks.
    auto* unsaved = dynamic_cast<AlertView*>(named("leave unsaved"));
    ASSERT_NE(unsaved, nullptr);
    tap(centreOf(unsaved->getOkButton()));
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(link.received(), whole);

    // Stop: the typing ends, the board's program is stopped, then it closes.
    step(10);  // the question faded
    tap(Vec2(600, 400));
    link.holdAt = whole.size() + 5;
    play();
    ASSERT_TRUE(link.waitUntilHeld());
    EXPECT_FALSE(closeWindow());
    answer(true);
    link.hold(false);
    finishWorkers();
    step(5);
    EXPECT_EQ(quits, 2);
    const std::string second = link.received().substr(whole.size());
    ASSERT_GE(second.size(), 7u);
    EXPECT_EQ(second.find("SAVE"), std::string::npos) << "the program stopped half way";
    EXPECT_EQ(second.substr(second.size() - 7), "\x1b\nOUT0\n") << "then the stop sequence";
    EXPECT_TRUE(messages.empty());
}

TEST_F(FieldLinkTest, TheBoardsErrorAfterRunLightsItsRowAndSaysWhatToTryUntilTheFieldChanges) {
    testsupport::ListingBoardModel model;
    // The board's word for a stopped program first, which is no error; then
    // a forever loop's end with no start: the error, then the line.
    model.afterRun = {{150, "Break in 20\r\nOK\r\n"}, {150, "Line error in 10\r\n10 GOTO @LOOP\r\n"}};
    testsupport::ListingPtyBoard board(model);
    ASSERT_FALSE(board.path.empty());
    CorvinaCardSerialManager::getInstance()->setExplicitPort(board.path);
    rescan();
    field->loadDocument({onRow(CARD_SET_BASIC, 5, 0), onRow(CARD_SET_BASIC, 0, 1)});
    const Color3B plain = named("row plate 0")->getColor();
    // The board answers in real time, so the editor listens on the real
    // clock; the hare keeps it short.
    DeviceManager::getInstance()->setTypingPace(TypingPace::Fast);
    play();
    for (int i = 0; i < 2000 && field->hasWorkersRunning(); ++i) {
        step(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    finishWorkers();
    EXPECT_NE(field->getSendingOutcomeText().find("ぜんぶ ちゃんと とどいています"), std::string::npos)
        << field->getSendingOutcomeText();
    tap(Vec2(600, 400));  // the finished overlay
    // The board speaks after the send; the editor hears it between sends.
    for (int i = 0; i < 150 && field->getErrorRow() < 0; ++i) {
        step(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    step(30);
    ASSERT_EQ(field->getErrorRow(), 0) << "row 10, not the row of the break";
    EXPECT_NE(named("row plate 0")->getColor(), plain) << "lit";
    EXPECT_EQ(named("row plate 0")->getColor(), field->getRowHead(0)->getColor()) << "the plate and the head alike";
    EXPECT_EQ(named("row plate 1")->getColor(), plain) << "no other row";
    BoardNote* note = field->getBoardNote();
    ASSERT_TRUE(note->isVisible());
    EXPECT_NE(note->text().find("10ぎょうめで もどる さきが"), std::string::npos) << note->text();
    // The real board's screen, beside the field, shows its words; the note
    // stands above it, and neither covers a card.
    BoardScreenPanel* screen = field->getBoardScreenPanel();
    ASSERT_TRUE(screen->isVisible());
    EXPECT_NE(screen->getScreen()->text().find("Break in 20\nOK\nLine error in 10\n10 GOTO @LOOP"), std::string::npos)
        << screen->getScreen()->text();
    EXPECT_FALSE(note->getBoundingBoxInWorld().intersectsRect(screen->getBoundingBoxInWorld()));
    for (int row = 0; row < 2; ++row) {
        EXPECT_FALSE(field->cardOnRow(row)->getBoundingBoxInWorld().intersectsRect(note->getBoundingBoxInWorld()));
        EXPECT_FALSE(field->cardOnRow(row)->getBoundingBoxInWorld().intersectsRect(screen->getBoundingBoxInWorld()));
    }

    // Any edit puts the light out.
    field->insertRowAt(0);
    EXPECT_EQ(field->getErrorRow(), -1);
    EXPECT_EQ(named("row plate 0")->getColor(), plain);
    EXPECT_FALSE(note->isVisible());
    EXPECT_TRUE(messages.empty());
}

TEST_F(FieldLinkTest, TheConnectionCheckAsksTheChosenBoardAndOffersItsCommands) {
    testsupport::ListingBoardModel model;
    model.version = "14328";
    testsupport::ListingPtyBoard board(model);
    ASSERT_FALSE(board.path.empty());
    CorvinaCardSerialManager::getInstance()->setExplicitPort(board.path);
    rescan();
    // A system whose brltty would take the board's adapter.
    testsupport::FakeSystem system;
    system.writeFile("usr/lib/udev/rules.d/85-brltty.rules", "ENV{PRODUCT}==\"1a86/7523/*\", GOTO=\"brltty_usb_run\"\n");
    field->setDoctorRootForTests(system.root.string());
    tap(centreOf(named("doctor")));
    ASSERT_NE(field->getDoctorText(), nullptr);
    for (int i = 0; i < 600 && field->hasWorkersRunning(); ++i) {
        step(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    finishWorkers();
    const std::string report = field->getDoctorText()->getString();
    EXPECT_NE(report.find(board.path + " の ボードが こたえました（バージョン 14328）"), std::string::npos) << report;
    EXPECT_NE(report.find("$ sed -E"), std::string::npos) << report;
    EXPECT_EQ(field->getDoctorCommands().rfind("sed -E", 0), 0u);
    EXPECT_TRUE(named("doctor copy")->isVisible());
    tap(centreOf(named("doctor close")));
    EXPECT_EQ(field->getDoctorText(), nullptr);
    EXPECT_TRUE(messages.empty());
}
