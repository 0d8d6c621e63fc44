// Interrupt entry, BRK, the B bit on the stack, the CLI/PLP delay, reset.
#include "modules/cindrel/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <vector>

namespace Cindrel::Test {
namespace {

void SetVectors()
{
    Poke(0xFFFA, {0x00, 0x90}); // NMI   -> $9000
    Poke(0xFFFC, {0x00, 0xA0}); // reset -> $A000
    Poke(0xFFFE, {0x00, 0xB0}); // IRQ   -> $B000
}

struct EntryCase {
    const char *what;
    int code;
    uint8_t pIn;
    bool taken;
    uint16_t vector;
    uint8_t pAfter;  // when taken
    uint8_t pPushed; // when taken
};

TEST(Cpu6502Interrupt, EntryByCode)
{
    constexpr uint8_t R = FlagR, I = FlagI, D = FlagD, B = FlagB, C = FlagC;
    const EntryCase cases[] = {
        {"IRQ with I clear keeps D", IntIrq, R | D | C, true, 0xB000, R | I | D | C, R | D | C},
        {"IRQ with I set is ignored", IntIrq, R | I | D, false, 0, 0, 0},
        {"NMI with I clear masks IRQs", IntNmi, R | D | C, true, 0x9000, R | I | D | C, R | D | C},
        {"NMI with I set", IntNmi, R | I, true, 0x9000, R | I, R | I},
        {"IRQ pushes B clear even when P holds it", IntIrq, R | B, true, 0xB000, R | B | I, R},
        {"code 0 does nothing", IntNone, R, false, 0, 0, 0},
        {"code 3 does nothing", IntQuit, R, false, 0, 0, 0},
        {"unknown code does nothing", 7, R, false, 0, 0, 0},
    };
    for (const EntryCase &c : cases) {
        ResetMachine();
        SetVectors();
        Cpu6502State cpu = MakeCpu(0x1234, c.pIn, 0xFD);
        cpu.cyclesLeft = 50;
        Cpu6502Interrupt(cpu, c.code);
        if (!c.taken) {
            EXPECT_EQ(cpu.PC, 0x1234) << c.what;
            EXPECT_EQ(cpu.P, c.pIn) << c.what;
            EXPECT_EQ(cpu.S, 0xFD) << c.what;
            EXPECT_EQ(cpu.cyclesLeft, 50) << c.what;
            continue;
        }
        EXPECT_EQ(cpu.PC, c.vector) << c.what;
        EXPECT_EQ(cpu.P, c.pAfter) << c.what;
        EXPECT_EQ(cpu.S, 0xFA) << c.what;
        EXPECT_EQ(cpu.cyclesLeft, 43) << c.what;
        EXPECT_EQ(Ram[0x01FD], 0x12) << c.what;
        EXPECT_EQ(Ram[0x01FC], 0x34) << c.what;
        EXPECT_EQ(Ram[0x01FB], c.pPushed) << c.what;
    }
}

TEST(Cpu6502Interrupt, BrkPushesBSetWhateverIAndKeepsD)
{
    for (uint8_t p : {uint8_t(FlagR | FlagD), uint8_t(FlagR | FlagI | FlagN)}) {
        ResetMachine();
        SetVectors();
        Poke(0x0400, {0x00, 0xEE});
        Cpu6502State cpu = MakeCpu(0x0400, p, 0xFD);
        EXPECT_EQ(Step(cpu), 7);
        EXPECT_EQ(cpu.PC, 0xB000);
        EXPECT_EQ(Ram[0x01FD], 0x04);
        EXPECT_EQ(Ram[0x01FC], 0x02) << "the return skips the padding byte";
        EXPECT_EQ(Ram[0x01FB], p | FlagB | FlagR);
        EXPECT_EQ(cpu.P, p | FlagI);
    }
}

TEST(Cpu6502Interrupt, BBitThroughPhpPlpAndRti)
{
    ResetMachine();
    // PHP ; PLP ; RTI
    Poke(0x0400, {0x08, 0x28, 0x40});
    Cpu6502State cpu = MakeCpu(0x0400, FlagR | FlagC, 0xFD);
    Step(cpu);
    EXPECT_EQ(Ram[0x01FD], FlagR | FlagB | FlagC) << "PHP pushes B and bit 5 set";

    Ram[0x01FD] = FlagC; // PLP sets B and bit 5 in the register
    Step(cpu);
    EXPECT_EQ(cpu.P, FlagR | FlagB | FlagC);

    // RTI: P as pulled plus bit 5, B as pulled; then the PC.
    Poke(0x01FB, {FlagN, 0x78, 0x56});
    cpu.S = 0xFA;
    Step(cpu);
    EXPECT_EQ(cpu.P, FlagR | FlagN);
    EXPECT_EQ(cpu.PC, 0x5678);
    EXPECT_EQ(cpu.S, 0xFD);
}

TEST(Cpu6502Interrupt, AutoClearAcknowledgesOnlyTheMatchingCode)
{
    struct Case {
        uint8_t autoClear, pending;
        int code;
        uint8_t pendingAfter;
    };
    const Case cases[] = {
        {1, IntIrq, IntIrq, IntNone},
        {0, IntIrq, IntIrq, IntIrq},
        {1, IntIrq, IntNmi, IntIrq},
        {1, IntNmi, IntNmi, IntNone},
        {1, IntIrq, IntNone, IntIrq},
    };
    for (const Case &c : cases) {
        ResetMachine();
        SetVectors();
        Cpu6502State cpu = MakeCpu(0x0400);
        cpu.autoClear = c.autoClear;
        cpu.pendingInterrupt = c.pending;
        Cpu6502Interrupt(cpu, c.code);
        EXPECT_EQ(cpu.pendingInterrupt, c.pendingAfter)
            << "autoClear " << int(c.autoClear) << " pending " << int(c.pending) << " code " << c.code;
    }
}

// Runs from $0400 with an IRQ pending and I set. The handler at $B000 is a
// run of NOPs; the first LineHook call records where the CPU is.
struct DelayRun {
    uint16_t hookPc;
    int32_t hookCycles;
    uint8_t x;
};

DelayRun RunWithPendingIrq(Cpu6502State &cpu, int32_t cycles)
{
    for (int i = 0; i < 0x100; ++i)
        Ram[0xB000 + i] = 0xEA;
    cpu.pendingInterrupt = IntIrq;
    cpu.autoClear = 1;
    cpu.cyclesLeft = cycles;
    cpu.linePeriod = 1000;
    DelayRun run{};
    OnLineHook = [&](Cpu6502State &c) {
        run.hookPc = c.PC;
        run.hookCycles = c.cyclesLeft;
        FrameDone = true;
        return 0;
    };
    Cpu6502RunFrame(cpu);
    run.x = cpu.X;
    return run;
}

TEST(Cpu6502Interrupt, CliLetsExactlyOneInstructionRunBeforeThePendingIrq)
{
    ResetMachine();
    SetVectors();
    Poke(0x0400, {0x58, 0xE8, 0xE8, 0xE8}); // CLI ; INX ; INX ; INX
    Cpu6502State cpu = MakeCpu(0x0400, FlagR | FlagI, 0xFD);
    DelayRun run = RunWithPendingIrq(cpu, 100);
    EXPECT_EQ(run.x, 1) << "one INX between CLI and the IRQ";
    EXPECT_EQ(Ram[0x01FC], 0x02) << "the IRQ returns to the second INX";
    EXPECT_EQ(Ram[0x01FB] & FlagI, 0);
    // The countdown ran on as if nothing was parked: 100 - CLI 2 - INX 2 -
    // entry 7 = 89, then 45 NOPs of 2 cycles.
    EXPECT_EQ(run.hookPc, 0xB000 + 45);
    EXPECT_EQ(run.hookCycles, -1);
    EXPECT_EQ(cpu.cliDelay, 0);
}

TEST(Cpu6502Interrupt, PlpThatClearsIBehavesLikeCli)
{
    ResetMachine();
    SetVectors();
    Poke(0x0400, {0x28, 0xE8, 0xE8, 0xE8}); // PLP ; INX ; INX ; INX
    Ram[0x01FE] = 0x00;
    Cpu6502State cpu = MakeCpu(0x0400, FlagR | FlagI, 0xFD);
    DelayRun run = RunWithPendingIrq(cpu, 100);
    EXPECT_EQ(run.x, 1);
    EXPECT_EQ(Ram[0x01FD], 0x02) << "the IRQ returns to the second INX";
    EXPECT_EQ(Ram[0x01FC] & FlagI, 0);
    // 100 - PLP 4 - INX 2 - entry 7 = 87, then 44 NOPs.
    EXPECT_EQ(run.hookPc, 0xB000 + 44);
    EXPECT_EQ(run.hookCycles, -1);
}

// The CPU polls for an interrupt before an instruction's last cycle; CLI,
// SEI and PLP change I on that last cycle, so their own poll still sees the
// old I, while RTI's pulled I counts for its poll. The IRQ line is held
// throughout (the handler never acknowledges it), as a device's line is:
// the handler at $B000 is INC $10 ; RTI, so an IRQ whose pushed P has I
// set runs once, and one whose pushed P has I clear comes back at once.
TEST(Cpu6502Interrupt, EachInstructionPollsWithTheIBeforeItsLastCycle)
{
    constexpr uint8_t R = FlagR, I = FlagI;
    struct Case {
        const char *what;
        std::vector<uint8_t> code; // at $0400, INX follow
        uint8_t p;                 // at the start
        std::vector<uint8_t> stack; // pulled from $01FB on
        int irqs;                  // handler runs; -1: it loops under the held line
        uint16_t returnTo;         // what the first entry pushed
        uint8_t pushedI;           // I in the P the first entry pushed
        uint8_t x;                 // INX run before the first entry
    };
    const Case cases[] = {
        // CLI's poll sees I set: INX runs, then the IRQ; it returns with I
        // clear and the held line takes it again at once, for ever.
        {"CLI ; INX", {0x58}, R | I, {}, -1, 0x0402, 0, 1},
        // SEI's poll sees the I that CLI cleared: one IRQ just after SEI,
        // with I set in the pushed P, so the return masks the line again.
        {"CLI ; SEI", {0x58, 0x78}, R | I, {}, 1, 0x0402, I, 0},
        {"CLI ; PLP setting I", {0x58, 0x28}, R | I, {R | I}, 1, 0x0402, I, 0},
        {"PLP clearing I ; SEI", {0x28, 0x78}, R | I, {R}, 1, 0x0402, I, 0},
        {"PLP clearing I ; PLP setting I", {0x28, 0x28}, R | I, {R, R | I}, 1, 0x0402, I, 0},
        // SEI with the line already held and I clear: its poll lets it in.
        {"SEI with I clear", {0x78}, R, {}, 1, 0x0401, I, 0},
        // RTI clearing I: taken before the next instruction.
        {"RTI clearing I", {0x40}, R | I, {R, 0x01, 0x04}, -1, 0x0401, 0, 0},
        // RTI setting I: masked at once, nothing taken.
        {"RTI setting I", {0x40}, R, {R | I, 0x01, 0x04}, 0, 0, 0, 27},
    };
    for (const Case &c : cases) {
        ResetMachine();
        SetVectors();
        Poke(0xB000, {0xE6, 0x10, 0x40}); // INC $10 ; RTI
        for (size_t i = 0; i < c.code.size(); ++i)
            Ram[0x0400 + i] = c.code[i];
        for (size_t i = c.code.size(); i < 0x40; ++i)
            Ram[0x0400 + i] = 0xE8; // INX
        for (size_t i = 0; i < c.stack.size(); ++i)
            Ram[0x01FB + i] = c.stack[i];
        Cpu6502State cpu = MakeCpu(0x0400, c.p, 0xFA);
        cpu.pendingInterrupt = IntIrq;
        cpu.autoClear = 0;
        // 60 cycles: enough for the pair, one entry (7), the handler (11)
        // and the INX after, never reaching the line hook's own poll.
        cpu.cyclesLeft = 60;
        cpu.linePeriod = 1000;
        OnLineHook = [](Cpu6502State &) { FrameDone = true; return 0; };
        Cpu6502RunFrame(cpu);
        if (c.irqs >= 0) {
            EXPECT_EQ(Ram[0x10], c.irqs) << c.what;
        } else {
            EXPECT_GT(Ram[0x10], 1) << c.what;
        }
        if (c.irqs == 0) {
            EXPECT_EQ(cpu.X, c.x) << c.what; // 60 - RTI 6 = 54: 27 INX
            continue;
        }
        // The first entry pushes from the stack pointer the pulls left.
        const int top = 0x01FA + int(c.stack.size());
        EXPECT_EQ(Ram[top] << 8 | Ram[top - 1], c.returnTo) << c.what;
        EXPECT_EQ(Ram[top - 2] & FlagI, c.pushedI) << c.what;
        if (c.irqs == 1)
            EXPECT_GT(cpu.X, 0) << c.what << ": the program ran on after the one IRQ";
        else
            EXPECT_EQ(cpu.X, c.x) << c.what;
    }
}

// STA $2000 at $0400 raises an NMI edge while it writes; INX follow. The
// NMI handler at $9000 is a run of NOPs; the line hook records where the
// CPU is and ends the frame.
struct RaisedRun {
    uint16_t hookPc;
    int32_t hookCycles;
    int hookCalls;
    uint8_t x;
    uint8_t pendingAfter;
};

RaisedRun RunWithNmiRaisedBy(Cpu6502State &cpu, int32_t cycles, uint8_t pending)
{
    Poke(0x0400, {0x8D, 0x00, 0x20, 0xE8, 0xE8, 0xE8}); // STA $2000 ; INX ; INX ; INX
    for (int i = 0; i < 0x100; ++i)
        Ram[0x9000 + i] = 0xEA;
    cpu.pendingInterrupt = pending;
    cpu.autoClear = 1;
    cpu.cyclesLeft = cycles;
    cpu.linePeriod = 1000;
    OnWrite = [&](uint16_t address, uint8_t) {
        if (address == 0x2000)
            Cpu6502RaiseNmi(cpu);
    };
    RaisedRun run{};
    OnLineHook = [&](Cpu6502State &c) {
        if (++run.hookCalls == 1) {
            run.hookPc = c.PC;
            run.hookCycles = c.cyclesLeft;
        }
        FrameDone = run.hookCalls == 2 || c.PC >= 0x9000;
        return 0;
    };
    Cpu6502RunFrame(cpu);
    run.x = cpu.X;
    run.pendingAfter = cpu.pendingInterrupt;
    return run;
}

TEST(Cpu6502Interrupt, AnNmiRaisedDuringAnInstructionIsTakenAfterTheNext)
{
    ResetMachine();
    SetVectors();
    Cpu6502State cpu = MakeCpu(0x0400, FlagR | FlagI, 0xFD);
    RaisedRun run = RunWithNmiRaisedBy(cpu, 100, IntNone);
    EXPECT_EQ(run.x, 1) << "one INX between the write and the NMI";
    EXPECT_EQ(Ram[0x01FC], 0x04) << "the NMI returns to the second INX";
    // The countdown ran on as if the slice had not been cut: 100 - STA 4 -
    // INX 2 - entry 7 = 87, then 44 NOPs.
    EXPECT_EQ(run.hookPc, 0x9000 + 44);
    EXPECT_EQ(run.hookCycles, -1);
    EXPECT_EQ(cpu.cliDelay, 0);
    EXPECT_EQ(cpu.nmiRaised, 0);

    // The write uses up the slice: the line step runs after the next
    // instruction, then the NMI is taken.
    ResetMachine();
    SetVectors();
    cpu = MakeCpu(0x0400, FlagR | FlagI, 0xFD);
    run = RunWithNmiRaisedBy(cpu, 4, IntNone);
    EXPECT_EQ(run.x, 1);
    EXPECT_EQ(run.hookPc, 0x0404);
    EXPECT_EQ(run.hookCycles, -2);
    EXPECT_EQ(Ram[0x01FC], 0x04) << "then the NMI, returning to the second INX";

    // A pending IRQ waits behind the NMI and stays pending.
    ResetMachine();
    SetVectors();
    cpu = MakeCpu(0x0400, FlagR | FlagI, 0xFD);
    run = RunWithNmiRaisedBy(cpu, 100, IntIrq);
    EXPECT_EQ(Ram[0x01FC], 0x04);
    EXPECT_EQ(run.pendingAfter, IntIrq);
}

TEST(Cpu6502Interrupt, ADeviceCutsTheSliceToTakeItsIrqAndTheCountdownRunsOn)
{
    struct Case {
        const char *what;
        int32_t countdown; // before the write
        int32_t cut;       // cycles asked for at the write
        uint16_t returnTo; // where the IRQ returns to
        uint16_t hookPc;   // where the line step then finds the CPU
        int32_t hookCycles;
    };
    // STA $4017 (4 cycles) then NOPs from $0403; the handler at $B000 is
    // NOPs too. 100 - 4 = 96 cycles after the write.
    const Case cases[] = {
        // 10 cycles: five NOPs, the IRQ (7), then 96 - 10 - 7 = 79: 40 NOPs.
        {"cut inside the slice", 100, 10, 0x0408, 0xB000 + 40, -1},
        // 9 cycles end inside the fifth NOP: the same.
        {"cut inside an instruction", 100, 9, 0x0408, 0xB000 + 40, -1},
        // Beyond the slice's end the slice ends first: 48 NOPs, then the
        // line step and the IRQ.
        {"cut beyond the slice", 100, 200, 0, 0x0403 + 48, 0},
    };
    for (const Case &c : cases) {
        ResetMachine();
        SetVectors();
        Poke(0x0400, {0x8D, 0x17, 0x40});
        for (int i = 0; i < 0x100; ++i)
            Ram[0x0403 + i] = Ram[0xB000 + i] = 0xEA;
        Cpu6502State cpu = MakeCpu(0x0400, FlagR, 0xFD);
        cpu.autoClear = 1;
        cpu.cyclesLeft = c.countdown;
        cpu.linePeriod = 1000;
        OnWrite = [&](uint16_t, uint8_t) {
            cpu.pendingInterrupt = IntIrq;
            Cpu6502EndSliceAfter(cpu, c.cut);
        };
        uint16_t hookPc = 0;
        int32_t hookCycles = 0;
        OnLineHook = [&](Cpu6502State &s) {
            hookPc = s.PC;
            hookCycles = s.cyclesLeft;
            FrameDone = true;
            return 0;
        };
        Cpu6502RunFrame(cpu);
        EXPECT_EQ(hookPc, c.hookPc) << c.what;
        EXPECT_EQ(hookCycles, c.hookCycles) << c.what;
        if (c.returnTo) {
            EXPECT_EQ(Ram[0x01FC], uint8_t(c.returnTo)) << c.what;
            EXPECT_EQ(cpu.pendingInterrupt, IntNone) << c.what;
        } else {
            EXPECT_EQ(cpu.PC, 0xB000) << c.what << ": taken after the line step";
        }
    }
}

TEST(Cpu6502Interrupt, CliWithoutPendingIrqOrWithIClearOnlyClearsI)
{
    struct Case {
        const char *what;
        uint8_t p, pending;
    };
    const Case cases[] = {
        {"nothing pending", FlagR | FlagI, IntNone},
        {"I already clear", FlagR, IntIrq},
    };
    for (const Case &c : cases) {
        ResetMachine();
        Poke(0x0400, {0x58});
        Cpu6502State cpu = MakeCpu(0x0400, c.p);
        cpu.pendingInterrupt = c.pending;
        cpu.cyclesLeft = 2; // CLI alone uses up the countdown
        OnLineHook = [](Cpu6502State &) { return int(IntQuit); };
        EXPECT_EQ(Cpu6502RunFrame(cpu), 0) << c.what;
        EXPECT_EQ(HookCalls, 1) << c.what;
        EXPECT_EQ(cpu.PC, 0x0401) << c.what;
        EXPECT_EQ(cpu.cliDelay, 0) << c.what;
        EXPECT_EQ(cpu.P, FlagR) << c.what;
    }
}

TEST(Cpu6502Interrupt, ResetSetsRegistersAndKeepsConfiguration)
{
    ResetMachine();
    SetVectors();
    Cpu6502State cpu;
    cpu.A = cpu.X = cpu.Y = 0x55;
    cpu.P = 0xFF;
    cpu.S = 0x12;
    cpu.linePeriod = 114;
    cpu.cyclesLeft = -3;
    cpu.pendingInterrupt = IntNmi;
    cpu.cliDelay = 1;
    cpu.savedCyclesLeft = 9;
    cpu.autoClear = 1;
    cpu.trapUnknownOpcodes = 1;
    cpu.userWord = 7;
    Cpu6502Reset(cpu);
    EXPECT_EQ(cpu.A, 0);
    EXPECT_EQ(cpu.X, 0);
    EXPECT_EQ(cpu.Y, 0);
    EXPECT_EQ(cpu.P, 0x26);
    EXPECT_EQ(cpu.S, 0xFF);
    EXPECT_EQ(cpu.PC, 0xA000);
    EXPECT_EQ(cpu.cyclesLeft, 114);
    EXPECT_EQ(cpu.pendingInterrupt, IntNone);
    EXPECT_EQ(cpu.cliDelay, 0);
    EXPECT_EQ(cpu.savedCyclesLeft, 9);
    EXPECT_EQ(cpu.autoClear, 1);
    EXPECT_EQ(cpu.trapUnknownOpcodes, 1);
    EXPECT_EQ(cpu.userWord, 7u);

    // I is set after reset: an IRQ raised before the game's own SEI waits
    // until the game clears I.
    Poke(0xA000, {0xEA, 0x58, 0xEA, 0xEA}); // NOP ; CLI ; NOP ; NOP
    cpu.cyclesLeft = 1;
    cpu.pendingInterrupt = IntIrq;
    OnLineHook = [](Cpu6502State &) { FrameDone = true; return 0; };
    Cpu6502RunFrame(cpu);
    EXPECT_EQ(cpu.PC, 0xA001) << "the IRQ is not taken under I";
    cpu.cyclesLeft = 1;
    Cpu6502RunFrame(cpu); // CLI ends the slice; its poll saw I set
    EXPECT_EQ(cpu.PC, 0xA002);
    cpu.cyclesLeft = 1;
    Cpu6502RunFrame(cpu); // the one instruction CLI lets run first
    EXPECT_EQ(cpu.PC, 0xB000);
    EXPECT_EQ(Ram[0x01FF], 0xA0);
    EXPECT_EQ(Ram[0x01FE], 0x03);
}

} // namespace
} // namespace Cindrel::Test
