#include "modules/tavrin/render/TileRowColours.h"

namespace Tavrin {

TileRowColourCache TileRowColours;

PixelVector FillTileRowHostColours(const uint8_t *vram, uint32_t at)
{
    TileRowColourCache &c = TileRowColours;
    uint64_t lanes;
    std::memcpy(&lanes, vram + at, 8);
    c.host[at >> 3] = GatherEntries(HostPalette, lanes);
    c.filled[at >> 3] = c.clock;
    return c.host[at >> 3];
}

void DropTileRowColours(uint64_t parts)
{
    TileRowColourCache &c = TileRowColours;
    // The rows filled until now carry at most this clock, those filled from
    // now on a later one.
    for (uint32_t p = 0; p < TileRowColourCache::Parts; ++p)
        if (parts & (uint64_t(1) << p))
            c.keptFrom[p] = c.clock;
    ++c.clock;
}

} // namespace Tavrin
