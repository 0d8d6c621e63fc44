// Rotated and scaled tiled backgrounds: the texture position starts at the
// line's reference point and steps by (pa, pc) per column, drawn or not.
//
// Without mosaic a line is drawn eight columns at a time: the eight texels
// are fetched first and then drawn as one tile row would be. A map that does
// not wrap is inside its texture along one run of columns, found once per
// line, so only the blocks at the run's ends test their columns. A line
// neither turned nor scaled reads whole tile rows instead.

#include "modules/tavrin/render/AffineTexture.h"
#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/HostPalette.h"
#include "modules/tavrin/render/HostVectors.h"
#include "modules/tavrin/render/LayerRendererTable.h"
#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/TexelRun.h"
#include "modules/tavrin/render/TileRowColours.h"
#include "modules/tavrin/render/TileRow.h"

#include <algorithm>
#include <cstring>

#ifdef TAVRIN_HOST_AVX2
#include <immintrin.h>
#endif

namespace Tavrin {

namespace {

constexpr int32_t LineColumns = 240;

// GCC would gather the fetched texels into vectors before storing them,
// which costs more than the stores it saves.
#if defined(__GNUC__) && !defined(__clang__)
#define TAVRIN_SCALAR_STORES __attribute__((optimize("no-tree-slp-vectorize")))
#else
#define TAVRIN_SCALAR_STORES
#endif

struct AffineLine {
    const uint8_t *map;
    const uint8_t *tiles;
    const uint8_t *texels;  // decoded, or null
    const uint32_t *hostTexels;  // their host colours (AffineHostTexels), or null
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

// The same from the decoded texels, when they are kept.
template <bool Decoded>
inline uint32_t TexelOf(const AffineLine &a, uint32_t tx, uint32_t ty)
{
    if constexpr (Decoded)
        return a.texels[(ty << a.sizeLog2) + tx];
    else
        return Texel(a, tx, ty);
}

// One column at a time, with mosaic. Wrap-around is fixed per walk, so the
// column loop does not test it.
template <unsigned V, bool Wrap>
void WalkMosaic(AffineLine a)
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
        tx -= tx % blockW;
        ty -= ty % blockH;
        if (uint32_t index = Texel(a, tx, ty)) {
            WritePalettePixel<V>(a.row, col, index);
            WindowLine[col] &= CoverKeep;
        }
    }
}

using Lanes32 = uint32_t __attribute__((vector_size(16)));
using SignedLanes32 = int32_t __attribute__((vector_size(16)));

// The texture position of the even and of the odd columns of a block of
// eight, per axis, and what one block moves them by.
struct BlockWalk {
    Lanes32 evenX, oddX, evenY, oddY;
    uint32_t stepX, stepY;  // eight columns
};

inline BlockWalk StartBlocks(const AffineLine &a, int32_t k)
{
    const uint32_t x = a.x + uint32_t(k) * a.pa, y = a.y + uint32_t(k) * a.pc;
    const uint32_t pa = a.pa, pc = a.pc;
    return {Lanes32{x, x + 2 * pa, x + 4 * pa, x + 6 * pa},
            Lanes32{x + pa, x + 3 * pa, x + 5 * pa, x + 7 * pa},
            Lanes32{y, y + 2 * pc, y + 4 * pc, y + 6 * pc},
            Lanes32{y + pc, y + 3 * pc, y + 5 * pc, y + 7 * pc},
            8 * pa,
            8 * pc};
}

// The texel coordinates of eight columns, one 16-bit lane each: the even
// columns' values sit in the low halves of 32-bit lanes, the odd ones' are
// moved into the high halves.
inline PixelVector TexelCoordinates(Lanes32 even, Lanes32 odd, uint32_t mask)
{
    const Lanes32 t = (Lanes32(SignedLanes32(even) >> 8) & mask) | (Lanes32(SignedLanes32(odd) >> 8) & mask) << 16;
    PixelVector lanes;
    std::memcpy(&lanes, &t, sizeof lanes);
    return lanes;
}

// The colour indexes of the eight columns of the walk's block, all inside
// the map (or wrapped into it), into index[0-7], and their palette entries
// into color[0-7]: the map and tile-row offsets of all eight are worked out
// side by side, then come the eight map bytes and the eight tile bytes they
// lead to.
template <bool Wrap, bool Decoded>
inline void FetchBlock(const AffineLine &a, const BlockWalk &w, const uint16_t *palette, uint16_t *index,
                       uint16_t *color)
{
    const uint32_t mask = Wrap ? (1u << a.sizeLog2) - 1 : 0xFFFF;
    const PixelVector tx = TexelCoordinates(w.evenX, w.oddX, mask);
    const PixelVector ty = TexelCoordinates(w.evenY, w.oddY, mask);
    if constexpr (Decoded) {
        // Decoded maps are at most 256 texels wide, so the offsets fit.
        const PixelVector atVector = (ty << a.sizeLog2) | tx;
        alignas(16) uint16_t at[8];
        std::memcpy(at, &atVector, sizeof at);
        for (int j = 0; j < 8; ++j) {
            const uint32_t texel = a.texels[at[j]];
            index[j] = uint16_t(texel);
            color[j] = palette[texel];
        }
        return;
    }
    const PixelVector mapVector = ((ty >> 3) << (a.sizeLog2 - 3)) + (tx >> 3);
    const PixelVector rowVector = ((ty & 7) << 3) | (tx & 7);
    alignas(16) uint16_t mapAt[8], rowAt[8];
    std::memcpy(mapAt, &mapVector, sizeof mapAt);
    std::memcpy(rowAt, &rowVector, sizeof rowAt);
    for (int j = 0; j < 8; ++j) {
        const uint32_t texel = a.tiles[a.map[mapAt[j]] * 64u + rowAt[j]];
        index[j] = uint16_t(texel);
        color[j] = palette[texel];
    }
}

// The same for a block at an end of the run: columns outside it are
// transparent and fetch nothing.
template <bool Decoded>
inline void FetchBlockEnd(const AffineLine &a, int32_t k, ColumnRun run, const uint16_t *palette, uint16_t *index,
                          uint16_t *color)
{
    uint32_t x = a.x + uint32_t(k) * a.pa, y = a.y + uint32_t(k) * a.pc;
    for (int32_t j = 0; j < 8; ++j, x += a.pa, y += a.pc) {
        const uint32_t texel = (k + j >= run.first && k + j < run.end)
                                   ? TexelOf<Decoded>(a, uint32_t(int32_t(x) >> 8), uint32_t(int32_t(y) >> 8))
                                   : 0;
        index[j] = uint16_t(texel);
        color[j] = palette[texel];
    }
}

#ifdef TAVRIN_HOST_AVX2
// Eight 32-bit lanes, each below 0x10000, as eight halfwords at an aligned to.
TAVRIN_AVX2 inline void StoreHalfwords(uint16_t *to, __m256i lanes)
{
    _mm_store_si128(reinterpret_cast<__m128i *>(to),
                    _mm_packus_epi32(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1)));
}

