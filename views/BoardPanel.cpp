#include "views/BoardPanel.h"

#include <algorithm>
#include <cmath>

#include "engine/core/ClippingRectangleNode.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/LabelAtlas.h"
#include "engine/core/Touch.h"
#include "engine/platform/Beeper.h"
#include "engine/platform/Label.h"

using namespace engine;

namespace {

constexpr float kPi = 3.14159265358979f;

// The layout in design points, y up, on the 330 x 560 panel.
constexpr float kFloorLeft = 15, kFloorBottom = 346;  // the floor picture's lower left corner
constexpr float kFloorWidth = 300, kFloorHeight = 200;
constexpr float kFloorRim = 4;  // the car drives inside the rim
constexpr float kRowY = 282;    // LED, robot and speaker
constexpr float kLedX = 55, kRobotX = 165, kSpeakerX = 276;
constexpr float kShoulderDX = 30, kShoulderY = kRowY + 5 - 7;  // the robot picture's shoulders
constexpr float kServoDigitDX = 62, kServoDigitDY = -46;      // the number plates under the arms
constexpr float kLampY = 180, kLampFirstX = 40, kLampPitch = 50;
constexpr float kLampDigitDY = -27;  // the number plate under each bulb
constexpr float kScreenX = 165, kScreenY = 80;
constexpr float kLongestStep = 0.25f;  // a stalled frame does not throw the car across the floor

// The digits the small number fields use: ".", "/", "0".."9" in 12 x 18 cells.
const char* const kDigits = "res/r_input_num_jam_s.png";
constexpr int kDigitW = 12, kDigitH = 18;

Sprite* picture(const std::string& path) {
    Sprite* s = Sprite::create(path);
    return s ? s : Sprite::create();
}

// Into [0, period): a tiny negative value plus the period may round up to it.
float wrap(float v, float period) {
    v = std::fmod(v, period);
    if (v < 0) v += period;
    return v < period ? v : 0;
}

} // namespace

BoardPanel* BoardPanel::create(const Size& size) {
    return initAndAutorelease(new BoardPanel(), [&](BoardPanel* p) { return p->init(size); });
}

BoardPanel::~BoardPanel() = default;

Vec2 BoardPanel::floorOrigin() const { return {kFloorLeft + kFloorRim, kFloorBottom + kFloorRim}; }

