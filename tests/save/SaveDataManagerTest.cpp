// The catalogue of saved programs: numbers, files and the list on disk,
// also when the disk fails or the files were damaged.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <thread>

#include "cards/FieldDocument.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Plist.h"
#include "engine/core/Scheduler.h"
#include "engine/platform/RenderTexture.h"
#include "save/Thumbnail.h"
#include "support/HeadlessTest.h"

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

void put(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// A catalogue file as another version, or damage, may have left it.
std::string catalogueText(int lastId, const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>lastid</key><integer>" +
           std::to_string(lastId) + "</integer><key>datas</key><array>" + entries + "</array></dict></plist>\n";
}

std::string entryText(const std::string& identifier, const std::string& path, const std::string& imagePath) {
    return "<dict><key>identifer</key>" + identifier + "<key>title</key><string>t</string><key>path</key><string>" +
           path + "</string><key>imagepath</key><string>" + imagePath +
           "</string><key>modify</key><string>m</string></dict>";
}

std::string entryText(int n) {
    return entryText("<integer>" + std::to_string(n) + "</integer>", "savedatas/" + std::to_string(n) + ".plist",
                     "savedatas/img" + std::to_string(n) + ".png");
}

ValueVector documentWith(int x) { return documentToValue({{0, 1, x, 20, 0, ""}}); }

// The system calls of every file write, logged; a write whose temporary
// file name holds `failing` cannot be opened, as on a full disk. The
// writer thread and the main thread may write at once.
class LoggedCalls : public engine::FileWriteCalls {
public:
    int open(const char* path, int flags, int mode) override {
        if (flags & O_CREAT) {
            std::lock_guard<std::mutex> lock(logging);
            created.push_back(path);
            if (!failing.empty() && std::string(path).find(failing) != std::string::npos) {
                errno = ENOSPC;
                return -1;
            }
        }
        return FileWriteCalls::open(path, flags, mode);
    }
    int rename(const char* from, const char* to) override {
        std::lock_guard<std::mutex> lock(logging);
        renamed.emplace_back(from, to);
        return FileWriteCalls::rename(from, to);
    }
    int unlink(const char* path) override {
        std::lock_guard<std::mutex> lock(logging);
        unlinked.push_back(path);
        return FileWriteCalls::unlink(path);
    }
    // The names files were given.
    std::vector<std::string> targets() const {
        std::vector<std::string> names;
        for (const auto& [from, to] : renamed) names.push_back(to);
        return names;
    }

    std::mutex logging;
    std::string failing;
    std::vector<std::string> created, unlinked;
    std::vector<std::pair<std::string, std::string>> renamed;
};

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
        SaveDataManager::setClockForTests(nullptr);
        SaveDataManager::resetForTests();
        FileUtils::getInstance()->setWritablePath("");
        // No frames run here to drain the programs made with create().
        engine::AutoreleasePool::getInstance()->clear();
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
    LoggedCalls calls;
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

TEST_F(SaveCatalogueTest, DocumentsAndTheCatalogueAreWrittenThroughTheAtomicWrite) {
    manager();
    FileUtils::getInstance()->setWriteCalls(&calls);
    SaveData* entry = saveNew();
    manager()->saveDocument(entry, documentWith(5));
    manager()->finishWrites();
    manager()->saveList();
    std::string document = (data / "savedatas" / "1.plist").string(), list = listFile().string();
    EXPECT_EQ(calls.targets(), (std::vector<std::string>{document, list, document, list}));
    for (const auto& path : calls.created) EXPECT_NE(path, document) << "written in place";
}

namespace {

class SaveThumbnailTest : public testsupport::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        data = fs::path(dataDir) / "thumbnail" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(data);
        fs::create_directories(data);
        FileUtils::getInstance()->setWritablePath(data.string());
        SaveDataManager::resetForTests();
        FileUtils::getInstance()->setWriteCalls(&calls);
    }
    void TearDown() override {
        FileUtils::getInstance()->setWriteCalls(nullptr);
        SaveDataManager::resetForTests();
        FileUtils::getInstance()->setWritablePath("");
        HeadlessTest::TearDown();
    }
    fs::path data;
    LoggedCalls calls;
};

} // namespace

