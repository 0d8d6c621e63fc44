// How a console colour (red bits 0-4, green 5-9, blue 10-14, bit 15 ignored)
// maps into the renderer's two tables: the spread form that the effects
// compute on, and the host RGB565 value with green widened to six bits.
#pragma once

#include <cstdint>

namespace Tavrin {

// Red, green and blue in 10-bit fields at bits 0, 10 and 20.
inline constexpr uint32_t SpreadColor(uint32_t index)
{
    return (index & 31) | ((index >> 5) & 31) << 10 | ((index >> 10) & 31) << 20;
}

struct HostColorParts {
    uint32_t r, g, b;  // 5, 6 and 5 bits
};

inline constexpr HostColorParts HostPartsOf(uint32_t index)
{
    return {index & 31, ((index >> 5) & 31) * 63 / 31, (index >> 10) & 31};
}

inline constexpr uint16_t PackHostColor(uint32_t r, uint32_t g, uint32_t b)
{
    return uint16_t(r << 11 | g << 5 | b);
}

// Fills SpreadColorTable and ColorToHostTable for all 65,536 indices, as the
// video does when it opens.
void FillColorTables();

// Whether ColorToHostTable holds exactly what FillColorTables puts there, so
// the renderer may convert many colours at once by the same arithmetic
// instead of looking each one up. Whoever stores an entry of its own clears
// it.
extern bool HostTableIsPacked;

} // namespace Tavrin
