// The simulated board in the editor: with no board plugged in, play runs
// the program on the panel, the running card's row is lit, and the stop
// control stops it. The board's time is the engine's, stepped frame by frame.
#include <gtest/gtest.h>

#include "field/FieldFixture.h"
#include "sim/BoardSimulator.h"
#include "support/CardTyping.h"
#include "tests/device/RecordingClock.h"
#include "views/BoardPanel.h"

namespace {

class FieldSimulatorTest : public FieldSceneTest {
protected:
    void SetUp() override {
        FieldSceneTest::SetUp();
        setPorts({});
        field->startScanThread();
        finishWorkers();
        field->setPacingClock(&clock);
    }
    // Steps whole seconds of the board's time, a frame at a time.
    void seconds(double s) {
        for (int i = 0; i < static_cast<int>(s * 60 + 0.5); ++i) step(1);
    }
    devicetest::RecordingClock clock;
};

} // namespace

TEST_F(FieldSimulatorTest, WithoutABoardPlayBlinksTheSimulatedLedAndLightsTheRunningRow) {
    ASSERT_TRUE(field->isSimulatorTarget()) << "no serial port: the simulator is in use";
    // Forever: LED on, wait 1, LED off, wait 1.
    field->loadDocument({onRow(CARD_SET_BASIC, 4, 0), onRow(CARD_SET_BASIC, 0, 1), onRow(CARD_SET_BASIC, 2, 2),
                         onRow(CARD_SET_BASIC, 1, 3), onRow(CARD_SET_BASIC, 2, 4), onRow(CARD_SET_BASIC, 5, 5)});
    BoardPanel* panel = field->getBoardPanel();
    EXPECT_FALSE(panel->isVisible());
    tap(centreOf(named("play")));
    finishWorkers();
    step(2);
    EXPECT_FALSE(field->isSendingOverlayShown()) << "the finished overlay closes by itself";
    ASSERT_TRUE(panel->isVisible());
    ASSERT_TRUE(field->getSimulator());

    // The typing took no time on the test's clock; the program runs on the frames.
    seconds(0.5);
    EXPECT_TRUE(panel->isLedLit());
    EXPECT_EQ(field->getGlowingRow(), 2) << "the first wait";
    seconds(1.0);
    EXPECT_FALSE(panel->isLedLit());
    EXPECT_EQ(field->getGlowingRow(), 4) << "the second wait";
    seconds(1.0);
    EXPECT_TRUE(panel->isLedLit()) << "round the loop again";
    EXPECT_EQ(field->getGlowingRow(), 2);
    // Each blink a second apart, from the moment RUN was entered.
    std::vector<std::pair<long, std::string>> leds;
    for (const auto& event : field->getSimulator()->trace())
        if (event.text.rfind("LED", 0) == 0) leds.emplace_back(event.ms, event.text);
    ASSERT_GE(leds.size(), 3u);
    EXPECT_EQ(leds[0], std::make_pair(0L, std::string("LED 1")));
    EXPECT_EQ(leds[1], std::make_pair(1000L, std::string("LED 0")));
    EXPECT_EQ(leds[2], std::make_pair(2000L, std::string("LED 1")));

    // The panel covers no card and no row button: every card in view can
    // be lifted while the program runs. The lit row keeps its card's frame.
    const Rect covered = panel->getBoundingBoxInWorld();
    for (int row = 0; row < 6; ++row) {
        EXPECT_FALSE(field->cardOnRow(row)->getBoundingBoxInWorld().intersectsRect(covered)) << "row " << row;
        for (const char* button : {"insert row ", "delete row "})
            EXPECT_GT(named(button + std::to_string(row))->getBoundingBoxInWorld().getMinX() - 20, covered.getMaxX());
    }
    EXPECT_EQ(field->getRowHead(3)->getColor(), Color3B(32, 32, 32)) << "the row the light left is still framed";
    CardSprite* fifth = field->cardOnRow(5);
    touch(Code::BEGAN, centreOf(fifth));
    step(4);
    EXPECT_EQ(field->getHeldCard(), fifth);
    touch(Code::ENDED, centreOf(fifth));
    EXPECT_TRUE(panel->isVisible()) << "a lift that changes nothing leaves the panel up";

    // The panel takes the touches and the wheel that land on it.
    const Vec2 onPanel = centreOf(panel) + Vec2(0, -100);
    const float paletteAt = field->getPaletteView()->getScrollOffset().y;
    wheel(onPanel, 3);
    touch(Code::BEGAN, onPanel);
    for (int i = 1; i <= 10; ++i) touch(Code::MOVED, onPanel + Vec2(30.0f * i, 0));
    touch(Code::ENDED, onPanel + Vec2(300, 0));
    EXPECT_EQ(field->getPaletteView()->getScrollOffset().y, paletteAt);
    EXPECT_EQ(field->getPaletteDragCard(), nullptr);
    EXPECT_EQ(field->getFieldCards().size(), 6u);

    // Its close control puts it away; play brings it back; any change to
    // the field puts it away with the glow.
    Node* close = named("board panel close");
    ASSERT_NE(close, nullptr);
    EXPECT_GE(close->getBoundingBoxInWorld().size.width, 44) << "child-sized";
    tap(centreOf(close));
    EXPECT_FALSE(panel->isVisible());
    tap(centreOf(named("play")));
    finishWorkers();
    step(2);
    EXPECT_TRUE(panel->isVisible());
    field->deleteRowAt(10);
    EXPECT_TRUE(panel->isVisible()) << "deleting an empty row changes nothing";
    field->deleteRowAt(5);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(field->getGlowingRow(), -1);

    // The stop control stops the simulated program as it stops a board.
    tap(centreOf(named("play")));
    finishWorkers();
    seconds(0.2);
    tap(centreOf(named("stop")));
    finishWorkers();
    seconds(0.2);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(panel->shown().outputs, 0);
    EXPECT_EQ(field->getSimulator()->runningLine(), -1);
    EXPECT_NE(panel->screenText().find("Break"), std::string::npos) << panel->screenText();
    EXPECT_TRUE(messages.empty());

    // Another dialect is another board: the program goes to the new one.
    DeviceManager::getInstance()->setDialect(DIALECT_LATTE);
    tap(centreOf(named("play")));
    finishWorkers();
    ASSERT_EQ(field->getSimulator()->dialect(), DIALECT_LATTE);
    EXPECT_FALSE(field->getSimulator()->program().empty());
    DeviceManager::getInstance()->setDialect(DIALECT_JAM);
}

