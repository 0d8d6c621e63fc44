// Arithmetic and logic results against plain integer arithmetic.
#include "modules/cindrel/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <string>

namespace Cindrel::Test {
namespace {

struct Expected {
    uint8_t a;
    uint8_t p;
};

// ADC and SBC worked out with wide signed and unsigned integers. The
// console's CPU has no decimal mode, so D only rides along.
Expected WideAdcSbc(bool subtract, uint8_t a, uint8_t m, uint8_t pIn)
{
    int carry = pIn & FlagC;
    int wide, sign;
    bool carryOut;
    if (subtract) {
        wide = int(a) - int(m) - (1 - carry);
        sign = int(int8_t(a)) - int(int8_t(m)) - (1 - carry);
        carryOut = wide >= 0;
    } else {
        wide = int(a) + int(m) + carry;
        sign = int(int8_t(a)) + int(int8_t(m)) + carry;
        carryOut = wide > 255;
    }
    uint8_t result = uint8_t(wide);
    uint8_t p = pIn & ~(FlagC | FlagZ | FlagV | FlagN);
    if (carryOut)
        p |= FlagC;
    if (result == 0)
        p |= FlagZ;
    if (sign < -128 || sign > 127)
        p |= FlagV;
    if (result & 0x80)
        p |= FlagN;
    return {result, p};
}

TEST(Cpu6502Arithmetic, AdcAndSbcOverAllOperandsAndCarriesIgnoreDecimalFlag)
{
    ResetMachine();
    int failures = 0;
    for (bool subtract : {false, true})
        for (bool decimal : {false, true})
            for (int carry = 0; carry < 2; ++carry)
                for (int a = 0; a < 256; ++a)
                    for (int m = 0; m < 256; ++m) {
                        // Stale N, V and Z must be overwritten, I and D kept.
                        uint8_t p = uint8_t(FlagR | FlagI | carry | (decimal ? FlagD : 0) |
                                            (((a ^ m) & 1) ? FlagN | FlagV | FlagZ : 0));
                        Poke(0x0200, {uint8_t(subtract ? 0xE9 : 0x69), uint8_t(m)});
                        Cpu6502State cpu = MakeCpu(0x0200, p);
                        cpu.A = uint8_t(a);
                        Step(cpu);
                        Expected e = WideAdcSbc(subtract, uint8_t(a), uint8_t(m), p);
                        if ((cpu.A != e.a || cpu.P != e.p) && ++failures <= 10)
                            ADD_FAILURE() << (subtract ? "SBC" : "ADC") << " A=" << a << " M=" << m
                                          << " C=" << carry << " D=" << decimal << ": got A=" << int(cpu.A)
                                          << " P=" << int(cpu.P) << ", want A=" << int(e.a)
                                          << " P=" << int(e.p);
                    }
    EXPECT_EQ(failures, 0);
}

TEST(Cpu6502Arithmetic, DecimalFlagGivesBinaryResults)
{
    struct Case {
        const char *what;
        uint8_t opcode, a, m, pIn, wantA, wantP;
    };
    const Case cases[] = {
        {"$19 + $28 is $41, not BCD $47", 0x69, 0x19, 0x28, FlagR | FlagD, 0x41, FlagR | FlagD},
        {"$99 + $01 is $9A with C clear", 0x69, 0x99, 0x01, FlagR | FlagD, 0x9A, FlagR | FlagD | FlagN},
        {"$10 - $01 is $0F", 0xE9, 0x10, 0x01, FlagR | FlagD | FlagC, 0x0F, FlagR | FlagD | FlagC},
    };
    for (const Case &c : cases) {
        ResetMachine();
        Poke(0x0200, {c.opcode, c.m});
        Cpu6502State cpu = MakeCpu(0x0200, c.pIn);
        cpu.A = c.a;
        Step(cpu);
        EXPECT_EQ(cpu.A, c.wantA) << c.what;
        EXPECT_EQ(cpu.P, c.wantP) << c.what;
    }
}

// One instruction at $0200 from a given register set; the table lists what
// it must leave behind.
struct OpCase {
    const char *what;
    std::vector<uint8_t> code;
    uint8_t a, x, y, p;
    uint8_t memIn;   // value at $0040 before
    uint8_t wantA, wantX, wantY, wantP;
    int wantMem;     // value at $0040 after, -1 for "unchanged"
};

TEST(Cpu6502Arithmetic, LogicShiftsCompareAndTransfers)
{
    constexpr uint8_t R = FlagR;
    const OpCase cases[] = {
        {"AND sets Z", {0x29, 0x0F}, 0xF0, 0, 0, R, 0, 0x00, 0, 0, R | FlagZ, -1},
        {"ORA sets N", {0x09, 0x80}, 0x01, 0, 0, R, 0, 0x81, 0, 0, R | FlagN, -1},
        {"EOR clears Z and N", {0x49, 0xFF}, 0xF0, 0, 0, R | FlagN | FlagZ, 0, 0x0F, 0, 0, R, -1},
        {"ASL A carries bit 7 out", {0x0A}, 0x81, 0, 0, R, 0, 0x02, 0, 0, R | FlagC, -1},
        {"LSR memory carries bit 0 out", {0x46, 0x40}, 0, 0, 0, R, 0x01, 0, 0, 0, R | FlagC | FlagZ, 0x00},
        {"ROL shifts the old carry in", {0x26, 0x40}, 0, 0, 0, R | FlagC, 0x80, 0, 0, 0, R | FlagC, 0x01},
        {"ROR A shifts the old carry into bit 7", {0x6A}, 0x02, 0, 0, R | FlagC, 0, 0x81, 0, 0, R | FlagN, -1},
        {"INC wraps $FF to $00", {0xE6, 0x40}, 0, 0, 0, R, 0xFF, 0, 0, 0, R | FlagZ, 0x00},
        {"DEC wraps $00 to $FF", {0xCE, 0x40, 0x00}, 0, 0, 0, R, 0x00, 0, 0, 0, R | FlagN, 0xFF},
        {"DEX wraps", {0xCA}, 0, 0, 0, R, 0, 0, 0xFF, 0, R | FlagN, -1},
        {"INY wraps", {0xC8}, 0, 0, 0xFF, R, 0, 0, 0, 0, R | FlagZ, -1},
        {"CMP equal sets Z and C", {0xC9, 0x40}, 0x40, 0, 0, R | FlagV, 0, 0x40, 0, 0, R | FlagV | FlagZ | FlagC, -1},
        {"CMP smaller borrows", {0xC9, 0x41}, 0x40, 0, 0, R, 0, 0x40, 0, 0, R | FlagN, -1},
        {"CPX larger sets C", {0xE0, 0x10}, 0, 0x90, 0, R, 0, 0, 0x90, 0, R | FlagC | FlagN, -1},
        {"CPY from memory", {0xC4, 0x40}, 0, 0, 0x05, R, 0x05, 0, 0, 0x05, R | FlagZ | FlagC, -1},
        {"BIT copies N and V, Z from A&M", {0x24, 0x40}, 0x01, 0, 0, R, 0xC0, 0x01, 0, 0, R | FlagN | FlagV | FlagZ, -1},
        {"BIT clears N and V", {0x2C, 0x40, 0x00}, 0x01, 0, 0, R | FlagN | FlagV, 0x01, 0x01, 0, 0, R, -1},
        {"TAX sets N", {0xAA}, 0x80, 0, 0, R, 0, 0x80, 0x80, 0, R | FlagN, -1},
        {"TYA sets Z", {0x98}, 0x12, 0, 0, R, 0, 0x00, 0, 0, R | FlagZ, -1},
        {"LDX zp,Y", {0xB6, 0x3F}, 0, 0, 1, R, 0x80, 0, 0x80, 1, R | FlagN, -1},
        {"STY leaves flags", {0x84, 0x40}, 0, 0, 0x00, R | FlagN, 0x55, 0, 0, 0, R | FlagN, 0x00},
        {"CLV", {0xB8}, 0, 0, 0, R | FlagV, 0, 0, 0, 0, R, -1},
        {"SED then D is set", {0xF8}, 0, 0, 0, R, 0, 0, 0, 0, R | FlagD, -1},
    };
    for (const OpCase &c : cases) {
        ResetMachine();
        for (size_t i = 0; i < c.code.size(); ++i)
            Ram[0x0200 + i] = c.code[i];
        Ram[0x0040] = c.memIn;
        Cpu6502State cpu = MakeCpu(0x0200, c.p);
        cpu.A = c.a;
        cpu.X = c.x;
        cpu.Y = c.y;
        Step(cpu);
        EXPECT_EQ(cpu.A, c.wantA) << c.what;
        EXPECT_EQ(cpu.X, c.wantX) << c.what;
        EXPECT_EQ(cpu.Y, c.wantY) << c.what;
        EXPECT_EQ(cpu.P, c.wantP) << c.what;
        EXPECT_EQ(cpu.PC, 0x0200 + c.code.size()) << c.what;
        EXPECT_EQ(Ram[0x0040], c.wantMem < 0 ? c.memIn : c.wantMem) << c.what;
    }
}

TEST(Cpu6502Arithmetic, TransfersWithTheStackPointer)
{
    ResetMachine();
    Poke(0x0200, {0x9A, 0xBA}); // TXS ; TSX
    Cpu6502State cpu = MakeCpu(0x0200, FlagR | FlagZ);
    cpu.X = 0x80;
    Step(cpu);
    EXPECT_EQ(cpu.S, 0x80);
    EXPECT_EQ(cpu.P, FlagR | FlagZ) << "TXS changes no flag";
    cpu.X = 0;
    Step(cpu);
    EXPECT_EQ(cpu.X, 0x80);
    EXPECT_EQ(cpu.P, FlagR | FlagN) << "TSX sets N and Z";
}

} // namespace
} // namespace Cindrel::Test
