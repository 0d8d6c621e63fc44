// The generator against a recording hook table: what each register write
// and tick sends through the sound-channel driver.
#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/sound/Psg.h"

#include <gtest/gtest.h>

#include <vector>

namespace Tavrin::Test {
namespace {

struct Call {
    char kind; // 's' sound, 't' tone, 'w' wave, 'd' drum
    int channel, a, b;
    const signed char *data;
};
std::vector<Call> Calls;

void RecSound(int c, int type) { Calls.push_back({'s', c, type, 0, nullptr}); }
void RecDrum(int type, int force) { Calls.push_back({'d', type, force, 0, nullptr}); }
void RecReserved() {}
void RecTone(int c, int f, int v) { Calls.push_back({'t', c, f, v, nullptr}); }
void RecWave(int c, const signed char *d, int length, int rate) { Calls.push_back({'w', c, length, rate, d}); }
const signed char *RecPosition(int) { return nullptr; }

class PsgTest : public testing::Test {
protected:
    void SetUp() override
    {
        SoundHooks = SoundHookTable{RecSound, RecDrum, RecReserved, RecTone, RecWave, RecPosition};
        PsgResetExtended();
        PsgSync(1);
        Calls.clear();
    }
    void TearDown() override { SoundHooks = SoundHookTable{}; }
    // The last tone sent to a channel.
    static const Call *LastTone(int channel)
    {
        for (auto it = Calls.rbegin(); it != Calls.rend(); ++it)
            if (it->kind == 't' && it->channel == channel)
                return &*it;
        return nullptr;
    }
    static void Io(uint32_t offset, uint32_t value) { ASSERT_EQ(PsgWriteIo(offset, value), 1); }
    static void Frame()
    {
        PsgTick(16);
        PsgSync(2);
    }
};

TEST_F(PsgTest, ResetSendsTypesWavesAndStatus)
{
    SoundHooks = SoundHookTable{RecSound, RecDrum, RecReserved, RecTone, RecWave, RecPosition};
    PsgReset(0);
    ASSERT_GE(Calls.size(), 7u);
    EXPECT_EQ(Calls[0].kind, 's');
    EXPECT_EQ(Calls[3].a, 2); // noise
    EXPECT_EQ(Calls[6].kind, 'w');
    EXPECT_EQ(Calls[6].channel, 2);
    EXPECT_EQ(Calls[6].data[0], -128);
    EXPECT_EQ(PsgOnFlags(), 0x80u);
}

TEST_F(PsgTest, SquareFrequencyTable)
{
    struct Case {
        uint32_t x;
        int hz;
    } const cases[] = {{0, 64}, {1750, 439}, {2047, 131072}, {1024, 128}};
    for (Case const &c : cases) {
        Calls.clear();
        Io(0x02, 0xF000);                            // volume 15, no envelope
        Io(0x04, 0x8000 | c.x);                      // start
        Frame();
        const Call *tone = LastTone(0);
        ASSERT_NE(tone, nullptr) << c.x;
        EXPECT_EQ(tone->a, c.hz) << c.x;
    }
}

TEST_F(PsgTest, WaveChannelOctaveAndLength)
{
    // Decision 6: 0x10000 / (2048 - x) for 32 samples, half that for 64.
    Io(0x10, 0x80);       // wave on, 32 samples
    Io(0x12, 0x2000);     // full volume, length 0
    Io(0x14, 0x8000 | 1792);
    Frame();
    ASSERT_NE(LastTone(2), nullptr);
    EXPECT_EQ(LastTone(2)->a, 256);
    Calls.clear();
    Io(0x10, 0xA0);       // 64 samples: the wave goes out again, an octave lower
    Frame();
    EXPECT_EQ(LastTone(2)->a, 128);
    bool waveSent = false;
    for (Call const &c : Calls)
        waveSent |= c.kind == 'w' && c.channel == 2 && c.a == 64;
    EXPECT_TRUE(waveSent);
    // Length 0 with the limit on: (256 - 0) x 1000 / 256 = 1000 ms.
    Io(0x12, 0x2000);
    Io(0x14, 0xC000 | 1792);
    for (int i = 0; i < 62; ++i)
        Frame();
    EXPECT_NE(PsgOnFlags() & 4, 0u);
    Frame();
    EXPECT_EQ(PsgOnFlags() & 4, 0u);
}

TEST_F(PsgTest, WaveVolumesAreExactHalves)
{
    struct Case {
        uint32_t field; // bits 13-14 of the wave volume register
        int volume;
    } const cases[] = {{0, 0}, {1, 255}, {2, 127}, {3, 63}};
    Io(0x10, 0x80);
    Io(0x14, 0x8000 | 1792);
    for (Case const &c : cases) {
        Io(0x12, c.field << 13);
        Frame();
        ASSERT_NE(LastTone(2), nullptr);
        EXPECT_EQ(LastTone(2)->b, c.volume) << c.field;
    }
}

TEST_F(PsgTest, BankChangeResendsTheWave)
{
    Io(0x10, 0x80);
    Frame();
    Calls.clear();
    Io(0x10, 0xC0); // bank 1 plays
    Frame();
    bool bank1 = false;
    for (Call const &c : Calls)
        bank1 |= c.kind == 'w' && c.channel == 2 && c.data == Psg.wave + 32;
    EXPECT_TRUE(bank1);
}

TEST_F(PsgTest, WaveMemoryNibblesGoToTheOtherBank)
{
    Io(0x10, 0x00); // bank 0 plays, writes go to bank 1
    Io(0x30, 0x00F0);
    EXPECT_EQ(Psg.wave[32], 127);
    EXPECT_EQ(Psg.wave[33], -128);
}

TEST_F(PsgTest, SweepPastTheTopSilencesOnlyChannelZero)
{
    Io(0x00, 0x0011); // step 7 ms, shift 1, up
    Io(0x08, 0xF000);
    Io(0x0C, 0x8000 | 100);
    Io(0x02, 0xF000);
    Io(0x04, 0x8000 | 1800);
    Frame();
    EXPECT_EQ(PsgOnFlags() & 3, 2u);
    EXPECT_EQ(Psg.channel[0].frequency, 0);
    EXPECT_NE(Psg.channel[1].frequency, 0);
}

TEST_F(PsgTest, NoiseClockFromItsControl)
{
    // 524,288 / r / 2^(s+1) Hz, r = 0 counting as 0.5; shifts 14 and 15
    // stop the clock: the channel stays on, silent.
    struct Case {
        uint32_t control;
        int hz;
    } const cases[] = {{0x00, 524288}, {0x01, 262144}, {0x07, 37449}, {0x3D, 6554},
                       {0x69, 4096},   {0xD7, 5},      {0xE0, 0},     {0xF7, 0}};
    for (Case const &c : cases) {
        Io(0x18, 0xF000);
        Io(0x1C, 0x8000 | c.control);
        Frame();
        ASSERT_NE(LastTone(3), nullptr) << c.control;
        EXPECT_EQ(LastTone(3)->a, c.hz) << c.control;
        EXPECT_EQ(PsgOnFlags() & 8, 8u) << c.control;
    }
    // A new control while it plays changes the clock at once.
    Io(0x1C, 0x0069);
    Frame();
    EXPECT_EQ(LastTone(3)->a, 4096);
    // A stopped clock still runs out its length.
    Io(0x18, 0xF03F);            // length 1: 1000 / 256 ms
    Io(0x1C, 0xC000 | 0xF0);
    Frame();
    EXPECT_EQ(PsgOnFlags() & 8, 0u);
}

TEST_F(PsgTest, PowerOffIgnoresWritesAndResetsChannels)
{
    Io(0x02, 0xF000);
    Io(0x04, 0x8000 | 1750);
    Io(0x24, 0x0000); // power off
    EXPECT_EQ(PsgOnFlags(), 0u);
    EXPECT_EQ(Psg.channel[0].frequency, 0);
    Io(0x04, 0x8000 | 1750);
    EXPECT_EQ(Psg.channel[0].frequency, 0);
    Io(0x24, 0x0080);
    Io(0x04, 0x8000 | 1750);
    EXPECT_NE(Psg.channel[0].frequency, 0);
}

TEST_F(PsgTest, OutsideTheSoundBlockIsRefused)
{
    EXPECT_EQ(PsgWriteIo(64, 0), 0);
    EXPECT_EQ(PsgWrite(48, 0), 0);
}

TEST_F(PsgTest, DeferredWritesOnlyMarkChanges)
{
    Io(0x02, 0xF000);
    Io(0x04, 0x8000 | 1750);
    EXPECT_EQ(LastTone(0), nullptr);
    Frame();
    ASSERT_NE(LastTone(0), nullptr);
    // The channel's own volume 15 on 0-255; the mixer applies the rest.
    EXPECT_EQ(LastTone(0)->b, 255);
}

} // namespace
} // namespace Tavrin::Test
