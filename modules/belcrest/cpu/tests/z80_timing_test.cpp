// T-state totals: single instructions, short programs, the block
// instructions, and the cost of prefix bytes.
#include "modules/belcrest/testing/TestMachine.h"

#include <gtest/gtest.h>

namespace Belcrest::Test {
namespace {

class Z80TimingTest : public Z80CpuTest {
protected:
    void SetUp() override
    {
        Z80CpuTest::SetUp();
        cpu.HL.w = cpu.IX.w = cpu.IY.w = 0x9000;
        cpu.DE.w = 0xA000;
        cpu.BC.w = 0x0001;
    }

    // Loads code at 0x0100 followed by the trap and returns the cycles spent
    // before the trap. Returns land on the trap: the stack holds its address.
    long Cost(std::vector<int> code)
    {
        Program p(0x0100);
        for (int b : code)
            p({b});
        const uint16_t end = p.address();
        p({0xED, 0xFE});
        p.loadInto(Machine);
        Machine.at(0x8000) = uint8_t(end);
        Machine.at(0x8001) = uint8_t(end >> 8);
        return RunToTrap(cpu);
    }
};

struct CostCase {
    const char *name;
    std::vector<int> code;
    long cycles;
};

TEST_F(Z80TimingTest, SingleInstructionsCostTheirDocumentedTStates)
{
    const CostCase cases[] = {
        {"NOP", {0x00}, 4},
        {"LD BC,nn", {0x01, 0, 0}, 10},
        {"LD (HL),n", {0x36, 0}, 10},
        {"INC (HL)", {0x34}, 11},
        {"LD (nn),HL", {0x22, 0, 0x90}, 16},
        {"EX (SP),HL", {0xE3}, 19},
        {"PUSH BC", {0xC5}, 11},
        {"RET", {0xC9}, 10},
        {"OUT (n),A", {0xD3, 0x10}, 11},
        {"RLC B", {0xCB, 0x00}, 8},
        {"RLC (HL)", {0xCB, 0x06}, 15},
        {"BIT 0,(HL)", {0xCB, 0x46}, 12},
        {"SET 0,(HL)", {0xCB, 0xC6}, 15},
        {"IN B,(C)", {0xED, 0x40}, 12},
        {"SBC HL,BC", {0xED, 0x42}, 15},
        {"LD (nn),BC", {0xED, 0x43, 0, 0x90}, 20},
        {"NEG", {0xED, 0x44}, 8},
        {"IM 1", {0xED, 0x56}, 8},
        {"LD A,I", {0xED, 0x57}, 9},
        {"RETN", {0xED, 0x45}, 14},
        {"RRD", {0xED, 0x67}, 18},
        {"LDI", {0xED, 0xA0}, 16},
        {"LD IX,nn", {0xDD, 0x21, 0, 0}, 14},
        {"LD (nn),IX", {0xDD, 0x22, 0, 0x90}, 20},
        {"ADD IX,BC", {0xDD, 0x09}, 15},
        {"INC IX", {0xDD, 0x23}, 10},
        {"INC (IX+d)", {0xDD, 0x34, 1}, 23},
        {"LD (IX+d),n", {0xDD, 0x36, 1, 0}, 19},
        {"LD B,(IX+d)", {0xDD, 0x46, 1}, 19},
        {"ADD A,(IY+d)", {0xFD, 0x86, 1}, 19},
        {"PUSH IX", {0xDD, 0xE5}, 15},
        {"POP IX", {0xDD, 0xE1}, 14},
        {"EX (SP),IX", {0xDD, 0xE3}, 23},
        {"LD SP,IX", {0xDD, 0xF9}, 10},
        {"LD IXh,B (undocumented)", {0xDD, 0x60}, 9},
        {"RLC (IX+d)", {0xDD, 0xCB, 1, 0x06}, 23},
        {"BIT 0,(IY+d)", {0xFD, 0xCB, 1, 0x46}, 20},
    };
    for (const CostCase &c : cases) {
        SetUp();
        EXPECT_EQ(Cost(c.code), c.cycles) << c.name;
    }
}

TEST_F(Z80TimingTest, ConditionalInstructionsChargeExtraOnlyWhenTaken)
{
    // F is 0 on entry: NZ, NC, PO and P hold; Z, C, PE and M do not.
    const CostCase cases[] = {
        {"JR NZ taken", {0x20, 0x00}, 12},
        {"JR Z not taken", {0x28, 0x00}, 7},
        {"JP NZ taken", {0xC2, 0x03, 0x01}, 10},
        {"JP Z not taken", {0xCA, 0x03, 0x01}, 10},
        // The call lands on a RET, which comes back to the NOP; the same RET
        // then returns to the trap.
        {"CALL NZ taken, RET", {0xC4, 0x04, 0x01, 0x00, 0xC9}, 17 + 10 + 4 + 10},
        {"CALL Z not taken", {0xCC, 0x00, 0x00}, 10},
        {"RET NZ taken", {0xC0}, 11},
        {"RET Z not taken, NOP", {0xC8, 0x00}, 5 + 4},
        {"CALL nn, RET", {0xCD, 0x04, 0x01, 0x00, 0xC9}, 17 + 10 + 4 + 10},
    };
    for (const CostCase &c : cases) {
        SetUp();
        cpu.AF.l = 0;
        EXPECT_EQ(Cost(c.code), c.cycles) << c.name;
    }
}

TEST_F(Z80TimingTest, DjnzLoopCostsThirteenPerTurnAndEightToLeave)
{
    for (int n : {1, 2, 10, 255, 0}) {
        SetUp();
        const long turns = n == 0 ? 256 : n;
        // LD B,n; DJNZ $
        EXPECT_EQ(Cost({0x06, n, 0x10, 0xFE}), 7 + 13 * (turns - 1) + 8) << "B=" << n;
        EXPECT_EQ(cpu.BC.h, 0);
    }
}

TEST_F(Z80TimingTest, RepeatingBlockInstructionsCost21PerStepLess5)
{
    struct Case {
        const char *name;
        int opcode;
    } cases[] = {{"LDIR", 0xB0}, {"LDDR", 0xB8}, {"CPIR", 0xB1}, {"CPDR", 0xB9},
                 {"INIR", 0xB2}, {"INDR", 0xBA}, {"OTIR", 0xB3}, {"OTDR", 0xBB}};
    for (const Case &c : cases)
        for (int n : {1, 2, 3, 100}) {
            SetUp();
            cpu.BC.w = uint16_t(c.opcode & 2 ? n << 8 : n); // I/O forms count in B
            cpu.AF.h = 0x55;                                // no byte of RAM matches
            EXPECT_EQ(Cost({0xED, c.opcode}), 21L * n - 5) << c.name << " n=" << n;
        }
    // With small slices the instruction resumes after every line step and
    // the total stays the same.
    SetUp();
    cpu.BC.w = 50;
    Program(0x0100)({0xED, 0xB0, 0xED, 0xFE}).loadInto(Machine);
    EXPECT_EQ(RunToTrap(cpu, 30), 21L * 50 - 5);
}

TEST_F(Z80TimingTest, EveryPrefixByteCostsFourCycles)
{
    const CostCase cases[] = {
        {"ED with nothing behind it", {0xED, 0x00}, 8},
        {"ED 77 (no operation)", {0xED, 0x77}, 8},
        {"ED ED 00: the first ED is dropped", {0xED, 0xED, 0x00}, 4 + 8},
        {"DD DD 21 nn nn", {0xDD, 0xDD, 0x21, 0, 0}, 4 + 14},
        {"DD FD 21 nn nn", {0xDD, 0xFD, 0x21, 0, 0}, 4 + 14},
        {"DD ED: the ED is consumed", {0xDD, 0xED}, 8},
        {"DD CB d 00 does nothing", {0xDD, 0xCB, 0x01, 0x00}, 8},
        // An opcode without HL adds nothing of its own behind the prefix.
        {"DD 01 nn nn", {0xDD, 0x01, 0, 0}, 4},
        {"FD 00", {0xFD, 0x00}, 4},
    };
    for (const CostCase &c : cases) {
        SetUp();
        EXPECT_EQ(Cost(c.code), c.cycles) << c.name;
    }
}

TEST_F(Z80TimingTest, AFrameOfNothingButPrefixesStillEnds)
{
    for (int prefix : {0xDD, 0xFD, 0xED, 0xCB}) {
        SetUp();
        for (int a = 0; a < 0x10000; ++a)
            Machine.at(uint16_t(a)) = uint8_t(prefix);
        cpu.cyclesLeft = 100;
        EXPECT_TRUE(Z80RunFrame(cpu)) << std::hex << prefix;
        EXPECT_EQ(Machine.lineHookCalls, 1);
    }
}

TEST_F(Z80TimingTest, HaltGivesUpTheRestOfTheSlice)
{
    Program(0x0100)({0x00, 0x76}).loadInto(Machine);
    cpu.cyclesLeft = 200;
    Z80RunFrame(cpu);
    EXPECT_EQ(Machine.lineHookCalls, 1);
    EXPECT_EQ(Machine.cyclesLeftAtHook, 0);
    EXPECT_EQ(cpu.PC.w, 0x0101); // on the HALT opcode
    EXPECT_TRUE(cpu.IFF & Z80IffHalted);
}

} // namespace
} // namespace Belcrest::Test
