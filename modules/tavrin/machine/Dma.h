// The four DMA channels. A transfer runs whole at the moment it starts.
#pragma once

#include <cstdint>

namespace Tavrin {

inline constexpr uint32_t DmaSourceMask[4] = {0x07FFFFFF, 0x0FFFFFFF, 0x0FFFFFFF, 0x0FFFFFFF};
inline constexpr uint32_t DmaDestMask[4] = {0x07FFFFFF, 0x07FFFFFF, 0x07FFFFFF, 0x0FFFFFFF};
inline constexpr uint32_t DmaCountMask[4] = {0x3FFF, 0x3FFF, 0x3FFF, 0xFFFF};

// Timings of control bits 12-13.
inline constexpr uint32_t DmaImmediate = 0x8000, DmaVBlank = 0x9000, DmaHBlank = 0xA000, DmaSpecial = 0xB000;

void RunDma(uint32_t channel);
// Starts every enabled channel whose control & 0xB000 is timing, 0 to 3.
void StartDmaOfTiming(uint32_t timing);
// A store to a channel's control register.
void WriteDmaControl(uint32_t channel, uint32_t value);

} // namespace Tavrin
