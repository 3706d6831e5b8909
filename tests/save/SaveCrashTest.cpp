// Power cuts in the middle of saving: the catalogue is stopped at every
// step of its writes, whatever was not yet synced is thrown away, and the
// folder is read again as the next start would read it. Every program must
// then be its old or its new version: never lost, never half written,
// never another program's.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <unistd.h>

#include "cards/FieldDocument.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Plist.h"
#include "support/ProofRuns.h"

using engine::FileUtils;
using engine::ValueVector;
namespace fs = std::filesystem;

namespace {

std::string key(const std::string& path) { return fs::path(path).lexically_normal().string(); }

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The disk as a power cut leaves it. A file's content lasts once synced; a
// name (made, renamed or removed) once its folder is synced, except that
// the disk may also have kept some of the later name changes, in order.
class PowerCut : public engine::FileWriteCalls {
public:
    PowerCut(const fs::path& folder, unsigned seed, long cutAt) : _rng(seed), _cutAt(cutAt) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            auto inode = std::make_shared<Inode>();
            inode->written = inode->synced = contentOf(entry.path());
            _durable[key(entry.path().string())] = inode;
        }
        _live = _durable;
    }

    long steps() const { return _step; }
    bool cut() const { return _step > _cutAt; }

    int open(const char* path, int flags, int mode) override {
        if (!goOn()) return failed();
        int fd = FileWriteCalls::open(path, flags, mode);
        if (fd < 0) return fd;
        if (flags & O_DIRECTORY) {
            _folders[fd] = key(path);
        } else {
            auto inode = std::make_shared<Inode>();
            _files[fd] = inode;
            if (flags & O_CREAT) change({Op::Make, key(path), {}, inode});
        }
        return fd;
    }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (!goOn()) return failed();
        // Short writes now and then, as the system may give them.
        std::size_t n = size > 1 && _rng() % 2 ? 1 + _rng() % (size - 1) : size;
        ssize_t written = FileWriteCalls::write(fd, data, n);
        if (written > 0) _files.at(fd)->written.append(static_cast<const char*>(data), static_cast<size_t>(written));
        return written;
    }
    int fsync(int fd) override {
        if (!goOn()) return failed();
        if (_folders.count(fd)) {
            // A synced folder's name changes last; those of other folders
            // need their own folder's sync.
            std::vector<Op> still;
            for (const Op& op : _pending) {
                if (touches(op, _folders.at(fd))) apply(_durable, op);
                else still.push_back(op);
            }
            _pending = std::move(still);
        } else {
            _files.at(fd)->synced = _files.at(fd)->written;
        }
        return 0;  // the model is what lasts; the real disk need not wait
    }
    int close(int fd) override {
        _files.erase(fd);
        _folders.erase(fd);
        FileWriteCalls::close(fd);
        if (!goOn()) return failed();
        return 0;
    }
    int rename(const char* from, const char* to) override {
        if (!goOn()) return failed();
        int result = FileWriteCalls::rename(from, to);
        if (result != 0) return result;
        if (fs::path(key(from)).parent_path() == fs::path(key(to)).parent_path()) {
            change({Op::Rename, key(from), key(to), nullptr});
        } else {
            // Between folders, each folder's name lasts once that folder is
            // synced: the disk may keep both names, or neither.
            change({Op::Make, key(to), {}, _live.count(key(from)) ? _live.at(key(from)) : nullptr});
            change({Op::Remove, key(from), {}, nullptr});
        }
        return result;
    }
    int unlink(const char* path) override {
        if (!goOn()) return failed();
        int result = FileWriteCalls::unlink(path);
        if (result == 0) change({Op::Remove, key(path), {}, nullptr});
        return result;
    }

    // Puts into `folder` what the disk holds after the cut.
    void restart(const fs::path& folder) {
        Folder after = _durable;
        const size_t kept = _pending.empty() ? 0 : _rng() % (_pending.size() + 1);
        for (size_t i = 0; i < kept; ++i) apply(after, _pending[i]);
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
        for (const auto& file : files) fs::remove(file);
        for (const auto& [path, inode] : after) std::ofstream(path, std::ios::binary) << inode->synced;
    }

