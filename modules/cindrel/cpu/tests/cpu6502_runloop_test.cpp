// The run loop: when LineHook is called, how its answer is used, machine
// writes that steal cycles, and the halting opcodes.
#include "modules/cindrel/testing/TestMachine.h"

#include "common/zorvan/ByteStream.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace Cindrel::Test {
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

// Code in the registers' space ($2000-$401F) is read from the devices:
// every byte the instruction fetches there is a data read, in order, and a
// one-byte instruction also reads the byte after it. Elsewhere fetches stay
// off the bus. The fetch map holds the marks over that space; the devices
// answer with the code. The table lists the reads one instruction makes.
TEST(Cpu6502RunLoop, CodeInTheRegistersIsReadFromThem)
{
    struct Case {
        const char *what;
        uint16_t pc;
        std::vector<uint8_t> code;
        std::vector<uint16_t> reads;
        uint16_t pcAfter;
        uint8_t a;
    } const cases[] = {
        {"NOP: opcode, then the byte after it", 0x2002, {0xEA}, {0x2002, 0x2003}, 0x2003, 0},
        {"LDA #: opcode and operand", 0x2006, {0xA9, 0x5A}, {0x2006, 0x2007}, 0x2008, 0x5A},
        {"LDA abs: three fetches, then its data", 0x401D, {0xAD, 0x00, 0x03}, {0x401D, 0x401E, 0x401F, 0x0300},
         0x4020, 0x33},
        {"operands past $401F come from memory", 0x401F, {0x4C, 0x00, 0x80}, {0x401F}, 0x8000, 0},
        {"BRK reads its padding byte", 0x3000, {0x00, 0x99}, {0x3000, 0x3001, 0xFFFE, 0xFFFF}, 0x0000, 0},
        {"RTS reads the byte after it, then the address it pulled", 0x2005, {0x60}, {0x2005, 0x2006, 0x2001}, 0x2002, 0},
        {"a halting opcode from a device halts", 0x2004, {0x02}, {0x2004}, 0x2004, 0},
        {"code in ROM reads nothing", 0x8000, {0xEA}, {}, 0x8001, 0},
        {"nor does RAM", 0x0400, {0xA9, 0x01}, {}, 0x0402, 0x01},
    };
    for (const Case &c : cases) {
        ResetMachine();
        Cpu6502ArmIoTraps();
        std::map<uint16_t, uint8_t> device;
        for (size_t i = 0; i < c.code.size(); ++i) {
            const uint16_t a = uint16_t(c.pc + i);
            if (uint16_t(a - 0x2000) < IoFetchSpan)
                device[a] = c.code[i];
            else
                Ram[a] = c.code[i];
        }
        OnRead = [&](uint16_t a) { return device.count(a) ? int(device[a]) : -1; };
        Ram[0x0300] = 0x33;
        Poke(0x01FE, {0x01, 0x20}); // what RTS pulls: $2001
        Cpu6502State cpu = MakeCpu(c.pc, FlagR | FlagI, 0xFD);
        LogAccesses = true;
        Step(cpu);
        std::vector<uint16_t> reads;
        for (const Access &a : Accesses)
            if (!a.write)
                reads.push_back(a.address);
        EXPECT_EQ(reads, c.reads) << c.what;
        EXPECT_EQ(cpu.PC, c.pcAfter) << c.what;
        EXPECT_EQ(cpu.A, c.a) << c.what;
        for (uint32_t a = 0x2000; a < 0x2000u + IoFetchSpan; ++a)
            ASSERT_EQ(Ram[a], IoTrapOpcode) << c.what << ": the marks are back at " << std::hex << a;
    }
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

constexpr uint8_t HaltingOpcodes[12] = {0x02, 0x12, 0x22, 0x32, 0x42, 0x52, 0x62, 0x72, 0x92, 0xB2, 0xD2, 0xF2};

TEST(Cpu6502RunLoop, AHaltingOpcodeStopsTheCpuButNotTheFrames)
{
    for (uint8_t op : HaltingOpcodes) {
        ResetMachine();
        Poke(0xFFFA, {0x00, 0x90});
        Poke(0xC000, {0xE8, op, 0xE8}); // INX ; halt ; INX
        Cpu6502State cpu = MakeCpu(0xC000, FlagR | FlagC, 0xFD);
        cpu.cyclesLeft = 100;
        int hooks = 0;
        OnLineHook = [&](Cpu6502State &c) {
            c.linePeriod = 100;
            FrameDone = ++hooks % 3 == 0;
            return int(IntNmi); // the NMIs of later lines are not taken
        };
        LogAccesses = true;
        for (int frame = 0; frame < 4; ++frame)
            EXPECT_EQ(Cpu6502RunFrame(cpu), 1) << std::hex << int(op);
        EXPECT_EQ(hooks, 12) << std::hex << int(op) << ": one slice per line step while halted";
        EXPECT_EQ(cpu.X, 1) << std::hex << int(op);
        EXPECT_EQ(cpu.PC, 0xC001) << std::hex << int(op) << ": the PC stays on the opcode";
        EXPECT_EQ(cpu.S, 0xFD) << std::hex << int(op);
        EXPECT_EQ(cpu.P, FlagR | FlagC) << std::hex << int(op);
        EXPECT_TRUE(Accesses.empty()) << std::hex << int(op);
        EXPECT_EQ(cpu.halted, 1);

        // Reset brings it back.
        Poke(0xFFFC, {0x02, 0xC0});
        Cpu6502Reset(cpu);
        cpu.cyclesLeft = 4;
        OnLineHook = nullptr;
        Cpu6502RunFrame(cpu);
        EXPECT_EQ(cpu.halted, 0);
        EXPECT_EQ(cpu.X, 1) << "the INX after the halt runs after reset";
    }
}

TEST(Cpu6502RunLoop, AHaltIsReportedOnce)
{
    struct Case {
        uint8_t trap;
        uint32_t userWord;
        uint8_t opcode;
        const char *want;
    };
    const Case cases[] = {
        {1, 0, 0x02, "[M6502 0] Unrecognized instruction: $02 at PC=$C123\n"},
        {1, 0xDEADBEEF, 0xF2, "[M6502 DEADBEEF] Unrecognized instruction: $F2 at PC=$C123\n"},
        {0, 0, 0x02, ""},
    };
    for (const Case &c : cases) {
        ResetMachine();
        Poke(0xC123, {c.opcode});
        Cpu6502State cpu = MakeCpu(0xC123);
        cpu.trapUnknownOpcodes = c.trap;
        cpu.userWord = c.userWord;
        testing::internal::CaptureStdout();
        for (int i = 0; i < 3; ++i)
            Step(cpu);
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.want);
        EXPECT_EQ(cpu.PC, 0xC123);
    }
}

TEST(Cpu6502RunLoop, ALoadedStateRunsAgainAndHaltsAnewOnAHaltingOpcode)
{
    ResetMachine();
    Poke(0x0400, {0x02});
    Poke(0x0500, {0xE8});
    Cpu6502State cpu = MakeCpu(0x0400);
    Step(cpu);
    ASSERT_EQ(cpu.halted, 1);
    Cpu6502State saved = MakeCpu(0x0500);
    saved.linePeriod = 114;
    Zorvan::ByteWriter out;
    Cpu6502WriteImage(saved, out);
    Zorvan::ByteReader in(out.bytes());
    ASSERT_TRUE(Cpu6502ReadImage(cpu, in));
    EXPECT_EQ(cpu.halted, 0);
    Step(cpu);
    EXPECT_EQ(cpu.X, 1);
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
} // namespace Cindrel::Test
