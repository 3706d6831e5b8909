// SDL's mouse, fingers and wheel as the engine's touches and mouse events,
// through the same path the main loop uses.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "engine/core/EventDispatcher.h"
#include "engine/platform/Input.h"
#include "support/HeadlessTest.h"

using namespace engine;

namespace {

SDL_Event button(Uint32 type, int x, int y, Uint8 which = SDL_BUTTON_LEFT) {
    SDL_Event e{};
    e.type = type;
    e.button.button = which;
    e.button.x = x;
    e.button.y = y;
    return e;
}
SDL_Event down(int x, int y, Uint8 which = SDL_BUTTON_LEFT) { return button(SDL_MOUSEBUTTONDOWN, x, y, which); }
SDL_Event up(int x, int y, Uint8 which = SDL_BUTTON_LEFT) { return button(SDL_MOUSEBUTTONUP, x, y, which); }
SDL_Event motion(int x, int y, bool held) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.state = held ? SDL_BUTTON_LMASK : 0;
    return e;
}
SDL_Event finger(Uint32 type, SDL_FingerID id, float x, float y) {
    SDL_Event e{};
    e.type = type;
    e.tfinger.touchId = 1;
    e.tfinger.fingerId = id;
    e.tfinger.x = x;
    e.tfinger.y = y;
    return e;
}
SDL_Event wheel(int y, int mouseX, int mouseY, bool flipped = false) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    e.wheel.mouseX = mouseX;
    e.wheel.mouseY = mouseY;
    return e;
}
template <typename T>
SDL_Event synthetic(SDL_Event e, T value) {
    if (e.type == SDL_FINGERDOWN) e.tfinger.touchId = value;
    else e.button.which = value;
    return e;
}

std::string at(const Vec2& p) {
    return "(" + std::to_string(std::lround(p.x)) + "," + std::to_string(std::lround(p.y)) + ")";
}

struct SdlCase {
    const char* name;
    std::vector<SDL_Event> events;
    const char* expected;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const SdlCase& c, std::ostream* os) { *os << c.name; }

// Window 1024 x 768, design 1024 x 768: design y = 768 - window y.
const SdlCase kSdlCases[] = {
    {"LeftButtonIsTouchZeroInDesignPoints",
     {down(100, 668), motion(300, 468, true), up(310, 458)},
     "began0(100,100) mouse-down-L(100,100) moved0(300,300) mouse-move-L(300,300) ended0(310,310) "
     "mouse-up-L(310,310)"},
    {"MovingOrRightClickingIsNoTouch",
     {motion(10, 758, false), down(20, 748, SDL_BUTTON_RIGHT), up(20, 748, SDL_BUTTON_RIGHT)},
     "mouse-move-(10,10) mouse-down-R(20,20) mouse-up-R(20,20)"},
    {"FingersCountFromOneBesideTheMouse",
     {down(0, 768), finger(SDL_FINGERDOWN, 77, 0.5f, 0.5f), finger(SDL_FINGERDOWN, 78, 0.25f, 0.5f),
      finger(SDL_FINGERUP, 77, 0.5f, 0.25f), finger(SDL_FINGERDOWN, 79, 0, 0), finger(SDL_FINGERMOTION, 78, 0.25f, 0),
      up(0, 768)},
     "began0(0,0) mouse-down-L(0,0) began1(512,384) began2(256,384) ended1(512,576) began1(0,768) moved2(256,768) "
     "ended0(0,0) mouse-up-L(0,0)"},
    {"SyntheticCopiesAreDropped",
     {synthetic(down(5, 5), SDL_TOUCH_MOUSEID), synthetic(finger(SDL_FINGERDOWN, 1, 0.5f, 0.5f), SDL_MOUSE_TOUCHID)},
     ""},
    {"WheelTowardsTheUserScrollsPositive",
     {wheel(-1, 512, 384), wheel(2, 0, 768), wheel(-1, 0, 0, true)},
     "scroll(0,1)(512,384) scroll(0,-2)(0,0) scroll(0,-1)(0,768)"},
};

class SdlInput : public testsupport::HeadlessTest, public ::testing::WithParamInterface<SdlCase> {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        runScene();
        listen();
    }
    // One claiming touch listener and one mouse listener on the scene.
    void listen() {
        Scene* scene = Director::getInstance()->getRunningScene();
        EventDispatcher* d = Director::getInstance()->getEventDispatcher();
        auto* touches = EventListenerTouchOneByOne::create();
        auto note = [this](std::string what, Touch* t) { log.push_back(what + std::to_string(t->getID()) + at(t->getLocation())); };
        touches->onTouchBegan = [note](Touch* t, Event*) { note("began", t); return true; };
        touches->onTouchMoved = [note](Touch* t, Event*) { note("moved", t); };
        touches->onTouchEnded = [note](Touch* t, Event*) { note("ended", t); };
        d->addEventListenerWithSceneGraphPriority(touches, scene);
        auto* mouse = EventListenerMouse::create();
        auto noteMouse = [this](std::string what, EventMouse* e) {
            using B = EventMouse::MouseButton;
            B b = e->getMouseButton();
            log.push_back("mouse-" + what + (b == B::BUTTON_LEFT ? "L" : b == B::BUTTON_RIGHT ? "R" : "") + at(e->getLocation()));
        };
        mouse->onMouseDown = [noteMouse](EventMouse* e) { noteMouse("down-", e); };
        mouse->onMouseUp = [noteMouse](EventMouse* e) { noteMouse("up-", e); };
        mouse->onMouseMove = [noteMouse](EventMouse* e) { noteMouse("move-", e); };
        mouse->onMouseScroll = [this](EventMouse* e) {
            log.push_back("scroll" + at({e->getScrollX(), e->getScrollY()}) + at(e->getLocation()));
        };
        d->addEventListenerWithSceneGraphPriority(mouse, scene);
    }
    std::string joined() const {
        std::string s;
        for (const auto& entry : log) s += (s.empty() ? "" : " ") + entry;
        return s;
    }
    std::vector<std::string> log;
};

