// A child's whole way through the application, headless: the home screen,
// a new program, cards dropped, save and close, the picture on the home
// screen, and the program opened again with its cards on their rows.
#include <fstream>
#include <sstream>

#include "app/FirstScene.h"
#include "cards/ProgramGenerator.h"
#include "cli/CliCommands.h"
#include "engine/core/Plist.h"
#include "engine/core/Transition.h"
#include "field/FieldFixture.h"
#include "save/SaveScene.h"

namespace {

class UserPathTest : public FieldSceneTest {
protected:
    void SetUp() override {
        FieldSceneTest::SetUp();
        finishWorkers();
        // Start as the application does: on the home screen.
        SaveScene::setRememberedOffset(0);
        Scene* start = Scene::create();
        start->addChild(createFirstLayer());
        field = nullptr;
        Director::getInstance()->replaceScene(start);
        step(2);
    }
    void TearDown() override {
        field = runningField();
        FieldSceneTest::TearDown();
    }
    template <typename T>
    static T* running() {
        Scene* scene = Director::getInstance()->getRunningScene();
        if (!scene || dynamic_cast<TransitionScene*>(scene)) return nullptr;
        for (Node* child : scene->getChildren())
            if (auto* found = dynamic_cast<T*>(child)) return found;
        return nullptr;
    }
    static FieldScene* runningField() { return running<FieldScene>(); }
    static SaveScene* runningHome() { return running<SaveScene>(); }
    // Steps until the slide to the other screen is over.
    template <typename T>
    T* arriveAt() {
        for (int i = 0; i < 120 && !running<T>(); ++i) step(1);
        step(2);
        return running<T>();
    }
    void dragPaletteCardToRow(FieldScene* editor, int index, int row) {
        CardSprite* source = editor->getPaletteCards().at(static_cast<size_t>(index)).get();
        Vec2 at = source->getParent()->convertToWorldSpace(source->getPosition()) + Vec2(75, 0);
        touch(Code::BEGAN, at);
        at += Vec2(12, 0);
        touch(Code::MOVED, at);
        size_t before = editor->getFieldCards().size();
        for (int i = 0; i < 20 && editor->getFieldCards().size() == before; ++i) {
            at += Vec2(20, 0);
            touch(Code::MOVED, at);
        }
        CardSprite* card = editor->getFieldCards().back().get();
        CardSprite* head = editor->getRowHead(row);
        Vec2 target = head->convertToWorldSpace(head->connectors[0].point) + Vec2(20, 0);
        at += target - card->convertToWorldSpace(card->connectors[0].point);
        touch(Code::MOVED, at);
        touch(Code::ENDED, at);
    }
};

} // namespace

TEST_F(UserPathTest, ANewProgramIsSavedShownOnTheHomeScreenAndOpensAgainAsItWasLeft) {
    SaveScene* home = runningHome();
    ASSERT_NE(home, nullptr);
    ASSERT_EQ(home->getVisibleItems().size(), 1u) << "only the new-program card";
    if (const char* dir = std::getenv("CORVINA_SCREENSHOT_DIR")) grab().save(std::string(dir) + "/home-empty.png");

    tap(centreOf(home->getAddItem()->getThumbnailNode()));
    FieldScene* editor = arriveAt<FieldScene>();
    ASSERT_NE(editor, nullptr) << "the new-program card opens the editor";
    field = editor;
    finishWorkers();
    dragPaletteCardToRow(editor, 0, 0);
    dragPaletteCardToRow(editor, 2, 1);
    dragPaletteCardToRow(editor, 1, 2);
    ASSERT_NE(editor->cardOnRow(0), nullptr);
    ASSERT_NE(editor->cardOnRow(1), nullptr);
    ASSERT_NE(editor->cardOnRow(2), nullptr);
    ASSERT_EQ(SaveDataManager::getInstance()->getDatas().size(), 1u) << "listed at its first drop";
    SaveData* saved = SaveDataManager::getInstance()->getDatas().front().get();
    EXPECT_EQ(saved->path, "savedatas/1.plist");
    const FieldDocument left = editor->makeFieldDocument();

    tap(centreOf(named(editor, "home")));
    finishWorkers();
    field = nullptr;
    home = arriveAt<SaveScene>();
    ASSERT_NE(home, nullptr) << "save and close goes home";
    step(5);
    ASSERT_EQ(home->getVisibleItems().size(), 2u);
    auto* item = dynamic_cast<SaveItemSavedView*>(home->getVisibleItems()[1].get());
    ASSERT_NE(item, nullptr);
    ASSERT_NE(item->getThumbnailSprite(), nullptr);
    // The picture is the field with its cards: a 570-pixel picture with far
    // more than white and the pale rows in it.
    EXPECT_TRUE(std::filesystem::exists(dataDir + "savedatas/img1.png"));
    testsupport::Frame f = grab();
    Size s = item->getThumbnailNode()->getContentSize();
    Rect box = item->getThumbnailNode()->getNodeToWorldTransform().applyToRect(Rect(0, 0, s.width, s.height));
    int coloured = 0;
    for (float y = box.getMinY() + 10; y < box.getMaxY() - 10; y += 4)
        for (float x = box.getMinX() + 10; x < box.getMaxX() - 10; x += 4) {
            SDL_Color c = f.at(static_cast<int>(x), static_cast<int>(768 - 1 - y));
            coloured += std::abs(c.r - c.g) > 40 || std::abs(c.g - c.b) > 40 ? 1 : 0;
        }
    EXPECT_GT(coloured, 40) << "the cards show in the picture";
    if (const char* dir = std::getenv("CORVINA_SCREENSHOT_DIR")) f.save(std::string(dir) + "/home-one-program.png");

    // Opened again, the same cards lie on the same rows.
    tap(centreOf(item->getThumbnailNode()));
    editor = arriveAt<FieldScene>();
    ASSERT_NE(editor, nullptr);
    field = editor;
    finishWorkers();
    EXPECT_EQ(editor->makeFieldDocument(), left);
    for (int row = 0; row < 3; ++row) EXPECT_NE(editor->cardOnRow(row), nullptr) << "row " << row;
    EXPECT_EQ(editor->getCardUseCount(CARD_SET_BASIC, 0), 1);
}

