// The PPI: control words, port C bit set/reset, reads and the state record.
#include "common/zorvan/ByteStream.h"
#include "modules/belcrest/chips/Ppi.h"

#include <gtest/gtest.h>

#include <cstring>

namespace Belcrest::Test {
namespace {

Ppi Loaded(uint8_t control)
{
    Ppi p;
    PpiReset(p);
    PpiWrite(p, 3, control);
    PpiWrite(p, 0, 0xA1);
    PpiWrite(p, 1, 0xB2);
    PpiWrite(p, 2, 0xC3);
    p.inA = 0x1A;
    p.inB = 0x2B;
    p.inC = 0x3C;
    return p;
}

TEST(Ppi, ResetMakesEveryPortAnInput)
{
    Ppi p;
    PpiReset(p);
    EXPECT_EQ(PpiRead(p, 3), 0x9B);
    p.inA = 1;
    p.inB = 2;
    p.inC = 3;
    EXPECT_EQ(PpiRead(p, 0), 1);
    EXPECT_EQ(PpiRead(p, 1), 2);
    EXPECT_EQ(PpiRead(p, 2), 3);
    EXPECT_EQ(p.outA | p.outB | p.outC, 0);
}

TEST(Ppi, ControlWordChoosesInputsAndOutputsPerPort)
{
    const struct {
        uint8_t control;
        uint8_t readA, readB, readC;
        uint8_t outA, outB, outC;
    } cases[] = {
        {0x9B, 0x1A, 0x2B, 0x3C, 0x00, 0x00, 0x00}, // all inputs
        {0x80, 0xA1, 0xB2, 0xC3, 0xA1, 0xB2, 0xC3}, // all outputs
        {0x90, 0x1A, 0xB2, 0xC3, 0x00, 0xB2, 0xC3}, // A in
        {0x82, 0xA1, 0x2B, 0xC3, 0xA1, 0x00, 0xC3}, // B in
        {0x88, 0xA1, 0xB2, 0x33, 0xA1, 0xB2, 0x03}, // C high in
        {0x81, 0xA1, 0xB2, 0xCC, 0xA1, 0xB2, 0xC0}, // C low in
        {0x92, 0x1A, 0x2B, 0xC3, 0x00, 0x00, 0xC3}, // keyboard-style: A and B in
    };
    for (const auto &c : cases) {
        const Ppi p = Loaded(c.control);
        EXPECT_EQ(PpiRead(p, 0), c.readA) << std::hex << int(c.control);
        EXPECT_EQ(PpiRead(p, 1), c.readB) << std::hex << int(c.control);
        EXPECT_EQ(PpiRead(p, 2), c.readC) << std::hex << int(c.control);
        EXPECT_EQ(PpiRead(p, 3), c.control);
        EXPECT_EQ(p.outA, c.outA) << std::hex << int(c.control);
        EXPECT_EQ(p.outB, c.outB) << std::hex << int(c.control);
        EXPECT_EQ(p.outC, c.outC) << std::hex << int(c.control);
    }
}

TEST(Ppi, PortCBitSetAndReset)
{
    Ppi p = Loaded(0x80);
    PpiWrite(p, 2, 0x00);
    PpiWrite(p, 3, 0x07); // set bit 3
    EXPECT_EQ(p.latchC, 0x08);
    EXPECT_EQ(p.outC, 0x08);
    EXPECT_EQ(PpiRead(p, 3), 0x80);
    PpiWrite(p, 3, 0x0F); // set bit 7
    PpiWrite(p, 3, 0x06); // clear bit 3
    EXPECT_EQ(p.latchC, 0x80);
}

TEST(Ppi, OtherPortsAreRefused)
{
    Ppi p = Loaded(0x80);
    const Ppi before = p;
    EXPECT_FALSE(PpiWrite(p, 4, 0xFF));
    EXPECT_FALSE(PpiWrite(p, 0x100, 0xFF));
    EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
    EXPECT_EQ(PpiRead(p, 4), 0);
    for (unsigned port = 0; port < 4; ++port)
        EXPECT_TRUE(PpiWrite(p, port, 0x80));
}

TEST(Ppi, StateRecordIsTenBytesInOrder)
{
    const Ppi p = Loaded(0x88);
    Zorvan::ByteWriter out;
    PpiWriteImage(p, out);
    ASSERT_EQ(out.size(), PpiImageSize);
    EXPECT_EQ(out.bytes(), (std::vector<uint8_t>{0xA1, 0xB2, 0xC3, 0x88, 0xA1, 0xB2, 0x03, 0x1A,
                                                 0x2B, 0x3C}));
    Ppi back;
    PpiReset(back);
    Zorvan::ByteReader in(out.bytes());
    ASSERT_TRUE(PpiReadImage(back, in));
    EXPECT_EQ(std::memcmp(&p, &back, sizeof p), 0);

    Zorvan::ByteReader shortIn(out.bytes().data(), 9);
    Ppi untouched;
    PpiReset(untouched);
    EXPECT_FALSE(PpiReadImage(untouched, shortIn));
    EXPECT_EQ(PpiRead(untouched, 3), 0x9B);
}

} // namespace
} // namespace Belcrest::Test
