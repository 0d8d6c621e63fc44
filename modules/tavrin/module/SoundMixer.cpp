#include "modules/tavrin/module/SoundMixer.h"

#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/sound/NoiseClock.h"

#include <algorithm>
#include <cstring>

namespace Tavrin {

SoundMixerState SoundMixer;

namespace {

// Levels are summed per side in steps of the console's 10-bit output, with
// 8 fraction bits. A tone channel at full volume, master volume 7 and 100%
// swings 60 steps each way (its 4-bit output, 0 to 15 about its middle,
// times the master volume's eight); a direct-sound channel at 100% swings
// its 8-bit sample, at 50% half of it. With the bias at its usual 0x200 all
// six at their loudest stay within 0..1023: a game at full volume does not
// clip.
constexpr int32_t kStep = 256;
constexpr int32_t kTop = 1023 * kStep;

// Voices are rendered at unit gain as 16-bit values (an 8-bit sample << 8).
constexpr int32_t kHigh = 127 << 8, kLow = -128 << 8;

// Samples a direct-sound channel keeps in hand behind the newest: room for
// the interpolation and for blocks that take a little more than came.
constexpr uint32_t kStreamMargin = 16;

MixChannel *ChannelAt(int channel)
{
    return channel >= 0 && channel < kMixChannels ? &SoundMixer.channel[channel] : nullptr;
}

bool IsStream(int c, MixChannel const &ch) { return c >= 4 && ch.waveRate > 0; }

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
// A new rate for a ring keeps the mixer's place in it.
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
    if (!ch || ch->waveRate == 0 || ch->type != SoundTypeWave || !ch->waveData || ch->waveLength < 1)
        return nullptr;
    const uint32_t at = IsStream(channel, *ch) ? ch->readCount : uint32_t(ch->playOffset);
    return ch->waveData + at % uint32_t(ch->waveLength);
}

// The console's noise: a 15-bit shift register (or its low 7 bits) stepped
// by the clock, high while its low bit is clear. Several steps within one
// output sample are averaged.
void RenderNoise(MixChannel &ch, uint32_t control, int rate, int32_t *voice, int count)
{
    const uint64_t divisor = NoiseClockDivisor(control);
    // At most 128 steps an output sample, whatever the rate.
    const uint32_t step = uint32_t(std::min<uint64_t>((uint64_t(1) << 36) / (divisor * uint64_t(rate)), 0x7FFFFF));
    const bool shortCounter = NoiseIsShort(control);
    uint32_t x = SoundMixer.noiseCounter;
    if (shortCounter && (x & 0x7F) == 0)
        x = 0x7FFF;
    uint32_t phase = ch.phase;
    int32_t value = (x & 1) ? kLow : kHigh;
    for (int i = 0; i < count; ++i) {
        phase += step;
        const uint32_t steps = phase >> 16;
        phase &= 0xFFFF;
        if (steps) {
            int32_t low = 0;
            for (uint32_t k = 0; k < steps; ++k) {
                const uint32_t bit = (x ^ (x >> 1)) & 1;
                x = (x >> 1) | (bit << 14);
                if (shortCounter)
                    x = (x & ~0x40u) | (bit << 6);
                low += int32_t(x & 1);
            }
            value = (kHigh * (int32_t(steps) - low) + kLow * low) / int32_t(steps);
        }
        voice[i] = value;
    }
    ch.phase = phase;
    SoundMixer.noiseCounter = x;
}

// A wave that loops: one period of a tone (no rate) or samples at a rate.
// Between two samples the output is interpolated linearly.
bool RenderLoop(MixChannel &ch, int rate, int32_t *voice, int count)
{
    if (ch.waveLength < 1 || !ch.waveData)
        return false;
    const uint64_t length = uint64_t(ch.waveLength);
    uint64_t step;
    if (ch.waveRate > 0) {
        step = (uint64_t(ch.waveRate) << 16) / uint64_t(rate);
    } else {
        // A tone above half the output rate can only alias.
        if (int64_t(ch.frequency) * 2 >= rate)
            return false;
        step = (uint64_t(ch.frequency) * length << 16) / uint64_t(rate);
    }
    const uint64_t span = length << 16;
    step %= span;
    uint64_t at = ((uint64_t(uint32_t(ch.playOffset)) % length) << 16) | (ch.phase & 0xFFFF);
    const signed char *data = ch.waveData;
    for (int i = 0; i < count; ++i) {
        const uint64_t index = at >> 16;
        const int32_t cur = data[index], next = data[index + 1 < length ? index + 1 : 0];
        voice[i] = (cur << 8) + (((next - cur) * int32_t(at & 0xFFFF)) >> 8);
        at += step;
        if (at >= span)
            at -= span;
    }
    ch.playOffset = int(at >> 16);
    ch.phase = uint32_t(at & 0xFFFF);
    return true;
}

// A direct-sound ring behind the machine's count of samples written. The
// machine writes at the console's pace and the host asks at its own, so
// the mixer plays the ring at the pace the samples arrive against the
// output the host takes (followed over some sixteen blocks), and steers a
// little each block to keep a few samples in hand: it neither runs dry nor
// falls behind. Behind by more than half the ring (sound just turned on, a
// new machine) it takes up the newest samples.
void RenderStream(MixChannel &ch, uint32_t written, int rate, int32_t *voice, int count)
{
    const uint32_t size = uint32_t(ch.waveLength);
    const int64_t nominal = int64_t((uint64_t(uint32_t(ch.waveRate)) << 16) / uint64_t(rate));
    const uint32_t arrived = written - ch.lastWritten;
    ch.lastWritten = written;
    uint32_t lag = written - ch.readCount;
    if (lag > size / 2) {
        const uint64_t need = (uint64_t(nominal) * uint64_t(count)) >> 16;
        lag = uint32_t(std::min<uint64_t>(need + kStreamMargin, size / 2));
        ch.readCount = written - lag;
        ch.phase = 0;
        ch.pace = 0;
    }
    if (ch.pace == 0 || arrived > size / 2) {
        ch.pace = nominal;
    } else {
        const int64_t observed = (int64_t(arrived) << 16) / count;
        ch.pace += (observed - ch.pace) / 16;
    }
    ch.pace = std::clamp<int64_t>(ch.pace, nominal / 2 + 1, nominal * 2 + 1);
    // What would be left after the block at that pace, beyond the margin,
    // is taken an eighth at a time.
    const int64_t left = int64_t(lag) - ((ch.pace * count) >> 16) - int64_t(kStreamMargin);
    const uint64_t step = uint64_t(std::clamp<int64_t>(ch.pace + left * 65536 / (8 * int64_t(count)), ch.pace / 2,
                                                       ch.pace * 2));
    const uint64_t last = lag ? uint64_t(lag - 1) << 16 : 0;
    const signed char *data = ch.waveData;
    auto const sample = [&](uint64_t j) { return int32_t(data[(ch.readCount + uint32_t(j)) % size]); };
    uint64_t at = ch.phase & 0xFFFF;
    int32_t value = ch.held;
    for (int i = 0; i < count; ++i) {
        if (at > last)
            at = last; // nothing newer yet: the last sample holds
        if (lag) {
            const uint64_t j = at >> 16;
            const int32_t cur = sample(j), next = j + 1 < lag ? sample(j + 1) : cur;
            value = (cur << 8) + (((next - cur) * int32_t(at & 0xFFFF)) >> 8);
        }
        voice[i] = value;
        at += step;
    }
    const uint32_t used = uint32_t(std::min<uint64_t>(at >> 16, lag));
    ch.readCount += used;
    ch.phase = used < lag ? uint32_t(at & 0xFFFF) : 0;
    ch.held = value;
}

// A silent direct-sound channel keeps its place at the machine's, so it
// starts with the first samples the game queues.
void FollowStream(MixChannel &ch, uint32_t written)
{
    ch.readCount = written;
    ch.lastWritten = written;
    ch.phase = 0;
    ch.pace = 0;
    ch.held = 0;
}

void RenderTone(MixChannel &ch, int rate, int32_t *voice, int count)
{
    const uint32_t step = uint32_t((int64_t(ch.frequency) << 16) / rate);
    uint32_t phase = ch.phase;
    for (int i = 0; i < count; ++i) {
        const uint32_t next = phase + step;
        const uint32_t both = phase & next & 0x8000, either = (phase | next) & 0x8000;
        voice[i] = both ? kHigh : either ? 0 : kLow;
        phase = next;
    }
    ch.phase = phase;
}

struct Gains {
    int32_t left, right; // accumulator steps per 65536 of voice
};

// A tone channel: its volume times the master volume (0-7 counting as 1 to
// 8 eighths) of each side it is routed to, times 25, 50 or 100%. The voice
// is an 8-bit sample << 8 and the channel's own output 4 bits, so volume 255
// (15 x 17) at the loudest gives 60 steps for a sample of 128.
Gains ToneGains(ConsoleMix const &mix, int c, int volume)
{
    static const int32_t Share[4] = {1, 2, 4, 4};
    const int32_t share = Share[mix.soundCntH & 3];
    auto const side = [&](uint32_t enable, uint32_t master) {
        return ((mix.soundCntL >> enable) & 1) ? volume * int32_t(master + 1) * share * 64 / 17 : 0;
    };
    return {side(12 + uint32_t(c), (mix.soundCntL >> 4) & 7u), side(8 + uint32_t(c), mix.soundCntL & 7u)};
}

// Direct sound A (d = 0) or B (1): its sample at 100% or 50%, on the sides
// it is routed to.
Gains DirectGains(ConsoleMix const &mix, int d)
{
    const uint32_t h = mix.soundCntH;
    const int32_t gain = ((h >> (2 + d)) & 1) ? 65536 : 32768;
    const uint32_t right = 8 + 4 * uint32_t(d), left = right + 1;
    return {((h >> left) & 1) ? gain : 0, ((h >> right) & 1) ? gain : 0};
}

void AddVoice(const int32_t *voice, Gains g, int count)
{
    int32_t *left = SoundMixer.left, *right = SoundMixer.right;
    for (int i = 0; i < count; ++i) {
        left[i] += int32_t((int64_t(voice[i]) * g.left) >> 16);
        right[i] += int32_t((int64_t(voice[i]) * g.right) >> 16);
    }
}

// Renders channel c into the voice buffer; false when it has nothing to add.
bool Render(MixSettings const &s, int c, int count)
{
    MixChannel &ch = SoundMixer.channel[c];
    int32_t *voice = SoundMixer.voice;
    switch (ch.type) {
    case SoundTypeNoise:
        if (!s.noise || NoiseClockDivisor(s.console.noiseControl) == 0)
            return false;
        RenderNoise(ch, s.console.noiseControl, s.rate, voice, count);
        return true;
    case SoundTypeWave:
        if (IsStream(c, ch)) {
            if (ch.waveLength < 2 || !ch.waveData)
                return false;
            RenderStream(ch, s.console.written[c - 4], s.rate, voice, count);
            return true;
        }
        return RenderLoop(ch, s.rate, voice, count);
    default:
        // Square tones of the driver's own; at a third of the rate or above
        // they are silent.
        if (ch.frequency >= (s.rate * 2 / 3) / 2)
            return false;
        RenderTone(ch, s.rate, voice, count);
        return true;
    }
}

// Each side limited to the console's output range around the bias, then
// moved to the host's level: the bias is silence.
template <class Sample, class Put>
void Output(MixSettings const &s, Sample *out, int count, Put put)
{
    const int32_t bias = int32_t(s.console.soundBias & 0x3FE) * kStep;
    const int64_t gain = int64_t(std::clamp(s.volume, 0, 100)) * 65536 / 400;
    auto const level = [&](int32_t sum) {
        const int32_t o = std::clamp(sum + bias, 0, kTop) - bias;
        return int32_t(std::clamp<int64_t>((o * gain) >> 16, -32768, 32767));
    };
    for (int i = 0; i < count; ++i) {
        const int32_t l = level(SoundMixer.left[i]), r = level(SoundMixer.right[i]);
        if (s.stereo) {
            out[2 * i] = put(l);
            out[2 * i + 1] = put(r);
        } else {
            out[i] = put((l + r) >> 1);
        }
    }
}

} // namespace

