// The drawing list of sprites: every sprite whose box overlaps the screen,
// by priority band (3 first) and within a band by descending entry number,
// so that later records paint over earlier ones. Rebuilt only when sprite
// RAM or the display mode changed.
#pragma once

#include "modules/tavrin/render/RenderState.h"

#include <cstdint>

namespace Tavrin {

// Index shape * 4 + size; shape 3 is taken as square.
inline constexpr uint8_t SpriteWidthTiles[16] = {1, 2, 4, 8, 2, 4, 4, 8, 1, 1, 2, 4, 1, 2, 4, 8};
inline constexpr uint8_t SpriteHeightTiles[16] = {1, 2, 4, 8, 1, 1, 2, 4, 2, 4, 4, 8, 1, 2, 4, 8};
inline constexpr uint8_t SpriteWidthLog2[16] = {0, 1, 2, 3, 1, 2, 2, 3, 0, 0, 1, 2, 0, 1, 2, 3};

// Rewrites SpriteList from sprite RAM and the display mode.
void BuildObjList();

// Whether the list BuildObjList wrote last holds a semi-transparent sprite.
extern bool SemiTransparentListed;

// Whether record i belongs to the band of priorities from bound up (bound
// past 4 taken as 4); the list's end record belongs to none.
inline bool InSpriteBand(uint32_t i, uint32_t bound)
{
    return i < SpriteListCapacity && SpriteList[i].priority >= int32_t(bound > 4 ? 4 : bound);
}

// The first record from first on that lies outside the band.
inline uint32_t SpriteBandEnd(uint32_t first, uint32_t bound)
{
    uint32_t i = first;
    while (InSpriteBand(i, bound))
        ++i;
    return i;
}

// What a sprite band's renderer returns: the record it stopped at, or -1
// at the end of the list.
inline int32_t SpriteBandCursor(uint32_t end)
{
    return (end < SpriteListCapacity && SpriteList[end].priority >= 0) ? int32_t(end) : -1;
}

} // namespace Tavrin
