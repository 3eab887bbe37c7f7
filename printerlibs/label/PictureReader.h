// Reads BMP, PNG and JPEG pictures into black-and-white dots.
#pragma once

#include <optional>
#include <string>

#include "MonoBitmap.h"

enum class Dithering { ErrorDiffusion, Threshold };

class CPictureReader {
public:
    // The picture at `path`, scaled to width x height dots (0 for one keeps the
    // proportions, 0 for both keeps the size) and dithered. Nothing when the file cannot
    // be read or is no picture; `reason` then says why.
    static std::optional<CMonoBitmap> read(const std::string& path, int width, int height,
                                           Dithering dithering, std::string& reason);
};
