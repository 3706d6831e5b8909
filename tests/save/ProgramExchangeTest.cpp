// Programs handed from one computer to another through the command line:
// export in one data folder, import in another, and what must be refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "catalogue/EditorLock.h"
#include "catalogue/SaveDataManager.h"
#include "cli/CliCommands.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Ref.h"

namespace fs = std::filesystem;

namespace {

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// The start of a PNG of the size given: what a thumbnail is checked by.
std::string pngHead(unsigned width, unsigned height) {
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (unsigned v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) png += static_cast<char>((v >> shift) & 0xFF);
    return png + std::string("\x08\x06\0\0\0 rest of the picture", 24);
}

std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().string()] = contentOf(entry.path());
    return files;
}

class ProgramExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("CORVINA_DATA_DIR");
        saved = base ? base : "";
        root = fs::path(base ? base : "/tmp/corvina-tests") / "exchange" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override {
        ::setenv("CORVINA_DATA_DIR", saved.c_str(), 1);
        SaveDataManager::setReadOnly(false);
        SaveDataManager::resetForTests();
        engine::FileUtils::getInstance()->setWritablePath("");
        engine::AutoreleasePool::getInstance()->clear();
    }

    // Runs a command on the data folder `folder`.
    int cli(const fs::path& folder, const std::vector<std::string>& args) {
        ::setenv("CORVINA_DATA_DIR", folder.c_str(), 1);
        out.str("");
        err.str("");
        return runCli(args, out, err);
    }

    std::string saved;
    fs::path root;
    std::ostringstream out, err;
};

TEST_F(ProgramExchangeTest, AnExportedProgramImportsWholeElsewhereAndBadFilesAreRefusedAlone) {
    const fs::path a = root / "a", b = root / "b";
    ASSERT_EQ(cli(a, {"new", "--row", "0:0:0", "--row", "1:0:2:3", "--row", "3:2:15", (root / "made.plist").string()}), 0)
        << err.str();
    ASSERT_EQ(cli(a, {"import", (root / "made.plist").string()}), 0) << err.str();
    EXPECT_EQ(out.str(), "1\tmade\n");
    put(a / "savedatas" / "img1.png", pngHead(64, 48));
    ASSERT_EQ(cli(a, {"export", "1", (root / "made.corvina").string()}), 0) << err.str();

    const std::string exported = contentOf(root / "made.corvina");
    put(root / "cut.corvina", exported.substr(0, exported.size() / 2));
    put(root / "big.corvina", exported + std::string(1 << 20, ' '));
    std::string deep = "<plist><dict><key>format</key><string>corvina-program</string><key>cards</key>";
    for (int i = 0; i < 200; ++i) deep += "<array>";
    put(root / "deep.corvina", deep);
    EXPECT_EQ(cli(b, {"import", (root / "cut.corvina").string(), (root / "made.corvina").string(),
                      (root / "big.corvina").string(), (root / "deep.corvina").string(), (root / "none.corvina").string(),
                      (root / "made.plist").string()}),
              kCliDocument);
    for (const char* bad : {"cut.corvina", "big.corvina", "deep.corvina", "none.corvina"})
        EXPECT_NE(err.str().find(bad), std::string::npos) << bad << " is not named in: " << err.str();
    EXPECT_EQ(out.str(), "1\tmade\n2\tmade\n");
    EXPECT_EQ(contentOf(b / "savedatas" / "img1.png"), pngHead(64, 48));
    EXPECT_FALSE(fs::exists(b / "savedatas" / "img2.png"));
    EXPECT_FALSE(fs::exists(b / "savedatas" / "3.plist"));

    for (const char* dialect : {"jam", "latte", "que"}) {
        std::ostringstream here, there, messages;
        ASSERT_EQ(runCli({"render", "--dialect", dialect, (a / "savedatas" / "1.plist").string()}, here, messages), 0);
        ASSERT_EQ(runCli({"render", "--dialect", dialect, (b / "savedatas" / "1.plist").string()}, there, messages), 0);
        EXPECT_EQ(here.str(), there.str()) << dialect;
        EXPECT_FALSE(here.str().empty());
    }
}

TEST_F(ProgramExchangeTest, AThumbnailThatIsNoSmallPngIsDroppedAndTheProgramStillComesIn) {
    const fs::path a = root / "a";
    ASSERT_EQ(cli(a, {"new", "--row", "0:0:0", (root / "one.plist").string()}), 0);
    ASSERT_EQ(cli(a, {"import", (root / "one.plist").string(), (root / "one.plist").string()}), 0);
    put(a / "savedatas" / "img1.png", pngHead(2000, 10));
    put(a / "savedatas" / "img2.png", "GIF89a not a png at all, but long enough to look");
    for (const char* n : {"1", "2"}) {
        ASSERT_EQ(cli(a, {"export", n, (root / (std::string(n) + ".corvina")).string()}), 0);
        EXPECT_EQ(contentOf(root / (std::string(n) + ".corvina")).find("<key>thumbnail</key>"), std::string::npos);
    }
}

TEST_F(ProgramExchangeTest, ATitleFromAFileIsOneLineOfReasonableLength) {
    const fs::path a = root / "a";
    const std::string title = "mine\n9\tnot a program" + std::string(300000, 'x');
    put(root / "odd.corvina", "<plist><dict><key>format</key><string>corvina-program</string><key>title</key><string>" +
                                  title + "</string><key>cards</key><array/></dict></plist>");
    ASSERT_EQ(cli(a, {"import", (root / "odd.corvina").string()}), 0) << err.str();
    ASSERT_EQ(cli(a, {"list"}), 0);
    const std::string listed = out.str();
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 1) << listed.substr(0, 80);
    EXPECT_LT(listed.size(), 220u);
}

TEST_F(ProgramExchangeTest, ListAndExportOnlyReadAndChangesWaitForTheEditorToClose) {
    const fs::path a = root / "a";
    ASSERT_EQ(cli(a, {"new", "--row", "0:0:0", (root / "one.plist").string()}), 0);
    ASSERT_EQ(cli(a, {"import", (root / "one.plist").string()}), 0);
    // A program the list lost, and a bin entry whose document went back.
    fs::copy_file(a / "savedatas" / "1.plist", a / "savedatas" / "7.plist");
    put(a / "savedatas" / "bin" / "list.plist", "<plist><dict><key>datas</key><array><dict><key>identifer</key>"
                                                  "<integer>1</integer></dict></array></dict></plist>");
    const auto before = snapshot(a);
    ASSERT_EQ(cli(a, {"list"}), 0);
    EXPECT_NE(out.str().find("7\t"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("(recovered)"), std::string::npos) << out.str();
    EXPECT_EQ(cli(a, {"export", "7", (root / "seven.corvina").string()}), 0) << err.str();
    EXPECT_EQ(before, snapshot(a)) << "list and export changed the data folder";

    EditorLock editor(a.string());
    ASSERT_EQ(editor.state(), EditorLock::State::Held);
    EXPECT_EQ(cli(a, {"import", (root / "one.plist").string()}), kCliEditorOpen);
    EXPECT_EQ(cli(a, {"copy", "1"}), kCliEditorOpen);
    EXPECT_NE(err.str().find("editor is open"), std::string::npos) << err.str();
    fs::remove(a / "editor.lock");  // the lock's own file is no program
    const auto after = snapshot(a);
    auto expected = before;
    expected.erase((a / "editor.lock").string());
    EXPECT_EQ(after, expected);
}

} // namespace