TEST_F(FieldSimulatorTest, AServoAndTheCarRunOnThePanelAndAnotherEntryHidesIt) {
    const auto forward = testsupport::cardTyping("OUT 33"), spin = testsupport::cardTyping("OUT 34");
    ASSERT_TRUE(forward) << "no card drives forward";
    ASSERT_TRUE(spin) << "no card spins the car";
    field->loadDocument({onRow(forward->set, forward->index, 0), onRow(CARD_SET_BASIC, 2, 1),
                         onRow(spin->set, spin->index, 2), onRow(CARD_SET_BASIC, 2, 3)});
    tap(centreOf(named("play")));
    finishWorkers();
    BoardPanel* panel = field->getBoardPanel();
    const Vec2 start = panel->carPose().position;
    seconds(0.5);
    EXPECT_EQ(panel->shown().leftMotor, 1);
    EXPECT_EQ(panel->shown().rightMotor, 1);
    EXPECT_GT(panel->carPose().position.y, start.y + 10) << "the car drives forward";
    const float heading = panel->carPose().heading;
    seconds(1.0);
    EXPECT_NE(panel->shown().leftMotor, panel->shown().rightMotor) << "spinning";
    EXPECT_NE(panel->carPose().heading, heading) << "the car turns";
    EXPECT_EQ(field->getGlowingRow(), 3);
    // The lit row shows: its number plate beside the panel turns yellow.
    const testsupport::Frame frame = grab();
    Node* rows = field->getFieldView()->getContainer();
    const Vec2 plate = rows->convertToWorldSpace(field_geometry::plateCentre(3, 768));
    const Vec2 other = rows->convertToWorldSpace(field_geometry::plateCentre(2, 768));
    const SDL_Color lit = at(frame, plate.x - 20, plate.y), unlit = at(frame, other.x - 20, other.y);
    EXPECT_LT(lit.b + 80, unlit.b) << "yellow, not the plate's own pale blue";
    EXPECT_GE(lit.r + 10, unlit.r);
    if (const char* folder = std::getenv("CORVINA_SCREENSHOTS")) frame.save(std::string(folder) + "/simulator-panel.png");

    // The Wi-Fi entry picked: the panel goes, the glow too.
    CorvinaCardSerialManager::getInstance()->setSelectedIndex(0);
    CorvinaCardSerialManager::getInstance()->activateSelected({});
    step(2);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(field->getGlowingRow(), -1);
}

TEST_F(FieldSimulatorTest, AForeverEndWithoutItsStartLightsItsRowRedAndAStopPutsItOut) {
    // The end of a forever loop alone: the board jumps to a label no card starts.
    field->loadDocument({onRow(CARD_SET_BASIC, 5, 0)});
    const Color3B plain = named("row plate 0")->getColor();
    tap(centreOf(named("play")));
    finishWorkers();
    seconds(0.2);
    EXPECT_NE(field->getBoardPanel()->screenText().find("Line error in 10"), std::string::npos);
    ASSERT_EQ(field->getErrorRow(), 0);
    EXPECT_NE(named("row plate 0")->getColor(), plain);
    BoardNote* note = field->getBoardNote();
    ASSERT_TRUE(note->isVisible());
    EXPECT_NE(note->text().find("10ぎょうめで もどる さきが"), std::string::npos) << note->text();
    EXPECT_FALSE(field->getBoardScreenPanel()->isVisible()) << "the simulated board shows its own screen";
    EXPECT_FALSE(field->cardOnRow(0)->getBoundingBoxInWorld().intersectsRect(note->getBoundingBoxInWorld()));
    EXPECT_FALSE(named("board panel close")->getBoundingBoxInWorld().intersectsRect(note->getBoundingBoxInWorld()))
        << "the panel can still be closed";
    // A tap puts the note away; the row stays lit until a send, a stop or an edit.
    tap(centreOf(note));
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(field->getErrorRow(), 0);
    tap(centreOf(named("stop")));
    finishWorkers();
    EXPECT_EQ(field->getErrorRow(), -1);
    EXPECT_EQ(named("row plate 0")->getColor(), plain);
    EXPECT_TRUE(messages.empty());
}
