// The Vembrix service program: without a command it runs the print service, with its
// window when there is a display and without one otherwise (or with --headless);
// with a command it carries that out and ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "ConfigCommands.h"
#include "HeadlessFrontend.h"
#include "PrinterCommands.h"
#include "ProgramFiles.h"
#include "VembrixService.h"
#include "WindowFrontend.h"
#include "platform/Display.h"

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

int runHeadless(const char* why) {
    std::cout << "vembrix runs without a window (" << why << ")" << std::endl;
    CHeadlessFrontend headless(std::cerr);
    return CVembrixService::run(headless, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--headless") == 0)
        return runHeadless("--headless");
    if (argc == 1 && !platform::displayNamed())
        return runHeadless("no display: neither DISPLAY nor WAYLAND_DISPLAY is set");
    std::string unreachable;
    if (argc == 1 && !platform::displayReachable(unreachable))
        return runHeadless(unreachable.c_str());
    if (argc == 1) {
        CWindowFrontend window(argc, argv, std::cerr);
        return CVembrixService::run(window, std::cout, std::cerr);
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return printVersion();
    if (printercommands::isPrinterCommand(argc, argv))
        return printercommands::run(argc, argv, std::cout, std::cerr);
    if (configcommands::isConfigCommand(argc, argv))
        return configcommands::run(argc, argv, std::cout, std::cerr);
    std::fprintf(stderr, "usage: vembrix [--headless]\n       vembrix --version\n%s\n%s\n",
                 configcommands::usage().c_str(), printercommands::usage().c_str());
    return configcommands::kExitUsage;
}