bool BoardPanel::init(const Size& size) {
    setContentSize(size);
    _content = Node::create();
    _content->setContentSize({kDesignWidth, kDesignHeight});
    _content->setAnchorPoint(Vec2::ANCHOR_MIDDLE);
    _content->setPosition(size.width / 2, size.height / 2);
    const float fit = std::min(size.width / kDesignWidth, size.height / kDesignHeight);
    _content->setScale(fit > 0 ? fit : 1.0f);
    addChild(_content);

    Sprite* back = picture("res/r_sim_panel.png");
    back->setPosition(kDesignWidth / 2, kDesignHeight / 2);
    _content->addChild(back);

    // The floor, and the car clipped to the inside of its rim. The car wraps
    // round: copies across the edges show the part that has come round.
    Sprite* floor = picture("res/r_sim_floor.png");
    floor->setAnchorPoint(Vec2::ZERO);
    floor->setPosition(kFloorLeft, kFloorBottom);
    _content->addChild(floor);
    _floorSize = Size(kFloorWidth - 2 * kFloorRim, kFloorHeight - 2 * kFloorRim);
    _floorClip = ClippingRectangleNode::create(Rect(0, 0, _floorSize.width, _floorSize.height));
    _floorClip->setPosition(floorOrigin());
    _content->addChild(_floorClip);
    for (Sprite*& car : _cars) {
        car = picture("res/r_sim_car.png");
        car->setAnchorPoint(Vec2::ANCHOR_MIDDLE);
        _floorClip->addChild(car);
    }

    _runningBadge = picture("res/r_play.png");
    _runningBadge->setScale(0.28f);
    _runningBadge->setPosition(kFloorLeft + kFloorWidth - 22, kFloorBottom + kFloorHeight - 22);
    _runningBadge->setVisible(false);
    _content->addChild(_runningBadge);

    _ledOff = picture("res/r_sim_led_off.png");
    _ledOn = picture("res/r_sim_led_on.png");
    for (Sprite* s : {_ledOff, _ledOn}) {
        s->setPosition(kLedX, kRowY);
        _content->addChild(s);
    }

    // The robot whose arms are servo 3 (its left on screen) and servo 4.
    Sprite* robot = picture("res/r_sim_robot.png");
    robot->setPosition(kRobotX, kRowY);
    _content->addChild(robot);
    for (int i = 0; i < 2; ++i) {
        const Vec2 shoulder(kRobotX + (i == 0 ? -kShoulderDX : kShoulderDX), kShoulderY);
        _armIdle[i] = picture("res/r_sim_arm_idle.png");
        _arm[i] = picture("res/r_sim_arm.png");
        for (Sprite* s : {_armIdle[i], _arm[i]}) {
            s->setPosition(shoulder);
            _content->addChild(s);
        }
        _arm[i]->setVisible(false);
        if (LabelAtlas* digit = LabelAtlas::create(i == 0 ? "3" : "4", kDigits, kDigitW, kDigitH, '.')) {
            digit->setAnchorPoint(Vec2::ANCHOR_MIDDLE);
            digit->setPosition(kRobotX + (i == 0 ? -kServoDigitDX : kServoDigitDX), kRowY + kServoDigitDY);
            _content->addChild(digit);
        }
    }

    _speaker = picture("res/r_sim_speaker.png");
    _waves = picture("res/r_sim_waves.png");
    for (Sprite* s : {_speaker, _waves}) {
        s->setPosition(kSpeakerX, kRowY);
        _content->addChild(s);
    }
    _waves->setVisible(false);

    for (int i = 0; i < 6; ++i) {
        const float x = kLampFirstX + kLampPitch * static_cast<float>(i);
        _lampOff[i] = picture("res/r_sim_lamp_off.png");
        _lampOn[i] = picture("res/r_sim_lamp_on.png");
        for (Sprite* s : {_lampOff[i], _lampOn[i]}) {
            s->setPosition(x, kLampY);
            _content->addChild(s);
        }
        _lampOn[i]->setVisible(false);
        if (LabelAtlas* digit = LabelAtlas::create(std::to_string(i + 1), kDigits, kDigitW, kDigitH, '.')) {
            digit->setAnchorPoint(Vec2::ANCHOR_MIDDLE);
            digit->setPosition(x, kLampY + kLampDigitDY);
            _content->addChild(digit);
        }
    }

    _screen = BoardScreen::create();
    _screen->setPosition(kScreenX, kScreenY);
    _content->addChild(_screen);

    // Touches on the panel stay on the panel, not on the cards under it.
    _touchListener = keepTouchesOn(this);

    resetCar();
    scheduleUpdate();
    return true;
}

void BoardPanel::resetCar() { setCarPose({Vec2(_floorSize.width / 2, _floorSize.height / 2), 0}); }

void BoardPanel::setCarPose(const CarPose& pose) {
    _pose.position = Vec2(wrap(pose.position.x, _floorSize.width), wrap(pose.position.y, _floorSize.height));
    _pose.heading = wrap(pose.heading, 360);
    placeCars();
}

void BoardPanel::placeCars() {
    const Vec2 p = _pose.position;
    const float dx = p.x < _floorSize.width / 2 ? _floorSize.width : -_floorSize.width;
    const float dy = p.y < _floorSize.height / 2 ? _floorSize.height : -_floorSize.height;
    const Vec2 at[4] = {p, Vec2(p.x + dx, p.y), Vec2(p.x, p.y + dy), Vec2(p.x + dx, p.y + dy)};
    for (int i = 0; i < 4; ++i) {
        _cars[i]->setPosition(at[i]);
        _cars[i]->setRotation(_pose.heading);
    }
}