// The fetch pass over decoded texels on hosts with vector gathers: a block's
// eight texels are one gather and their palette entries another. Each
// gather reads four bytes at its offset and keeps the low ones; the decoded
// texels and the palettes have the bytes past their last entry that this
// reads.
template <bool Wrap>
TAVRIN_AVX2 void FetchDecodedGathered(const AffineLine &a, ColumnRun run, int32_t first,
                                                          const uint16_t *palette, uint16_t *index,
                                                          uint16_t *color)
{
    const __m256i mask = _mm256_set1_epi32(Wrap ? int32_t((1u << a.sizeLog2) - 1) : 0xFFFF);
    const __m256i columns = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i pa = _mm256_set1_epi32(int32_t(a.pa)), pc = _mm256_set1_epi32(int32_t(a.pc));
    __m256i x = _mm256_add_epi32(_mm256_set1_epi32(int32_t(a.x + uint32_t(first) * a.pa)),
                                 _mm256_mullo_epi32(columns, pa));
    __m256i y = _mm256_add_epi32(_mm256_set1_epi32(int32_t(a.y + uint32_t(first) * a.pc)),
                                 _mm256_mullo_epi32(columns, pc));
    const __m256i stepX = _mm256_slli_epi32(pa, 3), stepY = _mm256_slli_epi32(pc, 3);
    const __m128i rowShift = _mm_cvtsi32_si128(int32_t(a.sizeLog2));
    const __m256i byteMask = _mm256_set1_epi32(0xFF), entryMask = _mm256_set1_epi32(0xFFFF);
    const int *texels = reinterpret_cast<const int *>(a.texels);
    const int *entries = reinterpret_cast<const int *>(palette);
    for (int32_t k = first; k < run.end; k += 8) {
        if (WindowOpenAny(unsigned(PictureColumn + k), a.layerBit)) {
            if (Wrap || (k >= run.first && k + 8 <= run.end)) {
                const __m256i tx = _mm256_and_si256(_mm256_srai_epi32(x, 8), mask);
                const __m256i ty = _mm256_and_si256(_mm256_srai_epi32(y, 8), mask);
                const __m256i at = _mm256_or_si256(_mm256_sll_epi32(ty, rowShift), tx);
                if (a.hostTexels) {
                    // The opaque mark stands for the index: only whether it
                    // is 0 counts where the host colours are taken.
                    const __m256i both = _mm256_i32gather_epi32(reinterpret_cast<const int *>(a.hostTexels), at, 4);
                    StoreHalfwords(index + k, _mm256_srli_epi32(both, 16));
                    StoreHalfwords(color + k, _mm256_and_si256(both, entryMask));
                } else {
                    const __m256i texel = _mm256_and_si256(_mm256_i32gather_epi32(texels, at, 1), byteMask);
                    const __m256i entry = _mm256_and_si256(_mm256_i32gather_epi32(entries, texel, 2), entryMask);
                    StoreHalfwords(index + k, texel);
                    StoreHalfwords(color + k, entry);
                }
            } else {
                FetchBlockEnd<true>(a, k, run, palette, index + k, color + k);
            }
        }
        x = _mm256_add_epi32(x, stepX);
        y = _mm256_add_epi32(y, stepY);
    }
}

