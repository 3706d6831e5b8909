// The home screen's cards headless: touches injected on the picture and the
// title, frames of 1/60 s, and a layer behind standing for the row, which
// must keep getting the touch until the card holds it.
#include <filesystem>

#include "catalogue/SaveDataManager.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Sprite.h"
#include "engine/platform/Label.h"
#include "save/SaveItemView.h"
#include "support/HeadlessTest.h"
#include "ui/Localization.h"

using namespace engine;
using testsupport::colorNear;
using Code = EventTouch::EventCode;

namespace {

struct Recorder : SaveItemViewListener {
    std::vector<std::string> calls;
    void onItemTapped(SaveItemView* item) override { calls.push_back("tap " + std::to_string(item->getIndex())); }
    void onItemTitleTapped(SaveItemView*) override { calls.push_back("title"); }
    void onItemLongPressed(SaveItemView*) override { calls.push_back("long"); }
};

class SaveItemViewTest : public testsupport::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        FileUtils::getInstance()->setSearchPaths({std::string(CORVINA_TEST_RESOURCE_DIR) + "/"});
        Localization::getInstance()->configure(LanguageType::JAPANESE, {});
        std::filesystem::remove_all(dataDir + "savedatas");
        SaveDataManager::resetForTests();
        scene = runScene();
        auto* row = Layer::create();
        auto* listener = EventListenerTouchOneByOne::create();
        listener->onTouchBegan = [](Touch*, Event*) { return true; };
        listener->onTouchMoved = [this](Touch*, Event*) { ++rowMoves; };
        listener->onTouchCancelled = [this](Touch*, Event*) { ++rowCancels; };
        Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, row);
        scene->addChild(row);
    }
    void TearDown() override {
        HeadlessTest::TearDown();
        SaveDataManager::resetForTests();
    }
    // A saved program in the catalogue, its thumbnail `pixels` square.
    SaveData* addProgram(const std::string& title, int pixels, SDL_Color colour) {
        SaveData* data = SaveData::create();
        SaveDataManager* saves = SaveDataManager::getInstance();
        saves->saveDocument(data, {});
        data->title = title;
        if (pixels > 0) writeSolidPNG(data->imagePath, pixels, pixels, colour);
        return data;
    }
    template <typename View>
    View* show(View* item) {
        item->setListener(&recorder);
        item->setIndex(3);
        item->setPosition(100, 0);
        scene->addChild(item);
        step();
        return item;
    }
    void touch(Code code, Vec2 at, int id = 0) { Director::getInstance()->getEventDispatcher()->dispatchTouch(code, id, at); }
    // Seconds as whole frames of 1/60 s, a little past the time.
    void wait(float seconds) { step(static_cast<int>(seconds * 60) + 1); }

    // The picture's centre and a point on the title, in world coordinates.
    const Vec2 picture{250, 384}, title{250, 200};
    Scene* scene = nullptr;
    Recorder recorder;
    int rowMoves = 0, rowCancels = 0;
};

using Calls = std::vector<std::string>;

} // namespace

TEST_F(SaveItemViewTest, HoldingTellsATapFromALongPress) {
    SaveItemView* item = show(SaveItemSavedView::create(addProgram("a", 0, {})));

    touch(Code::BEGAN, picture);
    EXPECT_EQ(item->getThumbnailNode()->getOpacity(), SaveItemView::kPressedOpacity);
    wait(1);
    touch(Code::ENDED, picture);
    EXPECT_EQ(recorder.calls, Calls{"tap 3"}) << "held a second, short of a long press";
    EXPECT_EQ(item->getThumbnailNode()->getOpacity(), 255);

    recorder.calls.clear();
    touch(Code::BEGAN, picture);
    wait(2.2f);
    EXPECT_TRUE(recorder.calls.empty()) << "2.2 s is not yet a long press";
    wait(0.1f);
    EXPECT_EQ(recorder.calls, Calls{"long"});
    wait(3);
    touch(Code::ENDED, picture);
    EXPECT_EQ(recorder.calls, Calls{"long"}) << "one long press and no tap";
}

TEST_F(SaveItemViewTest, ATouchMovedTenUnitsEarlyIsTheRowsAndOnceHeldItIsTheCards) {
    show(SaveItemSavedView::create(addProgram("a", 0, {})));

    touch(Code::BEGAN, picture);
    touch(Code::MOVED, picture + Vec2(9, 0));
    touch(Code::ENDED, picture + Vec2(9, 0));
    EXPECT_EQ(recorder.calls, Calls{"tap 3"}) << "9 units is still a tap";
    EXPECT_EQ(rowMoves, 1) << "the row hears the move all the same";

    recorder.calls.clear();
    touch(Code::BEGAN, picture);
    touch(Code::MOVED, picture + Vec2(-10, 0));
    wait(3);
    touch(Code::MOVED, picture);
    touch(Code::ENDED, picture);
    EXPECT_TRUE(recorder.calls.empty()) << "10 units drags the row: no tap, no long press";

    rowMoves = rowCancels = 0;
    touch(Code::BEGAN, picture);
    wait(0.35f);
    touch(Code::MOVED, picture + Vec2(60, 0));
    touch(Code::MOVED, picture + Vec2(20, 5));
    touch(Code::ENDED, picture + Vec2(20, 5));
    EXPECT_EQ(recorder.calls, Calls{"tap 3"}) << "held, the card keeps the touch however it moves";
    EXPECT_EQ(rowMoves, 0);
    EXPECT_EQ(rowCancels, 1) << "the row lets go of the held touch";
}

