// The handheld's six sound channels as the driver's hooks leave them (two
// squares, the wave table and noise of the generator; direct sound A and B
// as waves) and the mixer that turns them into 8-bit mono blocks. Plain
// code over one file-level mixer, so the hooks need no object.
#pragma once

#include <cstdint>

namespace Tavrin {

inline constexpr int kMixChannels = 6;
inline constexpr int kMixBufferSamples = 8192;

struct MixChannel {
    const signed char *waveData; // borrowed from the sender
    int waveLength;
    int playOffset;
    int waveRate; // Hz of the samples; 0 = the wave is one period of the tone
    int volume;   // 0-255
    int frequency; // Hz, 0 = silent
    uint32_t phase;
    int type;     // 0 tone, 1 half-volume tone, 2 noise, 4 wave
};

struct MixSettings {
    int rate = 0;                          // output samples per second
    const bool *channelEnabled = nullptr;  // kMixChannels entries, or null for all on
    bool noise = true;
    int volume = 100;                      // percent
};

struct SoundMixerState {
    MixChannel channel[kMixChannels];
    uint32_t noiseShift;
    int32_t accumulator[kMixBufferSamples];
};

extern SoundMixerState SoundMixer;

// Channels silent, noise generator at 1, accumulators 0.
void ResetSoundMixer();
// Installs the six hooks of the driver's table on the mixer.
void InstallMixerHooks();
// Mixes count (at most kMixBufferSamples) unsigned 8-bit samples; returns count.
int MixSound(MixSettings const &settings, uint8_t *out, int count);

} // namespace Tavrin
