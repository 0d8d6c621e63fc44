// The two direct-sound channels, A (index 0, fed by DMA 1) and B (index 1,
// fed by DMA 2), as the console runs them: each has a 32-byte FIFO that
// stores to its register fill; every overflow of the channel's timer plays
// the next byte, and once no more than 16 are left the channel's DMA, when
// it is enabled with the sound timing, queues four more words. The bytes
// played go, one per overflow, into the channel's ring (PcmBuffer), which
// the module's mixer follows as the wave of sound channel 4 or 5. All of it
// runs whether the host plays sound or not.
#pragma once

#include <cstdint>

namespace Tavrin {

inline constexpr uint32_t FifoBytes = 32;

struct DirectFifo {
    uint8_t bytes[FifoBytes];
    uint32_t head;  // the next byte to play
    uint32_t count; // bytes queued, 0..FifoBytes
    int8_t playing; // the sample the channel puts out until the next overflow
};
extern DirectFifo Fifo[2];

extern uint8_t *PcmBuffer[2];
// The ring byte the next played sample goes to.
extern uint32_t PcmWritePos[2];
// Samples put into the ring since the machine started (wraps); the mixer
// compares it with its own count of samples read.
extern uint32_t PcmWritten[2];
// The channel's sample rate in Hz while its timer runs, else 0.
extern uint32_t PcmRate[2];
extern uint32_t FifoSource[2];

// The module's sound state: 0 before any sound open, 2 while the output is
// open, 3 once closed or with sound off. The machine runs the same in each.
extern uint32_t SoundState;

// Both FIFOs empty and silent, both rings cleared, the rates worked out.
void ResetSoundFifos();
// Timer (0 or 1) overflowed `overflows` times: each channel it drives plays
// that many samples.
void PlayFifoSamples(uint32_t timer, uint64_t overflows);
// The channel's DMA request: four words from its source into its FIFO when
// DMA 1 (A) or 2 (B) is enabled with the sound timing. Returns whether it ran.
bool RefillSoundFifo(uint32_t channel);
// Sets the wave rate and volume of both channels from the timers and the
// sound control.
void UpdatePcmRates();
// A halfword store to FIFO A or B (offset 0x0A0-0x0A6): its two bytes queue,
// low first.
void WriteFifo(uint32_t offset, uint32_t value);
// A store to the sound control's high half: a set reset bit (11 for A, 15
// for B) empties that channel's FIFO.
void WriteDirectSoundControl(uint32_t value);
// The timer (0 or 1) that drives a channel.
uint32_t PcmTimerOf(uint32_t channel);

} // namespace Tavrin
