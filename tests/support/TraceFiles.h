// Reading what the trace log wrote into a program directory's "Log" folder.
#pragma once

#include <string>
#include <vector>

namespace tracefiles {

// File names in <home>/Log, sorted; empty when the folder does not exist.
std::vector<std::string> list(const std::string& home);
// Bytes of <home>/Log/<name>.
std::string read(const std::string& home, const std::string& name);
// All text lines of every .log file in the folder (UTF-16LE files decoded), in file
// name order, each without its "\r\n".
std::vector<std::string> lines(const std::string& home, bool utf16 = false);
// True when some line of the folder contains `text`.
bool contains(const std::string& home, const std::string& text, bool utf16 = false);
// Lines of the folder that contain `text`.
int count(const std::string& home, const std::string& text, bool utf16 = false);

}  // namespace tracefiles
