#pragma once
// The catalogue of saved programs: savedatas/list.plist under the writable
// folder, one entry per program, newest first. It hands out entry numbers,
// writes each program's field document and deletes its files. It draws
// nothing: the editor writes the thumbnails, where getImageFullPath says.
//
// An entry's files are used only when its paths are savedatas/<n>.plist and
// savedatas/img<n>.png of its own number n; other entries stay listed and
// are written back as they were read, but nothing is read, written or
// deleted through them. Files another entry also names are never deleted.
// A file that is a link leading out of the program folder is never read
// (writing replaces the link, deleting removes the link alone).
#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/SaveData.h"
#include "engine/core/Ref.h"
#include "engine/core/Value.h"

class DocumentWriter;
struct ProgramFile;

class SaveDataManager : public engine::Ref {
public:
    static SaveDataManager* getInstance();   // created and init() on first use, never destroyed
    static void resetForTests();             // the next getInstance() loads afresh from the writable path
    // Set before the first getInstance(): the catalogue is read, recovered
    // programs and the bin included, and nothing on the disk is changed.
    static void setReadOnly(bool readOnly);
    bool init();
    const std::vector<engine::RefPtr<SaveData>>& getDatas() const;   // newest first
    int getLastId() const;
    // The next new number passes every number listed, handed out or with
    // files on disk. "" when no number is left.
    std::string nextDocumentPath() const;    // "savedatas/<n>.plist"
    std::string nextImagePath() const;       // "savedatas/img<n>.png"
    std::string getImageFullPath(const SaveData* data) const;   // writable path + imagePath, "" when imagePath is not safe or leads out
    std::string getBinImageFullPath(const SaveData* data) const;
    // A document that cannot be read is renamed <n>.plist.damaged-<time>
    // (or copied so, when the folder takes no rename; failing that, the
    // program is never written again) before anything can be written over
    // it, and reads as empty.
    engine::ValueVector loadDocument(const SaveData* data);
    // The file name a damaged document was kept as, once; "" when none.
    std::string takeKeptAside();
    // true when the entry was already listed; a new entry that is written for the first time is listed (front).
    // A new entry whose write fails is left unlisted with no number and no
    // paths (its title as before) and false is returned. A listed program's
    // document is written on the writer's thread; a failure is told through
    // the document failure handler.
    bool saveDocument(SaveData* data, const engine::ValueVector& document);
    // Returns once every document write asked for has ended.
    void finishWrites() const;
    // Once the writes asked for have ended: whether the last one failed.
    bool lastWriteFailed() const;
    // As finishWrites(), when there is a catalogue at all (at exit).
    static void finishPendingWrites();
    bool saveList();                          // false when the catalogue could not be written
    // How many programs were found on the disk unlisted, and listed again
    // (at the front, titled with their time and "(recovered)"), since the
    // last call: the home screen tells the child once.
    int takeRecoveredCount();
    // The title of a program found again whose file was written at `stamp`.
    static std::string recoveredTitle(const std::string& stamp);
    // The bin: savedatas/bin/ holds the files of the programs moved there,
    // and its own list. Where a program's document lies decides where it
    // is, so a power cut at any step leaves every program either listed or
    // in the bin, never both and never neither. Programs leave the bin for
    // good 30 days after they went in.
    static constexpr int kBinDays = 30;
    // A new program, listed at the front, from a program file: its
    // document and thumbnail written, then the catalogue. Null when it
    // could not be written (nothing of it is left listed).
    SaveData* addProgram(const ProgramFile& program);
    // A new program beside the others with the same cards and thumbnail,
    // titled "<title> (copy)"; null when it could not be written.
    SaveData* copyProgram(const SaveData* data);
    // A listed program as a program file, read without changing anything;
    // nullopt when its document cannot be read.
    std::optional<ProgramFile> programFileOf(const SaveData* data) const;
    // Newest deletion first.
    const std::vector<engine::RefPtr<SaveData>>& getBinDatas() const;
    // Moves programs and their thumbnails to the bin; how many went. A
    // program whose files could not be moved stays listed, and so does one
    // whose number the bin already holds a file of.
    int moveToBin(const std::vector<SaveData*>& datas);
    void removeData(SaveData* data) { moveToBin({data}); }
    // Lists a program from the bin again, at the front, with its number,
    // title and thumbnail; false when it could not be moved back.
    bool restoreFromBin(SaveData* data);
    // Called (on the main thread) whenever the catalogue could not be written, so the scene can tell the user.
    void setListFailureHandler(std::function<void()> handler);
    // Called on the main thread when a program's document could not be
    // written, a new program's first write too; once until a write
    // succeeds again, not at every drop.
    void setDocumentFailureHandler(std::function<void()> handler);
    // The local time used for time stamps and the bin's days; tests set a
    // fixed one, kept across resetForTests() until set to null.
    static void setClockForTests(std::function<std::tm()> now);
    static std::string timeStamp(const std::tm& t);  // "2017/3/5 9:7:3"

protected:
    SaveDataManager();
    ~SaveDataManager() override;

private:
    std::string fullPath(const std::string& relative) const;
    // Whether the file `relative` names lies in the program folder once
    // links are followed: a link there may point anywhere, and reading
    // through it would show a file from elsewhere as a program.
    bool inProgramFolder(const std::string& relative) const;
    std::tm now() const;
    // "<path>.damaged-<date>-<time>", with "-2", "-3" where that is taken.
    std::string damagedName(const std::string& path) const;
    void recoverUnlisted();
    // Renames a catalogue that could not be read fully to
    // list.plist.damaged-<date>-<time>; false when it is still in the way.
    bool keepDamagedAside();
    // One more than the highest number listed or handed out, passing any
    // number whose files are already on disk; 0 when none is left.
    int nextNumber() const;
    bool numberIsTaken(long long n) const;
    // Whether an entry other than `data` names the file `path` names.
    bool namedByAnother(const SaveData* data, const std::string& path) const;
    bool mayDeleteFiles(const SaveData* data) const;
    long indexOf(const SaveData* data) const;
    engine::ValueMap entryToValue(const SaveData* data) const;
    DocumentWriter& writer() const;
    void documentWritten(bool written);

    // An entry as the catalogue held it, and its fields as they were read.
    struct AsRead {
        engine::ValueMap entry;
        int identifier;
        std::string title, path, imagePath, modify;
    };

    std::vector<engine::RefPtr<SaveData>> _datas;
    std::unordered_map<const SaveData*, AsRead> _asRead;
    engine::ValueMap _rootAsRead;
    int _lastId = 0;
    bool _listUnwritten = false;  // the last catalogue write failed
    bool _keepAside = false;      // the catalogue on disk is damaged
    int _recoveredCount = 0;
    std::string _keptAside;
    // Documents that could not be kept aside: never written over.
    std::set<std::string> _unwritable;
    std::vector<engine::RefPtr<SaveData>> _bin;
    bool _readOnly = false;
    void loadBin();
    // Puts program n's picture beside its document, in the bin or not.
    void settlePicture(int n, bool inBin);
    bool saveBin();
    long long secondsNow() const;
    std::function<void()> _listFailureHandler;
    std::function<void()> _documentFailureHandler;
    bool _documentFailureTold = false;
    // Cleared when the catalogue goes, so an outcome posted late finds no one.
    std::shared_ptr<SaveDataManager*> _self;
    mutable std::unique_ptr<DocumentWriter> _writer;
    // Set on the writer's thread, read once the writes have ended.
    std::shared_ptr<std::atomic<bool>> _writeFailing;
};
