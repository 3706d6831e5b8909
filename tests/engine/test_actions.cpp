// Action timing at a fixed dt, posted functions and transitions.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/core/Action.h"
#include "engine/core/Clock.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Scene.h"
#include "engine/core/Scheduler.h"
#include "engine/core/Transition.h"

using namespace engine;

namespace {

class ActionTest : public ::testing::Test {
protected:
    void SetUp() override {
        Director::getInstance()->reset();
        scene = Scene::create();
        Director::getInstance()->runWithScene(scene);
        node = Node::create();
        scene->addChild(node);
    }
    void TearDown() override { Director::getInstance()->reset(); }
    void step(int frames, float dt) {
        for (int i = 0; i < frames; ++i) Director::getInstance()->mainLoop(dt);
    }
    Scene* scene = nullptr;
    Node* node = nullptr;
};

} // namespace

TEST_F(ActionTest, DelayThenCallFiresInTheFrameTheDelayEnds) {
    for (float dt : {0.1f, 1.0f / 60}) {
        int fired = 0;
        double firedAt = -1;
        node->runAction(Sequence::create(DelayTime::create(0.3f), CallFunc::create([&] {
            ++fired;
            firedAt = Clock::now();
        })));
        double start = Clock::now() + dt;  // the first frame starts the action
        int frames = 0;
        while (!fired && frames < 100) {
            step(1, dt);
            ++frames;
        }
        EXPECT_EQ(fired, 1) << "dt " << dt;
        EXPECT_NEAR(firedAt - start, 0.3, 1e-4) << "dt " << dt;
        step(30, dt);
        EXPECT_EQ(fired, 1) << "dt " << dt;
        EXPECT_EQ(node->getNumberOfRunningActions(), 0u);
    }
}

TEST_F(ActionTest, OneHugeFrameFinishesEveryStepOnceAndInOrder) {
    std::vector<int> order;
    node->runAction(Sequence::create(DelayTime::create(0.3f), CallFunc::create([&] { order.push_back(1); }),
                                     MoveTo::create(0.5f, {10, 10}), CallFunc::create([&] { order.push_back(2); }),
                                     DelayTime::create(2.0f), CallFunc::create([&] { order.push_back(3); })));
    step(1, 1.0f / 60);
    EXPECT_TRUE(order.empty());
    step(1, 100.0f);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(node->getPosition(), Vec2(10, 10));
    step(5, 100.0f);
    EXPECT_EQ(order.size(), 3u);
}

TEST_F(ActionTest, RepeatForeverKeepsTheBeatAcrossRounds) {
    node->runAction(RepeatForever::create(RotateBy::create(0.1f, 45)));
    step(1, 0.1f);  // starts
    step(10, 0.1f);
    EXPECT_NEAR(node->getRotation(), 450, 1e-2);
    // Frames that do not line up with the rounds lose no time.
    step(4, 0.25f);
    EXPECT_NEAR(node->getRotation(), 900, 1e-2);
    step(1, 0.05f);
    EXPECT_NEAR(node->getRotation(), 922.5, 1e-2);
    EXPECT_EQ(node->getNumberOfRunningActions(), 1u);
}

TEST_F(ActionTest, MoveToLandsOnTargetFromWhereverTheNodeIs) {
    node->setPosition(50, 50);
    node->runAction(MoveTo::create(1.0f, {100, 0}));
    step(1, 0.5f);
    step(1, 0.5f);
    EXPECT_NEAR(node->getPositionX(), 75, 1e-3);
    EXPECT_NEAR(node->getPositionY(), 25, 1e-3);
    step(1, 0.5f);
    EXPECT_EQ(node->getPosition(), Vec2(100, 0));

    node->runAction(MoveBy::create(0.2f, {-10, 5}));
    step(1, 0.1f);
    step(3, 0.1f);
    EXPECT_EQ(node->getPosition(), Vec2(90, 5));
}

