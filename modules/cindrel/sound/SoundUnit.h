// The 6502 console's sound unit: its registers, the frame sequencer that
// clocks the channels' counters on the CPU's cycles, and the delta channel,
// which fetches its bytes through the CPU's memory map. What the channels
// sound like is pushed to the sound-channel driver once a frame; the module's
// sound class synthesises the samples. The entry points the machine calls
// are declared in machine/ModuleParts.h.
#pragma once

#include "modules/cindrel/machine/ModuleParts.h"

#include <cstdint>

namespace Cindrel {

#pragma GCC visibility push(hidden)

// Decoded delta samples, shared by both units: the longest sample (255 x 16
// + 1 bytes of 8 bits) fits.
inline constexpr int DmcSampleBufferSize = 32800;
inline constexpr int DmcMaxBytes = 255 * 16 + 1;
extern int8_t DmcSampleBuffer[DmcSampleBufferSize];

extern const int8_t DutyWaves[4][32];
extern const int8_t TriangleWave[32];
extern const int32_t NoiseFrequencyTable[16];

// Length counter loads in half frames, by bits 3-7 of the length register.
inline constexpr uint8_t LengthCounts[32] = {10, 254, 20, 2,  40, 4,  80, 6,  160, 8,  60, 10, 14, 12, 26, 14,
                                             12, 16,  24, 18, 48, 20, 96, 22, 192, 24, 72, 26, 16, 28, 32, 30};

// The delta channel's CPU cycles per output bit, by bits 0-3 of $10, for the
// NTSC and the PAL console.
inline constexpr uint16_t DmcPeriods[2][16] = {
    {428, 380, 340, 320, 286, 254, 226, 214, 190, 160, 142, 128, 106, 84, 72, 54},
    {398, 354, 316, 298, 276, 236, 210, 198, 176, 148, 132, 118, 98, 78, 66, 50},
};

// A frame-sequencer step: the CPU cycle after the sequence's start at which
// it comes and what it clocks. The last step of a sequence starts it over.
enum : uint8_t { FrameQuarter = 1, FrameHalf = 2, FrameIrq = 4, FrameEnd = 8 };
struct FrameStep {
    int32_t cycle;
    uint8_t what;
};
struct FrameSequence {
    const FrameStep *steps;
    int count;
};

inline constexpr FrameStep FourStepsNtsc[] = {{7457, FrameQuarter},
                                              {14913, FrameQuarter | FrameHalf},
                                              {22371, FrameQuarter},
                                              {29828, FrameIrq},
                                              {29829, FrameQuarter | FrameHalf | FrameIrq},
                                              {29830, FrameIrq | FrameEnd}};
inline constexpr FrameStep FiveStepsNtsc[] = {{7457, FrameQuarter},
                                              {14913, FrameQuarter | FrameHalf},
                                              {22371, FrameQuarter},
                                              {37281, FrameQuarter | FrameHalf},
                                              {37282, FrameEnd}};
inline constexpr FrameStep FourStepsPal[] = {{8313, FrameQuarter},
                                             {16627, FrameQuarter | FrameHalf},
                                             {24939, FrameQuarter},
                                             {33252, FrameIrq},
                                             {33253, FrameQuarter | FrameHalf | FrameIrq},
                                             {33254, FrameIrq | FrameEnd}};
inline constexpr FrameStep FiveStepsPal[] = {{8313, FrameQuarter},
                                             {16627, FrameQuarter | FrameHalf},
                                             {24939, FrameQuarter},
                                             {41565, FrameQuarter | FrameHalf},
                                             {41566, FrameEnd}};

// By region (PAL) and by $4017 bit 7.
inline constexpr FrameSequence FrameSequences[2][2] = {
    {{FourStepsNtsc, 6}, {FiveStepsNtsc, 5}},
    {{FourStepsPal, 6}, {FiveStepsPal, 5}},
};

inline bool IsPal(const SoundUnitState &unit) { return unit.framesPerSecond == 50; }
inline const FrameSequence &SequenceOf(const SoundUnitState &unit)
{
    return FrameSequences[IsPal(unit)][unit.frameControl >> 7];
}
inline int DmcPeriod(const SoundUnitState &unit) { return DmcPeriods[IsPal(unit)][unit.registers[0x10] & 15]; }

// Tone frequencies of an 11-bit timer value (0 below 7): the squares', and
// the triangle's an octave below (its sequence has 32 steps).
int SquareFrequency(int timer);
int TriangleFrequency(int timer);

// The frame sequencer's clocks of the channels' counters.
void ClockQuarterFrame(SoundUnitState &unit);
void ClockHalfFrame(SoundUnitState &unit);
// Whether the sequencer clocks the length counters on the unit's next cycle.
bool HalfFrameNext(const SoundUnitState &unit);

// The delta channel (DeltaChannel.cpp): $4015 bit 4, the CPU cycles to its
// next output byte, running its timer for a number of cycles (an output byte
// that starts at the end is left to DmcOutputByte), and the start of an
// output byte, which empties the one-byte buffer and fetches the next byte.
void DmcEnable(SoundUnitState &unit, bool on);
int64_t DmcCyclesToByte(const SoundUnitState &unit);
void DmcAdvance(SoundUnitState &unit, int64_t cycles);
void DmcOutputByte(SoundUnitState &unit);
// The cycle of the last byte's fetch when it will raise the interrupt, else
// INT64_MAX.
int64_t DmcIrqCycle(const SoundUnitState &unit);
// Decodes the sample $10-$13 describe from the CPU's map and hands it to the
// driver; returns its length in samples.
int ApuDecodeDmc(SoundUnitState &unit);

// The status bits 0-4 the counters stand for: bit c while channel c's
// length counter runs, 4 while delta bytes are left.
inline uint8_t RunningBits(const SoundUnitState &unit)
{
    uint8_t running = unit.dmcBytesLeft ? 0x10 : 0;
    for (int c = 0; c < 4; ++c)
        if (unit.lengthCounter[c])
            running |= uint8_t(1 << c);
    return running;
}

// Brings the status bits 0-4 and what the driver is handed up to date with
// the counters; sets the changed bits of channels whose tone moved.
void RefreshChannels(SoundUnitState &unit);

// The record of a unit just reset (without telling the driver): setup as
// for ApuReset.
void ApuBlankRecord(SoundUnitState &unit, int setup);

// Whether an image read back from a file is one the unit can run on.
bool ApuStateValid(const SoundUnitState &unit);

#pragma GCC visibility pop

} // namespace Cindrel
