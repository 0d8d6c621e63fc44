// The 52-byte register image of the state file.
#include "common/zorvan/ByteStream.h"
#include "modules/belcrest/testing/TestMachine.h"

#include <gtest/gtest.h>

namespace Belcrest::Test {
namespace {

Z80State Sample()
{
    Z80State s{};
    s.AF.w = 0x0A0F;
    s.BC.w = 0x0B0C;
    s.DE.w = 0x0D0E;
    s.HL.w = 0x0708;
    s.IX.w = 0x1112;
    s.IY.w = 0x1314;
    s.PC.w = 0x1516;
    s.SP.w = 0x1718;
    s.AF2.w = 0x2122;
    s.BC2.w = 0x2324;
    s.DE2.w = 0x2526;
    s.HL2.w = 0x2728;
    s.IFF = 0x2B;
    s.I = 0x31;
    s.R = 0x32;
    s.linePeriod = 216;
    s.cyclesLeft = -7;
    s.savedCyclesLeft = 1000;
    s.pendingInterrupt = 0x00FF;
    s.autoClear = 1;
    s.trapUnknownOpcodes = 4;
    s.userWord = 0x89ABCDEF;
    return s;
}

TEST(Z80StateImage, FieldsLandAtTheirOffsets)
{
    Zorvan::ByteWriter out;
    Z80WriteImage(Sample(), out);
    const std::vector<uint8_t> &b = out.bytes();
    ASSERT_EQ(b.size(), Z80ImageSize);
    const struct {
        unsigned offset;
        std::vector<uint8_t> bytes;
    } fields[] = {
        {0, {0x0F, 0x0A, 0x0C, 0x0B, 0x0E, 0x0D, 0x08, 0x07}}, // F A C B E D L H
        {8, {0x12, 0x11, 0x14, 0x13, 0x16, 0x15, 0x18, 0x17}}, // IX IY PC SP
        {16, {0x22, 0x21, 0x24, 0x23, 0x26, 0x25, 0x28, 0x27}}, // alternate set
        {24, {0x2B, 0x31, 0x32, 0x00}},                        // IFF I R reserved
        {28, {216, 0, 0, 0}},
        {32, {0xF9, 0xFF, 0xFF, 0xFF}},
        {36, {0xE8, 0x03, 0, 0}},
        {40, {0xFF, 0x00, 0x01, 0x04}},
        {44, {0, 0, 0, 0}},
        {48, {0xEF, 0xCD, 0xAB, 0x89}},
    };
    for (const auto &f : fields)
        EXPECT_EQ(std::vector<uint8_t>(b.begin() + f.offset, b.begin() + f.offset + f.bytes.size()),
                  f.bytes)
            << "offset " << f.offset;
}

TEST(Z80StateImage, ReadsBackWhatWasWritten)
{
    Zorvan::ByteWriter out;
    Z80WriteImage(Sample(), out);
    Zorvan::ByteReader in(out.bytes());
    Z80State back{};
    ASSERT_TRUE(Z80ReadImage(back, in));
    Zorvan::ByteWriter again;
    Z80WriteImage(back, again);
    EXPECT_EQ(again.bytes(), out.bytes());
    EXPECT_EQ(in.remaining(), 0u);

    // The requests a saved machine may have pending.
    for (uint16_t pending : {uint16_t(Z80VectorNone), uint16_t(Z80VectorNmi), uint16_t(0x0000)}) {
        Z80State s = Sample();
        s.pendingInterrupt = pending;
        Zorvan::ByteWriter one;
        Z80WriteImage(s, one);
        Zorvan::ByteReader oneIn(one.bytes());
        EXPECT_TRUE(Z80ReadImage(back, oneIn)) << pending;
    }
}

TEST(Z80StateImage, RefusesDamagedImagesWithoutTouchingTheCpu)
{
    Zorvan::ByteWriter good;
    Z80WriteImage(Sample(), good);
    auto patched = [&](unsigned offset, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> b = good.bytes();
        std::copy(bytes.begin(), bytes.end(), b.begin() + offset);
        return b;
    };
    const struct {
        const char *name;
        std::vector<uint8_t> image;
    } cases[] = {
        {"short", std::vector<uint8_t>(good.bytes().begin(), good.bytes().end() - 1)},
        {"empty", {}},
        {"slice length 0", patched(28, {0, 0, 0, 0})},
        {"negative slice length", patched(28, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"cycles left far below zero", patched(32, {0x00, 0x00, 0x00, 0x80})},
        {"parked cycles far too many", patched(36, {0xFF, 0xFF, 0xFF, 0x7F})},
        {"both interrupt mode bits", patched(24, {0x06})},
        {"quit request pending", patched(40, {0xFE, 0xFF})},
        {"vector wider than 8 bits", patched(40, {0xFF, 0x01})},
    };
    for (const auto &c : cases) {
        Zorvan::ByteReader in(c.image);
        Z80State cpu = Sample();
        cpu.PC.w = 0x4444;
        EXPECT_FALSE(Z80ReadImage(cpu, in)) << c.name;
        EXPECT_EQ(cpu.PC.w, 0x4444) << c.name;
    }
}

} // namespace
} // namespace Belcrest::Test
