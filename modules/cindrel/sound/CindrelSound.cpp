#include "modules/cindrel/sound/CindrelSound.h"

#include "engine/Module.h"
#include "modules/cindrel/machine/ModuleParts.h"
#include "modules/sounddriver/SoundDriver.h"

#include <algorithm>

namespace Cindrel {

CindrelSound *SoundObject = nullptr;

namespace {

void HookSetSound(int channel, int type)
{
    if (SoundObject)
        SoundObject->SetChannelType(channel, type);
}

void HookDrum(int, int) {}
void HookReserved() {}

void HookSetTone(int channel, int frequency, int volume)
{
    if (SoundObject)
        SoundObject->SetChannelTone(channel, frequency, volume);
}

void HookSetWave(int channel, const signed char *data, int length, int rate)
{
    if (SoundObject)
        SoundObject->SetChannelWave(channel, data, length, rate);
}

} // namespace

CindrelSound::CindrelSound(ZorvanEngine::Module *owner) : BaseSound(owner)
{
    SoundHooks.setSound = &HookSetSound;
    SoundHooks.drum = &HookDrum;
    SoundHooks.reserved = &HookReserved;
    SoundHooks.setTone = &HookSetTone;
    SoundHooks.setWave = &HookSetWave;
    m_channelCount = kChannels;
    SoundObject = this;
}

CindrelSound::~CindrelSound()
{
    if (SoundObject == this)
        SoundObject = nullptr;
}

void CindrelSound::Open(int rate, int bits, bool stereo)
{
    if (!IsOpen())
        BaseSound::Open(rate, bits, stereo);
    if (m_rate == 0)
        return;
    m_channelVolume = std::make_unique<int[]>(kChannels);
    m_frequency = std::make_unique<int[]>(kChannels);
    m_phase = std::make_unique<uint32_t[]>(kChannels);
    m_mix = std::make_unique<int32_t[]>(kMixSamples);
}

void CindrelSound::Close()
{
    BaseSound::Close();
    m_channelVolume.reset();
    m_frequency.reset();
    m_phase.reset();
    m_mix.reset();
}

void CindrelSound::UpdateSettings()
{
    BaseSound::UpdateSettings();
    // Read as the settings always were; it changes nothing here.
    if (m_module)
        (void)m_module->GetSettings().GetInt(L"SoundRefresh");
}

void CindrelSound::SetChannelType(int channel, int type)
{
    if (channel >= 0 && channel < kChannels)
        m_type[channel] = type;
}

void CindrelSound::SetChannelTone(int channel, int frequency, int volume)
{
    if (channel < 0 || channel >= kChannels || m_rate == 0 || !m_frequency)
        return;
    if (frequency == 0 || volume == 0) {
        frequency = 0;
        volume = 0;
    }
    m_frequency[channel] = frequency;
    m_channelVolume[channel] = std::clamp(volume, 0, 255);
}

void CindrelSound::SetChannelWave(int channel, const signed char *samples, int count, int rate)
{
    if (channel < 0 || channel >= kChannels)
        return;
    m_type[channel] = SoundTypeWave;
    m_waveData[channel] = samples;
    m_waveLength[channel] = count;
    m_waveRate[channel] = rate;
    m_wavePosition[channel] = 0;
    if (m_phase)
        m_phase[channel] = 0;
}

void CindrelSound::MixTone(int c, int32_t *mix, int count, int volume)
{
    const int f = m_frequency[c];
    if (unsigned(f) >= unsigned(m_rate) / 2)
        return;
    const uint32_t step = uint32_t((uint64_t(f) << 16) / unsigned(m_rate));
    uint32_t phase = m_phase[c];
    for (int i = 0; i < count; ++i) {
        mix[i] += ((phase & 0x8000) ? 127 : -128) * volume;
        phase += step;
    }
    m_phase[c] = phase & 0xFFFF;
}

void CindrelSound::MixNoise(int c, int32_t *mix, int count, int volume)
{
    if (!m_noise)
        return;
    const int f = m_frequency[c];
    uint32_t step;
    if (f > m_rate) {
        volume = int(int64_t(m_rate) * volume / f);
        step = 0x10000;
    } else {
        step = uint32_t((uint64_t(f) << 16) / unsigned(m_rate));
    }
    const int32_t amplitude = volume * 64;
    uint32_t phase = m_phase[c];
    uint32_t noise = m_noiseRegister;
    for (int i = 0; i < count; ++i) {
        phase += step;
        if (phase >= 0x10000) {
            phase &= 0xFFFF;
            const bool top = noise & 0x80000000u;
            noise <<= 1;
            if (top)
                noise ^= 0x08000001u;
        }
        mix[i] += (noise & 1) ? amplitude : -amplitude;
    }
    m_phase[c] = phase;
    m_noiseRegister = noise;
}

// A wave sample lasts D / 32768 output samples; between two wave samples
// the output is interpolated linearly.
void CindrelSound::MixWave(int c, int32_t *mix, int count, int volume)
{
    const int n = m_waveLength[c];
    const signed char *data = m_waveData[c];
    if (n < 1 || !data)
        return;
    uint64_t d = (uint64_t(unsigned(m_rate)) << 15) / unsigned(m_frequency[c]);
    d /= m_waveRate[c] > 0 ? unsigned(m_waveRate[c]) : unsigned(n);
    if (d == 0)
        d = 1;
    const uint32_t D = uint32_t(std::min<uint64_t>(d, 0x7FFFFFFF));
    uint32_t phase = m_phase[c];
    int idx = m_wavePosition[c] % n;
    int32_t cur = data[idx] * volume;
    int32_t nxt = 0;
    int32_t span = 1, k = 0;
    if (phase < D) {
        nxt = data[(idx + 1) % n] * volume;
        span = int32_t(((D - (phase & 0x7FFF)) >> 15) + 1);
        k = int32_t((phase >> 15) + 1);
    }
    for (int i = 0; i < count; ++i) {
        if (phase < D) {
            mix[i] += cur + (nxt - cur) * k / span;
            ++k;
            phase += 0x8000;
        } else {
            idx = int((idx + phase / D) % unsigned(n));
            phase = phase % D + 0x8000;
            cur = data[idx] * volume;
            mix[i] += cur;
            if (phase < D) {
                nxt = data[(idx + 1) % n] * volume;
                span = int32_t(((D - phase) >> 15) + 1);
                k = 1;
            }
        }
    }
    m_wavePosition[c] = idx;
    m_phase[c] = phase;
}

void CindrelSound::MixBlock(uint8_t *out, int count)
{
    int32_t *mix = m_mix.get();
    for (int c = 0; c < kChannels; ++c) {
        int v = m_channelVolume[c];
        if (m_frequency[c] == 0 || v == 0 || !m_channelEnabled || !m_channelEnabled[c])
            continue;
        switch (m_type[c]) {
        case SoundTypeNoise:
            MixNoise(c, mix, count, v);
            break;
        case SoundTypeWave:
            MixWave(c, mix, count, v);
            break;
        case SoundTypeHalfVolumeTone:
            v = (v + 1) >> 1;
            [[fallthrough]];
        default:
            MixTone(c, mix, count, v);
            break;
        }
    }
    const int64_t gain = int64_t(m_volume) * 255 / 100;
    for (int i = 0; i < count; ++i) {
        const int64_t s = std::clamp<int64_t>((mix[i] * gain) >> 18, -128, 127);
        out[i] = uint8_t(s + 128);
        mix[i] = 0;
    }
}

int CindrelSound::Mix(void *buffer, int count)
{
    if (count < 1)
        return 0;
    auto *out = static_cast<uint8_t *>(buffer);
    if (!m_mix) {
        std::fill(out, out + count, uint8_t(128));
        return count;
    }
    for (int done = 0; done < count;) {
        const int part = std::min(count - done, kMixSamples);
        MixBlock(out + done, part);
        done += part;
    }
    return count;
}

void TriggerSound()
{
    if (SoundObject)
        SoundObject->Trigger();
}

} // namespace Cindrel
