// A picture of black and white dots, one bit a dot in rows of whole bytes (the leftmost
// dot in the high bit, 1 black), as printers take raster data: what the decoders hand
// on of received pictures, and what receipts and labels are drawn into.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vprinter {

class MonoImage {
public:
    MonoImage() = default;
    MonoImage(int width, int height)
        : width_(width),
          height_(height),
          rowBytes_((width + 7) / 8),
          bits_(static_cast<size_t>(rowBytes_) * static_cast<size_t>(height), 0) {}

    int width() const { return width_; }
    int height() const { return height_; }
    int rowBytes() const { return rowBytes_; }
    bool empty() const { return width_ == 0 || height_ == 0; }

    bool black(int x, int y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_ &&
               (bits_[index(x, y)] & (0x80 >> (x & 7)));
    }
    // Dots outside the picture are ignored: drawing clips as a print head does.
    void set(int x, int y, bool black = true) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return;
        if (black)
            bits_[index(x, y)] |= static_cast<uint8_t>(0x80 >> (x & 7));
        else
            bits_[index(x, y)] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
    }
    void flip(int x, int y) { set(x, y, !black(x, y)); }

    const uint8_t* row(int y) const { return bits_.data() + static_cast<size_t>(y) * rowBytes_; }
    uint8_t* row(int y) { return bits_.data() + static_cast<size_t>(y) * rowBytes_; }

    // Adds rows of packed dots (`rowBytes` a row) at the bottom; the width stays.
    void appendRows(std::string_view packed, int rowBytes) {
        int rows =
            rowBytes > 0 ? static_cast<int>(packed.size() / static_cast<size_t>(rowBytes)) : 0;
        int first = height_;
        height_ += rows;
        bits_.resize(static_cast<size_t>(rowBytes_) * static_cast<size_t>(height_), 0);
        for (int r = 0; r < rows; ++r)
            for (int b = 0; b < rowBytes && b < rowBytes_; ++b)
                row(first + r)[b] =
                    static_cast<uint8_t>(packed[static_cast<size_t>(r) * rowBytes + b]);
        clearPadding(first);
    }
    void appendBlankRows(int rows) {
        height_ += rows;
        bits_.resize(static_cast<size_t>(rowBytes_) * static_cast<size_t>(height_), 0);
    }

private:
    size_t index(int x, int y) const {
        return static_cast<size_t>(y) * rowBytes_ + static_cast<size_t>(x >> 3);
    }
    // Bits right of the width in the last byte of a row are no dots.
    void clearPadding(int fromRow) {
        if (width_ % 8 == 0)
            return;
        uint8_t keep = static_cast<uint8_t>(0xFF << (8 - width_ % 8));
        for (int y = fromRow; y < height_; ++y)
            row(y)[rowBytes_ - 1] &= keep;
    }

    int width_ = 0;
    int height_ = 0;
    int rowBytes_ = 0;
    std::vector<uint8_t> bits_;
};

}  // namespace vprinter