TEST_P(SdlInput, Case) {
    for (const SDL_Event& e : GetParam().events) EXPECT_TRUE(handleInputEvent(e));
    EXPECT_EQ(joined(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(EventDispatchSdl, SdlInput, ::testing::ValuesIn(kSdlCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SdlInput, PressOnTheLetterboxTouchesNothing) {
    view->setWindowSize(1280, 768);  // SHOW_ALL: bars of 128 on either side
    ASSERT_EQ(view->getFrameSize(), Size(1280, 768));
    for (const SDL_Event& e : {down(50, 668), up(50, 668), down(138, 668), up(138, 668)}) handleInputEvent(e);
    EXPECT_EQ(joined(), "mouse-down-L(-78,100) mouse-up-L(-78,100) began0(10,100) mouse-down-L(10,100) "
                        "ended0(10,100) mouse-up-L(10,100)");
}

TEST_F(SdlInput, TextIsLeftToOthersAndDisabledDispatchReachesNobody) {
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    EXPECT_FALSE(handleInputEvent(text));
    Director::getInstance()->getEventDispatcher()->setEnabled(false);
    for (const SDL_Event& e : {down(1, 1), motion(2, 2, true), up(2, 2), wheel(1, 0, 0)}) handleInputEvent(e);
    injectTouch(EventTouch::EventCode::BEGAN, 4, {1, 1});
    injectMouseScroll({1, 1}, 0, 1);
    EXPECT_EQ(joined(), "");
}

// Shortcuts follow the letter the layout types: on a German keyboard the
// key marked Z sits where a US keyboard has Y.
TEST_F(SdlInput, KeysAreNamedByTheLetterTheLayoutTypes) {
    auto* keys = EventListenerKeyboard::create();
    keys->onKeyPressed = [this](EventKeyboard::KeyCode key, EventKeyboard* e) {
        log.push_back(std::to_string(static_cast<int>(key) - static_cast<int>(EventKeyboard::KeyCode::KEY_A)) +
                      (e->isControlDown() ? "c" : "") + (e->isShiftDown() ? "s" : "") + (e->isRepeat() ? "r" : ""));
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(keys, Director::getInstance()->getRunningScene());
    auto press = [](SDL_Keycode sym, SDL_Scancode place, Uint16 mod, Uint8 repeat) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = sym;
        e.key.keysym.scancode = place;
        e.key.keysym.mod = mod;
        e.key.repeat = repeat;
        return e;
    };
    for (const SDL_Event& e : {press(SDLK_z, SDL_SCANCODE_Y, KMOD_LCTRL, 0), press(SDLK_y, SDL_SCANCODE_Z, KMOD_RCTRL | KMOD_LSHIFT, 1),
                               press(0x0444, SDL_SCANCODE_A, KMOD_NONE, 0)})  // a Cyrillic layout's letter
        EXPECT_TRUE(handleInputEvent(e));
    EXPECT_EQ(joined(), "25c 24csr 0");
}

// The screen's density says how far a finger has moved in inches.
TEST_F(SdlInput, TheScreensDotsPerInchAreTakenOnlyWhenSaneAndASetValueWins) {
    EXPECT_FLOAT_EQ(GLViewImpl::dotsPerInchFromScreen(true, 144), 144);
    EXPECT_FLOAT_EQ(GLViewImpl::dotsPerInchFromScreen(false, 144), 96) << "SDL failed: its number means nothing";
    for (float nonsense : {0.0f, -96.0f, 12.0f, 49.9f, 1000.5f, NAN, INFINITY})
        EXPECT_FLOAT_EQ(GLViewImpl::dotsPerInchFromScreen(true, nonsense), 96) << nonsense;

    float screen = view->getDotsPerInch();
    if (std::string(SDL_GetCurrentVideoDriver()) == "dummy") {
        EXPECT_FLOAT_EQ(screen, 96) << "the dummy screen tells nothing";
    }
    EXPECT_TRUE(screen >= 50 && screen <= 1000) << screen;
    view->setDotsPerInch(200);
    EXPECT_FLOAT_EQ(view->getDotsPerInch(), 200);
    view->setDotsPerInch(-1);
    EXPECT_FLOAT_EQ(view->getDotsPerInch(), screen) << "no sane setting: the screen's again";
    view->setDotsPerInch(0);
    EXPECT_FLOAT_EQ(view->getDotsPerInch(), screen);
}

} // namespace
