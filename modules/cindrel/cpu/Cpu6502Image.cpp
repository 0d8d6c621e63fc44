// The CPU record's 36-byte image in state files, field by field.
#include "modules/cindrel/cpu/Cpu6502.h"

#include "common/zorvan/ByteStream.h"

namespace Cindrel {

namespace {

// Countdowns and line periods of a running machine stay within a frame's
// worth of cycles; anything far beyond is a damaged file, and accepting it
// could stall a frame for minutes or overflow the countdown.
constexpr int32_t MaxCycleSpan = 1 << 20;

bool InSpan(int32_t v) { return v >= -MaxCycleSpan && v <= MaxCycleSpan; }

} // namespace

void Cpu6502WriteImage(const Cpu6502State &cpu, Zorvan::ByteWriter &out)
{
    out.u8(cpu.A);
    out.u8(cpu.P);
    out.u8(cpu.X);
    out.u8(cpu.Y);
    out.u8(cpu.S);
    out.zeros(1);
    out.u16(cpu.PC);
    out.i32(cpu.linePeriod);
    out.i32(cpu.cyclesLeft);
    out.u8(cpu.pendingInterrupt);
    out.u8(cpu.cliDelay);
    out.zeros(2);
    out.i32(cpu.savedCyclesLeft);
    out.u8(cpu.autoClear);
    out.u8(cpu.trapUnknownOpcodes);
    out.u16(cpu.reservedWord);
    out.u8(cpu.reservedByte);
    out.zeros(3);
    out.u32(cpu.userWord);
}

bool Cpu6502ReadImage(Cpu6502State &cpu, Zorvan::ByteReader &in)
{
    Cpu6502State next = cpu; // the reserved fields keep their live values
    next.A = in.u8();
    next.P = in.u8();
    next.X = in.u8();
    next.Y = in.u8();
    next.S = in.u8();
    in.skip(1);
    next.PC = in.u16();
    next.linePeriod = in.i32();
    next.cyclesLeft = in.i32();
    next.pendingInterrupt = in.u8();
    next.cliDelay = in.u8();
    in.skip(2);
    next.savedCyclesLeft = in.i32();
    next.autoClear = in.u8();
    next.trapUnknownOpcodes = in.u8();
    in.skip(2 + 1 + 3); // reserved word and byte, padding
    next.userWord = in.u32();

    if (!in.ok())
        return false;
    // A quit request belongs to the running session, never to a saved one:
    // loaded, it would end the next frame at once.
    if (next.pendingInterrupt > IntNmi || next.cliDelay > 1 || next.autoClear > 1)
        return false;
    if (next.linePeriod < 0 || !InSpan(next.linePeriod) || !InSpan(next.cyclesLeft) ||
        !InSpan(next.savedCyclesLeft))
        return false;
    next.halted = 0;
    next.nmiRaised = 0;
    next.polledI = 0;
    next.ioFetchedAt = -1;
    cpu = next;
    return true;
}

} // namespace Cindrel
