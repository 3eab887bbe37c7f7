// Drawing on a MonoImage: pictures pasted, rectangles filled or flipped, quarter turns.
// Everything clips at the picture's edges.
#pragma once

#include "MonoImage.h"

namespace vprinter {

// Black dots of `source` with its top left at x, y; `flip` turns dots over instead
// (reverse printing).
void paste(MonoImage& target, const MonoImage& source, int x, int y, bool flip = false);
void fillRect(MonoImage& target, int x, int y, int width, int height, bool flip = false);
// Quarter turns clockwise (0 to 3).
MonoImage turned(const MonoImage& source, int quarterTurns);
// The columns from the first to the last with a black dot, as {first, last}; {-1, -1} for
// a blank picture.
std::pair<int, int> inkColumns(const MonoImage& image);

}  // namespace vprinter
