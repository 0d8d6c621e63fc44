// EI/DI/HALT, interrupt modes 0, 1 and 2, NMI, and how the run loop takes
// the line step's interrupt word at the end of each slice.
#include "modules/belcrest/testing/TestMachine.h"

#include <gtest/gtest.h>

namespace Belcrest::Test {
namespace {

constexpr uint16_t VdpVector = 0x00FF;

class Z80InterruptTest : public Z80CpuTest {
protected:
    void SetUp() override
    {
        Z80CpuTest::SetUp();
        // Interrupt handlers stop the run with the trap.
        for (uint16_t at : {0x0000, 0x0008, 0x0010, 0x0018, 0x0020, 0x0028, 0x0030, 0x0038,
                            0x0066, 0x4000})
            Machine.load(at, {0xED, 0xFE});
        Machine.trap = [this](Z80State &s) {
            trapAt = uint16_t(s.PC.w - 2);
            leftAtTrap = s.cyclesLeft;
            s.cyclesLeft = 0;
        };
    }

    uint16_t ReturnAddress() const { return uint16_t(Machine.at(cpu.SP.w) | Machine.at(uint16_t(cpu.SP.w + 1)) << 8); }

    int trapAt = -1;
    int32_t leftAtTrap = 0;
};

TEST_F(Z80InterruptTest, EiDelaysTheInterruptPastTheNextInstruction)
{
    // EI; LD IX,nn; NOP...
    Program(0x0100)({0xFB, 0xDD, 0x21, 0x34, 0x12}).loadInto(Machine);
    cpu.IFF = Z80IffIm1;
    cpu.pendingInterrupt = VdpVector;
    cpu.cyclesLeft = 1000;
    Z80RunFrame(cpu);
    EXPECT_EQ(trapAt, 0x0038);
    EXPECT_EQ(ReturnAddress(), 0x0105);
    EXPECT_EQ(cpu.IX.w, 0x1234);
    // The slice EI parked is resumed: EI 4, LD IX 14, trap prefix 4.
    EXPECT_EQ(leftAtTrap, 1000 - 4 - 14 - 4);
    EXPECT_EQ(Machine.lineHookCalls, 1); // only after the trap ended the slice
}

TEST_F(Z80InterruptTest, EiThenDiRestoresTheSliceAndTakesNothing)
{
    Program(0x0100)({0xFB, 0xF3, 0x00, 0xED, 0xFE}).loadInto(Machine);
    cpu.IFF = Z80IffIm1;
    cpu.pendingInterrupt = VdpVector;
    cpu.cyclesLeft = 1000;
    Z80RunFrame(cpu);
    EXPECT_EQ(trapAt, 0x0103);
    EXPECT_EQ(leftAtTrap, 1000 - 4 - 4 - 4 - 4);
    EXPECT_EQ(cpu.IFF & (Z80Iff1 | Z80Iff2 | Z80IffAfterEi), 0);
}

TEST_F(Z80InterruptTest, HaltWithInterruptsDisabledStaysHaltedSliceAfterSlice)
{
    Program(0x0100)({0x76}).loadInto(Machine);
    cpu.IFF = Z80IffIm1;
    Machine.lineHook = [](Z80State &s) -> uint16_t {
        if (Machine.lineHookCalls == 5)
            FrameDone = 1;
        s.linePeriod = 228;
        return VdpVector;
    };
    Z80RunFrame(cpu);
    EXPECT_EQ(Machine.lineHookCalls, 5);
    EXPECT_EQ(cpu.PC.w, 0x0100);
    EXPECT_TRUE(cpu.IFF & Z80IffHalted);
    EXPECT_EQ(cpu.SP.w, 0x8000);
}

TEST_F(Z80InterruptTest, InterruptStepsPastHalt)
{
    // EI; HALT
    Program(0x0100)({0xFB, 0x76}).loadInto(Machine);
    cpu.IFF = Z80IffIm1;
    Machine.nextVector = VdpVector;
    Z80RunFrame(cpu); // the slice ends on HALT, the interrupt comes with it
    Z80RunFrame(cpu); // runs the handler into the trap
    EXPECT_EQ(trapAt, 0x0038);
    EXPECT_EQ(ReturnAddress(), 0x0102);
    EXPECT_FALSE(cpu.IFF & Z80IffHalted);
}

TEST_F(Z80InterruptTest, ModeOneReturnsToTheInstructionAfterTheSliceEnd)
{
    Program(0x0100)({0x00, 0x00, 0x00, 0x00}).loadInto(Machine);
    cpu.IFF = Z80Iff1 | Z80Iff2 | Z80IffIm1;
    cpu.cyclesLeft = 10; // three NOPs use it up
    Machine.nextVector = VdpVector;
    Z80RunFrame(cpu);
    EXPECT_EQ(cpu.PC.w, 0x0038);
    EXPECT_EQ(ReturnAddress(), 0x0103);
    EXPECT_EQ(cpu.IFF & (Z80Iff1 | Z80Iff2), 0);
}

TEST_F(Z80InterruptTest, PendingRequestIsTakenWhenTheLineStepReportsNone)
{
    cpu.IFF = Z80Iff1 | Z80IffIm1;
    cpu.pendingInterrupt = VdpVector;
    Program(0x0100)({0x00}).loadInto(Machine);
    Step(cpu);
    EXPECT_EQ(cpu.PC.w, 0x0038);
}

TEST_F(Z80InterruptTest, MaskedRequestChangesNothing)
{
    cpu.IFF = Z80IffIm1;
    Z80Interrupt(cpu, VdpVector);
    EXPECT_EQ(cpu.PC.w, 0x0100);
    EXPECT_EQ(cpu.SP.w, 0x8000);
}

TEST_F(Z80InterruptTest, ModeZeroTakesTheVectorAsARestartOpcode)
{
    const struct {
        uint16_t vector;
        uint16_t pc;
    } cases[] = {{0xC7, 0x00}, {0xCF, 0x08}, {0xD7, 0x10}, {0xDF, 0x18}, {0xE7, 0x20},
                 {0xEF, 0x28}, {0xF7, 0x30}, {0xFF, 0x38},
                 // Anything else leaves the PC where it was, after the push.
                 {0x00, 0x0100}, {0xC3, 0x0100}, {0x01FF, 0x0100}};
    for (const auto &c : cases) {
        SetUp();
        cpu.IFF = Z80Iff1;
        Z80Interrupt(cpu, c.vector);
        EXPECT_EQ(cpu.PC.w, c.pc) << std::hex << c.vector;
        EXPECT_EQ(cpu.SP.w, 0x7FFE);
        EXPECT_EQ(ReturnAddress(), 0x0100);
    }
}

TEST_F(Z80InterruptTest, ModeTwoReadsTheHandlerFromTheTableAtI)
{
    cpu.IFF = Z80Iff1 | Z80IffIm2;
    cpu.I = 0x12;
    Machine.load(0x12FE, {0x00, 0x40});
    Z80Interrupt(cpu, 0x00FE);
    EXPECT_EQ(cpu.PC.w, 0x4000);

    // The table entry at 0xFFFF takes its high byte from 0x0000.
    SetUp();
    cpu.IFF = Z80Iff1 | Z80IffIm2;
    cpu.I = 0xFF;
    Machine.at(0xFFFF) = 0x34;
    Machine.at(0x0000) = 0x12;
    Z80Interrupt(cpu, 0x00FF);
    EXPECT_EQ(cpu.PC.w, 0x1234);
}

TEST_F(Z80InterruptTest, NmiIsTakenEvenWhenDisabledAndRetnRestoresIff1)
{
    for (uint8_t iff : {uint8_t(0), uint8_t(Z80Iff1 | Z80Iff2)}) {
        SetUp();
        cpu.IFF = uint8_t(iff | Z80IffIm1);
        Z80Interrupt(cpu, Z80VectorNmi);
        EXPECT_EQ(cpu.PC.w, 0x0066);
        EXPECT_EQ(ReturnAddress(), 0x0100);
        EXPECT_EQ(cpu.IFF & Z80Iff1, 0);
        EXPECT_EQ(bool(cpu.IFF & Z80Iff2), bool(iff & Z80Iff1));
        // RETN at 0x0066
        Machine.load(0x0066, {0xED, 0x45});
        Step(cpu);
        EXPECT_EQ(cpu.PC.w, 0x0100);
        EXPECT_EQ(bool(cpu.IFF & Z80Iff1), bool(iff & Z80Iff1));
    }
}

TEST_F(Z80InterruptTest, AutoClearDropsTheRequestItTakes)
{
    for (uint8_t autoClear : {uint8_t(0), uint8_t(1)}) {
        SetUp();
        cpu.IFF = Z80Iff1 | Z80IffIm1;
        cpu.autoClear = autoClear;
        cpu.pendingInterrupt = VdpVector;
        Z80Interrupt(cpu, VdpVector);
        EXPECT_EQ(cpu.pendingInterrupt, autoClear ? uint16_t(Z80VectorNone) : VdpVector);
    }
}

TEST_F(Z80InterruptTest, QuitWordEndsTheFrameWithZero)
{
    Program(0x0100)({0x00, 0x00}).loadInto(Machine);
    Machine.lineHook = [](Z80State &) -> uint16_t { return Z80VectorQuit; };
    cpu.cyclesLeft = 4;
    EXPECT_FALSE(Z80RunFrame(cpu));
    EXPECT_EQ(cpu.PC.w, 0x0101);
}

} // namespace
} // namespace Belcrest::Test
