// The scroll view driven as a finger drives it: injected touches, frames of
// 1/60 s, and what the content, the delegate and the screen show.
#include <cmath>

#include "engine/core/EventDispatcher.h"
#include "engine/platform/RenderTexture.h"
#include "ui/FieldScrollView.h"
#include "support/HeadlessTest.h"

using namespace engine;
using Code = EventTouch::EventCode;

namespace {

struct Counting : FieldScrollViewDelegate {
    int scrolled = 0, zoomed = 0;
    void onScrolled(FieldScrollView*) override { ++scrolled; }
    void onZoomed(FieldScrollView*) override { ++zoomed; }
};

class ScrollViewTest : public testsupport::HeadlessTest {
protected:
    // A 400 x 300 window at (100, 100) onto 800 x 1200 of content, its top in view.
    void SetUp() override {
        HeadlessTest::SetUp();
        view->setDotsPerInch(96);  // the slop is 0.04375 inch: 4.2 points here
        scene = runScene();
        scroll = FieldScrollView::create(Size(400, 300));
        scroll->setPosition(100, 100);
        scroll->setContentSize(Size(800, 1200));
        scroll->scrollTo(Vec2(0, -900), false);
        scroll->setDelegate(&counts);
        scene->addChild(scroll);
        counts = Counting();
    }
    void TearDown() override {
        view->setDotsPerInch(0);
        HeadlessTest::TearDown();
    }
    void touch(Code code, Vec2 at, int id = 0) {
        Director::getInstance()->getEventDispatcher()->dispatchTouch(code, id, at);
    }
    Vec2 offset() const { return scroll->getScrollOffset(); }
    // Frames until the view is still, at most `limit`.
    int settle(int limit = 600) {
        int frames = 0;
        while ((scroll->isCoasting() || scroll->isAnimatingScroll()) && frames < limit) {
            step();
            ++frames;
        }
        return frames;
    }

    Scene* scene = nullptr;
    FieldScrollView* scroll = nullptr;
    Counting counts;
};

} // namespace

TEST_F(ScrollViewTest, TheFingerMustPassTheSlopAndItsFirstMoveOnlyStartsThePan) {
    touch(Code::BEGAN, {300, 250});
    EXPECT_TRUE(scroll->isPressed());
    touch(Code::MOVED, {300, 246});  // 4 points: inside the slop
    EXPECT_EQ(offset(), Vec2(0, -900));
    EXPECT_FALSE(scroll->isPanning());
    touch(Code::MOVED, {300, 244.5f});  // 5.5 points from the press: past it
    EXPECT_TRUE(scroll->isPanning());
    EXPECT_EQ(offset(), Vec2(0, -900)) << "the first move past the slop moves nothing";
    touch(Code::MOVED, {290, 264.5f});
    EXPECT_EQ(offset(), Vec2(-10, -880));
    touch(Code::MOVED, {280, 284.5f});
    EXPECT_EQ(offset(), Vec2(-20, -860));
    EXPECT_EQ(counts.scrolled, 3) << "told of every move past the slop, the still first one too";
    touch(Code::CANCELLED, {280, 284.5f});
    EXPECT_FALSE(scroll->isPressed());
    EXPECT_FALSE(scroll->isCoasting()) << "a cancelled touch starts no inertia";

    // The slop is in inches: on a screen of twice the density it is twice the points.
    view->setDotsPerInch(192);
    touch(Code::BEGAN, {300, 250});
    touch(Code::MOVED, {300, 244});  // 6 points, under 8.4
    EXPECT_FALSE(scroll->isPanning());
    touch(Code::MOVED, {300, 241});
    EXPECT_TRUE(scroll->isPanning());
    touch(Code::CANCELLED, {300, 241});
}

