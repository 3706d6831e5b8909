#pragma once
// The command-line tool's commands: argument parsing and messages only;
// the work is the editor's own catalogue, generator and link.
#include <ostream>
#include <string>
#include <vector>

// Exit statuses, for scripts.
enum CliStatus {
    kCliOk = 0,
    kCliUsage = 1,          // unknown command or option, missing argument
    kCliDocument = 2,       // the document cannot be read or written
    kCliLink = 3,           // the port or the Wi-Fi link cannot be opened
    kCliTransfer = 4,       // a write failed half way
    kCliRefused = 5,        // the board would not run the program as its cards say; nothing was sent
    kCliCheckFailed = 6,    // the board's listing still differed after two repairs: neither saved nor run
    kCliEditorOpen = 7,     // the editor holds the data folder: the list of programs was not changed
};

// Runs one command line (without the program name); output goes to `out`
// (the program bytes for render), messages to `err`.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
