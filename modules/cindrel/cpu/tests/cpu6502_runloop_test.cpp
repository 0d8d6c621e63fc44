// The run loop: when LineHook is called, how its answer is used, machine
// writes that steal cycles, and unknown opcodes.
#include "modules/cindrel/cpu/tests/TestMachine.h"

#include "common/zorvan/ByteStream.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace Cindrel;
using namespace Cindrel::Test;

namespace {

TEST(Cpu6502RunLoop, LineHookRunsOnlyWhenTheCountdownExpiresAndCarriesOvershoot)
{
    ResetMachine();
    Poke(0x0400, {0x4C, 0x00, 0x04}); // JMP $0400, 3 cycles
    Cpu6502State cpu = MakeCpu(0x0400);
    cpu.cyclesLeft = 10;
    cpu.linePeriod = 10;
    std::vector<int32_t> seen;
    OnLineHook = [&](Cpu6502State &c) {
        seen.push_back(c.cyclesLeft);
        c.linePeriod = 10;
        if (seen.size() == 4)
            FrameDone = true;
        return 0;
    };
    EXPECT_EQ(Cpu6502RunFrame(cpu), 1);
    EXPECT_EQ(seen, (std::vector<int32_t>{-2, -1, 0, -2}));
    EXPECT_FALSE(FrameDone) << "the interpreter clears the frame-done flag";
    EXPECT_EQ(cpu.cyclesLeft, 8);
}

TEST(Cpu6502RunLoop, NewLinePeriodIsAddedAfterTheHook)
{
    ResetMachine();
    Poke(0x0400, {0x4C, 0x00, 0x04});
    Cpu6502State cpu = MakeCpu(0x0400);
    cpu.cyclesLeft = 3;
    cpu.linePeriod = 5;
    OnLineHook = [](Cpu6502State &c) {
        c.linePeriod = 85;
        FrameDone = true;
        return 0;
    };
    Cpu6502RunFrame(cpu);
    EXPECT_EQ(cpu.cyclesLeft, 85);
}

TEST(Cpu6502RunLoop, QuitFromTheHookOrFromThePendingInterrupt)
{
    struct Case {
        const char *what;
        int hookCode;
        uint8_t pending;
    };
    const Case cases[] = {
        {"hook answers 3", IntQuit, IntNone},
        {"hook answers 0 with quit pending", IntNone, IntQuit},
    };
    for (const Case &c : cases) {
        ResetMachine();
        Poke(0x0400, {0xE8}); // INX
        Cpu6502State cpu = MakeCpu(0x0400);
        cpu.pendingInterrupt = c.pending;
        HookCode = c.hookCode;
        EXPECT_EQ(Cpu6502RunFrame(cpu), 0) << c.what;
        EXPECT_EQ(cpu.X, 1) << c.what << ": registers are stored on the way out";
        EXPECT_EQ(cpu.PC, 0x0401) << c.what;
    }
}

TEST(Cpu6502RunLoop, HookCodeTakesPrecedenceOverThePendingInterrupt)
{
    ResetMachine();
    Poke(0xFFFA, {0x00, 0x90});
    Poke(0xFFFE, {0x00, 0xB0});
    Poke(0x0400, {0xEA});
    Cpu6502State cpu = MakeCpu(0x0400);
    cpu.pendingInterrupt = IntIrq;
    HookCode = IntNmi;
    EXPECT_EQ(Cpu6502RunFrame(cpu), 1);
    EXPECT_EQ(cpu.PC, 0x9000);
    EXPECT_EQ(cpu.pendingInterrupt, IntIrq);
}

TEST(Cpu6502RunLoop, AnIrqHandlerStartingWithCliStillLetsTheFrameEnd)
{
    // An IRQ line left asserted and a handler that opens with CLI: each
    // entry comes back through the CLI delay. The line step must still run
    // when the countdown is used up. The record is loaded from its image as
    // a state file would bring it.
    const std::vector<uint8_t> image = {
        0x00, 0x24, 0x00, 0x00, 0xFD, 0x00, 0x00, 0x00, // A P X Y S pad PC=$0000
        0x72, 0x00, 0x00, 0x00, 0x72, 0x00, 0x00, 0x00, // linePeriod 114, cyclesLeft 114
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // IRQ pending
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    };
    ResetMachine();
    Poke(0x0000, {0x58, 0xEA}); // CLI ; NOP, and the IRQ vector ($FFFE) is $0000
    Cpu6502State cpu;
    Zorvan::ByteReader in(image);
    ASSERT_TRUE(Cpu6502ReadImage(cpu, in));

    // Without the line step the loop would spin for ever; give up after
    // plenty of interrupt entries so the failure shows instead of a hang.
    int pushes = 0;
    bool gaveUp = false;
    OnWrite = [&](uint16_t, uint8_t) {
        if (++pushes == 30000) {
            gaveUp = true;
            FrameDone = true;
        }
    };
    EXPECT_EQ(Cpu6502RunFrame(cpu), 1);
    EXPECT_FALSE(gaveUp) << "the line step never ran";
    EXPECT_EQ(HookCalls, 1);
    EXPECT_GT(cpu.cyclesLeft, 0);
    EXPECT_LE(cpu.cyclesLeft, 114);
}

TEST(Cpu6502RunLoop, CyclesTakenByAMachineWriteShortenTheLine)
{
    // A write to $4014 stands for sprite DMA: the machine takes 512 cycles
    // from the countdown while the instruction runs.
    ResetMachine();
    Poke(0x0400, {0x8D, 0x14, 0x40}); // STA $4014
    for (int i = 0; i < 400; ++i)
        Ram[0x0403 + i] = 0xEA;
    Cpu6502State cpu = MakeCpu(0x0400);
    cpu.cyclesLeft = 600;
    OnWrite = [&](uint16_t address, uint8_t) {
        if (address == 0x4014)
            cpu.cyclesLeft -= 512;
    };
    Cpu6502RunFrame(cpu);
    // 600 - 4 - 512 = 84 cycles left: 42 NOPs.
    EXPECT_EQ(cpu.PC, 0x0403 + 42);
    EXPECT_EQ(HookCalls, 1);
}

// The documented NMOS opcodes; everything else is unknown.
const std::set<int> &DocumentedOpcodes()
{
    static const std::set<int> ops = {
        0x69, 0x65, 0x75, 0x6D, 0x7D, 0x79, 0x61, 0x71, // ADC
        0x29, 0x25, 0x35, 0x2D, 0x3D, 0x39, 0x21, 0x31, // AND
        0x0A, 0x06, 0x16, 0x0E, 0x1E,                   // ASL
        0x90, 0xB0, 0xF0, 0x30, 0xD0, 0x10, 0x50, 0x70, // branches
        0x24, 0x2C, 0x00,                               // BIT, BRK
        0x18, 0xD8, 0x58, 0xB8,                         // CLC CLD CLI CLV
        0xC9, 0xC5, 0xD5, 0xCD, 0xDD, 0xD9, 0xC1, 0xD1, // CMP
        0xE0, 0xE4, 0xEC, 0xC0, 0xC4, 0xCC,             // CPX CPY
        0xC6, 0xD6, 0xCE, 0xDE, 0xCA, 0x88,             // DEC DEX DEY
        0x49, 0x45, 0x55, 0x4D, 0x5D, 0x59, 0x41, 0x51, // EOR
        0xE6, 0xF6, 0xEE, 0xFE, 0xE8, 0xC8,             // INC INX INY
        0x4C, 0x6C, 0x20,                               // JMP JSR
        0xA9, 0xA5, 0xB5, 0xAD, 0xBD, 0xB9, 0xA1, 0xB1, // LDA
        0xA2, 0xA6, 0xB6, 0xAE, 0xBE,                   // LDX
        0xA0, 0xA4, 0xB4, 0xAC, 0xBC,                   // LDY
        0x4A, 0x46, 0x56, 0x4E, 0x5E, 0xEA,             // LSR NOP
        0x09, 0x05, 0x15, 0x0D, 0x1D, 0x19, 0x01, 0x11, // ORA
        0x48, 0x08, 0x68, 0x28,                         // PHA PHP PLA PLP
        0x2A, 0x26, 0x36, 0x2E, 0x3E,                   // ROL
        0x6A, 0x66, 0x76, 0x6E, 0x7E,                   // ROR
        0x40, 0x60,                                     // RTI RTS
        0xE9, 0xE5, 0xF5, 0xED, 0xFD, 0xF9, 0xE1, 0xF1, // SBC
        0x38, 0xF8, 0x78,                               // SEC SED SEI
        0x85, 0x95, 0x8D, 0x9D, 0x99, 0x81, 0x91,       // STA
        0x86, 0x96, 0x8E, 0x84, 0x94, 0x8C,             // STX STY
        0xAA, 0xA8, 0xBA, 0x8A, 0x9A, 0x98,             // transfers
    };
    return ops;
}

TEST(Cpu6502RunLoop, UnknownOpcodesAreOneByteNoOperations)
{
    ASSERT_EQ(DocumentedOpcodes().size(), 151u);
    int unknown = 0;
    for (int op = 0; op < 256; ++op) {
        if (DocumentedOpcodes().count(op))
            continue;
        ++unknown;
        ResetMachine();
        Poke(0x0400, {uint8_t(op), 0xA9, 0x01});
        Cpu6502State cpu = MakeCpu(0x0400, 0xE5, 0xF0);
        cpu.A = 0x11;
        cpu.X = 0x22;
        cpu.Y = 0x33;
        LogAccesses = true;
        EXPECT_EQ(Step(cpu), CycleTable[op]) << std::hex << op;
        EXPECT_EQ(cpu.PC, 0x0401) << std::hex << op;
        EXPECT_EQ(cpu.A, 0x11) << std::hex << op;
        EXPECT_EQ(cpu.X, 0x22) << std::hex << op;
        EXPECT_EQ(cpu.Y, 0x33) << std::hex << op;
        EXPECT_EQ(cpu.P, 0xE5) << std::hex << op;
        EXPECT_EQ(cpu.S, 0xF0) << std::hex << op;
        EXPECT_TRUE(Accesses.empty()) << std::hex << op;
    }
    EXPECT_EQ(unknown, 105);
}

TEST(Cpu6502RunLoop, UnknownOpcodeReport)
{
    struct Case {
        uint8_t trap;
        uint32_t userWord;
        uint8_t opcode;
        const char *want;
    };
    const Case cases[] = {
        {1, 0, 0x02, "[M6502 0] Unrecognized instruction: $02 at PC=$C123\n"},
        {1, 0xDEADBEEF, 0xFF, "[M6502 DEADBEEF] Unrecognized instruction: $FF at PC=$C123\n"},
        {0, 0, 0x02, ""},
    };
    for (const Case &c : cases) {
        ResetMachine();
        Poke(0xC123, {c.opcode});
        Cpu6502State cpu = MakeCpu(0xC123);
        cpu.trapUnknownOpcodes = c.trap;
        cpu.userWord = c.userWord;
        testing::internal::CaptureStdout();
        int cycles = Step(cpu);
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.want);
        EXPECT_EQ(cycles, CycleTable[c.opcode]);
        EXPECT_EQ(cpu.PC, 0xC124);
    }
}

TEST(Cpu6502RunLoop, StateBetweenFramesCarriesOver)
{
    // A frame ending mid-way leaves the countdown and pending interrupt as
    // they stand; the next call continues from there.
    ResetMachine();
    for (int i = 0; i < 64; ++i)
        Ram[0x0400 + i] = 0xE8; // INX
    Cpu6502State cpu = MakeCpu(0x0400, FlagR | FlagI);
    cpu.cyclesLeft = 6;
    cpu.linePeriod = 6;
    cpu.pendingInterrupt = IntIrq;
    int frames = 0;
    OnLineHook = [&](Cpu6502State &) {
        FrameDone = true;
        return 0;
    };
    while (frames < 3)
        frames += Cpu6502RunFrame(cpu);
    EXPECT_EQ(cpu.X, 9);
    EXPECT_EQ(cpu.cyclesLeft, 6);
    EXPECT_EQ(cpu.pendingInterrupt, IntIrq);
}

} // namespace
