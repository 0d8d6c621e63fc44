#include "modules/belcrest/sound/BelcrestSound.h"

#include "modules/belcrest/sound/MachineChips.h"
#include "modules/sounddriver/SoundDriver.h"

#include <algorithm>

namespace Belcrest {

namespace {

BelcrestSound *moduleSound = nullptr;

void HookSetSound(int channel, int type)
{
    if (moduleSound)
        moduleSound->SetChannelType(channel, type);
}

void HookSetTone(int channel, int frequency, int volume)
{
    if (moduleSound)
        moduleSound->SetChannelTone(channel, frequency, volume);
}

// A square's amplitude per volume step, and the shift that brings the mixed
// sum, scaled by the master volume, into a signed byte.
constexpr int kAmplitude = 128;
constexpr int kOutputShift = 18;

} // namespace

BelcrestSound *ModuleSound()
{
    return moduleSound;
}

BelcrestSound::BelcrestSound(ZorvanEngine::Module *owner) : BaseSound(owner), m_channels{}, m_noiseRegister(1)
{
    // Drums and waves have no player here.
    SoundHooks = SoundHookTable{};
    SoundHooks.setSound = &HookSetSound;
    SoundHooks.setTone = &HookSetTone;
    m_channelCount = kChannels;
    moduleSound = this;
}

BelcrestSound::~BelcrestSound()
{
    if (moduleSound == this)
        moduleSound = nullptr;
}

void BelcrestSound::Open(int rate, int /*bits*/, bool /*stereo*/)
{
    if (IsOpen())
        return;
    BaseSound::Open(rate, 8, false);
    if (!IsOpen())
        return;
    m_accumulator.assign(static_cast<size_t>(std::max(m_blockSamples, 0)), 0);
    for (Channel &channel : m_channels)
        channel = Channel{0, 0, 0, SoundTypeTone};
    m_channels[3].type = SoundTypeNoise;
    PsgRepushAll(MachinePsg);
}

void BelcrestSound::Close()
{
    BaseSound::Close();
    if (!IsOpen())
        m_accumulator = {};
}

bool BelcrestSound::ChannelEnabled(int channel) const
{
    return m_channelEnabled && m_channelEnabled[channel];
}

void BelcrestSound::SetChannelType(int channel, int type)
{
    if (channel < 0 || channel >= kChannels || !IsOpen())
        return;
    m_channels[channel].type = type;
}

void BelcrestSound::SetChannelTone(int channel, int frequency, int volume)
{
    if (channel < 0 || channel >= kChannels || !IsOpen() || !ChannelEnabled(channel))
        return;
    Channel &c = m_channels[channel];
    if (frequency <= 0 || volume <= 0) {
        c.frequency = 0;
        c.volume = 0;
    } else {
        c.frequency = uint32_t(frequency);
        c.volume = volume;
    }
}

void BelcrestSound::MixSquare(Channel &channel, int volume, int32_t *accumulator, int count)
{
    uint32_t const rate = uint32_t(m_rate);
    // A tone this close to the sample rate would only alias.
    if (channel.frequency >= rate / 3)
        return;
    uint32_t const step = uint32_t((uint64_t(channel.frequency) << 16) / rate);
    int32_t const amplitude = volume * kAmplitude;
    uint32_t phase = channel.phase;
    // A sample whose half-period changes within it is the edge and adds 0.
    for (int i = 0; i < count; ++i) {
        uint32_t const next = phase + step;
        uint32_t const both = phase & next & 0x8000;
        uint32_t const either = (phase | next) & 0x8000;
        accumulator[i] += both ? amplitude : (either ? 0 : -amplitude);
        phase = next;
    }
    channel.phase = phase;
}

void BelcrestSound::MixNoise(Channel &channel, int32_t *accumulator, int count)
{
    uint32_t const rate = uint32_t(m_rate);
    uint32_t step;
    int32_t volume = channel.volume;
    if (channel.frequency > rate) {
        // Faster than the samples: one shift per sample, quieter.
        step = 0x10000;
        volume = int32_t(uint64_t(volume) * rate / channel.frequency);
    } else {
        step = uint32_t((uint64_t(channel.frequency) << 16) / rate);
    }
    int32_t const amplitude = volume * kAmplitude;
    uint32_t phase = channel.phase;
    uint32_t noise = m_noiseRegister;
    for (int i = 0; i < count; ++i) {
        phase += step;
        if (phase >= 0x10000) {
            phase &= 0xFFFF;
            noise <<= 1;
            if (noise & 0x80000000u)
                noise ^= 0x08000001u;
        }
        accumulator[i] += (noise & 1) ? amplitude : -amplitude;
    }
    channel.phase = phase;
    m_noiseRegister = noise;
}

int BelcrestSound::Mix(void *buffer, int samples)
{
    if (!IsOpen() || samples <= 0)
        return 0;
    int const count = std::min(samples, int(m_accumulator.size()));
    int32_t *accumulator = m_accumulator.data();
    for (int i = 0; i < kChannels; ++i) {
        Channel &channel = m_channels[i];
        if (channel.frequency == 0 || channel.volume == 0 || !ChannelEnabled(i))
            continue;
        switch (channel.type) {
        case SoundTypeNoise:
            if (m_noise)
                MixNoise(channel, accumulator, count);
            break;
        case SoundTypeHalfVolumeTone:
            MixSquare(channel, (channel.volume + 1) >> 1, accumulator, count);
            break;
        default:
            MixSquare(channel, channel.volume, accumulator, count);
            break;
        }
    }
    int32_t const gain = m_volume * 255 / 100;
    auto *out = static_cast<uint8_t *>(buffer);
    for (int i = 0; i < count; ++i) {
        int32_t const sample = std::clamp((accumulator[i] * gain) >> kOutputShift, -128, 127);
        out[i] = uint8_t(sample + 128);
        accumulator[i] = 0;
    }
    return count;
}

} // namespace Belcrest
