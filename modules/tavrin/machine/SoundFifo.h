// The two direct-sound channels, A (index 0, fed by DMA 1) and B (index 1,
// fed by DMA 2): ring buffers that the mixer plays as waves of sound
// channels 4 and 5.
#pragma once

#include <cstdint>

namespace Tavrin {

extern uint8_t *PcmBuffer[2];
extern uint32_t PcmWritePos[2];
extern uint32_t PcmSampleCount[2];
extern uint32_t PcmRate[2];
extern uint32_t FifoSource[2];

// The module's sound state: 0 before any sound open, 2 while the output is
// open, 3 once closed or with sound off.
extern uint32_t SoundState;

void ResetSoundFifos();
// Moves up to blocks 16-byte loads from the channel's DMA source into its
// ring buffer, as far as the player has made room.
void RefillSoundFifo(uint32_t channel, uint32_t blocks);
// Sets the wave rate and volume of both channels from the timers, DMA and
// sound control.
void UpdatePcmRates();
// A halfword store to FIFO A or B (offset 0x0A0-0x0A6).
void WriteFifo(uint32_t offset, uint32_t value);
// The timer (0 or 1) that drives a channel.
uint32_t PcmTimerOf(uint32_t channel);

} // namespace Tavrin
