// The FM unit's model: register writes to frequencies, volumes, instruments
// and rhythm hits, and what a sync sends to the driver.
#include "modules/belcrest/sound/Fm.h"
#include "modules/belcrest/testing/DriverRecorder.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace Belcrest::Test {
namespace {

using Test::DriverCall;
using Test::DriverRecorder;
using Test::DrumCall;
using Test::SoundCall;
using Test::ToneCall;

class FmTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FmReset(fm, 4);
        FmSync(fm, 1);
        driver.Take();
    }

    void Write(std::vector<std::pair<uint8_t, uint8_t>> const &writes)
    {
        for (auto const &[reg, value] : writes) {
            FmSelectRegister(fm, reg);
            FmWriteData(fm, value);
        }
    }

    DriverRecorder driver;
    Fm fm{};
};

TEST_F(FmTest, ResetClearsTheRegistersAndSilencesEveryChannel)
{
    Fm fresh;
    FmReset(fresh, 4);
    std::vector<DriverCall> expected;
    for (int i = 0; i < 9; ++i)
        expected.push_back(SoundCall(4 + i, 0));
    EXPECT_EQ(driver.Take(), expected);
    for (int r = 0; r < 64; ++r)
        EXPECT_EQ(fresh.registers[r], r >= 0x30 && r <= 0x38 ? 15 : 0) << r;
    EXPECT_EQ(fresh.deferred, 1);
    EXPECT_EQ(fresh.toneDirty | fresh.instrumentDirty | fresh.rhythmDirty, 0u);
}

TEST_F(FmTest, RegisterWritesGiveFrequenciesAndVolumes)
{
    struct Case {
        char const *what;
        std::vector<std::pair<uint8_t, uint8_t>> writes;
        unsigned channel;
        uint32_t frequency, volume;
        uint32_t toneDirty;
    };
    Case const cases[] = {
        // 511 x 128 x 3125 >> 15 and 256 x 16 x 3125 >> 15.
        {"F-number 0x1FF, block 7, key on", {{0x10, 0xFF}, {0x20, 0x1F}}, 0, 6237, 0, 0x001},
        {"F-number 0x100, block 4, key on", {{0x13, 0x00}, {0x23, 0x19}}, 3, 390, 0, 0x008},
        {"low byte written after the key", {{0x22, 0x19}, {0x12, 0x80}}, 2, 585, 0, 0x004},
        {"no key: no tone", {{0x11, 0xFF}, {0x21, 0x0F}}, 1, 0, 0, 0x002},
        {"key off again", {{0x10, 0xFF}, {0x20, 0x1F}, {0x20, 0x0F}}, 0, 0, 0, 0x001},
        {"volume nibble", {{0x35, 0x03}}, 5, 0, 204, 0x020},
        {"loudest", {{0x38, 0x00}}, 8, 0, 255, 0x100},
        {"channel 9 does not exist", {{0x19, 0xFF}, {0x29, 0x1F}, {0x39, 0x00}}, 0, 0, 0, 0},
        {"rhythm mode silences channels 6 to 8",
         {{0x16, 0xFF}, {0x26, 0x1F}, {0x0E, 0x20}},
         6,
         0,
         0,
         0x1C0},
        {"frequency writes to a rhythm channel are kept only",
         {{0x0E, 0x20}, {0x17, 0xFF}, {0x27, 0x1F}},
         7,
         0,
         0,
         0x1C0},
        {"channels 0 to 5 stay melodic in rhythm mode", {{0x0E, 0x20}, {0x15, 0xFF}, {0x25, 0x1F}}, 5, 6237, 0, 0x1E0},
    };
    for (Case const &c : cases) {
        FmReset(fm, 4);
        Write(c.writes);
        EXPECT_EQ(fm.frequency[c.channel], c.frequency) << c.what;
        EXPECT_EQ(fm.volume[c.channel], c.volume) << c.what;
        EXPECT_EQ(fm.toneDirty, c.toneDirty) << c.what;
    }
}