private:
    struct Inode {
        std::string written, synced;
    };
    using Folder = std::map<std::string, std::shared_ptr<Inode>>;
    struct Op {
        enum Kind { Make, Rename, Remove } kind;
        std::string a, b;
        std::shared_ptr<Inode> inode;
    };

    bool goOn() { return _step++ < _cutAt; }
    static bool touches(const Op& op, const std::string& folder) {
        return fs::path(op.a).parent_path() == folder || (!op.b.empty() && fs::path(op.b).parent_path() == folder);
    }
    static int failed() {
        errno = EIO;
        return -1;
    }
    void change(const Op& op) {
        apply(_live, op);
        _pending.push_back(op);
    }
    static void apply(Folder& folder, const Op& op) {
        switch (op.kind) {
        case Op::Make:
            if (op.inode) folder[op.a] = op.inode;
            break;
        case Op::Rename:
            if (folder.count(op.a)) folder[op.b] = folder[op.a];
            folder.erase(op.a);
            break;
        case Op::Remove: folder.erase(op.a); break;
        }
    }

    std::mt19937 _rng;
    long _cutAt;
    long _step = 0;
    Folder _durable, _live;
    std::vector<Op> _pending;
    std::map<int, std::shared_ptr<Inode>> _files;
    std::map<int, std::string> _folders;
};

// A program's document says whose it is and which version: two cards with
// the number and the version.
ValueVector documentOf(int number, int version) {
    return documentToValue({{0, 1, 100 + number, 20 + version, 0, std::to_string(number)},
                            {0, 2, 100, 200, 1, std::to_string(version)}});
}

enum class Change { Resave, Create, Bin, Restore, Retitle, kCount };
const char* const kChangeNames[] = {"resaved", "created", "moved to the bin", "restored", "retitled"};

// What the catalogue held before a change, and what the change may leave.
struct Expected {
    std::map<int, int> version;     // program -> version on the disk before
    std::map<int, std::string> title;
    std::set<int> inBin;
    int changed = 0;                // the program the change is about
    int newVersion = 0;
    std::string newTitle;
};

// Writes as they are, minus the wait for the disk: the programs a trial
// starts from need not survive a power cut of the machine running it.
class Unsynced : public engine::FileWriteCalls {
public:
    int fsync(int) override { return 0; }
};

class SaveCrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("CORVINA_DATA_DIR");
        data = fs::path(base ? base : "/tmp/corvina-tests") / "crash" / "data";
    }
    void TearDown() override {
        FileUtils::getInstance()->setWriteCalls(nullptr);
        SaveDataManager::resetForTests();
        FileUtils::getInstance()->setWritablePath("");
        engine::AutoreleasePool::getInstance()->clear();
    }

    SaveDataManager* manager() { return SaveDataManager::getInstance(); }
    fs::path folder() const { return data / "savedatas"; }

    SaveData* entryOf(int number) {
        for (const auto& entry : manager()->getDatas())
            if (entry->identifier == number) return entry.get();
        return nullptr;
    }

    // A fresh catalogue of one to three programs, each saved a few times.
    Expected setUpPrograms(std::mt19937& rng, Change change) {
        fs::remove_all(data);
        fs::create_directories(data);
        FileUtils::getInstance()->setWritablePath(data.string());
        SaveDataManager::resetForTests();
        FileUtils::getInstance()->setWriteCalls(&unsynced);
        Expected expected;
        const int programs = 1 + static_cast<int>(rng() % 3);
        for (int p = 0; p < programs; ++p) {
            SaveData* entry = SaveData::create();
            manager()->saveDocument(entry, documentOf(p + 1, 0));
            const int saves = static_cast<int>(rng() % 3);
            for (int v = 1; v <= saves; ++v) manager()->saveDocument(entry, documentOf(entry->identifier, v));
            expected.version[entry->identifier] = saves;
            const std::string picture = "picture " + std::to_string(entry->identifier);
            FileUtils::getInstance()->writeDataToFile({picture.begin(), picture.end()},
                                                      (folder() / ("img" + std::to_string(entry->identifier) + ".png")).string());
            entry->title = "program " + std::to_string(entry->identifier);
            expected.title[entry->identifier] = entry->title;
        }
        manager()->saveList();
        if (change == Change::Restore) {
            const int n = static_cast<int>(1 + rng() % programs);
            manager()->moveToBin({entryOf(n)});
            expected.inBin.insert(n);
        }
        manager()->finishWrites();
        FileUtils::getInstance()->setWriteCalls(nullptr);
        return expected;
    }

    void perform(Change change, Expected& expected, std::mt19937& rng) {
        std::vector<int> numbers;
        for (const auto& [number, version] : expected.version)
            if (!expected.inBin.count(number)) numbers.push_back(number);
        expected.changed = numbers.empty() ? 0 : numbers[rng() % numbers.size()];
        SaveData* entry = entryOf(expected.changed);
        switch (change) {
        case Change::Resave:
            expected.newVersion = expected.version[expected.changed] + 1;
            manager()->saveDocument(entry, documentOf(expected.changed, expected.newVersion));
            break;
        case Change::Create: {
            SaveData* fresh = SaveData::create();
            expected.changed = expected.version.rbegin()->first + 1;
            manager()->saveDocument(fresh, documentOf(expected.changed, 0));
            break;
        }
        case Change::Bin: manager()->moveToBin({entry}); break;
        case Change::Restore:
            expected.changed = *expected.inBin.begin();
            manager()->restoreFromBin(manager()->getBinDatas().front().get());
            break;
        case Change::Retitle:
            if (!entry) break;
            expected.newTitle = "renamed " + std::to_string(rng() % 1000);
            entry->title = expected.newTitle;
            manager()->saveList();
            break;
        case Change::kCount: break;
        }
        manager()->finishWrites();
    }

    // Reads the folder as the next start does; "" when all is as it may be.
    std::string check(Change change, const Expected& expected) {
        FileUtils::getInstance()->setWriteCalls(nullptr);
        SaveDataManager::resetForTests();
        const engine::Value list = engine::plist::parse(contentOf(folder() / "list.plist"));
        if (list.getType() != engine::Value::Type::MAP) return "the catalogue does not read";
        std::set<int> listed;
        for (const auto& entry : manager()->getDatas()) {
            const int n = entry->identifier;
            if (!listed.insert(n).second) return "program " + std::to_string(n) + " is listed twice";
            std::set<int> versions;
            if (expected.version.count(n)) versions.insert(expected.version.at(n));
            if (n == expected.changed && change == Change::Resave) versions.insert(expected.newVersion);
            if (n == expected.changed && change == Change::Create) versions.insert(0);
            if (versions.empty()) return "program " + std::to_string(n) + " appeared from nowhere";
            const FieldDocument onDisk = documentFromValue(manager()->loadDocument(entry.get()));
            bool known = false;
            for (int v : versions) known = known || onDisk == documentFromValue(documentOf(n, v));
            if (!known)
                return "program " + std::to_string(n) + " reads as neither its old nor its new version (" +
                       std::to_string(onDisk.size()) + " cards)";
            std::string title = expected.title.count(n) ? expected.title.at(n) : std::string();
            if (n == expected.changed && change == Change::Retitle && entry->title == expected.newTitle) continue;
            if (!(change == Change::Create && n == expected.changed) && entry->title != title)
                return "program " + std::to_string(n) + " has the title \"" + entry->title + "\"";
        }
        // Whatever went to the bin or came out of it is in one place, whole.
        std::set<int> binned;
        for (const auto& entry : manager()->getBinDatas()) {
            const int n = entry->identifier;
            const bool mayBeThere = expected.inBin.count(n) || (change == Change::Bin && n == expected.changed);
            if (!mayBeThere) return "program " + std::to_string(n) + " is in the bin";
            if (listed.count(n)) return "program " + std::to_string(n) + " is listed and in the bin";
            if (!binned.insert(n).second) return "program " + std::to_string(n) + " is in the bin twice";
            const std::string binned = contentOf(folder() / "bin" / (std::to_string(n) + ".plist"));
            if (documentFromValue(engine::plist::parseVector(binned)) != documentFromValue(documentOf(n, expected.version.at(n))))
                return "program " + std::to_string(n) + " is damaged in the bin";
            if (entry->title != expected.title.at(n)) return "program " + std::to_string(n) + " lost its title in the bin";
        }
        for (const auto& [number, version] : expected.version) {
            const std::string picture = "img" + std::to_string(number) + ".png";
            const fs::path here = folder() / picture, inBin = folder() / "bin" / picture;
            const fs::path& kept = binned.count(number) ? inBin : here;
            if (contentOf(kept) != "picture " + std::to_string(number) || fs::exists(binned.count(number) ? here : inBin))
                return "program " + std::to_string(number) + "'s picture is not where its document is";
            const bool moving = (change == Change::Bin || change == Change::Restore) && number == expected.changed;
            if (!listed.count(number) && !binned.count(number)) return "program " + std::to_string(number) + " was lost";
            if (!moving && listed.count(number) == expected.inBin.count(number))
                return "program " + std::to_string(number) + " moved by itself";
        }
        for (const auto& entry : fs::recursive_directory_iterator(folder()))
            if (entry.path().filename().string().find(".damaged") != std::string::npos)
                return "the catalogue was set aside as damaged";
        return {};
    }

    fs::path data;
    Unsynced unsynced;
};