TEST_F(ScrollViewTest, PastAnEdgeTheContentFollowsAtARubberBandAndSpringsBack) {
    // The top of the content is in view: dragging down pulls it past its edge.
    touch(Code::BEGAN, {300, 250});
    touch(Code::MOVED, {300, 244});
    touch(Code::MOVED, {300, 234});
    EXPECT_FLOAT_EQ(offset().y, -910) << "still inside when this move began";
    touch(Code::MOVED, {300, 224});
    EXPECT_FLOAT_EQ(offset().y, -913.5f) << "0.35 of the finger's 10 points";
    touch(Code::MOVED, {300, 214});
    EXPECT_FLOAT_EQ(offset().y, -917);
    touch(Code::ENDED, {300, 214});
    EXPECT_TRUE(scroll->isCoasting());
    int frames = settle();
    EXPECT_LT(frames, 120) << "back within two seconds";
    EXPECT_NEAR(offset().y, -900, 0.05) << "sprung back to the edge";
    EXPECT_FALSE(scroll->isCoasting());
}

TEST_F(ScrollViewTest, AFlickCoastsAtHalfItsLastStepAndDecaysToAStop) {
    scroll->scrollTo(Vec2(-200, -800), false);
    touch(Code::BEGAN, {300, 200});
    touch(Code::MOVED, {300, 210});
    touch(Code::MOVED, {300, 230});
    touch(Code::MOVED, {300, 250});
    touch(Code::ENDED, {300, 250});
    // The last step spans the last two moves: 40 points.
    EXPECT_FLOAT_EQ(scroll->getVelocity().y, 20.01f) << "half of 40, plus 0.01 in its direction";
    EXPECT_FLOAT_EQ(scroll->getVelocity().x, -0.01f) << "a still axis gets -0.01";
    step();  // the first frame of a schedule only starts it
    float before = offset().y;
    step();
    EXPECT_NEAR(scroll->getVelocity().y, 20.01f * 0.96f, 1e-4);
    EXPECT_NEAR(offset().y - before, 20.01f * 0.96f, 1e-3);
    step(9);
    EXPECT_NEAR(scroll->getVelocity().y, 20.01f * std::pow(0.96f, 10), 1e-3);
    int frames = settle(1000);
    // 20.01 x 0.96^n falls under 0.01 at n = 187; 11 frames have run.
    EXPECT_NEAR(frames, 189 - 11, 2);
    EXPECT_EQ(scroll->getVelocity(), Vec2::ZERO);
    EXPECT_NEAR(offset().y, -760 + 480.0, 0.5) << "the sum of the decaying steps";
    EXPECT_NEAR(offset().x, -200, 0.05);

    // A press stops the coasting at once.
    touch(Code::BEGAN, {300, 200});
    touch(Code::MOVED, {300, 230});
    touch(Code::MOVED, {300, 250});
    touch(Code::ENDED, {300, 250});
    step(5);
    touch(Code::BEGAN, {300, 200});
    step(2);
    EXPECT_FALSE(scroll->isCoasting());
    touch(Code::ENDED, {300, 200});
}

TEST_F(ScrollViewTest, WithoutElasticityOnlyYIsHeldWithinTheContent) {
    scroll->setElastic(false);
    scroll->scrollTo(Vec2(-5000, 500), false);
    EXPECT_EQ(offset(), Vec2(-5000, 0)) << "x may go anywhere, y stops at the bottom edge";
    scroll->scrollTo(Vec2(30, -2000), false);
    EXPECT_EQ(offset(), Vec2(30, -900));
    // A flick towards the edge stops there rather than passing it.
    scroll->scrollTo(Vec2(0, -880), false);
    touch(Code::BEGAN, {300, 250});
    touch(Code::MOVED, {300, 240});
    touch(Code::MOVED, {300, 220});
    touch(Code::MOVED, {300, 200});
    touch(Code::ENDED, {300, 200});
    for (int frame = 0; frame < 300 && scroll->isCoasting(); ++frame) {
        step();
        ASSERT_GE(offset().y, -900) << "past the edge in frame " << frame;
    }
    EXPECT_FLOAT_EQ(offset().y, -900);
}

