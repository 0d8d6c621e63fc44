// The sound class's mixer on the dummy audio device: tones, noise, waves and
// the output scaling.
#include "modules/cindrel/sound/CindrelSound.h"
#include "modules/sounddriver/SoundDriver.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace Cindrel::Test {
namespace {

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        environment.Set("SDL_AUDIODRIVER", "dummy");
        sound = std::make_unique<CindrelSound>(nullptr);
        sound->Open(44100, 8, false);
        ASSERT_EQ(sound->m_rate, 44100);
        sound->m_volume = 100;
        sound->m_noise = true;
        for (int c = 0; c < CindrelSound::kChannels; ++c)
            sound->m_channelEnabled[c] = true;
    }

    std::vector<uint8_t> Mix(int count)
    {
        std::vector<uint8_t> out(size_t(count) + 16, 0xEE);
        EXPECT_EQ(sound->Mix(out.data(), count), count);
        // Nothing past the buffer.
        for (size_t i = size_t(count); i < out.size(); ++i)
            EXPECT_EQ(out[i], 0xEE);
        out.resize(size_t(count));
        return out;
    }

    QuintarTest::ScopedEnvironment environment;
    std::unique_ptr<CindrelSound> sound;
};

TEST_F(MixerTest, ToneLevelsAndTheNyquistLimit)
{
    sound->SetChannelType(0, SoundTypeTone);
    sound->SetChannelTone(0, 440, 255);
    std::vector<uint8_t> const out = Mix(1000);
    std::set<uint8_t> const levels(out.begin(), out.end());
    EXPECT_EQ(levels, (std::set<uint8_t>{96, 159}));

    sound->SetChannelTone(0, 22050, 255);
    std::vector<uint8_t> const silent = Mix(100);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](uint8_t s) { return s == 128; }));
    sound->SetChannelTone(0, 22049, 255);
    std::vector<uint8_t> const plays = Mix(100);
    EXPECT_FALSE(std::all_of(plays.begin(), plays.end(), [](uint8_t s) { return s == 128; }));
}

TEST_F(MixerTest, ToneCallsOutsideTheChannelsOrWithoutVolumeSilence)
{
    sound->SetChannelType(1, SoundTypeTone);
    sound->SetChannelTone(1, 440, 0);
    EXPECT_EQ(sound->GetFrequency(1), 0);
    sound->SetChannelTone(7, 440, 255); // ignored
    sound->SetChannelTone(1, 440, 999);
    EXPECT_EQ(sound->GetVolume(1), 255);
    sound->m_channelEnabled[1] = false;
    std::vector<uint8_t> const out = Mix(200);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t s) { return s == 128; }));
}

TEST_F(MixerTest, NoiseFollowsTheNoiseSetting)
{
    sound->SetChannelType(3, SoundTypeNoise);
    sound->SetChannelTone(3, 447443, 255);
    std::vector<uint8_t> const out = Mix(500);
    EXPECT_FALSE(std::all_of(out.begin(), out.end(), [](uint8_t s) { return s == 128; }));
    sound->m_noise = false;
    std::vector<uint8_t> const off = Mix(500);
    EXPECT_TRUE(std::all_of(off.begin(), off.end(), [](uint8_t s) { return s == 128; }));
}

TEST_F(MixerTest, WavesRepeatAtTheToneFrequencyAndSamplesAtTheirRate)
{
    // A 32-sample square at 441 Hz: 100 output samples per period.
    static signed char wave[32];
    for (int i = 0; i < 32; ++i)
        wave[i] = i < 16 ? 127 : -128;
    sound->SetChannelWave(0, wave, 32, 0);
    sound->SetChannelTone(0, 441, 255);
    std::vector<uint8_t> const out = Mix(4410);
    int rises = 0;
    for (size_t i = 1; i < out.size(); ++i)
        rises += out[i - 1] < 128 && out[i] >= 128;
    EXPECT_NEAR(rises, 44, 1);

    // A huge request is mixed in parts, never past the buffer.
    Mix(100000);
}

} // namespace
} // namespace Cindrel::Test