TEST_F(SaveCrashTest, EveryProgramIsItsOldOrItsNewVersionAfterAPowerCutAtAnyStep) {
    const int trials = testsupport::proofRounds(200, 1000);
    const unsigned seed = testsupport::proofSeed(20261209);
    std::mt19937 rng(seed);
    // For each change, which of its steps a cut has hit.
    std::map<Change, std::set<long>> hit;
    std::map<Change, long> longest;
    std::map<Change, long> next;
    int failures = 0;
    for (int trial = 0; trial < trials && failures < 5; ++trial) {
        const unsigned trialSeed = static_cast<unsigned>(rng());
        const Change change = static_cast<Change>(trial % static_cast<int>(Change::kCount));

        // Once through without a cut, to count the change's steps.
        std::mt19937 setupRng(trialSeed);
        Expected expected = setUpPrograms(setupRng, change);
        PowerCut counting(folder(), trialSeed, LONG_MAX);
        FileUtils::getInstance()->setWriteCalls(&counting);
        perform(change, expected, setupRng);
        const long steps = counting.steps();
        FileUtils::getInstance()->setWriteCalls(nullptr);

        // Again, the same way, with the power going at one of them; the
        // steps are swept in turn, so every one is hit.
        const long cutAt = next[change] <= steps ? next[change] : 0;
        next[change] = cutAt + 1;
        setupRng.seed(trialSeed);
        expected = setUpPrograms(setupRng, change);
        PowerCut cut(folder(), trialSeed, cutAt);
        FileUtils::getInstance()->setWriteCalls(&cut);
        perform(change, expected, setupRng);
        FileUtils::getInstance()->setWriteCalls(nullptr);
        cut.restart(folder());
        hit[change].insert(cutAt);
        longest[change] = std::max(longest[change], steps);

        const std::string problem = check(change, expected);
        if (!problem.empty()) {
            ++failures;
            ADD_FAILURE() << "trial " << trial << " (seed " << seed << "): power cut at step " << cutAt << " of "
                          << steps << " while a program was " << kChangeNames[static_cast<int>(change)]
                          << ": " << problem;
        }
    }
    for (const auto& [change, steps] : hit) {
        std::printf("%-16s cut at %zu different steps (the longest run has %ld)\n",
                    kChangeNames[static_cast<int>(change)], steps.size(), longest[change]);
    }
    std::printf("%d power cuts, seed %u\n", trials, seed);
}

} // namespace
