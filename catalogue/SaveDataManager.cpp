#include "catalogue/SaveDataManager.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>

#include <sys/stat.h>

#include "catalogue/DocumentWriter.h"
#include "catalogue/ProgramFile.h"
#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Plist.h"
#include "engine/core/Scheduler.h"
#include "ui/Localization.h"

using engine::FileUtils;
using engine::RefPtr;
using engine::Value;
using engine::ValueMap;
using engine::ValueVector;

namespace {

const char* const kFolder = "savedatas";
const char* const kListFile = "savedatas/list.plist";
const char* const kBinFolder = "savedatas/bin";
const char* const kBinList = "savedatas/bin/list.plist";
constexpr TextPair kRecovered{"（ふっかつ）", " (recovered)"};
constexpr TextPair kCopy{"（コピー）", " (copy)"};

bool& readOnlyFlag() {
    static bool readOnly = false;
    return readOnly;
}

// Never destroyed, not even at exit.
RefPtr<SaveDataManager>& instanceSlot() {
    static auto* instance = new RefPtr<SaveDataManager>();
    return *instance;
}

std::function<std::tm()>& testClock() {
    static std::function<std::tm()> clock;
    return clock;
}

std::tm localNow() {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

bool somethingAt(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// "20170305-090703": sorts by time, safe in a file name.
std::string fileStamp(const std::tm& t) {
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                  t.tm_min, t.tm_sec);
    return stamp;
}

std::string documentPathFor(int n) { return std::string(kFolder) + "/" + std::to_string(n) + ".plist"; }
std::string imagePathFor(int n) { return std::string(kFolder) + "/img" + std::to_string(n) + ".png"; }
std::string binDocumentPathFor(int n) { return std::string(kBinFolder) + "/" + std::to_string(n) + ".plist"; }
std::string binImagePathFor(int n) { return std::string(kBinFolder) + "/img" + std::to_string(n) + ".png"; }

bool regularFileAt(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec));
}

