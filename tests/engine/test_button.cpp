// The control every screen is built of: dimmed as drawn while held, acting
// on a release inside, its touch area grown for small pictures.
#include <gtest/gtest.h>

#include "engine/core/Button.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "support/HeadlessTest.h"

using namespace engine;
using Code = EventTouch::EventCode;

namespace {

class ButtonTest : public testsupport::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        scene = runScene();
        // Whatever the button does not take reaches this.
        auto* below = EventListenerTouchOneByOne::create();
        below->onTouchBegan = [this](Touch*, Event*) { return ++behind, true; };
        Director::getInstance()->getEventDispatcher()->addEventListenerWithFixedPriority(below, 1);
        holder = Node::create();
        scene->addChild(holder);
        button = Button::create(writeSolidPNG("white.png", 60, 60, {255, 255, 255, 255}), [this] { ++acted; });
        button->setPosition(200, 200);  // 30 points square at two pixels a point
        holder->addChild(button);
        step();
    }
    void touch(Code code, Vec2 at) { Director::getInstance()->getEventDispatcher()->dispatchTouch(code, 0, at); }
    void tap(Vec2 at) {
        touch(Code::BEGAN, at);
        touch(Code::ENDED, at);
    }

    Scene* scene = nullptr;
    Node* holder = nullptr;
    Button* button = nullptr;
    int acted = 0, behind = 0;
};

TEST_F(ButtonTest, DimsAsDrawnWhileHeldAndActsOnlyOnAReleaseInside) {
    button->setOpacity(100);  // its owner's: "nothing to do"
    touch(Code::BEGAN, {200, 200});
    step();
    EXPECT_TRUE(button->isPressed());
    EXPECT_EQ(button->getOpacity(), 100) << "the owner's opacity is kept";
    const auto pressed = grab().at(200, 768 - 200).r;
    touch(Code::MOVED, {400, 400});
    touch(Code::ENDED, {400, 400});
    step();
    EXPECT_EQ(acted, 0) << "slid off: nothing";
    EXPECT_FALSE(button->isPressed());
    EXPECT_LT(pressed, grab().at(200, 768 - 200).r) << "darker while held";

    tap({210, 190});
    EXPECT_EQ(acted, 1);
    EXPECT_EQ(behind, 0) << "its touches go no further";
}

TEST_F(ButtonTest, ATouchAreaGrownForAFingerScalesWithItsParents) {
    button->setMinimumTouchSize(44);
    holder->setScale(0.5f);  // the button's centre now at (100, 100), 15 points square
    tap({100 + 7.5f + 3, 100});
    EXPECT_EQ(acted, 1) << "3 points outside its picture: inside the 22-point area";
    tap({100 + 7.5f + 4.5f, 100});
    EXPECT_EQ(acted, 1);
    EXPECT_EQ(behind, 1);
}

TEST_F(ButtonTest, HiddenOrRefusingButtonsLetTheTouchThrough) {
    holder->setVisible(false);
    tap({200, 200});
    holder->setVisible(true);
    button->setTouchFilter([](const Vec2&) { return false; });
    tap({200, 200});
    button->setTouchFilter(nullptr);
    button->setEnabled(false);
    tap({200, 200});
    EXPECT_EQ(acted, 0);
    EXPECT_EQ(behind, 3);
}

TEST_F(ButtonTest, AnActionMayTakeItsButtonAway) {
    button->setAction([this] { button->removeFromParent(); });
    tap({200, 200});
    step();
    EXPECT_EQ(holder->getChildrenCount(), 0u);
    tap({200, 200});
    EXPECT_EQ(behind, 1);
}

} // namespace
