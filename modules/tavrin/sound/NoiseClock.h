// The noise channel's shift clock from its control byte: 524,288 / r /
// 2^(s+1) Hz for the divide ratio r (bits 0-2, 0 counted as 0.5) and the
// shift s (bits 4-7); shifts 14 and 15 stop the clock. Bit 3 picks the
// 7-bit counter over the 15-bit one. The generator and the mixer both read
// the byte through these, so the pitch they agree on is exact.
#pragma once

#include <cstdint>

namespace Tavrin {

// The clock is NoiseClockBase / divisor Hz.
inline constexpr uint32_t NoiseClockBase = 1u << 20;

// 0 while the clock is stopped.
inline constexpr uint32_t NoiseClockDivisor(uint32_t control)
{
    const uint32_t shift = (control >> 4) & 15, ratio = control & 7;
    if (shift >= 14)
        return 0;
    return (ratio ? 2 * ratio : 1) << (shift + 1);
}

// The clock in whole hertz (at least 1 while it runs), 0 while stopped.
inline constexpr uint32_t NoiseClockHz(uint32_t control)
{
    const uint32_t divisor = NoiseClockDivisor(control);
    if (divisor == 0)
        return 0;
    const uint32_t hz = (NoiseClockBase + divisor / 2) / divisor;
    return hz ? hz : 1;
}

inline constexpr bool NoiseIsShort(uint32_t control) { return (control & 8) != 0; }

} // namespace Tavrin
