// The window control byte of every column of a line: outside all windows,
// the OBJ window, WIN1 and WIN0, each later one winning where they overlap.
#pragma once

#include <cstdint>

namespace Tavrin {

// Columns [first, end) of a window on one line; a window whose edges wrap
// covers two pieces.
struct WindowSpan {
    uint32_t first[2];
    uint32_t end[2];
};

// The span of a window with its WINxH and WINxV words on this line (both
// pieces empty when the line lies outside it). Edges past 240 are cut at 240;
// left > right covers [left, 240) and [0, right), top > bottom covers the
// lines from top on and those above bottom.
WindowSpan WindowSpanOn(uint32_t line, uint32_t h, uint32_t v);

// Rebuilds WindowLine columns 0-239 (and OBJ-window marks in the guard
// bands) from DISPCNT, the window registers and the sprite list.
void BuildWindowLine(uint32_t line);

} // namespace Tavrin