// n for a file named "<n>.plist" (no leading zero), else 0.
int numberOfDocument(const std::string& name) {
    const size_t dot = name.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 9 || name.substr(dot) != ".plist" || name[0] == '0') return 0;
    if (!std::all_of(name.begin(), name.begin() + static_cast<long>(dot), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::stoi(name.substr(0, dot));
}

// The one file of each kind an entry may use: named by its own number.
bool pathsAreSafe(const SaveData* data) {
    return data && data->identifier > 0 && data->path == documentPathFor(data->identifier) &&
           data->imagePath == imagePathFor(data->identifier);
}

// The file a catalogue path names, compared conservatively: separators of
// either kind, dots and letter case folded.
std::string fileKey(const std::string& writable, std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    std::filesystem::path named(path);
    if (named.is_relative()) named = std::filesystem::path(writable) / named;
    std::string key = named.lexically_normal().string();
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

const Value& field(const ValueMap& map, const char* key) {
    auto it = map.find(key);
    return it == map.end() ? Value::Null : it->second;
}

// Of the type the catalogue writes, else 0 or "".
int integerAt(const ValueMap& map, const char* key) {
    const Value& value = field(map, key);
    return value.getType() == Value::Type::INTEGER ? value.asInt() : 0;
}

std::string stringAt(const ValueMap& map, const char* key) {
    const Value& value = field(map, key);
    return value.getType() == Value::Type::STRING ? value.asString() : std::string();
}

} // namespace

SaveDataManager* SaveDataManager::getInstance() {
    auto& slot = instanceSlot();
    if (!slot) {
        slot = RefPtr<SaveDataManager>::adopt(new SaveDataManager());
        slot->init();
    }
    return slot.get();
}

void SaveDataManager::resetForTests() { instanceSlot() = nullptr; }

void SaveDataManager::setReadOnly(bool readOnly) { readOnlyFlag() = readOnly; }

SaveDataManager::SaveDataManager()
    : _self(std::make_shared<SaveDataManager*>(this)), _writeFailing(std::make_shared<std::atomic<bool>>(false)) {}

bool SaveDataManager::lastWriteFailed() const {
    finishWrites();
    return _writeFailing->load();
}

SaveDataManager::~SaveDataManager() {
    _writer.reset();  // every write asked for ends first
    *_self = nullptr;
}

DocumentWriter& SaveDataManager::writer() const {
    if (!_writer) {
        std::shared_ptr<SaveDataManager*> self = _self;
        std::shared_ptr<std::atomic<bool>> failing = _writeFailing;
        _writer = std::make_unique<DocumentWriter>([self, failing](const std::string&, bool written) {
            failing->store(!written);
            engine::Director::getInstance()->getScheduler()->performFunctionInCocosThread([self, written] {
                if (SaveDataManager* manager = *self) manager->documentWritten(written);
            });
        });
    }
    return *_writer;
}

void SaveDataManager::documentWritten(bool written) {
    if (written) {
        _documentFailureTold = false;
    } else if (!_documentFailureTold) {
        _documentFailureTold = true;
        if (_documentFailureHandler) _documentFailureHandler();
    }
}

void SaveDataManager::finishWrites() const {
    if (_writer) _writer->waitUntilIdle();
}

void SaveDataManager::finishPendingWrites() {
    if (SaveDataManager* manager = instanceSlot().get()) manager->finishWrites();
}

bool SaveDataManager::init() {
    _readOnly = readOnlyFlag();
    _datas.clear();
    _bin.clear();
    _asRead.clear();
    _rootAsRead.clear();
    _lastId = 0;
    _listUnwritten = false;
    _keepAside = false;
    std::string listPath = fullPath(kListFile);
    if (!somethingAt(listPath)) {
        saveList();  // first start: the folder and an empty catalogue
        loadBin();
        recoverUnlisted();
        return true;
    }
    Value parsed = engine::plist::parse(FileUtils::getInstance()->getStringFromFile(listPath));
    // Whatever would be lost by writing the catalogue again is kept aside first.
    bool damaged = parsed.getType() != Value::Type::MAP;
    _rootAsRead = damaged ? ValueMap() : parsed.asValueMap();
    _lastId = integerAt(_rootAsRead, "lastid");
    const Value& datas = field(_rootAsRead, "datas");
    if (!datas.isNull() && datas.getType() != Value::Type::VECTOR) damaged = true;
    for (const Value& element : datas.asValueVector()) {
        if (element.getType() != Value::Type::MAP) {
            damaged = true;
            continue;
        }
        const ValueMap& entry = element.asValueMap();
        SaveData* data = SaveData::create();
        data->identifier = integerAt(entry, "identifer");
        data->title = stringAt(entry, "title");
        data->path = stringAt(entry, "path");
        data->imagePath = stringAt(entry, "imagepath");
        data->modify = stringAt(entry, "modify");
        _datas.emplace_back(data);
        _asRead[data] = {entry, data->identifier, data->title, data->path, data->imagePath, data->modify};
    }
    if (damaged) {
        _keepAside = true;
        saveList();
    }
    loadBin();
    recoverUnlisted();
    return true;
}

void SaveDataManager::recoverUnlisted() {
    // A document no entry lists is still a child's program: a catalogue
    // damaged, cut short or deleted, or written by another editor, lost it.
    std::vector<int> found;
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(fullPath(kFolder), ec)) {
        const int n = numberOfDocument(file.path().filename().string());
        std::error_code kind;
        if (n <= 0 || !file.is_regular_file(kind) || file.is_symlink(kind)) continue;  // a link may lead anywhere
        bool listed = namedByAnother(nullptr, documentPathFor(n));
        for (const auto& data : _datas) listed = listed || data->identifier == n;
        for (const auto& data : _bin) listed = listed || data->identifier == n;
        if (!listed) found.push_back(n);
    }
    if (found.empty()) return;
    std::sort(found.begin(), found.end());
    for (int n : found) {
        SaveData* data = SaveData::create();
        data->identifier = n;
        data->path = documentPathFor(n);
        data->imagePath = imagePathFor(n);
        struct stat info {};
        std::tm written = now();
        if (::stat(fullPath(data->path).c_str(), &info) == 0) localtime_r(&info.st_mtime, &written);
        data->modify = timeStamp(written);
        data->title = recoveredTitle(data->modify);
        _datas.insert(_datas.begin(), RefPtr<SaveData>(data));
        _lastId = std::max(_lastId, n);
    }
    _recoveredCount += static_cast<int>(found.size());
    saveList();
}

