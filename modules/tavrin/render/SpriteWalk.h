// The texels of one sprite on one line, shared by the sprite line renderer
// and the OBJ-window builder: the tile walk with both flips for regular
// sprites, the affine walk (double size, mosaic on texture coordinates) for
// affine ones. Fetches wrap within the 32 KB sprite tile area. The plot
// takes whole tile rows, Row(buffer column, one palette index a byte left to
// right, first palette index) or, for 16 colours, NibbleRow(buffer column,
// one palette index a nibble left to right, first palette index of the
// bank), and single affine texels, (buffer column,
// non-zero palette index with the bank of a 16-colour sprite); Shows(buffer
// column) tells whether any of a tile row's eight columns can take it.
#pragma once

#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/RenderState.h"
#include "modules/tavrin/render/SpriteList.h"
#include "modules/tavrin/render/TileRow.h"

#include <cstdint>
#include <cstring>

namespace Tavrin {

inline bool SpriteCoversLine(const SpriteRecord &r, uint32_t line)
{
    return uint32_t(int32_t(line) - r.y) < uint32_t(r.height);
}

inline uint32_t SpriteAttribute(const SpriteRecord &r, uint32_t half)
{
    return HostHalf(RenderOamBlock() + (r.entry & 127) * 8 + half * 2);
}

template <class Plot>
[[gnu::always_inline]] inline void WalkSpriteLine(const SpriteRecord &r, uint32_t line, Plot plot)
{
    const uint8_t *oam = RenderOamBlock();
    const uint8_t *entry = oam + (r.entry & 127) * 8;
    const uint32_t a0 = HostHalf(entry), a1 = HostHalf(entry + 2), a2 = HostHalf(entry + 4);
    const uint8_t *tiles = RenderVramBlock() + SpriteTileBase;
    const bool oneDim = RenderIo(IoDispcnt) & 0x40;
    const bool c256 = a0 & 0x2000;
    const uint32_t k = (a0 >> 14) * 4 + (a1 >> 14);
    const uint32_t tileBase = 32 * (a2 & ((!oneDim && c256) ? 1022 : 1023));
    const uint32_t s = oneDim ? SpriteWidthLog2[k] + (c256 ? 3 : 2) : 7;
    const uint32_t bank = (a2 >> 12) * 16;
    const unsigned col0 = unsigned(PictureColumn + r.x);
    const int32_t w = r.width, h = r.height;

    if (!(a0 & 0x100)) {
        uint32_t row = uint32_t(int32_t(line) - r.y) & 0x7F;
        if (a1 & 0x2000)
            row = uint32_t(h - 1) - row;
        const bool flipX = a1 & 0x1000;
        const int count = w / 8;
        const uint32_t rowOff = tileBase + ((row & ~7u) << s) + (row & 7) * (c256 ? 8 : 4);
        for (int t = 0; t < count; ++t) {
            const unsigned at = col0 + 8 * unsigned(flipX ? count - 1 - t : t);
            if (!plot.Shows(at))
                continue;
            // Blank tile rows (common in sprites smaller than their box)
            // draw nothing.
            if (c256) {
                uint64_t lanes;
                std::memcpy(&lanes, tiles + ((rowOff + t * 64) & SpriteTileMask), 8);
                if (lanes)
                    plot.Row(at, flipX ? ReverseLanes(lanes) : lanes, 0);
            } else {
                const uint32_t bits = HostWord(tiles + ((rowOff + t * 32) & SpriteTileMask));
                if (bits)
                    plot.NibbleRow(at, flipX ? ReverseNibbles(bits) : bits, bank);
            }
        }
        return;
    }

    const uint32_t g = (a1 >> 9) & 31;
    const int32_t pa = int16_t(HostHalf(oam + 32 * g + 6));
    const int32_t pb = int16_t(HostHalf(oam + 32 * g + 14));
    const int32_t pc = int16_t(HostHalf(oam + 32 * g + 22));
    const int32_t pd = int16_t(HostHalf(oam + 32 * g + 30));
    const int32_t tw = (a0 & 0x200) ? w / 2 : w;
    const int32_t th = (a0 & 0x200) ? h / 2 : h;
    const int32_t dy = int32_t(line) - h / 2 - r.y;
    int32_t ax = pb * dy - (pa * w) / 2;
    int32_t ay = pd * dy - (pc * w) / 2;
    const bool mosaic = a0 & 0x1000;
    const uint32_t blockW = (ObjMosaicH & 15) + 1, blockH = (ObjMosaicV & 15) + 1;
    for (int32_t col = 0; col < w; ++col) {
        uint32_t tx = uint32_t(tw / 2 + (ax >> 8));
        uint32_t ty = uint32_t(th / 2 + (ay >> 8));
        ax += pa;
        ay += pc;
        if (tx >= uint32_t(tw) || ty >= uint32_t(th))
            continue;
        if (mosaic) {
            tx -= tx % blockW;
            ty -= ty % blockH;
        }
        uint32_t index;
        if (c256) {
            uint32_t off = tileBase + ((ty & ~7u) << s) + (tx & ~7u) * 8 + (ty & 7) * 8 + (tx & 7);
            index = tiles[off & SpriteTileMask];
        } else {
            uint32_t off = tileBase + ((ty & ~7u) << s) + (tx & ~7u) * 4 + (ty & 7) * 4 + ((tx >> 1) & 3);
            index = (tiles[off & SpriteTileMask] >> ((tx & 1) * 4)) & 15;
            if (index)
                index += bank;
        }
        if (index)
            plot(col0 + unsigned(col), index);
    }
}

} // namespace Tavrin