TEST_F(ScrollViewTest, AnimatedScrollsEaseOutOverTwiceTheirDuration) {
    scroll->animateScrollTo(Vec2(0, -400), 0.5f);
    step();  // starts
    step(6);  // 0.1 of 1.0 s
    EXPECT_NEAR(offset().y, -900 + 500 * 0.5, 1.0) << "exponential ease: half way after a tenth";
    step(54);
    EXPECT_FLOAT_EQ(offset().y, -400);
    EXPECT_FALSE(scroll->isAnimatingScroll());
    int told = counts.scrolled;
    EXPECT_GE(told, 60) << "told of every frame";

    // clampToBounds corrects with the standard 0.3 s animation.
    scroll->scrollTo(Vec2(50, 100), false);
    scroll->clampToBounds();
    settle();
    EXPECT_EQ(offset(), Vec2(0, 0));
    scroll->setScrollAxis(FieldScrollView::Vertical);
    scroll->scrollTo(Vec2(50, 100), false);
    scroll->clampToBounds();
    settle();
    EXPECT_EQ(offset(), Vec2(50, 0)) << "only the axis that scrolls";
}

TEST_F(ScrollViewTest, PinchingZoomsWithinTheLimitsAroundTheWindowCentre) {
    scroll->scrollTo(Vec2(-200, -450), false);
    // The limits start closed: a pinch changes nothing.
    touch(Code::BEGAN, {250, 250}, 1);
    touch(Code::BEGAN, {350, 250}, 2);
    touch(Code::MOVED, {450, 250}, 2);
    EXPECT_EQ(scroll->getZoom(), 1);
    touch(Code::ENDED, {250, 250}, 1);
    touch(Code::ENDED, {450, 250}, 2);
    counts = Counting();

    scroll->setMinZoom(0.5f);
    scroll->setMaxZoom(1.0f);
    Vec2 centre(300, 250);  // the window's centre on the screen
    Vec2 under = scroll->getContainer()->convertToNodeSpace(centre);
    touch(Code::BEGAN, {200, 250}, 1);
    touch(Code::BEGAN, {400, 250}, 2);  // 200 apart
    touch(Code::MOVED, {350, 250}, 2);  // 150 apart
    EXPECT_FLOAT_EQ(scroll->getZoom(), 0.75f);
    Vec2 now = scroll->getContainer()->convertToWorldSpace(under);
    EXPECT_NEAR(now.x, centre.x, 1e-3);
    EXPECT_NEAR(now.y, centre.y, 1e-3);
    touch(Code::MOVED, {220, 250}, 2);  // 20 apart: far below the limit
    EXPECT_FLOAT_EQ(scroll->getZoom(), 0.5f);
    touch(Code::MOVED, {900, 250}, 2);
    EXPECT_FLOAT_EQ(scroll->getZoom(), 1.0f);
    EXPECT_EQ(counts.zoomed, 3);
    EXPECT_GE(counts.scrolled, 3) << "every zoom moves the content too";
    touch(Code::ENDED, {200, 250}, 1);
    touch(Code::ENDED, {900, 250}, 2);
}

TEST_F(ScrollViewTest, TwoFingersAtOnePointNeverMakeTheFieldVanish) {
    scroll->setMinZoom(0.5f);
    scroll->setMaxZoom(1.0f);
    touch(Code::BEGAN, {300, 250}, 1);
    touch(Code::BEGAN, {300, 250}, 2);
    touch(Code::MOVED, {300, 250}, 2);  // 0 of 0
    EXPECT_EQ(scroll->getZoom(), 1);
    touch(Code::MOVED, {300.5f, 250}, 2);
    EXPECT_EQ(scroll->getZoom(), 1);
    EXPECT_TRUE(std::isfinite(offset().x) && std::isfinite(offset().y));
    touch(Code::MOVED, {340, 250}, 2);  // 40 apart: the pinch starts here
    EXPECT_EQ(scroll->getZoom(), 1);
    touch(Code::MOVED, {330, 250}, 2);  // 30 of 40
    EXPECT_FLOAT_EQ(scroll->getZoom(), 0.75f);
    touch(Code::ENDED, {300, 250}, 1);
    touch(Code::ENDED, {330, 250}, 2);
}

