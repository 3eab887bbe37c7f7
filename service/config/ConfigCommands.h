// Configuration from the command line, for machines without a desktop and for
// scripts. Every command goes through the device list and the settings, so it writes
// what the printer and settings dialogs write.
//
//   vembrix printers
//   vembrix printer add NAME KEY=VALUE...
//   vembrix printer remove NAME
//   vembrix settings
//   vembrix settings set KEY=VALUE...
#pragma once

#include <ostream>
#include <string>

namespace configcommands {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// True when the first argument names one of the commands above.
bool isConfigCommand(int argc, const char* const* argv);
// Runs the command of argv (argv[0] is the program); one line on `err` and a nonzero
// result on any failure, and then nothing has been written.
int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
// The usage lines of the commands.
std::string usage();

}  // namespace configcommands