std::string SaveDataManager::recoveredTitle(const std::string& stamp) {
    return stamp + Localization::getInstance()->localizedText(kRecovered);
}

int SaveDataManager::takeRecoveredCount() {
    const int count = _recoveredCount;
    _recoveredCount = 0;
    return count;
}

bool SaveDataManager::keepDamagedAside() {
    if (_readOnly) return false;
    std::string listPath = fullPath(kListFile);
    if (somethingAt(listPath)) {
        const std::string aside = damagedName(listPath);
        std::error_code ec;
        std::filesystem::rename(listPath, aside, ec);
        if (ec) return false;
    }
    _keepAside = false;
    return true;
}

std::string SaveDataManager::damagedName(const std::string& path) const {
    const std::string stamp = fileStamp(now());
    std::string aside = path + ".damaged-" + stamp;
    for (int n = 2; somethingAt(aside); ++n) aside = path + ".damaged-" + stamp + "-" + std::to_string(n);
    return aside;
}

std::tm SaveDataManager::now() const { return testClock() ? testClock()() : localNow(); }

const std::vector<RefPtr<SaveData>>& SaveDataManager::getDatas() const { return _datas; }

int SaveDataManager::getLastId() const { return _lastId; }

bool SaveDataManager::numberIsTaken(long long n) const {
    for (const auto& data : _datas)
        if (data->identifier == n) return true;
    // A program in the bin comes back with its own number.
    for (const auto& data : _bin)
        if (data->identifier == n) return true;
    // A file left by a lost or damaged catalogue is still someone's program.
    int number = static_cast<int>(n);
    for (const std::string& path : {documentPathFor(number), imagePathFor(number), binDocumentPathFor(number), binImagePathFor(number)})
        if (somethingAt(fullPath(path)) || namedByAnother(nullptr, path)) return true;
    return false;
}

bool SaveDataManager::namedByAnother(const SaveData* data, const std::string& path) const {
    std::string writable = FileUtils::getInstance()->getWritablePath();
    std::string key = fileKey(writable, path);
    for (const auto& other : _datas) {
        if (other.get() == data) continue;
        for (const std::string* named : {&other->path, &other->imagePath})
            if (!named->empty() && fileKey(writable, *named) == key) return true;
    }
    return false;
}

bool SaveDataManager::mayDeleteFiles(const SaveData* data) const {
    return pathsAreSafe(data) && !namedByAnother(data, data->path) && !namedByAnother(data, data->imagePath);
}

int SaveDataManager::nextNumber() const {
    long long highest = std::max(_lastId, 0);
    for (const auto& data : _datas) highest = std::max<long long>(highest, data->identifier);
    for (const auto& data : _bin) highest = std::max<long long>(highest, data->identifier);
    for (long long n = highest + 1; n <= INT_MAX; ++n)
        if (!numberIsTaken(n)) return static_cast<int>(n);
    // Only a hostile catalogue gets here; a free lower number still
    // overwrites nothing.
    for (long long n = 1; n <= INT_MAX; ++n)
        if (!numberIsTaken(n)) return static_cast<int>(n);
    return 0;
}

