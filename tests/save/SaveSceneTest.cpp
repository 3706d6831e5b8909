// The home screen headless over a catalogue made in a fresh data folder:
// the row's cards as it scrolls, delete mode, renaming, and opening the
// editor, with injected touches and frames of 1/60 s.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "catalogue/ProgramExchange.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/Button.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Sprite.h"
#include "engine/core/Transition.h"
#include "engine/platform/Input.h"
#include "engine/platform/Label.h"
#include "engine/platform/TextInput.h"
#include "engine/platform/MessageBox.h"
#include "save/SaveScene.h"
#include "support/HeadlessTest.h"
#include "support/TextEvents.h"
#include "ui/AlertView.h"
#include "ui/Localization.h"

using namespace engine;
using Code = EventTouch::EventCode;

namespace {

// Every write fails, as on a full disk.
struct FailingWrites : FileWriteCalls {
    int open(const char*, int, int) override { return -1; }
};

class SaveSceneTest : public testsupport::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        FileUtils::getInstance()->setSearchPaths({std::string(CORVINA_TEST_RESOURCE_DIR) + "/"});
        Localization::getInstance()->configure(LanguageType::JAPANESE, {});
        std::filesystem::remove_all(dataDir + "savedatas");
        SaveDataManager::resetForTests();
        SaveScene::setRememberedOffset(0);
        SaveScene::setEditorOpener(nullptr);
        engine::setMessageBoxHandler([this](const std::string& message, const std::string& title) {
            messages.push_back(title + ": " + message);
        });
    }
    void TearDown() override {
        HeadlessTest::TearDown();
        FileUtils::getInstance()->setWriteCalls(nullptr);
        engine::setMessageBoxHandler(nullptr);
        SaveScene::setEditorOpener(nullptr);
        SaveDataManager::resetForTests();
    }
    // n programs, "program 1" the oldest; the newest comes first in the row.
    void addPrograms(int n, bool thumbnails = false) {
        SaveDataManager* saves = SaveDataManager::getInstance();
        for (int k = 1; k <= n; ++k) {
            SaveData* data = SaveData::create();
            saves->saveDocument(data, {});
            data->title = "program " + std::to_string(k);
            if (thumbnails) {
                auto c = static_cast<uint8_t>(60 + 25 * k);
                writeSolidPNG(data->imagePath, 570, 570, {c, static_cast<uint8_t>(255 - c), 120, 255});
            }
        }
        saves->saveList();
    }
    SaveScene* open() {
        Scene* scene = runScene();
        home = SaveScene::create();
        scene->addChild(home);
        step();
        return home;
    }
    std::vector<int> visibleIndexes() const {
        std::vector<int> out;
        for (const auto& item : home->getVisibleItems()) out.push_back(item->getIndex());
        return out;
    }
    float offset() const { return home->getScrollView()->getScrollOffset().x; }
    SaveItemView* item(int index) const {
        for (const auto& i : home->getVisibleItems())
            if (i->getIndex() == index) return i.get();
        return nullptr;
    }
    // The centre of an item's picture and a point on its title, on screen,
    // the row scrolled to show the item in the middle.
    Vec2 pictureOf(int index) { return bringToMiddle(index)->convertToWorldSpace(Vec2(150, 384)); }
    Vec2 titleOf(int index) { return bringToMiddle(index)->convertToWorldSpace(Vec2(150, 200)); }
    SaveItemView* bringToMiddle(int index) {
        home->getScrollView()->scrollTo(Vec2(SaveScene::kFirstItemX - SaveScene::itemX(index), 0), false);
        SaveItemView* shown = item(index);
        EXPECT_NE(shown, nullptr) << "no item " << index;
        return shown ? shown : home->getAddItem();
    }
    static Vec2 centreOf(Node* node) {
        Size s = node->getContentSize();
        return node->convertToWorldSpace(Vec2(s.width / 2, s.height / 2));
    }
    void touch(Code code, Vec2 at, int id = 0) { Director::getInstance()->getEventDispatcher()->dispatchTouch(code, id, at); }
    void tap(Vec2 at) {
        touch(Code::BEGAN, at);
        touch(Code::ENDED, at);
    }
    void longPress(Vec2 at) {
        touch(Code::BEGAN, at);
        // Nobody looks at these frames: not drawn, quicker.
        home->setVisible(false);
        step(2 * 60 + 20);
        home->setVisible(true);
        touch(Code::ENDED, at);
    }
    // The titles in the catalogue file, as the next start will read them.
    std::vector<std::string> listedTitles() const {
        std::vector<std::string> titles;
        ValueMap root = FileUtils::getInstance()->getValueMapFromFile(dataDir + "savedatas/list.plist");
        for (const Value& entry : root["datas"].asValueVector()) titles.push_back(entry.asValueMap().at("title").asString());
        return titles;
    }
    SaveData* entry(int i) const { return SaveDataManager::getInstance()->getDatas()[i].get(); }

    SaveScene* home = nullptr;
    std::vector<std::string> messages;
};

} // namespace

