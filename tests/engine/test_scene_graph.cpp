// Transforms, draw order, cascading, autorelease and schedules, without a window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/Director.h"
#include "engine/core/Node.h"
#include "engine/core/Renderer.h"
#include "engine/core/Scene.h"
#include "engine/core/Scheduler.h"

using namespace engine;

namespace {

class SceneGraphTest : public ::testing::Test {
protected:
    void SetUp() override { Director::getInstance()->reset(); }
    void TearDown() override { Director::getInstance()->reset(); }
    void step(int frames, float dt) {
        for (int i = 0; i < frames; ++i) Director::getInstance()->mainLoop(dt);
    }
    Scene* runScene() {
        Scene* scene = Scene::create();
        Director::getInstance()->runWithScene(scene);
        return scene;
    }
};

void expectNear(Vec2 got, Vec2 want) {
    EXPECT_NEAR(got.x, want.x, 1e-3) << "x";
    EXPECT_NEAR(got.y, want.y, 1e-3) << "y";
}

// Records what is drawn, in order, by the colour it is drawn with.
class RecordingRenderer : public Renderer {
public:
    RecordingRenderer() {
        ViewportMapping m;
        m.targetWidth = 1024;
        m.targetHeight = 768;
        setWindowMapping(m);
    }
    void drawTexture(Texture2D*, const Rect&, const Size&, const AffineTransform&, const Color4B& c) override {
        drawn.push_back(c);
    }
    void drawSolidRect(const Size&, const AffineTransform&, const Color4B& c) override { drawn.push_back(c); }
    void clear(const Color4B&) override {}
    std::vector<Color4B> drawn;

protected:
    void applyScissor(const Rect*) override {}
};

LayerColor* box(uint8_t id, float w = 10, float h = 10) { return LayerColor::create(Color4B(id, 0, 0, 255), w, h); }

std::vector<int> drawOrder(Node* root) {
    RecordingRenderer r;
    root->visit(&r, AffineTransform::identity(), 255, Color3B::WHITE);
    std::vector<int> ids;
    for (const Color4B& c : r.drawn) ids.push_back(c.r);
    return ids;
}

} // namespace

TEST_F(SceneGraphTest, ConversionsPivotOnTheAnchorAndRoundTrip) {
    Node* node = Node::create();
    node->setContentSize({40, 20});
    node->setAnchorPoint({0.5f, 0.5f});
    node->setPosition(100, 50);
    node->setScale(2);
    expectNear(node->convertToWorldSpace({0, 0}), {60, 30});
    expectNear(node->convertToWorldSpace({40, 20}), {140, 70});
    expectNear(node->convertToWorldSpace({20, 10}), {100, 50});

    // Clockwise as on screen: a point to the right of the pivot goes down.
    node->setScale(1);
    node->setRotation(90);
    expectNear(node->convertToWorldSpace({30, 10}), {100, 40});

    // Ignoring the anchor makes the position the lower-left corner, while
    // scale still pivots on the anchor.
    Node* corner = Node::create();
    corner->setContentSize({40, 20});
    corner->setAnchorPoint({0.5f, 0.5f});
    corner->setIgnoreAnchorPointForPosition(true);
    corner->setPosition(10, 10);
    expectNear(corner->convertToWorldSpace({0, 0}), {10, 10});
    corner->setScale(2);
    expectNear(corner->convertToWorldSpace({0, 0}), {-10, 0});
}

TEST_F(SceneGraphTest, TurnAboutTheVerticalAxisMirrorsAndGoesEdgeOn) {
    Node* card = Node::create();
    card->setContentSize({200, 100});
    card->setAnchorPoint({0.5f, 0.5f});
    card->setPosition(500, 300);
    card->setRotation3D({0, 180, 0});
    // The left edge now shows on the right.
    expectNear(card->convertToWorldSpace({0, 50}), {600, 300});
    expectNear(card->convertToWorldSpace({200, 0}), {400, 250});
    card->setRotation3D({0, 90, 0});
    EXPECT_NEAR(card->convertToWorldSpace({0, 0}).x, 500, 1e-3);
    EXPECT_NEAR(card->convertToWorldSpace({200, 0}).x, 500, 1e-3);
    EXPECT_NEAR(card->getBoundingBox().size.width, 0, 1e-3);
    // An edge-on card has no inside: nothing converts into it.
    Vec2 p = card->convertToNodeSpace({500, 300});
    EXPECT_FALSE(Rect(0, 0, 200, 100).containsPoint(p));
}

