// The life of scenes and of the nodes in them: enter and exit, transitions,
// scene changes asked for twice, and the director's first use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Scene.h"
#include "engine/core/Transition.h"
#include "engine/platform/GLViewImpl.h"

using namespace engine;

namespace {

// Counts what a node or a scene hears of the scene's life.
template <typename Base>
struct Counting : Base {
    int enters = 0, finishes = 0, exits = 0, cleanups = 0;
    bool* alive = nullptr;
    ~Counting() override { if (alive) *alive = false; }
    void onEnter() override { Base::onEnter(); ++enters; }
    void onEnterTransitionDidFinish() override { Base::onEnterTransitionDidFinish(); ++finishes; }
    void onExit() override { Base::onExit(); ++exits; }
    void cleanup() override { Base::cleanup(); ++cleanups; }
    static Counting* make(bool* alive = nullptr) {
        auto* n = new Counting();
        n->init();
        n->alive = alive;
        if (alive) *alive = true;
        return static_cast<Counting*>(n->autorelease());
    }
};
using Listening = Counting<Node>;
using CountingScene = Counting<Scene>;

// A parent that adds its child while it enters, as scenes do in onEnter.
struct AddsOnEnter : Node {
    RefPtr<Listening> child = Listening::make();
    void onEnter() override {
        Node::onEnter();
        addChild(child);
    }
};

class SceneLifeTest : public ::testing::Test {
protected:
    void SetUp() override { Director::getInstance()->reset(); }
    void TearDown() override { Director::getInstance()->reset(); }
    void step(int frames, float dt = 0.1f) {
        for (int i = 0; i < frames; ++i) Director::getInstance()->mainLoop(dt);
    }
};

} // namespace

TEST_F(SceneLifeTest, AChildAddedWhileItsParentEntersHearsTheTransitionEndOnce) {
    // Added inside the parent's onEnter, with no transition.
    Scene* scene = Scene::create();
    auto* parent = new AddsOnEnter();
    parent->autorelease();
    scene->addChild(parent);
    Director::getInstance()->runWithScene(scene);
    EXPECT_EQ(parent->child->enters, 1);
    EXPECT_EQ(parent->child->finishes, 1);

    // Added to a scene that is running and finished: at once, once.
    Listening* late = Listening::make();
    scene->addChild(late);
    EXPECT_EQ(late->enters, 1);
    EXPECT_EQ(late->finishes, 1);

    // Added to the incoming scene while a transition runs: only when the
    // transition is over.
    Scene* next = Scene::create();
    Director::getInstance()->replaceScene(TransitionSlideInT::create(0.3f, next));
    step(2);
    Listening* during = Listening::make();
    next->addChild(during);
    EXPECT_EQ(during->enters, 1);
    EXPECT_EQ(during->finishes, 0) << "the transition is still running";
    step(10);
    ASSERT_EQ(Director::getInstance()->getRunningScene(), next);
    EXPECT_EQ(during->enters, 1);
    EXPECT_EQ(during->finishes, 1);
}

TEST_F(SceneLifeTest, AScenePushedOutBySlidingComesBackVisibleAndInPlace) {
    Director* d = Director::getInstance();
    for (bool fromTop : {true, false}) {
        RefPtr<Scene> home = Scene::create();
        d->runWithScene(home);
        RefPtr<Scene> editor = Scene::create();
        auto slide = [&](Scene* to) -> Scene* {
            return fromTop ? static_cast<Scene*>(TransitionSlideInT::create(0.3f, to))
                           : static_cast<Scene*>(TransitionSlideInB::create(0.3f, to));
        };
        d->replaceScene(slide(editor));
        step(10);
        ASSERT_EQ(d->getRunningScene(), editor.get());
        // The home screen is kept and shown again later.
        d->replaceScene(slide(home));
        step(10);
        ASSERT_EQ(d->getRunningScene(), home.get());
        EXPECT_TRUE(home->isVisible()) << (fromTop ? "top" : "bottom");
        EXPECT_EQ(home->getPosition(), Vec2::ZERO);
        EXPECT_EQ(home->getScale(), 1.0f);
        EXPECT_TRUE(editor->isVisible()) << "the scene slid out is whole again when it is kept";
        EXPECT_EQ(editor->getPosition(), Vec2::ZERO);
        d->reset();
    }
}

TEST_F(SceneLifeTest, ASceneChangeAskedForTwiceCleansUpTheSupersededScene) {
    Director* d = Director::getInstance();
    d->runWithScene(Scene::create());
    step(1);

    bool firstAlive = false, transitionTargetAlive = false;
    Listening* first = Listening::make(&firstAlive);
    first->runAction(RepeatForever::create(RotateBy::create(1, 90)));
    first->schedule([](float) {}, 0.1f, "tick");
    Scene* second = Scene::create();
    second->addChild(first);
    d->replaceScene(second);
    Scene* third = Scene::create();
    d->replaceScene(third);  // a double tap: the second never shows
    EXPECT_EQ(first->getNumberOfRunningActions(), 0u);
    EXPECT_FALSE(first->isScheduled("tick"));
    step(2);
    EXPECT_EQ(d->getRunningScene(), third);
    EXPECT_FALSE(firstAlive) << "its actions kept the superseded scene alive";

    // A superseded transition lets its incoming scene go and leaves the
    // running scene alone.
    Listening* inner = Listening::make(&transitionTargetAlive);
    inner->runAction(RepeatForever::create(RotateBy::create(1, 90)));
    Scene* target = Scene::create();
    target->addChild(inner);
    third->runAction(RepeatForever::create(RotateBy::create(1, 90)));
    d->replaceScene(TransitionSlideInT::create(0.3f, target));
    Scene* fourth = Scene::create();
    d->replaceScene(fourth);
    EXPECT_EQ(third->getNumberOfRunningActions(), 1u) << "the running scene goes at the change itself";
    EXPECT_EQ(inner->enters, 0);
    EXPECT_EQ(inner->getNumberOfRunningActions(), 0u);
    step(2);
    EXPECT_EQ(d->getRunningScene(), fourth);
    EXPECT_FALSE(transitionTargetAlive);
}

