// The window's "Test Print", and the printer-name question of the printer dialog, from
// the command line:
//
//   vembrix printer test NAME   prints the test label or test receipt of the printer
//   vembrix printer name NAME   prints the name the printer reports
//
// They reach the printer through its bridge without watching any printer: a running
// service owns the connections it watches.
#pragma once

#include <ostream>
#include <string>

namespace printercommands {

// True when the arguments name one of the commands above (complete or not).
bool isPrinterCommand(int argc, const char* const* argv);
// 0 when done; otherwise one line on `err` and a nonzero result.
int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
std::string usage();

}  // namespace printercommands