TEST_F(SceneGraphTest, NestedTransformsRoundTrip) {
    Node* parent = Node::create();
    parent->setContentSize({100, 100});
    parent->setAnchorPoint({0.25f, 0.75f});
    parent->setPosition(300, 200);
    parent->setRotation(30);
    parent->setScale(1.5f, 0.5f);
    Node* child = Node::create();
    child->setContentSize({50, 80});
    child->setAnchorPoint({0.5f, 0.5f});
    child->setPosition(20, -10);
    child->setRotation3D({0, 40, -70});
    child->setScale(-2);
    parent->addChild(child);

    for (Vec2 p : {Vec2(0, 0), Vec2(13, -7), Vec2(50, 80), Vec2(-200, 31)}) {
        Vec2 world = child->convertToWorldSpace(p);
        expectNear(child->convertToNodeSpace(world), p);
        // The same as going through the parent by hand.
        expectNear(world, parent->convertToWorldSpace(child->getNodeToParentTransform().apply(p)));
    }
    Rect box = child->getBoundingBox();
    Vec2 centre = child->getNodeToParentTransform().apply({25, 40});
    EXPECT_TRUE(box.containsPoint(centre));
    expectNear(centre, {20, -10});
}

TEST_F(SceneGraphTest, ChildrenDrawByZThenArrivalWithNegativeZBehind) {
    LayerColor* root = box(1);
    LayerColor* first = box(10);
    root->addChild(first, 1);
    LayerColor* second = box(11);
    root->addChild(second, 1);
    root->addChild(box(12), 0);
    root->addChild(box(2), -1);
    root->addChild(box(3), -5);
    EXPECT_EQ(drawOrder(root), (std::vector<int>{3, 2, 1, 12, 10, 11}));

    // Moving a child changes the order at the next draw; within one
    // z-order the one moved last comes last.
    second->setLocalZOrder(-1);
    EXPECT_EQ(drawOrder(root), (std::vector<int>{3, 2, 11, 1, 12, 10}));
    root->reorderChild(first, 1);
    root->addChild(box(13), 1);
    EXPECT_EQ(drawOrder(root), (std::vector<int>{3, 2, 11, 1, 12, 10, 13}));
}

TEST_F(SceneGraphTest, OpacityAndColourCascadeOnlyWhereEnabled) {
    LayerColor* parent = LayerColor::create(Color4B(255, 128, 0, 128), 10, 10);
    LayerColor* child = LayerColor::create(Color4B(128, 255, 255, 128), 10, 10);
    Node* grandchild = Node::create();
    parent->addChild(child);
    child->addChild(grandchild);
    EXPECT_EQ(child->getDisplayedOpacity(), 128);
    EXPECT_EQ(child->getDisplayedColor(), Color3B(128, 255, 255));

    parent->setCascadeOpacityEnabled(true);
    parent->setCascadeColorEnabled(true);
    EXPECT_EQ(child->getDisplayedOpacity(), 64);
    EXPECT_EQ(child->getDisplayedColor(), Color3B(128, 128, 0));
    // The grandchild's parent does not cascade.
    EXPECT_EQ(grandchild->getDisplayedOpacity(), 255);

    RecordingRenderer r;
    parent->visit(&r, AffineTransform::identity(), 255, Color3B::WHITE);
    ASSERT_EQ(r.drawn.size(), 2u);
    EXPECT_EQ(r.drawn[1], Color4B(128, 128, 0, 64));

    // An invisible parent hides the whole branch.
    parent->setVisible(false);
    EXPECT_TRUE(drawOrder(parent).empty());
}

namespace {
struct Tracked : public Node {
    explicit Tracked(bool* alive) : _alive(alive) { *_alive = true; }
    ~Tracked() override { *_alive = false; }
    static Tracked* create(bool* alive) { return static_cast<Tracked*>((new Tracked(alive))->autorelease()); }
    bool* _alive;
};
} // namespace

TEST_F(SceneGraphTest, AutoreleasedObjectsLiveUntilTheEndOfTheFrame) {
    bool looseAlive = false, keptAlive = false, childAlive = false;
    Tracked::create(&looseAlive);
    Tracked* kept = Tracked::create(&keptAlive);
    kept->retain();
    Scene* scene = runScene();
    scene->addChild(Tracked::create(&childAlive));
    EXPECT_TRUE(looseAlive);
    step(1, 1.0f / 60);
    EXPECT_FALSE(looseAlive);
    EXPECT_TRUE(keptAlive);
    EXPECT_TRUE(childAlive);  // its parent holds it
    kept->release();
    EXPECT_FALSE(keptAlive);
    scene->removeAllChildren();
    EXPECT_FALSE(childAlive);

    RefPtr<Node> held = Tracked::create(&looseAlive);
    step(1, 1.0f / 60);
    EXPECT_TRUE(looseAlive);
    held = nullptr;
    EXPECT_FALSE(looseAlive);
}

