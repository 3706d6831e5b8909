#include "engine/core/FileUtils.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/Plist.h"

namespace engine {

namespace fs = std::filesystem;

int FileWriteCalls::open(const char* path, int flags, int mode) { return ::open(path, flags, mode); }
ssize_t FileWriteCalls::write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int FileWriteCalls::fsync(int fd) { return ::fsync(fd); }
int FileWriteCalls::close(int fd) { return ::close(fd); }
int FileWriteCalls::rename(const char* from, const char* to) { return ::rename(from, to); }
int FileWriteCalls::unlink(const char* path) { return ::unlink(path); }

namespace {

FileWriteCalls s_systemCalls;

std::string withSlash(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

std::string absoluteFolder(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return withSlash(ec ? path : absolute.string());
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

template <typename Buffer>
bool readWholeFile(const std::string& path, Buffer& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) out.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    while (ok) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0) out.insert(out.end(), chunk, chunk + got);
        else if (got == 0) break;
        else if (errno != EINTR) ok = false;
    }
    ::close(fd);
    if (!ok) out.clear();
    return ok;
}

bool writeAll(FileWriteCalls& calls, int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = calls.write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// A name no other writer, in this process or another, is using: the
// process id and a counter, with O_EXCL catching leftovers of a crash.
std::string temporaryName(const std::string& folder, const std::string& name) {
    static std::atomic<unsigned long> counter{0};
    // Keep clear of the file system's limit on name length.
    return folder + "/." + name.substr(0, 100) + ".tmp-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

// Makes the names in `folder` durable. Some file systems cannot sync a
// folder; the names are in place by now either way.
void syncFolder(FileWriteCalls& calls, const std::string& folder) {
    int folderFd = calls.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (folderFd >= 0) {
        calls.fsync(folderFd);
        calls.close(folderFd);
    }
}

std::string folderOf(const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

bool writeAtomically(FileWriteCalls& calls, const char* data, std::size_t size, const std::string& path) {
    fs::path target(path);
    std::string name = target.filename().string();
    if (name.empty() || name == "." || name == "..") return false;
    std::string folder = target.parent_path().empty() ? "." : target.parent_path().string();

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporaryName(folder, name);
        fd = calls.open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    // The new content must be on the disk before its name replaces the
    // old file's; otherwise a power cut can leave an empty program.
    bool ok = writeAll(calls, fd, data, size) && calls.fsync(fd) == 0;
    ok = calls.close(fd) == 0 && ok;
    if (!ok || calls.rename(temporary.c_str(), path.c_str()) != 0) {
        calls.unlink(temporary.c_str());
        return false;
    }
    syncFolder(calls, folder);
    return true;
}

} // namespace

FileWriteCalls& FileUtils::writeCalls() const { return _writeCalls ? *_writeCalls : s_systemCalls; }

FileUtils* FileUtils::getInstance() {
    static FileUtils instance;
    return &instance;
}

void FileUtils::setSearchPaths(const std::vector<std::string>& paths) {
    _searchPaths.clear();
    for (const auto& path : paths) _searchPaths.push_back(withSlash(path));
}

void FileUtils::addSearchPath(const std::string& path, bool front) {
    if (front) _searchPaths.insert(_searchPaths.begin(), withSlash(path));
    else _searchPaths.push_back(withSlash(path));
}

bool FileUtils::isAbsolutePath(const std::string& path) const { return fs::path(path).is_absolute(); }

std::string FileUtils::fullPathForFilename(const std::string& filename) const {
    if (filename.empty()) return {};
    if (isAbsolutePath(filename)) return filename;
    for (const auto& searchPath : _searchPaths) {
        std::string candidate = searchPath + filename;
        if (isRegularFile(candidate)) return candidate;
    }
    return {};
}

std::string FileUtils::getWritablePath() const {
    if (!_writablePath.empty()) return _writablePath;
    const char* dataDir = std::getenv("CORVINA_DATA_DIR");
    return dataDir ? absoluteFolder(dataDir) : std::string();
}

void FileUtils::setWritablePath(const std::string& path) { _writablePath = absoluteFolder(path); }

bool FileUtils::isFileExist(const std::string& path) const {
    std::string full = fullPathForFilename(path);
    return !full.empty() && isRegularFile(full);
}

bool FileUtils::isDirectoryExist(const std::string& path) const {
    if (path.empty()) return false;
    if (isAbsolutePath(path)) return isDirectory(path);
    for (const auto& searchPath : _searchPaths)
        if (isDirectory(searchPath + path)) return true;
    return false;
}

bool FileUtils::createDirectory(const std::string& path) const {
    if (path.empty()) return false;
    std::error_code ec;
    fs::create_directories(path, ec);
    return isDirectory(path);
}

bool FileUtils::removeFile(const std::string& path) const {
    return !path.empty() && writeCalls().unlink(path.c_str()) == 0;
}

bool FileUtils::moveFile(const std::string& from, const std::string& to) const {
    FileWriteCalls& calls = writeCalls();
    if (from.empty() || to.empty() || calls.rename(from.c_str(), to.c_str()) != 0) return false;
    // The new name first: until the old folder is synced too, a power cut
    // may leave both names, never neither.
    syncFolder(calls, folderOf(to));
    if (folderOf(from) != folderOf(to)) syncFolder(calls, folderOf(from));
    return true;
}

std::string FileUtils::getStringFromFile(const std::string& path) const {
    std::string data;
    std::string full = fullPathForFilename(path);
    if (!full.empty()) readWholeFile(full, data);
    return data;
}

std::vector<unsigned char> FileUtils::getDataFromFile(const std::string& path) const {
    std::vector<unsigned char> data;
    std::string full = fullPathForFilename(path);
    if (!full.empty()) readWholeFile(full, data);
    return data;
}

bool FileUtils::writeStringToFile(const std::string& data, const std::string& path) const {
    return writeAtomically(writeCalls(), data.data(), data.size(), path);
}

bool FileUtils::writeDataToFile(const std::vector<unsigned char>& data, const std::string& path) const {
    return writeAtomically(writeCalls(), reinterpret_cast<const char*>(data.data()), data.size(), path);
}

ValueMap FileUtils::getValueMapFromFile(const std::string& path) const {
    return plist::parseMap(getStringFromFile(path));
}

bool FileUtils::writeValueMapToFile(const ValueMap& map, const std::string& path) const {
    auto document = plist::write(map);
    return document && writeStringToFile(*document, path);
}

ValueVector FileUtils::getValueVectorFromFile(const std::string& path) const {
    return plist::parseVector(getStringFromFile(path));
}

bool FileUtils::writeValueVectorToFile(const ValueVector& vector, const std::string& path) const {
    auto document = plist::write(vector);
    return document && writeStringToFile(*document, path);
}

} // namespace engine
