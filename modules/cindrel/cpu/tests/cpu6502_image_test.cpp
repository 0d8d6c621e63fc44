// The CPU record's 36-byte image in state files.
#include "modules/cindrel/cpu/Cpu6502.h"

#include "common/zorvan/ByteStream.h"

#include <gtest/gtest.h>

namespace Cindrel::Test {
namespace {

Cpu6502State SampleRecord()
{
    Cpu6502State cpu;
    cpu.A = 0x11;
    cpu.P = 0x24;
    cpu.X = 0x22;
    cpu.Y = 0x33;
    cpu.S = 0xFD;
    cpu.PC = 0xC123;
    cpu.linePeriod = 85;
    cpu.cyclesLeft = -7;
    cpu.pendingInterrupt = IntNmi;
    cpu.cliDelay = 1;
    cpu.savedCyclesLeft = 29;
    cpu.autoClear = 1;
    cpu.trapUnknownOpcodes = 1;
    cpu.reservedWord = 0xBEEF;
    cpu.reservedByte = 0x5A;
    cpu.userWord = 0x89ABCDEF;
    return cpu;
}

TEST(Cpu6502Image, LayoutIsFixedAndLittleEndian)
{
    Zorvan::ByteWriter out;
    Cpu6502WriteImage(SampleRecord(), out);
    const std::vector<uint8_t> want = {
        0x11, 0x24, 0x22, 0x33, 0xFD, 0x00, 0x23, 0xC1, // A P X Y S pad PC
        0x55, 0x00, 0x00, 0x00,                         // linePeriod 85
        0xF9, 0xFF, 0xFF, 0xFF,                         // cyclesLeft -7
        0x02, 0x01, 0x00, 0x00,                         // pending, cliDelay, pad
        0x1D, 0x00, 0x00, 0x00,                         // savedCyclesLeft 29
        0x01, 0x01, 0xEF, 0xBE, 0x5A, 0x00, 0x00, 0x00, // autoClear trap reserved pad
        0xEF, 0xCD, 0xAB, 0x89,                         // userWord
    };
    ASSERT_EQ(out.size(), size_t(Cpu6502ImageSize));
    EXPECT_EQ(out.bytes(), want);
}

TEST(Cpu6502Image, RoundTripKeepsTheLiveReservedFields)
{
    Zorvan::ByteWriter out;
    Cpu6502WriteImage(SampleRecord(), out);
    Cpu6502State live;
    live.reservedWord = 0x1234;
    live.reservedByte = 0x77;
    Zorvan::ByteReader in(out.bytes());
    ASSERT_TRUE(Cpu6502ReadImage(live, in));
    Cpu6502State want = SampleRecord();
    want.reservedWord = 0x1234;
    want.reservedByte = 0x77;
    Zorvan::ByteWriter a, b;
    Cpu6502WriteImage(live, a);
    Cpu6502WriteImage(want, b);
    EXPECT_EQ(a.bytes(), b.bytes());
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(Cpu6502Image, DamagedImagesAreRefusedAndLeaveTheRecordAlone)
{
    struct Case {
        const char *what;
        size_t offset; // byte to patch, or the length to cut to when value < 0
        int value;
    };
    const Case cases[] = {
        {"short image", 35, -1},
        {"empty image", 0, -1},
        {"interrupt code out of range", 16, 4},
        {"quit request", 16, IntQuit},
        {"auto-clear flag not 0 or 1", 24, 2},
        {"delay flag not 0 or 1", 17, 2},
        {"negative line period", 11, 0x80},
        {"countdown far beyond a frame", 15, 0x40},
        {"saved countdown far below a frame", 23, 0xC0},
    };
    for (const Case &c : cases) {
        Zorvan::ByteWriter out;
        Cpu6502WriteImage(SampleRecord(), out);
        std::vector<uint8_t> bytes = out.bytes();
        if (c.value < 0)
            bytes.resize(c.offset);
        else
            bytes[c.offset] = uint8_t(c.value);
        Cpu6502State live;
        live.A = 0x99;
        live.PC = 0x4321;
        Zorvan::ByteReader in(bytes);
        EXPECT_FALSE(Cpu6502ReadImage(live, in)) << c.what;
        EXPECT_EQ(live.A, 0x99) << c.what;
        EXPECT_EQ(live.PC, 0x4321) << c.what;
    }
}

} // namespace
} // namespace Cindrel::Test
