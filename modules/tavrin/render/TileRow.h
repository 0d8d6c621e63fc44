// Eight pixels of one tile row at once, for the text backgrounds and the
// regular sprites. A row is carried as eight palette indexes, one byte
// each, leftmost pixel in the lowest byte (16-colour rows are spread from
// their nibbles first). A row is drawn with eight-pixel vectors, its colour
// effect included: transparent and window-hidden pixels are masked out
// rather than branched on, since they come unpredictably.
#pragma once

#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/ColorTables.h"
#include "modules/tavrin/render/HostPalette.h"

#include <cstdint>
#include <cstring>

namespace Tavrin {

using PixelVector = uint16_t __attribute__((vector_size(16)));
using PixelMask = int16_t __attribute__((vector_size(16)));
using LaneVector = uint8_t __attribute__((vector_size(8)));
using LaneMask = int8_t __attribute__((vector_size(8)));

// The eight nibbles of a 16-colour tile row, each in its own byte: the low
// and the high nibbles of the four bytes, interleaved.
inline uint64_t SpreadNibbles(uint32_t bits)
{
    using Quads = uint32_t __attribute__((vector_size(8)));
    const Quads low{bits & 0x0F0F0F0F, 0}, high{(bits >> 4) & 0x0F0F0F0F, 0};
    LaneVector l, h;
    std::memcpy(&l, &low, 8);
    std::memcpy(&h, &high, 8);
    const LaneVector spread = __builtin_shufflevector(l, h, 0, 8, 1, 9, 2, 10, 3, 11);
    uint64_t x;
    std::memcpy(&x, &spread, 8);
    return x;
}

// The lanes in the opposite order, for a horizontal flip.
inline uint64_t ReverseLanes(uint64_t lanes) { return __builtin_bswap64(lanes); }

inline uint32_t Lane(uint64_t lanes, unsigned k) { return uint32_t(lanes >> (k * 8)) & 0xFF; }

// The eight nibbles of a 16-colour tile row in the opposite order, for a
// horizontal flip.
inline uint32_t ReverseNibbles(uint32_t bits)
{
    bits = __builtin_bswap32(bits);
    return ((bits >> 4) & 0x0F0F0F0F) | ((bits & 0x0F0F0F0F) << 4);
}

// Calls fn(k, lane) for each non-zero lane k = 0-7.
template <class Fn>
inline void ForEachOpaqueLane(uint64_t lanes, Fn &&fn)
{
    for (unsigned k = 0; lanes; ++k, lanes >>= 8)
        if (uint32_t lane = uint32_t(lanes) & 0xFF)
            fn(k, lane);
}

// Lane masks of 0 or all ones, widened from bytes to the pixels' 16 bits:
// each byte doubled, which keeps its value.
inline PixelMask WidenMask(LaneMask mask)
{
    using Bytes = int8_t __attribute__((vector_size(16)));
    using Halves = uint64_t __attribute__((vector_size(16)));
    uint64_t bits;
    std::memcpy(&bits, &mask, 8);
    const Bytes bytes = Bytes(Halves{bits, 0});
#if defined(__clang__)
    return PixelMask(__builtin_shufflevector(bytes, bytes, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7));
#else
    return PixelMask(__builtin_shuffle(bytes, Bytes{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7}));
#endif
}

// Whether any of the eight window bytes from col on has layerBit.
inline bool WindowOpenAny(unsigned col, uint8_t layerBit)
{
    uint64_t window;
    std::memcpy(&window, WindowLine + col, 8);
    return (window & (0x0101010101010101ull * layerBit)) != 0;
}

// Whether every window byte of columns [col, end) has layerBit; eight
// bytes at a time, the last eight overlapping the ones before when the
// count is not a multiple of eight.
inline bool WindowOpenAll(unsigned col, unsigned end, uint8_t layerBit)
{
    if (end - col < 8) {
        uint8_t all = 0xFF;
        for (; col < end; ++col)
            all &= WindowLine[col];
        return all & layerBit;
    }
    uint64_t all = ~uint64_t(0), eight;
    for (; col + 8 <= end; col += 8) {
        std::memcpy(&eight, WindowLine + col, 8);
        all &= eight;
    }
    std::memcpy(&eight, WindowLine + end - 8, 8);
    all &= eight;
    return (all & (0x0101010101010101ull * layerBit)) == 0x0101010101010101ull * layerBit;
}

// The entries table[base + lane] of the eight lanes. Always inline: a call
// would cost as much as the eight loads it makes.
[[gnu::always_inline]] inline PixelVector GatherEntries(const uint16_t *table, uint64_t lanes)
{
    return PixelVector{table[Lane(lanes, 0)], table[Lane(lanes, 1)], table[Lane(lanes, 2)],
                       table[Lane(lanes, 3)], table[Lane(lanes, 4)], table[Lane(lanes, 5)],
                       table[Lane(lanes, 6)], table[Lane(lanes, 7)]};
}

// The entries table[colour] of eight colours.
[[gnu::always_inline]] inline PixelVector GatherEntries(const uint16_t *table, PixelVector c)
{
    return PixelVector{table[c[0]], table[c[1]], table[c[2]], table[c[3]],
                       table[c[4]], table[c[5]], table[c[6]], table[c[7]]};
}

// The host colours of console colours by the table's own packing, all at
// once (green 31 is the one whose six-bit form is not twice its five-bit
// one). Only while HostTableIsPacked. Any width of vector; by reference, so
// wider ones keep one calling convention with or without AVX.
template <class Pixels>
[[gnu::always_inline]] inline void PackHostColorsOf(const Pixels &c, Pixels &host)
{
    const Pixels green = (c >> 5) & 31;
    const Pixels green6 = (green << 1) + ((green + 1) >> 5);
    host = (c << 11) | (green6 << 5) | ((c >> 10) & 31);
}

inline PixelVector PackHostColors(PixelVector c)
{
    PixelVector host;
    PackHostColorsOf(c, host);
    return host;
}

inline PixelVector HostColors(PixelVector c)
{
    return HostTableIsPacked ? PackHostColors(c) : GatherEntries(ColorToHostTable, c);
}

// The lanes whose window bytes allow effect E (and, for alpha, over a
// second target).
template <unsigned E>
inline PixelMask EffectLanes(LaneVector window, PixelVector second)
{
    PixelMask apply = WidenMask((window & WindowEffectBit) != 0);
    if constexpr (E == EffectAlpha)
        apply &= second != 0;
    return apply;
}

inline bool AnyLane(PixelMask mask)
{
    uint64_t halves[2];
    std::memcpy(halves, &mask, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

// Effect E on the eight console colours of the lanes in apply, component by
// component: the arithmetic of the single-pixel effects for factors up to
// 16.
template <unsigned E>
inline PixelVector EffectOnRow(PixelVector c, PixelMask apply, PixelVector second)
{
    const int16_t eva = int16_t(BlendEva), evb = int16_t(BlendEvb), evy = int16_t(BlendEvy);
    PixelVector changed{};
    for (unsigned shift = 0; shift < 15; shift += 5) {
        const PixelMask a = PixelMask((c >> shift) & 31);
        PixelMask v;
        if constexpr (E == EffectAlpha) {
            v = (a * eva + PixelMask((second >> shift) & 31) * evb) >> 4;
            v = v > 31 ? PixelMask{} + 31 : v;
        } else if constexpr (E == EffectBrighten) {
            v = ((31 - a) * evy + a * 16) >> 4;
        } else {
            v = (a * int16_t(16 - evy)) >> 4;
        }
        changed |= PixelVector(v) << shift;
    }
    return (changed & PixelVector(apply)) | (c & ~PixelVector(apply));
}

inline void BlendStore(uint16_t *at, PixelVector value, PixelMask kept)
{
    PixelVector old;
    std::memcpy(&old, at, sizeof old);
    const PixelVector out = (old & PixelVector(kept)) | (value & ~PixelVector(kept));
    std::memcpy(at, &out, sizeof out);
}

// Draws eight pixels from buffer column col, except the lanes set in
// transparent and those whose window bytes lack layerBit. colors() gives
// their console colours; hosts() their host colours, asked for only where
// no effect can apply, so a layer with host colours at hand (a converted
// palette) saves the conversion.
//
// A walk that draws many rows takes the layer's bit and the line's cover
// once (RowTargetOf) and passes them to every row: CoverKeep may share
// memory with the window line as far as the compiler knows, so a row that
// read it itself would load and spread it again after each store.
struct RowTarget {
    LaneVector layerBits;  // the layer's bit in every lane
    LaneVector cover;      // CoverKeep in every lane
    bool frontToBack;
};

inline RowTarget RowTargetOf(uint8_t layerBit)
{
    const uint8_t cover = CoverKeep;
    return {LaneVector{} + layerBit, LaneVector{} + cover, cover != 0xFF};
}

template <unsigned V, class Colors, class Hosts>
inline void WriteRow(uint16_t *row, unsigned col, LaneMask transparent, const RowTarget &target, Colors colors,
                     Hosts hosts)
{
    LaneVector window;
    std::memcpy(&window, WindowLine + col, 8);
    const LaneMask keptLanes = transparent | ((window & target.layerBits) == 0);
    // A row without an effect is stored whole even when every lane is kept:
    // that costs less than the branch, which blank tiles and drawn-over
    // columns make hard to foresee.
    if constexpr ((V & 3) != EffectNone) {
        uint64_t keptBits;
        std::memcpy(&keptBits, &keptLanes, 8);
        if (keptBits == ~uint64_t(0))
            return;
    }
    // Drawn front to back, a line blends nothing with what lies beneath, so
    // no one reads its second targets; the next line that has any marks
    // them afresh (with none, the line holds zeros, as every layer leaves it).
    const bool frontToBack = target.frontToBack;
    if (frontToBack) {
        window &= LaneVector(keptLanes) | target.cover;
        std::memcpy(WindowLine + col, &window, 8);
    }
    const PixelMask kept = WidenMask(keptLanes);

    const auto storeUnchanged = [&] {
        BlendStore(row + col, hosts(), kept);
        if (frontToBack)
            return;
        PixelVector second{};
        if constexpr ((V & 4) != 0)
            second = colors() | SecondTargetMark;
        BlendStore(SecondTargetLine + col, second, kept);
    };
    if constexpr ((V & 3) == EffectNone) {
        storeUnchanged();
    } else if (BlendEva <= 16 && BlendEvb <= 16 && BlendEvy <= 16) {
        PixelVector second;
        std::memcpy(&second, SecondTargetLine + col, sizeof second);
        // Where the window allows no effect on any drawn pixel (or, for
        // alpha, nothing beneath them is a second target) the row is drawn
        // as it is.
        const PixelMask apply = EffectLanes<V & 3>(window, second) & ~kept;
        if (!AnyLane(apply)) {
            storeUnchanged();
            return;
        }
        const PixelVector c = EffectOnRow<V & 3>(colors(), apply, second);
        BlendStore(row + col, GatherEntries(ColorToHostTable, c), kept);
        if (!frontToBack)
            BlendStore(SecondTargetLine + col, (V & 4) ? c | SecondTargetMark : PixelVector{}, kept);
    } else {
        // Factors past 16 (which the machine never sets) take the
        // single-pixel arithmetic, whose fields then spill into each other.
        const PixelVector in = colors();
        uint16_t host[8], second[8];
        for (unsigned k = 0; k < 8; ++k) {
            const uint32_t c = ApplyEffect<V & 3>(col + k, in[k]);
            host[k] = ColorToHostTable[c & 0xFFFF];
            second[k] = (V & 4) ? uint16_t(c | SecondTargetMark) : 0;
        }
        PixelVector hostVector, secondVector;
        std::memcpy(&hostVector, host, sizeof host);
        std::memcpy(&secondVector, second, sizeof second);
        BlendStore(row + col, hostVector, kept);
        BlendStore(SecondTargetLine + col, secondVector, kept);
    }
}

template <unsigned V, class Colors, class Hosts>
inline void WriteRow(uint16_t *row, unsigned col, LaneMask transparent, uint8_t layerBit, Colors colors,
                     Hosts hosts)
{
    WriteRow<V>(row, col, transparent, RowTargetOf(layerBit), colors, hosts);
}

// Palette entries are entryBase + lane; lane 0 is transparent, and so is a
// pixel whose window byte lacks layerBit (the layer's bit, or its RowTarget).
template <unsigned V, class Target>
inline void WriteTileRow(uint16_t *row, unsigned col, uint64_t lanes, uint32_t entryBase, const Target &layerBit)
{
    LaneVector index;
    std::memcpy(&index, &lanes, 8);
    WriteRow<V>(
        row, col, index == 0, layerBit, [&] { return GatherEntries(BgPalette + entryBase, lanes); },
        [&] { return GatherEntries(HostPalette + entryBase, lanes); });
}

// The eight entries of a 16-colour row from a table of pairs (HostPairs or
// ConsolePairs) of one bank: four lookups, one per tile byte.
inline PixelVector PairEntries(const uint32_t *pairs, uint32_t bits)
{
    using Pairs = uint32_t __attribute__((vector_size(16)));
    const Pairs both{pairs[bits & 0xFF], pairs[(bits >> 8) & 0xFF], pairs[(bits >> 16) & 0xFF], pairs[bits >> 24]};
    PixelVector v;
    std::memcpy(&v, &both, sizeof v);
    return v;
}

// A 16-colour tile row, its eight nibbles left to right from the lowest,
// in palette bank entryBase / 16 (sprite banks from entry 256). Without an
// effect the colours come two at a time from the bank's pairs.
template <unsigned V>
inline void WriteNibbleRow(uint16_t *row, unsigned col, uint32_t bits, uint32_t entryBase, uint8_t layerBit)
{
    const uint64_t lanes = SpreadNibbles(bits);
    if constexpr ((V & 3) == EffectNone) {
        LaneVector index;
        std::memcpy(&index, &lanes, 8);
        const uint32_t bank = entryBase >> 4;
        WriteRow<V>(
            row, col, index == 0, layerBit, [&] { return PairEntries(ConsolePairs[bank], bits); },
            [&] { return PairEntries(HostPairs[bank], bits); });
    } else {
        WriteTileRow<V>(row, col, lanes, entryBase, layerBit);
    }
}

} // namespace Tavrin
