#include "Canvas.h"

#include <algorithm>

namespace vprinter {

void paste(MonoImage& target, const MonoImage& source, int x, int y, bool flip) {
    int top = std::max(0, -y);
    int bottom = std::min(source.height(), target.height() - y);
    int left = std::max(0, -x);
    int right = std::min(source.width(), target.width() - x);
    for (int sy = top; sy < bottom; ++sy) {
        const uint8_t* row = source.row(sy);
        for (int sx = left; sx < right; ++sx) {
            if (!(row[sx >> 3] & (0x80 >> (sx & 7)))) {
                if (sx % 8 == 0 && row[sx >> 3] == 0)
                    sx += 7;  // a white byte: skip it whole
                continue;
            }
            if (flip)
                target.flip(x + sx, y + sy);
            else
                target.set(x + sx, y + sy);
        }
    }
}

void fillRect(MonoImage& target, int x, int y, int width, int height, bool flip) {
    int x0 = std::max(0, x), x1 = std::min(target.width(), x + width);
    int y0 = std::max(0, y), y1 = std::min(target.height(), y + height);
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px)
            if (flip)
                target.flip(px, py);
            else
                target.set(px, py);
}

MonoImage turned(const MonoImage& source, int quarterTurns) {
    quarterTurns = ((quarterTurns % 4) + 4) % 4;
    if (quarterTurns == 0)
        return source;
    bool swap = quarterTurns % 2 == 1;
    MonoImage out(swap ? source.height() : source.width(), swap ? source.width() : source.height());
    int w = source.width(), h = source.height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (!source.black(x, y))
                continue;
            switch (quarterTurns) {
                case 1:
                    out.set(h - 1 - y, x);
                    break;
                case 2:
                    out.set(w - 1 - x, h - 1 - y);
                    break;
                default:
                    out.set(y, w - 1 - x);
                    break;
            }
        }
    return out;
}

std::pair<int, int> inkColumns(const MonoImage& image) {
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.black(x, y)) {
                first = first < 0 ? x : std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

}  // namespace vprinter
