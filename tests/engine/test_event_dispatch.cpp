// Touch, mouse and custom dispatch on the scene graph, without a window.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Node.h"
#include "engine/core/Scene.h"
#include "engine/core/Transition.h"

using namespace engine;
using Code = EventTouch::EventCode;

namespace {

const char* codeName(Code code) {
    static const char* names[] = {"began", "moved", "ended", "cancelled"};
    return names[static_cast<int>(code)];
}

// Says when it dies, so a log shows that nothing is heard afterwards.
class Probe : public Node {
public:
    static Probe* create(std::vector<std::string>* log, std::string name) {
        auto* p = new Probe();
        p->_log = log;
        p->_label = std::move(name);
        return static_cast<Probe*>(p->autorelease());
    }
    ~Probe() override { _log->push_back(_label + ":gone"); }

private:
    std::vector<std::string>* _log = nullptr;
    std::string _label;
};

// A running scene, listeners that log what they hear, and touches.
struct Stage {
    EventDispatcher* d = nullptr;
    Scene* scene = nullptr;
    std::vector<std::string> log;

    Node* node(int z, Node* parent = nullptr) {
        Node* n = Node::create();
        n->setContentSize({100, 100});
        (parent ? parent : scene)->addChild(n, z);
        return n;
    }
    void note(const std::string& name, Code code, Touch* t) {
        log.push_back(name + ":" + codeName(code) + (t->getID() ? "#" + std::to_string(t->getID()) : ""));
    }
    EventListenerTouchOneByOne* listenIf(Node* n, const std::string& name, std::function<bool(Touch*)> claim,
                                         bool swallow = false) {
        auto* l = EventListenerTouchOneByOne::create();
        l->setSwallowTouches(swallow);
        l->onTouchBegan = [this, name, claim](Touch* t, Event*) { note(name, Code::BEGAN, t); return claim(t); };
        l->onTouchMoved = [this, name](Touch* t, Event*) { note(name, Code::MOVED, t); };
        l->onTouchEnded = [this, name](Touch* t, Event*) { note(name, Code::ENDED, t); };
        l->onTouchCancelled = [this, name](Touch* t, Event*) { note(name, Code::CANCELLED, t); };
        if (n) d->addEventListenerWithSceneGraphPriority(l, n);
        return l;
    }
    EventListenerTouchOneByOne* listen(Node* n, const std::string& name, bool claim = true, bool swallow = false) {
        return listenIf(n, name, [claim](Touch*) { return claim; }, swallow);
    }
    void touch(Code code, int id = 0, Vec2 p = {}) { d->dispatchTouch(code, id, p); }
    void tap(int id = 0) { touch(Code::BEGAN, id); touch(Code::ENDED, id); }
    void mark() { log.push_back("|"); }
    std::string joined() const {
        std::string s;
        for (const auto& entry : log) s += (s.empty() ? "" : " ") + entry;
        return s;
    }
};

struct TouchCase {
    const char* name;
    std::function<void(Stage&)> run;
    const char* expected;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const TouchCase& c, std::ostream* os) { *os << c.name; }

const TouchCase kTouchCases[] = {
    {"FrontMostFirstAndFollowsZOrderAtTheNextTouch",
     [](Stage& s) {
         Node* back = s.node(0);
         s.listen(back, "back");
         s.listen(s.node(1), "front");
         s.tap();
         s.mark();
         back->setLocalZOrder(2);
         s.tap();
     },
     "front:began back:began front:ended back:ended | back:began front:began back:ended front:ended"},

    {"DrawOrderWithNegativeZAndSeveralListenersOnANode",
     [](Stage& s) {
         Node* parent = s.node(0);
         s.listen(s.node(1, parent), "above", false);
         s.listen(s.node(-1, parent), "below", false);
         s.listen(parent, "p1", false);
         s.listen(parent, "p2", false);
         s.listen(s.node(0), "later", false);
         s.touch(Code::BEGAN);
     },
     "later:began above:began p1:began p2:began below:began"},

    {"ClaimersShareATouchUnlessOneSwallows",
     [](Stage& s) {
         s.listen(s.node(0), "back");
         s.listen(s.node(1), "middle", false);
         auto* front = s.listen(s.node(2), "front");
         s.touch(Code::BEGAN);
         s.touch(Code::MOVED);
         s.touch(Code::ENDED);
         s.mark();
         front->setSwallowTouches(true);
         s.touch(Code::BEGAN);
         s.touch(Code::ENDED);
     },
     "front:began middle:began back:began front:moved back:moved front:ended back:ended | front:began front:ended"},

    {"ClaimerHearsWhereverThePointerGoes",
     [](Stage& s) {
         Node* left = s.node(0);
         Node* right = s.node(0);
         right->setPosition(200, 0);
         for (Node* n : {left, right})
             s.listenIf(n, n == left ? "left" : "right",
                      [n](Touch* t) { return n->getBoundingBox().containsPoint(t->getLocation()); });
         s.touch(Code::BEGAN, 0, {50, 50});
         s.touch(Code::MOVED, 0, {250, 50});
         s.touch(Code::ENDED, 0, {900, 700});
     },
     "right:began left:began left:moved left:ended"},

    {"ClaimerThatStartsSwallowingCancelsTheOnesBehind",
     [](Stage& s) {
         s.listen(s.node(0), "back");
         auto* front = s.listen(s.node(1), "front");
         front->onTouchMoved = [&s, front](Touch* t, Event*) {
             s.note("front", Code::MOVED, t);
             front->setSwallowTouches(true);  // a drag starts
         };
         s.touch(Code::BEGAN);
         s.touch(Code::MOVED);
         s.touch(Code::MOVED);
         s.touch(Code::ENDED);
     },
     "front:began back:began front:moved back:cancelled front:moved front:ended"},

    {"NodeOffTheSceneIsSilentUntilAddedAgain",
     [](Stage& s) {
         Node* n = s.node(0);
         s.listen(n, "n");
         Node* loose = Node::create();
         s.listen(loose, "loose");
         RefPtr<Node> keep = n;
         n->removeFromParentAndCleanup(false);
         s.tap();
         s.mark();
         s.scene->addChild(n);
         s.scene->addChild(loose, -1);
         s.tap();
     },
     "| n:began loose:began n:ended loose:ended"},

    {"PausedNodeIsSilentUntilResumedWhileNodesAddedLaterHearAtOnce",
     [](Stage& s) {
         Node* held = s.node(0);
         s.listen(held, "held");
         held->pause();
         s.tap();
         s.mark();
         s.listen(s.node(1), "added");
         Node* loose = Node::create();  // listening before it joins the scene
         s.listen(loose, "loose");
         s.scene->addChild(loose, 2);
         s.tap();
         s.mark();
         held->resume();
         s.tap();
     },
     "| loose:began added:began loose:ended added:ended"
     " | loose:began added:began held:began loose:ended added:ended held:ended"},

    {"ListenersRemovedDuringDispatchHearNothingMore",
     [](Stage& s) {
         auto* back = s.listen(s.node(0), "back");
         auto* middle = s.listen(s.node(1), "middle");
         middle->onTouchBegan = [&s, middle](Touch* t, Event*) {
             s.note("middle", Code::BEGAN, t);
             s.d->removeEventListener(middle);
             return true;
         };
         auto* front = s.listen(s.node(2), "front");
         front->onTouchBegan = [&s, back](Touch* t, Event*) {
             s.note("front", Code::BEGAN, t);
             s.d->removeEventListener(back);
             return true;
         };
         s.touch(Code::BEGAN);
         s.touch(Code::MOVED);
         s.touch(Code::ENDED);
     },
     "front:began middle:began front:moved front:ended"},

    {"ListenerAddedDuringDispatchHearsFromTheNextTouch",
     [](Stage& s) {
         Node* back = s.node(0);
         auto* front = s.listen(s.node(1), "front");
         front->onTouchBegan = [&s, back, added = false](Touch* t, Event*) mutable {
             s.note("front", Code::BEGAN, t);
             if (!added) s.listen(back, "late");
             added = true;
             return true;
         };
         s.touch(Code::BEGAN);
         s.touch(Code::MOVED);
         s.touch(Code::ENDED);
         s.mark();
         s.tap();
     },
     "front:began front:moved front:ended | front:began late:began front:ended late:ended"},

    {"NodeRemovedMidDragHearsNothingMore",
     [](Stage& s) {
         s.listen(s.node(0), "back");
         Probe* card = Probe::create(&s.log, "card");
         s.scene->addChild(card, 1);
         auto* l = s.listen(card, "card");
         l->onTouchMoved = [&s, card](Touch* t, Event*) {
             s.note("card", Code::MOVED, t);
             card->removeFromParent();
         };
         AutoreleasePool::getInstance()->clear();  // the scene now owns the card alone
         s.touch(Code::BEGAN);
         s.touch(Code::MOVED);
         s.touch(Code::MOVED);
         s.touch(Code::ENDED);
     },
     "card:began back:began card:moved card:gone back:moved back:moved back:ended"},

    {"DisabledListenerAndDisabledDispatcherHearNothing",
     [](Stage& s) {
         s.listen(s.node(0), "back");
         s.listen(s.node(1), "front")->setEnabled(false);
         s.touch(Code::BEGAN);
         s.d->setEnabled(false);
         s.touch(Code::ENDED);
         s.tap();
         s.d->setEnabled(true);
         s.mark();
         s.tap();
     },
     "back:began | back:began back:ended"},

    {"FixedPrioritiesGoAroundTheSceneGraph",
     [](Stage& s) {
         const int priorities[] = {2, -1, 1, -5};
         for (int p : priorities) s.d->addEventListenerWithFixedPriority(s.listen(nullptr, std::to_string(p), false), p);
         s.listen(s.node(0), "node", false);
         s.d->addEventListenerWithFixedPriority(s.listen(nullptr, "zero", false), 0);  // refused
         s.touch(Code::BEGAN);
     },
     "-5:began -1:began node:began 1:began 2:began"},

    {"EachFingerHasItsOwnClaimers",
     [](Stage& s) {
         s.listenIf(s.node(0), "a", [](Touch* t) { return t->getID() == 1; });
         s.listenIf(s.node(1), "b", [](Touch* t) { return t->getID() == 2; });
         s.touch(Code::BEGAN, 1);
         s.touch(Code::BEGAN, 2);
         s.touch(Code::MOVED, 2);
         s.touch(Code::MOVED, 1);
         s.touch(Code::ENDED, 1);
         s.touch(Code::ENDED, 2);
     },
     "b:began#1 a:began#1 b:began#2 a:began#2 b:moved#2 a:moved#1 a:ended#1 b:ended#2"},
};

class EventDispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        Director* director = Director::getInstance();
        director->reset();
        stage.d = director->getEventDispatcher();
        ASSERT_NE(stage.d, nullptr);
        stage.scene = Scene::create();
        director->runWithScene(stage.scene);
    }
    void TearDown() override { Director::getInstance()->reset(); }
    Stage stage;
};

