// The handheld's four legacy sound channels (two squares, the first with a
// sweep, a wave table and noise). Not sampled: register writes and a
// millisecond clock keep a model of each channel's frequency, volume, length
// and envelope, and changes go out through the sound-channel driver as tones
// and waves for the module's mixer. One generator per process, over
// file-level state; free of platform code.
#pragma once

// The calls the machine makes into the generator.
#include "modules/tavrin/machine/ModuleServices.h"

#include <cstdint>

namespace Tavrin {

inline constexpr int kPsgRegisters = 48;

struct PsgChannel {
    int32_t lengthCount;  // ms played, -1 = no length limit
    int32_t lengthLimit;  // ms
    int32_t frequency;    // Hz, 0 = off
    int32_t volume;       // 0-15
    int32_t envelopeTimer;
    int32_t envelopeStep; // ms, 0 = none
    int32_t envelopeDirection;
};

struct PsgState {
    uint8_t registers[kPsgRegisters];
    PsgChannel channel[4];
    int32_t sweepTimer;
    int32_t sweepStep;
    int32_t sweepDirection;
    int32_t sweepFrequency; // the 11-bit frequency value
    int32_t sweepShift;
    signed char wave[64]; // two banks of 32
    int32_t firstChannel; // driver channel of channel 0
    uint8_t waveChanged;  // bit 0/1: a square's duty, bit 2: the wave table
    uint8_t toneChanged;  // bit c: channel c needs a new tone
    uint8_t deferred;     // writes only mark changes; the frame step pushes
    uint8_t extended;     // two banks, 64-sample waves
};

extern PsgState Psg;

void PsgReset(int firstChannel);
// Returns 0 for a register above 47.
int PsgWrite(uint32_t reg, uint32_t value);

} // namespace Tavrin
