#include "modules/sounddriver/SoundDriver.h"

#include <algorithm>

SoundHookTable SoundHooks = {};

namespace {

int clampVolume(int value) { return std::clamp(value, 0, 255); }

} // namespace

void SetSound(int channel, int type)
{
    if (channel < 0 || !SoundHooks.setSound)
        return;
    SoundHooks.setSound(channel, type);
}

void SetTone(int channel, int frequency, int volume)
{
    if (channel < 0 || !SoundHooks.setTone)
        return;
    SoundHooks.setTone(channel, std::max(frequency, 0), clampVolume(volume));
}

void SetWave(int channel, const signed char *data, int length, int rate)
{
    if (channel < 0 || length < 1 || !SoundHooks.setWave)
        return;
    SoundHooks.setWave(channel, data, length, rate);
}

void Drum(int type, int force)
{
    if (!SoundHooks.drum)
        return;
    SoundHooks.drum(type, clampVolume(force));
}

const signed char *GetWavePosition(int channel)
{
    return SoundHooks.wavePosition ? SoundHooks.wavePosition(channel) : nullptr;
}

void InitSoundDriver(const char *logName)
{
    if (!logName)
        return;
}

void MidiTicks(int) {}

void MidiClose() {}