TEST_F(SaveThumbnailTest, WritesThePictureAtomicallyAndCallsBackOnceItIsThere) {
    auto* manager = SaveDataManager::getInstance();
    SaveData* entry = SaveData::create();
    manager->saveDocument(entry, documentWith(0));
    auto* texture = engine::RenderTexture::create(285, 285);
    ASSERT_NE(texture, nullptr);
    bool done = false;
    std::string image = (data / "savedatas" / "img1.png").string();
    writeThumbnail(entry, texture, [&](bool written) {
        done = written;
        EXPECT_TRUE(fs::exists(image));
    });
    step();
    EXPECT_TRUE(done);
    EXPECT_EQ(calls.targets().back(), image);

    // A program never saved has no thumbnail to write; the callback still runs.
    calls.renamed.clear();
    done = false;
    bool called = false;
    writeThumbnail(SaveData::create(), texture, [&](bool written) { called = true, done = written; });
    EXPECT_TRUE(called);
    EXPECT_FALSE(done) << "nothing written";
    EXPECT_TRUE(calls.renamed.empty());
}

TEST(SaveTimeStamp, FullYearWithoutLeadingZeros) {
    EXPECT_EQ(SaveDataManager::timeStamp(at(2017, 3, 5, 9, 7, 3)), "2017/3/5 9:7:3");
    EXPECT_EQ(SaveDataManager::timeStamp(at(1995, 12, 31, 23, 59, 59)), "1995/12/31 23:59:59");
    EXPECT_EQ(SaveDataManager::timeStamp(at(2105, 1, 1, 0, 0, 0)), "2105/1/1 0:0:0");
}

TEST_F(SaveCatalogueTest, AFailedCatalogueWriteIsToldAndTriedAgainAtTheNextSave) {
    int told = 0;
    manager()->setListFailureHandler([&] { ++told; });
    FileUtils::getInstance()->setWriteCalls(&calls);
    calls.failing = "/.list.plist.tmp";
    SaveData* entry = saveNew();
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(manager()->saveList());
    EXPECT_EQ(told, 2);
    EXPECT_EQ(catalogueOnDisk()["lastid"], Value(0));

    calls.failing.clear();
    EXPECT_TRUE(manager()->saveDocument(entry, documentWith(1)));
    EXPECT_EQ(told, 2);
    SaveDataManager::resetForTests();
    EXPECT_EQ(listedNumbers(), (std::vector<int>{1}));
}

TEST_F(SaveCatalogueTest, ANewProgramWhoseFirstWriteFailsKeepsNoNumber) {
    manager();
    std::string before = contentOf(listFile());
    FileUtils::getInstance()->setWriteCalls(&calls);
    calls.failing = "/.1.plist.tmp";
    SaveData* failed = SaveData::create();
    failed->title = "mine";
    EXPECT_FALSE(manager()->saveDocument(failed, documentWith(1)));
    EXPECT_TRUE(manager()->getDatas().empty());
    EXPECT_EQ(failed->identifier, 0);
    EXPECT_EQ(failed->path, "");
    EXPECT_EQ(failed->imagePath, "");
    EXPECT_EQ(failed->title, "mine");
    EXPECT_EQ(manager()->getImageFullPath(failed), "");
    EXPECT_EQ(contentOf(listFile()), before);

    calls.failing.clear();
    SaveData* next = saveNew(2);
    EXPECT_FALSE(manager()->saveDocument(failed, documentWith(1)));
    EXPECT_EQ(listedNumbers(), (std::vector<int>{2, 1}));
    EXPECT_NE(failed->path, next->path);
    EXPECT_NE(failed->imagePath, next->imagePath);
    EXPECT_EQ(documentFromValue(manager()->loadDocument(next)), documentFromValue(documentWith(2)));
}

