// The sound unit through its registers, with the driver's hooks recording
// what reaches them.
#include "common/zorvan/ByteStream.h"
#include "modules/cindrel/cpu/CpuBus.h"
#include "modules/cindrel/sound/SoundUnit.h"
#include "modules/sounddriver/SoundDriver.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>
#include <vector>

namespace Cindrel {
namespace {

struct Tone {
    int frequency;
    int volume;
};
std::map<int, Tone> tones;
std::map<int, int> waveLengths;
std::map<int, int> waveRates;

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
        ApuReset(unit, 0);
    }

    void Write(std::initializer_list<std::pair<int, int>> writes)
    {
        for (auto [r, v] : writes)
            ApuWrite(unit, r, uint8_t(v));
    }

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
    // Through the registers: square 1 at t = 253, the triangle at t = 126.
    Write({{0x15, 0x0F}, {0x00, 0xBF}, {0x02, 253}, {0x03, 0x00}, {0x08, 0xFF}, {0x0A, 126}, {0x0B, 0x00}});
    EXPECT_EQ(unit.frequency[0], 440);
    EXPECT_EQ(unit.volume[0], 255);
    EXPECT_EQ(unit.frequency[2], 440);
    EXPECT_EQ(unit.status & 0x05, 0x05);
    ApuSync(unit, 2);
    EXPECT_EQ(tones[0].frequency, 440);
    EXPECT_EQ(tones[2].frequency, 440);
}

TEST_F(SoundUnitTest, LengthsFromTheTable)
{
    EXPECT_EQ(LengthTable[14], 13);
    EXPECT_EQ(NoiseFrequencyTable[15], 440);
    struct Case {
        int control, lengthRegister, ms;
    } const cases[] = {
        {0x0F, 14 << 3, 216},  // index 14: 13 sixtieths
        {0x0F, 1 << 3, 2116},  // index 1: 127 sixtieths
        {0x2F, 1 << 3, 0},     // halt bit: no limit
    };
    for (Case const &c : cases) {
        ApuReset(unit, 0);
        Write({{0x00, c.control}, {0x02, 100}, {0x03, c.lengthRegister}});
        EXPECT_EQ(unit.length[0], c.ms) << c.lengthRegister;
    }
    // 125 frame steps of 17 ms end a 2116-ms length, not 124.
    ApuReset(unit, 0);
    Write({{0x00, 0x1F}, {0x02, 100}, {0x03, 1 << 3}});
    for (int i = 0; i < 124; ++i)
        ApuFrameStep(unit, 17);
    EXPECT_EQ(unit.status & 1, 1);
    ApuFrameStep(unit, 17);
    EXPECT_EQ(unit.status & 1, 0);
    EXPECT_EQ(unit.frequency[0], 0);
}

TEST_F(SoundUnitTest, TriangleLinearCounter)
{
    Write({{0x08, 0x80}, {0x0A, 100}, {0x0B, 1 << 3}});
    EXPECT_EQ(unit.length[2], 0);
    Write({{0x08, 0x05}, {0x0B, 1 << 3}});
    EXPECT_EQ(unit.length[2], 25);
    Write({{0x08, 0x00}});
    EXPECT_EQ(unit.frequency[2], 0);
    EXPECT_EQ(unit.status & 4, 0);
}

TEST_F(SoundUnitTest, EnvelopeAndSweep)
{
    // Envelope period 0 (4 ms at 60 fps): a 17-ms step lowers the level by 4.
    Write({{0x00, 0x00}, {0x02, 100}, {0x03, 0x08}});
    EXPECT_EQ(unit.envelopeLevel[0], 15);
    ApuFrameStep(unit, 17);
    EXPECT_EQ(unit.envelopeLevel[0], 11);
    EXPECT_EQ(unit.volume[0], 11 * 255 / 15);

    // A sweep of shift 0 leaves the period alone; shift 1 adds half.
    struct Case {
        int sweep, timer;
    } const cases[] = {{0x80, 0x100}, {0x88, 0x100}, {0x81, 0x180}, {0x89, 0x100 - 0x80 - 1}};
    for (Case const &c : cases) {
        ApuReset(unit, 0);
        Write({{0x00, 0x3F}, {0x01, c.sweep}, {0x02, 0x00}, {0x03, 0x01}});
        ApuFrameStep(unit, 9); // one sweep period of 8 ms
        EXPECT_EQ(unit.timer[0], c.timer) << std::hex << c.sweep;
        EXPECT_EQ(unit.registers[2] | (unit.registers[3] & 7) << 8, c.timer);
    }
    // A rising sweep past 11 bits mutes the square.
    ApuReset(unit, 0);
    Write({{0x00, 0x3F}, {0x01, 0x81}, {0x02, 0xFF}, {0x03, 0x07}});
    EXPECT_EQ(unit.frequency[0], 0);
}

