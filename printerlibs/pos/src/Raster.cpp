#include "Raster.h"

#include <stb_image.h>
#include <stb_image_resize.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "EscPos.h"

namespace raster {
namespace {

constexpr int kMaxPixels = 64 * 1024 * 1024;
constexpr int kThreshold = 128;

struct StbFree {
    void operator()(unsigned char* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

std::optional<Grey> decode(std::string_view fileBytes) {
    if (fileBytes.empty() || fileBytes.size() > static_cast<size_t>(kMaxPixels))
        return std::nullopt;
    auto data = reinterpret_cast<const stbi_uc*>(fileBytes.data());
    int length = static_cast<int>(fileBytes.size());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels))
        return std::nullopt;
    // A BMP stored top row first says so by a negative height, and the header check
    // passes that sign on; the decoder itself turns such a picture the right way up.
    long long rows = std::llabs(static_cast<long long>(height));
    if (width <= 0 || rows == 0 || width * rows > kMaxPixels)
        return std::nullopt;
    // Grey and alpha: a transparent dot is paper, not ink.
    std::unique_ptr<unsigned char, StbFree> pixels(
        stbi_load_from_memory(data, length, &width, &height, &channels, 2));
    if (!pixels)
        return std::nullopt;
    Grey out{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)};
    const unsigned char* source = pixels.get();
    for (size_t i = 0; i < out.pixels.size(); ++i) {
        int grey = source[2 * i];
        int alpha = source[2 * i + 1];
        out.pixels[i] = static_cast<uint8_t>((grey * alpha + 255 * (255 - alpha)) / 255);
    }
    return out;
}

Grey scale(const Grey& picture, int width) {
    if (width == picture.width)
        return picture;
    long long height =
        std::max<long long>(1, static_cast<long long>(picture.height) * width / picture.width);
    Grey out{width, static_cast<int>(height),
             std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height))};
    stbir_resize_uint8(picture.pixels.data(), picture.width, picture.height, 0, out.pixels.data(),
                       out.width, out.height, 0, 1);
    return out;
}

Bitmap toBitmap(const Grey& picture, int brightness, bool dither) {
    Bitmap out{picture.width, picture.height, {}};
    out.rows.assign(static_cast<size_t>(out.rowBytes()) * out.height, 0);
    int shift = brightness * 255 / 100;
    // Error diffusion (Floyd-Steinberg) spreads each dot's rounding error to the dots
    // right and below; two rows of errors are enough.
    std::vector<int> current(picture.width + 2, 0), next(picture.width + 2, 0);
    for (int y = 0; y < picture.height; ++y) {
        std::fill(next.begin(), next.end(), 0);
        for (int x = 0; x < picture.width; ++x) {
            int value = picture.pixels[static_cast<size_t>(y) * picture.width + x] + shift;
            value = std::clamp(value, 0, 255) + (dither ? current[x + 1] / 16 : 0);
            bool black = value < kThreshold;
            if (black)
                out.rows[static_cast<size_t>(y) * out.rowBytes() + x / 8] |= 0x80 >> (x % 8);
            if (!dither)
                continue;
            int error = value - (black ? 0 : 255);
            current[x + 2] += error * 7;
            next[x] += error * 3;
            next[x + 1] += error * 5;
            next[x + 2] += error;
        }
        std::swap(current, next);
    }
    return out;
}

std::string rasterBytes(const Bitmap& bitmap, int mode) {
    std::string out;
    int rowBytes = bitmap.rowBytes();
    for (int top = 0; top < bitmap.height; top += kBandRows) {
        int rows = std::min(kBandRows, bitmap.height - top);
        out += escpos::kRasterImage;
        escpos::putByte(out, mode);
        escpos::putWord(out, rowBytes);
        escpos::putWord(out, rows);
        auto first = bitmap.rows.begin() + static_cast<std::ptrdiff_t>(top) * rowBytes;
        out.append(first, first + static_cast<std::ptrdiff_t>(rows) * rowBytes);
    }
    return out;
}

}  // namespace raster
