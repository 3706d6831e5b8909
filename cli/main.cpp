// corvina-cli: list ports, write, print or send a saved program, stop the
// board, from a terminal or a script.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return runCli(args, std::cout, std::cerr);
}