TEST_F(SaveCatalogueTest, FilesTheCatalogueLostAreListedAgainAndNewNumbersPassEveryFileOnDisk) {
    // A catalogue behind its own entries, and files it has lost track of.
    put(listFile(), catalogueText(1, entryText(2)));
    put(data / "savedatas" / "2.plist", "two");
    put(data / "savedatas" / "3.plist", "three");
    put(data / "savedatas" / "img4.png", "four");
    put(data / "savedatas" / "07.plist", "not a number of ours");
    fs::create_symlink("/etc/hostname", data / "savedatas" / "8.plist");
    EXPECT_EQ(listedNumbers(), (std::vector<int>{3, 2})) << "the lost document, at the front";
    const SaveData* found = manager()->getDatas()[0].get();
    EXPECT_EQ(found->title, SaveDataManager::recoveredTitle(found->modify));
    EXPECT_EQ(manager()->takeRecoveredCount(), 1);
    EXPECT_EQ(manager()->takeRecoveredCount(), 0) << "told once";
    SaveDataManager::resetForTests();
    EXPECT_EQ(manager()->takeRecoveredCount(), 0) << "listed on the disk now: not found again";
    EXPECT_EQ(manager()->nextDocumentPath(), "savedatas/5.plist");
    EXPECT_EQ(manager()->nextImagePath(), "savedatas/img5.png");
    EXPECT_EQ(saveNew()->identifier, 5);
    EXPECT_EQ(contentOf(data / "savedatas" / "3.plist"), "three");
    EXPECT_EQ(contentOf(data / "savedatas" / "img4.png"), "four");

    // No catalogue at all: every program comes back.
    fs::remove(listFile());
    SaveDataManager::resetForTests();
    EXPECT_EQ(listedNumbers(), (std::vector<int>{5, 3, 2}));
    EXPECT_EQ(saveNew()->identifier, 6);
    EXPECT_EQ(contentOf(data / "savedatas" / "2.plist"), "two");
    EXPECT_EQ(contentOf(data / "savedatas" / "3.plist"), "three");
}

TEST_F(SaveCatalogueTest, PathsOfAHostileCatalogueAreNeverUsed) {
    // Canaries outside the data folder hold a valid document, so reading one shows.
    std::string canary = engine::plist::write(documentWith(66)).value();
    put(root / "x", canary);
    put(root / "abs.plist", canary);
    put(data / "savedatas" / "3.plist", canary);
    put(data / "savedatas" / "8.plist", canary);
    std::string abs = (root / "abs.plist").string();
    put(listFile(), catalogueText(9, entryText("<integer>1</integer>", "../../x", "savedatas/img1.png") +
                                          entryText("<integer>2</integer>", abs, abs) +
                                          entryText(3) +
                                          entryText("<string>abc</string>", "savedatas/4.plist", "savedatas/img4.png") +
                                          entryText("<integer>7</integer>", "savedatas/3.plist", "savedatas/img3.png") +
                                          entryText(8) + entryText(8) +
                                          entryText("<integer>9</integer>", "savedatas/09.plist", "savedatas/img9.png")));
    FileUtils::getInstance()->setWriteCalls(&calls);
    const auto datas = manager()->getDatas();
    ASSERT_EQ(datas.size(), 8u);
    SaveData *outside = datas[0], *absolute = datas[1], *valid = datas[2], *odd = datas[3], *other = datas[4];

    for (SaveData* entry : {outside, absolute, odd, other, datas[7].get()}) {
        EXPECT_TRUE(manager()->loadDocument(entry).empty()) << entry->path;
        EXPECT_EQ(manager()->getImageFullPath(entry), "") << entry->imagePath;
        EXPECT_TRUE(manager()->saveDocument(entry, documentWith(1)));
    }
    EXPECT_TRUE(calls.created.empty());
    EXPECT_FALSE(manager()->loadDocument(valid).empty());
    EXPECT_FALSE(manager()->loadDocument(datas[5]).empty());

    for (SaveData* entry : {outside, absolute, other, datas[5].get()}) manager()->removeData(entry);
    EXPECT_EQ(contentOf(root / "x"), canary);
    EXPECT_EQ(contentOf(root / "abs.plist"), canary);
    EXPECT_EQ(contentOf(data / "savedatas" / "3.plist"), canary);
    EXPECT_EQ(contentOf(data / "savedatas" / "8.plist"), canary) << "still named by the other 8";
    EXPECT_EQ(listedNumbers(), (std::vector<int>{3, 0, 8, 9}));
    EXPECT_EQ(saveNew()->identifier, 10);
    for (const auto& path : calls.created) EXPECT_EQ(path.rfind(data.string() + "/savedatas/", 0), 0u) << path;
    for (const auto& [from, to] : calls.renamed)
        for (const auto& path : {from, to}) EXPECT_EQ(path.rfind(data.string() + "/savedatas/", 0), 0u) << path;
    for (const auto& path : calls.unlinked) EXPECT_EQ(path.rfind(data.string() + "/savedatas/", 0), 0u) << path;

    // What could not be used is written back as it was.
    const ValueVector written = catalogueOnDisk()["datas"].asValueVector();
    ASSERT_EQ(written.size(), 5u);
    EXPECT_EQ(written[2].asValueMap().at("identifer"), Value("abc"));
    EXPECT_EQ(written[4].asValueMap().at("path"), Value("savedatas/09.plist"));
}

