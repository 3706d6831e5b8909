#include "fuzz/FuzzChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <type_traits>
#include <vector>

#include "cards/CardCatalog.h"
#include "cards/FieldDocument.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Plist.h"
#include "engine/core/Ref.h"

namespace fuzzchecks {

namespace fs = std::filesystem;
using engine::Value;
using engine::ValueMap;
using engine::ValueVector;

namespace {

// --- property lists

template <typename Root>
std::string roundTrip(const Root& first, const char* what) {
    auto document = engine::plist::write(first);
    if (!document) return std::string(what) + " read but could not be written";
    Root again;
    if constexpr (std::is_same_v<Root, ValueMap>) again = engine::plist::parseMap(*document);
    else if constexpr (std::is_same_v<Root, ValueVector>) again = engine::plist::parseVector(*document);
    else again = engine::plist::parse(*document);
    if (!(again == first)) return std::string(what) + " changed on the way back; written as:\n" + *document;
    if (engine::plist::write(again) != document) return std::string(what) + " written twice gave two documents";
    return {};
}

// --- saved programs

bool plainNumberOrNothing(const std::string& text) {
    int digits = 0, points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') ++digits;
        else if (c == '.') ++points;
        else return false;
    }
    return text.empty() || (digits > 0 && points <= 1);
}

std::string describe(const CardRecord& r) {
    return "card " + std::to_string(r.tab) + "/" + std::to_string(r.index) + " at " + std::to_string(r.x) + "," +
           std::to_string(r.y) + " value \"" + r.value + "\"";
}

// --- the catalogue

// The writes' system calls, logged. Scratch files need no syncing, which
// keeps the fuzzing fast. Programs already listed are written on the
// catalogue's writer thread, so the log takes a lock.
class WriteLog : public engine::FileWriteCalls {
public:
    int open(const char* path, int flags, int mode) override {
        if (flags & O_CREAT) note(path);
        return FileWriteCalls::open(path, flags, mode);
    }
    int fsync(int) override { return 0; }
    int rename(const char* from, const char* to) override {
        note(from);
        note(to);
        return FileWriteCalls::rename(from, to);
    }
    int unlink(const char* path) override {
        note(path);
        return FileWriteCalls::unlink(path);
    }
    std::vector<std::string> touchedPaths() {
        std::lock_guard<std::mutex> lock(mutex);
        return touched;
    }

private:
    void note(const char* path) {
        std::lock_guard<std::mutex> lock(mutex);
        touched.emplace_back(path);
    }
    std::mutex mutex;
    std::vector<std::string> touched;
};

struct Listed {
    int identifier;
    std::string title, path, imagePath, modify;
    bool operator==(const Listed&) const = default;
};

std::vector<Listed> listed(SaveDataManager* manager) {
    std::vector<Listed> entries;
    for (const auto& data : manager->getDatas())
        entries.push_back({data->identifier, data->title, data->path, data->imagePath, data->modify});
    return entries;
}

void put(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string documentText(int x) { return engine::plist::write(documentToValue({{0, 1, x, 20, 0, ""}})).value(); }

// A document outside holds this card; reading it back anywhere means a
// file outside was read.
constexpr int kOutsideX = 666;
constexpr int kInsideX = 111;

// "savedatas/<n>.plist" and "savedatas/img<n>.png" give n, else 0.
int numberIn(const std::string& path, const char* head, const char* tail) {
    std::string_view rest(path);
    if (!rest.starts_with(head) || !rest.ends_with(tail)) return 0;
    rest.remove_prefix(std::char_traits<char>::length(head));
    rest.remove_suffix(std::char_traits<char>::length(tail));
    int n = 0;
    auto result = std::from_chars(rest.data(), rest.data() + rest.size(), n);
    if (result.ec != std::errc() || result.ptr != rest.data() + rest.size() || n <= 0 || rest[0] == '0') return 0;
    return n;
}

// Whether `path` is, as written, a file in `folder` or below it.
bool within(const std::string& path, const fs::path& folder) {
    std::string prefix = folder.string() + "/";
    return path.starts_with(prefix) && path.size() > prefix.size() && fs::path(path).lexically_normal() == path;
}

// Whether the file `path` names, links followed, is in `folder` or below it.
bool resolvesWithin(const std::string& path, const fs::path& folder) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(path, ec);
    fs::path realFolder = fs::canonical(folder, ec);
    return !ec && within(real.string(), realFolder);
}

// The folder beside the writable one, filled the same way every time.
void fillOutside(const fs::path& outside) {
    std::string canary = documentText(kOutsideX);
    put(outside / "canary.plist", canary);
    put(outside / "savedatas" / "1.plist", canary);
    put(outside / "savedatas" / "2.plist", canary);
    put(outside / "savedatas" / "list.plist", canary);
    put(outside / "img.png", "outside picture");
    put(outside / "savedatas" / "img1.png", "outside picture");
}

} // namespace

