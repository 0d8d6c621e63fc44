// The condition field test: one 16-bit mask per condition, indexed by the
// NZCV nibble of the status word.
#pragma once

#include <array>
#include <cstdint>

namespace Tavrin {

constexpr std::array<uint16_t, 16> BuildConditionMasks()
{
    std::array<uint16_t, 16> masks{};
    for (uint32_t flags = 0; flags < 16; ++flags) {
        bool n = flags & 8, z = flags & 4, c = flags & 2, v = flags & 1;
        const bool pass[16] = {z, !z, c, !c, n, !n, v, !v, c && !z, !c || z, n == v, n != v,
                               !z && n == v, z || n != v, true, false};
        for (uint32_t cond = 0; cond < 16; ++cond)
            if (pass[cond])
                masks[cond] |= uint16_t(1u << flags);
    }
    return masks;
}

inline constexpr std::array<uint16_t, 16> ConditionMasks = BuildConditionMasks();

inline bool ConditionPasses(uint32_t cond, uint32_t cpsr)
{
    return (ConditionMasks[cond] >> (cpsr >> 28)) & 1;
}

} // namespace Tavrin