class TouchDispatch : public EventDispatchTest, public ::testing::WithParamInterface<TouchCase> {};

TEST_P(TouchDispatch, Case) {
    GetParam().run(stage);
    EXPECT_EQ(stage.joined(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(EventDispatch, TouchDispatch, ::testing::ValuesIn(kTouchCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EventDispatchTest, CustomEventsByNameBoundToNodesOrFixed) {
    std::vector<std::string>& log = stage.log;
    int payload = 7;
    stage.d->addCustomEventListener("link", [&](EventCustom* e) {
        log.push_back("fixed" + std::to_string(*static_cast<int*>(e->getUserData())));
    });
    stage.d->addCustomEventListener("other", [&](EventCustom*) { log.push_back("other"); });
    Node* n = stage.node(0);
    stage.d->addEventListenerWithSceneGraphPriority(
        EventListenerCustom::create("link", [&](EventCustom* e) {
            log.push_back(e->getCurrentTarget() == n ? "node" : "node?");
        }),
        n);
    RefPtr<Node> keep = n;
    stage.d->dispatchCustomEvent("link", &payload);
    stage.mark();
    n->removeFromParentAndCleanup(false);
    stage.d->setEnabled(false);  // custom events still go through
    stage.d->dispatchCustomEvent("link", &payload);
    stage.mark();
    stage.d->setEnabled(true);
    stage.scene->addChild(n);
    stage.d->removeCustomEventListeners("link");
    stage.d->dispatchCustomEvent("link", &payload);
    stage.d->dispatchCustomEvent("other");
    EXPECT_EQ(stage.joined(), "node fixed7 | fixed7 | other");
}

// The incoming scene is drawn by the transition, not as its child: its
// nodes must still be found, while touches stay off.
TEST_F(EventDispatchTest, DuringATransitionBothScenesHearCustomEventsButNoTouches) {
    Director* director = Director::getInstance();
    Scene* next = Scene::create();
    for (Scene* scene : {stage.scene, next}) {
        Node* n = Node::create();
        scene->addChild(n);
        const char* name = scene == next ? "in" : "out";
        stage.d->addEventListenerWithSceneGraphPriority(
            EventListenerCustom::create("tick", [&log = stage.log, name](EventCustom*) { log.push_back(name); }), n);
        stage.listen(n, std::string(name) + "-touch");
    }
    director->replaceScene(TransitionSlideInT::create(1.0f, next));
    director->mainLoop(0.1f);
    stage.d->dispatchCustomEvent("tick");
    stage.tap();
    stage.mark();
    for (int i = 0; i < 12; ++i) director->mainLoop(0.1f);
    ASSERT_EQ(director->getRunningScene(), next);
    stage.d->dispatchCustomEvent("tick");
    stage.tap();
    EXPECT_EQ(stage.joined(), "in out | in in-touch:began in-touch:ended");
}

TEST_F(EventDispatchTest, DirectorResetLeavesAnEmptyEnabledDispatcher) {
    stage.listen(stage.node(0), "n");
    stage.touch(Code::BEGAN, 3);
    stage.d->setEnabled(false);
    Director::getInstance()->reset();
    EventDispatcher* d = Director::getInstance()->getEventDispatcher();
    EXPECT_EQ(d, stage.d);
    EXPECT_TRUE(d->isEnabled());
    EXPECT_FALSE(d->hasEventListener(EventListenerTouchOneByOne::LISTENER_ID));
    EXPECT_FALSE(d->isTouchActive(3));
}

} // namespace