TEST_F(SaveCatalogueTest, ADamagedCatalogueIsKeptAsideAndWhatIsValidStaysListed) {
    std::string good = catalogueText(2, entryText(2) + entryText(1));
    struct Case {
        std::string text;
        std::vector<int> listed;
    } cases[] = {
        // The documents it lost come back.
        {good.substr(0, good.size() / 2), {3, 2, 1}},
        {"not a property list", {3, 2, 1}},
        {"", {3, 2, 1}},
        {"<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer></array></plist>", {3, 2, 1}},
        {"<plist version=\"1.0\"><dict><key>datas</key><dict/></dict></plist>", {3, 2, 1}},
        {catalogueText(2, "<string>junk</string>" + entryText(2) +
                              "<dict><key>identifer</key><real>1</real><key>title</key><integer>5</integer></dict>"),
         {3, 1, 2, 0}},
    };
    for (const Case& c : cases) {
        fs::remove_all(data);
        put(listFile(), c.text);
        for (int n = 1; n <= 3; ++n) put(data / "savedatas" / (std::to_string(n) + ".plist"), "kept");
        SaveDataManager::resetForTests();
        EXPECT_EQ(listedNumbers(), c.listed) << c.text;
        std::vector<fs::path> aside;
        for (const auto& file : fs::directory_iterator(data / "savedatas"))
            if (file.path().filename().string().starts_with("list.plist.damaged-")) aside.push_back(file.path());
        ASSERT_EQ(aside.size(), 1u) << c.text;
        EXPECT_EQ(aside[0].filename().string().size(), std::string("list.plist.damaged-20170305-090703").size());
        EXPECT_EQ(contentOf(aside[0]), c.text);
        EXPECT_EQ(engine::plist::parseMap(contentOf(listFile()))["datas"].asValueVector().size(), c.listed.size());
        EXPECT_EQ(saveNew()->identifier, 4) << c.text;
    }
    EXPECT_EQ(manager()->getDatas()[4]->title, "") << "a title that is not a string";
}

namespace {

// Holds every write to a file whose temporary name holds `held` at its
// open until released, so a test can ask for more while one is under way.
class HeldCalls : public LoggedCalls {
public:
    int open(const char* path, int flags, int mode) override {
        if ((flags & O_CREAT) && std::string(path).find(held) != std::string::npos) {
            std::unique_lock<std::mutex> lock(mutex);
            writers.push_back(std::this_thread::get_id());
            arrived.notify_all();
            gate.wait(lock, [&] { return open_; });
        }
        return LoggedCalls::open(path, flags, mode);
    }
    void waitForAWrite() {
        std::unique_lock<std::mutex> lock(mutex);
        arrived.wait(lock, [&] { return !writers.empty(); });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex);
        open_ = true;
        gate.notify_all();
    }
    std::string held = "\x01";
    std::vector<std::thread::id> writers;

private:
    std::mutex mutex;
    std::condition_variable arrived, gate;
    bool open_ = false;
};

int writesTo(const LoggedCalls& calls, const fs::path& file) {
    int n = 0;
    for (const auto& target : calls.targets()) n += target == file.string();
    return n;
}

} // namespace

