#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <algorithm>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>

#include "engine/core/FileUtils.h"
#include "engine/core/Plist.h"

namespace engine {
void PrintTo(const Value& value, std::ostream* os); // test_value_plist.cpp
}

using namespace engine;
namespace fs = std::filesystem;

namespace {

fs::path dataDir() {
    const char* dir = std::getenv("CORVINA_DATA_DIR");
    return dir ? fs::path(dir) : fs::temp_directory_path() / "corvina-test-data";
}

void put(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// Each test works in a fresh folder and leaves the singleton as it found it.
class FileUtilsTest : public ::testing::Test {
protected:
    void SetUp() override {
        files = FileUtils::getInstance();
        savedSearchPaths = files->getSearchPaths();
        folder = dataDir() / "fileutils" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        files->setSearchPaths(savedSearchPaths);
        files->setWritablePath("");
    }
    std::string at(const std::string& name) const { return (folder / name).string(); }

    FileUtils* files = nullptr;
    std::vector<std::string> savedSearchPaths;
    fs::path folder;
};

} // namespace

TEST_F(FileUtilsTest, SearchPathsFindTheFirstHolder) {
    put(folder / "a/both.txt", "from a");
    put(folder / "b/both.txt", "from b");
    put(folder / "b/res/only_b.png", "png");
    files->setSearchPaths({at("a"), at("b") + "/"});
    EXPECT_EQ(files->getSearchPaths(), (std::vector<std::string>{at("a") + "/", at("b") + "/"}));

    EXPECT_EQ(files->fullPathForFilename("both.txt"), at("a/both.txt"));
    EXPECT_EQ(files->fullPathForFilename("res/only_b.png"), at("b/res/only_b.png"));
    EXPECT_EQ(files->fullPathForFilename("missing.png"), "");
    EXPECT_EQ(files->fullPathForFilename("res"), "") << "a folder is no file";
    EXPECT_EQ(files->fullPathForFilename(at("nowhere.txt")), at("nowhere.txt")) << "absolute paths are kept";
    EXPECT_EQ(files->getStringFromFile("both.txt"), "from a");

    files->addSearchPath(at("b"), true);
    EXPECT_EQ(files->getStringFromFile("both.txt"), "from b");

    EXPECT_TRUE(files->isFileExist("res/only_b.png"));
    EXPECT_TRUE(files->isFileExist(at("a/both.txt")));
    EXPECT_FALSE(files->isFileExist("res"));
    EXPECT_FALSE(files->isFileExist(""));
    EXPECT_TRUE(files->isDirectoryExist("res"));
    EXPECT_TRUE(files->isDirectoryExist(at("a")));
    EXPECT_FALSE(files->isDirectoryExist("both.txt"));

    files->setSearchPaths({});
    EXPECT_FALSE(files->isFileExist("both.txt"));
}

TEST_F(FileUtilsTest, WritablePathEndsWithASlash) {
    const char* previous = std::getenv("CORVINA_DATA_DIR");
    std::string saved = previous ? previous : "";
    setenv("CORVINA_DATA_DIR", "relative/data", 1);
    EXPECT_EQ(files->getWritablePath(), (fs::current_path() / "relative/data").string() + "/");
    files->setWritablePath("/var/lib/cards");
    EXPECT_EQ(files->getWritablePath(), "/var/lib/cards/");
    files->setWritablePath("");
    unsetenv("CORVINA_DATA_DIR");
    EXPECT_EQ(files->getWritablePath(), "");
    if (previous) setenv("CORVINA_DATA_DIR", saved.c_str(), 1);
}

TEST_F(FileUtilsTest, CreatesDirectoriesAndRemovesFiles) {
    EXPECT_TRUE(files->createDirectory(at("savedatas/deep/er")));
    EXPECT_TRUE(fs::is_directory(folder / "savedatas/deep/er"));
    EXPECT_TRUE(files->createDirectory(at("savedatas"))) << "an existing folder is fine";
    put(folder / "blocker", "x");
    EXPECT_FALSE(files->createDirectory(at("blocker/sub")));

    EXPECT_TRUE(files->removeFile(at("blocker")));
    EXPECT_FALSE(fs::exists(folder / "blocker"));
    EXPECT_FALSE(files->removeFile(at("blocker")));
    EXPECT_FALSE(files->removeFile(at("savedatas/deep/er"))) << "folders are not removed";
    EXPECT_TRUE(fs::is_directory(folder / "savedatas/deep/er"));
}

TEST_F(FileUtilsTest, ReadsWholeFilesAsBytes) {
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(i * 7);
    bytes += "\r\n\0end";
    put(folder / "blob.bin", bytes);
    EXPECT_EQ(files->getStringFromFile(at("blob.bin")), bytes);
    auto data = files->getDataFromFile(at("blob.bin"));
    EXPECT_EQ(std::string(data.begin(), data.end()), bytes);

    EXPECT_EQ(files->getStringFromFile(at("missing")), "");
    EXPECT_EQ(files->getStringFromFile(folder.string()), "");
    EXPECT_TRUE(files->getDataFromFile(at("missing")).empty());
}

TEST_F(FileUtilsTest, WritesReplaceTheFileAtomically) {
    const std::string target = at("list.plist");
    EXPECT_TRUE(files->writeStringToFile("first", target));
    EXPECT_TRUE(files->writeStringToFile(std::string("second\0!", 8), target));
    EXPECT_EQ(contentOf(target), std::string("second\0!", 8));
    EXPECT_EQ(namesIn(folder), std::set<std::string>{"list.plist"}) << "a temporary file was left";

    // The rename fails: the target is a folder that is not empty.
    put(folder / "taken/keep.txt", "kept");
    EXPECT_FALSE(files->writeStringToFile("lost", at("taken")));
    EXPECT_FALSE(files->writeValueMapToFile({{"a", Value(1)}}, at("taken")));
    EXPECT_EQ(contentOf(folder / "taken/keep.txt"), "kept");
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"list.plist", "taken"}));

    // The folder is missing, or the value cannot be written.
    EXPECT_FALSE(files->writeStringToFile("x", at("absent/list.plist")));
    EXPECT_FALSE(fs::exists(folder / "absent"));
    Value tooDeep("leaf");
    for (int i = 0; i <= plist::kMaxDepth; ++i) tooDeep = Value(ValueVector{tooDeep});
    EXPECT_FALSE(files->writeValueVectorToFile({tooDeep}, target));
    EXPECT_EQ(contentOf(target), std::string("second\0!", 8));
}

