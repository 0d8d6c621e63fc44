// The module sound's mixer: squares, noise, the channel switches and the
// master volume, read back from the unsigned 8-bit samples it writes.
#include "modules/belcrest/sound/BelcrestSound.h"
#include "modules/belcrest/sound/MachineChips.h"
#include "modules/sounddriver/SoundDriver.h"

#include <gtest/gtest.h>

#include <vector>

namespace Belcrest::Test {
namespace {

class MixerTest : public ::testing::Test {
protected:
    // 1000 Hz at 32,000 Hz: the phase steps by exactly 2048, so a period
    // is 32 samples.
    static constexpr int kRate = 32000;

    void SetUp() override
    {
        sound.Open(kRate, 8, false);
        ASSERT_TRUE(sound.IsOpen()) << "the dummy audio driver should open";
        for (int i = 0; i < BelcrestSound::kChannels; ++i)
            sound.m_channelEnabled[i] = true;
        sound.m_noise = true;
        sound.m_volume = 100;
    }

    std::vector<uint8_t> Mix(int count)
    {
        std::vector<uint8_t> out(size_t(count), 0xEE);
        EXPECT_EQ(sound.Mix(out.data(), count), count);
        return out;
    }

    BelcrestSound sound{nullptr};
};

TEST_F(MixerTest, OpenStartsFromSilentChannelsWithTheNoiseOnChannelThree)
{
    EXPECT_EQ(ModuleSound(), &sound);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sound.GetChannel(i).frequency, 0u);
        EXPECT_EQ(sound.GetChannel(i).volume, 0);
        EXPECT_EQ(sound.GetChannel(i).type, i == 3 ? SoundTypeNoise : SoundTypeTone);
    }
    EXPECT_EQ(sound.m_bits, 8);
    EXPECT_FALSE(sound.m_stereo);
    EXPECT_EQ(sound.GetNoiseRegister(), 1u);
    for (uint8_t sample : Mix(64))
        ASSERT_EQ(sample, 128);
}

TEST_F(MixerTest, AFullVolumeSquareSpendsHalfItsPeriodOnEachSideWithZeroAtTheEdges)
{
    SetTone(0, 1000, 255);
    std::vector<uint8_t> const out = Mix(64);
    // 255 x 128 x 255 >> 18 = 31 above, -32 below the middle.
    for (int i = 0; i < 64; ++i) {
        int const inPeriod = i % 32;
        uint8_t const expected = inPeriod == 15 || inPeriod == 31 ? 128 : inPeriod < 15 ? 96 : 159;
        EXPECT_EQ(out[size_t(i)], expected) << i;
    }
    EXPECT_EQ(sound.GetChannel(0).phase, 64u * 2048u);
}

TEST_F(MixerTest, TheFiveMixerCases)
{
    // Four full squares in step reach both ends of the byte:
    // 130,560 x 255 >> 18 = 127 and -130,560 x 255 >> 18 = -128.
    SoundHooks.setSound(3, SoundTypeTone);
    for (int i = 0; i < 4; ++i)
        SetTone(i, 1000, 255);
    std::vector<uint8_t> out = Mix(32);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[16], 255);
    for (int i = 0; i < 4; ++i)
        SetTone(i, 0, 0);

    // A tone at exactly R / 3 is silent and its phase stands still.
    SetTone(1, kRate / 3, 255);
    for (uint8_t sample : Mix(32))
        ASSERT_EQ(sample, 128);
    EXPECT_EQ(sound.GetChannel(1).phase, 32u * 2048u);
    SetTone(1, kRate / 3 - 1, 255);
    EXPECT_NE(Mix(32), std::vector<uint8_t>(32, 128));
    SetTone(1, 0, 0);

    // Master volume 0 is silence.
    sound.m_volume = 0;
    for (uint8_t sample : Mix(64))
        ASSERT_EQ(sample, 128);
    sound.m_volume = 100;

    // A channel switched off drops its tones and adds nothing.
    for (int i = 0; i < 4; ++i)
        SetTone(i, 0, 0);
    sound.m_channelEnabled[2] = false;
    SetTone(2, 1000, 255);
    EXPECT_EQ(sound.GetChannel(2).frequency, 0u);
    for (uint8_t sample : Mix(32))
        ASSERT_EQ(sample, 128);
    // It still adds nothing when switched off after its tone came.
    sound.m_channelEnabled[2] = true;
    SetTone(2, 1000, 255);
    sound.m_channelEnabled[2] = false;
    for (uint8_t sample : Mix(32))
        ASSERT_EQ(sample, 128);
}

TEST_F(MixerTest, HalfVolumeSquaresAndZeroValuesSilence)
{
    SetSound(0, SoundTypeHalfVolumeTone);
    SetTone(0, 1000, 255);
    std::vector<uint8_t> const out = Mix(32);
    // (255 + 1) >> 1 = 128: 128 x 128 x 255 >> 18 = 15 and -16.
    EXPECT_EQ(out[0], 112);
    EXPECT_EQ(out[16], 143);
    // A zero volume or frequency clears both.
    SetTone(0, 1000, 0);
    EXPECT_EQ(sound.GetChannel(0).frequency, 0u);
    SetTone(0, 0, 200);
    EXPECT_EQ(sound.GetChannel(0).volume, 0);
    // Driver channels beyond the four (the FM unit) are not played.
    SetTone(4, 1000, 255);
    SetSound(5, SoundTypeNoise);
    for (uint8_t sample : Mix(32))
        ASSERT_EQ(sample, 128);
}

TEST_F(MixerTest, NoiseClocksItsRegisterAndFollowsTheNoiseSwitch)
{
    // At the sample rate the register shifts once per sample: its first 30
    // shifts leave bit 0 clear, then the feedback sets it.
    SetTone(3, kRate, 255);
    std::vector<uint8_t> out = Mix(40);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(out[size_t(i)], 96) << i;
    EXPECT_EQ(out[30], 159);
    EXPECT_NE(sound.GetNoiseRegister(), 1u);

    // Faster noise shifts once per sample at a lower volume: 255 x R / 2R.
    uint32_t const before = sound.GetNoiseRegister();
    SetTone(3, 2 * kRate, 255);
    Mix(10);
    EXPECT_EQ(sound.GetNoiseRegister(), [before] {
        uint32_t noise = before;
        for (int i = 0; i < 10; ++i) {
            noise <<= 1;
            if (noise & 0x80000000u)
                noise ^= 0x08000001u;
        }
        return noise;
    }());

    // With "Noise" off the channel adds nothing and its register rests.
    sound.m_noise = false;
    uint32_t const resting = sound.GetNoiseRegister();
    for (uint8_t sample : Mix(32))
        ASSERT_EQ(sample, 128);
    EXPECT_EQ(sound.GetNoiseRegister(), resting);
}

TEST_F(MixerTest, AMixNeverRunsPastOneBlock)
{
    SetTone(0, 1000, 255);
    int const block = sound.m_blockSamples;
    std::vector<uint8_t> out(size_t(block) * 2, 0xEE);
    EXPECT_EQ(sound.Mix(out.data(), block * 2), block);
    EXPECT_EQ(out[size_t(block)], 0xEE);
}

TEST(MixerOpen, ReopeningHasThePsgSendEveryChannelAgain)
{
    PsgReset(0);
    PsgSync(1);
    EXPECT_EQ(MachinePsg.dirty, 0);
    BelcrestSound sound(nullptr);
    sound.Open(22050, 16, true);
    ASSERT_TRUE(sound.IsOpen());
    EXPECT_EQ(MachinePsg.dirty, 0x0F);
}

} // namespace
} // namespace Belcrest::Test
