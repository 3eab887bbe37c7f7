// Pictures as PNG files: one bit a dot, black on white.
#pragma once

#include <string>

#include "MonoImage.h"

namespace vprinter {

// The PNG file's bytes; empty when the picture has no dots.
std::string encodePng(const MonoImage& image, int dotsPerInch = 203);
// Writes the file whole or not at all (through a temporary name beside it), so that a
// page never shows half a picture.
bool writeFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace vprinter
