// The programmable sound generator of the Z80 consoles: three square-wave
// tone channels and one noise channel. The chip model keeps the chip's
// registers and turns them into a frequency in hertz and a volume 0-240 per
// channel, which it pushes through the sound-channel driver (tones on the
// driver channels firstChannel to firstChannel + 2, noise on
// firstChannel + 3). The module's sound class synthesises the waves.
#pragma once

#include <cstdint>

namespace Belcrest {

struct Psg {
    uint32_t frequency[4]; // Hz; 3 is the noise channel
    uint32_t volume[4];    // 0 (silent) to 240
    uint8_t deferred;      // 1: changes wait for PsgSync
    uint8_t noiseMode;     // noise rate, register bits 0-1
    uint8_t latch;         // the last latch byte; 0 before the first
    uint8_t dirty;         // bit i: channel i changed since the last push
    uint32_t firstChannel; // driver channel of tone 0
    // The chip's registers: 10-bit tone periods, 4-bit attenuations and
    // the 3-bit noise control.
    uint16_t period[3];
    uint8_t attenuation[4];
    uint8_t noiseControl;
};

// The chip's input clock and the loudest volume handed to the driver.
inline constexpr uint32_t PsgClock = 3579545;
inline constexpr uint32_t PsgMaxVolume = 240;
// Tones above this are not played.
inline constexpr uint32_t PsgHighestTone = 15000;

// Silences the chip and sets up its four driver channels (square tones
// and noise).
void PsgReset(Psg &psg, uint32_t firstChannel);
// One byte written to the chip's port.
void PsgWrite(Psg &psg, uint8_t value);
// Pushes the changed channels. Mode 2 keeps the deferral; any other mode
// (bit 7 aside, which first sends the noise as a drum hit) becomes it.
void PsgSync(Psg &psg, uint8_t mode);
// The sound output was opened anew and knows no channel: every channel
// goes out again at the next sync.
void PsgRepushAll(Psg &psg);

// The chip's conversions: a tone of period N in hertz (0 when silent), an
// attenuation step (2 dB each, 15 = off) as a volume, and a noise rate
// 0-2 in hertz.
uint32_t PsgToneFrequency(uint32_t period);
uint32_t PsgVolume(uint32_t attenuation);
uint32_t PsgNoiseFrequency(uint32_t rate);

} // namespace Belcrest
