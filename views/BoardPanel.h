#pragma once
// The picture of a simulated board: the robot car on its floor, the LED,
// the six outputs as lamps, the two servo arms, the beeper and the board's
// screen. The panel only draws what it is shown; whoever runs the program
// hands it a BoardView whenever something changes (every frame is fine).
// The car is the one thing that moves by itself: each frame it drives as its
// two motors say.
#include <string>
#include <vector>

#include "engine/core/EventListener.h"
#include "engine/core/Node.h"
#include "engine/core/Sprite.h"
#include "views/BoardScreen.h"

namespace engine {
class ClippingRectangleNode;
class Label;
class LabelAtlas;
} // namespace engine

struct BoardView {
    bool led = false;
    int outputs = 0;  // bits 0..5 = outputs 1..6
    // Last servo pulse width in hundredths of a millisecond: 60 one end,
    // 145 the middle, 230 the other end; -1 never set.
    int servo3 = -1, servo4 = -1;
    int leftMotor = 0, rightMotor = 0;  // +1 forward, -1 back, 0 stopped
    std::vector<std::string> screen;    // the board screen's last lines, oldest first
    int beeps = 0;                      // beeps started so far: a rise means a new beep
    bool running = false;
};

class BoardPanel : public engine::Node {
public:
    // The panel is laid out at this size and scaled to the size asked for.
    static constexpr float kDesignWidth = 330, kDesignHeight = 560;
    static constexpr float kCarSpeed = 60;   // points a second, each wheel
    static constexpr float kWheelBase = 50;  // points between the wheels
    static constexpr float kServoDegreesPerSecond = 600;
    static constexpr float kWaveSeconds = 0.3f;
    static constexpr double kBeepHz = 880;
    static constexpr int kBeepMs = 50;

    // Anchored at its lower left corner, like any node.
    static BoardPanel* create(const engine::Size& size);
    bool init(const engine::Size& size);

    void show(const BoardView& view);
    const BoardView& shown() const { return _view; }

    // Where the car is: position in points on the floor from its lower left
    // corner, heading in degrees clockwise from straight up.
    struct CarPose {
        engine::Vec2 position;
        float heading = 0;
    };
    CarPose carPose() const { return _pose; }
    void setCarPose(const CarPose& pose);
    // The middle of the floor, facing up.
    void resetCar();
    // The floor the car drives on, in points; it wraps round at the edges.
    engine::Size floorSize() const { return _floorSize; }

    // A panel that beeps silently still shows the sound waves.
    void setSoundEnabled(bool on) { _soundEnabled = on; }
    bool isSoundEnabled() const { return _soundEnabled; }

    void update(float dt) override;

    // What is on show, for tests.
    bool isLedLit() const;
    bool isOutputLit(int output) const;  // 1..6
    // Whether servo 3 or 4 has been set, and its arm's turn in degrees
    // (clockwise; 0 hangs down).
    bool isServoSet(int servo) const;
    float servoRotation(int servo) const;
    // The angle an arm settles at for a pulse width.
    static float servoDegrees(int servo, int pulse);
    bool areWavesShowing() const;
    bool isRunningBadgeShowing() const;
    std::string screenText() const;
    engine::Node* getCarSprite() const { return _cars[0]; }
    engine::Node* getLed() const { return _ledOn; }
    engine::Node* getLamp(int output) const { return output >= 1 && output <= 6 ? _lampOn[output - 1] : nullptr; }
    engine::Node* getArm(int servo) const { return servo == 3 || servo == 4 ? _arm[servo - 3] : nullptr; }
    engine::Label* getScreenLabel() const { return _screen->getLabel(); }
    // The panel's design space, where every position above is laid out.
    engine::Node* getContent() const { return _content; }
    // The floor's lower left corner in the design space.
    engine::Vec2 floorOrigin() const;

protected:
    BoardPanel() = default;
    ~BoardPanel() override;

private:
    void placeCars();
    void driveCar(float dt);
    void turnArms(float dt);

    BoardView _view;
    CarPose _pose;
    engine::Size _floorSize;
    bool _soundEnabled = true;
    float _waveLeft = 0;
    float _servoAngle[2] = {0, 0};

    engine::Node* _content = nullptr;
    engine::ClippingRectangleNode* _floorClip = nullptr;
    engine::Sprite* _cars[4] = {};  // the car and its copies across the wrapping edges
    engine::Sprite* _ledOn = nullptr;
    engine::Sprite* _ledOff = nullptr;
    engine::Sprite* _lampOn[6] = {};
    engine::Sprite* _lampOff[6] = {};
    engine::Sprite* _arm[2] = {};
    engine::Sprite* _armIdle[2] = {};
    engine::Sprite* _speaker = nullptr;
    engine::Sprite* _waves = nullptr;
    engine::Sprite* _runningBadge = nullptr;
    BoardScreen* _screen = nullptr;
    engine::RefPtr<engine::EventListenerTouchOneByOne> _touchListener;
};
