// The sound unit's 236-byte record: round trips, every new field's check
// with its reason, the records saved while the unit counted milliseconds,
// and seeded mutations that are either refused whole or run and save again.
#include "common/zorvan/ByteStream.h"
#include "modules/cindrel/cpu/CpuBus.h"
#include "modules/cindrel/sound/SoundUnit.h"
#include "modules/sounddriver/SoundDriver.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

namespace Cindrel::Test {
namespace {

std::vector<uint8_t> Image(const SoundUnitState &u)
{
    Zorvan::ByteWriter out;
    ApuWriteImage(u, out);
    return out.bytes();
}

bool Read(SoundUnitState &unit, const std::vector<uint8_t> &bytes, std::string *why = nullptr)
{
    Zorvan::ByteReader in(bytes.data(), bytes.size());
    const char *reason = "";
    const bool ok = ApuReadImage(unit, in, &reason);
    if (why)
        *why = reason;
    return ok;
}

void Put(std::vector<uint8_t> &bytes, size_t at, int size, int64_t value)
{
    for (int i = 0; i < size; ++i)
        bytes[at + size_t(i)] = uint8_t(uint64_t(value) >> (8 * i));
}

class SoundRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SoundHooks = {};
        memory.assign(0x10000, 0);
        for (int i = 0; i < 8; ++i)
            FetchMap[i] = memory.data() + i * 0x2000;
        memory[0xC000] = 0x5A;
        ApuReset(unit, 0);
        ApuRunTo(unit, 0);
    }

    // Every channel sounding, sweeps and envelopes running, a delta sample
    // looping, a $4017 write waiting out its delay.
    void Busy()
    {
        for (auto [r, v] : std::initializer_list<std::pair<int, int>>{
                 {0x15, 0x1F}, {0x00, 0x15}, {0x01, 0x99}, {0x02, 200}, {0x03, 0x08}, {0x04, 0x83},
                 {0x05, 0xA2}, {0x06, 100}, {0x07, 0x10}, {0x08, 0x20}, {0x0A, 126}, {0x0B, 0x08},
                 {0x0C, 0x05}, {0x0E, 0x03}, {0x0F, 0x18}, {0x10, 0x4F}, {0x11, 0x20}, {0x12, 0x00},
                 {0x13, 0x02}, {0x15, 0x1F}, {0x80, 0x9F}, {0x82, 0x40}, {0x83, 0x02}})
            ApuWrite(unit, r, uint8_t(v));
        ApuRunTo(unit, 20000);
        ApuWrite(unit, 0x17, 0x80);
    }

    SoundUnitState unit{};
    std::vector<uint8_t> memory;
};

