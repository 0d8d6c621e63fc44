// The host colours of 256-colour tile rows, kept by the row's VRAM offset,
// for the layers that draw such rows over and over without an effect: a
// kept row is one load instead of eight palette lookups. A row is kept
// until a store reaches its 2 KB part of VRAM or a background host colour
// changes, whichever the next lookup sees first.
#pragma once

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/render/HostPalette.h"
#include "modules/tavrin/render/TileRow.h"

#include <cstdint>
#include <cstring>

namespace Tavrin {

struct TileRowColourCache {
    static constexpr uint32_t Rows = 0x10000 / 8;  // tile data lies in VRAM's first 64 KB
    static constexpr uint32_t Parts = 0x10000 >> VramPartShift;

    uint64_t clock = 1;             // counts the events that drop rows
    uint64_t keptFrom[Parts] = {};  // a row is kept if filled after this
    uint32_t paletteSeen = 0;       // BgHostGeneration the kept rows were filled under
    uint64_t filled[Rows] = {};     // the clock when each row was filled, 0: never
    PixelVector host[Rows] = {};
};

extern TileRowColourCache TileRowColours;

// Drops the rows of the VRAM parts in parts (bit n: part n).
void DropTileRowColours(uint64_t parts);

// Drops every row when the background host colours changed since the last
// look; once a line, before the lookups.
inline void CheckTileRowPalette()
{
    TileRowColourCache &c = TileRowColours;
    if (c.paletteSeen != BgHostGeneration) {
        c.paletteSeen = BgHostGeneration;
        DropTileRowColours(~uint64_t(0));
    }
}

// Fills the row at VRAM offset at of vram (the miss of the lookup below).
PixelVector FillTileRowHostColours(const uint8_t *vram, uint32_t at);

// The host colours of the eight texels of the 256-colour tile row at VRAM
// offset at (a multiple of 8, below 64 KB), index 0 included, palette
// entries 0-255.
[[gnu::always_inline]] inline PixelVector TileRowHostColours(const uint8_t *vram, uint32_t at)
{
    const TileRowColourCache &c = TileRowColours;
    if (c.filled[at >> 3] > c.keptFrom[at >> VramPartShift])
        return c.host[at >> 3];
    return FillTileRowHostColours(vram, at);
}

} // namespace Tavrin
