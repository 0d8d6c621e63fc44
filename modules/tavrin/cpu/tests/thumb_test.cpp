// THUMB instructions decoded inline by the run loop.
#include "modules/tavrin/testing/ArmAsm.h"
#include "modules/tavrin/testing/TestMachine.h"

#include <gtest/gtest.h>

namespace Tavrin::Test {
namespace {

using namespace Asm;

constexpr uint32_t Ram = 0x03000000;
constexpr uint32_t Code = 0x08000100; // 2-cycle halfword fetches

class Thumb : public ::testing::Test {
protected:
    TestMachine m;
    ArmState &cpu = ConsoleCpu;
    void SetUp() override
    {
        const uint8_t bytes[] = {0x11, 0x22, 0x33, 0x44, 0x80, 0x7F, 0x00, 0x80};
        std::memcpy(m.Host(Ram), bytes, sizeof bytes);
        cpu.cpsr |= FlagT;
    }
    uint32_t Flags() const { return cpu.cpsr >> 28; }
};

TEST_F(Thumb, PushWithLrStoresLrAboveTheList)
{
    cpu.r[13] = 0x03007F02; // low bits survive
    cpu.r[0] = 0xA0;
    cpu.r[1] = 0xA1;
    cpu.r[14] = 0x0800AAAB;
    EXPECT_EQ(m.ExecThumb(T::Push(0x03, true)), 2 + 3);
    EXPECT_EQ(m.Peek32(0x03007EF4), 0xA0u);
    EXPECT_EQ(m.Peek32(0x03007EF8), 0xA1u);
    EXPECT_EQ(m.Peek32(0x03007EFC), 0x0800AAABu);
    EXPECT_EQ(cpu.r[13], 0x03007EF6u);

    cpu.r[0] = cpu.r[1] = 0;
    EXPECT_EQ(m.ExecThumb(T::Pop(0x03, true)), 2 + 3);
    EXPECT_EQ(cpu.r[0], 0xA0u);
    EXPECT_EQ(cpu.r[1], 0xA1u);
    EXPECT_EQ(cpu.r[15], 0x0800AAAAu); // stays THUMB, bit 0 cleared
    EXPECT_TRUE(cpu.cpsr & FlagT);
    EXPECT_EQ(cpu.r[13], 0x03007F02u);
}

TEST_F(Thumb, EmptyListsMoveR15AndTheBaseBy0x40)
{
    cpu.r[13] = Ram + 0x200;
    m.ExecThumb(T::Push(0, false));
    EXPECT_EQ(cpu.r[13], Ram + 0x1C0);
    EXPECT_EQ(m.Peek32(Ram + 0x1C0), Code + 6);
    m.Poke32(Ram + 0x1C0, 0x08000301);
    m.ExecThumb(T::Pop(0, false));
    EXPECT_EQ(cpu.r[15], 0x08000300u);
    EXPECT_EQ(cpu.r[13], Ram + 0x200);

    cpu.r[2] = Ram + 0x300;
    m.ExecThumb(0xC200); // STMIA r2!, {}
    EXPECT_EQ(m.Peek32(Ram + 0x300), Code + 6);
    EXPECT_EQ(cpu.r[2], Ram + 0x340);
    cpu.r[2] = Ram + 0x300;
    m.Poke32(Ram + 0x300, 0x08000400);
    m.ExecThumb(0xCA00); // LDMIA r2!, {}
    EXPECT_EQ(cpu.r[15], 0x08000400u);
    EXPECT_EQ(cpu.r[2], Ram + 0x340);
}

TEST_F(Thumb, MultipleTransfersAndTheirBase)
{
    cpu.r[0] = Ram + 0x100;
    cpu.r[1] = 7;
    m.ExecThumb(0xC003); // STMIA r0!, {r0, r1}: r0 first, old value
    EXPECT_EQ(m.Peek32(Ram + 0x100), Ram + 0x100);
    EXPECT_EQ(cpu.r[0], Ram + 0x108);
    cpu.r[1] = Ram + 0x200;
    m.ExecThumb(0xC103); // STMIA r1!, {r0, r1}: r1 not first, written-back value
    EXPECT_EQ(m.Peek32(Ram + 0x204), Ram + 0x208);
    cpu.r[0] = Ram;
    m.ExecThumb(0xC803); // LDMIA r0!, {r0, r1}: loaded r0 stays
    EXPECT_EQ(cpu.r[0], 0x44332211u);
    EXPECT_EQ(cpu.r[1], 0x80007F80u);
}

TEST_F(Thumb, LoadsRotateLikeTheArmForms)
{
    struct Case {
        uint16_t op;
        uint32_t base, expected;
    } cases[] = {
        {0x6808, Ram + 1, 0x11443322}, // LDR r0, [r1]
        {0x8808, Ram + 1, 0x11000022}, // LDRH r0, [r1]
        {0x5E08, Ram + 5, 0x0000007F}, // LDRSH r0, [r1, r0] with r0 = 0
        {0x5E08, Ram + 7, 0xFFFFFF80},
        {0x5608, Ram + 4, 0xFFFFFF80}, // LDRSB
        {0x7808, 0x3, 0xFF},           // LDRB from the protected BIOS
    };
    for (const Case &c : cases) {
        cpu.r[0] = 0;
        cpu.r[1] = c.base;
        m.ExecThumb(c.op);
        EXPECT_EQ(cpu.r[0], c.expected) << std::hex << c.op << " at " << c.base;
    }
}

TEST_F(Thumb, AluShiftsMultiplyAndNegate)
{
    struct Case {
        const char *name;
        uint16_t op;
        uint32_t rd, rs, flagsIn, expected, flagsOut;
        int32_t cycles;
    } cases[] = {
        {"ROR by 32 keeps Rd, C = bit 31", T::Alu(7, 0, 1), 0x80000001, 32, 0x0, 0x80000001, 0xA, 3},
        {"ROR by 64 the same", T::Alu(7, 0, 1), 0x00000001, 64, 0x2, 0x00000001, 0x0, 3},
        {"ROR by 0 keeps C", T::Alu(7, 0, 1), 0x00000001, 0x100, 0x2, 0x00000001, 0x2, 3},
        {"ROR by 4", T::Alu(7, 0, 1), 0x000000F1, 4, 0x0, 0x1000000F, 0x0, 3},
        {"LSL by 32", T::Alu(2, 0, 1), 0x00000001, 32, 0x0, 0, 0x6, 3},
        {"LSL by 33", T::Alu(2, 0, 1), 0xFFFFFFFF, 33, 0x2, 0, 0x4, 3},
        {"LSR by 32", T::Alu(3, 0, 1), 0x80000000, 32, 0x0, 0, 0x6, 3},
        {"ASR by 40", T::Alu(4, 0, 1), 0x80000000, 40, 0x0, 0xFFFFFFFF, 0xA, 3},
        {"MUL keeps V, clears C", T::Alu(13, 0, 1), 3, 5, 0x3, 15, 0x1, 6},
        {"NEG of 0x80000000", T::Alu(9, 0, 1), 0, 0x80000000, 0x0, 0x80000000, 0x9, 2},
        {"NEG of 0", T::Alu(9, 0, 1), 5, 0, 0x0, 0, 0x6, 2},
        {"CMP 0 with 0x80000000", T::Alu(10, 0, 1), 0, 0x80000000, 0x0, 0, 0x9, 2},
        {"SBC with borrow", T::Alu(6, 0, 1), 0x80000000, 0, 0x0, 0x7FFFFFFF, 0x3, 2},
        {"LSR #0 means 32", 0x0808, 0, 0x80000000, 0x0, 0, 0x6, 2},
        {"ASR #0 means 32", 0x1008, 0, 0x80000000, 0x0, 0xFFFFFFFF, 0xA, 2},
        {"LSL #0 keeps C", 0x0008, 0, 0x80000000, 0x2, 0x80000000, 0xA, 2},
        {"MOV #0", 0x2000, 7, 0, 0xF, 0, 0x7, 2},
    };
    for (const Case &c : cases) {
        cpu.r[0] = c.rd;
        cpu.r[1] = c.rs;
        cpu.cpsr = (c.flagsIn << 28) | 0x3F;
        EXPECT_EQ(m.ExecThumb(c.op), c.cycles) << c.name;
        EXPECT_EQ(cpu.r[0], c.expected) << c.name;
        EXPECT_EQ(Flags(), c.flagsOut) << c.name;
    }
}

// Additions and subtractions set N, Z, C and V each on its own: cases
// where carry and overflow differ, in every form that sets them (the host's
// own flags are taken where it can, and must land on the right bits).
TEST_F(Thumb, AddAndSubtractFlags)
{
    struct Case {
        const char *name;
        uint16_t op;
        uint32_t r0, r1, expected, flagsOut;
    } cases[] = {
        {"ADD #1 to -1: Z C", 0x3001, 0xFFFFFFFF, 0, 0, 0x6},
        {"ADD #1 to 0x7FFFFFFF: N V", 0x3001, 0x7FFFFFFF, 0, 0x80000000, 0x9},
        {"SUB #1 from 0: N", 0x3801, 0, 0, 0xFFFFFFFF, 0x8},
        {"CMP 5 with #5: Z C", 0x2805, 5, 0, 5, 0x6},
        {"CMP 0x80000000 with #1: C V", 0x2801, 0x80000000, 0, 0x80000000, 0x3},
        {"CMN 0x80000000 with itself: Z C V", T::Alu(11, 0, 1), 0x80000000, 0x80000000, 0x80000000, 0x7},
        {"CMP 1 with 2: N", T::Alu(10, 0, 1), 1, 2, 1, 0x8},
        {"ADD r0, r0, r1: C", 0x1840, 0xFFFFFFFF, 2, 1, 0x2},
        {"SUB r0, r0, r1: N", 0x1A40, 1, 2, 0xFFFFFFFF, 0x8},
        {"ADD r0, r0, #1: N V", 0x1C40, 0x7FFFFFFF, 0, 0x80000000, 0x9},
        {"SUB r0, r0, #1: C V", 0x1E40, 0x80000000, 0, 0x7FFFFFFF, 0x3},
    };
    for (const Case &c : cases) {
        for (uint32_t flagsIn : {0x0u, 0xFu}) {
            cpu.r[0] = c.r0;
            cpu.r[1] = c.r1;
            cpu.cpsr = (flagsIn << 28) | 0x3F;
            m.ExecThumb(c.op);
            EXPECT_EQ(cpu.r[0], c.expected) << c.name;
            EXPECT_EQ(Flags(), c.flagsOut) << c.name << " flags in " << flagsIn;
        }
    }
}

TEST_F(Thumb, BranchesAndExchange)
{
    // BL pair: LR points after the pair with bit 0 set.
    m.Poke16(Code, T::BlHigh(Code, 0x08001000));
    m.Poke16(Code + 2, T::BlLow(Code, 0x08001000));
    cpu.r[15] = Code;
    m.Step();
    m.Step();
    EXPECT_EQ(cpu.r[15], 0x08001000u);
    EXPECT_EQ(cpu.r[14], (Code + 4) | 1);

    // MOV pc and ADD pc clear bit 0; BX to an even address leaves THUMB.
    cpu.r[0] = 0x08000201;
    m.ExecThumb(0x4687); // MOV pc, r0
    EXPECT_EQ(cpu.r[15], 0x08000200u);
    m.ExecThumb(0x4778); // BX pc: the word-aligned address + 4
    EXPECT_EQ(cpu.r[15], Code + 4);
    EXPECT_FALSE(cpu.cpsr & FlagT);

    m.ExecThumb(T::Bcond(0xE, Code, Code)); // 0xDE: undefined, skipped
    EXPECT_EQ(cpu.r[15], Code + 2);
    cpu.cpsr |= FlagZ;
    m.ExecThumb(T::Bcond(EQ, Code, Code - 8));
    EXPECT_EQ(cpu.r[15], Code - 8);
    m.ExecThumb(0xA001); // ADD r0, pc, #4
    EXPECT_EQ(cpu.r[0], Code + 8);
    m.ExecThumb(0xB0FF); // SUB sp, #508
    EXPECT_EQ(cpu.r[13], 0x03007F00u - 508);
}

} // namespace
} // namespace Tavrin::Test