TEST_F(ScrollViewTest, AThirdFingerIsTakenAndStillsThePinchAFourthIsNot) {
    scroll->setMinZoom(0.5f);
    touch(Code::BEGAN, {200, 250}, 1);
    touch(Code::BEGAN, {400, 250}, 2);
    touch(Code::BEGAN, {300, 150}, 3);
    EXPECT_EQ(scroll->getActiveTouchCount(), 3u);
    touch(Code::BEGAN, {300, 350}, 4);
    EXPECT_EQ(scroll->getActiveTouchCount(), 3u) << "a fourth finger is refused";
    touch(Code::MOVED, {300, 250}, 2);
    touch(Code::MOVED, {300, 200}, 3);
    EXPECT_EQ(scroll->getZoom(), 1) << "with three fingers, moves do nothing";
    EXPECT_EQ(offset(), Vec2(0, -900));
    for (int id : {1, 2, 3, 4}) touch(Code::ENDED, {300, 250}, id);
    EXPECT_EQ(scroll->getActiveTouchCount(), 0u);
    EXPECT_FALSE(scroll->isPressed());
    // While one finger pans, a second is refused.
    touch(Code::BEGAN, {300, 250}, 1);
    touch(Code::MOVED, {300, 260}, 1);
    touch(Code::BEGAN, {200, 200}, 2);
    EXPECT_EQ(scroll->getActiveTouchCount(), 1u);
    touch(Code::ENDED, {300, 260}, 1);
    touch(Code::ENDED, {200, 200}, 2);
}

TEST_F(ScrollViewTest, NothingOutsideTheWindowCanBeTouched) {
    // A button inside the content that takes every press on it.
    int pressed = 0;
    auto* button = LayerColor::create(Color4B(255, 0, 0, 255), 100, 50);
    button->setPosition(50, 1000);  // in view: the window shows content y 900 to 1200
    scroll->addChild(button);
    EXPECT_EQ(button->getParent(), scroll->getContainer());
    auto* listener = EventListenerTouchOneByOne::create();
    listener->onTouchBegan = [&](Touch* t, Event*) {
        Vec2 p = button->convertToNodeSpace(t->getLocation());
        bool inside = Rect(0, 0, 100, 50).containsPoint(p);
        pressed += inside;
        return inside;
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, button);
    Vec2 onButton(175, 225);  // (100, 100) + (50, 1000) + (0, -900) + a bit
    touch(Code::BEGAN, onButton);
    touch(Code::ENDED, onButton);
    EXPECT_EQ(pressed, 1);

    // Scrolled towards the window's lower edge, the button still on the screen.
    scroll->scrollTo(Vec2(0, -960), false);  // the button spans y 140 to 190: inside
    touch(Code::BEGAN, {175, 160});
    touch(Code::ENDED, {175, 160});
    EXPECT_EQ(pressed, 2);
    scroll->scrollTo(Vec2(0, -1030), false);  // spans y 70 to 120: half out below the window's 100
    touch(Code::BEGAN, {175, 80});
    EXPECT_EQ(pressed, 2) << "the part scrolled out of the window";
    EXPECT_EQ(scroll->getActiveTouchCount(), 0u) << "nor does the view claim it";
    touch(Code::ENDED, {175, 80});
    touch(Code::BEGAN, {175, 110});
    touch(Code::ENDED, {175, 110});
    EXPECT_EQ(pressed, 3);

    // A hidden view takes nothing at all.
    scroll->setVisible(false);
    touch(Code::BEGAN, {300, 250});
    EXPECT_EQ(scroll->getActiveTouchCount(), 0u);
    touch(Code::ENDED, {300, 250});
}