TEST_F(SaveSceneTest, WithoutProgramsOnlyTheNewCardShowsCentred) {
    open();
    EXPECT_EQ(home->getScrollView()->getContentSize().width, 1024);
    ASSERT_EQ(visibleIndexes(), std::vector<int>{0});
    EXPECT_EQ(home->getVisibleItems()[0].get(), home->getAddItem());
    EXPECT_EQ(home->getVisibleItems()[0]->getPositionX(), 362);
    // Nothing to scroll to.
    touch(Code::BEGAN, {600, 600});
    touch(Code::MOVED, {500, 600});
    touch(Code::MOVED, {300, 600});
    touch(Code::ENDED, {300, 600});
    step(30);
    EXPECT_EQ(offset(), 0);
}

TEST_F(SaveSceneTest, TheRowReopensWhereItWasAndKeepsOnlyTheCardsInView) {
    addPrograms(10);
    SaveScene::setRememberedOffset(-2000);
    open();
    EXPECT_EQ(home->getScrollView()->getContentSize().width, 724 + 11 * 300 + 10 * 50);
    EXPECT_EQ(offset(), -2000);
    EXPECT_EQ(visibleIndexes(), (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(item(4)->getPositionX(), 1762);
    EXPECT_EQ(item(7)->getPositionX(), 2812);
    EXPECT_EQ(item(4)->getSaveData(), entry(3));
    EXPECT_EQ(item(4)->getTitleLabel()->getString(), "program 7") << "newest first";

    // A finger drags the row; the offset is remembered as it goes.
    touch(Code::BEGAN, {800, 650});
    for (int x = 790; x >= 400; x -= 10) touch(Code::MOVED, {static_cast<float>(x), 650});
    touch(Code::ENDED, {400, 650});
    for (int i = 0; i < 600 && home->getScrollView()->isCoasting(); ++i) step();
    EXPECT_LT(offset(), -2000 - 300);
    EXPECT_EQ(SaveScene::getRememberedOffset(), static_cast<int>(offset()));

    // Across the whole row and back, cards are reused, never piled up.
    for (float x = 0; x >= -3500; x -= 37) home->getScrollView()->scrollTo(Vec2(x, 0), false);
    home->getScrollView()->scrollTo(Vec2(0, 0), false);
    EXPECT_EQ(visibleIndexes(), (std::vector<int>{0, 1}));
    EXPECT_LE(home->getVisibleItems().size() + home->getItemPool().size(), 6u);
    // A jump of more than a view still finds its cards.
    home->getScrollView()->scrollTo(Vec2(-2000, 0), false);
    EXPECT_EQ(visibleIndexes(), (std::vector<int>{4, 5, 6, 7}));
    for (const auto& i : home->getVisibleItems())
        EXPECT_EQ(i->getSaveData(), i->getIndex() ? entry(i->getIndex() - 1) : nullptr);
}

TEST_F(SaveSceneTest, TheWheelRunsAlongTheRowAndStopsAtItsEnds) {
    addPrograms(8);
    open();
    auto wheel = [](float notches) {
        EventMouse e(EventMouse::MouseEventType::MOUSE_SCROLL);
        e.setCursorPosition(Vec2(512, 384));
        e.setScrollData(0, notches);
        Director::getInstance()->getEventDispatcher()->dispatchEvent(&e);
    };
    const float start = offset();
    wheel(3);  // towards the user, as the window reports it: on to the older programs
    EXPECT_LT(offset(), start - 100);
    wheel(1000);
    EXPECT_FLOAT_EQ(offset(), std::min(home->getScrollView()->getMinOffset().x, 0.0f)) << "the end of the row";
    wheel(-1000);
    EXPECT_FLOAT_EQ(offset(), 0);
}

TEST_F(SaveSceneTest, AnOffsetPastTheEndIsPulledBackToTheLastCard) {
    addPrograms(10);
    SaveScene::setRememberedOffset(-100000);
    open();
    EXPECT_EQ(offset(), -3500);
    EXPECT_EQ(SaveScene::getRememberedOffset(), -3500);
    EXPECT_EQ(visibleIndexes().back(), 10);
    EXPECT_EQ(item(10)->convertToWorldSpace(Vec2::ZERO).x, 362) << "the last card stands centred";
}

TEST_F(SaveSceneTest, DeleteModeMarksAndUnmarks) {
    addPrograms(3);
    open();
    longPress(pictureOf(0));
    EXPECT_FALSE(home->isDeleteMode()) << "the new-program card cannot be deleted";

    longPress(pictureOf(1));
    ASSERT_TRUE(home->isDeleteMode());
    EXPECT_NE(home->getDeleteOverlay(), nullptr);
    EXPECT_TRUE(bringToMiddle(1)->isMarked());
    EXPECT_TRUE(bringToMiddle(1)->getSelectedSprite()->isVisible());
    EXPECT_EQ(home->getMarkedDatas().size(), 1u);
    tap(pictureOf(0));
    EXPECT_EQ(home->getMarkedDatas().size(), 1u) << "tapping the new card in delete mode does nothing";
    tap(titleOf(1));
    EXPECT_EQ(home->getTitleOverlay(), nullptr) << "no renaming in delete mode";

    // Unmarking the only marked card leaves delete mode.
    tap(pictureOf(1));
    EXPECT_FALSE(home->isDeleteMode());
    EXPECT_EQ(home->getDeleteOverlay(), nullptr);
    EXPECT_TRUE(home->getMarkedDatas().empty());
    EXPECT_FALSE(bringToMiddle(1)->getSelectedSprite()->isVisible());

    // The cancel button unmarks them all.
    longPress(pictureOf(1));
    tap(pictureOf(2));
    EXPECT_EQ(home->getMarkedDatas().size(), 2u);
    tap(centreOf(home->getCancelDeleteButton()));
    EXPECT_FALSE(home->isDeleteMode());
    EXPECT_TRUE(home->getMarkedDatas().empty());
    EXPECT_FALSE(bringToMiddle(2)->isMarked());
    EXPECT_EQ(SaveDataManager::getInstance()->getDatas().size(), 3u);
}

TEST_F(SaveSceneTest, MarkedProgramsGoToTheBinAndATapInTheBinPutsOneBack) {
    addPrograms(4);
    SaveData* kept = entry(1);
    std::string goneDocument = dataDir + entry(0)->path;
    open();
    longPress(pictureOf(1));
    tap(pictureOf(3));
    tap(pictureOf(4));
    tap(pictureOf(4));  // unmarked again
    ASSERT_EQ(home->getMarkedDatas().size(), 2u);

    tap(centreOf(home->getDeleteButton()));
    step(5);
    RefPtr<AlertView> alert = dynamic_cast<AlertView*>(home->getChildren().back());
    ASSERT_NE(alert, nullptr);
    tap(centreOf(alert->getCancelButton()));
    step(10);
    EXPECT_EQ(alert->getParent(), nullptr);
    EXPECT_TRUE(home->isDeleteMode());
    EXPECT_EQ(home->getMarkedDatas().size(), 2u);
    EXPECT_TRUE(bringToMiddle(1)->isMarked());
    EXPECT_TRUE(bringToMiddle(3)->isMarked());

    tap(centreOf(home->getDeleteButton()));
    step(5);
    alert = dynamic_cast<AlertView*>(home->getChildren().back());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->getMessageLabel()->getString(), "えらんだ 2 この ソースコードを ごみばこに いれますか？");
    tap(centreOf(alert->getOkButton()));
    step(10);
    EXPECT_FALSE(home->isDeleteMode());
    EXPECT_TRUE(home->getMarkedDatas().empty());
    const auto& datas = SaveDataManager::getInstance()->getDatas();
    ASSERT_EQ(datas.size(), 2u);
    EXPECT_EQ(datas[0].get(), kept);
    EXPECT_FALSE(FileUtils::getInstance()->isFileExist(goneDocument));
    // The bin's card stands last in the row.
    EXPECT_EQ(home->getScrollView()->getContentSize().width, 724 + 4 * 300 + 3 * 50);
    SaveItemView* bin = bringToMiddle(3);
    ASSERT_EQ(bin, home->getBinItem());
    EXPECT_EQ(bin->getTitleLabel()->getString(), "ごみばこ（2）");

    tap(pictureOf(3));
    ASSERT_TRUE(home->isBinOpen());
    EXPECT_EQ(bringToMiddle(0), home->getLeaveBinItem());
    SaveItemView* binned = bringToMiddle(2);
    const std::string title = binned->getSaveData()->title;
    EXPECT_EQ(binned->getTitleLabel()->getString(), title);
    tap(pictureOf(2));
    EXPECT_EQ(SaveDataManager::getInstance()->getBinDatas().size(), 1u);
    tap(pictureOf(0));
    EXPECT_FALSE(home->isBinOpen());
    EXPECT_EQ(bringToMiddle(1)->getSaveData()->title, title) << "put back at the front";
    EXPECT_TRUE(messages.empty()) << messages.front();

    SaveDataManager::resetForTests();
    EXPECT_EQ(SaveDataManager::getInstance()->getDatas().size(), 3u) << "the catalogue on disk too";
    EXPECT_EQ(SaveDataManager::getInstance()->getBinDatas().size(), 1u);
    EXPECT_EQ(SaveDataManager::getInstance()->getDatas()[0]->title, title);
}

TEST_F(SaveSceneTest, RenamingStoresTheTitleAtOnceEvenAnEmptyOne) {
    addPrograms(2);
    open();
    tap(titleOf(1));
    ASSERT_NE(home->getTitleOverlay(), nullptr);
    ui::EditBox* box = home->getTitleEditBox();
    EXPECT_EQ(std::string(box->getText()), "program 2");
    EXPECT_TRUE(box->isEditing());
    box->setText("");
    tap({900, 700});  // beside the card: the typing ends
    step(10);
    EXPECT_EQ(home->getTitleOverlay(), nullptr);
    EXPECT_EQ(entry(0)->title, "");
    EXPECT_EQ(bringToMiddle(1)->getTitleLabel()->getString(), "（なまえなし）") << "a placeholder";
    EXPECT_EQ(listedTitles(), (std::vector<std::string>{"", "program 1"})) << "written to the catalogue at once";
    // Still there to be tapped; Escape then leaves it as it was.
    tap(titleOf(1));
    ASSERT_NE(home->getTitleOverlay(), nullptr) << "an empty title opens the box again";
    home->getTitleEditBox()->setText("すてる");
    engine::handleTextInputEvent(testsupport::key(SDLK_ESCAPE));
    step(10);
    EXPECT_EQ(home->getTitleOverlay(), nullptr);
    EXPECT_EQ(entry(0)->title, "");
    // Text still being composed is kept by a tap away.
    tap(titleOf(1));
    home->getTitleEditBox()->setText("でん");
    engine::handleTextInputEvent(testsupport::composing("しゃ"));
    tap({900, 700});
    step(10);
    EXPECT_EQ(entry(0)->title, "でんしゃ");
    entry(0)->title = "";

    // Done on the keyboard ends it too, a moment later.
    tap(titleOf(2));
    home->getTitleEditBox()->setText("でんしゃ");
    home->getTitleEditBox()->closeKeyboard();
    EXPECT_NE(home->getTitleOverlay(), nullptr);
    step(10);
    EXPECT_EQ(home->getTitleOverlay(), nullptr);
    EXPECT_EQ(bringToMiddle(2)->getTitleLabel()->getString(), "でんしゃ");
    EXPECT_TRUE(messages.empty());

    // The catalogue cannot be written: the child is told.
    FailingWrites failing;
    FileUtils::getInstance()->setWriteCalls(&failing);
    tap(titleOf(2));
    tap({900, 700});
    step(10);
    FileUtils::getInstance()->setWriteCalls(nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "しっぱい: プログラムの いちらんを ほぞんできませんでした。ディスクの あきを ふやすか、せんせいに きいてください。");
}

TEST_F(SaveSceneTest, ProgramsTheListLostAreShownAndToldOnce) {
    addPrograms(3);
    std::filesystem::remove(dataDir + "savedatas/list.plist");  // deleted by hand
    SaveDataManager::resetForTests();
    open();
    step(2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("3 この"), std::string::npos) << messages[0];
    EXPECT_EQ(SaveDataManager::getInstance()->getDatas().size(), 3u);
    EXPECT_EQ(listedTitles().size(), 3u) << "listed on the disk again";
    open();
    step(2);
    EXPECT_EQ(messages.size(), 1u) << "told once";
}

TEST_F(SaveSceneTest, ATapOpensTheEditorOnTheCardsProgram) {
    addPrograms(3);
    open();
    tap(pictureOf(2));
    step(40);
    EXPECT_EQ(Director::getInstance()->getRunningScene(), home->getScene()) << "no opener: nothing happens";

    std::vector<SaveData*> opened;
    Scene* editor = nullptr;
    SaveScene::setEditorOpener([&](SaveData* data) {
        opened.push_back(data);
        editor = Scene::create();
        return editor;
    });
    tap(pictureOf(2));
    tap(pictureOf(0));  // before the slide begins
    step(1);
    EXPECT_NE(dynamic_cast<TransitionSlideInB*>(Director::getInstance()->getRunningScene()), nullptr);
    step(40);
    EXPECT_EQ(Director::getInstance()->getRunningScene(), editor);
    EXPECT_EQ(opened, std::vector<SaveData*>{entry(1)});
}

TEST_F(SaveSceneTest, TheNewCardOpensTheEditorOnNothing) {
    std::vector<SaveData*> opened;
    SaveScene::setEditorOpener([&](SaveData* data) {
        opened.push_back(data);
        return Scene::create();
    });
    addPrograms(1);
    open();
    tap(pictureOf(0));
    EXPECT_EQ(opened, std::vector<SaveData*>{nullptr});
}

TEST_F(SaveSceneTest, Screenshots) {
    addPrograms(5, true);
    SaveScene::setRememberedOffset(-175);
    open();
    const char* dir = std::getenv("CORVINA_SCREENSHOT_DIR");
    auto shoot = [&](const char* name) {
        step(10);
        testsupport::Frame f = grab();
        ASSERT_TRUE(f.valid());
        EXPECT_TRUE(testsupport::colorNear(f.at(512, 5), 105, 208, 238)) << name << ": the sky-blue background";
        if (dir) f.save(std::string(dir) + "/" + name);
    };
    shoot("save-scene.png");
    longPress(pictureOf(2));
    tap(pictureOf(3));
    tap(centreOf(home->getDeleteButton()));
    shoot("save-scene-delete.png");
    tap({30, 30});
    step(10);
    tap(pictureOf(2));
    tap(pictureOf(3));
    ASSERT_FALSE(home->isDeleteMode());
    tap(titleOf(1));
    shoot("save-scene-rename.png");
}

TEST_F(SaveSceneTest, ACopyStandsFirstAndFilesDroppedOnTheWindowComeInTogether) {
    addPrograms(2, true);
    open();
    longPress(pictureOf(2));
    tap(centreOf(home->getCopyButton()));
    ASSERT_EQ(SaveDataManager::getInstance()->getDatas().size(), 3u);
    SaveData* copy = entry(0);
    EXPECT_EQ(copy->title, "program 1（コピー）");
    EXPECT_EQ(FileUtils::getInstance()->getDataFromFile(dataDir + copy->imagePath),
              FileUtils::getInstance()->getDataFromFile(dataDir + entry(2)->imagePath));
    EXPECT_FALSE(home->isDeleteMode());

    // The copy handed on as a file, with a damaged file beside it.
    const std::string folder = dataDir + "dropped/";
    std::filesystem::create_directories(folder);
    const std::string name = exportProgram(*SaveDataManager::getInstance(), copy, folder);
    ASSERT_FALSE(name.empty());
    std::ofstream(folder + "broken.corvina") << "<plist><dict><key>cards</key>";
    for (const std::string& file : {folder + name, folder + "broken.corvina"}) {
        std::string path = file;
        EventCustom dropped(kFileDroppedEvent);
        dropped.setUserData(&path);
        Director::getInstance()->getEventDispatcher()->dispatchEvent(&dropped);
    }
    step(2);
    ASSERT_EQ(SaveDataManager::getInstance()->getDatas().size(), 4u);
    EXPECT_EQ(entry(0)->title, "program 1（コピー）");
    ASSERT_EQ(messages.size(), 1u) << "told once for both files";
    EXPECT_NE(messages[0].find("1 この プログラムを いれました"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("broken.corvina"), std::string::npos) << messages[0];
}

TEST_F(SaveSceneTest, KeysAloneChooseOpenRenameAndMoveAProgramToTheBin) {
    std::vector<SaveData*> opened;
    SaveScene::setEditorOpener([&](SaveData* data) {
        opened.push_back(data);
        return Scene::create();
    });
    addPrograms(3);
    open();
    auto key = [](EventKeyboard::KeyCode code) {
        injectKey(code, true);
        injectKey(code, false);
    };
    using Key = EventKeyboard::KeyCode;
    // The new-program card is chosen, and ringed.
    EXPECT_EQ(home->getChosenIndex(), 0);
    step();
    ASSERT_TRUE(home->getFocusRing()->getRinged());
    EXPECT_TRUE(home->getAddItem()->getBoundingBoxInWorld().containsPoint(
        Vec2(home->getFocusRing()->getRinged()->getMidX(), home->getFocusRing()->getRinged()->getMidY())));

    // Right to the newest program; Delete asks, Enter moves it to the bin.
    key(Key::KEY_RIGHT_ARROW);
    key(Key::KEY_RIGHT_ARROW);
    key(Key::KEY_LEFT_ARROW);
    EXPECT_EQ(home->getChosenIndex(), 1);
    EXPECT_EQ(entry(0)->title, "program 3");
    key(Key::KEY_DELETE);
    key(Key::KEY_ENTER);
    step(10);
    ASSERT_EQ(SaveDataManager::getInstance()->getBinDatas().size(), 1u);
    EXPECT_EQ(SaveDataManager::getInstance()->getBinDatas()[0]->title, "program 3");
    EXPECT_TRUE(opened.empty()) << "the question took the Enter";
    // Asked again and answered with Escape: nothing moves, nothing stays marked.
    key(Key::KEY_DELETE);
    key(Key::KEY_ESCAPE);
    step(10);
    EXPECT_EQ(SaveDataManager::getInstance()->getDatas().size(), 2u);
    EXPECT_TRUE(home->getMarkedDatas().empty());

    // F2 opens the title's box on the chosen program; Enter on it opens the editor.
    key(Key::KEY_F2);
    EXPECT_NE(home->getTitleOverlay(), nullptr);
    EXPECT_EQ(home->getEditingItem()->getSaveData(), entry(0));
    home->finishTitleEdit(home->getTitleEditBox(), home->getEditingItem());
    step(2);
    key(Key::KEY_ENTER);
    EXPECT_EQ(opened, std::vector<SaveData*>{entry(0)});
}
