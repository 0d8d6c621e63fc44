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

// Built with the list, so that a line's sprite calls visit only the sprites
// on that line: for each line 0-159 the records whose box covers it, in
// list order, and the priorities they have; and for each bound 0-4 the
// first record whose priority lies below it (the end record for bound 0).
inline constexpr int SpriteLines = 160;
struct LineSpriteRecords {
    uint8_t count;
    uint8_t priorities;  // bit p: a record of priority p
    uint8_t record[SpriteListCapacity - 1];
};
extern LineSpriteRecords LineSprites[SpriteLines];
extern uint32_t SpriteBandEnds[5];

// The first record from first on that lies outside the band of priorities
// from bound up (bound past 4 taken as 4).
inline uint32_t SpriteBandEnd(uint32_t first, uint32_t bound)
{
    const uint32_t end = SpriteBandEnds[bound > 4 ? 4 : bound];
    return first > end ? first : end;
}

// Calls fn(record) for the records in [first, end) on the line, in list
// order, or in reverse.
template <class Fn>
inline void ForEachSpriteOnLine(uint32_t line, uint32_t first, uint32_t end, Fn &&fn)
{
    if (line >= SpriteLines)
        return;
    const LineSpriteRecords &on = LineSprites[line];
    for (uint32_t k = 0; k < on.count && on.record[k] < end; ++k)
        if (on.record[k] >= first)
            fn(SpriteList[on.record[k]]);
}

template <class Fn>
inline void ForEachSpriteOnLineDownward(uint32_t line, uint32_t first, uint32_t end, Fn &&fn)
{
    if (line >= SpriteLines)
        return;
    const LineSpriteRecords &on = LineSprites[line];
    for (uint32_t k = on.count; k-- > 0 && on.record[k] >= first;)
        if (on.record[k] < end)
            fn(SpriteList[on.record[k]]);
}

// What a sprite band's renderer returns: the record it stopped at, or -1
// at the end of the list.
inline int32_t SpriteBandCursor(uint32_t end)
{
    return (end < SpriteListCapacity && SpriteList[end].priority >= 0) ? int32_t(end) : -1;
}

} // namespace Tavrin