TEST_F(ScrollViewTest, DrawingIsClippedToTheWindowAndANestedWindowOutsideDrawsNothing) {
    scene->addChild(LayerColor::create(Color4B(0, 0, 0, 255)), -1);
    scroll->addChild(LayerColor::create(Color4B(0, 0, 255, 255), 800, 1200));
    // A second view inside the first whose window lies beside the first's.
    auto* inner = FieldScrollView::create(Size(100, 100));
    inner->setPosition(500, 950);  // on the screen at (600, 150): right of the outer window
    inner->addChild(LayerColor::create(Color4B(255, 0, 0, 255), 100, 100));
    scroll->addChild(inner);
    // And one that overlaps the outer window's right edge.
    auto* edge = FieldScrollView::create(Size(100, 100));
    edge->setPosition(350, 950);  // on the screen from x 450 to 550; the outer window ends at 500
    edge->addChild(LayerColor::create(Color4B(0, 255, 0, 255), 100, 100));
    scroll->addChild(edge);
    step();
    testsupport::Frame f = grab();
    auto at = [&](float x, float y) { return f.at(static_cast<int>(x), static_cast<int>(768 - 1 - y)); };
    EXPECT_TRUE(testsupport::colorNear(at(300, 250), 0, 0, 255));
    EXPECT_TRUE(testsupport::colorNear(at(50, 250), 0, 0, 0)) << "left of the window";
    EXPECT_TRUE(testsupport::colorNear(at(300, 450), 0, 0, 0)) << "above the window";
    EXPECT_TRUE(testsupport::colorNear(at(650, 200), 0, 0, 0)) << "the nested window outside draws nothing";
    EXPECT_TRUE(testsupport::colorNear(at(480, 200), 0, 255, 0));
    EXPECT_TRUE(testsupport::colorNear(at(520, 200), 0, 0, 0)) << "only where both windows show";
    for (int y = 0; y < f.height(); y += 7)
        for (int x = 0; x < f.width(); x += 7) ASSERT_LT(f.at(x, y).r, 10) << "red at " << x << ", " << y;
}

TEST_F(ScrollViewTest, AnAxisLockedViewMovesOnlyAlongItsAxisAndATweenZooms) {
    scroll->scrollTo(Vec2(-200, -450), false);
    scroll->setScrollAxis(FieldScrollView::Horizontal);
    touch(Code::BEGAN, {300, 250});
    touch(Code::MOVED, {300, 240});  // 10 down, but only x counts: inside the slop
    EXPECT_FALSE(scroll->isPanning());
    touch(Code::MOVED, {290, 240});
    touch(Code::MOVED, {270, 200});
    EXPECT_EQ(offset(), Vec2(-220, -450));
    touch(Code::CANCELLED, {270, 200});

    scroll->setScrollAxis(FieldScrollView::Vertical);
    touch(Code::BEGAN, {300, 250});
    touch(Code::MOVED, {300, 260});
    touch(Code::MOVED, {250, 280});
    EXPECT_EQ(offset(), Vec2(-220, -430));
    touch(Code::CANCELLED, {250, 280});

    // The zoom can be tweened; the tween's key does not matter.
    scroll->setMinZoom(0.5f);
    scroll->runAction(ActionTween::create(0.2f, "zoom", 1.0f, 0.5f));
    step(1);
    step(6);
    EXPECT_NEAR(scroll->getZoom(), 0.75f, 1e-3);
    step(6);
    EXPECT_FLOAT_EQ(scroll->getZoom(), 0.5f);
}

TEST_F(ScrollViewTest, AFingerOrAScrollSetAtOnceEndsAnAnimatedScroll) {
    scroll->animateScrollTo(Vec2(0, -100), 0.5f);
    step(1);
    step(10);
    touch(Code::BEGAN, {300, 250});
    EXPECT_FALSE(scroll->isAnimatingScroll()) << "the finger takes the content over";
    float held = offset().y;
    step(60);
    EXPECT_FLOAT_EQ(offset().y, held) << "nothing pulls it from under the finger";
    touch(Code::ENDED, {300, 250});

    scroll->animateScrollTo(Vec2(0, -100), 0.5f);
    step(5);
    scroll->scrollTo(Vec2(0, -600), false);
    step(60);
    EXPECT_EQ(offset(), Vec2(0, -600));

    // Emptying the view keeps its content node: it still scrolls.
    scroll->removeAllChildren();
    ASSERT_NE(scroll->getContainer(), nullptr);
    EXPECT_EQ(scroll->getContainer()->getChildrenCount(), 0u);
    scroll->scrollTo(Vec2(0, -300), false);
    EXPECT_EQ(offset(), Vec2(0, -300));
}

