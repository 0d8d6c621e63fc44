// Page-setting helpers shared by the mapper families. Every pointer comes
// from the framework's bank arithmetic, so it stays inside the rounded
// buffers whatever number a game writes. Pattern banks come from pattern
// ROM, or from the pattern RAM as the boards wire it.
#pragma once

#include "modules/cindrel/machine/MapperFramework.h"

namespace Cindrel {

#pragma GCC visibility push(hidden)

// 8 KB of pattern pages 0-7, from pattern ROM or RAM.
inline void Pattern8(uint32_t n) { MapVideoPages(0, 7, PatternBank8(n)); }

// 4 KB at pages 0-3 (half 0) or 4-7 (half 1).
inline void Pattern4(int half, uint32_t n) { MapVideoPages(half * 4, half * 4 + 3, PatternBank4(n)); }

// 2 KB at pages first, first + 1 and 1 KB at one page.
inline void Pattern2(int first, uint32_t n) { MapVideoPages(first, first + 1, PatternBank2(n)); }
inline void Pattern1(int page, uint32_t n) { VideoPageMap[page] = PatternBank1(n); }

// Every pattern page at the start of pattern ROM (the power-on state of
// the register-file boards); pattern RAM stays as it is.
inline void PatternPagesAtVromStart()
{
    if (VromBuffer)
        for (int i = 0; i < 8; ++i)
            VideoPageMap[i] = VromBuffer;
}

// What a validator answers: null for register bytes that make sense.
inline const char *Sane(bool sane) { return sane ? nullptr : "damaged mapper block"; }

// A low or high nibble of a register byte.
inline void SetNibble(uint8_t &reg, bool high, uint8_t v)
{
    reg = high ? uint8_t((reg & 0x0F) | (v << 4)) : uint8_t((reg & 0xF0) | (v & 0x0F));
}

// 32 KB at $8000-$FFFF from a 16 KB bank number (even after masking on
// every row that uses it, so the four entries stay inside the buffer).
inline void Rom32At16(uint32_t bank)
{
    uint8_t *p = RomBuffer + ((bank & RomMask & ~1u) << 14);
    for (int i = 0; i < 4; ++i)
        FetchMap[4 + i] = p + i * 0x2000;
}

// A one-bit mirroring control where 0 means vertical.
inline void MirrorBit(int bit) { SetMirroring(1 - (bit & 1)); }

// The two-bit control most boards share: 0 vertical, 1 horizontal, then
// the two one-screen modes.
inline void MirrorTwoBits(int v)
{
    static constexpr int modes[4] = {1, 0, 2, 3};
    SetMirroring(modes[v & 3]);
}

// A 32-bit little-endian field of MapperState.
inline int32_t StateWord(int at)
{
    const uint8_t *b = MapperState.bytes + at;
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}
inline void SetStateWord(int at, int32_t value)
{
    for (int i = 0; i < 4; ++i)
        MapperState.bytes[at + i] = uint8_t(uint32_t(value) >> (8 * i));
}
inline int32_t WordAt(const uint8_t *bytes, int at)
{
    return int32_t(uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
                   uint32_t(bytes[at + 3]) << 24);
}

// A cycle counter past its end starts again within 0..reload, the cycles
// beyond the end carried (floor modulo, so a counter far below zero lands
// inside too).
inline int32_t WrapCounter(int64_t value, int32_t reload)
{
    const int64_t period = int64_t(reload) + 1;
    return int32_t(((value % period) + period) % period);
}

// Counts the 32-bit counter at counterAt down by cycles; at 0 or below it
// wraps within the reload at reloadAt and the result is true.
inline bool CountDown(int counterAt, int reloadAt, int32_t cycles)
{
    int64_t counter = int64_t(StateWord(counterAt)) - cycles;
    const bool ended = counter <= 0;
    if (ended)
        counter = WrapCounter(StateWord(reloadAt) + counter, StateWord(reloadAt));
    SetStateWord(counterAt, int32_t(counter));
    return ended;
}

// The board's counter holds the IRQ line until the game acknowledges it;
// the line's other sources are not the board's to release.
inline void RaiseIrq() { HoldIrq(IrqFromMapper); }
inline void ClearIrq() { ReleaseIrq(IrqFromMapper); }

#pragma GCC visibility pop

} // namespace Cindrel
