#pragma once
// The commands that read and change the editor's own list of programs:
// list, export, import and copy.
#include <ostream>
#include <string>
#include <vector>

// The editor's data folder: CORVINA_DATA_DIR when set, else the per-user
// data folder the editor uses ($XDG_DATA_HOME or ~/.local/share).
std::string editorDataFolder();

int commandList(std::ostream& out, std::ostream& err);
int commandExport(const std::vector<std::string>& args, std::ostream& err);
int commandImport(const std::vector<std::string>& files, std::ostream& out, std::ostream& err);
int commandCopy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
