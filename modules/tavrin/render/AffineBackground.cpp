// Rotated and scaled tiled backgrounds: the texture position starts at the
// line's reference point and steps by (pa, pc) per column, drawn or not.
//
// Without mosaic a line is drawn eight columns at a time: the eight texels
// are fetched first and then drawn as one tile row would be. A map that does
// not wrap is inside its texture along one run of columns, found once per
// line, so only the blocks at the run's ends test their columns.

#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/LayerRendererTable.h"
#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/TexelRun.h"
#include "modules/tavrin/render/TileRow.h"

#include <cstring>

namespace Tavrin {

namespace {

constexpr int32_t LineColumns = 240;

struct AffineLine {
    const uint8_t *map;
    const uint8_t *tiles;
    uint16_t *row;
    uint32_t x, y, pa, pc;  // unsigned so the steps wrap instead of overflowing
    uint32_t sizeLog2;
    uint8_t layerBit;
};

// The colour index of texel (tx, ty), both inside the map.
inline uint32_t Texel(const AffineLine &a, uint32_t tx, uint32_t ty)
{
    const uint32_t tile = a.map[((ty >> 3) << (a.sizeLog2 - 3)) + (tx >> 3)];
    return a.tiles[tile * 64 + (ty & 7) * 8 + (tx & 7)];
}

// One column at a time: with mosaic, or when the position of a map that
// does not wrap would pass 32 bits within the line. Wrap-around and mosaic
// are fixed per walk, so the column loop tests neither.
template <unsigned V, bool Wrap, bool Mosaic>
void WalkColumns(AffineLine a)
{
    const uint32_t size = 1u << a.sizeLog2;
    const uint32_t mask = Wrap ? size - 1 : ~0u;
    const uint32_t blockW = (BgMosaicH & 15) + 1;
    const uint32_t blockH = (BgMosaicV & 15) + 1;
    for (unsigned col = PictureColumn; col < PictureColumn + LineColumns; ++col) {
        uint32_t tx = uint32_t(int32_t(a.x) >> 8) & mask;
        uint32_t ty = uint32_t(int32_t(a.y) >> 8) & mask;
        a.x += a.pa;
        a.y += a.pc;
        if (!(WindowLine[col] & a.layerBit))
            continue;
        if constexpr (!Wrap) {
            if ((tx | ty) >= size)
                continue;
        }
        if constexpr (Mosaic) {
            tx -= tx % blockW;
            ty -= ty % blockH;
        }
        if (uint32_t index = Texel(a, tx, ty)) {
            WritePalettePixel<V>(a.row, col, index);
            WindowLine[col] &= CoverKeep;
        }
    }
}

using Lanes32 = uint32_t __attribute__((vector_size(32)));
using SignedLanes32 = int32_t __attribute__((vector_size(32)));

// The eight texels from column k as the lanes of a tile row, all inside the
// map (or wrapped into it). The positions and the map and tile-row offsets
// of all eight are worked out side by side; then come the eight map bytes
// and the eight tile bytes they lead to.
template <bool Wrap>
inline uint64_t FetchBlock(const AffineLine &a, int32_t k)
{
    const Lanes32 step = Lanes32{0, 1, 2, 3, 4, 5, 6, 7};
    const Lanes32 x = (a.x + uint32_t(k) * a.pa) + step * a.pa;
    const Lanes32 y = (a.y + uint32_t(k) * a.pc) + step * a.pc;
    const uint32_t mask = Wrap ? (1u << a.sizeLog2) - 1 : ~0u;
    const Lanes32 tx = Lanes32(SignedLanes32(x) >> 8) & mask;
    const Lanes32 ty = Lanes32(SignedLanes32(y) >> 8) & mask;
    uint32_t mapAt[8], rowAt[8];
    const Lanes32 mapVector = ((ty >> 3) << (a.sizeLog2 - 3)) + (tx >> 3);
    const Lanes32 rowVector = ((ty & 7) << 3) | (tx & 7);
    std::memcpy(mapAt, &mapVector, sizeof mapAt);
    std::memcpy(rowAt, &rowVector, sizeof rowAt);
    uint8_t index[8];
    for (int j = 0; j < 8; ++j)
        index[j] = a.tiles[a.map[mapAt[j]] * 64u + rowAt[j]];
    uint64_t lanes;
    std::memcpy(&lanes, index, 8);
    return lanes;
}

// The same for a block at an end of the run: columns outside it are
// transparent and fetch nothing.
inline uint64_t FetchBlockEnd(const AffineLine &a, int32_t k, ColumnRun run)
{
    uint32_t x = a.x + uint32_t(k) * a.pa, y = a.y + uint32_t(k) * a.pc;
    uint64_t lanes = 0;
    for (int32_t j = 0; j < 8; ++j, x += a.pa, y += a.pc)
        if (k + j >= run.first && k + j < run.end)
            lanes |= uint64_t(Texel(a, uint32_t(int32_t(x) >> 8), uint32_t(int32_t(y) >> 8))) << (8 * j);
    return lanes;
}

template <unsigned V, bool Wrap>
void WalkBlocks(const AffineLine &a)
{
    ColumnRun run{0, LineColumns};
    if constexpr (!Wrap) {
        const int64_t size = int64_t(1) << a.sizeLog2;
        run = Intersect(TexelRun(int32_t(a.x), int32_t(a.pa), size, LineColumns),
                        TexelRun(int32_t(a.y), int32_t(a.pc), size, LineColumns));
    }
    for (int32_t k = run.first & ~7; k < run.end; k += 8) {
        const unsigned col = unsigned(PictureColumn + k);
        // Eight columns closed to the layer need no fetch.
        if (!WindowOpenAny(col, a.layerBit))
            continue;
        const uint64_t lanes =
            (Wrap || (k >= run.first && k + 8 <= run.end)) ? FetchBlock<Wrap>(a, k) : FetchBlockEnd(a, k, run);
        WriteTileRow<V>(a.row, col, lanes, 0, a.layerBit);
    }
}

} // namespace

template <unsigned V>
int32_t RenderAffineBgLine(uint32_t line, uint32_t d, uint32_t)
{
    const uint32_t i = (d >> 28) & 1;  // BG2 or BG3
    const uint32_t cnt = d & 0xFFFF;
    const uint8_t *vram = RenderVramBlock();
    const AffineLine a{vram + ((cnt >> 8) & 31) * 0x800,
                       vram + ((cnt >> 2) & 3) * 0x4000,
                       FrameRow(line),
                       uint32_t(BgCurX[i]),
                       uint32_t(BgCurY[i]),
                       uint32_t(BgPa[i]),
                       uint32_t(BgPc[i]),
                       7 + (cnt >> 14),
                       uint8_t(1u << ((d >> 28) & 3))};
    const bool wrap = cnt & 0x2000;
    if (cnt & 0x40) {
        wrap ? WalkColumns<V, true, true>(a) : WalkColumns<V, false, true>(a);
    } else if (wrap) {
        WalkBlocks<V, true>(a);
    } else if (WalkFits(BgCurX[i], BgPa[i], LineColumns) && WalkFits(BgCurY[i], BgPc[i], LineColumns)) {
        WalkBlocks<V, false>(a);
    } else {
        WalkColumns<V, false, false>(a);
    }
    return 0;
}

TAVRIN_LAYER_VARIANTS(RenderAffineBgLine)

} // namespace Tavrin
