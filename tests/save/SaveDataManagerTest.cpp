// The catalogue of saved programs: numbers, files and the list on disk,
// also when the disk fails or the files were damaged.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cards/FieldDocument.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Plist.h"
#include "save/SaveDataManager.h"

using engine::FileUtils;
using engine::Value;
using engine::ValueMap;
using engine::ValueVector;
namespace fs = std::filesystem;

namespace {

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::tm at(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

ValueVector documentWith(int x) { return documentToValue({{0, 1, x, 20, 0, ""}}); }

// Each test gets a writable folder of its own, inside a folder that holds
// what the editor must never touch.
class SaveCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("CORVINA_DATA_DIR");
        root = fs::path(base ? base : "/tmp/corvina-tests") / "catalogue" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        data = root / "w" / "data";
        fs::create_directories(data);
        FileUtils::getInstance()->setWritablePath(data.string());
        SaveDataManager::resetForTests();
    }
    void TearDown() override {
        FileUtils::getInstance()->setWriteCalls(nullptr);
        SaveDataManager::resetForTests();
        FileUtils::getInstance()->setWritablePath("");
    }

    SaveDataManager* manager() { return SaveDataManager::getInstance(); }
    fs::path listFile() const { return data / "savedatas" / "list.plist"; }
    ValueMap catalogueOnDisk() const { return engine::plist::parseMap(contentOf(listFile())); }
    std::vector<int> listedNumbers() {
        std::vector<int> numbers;
        for (const auto& entry : manager()->getDatas()) numbers.push_back(entry->identifier);
        return numbers;
    }
    SaveData* saveNew(int x = 0) {
        SaveData* entry = SaveData::create();
        EXPECT_FALSE(manager()->saveDocument(entry, documentWith(x)));
        return entry;
    }

    fs::path root, data;
};

} // namespace

TEST_F(SaveCatalogueTest, FirstStartCreatesTheFolderAndAnEmptyCatalogue) {
    EXPECT_TRUE(manager()->getDatas().empty());
    EXPECT_EQ(manager()->getLastId(), 0);
    ValueMap list = catalogueOnDisk();
    EXPECT_EQ(list["lastid"], Value(0));
    EXPECT_EQ(list["datas"], Value(ValueVector()));
    EXPECT_EQ(manager()->nextDocumentPath(), "savedatas/1.plist");
    EXPECT_EQ(manager()->nextImagePath(), "savedatas/img1.png");
}

TEST_F(SaveCatalogueTest, NumbersNewProgramsNewestFirstAndNeverReusesOne) {
    SaveData* first = saveNew(1);
    saveNew(2);
    SaveData* third = saveNew(3);
    EXPECT_EQ(listedNumbers(), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(third->path, "savedatas/3.plist");
    EXPECT_EQ(third->imagePath, "savedatas/img3.png");
    EXPECT_EQ(manager()->getImageFullPath(third), (data / "savedatas" / "img3.png").string());
    EXPECT_EQ(documentFromValue(manager()->loadDocument(first)), documentFromValue(documentWith(1)));

    ValueMap list = catalogueOnDisk();
    EXPECT_EQ(list["lastid"], Value(3));
    ASSERT_EQ(list["datas"].asValueVector().size(), 3u);
    EXPECT_EQ(list["datas"].asValueVector()[0].asValueMap().at("identifer"), Value(3));
    EXPECT_EQ(list["datas"].asValueVector()[0].asValueMap().at("path"), Value("savedatas/3.plist"));

    manager()->removeData(third);
    EXPECT_FALSE(fs::exists(data / "savedatas" / "3.plist"));
    EXPECT_EQ(saveNew()->identifier, 4);

    // After a restart the same entries come back.
    SaveDataManager::resetForTests();
    EXPECT_EQ(listedNumbers(), (std::vector<int>{4, 2, 1}));
    EXPECT_EQ(manager()->getLastId(), 4);
}

TEST_F(SaveCatalogueTest, ResavingAListedProgramRewritesOnlyItsDocument) {
    manager()->setClockForTests([] { return at(2017, 3, 5, 9, 7, 3); });
    SaveData* entry = saveNew(1);
    EXPECT_EQ(entry->title, "2017/3/5 9:7:3");
    EXPECT_EQ(entry->modify, "2017/3/5 9:7:3");
    std::string before = contentOf(listFile());

    manager()->setClockForTests([] { return at(2018, 1, 1, 0, 0, 0); });
    EXPECT_TRUE(manager()->saveDocument(entry, documentWith(2)));
    EXPECT_EQ(contentOf(listFile()), before);
    EXPECT_EQ(entry->title, "2017/3/5 9:7:3");
    EXPECT_EQ(entry->modify, "2017/3/5 9:7:3");
    EXPECT_EQ(documentFromValue(manager()->loadDocument(entry)), documentFromValue(documentWith(2)));
}

TEST_F(SaveCatalogueTest, CatalogueReadsTheSameInPythonsPlistlib) {
    if (std::system("python3 -c 'import plistlib' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    saveNew();
    SaveData* second = saveNew();
    second->title = "Robot <arm> & \"ライト\"";
    ASSERT_TRUE(manager()->saveList());

    std::string command = "python3 -c 'import plistlib,sys\n"
                          "d = plistlib.load(open(sys.argv[1], \"rb\"))\n"
                          "print(d[\"lastid\"])\n"
                          "for e in d[\"datas\"]: print(e[\"identifer\"], e[\"path\"], e[\"imagepath\"], e[\"title\"], sep=\"|\")' " +
                          listFile().string();
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(out, "2\n"
                   "2|savedatas/2.plist|savedatas/img2.png|Robot <arm> & \"ライト\"\n"
                   "1|savedatas/1.plist|savedatas/img1.png|" + manager()->getDatas()[1]->title + "\n");
}
