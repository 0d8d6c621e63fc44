// The drawing list of sprites: every sprite whose box overlaps the screen,
// by priority band (3 first) and within a band by descending entry number,
// so that later records paint over earlier ones. Rebuilt only when sprite
// RAM or the display mode changed.
#pragma once

#include <cstdint>

namespace Tavrin {

// Index shape * 4 + size; shape 3 is taken as square.
inline constexpr uint8_t SpriteWidthTiles[16] = {1, 2, 4, 8, 2, 4, 4, 8, 1, 1, 2, 4, 1, 2, 4, 8};
inline constexpr uint8_t SpriteHeightTiles[16] = {1, 2, 4, 8, 1, 1, 2, 4, 2, 4, 4, 8, 1, 2, 4, 8};
inline constexpr uint8_t SpriteWidthLog2[16] = {0, 1, 2, 3, 1, 2, 2, 3, 0, 0, 1, 2, 0, 1, 2, 3};

// Rewrites SpriteList from sprite RAM and the display mode.
void BuildObjList();

} // namespace Tavrin
