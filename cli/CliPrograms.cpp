#include "cli/CliPrograms.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "catalogue/EditorLock.h"
#include "catalogue/ProgramExchange.h"
#include "catalogue/ProgramFile.h"
#include "catalogue/SaveDataManager.h"
#include "cli/CliCommands.h"
#include "engine/core/FileUtils.h"

namespace fs = std::filesystem;

namespace {

// The catalogue of the editor's data folder; read only for the commands
// that only look.
SaveDataManager* openCatalogue(bool readOnly) {
    engine::FileUtils::getInstance()->setWritablePath(editorDataFolder());
    SaveDataManager::setReadOnly(readOnly);
    SaveDataManager::resetForTests();
    return SaveDataManager::getInstance();
}

const SaveData* listed(SaveDataManager* catalogue, const std::string& number) {
    for (const auto& data : catalogue->getDatas())
        if (std::to_string(data->identifier) == number) return data.get();
    return nullptr;
}

void printEntry(std::ostream& out, const SaveData* data) { out << data->identifier << '\t' << data->title << '\n'; }

// Holds the lock while the catalogue changes, so no editor starts under
// it; null, with the message said, when an editor holds it.
std::unique_ptr<EditorLock> lockForChange(std::ostream& err) {
    auto lock = std::make_unique<EditorLock>(editorDataFolder());
    if (lock->state() == EditorLock::State::HeldElsewhere) {
        err << "corvina-cli: the editor is open on " << editorDataFolder()
            << "; close it, then run the command again\n";
        return nullptr;
    }
    return lock;
}

} // namespace

std::string editorDataFolder() {
    if (const char* dir = std::getenv("CORVINA_DATA_DIR"); dir && *dir) {
        std::string folder = dir;
        return folder.back() == '/' ? folder : folder + "/";
    }
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.local/share";
    else base = ".";
    return base + "/Corvina/CorvinaApps/";
}

int commandList(std::ostream& out, std::ostream&) {
    SaveDataManager* catalogue = openCatalogue(true);
    for (const auto& data : catalogue->getDatas()) printEntry(out, data.get());
    return kCliOk;
}

int commandExport(const std::vector<std::string>& args, std::ostream& err) {
    SaveDataManager* catalogue = openCatalogue(true);
    const SaveData* data = listed(catalogue, args[0]);
    if (!data) {
        err << "corvina-cli: no program numbered " << args[0] << " ('corvina-cli list' shows them)\n";
        return kCliDocument;
    }
    std::optional<ProgramFile> program = catalogue->programFileOf(data);
    std::optional<std::string> text = program ? writeProgramFile(*program) : std::nullopt;
    if (!program) {
        err << "corvina-cli: program " << args[0] << " cannot be read\n";
        return kCliDocument;
    }
    if (!text) {
        err << "corvina-cli: program " << args[0] << " would pass 1 MiB\n";
        return kCliDocument;
    }
    if (!engine::FileUtils::getInstance()->writeStringToFile(*text, args[1])) {
        err << "corvina-cli: cannot write " << args[1] << "\n";
        return kCliDocument;
    }
    return kCliOk;
}

int commandImport(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
    std::unique_ptr<EditorLock> lock = lockForChange(err);
    if (!lock) return kCliEditorOpen;
    SaveDataManager* catalogue = openCatalogue(false);
    const ImportOutcome outcome = importProgramFiles(*catalogue, files);
    for (const SaveData* added : outcome.added) printEntry(out, added);
    for (const std::string& refused : outcome.refused) err << "corvina-cli: " << refused << ", not imported\n";
    return outcome.refused.empty() ? kCliOk : kCliDocument;
}

int commandCopy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::unique_ptr<EditorLock> lock = lockForChange(err);
    if (!lock) return kCliEditorOpen;
    SaveDataManager* catalogue = openCatalogue(false);
    const SaveData* data = listed(catalogue, args[0]);
    if (!data) {
        err << "corvina-cli: no program numbered " << args[0] << " ('corvina-cli list' shows them)\n";
        return kCliDocument;
    }
    const SaveData* copy = catalogue->copyProgram(data);
    if (!copy) {
        err << "corvina-cli: program " << args[0] << " could not be copied\n";
        return kCliDocument;
    }
    printEntry(out, copy);
    return kCliOk;
}