TEST_F(SaveCatalogueTest, AResaveIsWrittenOffTheMainThreadAndTheNewestWaitingOneReplacesTheOthers) {
    SaveData* entry = saveNew(1);
    HeldCalls held;
    held.held = "/.1.plist.tmp";
    FileUtils::getInstance()->setWriteCalls(&held);
    // Returns while its write is held: the frame never waits for the disk.
    EXPECT_TRUE(manager()->saveDocument(entry, documentWith(2)));
    held.waitForAWrite();
    for (int x = 3; x <= 6; ++x) EXPECT_TRUE(manager()->saveDocument(entry, documentWith(x)));
    std::thread opener([&] { held.release(); });
    // What quitting does: every write asked for reaches the disk first.
    SaveDataManager::finishPendingWrites();
    opener.join();
    const fs::path file = data / "savedatas" / "1.plist";
    EXPECT_EQ(documentFromValue(engine::plist::parseVector(contentOf(file))), documentFromValue(documentWith(6)));
    EXPECT_EQ(writesTo(held, file), 2) << "the held write and the newest one";
    ASSERT_FALSE(held.writers.empty());
    for (auto id : held.writers) EXPECT_NE(id, std::this_thread::get_id());
}

TEST_F(SaveCatalogueTest, AFailedResaveIsToldOnceUntilAWriteSucceedsAgain) {
    SaveData* entry = saveNew(1);
    int told = 0;
    manager()->setDocumentFailureHandler([&] { ++told; });
    FileUtils::getInstance()->setWriteCalls(&calls);
    engine::Scheduler* scheduler = engine::Director::getInstance()->getScheduler();
    auto saveAndSettle = [&](int x) {
        manager()->saveDocument(entry, documentWith(x));
        manager()->finishWrites();
        scheduler->runFunctionsToPerform();
    };
    calls.failing = "/.1.plist.tmp";
    saveAndSettle(2);
    saveAndSettle(3);
    EXPECT_EQ(told, 1);
    calls.failing.clear();
    saveAndSettle(4);
    calls.failing = "/.1.plist.tmp";
    saveAndSettle(5);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(documentFromValue(manager()->loadDocument(entry)), documentFromValue(documentWith(4)));
}

TEST_F(SaveCatalogueTest, AProgramGoesToTheBinWithItsNewestEditAndNoWriteBringsItBack) {
    SaveData* kept = saveNew(1);
    SaveData* gone = saveNew(2);
    HeldCalls held;
    held.held = "/.2.plist.tmp";
    FileUtils::getInstance()->setWriteCalls(&held);
    manager()->saveDocument(gone, documentWith(20));
    held.waitForAWrite();  // the writer is inside the write now
    manager()->saveDocument(gone, documentWith(21));
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        held.release();
    });
    EXPECT_EQ(manager()->moveToBin({gone}), 1);
    opener.join();
    manager()->finishWrites();
    FileUtils::getInstance()->setWriteCalls(nullptr);
    EXPECT_FALSE(fs::exists(data / "savedatas" / "2.plist")) << "a write brought the program back";
    EXPECT_EQ(documentFromValue(engine::plist::parseVector(contentOf(data / "savedatas" / "bin" / "2.plist"))),
              documentFromValue(documentWith(21)));
    EXPECT_EQ(listedNumbers(), (std::vector<int>{1}));
    EXPECT_FALSE(manager()->loadDocument(kept).empty());
}

