#include "modules/belcrest/sound/Psg.h"

#include "modules/sounddriver/SoundDriver.h"

namespace Belcrest {

namespace {

// 240 x 10^(-x / 10): the chip attenuates in steps of 2 dB; 15 is off.
constexpr uint8_t kVolumes[16] = {240, 191, 151, 120, 96, 76, 60, 48, 38, 30, 24, 19, 15, 12, 10, 0};

// The noise shifts at the clock over 512, 1024 or 2048 (rounded to Hz).
constexpr uint32_t kNoiseRates[3] = {6991, 3496, 1748};

// The noise channel's kind for the driver's drum call.
constexpr int kNoiseDrum = 0x100 + 28;

void SetFrequency(Psg &psg, unsigned channel, uint32_t frequency)
{
    if (psg.frequency[channel] != frequency) {
        psg.frequency[channel] = frequency;
        psg.dirty |= uint8_t(1u << channel);
    }
}

// In mode 3 the noise shifts with tone 2.
void UpdateNoise(Psg &psg)
{
    SetFrequency(psg, 3, psg.noiseMode == 3 ? psg.frequency[2] : kNoiseRates[psg.noiseMode]);
}

void WritePeriod(Psg &psg, unsigned channel, uint16_t period)
{
    psg.period[channel] = period;
    SetFrequency(psg, channel, PsgToneFrequency(period));
    if (channel == 2 && psg.noiseMode == 3)
        UpdateNoise(psg);
}

void WriteAttenuation(Psg &psg, unsigned channel, uint8_t attenuation)
{
    psg.attenuation[channel] = attenuation;
    uint32_t const volume = PsgVolume(attenuation);
    if (psg.volume[channel] != volume) {
        psg.volume[channel] = volume;
        psg.dirty |= uint8_t(1u << channel);
    }
}

void WriteNoiseControl(Psg &psg, uint8_t control)
{
    // Bit 2 (white or periodic noise) is kept but not played: the noise
    // channel is always the driver's noise.
    psg.noiseControl = control;
    psg.noiseMode = control & 3;
    UpdateNoise(psg);
}

} // namespace

uint32_t PsgToneFrequency(uint32_t period)
{
    if (period == 0)
        return 0;
    uint32_t const frequency = PsgClock / (32 * period);
    return frequency > PsgHighestTone ? 0 : frequency;
}

uint32_t PsgVolume(uint32_t attenuation)
{
    return kVolumes[attenuation & 15];
}

uint32_t PsgNoiseFrequency(uint32_t rate)
{
    return rate < 3 ? kNoiseRates[rate] : 0;
}

void PsgReset(Psg &psg, uint32_t firstChannel)
{
    psg = Psg{};
    psg.deferred = 1;
    psg.firstChannel = firstChannel;
    for (uint8_t &attenuation : psg.attenuation)
        attenuation = 15;
    for (uint32_t i = 0; i < 3; ++i)
        SetSound(int(firstChannel + i), SoundTypeTone);
    SetSound(int(firstChannel + 3), SoundTypeNoise);
}

void PsgWrite(Psg &psg, uint8_t value)
{
    // A latch byte chooses the register and sets its low four bits; a data
    // byte then sets a tone's high six bits, or the low bits of a volume or
    // noise register. Data before any latch goes nowhere.
    bool const isLatch = (value & 0x80) != 0;
    if (isLatch)
        psg.latch = value;
    if (psg.latch != 0) {
        unsigned const channel = (psg.latch >> 5) & 3;
        bool const isVolume = (psg.latch & 0x10) != 0;
        if (isVolume)
            WriteAttenuation(psg, channel, value & 15);
        else if (channel == 3)
            WriteNoiseControl(psg, value & 7);
        else if (isLatch)
            WritePeriod(psg, channel, uint16_t((psg.period[channel] & 0x3F0) | (value & 15)));
        else
            WritePeriod(psg, channel, uint16_t((value & 0x3F) << 4 | (psg.period[channel] & 15)));
    }
    if (psg.deferred == 0 && psg.dirty != 0)
        PsgSync(psg, 2);
}

void PsgSync(Psg &psg, uint8_t mode)
{
    if (mode & 0x80) {
        mode &= 0x7F;
        if (psg.volume[3] != 0 && psg.frequency[3] != 0)
            Drum(kNoiseDrum, int(psg.volume[3]));
    }
    if (mode != 2)
        psg.deferred = mode;
    for (unsigned i = 0; i < 4; ++i) {
        if (psg.dirty & (1u << i))
            SetTone(int(psg.firstChannel + i), int(psg.frequency[i]), int(psg.volume[i]));
    }
    psg.dirty = 0;
}

void PsgRepushAll(Psg &psg)
{
    psg.dirty = 0x0F;
}

} // namespace Belcrest
