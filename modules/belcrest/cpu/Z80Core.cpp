// Reset, the frame's run loop and interrupt entry of the Z80 interpreter.
#include "modules/belcrest/cpu/Z80Unprefixed.h"

namespace Belcrest {

using namespace Z80;

void Z80Reset(Z80State &cpu)
{
    // R, the parked slice remainder, autoClear, the report switch and the
    // user word survive a reset.
    cpu.AF.w = cpu.BC.w = cpu.DE.w = cpu.HL.w = 0;
    cpu.IX.w = cpu.IY.w = 0;
    cpu.AF2.w = cpu.BC2.w = cpu.DE2.w = cpu.HL2.w = 0;
    cpu.PC.w = 0;
    cpu.SP.w = 0xF000;
    cpu.IFF = 0;
    cpu.I = 0;
    cpu.pendingInterrupt = Z80VectorNone;
    cpu.cyclesLeft = cpu.linePeriod;
}

void Z80Interrupt(Z80State &cpu, uint16_t vector)
{
    if (!(cpu.IFF & Z80Iff1) && vector != Z80VectorNmi)
        return;
    if (cpu.IFF & Z80IffHalted) {
        cpu.IFF &= uint8_t(~Z80IffHalted);
        cpu.PC.w = uint16_t(cpu.PC.w + 1);
    }
    Push(cpu, cpu.PC.w);
    if (cpu.autoClear && vector == cpu.pendingInterrupt)
        cpu.pendingInterrupt = Z80VectorNone;

    if (vector == Z80VectorNmi) {
        cpu.IFF = uint8_t((cpu.IFF & ~(Z80Iff1 | Z80Iff2 | Z80IffAfterEi)) |
                          ((cpu.IFF & Z80Iff1) ? Z80Iff2 : 0));
        cpu.PC.w = 0x0066;
        return;
    }
    cpu.IFF &= uint8_t(~(Z80Iff1 | Z80Iff2 | Z80IffAfterEi));
    if (cpu.IFF & Z80IffIm2) {
        cpu.PC.w = Read16(uint16_t(cpu.I << 8 | (vector & 0xFF)));
    } else if (cpu.IFF & Z80IffIm1) {
        cpu.PC.w = 0x0038;
    } else if ((vector & 0xC7) == 0xC7 && vector <= 0xFF) {
        cpu.PC.w = uint16_t(vector & 0x38); // mode 0: the vector is an RST opcode
    }
}

bool Z80RunFrame(Z80State &cpu)
{
    for (;;) {
        while (cpu.cyclesLeft > 0) {
            const uint8_t op = Fetch8(cpu);
            cpu.cyclesLeft -= CyclesMain[op];
            switch (op) {
#define Z80_OP(n) ExecOp<(n), UseHL>(cpu)
                Z80_CASE_256
#undef Z80_OP
            }
        }

        // End of the slice.
        uint16_t vector;
        bool lineEnded = true;
        if (cpu.IFF & Z80IffAfterEi) {
            // The instruction after EI has run: accept interrupts and go on
            // with the slice that EI parked.
            cpu.IFF = uint8_t((cpu.IFF & ~Z80IffAfterEi) | Z80Iff1);
            cpu.cyclesLeft = cpu.savedCyclesLeft + cpu.cyclesLeft - 1;
            if (cpu.cyclesLeft > 0) {
                vector = cpu.pendingInterrupt;
                lineEnded = false;
            }
        }
        if (lineEnded) {
            vector = LineHook(cpu);
            cpu.cyclesLeft += cpu.linePeriod;
            if (vector == Z80VectorNone)
                vector = cpu.pendingInterrupt;
        }
        if (vector == Z80VectorQuit)
            return false;
        if (vector != Z80VectorNone)
            Z80Interrupt(cpu, vector);
        if (FrameDone) {
            FrameDone = 0;
            return true;
        }
    }
}

} // namespace Belcrest
