// The simulated board's panel headless: the car's drive, the lamps, the
// arms, the screen and the beeper, stepped frame by frame.
#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/core/EventDispatcher.h"
#include "engine/platform/Beeper.h"
#include "engine/platform/Input.h"
#include "engine/platform/Label.h"
#include "support/HeadlessTest.h"
#include "views/BoardPanel.h"

using namespace engine;

namespace {

constexpr float kDt = 1.0f / 60;
constexpr float kPi = 3.14159265358979f;

class BoardPanelTest : public testsupport::HeadlessTest {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        HeadlessTest::SetUp();
        FileUtils::getInstance()->setSearchPaths({std::string(CORVINA_TEST_RESOURCE_DIR) + "/"});
        scene = runScene();
        panel = BoardPanel::create(Size(BoardPanel::kDesignWidth, BoardPanel::kDesignHeight));
        ASSERT_NE(panel, nullptr);
        panel->setSoundEnabled(false);
        panel->setPosition(40, 100);
        scene->addChild(panel);
        step();
    }

    void motors(int left, int right) {
        BoardView v;
        v.leftMotor = left;
        v.rightMotor = right;
        panel->show(v);
    }

    // A point of a node's own space on the window, y down.
    static SDL_Color pixel(const testsupport::Frame& f, const Node* node, Vec2 local) {
        Vec2 w = node->convertToWorldSpace(local);
        return f.at(static_cast<int>(std::lround(w.x)), static_cast<int>(std::lround(767 - w.y)));
    }
    // A point of the floor (from its lower left corner) on the window.
    SDL_Color floorPixel(const testsupport::Frame& f, Vec2 onFloor) const {
        return pixel(f, panel->getContent(), panel->floorOrigin() + onFloor);
    }

    // The wheels' centres, half the wheel base either side of the car's middle.
    static Vec2 wheel(const BoardPanel::CarPose& pose, bool right) {
        const float h = pose.heading * kPi / 180;
        const Vec2 rightward(std::cos(h), -std::sin(h));
        return pose.position + rightward * (right ? BoardPanel::kWheelBase / 2 : -BoardPanel::kWheelBase / 2);
    }

    static float headingDelta(float from, float to) {
        float d = std::fmod(to - from, 360.0f);
        if (d > 180) d -= 360;
        if (d < -180) d += 360;
        return d;
    }

    Scene* scene = nullptr;
    BoardPanel* panel = nullptr;
};

bool isOrange(SDL_Color c) { return c.r > 230 && c.g > 110 && c.g < 170 && c.b < 70; }

} // namespace