TEST_F(FmTest, WritesThatChangeNothingAreNotStored)
{
    for (uint8_t r : {0x19, 0x1F, 0x29, 0x2F, 0x39, 0x3F})
        FmWriteRegister(fm, r, 0x5A);
    for (uint8_t r : {0x19, 0x1F, 0x29, 0x2F, 0x39, 0x3F})
        EXPECT_EQ(fm.registers[r], 0) << int(r);
    // The same low byte twice marks once; the same key byte marks again.
    Write({{0x20, 0x1F}, {0x10, 0x40}});
    FmSync(fm, 2);
    driver.Take();
    Write({{0x10, 0x40}});
    EXPECT_EQ(fm.toneDirty, 0u);
    Write({{0x20, 0x1F}});
    EXPECT_EQ(fm.toneDirty, 1u);
    // The register number wraps at 64.
    FmWriteRegister(fm, 0x40 + 0x31, 0x20);
    EXPECT_EQ(fm.registers[0x31], 0x20);
    // The custom instrument registers are kept.
    FmWriteRegister(fm, 0x03, 0x77);
    EXPECT_EQ(fm.registers[0x03], 0x77);
}

TEST_F(FmTest, RhythmControlWithoutRhythmModeKeepsNoDrumBits)
{
    Write({{0x0E, 0x1F}});
    EXPECT_EQ(fm.registers[0x0E], 0x00);
    EXPECT_EQ(fm.rhythmDirty, 0u);
    Write({{0x0E, 0x3F}});
    EXPECT_EQ(fm.registers[0x0E], 0x3F);
    EXPECT_EQ(fm.rhythmDirty, 0x1Fu);
}

TEST_F(FmTest, SyncSendsInstrumentsTonesThenDrumsInTheirOrder)
{
    Write({{0x30, 0x53}, {0x10, 0x00}, {0x20, 0x19}, {0x36, 0x02}, {0x37, 0x13}, {0x38, 0x45}, {0x0E, 0x37}});
    FmSync(fm, 2);
    EXPECT_EQ(driver.Take(), (std::vector<DriverCall>{
                                 SoundCall(4, 0x100 | 71),  // instrument 5
                                 SoundCall(11, 0x100 | 40), // instrument 1
                                 SoundCall(12, 0x100 | 73), // instrument 4
                                 ToneCall(4, 390, 204),
                                 ToneCall(10, 0, 221),
                                 ToneCall(11, 0, 204),
                                 ToneCall(12, 0, 170),
                                 DrumCall(0x100 + 42, 17), // hi-hat: 0x37 high nibble 1
                                 DrumCall(0x100 + 49, 85), // cymbal: 0x38 low nibble 5
                                 DrumCall(0x100 + 47, 68), // tom: 0x38 high nibble 4
                                 DrumCall(0x100 + 36, 34), // bass drum: 0x36 low nibble 2
                             }));
    // A key going off is a hit of force 0; a volume change of a keyed
    // rhythm instrument hits again.
    Write({{0x0E, 0x33}, {0x37, 0x14}});
    FmSync(fm, 2);
    EXPECT_EQ(driver.Take(), (std::vector<DriverCall>{ToneCall(11, 0, 187), DrumCall(0x100 + 42, 17),
                                                      DrumCall(0x100 + 47, 0)}));
    EXPECT_EQ(fm.toneDirty | fm.instrumentDirty | fm.rhythmDirty, 0u);
}

TEST_F(FmTest, WithoutDeferralAStoredChangeGoesOutAtOnce)
{
    FmSync(fm, 0);
    Write({{0x32, 0x0A}});
    EXPECT_EQ(driver.Take(), (std::vector<DriverCall>{ToneCall(6, 0, 85)}));
    Write({{0x32, 0x0A}});
    EXPECT_TRUE(driver.Take().empty());
}

} // namespace
} // namespace Belcrest::Test
