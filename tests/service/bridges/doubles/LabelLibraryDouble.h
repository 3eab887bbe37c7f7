// The label printer library's test double: every function records its call and returns
// its scripted result (job functions, ConnectPrinter and GetPrinterName 1, checkStatus
// and ReadStatus 0 unless scripted).
#pragma once

#include <string>

#include "CallRecorder.h"

namespace labeldouble {

CallRecorder& recorder();
// What GetPrinterName writes into its buffer.
void setPrinterName(const std::string& name);

}  // namespace labeldouble
