#pragma once
// Handing programs on: exporting a listed program as a program file, and
// importing program files as new programs. Used by the home screen and by
// the command line alike.
#include <string>
#include <vector>

class SaveData;
class SaveDataManager;

// The folder the desktop names for documents (XDG user dirs), else the
// home folder; with a trailing '/'.
std::string documentsFolder();

// A file name in `folder` for the title: unsafe characters replaced, and
// " (2)", " (3)" added while the name is taken.
std::string freeProgramFileName(const std::string& folder, const std::string& title);

// Writes `data` as a program file in `folder`; the file's name, or "" when
// it could not be read or written.
std::string exportProgram(SaveDataManager& catalogue, const SaveData* data, const std::string& folder);

struct ImportOutcome {
    std::vector<const SaveData*> added;  // in the order given
    std::vector<std::string> refused;    // file paths, with why: "<path>: <reason>"
    std::vector<std::string> skipped;    // already listed, with the same title and cards
};

// Adds each file as a new program, in order. A plain field document is
// titled after its file name. With `skipListed`, a file whose program is
// already listed (same title and cards) is not added again.
ImportOutcome importProgramFiles(SaveDataManager& catalogue, const std::vector<std::string>& paths,
                                 bool skipListed = false);

// The program files (".corvina") in `folder`, oldest first.
std::vector<std::string> programFilesIn(const std::string& folder);