std::string SaveDataManager::nextDocumentPath() const {
    int number = nextNumber();
    return number > 0 ? documentPathFor(number) : std::string();
}

std::string SaveDataManager::nextImagePath() const {
    int number = nextNumber();
    return number > 0 ? imagePathFor(number) : std::string();
}

std::string SaveDataManager::fullPath(const std::string& relative) const {
    return FileUtils::getInstance()->getWritablePath() + relative;
}

bool SaveDataManager::inProgramFolder(const std::string& relative) const {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::canonical(fullPath(kFolder), ec);
    if (ec) return false;
    const std::filesystem::path file = std::filesystem::weakly_canonical(fullPath(relative), ec);
    return !ec && file.parent_path() == folder;
}

std::string SaveDataManager::getImageFullPath(const SaveData* data) const {
    return pathsAreSafe(data) && inProgramFolder(data->imagePath) ? fullPath(data->imagePath) : std::string();
}

ValueVector SaveDataManager::loadDocument(const SaveData* data) {
    if (!pathsAreSafe(data) || !inProgramFolder(data->path)) return {};
    finishWrites();
    const std::string path = fullPath(data->path);
    if (!somethingAt(path)) return {};
    Value parsed = engine::plist::parse(FileUtils::getInstance()->getStringFromFile(path));
    if (parsed.getType() == Value::Type::VECTOR || _readOnly) return parsed.asValueVector();
    // A document that cannot be read opens as an empty field, and the
    // first drop would write over it: it is kept aside first.
    const std::string aside = damagedName(path);
    std::error_code ec;
    std::filesystem::rename(path, aside, ec);
    // A folder that takes no rename may still take a copy.
    if (ec) std::filesystem::copy_file(path, aside, ec);
    if (ec) {
        // Neither: the file stays, and nothing is written over it.
        _unwritable.insert(data->path);
        _keptAside = path;
    } else {
        _keptAside = aside;
    }
    return {};
}

std::string SaveDataManager::takeKeptAside() {
    std::string name = std::filesystem::path(_keptAside).filename().string();
    _keptAside.clear();
    return name;
}

long SaveDataManager::indexOf(const SaveData* data) const {
    for (size_t i = 0; i < _datas.size(); ++i)
        if (_datas[i].get() == data) return static_cast<long>(i);
    return -1;
}

bool SaveDataManager::saveDocument(SaveData* data, const ValueVector& document) {
    if (!data || _readOnly) return false;
    std::string stamp = timeStamp(now());
    bool listed = indexOf(data) >= 0;
    std::string titleBefore = data->title;
    if (!listed) {
        int number = nextNumber();
        if (number <= 0) return false;
        data->title = stamp;
        data->identifier = number;
        data->path = documentPathFor(number);
        data->imagePath = imagePathFor(number);
        _datas.insert(_datas.begin(), RefPtr<SaveData>(data));
    }
    if (listed && _unwritable.count(data->path)) {
        documentWritten(false);  // told, as any save that does not reach the disk
        return true;
    }
    if (listed && !pathsAreSafe(data)) {
        // Kept in the catalogue as it was, never written through.
        if (_listUnwritten) saveList();
        return true;
    }
    if (listed && _lastId >= data->identifier) {
        // Already on the disk and in the catalogue: the write need not hold up the frame.
        writer().write(fullPath(data->path), document);
        if (_listUnwritten) saveList();
        return true;
    }
    FileUtils* files = FileUtils::getInstance();
    files->createDirectory(fullPath(kFolder));
    bool written = files->writeValueVectorToFile(document, fullPath(data->path));
    // A first save that fails is told as a failed re-save is.
    _writeFailing->store(!written);
    documentWritten(written);
    if (!written && !listed) {
        // A program that never reached the disk gives its number back, so
        // the next new program cannot end up sharing its files.
        RefPtr<SaveData> keep(data);
        _datas.erase(_datas.begin());
        data->identifier = 0;
        data->path.clear();
        data->imagePath.clear();
        data->title = titleBefore;
    }
    if (written && _lastId < data->identifier) {
        _lastId = data->identifier;
        data->modify = stamp;
        saveList();
    } else if (_listUnwritten) {
        // The last catalogue write failed: every save tries again.
        saveList();
    }
    return listed;
}

