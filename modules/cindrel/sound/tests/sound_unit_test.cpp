// The sound unit through its registers and its CPU-cycle clock, with the
// driver's hooks recording what reaches them and a flat 64 KB memory behind
// the CPU's map.
#include "common/zorvan/ByteStream.h"
#include "modules/cindrel/cpu/CpuBus.h"
#include "modules/cindrel/sound/SoundUnit.h"
#include "modules/sounddriver/SoundDriver.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace Cindrel::Test {
namespace {

struct Tone {
    int frequency;
    int volume;
};
std::map<int, Tone> tones;
std::map<int, int> waveLengths;
std::map<int, int> waveRates;

constexpr int64_t Base = 1000;

class SoundUnitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tones.clear();
        waveLengths.clear();
        waveRates.clear();
        SoundHooks = {};
        SoundHooks.setTone = [](int c, int f, int v) { tones[c] = {f, v}; };
        SoundHooks.setWave = [](int c, const signed char *, int n, int rate) {
            waveLengths[c] = n;
            waveRates[c] = rate;
        };
        memory.assign(0x10000, 0);
        for (int i = 0; i < 8; ++i)
            FetchMap[i] = memory.data() + i * 0x2000;
        Reset(0);
    }

    void Reset(int setup)
    {
        ApuReset(unit, setup);
        ApuRunTo(unit, Base);
    }

    void Write(std::initializer_list<std::pair<int, int>> writes)
    {
        for (auto [r, v] : writes)
            ApuWrite(unit, r, uint8_t(v));
    }

    // Runs the unit to `cycles` after Base.
    void At(int64_t cycles) { ApuRunTo(unit, Base + cycles); }

    static std::vector<uint8_t> Image(const SoundUnitState &u)
    {
        Zorvan::ByteWriter out;
        ApuWriteImage(u, out);
        return out.bytes();
    }

    SoundUnitState unit{};
    std::vector<uint8_t> memory;
};

TEST_F(SoundUnitTest, ToneFrequenciesOfTheSquaresAndTheTriangleAnOctaveBelow)
{
    struct Case {
        int timer, square, triangle;
    } const cases[] = {{6, 0, 0}, {7, 13982, 6991}, {253, 440, 220}, {126, 880, 440}, {2047, 54, 27}};
    for (Case const &c : cases) {
        EXPECT_EQ(SquareFrequency(c.timer), c.square) << c.timer;
        EXPECT_EQ(TriangleFrequency(c.timer), c.triangle) << c.timer;
    }
}

// What the driver hears of each channel, once the sequencer has clocked the
// envelopes and the linear counter: full-volume channels at 255 as before.
TEST_F(SoundUnitTest, ChannelsReachTheDriverAtTheirLevels)
{
    struct Case {
        const char *what;
        std::vector<std::pair<int, int>> writes;
        int channel, frequency, volume;
    } const cases[] = {
        {"square 1, constant 15", {{0x00, 0xBF}, {0x01, 0x08}, {0x02, 253}, {0x03, 0x08}}, 0, 440, 255},
        {"square 2, constant 7", {{0x04, 0x37}, {0x05, 0x08}, {0x06, 253}, {0x07, 0x08}}, 1, 440, 7 * 255 / 15},
        {"square 1, decaying from 15", {{0x00, 0x83}, {0x01, 0x08}, {0x02, 253}, {0x03, 0x08}}, 0, 440, 15 * 255 / 15},
        {"triangle", {{0x08, 0xFF}, {0x0A, 126}, {0x0B, 0x08}}, 2, 440, 255},
        {"noise, constant 15", {{0x0C, 0x3F}, {0x0E, 0x04}, {0x0F, 0x08}}, 3, 27965, 255},
        {"square 1 without $4015", {{0x15, 0x00}, {0x00, 0xBF}, {0x01, 0x08}, {0x02, 253}, {0x03, 0x08}}, 0, 0, 255},
    };
    for (Case const &c : cases) {
        Reset(0);
        tones.clear();
        ApuWrite(unit, 0x15, 0x0F);
        for (auto [r, v] : c.writes)
            ApuWrite(unit, r, uint8_t(v));
        At(7460); // one quarter frame: envelopes start, the linear counter loads
        ApuSync(unit, 0x82);
        EXPECT_EQ(tones[c.channel].frequency, c.frequency) << c.what;
        EXPECT_EQ(tones[c.channel].volume, c.volume) << c.what;
    }
}

