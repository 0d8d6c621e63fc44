// The 6502 module's sound class: seven channels set by the sound unit
// through the sound-channel driver's hooks (tones, noise, repeating waves
// and delta samples), mixed into unsigned 8-bit mono output.
#pragma once

#include "engine/BaseSound.h"

#include <cstdint>
#include <memory>

namespace Cindrel {

class CindrelSound : public ZorvanEngine::BaseSound {
public:
    static constexpr int kChannels = 7;
    static constexpr int kMixSamples = 44100;

    // Installs the driver hooks and becomes the sound the machine triggers.
    explicit CindrelSound(ZorvanEngine::Module *owner);
    ~CindrelSound() override;

    void Open(int rate, int bits, bool stereo) override;
    void Close() override;
    void UpdateSettings() override;
    // count unsigned 8-bit samples; never more than the buffer holds.
    int Mix(void *buffer, int count) override;

    // What the driver's hooks do.
    void SetChannelType(int channel, int type);
    void SetChannelTone(int channel, int frequency, int volume);
    void SetChannelWave(int channel, const signed char *samples, int count, int rate);

    // For tests: a channel's pushed tone (0 while closed).
    int GetFrequency(int channel) const { return m_frequency ? m_frequency[channel] : 0; }
    int GetVolume(int channel) const { return m_channelVolume ? m_channelVolume[channel] : 0; }
    int GetType(int channel) const { return m_type[channel]; }

private:
    void MixTone(int c, int32_t *mix, int count, int volume);
    void MixNoise(int c, int32_t *mix, int count, int volume);
    void MixWave(int c, int32_t *mix, int count, int volume);
    void MixBlock(uint8_t *out, int count);

    uint32_t m_noiseRegister = 1;
    int m_type[kChannels] = {};
    const signed char *m_waveData[kChannels] = {};
    int m_waveLength[kChannels] = {};
    int m_wavePosition[kChannels] = {};
    int m_waveRate[kChannels] = {};
    // Created by Open, released by Close.
    std::unique_ptr<int[]> m_channelVolume;
    std::unique_ptr<int[]> m_frequency;
    std::unique_ptr<uint32_t[]> m_phase;
    std::unique_ptr<int32_t[]> m_mix;
};

// The one sound object, null while none exists.
extern CindrelSound *SoundObject;

} // namespace Cindrel
