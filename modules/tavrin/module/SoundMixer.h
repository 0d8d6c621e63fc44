// The handheld's six sound channels as the driver's hooks leave them (two
// squares, the wave table and noise of the generator; direct sound A and B
// as waves) and the mixer that puts them together as the console does:
// the tone channels through the master volumes and routing of the sound
// control, direct sound at 50 or 100% on the sides it is routed to, around
// the bias level, with only the final sum limited to the output range.
// Plain code over one file-level mixer, so the hooks need no object.
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
    uint32_t phase; // 16 fraction bits of the position in the wave
    int type;     // 0 tone, 1 half-volume tone, 2 noise, 4 wave
    // Direct sound: the machine writes its ring as the console plays it; the
    // mixer follows, counting the samples it has read against those written.
    uint32_t readCount;
    uint32_t lastWritten; // the machine's count at the last block
    int64_t pace;         // samples read per output sample, 16 fraction bits; 0 = not yet known
    int32_t held;         // the last value played, kept while nothing new comes
};

// What the console's sound registers say about the mix, read for each block.
// The defaults route everything to both sides at full volume.
struct ConsoleMix {
    uint16_t soundCntL = 0xFF77;  // tone channels: enables and master volumes
    uint16_t soundCntH = 0x330E;  // tone volume; direct sound volumes and enables
    uint16_t soundCntX = 0x0080;  // bit 7: sound on
    uint16_t soundBias = 0x0200;  // bits 1-9: the level of silence
    uint8_t noiseControl = 0;     // the noise channel's clock and counter width
    uint32_t written[2] = {};     // samples in direct sound A's and B's rings
};

struct MixSettings {
    int rate = 0;                          // output samples per second
    const bool *channelEnabled = nullptr;  // kMixChannels entries, or null for all on
    bool noise = true;
    int volume = 100;                      // percent
    int bits = 16;                         // 16 (signed) or 8 (unsigned) per sample
    bool stereo = false;
    ConsoleMix console;
};

struct SoundMixerState {
    MixChannel channel[kMixChannels];
    uint32_t noiseCounter; // the console's noise shift register
    int32_t voice[kMixBufferSamples];
    int32_t left[kMixBufferSamples];
    int32_t right[kMixBufferSamples];
};

extern SoundMixerState SoundMixer;

// Channels silent, noise register full, accumulators 0.
void ResetSoundMixer();
// Installs the six hooks of the driver's table on the mixer.
void InstallMixerHooks();
// Mixes count (at most kMixBufferSamples) sample frames in the format the
// settings give; returns count.
int MixSound(MixSettings const &settings, void *out, int count);

} // namespace Tavrin
