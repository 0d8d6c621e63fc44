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

// One bit per entry of 32 map entries (64 bytes), set where the entry is
// not zero: eight entries are compared at once and their lane masks packed
// into a byte by one multiply.
inline uint64_t NonZeroEntries(const uint8_t *entries)
{
    uint64_t bits = 0;
    for (int k = 0; k < 4; ++k) {
        PixelVector e;
        std::memcpy(&e, entries + 16 * k, sizeof e);
        const LaneMask zero = __builtin_convertvector(e == 0, LaneMask);
        uint64_t bytes;
        std::memcpy(&bytes, &zero, 8);
        bits |= ((~bytes & 0x8040201008040201ull) * 0x0101010101010101ull) >> 56 << (8 * k);
    }
    return bits;
}

// The tiles of the walk (bit i: tile i) that may draw anything. Entry 0
// names tile 0 unflipped in bank 0; when that tile's row on this line is
// blank, as it is wherever a map leaves its empty parts at zero, the
// entries of 0 draw nothing.
template <bool Wide>
inline uint64_t TilesThatMayDraw(const TextLine &t)
{
    constexpr uint64_t Walk = (uint64_t(1) << TilesPerWalk) - 1;
    const uint8_t *zeroRow = t.vram + (t.charBase & 0xFFFF) + t.tileRow * (Wide ? 8 : 4);
    if (Wide ? HostWord(zeroRow) | HostWord(zeroRow + 4) : HostWord(zeroRow))
        return Walk;
    const uint8_t *entries = t.vram + t.rowBase;
    if (t.columnMask == 31) {
        const uint64_t bits = NonZeroEntries(entries);
        return ((bits | bits << 32) >> t.column) & Walk;
    }
    const uint64_t bits = NonZeroEntries(entries) | NonZeroEntries(entries + 0x800) << 32;
    return std::rotr(bits, int(t.column)) & Walk;
}

// Tile i of the walk, whose eight columns start at buffer column col. A
// blank tile row draws nothing; flips vary from tile to tile, so they are
// selected, not branched on.
template <unsigned V, bool Wide>
inline void DrawTile(const TextLine &t, uint32_t i, unsigned col)
{
    // Eight columns closed to the layer (by the window, or drawn over while
    // the line goes front to back) need no tile fetch.
    if (!WindowOpenAny(col, t.layerBit))
        return;
    const TileRow tr = FetchTileRow<Wide>(t, MapEntry(t, (t.column + i) & t.columnMask));
    if constexpr (Wide) {
        uint64_t lanes;
        std::memcpy(&lanes, t.vram + tr.offset, 8);
        if (!lanes)
            return;
        const uint64_t flip = uint64_t(0) - (tr.flipX & 1);
        lanes = (ReverseLanes(lanes) & flip) | (lanes & ~flip);
        WriteTileRow<V>(t.row, col, lanes, tr.bank, t.layerBit);
    } else {
        uint32_t bits;
        std::memcpy(&bits, t.vram + tr.offset, 4);
        if (!bits)
            return;
        const uint32_t flip = uint32_t(0) - (tr.flipX & 1);
        bits = (ReverseNibbles(bits) & flip) | (bits & ~flip);
        WriteNibbleRow<V>(t.row, col, bits, tr.bank, t.layerBit);
    }
}

// Without mosaic: a whole tile row per step. Where some tiles cannot draw (a
// map's empty parts are zero) only the others are visited; otherwise every
// one, in order.
template <unsigned V, bool Wide>
void WalkTiles(const TextLine &t)
{
    constexpr uint64_t Walk = (uint64_t(1) << TilesPerWalk) - 1;
    uint64_t tiles = TilesThatMayDraw<Wide>(t);
    if (tiles == Walk) {
        for (uint32_t i = 0; i < TilesPerWalk; ++i)
            DrawTile<V, Wide>(t, i, t.firstCol + 8 * i);
        return;
    }
    for (; tiles; tiles &= tiles - 1) {
        const uint32_t i = uint32_t(std::countr_zero(tiles));
        DrawTile<V, Wide>(t, i, t.firstCol + 8 * i);
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
