// Reads bar codes and 2D symbols back from a drawn picture, the way a scanner would:
// zbar for linear codes and QR, libdmtx for Data Matrix, zxing-cpp for PDF417, MaxiCode
// and what zbar cannot read. A quiet zone of white goes around the picture first.
#pragma once

#include <string>
#include <vector>

#include "MonoImage.h"

namespace vprinter::test {

enum class Reader { Zbar, Dmtx, Zxing };

// Every symbol's data found in `image` (its part from x, y, width, height when given).
std::vector<std::string> readSymbols(const MonoImage& image, Reader reader);

}  // namespace vprinter::test
