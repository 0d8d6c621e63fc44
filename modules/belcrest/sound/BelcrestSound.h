// The Z80 module's sound: four channels (three squares and a noise) played
// from the tones and volumes that the PSG sends through the sound-channel
// driver, mixed into unsigned 8-bit mono samples. Driver channels 4 and up
// (the FM unit) are not played.
#pragma once

#include "engine/BaseSound.h"

#include <cstdint>
#include <vector>

namespace Belcrest {

class BelcrestSound : public ZorvanEngine::BaseSound {
public:
    static constexpr int kChannels = 4;

    // Installs the driver's hooks and becomes the module's sound.
    explicit BelcrestSound(ZorvanEngine::Module *owner);
    ~BelcrestSound() override;

    // Always unsigned 8-bit mono, whatever is asked. Every opening starts
    // from silent channels and has the PSG send all four again.
    void Open(int rate, int bits, bool stereo) override;
    void Close() override;
    int Mix(void *buffer, int samples) override;

    // The driver's tone call for one channel; a zero frequency or volume
    // silences it. Ignored while closed or with the channel switched off.
    void SetChannelTone(int channel, int frequency, int volume);
    // The driver's channel-type call.
    void SetChannelType(int channel, int type);

    struct Channel {
        int32_t volume;     // 0-255
        uint32_t frequency; // Hz
        uint32_t phase;     // 16.16 fixed point
        int32_t type;       // SoundType: square, half-volume square, noise
    };
    Channel const &GetChannel(int channel) const { return m_channels[channel]; }
    uint32_t GetNoiseRegister() const { return m_noiseRegister; }

private:
    bool ChannelEnabled(int channel) const;
    void MixSquare(Channel &channel, int volume, int32_t *accumulator, int count);
    void MixNoise(Channel &channel, int32_t *accumulator, int count);

    Channel m_channels[kChannels];
    std::vector<int32_t> m_accumulator; // one block of samples
    uint32_t m_noiseRegister;           // never reset
};

// The module's sound, or null.
BelcrestSound *ModuleSound();

} // namespace Belcrest