// The step cycles of both sequences in both regions, seen as the quarter
// frames clocking the triangle's linear counter, the half frames clocking a
// length counter, and the frame interrupt flag; counted from the restart a
// $4017 write makes 3 cycles later on an even cycle and 4 on an odd one.
TEST_F(SoundUnitTest, FrameSequencerStepsOnTheCpuClock)
{
    struct Case {
        bool pal;
        uint8_t mode;
        int writeAt;
        std::vector<int> quarters, halves;
        int irq; // first cycle of the flag, -1 none
    } const cases[] = {
        {false, 0x00, 10, {7457, 14913, 22371, 29829, 37287}, {14913, 29829, 44743}, 29828},
        {false, 0x00, 11, {7457, 14913, 22371, 29829, 37287}, {14913, 29829, 44743}, 29828},
        {false, 0x80, 10, {0, 7457, 14913, 22371, 37281, 44739}, {0, 14913, 37281, 52195}, -1},
        {false, 0x40, 10, {7457, 14913, 22371, 29829, 37287}, {14913, 29829, 44743}, -1},
        {true, 0x00, 10, {8313, 16627, 24939, 33253, 41567}, {16627, 33253, 49881}, 33252},
        {true, 0x80, 10, {0, 8313, 16627, 24939, 41565, 49879}, {0, 16627, 41565, 58193}, -1},
    };
    for (Case const &c : cases) {
        Reset(c.pal ? ApuPal : 0);
        Write({{0x15, 0x0F}, {0x00, 0x10}, {0x03, 0x08}, {0x08, 0x7F}, {0x0B, 0x08}});
        At(c.writeAt);
        ApuWrite(unit, 0x17, c.mode);
        const int64_t restart = c.writeAt + ((Base + c.writeAt) & 1 ? 4 : 3);
        std::vector<int> quarters, halves;
        int irq = -1;
        for (int64_t t = c.writeAt + 1; t <= restart + c.halves.back() + 1; ++t) {
            const uint8_t linear = unit.linearCounter, length = unit.lengthCounter[0];
            At(t);
            if (unit.linearCounter != linear)
                quarters.push_back(int(t - restart));
            if (unit.lengthCounter[0] != length)
                halves.push_back(int(t - restart));
            if ((unit.status & 0x40) && irq < 0)
                irq = int(t - restart);
        }
        quarters.resize(std::min(quarters.size(), c.quarters.size()));
        const std::string name = std::string(c.pal ? "PAL" : "NTSC") + " $4017=" + std::to_string(c.mode) +
                                 " at " + std::to_string(c.writeAt);
        EXPECT_EQ(quarters, c.quarters) << name;
        EXPECT_EQ(halves, c.halves) << name;
        EXPECT_EQ(irq, c.irq) << name;
    }
}

// A halt bit or a length load written on the cycle before a length clock
// (the clock first shows in a read on the next) lands together with the
// clock: the clock counts with the halt bit as it stood, and a load is lost
// when the clock counted the counter down (a counter at 0, or halted,
// loads). Written a cycle earlier or on the clock's cycle, the write is
// simply before or after it. $4017 = 0 is written at cycle 10 (the
// sequence restarts at 13), so the clock falls on cycle C = 13 + 14913;
// square 1 starts with 254 (length index 1), a load gives 2.
TEST_F(SoundUnitTest, WritesOnTheCycleBeforeALengthClockLandWithIt)
{
    constexpr int64_t C = 13 + 14913;
    struct Case {
        const char *what;
        uint8_t control; // $4000 at the start
        bool emptied;    // the counter was run down to 0 before
        int64_t at;      // the write's cycle
        int reg, value;
        int want;        // the counter after the clock
    } const cases[] = {
        {"halted before: not clocked", 0x10, false, C - 2, 0x00, 0x30, 254},
        {"halted with the clock: clocked", 0x10, false, C - 1, 0x00, 0x30, 253},
        {"halted after: clocked", 0x10, false, C, 0x00, 0x30, 253},
        {"unhalted before: clocked", 0x30, false, C - 2, 0x00, 0x10, 253},
        {"unhalted with the clock: not clocked", 0x30, false, C - 1, 0x00, 0x10, 254},
        {"loaded before, then clocked", 0x10, false, C - 2, 0x03, 0x18, 1},
        {"loaded with the clock, counter running: lost", 0x10, false, C - 1, 0x03, 0x18, 253},
        {"loaded after the clock", 0x10, false, C, 0x03, 0x18, 2},
        {"loaded with the clock, counter at 0: loads", 0x10, true, C - 1, 0x03, 0x18, 2},
        {"loaded with the clock, halted: loads", 0x30, false, C - 1, 0x03, 0x18, 2},
    };
    for (const Case &c : cases) {
        Reset(0);
        Write({{0x15, 0x01}, {0x00, c.control}, {0x03, 0x08}});
        if (c.emptied)
            Write({{0x15, 0x00}, {0x15, 0x01}});
        At(10);
        ApuWrite(unit, 0x17, 0x00);
        At(c.at);
        ApuWrite(unit, c.reg, uint8_t(c.value));
        At(C + 1);
        EXPECT_EQ(unit.lengthCounter[0], c.want) << c.what;
    }
}

