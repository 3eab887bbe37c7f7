#include "ProgramFiles.h"

#include <cstdio>

#include "platform/Files.h"
#include "platform/Version.h"

namespace programfiles {

std::string directory() {
    return platform::programDirectory();
}

std::string shippedFile(const std::string& name) {
    return platform::joinPath(platform::dataDirectory(), name);
}

std::string programFileName(bool nameOnly) {
    std::string path = platform::executablePath();
    return nameOnly ? platform::fileNameOf(path) : path;
}

bool fileTest(const std::string& name, bool relative) {
    return platform::canOpenForReading(relative ? platform::joinPath(directory(), name) : name);
}

bool versionStrings(const std::string& path, VersionStrings& out) {
    std::optional<platform::VersionBlock> block = platform::readVersionBlock(path);
    if (!block)
        return false;
    out = VersionStrings{block->companyName, block->legalCopyright, block->fileVersion,
                         block->productName};
    return true;
}

std::string productVersionText(uint32_t productVersionMS, uint32_t productVersionLS) {
    unsigned major = productVersionMS >> 16, minor = productVersionMS & 0xFFFF;
    unsigned build = productVersionLS >> 16, revision = productVersionLS & 0xFFFF;
    char text[64];
    if (revision != 0)
        std::snprintf(text, sizeof text, "%u.%u.%uP%02u", major, minor, build, revision);
    else
        std::snprintf(text, sizeof text, "%u.%u.%u", major, minor, build);
    return text;
}

std::string productVersionText(const std::string& path) {
    std::optional<platform::VersionBlock> block = platform::readVersionBlock(path);
    return block ? productVersionText(block->productVersionMS, block->productVersionLS)
                 : std::string();
}

platform::PortOwner portOwner(uint16_t port) {
    return platform::findTcpListener(port);
}

}  // namespace programfiles
