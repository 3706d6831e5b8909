// The alert headless: shown over a scene that counts the touches reaching
// it, driven by injected touches and frames of 1/60 s.
#include "engine/core/Action.h"
#include "engine/core/Button.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Sprite.h"
#include "support/HeadlessTest.h"
#include "ui/AlertView.h"

#include "engine/core/Button.h"
#include "ui/Localization.h"

using namespace engine;
using Code = EventTouch::EventCode;

namespace {

class AlertViewTest : public testsupport::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        FileUtils::getInstance()->setSearchPaths({std::string(CORVINA_TEST_RESOURCE_DIR) + "/"});
        Localization::getInstance()->configure(LanguageType::JAPANESE, {});
        Scene* scene = runScene();
        // What lies behind the alert: hears every touch that gets through.
        auto* behind = Layer::create();
        auto* listener = EventListenerTouchOneByOne::create();
        listener->onTouchBegan = [this](Touch*, Event*) {
            ++touchesBehind;
            return true;
        };
        Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, behind);
        scene->addChild(behind);
        alert = AlertView::create("えらんだソースコードを消しますか？");
        ASSERT_NE(alert, nullptr);
        alert->okCallback = [this](AlertView*) { calls.push_back("ok"); };
        alert->cancelCallback = [this](AlertView*) { calls.push_back("cancel"); };
        scene->addChild(alert);
        alert->setOpacity(0);
        alert->runAction(FadeIn::create(0.05f));
        step(5);
    }
    void touch(Code code, Vec2 at) { Director::getInstance()->getEventDispatcher()->dispatchTouch(code, 0, at); }
    void tap(Vec2 at) {
        touch(Code::BEGAN, at);
        touch(Code::ENDED, at);
    }

    AlertView* alert = nullptr;
    int touchesBehind = 0;
    std::vector<std::string> calls;
};

} // namespace

TEST_F(AlertViewTest, ButtonsAnswerAndNothingReachesTheSceneBehind) {
    EXPECT_EQ(alert->getOpacity(), 255) << "faded in";
    tap({512, 450});  // the window, above the buttons
    tap({362, 284});
    tap({662, 284});
    EXPECT_EQ(calls, (std::vector<std::string>{"ok", "cancel"}));

    // The alert has no outside callback yet: a tap beside it is only swallowed.
    tap({30, 30});
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_NE(alert->getParent(), nullptr) << "still open";
    EXPECT_EQ(touchesBehind, 0);

    alert->outsideCallback = [this](AlertView*) { calls.push_back("outside"); };
    // A touch begun outside counts wherever it ends, even on a button.
    touch(Code::BEGAN, {30, 30});
    touch(Code::ENDED, {362, 284});
    EXPECT_EQ(calls.back(), "outside");
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(AlertViewTest, SlidingOffAPressedButtonCallsNothing) {
    touch(Code::BEGAN, {362, 284});
    EXPECT_TRUE(alert->getOkButton()->isPressed());
    touch(Code::MOVED, {362, 200});
    touch(Code::ENDED, {362, 200});
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(alert->getOkButton()->isPressed()) << "not left dimmed";
    EXPECT_EQ(touchesBehind, 0);
}

TEST_F(AlertViewTest, ClosingFromTheOkCallbackFadesOutAndSilencesIt) {
    alert->outsideCallback = [this](AlertView*) { calls.push_back("outside"); };
    alert->okCallback = [this](AlertView* a) {
        calls.push_back("ok");
        a->close();
    };
    RefPtr<AlertView> keep(alert);
    tap({362, 284});
    step(2);
    EXPECT_LT(alert->getOpacity(), 255) << "fading";
    // Touches during the fade reach no callback and nothing behind.
    tap({362, 284});
    tap({662, 284});
    tap({30, 30});
    step(6);
    EXPECT_EQ(calls, std::vector<std::string>{"ok"});
    EXPECT_EQ(alert->getParent(), nullptr) << "removed itself";
    EXPECT_EQ(touchesBehind, 0);
    tap({362, 284});
    EXPECT_EQ(touchesBehind, 1) << "gone: the scene is touchable again";
}