TEST_F(BoardPanelTest, MotorsDriveTheCarAsTwoWheelsWould) {
    const Vec2 middle(panel->floorSize().width / 2, panel->floorSize().height / 2);
    // Degrees a second when one wheel rolls and the other stands.
    const float oneWheel = BoardPanel::kCarSpeed / BoardPanel::kWheelBase * 180 / kPi;
    struct Case {
        int left, right;
        const char* what;
        Vec2 moved;         // of the middle, after one second; NAN: a turn round a wheel
        float turned;       // degrees clockwise
        int pivot;          // 0 none, -1 the left wheel stays put, +1 the right one
    };
    const Case cases[] = {
        {1, 1, "forward", {0, 60}, 0, 0},
        {-1, -1, "back", {0, -60}, 0, 0},
        {1, -1, "spin right", {0, 0}, 2 * oneWheel, 0},
        {-1, 1, "spin left", {0, 0}, -2 * oneWheel, 0},
        {1, 0, "forward round the right wheel", {NAN, NAN}, oneWheel, 1},
        {0, 1, "forward round the left wheel", {NAN, NAN}, -oneWheel, -1},
        {-1, 0, "back round the right wheel", {NAN, NAN}, -oneWheel, 1},
        {0, -1, "back round the left wheel", {NAN, NAN}, oneWheel, -1},
        {0, 0, "stopped", {0, 0}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        panel->resetCar();
        const BoardPanel::CarPose start = panel->carPose();
        EXPECT_TRUE(start.position.equals(middle));
        EXPECT_EQ(start.heading, 0);
        motors(c.left, c.right);
        step(60, kDt);
        motors(0, 0);
        step(5, kDt);  // stopped: nothing moves any more
        const BoardPanel::CarPose end = panel->carPose();
        EXPECT_NEAR(headingDelta(start.heading, end.heading), c.turned, 0.2);
        if (c.pivot == 0) {
            EXPECT_NEAR(end.position.x - start.position.x, c.moved.x, 0.2);
            EXPECT_NEAR(end.position.y - start.position.y, c.moved.y, 0.2);
        } else {
            const bool right = c.pivot > 0;
            EXPECT_LT(wheel(start, right).distance(wheel(end, right)), 0.2f) << "the pivot wheel stays put";
            EXPECT_GT(wheel(start, !right).distance(wheel(end, !right)), 50.0f) << "the other wheel rolls";
            // Going forward the car ends up ahead of where it started.
            const float ahead = end.position.y - start.position.y;
            EXPECT_EQ(ahead > 0, c.left + c.right > 0);
        }
        // The picture shows the pose.
        Node* car = panel->getCarSprite();
        EXPECT_TRUE(car->getPosition().equals(end.position));
        EXPECT_FLOAT_EQ(car->getRotation(), end.heading);
    }
}

TEST_F(BoardPanelTest, TheCarWrapsRoundTheEdgesAndStaysOnTheFloor) {
    const Size floor = panel->floorSize();
    panel->setCarPose({Vec2(floor.width / 2, floor.height / 2), 30});
    motors(1, 1);
    const int frames = 10 * 60;
    for (int i = 0; i < frames; ++i) {
        step(1, kDt);
        const Vec2 p = panel->carPose().position;
        ASSERT_TRUE(p.x >= 0 && p.x < floor.width && p.y >= 0 && p.y < floor.height)
            << "frame " << i << ": " << p.x << ", " << p.y;
    }
    // 10 seconds at 60 points a second, 30 degrees right of straight up.
    const float run = BoardPanel::kCarSpeed * frames * kDt;
    const float x = std::fmod(floor.width / 2 + run * std::sin(kPi / 6), floor.width);
    const float y = std::fmod(floor.height / 2 + run * std::cos(kPi / 6), floor.height);
    EXPECT_NEAR(panel->carPose().position.x, x, 0.5);
    EXPECT_NEAR(panel->carPose().position.y, y, 0.5);

    // Half over the top edge: the part that came round shows at the bottom,
    // and nothing of it spills out of the floor.
    motors(0, 0);
    panel->setCarPose({Vec2(floor.width / 2, floor.height - 5), 0});
    step();
    testsupport::Frame f = grab();
    EXPECT_TRUE(isOrange(floorPixel(f, Vec2(floor.width / 2 + 17, floor.height - 20)))) << "the car's body";
    EXPECT_TRUE(isOrange(floorPixel(f, Vec2(floor.width / 2, 12)))) << "its front, come round at the bottom";
    EXPECT_FALSE(isOrange(floorPixel(f, Vec2(floor.width / 2, -6)))) << "clipped below the floor";
    EXPECT_FALSE(isOrange(floorPixel(f, Vec2(floor.width / 2, floor.height + 12)))) << "clipped above it";

    // Just below nought comes round to just below the far edge, or to nought
    // itself when that rounds up to the edge.
    panel->setCarPose({Vec2(-1e-6f, -1e-6f), -1e-6f});
    EXPECT_LT(panel->carPose().position.x, floor.width);
    EXPECT_LT(panel->carPose().position.y, floor.height);
    EXPECT_LT(panel->carPose().heading, 360);

    panel->resetCar();
    EXPECT_TRUE(panel->carPose().position.equals(Vec2(floor.width / 2, floor.height / 2)));
    EXPECT_EQ(panel->carPose().heading, 0);
}

TEST_F(BoardPanelTest, LedLampsAndRunningBadgeFollowTheView) {
    BoardView v;
    v.led = true;
    v.outputs = 0b100001;  // outputs 1 and 6
    v.running = true;
    panel->show(v);
    step();
    EXPECT_TRUE(panel->isLedLit());
    EXPECT_TRUE(panel->isRunningBadgeShowing());
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(panel->isOutputLit(n), n == 1 || n == 6) << "output " << n;
    EXPECT_FALSE(panel->isOutputLit(0));
    EXPECT_FALSE(panel->isOutputLit(7));

    // The glass of a lit bulb and of the LED's dome is yellow, unlit grey.
    const Vec2 glass(25, 64), dome(40, 56);
    testsupport::Frame f = grab();
    for (int n = 1; n <= 6; ++n) {
        SDL_Color c = pixel(f, panel->getLamp(n), glass);
        if (n == 1 || n == 6) EXPECT_TRUE(c.r > 230 && c.g > 180 && c.b < 100) << "lamp " << n;
        else EXPECT_TRUE(c.b > 200) << "lamp " << n;
    }
    SDL_Color led = pixel(f, panel->getLed(), dome);
    EXPECT_TRUE(led.r > 230 && led.g > 180 && led.b < 100);

    panel->show(BoardView{});
    step();
    EXPECT_FALSE(panel->isLedLit());
    EXPECT_FALSE(panel->isRunningBadgeShowing());
    testsupport::Frame g = grab();
    for (int n = 1; n <= 6; ++n) {
        EXPECT_FALSE(panel->isOutputLit(n));
        EXPECT_TRUE(pixel(g, panel->getLamp(n), glass).b > 200) << "lamp " << n;
    }
    EXPECT_TRUE(pixel(g, panel->getLed(), dome).b > 180);
}

TEST_F(BoardPanelTest, ServoArmsTurnToTheirPulseWidths) {
    EXPECT_FALSE(panel->isServoSet(3));
    EXPECT_FALSE(panel->isServoSet(4));
    EXPECT_EQ(panel->servoRotation(3), 0) << "an arm never set hangs down";

    struct Case {
        int pulse;
        float servo3, servo4;
    };
    // Mirror images: 3 swings out to its left, 4 to its right.
    for (const Case& c : {Case{60, 0, -180}, Case{145, 90, -90}, Case{230, 180, 0}, Case{145, 90, -90}}) {
        SCOPED_TRACE(c.pulse);
        BoardView v;
        v.servo3 = v.servo4 = c.pulse;
        panel->show(v);
        step(30, kDt);  // half a second: a whole swing takes less
        EXPECT_TRUE(panel->isServoSet(3));
        EXPECT_FLOAT_EQ(panel->servoRotation(3), c.servo3);
        EXPECT_FLOAT_EQ(panel->servoRotation(4), c.servo4);
        EXPECT_FLOAT_EQ(BoardPanel::servoDegrees(3, c.pulse), c.servo3);
        EXPECT_FLOAT_EQ(BoardPanel::servoDegrees(4, c.pulse), c.servo4);
    }
    // Straight out at 145: the hand of arm 3 is left of its shoulder, that
    // of arm 4 right of its shoulder.
    testsupport::Frame f = grab();
    auto purple = [](SDL_Color c) { return c.r > 130 && c.r < 180 && c.g < 120 && c.b > 190; };
    for (int servo : {3, 4}) {
        Node* arm = panel->getArm(servo);
        const float out = servo == 3 ? -32.0f : 32.0f;
        const Vec2 shoulder = arm->getPosition();
        EXPECT_TRUE(purple(pixel(f, panel->getContent(), shoulder + Vec2(out, 0)))) << "servo " << servo;
        EXPECT_FALSE(purple(pixel(f, panel->getContent(), shoulder + Vec2(-out, 0)))) << "servo " << servo;
    }

    // Arms swing rather than jump, and a pulse beyond the ends stops at them.
    BoardView v;
    v.servo3 = 60;
    v.servo4 = 1000;
    panel->show(v);
    step(1, kDt);
    EXPECT_NEAR(panel->servoRotation(3), 90 - BoardPanel::kServoDegreesPerSecond * kDt, 0.01);
    step(30, kDt);
    EXPECT_FLOAT_EQ(panel->servoRotation(3), 0);
    EXPECT_FLOAT_EQ(panel->servoRotation(4), 0);

    panel->show(BoardView{});
    EXPECT_FALSE(panel->isServoSet(3));
    EXPECT_EQ(panel->servoRotation(4), 0);
}

TEST_F(BoardPanelTest, ScreenShowsTheLastRowsNewestAtTheBottom) {
    EXPECT_EQ(panel->screenText(), "");
    BoardView v;
    for (int i = 0; i < 10; ++i) v.screen.push_back("L" + std::to_string(i));
    panel->show(v);
    EXPECT_EQ(panel->screenText(), "L4\nL5\nL6\nL7\nL8\nL9");

    // Long lines wrap at the screen's width, counted in characters.
    const std::string ka = "\xE3\x82\xA2";  // a katakana letter, three bytes
    std::string kana;
    for (int i = 0; i < 40; ++i) kana += ka;
    std::string kana32;
    for (int i = 0; i < 32; ++i) kana32 += ka;
    v.screen = {"OK", std::string(70, 'x'), kana};
    panel->show(v);
    EXPECT_EQ(panel->screenText(), "OK\n" + std::string(32, 'x') + "\n" + std::string(32, 'x') + "\nxxxxxx\n" + kana32 +
                                       "\n" + kana.substr(32 * 3));

    // The text shows, white on the dark screen.
    v.screen = {"Syntax error in 20", "20 PWN 3"};
    panel->show(v);
    step();
    auto brightPixels = [&] {
        testsupport::Frame f = grab();
        Label* label = panel->getScreenLabel();
        const Size s = label->getContentSize();
        int bright = 0;
        for (float y = 0; y < s.height; y += 1)
            for (float x = 0; x < s.width; x += 1) {
                SDL_Color c = pixel(f, label, Vec2(x, y));
                if (c.r > 200 && c.g > 200 && c.b > 200) ++bright;
            }
        return bright;
    };
    EXPECT_GT(brightPixels(), 100);
    panel->show(BoardView{});
    step();
    EXPECT_EQ(brightPixels(), 0);
}

TEST_F(BoardPanelTest, EachNewBeepSoundsOnceAndShowsWavesForAThirdOfASecond) {
    panel->setSoundEnabled(true);
    Beeper* beeper = Beeper::getInstance();
    const int before = beeper->beepsPlayed();
    BoardView v;
    v.beeps = 1;
    panel->show(v);
    EXPECT_EQ(beeper->beepsPlayed(), before + 1);
    EXPECT_TRUE(panel->areWavesShowing());
    step(17, kDt);
    EXPECT_TRUE(panel->areWavesShowing());
    step(2, kDt);
    EXPECT_FALSE(panel->areWavesShowing());

    panel->show(v);  // the same count again: no new beep
    EXPECT_EQ(beeper->beepsPlayed(), before + 1);
    EXPECT_FALSE(panel->areWavesShowing());
    v.beeps = 4;  // several since the last look: one sound
    panel->show(v);
    EXPECT_EQ(beeper->beepsPlayed(), before + 2);
    v.beeps = 0;  // a new run counts from nought
    panel->show(v);
    v.beeps = 1;
    panel->show(v);
    EXPECT_EQ(beeper->beepsPlayed(), before + 3);

    panel->setSoundEnabled(false);
    step(30, kDt);
    v.beeps = 2;
    panel->show(v);
    EXPECT_EQ(beeper->beepsPlayed(), before + 3);
    EXPECT_TRUE(panel->areWavesShowing()) << "silent, but still seen";
}

TEST_F(BoardPanelTest, TouchesOnThePanelDoNotReachWhatLiesBehind) {
    int behind = 0;
    auto* listener = EventListenerTouchOneByOne::create();
    listener->onTouchBegan = [&](Touch*, Event*) {
        ++behind;
        return true;
    };
    LayerColor* back = LayerColor::create(Color4B(0, 0, 0, 0));
    scene->addChild(back, -1);
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, back);

    const Vec2 onPanel(40 + 165, 100 + 280), offPanel(700, 300);
    for (const Vec2& at : {onPanel, offPanel}) {
        injectTouch(EventTouch::EventCode::BEGAN, 0, at);
        injectTouch(EventTouch::EventCode::ENDED, 0, at);
    }
    EXPECT_EQ(behind, 1) << "only the touch off the panel";
    panel->setVisible(false);
    injectTouch(EventTouch::EventCode::BEGAN, 0, onPanel);
    injectTouch(EventTouch::EventCode::ENDED, 0, onPanel);
    EXPECT_EQ(behind, 2) << "a hidden panel lets touches through";
}