TEST_F(SoundUnitTest, DeltaSamplesAreDeltaModulation)
{
    // 17 bytes from $C000: eight 1 bits, then ones to the top, then zeros.
    memory[0xC000] = 0xFF;
    for (int i = 1; i < 9; ++i)
        memory[0xC000 + i] = 0xFF;
    Write({{0x10, 0x0F}, {0x11, 0x40}, {0x12, 0x00}, {0x13, 0x01}, {0x15, 0x10}});
    EXPECT_EQ(waveLengths[4], 136);
    EXPECT_EQ(waveRates[4], 33144);
    EXPECT_EQ(unit.length[4], 4);
    EXPECT_EQ(DmcSampleBuffer[0], 66 * 255 / 127 - 128);
    EXPECT_EQ(DmcSampleBuffer[7], 80 * 255 / 127 - 128);
    EXPECT_EQ(DmcSampleBuffer[71], 126 * 255 / 127 - 128); // held at the top
    EXPECT_EQ(DmcSampleBuffer[72], 124 * 255 / 127 - 128); // zeros come down
    EXPECT_EQ(unit.registers[0x11], 0); // the zeros reach the bottom
    // The next frame step ends it; with bit 7 of $10 the IRQ flag rises.
    Write({{0x10, 0x8F}});
    EXPECT_EQ(ApuFrameStep(unit, 17) & 0x90, 0x80);
    // $15 = $0F clears the flag.
    EXPECT_EQ(ApuWrite(unit, 0x15, 0x0F) & 0x80, 0);

    // The address wraps from $FFFF to $8000.
    ApuReset(unit, 0);
    memory[0x8000] = 0xFF;
    Write({{0x10, 0x40}, {0x11, 0x00}, {0x12, 0xFF}, {0x13, 0x04}, {0x15, 0x10}});
    EXPECT_EQ(waveLengths[4], 65 * 8);
    EXPECT_EQ(DmcSampleBuffer[64 * 8 - 1], -128);
    EXPECT_EQ(DmcSampleBuffer[65 * 8 - 1], 16 * 255 / 127 - 128);
    EXPECT_EQ(unit.length[4], 0); // loops
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

TEST_F(SoundUnitTest, RecordRoundTripAndHostileFieldsRefused)
{
    Write({{0x15, 0x0F}, {0x00, 0xBF}, {0x02, 253}, {0x03, 0x08}});
    Zorvan::ByteWriter out;
    ApuWriteImage(unit, out);
    std::vector<uint8_t> const bytes = out.bytes();
    ASSERT_EQ(bytes.size(), size_t(SoundUnitImageSize));
    SoundUnitState back{};
    Zorvan::ByteReader in(bytes.data(), bytes.size());
    ASSERT_TRUE(ApuReadImage(back, in));
    EXPECT_EQ(back.frequency[0], 440);

    struct Field {
        size_t offset;
        int32_t value;
    } const hostile[] = {
        {228, 55},         // frames per second
        {224, 3},          // first channel
        {196, 16},         // envelope level
        {168, 2048},       // timer value
        {84, -1},          // length
        {28, -5},          // frequency
        {112 + 5 * 4, 8},  // sweep timer on channel 5
        {140 + 6 * 4, 8},  // envelope timer on channel 6
    };
    for (Field const &f : hostile) {
        std::vector<uint8_t> bad = bytes;
        for (int i = 0; i < 4; ++i)
            bad[f.offset + i] = uint8_t(uint32_t(f.value) >> (8 * i));
        SoundUnitState target = back;
        Zorvan::ByteReader badIn(bad.data(), bad.size());
        EXPECT_FALSE(ApuReadImage(target, badIn)) << f.offset;
        EXPECT_EQ(target.frequency[0], 440);
    }
}

TEST_F(SoundUnitTest, AnAllZeroRecordOnlyForAUnitThatWasNeverReset)
{
    // The second unit of a cartridge without mapper 5 is saved all zero;
    // such a record in place of a running unit would leave it without a
    // frame rate, and the next sweep or length write would divide by it.
    std::vector<uint8_t> const zero(SoundUnitImageSize, 0);
    Write({{0x15, 0x0F}, {0x00, 0xBF}, {0x02, 253}, {0x03, 0x08}});
    std::vector<uint8_t> const before = Image(unit);
    Zorvan::ByteReader in(zero.data(), zero.size());
    EXPECT_FALSE(ApuReadImage(unit, in));
    EXPECT_EQ(Image(unit), before);

    SoundUnitState never{};
    Zorvan::ByteReader again(zero.data(), zero.size());
    EXPECT_TRUE(ApuReadImage(never, again));
    EXPECT_EQ(Image(never), zero);
}

TEST_F(SoundUnitTest, MutatedRecordsAreRefusedWholeOrRunAndSaveAgain)
{
    // A busy unit: every channel sounding, sweeps and envelopes running, a
    // delta sample playing.
    memory[0xC000] = 0x5A;
    Write({{0x15, 0x1F}, {0x00, 0x15}, {0x01, 0x99}, {0x02, 200}, {0x03, 0x08}, {0x04, 0x83},
           {0x05, 0xA2}, {0x06, 100}, {0x07, 0x10}, {0x08, 0x20}, {0x0A, 126}, {0x0B, 0x08},
           {0x0C, 0x05}, {0x0E, 0x03}, {0x0F, 0x18}, {0x10, 0x0F}, {0x11, 0x20}, {0x12, 0x00},
           {0x13, 0x02}, {0x15, 0x1F}, {0x80, 0x9F}, {0x82, 0x40}, {0x83, 0x02}});
    ApuFrameStep(unit, 17);
    std::vector<uint8_t> const good = Image(unit);
    ASSERT_EQ(good.size(), size_t(SoundUnitImageSize));

    // Edits that land on the checks' edges as well as anywhere.
    int32_t const edges[] = {0, 1, -1, 7, 15, 16, 50, 60, 255, 256, 2047, 2048, 60000, 60001, 1000000, INT_MIN, INT_MAX};
    std::mt19937 random(1919);
    std::vector<uint8_t> f;
    int accepted = 0;
    constexpr int Rounds = 10000;
    for (int round = 0; round < Rounds; ++round) {
        f = good;
        const int edits = 1 + int(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const unsigned kind = random() % 8;
            if (kind == 0) {
                f.resize(random() % (good.size() + 8));
            } else if (kind < 4 && f.size() == good.size()) {
                const size_t field = 28 + 4 * (random() % 51); // the 32-bit fields
                const uint32_t v = uint32_t(edges[random() % std::size(edges)]);
                for (int i = 0; i < 4; ++i)
                    f[field + size_t(i)] = uint8_t(v >> (8 * i));
            } else if (!f.empty()) {
                const size_t at = random() % f.size();
                f[at] = kind == 4 ? uint8_t(f[at] ^ (1u << (random() % 8))) : uint8_t(random());
            }
        }
        SoundUnitState target = unit;
        Zorvan::ByteReader in(f.data(), f.size());
        if (!ApuReadImage(target, in)) {
            ASSERT_EQ(Image(target), good) << "round " << round;
            continue;
        }
        ++accepted;
        ASSERT_TRUE(ApuStateValid(target)) << "round " << round;
        // The accepted unit runs, and what it saves then loads again.
        ApuSync(target, 1);
        for (int i = 0; i < 6; ++i) {
            const unsigned r = random() % 26;
            ApuWrite(target, r < 22 ? int(r) : int(0x80 + r - 22), uint8_t(random()));
            ApuFrameStep(target, 17);
        }
        ApuSync(target, 0x82);
        std::vector<uint8_t> const saved = Image(target);
        SoundUnitState reloaded = unit;
        Zorvan::ByteReader back(saved.data(), saved.size());
        ASSERT_TRUE(ApuReadImage(reloaded, back)) << "round " << round;
    }
    std::printf("sound record mutations accepted: %d of %d\n", accepted, Rounds);
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, Rounds);
}

} // namespace
} // namespace Cindrel