TEST_F(ActionTest, EaseExponentialOutShapesTheTime) {
    EXPECT_FLOAT_EQ(EaseExponentialOut::ease(0), 0);
    EXPECT_FLOAT_EQ(EaseExponentialOut::ease(0.1f), 0.5f);
    EXPECT_FLOAT_EQ(EaseExponentialOut::ease(0.5f), 0.96875f);
    EXPECT_FLOAT_EQ(EaseExponentialOut::ease(1), 1);
    node->runAction(EaseExponentialOut::create(MoveBy::create(1.0f, {100, 0})));
    step(1, 0.1f);
    step(1, 0.1f);
    EXPECT_NEAR(node->getPositionX(), 50, 1e-3);
    step(9, 0.1f);
    EXPECT_EQ(node->getPositionX(), 100);
}

TEST_F(ActionTest, TurnToTakesTheShortWayAndSpawnRunsTogether) {
    node->runAction(Sequence::create(RotateTo::create(0.2f, Vec3(0, 90, 0)), RotateTo::create(0.2f, Vec3(0, 180, 0))));
    step(1, 0.1f);
    step(2, 0.1f);
    EXPECT_NEAR(node->getRotation3D().y, 90, 1e-3);
    step(2, 0.1f);
    EXPECT_NEAR(node->getRotation3D().y, 180, 1e-3);
    node->setRotation(350);
    node->runAction(RotateTo::create(0.1f, 10));
    step(1, 0.05f);
    step(1, 0.05f);
    EXPECT_NEAR(node->getRotation(), 360, 1e-3);

    node->setOpacity(0);
    node->runAction(Spawn::create(FadeIn::create(0.2f), ScaleTo::create(0.4f, 3)));
    step(1, 0.1f);
    step(2, 0.1f);
    EXPECT_EQ(node->getOpacity(), 255);
    EXPECT_NEAR(node->getScale(), 2, 1e-3);
    step(2, 0.1f);
    EXPECT_NEAR(node->getScale(), 3, 1e-3);
    node->runAction(FadeTo::create(0.1f, 64));
    step(2, 0.1f);
    EXPECT_EQ(node->getOpacity(), 64);
}

TEST_F(ActionTest, RemoveSelfEndsTheNodeAndItsActions) {
    Node* doomed = Node::create();
    scene->addChild(doomed);
    int after = 0;
    doomed->runAction(Sequence::create(DelayTime::create(0.1f), RemoveSelf::create(),
                                       CallFunc::create([&] { ++after; })));
    doomed->runAction(RepeatForever::create(RotateBy::create(1, 10)));
    step(1, 0.1f);
    step(1, 0.1f);
    EXPECT_EQ(scene->getChildrenCount(), 1u);  // only `node` is left
    EXPECT_EQ(after, 0) << "cleanup stopped the rest of the sequence";
    step(3, 0.1f);
}

TEST_F(ActionTest, ActionsWaitWhileTheirNodeIsOffTheScene) {
    Node* off = Node::create();
    off->retain();
    off->runAction(MoveBy::create(1, {100, 0}));
    step(5, 0.5f);
    EXPECT_EQ(off->getPositionX(), 0);
    scene->addChild(off);
    step(1, 0.5f);
    step(1, 0.5f);
    EXPECT_NEAR(off->getPositionX(), 50, 1e-3);
    off->release();
}

namespace {
struct Tweened : Node, ActionTweenDelegate {
    std::vector<std::pair<std::string, float>> seen;
    void updateTweenAction(float value, const std::string& key) override { seen.emplace_back(key, value); }
};
} // namespace

TEST_F(ActionTest, TweenReportsEveryStepToItsDelegate) {
    auto* t = new Tweened();
    t->autorelease();
    scene->addChild(t);
    t->runAction(ActionTween::create(1, "zoom", 1, 3));
    step(1, 0.5f);
    step(2, 0.5f);
    ASSERT_EQ(t->seen.size(), 3u);
    EXPECT_EQ(t->seen[1], (std::pair<std::string, float>("zoom", 2.0f)));
    EXPECT_EQ(t->seen[2].second, 3.0f);
}

