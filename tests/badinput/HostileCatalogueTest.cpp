// The catalogue of saved programs with titles of any text and with paths
// that lead out of the program folder, headless: what it lists is kept
// exactly, shown on the home screen's card, and nothing beside the
// writable folder is ever read, written or removed through it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cards/FieldDocument.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Plist.h"
#include "engine/platform/Label.h"
#include "fuzz/FuzzChecks.h"
#include "save/SaveItemView.h"
#include "support/HeadlessTest.h"
#include "ui/Localization.h"

using namespace std::string_literals;
using engine::FileUtils;
using engine::ValueVector;
namespace fs = std::filesystem;

namespace {

void put(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string documentText(int x) { return engine::plist::write(documentToValue({{0, 1, x, 20, 0, ""}})).value(); }

// Each test has a folder of its own holding the writable folder data/ and,
// beside it, outside/.
class HostileCatalogueTest : public testsupport::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        FileUtils::getInstance()->setSearchPaths({std::string(CORVINA_TEST_RESOURCE_DIR) + "/"});
        Localization::getInstance()->configure(engine::LanguageType::JAPANESE, {});
        root = fs::path(dataDir) / "hostile" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        data = root / "data";
        outside = root / "outside";
        fs::create_directories(data / "savedatas");
        fs::create_directories(outside);
        FileUtils::getInstance()->setWritablePath(data.string());
        SaveDataManager::resetForTests();
        scene = runScene();
    }
    void TearDown() override {
        HeadlessTest::TearDown();
        SaveDataManager::resetForTests();
        FileUtils::getInstance()->setWritablePath("");
    }

    SaveDataManager* manager() { return SaveDataManager::getInstance(); }
    // The card of the home screen for `entry`, drawn once and taken off
    // again (a long title's picture is large).
    engine::RefPtr<SaveItemSavedView> show(SaveData* entry) {
        engine::RefPtr<SaveItemSavedView> item(SaveItemSavedView::create(entry));
        scene->addChild(item.get());
        step();
        item->removeFromParent();
        return item;
    }

    fs::path root, data, outside;
    engine::Scene* scene = nullptr;
};

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

} // namespace