void ResetSoundMixer()
{
    std::memset(&SoundMixer, 0, sizeof SoundMixer);
    SoundMixer.noiseCounter = 0x7FFF;
}

void InstallMixerHooks()
{
    SoundHooks = SoundHookTable{HookSetSound, HookDrum, HookReserved, HookSetTone, HookSetWave, HookWavePosition};
}

int MixSound(MixSettings const &settings, void *out, int count)
{
    count = std::clamp(count, 0, kMixBufferSamples);
    if (count == 0)
        return 0;
    ConsoleMix const &mix = settings.console;
    const bool on = settings.rate > 0 && (mix.soundCntX & 0x80);
    std::memset(SoundMixer.left, 0, sizeof(int32_t) * size_t(count));
    std::memset(SoundMixer.right, 0, sizeof(int32_t) * size_t(count));
    for (int c = 0; c < kMixChannels; ++c) {
        MixChannel &ch = SoundMixer.channel[c];
        const Gains gains = c < 4 ? ToneGains(mix, c, ch.volume) : DirectGains(mix, c - 4);
        const bool audible = on && ch.frequency > 0 && ch.volume > 0 && (gains.left | gains.right) &&
                             (!settings.channelEnabled || settings.channelEnabled[c]);
        if (!audible) {
            if (IsStream(c, ch))
                FollowStream(ch, mix.written[c - 4]);
            continue;
        }
        if (Render(settings, c, count))
            AddVoice(SoundMixer.voice, gains, count);
    }
    if (settings.bits == 8)
        Output(settings, static_cast<uint8_t *>(out), count,
               [](int32_t v) { return uint8_t(128 + (v >> 8)); });
    else
        Output(settings, static_cast<int16_t *>(out), count, [](int32_t v) { return int16_t(v); });
    return count;
}

} // namespace Tavrin