TEST_F(SoundRecordTest, RoundTripAndEveryNewFieldChecked)
{
    Busy();
    const std::vector<uint8_t> good = Image(unit);
    ASSERT_EQ(good.size(), size_t(SoundUnitImageSize));
    EXPECT_EQ(good[26], 1) << "the record's layout byte";
    SoundUnitState back{};
    ASSERT_TRUE(Read(back, good));
    EXPECT_EQ(Image(back), good);
    EXPECT_EQ(back.cycle, ApuUntied) << "a loaded unit waits to be tied to the machine's clock";

    struct Field {
        size_t at;
        int size;
        int64_t value;
        const char *reason;
    } const hostile[] = {
        {26, 1, 2, "layout"},
        {27, 1, 0x20, "$4017"},
        {109, 1, 0x81, "$4017"},
        {110, 1, 5, "$4017"},
        {108, 1, 6, "step beyond its sequence"}, // four steps run until the restart: 0-5
        {112, 4, 0, "cycle beyond its step"},
        {112, 4, 37282, "cycle beyond its step"},
        {120, 2, 4082, "byte count beyond 4081"},
        {118, 2, 0x7FFF, "address below $8000"},
        {116, 2, 0, "timer"},
        {116, 2, 429, "timer"},
        {111, 1, 9, "timer"},
        {84, 2, 2048, "11 bits"},
        {90, 1, 255, "length counter"},
        {94, 1, 16, "envelope"},
        {102, 1, 0x04, "envelope"},
        {103, 1, 8, "sweep"},
        {106, 1, 128, "linear counter"},
        {224, 4, 3, "first channel"},
        {228, 4, 55, "frame rate"},
        {56, 4, 256, "tone"},
        {28, 4, -5, "tone"},
        {21, 1, 0x20, "status"},
    };
    for (Field const &f : hostile) {
        std::vector<uint8_t> bad = good;
        Put(bad, f.at, f.size, f.value);
        SoundUnitState target = back;
        std::string why;
        EXPECT_FALSE(Read(target, bad, &why)) << f.at;
        EXPECT_NE(why.find(f.reason), std::string::npos) << f.at << ": " << why;
        EXPECT_EQ(Image(target), good) << f.at;
    }
    // Step and cycle at their edges are taken: the cycle just before the
    // next step, and the first step's own cycle.
    back.frameControl = 0;
    back.frameWriteDelay = 0;
    for (auto [step, cycle] : {std::pair{5, 29829}, std::pair{3, 22371}, std::pair{0, 0}, std::pair{0, 7456}}) {
        back.frameStep = uint8_t(step);
        back.frameCycle = cycle;
        SoundUnitState target{};
        EXPECT_TRUE(Read(target, Image(back))) << step << " " << cycle;
    }
    std::vector<uint8_t> shorter(good.begin(), good.end() - 1);
    std::string why;
    EXPECT_FALSE(Read(back, shorter, &why));
    EXPECT_NE(why.find("cut short"), std::string::npos);
}

TEST_F(SoundRecordTest, AnAllZeroRecordOnlyForAUnitThatWasNeverReset)
{
    // The second unit of a cartridge without mapper 5 is saved all zero;
    // such a record in place of a running unit would leave it without its
    // region's timings.
    for (uint8_t layout : {0, 1}) {
        std::vector<uint8_t> zero(SoundUnitImageSize, 0);
        zero[26] = layout;
        const std::vector<uint8_t> before = Image(unit);
        EXPECT_FALSE(Read(unit, zero));
        EXPECT_EQ(Image(unit), before);
        SoundUnitState never{};
        EXPECT_TRUE(Read(never, zero));
        EXPECT_EQ(Image(never), (Image(SoundUnitState{})));
    }
}

// A record written before the unit ran on the CPU's clock: lengths, sweeps
// and envelopes in milliseconds, byte 26 zero.
std::vector<uint8_t> MillisecondRecord(uint8_t status, const int32_t (&length)[7], int fps = 60)
{
    Zorvan::ByteWriter out;
    uint8_t registers[21] = {};
    registers[0x00] = 0x1F; // square 1: constant 15
    registers[0x01] = 0x99;
    registers[0x03] = 0x08;
    registers[0x08] = 0x20; // triangle: linear 32
    registers[0x10] = 0x0F; // delta: rate 15, no loop
    registers[0x13] = 0x02; // 33 bytes
    out.raw(registers, 21);
    out.u8(status);
    out.zeros(4 + 2);
    const int32_t frequency[7] = {440, 0, 440, 0, 1, 0, 0}, volume[7] = {255, 0, 255, 0, 255, 0, 0};
    const int32_t sweep[7] = {25, 0, 0, 0, 0, 0, 0}, envelope[7] = {}, timer[7] = {253, 0, 126, 0, 0, 0, 0};
    const int32_t level[7] = {15, 0, 0, 0, 0, 0, 0};
    for (const int32_t *field : {frequency, volume, length, sweep, envelope, timer, level})
        for (int c = 0; c < 7; ++c)
            out.i32(field[c]);
    out.i32(0);
    out.i32(fps);
    out.u8(0x1F);
    out.zeros(2);
    out.u8(1);
    return out.bytes();
}

