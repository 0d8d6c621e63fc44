// Eight pixels of one tile row at once, for the text backgrounds and the
// regular sprites. Lanes are 4 bits (16 colours) or 8 bits (256 colours),
// leftmost pixel in the lowest lane. A row whose eight pixels are all opaque
// and all open in the window takes a path without per-pixel tests.
#pragma once

#include "modules/tavrin/render/ColorEffects.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace Tavrin {

template <unsigned LaneBits>
using TileRowBits = std::conditional_t<LaneBits == 4, uint32_t, uint64_t>;

// The lanes in the opposite order, for a horizontal flip.
inline uint32_t ReverseLanes(uint32_t bits)
{
    bits = __builtin_bswap32(bits);
    return ((bits >> 4) & 0x0F0F0F0F) | ((bits & 0x0F0F0F0F) << 4);
}
inline uint64_t ReverseLanes(uint64_t bits) { return __builtin_bswap64(bits); }

inline bool NoZeroLane(uint32_t bits) { return ((bits - 0x11111111u) & ~bits & 0x88888888u) == 0; }
inline bool NoZeroLane(uint64_t bits)
{
    return ((bits - 0x0101010101010101ull) & ~bits & 0x8080808080808080ull) == 0;
}

inline bool WindowOpen8(unsigned col, uint8_t layerBit)
{
    uint64_t window;
    std::memcpy(&window, WindowLine + col, 8);
    const uint64_t want = 0x0101010101010101ull * layerBit;
    return (window & want) == want;
}

// Calls fn(k, lane) for each non-zero lane k = 0-7.
template <unsigned LaneBits, class Fn>
inline void ForEachOpaqueLane(TileRowBits<LaneBits> bits, Fn &&fn)
{
    constexpr uint32_t LaneMask = (1u << LaneBits) - 1;
    for (unsigned k = 0; bits; ++k, bits >>= LaneBits)
        if (uint32_t lane = uint32_t(bits) & LaneMask)
            fn(k, lane);
}

// Palette entries are entryBase + lane; lane 0 is transparent.
template <unsigned V, unsigned LaneBits>
inline void WriteTileRow(uint16_t *row, unsigned col, TileRowBits<LaneBits> bits, uint32_t entryBase,
                         uint8_t layerBit)
{
    constexpr uint32_t LaneMask = (1u << LaneBits) - 1;
    if (!bits)
        return;
    if (NoZeroLane(bits) && WindowOpen8(col, layerBit)) {
        if constexpr ((V & 3) == EffectNone) {
            uint16_t *__restrict out = row + col;
            uint16_t *__restrict second = SecondTargetLine + col;
            const uint16_t *__restrict host = HostPalette + entryBase;
            const uint16_t *__restrict console = BgPalette + entryBase;
            for (unsigned k = 0; k < 8; ++k) {
                const uint32_t lane = uint32_t(bits >> (k * LaneBits)) & LaneMask;
                out[k] = host[lane];
                second[k] = (V & 4) ? uint16_t(console[lane] | SecondTargetMark) : 0;
            }
        } else {
            for (unsigned k = 0; k < 8; ++k)
                WritePalettePixel<V>(row, col + k, entryBase + (uint32_t(bits >> (k * LaneBits)) & LaneMask));
        }
        return;
    }
    if constexpr ((V & 3) == EffectNone) {
        // Mixed rows without an effect: select instead of branching, since
        // transparent pixels come unpredictably.
        for (unsigned k = 0; k < 8; ++k) {
            const uint32_t lane = uint32_t(bits >> (k * LaneBits)) & LaneMask;
            const uint32_t entry = entryBase + lane;
            const uint16_t keep = uint16_t((lane != 0) & ((WindowLine[col + k] & layerBit) != 0)) - 1;
            const uint16_t second = (V & 4) ? uint16_t(BgPalette[entry] | SecondTargetMark) : 0;
            row[col + k] = uint16_t((row[col + k] & keep) | (HostPalette[entry] & ~keep));
            SecondTargetLine[col + k] = uint16_t((SecondTargetLine[col + k] & keep) | (second & ~keep));
        }
    } else {
        for (unsigned k = 0; k < 8; ++k) {
            const uint32_t lane = uint32_t(bits >> (k * LaneBits)) & LaneMask;
            if (lane && (WindowLine[col + k] & layerBit))
                WritePalettePixel<V>(row, col + k, entryBase + lane);
        }
    }
}

} // namespace Tavrin
