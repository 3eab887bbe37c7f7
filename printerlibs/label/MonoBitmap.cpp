#include "MonoBitmap.h"

CMonoBitmap::CMonoBitmap(int width, int height)
    : width_(width),
      height_(height),
      dots_(static_cast<size_t>(width) * static_cast<size_t>(height), 0) {}

CMonoBitmap CMonoBitmap::rotated(int quarterTurns) const {
    quarterTurns &= 3;
    if (quarterTurns == 0)
        return *this;
    bool sideways = quarterTurns % 2 == 1;
    CMonoBitmap out(sideways ? height_ : width_, sideways ? width_ : height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (!black(x, y))
                continue;
            switch (quarterTurns) {
                case 1:
                    out.setBlack(height_ - 1 - y, x);
                    break;
                case 2:
                    out.setBlack(width_ - 1 - x, height_ - 1 - y);
                    break;
                default:
                    out.setBlack(y, width_ - 1 - x);
                    break;
            }
        }
    }
    return out;
}

CMonoBitmap CMonoBitmap::magnified(int horizontal, int vertical) const {
    if (horizontal == 1 && vertical == 1)
        return *this;
    CMonoBitmap out(width_ * horizontal, height_ * vertical);
    for (int y = 0; y < out.height_; ++y)
        for (int x = 0; x < out.width_; ++x)
            if (black(x / horizontal, y / vertical))
                out.setBlack(x, y);
    return out;
}

std::vector<uint8_t> CMonoBitmap::packedRows() const {
    int stride = bytesPerRow();
    std::vector<uint8_t> bytes(static_cast<size_t>(stride) * static_cast<size_t>(height_), 0);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (black(x, y))
                bytes[static_cast<size_t>(y * stride + x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
    return bytes;
}