std::string treeListing(const fs::path& folder) {
    std::vector<std::string> lines;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path& path = it->path();
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) continue;
        std::string line = fs::relative(path, folder).string() + " mode " + std::to_string(st.st_mode) + " size " +
                           std::to_string(st.st_size) + " mtime " + std::to_string(st.st_mtim.tv_sec) + "." +
                           std::to_string(st.st_mtim.tv_nsec);
        if (S_ISLNK(st.st_mode)) {
            line += " -> " + fs::read_symlink(path, ec).string();
        } else if (S_ISREG(st.st_mode)) {
            std::ifstream in(path, std::ios::binary);
            std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
            for (std::istreambuf_iterator<char> c(in), end; c != end; ++c) {
                hash ^= static_cast<unsigned char>(*c);
                hash *= 1099511628211ull;
            }
            line += " fnv " + std::to_string(hash);
        }
        lines.push_back(std::move(line));
    }
    std::sort(lines.begin(), lines.end());
    std::string listing;
    for (const std::string& line : lines) listing += line + "\n";
    return listing;
}

std::string checkPlist(std::string_view bytes) {
    std::string failure = roundTrip(engine::plist::parseMap(bytes), "a dictionary");
    if (failure.empty()) failure = roundTrip(engine::plist::parseVector(bytes), "an array");
    if (failure.empty()) {
        Value root = engine::plist::parse(bytes);
        if (!root.isNull()) failure = roundTrip(root, "a root value");
    }
    return failure;
}

std::string checkFieldDocument(std::string_view bytes) {
    const FieldDocument first = documentFromValue(engine::plist::parseVector(bytes));
    for (const CardRecord& record : first) {
        bool known = record.tab >= 0 && record.tab < kCardSetCount && record.index >= 0 &&
                     record.index < CardCatalog::cardCount(record.tab);
        if (!known) return "read a card outside the catalogue: " + describe(record);
        if (std::abs(static_cast<long long>(record.x)) > kCoordinateLimit ||
            std::abs(static_cast<long long>(record.y)) > kCoordinateLimit)
            return "read a card beyond the coordinate limit: " + describe(record);
        if (!plainNumberOrNothing(record.value)) return "read a number that is no plain number: " + describe(record);
    }
    auto written = engine::plist::write(documentToValue(first));
    if (!written) return "a program read could not be written";
    const FieldDocument again = documentFromValue(engine::plist::parseVector(*written));
    if (again != first) return "a program changed on the way back; written as:\n" + *written;
    if (engine::plist::write(documentToValue(again)) != written) return "a program written twice gave two documents";
    return {};
}

