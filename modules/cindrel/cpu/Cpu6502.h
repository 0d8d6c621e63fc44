// The console's 6502 CPU: one register record, the fixed cycle and flag
// tables, and the entry points the machine and the module call.
//
// The interpreter is plain functions over the machine's record. It reaches
// memory and the per-line hardware step only through the machine interface
// declared in CpuBus.h.
#pragma once

#include <array>
#include <cstdint>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Cindrel {

// Everything here is private to the module library; hidden symbols let the
// run loop reach the tables with PC-relative loads.
#pragma GCC visibility push(hidden)

// Interrupt codes shared by pendingInterrupt, LineHook's result and
// Cpu6502Interrupt.
enum : uint8_t {
    IntNone = 0,
    IntIrq = 1,
    IntNmi = 2,
    IntQuit = 3,
};

// Status register bits.
enum : uint8_t {
    FlagC = 0x01,
    FlagZ = 0x02,
    FlagI = 0x04,
    FlagD = 0x08,
    FlagB = 0x10,
    FlagR = 0x20, // always set by reset, PLP and RTI
    FlagV = 0x40,
    FlagN = 0x80,
};

struct Cpu6502State {
    uint8_t A = 0;
    uint8_t P = 0;
    uint8_t X = 0;
    uint8_t Y = 0;
    uint8_t S = 0;
    uint16_t PC = 0;
    int32_t linePeriod = 0;      // added to cyclesLeft after each LineHook
    int32_t cyclesLeft = 0;      // may go negative by the last instruction's cost
    uint8_t pendingInterrupt = 0;
    uint8_t cliDelay = 0;        // 1 while an IRQ unmasked by CLI/PLP waits one instruction
    int32_t savedCyclesLeft = 0; // the countdown put aside during that wait
    uint8_t autoClear = 0;       // taking the pending interrupt acknowledges it
    uint8_t trapUnknownOpcodes = 0;
    uint16_t reservedWord = 0;   // carried in the image, never used
    uint8_t reservedByte = 0;    // carried in the image, never used
    uint32_t userWord = 0;       // shown in the unknown-opcode report

    // Not part of the state image: a running session's conditions only.
    uint8_t halted = 0;    // a halting opcode stopped the CPU until reset
    uint8_t nmiRaised = 0; // an NMI edge waiting for the end of the cut slice
    // CLI, SEI and PLP change I after their own interrupt poll: the I that
    // poll used (FlagI or 0) plus PollOverride, until the slice they cut
    // ends right after them; 0 otherwise.
    uint8_t polledI = 0;
    // An instruction whose bytes were read from the registers' space, at
    // this address, until the end of its slice; -1 none.
    int32_t ioFetchedAt = -1;
};

inline constexpr uint8_t PollOverride = 0x80;

// Size of the record's image in state files.
inline constexpr int Cpu6502ImageSize = 36;

// N and Z bits for a result value.
inline constexpr std::array<uint8_t, 256> ZnTable = [] {
    std::array<uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v)
        t[v] = uint8_t(v == 0 ? FlagZ : (v & 0x80));
    return t;
}();

// A = X = Y = 0, P = $26 (I set), S = $FF, PC from the reset vector, countdown
// restarted from linePeriod, no pending interrupt, no delay, not halted; the
// marks of code in the registers' space armed.
void Cpu6502Reset(Cpu6502State &cpu);

// Interrupt entry for code IntIrq (taken only with I clear) or IntNmi.
// Other codes, and a halted CPU, do nothing.
void Cpu6502Interrupt(Cpu6502State &cpu, int code);

// Runs instructions until LineHook marks the frame done (result 1) or the
// machine asks to quit (result 0).
int Cpu6502RunFrame(Cpu6502State &cpu);

// Cuts the current slice short for a device whose interrupt falls inside
// it: the run loop leaves the instruction stream once `cycles` more cycles
// have run, and never before the instruction after the current one has
// run; it takes the pending interrupt (or a raised NMI) there and goes on
// with the countdown as if the slice had not been cut. The machine calls it
// from WriteMemory or LineHook; countdown is the record's cyclesLeft there.
inline void Cpu6502EndSliceAfter(Cpu6502State &cpu, int32_t &countdown, int32_t cycles)
{
    if (countdown > 0 && countdown <= cycles)
        return; // the slice ends by then anyway
    const int32_t whole = countdown + (cpu.cliDelay ? cpu.savedCyclesLeft - 1 : 0);
    cpu.cliDelay = 1;
    cpu.savedCyclesLeft = whole - cycles + 1;
    countdown = cycles;
}
inline void Cpu6502EndSliceAfter(Cpu6502State &cpu, int32_t cycles)
{
    Cpu6502EndSliceAfter(cpu, cpu.cyclesLeft, cycles);
}

// An NMI edge raised during an instruction (the picture processor's NMI
// enabled while its vertical-blank flag is up): taken after the next
// instruction.
inline void Cpu6502RaiseNmi(Cpu6502State &cpu)
{
    cpu.nmiRaised = 1;
    Cpu6502EndSliceAfter(cpu, 1);
}

// Puts the marks of code in the registers' space into the fetch map (see
// CpuBus.h); the machine calls it whenever those pages were filled anew.
void Cpu6502ArmIoTraps();

// Offered each halting opcode before it is reported; nothing claims them.
int Cpu6502TrapOpcode(uint8_t opcode, Cpu6502State &cpu);

// The record's 36-byte image, written field by field.
void Cpu6502WriteImage(const Cpu6502State &cpu, Zorvan::ByteWriter &out);

// Reads a whole image and applies it only when it is complete and sane; the
// reserved fields keep their live values, and the CPU runs again (a halting
// opcode at the loaded PC halts it anew). Returns false and leaves the
// record untouched otherwise.
bool Cpu6502ReadImage(Cpu6502State &cpu, Zorvan::ByteReader &in);

#pragma GCC visibility pop

} // namespace Cindrel
