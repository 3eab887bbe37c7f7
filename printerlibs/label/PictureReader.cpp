#include "PictureReader.h"

#include <stb_image.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/Files.h"

namespace {

constexpr int kLargestSide = 32000;
// The largest picture file read; a compressed picture of the largest area fits easily.
constexpr size_t kLargestFileBytes = 64u << 20;
// Bounds the memory a picture takes; no label holds more dots.
constexpr long long kLargestArea = 50'000'000;

struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<float> grey;  // 0 black to 255 white, row-major
};

// Transparent parts count as white paper.
GreyPicture toGrey(const unsigned char* rgba, int width, int height) {
    GreyPicture picture{width, height, std::vector<float>(static_cast<size_t>(width) * height)};
    for (size_t i = 0; i < picture.grey.size(); ++i) {
        const unsigned char* p = rgba + i * 4;
        float luminance = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
        float alpha = p[3] / 255.0f;
        picture.grey[i] = luminance * alpha + 255.0f * (1.0f - alpha);
    }
    return picture;
}

// Each target dot takes the mean of the source area it covers (nearest source dot when
// enlarging).
GreyPicture scaled(const GreyPicture& source, int width, int height) {
    if (width == source.width && height == source.height)
        return source;
    GreyPicture out{width, height, std::vector<float>(static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        int y0 = static_cast<int>(static_cast<long long>(y) * source.height / height);
        int y1 = std::max(y0 + 1,
                          static_cast<int>(static_cast<long long>(y + 1) * source.height / height));
        for (int x = 0; x < width; ++x) {
            int x0 = static_cast<int>(static_cast<long long>(x) * source.width / width);
            int x1 = std::max(
                x0 + 1, static_cast<int>(static_cast<long long>(x + 1) * source.width / width));
            float sum = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    sum += source.grey[static_cast<size_t>(sy) * source.width + sx];
            out.grey[static_cast<size_t>(y) * width + x] =
                sum / static_cast<float>((y1 - y0) * (x1 - x0));
        }
    }
    return out;
}

// Floyd-Steinberg error diffusion, or a plain threshold at mid-grey.
CMonoBitmap dithered(GreyPicture picture, Dithering dithering) {
    CMonoBitmap bitmap(picture.width, picture.height);
    auto at = [&](int x, int y) -> float& {
        return picture.grey[static_cast<size_t>(y) * picture.width + x];
    };
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            float old = at(x, y);
            bool black = old < 128.0f;
            if (black)
                bitmap.setBlack(x, y);
            if (dithering == Dithering::Threshold)
                continue;
            float error = old - (black ? 0.0f : 255.0f);
            if (x + 1 < picture.width)
                at(x + 1, y) += error * 7 / 16;
            if (y + 1 < picture.height) {
                if (x > 0)
                    at(x - 1, y + 1) += error * 3 / 16;
                at(x, y + 1) += error * 5 / 16;
                if (x + 1 < picture.width)
                    at(x + 1, y + 1) += error * 1 / 16;
            }
        }
    }
    return bitmap;
}

}  // namespace

std::optional<CMonoBitmap> CPictureReader::read(const std::string& path, int width, int height,
                                                Dithering dithering, std::string& reason) {
    std::optional<std::string> file = platform::readFileBounded(path, kLargestFileBytes, &reason);
    if (!file)
        return std::nullopt;
    auto bytes = reinterpret_cast<const stbi_uc*>(file->data());
    const int length = static_cast<int>(file->size());
    int sourceWidth = 0;
    int sourceHeight = 0;
    int channels = 0;
    // A top-down BMP gives its height negative here; the decoder itself turns it upright.
    if (stbi_info_from_memory(bytes, length, &sourceWidth, &sourceHeight, &channels) &&
        std::llabs(static_cast<long long>(sourceWidth) * sourceHeight) > kLargestArea) {
        reason = "the picture has too many dots";
        return std::nullopt;
    }
    std::unique_ptr<unsigned char, void (*)(void*)> pixels(
        stbi_load_from_memory(bytes, length, &sourceWidth, &sourceHeight, &channels, 4),
        stbi_image_free);
    if (!pixels) {
        const char* why = stbi_failure_reason();
        reason = why ? why : "unreadable";
        return std::nullopt;
    }
    if (width == 0 && height == 0) {
        width = sourceWidth;
        height = sourceHeight;
    } else if (width == 0) {
        width = std::max(
            1, static_cast<int>(static_cast<long long>(sourceWidth) * height / sourceHeight));
    } else if (height == 0) {
        height = std::max(
            1, static_cast<int>(static_cast<long long>(sourceHeight) * width / sourceWidth));
    }
    if (width > kLargestSide || height > kLargestSide ||
        static_cast<long long>(width) * height > kLargestArea) {
        reason = "larger than any label";
        return std::nullopt;
    }
    GreyPicture grey = toGrey(pixels.get(), sourceWidth, sourceHeight);
    pixels.reset();
    return dithered(scaled(grey, width, height), dithering);
}