TEST_F(HostileCatalogueTest, TitlesOfAnyTextAreKeptExactlyAndShown) {
    struct Title {
        std::string text;
        std::string kept;  // as the catalogue reads it back
    };
    const Title titles[] = {
        {"e\u0301\u0302 a\u0308\u0323", "e\u0301\u0302 a\u0308\u0323"},  // combining marks
        {"🐦‍⬛ 👩🏽‍💻 🇯🇵", "🐦‍⬛ 👩🏽‍💻 🇯🇵"},                           // emoji, joined and flags
        {"שלום עולם مرحبا", "שלום עולם مرحبا"},                         // right to left
        {"\u202Eabc\u202C def", "\u202Eabc\u202C def"},                 // a direction override
        {repeated("あ", 10000), repeated("あ", 10000)},                  // 10,000 characters
        {std::string(10000, 'W'), std::string(10000, 'W')},
        {"<LED> & \"BEEP\" ]]>", "<LED> & \"BEEP\" ]]>"},
        // What a document cannot hold: invalid UTF-8 becomes U+FFFD, NUL and
        // the control characters XML forbids are dropped.
        {"ab\xff" "cd"s, "ab\uFFFDcd"},
        {"\xc0\xaf\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"cut \xe3\x81", "cut \uFFFD\uFFFD"},  // each byte of a broken sequence
        {"nul\0inside"s, "nulinside"},
        {"bell\a esc\x1b", "bell esc"},
        {"", ""},
    };
    std::vector<engine::RefPtr<SaveData>> entries;
    for (const Title& title : titles) {
        EXPECT_EQ(engine::plist::sanitizeText(title.text), title.kept) << "the stated rule for " << title.kept;
        engine::RefPtr<SaveData> entry(SaveData::create());
        manager()->saveDocument(entry.get(), {});
        ASSERT_TRUE(entry->isSaved());
        entry->title = title.text;
        entries.push_back(entry);
        // The title as typed, before it reaches the disk.
        if (!title.text.empty()) {
            EXPECT_EQ(show(entry.get())->getTitleLabel()->getString(), title.text);
        }
    }
    ASSERT_TRUE(manager()->saveList());

    for (int reload = 0; reload < 2; ++reload) {
        SaveDataManager::resetForTests();
        const auto& read = manager()->getDatas();
        ASSERT_EQ(read.size(), std::size(titles));
        for (size_t i = 0; i < read.size(); ++i) {
            const Title& title = titles[std::size(titles) - 1 - i];  // newest first
            EXPECT_EQ(read[i]->title, title.kept) << "reload " << reload;
            if (!title.kept.empty()) {
                EXPECT_EQ(show(read[i].get())->getTitleLabel()->getString(), title.kept);
            }
        }
        ASSERT_TRUE(manager()->saveList());
    }
    step(3);
}

TEST_F(HostileCatalogueTest, NothingOutsideTheFolderIsReadWrittenOrRemovedThroughIt) {
    // Outside: a valid program and a picture, so reading either shows.
    const std::string canary = documentText(666);
    put(outside / "canary.plist", canary);
    put(outside / "savedatas" / "3.plist", canary);
    writeSolidPNG(fs::relative(outside / "secret.png", dataDir).string(), 40, 40, {230, 40, 40, 255});
    // Inside: program 4 with its own files, and program 3 whose files are
    // links to files outside; savedatas/sub links to the outside folder.
    const fs::path folder = data / "savedatas";
    put(folder / "4.plist", documentText(111));
    writeSolidPNG(fs::relative(folder / "img4.png", dataDir).string(), 40, 40, {40, 230, 40, 255});
    fs::create_symlink("../../outside/canary.plist", folder / "3.plist");
    fs::create_symlink(outside / "secret.png", folder / "img3.png");
    fs::create_symlink("../../outside", folder / "sub");

    struct Entry {
        int identifier;
        std::string path, imagePath;
    };
    const std::string longName = "savedatas/" + std::string(5000, 'a') + ".plist";
    const std::string longClimb = "savedatas/" + repeated("../", 2000) + (outside / "secret.png").string().substr(1);
    const Entry hostile[] = {
        {1, "../outside/canary.plist", "../outside/secret.png"},
        {2, (outside / "canary.plist").string(), (outside / "secret.png").string()},
        {3, "savedatas/3.plist", "savedatas/img3.png"},
        {5, "savedatas/../../outside/canary.plist", "savedatas/../../outside/secret.png"},
        {6, "savedatas/sub/canary.plist", "savedatas/sub/secret.png"},
        {7, longName, longClimb},
        {8, "savedatas/../../x", "savedatas/../../x"},
        {9, "savedatas\\..\\..\\outside\\canary.plist", "savedatas/img9.png/../../../outside/secret.png"},
        {4, "savedatas/4.plist", "savedatas/img4.png"},
    };
    engine::ValueVector list;
    for (const Entry& e : hostile) {
        engine::ValueMap entry;
        entry["identifer"] = engine::Value(e.identifier);
        entry["title"] = engine::Value("program " + std::to_string(e.identifier));
        entry["path"] = engine::Value(e.path);
        entry["imagepath"] = engine::Value(e.imagePath);
        list.emplace_back(std::move(entry));
    }
    engine::ValueMap catalogue;
    catalogue["lastid"] = engine::Value(9);
    catalogue["datas"] = engine::Value(std::move(list));
    put(folder / "list.plist", engine::plist::write(catalogue).value());
    const std::string before = fuzzchecks::treeListing(outside);
    ASSERT_NE(before.find("canary.plist"), std::string::npos);

    // Load and open every entry, and show it on the home screen.
    const auto datas = manager()->getDatas();
    ASSERT_EQ(datas.size(), std::size(hostile));
    SaveData* own = datas.back().get();
    for (const auto& entry : datas) {
        const std::string name = "entry " + std::to_string(entry->identifier);
        const ValueVector document = manager()->loadDocument(entry.get());
        const std::string image = manager()->getImageFullPath(entry.get());
        auto item = show(entry.get());
        if (entry.get() == own) {
            EXPECT_EQ(documentFromValue(document).at(0).x, 111);
            EXPECT_EQ(image, (folder / "img4.png").string());
            EXPECT_NE(item->getThumbnailSprite(), nullptr);
            continue;
        }
        EXPECT_TRUE(document.empty()) << name << " read " << engine::plist::write(document).value_or("?");
        EXPECT_EQ(image, "") << name;
        EXPECT_EQ(item->getThumbnailSprite(), nullptr) << name << " shows a picture from outside";
    }

    // Save into every entry, save a new one, delete every entry.
    const ValueVector small = documentToValue({{0, 1, 5, 5, 0, "7"}});
    for (const auto& entry : datas) manager()->saveDocument(entry.get(), small);
    engine::RefPtr<SaveData> fresh(SaveData::create());
    manager()->saveDocument(fresh.get(), small);
    EXPECT_EQ(fresh->identifier, 10);
    EXPECT_EQ(fuzzchecks::treeListing(outside), before) << "after saving";
    for (const auto& entry : datas) manager()->removeData(entry.get());
    manager()->removeData(fresh.get());
    EXPECT_TRUE(manager()->getDatas().empty());
    EXPECT_EQ(fuzzchecks::treeListing(outside), before) << "after deleting";

    // The program folder's own files did go.
    EXPECT_FALSE(fs::exists(folder / "4.plist"));
    EXPECT_FALSE(fs::exists(folder / "img4.png"));
    EXPECT_FALSE(fs::exists(folder / "10.plist"));
    EXPECT_TRUE(fs::exists(folder / "list.plist"));
}
