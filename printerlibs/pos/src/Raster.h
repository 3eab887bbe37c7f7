// Pictures for the printer: a BMP, PNG or JPEG file decoded to grey, scaled to the width
// asked, brought to one bit per dot (error diffusion or a threshold) and sent as GS v 0
// raster bands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace raster {

struct Grey {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // row by row, 0 black to 255 white
};

// One bit a dot, rows of (width + 7) / 8 bytes, the leftmost dot in the high bit, 1 black.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rows;
    int rowBytes() const { return (width + 7) / 8; }
};

inline constexpr int kBandRows = 128;

// Decodes a picture file's bytes; transparent parts count as white. Nothing for data
// that is not a picture, or one too large to hold.
std::optional<Grey> decode(std::string_view fileBytes);
// Scales to `width` dots, keeping the proportions.
Grey scale(const Grey& picture, int width);
// brightness -100 to 100 moves every grey value before the conversion.
Bitmap toBitmap(const Grey& picture, int brightness, bool dither);
// GS v 0 bands of at most kBandRows rows. `mode` 0 normal, 1 double width, 2 double
// height, 3 both.
std::string rasterBytes(const Bitmap& bitmap, int mode);

}  // namespace raster