// $4015 as the CPU reads it after each event, the sequence restarted by a
// $4017 write at cycle 0 (so its steps come 3 cycles later).
TEST_F(SoundUnitTest, StatusAfterEachEvent)
{
    constexpr int64_t R = 3;
    struct Step {
        const char *what;
        int64_t at;     // cycles after Base
        int reg, value; // a write, or reg -1 for a read
        uint8_t status; // what $4015 reads then (or the write returns)
    } const steps[] = {
        {"power-on: nothing runs", 0, -1, 0, 0x00},
        {"four steps, interrupt on", 0, 0x17, 0x00, 0x00},
        {"a length loaded while disabled stays 0", 0, 0x03, 0x08, 0x00},
        {"enable all four", 0, 0x15, 0x0F, 0x00},
        {"square 1 length 2", 0, 0x03, 0x18, 0x01},
        {"triangle length", 0, 0x0B, 0x08, 0x05},
        {"noise, halted", 0, 0x0C, 0x20, 0x05},
        {"noise length", 0, 0x0F, 0x18, 0x0D},
        {"first half frame: square 1 at 1", R + 14913, -1, 0, 0x0D},
        {"frame interrupt, which the read clears", R + 29828, -1, 0, 0x4D},
        {"set again, and the second half frame ends square 1", R + 29829, -1, 0, 0x4C},
        {"set a third time", R + 29830, -1, 0, 0x4C},
        {"then left clear", R + 29831, -1, 0, 0x0C},
        {"the next sequence sets it again", R + 29830 + 29828, -1, 0, 0x4C},
        {"set, unread", R + 2 * 29830 + 29828, 0x15, 0x0D, 0x4C},
        {"masking clears it at once", R + 2 * 29830 + 29828, 0x17, 0x40, 0x0C},
        {"no flag while masked", R + 4 * 29830, -1, 0, 0x0C},
        {"disabling the triangle clears its length", R + 4 * 29830, 0x15, 0x09, 0x08},
    };
    for (Step const &s : steps) {
        At(s.at);
        const uint8_t status = s.reg < 0 ? ApuReadStatus(unit) : ApuWrite(unit, s.reg, uint8_t(s.value));
        EXPECT_EQ(status, s.status) << s.what;
    }
}