// The draw pass of a layer without effect or second targets over blocks
// [k, end), sixteen columns at a time; returns the column it stopped at.
// As WriteRow: transparent columns and those closed to the layer keep what
// they hold, and a line drawn front to back closes the drawn ones.
TAVRIN_AVX2 int32_t DrawPlainWide(uint16_t *row, int32_t k, int32_t end, const uint16_t *index,
                                  const uint16_t *color, uint8_t layerBit)
{
    const bool frontToBack = CoverKeep != 0xFF;
    const __m128i bit = _mm_set1_epi8(char(layerBit)), cover = _mm_set1_epi8(char(CoverKeep));
    const __m256i zero = _mm256_setzero_si256();
    for (; k + 16 <= end; k += 16) {
        uint8_t *windowAt = WindowLine + PictureColumn + k;
        __m128i window = _mm_loadu_si128(reinterpret_cast<const __m128i *>(windowAt));
        const __m128i closed = _mm_cmpeq_epi8(_mm_and_si128(window, bit), _mm_setzero_si128());
        const __m256i indexes = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(index + k));
        const __m256i kept = _mm256_or_si256(_mm256_cmpeq_epi16(indexes, zero), _mm256_cvtepi8_epi16(closed));
        if (frontToBack) {
            const __m128i keptBytes = _mm_packs_epi16(_mm256_castsi256_si128(kept), _mm256_extracti128_si256(kept, 1));
            window = _mm_and_si128(window, _mm_or_si128(keptBytes, cover));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(windowAt), window);
        }
        __m256i *rowAt = reinterpret_cast<__m256i *>(row + PictureColumn + k);
        const __m256i colors = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(color + k));
        _mm256_storeu_si256(rowAt, _mm256_blendv_epi8(colors, _mm256_loadu_si256(rowAt), kept));
        if (!frontToBack) {
            __m256i *secondAt = reinterpret_cast<__m256i *>(SecondTargetLine + PictureColumn + k);
            _mm256_storeu_si256(secondAt, _mm256_blendv_epi8(zero, _mm256_loadu_si256(secondAt), kept));
        }
    }
    return k;
}
#endif