TEST(PostedFunctions, RunOnceEachOnTheMainThreadInPostingOrder) {
    Director* d = Director::getInstance();
    d->reset();
    Scheduler* s = d->getScheduler();
    const int threads = 4, perThread = 2000;
    std::vector<std::pair<int, int>> ran;
    std::atomic<bool> offMainThread{false};
    std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                s->performFunctionInCocosThread([&, t, i] {
                    if (std::this_thread::get_id() != mainThread) offMainThread = true;
                    ran.emplace_back(t, i);
                });
            ++finished;
        });
    // Frames run while the workers post.
    while (finished < threads || s->pendingFunctionCount() > 0) {
        d->mainLoop(1.0f / 60);
        std::this_thread::yield();
    }
    for (auto& w : workers) w.join();
    d->mainLoop(1.0f / 60);
    EXPECT_FALSE(offMainThread);
    ASSERT_EQ(ran.size(), static_cast<size_t>(threads * perThread));
    std::vector<int> next(threads, 0);
    for (auto [t, i] : ran) {
        EXPECT_EQ(i, next[t]) << "thread " << t;
        next[t] = i + 1;
    }

    // One posted from a posted function waits for the next frame.
    int stage = 0;
    s->performFunctionInCocosThread([&] {
        stage = 1;
        s->performFunctionInCocosThread([&] { stage = 2; });
    });
    d->mainLoop(1.0f / 60);
    EXPECT_EQ(stage, 1);
    d->mainLoop(1.0f / 60);
    EXPECT_EQ(stage, 2);
    d->reset();
}

TEST_F(ActionTest, SlideInTransitionHandsOverAndBlocksInputMeanwhile) {
    Director* d = Director::getInstance();
    RefPtr<Scene> old = scene;  // the transition lets it go at the end
    Scene* next = Scene::create();
    auto* transition = TransitionSlideInT::create(0.5f, next);
    ASSERT_NE(transition, nullptr);
    d->replaceScene(transition);
    step(1, 0.1f);
    EXPECT_EQ(d->getRunningScene(), transition);
    EXPECT_FALSE(d->getEventDispatcher() && d->getEventDispatcher()->isEnabled());
    EXPECT_GT(next->getPositionY(), 0) << "comes in from the top";
    EXPECT_TRUE(next->isRunning());
    step(6, 0.1f);
    step(1, 0.1f);
    EXPECT_EQ(d->getRunningScene(), next);
    EXPECT_EQ(next->getPosition(), Vec2::ZERO);
    EXPECT_FALSE(old->isRunning());
    EXPECT_TRUE(next->isRunning());
    ASSERT_NE(d->getEventDispatcher(), nullptr);
    EXPECT_TRUE(d->getEventDispatcher()->isEnabled());

    Scene* third = Scene::create();
    d->replaceScene(TransitionSlideInB::create(0.2f, third));
    step(2, 0.1f);
    EXPECT_LT(third->getPositionY(), 0) << "comes in from the bottom";
    step(5, 0.1f);
    EXPECT_EQ(d->getRunningScene(), third);
}

TEST_F(ActionTest, ADelayOnItsOwnEndsInTheFrameItsTimeIsUp) {
    // Frame 1 starts it; frames 2 to 4 count 0.3 s.
    node->runAction(DelayTime::create(0.3f));
    step(3, 0.1f);
    EXPECT_EQ(node->getNumberOfRunningActions(), 1u);
    step(1, 0.1f);
    EXPECT_EQ(node->getNumberOfRunningActions(), 0u) << "a frame late";

    // The same inside a repeat: each round takes exactly its time.
    int rounds = 0;
    node->runAction(RepeatForever::create(
        Sequence::create(DelayTime::create(0.2f), CallFunc::create([&] { ++rounds; }))));
    step(1, 0.1f);
    step(6, 0.1f);
    EXPECT_EQ(rounds, 3);
}

TEST_F(ActionTest, MovesAddUpAndKeepAPositionSetWhileTheyRun) {
    node->setPosition(0, 0);
    node->runAction(MoveBy::create(1, {100, 0}));
    node->runAction(MoveBy::create(1, {0, 50}));
    step(1, 0.5f);
    step(2, 0.5f);
    EXPECT_EQ(node->getPosition(), Vec2(100, 50)) << "two moves add up";

    // A card grabbed half way home: the drag is kept, the move goes on from there.
    node->setPosition(0, 0);
    node->runAction(MoveTo::create(1, {100, 0}));
    step(1, 0.5f);
    step(1, 0.5f);
    EXPECT_NEAR(node->getPositionX(), 50, 1e-3);
    node->setPosition(node->getPosition() + Vec2(0, 200));  // the finger lifts it
    step(1, 0.25f);
    EXPECT_NEAR(node->getPositionX(), 75, 1e-3);
    EXPECT_NEAR(node->getPositionY(), 200, 1e-3) << "the lift is kept, not pulled back along the path";
    step(2, 0.25f);
    EXPECT_NEAR(node->getPositionX(), 100, 1e-3);
    EXPECT_NEAR(node->getPositionY(), 200, 1e-3);
}