TEST_F(SoundUnitTest, LengthEnvelopeSweepAndLinearCounterUnits)
{
    // The halt bit suspends the length counter; the length table.
    Write({{0x15, 0x0F}, {0x00, 0x30}, {0x03, 14 << 3}});
    EXPECT_EQ(unit.lengthCounter[0], 26);
    At(100000);
    EXPECT_EQ(unit.lengthCounter[0], 26);
    Write({{0x00, 0x10}});
    At(100000 + 29830);
    EXPECT_EQ(unit.lengthCounter[0], 24);

    // Envelope period 0: 15 at the quarter frame after $4003, one lower at
    // each of the next; from 0 back to 15 with the loop bit, else held at 0.
    for (int loop : {0x20, 0x00}) {
        Reset(0);
        Write({{0x15, 0x01}, {0x00, loop}, {0x03, 0x08}});
        std::vector<int> levels;
        for (int q = 0; q < 18; ++q) {
            ClockQuarterFrame(unit);
            levels.push_back(unit.envelopeLevel[0]);
        }
        const int after = loop ? 15 : 0;
        EXPECT_EQ(levels, (std::vector<int>{15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, after, loop ? 14 : 0}));
    }
    // Period 2: a step every third quarter frame.
    Reset(0);
    Write({{0x15, 0x01}, {0x00, 0x02}, {0x03, 0x08}});
    for (int q = 0; q < 7; ++q)
        ClockQuarterFrame(unit);
    EXPECT_EQ(unit.envelopeLevel[0], 13);

    // Sweeps: shift 1 up adds half; down subtracts half, one more on square 1;
    // shift 0 never moves the period.
    struct Case {
        int channel, sweep, timer;
    } const cases[] = {{0, 0x81, 0x180}, {0, 0x89, 0x100 - 0x80 - 1}, {1, 0x89, 0x100 - 0x80}, {0, 0x88, 0x100}};
    for (Case const &c : cases) {
        Reset(0);
        const int r = 4 * c.channel;
        Write({{0x15, 0x03}, {r, 0x3F}, {r + 1, c.sweep}, {r + 2, 0x00}, {r + 3, 0x09}});
        ClockHalfFrame(unit);
        EXPECT_EQ(unit.timer[c.channel], c.timer) << std::hex << c.sweep;
    }
    // A sweep aiming past 11 bits mutes a square, sweeping or not; so does a
    // period below 8; negating takes the mute away.
    struct Mute {
        int sweep, low, high, frequency;
    } const mutes[] = {{0x00, 0x00, 0x04, 0}, {0x08, 0x00, 0x04, 111861 / 1025}, {0x08, 0x07, 0x00, 0},
                       {0x08, 0x08, 0x00, 111861 / 9}, {0x01, 0xFF, 0x05, 0}, {0x02, 0xFF, 0x05, 111861 / 1536}};
    for (Mute const &m : mutes) {
        Reset(0);
        Write({{0x15, 0x01}, {0x00, 0x3F}, {0x01, m.sweep}, {0x02, m.low}, {0x03, 0x08 | m.high}});
        EXPECT_EQ(unit.frequency[0], m.frequency) << std::hex << m.sweep << " " << m.high << m.low;
    }

    // The linear counter: loaded at the first quarter frame after $400B,
    // then counting down while the control bit is clear; the triangle is
    // silent at 0 though its length counter still runs.
    Reset(0);
    Write({{0x15, 0x04}, {0x08, 0x03}, {0x0A, 126}, {0x0B, 0x08}});
    EXPECT_EQ(unit.frequency[2], 0);
    ClockQuarterFrame(unit);
    RefreshChannels(unit);
    EXPECT_EQ(unit.linearCounter, 3);
    EXPECT_EQ(unit.frequency[2], 440);
    for (int q = 0; q < 3; ++q)
        ClockQuarterFrame(unit);
    RefreshChannels(unit);
    EXPECT_EQ(unit.linearCounter, 0);
    EXPECT_EQ(unit.frequency[2], 0);
    EXPECT_EQ(unit.status & 4, 4);
    // With the control bit set, $400B's reload holds at every quarter frame.
    Write({{0x08, 0x83}, {0x0B, 0x08}});
    ClockQuarterFrame(unit);
    ClockQuarterFrame(unit);
    EXPECT_EQ(unit.linearCounter, 3);
}

TEST_F(SoundUnitTest, DeltaSamplesAreDeltaModulation)
{
    // 17 bytes from $C000: nine of ones, then zeros.
    for (int i = 0; i < 9; ++i)
        memory[0xC000 + i] = 0xFF;
    Write({{0x10, 0x0F}, {0x11, 0x40}, {0x12, 0x00}, {0x13, 0x01}, {0x15, 0x10}});
    EXPECT_EQ(waveLengths[4], 136);
    EXPECT_EQ(waveRates[4], 33144);
    EXPECT_EQ(DmcSampleBuffer[0], 66 * 255 / 127 - 128);
    EXPECT_EQ(DmcSampleBuffer[7], 80 * 255 / 127 - 128);
    EXPECT_EQ(DmcSampleBuffer[71], 126 * 255 / 127 - 128); // held at the top
    EXPECT_EQ(DmcSampleBuffer[72], 124 * 255 / 127 - 128); // zeros come down
    EXPECT_EQ(unit.registers[0x11], 0);                    // the zeros reach the bottom

    // The address wraps from $FFFF to $8000.
    Reset(0);
    memory[0x8000] = 0xFF;
    Write({{0x10, 0x40}, {0x11, 0x00}, {0x12, 0xFF}, {0x13, 0x04}, {0x15, 0x10}});
    EXPECT_EQ(waveLengths[4], 65 * 8);
    EXPECT_EQ(DmcSampleBuffer[64 * 8 - 1], -128);
    EXPECT_EQ(DmcSampleBuffer[65 * 8 - 1], 16 * 255 / 127 - 128);
}