ValueMap SaveDataManager::entryToValue(const SaveData* data) const {
    // What was read and not changed since is written back as it was, keys
    // and values this version does not understand too.
    auto read = _asRead.find(data);
    const AsRead* was = read == _asRead.end() ? nullptr : &read->second;
    ValueMap entry = was ? was->entry : ValueMap();
    if (!was || data->identifier != was->identifier) entry["identifer"] = Value(data->identifier);
    if (!was || data->title != was->title) entry["title"] = Value(data->title);
    if (!was || data->path != was->path) entry["path"] = Value(data->path);
    if (!was || data->imagePath != was->imagePath) entry["imagepath"] = Value(data->imagePath);
    if (!was || data->modify != was->modify) entry["modify"] = Value(data->modify);
    return entry;
}

bool SaveDataManager::saveList() {
    if (_readOnly) return false;
    ValueVector entries;
    for (const auto& data : _datas) entries.emplace_back(entryToValue(data.get()));
    ValueMap root = _rootAsRead;
    root["lastid"] = Value(_lastId);
    root["datas"] = Value(std::move(entries));
    FileUtils* files = FileUtils::getInstance();
    files->createDirectory(fullPath(kFolder));
    // A damaged catalogue that could not be kept aside is not written over.
    bool written = (!_keepAside || keepDamagedAside()) && files->writeValueMapToFile(root, fullPath(kListFile));
    _listUnwritten = !written;
    if (_listUnwritten && _listFailureHandler) _listFailureHandler();
    return !_listUnwritten;
}

SaveData* SaveDataManager::addProgram(const ProgramFile& program) {
    if (_readOnly) return nullptr;
    const int n = nextNumber();
    if (n <= 0) return nullptr;
    FileUtils* files = FileUtils::getInstance();
    files->createDirectory(fullPath(kFolder));
    // The files first: a power cut before the catalogue leaves a program
    // found again at the next start, never an entry without its document.
    if (!files->writeValueVectorToFile(program.cards, fullPath(documentPathFor(n)))) {
        documentWritten(false);
        return nullptr;
    }
    if (!program.thumbnail.empty()) {
        const std::vector<unsigned char> png(program.thumbnail.begin(), program.thumbnail.end());
        files->writeDataToFile(png, fullPath(imagePathFor(n)));  // without one the editor draws it again
    }
    SaveData* data = SaveData::create();
    data->identifier = n;
    data->title = program.title;
    data->path = documentPathFor(n);
    data->imagePath = imagePathFor(n);
    data->modify = timeStamp(now());
    _datas.insert(_datas.begin(), RefPtr<SaveData>(data));
    _lastId = std::max(_lastId, n);
    if (!saveList()) {
        // Not listed on the disk: the files would come back as found again.
        _datas.erase(_datas.begin());
        files->removeFile(fullPath(imagePathFor(n)));
        files->removeFile(fullPath(documentPathFor(n)));
        return nullptr;
    }
    return data;
}

std::optional<ProgramFile> SaveDataManager::programFileOf(const SaveData* data) const {
    if (!pathsAreSafe(data) || !inProgramFolder(data->path)) return std::nullopt;
    finishWrites();
    const Value parsed = engine::plist::parse(FileUtils::getInstance()->getStringFromFile(fullPath(data->path)));
    if (parsed.getType() != Value::Type::VECTOR) return std::nullopt;
    ProgramFile program;
    program.title = data->title;
    program.cards = parsed.asValueVector();
    const std::string image = getImageFullPath(data);
    if (!image.empty() && regularFileAt(image)) {
        const std::vector<unsigned char> png = FileUtils::getInstance()->getDataFromFile(image);
        program.thumbnail.assign(png.begin(), png.end());
        if (!isAcceptableThumbnail(program.thumbnail)) program.thumbnail.clear();
    }
    return program;
}