std::string checkCatalogue(std::string_view bytes, const fs::path& scratch) {
    const fs::path root = fs::absolute(scratch).lexically_normal();
    const fs::path data = root / "data", outside = root / "outside", folder = data / "savedatas";
    engine::FileUtils* files = engine::FileUtils::getInstance();

    // Outside: canaries that hold a valid document, reached by "../" paths.
    // Inside: program 1 with a document of its own, and 2 whose files are
    // links to files outside.
    std::error_code ec;
    if (!fs::exists(outside / "canary.plist", ec)) fillOutside(outside);
    const std::string outsideBefore = treeListing(outside);
    fs::remove_all(data, ec);
    fs::create_directories(folder, ec);
    put(folder / "list.plist", std::string(bytes));
    put(folder / "1.plist", documentText(kInsideX));
    put(folder / "img1.png", "inside picture");
    fs::create_symlink("../../outside/canary.plist", folder / "2.plist", ec);
    fs::create_symlink("../../outside/img.png", folder / "img2.png", ec);
    const std::string writableBefore = files->getWritablePath();

    WriteLog log;
    files->setWritablePath(data.string());
    files->setWriteCalls(&log);
    SaveDataManager::resetForTests();
    SaveDataManager* manager = SaveDataManager::getInstance();
    manager->setClockForTests([] {
        std::tm t{};
        t.tm_year = 117, t.tm_mon = 2, t.tm_mday = 5, t.tm_hour = 9, t.tm_min = 7, t.tm_sec = 3;
        return t;
    });
    const ValueVector insideDocument = engine::plist::parseVector(documentText(kInsideX));
    const ValueVector small = documentToValue({{0, 1, 5, 5, 0, "7"}});

    auto check = [&]() -> std::string {
        const std::vector<Listed> loaded = listed(manager);
        std::set<int> numbers;
        for (const Listed& entry : loaded) numbers.insert(entry.identifier);
        for (const auto& entry : manager->getDatas()) {
            ValueVector document = manager->loadDocument(entry.get());
            if (!document.empty() && document != insideDocument)
                return "entry " + std::to_string(entry->identifier) + " read a document from \"" + entry->path +
                       "\" that is not program 1's";
            std::string image = manager->getImageFullPath(entry.get());
            if (!image.empty() && !resolvesWithin(image, folder))
                return "entry " + std::to_string(entry->identifier) + " shows the picture " + image;
        }

        std::string nextDocument = manager->nextDocumentPath(), nextImage = manager->nextImagePath();
        int next = numberIn(nextDocument, "savedatas/", ".plist");
        if (next == 0 || numberIn(nextImage, "savedatas/img", ".png") != next)
            return "next paths \"" + nextDocument + "\" and \"" + nextImage + "\"";
        if (numbers.count(next)) return "the next number " + std::to_string(next) + " is listed already";

        // Written and read again, the catalogue lists the same.
        if (!manager->saveList()) return "the catalogue could not be written";
        const int lastId = manager->getLastId();
        SaveDataManager::resetForTests();
        manager = SaveDataManager::getInstance();
        if (listed(manager) != loaded || manager->getLastId() != lastId)
            return "the catalogue read again lists something else";

        const auto entries = manager->getDatas();
        for (const auto& entry : entries) manager->saveDocument(entry.get(), small);
        engine::RefPtr<SaveData> fresh(SaveData::create());
        manager->saveDocument(fresh.get(), small);
        if (fresh->identifier <= 0 || numbers.count(fresh->identifier))
            return "a new program got the number " + std::to_string(fresh->identifier);
        if (manager->loadDocument(fresh.get()) != small) return "a new program does not read back";
        for (const auto& entry : entries) manager->removeData(entry.get());
        manager->removeData(fresh.get());
        if (!manager->getDatas().empty()) return "entries left after deleting every one";
        return {};
    };
    std::string failure = check();
    SaveDataManager::finishPendingWrites();

    for (const std::string& path : log.touchedPaths())
        if (failure.empty() && !within(path, folder)) failure = "wrote " + path;
    if (failure.empty() && treeListing(outside) != outsideBefore) failure = "the folder beside it changed";

    SaveDataManager::resetForTests();
    files->setWriteCalls(nullptr);
    files->setWritablePath(writableBefore);
    engine::AutoreleasePool::getInstance()->clear();
    return failure;
}

fs::path defaultScratch() {
    if (const char* set = std::getenv("CORVINA_FUZZ_SCRATCH"); set && *set) return set;
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path(ec);
    return base / ("corvina-fuzz-" + std::to_string(::getpid()));
}

} // namespace fuzzchecks
