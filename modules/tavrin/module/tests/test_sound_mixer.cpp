// The mixer through the driver's hooks: tones, noise, waves, the output
// gain and clipping, the per-channel and noise switches.
#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/module/SoundMixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace Tavrin {
namespace {

class MixerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSoundMixer();
        InstallMixerHooks();
    }
    void TearDown() override { SoundHooks = SoundHookTable{}; }
    std::vector<uint8_t> Mix(int count, MixSettings settings = {44100, nullptr, true, 100})
    {
        std::vector<uint8_t> out(size_t(count) + 1, 0xAA);
        EXPECT_EQ(MixSound(settings, out.data(), count), count);
        EXPECT_EQ(out[size_t(count)], 0xAA); // nothing past the block
        out.pop_back();
        return out;
    }
    // Rising crossings of 128 per second over the block.
    static double Frequency(std::vector<uint8_t> const &s, int rate)
    {
        int rises = 0, first = -1, last = -1;
        for (size_t i = 1; i < s.size(); ++i) {
            if (s[i - 1] < 128 && s[i] >= 128) {
                if (first < 0)
                    first = int(i);
                last = int(i);
                ++rises;
            }
        }
        return rises > 1 ? double(rises - 1) * rate / (last - first) : 0;
    }
};

TEST_F(MixerTest, EmptyBlockWritesNothing)
{
    uint8_t byte = 0xAA;
    EXPECT_EQ(MixSound({44100, nullptr, true, 100}, &byte, 0), 0);
    EXPECT_EQ(byte, 0xAA);
}

TEST_F(MixerTest, FullSquareSwingsTheWholeRangeAndClips)
{
    SetSound(0, SoundTypeTone);
    SetTone(0, 441, 255);
    SetSound(1, SoundTypeTone);
    SetTone(1, 441, 255);
    auto const out = Mix(4410);
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), 0);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 255);
    EXPECT_NEAR(Frequency(out, 44100), 441, 441 * 0.01);
}

TEST_F(MixerTest, SilencesTable)
{
    struct Case {
        const char *what;
        int type, frequency;
        bool enabled, noise;
        int volume;
    } const cases[] = {
        {"tone at a third of the rate", SoundTypeTone, 14700, true, true, 100},
        {"channel switched off", SoundTypeTone, 440, false, true, 100},
        {"noise while Noise is off", SoundTypeNoise, 8192, true, false, 100},
        {"volume 0", SoundTypeTone, 440, true, true, 0},
    };
    for (Case const &c : cases) {
        ResetSoundMixer();
        SetSound(2, c.type);
        SetTone(2, c.frequency, 255);
        std::array<bool, kMixChannels> enabled{};
        enabled.fill(true);
        enabled[2] = c.enabled;
        auto const out = Mix(1000, {44100, enabled.data(), c.noise, c.volume});
        for (uint8_t s : out)
            ASSERT_EQ(s, 128) << c.what;
    }
}

TEST_F(MixerTest, WaveToneAndSampledWaveKeepTheirPitch)
{
    // A 32-sample wave played 256 times a second (the wave channel).
    static signed char wave[32];
    for (int i = 0; i < 32; ++i)
        wave[i] = i < 16 ? 127 : -128;
    SetWave(2, wave, 32, 0);
    SetTone(2, 256, 255);
    EXPECT_NEAR(Frequency(Mix(8192), 44100), 256, 256 * 0.01);

    // Samples at 16,386 Hz with a 32-byte period: 512 Hz.
    ResetSoundMixer();
    SetWave(4, wave, 32, 16386);
    SetTone(4, 1, 255);
    EXPECT_NEAR(Frequency(Mix(8192), 44100), 512, 512 * 0.01);
    EXPECT_EQ(GetWavePosition(4), wave + SoundMixer.channel[4].playOffset);
}

TEST_F(MixerTest, WavePositionOnlyForSampledWaves)
{
    static signed char wave[32];
    SetWave(0, wave, 32, 0);
    EXPECT_EQ(GetWavePosition(0), nullptr); // a tone's wave
    SetWave(1, wave, 32, 8000);
    EXPECT_NE(GetWavePosition(1), nullptr);
    SetSound(1, SoundTypeTone);
    EXPECT_EQ(GetWavePosition(1), nullptr);
    EXPECT_EQ(GetWavePosition(7), nullptr);
}

TEST_F(MixerTest, HugeFrequenciesAndRatesStayInRange)
{
    // Spans computed in 64 bits and at least 1: no division by zero, no wrap.
    static signed char wave[32];
    for (int i = 0; i < 32; ++i)
        wave[i] = static_cast<signed char>(i * 8 - 128);
    SetWave(3, wave, 32, 2000000000);
    SetTone(3, 2000000000, 255);
    auto const out = Mix(1000, {48000, nullptr, true, 100});
    EXPECT_EQ(out.size(), 1000u);
    SetWave(4, wave, 32, 0);
    SetTone(4, 131072, 255);
    Mix(1000, {48000, nullptr, true, 100});
}

TEST_F(MixerTest, NoiseIsNotSilentAndClampedAboveTheRate)
{
    SetSound(3, SoundTypeNoise);
    SetTone(3, 8192, 255);
    auto const out = Mix(4096);
    int changes = 0;
    for (size_t i = 1; i < out.size(); ++i)
        changes += out[i] != out[i - 1];
    EXPECT_GT(changes, 100);
}

} // namespace
} // namespace Tavrin