SaveData* SaveDataManager::copyProgram(const SaveData* data) {
    std::optional<ProgramFile> program = programFileOf(data);
    if (!program) return nullptr;
    program->title += Localization::getInstance()->localizedText(kCopy);
    return addProgram(*program);
}

const std::vector<RefPtr<SaveData>>& SaveDataManager::getBinDatas() const { return _bin; }

long long SaveDataManager::secondsNow() const {
    std::tm t = now();
    return static_cast<long long>(std::mktime(&t));
}

std::string SaveDataManager::getBinImageFullPath(const SaveData* data) const {
    if (!data || data->identifier <= 0) return {};
    // A link may lead anywhere: only a file of the bin's own is shown.
    const std::string path = fullPath(binImagePathFor(data->identifier));
    return regularFileAt(path) ? path : std::string();
}

bool SaveDataManager::saveBin() {
    if (_readOnly) return false;
    ValueVector entries;
    for (const auto& data : _bin) {
        ValueMap entry;
        entry["identifer"] = Value(data->identifier);
        entry["title"] = Value(data->title);
        entry["modify"] = Value(data->modify);
        entry["deleted"] = Value(std::to_string(data->deletedAt));
        entries.emplace_back(std::move(entry));
    }
    ValueMap root;
    root["datas"] = Value(std::move(entries));
    FileUtils* files = FileUtils::getInstance();
    files->createDirectory(fullPath(kBinFolder));
    return files->writeValueMapToFile(root, fullPath(kBinList));
}

