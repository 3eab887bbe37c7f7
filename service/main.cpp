// The Vembrix service program.
#include <cstdio>
#include <cstring>
#include <iostream>

#include "ConfigCommands.h"
#include "ProgramFiles.h"

namespace {

int printVersion() {
    const std::string program = programfiles::programFileName(false);
    programfiles::VersionStrings strings;
    if (!programfiles::versionStrings(program, strings)) {
        std::fprintf(stderr, "vembrix: the program's version block cannot be read\n");
        return 1;
    }
    std::printf("%s %s\n%s\n", strings.productName.c_str(),
                programfiles::productVersionText(program).c_str(), strings.legalCopyright.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return printVersion();
    if (configcommands::isConfigCommand(argc, argv)) {
        return configcommands::run(argc, argv, std::cout, std::cerr);
    }
    std::fprintf(stderr, "usage: vembrix --version\n%s\n", configcommands::usage().c_str());
    return configcommands::kExitUsage;
}