TEST_F(FileUtilsTest, ConcurrentWritersNeverTearTheFile) {
    const std::string target = at("doc.plist");
    const std::string contents[] = {std::string(100000, 'a'), std::string(70000, 'b')};
    std::atomic<int> writersLeft{2};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (writersLeft > 0) {
            std::string seen = files->getStringFromFile(target);
            if (!seen.empty() && seen != contents[0] && seen != contents[1]) ++torn;
        }
    });
    std::vector<std::thread> writers;
    for (const std::string& content : contents)
        writers.emplace_back([&, content] {
            for (int i = 0; i < 15; ++i) EXPECT_TRUE(files->writeStringToFile(content, target));
            --writersLeft;
        });
    for (auto& writer : writers) writer.join();
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(namesIn(folder), std::set<std::string>{"doc.plist"});
}

TEST_F(FileUtilsTest, PropertyListFiles) {
    const ValueMap list{{"lastid", Value(2)},
                        {"datas", Value(ValueVector{Value(ValueMap{{"identifer", Value(2)}, {"title", Value("2017/3/5 9:7:3")}})})}};
    const ValueVector document{Value(ValueMap{{"tab", Value(1)}, {"x", Value(-40)}, {"value", Value("")}})};
    ASSERT_TRUE(files->createDirectory(at("savedatas")));
    ASSERT_TRUE(files->writeValueMapToFile(list, at("savedatas/list.plist")));
    ASSERT_TRUE(files->writeValueVectorToFile(document, at("savedatas/1.plist")));

    EXPECT_EQ(files->getValueMapFromFile(at("savedatas/list.plist")), list);
    EXPECT_EQ(files->getValueVectorFromFile(at("savedatas/1.plist")), document);
    files->setSearchPaths({folder.string()});
    EXPECT_EQ(files->getValueMapFromFile("savedatas/list.plist"), list);

    EXPECT_TRUE(files->getValueVectorFromFile(at("savedatas/list.plist")).empty());
    EXPECT_TRUE(files->getValueMapFromFile(at("savedatas/1.plist")).empty());
    EXPECT_TRUE(files->getValueMapFromFile(at("savedatas/missing.plist")).empty());
}

// ---- Python's plistlib as an independent reader and writer ----

