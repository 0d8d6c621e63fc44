#include "modules/tavrin/module/SoundMixer.h"

#include "modules/sounddriver/SoundDriver.h"

#include <algorithm>
#include <cstring>

namespace Tavrin {

SoundMixerState SoundMixer;

namespace {

MixChannel *ChannelAt(int channel)
{
    return channel >= 0 && channel < kMixChannels ? &SoundMixer.channel[channel] : nullptr;
}

void HookSetSound(int channel, int type)
{
    if (MixChannel *ch = ChannelAt(channel))
        ch->type = type;
}
void HookDrum(int, int) {}
void HookReserved() {}
void HookSetTone(int channel, int frequency, int volume)
{
    if (MixChannel *ch = ChannelAt(channel)) {
        ch->frequency = frequency;
        ch->volume = volume;
    }
}
void HookSetWave(int channel, const signed char *data, int length, int rate)
{
    if (MixChannel *ch = ChannelAt(channel)) {
        ch->waveData = data;
        ch->waveLength = length;
        ch->waveRate = rate;
        ch->playOffset = 0;
        ch->phase = 0;
        ch->type = SoundTypeWave;
    }
}
const signed char *HookWavePosition(int channel)
{
    MixChannel const *ch = ChannelAt(channel);
    if (!ch || ch->waveRate == 0 || ch->type != SoundTypeWave || !ch->waveData)
        return nullptr;
    return ch->waveData + ch->playOffset;
}

void MixNoise(MixChannel &ch, int rate, int32_t *acc, int count)
{
    int64_t volume = ch.volume;
    uint32_t step;
    if (ch.frequency > rate) {
        volume = int64_t(rate) * volume / ch.frequency;
        step = 0x10000;
    } else {
        step = uint32_t((int64_t(ch.frequency) << 16) / rate);
    }
    const int32_t high = int32_t(volume * 128);
    uint32_t phase = ch.phase;
    uint32_t shift = SoundMixer.noiseShift;
    for (int i = 0; i < count; ++i) {
        phase += step;
        if (phase & 0xFFFF0000u) {
            phase &= 0xFFFF;
            shift <<= 1;
            if (shift & 0x80000000u)
                shift ^= 0x08000001u;
        }
        acc[i] += (shift & 1) ? high : -high;
    }
    ch.phase = phase;
    SoundMixer.noiseShift = shift;
}

// Waves advance in units of 1/32768 output sample; between two wave
// samples the output is interpolated linearly. The phase is the time spent
// in the current wave sample, so each one lasts exactly its span.
void MixWave(MixChannel &ch, int rate, int32_t *acc, int count)
{
    if (ch.waveLength < 1 || !ch.waveData)
        return;
    const int64_t length = ch.waveLength;
    const int64_t perCycle = (int64_t(rate) << 15) / ch.frequency;
    const int64_t span = std::max<int64_t>(1, ch.waveRate > 0 ? perCycle / ch.waveRate : perCycle / length);
    const int32_t v = ch.volume;
    const signed char *data = ch.waveData;
    int64_t position = ch.playOffset % length;
    int64_t phase = std::min<int64_t>(ch.phase, span - 1);
    int64_t cur = data[position] * v;
    int64_t next = data[(position + 1) % length] * v;
    for (int i = 0; i < count; ++i) {
        if (phase >= span) {
            position = (position + phase / span) % length;
            phase %= span;
            cur = data[position] * v;
            next = data[(position + 1) % length] * v;
        }
        acc[i] += int32_t(cur + (next - cur) * phase / span);
        phase += 32768;
    }
    ch.playOffset = int(position);
    ch.phase = uint32_t(phase);
}

void MixTone(MixChannel &ch, int rate, int32_t *acc, int count)
{
    int32_t v = ch.volume;
    if (ch.type == SoundTypeHalfVolumeTone)
        v = (v + 1) >> 1;
    if (ch.frequency >= (rate * 2 / 3) / 2)
        return;
    const uint32_t step = uint32_t((int64_t(ch.frequency) << 16) / rate);
    const int32_t high = v * 128;
    uint32_t phase = ch.phase;
    for (int i = 0; i < count; ++i) {
        const uint32_t next = phase + step;
        const uint32_t both = phase & next & 0x8000, either = (phase | next) & 0x8000;
        acc[i] += both ? high : either ? 0 : -high;
        phase = next;
    }
    ch.phase = phase;
}

} // namespace

void ResetSoundMixer()
{
    std::memset(&SoundMixer, 0, sizeof SoundMixer);
    SoundMixer.noiseShift = 1;
}

void InstallMixerHooks()
{
    SoundHooks = SoundHookTable{HookSetSound, HookDrum, HookReserved, HookSetTone, HookSetWave, HookWavePosition};
}

int MixSound(MixSettings const &settings, uint8_t *out, int count)
{
    count = std::clamp(count, 0, kMixBufferSamples);
    const int rate = settings.rate;
    if (count == 0 || rate <= 0)
        return count == 0 ? 0 : (std::memset(out, 128, size_t(count)), count);
    int32_t *acc = SoundMixer.accumulator;
    for (int c = kMixChannels - 1; c >= 0; --c) {
        MixChannel &ch = SoundMixer.channel[c];
        if (ch.frequency <= 0 || ch.volume == 0 || (settings.channelEnabled && !settings.channelEnabled[c]))
            continue;
        switch (ch.type) {
        case SoundTypeNoise:
            if (settings.noise)
                MixNoise(ch, rate, acc, count);
            break;
        case SoundTypeWave:
            MixWave(ch, rate, acc, count);
            break;
        default:
            MixTone(ch, rate, acc, count);
            break;
        }
    }
    const int64_t gain = int64_t(settings.volume) * 255 / 100;
    for (int i = 0; i < count; ++i) {
        const int64_t s = std::clamp<int64_t>((acc[i] * gain) >> 16, -128, 127);
        out[i] = uint8_t(s + 128);
        acc[i] = 0;
    }
    return count;
}

} // namespace Tavrin