TEST_F(SaveItemViewTest, ASecondFingerIsIgnoredAndTheTitleTapsOnItsOwn) {
    show(SaveItemSavedView::create(addProgram("a", 0, {})));
    touch(Code::BEGAN, picture, 0);
    touch(Code::BEGAN, picture + Vec2(50, 50), 1);
    touch(Code::ENDED, picture + Vec2(50, 50), 1);
    EXPECT_TRUE(recorder.calls.empty()) << "the second finger";
    touch(Code::ENDED, picture, 0);
    EXPECT_EQ(recorder.calls, Calls{"tap 3"});

    recorder.calls.clear();
    touch(Code::BEGAN, title);
    wait(3);
    touch(Code::ENDED, title);
    EXPECT_EQ(recorder.calls, Calls{"title"}) << "a title has no long press";

    // The new-program card's title is not a program's: tapping it does nothing.
    recorder.calls.clear();
    scene->removeAllChildren();
    SaveItemView* add = show(SaveItemAddView::create());
    EXPECT_EQ(add->getTitleLabel()->getString(), "あたらしくはじめる");
    touch(Code::BEGAN, title);
    touch(Code::ENDED, title);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(SaveItemViewTest, ACardTakenOutMidTouchAnswersAgainWhenBack) {
    SaveItemView* item = show(SaveItemSavedView::create(addProgram("a", 0, {})));
    RefPtr<SaveItemView> keep(item);
    touch(Code::BEGAN, picture);
    touch(Code::MOVED, picture + Vec2(-400, 0));
    item->removeFromParentAndCleanup(false);  // scrolled out of the row
    touch(Code::ENDED, picture + Vec2(-400, 0));
    scene->addChild(item);
    step();
    touch(Code::BEGAN, picture);
    touch(Code::ENDED, picture);
    EXPECT_EQ(recorder.calls, Calls{"tap 3"});
    EXPECT_EQ(item->getThumbnailNode()->getOpacity(), 255);
}

TEST_F(SaveItemViewTest, AReusedCardShowsItsNewProgramAndARewrittenThumbnail) {
    SaveData* first = addProgram("いちご", 570, {230, 40, 40, 255});
    SaveData* second = addProgram("robot", 285, {40, 40, 230, 255});
    SaveData* bare = addProgram("no picture", 0, {});
    auto* item = show(SaveItemSavedView::create(first));
    EXPECT_EQ(item->getTitleLabel()->getString(), "いちご");
    // 570 pixels at two a point, or 285 at one: 285 points either way.
    ASSERT_NE(item->getThumbnailSprite(), nullptr);
    EXPECT_EQ(item->getThumbnailSprite()->getBoundingBox().size, Size(285, 285));
    step();
    EXPECT_TRUE(colorNear(grab().at(250, 768 - 384), 230, 40, 40));

    item->setSaveData(second);
    EXPECT_EQ(item->getTitleLabel()->getString(), "robot");
    ASSERT_NE(item->getThumbnailSprite(), nullptr);
    EXPECT_EQ(item->getThumbnailSprite()->getBoundingBox().size, Size(285, 285));
    EXPECT_EQ(item->getThumbnailNode()->getChildrenCount(), 1u) << "the old picture is gone";
    step();
    {
        testsupport::Frame f = grab();
        EXPECT_TRUE(colorNear(f.at(250, 768 - 384), 40, 40, 230));
        EXPECT_TRUE(colorNear(f.at(100 + 150 - 140, 768 - 384), 40, 40, 230)) << "inside the 285 square";
        EXPECT_FALSE(colorNear(f.at(100 + 150 - 146, 768 - 384), 40, 40, 230, 20)) << "outside it";
    }

    // The editor saved the program again: the same file, a new picture.
    writeSolidPNG(second->imagePath, 570, 570, {40, 200, 40, 255});
    item->setSaveData(second);
    step();
    EXPECT_TRUE(colorNear(grab().at(250, 768 - 384), 40, 200, 40));

    item->setSaveData(bare);
    EXPECT_EQ(item->getThumbnailSprite(), nullptr) << "no file: the placeholder shows";
    EXPECT_EQ(item->getThumbnailNode()->getChildrenCount(), 1u);
    item->setSaveData(nullptr);
    EXPECT_EQ(item->getTitleLabel()->getString(), "");
}