TEST_F(ScrollViewTest, RemovingTheContentNodePutsAnEmptyOneInItsPlace) {
    RefPtr<Node> old = scroll->getContainer();
    scroll->animateScrollTo(Vec2(0, -100), 0.5f);
    step(3);
    scroll->removeChild(old);
    float leftAt = old->getPositionY();
    Node* fresh = scroll->getContainer();
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, old.get());
    EXPECT_EQ(fresh->getParent(), scroll);
    EXPECT_EQ(fresh->getChildrenCount(), 0u);
    EXPECT_EQ(offset(), Vec2::ZERO);
    EXPECT_EQ(fresh->getAnchorPoint(), Vec2::ZERO);
    EXPECT_FALSE(fresh->isIgnoreAnchorPointForPosition());
    EXPECT_EQ(scroll->getZoom(), 1);
    EXPECT_FALSE(scroll->isAnimatingScroll()) << "the old content's animation went with it";

    // The view works on: children go into the new content, a drag scrolls it.
    scroll->setContentSize(Size(800, 1200));
    auto* card = Node::create();
    scroll->addChild(card);
    EXPECT_EQ(card->getParent(), fresh);
    touch(Code::BEGAN, {300, 250});
    touch(Code::MOVED, {300, 240});
    touch(Code::MOVED, {300, 220});
    touch(Code::MOVED, {300, 200});
    touch(Code::ENDED, {300, 200});
    EXPECT_EQ(offset(), Vec2(0, -40));
    settle();
    EXPECT_LT(offset().y, -40) << "it coasted on";
    scroll->setMinZoom(0.5f);
    scroll->setZoomAround(0.5f, {300, 250});
    EXPECT_FLOAT_EQ(scroll->getZoom(), 0.5f);
    EXPECT_EQ(old->getPositionY(), leftAt) << "nothing moves the removed content";
}

TEST_F(ScrollViewTest, TheClipFollowsTheTransformTheViewIsDrawnWith) {
    scene->addChild(LayerColor::create(Color4B(0, 0, 0, 255)), -1);
    scroll->addChild(LayerColor::create(Color4B(0, 0, 255, 255), 800, 1200));
    // In a holder moved and halved: the window lies at (250, 100), 200 x 150.
    RefPtr<Node> keep = scroll;
    scroll->removeFromParentAndCleanup(false);
    auto* holder = Node::create();
    holder->setPosition(200, 50);
    holder->setScale(0.5f);
    holder->addChild(scroll);
    scene->addChild(holder);
    step();
    testsupport::Frame f = grab();
    auto at = [&](float x, float y) { return f.at(static_cast<int>(x), static_cast<int>(768 - 1 - y)); };
    EXPECT_TRUE(testsupport::colorNear(at(440, 240), 0, 0, 255));
    EXPECT_TRUE(testsupport::colorNear(at(460, 175), 0, 0, 0));
    EXPECT_TRUE(testsupport::colorNear(at(350, 260), 0, 0, 0));

    // Drawn into a picture as if at the root, the holder does not count:
    // the window lies at (100, 100), 400 x 300, in the picture's points.
    RenderTexture* picture = RenderTexture::create(600, 500);
    ASSERT_NE(picture, nullptr);
    picture->beginWithClear(0, 0, 0, 1);
    picture->visitNode(scroll);
    picture->end();
    testsupport::Frame p(picture->readPixels());
    ASSERT_TRUE(p.valid());
    const float scale = p.width() / 600.0f;  // the content scale factor's pixels
    auto in = [&](float x, float y) {
        return p.at(static_cast<int>(x * scale), static_cast<int>(p.height() - 1 - y * scale));
    };
    EXPECT_TRUE(testsupport::colorNear(in(110, 110), 0, 0, 255));
    EXPECT_TRUE(testsupport::colorNear(in(490, 390), 0, 0, 255)) << "beyond where the holder would put the window";
    EXPECT_TRUE(testsupport::colorNear(in(90, 250), 0, 0, 0));
    EXPECT_TRUE(testsupport::colorNear(in(510, 250), 0, 0, 0));
    EXPECT_TRUE(testsupport::colorNear(in(300, 410), 0, 0, 0));
}