void BoardPanel::show(const BoardView& view) {
    const int before = _view.beeps;
    const std::vector<std::string> oldScreen = std::move(_view.screen);
    _view = view;

    _ledOn->setVisible(view.led);
    _ledOff->setVisible(!view.led);
    for (int i = 0; i < 6; ++i) {
        const bool on = (view.outputs >> i) & 1;
        _lampOn[i]->setVisible(on);
        _lampOff[i]->setVisible(!on);
    }
    const int pulses[2] = {view.servo3, view.servo4};
    for (int i = 0; i < 2; ++i) {
        const bool set = pulses[i] >= 0;
        // An arm that was never set rests, hanging down, until it is.
        if (!set) _servoAngle[i] = 0;
        _arm[i]->setVisible(set);
        _armIdle[i]->setVisible(!set);
        _arm[i]->setRotation(_servoAngle[i]);
    }
    _runningBadge->setVisible(view.running);
    if (view.screen != oldScreen) _screen->show(view.screen);

    if (view.beeps > before) {
        _waveLeft = kWaveSeconds;
        _waves->setVisible(true);
        _speaker->setScale(1.08f);
        if (_soundEnabled) Beeper::getInstance()->beep(kBeepHz, kBeepMs);
    }
}

void BoardPanel::update(float dt) {
    dt = std::clamp(dt, 0.0f, kLongestStep);
    driveCar(dt);
    turnArms(dt);
    if (_waveLeft > 0) {
        _waveLeft -= dt;
        if (_waveLeft <= 0) {
            _waveLeft = 0;
            _waves->setVisible(false);
            _speaker->setScale(1.0f);
        }
    }
}

// A differential drive: each wheel rolls at its own speed, the car turns
// about the point on its axle where the two speeds meet. With one wheel
// stopped that point is that wheel; with the wheels opposed, the middle.
void BoardPanel::driveCar(float dt) {
    const float left = static_cast<float>(std::clamp(_view.leftMotor, -1, 1)) * kCarSpeed;
    const float right = static_cast<float>(std::clamp(_view.rightMotor, -1, 1)) * kCarSpeed;
    if ((left == 0 && right == 0) || dt <= 0) return;
    const float speed = (left + right) / 2;
    const float turn = (left - right) / kWheelBase;  // radians a second, clockwise
    const float heading = _pose.heading * kPi / 180;
    const Vec2 forward(std::sin(heading), std::cos(heading));
    const Vec2 rightward(std::cos(heading), -std::sin(heading));
    Vec2 p = _pose.position;
    if (turn == 0) {
        p = p + forward * (speed * dt);
    } else {
        // Round the centre of the turn, which lies on the axle.
        const Vec2 centre = p + rightward * (speed / turn);
        const float a = turn * dt;
        const Vec2 r = p - centre;
        p = centre + Vec2(r.x * std::cos(a) + r.y * std::sin(a), -r.x * std::sin(a) + r.y * std::cos(a));
    }
    setCarPose({p, _pose.heading + turn * dt * 180 / kPi});
}

void BoardPanel::turnArms(float dt) {
    const int pulses[2] = {_view.servo3, _view.servo4};
    for (int i = 0; i < 2; ++i) {
        if (pulses[i] < 0) continue;
        const float target = servoDegrees(3 + i, pulses[i]);
        const float stepMax = kServoDegreesPerSecond * dt;
        _servoAngle[i] += std::clamp(target - _servoAngle[i], -stepMax, stepMax);
        _arm[i]->setRotation(_servoAngle[i]);
    }
}

// 60 .. 230 is the whole swing. The arms are mounted as mirror images, as on
// the arm cards: servo 3 at 60 and servo 4 at 230 both hang down, and both
// point straight out at 145.
float BoardPanel::servoDegrees(int servo, int pulse) {
    const float t = std::clamp((static_cast<float>(pulse) - 60.0f) / 170.0f, 0.0f, 1.0f);
    return servo == 3 ? t * 180.0f : -(1.0f - t) * 180.0f;
}

bool BoardPanel::isLedLit() const { return _ledOn->isVisible(); }

bool BoardPanel::isOutputLit(int output) const {
    return output >= 1 && output <= 6 && _lampOn[output - 1]->isVisible();
}

bool BoardPanel::isServoSet(int servo) const {
    return (servo == 3 || servo == 4) && _arm[servo - 3]->isVisible();
}

float BoardPanel::servoRotation(int servo) const {
    if (servo != 3 && servo != 4) return 0;
    return _arm[servo - 3]->isVisible() ? _arm[servo - 3]->getRotation() : _armIdle[servo - 3]->getRotation();
}

bool BoardPanel::areWavesShowing() const { return _waves->isVisible(); }

bool BoardPanel::isRunningBadgeShowing() const { return _runningBadge->isVisible(); }

std::string BoardPanel::screenText() const { return _screen->text(); }
