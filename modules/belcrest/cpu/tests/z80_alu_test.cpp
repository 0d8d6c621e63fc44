// Arithmetic and logic over whole operand spaces, checked against plain
// wide-integer arithmetic written here independently of the core's tables.
#include "modules/belcrest/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <bit>

namespace Belcrest::Test {
namespace {

constexpr uint8_t S = 0x80, Z = 0x40, H = 0x10, PV = 0x04, N = 0x02, C = 0x01;
constexpr uint8_t Documented = S | Z | H | PV | N | C;

uint8_t Flags(int result8, bool h, bool pv, bool n, bool c)
{
    return uint8_t((result8 & 0x80 ? S : 0) | (result8 == 0 ? Z : 0) | (h ? H : 0) |
                   (pv ? PV : 0) | (n ? N : 0) | (c ? C : 0));
}

bool EvenParity(int v) { return std::popcount(unsigned(v & 0xFF)) % 2 == 0; }

struct AluCase {
    const char *name;
    int opcode; // op A,B
};

class Z80AluTest : public ::testing::Test {
protected:
    void SetUp() override { ResetMachine(); }

    // Runs `code` at 0x0100 once with A, B and F preset.
    Z80State Run(std::initializer_list<int> code, uint8_t a, uint8_t b, uint8_t f)
    {
        Z80State cpu = FreshCpu();
        Program(0x0100)(code).loadInto(Machine);
        cpu.PC.w = 0x0100;
        cpu.AF.h = a;
        cpu.AF.l = f;
        cpu.BC.h = b;
        Step(cpu);
        return cpu;
    }
};

TEST_F(Z80AluTest, EightBitGroupMatchesWideArithmetic)
{
    const AluCase cases[] = {{"ADD", 0x80}, {"ADC", 0x88}, {"SUB", 0x90}, {"SBC", 0x98},
                             {"AND", 0xA0}, {"XOR", 0xA8}, {"OR", 0xB0},  {"CP", 0xB8}};
    for (const AluCase &k : cases) {
        int failures = 0;
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b)
                for (int cin = 0; cin < 2; ++cin) {
                    const int carry = (k.opcode == 0x88 || k.opcode == 0x98) ? cin : 0;
                    const int sa = int8_t(a), sb = int8_t(b);
                    int result, wide, signedWide;
                    bool h, pv, n, c;
                    switch (k.opcode) {
                    case 0x80:
                    case 0x88:
                        wide = a + b + carry;
                        signedWide = sa + sb + carry;
                        result = wide & 0xFF;
                        h = (a & 15) + (b & 15) + carry > 15;
                        pv = signedWide < -128 || signedWide > 127;
                        n = false;
                        c = wide > 255;
                        break;
                    case 0x90:
                    case 0x98:
                    case 0xB8:
                        wide = a - b - carry;
                        signedWide = sa - sb - carry;
                        result = wide & 0xFF;
                        h = (a & 15) - (b & 15) - carry < 0;
                        pv = signedWide < -128 || signedWide > 127;
                        n = true;
                        c = wide < 0;
                        break;
                    default:
                        result = k.opcode == 0xA0 ? (a & b) : k.opcode == 0xA8 ? (a ^ b) : (a | b);
                        h = k.opcode == 0xA0;
                        pv = EvenParity(result);
                        n = c = false;
                        break;
                    }
                    const Z80State cpu = Run({k.opcode}, uint8_t(a), uint8_t(b), uint8_t(cin));
                    const int expectA = k.opcode == 0xB8 ? a : result;
                    const uint8_t expectF = Flags(result, h, pv, n, c);
                    if ((cpu.AF.h != expectA || (cpu.AF.l & Documented) != expectF) &&
                        failures++ < 5)
                        ADD_FAILURE() << k.name << " a=" << a << " b=" << b << " c=" << cin
                                      << ": A=" << int(cpu.AF.h) << " F=" << int(cpu.AF.l)
                                      << " expected A=" << expectA << " F=" << int(expectF);
                }
        EXPECT_EQ(failures, 0) << k.name;
    }
}

TEST_F(Z80AluTest, IncAndDecKeepCarryAndFlagOverflowAtTheSignBoundary)
{
    for (int v = 0; v < 256; ++v)
        for (int cin = 0; cin < 2; ++cin) {
            Z80State inc = Run({0x04}, 0, uint8_t(v), uint8_t(cin)); // INC B
            const int up = (v + 1) & 0xFF;
            EXPECT_EQ(inc.BC.h, up);
            EXPECT_EQ(inc.AF.l & Documented,
                      Flags(up, (v & 15) == 15, v == 0x7F, false, cin)) << "INC " << v;

            Z80State dec = Run({0x05}, 0, uint8_t(v), uint8_t(cin)); // DEC B
            const int down = (v - 1) & 0xFF;
            EXPECT_EQ(dec.BC.h, down);
            EXPECT_EQ(dec.AF.l & Documented,
                      Flags(down, (v & 15) == 0, v == 0x80, true, cin)) << "DEC " << v;
        }
}

TEST_F(Z80AluTest, NegOfEveryValue)
{
    for (int v = 0; v < 256; ++v) {
        const Z80State cpu = Run({0xED, 0x44}, uint8_t(v), 0, 0);
        const int r = (0 - v) & 0xFF;
        EXPECT_EQ(cpu.AF.h, r);
        EXPECT_EQ(cpu.AF.l & Documented, Flags(r, (v & 15) != 0, v == 0x80, true, v != 0))
            << "NEG " << v;
    }
}

TEST_F(Z80AluTest, RotatesAndShiftsOfEveryValue)
{
    // CB 00+8k: RLC RRC RL RR SLA SRA SLL SRL on B.
    for (int k = 0; k < 8; ++k)
        for (int v = 0; v < 256; ++v)
            for (int cin = 0; cin < 2; ++cin) {
                int r, out;
                switch (k) {
                case 0: r = (v << 1 | v >> 7), out = v >> 7; break;
                case 1: r = (v >> 1 | v << 7), out = v & 1; break;
                case 2: r = (v << 1 | cin), out = v >> 7; break;
                case 3: r = (v >> 1 | cin << 7), out = v & 1; break;
                case 4: r = v << 1, out = v >> 7; break;
                case 5: r = (v >> 1 | (v & 0x80)), out = v & 1; break;
                case 6: r = (v << 1 | 1), out = v >> 7; break;
                default: r = v >> 1, out = v & 1; break;
                }
                r &= 0xFF;
                const Z80State cpu = Run({0xCB, 8 * k}, 0, uint8_t(v), uint8_t(cin));
                EXPECT_EQ(cpu.BC.h, r) << "kind " << k << " v=" << v;
                EXPECT_EQ(cpu.AF.l & Documented, Flags(r, false, EvenParity(r), false, out))
                    << "kind " << k << " v=" << v << " c=" << cin;
            }
}

TEST_F(Z80AluTest, AccumulatorRotatesKeepSignZeroAndParity)
{
    const uint8_t kept = S | Z | PV;
    for (int v = 0; v < 256; ++v)
        for (int f : {0x00, 0xFF}) {
            const int cin = f & 1;
            const struct {
                int op, result, out;
            } rows[] = {{0x07, (v << 1 | v >> 7) & 0xFF, v >> 7},
                        {0x0F, (v >> 1 | v << 7) & 0xFF, v & 1},
                        {0x17, (v << 1 | cin) & 0xFF, v >> 7},
                        {0x1F, (v >> 1 | cin << 7) & 0xFF, v & 1}};
            for (const auto &row : rows) {
                const Z80State cpu = Run({row.op}, uint8_t(v), 0, uint8_t(f));
                EXPECT_EQ(cpu.AF.h, row.result) << std::hex << row.op << " " << v;
                EXPECT_EQ(cpu.AF.l & Documented, (f & kept) | row.out);
            }
        }
}

TEST_F(Z80AluTest, BitShowsTheTestedBitInZeroParityAndSign)
{
    for (int b = 0; b < 8; ++b)
        for (int v = 0; v < 256; ++v)
            for (int cin = 0; cin < 2; ++cin) {
                const Z80State cpu = Run({0xCB, 0x40 + 8 * b}, 0, uint8_t(v), uint8_t(cin));
                const bool set = v >> b & 1;
                const uint8_t expect = uint8_t((b == 7 && set ? S : 0) | (set ? 0 : Z | PV) | H | cin);
                EXPECT_EQ(cpu.AF.l & Documented, expect) << "BIT " << b << "," << v;
            }
}

TEST_F(Z80AluTest, SixteenBitAddWithCarryAndSubtract)
{
    const int samples[] = {0x0000, 0x0001, 0x000F, 0x0010, 0x00FF, 0x0100, 0x0FFF, 0x1000,
                           0x7FFE, 0x7FFF, 0x8000, 0x8001, 0xFFFE, 0xFFFF, 0x1234, 0xABCD};
    for (int hl : samples)
        for (int de : samples)
            for (int cin = 0; cin < 2; ++cin) {
                for (bool subtract : {false, true}) {
                    Z80State cpu = FreshCpu();
                    Program(0x0100)({0xED, subtract ? 0x52 : 0x5A}).loadInto(Machine);
                    cpu.PC.w = 0x0100;
                    cpu.HL.w = uint16_t(hl);
                    cpu.DE.w = uint16_t(de);
                    cpu.AF.l = uint8_t(cin);
                    Step(cpu);
                    const int sh = int16_t(hl), sd = int16_t(de);
                    const int wide = subtract ? hl - de - cin : hl + de + cin;
                    const int signedWide = subtract ? sh - sd - cin : sh + sd + cin;
                    const int r = wide & 0xFFFF;
                    const bool h = subtract ? (hl & 0xFFF) - (de & 0xFFF) - cin < 0
                                            : (hl & 0xFFF) + (de & 0xFFF) + cin > 0xFFF;
                    const uint8_t f = uint8_t((r & 0x8000 ? S : 0) | (r == 0 ? Z : 0) | (h ? H : 0) |
                                              (signedWide < -32768 || signedWide > 32767 ? PV : 0) |
                                              (subtract ? N : 0) | (wide < 0 || wide > 0xFFFF ? C : 0));
                    EXPECT_EQ(cpu.HL.w, r);
                    EXPECT_EQ(cpu.AF.l & Documented, f)
                        << (subtract ? "SBC " : "ADC ") << hl << "," << de << " c=" << cin;
                }
                // ADD HL,DE keeps S, Z and P/V.
                Z80State cpu = FreshCpu();
                Program(0x0100)({0x19}).loadInto(Machine);
                cpu.PC.w = 0x0100;
                cpu.HL.w = uint16_t(hl);
                cpu.DE.w = uint16_t(de);
                cpu.AF.l = uint8_t(cin ? 0xFF : 0x00);
                Step(cpu);
                const int wide = hl + de;
                EXPECT_EQ(cpu.HL.w, wide & 0xFFFF);
                EXPECT_EQ(cpu.AF.l & Documented,
                          ((cin ? 0xFF : 0) & (S | Z | PV)) |
                              ((hl & 0xFFF) + (de & 0xFFF) > 0xFFF ? H : 0) | (wide > 0xFFFF ? C : 0));
            }
}

int ToBcd(int v) { return (v / 10) << 4 | (v % 10); }

TEST_F(Z80AluTest, DaaAfterAddAndSubOfEveryBcdPair)
{
    for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 100; ++y) {
            // ADD A,B / SUB B then DAA.
            for (bool subtract : {false, true}) {
                Z80State cpu = FreshCpu();
                Program(0x0100)({subtract ? 0x90 : 0x80, 0x27}).loadInto(Machine);
                cpu.PC.w = 0x0100;
                cpu.AF.h = uint8_t(ToBcd(x));
                cpu.BC.h = uint8_t(ToBcd(y));
                Step(cpu);
                Step(cpu);
                const int value = subtract ? x - y : x + y;
                const int expect = ToBcd((value + 100) % 100);
                EXPECT_EQ(cpu.AF.h, expect) << (subtract ? "SUB " : "ADD ") << x << "," << y;
                EXPECT_EQ(bool(cpu.AF.l & C), subtract ? value < 0 : value > 99);
                EXPECT_EQ(bool(cpu.AF.l & Z), expect == 0);
                EXPECT_EQ(bool(cpu.AF.l & N), subtract);
                EXPECT_EQ(bool(cpu.AF.l & PV), EvenParity(expect));
            }
        }
}

} // namespace
} // namespace Belcrest::Test
