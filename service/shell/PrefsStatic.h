// The caption bar that the main window, the dialogs and the pop-up draw as their title
// bar: bold text on a gradient from black at the left edge to the caption colour at
// the right. Dragging it moves its window.
#pragma once

#include <string>
#include <vector>

class CPrefsStatic {
public:
    struct Color {
        int red;
        int green;
        int blue;
        bool operator==(const Color&) const = default;
    };
    // One vertical strip of the gradient, from `left`, `width` pixels wide.
    struct Strip {
        int left;
        int width;
        Color color;
        bool operator==(const Strip&) const = default;
    };

    static constexpr Color kCaptionColor{0, 123, 196};
    static constexpr int kTextLeft = 5;          // pixels from the left edge
    static constexpr int kTextHeight = 15;       // pixels, bold
    static constexpr int kStripsPerWidth = 128;  // the bar is drawn in about this many strips

    // The strips that cover a bar of `width` pixels, left to right. Each takes the
    // caption colour times 1 - (d / width)^2, d being the distance from the strip's
    // right end to the bar's right edge.
    static std::vector<Strip> gradient(int width);
};
