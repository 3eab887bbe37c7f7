#include "PrefsStatic.h"

#include <algorithm>

std::vector<CPrefsStatic::Strip> CPrefsStatic::gradient(int width) {
    std::vector<Strip> strips;
    const int stripWidth = std::max(1, width / kStripsPerWidth);
    for (int left = 0; left < width; left += stripWidth) {
        const int right = std::min(left + stripWidth, width);
        const double d = static_cast<double>(width - right) / width;
        const double share = 1.0 - d * d;
        auto part = [share](int component) { return static_cast<int>(component * share); };
        strips.push_back(
            {left,
             right - left,
             {part(kCaptionColor.red), part(kCaptionColor.green), part(kCaptionColor.blue)}});
    }
    return strips;
}
