#pragma once
// Resource lookup, the writable folder and property lists.
#include <string>
#include <vector>

#include "engine/core/FileWriteCalls.h"
#include "engine/core/Value.h"

namespace engine {

class FileUtils {
public:
    static FileUtils* getInstance();

    // Resources are looked up relative to each search path in order; an
    // absolute path is used as it is.
    void setSearchPaths(const std::vector<std::string>& paths);
    const std::vector<std::string>& getSearchPaths() const { return _searchPaths; }
    void addSearchPath(const std::string& path, bool front = false);
    // "" when no search path holds the file.
    std::string fullPathForFilename(const std::string& filename) const;
    bool isAbsolutePath(const std::string& path) const;

    // Ends with '/'. Defaults to CORVINA_DATA_DIR when set; the platform
    // replaces it with the per-user data folder otherwise.
    std::string getWritablePath() const;
    void setWritablePath(const std::string& path);

    bool isFileExist(const std::string& path) const;
    bool isDirectoryExist(const std::string& path) const;
    bool createDirectory(const std::string& path) const;
    bool removeFile(const std::string& path) const;
    // Renames within one file system, replacing `to`, and makes both
    // folders' names durable before it returns.
    bool moveFile(const std::string& from, const std::string& to) const;
    std::string getStringFromFile(const std::string& path) const;
    std::vector<unsigned char> getDataFromFile(const std::string& path) const;

    // Atomic: a temporary file beside the target, flushed, synced, renamed.
    // The path is used as given (callers prefix getWritablePath()). On
    // failure the previous file is left as it was and false is returned.
    bool writeStringToFile(const std::string& data, const std::string& path) const;
    bool writeDataToFile(const std::vector<unsigned char>& data, const std::string& path) const;
    // The calls writes and removals go through; null brings back the system's own.
    void setWriteCalls(FileWriteCalls* calls) { _writeCalls = calls; }

    // Property lists: a missing or unreadable file, or a root of the other
    // kind, gives an empty container.
    ValueMap getValueMapFromFile(const std::string& path) const;
    bool writeValueMapToFile(const ValueMap& map, const std::string& path) const;
    ValueVector getValueVectorFromFile(const std::string& path) const;
    bool writeValueVectorToFile(const ValueVector& vector, const std::string& path) const;

private:
    FileWriteCalls& writeCalls() const;

    FileWriteCalls* _writeCalls = nullptr;
    std::vector<std::string> _searchPaths;
    std::string _writablePath;
};

} // namespace engine