TEST(DirectorFirstUse, LeavesThePoolAloneSoEarlierObjectsAndTheViewSurvive) {
    // In a fresh process, so that this is the director's very first use.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool alive = false;
            Listening* early = Listening::make(&alive);
            early->retain();  // one reference of ours, one in the pool
            auto* view = GLViewImpl::createWithRect("first", Rect(0, 0, 320, 240), 1.0f, false);
            if (!view) std::exit(2);
            Director* d = Director::getInstance();
            bool survived = alive && early->getReferenceCount() == 2;
            d->setOpenGLView(view);
            d->mainLoop(0.1f);  // draws through the view
            d->reset();
            early->release();
            std::exit(survived ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(SceneLifeTest, TheIncomingSceneComesToRestExactlyInPlace) {
    Director* d = Director::getInstance();
    Scene* home = Scene::create();
    d->runWithScene(home);
    // The outgoing scene's own action steps before the slides do.
    home->runAction(RepeatForever::create(RotateBy::create(1, 10)));
    step(1);
    Scene* editor = Scene::create();
    d->replaceScene(TransitionSlideInT::create(0.3f, editor));
    step(30, 1.0f / 60);
    ASSERT_EQ(d->getRunningScene(), editor);
    EXPECT_EQ(editor->getPosition(), Vec2::ZERO);

    // A scene asked for at once and then through a transition keeps what it runs.
    Scene* next = Scene::create();
    next->runAction(RepeatForever::create(RotateBy::create(1, 90)));
    d->replaceScene(next);
    d->replaceScene(TransitionSlideInB::create(0.3f, next));
    EXPECT_EQ(next->getNumberOfRunningActions(), 1u);
    step(30, 1.0f / 60);
    EXPECT_EQ(d->getRunningScene(), next);
    EXPECT_EQ(next->getPosition(), Vec2::ZERO);
}

TEST_F(SceneLifeTest, ASceneAskedForMidSlideRunsAndBothSlidingScenesEndOnce) {
    Director* d = Director::getInstance();
    RefPtr<CountingScene> home = CountingScene::make();
    d->runWithScene(home);
    step(1);
    RefPtr<CountingScene> editor = CountingScene::make();
    d->replaceScene(TransitionSlideInT::create(0.3f, editor));
    step(2);
    ASSERT_NE(dynamic_cast<TransitionScene*>(d->getRunningScene()), nullptr) << "still sliding";

    RefPtr<CountingScene> other = CountingScene::make();
    int ticks = 0;
    other->schedule([&ticks](float) { ++ticks; }, "tick");
    other->runAction(MoveBy::create(1, Vec2(100, 0)));
    d->replaceScene(other);
    step(5);
    ASSERT_EQ(d->getRunningScene(), other.get());
    EXPECT_EQ(other->enters, 1);
    EXPECT_EQ(other->finishes, 1);
    EXPECT_GT(ticks, 0);
    EXPECT_GT(other->getPositionX(), 0) << "its actions run";
    EXPECT_TRUE(d->getEventDispatcher()->isEnabled()) << "touches are on again";

    step(10);  // past where the dropped slide would have ended
    EXPECT_EQ(d->getRunningScene(), other.get());
    EXPECT_EQ(other->exits, 0);
    for (CountingScene* s : {home.get(), editor.get()}) {
        const char* name = s == home.get() ? "out" : "in";
        EXPECT_FALSE(s->isRunning()) << name;
        EXPECT_EQ(s->exits, 1) << name;
        EXPECT_EQ(s->cleanups, 1) << name;
        EXPECT_EQ(s->getPosition(), Vec2::ZERO) << name << ": kept scenes come back whole";
        EXPECT_TRUE(s->isVisible()) << name;
    }
    EXPECT_EQ(editor->finishes, 0) << "never told a slide it never finished had finished";
}

TEST_F(SceneLifeTest, AnEnteredSceneSupersededInTheFrameItWasAskedForIsExitedOnce) {
    Director* d = Director::getInstance();
    RefPtr<CountingScene> home = CountingScene::make();
    d->runWithScene(home);
    RefPtr<CountingScene> editor = CountingScene::make();
    RefPtr<CountingScene> other = CountingScene::make();
    other->runAction(MoveBy::create(1, Vec2(100, 0)));
    // A tap in the very frame the slide ends: timers run after the slide's
    // last step has asked for the editor, which entered when the slide began.
    bool asked = false;
    home->schedule(
        [&](float) {
            if (asked || !d->isSceneComing(editor)) return;
            asked = true;
            EXPECT_TRUE(editor->isRunning());
            d->replaceScene(other);
            EXPECT_EQ(editor->exits, 1);
            EXPECT_EQ(editor->cleanups, 1);
        },
        "tap");
    d->replaceScene(TransitionSlideInT::create(0.3f, editor));
    step(10);
    ASSERT_TRUE(asked);
    ASSERT_EQ(d->getRunningScene(), other.get());
    EXPECT_EQ(other->enters, 1);
    EXPECT_EQ(other->finishes, 1);
    EXPECT_GT(other->getPositionX(), 0) << "its actions run";
    EXPECT_EQ(editor->exits, 1);
    EXPECT_EQ(editor->cleanups, 1);
    EXPECT_EQ(editor->finishes, 0);
    EXPECT_EQ(home->exits, 1);
    EXPECT_EQ(home->cleanups, 1);
}
