// A black-and-white picture in printer dots, the form in which rasterised text and
// pictures go onto a label.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CMonoBitmap {
public:
    CMonoBitmap() = default;
    CMonoBitmap(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    bool black(int x, int y) const { return dots_[index(x, y)] != 0; }
    void setBlack(int x, int y) { dots_[index(x, y)] = 1; }

    // Turned clockwise in quarter turns (0 to 3).
    CMonoBitmap rotated(int quarterTurns) const;
    // Every dot repeated horizontal x vertical times.
    CMonoBitmap magnified(int horizontal, int vertical) const;
    // The dots packed eight to a byte, rows padded to whole bytes, first dot in the
    // highest bit: the layout of a ZPL graphic field.
    std::vector<uint8_t> packedRows() const;
    int bytesPerRow() const { return (width_ + 7) / 8; }

private:
    size_t index(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> dots_;
};
