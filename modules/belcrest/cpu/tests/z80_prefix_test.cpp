// The DD and FD prefixes: every opcode behind them compared with its
// unprefixed form, and the listed edge cases of the index forms.
#include "modules/belcrest/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace Belcrest::Test {
namespace {

// Opcodes whose (HL) operand becomes (IX+d).
bool UsesMemoryOperand(int op)
{
    const int y = (op >> 3) & 7, z = op & 7;
    if (op == 0x34 || op == 0x35 || op == 0x36)
        return true;
    if (op >= 0x40 && op < 0x80 && op != 0x76)
        return y == 6 || z == 6;
    return op >= 0x80 && op < 0xC0 && z == 6;
}

// Opcodes that use H, L or HL as a register and so act on the index register
// (with a memory operand, H and L stay themselves).
bool UsesHlRegister(int op)
{
    const int y = (op >> 3) & 7, z = op & 7;
    if (UsesMemoryOperand(op))
        return false;
    switch (op) {
    case 0x09: case 0x19: case 0x29: case 0x39: case 0x21: case 0x22: case 0x2A:
    case 0x23: case 0x2B: case 0x24: case 0x25: case 0x26: case 0x2C: case 0x2D:
    case 0x2E: case 0xE1: case 0xE3: case 0xE5: case 0xE9: case 0xF9:
        return true;
    }
    if (op >= 0x40 && op < 0x80)
        return y == 4 || y == 5 || z == 4 || z == 5;
    if (op >= 0x80 && op < 0xC0)
        return z == 4 || z == 5;
    return false;
}

struct Snapshot {
    Z80State cpu;
    std::vector<uint8_t> ram;
};

Snapshot Take(const Z80State &cpu)
{
    Snapshot s{cpu, std::vector<uint8_t>(0x10000)};
    for (int page = 0; page < 8; ++page)
        std::memcpy(s.ram.data() + page * 0x2000, Machine.pages[page].get(), 0x2000);
    return s;
}

void Restore(const std::vector<uint8_t> &ram)
{
    for (int page = 0; page < 8; ++page)
        std::memcpy(Machine.pages[page].get(), ram.data() + page * 0x2000, 0x2000);
}

// Everything but the cycle counters.
void ExpectSameState(const Z80State &got, const Z80State &want, const std::string &what)
{
    const std::pair<const char *, std::pair<int, int>> fields[] = {
        {"AF", {got.AF.w, want.AF.w}},   {"BC", {got.BC.w, want.BC.w}},
        {"DE", {got.DE.w, want.DE.w}},   {"HL", {got.HL.w, want.HL.w}},
        {"IX", {got.IX.w, want.IX.w}},   {"IY", {got.IY.w, want.IY.w}},
        {"PC", {got.PC.w, want.PC.w}},   {"SP", {got.SP.w, want.SP.w}},
        {"AF'", {got.AF2.w, want.AF2.w}}, {"BC'", {got.BC2.w, want.BC2.w}},
        {"DE'", {got.DE2.w, want.DE2.w}}, {"HL'", {got.HL2.w, want.HL2.w}},
        {"IFF", {got.IFF, want.IFF}},    {"I", {got.I, want.I}},
        {"R", {got.R, want.R}},
    };
    for (const auto &[name, values] : fields)
        EXPECT_EQ(values.first, values.second) << what << ": " << name;
}

TEST(Z80PrefixTransparency, EveryOpcodeBehindDdAndFdMatchesItsUnprefixedForm)
{
    std::mt19937 random(99);
    for (int prefix : {0xDD, 0xFD})
        for (int op = 0; op < 256; ++op) {
            if (op == 0xCB || op == 0xDD || op == 0xED || op == 0xFD)
                continue; // covered by their own tests
            ResetMachine();
            for (int a = 0; a < 0x10000; ++a)
                Machine.at(uint16_t(a)) = uint8_t(random());
            Z80State base = FreshCpu();
            base.AF.w = uint16_t(random());
            base.BC.w = uint16_t(random());
            base.DE.w = uint16_t(random());
            base.AF2.w = uint16_t(random());
            base.HL2.w = uint16_t(random());
            base.SP.w = 0xC000;
            base.IX.w = uint16_t(0x6000 + (random() & 0xFFF));
            base.IY.w = uint16_t(0x7000 + (random() & 0xFFF));
            base.HL.w = uint16_t(0x8000 + (random() & 0xFFF));
            base.IFF = Z80IffIm1;
            Z80Pair &index = prefix == 0xDD ? base.IX : base.IY;
            const bool memory = UsesMemoryOperand(op);
            const int8_t d = int8_t(random());
            if (memory)
                base.HL.w = uint16_t(index.w + d); // both forms address the same byte
            const uint8_t n1 = uint8_t(random()), n2 = uint8_t(random());

            // Prefixed: DD op [d] n1 n2 at 0x4000. Unprefixed: op n1 n2 placed
            // so that it ends at the same address.
            Machine.load(0x4000, {uint8_t(prefix), uint8_t(op)});
            if (memory)
                Machine.load(0x4002, {uint8_t(d), n1, n2});
            else
                Machine.load(0x4002, {n1, n2});
            const Snapshot start = Take(base);

            Z80State prefixed = base;
            prefixed.PC.w = 0x4000;
            Step(prefixed);
            const std::vector<uint8_t> prefixedRam = Take(prefixed).ram;

            Restore(start.ram);
            Machine.load(memory ? 0x4002 : 0x4001, {uint8_t(op), n1, n2});
            Z80State plain = base;
            plain.PC.w = memory ? 0x4002 : 0x4001;
            if (UsesHlRegister(op))
                plain.HL.w = index.w;
            Step(plain);

            Z80State expect = plain;
            if (UsesHlRegister(op)) {
                (prefix == 0xDD ? expect.IX : expect.IY).w = plain.HL.w;
                expect.HL.w = base.HL.w;
            }
            char what[32];
            std::snprintf(what, sizeof what, "%02X %02X", prefix, op);
            ExpectSameState(prefixed, expect, what);
            const std::vector<uint8_t> plainRam = Take(plain).ram;
            for (int a = 0; a < 0x10000; ++a) {
                if (a < 0x4000 || a > 0x4007) {
                    ASSERT_EQ(prefixedRam[a], plainRam[a]) << what << " at " << a;
                }
            }
        }
}

using Z80IndexTest = Z80CpuTest;

TEST_F(Z80IndexTest, LoadsThroughTheIndexRegisters)
{
    Load({0xDD, 0x21, 0x34, 0x12, // LD IX,1234
          0xDD, 0x01, 0x78, 0x56, // LD BC,5678 (the prefix changes nothing)
          0xDD, 0x66, 0x02,       // LD H,(IX+2)
          0xDD, 0x65,             // LD IXh,IXl
          0xDD, 0xEB});           // EX DE,HL swaps with HL, not IX
    Machine.at(0x1236) = 0xAB;
    cpu.HL.w = 0x0011;
    cpu.DE.w = 0x2222;
    Step(cpu);
    EXPECT_EQ(cpu.IX.w, 0x1234);
    Step(cpu);
    EXPECT_EQ(cpu.BC.w, 0x5678);
    Step(cpu);
    EXPECT_EQ(cpu.HL.w, 0xAB11);
    Step(cpu);
    EXPECT_EQ(cpu.IX.w, 0x3434);
    Step(cpu);
    EXPECT_EQ(cpu.DE.w, 0xAB11);
    EXPECT_EQ(cpu.HL.w, 0x2222);
    EXPECT_EQ(cpu.IX.w, 0x3434);
}

TEST_F(Z80IndexTest, APrefixAfterAPrefixStartsANewInstruction)
{
    Load({0xDD, 0xDD, 0x21, 0x34, 0x12, 0xDD, 0xFD, 0x21, 0x78, 0x56, 0xED, 0xFE});
    RunToTrap(cpu);
    EXPECT_EQ(cpu.IX.w, 0x1234);
    EXPECT_EQ(cpu.IY.w, 0x5678);
    EXPECT_EQ(cpu.HL.w, 0x0000);
}

TEST_F(Z80IndexTest, DisplacementsReachBelowTheIndexAndWrap)
{
    const struct {
        uint16_t ix;
        int d;
        uint16_t address;
    } cases[] = {{0x9000, 0x05, 0x9005}, {0x9000, 0xFF, 0x8FFF}, {0x9000, 0x80, 0x8F80},
                 {0xFFFF, 0x01, 0x0000}, {0x0010, 0xF0, 0x0000}, {0x0000, 0xFF, 0xFFFF}};
    for (const auto &c : cases) {
        SetUp();
        Load({0xDD, 0x36, c.d, 0x5A}); // LD (IX+d),5A
        cpu.IX.w = c.ix;
        Step(cpu);
        EXPECT_EQ(Machine.at(c.address), 0x5A) << std::hex << c.ix << "+" << c.d;
    }
}

TEST_F(Z80IndexTest, BitOperationsOnIndexedMemory)
{
    const struct {
        const char *name;
        int op;
        uint8_t before, after, flags; // flags masked to S Z H P/V N C
    } cases[] = {
        {"SLL sets bit 0", 0x36, 0x81, 0x03, 0x05},       // C from bit 7, even parity
        {"RLC", 0x06, 0x80, 0x01, 0x01},
        {"SRL", 0x3E, 0x01, 0x00, 0x45},
        {"BIT 0 (46)", 0x46, 0xFE, 0xFE, 0x54 | 0x01},    // Z P/V H, C kept
        {"BIT 0 (47)", 0x47, 0xFE, 0xFE, 0x54 | 0x01},
        {"BIT 7 set", 0x7E, 0x80, 0x80, 0x90 | 0x01},
        {"RES 7", 0xBE, 0xFF, 0x7F, 0x01},
        {"SET 0", 0xC6, 0x00, 0x01, 0x01},
        {"unlisted form does nothing", 0x00, 0x81, 0x81, 0x01},
    };
    for (int prefix : {0xDD, 0xFD})
    for (const auto &c : cases) {
        SetUp();
        Load({prefix, 0xCB, 0xFE, c.op});
        (prefix == 0xDD ? cpu.IX : cpu.IY).w = 0x9002;
        cpu.AF.l = 0x01;
        Machine.at(0x9000) = c.before;
        const uint16_t bc = cpu.BC.w;
        Step(cpu);
        EXPECT_EQ(Machine.at(0x9000), c.after) << c.name;
        EXPECT_EQ(cpu.AF.l & 0xD7, c.flags) << c.name;
        EXPECT_EQ(cpu.BC.w, bc) << c.name;
        EXPECT_EQ(cpu.PC.w, 0x0104) << c.name;
    }
}

TEST_F(Z80IndexTest, DdHaltHaltsOnTheHaltByte)
{
    Load({0xDD, 0x76});
    Step(cpu);
    EXPECT_TRUE(cpu.IFF & Z80IffHalted);
    EXPECT_EQ(cpu.PC.w, 0x0101);
}

TEST_F(Z80IndexTest, DdEdConsumesTheEdByte)
{
    Load({0xDD, 0xED, 0x44}); // the 44 then runs as LD B,H
    cpu.AF.h = 0x01;
    cpu.HL.w = 0x7700;
    Step(cpu);
    EXPECT_EQ(cpu.PC.w, 0x0102);
    EXPECT_EQ(cpu.AF.h, 0x01);
    Step(cpu);
    EXPECT_EQ(cpu.BC.h, 0x77);
}

} // namespace
} // namespace Belcrest::Test