TEST_F(SoundRecordTest, MillisecondRecordsAreTakenOver)
{
    // Square 1 with 2116 ms left, the triangle with no limit, the delta
    // sample with 4 ms (of 33 bytes at 33144 Hz) left, its interrupt up.
    SoundUnitState old{};
    ASSERT_TRUE(Read(old, MillisecondRecord(0x95, {2116, 0, 0, 0, 4, 0, 0})));
    EXPECT_EQ(old.lengthCounter[0], 254);
    EXPECT_EQ(old.lengthCounter[2], 254);
    EXPECT_EQ(old.linearCounter, 32);
    EXPECT_EQ(old.timer[0], 253);
    EXPECT_EQ(old.envelopeLevel[0], 15);
    EXPECT_EQ(old.sweepDivider[0], 1);
    EXPECT_EQ(old.dmcBytesLeft, 4 * 33144 / 8000);
    EXPECT_EQ(old.dmcAddress, 0xC000 + 33 - old.dmcBytesLeft);
    EXPECT_EQ(old.status, 0x95);
    EXPECT_EQ(old.frameControl, 0x40) << "its game never saw a frame interrupt";
    // It runs, and saves in the new layout, which loads again.
    ApuRunTo(old, 0);
    ApuRunTo(old, 100000);
    EXPECT_EQ(old.status & 0x11, 0x01);
    SoundUnitState again{};
    EXPECT_TRUE(Read(again, Image(old)));

    // A millisecond field out of its old range is refused as before.
    std::string why;
    EXPECT_FALSE(Read(old, MillisecondRecord(0x01, {-1, 0, 0, 0, 0, 0, 0}), &why));
    EXPECT_NE(why.find("length"), std::string::npos) << why;
    EXPECT_FALSE(Read(old, MillisecondRecord(0x01, {17, 0, 0, 0, 0, 0, 0}, 55), &why));
}

TEST_F(SoundRecordTest, MutatedRecordsAreRefusedWholeOrRunAndSaveAgain)
{
    Busy();
    const std::vector<uint8_t> good = Image(unit);
    // Edits that land on the checks' edges as well as anywhere.
    int32_t const edges[] = {0, 1, -1, 7, 8, 15, 16, 50, 60, 127, 128, 254, 255, 256, 428, 429, 2047, 2048, 4081, 4082,
                             7456, 7457, 29829, 29830, 0x7FFF, 0x8000, 1000000, INT_MIN, INT_MAX};
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
                const size_t at = 84 + random() % (123 - 84 - 1);
                Put(f, at, 1 + int(random() % 2), edges[random() % std::size(edges)]);
            } else if (!f.empty()) {
                const size_t at = random() % f.size();
                f[at] = kind == 4 ? uint8_t(f[at] ^ (1u << (random() % 8))) : uint8_t(random());
            }
        }
        SoundUnitState target = unit;
        if (!Read(target, f)) {
            ASSERT_EQ(Image(target), good) << "round " << round;
            continue;
        }
        ++accepted;
        ASSERT_TRUE(ApuStateValid(target)) << "round " << round;
        // The accepted unit runs, and what it saves then loads again.
        ApuRunTo(target, 0);
        ApuSync(target, 1);
        for (int i = 0; i < 6; ++i) {
            const unsigned r = random() % 27;
            ApuWrite(target, r < 22 ? int(r) : r == 22 ? 0x17 : int(0x80 + r - 23), uint8_t(random()));
            ApuRunTo(target, target.cycle + random() % 40000);
            ApuReadStatus(target);
        }
        ApuSync(target, 0x82);
        SoundUnitState reloaded = unit;
        ASSERT_TRUE(Read(reloaded, Image(target))) << "round " << round;
    }
    std::printf("sound record mutations accepted: %d of %d\n", accepted, Rounds);
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, Rounds);
}

} // namespace
} // namespace Cindrel::Test
