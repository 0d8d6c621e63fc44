// Tiled, scrolled backgrounds: a walk of 248 pixels from the first pixel of
// the scrolled tile column, one map entry and one tile row per 8 pixels,
// running into the frame row's guard bands instead of clipping.

#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/LayerRendererTable.h"
#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/TileRow.h"

#include <bit>
#include <cstring>

namespace Tavrin {

namespace {

constexpr int TilesPerWalk = 31;

// What every pixel of the line shares.
struct TextLine {
    const uint8_t *vram;
    uint16_t *row;
    uint32_t rowBase;    // map byte of tile column 0 on this map row
    uint32_t charBase;
    uint32_t tileRow;    // y & 7 before a vertical flip
    uint32_t column;     // tile column of the first tile
    uint32_t columnMask; // 31 or 63
    unsigned firstCol;   // buffer column of the first pixel
    uint8_t layerBit;
};

struct TileRow {
    uint32_t offset;  // VRAM byte of the tile row
    uint32_t flipX;   // 7 or 0
    uint32_t bank;     // first palette entry of the tile
};

// Columns 32-63 of a 512-wide map lie in the next screen block.
inline uint32_t MapEntry(const TextLine &t, uint32_t column)
{
    return HostHalf(t.vram + t.rowBase + (column >> 5) * 0x800 + (column & 31) * 2);
}

template <bool Wide>
inline TileRow FetchTileRow(const TextLine &t, uint32_t entry)
{
    uint32_t r = (entry & 0x800) ? 7 - t.tileRow : t.tileRow;
    TileRow tr;
    tr.flipX = (entry & 0x400) ? 7 : 0;
    if constexpr (Wide) {
        tr.offset = ((t.charBase + (entry & 0x3FF) * 64) & 0xFFFF) + r * 8;
        tr.bank = 0;
    } else {
        tr.offset = ((t.charBase + (entry & 0x3FF) * 32) & 0xFFFF) + r * 4;
        tr.bank = (entry >> 12) * 16;
    }
    return tr;
}

template <bool Wide>
inline uint32_t TilePixel(const TextLine &t, const TileRow &tr, uint32_t px)
{
    if constexpr (Wide)
        return t.vram[tr.offset + px];
    else
        return (t.vram[tr.offset + (px >> 1)] >> ((px & 1) * 4)) & 15;
}

// Whether the walk's tiles may draw anything at all. Entry 0 names tile 0
// unflipped in bank 0; when that tile's row on this line is blank, as it is
// wherever a map leaves its empty parts at zero, a map row of zeros (the
// 32 entries, or 64 of a wide map) draws nothing.
template <bool Wide>
inline bool RowMayDraw(const TextLine &t)
{
    const uint8_t *zeroRow = t.vram + (t.charBase & 0xFFFF) + t.tileRow * (Wide ? 8 : 4);
    if (Wide ? HostWord(zeroRow) | HostWord(zeroRow + 4) : HostWord(zeroRow))
        return true;
    uint64_t any = 0;
    for (uint32_t block = 0; block <= t.columnMask >> 5; ++block) {
        const uint8_t *entries = t.vram + t.rowBase + block * 0x800;
        for (int k = 0; k < 64; k += 8) {
            uint64_t four;
            std::memcpy(&four, entries + k, 8);
            any |= four;
        }
    }
    return any != 0;
}

// Without mosaic: a whole tile row per step, skipped when it is empty.
template <unsigned V, bool Wide>
void WalkTiles(const TextLine &t)
{
    if (!RowMayDraw<Wide>(t))
        return;
    uint32_t column = t.column;
    unsigned col = t.firstCol;
    for (int i = 0; i < TilesPerWalk; ++i, col += 8) {
        const uint32_t entry = MapEntry(t, column);
        column = (column + 1) & t.columnMask;
        // Eight columns closed to the layer (by the window, or drawn over
        // while the line goes front to back) need no tile fetch.
        if (!WindowOpenAny(col, t.layerBit))
            continue;
        TileRow tr = FetchTileRow<Wide>(t, entry);
        // A blank tile row draws nothing; blank tiles mostly come in
        // stretches (empty parts of a map), so the branch is cheap. Flips
        // vary from tile to tile, so they are selected, not branched on.
        if constexpr (Wide) {
            uint64_t lanes;
            std::memcpy(&lanes, t.vram + tr.offset, 8);
            if (!lanes)
                continue;
            const uint64_t flip = uint64_t(0) - (tr.flipX & 1);
            lanes = (ReverseLanes(lanes) & flip) | (lanes & ~flip);
            WriteTileRow<V>(t.row, col, lanes, tr.bank, t.layerBit);
        } else {
            uint32_t bits;
            std::memcpy(&bits, t.vram + tr.offset, 4);
            if (!bits)
                continue;
            const uint32_t flip = uint32_t(0) - (tr.flipX & 1);
            bits = (ReverseNibbles(bits) & flip) | (bits & ~flip);
            WriteNibbleRow<V>(t.row, col, bits, tr.bank, t.layerBit);
        }
    }
}

// With mosaic: an index is held for BgMosaicH + 1 pixels counted from the
// first drawn pixel, across tile boundaries, and looked up in the palette
// bank of the tile the pixel lies in.
template <unsigned V, bool Wide>
void WalkMosaic(const TextLine &t)
{
    uint32_t column = t.column;
    uint32_t hold = BgMosaicH & 15;
    uint32_t countdown = 0;
    uint32_t index = 0;
    TileRow tr{};
    for (unsigned k = 0; k < TilesPerWalk * 8; ++k) {
        if ((k & 7) == 0) {
            tr = FetchTileRow<Wide>(t, MapEntry(t, column));
            column = (column + 1) & t.columnMask;
        }
        if (countdown == 0) {
            index = TilePixel<Wide>(t, tr, (k ^ tr.flipX) & 7);
            countdown = hold;
        } else {
            --countdown;
        }
        unsigned col = t.firstCol + k;
        if (index && (WindowLine[col] & t.layerBit)) {
            WritePalettePixel<V>(t.row, col, tr.bank + index);
            WindowLine[col] &= CoverKeep;
        }
    }
}

} // namespace

template <unsigned V>
int32_t RenderTextBgLine(uint32_t line, uint32_t d, uint32_t)
{
    const uint32_t n = (d >> 28) & 3;
    const uint32_t cnt = d & 0xFFFF;
    const uint32_t hofs = RenderIo(0x010 + 4 * n);
    const uint32_t vofs = RenderIo(0x012 + 4 * n);
    const bool wideMap = cnt & 0x4000;
    const bool mosaic = cnt & 0x40;

    uint32_t y = (vofs + line) & ((cnt & 0x8000) ? 511 : 255);
    if (mosaic)
        y -= y % ((BgMosaicV & 15) + 1);

    TextLine t;
    t.vram = RenderVramBlock();
    t.row = FrameRow(line);
    t.rowBase = ((cnt >> 8) & 31) * 0x800 + ((y >> 3) & 31) * 64;
    if (y > 255)
        t.rowBase += wideMap ? 0x1000 : 0x800;
    t.charBase = ((cnt >> 2) & 3) * 0x4000;
    t.tileRow = y & 7;
    t.columnMask = wideMap ? 63 : 31;
    t.column = (hofs >> 3) & t.columnMask;
    t.firstCol = PictureColumn - (hofs & 7);
    t.layerBit = uint8_t(1u << n);

    const bool wide = cnt & 0x80;
    if (mosaic)
        wide ? WalkMosaic<V, true>(t) : WalkMosaic<V, false>(t);
    else
        wide ? WalkTiles<V, true>(t) : WalkTiles<V, false>(t);
    return 0;
}

TAVRIN_LAYER_VARIANTS(RenderTextBgLine)

} // namespace Tavrin