// All the line's fetches come first, so that no block's draw waits for
// them; blocks closed to the layer fetch nothing and draw nothing. The fetch
// takes the host colours straight from the converted palette when the layer
// has no effect, else the console colours for the effect.
template <unsigned V, bool Wrap, bool Decoded>
TAVRIN_SCALAR_STORES void WalkBlocks(const AffineLine a)
{
    ColumnRun run{0, LineColumns};
    if constexpr (!Wrap) {
        const int64_t size = int64_t(1) << a.sizeLog2;
        run = Intersect(TexelRun(int32_t(a.x), int32_t(a.pa), size, LineColumns),
                        TexelRun(int32_t(a.y), int32_t(a.pc), size, LineColumns));
    }
    constexpr bool Plain = (V & 3) == EffectNone;
    const uint16_t *palette = Plain ? HostPalette : BgPalette;
    const int32_t first = run.first & ~7;
    alignas(16) uint16_t index[LineColumns];
    alignas(16) uint16_t color[LineColumns];
#ifdef TAVRIN_HOST_AVX2
    if (Decoded && HostHasAvx2) {
        FetchDecodedGathered<Wrap>(a, run, first, palette, index, color);
    } else
#endif
    {
    BlockWalk w = StartBlocks(a, first);
    for (int32_t k = first; k < run.end; k += 8) {
        if (WindowOpenAny(unsigned(PictureColumn + k), a.layerBit)) {
            if (Wrap || (k >= run.first && k + 8 <= run.end))
                FetchBlock<Wrap, Decoded>(a, w, palette, index + k, color + k);
            else
                FetchBlockEnd<Decoded>(a, k, run, palette, index + k, color + k);
        }
        w.evenX += w.stepX;
        w.oddX += w.stepX;
        w.evenY += w.stepY;
        w.oddY += w.stepY;
    }
    }
    int32_t k = first;
#ifdef TAVRIN_HOST_AVX2
    // Blocks the fetch skipped are closed to the layer in every column, so
    // their unfetched entries are never drawn.
    if constexpr (Plain && !(V & 4)) {
        if (HostHasAvx2)
            k = DrawPlainWide(a.row, k, first + ((run.end - first + 7) & ~7), index, color, a.layerBit);
    }
#endif
    for (; k < run.end; k += 8) {
        // As in the fetch: no column of the block has been drawn since.
        if (!WindowOpenAny(unsigned(PictureColumn + k), a.layerBit))
            continue;
        PixelVector indexes, fetched;
        std::memcpy(&indexes, index + k, sizeof indexes);
        std::memcpy(&fetched, color + k, sizeof fetched);
        const LaneMask transparent = __builtin_convertvector(indexes == 0, LaneMask);
        if constexpr (Plain)
            WriteRow<V>(
                a.row, unsigned(PictureColumn + k), transparent, a.layerBit,
                [&] { return GatherEntries(BgPalette, indexes); }, [&] { return fetched; });
        else
            WriteRow<V>(
                a.row, unsigned(PictureColumn + k), transparent, a.layerBit, [&] { return fetched; },
                [&] { return GatherEntries(HostPalette, indexes); });
    }
}

// The lanes of the block of eight columns from k on that lie in [first, end).
inline uint64_t LanesWithin(int32_t k, int32_t first, int32_t end)
{
    const int32_t low = std::clamp(first - k, 0, 8), high = std::clamp(end - k, 0, 8);
    const uint64_t belowHigh = high == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * high)) - 1;
    const uint64_t belowLow = low == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * low)) - 1;
    return belowHigh & ~belowLow;
}