void SaveDataManager::loadBin() {
    _bin.clear();
    // Read only, the moves below only happen in memory.
    FileUtils* files = _readOnly ? nullptr : FileUtils::getInstance();
    const std::string listPath = fullPath(kBinList);
    bool binChanged = false, listChanged = false;
    if (somethingAt(listPath)) {
        Value parsed = engine::plist::parse(FileUtils::getInstance()->getStringFromFile(listPath));
        if (parsed.getType() != Value::Type::MAP) {
            // The programs are the files; a bin list that does not read
            // only loses titles, and is kept aside for whoever wants them.
            std::error_code ec;
            if (files) std::filesystem::rename(listPath, damagedName(listPath), ec);
            binChanged = true;
        }
        const ValueMap root = parsed.getType() == Value::Type::MAP ? parsed.asValueMap() : ValueMap();
        for (const Value& element : field(root, "datas").asValueVector()) {
            if (element.getType() != Value::Type::MAP) continue;
            const ValueMap& entry = element.asValueMap();
            const int n = integerAt(entry, "identifer");
            if (n <= 0 || std::any_of(_bin.begin(), _bin.end(), [n](const auto& d) { return d->identifier == n; })) {
                binChanged = true;
                continue;
            }
            SaveData* data = SaveData::create();
            data->identifier = n;
            data->title = stringAt(entry, "title");
            data->modify = stringAt(entry, "modify");
            long long deleted = 0;
            const std::string text = stringAt(entry, "deleted");
            if (engine::detail::readInteger(text, deleted) != text.size() || text.empty()) deleted = secondsNow();
            data->deletedAt = deleted;
            _bin.emplace_back(data);
        }
    }
    // A document in the bin that its list lost is still someone's program.
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(fullPath(kBinFolder), ec)) {
        const int n = numberOfDocument(file.path().filename().string());
        std::error_code kind;
        if (n <= 0 || !file.is_regular_file(kind) || file.is_symlink(kind)) continue;
        if (std::any_of(_bin.begin(), _bin.end(), [n](const auto& d) { return d->identifier == n; })) continue;
        SaveData* data = SaveData::create();
        data->identifier = n;
        data->modify = timeStamp(now());
        data->title = recoveredTitle(data->modify);
        data->deletedAt = secondsNow();
        for (const auto& listed : _datas)
            if (listed->identifier == n && pathsAreSafe(listed.get())) data->title = listed->title;
        _bin.emplace_back(data);
        binChanged = true;
    }
    // Where a program's document lies says where it is: a power cut while
    // it went in or came out leaves the two lists saying different things.
    for (auto it = _bin.begin(); it != _bin.end();) {
        const int n = (*it)->identifier;
        const std::string inBin = fullPath(binDocumentPathFor(n)), listed = fullPath(documentPathFor(n));
        if (regularFileAt(inBin) && regularFileAt(listed)) {
            // Cut in the middle of a move, the disk may keep both names of
            // the one file. Two different files keep the listed one, and
            // the other aside.
            const bool same = files && FileUtils::getInstance()->getStringFromFile(inBin) ==
                                           FileUtils::getInstance()->getStringFromFile(listed);
            if (files && same) {
                files->removeFile(listed);
            } else if (files) {
                std::error_code aside;
                std::filesystem::rename(inBin, damagedName(inBin), aside);
            }
        }
        if (!regularFileAt(inBin) || (!files && regularFileAt(listed))) {
            if (files) settlePicture(n, false);
            it = _bin.erase(it);
            binChanged = true;
            continue;
        }
        for (auto entry = _datas.begin(); entry != _datas.end();) {
            if (pathsAreSafe(entry->get()) && (*entry)->identifier == n) {
                _asRead.erase(entry->get());
                entry = _datas.erase(entry);
                listChanged = true;
            } else {
                ++entry;
            }
        }
        if (files) settlePicture(n, true);
        ++it;
    }
    // Thirty days on, the files go first: a power cut before the list is
    // written leaves an entry whose document is gone, dropped as above.
    const long long limit = secondsNow() - static_cast<long long>(kBinDays) * 24 * 60 * 60;
    for (auto it = _bin.begin(); it != _bin.end();) {
        if ((*it)->deletedAt < limit && files) {
            files->removeFile(fullPath(binImagePathFor((*it)->identifier)));
            files->removeFile(fullPath(binDocumentPathFor((*it)->identifier)));
            it = _bin.erase(it);
            binChanged = true;
        } else {
            ++it;
        }
    }
    std::stable_sort(_bin.begin(), _bin.end(), [](const auto& a, const auto& b) { return a->deletedAt > b->deletedAt; });
    if (binChanged) saveBin();
    if (listChanged) saveList();
}

void SaveDataManager::settlePicture(int n, bool inBin) {
    const std::string here = fullPath(inBin ? binImagePathFor(n) : imagePathFor(n));
    const std::string there = fullPath(inBin ? imagePathFor(n) : binImagePathFor(n));
    if (!regularFileAt(there)) return;
    FileUtils* files = FileUtils::getInstance();
    // Cut in the middle of its move, the picture may have both names.
    if (!somethingAt(here)) files->moveFile(there, here);
    else if (files->getStringFromFile(here) == files->getStringFromFile(there)) files->removeFile(there);
}

