// The machine's clock: LineHook (cpu/ArmHooks.h) advances it by one slice,
// the visible part (960 cycles) or the horizontal blank (272) of a line.
#pragma once

#include <cstdint>

namespace Tavrin {

inline constexpr int32_t VisibleCycles = 960;
inline constexpr int32_t HBlankCycles = 272;
inline constexpr uint32_t LinesPerFrame = 228;
inline constexpr uint32_t VisibleLines = 160;

} // namespace Tavrin