// A line drawn one texel per column without rotation (pa 1.0, pc 0), as a
// game scrolls a map larger than the screen: it runs along one texel row,
// where each tile's eight texels are eight bytes in a row, so it is walked
// as a text background is, a tile at a time, from the tile of its first
// column. The map's edges fall between tiles, so only the picture's edges
// cut a tile: its lanes beyond them are dropped, as this layer never draws
// into the guard bands.
template <unsigned V, bool Wrap>
void WalkUnscaled(const AffineLine &a)
{
    ColumnRun run{0, LineColumns};
    if constexpr (!Wrap) {
        const int64_t size = int64_t(1) << a.sizeLog2;
        run = Intersect(TexelRun(int32_t(a.x), 256, size, LineColumns), TexelRun(int32_t(a.y), 0, size, LineColumns));
        if (run.first >= run.end)
            return;
    }
    const uint32_t mask = (1u << a.sizeLog2) - 1;
    const uint32_t ty = uint32_t(int32_t(a.y) >> 8) & mask;
    const uint32_t tx = uint32_t((int32_t(a.x) >> 8) + run.first) & mask;
    const uint8_t *mapRow = a.map + ((ty >> 3) << (a.sizeLog2 - 3));
    const uint8_t *vram = RenderVramBlock();
    const uint32_t rowBase = uint32_t(a.tiles - vram) + (ty & 7) * 8;
    const uint32_t tileMask = mask >> 3;
    constexpr bool Plain = (V & 3) == EffectNone;
    if constexpr (Plain)
        CheckTileRowPalette();
    const RowTarget target = RowTargetOf(a.layerBit);
    uint32_t tile = tx >> 3;
    for (int32_t k = run.first - int32_t(tx & 7); k < run.end; k += 8, tile = (tile + 1) & tileMask) {
        const unsigned col = unsigned(PictureColumn + k);
        if (!WindowOpenAny(col, a.layerBit))
            continue;
        const uint32_t at = rowBase + mapRow[tile] * 64u;
        uint64_t lanes;
        std::memcpy(&lanes, vram + at, 8);
        if (k < 0 || k > LineColumns - 8)
            lanes &= LanesWithin(k, 0, LineColumns);
        if (!lanes)
            continue;
        if constexpr (Plain) {
            // The kept colours are the whole row's: lanes cut off at the
            // picture's edges are transparent by their index all the same.
            LaneVector index;
            std::memcpy(&index, &lanes, 8);
            WriteRow<V>(
                a.row, col, index == 0, target, [&] { return GatherEntries(BgPalette, lanes); },
                [&] { return TileRowHostColours(vram, at); });
        } else {
            WriteTileRow<V>(a.row, col, lanes, 0, target);
        }
    }
}

} // namespace

template <unsigned V>
int32_t RenderAffineBgLine(uint32_t line, uint32_t d, uint32_t)
{
    const uint32_t i = (d >> 28) & 1;  // BG2 or BG3
    const uint32_t cnt = d & 0xFFFF;
    const uint8_t *vram = RenderVramBlock();
    const bool mosaic = cnt & 0x40;
    const bool unscaled = BgPa[i] == 256 && BgPc[i] == 0;
    AffineLine a{vram + ((cnt >> 8) & 31) * 0x800,
                       vram + ((cnt >> 2) & 3) * 0x4000,
                       mosaic || unscaled ? nullptr : AffineTexels(i, cnt, line),
                       nullptr,
                       FrameRow(line),
                       uint32_t(BgCurX[i]),
                       uint32_t(BgCurY[i]),
                       uint32_t(BgPa[i]),
                       uint32_t(BgPc[i]),
                       7 + (cnt >> 14),
                       uint8_t(1u << ((d >> 28) & 3))};
#ifdef TAVRIN_HOST_AVX2
    // Only a layer without effect or second targets takes its colours
    // straight from the converted palette and never asks for the indexes.
    if (V == 0 && a.texels && HostHasAvx2)
        a.hostTexels = AffineHostTexels(i, cnt);
#endif
    const bool wrap = cnt & 0x2000;
    if (mosaic) {
        wrap ? WalkMosaic<V, true>(a) : WalkMosaic<V, false>(a);
    } else if (unscaled) {
        wrap ? WalkUnscaled<V, true>(a) : WalkUnscaled<V, false>(a);
    } else if (a.texels) {
        wrap ? WalkBlocks<V, true, true>(a) : WalkBlocks<V, false, true>(a);
    } else {
        wrap ? WalkBlocks<V, true, false>(a) : WalkBlocks<V, false, false>(a);
    }
    return 0;
}

TAVRIN_LAYER_VARIANTS(RenderAffineBgLine)

} // namespace Tavrin