TEST_F(UserPathTest, AProgramSavedInLatteWithALongWaitOpensInJamWithItsNumber) {
    DeviceManager* devices = DeviceManager::getInstance();
    const int wait = waitAnyCard();
    ASSERT_GE(wait, 0);
    // Saved as a latte program holds it: 600 seconds, fine in latte, too
    // long for jam.
    devices->setDialect(DIALECT_LATTE);
    SaveData* data = SaveData::create();
    CardRecord longWait = onRow(CARD_SET_FULL, wait, 3, "600");
    longWait.zorder = 1;
    FieldDocument doc{longWait};
    ASSERT_FALSE(SaveDataManager::getInstance()->saveDocument(data, documentToValue(doc)));
    devices->setDialect(DIALECT_JAM);
    SaveDataManager::resetForTests();

    Scene* scene = FieldScene::createScene(SaveDataManager::getInstance()->getDatas().front().get());
    Director::getInstance()->replaceScene(scene);
    step(2);
    field = runningField();
    ASSERT_NE(field, nullptr);
    finishWorkers();
    CardSprite* card = field->cardOnRow(3);
    ASSERT_NE(card, nullptr) << "the card is back on its row";
    EXPECT_EQ(card->getNumberText(), "600") << "and its number is kept, even if jam cannot send it";
}

TEST_F(UserPathTest, TheCommandLineToolAndTheEditorReadAndWriteTheSamePrograms) {
    // Written by the tool, opened by the editor: the same cards on the same rows.
    const std::string path = dataDir + "from-the-tool.plist";
    std::ostringstream out, err;
    ASSERT_EQ(runCli({"new", "--row", "0:0:0", "--row", "2:2:15", "--row", "5:1:3", path}, out, err), 0) << err.str();
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const FieldDocument written = documentFromValue(engine::plist::parseVector(text.str()));
    ASSERT_EQ(written.size(), 3u);
    Scene* scene = FieldScene::createScene(nullptr);
    Director::getInstance()->replaceScene(scene);
    step(2);
    field = runningField();
    ASSERT_NE(field, nullptr);
    finishWorkers();
    field->loadDocument(written);
    for (int row : {0, 2, 5}) EXPECT_NE(field->cardOnRow(row), nullptr) << "row " << row;
    EXPECT_EQ(field->cardOnRow(2)->getCardSet(), CARD_SET_FULL);

    // Written by the editor, rendered by the tool: what the editor would type.
    const std::string own = dataDir + "from-the-editor.plist";
    std::ofstream(own) << *engine::plist::write(documentToValue(field->makeFieldDocument()));
    for (const char* dialect : {"jam", "latte", "que"}) {
        std::ostringstream bytes, messages;
        ASSERT_EQ(runCli({"render", "--dialect", dialect, own}, bytes, messages), 0) << messages.str();
        ByteCollector expected;
        int d = std::string(dialect) == "jam" ? DIALECT_JAM : std::string(dialect) == "latte" ? DIALECT_LATTE : DIALECT_QUE;
        transferProgram(field->takeSnapshot(), d, expected);
        EXPECT_EQ(bytes.str(), expected.bytes) << dialect;
    }
}