// The delta channel's byte count, fetches and end: a fetch whenever an
// output byte takes the buffer, 8 periods apart, the rate tables of both
// regions, the interrupt at the last fetch, and loops that never end.
TEST_F(SoundUnitTest, DeltaChannelOnTheCpuClock)
{
    for (bool pal : {false, true}) {
        for (int rate = 0; rate < 16; ++rate) {
            Reset(pal ? ApuPal : 0);
            Write({{0x10, 0x80 | rate}, {0x13, 0x01}, {0x15, 0x10}});
            // The empty buffer took the first byte at once.
            EXPECT_EQ(unit.dmcBytesLeft, 16);
            const int64_t period = DmcPeriods[pal][rate];
            int64_t lastFetch = -1, firstFetch = -1;
            for (int64_t t = 1; unit.dmcBytesLeft; ++t) {
                const int left = unit.dmcBytesLeft;
                At(t);
                if (unit.dmcBytesLeft != left) {
                    if (firstFetch >= 0)
                        EXPECT_EQ(t - lastFetch, 8 * period) << pal << " rate " << rate;
                    else
                        firstFetch = t;
                    lastFetch = t;
                }
            }
            // The bit under way at the write still takes the reset rate's period.
            EXPECT_LE(firstFetch, DmcPeriods[pal][0] + 7 * period);
            EXPECT_EQ(unit.status & 0x90, 0x80) << "the end raises the interrupt";
        }
    }

    // Reading the status leaves the delta interrupt; writing $4015 clears it,
    // as does $4010 without bit 7.
    EXPECT_EQ(ApuReadStatus(unit) & 0x80, 0x80);
    EXPECT_EQ(ApuReadStatus(unit) & 0x80, 0x80);
    EXPECT_EQ(ApuWrite(unit, 0x15, 0x00) & 0x80, 0);

    // $4013 = 0 is one byte: fetched at once, so the count is 0 straight
    // after the write and the interrupt is up.
    Reset(0);
    EXPECT_EQ(ApuWrite(unit, 0x10, 0x8F), 0);
    EXPECT_EQ(ApuWrite(unit, 0x15, 0x10) & 0x90, 0x80);
    EXPECT_EQ(ApuWrite(unit, 0x10, 0x0F) & 0x80, 0);

    // A loop reloads the count from $4013 each time and never ends or
    // interrupts; clearing the loop bit lets it end.
    Reset(0);
    Write({{0x10, 0xCF}, {0x13, 0x01}, {0x15, 0x10}});
    At(100000);
    EXPECT_EQ(unit.status & 0x90, 0x10);
    Write({{0x13, 0x02}, {0x10, 0x8F}});
    At(200000);
    EXPECT_EQ(unit.status & 0x90, 0x80);
}

TEST_F(SoundUnitTest, TheNextInterruptStep)
{
    // Four steps, unmasked: each cycle the flag is set; a pending $4017
    // write: its restart; masked: none. The power-on sequence started 7
    // cycles before the unit was tied to the clock.
    const int64_t r = Base - 7;
    EXPECT_EQ(ApuNextEvent(unit), r + 29828);
    At(r + 29828 - Base);
    EXPECT_EQ(ApuNextEvent(unit), r + 29829);
    Write({{0x17, 0x40}});
    EXPECT_EQ(ApuNextEvent(unit), r + 29828 + 4);
    At(29840);
    EXPECT_EQ(ApuNextEvent(unit), INT64_MAX);
    // A delta sample with its interrupt: the cycle of its last fetch.
    Write({{0x10, 0x8F}, {0x13, 0x01}, {0x15, 0x10}});
    const int64_t predicted = ApuNextEvent(unit);
    while (!(unit.status & 0x80))
        ApuRunTo(unit, unit.cycle + 1);
    EXPECT_EQ(unit.cycle, predicted);
}

TEST_F(SoundUnitTest, WaveChannel)
{
    Write({{0x80, 0x8F}});
    EXPECT_EQ(unit.volume[5], 15 * 255 / 31);
    // Gains above 31 play as 31: the volume stays within its 0-255 record.
    Write({{0x80, 0xBF}});
    EXPECT_EQ(unit.volume[5], 255);
    Write({{0x80, 0x9F}, {0x82, 0x00}, {0x83, 0x01}});
    EXPECT_EQ(unit.volume[5], 255);
    EXPECT_EQ(unit.frequency[5], 256 * 55 >> 7);
    Write({{0x83, 0x81}});
    EXPECT_EQ(unit.frequency[5], 0);
    Write({{0x82, 0x40}});
    EXPECT_EQ(unit.frequency[5], 0);
}

} // namespace
} // namespace Cindrel::Test