namespace {

// The same sample as SAMPLE in plist_interop.py.
ValueMap interopSample() {
    auto card = [](int tab, int index, int x, const char* value) {
        return Value(ValueMap{{"tab", Value(tab)}, {"index", Value(index)}, {"x", Value(x)}, {"value", Value(value)}});
    };
    return {
        {"name", Value("カード 1 ✓ 😀")},
        {"escaped", Value("<&> \"quoted\" ]]> 'x'")},
        {"blank", Value("")},
        {"spaces", Value("  two  ")},
        {"lines", Value("a\tb\nc")},
        {"", Value("empty key")},
        {"count", Value(42)},
        {"min", Value(INT_MIN)},
        {"max", Value(INT_MAX)},
        {"ratio", Value(0.1)},
        {"third", Value(1.0 / 3)},
        {"tiny", Value(5e-324)},
        {"big", Value(1e300)},
        {"whole", Value(2.0)},
        {"infinite", Value(ValueVector{Value(HUGE_VAL), Value(-HUGE_VAL)})},
        {"yes", Value(true)},
        {"no", Value(false)},
        {"datas", Value(ValueVector{card(0, 3, -12, "100"), card(2, 0, 512, "")})},
        {"emptyList", Value(ValueVector{})},
        {"emptyDict", Value(ValueMap{})},
        {"nested", Value(ValueVector{Value(ValueVector{Value(ValueVector{
                       Value(1), Value("two"), Value(3.5), Value(ValueMap{{"deep", Value(true)}})})})})},
    };
}

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs the interop script; gives its exit status and what it printed.
int runPython(const std::string& command, const std::string& file, std::string& output) {
    std::string script = std::string(CORVINA_SOURCE_DIR) + "/tests/engine/plist_interop.py";
    std::string line = "python3 " + shellQuoted(script) + " " + command + " " + shellQuoted(file) + " 2>&1";
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return -1;
    char buffer[512];
    while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool havePython() { return std::system("command -v python3 >/dev/null 2>&1") == 0; }

} // namespace

TEST_F(FileUtilsTest, PlistlibReadsWhatWeWrite) {
    ASSERT_TRUE(havePython()) << "python3 is needed to check property lists against plistlib; install it";
    const std::string file = at("ours.plist");
    ASSERT_TRUE(files->writeValueMapToFile(interopSample(), file));
    std::string output;
    EXPECT_EQ(runPython("check", file, output), 0) << output;
}

TEST_F(FileUtilsTest, WeReadWhatPlistlibWrites) {
    ASSERT_TRUE(havePython()) << "python3 is needed to check property lists against plistlib; install it";
    const std::string file = at("theirs.plist");
    std::string output;
    ASSERT_EQ(runPython("write", file, output), 0) << output;
    EXPECT_EQ(files->getValueMapFromFile(file), interopSample());
}

namespace {
// The system calls of a write, logged by kind and file; one kind of call
// can be made to fail.
class LoggedCalls : public FileWriteCalls {
public:
    int open(const char* path, int flags, int mode) override {
        int fd = FileWriteCalls::open(path, flags, mode);
        names[fd] = (flags & O_DIRECTORY) ? "folder" : "temp";
        log.push_back("open " + names[fd]);
        return fd;
    }
    ssize_t write(int fd, const void* data, size_t size) override {
        log.push_back("write " + names[fd]);
        if (failing == "write") {
            // Half of it reaches the file, then the disk is full.
            if (size > 1) return FileWriteCalls::write(fd, data, size / 2);
            errno = ENOSPC;
            return -1;
        }
        return FileWriteCalls::write(fd, data, size);
    }
    int fsync(int fd) override {
        log.push_back("fsync " + names[fd]);
        if (failing == "fsync" && names[fd] == "temp") { errno = EIO; return -1; }
        return FileWriteCalls::fsync(fd);
    }
    int close(int fd) override {
        log.push_back("close " + names[fd]);
        int rc = FileWriteCalls::close(fd);
        if (failing == "close" && names[fd] == "temp") { errno = EIO; return -1; }
        return rc;
    }
    int rename(const char* from, const char* to) override {
        log.push_back("rename");
        if (failing == "rename") { errno = EXDEV; return -1; }
        return FileWriteCalls::rename(from, to);
    }
    std::string failing;
    std::vector<std::string> log;
    std::map<int, std::string> names;
};
} // namespace

TEST_F(FileUtilsTest, AWriteIsSyncedBeforeItsRenameAndTheFolderAfter) {
    LoggedCalls calls;
    files->setWriteCalls(&calls);
    const std::string target = at("12.plist");
    EXPECT_TRUE(files->writeStringToFile(std::string(100000, 'x'), target));
    files->setWriteCalls(nullptr);
    // Writes, then the sync of the temporary file, then its rename, then the folder.
    std::vector<std::string> order;
    for (const auto& entry : calls.log)
        if (order.empty() || order.back() != entry) order.push_back(entry);
    EXPECT_EQ(order, (std::vector<std::string>{"open temp", "write temp", "fsync temp", "close temp", "rename",
                                               "open folder", "fsync folder", "close folder"}));
    EXPECT_EQ(contentOf(target), std::string(100000, 'x'));
}

TEST_F(FileUtilsTest, AFailedWriteSyncOrCloseNeverReplacesTheFile) {
    const std::string target = at("12.plist");
    ASSERT_TRUE(files->writeStringToFile("the old program", target));
    for (const char* failing : {"write", "fsync", "close", "rename"}) {
        LoggedCalls calls;
        calls.failing = failing;
        files->setWriteCalls(&calls);
        EXPECT_FALSE(files->writeStringToFile("the new program, half written", target)) << failing;
        files->setWriteCalls(nullptr);
        if (std::string(failing) != "rename") {
            EXPECT_EQ(std::count(calls.log.begin(), calls.log.end(), "rename"), 0) << failing;
        }
        EXPECT_EQ(contentOf(target), "the old program") << failing;
        EXPECT_EQ(namesIn(folder), std::set<std::string>{"12.plist"}) << failing << ": a temporary file was left";
    }
}