TEST_F(SceneGraphTest, EnterAndExitFollowTheRunningScene) {
    Scene* scene = runScene();
    Node* a = Node::create();
    Node* b = Node::create();
    a->addChild(b);
    EXPECT_FALSE(b->isRunning());
    scene->addChild(a);
    EXPECT_TRUE(b->isRunning());
    a->retain();
    a->removeFromParentAndCleanup(false);
    EXPECT_FALSE(b->isRunning());
    EXPECT_EQ(a->getParent(), nullptr);
    a->release();
}

TEST_F(SceneGraphTest, SchedulesRunOnTheClockAndOnlyOnTheScene) {
    Scene* scene = runScene();
    RefPtr<Node> node = Node::create();  // kept while off the scene
    int ticks = 0, once = 0, updates = 0;
    std::vector<float> dts;
    node->schedule([&](float dt) { ++ticks; dts.push_back(dt); }, 0.1f, "tick");
    node->scheduleOnce([&](float) { ++once; }, 0.55f, "once");
    step(5, 0.1f);
    EXPECT_EQ(ticks, 0) << "a node off the scene is paused";
    scene->addChild(node);
    step(5, 0.1f);
    EXPECT_EQ(ticks, 4) << "the first update only starts the count";
    EXPECT_EQ(once, 0);
    step(1, 0.1f);
    EXPECT_EQ(once, 0) << "0.5 s counted";
    step(1, 0.1f);
    EXPECT_EQ(once, 1);
    step(5, 0.1f);
    EXPECT_EQ(once, 1);

    // One long frame catches up on the intervals it spans.
    ticks = 0;
    step(1, 0.35f);
    EXPECT_EQ(ticks, 3);

    // A callback that unschedules itself runs exactly once, and the other
    // callbacks of that frame still run.
    int selfStopping = 0;
    node->schedule([&](float) { ++selfStopping; node->unschedule("self"); }, "self");
    ticks = 0;
    step(3, 0.1f);
    EXPECT_EQ(selfStopping, 1);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(node->isScheduled("self"));

    struct Updating : Node {
        int* count;
        void update(float) override { ++*count; }
    };
    auto* u = new Updating();
    u->count = &updates;
    u->autorelease();
    scene->addChild(u);
    u->scheduleUpdate();
    step(4, 0.1f);
    EXPECT_EQ(updates, 4);
    u->removeFromParent();  // cleanup ends its schedules
    step(2, 0.1f);
    EXPECT_EQ(updates, 4);
}

TEST_F(SceneGraphTest, SceneChangesTakePlaceAtTheNextFrame) {
    struct Watched : Scene {
        std::vector<std::string>* log;
        std::string name;
        void onEnter() override { Scene::onEnter(); log->push_back(name + " enter"); }
        void onExit() override { Scene::onExit(); log->push_back(name + " exit"); }
    };
    std::vector<std::string> log;
    auto make = [&](const char* name) {
        auto* s = new Watched();
        s->init();
        s->log = &log;
        s->name = name;
        return static_cast<Watched*>(s->autorelease());
    };
    Director* d = Director::getInstance();
    Watched* first = make("first");
    d->runWithScene(first);
    EXPECT_EQ(d->getRunningScene(), first);
    Watched* second = make("second");
    d->replaceScene(second);
    EXPECT_EQ(d->getRunningScene(), first);
    step(1, 0.1f);
    EXPECT_EQ(d->getRunningScene(), second);
    EXPECT_EQ(log, (std::vector<std::string>{"first enter", "first exit", "second enter"}));
    d->reset();  // while the log still exists
    EXPECT_EQ(log.back(), "second exit");
}

TEST_F(SceneGraphTest, AMovedFromPointerIsEmptyAndTheOldObjectIsLetGo) {
    bool firstAlive = false, secondAlive = false;
    RefPtr<Node> a = Tracked::create(&firstAlive);
    RefPtr<Node> b = Tracked::create(&secondAlive);
    step(1, 0.1f);  // only the pointers hold them now
    a = std::move(b);
    EXPECT_FALSE(firstAlive) << "the object a held before";
    EXPECT_TRUE(secondAlive);
    EXPECT_EQ(b.get(), nullptr);
    EXPECT_EQ(a->getReferenceCount(), 1u);
    RefPtr<Node> c = std::move(a);
    EXPECT_EQ(a.get(), nullptr);
    RefPtr<Node>& same = c;
    c = std::move(same);  // onto itself: nothing changes
    EXPECT_TRUE(secondAlive);
    c = nullptr;
    EXPECT_FALSE(secondAlive);
}