TEST_F(SaveCatalogueTest, TheBinKeepsProgramsThirtyDaysAndGivesThemBackWithTheirNumberTitleAndThumbnail) {
    std::tm clock = at(2026, 12, 1, 10, 0, 0);
    SaveDataManager::setClockForTests([&clock] { return clock; });
    std::vector<SaveData*> made;
    for (int i = 1; i <= 4; ++i) {
        made.push_back(saveNew(i));
        made.back()->title = "mine " + std::to_string(i);
        put(data / "savedatas" / ("img" + std::to_string(i) + ".png"), "png " + std::to_string(i));
    }
    manager()->saveList();
    EXPECT_EQ(manager()->moveToBin({made[0], made[1], made[3]}), 3);
    EXPECT_EQ(listedNumbers(), (std::vector<int>{3}));
    EXPECT_EQ(saveNew()->identifier, 5) << "a new number passes the numbers in the bin";

    SaveData* back = nullptr;
    for (const auto& entry : manager()->getBinDatas())
        if (entry->identifier == 2) back = entry.get();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(contentOf(manager()->getBinImageFullPath(back)), "png 2");
    ASSERT_TRUE(manager()->restoreFromBin(back));

    SaveDataManager::resetForTests();
    EXPECT_EQ(listedNumbers(), (std::vector<int>{2, 5, 3}));
    SaveData* restored = manager()->getDatas()[0].get();
    EXPECT_EQ(restored->title, "mine 2");
    EXPECT_EQ(contentOf(manager()->getImageFullPath(restored)), "png 2");
    EXPECT_EQ(documentFromValue(manager()->loadDocument(restored)), documentFromValue(documentWith(2)));
    ASSERT_EQ(manager()->getBinDatas().size(), 2u);
    EXPECT_EQ(manager()->getBinDatas()[0]->title + ", " + manager()->getBinDatas()[1]->title, "mine 4, mine 1");

    // Thirty days on they are gone for good; a deletion dated in the future keeps.
    put(data / "savedatas" / "bin" / "list.plist",
        "<plist><dict><key>datas</key><array>"
        "<dict><key>identifer</key><integer>1</integer><key>deleted</key><string>99999999999</string></dict>"
        "<dict><key>identifer</key><integer>4</integer><key>deleted</key><string>1764583200</string></dict>"
        "</array></dict></plist>");
    clock = at(2027, 1, 1, 10, 0, 0);
    SaveDataManager::resetForTests();
    ASSERT_EQ(manager()->getBinDatas().size(), 1u);
    EXPECT_EQ(manager()->getBinDatas()[0]->identifier, 1);
    EXPECT_FALSE(fs::exists(data / "savedatas" / "bin" / "4.plist"));
    EXPECT_FALSE(fs::exists(data / "savedatas" / "bin" / "img4.png"));
}

TEST_F(SaveCatalogueTest, AMoveToTheBinWhoseCatalogueWriteFailsStillLeavesTheProgramInOnePlace) {
    SaveData* entry = saveNew(1);
    FileUtils::getInstance()->setWriteCalls(&calls);
    calls.failing = "savedatas/.list.plist.tmp";
    manager()->moveToBin({entry});
    calls.failing.clear();
    // The catalogue on the disk still lists it; where its document lies wins.
    SaveDataManager::resetForTests();
    EXPECT_EQ(listedNumbers(), (std::vector<int>{}));
    ASSERT_EQ(manager()->getBinDatas().size(), 1u);
    EXPECT_EQ(manager()->getBinDatas()[0]->identifier, 1);
}

TEST_F(SaveCatalogueTest, ADocumentInTheBinWhoseBinListIsLostIsInTheBinOnlyWithItsTitle) {
    SaveData* entry = saveNew(1);
    entry->title = "mine";
    manager()->saveList();
    fs::create_directories(data / "savedatas" / "bin");
    fs::rename(data / "savedatas" / "1.plist", data / "savedatas" / "bin" / "1.plist");
    SaveDataManager::resetForTests();
    EXPECT_EQ(listedNumbers(), (std::vector<int>{}));
    ASSERT_EQ(manager()->getBinDatas().size(), 1u);
    EXPECT_EQ(manager()->getBinDatas()[0]->title, "mine");
    EXPECT_EQ(saveNew()->identifier, 2) << "its number stays its own";
}

TEST_F(SaveCatalogueTest, ADamagedDocumentIsKeptAsideBeforeAnythingIsWrittenOverIt) {
    SaveData* entry = saveNew(1);
    put(data / "savedatas" / "1.plist", "<plist><array><dict>cut sh");
    EXPECT_TRUE(manager()->loadDocument(entry).empty());
    const std::string aside = manager()->takeKeptAside();
    EXPECT_TRUE(aside.starts_with("1.plist.damaged-")) << aside;
    EXPECT_EQ(manager()->takeKeptAside(), "") << "told once";
    EXPECT_EQ(contentOf(data / "savedatas" / aside), "<plist><array><dict>cut sh");
    manager()->saveDocument(entry, documentWith(2));
    manager()->finishWrites();
    EXPECT_EQ(contentOf(data / "savedatas" / aside), "<plist><array><dict>cut sh") << "the copy outlives the next save";
    EXPECT_EQ(documentFromValue(manager()->loadDocument(entry)), documentFromValue(documentWith(2)));
    SaveDataManager::resetForTests();
    EXPECT_EQ(listedNumbers(), (std::vector<int>{1})) << "the copy is not a program of its own";
}
