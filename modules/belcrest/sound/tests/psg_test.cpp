// The PSG: what register writes make of each channel's frequency and volume,
// and what reaches the driver at a sync.
#include "modules/belcrest/sound/Psg.h"
#include "modules/belcrest/testing/DriverRecorder.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace Belcrest::Test {
namespace {

using Test::DriverCall;
using Test::DriverRecorder;
using Test::DrumCall;
using Test::SoundCall;
using Test::ToneCall;

class PsgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PsgReset(psg, 0);
        PsgSync(psg, 1);
        driver.Take();
    }

    void Write(std::vector<uint8_t> const &bytes)
    {
        for (uint8_t byte : bytes)
            PsgWrite(psg, byte);
    }

    DriverRecorder driver;
    Psg psg{};
};

TEST_F(PsgTest, ResetSilencesAndSetsUpTheFourChannels)
{
    Psg fresh;
    PsgReset(fresh, 5);
    EXPECT_EQ(driver.Take(), (std::vector<DriverCall>{SoundCall(5, SoundTypeTone), SoundCall(6, SoundTypeTone),
                                                      SoundCall(7, SoundTypeTone), SoundCall(8, SoundTypeNoise)}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(fresh.frequency[i], 0u);
        EXPECT_EQ(fresh.volume[i], 0u);
        EXPECT_EQ(fresh.attenuation[i], 15);
    }
    EXPECT_EQ(fresh.deferred, 1);
    EXPECT_EQ(fresh.latch, 0);
    EXPECT_EQ(fresh.dirty, 0);
}

TEST_F(PsgTest, WriteSequencesGiveTheChipsFrequenciesAndVolumes)
{
    struct Case {
        char const *what;
        std::vector<uint8_t> bytes;
        std::array<uint32_t, 4> frequency;
        std::array<uint32_t, 4> volume;
    };
    Case const cases[] = {
        {"data before any latch", {0x0F, 0x3F}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        // 3,579,545 / (32 x 254) = 440 Hz.
        {"latch and data: N = 254", {0x8E, 0x0F}, {440, 0, 0, 0}, {0, 0, 0, 0}},
        {"a latch alone changes the low bits at once", {0x8E, 0x0F, 0x8F}, {438, 0, 0, 0}, {0, 0, 0, 0}},
        {"a data byte keeps the low bits", {0x8E, 0x0F, 0x10}, {414, 0, 0, 0}, {0, 0, 0, 0}},
        {"N = 1 is far above hearing", {0x81, 0x00}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"N = 0 is silent", {0x8E, 0x0F, 0x80, 0x00}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"N = 7 (15,980 Hz) is silent", {0x87, 0x00}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"N = 8 (13,982 Hz) sounds", {0x88, 0x00}, {13982, 0, 0, 0}, {0, 0, 0, 0}},
        {"N = 1023", {0x8F, 0x3F}, {109, 0, 0, 0}, {0, 0, 0, 0}},
        {"tones 1 and 2", {0xAE, 0x0F, 0xC0, 0x08}, {0, 440, 873, 0}, {0, 0, 0, 0}},
        {"a data byte's top two bits are dropped", {0xAE, 0xCF & 0x7F}, {0, 440, 0, 0}, {0, 0, 0, 0}},
        {"loudest and silent volume", {0x90, 0xBF, 0xD0}, {0, 0, 0, 0}, {240, 0, 240, 0}},
        {"2 dB steps", {0x91, 0xB3, 0xD6, 0xFE}, {0, 0, 0, 0}, {191, 120, 60, 10}},
        {"a data byte sets a latched volume", {0x90, 0x06}, {0, 0, 0, 0}, {60, 0, 0, 0}},
        {"a data byte after a volume leaves the tone", {0x8E, 0x0F, 0x90, 0x3F}, {440, 0, 0, 0}, {0, 0, 0, 0}},
        {"noise rate 0", {0xE0}, {0, 0, 0, 6991}, {0, 0, 0, 0}},
        {"noise rate 1", {0xE1}, {0, 0, 0, 3496}, {0, 0, 0, 0}},
        {"white noise rate 2", {0xE6}, {0, 0, 0, 1748}, {0, 0, 0, 0}},
        {"noise mode 3 takes tone 2", {0xCE, 0x0F, 0xE3}, {0, 0, 440, 440}, {0, 0, 0, 0}},
        {"noise mode 3 follows tone 2", {0xE3, 0xCE, 0x0F, 0xC0, 0x10}, {0, 0, 436, 436}, {0, 0, 0, 0}},
        {"noise leaves tone 2 again", {0xCE, 0x0F, 0xE3, 0xE1, 0xC0}, {0, 0, 466, 3496}, {0, 0, 0, 0}},
        {"a data byte sets the latched noise", {0xE0, 0x02}, {0, 0, 0, 1748}, {0, 0, 0, 0}},
        {"noise volume", {0xF4}, {0, 0, 0, 0}, {0, 0, 0, 96}},
    };
    for (Case const &c : cases) {
        PsgReset(psg, 0);
        Write(c.bytes);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(psg.frequency[i], c.frequency[size_t(i)]) << c.what << ", channel " << i;
            EXPECT_EQ(psg.volume[i], c.volume[size_t(i)]) << c.what << ", channel " << i;
        }
    }
}

TEST_F(PsgTest, ChangesWaitForTheSyncAndGoOutOnceWithTheLastValues)
{
    Write({0x8E, 0x0F, 0x92, 0x8F, 0x90, 0xF0});
    EXPECT_TRUE(driver.Take().empty());
    PsgSync(psg, 2);
    EXPECT_EQ(driver.Take(), (std::vector<DriverCall>{ToneCall(0, 438, 240), ToneCall(3, 0, 240)}));
    // Nothing changed since: nothing goes out.
    PsgSync(psg, 2);
    EXPECT_TRUE(driver.Take().empty());
    // Writing the same values again changes nothing either.
    Write({0x8F, 0x0F, 0x90});
    PsgSync(psg, 2);
    EXPECT_TRUE(driver.Take().empty());
}

TEST_F(PsgTest, WithoutDeferralEveryChangeGoesOutAtOnce)
{
    PsgSync(psg, 0);
    EXPECT_EQ(psg.deferred, 0);
    Write({0x8E});
    Write({0x0F});
    Write({0x96});
    EXPECT_EQ(driver.Take(), (std::vector<DriverCall>{ToneCall(0, 7990, 0), ToneCall(0, 440, 0), ToneCall(0, 440, 60)}));
    // Mode 2 keeps the deferral as it is.
    PsgSync(psg, 2);
    EXPECT_EQ(psg.deferred, 0);
    PsgSync(psg, 1);
    EXPECT_EQ(psg.deferred, 1);
}

TEST_F(PsgTest, SyncWithBitSevenSendsTheNoiseAsADrum)
{
    PsgSync(psg, 0x82);
    EXPECT_TRUE(driver.Take().empty()) << "silent noise is no drum";
    Write({0xE1, 0xF0});
    PsgSync(psg, 0x82);
    EXPECT_EQ(psg.deferred, 1);
    EXPECT_EQ(driver.Take(), (std::vector<DriverCall>{DrumCall(0x100 + 28, 240), ToneCall(3, 3496, 240)}));
}

TEST_F(PsgTest, ANewSoundOutputGetsEveryChannelAgain)
{
    Write({0x8E, 0x0F, 0x90, 0xB5, 0xE2});
    PsgSync(psg, 2);
    driver.Take();
    PsgRepushAll(psg);
    PsgSync(psg, 2);
    EXPECT_EQ(driver.Take(), (std::vector<DriverCall>{ToneCall(0, 440, 240), ToneCall(1, 0, 76), ToneCall(2, 0, 0),
                                                      ToneCall(3, 1748, 0)}));
}

TEST(PsgConversions, ToneVolumeAndNoiseTables)
{
    struct {
        uint32_t period, hertz;
    } const tones[] = {{0, 0}, {7, 0}, {8, 13982}, {254, 440}, {508, 220}, {1023, 109}};
    for (auto const &t : tones)
        EXPECT_EQ(PsgToneFrequency(t.period), t.hertz) << t.period;
    // Every step is 2 dB down from the one before, within rounding.
    for (uint32_t x = 1; x < 15; ++x) {
        double const ratio = double(PsgVolume(x - 1)) / double(PsgVolume(x));
        EXPECT_NEAR(ratio, 1.2589, 0.07) << x;
    }
    EXPECT_EQ(PsgVolume(0), PsgMaxVolume);
    EXPECT_EQ(PsgVolume(15), 0u);
    EXPECT_EQ(PsgNoiseFrequency(0), 6991u);
    EXPECT_EQ(PsgNoiseFrequency(1), 3496u);
    EXPECT_EQ(PsgNoiseFrequency(2), 1748u);
}

} // namespace
} // namespace Belcrest::Test
