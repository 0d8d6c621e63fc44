// The 6502 console's sound unit as a register-level model: register writes
// and a once-per-frame step turn the game's sound registers into a
// frequency, a volume and a wave per channel, pushed to the sound-channel
// driver; the module's sound class synthesises the samples. The entry
// points the machine calls are declared in machine/ModuleParts.h.
#pragma once

#include "modules/cindrel/machine/ModuleParts.h"

#include <cstdint>

namespace Cindrel {

#pragma GCC visibility push(hidden)

// Decoded delta samples, shared by both units: the longest sample (255 x 16
// + 1 bytes of 8 bits) fits.
inline constexpr int DmcSampleBufferSize = 32800;
extern int8_t DmcSampleBuffer[DmcSampleBufferSize];

extern const int8_t DutyWaves[4][32];
extern const int8_t TriangleWave[32];
extern const uint8_t LengthTable[32];
extern const int32_t NoiseFrequencyTable[16];
extern const int32_t DmcRateTable[16];

// Tone frequencies of an 11-bit timer value (0 below 7): the squares', and
// the triangle's an octave below (its sequence has 32 steps).
int SquareFrequency(int timer);
int TriangleFrequency(int timer);

// Decodes the delta sample registers $10-$13 describe and hands it to the
// driver: its length in ms, -1 when it loops, 0 when $13 is 0.
int ApuDecodeDmc(SoundUnitState &unit);

// Whether an image read back from a file is one the unit can run on.
bool ApuStateValid(const SoundUnitState &unit);

#pragma GCC visibility pop

} // namespace Cindrel
