// The FM sound unit of the Master System: nine melodic channels, of which
// channels 6 to 8 become five rhythm instruments in rhythm mode. It is not
// synthesised: the model keeps the 64-byte register file and hands each
// channel's frequency, volume and instrument, and each rhythm hit, to the
// sound-channel driver (channels firstChannel to firstChannel + 8). The
// module's sound class plays only the PSG's four channels.
#pragma once

#include <cstdint>

namespace Belcrest {

struct Fm {
    uint8_t registers[64];
    uint32_t frequency[9]; // Hz
    uint32_t volume[9];    // 0-255
    uint32_t firstChannel;
    uint32_t toneDirty;       // bit i: frequency or volume of channel i changed
    uint32_t instrumentDirty; // bit i: instrument of channel i changed
    uint32_t rhythmDirty;     // bits 0-4: hi-hat, cymbal, tom, snare, bass drum
    uint8_t deferred;         // 1: changes wait for FmSync
    uint8_t selectedRegister;
};

void FmReset(Fm &fm, uint32_t firstChannel);
// The chip's two ports: register address, then data.
void FmSelectRegister(Fm &fm, uint8_t value);
void FmWriteData(Fm &fm, uint8_t value);
void FmWriteRegister(Fm &fm, uint8_t reg, uint8_t value);
// Pushes the changes; a mode other than 2 becomes the deferral.
void FmSync(Fm &fm, uint8_t mode);

} // namespace Belcrest