TEST_F(ActionTest, TurnToLandsOnTheAskedAnglesFromAnyStart) {
    node->setRotation3D(Vec3(0, 540, 720));
    node->runAction(RotateTo::create(0.2f, Vec3(0, 180, 90)));
    step(1, 0.1f);
    step(2, 0.1f);
    EXPECT_NEAR(node->getRotation3D().y, 180, 1e-3);
    EXPECT_NEAR(node->getRotation3D().z, 90, 1e-3);

    // Whole turns either way are taken off before the short way is chosen.
    node->setRotation3D(Vec3(0, 900, -360));
    node->runAction(RotateTo::create(0.2f, Vec3(0, 0, 45)));
    step(1, 0.1f);
    step(1, 0.1f);
    EXPECT_NEAR(node->getRotation3D().y, 90, 1e-3) << "half way from 180 down to 0";
    step(1, 0.1f);
    EXPECT_NEAR(node->getRotation3D().y, 0, 1e-3);
    EXPECT_NEAR(node->getRotation3D().z, 45, 1e-3);
}

TEST_F(ActionTest, ATimersFirstUpdateOnlyStartsTheCount) {
    // At dt 0.1: frame 1 starts it, frames 2 to 6 count 0.5 s.
    int frame = 0, firedOn = 0, repeats = 0;
    node->scheduleOnce([&](float) { firedOn = frame; }, 0.5f, "once");
    node->schedule([&](float) { ++repeats; }, 0.2f, "every");
    for (frame = 1; frame <= 10; ++frame) step(1, 0.1f);
    EXPECT_EQ(firedOn, 6);
    EXPECT_EQ(repeats, 4) << "frames 3, 5, 7 and 9";

    // The long presses: 0.7 s at 60 frames a second fires 43 frames on.
    firedOn = 0;
    node->scheduleOnce([&](float) { firedOn = frame; }, 0.7f, "press");
    for (frame = 1; frame <= 60; ++frame) step(1, 1.0f / 60);
    EXPECT_EQ(firedOn, 43);
}

TEST_F(ActionTest, PausingANodeHoldsWhatItHasNowAndNothingLater) {
    // Paused with nothing scheduled: what comes later runs.
    node->pause();
    int ticks = 0;
    node->schedule([&](float) { ++ticks; }, "later");
    node->runAction(MoveBy::create(0.2f, {10, 0}));
    step(4, 0.1f);
    EXPECT_GT(ticks, 0) << "a timer scheduled after the pause";
    EXPECT_EQ(node->getPositionX(), 10) << "an action run after the pause";

    // Paused with a timer and an action: those hold, newer ones run.
    int held = 0, fresh = 0;
    node->schedule([&](float) { ++held; }, "held");
    node->runAction(MoveBy::create(0.2f, {0, 10}));
    step(1, 0.1f);
    node->pause();
    int heldBefore = held;
    float yBefore = node->getPositionY();
    node->schedule([&](float) { ++fresh; }, "fresh");
    step(4, 0.1f);
    EXPECT_EQ(held, heldBefore);
    EXPECT_EQ(node->getPositionY(), yBefore);
    EXPECT_GT(fresh, 0);
    node->resume();
    step(4, 0.1f);
    EXPECT_GT(held, heldBefore);
    EXPECT_EQ(node->getPositionY(), 10);

    // A node off the scene waits; added to the running scene, it runs.
    RefPtr<Node> off = Node::create();
    int offTicks = 0;
    off->schedule([&](float) { ++offTicks; }, "off");
    off->runAction(MoveBy::create(0.2f, {10, 0}));
    step(3, 0.1f);
    EXPECT_EQ(offTicks, 0);
    scene->addChild(off);
    step(4, 0.1f);
    EXPECT_GT(offTicks, 0);
    EXPECT_EQ(off->getPositionX(), 10);
}
