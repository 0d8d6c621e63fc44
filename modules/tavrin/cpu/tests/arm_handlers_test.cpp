// ARM handlers on single instructions: the loads, stores and r15 rules that
// follow the real CPU, and the flag and cycle rules of the handler families.
#include "modules/tavrin/testing/ArmAsm.h"
#include "modules/tavrin/testing/TestMachine.h"

#include <gtest/gtest.h>

namespace Tavrin::Test {
namespace {

using namespace Asm;

constexpr uint32_t Ram = 0x03000000;  // internal work RAM: 1-cycle accesses
constexpr uint32_t Code = 0x08000100; // cartridge: 4-cycle word fetches

class ArmHandlers : public ::testing::Test {
protected:
    TestMachine m;
    ArmState &cpu = ConsoleCpu;
    void SetUp() override
    {
        const uint8_t bytes[] = {0x11, 0x22, 0x33, 0x44, 0x80, 0x7F, 0x00, 0x80};
        std::memcpy(m.Host(Ram), bytes, sizeof bytes);
    }
    uint32_t Flags() const { return cpu.cpsr >> 28; }
};

TEST_F(ArmHandlers, MisalignedWordLoadsRotateTheAlignedWord)
{
    const uint32_t expected[4] = {0x44332211, 0x11443322, 0x22114433, 0x33221144};
    for (uint32_t offset = 0; offset < 4; ++offset) {
        cpu.r[1] = Ram + offset;
        EXPECT_EQ(m.ExecArm(Mem(true, false, true, true, false, 0, 1, 0)), 4 + 1 + 1);
        EXPECT_EQ(cpu.r[0], expected[offset]) << "offset " << offset;
    }
    // SWP reads the old word the same way and stores through the word store.
    cpu.r[1] = Ram + 2;
    cpu.r[2] = 0xCAFEF00D;
    m.ExecArm(Swp(false, 0, 1, 2));
    EXPECT_EQ(cpu.r[0], 0x22114433u);
    EXPECT_EQ(m.Peek32(Ram), 0xCAFEF00Du);
    // Outside the BIOS, the BIOS area reads as its fixed word, rotated too.
    cpu.r[1] = 2;
    m.ExecArm(Mem(true, false, true, true, false, 0, 1, 0));
    EXPECT_EQ(cpu.r[0], 0xFF11FF00u);
}

TEST_F(ArmHandlers, BiosImageIsReadOnlyByCodeInsideIt)
{
    m.Poke32(0x10, 0x12345678);
    struct Case {
        const char *name;
        uint32_t op, inside, outside;
        int32_t cycles;
    } cases[] = {
        // BIOS fetches and reads cost 1; the swap's ignored store 1 more.
        {"LDR", Mem(true, false, true, true, false, 0, 1, 0), 0x78123456, 0x11FF00FF, 1 + 1 + 1},
        {"LDRB", Mem(true, true, true, true, false, 0, 1, 0), 0x56, 0xFF, 1 + 1 + 1},
        {"LDRH", MemHalf(true, 1, true, true, false, 0, 1, 0), 0x78000056, 0x110000FF, 1 + 1 + 1},
        {"SWPB", Swp(true, 0, 1, 1), 0x56, 0xFF, 1 + 1 + 1 + 1},
    };
    for (const Case &c : cases) {
        cpu.r[1] = 0x11;
        EXPECT_EQ(m.ExecArm(c.op, 0x200), c.cycles) << c.name;
        EXPECT_EQ(cpu.r[0], c.inside) << c.name;
        cpu.r[1] = 0x11;
        m.ExecArm(c.op);
        EXPECT_EQ(cpu.r[0], c.outside) << c.name;
    }
}

TEST_F(ArmHandlers, HalfwordLoadsAtOddAddresses)
{
    struct Case {
        uint32_t sh, address, expected;
    } cases[] = {
        {1, Ram + 1, 0x11000022}, // LDRH: aligned halfword rotated right by 8
        {1, Ram + 2, 0x00004433},
        {3, Ram + 5, 0x0000007F}, // LDRSH odd: the byte there, sign-extended
        {3, Ram + 7, 0xFFFFFF80},
        {3, Ram + 6, 0xFFFF8000},
        {2, Ram + 4, 0xFFFFFF80}, // LDRSB
        {1, 0x1, 0x110000FF},     // BIOS word, halfword 0xFF11, rotated
        {3, 0x1, 0xFFFFFFFF},
        {3, 0x0, 0xFFFFFF11},
        {2, 0x2, 0x00000000},
    };
    for (const Case &c : cases) {
        cpu.r[1] = c.address;
        // BIOS and internal RAM both cost 1 per halfword access, plus 1.
        EXPECT_EQ(m.ExecArm(MemHalf(true, c.sh, true, true, false, 0, 1, 0)), 4 + 1 + 1);
        EXPECT_EQ(cpu.r[0], c.expected) << "kind " << c.sh << " at 0x" << std::hex << c.address;
    }
}

TEST_F(ArmHandlers, LoadIntoItsOwnBaseKeepsTheLoadedValue)
{
    const uint32_t ops[] = {
        Mem(true, false, false, true, false, 1, 1, 4), // LDR r1, [r1], #4
        Mem(true, false, true, true, true, 1, 1, 0),   // LDR r1, [r1, #0]!
        MemHalf(true, 1, false, true, false, 1, 1, 2), // LDRH r1, [r1], #2
        Mem(true, true, true, true, true, 1, 1, 0),    // LDRB r1, [r1, #0]!
    };
    const uint32_t expected[] = {0x44332211, 0x44332211, 0x2211, 0x11};
    for (size_t i = 0; i < std::size(ops); ++i) {
        cpu.r[1] = Ram;
        m.ExecArm(ops[i]);
        EXPECT_EQ(cpu.r[1], expected[i]) << "case " << i;
    }
    // A different destination still sees the write-back.
    cpu.r[1] = Ram;
    m.ExecArm(Mem(true, false, false, true, false, 0, 1, 0xF0));
    EXPECT_EQ(cpu.r[1], Ram + 0xF0);
}

TEST_F(ArmHandlers, StoredBaseIsTheOldValueOnlyWhenListedFirst)
{
    cpu.r[1] = Ram + 0x100;
    cpu.r[2] = Ram + 0x200;
    m.ExecArm(Block(false, false, true, true, 1, List({1, 2}))); // STMIA r1!, {r1, r2}
    EXPECT_EQ(m.Peek32(Ram + 0x100), Ram + 0x100);
    EXPECT_EQ(cpu.r[1], Ram + 0x108);
    m.ExecArm(Block(false, false, true, true, 2, List({1, 2}))); // STMIA r2!, {r1, r2}
    EXPECT_EQ(m.Peek32(Ram + 0x204), Ram + 0x208);
    EXPECT_EQ(cpu.r[2], Ram + 0x208);
    cpu.r[3] = Ram + 0x303; // low bits survive the write-back
    m.ExecArm(Block(false, true, false, true, 3, List({0, 3}))); // STMDB r3!, {r0, r3}
    EXPECT_EQ(m.Peek32(Ram + 0x2FC), Ram + 0x2FB);
    EXPECT_EQ(cpu.r[3], Ram + 0x2FB);
    // STR r0, [r0], #4 stores the old base.
    cpu.r[0] = Ram + 0x400;
    m.ExecArm(Mem(false, false, false, true, false, 0, 0, 4));
    EXPECT_EQ(m.Peek32(Ram + 0x400), Ram + 0x400);
    EXPECT_EQ(cpu.r[0], Ram + 0x404);
}

TEST_F(ArmHandlers, EmptyListTransfersR15AndMovesTheBaseBy0x40)
{
    struct Case {
        bool pre, up;
        uint32_t storedAt, baseAfter;
    } cases[] = {
        {false, true, 0x200, 0x240},  // IA
        {true, true, 0x204, 0x240},   // IB
        {false, false, 0x1C4, 0x1C0}, // DA
        {true, false, 0x1C0, 0x1C0},  // DB
    };
    for (const Case &c : cases) {
        cpu.r[0] = Ram + 0x200;
        m.ExecArm(Block(false, c.pre, c.up, true, 0, 0));
        EXPECT_EQ(m.Peek32(Ram + c.storedAt), Code + 12) << c.pre << c.up;
        EXPECT_EQ(cpu.r[0], Ram + c.baseAfter) << c.pre << c.up;
    }
    m.Poke32(Ram + 0x200, 0x08000203);
    cpu.r[0] = Ram + 0x200;
    EXPECT_EQ(m.ExecArm(Block(true, false, true, true, 0, 0)), 4 + 1 + 1);
    EXPECT_EQ(cpu.r[15], 0x08000200u);
    EXPECT_EQ(cpu.r[0], Ram + 0x240);
}

// Whichever way the base steps, the registers go out lowest first at rising
// addresses: a descending STM of source, destination and control into the
// DMA registers must write the control word last, or the transfer would
// start with the old destination.
TEST_F(ArmHandlers, BlockStoresGoOutAtRisingAddresses)
{
    struct Case {
        const char *form;
        bool pre, up;
        uint32_t base;
    } cases[] = {
        {"IA", false, true, 0x040000B0},
        {"IB", true, true, 0x040000AC},
        {"DA", false, false, 0x040000B8},
        {"DB", true, false, 0x040000BC},
    };
    for (const Case &c : cases) {
        StandInLog = {};
        cpu.r[3] = c.base;
        m.ExecArm(Block(false, c.pre, c.up, false, 3, List({0, 1, 2})));
        // Each word reaches the registers as two halfwords.
        EXPECT_EQ(StandInLog.ioWrites, 6u) << c.form;
        EXPECT_EQ(StandInLog.lastIoAddress, 0x040000BAu) << c.form;
    }
}

TEST_F(ArmHandlers, UserBankTransfers)
{
    // System mode: r13 and r14 of the user bank are the live registers.
    cpu.r[13] = 0x1313;
    cpu.r[14] = 0x1414;
    cpu.r13Usr = cpu.r14Usr = 0xDEAD;
    cpu.r[0] = Ram + 0x100;
    m.ExecArm(Block(false, false, true, false, 0, List({13, 14}), true));
    EXPECT_EQ(m.Peek32(Ram + 0x100), 0x1313u);
    EXPECT_EQ(m.Peek32(Ram + 0x104), 0x1414u);
    m.Poke32(Ram + 0x100, 0x77);
    m.ExecArm(Block(true, false, true, false, 0, List({13}), true));
    EXPECT_EQ(cpu.r[13], 0x77u);

    // IRQ mode: the user bank lives in its slots.
    ArmSwitchMode(&cpu, 0x92);
    cpu.earlyExit = 0;
    cpu.r13Usr = 0xAAAA;
    cpu.r14Usr = 0xBBBB;
    m.ExecArm(Block(false, false, true, false, 0, List({13, 14}), true));
    EXPECT_EQ(m.Peek32(Ram + 0x100), 0xAAAAu);
    EXPECT_EQ(m.Peek32(Ram + 0x104), 0xBBBBu);
    m.Poke32(Ram + 0x100, 0x5555);
    const uint32_t irqSp = cpu.r[13];
    m.ExecArm(Block(true, false, true, false, 0, List({13}), true));
    EXPECT_EQ(cpu.r13Usr, 0x5555u);
    EXPECT_EQ(cpu.r[13], irqSp);

    // LDMFD sp!, {r0, pc}^ returns to THUMB code with the saved status.
    cpu.spsrIrq = 0x3F;
    cpu.r[13] = Ram + 0x300;
    m.Poke32(Ram + 0x300, 0x1234);
    m.Poke32(Ram + 0x304, 0x08000403);
    m.ExecArm(Block(true, false, true, true, 13, List({0, 15}), true));
    EXPECT_EQ(cpu.cpsr, 0x3Fu);
    EXPECT_EQ(cpu.r[15], 0x08000402u);
    EXPECT_EQ(cpu.r[0], 0x1234u);
}

TEST_F(ArmHandlers, R15WritesAreAlignedAndReadsSeeThePipeline)
{
    m.ExecArm(Bx(15));
    EXPECT_EQ(cpu.r[15], Code + 8);
    EXPECT_FALSE(cpu.cpsr & FlagT);

    cpu.r[0] = 0x08000203;
    m.ExecArm(DpReg(MOV, false, 15, 0, 0));
    EXPECT_EQ(cpu.r[15], 0x08000200u);
    m.Poke32(Ram, 0x08000307);
    cpu.r[1] = Ram;
    m.ExecArm(Mem(true, false, true, true, false, 15, 1, 0));
    EXPECT_EQ(cpu.r[15], 0x08000304u);

    m.ExecArm(DpImm(ADD, false, 0, 15, 8));
    EXPECT_EQ(cpu.r[0], Code + 16);
    cpu.r[1] = 0;
    cpu.r[2] = 0;
    EXPECT_EQ(m.ExecArm(DpRegShift(ADD, false, 0, 15, 1, LSL, 2)), 4 + 1);
    EXPECT_EQ(cpu.r[0], Code + 12);
    cpu.r[0] = Ram + 0x40;
    m.ExecArm(Mem(false, false, true, true, false, 15, 0, 0));
    EXPECT_EQ(m.Peek32(Ram + 0x40), Code + 12);

    // BX to an odd address enters THUMB and cuts the slice, keeping cycles.
    cpu.r[3] = 0x08000201;
    cpu.r[15] = Code;
    m.Poke32(Code, Bx(3));
    cpu.cyclesLeft = 100;
    ArmStepInstruction(&cpu);
    EXPECT_EQ(cpu.r[15], 0x08000200u);
    EXPECT_TRUE(cpu.cpsr & FlagT);
    EXPECT_EQ(cpu.cyclesLeft, 0);
    EXPECT_EQ(cpu.savedCycles, 96);
    EXPECT_EQ(cpu.earlyExit, 1);
}

struct FlagCase {
    const char *name;
    uint32_t op;
    uint32_t r1, r2, flagsIn, expected, flagsOut; // flags as NZCV nibbles
};

TEST_F(ArmHandlers, ShifterAndArithmeticFlags)
{
    const FlagCase cases[] = {
        {"LSR #0 is LSR #32", DpReg(MOV, true, 0, 0, 1, LSR, 0), 0x80000001, 0, 0x0, 0, 0x6},
        {"ASR #0 is ASR #32", DpReg(MOV, true, 0, 0, 1, ASR, 0), 0x80000000, 0, 0x0, 0xFFFFFFFF, 0xA},
        {"ROR #0 is RRX", DpReg(MOV, true, 0, 0, 1, ROR, 0), 1, 0, 0x2, 0x80000000, 0xA},
        {"LSL #0 keeps C", DpReg(MOV, true, 0, 0, 1, LSL, 0), 5, 0, 0x2, 5, 0x2},
        {"rotated immediate sets C", DpImm(MOV, true, 0, 0, 2, 1), 0, 0, 0x0, 0x80000000, 0xA},
        {"zero rotation keeps C", DpImm(AND, true, 0, 1, 0xFF), 0x80, 0, 0x2, 0x80, 0x2},
        {"SUBS overflow", DpImm(SUB, true, 0, 1, 1), 0x80000000, 0, 0x0, 0x7FFFFFFF, 0x3},
        {"CMP 0 - 0x80000000", DpReg(CMP, true, 0, 1, 2), 0, 0x80000000, 0x0, 0, 0x9},
        {"CMP equal", DpReg(CMP, true, 0, 1, 2), 0x80000000, 0x80000000, 0x0, 0, 0x6},
        {"SBCS borrow in", DpReg(SBC, true, 0, 1, 2), 0x80000000, 0, 0x0, 0x7FFFFFFF, 0x3},
        {"ADCS carry out", DpReg(ADC, true, 0, 1, 2), 0xFFFFFFFF, 0, 0x2, 0, 0x6},
        {"ADDS overflow", DpReg(ADD, true, 0, 1, 2), 0x7FFFFFFF, 1, 0x0, 0x80000000, 0x9},
        {"RSBS", DpReg(RSB, true, 0, 1, 2), 1, 0x80000000, 0x0, 0x7FFFFFFF, 0x3},
        {"LSL by 0x120 uses the low byte", DpRegShift(MOV, true, 0, 0, 1, LSL, 2), 3, 0x120, 0x0, 0, 0x6},
        {"LSR by 0", DpRegShift(MOV, true, 0, 0, 1, LSR, 2), 7, 0, 0x2, 7, 0x2},
        {"ASR by 40", DpRegShift(MOV, true, 0, 0, 1, ASR, 2), 0x80000000, 40, 0x0, 0xFFFFFFFF, 0xA},
        {"ROR by 32", DpRegShift(MOV, true, 0, 0, 1, ROR, 2), 0x80000001, 32, 0x0, 0x80000001, 0xA},
        {"MULS zero keeps V, clears C", Mul(false, true, 0, 1, 2), 0, 5, 0x3, 0, 0x5},
    };
    for (const FlagCase &c : cases) {
        cpu.r[1] = c.r1;
        cpu.r[2] = c.r2;
        cpu.cpsr = (c.flagsIn << 28) | 0x1F;
        m.ExecArm(c.op);
        if (((c.op >> 21) & 15) != CMP) {
            EXPECT_EQ(cpu.r[0], c.expected) << c.name;
        }
        EXPECT_EQ(Flags(), c.flagsOut) << c.name;
    }
}

TEST_F(ArmHandlers, StatusRestoreAndPsrTransfers)
{
    // MOVS pc, lr in IRQ mode restores the saved status, THUMB included.
    ArmSwitchMode(&cpu, 0x92);
    cpu.spsrIrq = 0x6000003F;
    cpu.r[14] = 0x08000123;
    m.ExecArm(DpReg(MOV, true, 15, 0, 14));
    EXPECT_EQ(cpu.cpsr, 0x6000003Fu);
    EXPECT_EQ(cpu.r[15], 0x08000122u);
    EXPECT_EQ(cpu.r[13], 0x03007F00u); // back to the system bank

    // In user mode it only jumps; a logical operation still sets C.
    cpu.cpsr = 0x10;
    cpu.r[1] = 0x08000200;
    m.ExecArm(DpReg(MOV, true, 15, 0, 1, LSR, 0));
    EXPECT_EQ(cpu.r[15], 0u);
    EXPECT_EQ(cpu.cpsr, 0x10u);

    cpu.cpsr = 0x10;
    cpu.r[0] = 0x1F;
    m.ExecArm(Msr(false, 1, 0)); // MSR CPSR_c, r0 in user mode
    EXPECT_EQ(cpu.cpsr, 0x10u);
    m.ExecArm(DpImm(0x9, false, 15, 8, 0xF, 2) | 1u << 21 | 0); // MSR CPSR_f, #0xF0000000
    EXPECT_EQ(cpu.cpsr, 0xF0000010u);


    // Entering supervisor mode by MSR swaps r13/r14 and cuts the slice.
    cpu.cpsr = 0x1F;
    cpu.r[13] = 0x1111;
    cpu.r13Svc = 0x2222;
    cpu.r[0] = 0x13;
    cpu.cyclesLeft = 50;
    m.Poke32(Code, Msr(false, 1, 0));
    cpu.r[15] = Code;
    ArmStepInstruction(&cpu);
    EXPECT_EQ(cpu.r[13], 0x2222u);
    EXPECT_EQ(cpu.r13Usr, 0x1111u);
    EXPECT_EQ(cpu.earlyExit, 1);
}

// MSR writes the fields it names and never the bits between the flags and
// the control byte, which this CPU does not have; MRS of the saved status
// in a mode without one reads the current status.
TEST_F(ArmHandlers, PsrTransfersTouchOnlyBitsThatExist)
{
    constexpr uint32_t MrsSpsr = 0xE14F0000; // MRS r0, SPSR
    struct Case {
        const char *what;
        uint32_t mode;       // status before, with flags Z and C set
        uint32_t op;         // with r0 as the operand
        uint32_t r0;
        uint32_t cpsr, spsr, result; // status, the mode's saved status, r0 after
    } const cases[] = {
        {"CPSR_x", 0x1F, Msr(false, 2, 0), 0x0000FF00, 0x6000001F, 0x5A5A5A5A, 0x0000FF00},
        {"CPSR_s", 0x1F, Msr(false, 4, 0), 0x00FF0000, 0x6000001F, 0x5A5A5A5A, 0x00FF0000},
        {"CPSR_f", 0x1F, Msr(false, 8, 0), 0x9F000000, 0x9000001F, 0x5A5A5A5A, 0x9F000000},
        {"CPSR_fsxc", 0x1F, Msr(false, 15, 0), 0xFFFFFF1F, 0xF000001F, 0x5A5A5A5A, 0xFFFFFF1F},
        {"CPSR_c in user mode", 0x10, Msr(false, 1, 0), 0x0000001F, 0x60000010, 0x5A5A5A5A, 0x1F},
        // Mode bit 4 reads back set: $03 is supervisor mode ($13).
        {"CPSR_c, mode bit 4 clear", 0x1F, Msr(false, 1, 0), 0x00000003, 0x60000013, 0x5A5A5A5A, 0x03},
        {"CPSR_c, system mode as $0F", 0x13, Msr(false, 1, 0), 0x0000000F, 0x6000001F, 0x5A5A5A5A, 0x0F},
        {"SPSR_fsxc", 0x12, Msr(true, 15, 0), 0xFFFFFFFF, 0x60000012, 0xF00000FF, 0xFFFFFFFF},
        {"SPSR_sx", 0x12, Msr(true, 6, 0), 0xFFFFFFFF, 0x60000012, 0x5000005A, 0xFFFFFFFF},
        {"SPSR_c, mode bit 4 clear", 0x12, Msr(true, 1, 0), 0x000000C2, 0x60000012, 0x500000D2, 0xC2},
        {"SPSR_fc, mode bit 4 clear", 0x12, Msr(true, 9, 0), 0x80000007, 0x60000012, 0x80000017, 0x80000007},
        {"SPSR in user mode", 0x10, Msr(true, 15, 0), 0xFFFFFFFF, 0x60000010, 0x5A5A5A5A, 0xFFFFFFFF},
        {"MRS SPSR in IRQ mode", 0x12, MrsSpsr, 0, 0x60000012, 0x5000005A, 0x5000005A},
        {"MRS SPSR in user mode", 0x10, MrsSpsr, 0, 0x60000010, 0x5A5A5A5A, 0x60000010},
        {"MRS SPSR in system mode", 0x1F, MrsSpsr, 0, 0x6000001F, 0x5A5A5A5A, 0x6000001F},
    };
    for (const Case &c : cases) {
        ArmSwitchMode(&cpu, 0x60000000 | c.mode);
        cpu.earlyExit = 0; // the switch is set-up, not part of the step
        uint32_t *spsr = ArmSpsrOf(&cpu, c.mode);
        uint32_t unused = 0x5A5A5A5A;
        if (!spsr)
            spsr = &unused;
        *spsr = c.mode == 0x12 ? 0x5000005A : 0x5A5A5A5A;
        cpu.r[0] = c.r0;
        m.ExecArm(c.op);
        EXPECT_EQ(cpu.cpsr, c.cpsr) << c.what;
        EXPECT_EQ(*spsr, c.spsr) << c.what;
        EXPECT_EQ(cpu.r[0], c.result) << c.what;
    }
}

TEST_F(ArmHandlers, CycleCosts)
{
    struct Case {
        const char *name;
        uint32_t op;
        int32_t cycles;
    } cases[] = {
        {"MOV", DpImm(MOV, false, 0, 0, 1), 4},
        {"MOV register shift", DpRegShift(MOV, false, 0, 0, 1, LSL, 2), 5},
        {"LDR internal RAM", Mem(true, false, true, true, false, 0, 4, 0), 4 + 1 + 1},
        {"LDRB external RAM", Mem(true, true, true, true, false, 0, 5, 0), 4 + 3 + 1},
        {"LDR external RAM", Mem(true, false, true, true, false, 0, 5, 0), 4 + 6 + 1},
        {"STR external RAM", Mem(false, false, true, true, false, 0, 5, 0), 4 + 6},
        {"LDMIA 3 words", Block(true, false, true, false, 4, List({0, 1, 2})), 4 + 3 + 1},
        {"STMIA 2 words external", Block(false, false, true, false, 5, List({0, 1})), 4 + 12},
        {"MUL", Mul(false, false, 0, 1, 2), 4 + 4},
        {"MLA", Mul(true, false, 0, 1, 2, 3), 4 + 5},
        {"UMULL", 0xE0810392, 4 + 5},
        {"SMLAL", 0xE0E10392, 4 + 6},
        {"SWP internal RAM", Swp(false, 0, 4, 1), 4 + 1 + 1 + 1},
        {"B", Branch(Code, Code), 4},
    };
    for (const Case &c : cases) {
        cpu.r[4] = Ram + 0x100;
        cpu.r[5] = 0x02000100;
        EXPECT_EQ(m.ExecArm(c.op), c.cycles) << c.name;
    }
}

TEST_F(ArmHandlers, LongMultiplies)
{
    struct Case {
        uint32_t op, rm, rs, lo, hi, expectLo, expectHi;
    } cases[] = {
        {0xE0810392, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0x00000001, 0xFFFFFFFE}, // UMULL r0, r1, r2, r3
        {0xE0C10392, 0xFFFFFFFF, 1, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF},          // SMULL
        {0xE0C10392, 0x80000000, 0x80000000, 0, 0, 0, 0x40000000},          // SMULL
        {0xE0A10392, 1, 1, 0xFFFFFFFF, 0, 0, 1},                            // UMLAL carries
    };
    for (const Case &c : cases) {
        cpu.r[2] = c.rm;
        cpu.r[3] = c.rs;
        cpu.r[0] = c.lo;
        cpu.r[1] = c.hi;
        m.ExecArm(c.op);
        EXPECT_EQ(cpu.r[0], c.expectLo);
        EXPECT_EQ(cpu.r[1], c.expectHi);
    }
    // SMLALS to zero sets Z, clears N, keeps C and V.
    cpu.r[2] = 1;
    cpu.r[3] = 1;
    cpu.r[0] = 0xFFFFFFFF;
    cpu.r[1] = 0xFFFFFFFF;
    cpu.cpsr = 0xB000001F;
    m.ExecArm(0xE0F10392);
    EXPECT_EQ(cpu.cpsr >> 28, 0x7u);
}

TEST_F(ArmHandlers, UndefinedAndNeverConditionChangeNothingButR15)
{
    const uint32_t ops[] = {0xE7F000F0, 0xF0000000 | DpImm(MOV, false, 0, 0, 1), 0xEE000010 /* MCR */,
                            0xED900000 /* LDC */, 0xE1000070 /* block 7 slot 0x10 */};
    for (uint32_t op : ops) {
        ArmState before = cpu;
        EXPECT_EQ(m.ExecArm(op), 4);
        before.r[15] = Code + 4;
        before.cyclesLeft = cpu.cyclesLeft;
        EXPECT_EQ(std::memcmp(&before, &cpu, sizeof cpu), 0) << std::hex << op;
    }
}

TEST_F(ArmHandlers, UnrecognizedOpcodesAreReportedOnlyWhenAsked)
{
    struct Case {
        bool thumb;
        uint32_t op;
        const char *line;
    } cases[] = {
        {false, 0xE7F000F0, "ARM: Unrecognized opcode 0xE7F000F0 at 0x08000100\n"},
        {false, 0xF3A00001, "ARM: Unrecognized opcode 0xF3A00001 at 0x08000100\n"}, // condition never
        {false, 0xEE010F10, "ARM: Unrecognized opcode 0xEE010F10 at 0x08000100\n"}, // MCR
        {true, 0xB100, "THUMB: Unrecognized opcode 0xB100 at 0x08000100\n"},
        {true, 0xE800, "THUMB: Unrecognized opcode 0xE800 at 0x08000100\n"},
    };
    for (const Case &c : cases) {
        for (uint8_t report : {0, 0x10}) {
            cpu.reportUnknown = report;
            ::testing::internal::CaptureStdout();
            if (c.thumb)
                m.ExecThumb(uint16_t(c.op));
            else
                m.ExecArm(c.op);
            EXPECT_EQ(::testing::internal::GetCapturedStdout(), report ? c.line : "") << c.line;
        }
    }
}

TEST_F(ArmHandlers, SoftwareInterruptPassesTheComment)
{
    m.ExecArm(0xEF123456);
    EXPECT_EQ(StandInLog.biosCalls, 1u);
    EXPECT_EQ(StandInLog.lastComment, 0x123456u);
    m.ExecThumb(0xDF2A);
    EXPECT_EQ(StandInLog.lastComment, 0x2Au);
}

} // namespace
} // namespace Tavrin::Test