int SaveDataManager::moveToBin(const std::vector<SaveData*>& datas) {
    if (_readOnly) return 0;
    // The newest edit goes to the bin with the program.
    finishWrites();
    FileUtils* files = FileUtils::getInstance();
    std::vector<SaveData*> going;
    bool listChanged = false;
    for (SaveData* data : datas) {
        if (!data || indexOf(data) < 0) continue;
        // Whatever lies in the bin under its number is never written over.
        if (somethingAt(fullPath(binDocumentPathFor(data->identifier))) && pathsAreSafe(data)) continue;
        if (!mayDeleteFiles(data) || _unwritable.count(data->path) || !regularFileAt(fullPath(data->path))) {
            // Files the catalogue may not move, or none at all: only the entry goes.
            _asRead.erase(data);
            _datas.erase(_datas.begin() + indexOf(data));
            listChanged = true;
            continue;
        }
        going.push_back(data);
    }
    const long long deleted = secondsNow();
    const size_t before = _bin.size();
    for (SaveData* data : going) {
        SaveData* entry = SaveData::create();
        entry->identifier = data->identifier;
        entry->title = data->title;
        entry->modify = data->modify;
        entry->deletedAt = deleted;
        _bin.insert(_bin.begin(), RefPtr<SaveData>(entry));
    }
    // The bin's list first, then the files, then the catalogue: the
    // document's place is what counts at the next start.
    int moved = 0;
    if (!going.empty() && !saveBin()) {
        _bin.erase(_bin.begin(), _bin.begin() + static_cast<long>(_bin.size() - before));
        going.clear();
        if (_listFailureHandler) _listFailureHandler();
    }
    for (SaveData* data : going) {
        const int n = data->identifier;
        if (!files->moveFile(fullPath(data->path), fullPath(binDocumentPathFor(n)))) {
            for (auto it = _bin.begin(); it != _bin.end(); ++it)
                if ((*it)->identifier == n) {
                    _bin.erase(it);
                    break;
                }
            continue;
        }
        if (regularFileAt(fullPath(data->imagePath))) files->moveFile(fullPath(data->imagePath), fullPath(binImagePathFor(n)));
        _asRead.erase(data);
        _datas.erase(_datas.begin() + indexOf(data));
        ++moved;
        listChanged = true;
    }
    if (moved < static_cast<int>(going.size())) saveBin();  // the owner tells: fewer went than asked
    if (listChanged) saveList();
    return moved;
}

bool SaveDataManager::restoreFromBin(SaveData* data) {
    auto it = std::find_if(_bin.begin(), _bin.end(), [data](const auto& d) { return d.get() == data; });
    if (it == _bin.end() || _readOnly) return false;
    const int n = data->identifier;
    // Its number is its own: nothing new was given it while it was away.
    if (somethingAt(fullPath(documentPathFor(n))) || namedByAnother(nullptr, documentPathFor(n))) return false;
    RefPtr<SaveData> entry(data);
    const long long deletedAt = entry->deletedAt;
    entry->path = documentPathFor(n);
    entry->imagePath = imagePathFor(n);
    entry->deletedAt = 0;
    _datas.insert(_datas.begin(), entry);
    // The catalogue first, then the files, then the bin's list.
    FileUtils* files = FileUtils::getInstance();
    if (!saveList() || !files->moveFile(fullPath(binDocumentPathFor(n)), fullPath(entry->path))) {
        _datas.erase(_datas.begin());
        entry->path.clear();
        entry->imagePath.clear();
        entry->deletedAt = deletedAt;
        saveList();
        return false;
    }
    if (regularFileAt(fullPath(binImagePathFor(n)))) files->moveFile(fullPath(binImagePathFor(n)), fullPath(entry->imagePath));
    _lastId = std::max(_lastId, n);
    _bin.erase(it);
    saveBin();
    return true;
}

void SaveDataManager::setListFailureHandler(std::function<void()> handler) { _listFailureHandler = std::move(handler); }

void SaveDataManager::setDocumentFailureHandler(std::function<void()> handler) {
    _documentFailureHandler = std::move(handler);
}

void SaveDataManager::setClockForTests(std::function<std::tm()> now) { testClock() = std::move(now); }

std::string SaveDataManager::timeStamp(const std::tm& t) {
    // The full year: "20" and the years since 2000 would print 1995 as "20-5".
    return std::to_string(t.tm_year + 1900) + "/" + std::to_string(t.tm_mon + 1) + "/" +
           std::to_string(t.tm_mday) + " " + std::to_string(t.tm_hour) + ":" + std::to_string(t.tm_min) + ":" +
           std::to_string(t.tm_sec);
}
