// The program's own files and version, and the owner of a listening TCP port.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Process.h"

namespace programfiles {

// Directory of the files kept beside the program, without a trailing separator.
std::string directory();
// Full path of a picture that ships with the program: beside the executable, or in the
// data folder of an installed program; VEMBRIX_HOME does not move it.
std::string shippedFile(const std::string& name);
// Full path of the running program, or only its file name.
std::string programFileName(bool nameOnly);
// True when the file can be opened for reading; with `relative` the name is taken
// inside the program directory.
bool fileTest(const std::string& name, bool relative);

struct VersionStrings {
    std::string companyName;
    std::string legalCopyright;
    std::string fileVersion;
    std::string productName;
};
// The version strings of a program file; false when it has no version block.
bool versionStrings(const std::string& path, VersionStrings& out);
// "1.0.4", or "1.0.4P02" when the revision is not 0; empty without a version block.
std::string productVersionText(const std::string& path);
std::string productVersionText(uint32_t productVersionMS, uint32_t productVersionLS);

platform::PortOwner portOwner(uint16_t port);

}  // namespace programfiles
