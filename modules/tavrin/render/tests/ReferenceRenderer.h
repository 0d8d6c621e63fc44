// A slow renderer for comparison: every pixel of a line is worked out on its
// own, straight from the console's rules, with no shared walk, table or
// guard band. It reads the same blocks and words as the real renderer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace Tavrin::Test {

struct RenderBlocks;

// The 240 host RGB565 pixels of line `line`, with the affine words as they
// stand (BgCurX/BgCurY of this line).
void ReferenceLine(const RenderBlocks &blocks, uint32_t line, uint16_t out[240]);

// Draws a whole frame with every buffer rebuilt on every line (or, without
// rebuildEveryLine, only as the rebuild requests ask) and compares each
// line with the reference; reports the first few differing pixels under
// `what` and returns how many differ. beforeLine, when given, changes the
// scene before each line is drawn, as a game's code between lines does.
int CompareFrameWithReference(RenderBlocks &blocks, const std::string &what,
                              const std::function<void(uint32_t line)> &beforeLine = {},
                              bool rebuildEveryLine = true);

} // namespace Tavrin::Test
