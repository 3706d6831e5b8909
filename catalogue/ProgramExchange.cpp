#include "catalogue/ProgramExchange.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "catalogue/ProgramFile.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/FileUtils.h"

namespace fs = std::filesystem;

namespace {

std::string withSlash(std::string folder) { return folder.empty() || folder.back() == '/' ? folder : folder + "/"; }

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/";
}

// XDG_DOCUMENTS_DIR="$HOME/Documents" in user-dirs.dirs, as the user dirs
// tool writes it: quoted, with $HOME the only variable.
std::optional<std::string> documentsFromUserDirs() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string file = (config && *config ? std::string(config) : homeFolder() + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=\"";
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) value = homeFolder() + value.substr(5);
        if (value.empty() || value[0] != '/') return std::nullopt;
        // A desktop without such a folder points it at home itself.
        if (fs::path(value).lexically_normal() == fs::path(homeFolder()).lexically_normal()) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

std::optional<std::string> readProgramBytes(const std::string& path, std::string& why) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        why = "cannot be read";
        return std::nullopt;
    }
    const auto size = fs::file_size(path, ec);
    if (ec || size > kProgramFileLimit) {
        why = ec ? "cannot be read" : "larger than 1 MiB";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return bytes;
}

bool sameProgramListed(SaveDataManager& catalogue, const ProgramFile& program) {
    for (const auto& data : catalogue.getDatas()) {
        if (data->title != program.title) continue;
        std::optional<ProgramFile> listed = catalogue.programFileOf(data.get());
        if (listed && engine::Value(listed->cards) == engine::Value(program.cards)) return true;
    }
    return false;
}

} // namespace

std::string documentsFolder() {
    std::error_code ec;
    if (std::optional<std::string> documents = documentsFromUserDirs(); documents && fs::is_directory(*documents, ec))
        return withSlash(*documents);
    return withSlash(homeFolder());
}

std::string freeProgramFileName(const std::string& folder, const std::string& title) {
    const std::string stem = safeFileName(title);
    std::string name = stem + kProgramFileExtension;
    std::error_code ec;
    for (int n = 2; fs::exists(fs::symlink_status(withSlash(folder) + name, ec)); ++n)
        name = stem + " (" + std::to_string(n) + ")" + kProgramFileExtension;
    return name;
}

std::string exportProgram(SaveDataManager& catalogue, const SaveData* data, const std::string& folder) {
    std::optional<ProgramFile> program = catalogue.programFileOf(data);
    std::optional<std::string> text = program ? writeProgramFile(*program) : std::nullopt;
    if (!text) return {};
    const std::string name = freeProgramFileName(folder, data->title);
    return engine::FileUtils::getInstance()->writeStringToFile(*text, withSlash(folder) + name) ? name : std::string();
}

ImportOutcome importProgramFiles(SaveDataManager& catalogue, const std::vector<std::string>& paths, bool skipListed) {
    ImportOutcome outcome;
    for (const std::string& path : paths) {
        std::string why;
        std::optional<std::string> bytes = readProgramBytes(path, why);
        std::optional<ProgramFile> program =
            bytes ? readProgramFile(*bytes, fs::path(path).stem().string()) : std::nullopt;
        if (!program) {
            outcome.refused.push_back(path + ": " + (why.empty() ? "not a program file" : why));
            continue;
        }
        if (skipListed && sameProgramListed(catalogue, *program)) {
            outcome.skipped.push_back(path);
            continue;
        }
        if (const SaveData* added = catalogue.addProgram(*program)) outcome.added.push_back(added);
        else outcome.refused.push_back(path + ": could not be saved");
    }
    return outcome;
}

std::vector<std::string> programFilesIn(const std::string& folder) {
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code kind;
        if (entry.path().extension() == kProgramFileExtension && entry.is_regular_file(kind))
            found.emplace_back(entry.last_write_time(kind), entry.path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& [time, path] : found) paths.push_back(std::move(path));
    return paths;
}
