// The 6502 run loop: one switch over the opcode, registers in locals, the
// machine reached only through CpuBus.h.
#include "modules/cindrel/cpu/Cpu6502.h"

#include "modules/cindrel/cpu/Cpu6502Ops.h"
#include "modules/cindrel/cpu/CpuBus.h"

#include <cinttypes>
#include <cstdio>

namespace Cindrel {

using namespace Ops;

namespace {

void PushRecord(Cpu6502State &cpu, uint8_t value)
{
    WriteMemory(uint16_t(0x100 | cpu.S), value);
    cpu.S = uint8_t(cpu.S - 1);
}

uint16_t ReadVector(uint16_t at)
{
    uint16_t lo = ReadMemory(at);
    return uint16_t(lo | (ReadMemory(uint16_t(at + 1)) << 8));
}

// Unknown opcodes are one-byte no-operations that may be reported. Out of
// line and cold: games rarely hit them and the hot loop stays compact.
__attribute__((noinline, cold)) void UnknownOpcode(Cpu6502State &cpu, uint8_t opcode)
{
    if (Cpu6502TrapOpcode(opcode, cpu) == 0 && cpu.trapUnknownOpcodes)
        std::printf("[M6502 %" PRIX32 "] Unrecognized instruction: $%02X at PC=$%04X\n",
                    cpu.userWord, unsigned(opcode), unsigned(uint16_t(cpu.PC - 1)));
}

void Save(const Regs &r, Cpu6502State &cpu)
{
    cpu.A = r.a;
    cpu.X = r.x;
    cpu.Y = r.y;
    cpu.P = r.p;
    cpu.S = r.s;
    cpu.PC = r.pc;
    cpu.cyclesLeft = r.cycles;
}

void Load(Regs &r, const Cpu6502State &cpu)
{
    r.a = cpu.A;
    r.x = cpu.X;
    r.y = cpu.Y;
    r.p = cpu.P;
    r.s = cpu.S;
    r.pc = cpu.PC;
    r.cycles = cpu.cyclesLeft;
}

} // namespace

int Cpu6502TrapOpcode(uint8_t, Cpu6502State &) { return 0; }

void Cpu6502Reset(Cpu6502State &cpu)
{
    cpu.A = cpu.X = cpu.Y = 0;
    cpu.P = FlagR | FlagZ;
    cpu.S = 0xFF;
    cpu.PC = ReadVector(0xFFFC);
    cpu.cyclesLeft = cpu.linePeriod;
    cpu.pendingInterrupt = IntNone;
    cpu.cliDelay = 0;
}

void Cpu6502Interrupt(Cpu6502State &cpu, int code)
{
    if (code != IntNmi && !(code == IntIrq && !(cpu.P & FlagI)))
        return;
    cpu.cyclesLeft -= 7;
    PushRecord(cpu, uint8_t(cpu.PC >> 8));
    PushRecord(cpu, uint8_t(cpu.PC));
    PushRecord(cpu, uint8_t(cpu.P & ~FlagB));
    if (cpu.autoClear && code == cpu.pendingInterrupt)
        cpu.pendingInterrupt = IntNone;
    // The NMI handler runs with IRQs masked too, as on the real CPU.
    cpu.P = uint8_t((cpu.P & ~FlagD) | FlagI);
    cpu.PC = ReadVector(code == IntNmi ? 0xFFFA : 0xFFFE);
}

int Cpu6502RunFrame(Cpu6502State &cpu)
{
    Regs r{0, 0, 0, 0, 0, 0, 0, cpu};
    Load(r, cpu);
    for (;;) {
        const uint8_t opcode = FetchOperand(r);
        r.cycles -= CycleTable[opcode];
        switch (opcode) {
        // Loads and stores
        case 0xA9: Apply<Lda, Imm>(r); break;
        case 0xA5: Apply<Lda, Zp>(r); break;
        case 0xB5: Apply<Lda, ZpX>(r); break;
        case 0xAD: Apply<Lda, Abs>(r); break;
        case 0xBD: Apply<Lda, AbsX>(r); break;
        case 0xB9: Apply<Lda, AbsY>(r); break;
        case 0xA1: Apply<Lda, IndX>(r); break;
        case 0xB1: Apply<Lda, IndY>(r); break;
        case 0xA2: Apply<Ldx, Imm>(r); break;
        case 0xA6: Apply<Ldx, Zp>(r); break;
        case 0xB6: Apply<Ldx, ZpY>(r); break;
        case 0xAE: Apply<Ldx, Abs>(r); break;
        case 0xBE: Apply<Ldx, AbsY>(r); break;
        case 0xA0: Apply<Ldy, Imm>(r); break;
        case 0xA4: Apply<Ldy, Zp>(r); break;
        case 0xB4: Apply<Ldy, ZpX>(r); break;
        case 0xAC: Apply<Ldy, Abs>(r); break;
        case 0xBC: Apply<Ldy, AbsX>(r); break;
        case 0x85: Store<Zp>(r, r.a); break;
        case 0x95: Store<ZpX>(r, r.a); break;
        case 0x8D: Store<Abs>(r, r.a); break;
        case 0x9D: Store<AbsX>(r, r.a); break;
        case 0x99: Store<AbsY>(r, r.a); break;
        case 0x81: Store<IndX>(r, r.a); break;
        case 0x91: Store<IndY>(r, r.a); break;
        case 0x86: Store<Zp>(r, r.x); break;
        case 0x96: Store<ZpY>(r, r.x); break;
        case 0x8E: Store<Abs>(r, r.x); break;
        case 0x84: Store<Zp>(r, r.y); break;
        case 0x94: Store<ZpX>(r, r.y); break;
        case 0x8C: Store<Abs>(r, r.y); break;

        // Arithmetic and logic on A
        case 0x69: Apply<Adc, Imm>(r); break;
        case 0x65: Apply<Adc, Zp>(r); break;
        case 0x75: Apply<Adc, ZpX>(r); break;
        case 0x6D: Apply<Adc, Abs>(r); break;
        case 0x7D: Apply<Adc, AbsX>(r); break;
        case 0x79: Apply<Adc, AbsY>(r); break;
        case 0x61: Apply<Adc, IndX>(r); break;
        case 0x71: Apply<Adc, IndY>(r); break;
        case 0xE9: Apply<Sbc, Imm>(r); break;
        case 0xE5: Apply<Sbc, Zp>(r); break;
        case 0xF5: Apply<Sbc, ZpX>(r); break;
        case 0xED: Apply<Sbc, Abs>(r); break;
        case 0xFD: Apply<Sbc, AbsX>(r); break;
        case 0xF9: Apply<Sbc, AbsY>(r); break;
        case 0xE1: Apply<Sbc, IndX>(r); break;
        case 0xF1: Apply<Sbc, IndY>(r); break;
        case 0x29: Apply<And, Imm>(r); break;
        case 0x25: Apply<And, Zp>(r); break;
        case 0x35: Apply<And, ZpX>(r); break;
        case 0x2D: Apply<And, Abs>(r); break;
        case 0x3D: Apply<And, AbsX>(r); break;
        case 0x39: Apply<And, AbsY>(r); break;
        case 0x21: Apply<And, IndX>(r); break;
        case 0x31: Apply<And, IndY>(r); break;
        case 0x09: Apply<Ora, Imm>(r); break;
        case 0x05: Apply<Ora, Zp>(r); break;
        case 0x15: Apply<Ora, ZpX>(r); break;
        case 0x0D: Apply<Ora, Abs>(r); break;
        case 0x1D: Apply<Ora, AbsX>(r); break;
        case 0x19: Apply<Ora, AbsY>(r); break;
        case 0x01: Apply<Ora, IndX>(r); break;
        case 0x11: Apply<Ora, IndY>(r); break;
        case 0x49: Apply<Eor, Imm>(r); break;
        case 0x45: Apply<Eor, Zp>(r); break;
        case 0x55: Apply<Eor, ZpX>(r); break;
        case 0x4D: Apply<Eor, Abs>(r); break;
        case 0x5D: Apply<Eor, AbsX>(r); break;
        case 0x59: Apply<Eor, AbsY>(r); break;
        case 0x41: Apply<Eor, IndX>(r); break;
        case 0x51: Apply<Eor, IndY>(r); break;
        case 0xC9: Apply<Cmp, Imm>(r); break;
        case 0xC5: Apply<Cmp, Zp>(r); break;
        case 0xD5: Apply<Cmp, ZpX>(r); break;
        case 0xCD: Apply<Cmp, Abs>(r); break;
        case 0xDD: Apply<Cmp, AbsX>(r); break;
        case 0xD9: Apply<Cmp, AbsY>(r); break;
        case 0xC1: Apply<Cmp, IndX>(r); break;
        case 0xD1: Apply<Cmp, IndY>(r); break;
        case 0xE0: Apply<Cpx, Imm>(r); break;
        case 0xE4: Apply<Cpx, Zp>(r); break;
        case 0xEC: Apply<Cpx, Abs>(r); break;
        case 0xC0: Apply<Cpy, Imm>(r); break;
        case 0xC4: Apply<Cpy, Zp>(r); break;
        case 0xCC: Apply<Cpy, Abs>(r); break;
        case 0x24: Apply<Bit, Zp>(r); break;
        case 0x2C: Apply<Bit, Abs>(r); break;

        // Shifts, rotates, increments and decrements
        case 0x0A: ModifyA<Asl>(r); break;
        case 0x06: Modify<Asl, Zp>(r); break;
        case 0x16: Modify<Asl, ZpX>(r); break;
        case 0x0E: Modify<Asl, Abs>(r); break;
        case 0x1E: Modify<Asl, AbsX>(r); break;
        case 0x4A: ModifyA<Lsr>(r); break;
        case 0x46: Modify<Lsr, Zp>(r); break;
        case 0x56: Modify<Lsr, ZpX>(r); break;
        case 0x4E: Modify<Lsr, Abs>(r); break;
        case 0x5E: Modify<Lsr, AbsX>(r); break;
        case 0x2A: ModifyA<Rol>(r); break;
        case 0x26: Modify<Rol, Zp>(r); break;
        case 0x36: Modify<Rol, ZpX>(r); break;
        case 0x2E: Modify<Rol, Abs>(r); break;
        case 0x3E: Modify<Rol, AbsX>(r); break;
        case 0x6A: ModifyA<Ror>(r); break;
        case 0x66: Modify<Ror, Zp>(r); break;
        case 0x76: Modify<Ror, ZpX>(r); break;
        case 0x6E: Modify<Ror, Abs>(r); break;
        case 0x7E: Modify<Ror, AbsX>(r); break;
        case 0xE6: Modify<Inc, Zp>(r); break;
        case 0xF6: Modify<Inc, ZpX>(r); break;
        case 0xEE: Modify<Inc, Abs>(r); break;
        case 0xFE: Modify<Inc, AbsX>(r); break;
        case 0xC6: Modify<Dec, Zp>(r); break;
        case 0xD6: Modify<Dec, ZpX>(r); break;
        case 0xCE: Modify<Dec, Abs>(r); break;
        case 0xDE: Modify<Dec, AbsX>(r); break;
        case 0xE8: r.x = Inc(r, r.x); break;
        case 0xC8: r.y = Inc(r, r.y); break;
        case 0xCA: r.x = Dec(r, r.x); break;
        case 0x88: r.y = Dec(r, r.y); break;

        // Transfers
        case 0xAA: r.x = r.a; SetZn(r, r.x); break;
        case 0xA8: r.y = r.a; SetZn(r, r.y); break;
        case 0x8A: r.a = r.x; SetZn(r, r.a); break;
        case 0x98: r.a = r.y; SetZn(r, r.a); break;
        case 0xBA: r.x = r.s; SetZn(r, r.x); break;
        case 0x9A: r.s = r.x; break;

        // Branches
        case 0x10: Branch(r, !(r.p & FlagN)); break;
        case 0x30: Branch(r, r.p & FlagN); break;
        case 0x50: Branch(r, !(r.p & FlagV)); break;
        case 0x70: Branch(r, r.p & FlagV); break;
        case 0x90: Branch(r, !(r.p & FlagC)); break;
        case 0xB0: Branch(r, r.p & FlagC); break;
        case 0xD0: Branch(r, !(r.p & FlagZ)); break;
        case 0xF0: Branch(r, r.p & FlagZ); break;

        // Jumps, calls and returns
        case 0x4C: r.pc = FetchWord(r); break;
        case 0x6C: {
            // The pointer's high byte comes from the same page, as the real
            // CPU fetches it.
            uint16_t at = FetchWord(r);
            uint16_t lo = ReadData(r, at);
            r.pc = uint16_t(lo | (ReadData(r, uint16_t((at & 0xFF00) | ((at + 1) & 0xFF))) << 8));
            break;
        }
        case 0x20: {
            uint16_t lo = FetchOperand(r);
            uint16_t target = uint16_t(lo | (Fetch(r.pc) << 8));
            Push(r, uint8_t(r.pc >> 8)); // address of the call's last byte
            Push(r, uint8_t(r.pc));
            r.pc = target;
            break;
        }
        case 0x60: {
            uint16_t lo = Pull(r);
            r.pc = uint16_t((lo | (Pull(r) << 8)) + 1);
            break;
        }
        case 0x40: {
            r.p = Pull(r) | FlagR;
            uint16_t lo = Pull(r);
            r.pc = uint16_t(lo | (Pull(r) << 8));
            break;
        }
        case 0x00: {
            ++r.pc; // the padding byte
            Push(r, uint8_t(r.pc >> 8));
            Push(r, uint8_t(r.pc));
            Push(r, r.p | FlagB | FlagR);
            r.p = uint8_t((r.p & ~FlagD) | FlagI);
            uint16_t lo = ReadData(r, 0xFFFE);
            r.pc = uint16_t(lo | (ReadData(r, 0xFFFF) << 8));
            break;
        }

        // Stack
        case 0x48: Push(r, r.a); break;
        case 0x08: Push(r, r.p | FlagB | FlagR); break; // B always reads set from PHP
        case 0x68: r.a = Pull(r); SetZn(r, r.a); break;
        case 0x28: {
            uint8_t old = r.p;
            r.p = Pull(r) | FlagB | FlagR;
            Unmask(r, old);
            break;
        }

        // Flags
        case 0x18: r.p &= ~FlagC; break;
        case 0x38: r.p |= FlagC; break;
        case 0xD8: r.p &= ~FlagD; break;
        case 0xF8: r.p |= FlagD; break;
        case 0xB8: r.p &= ~FlagV; break;
        case 0x78: r.p |= FlagI; break;
        case 0x58: {
            uint8_t old = r.p;
            r.p &= ~FlagI;
            Unmask(r, old);
            break;
        }
        case 0xEA: break;

        default:
            Save(r, cpu);
            UnknownOpcode(cpu, opcode);
            Load(r, cpu);
            break;
        }

        if (r.cycles > 0)
            continue;

        Save(r, cpu);
        int code = IntNone;
        bool lineDue = true;
        if (cpu.cliDelay) {
            // The instruction after CLI/PLP has run: carry on with the
            // countdown as if nothing had been parked. The waiting IRQ is
            // taken here only while the line still has cycles; otherwise the
            // line step runs first, or a handler that starts with CLI under
            // a line held asserted would never let the frame end.
            cpu.cliDelay = 0;
            cpu.cyclesLeft += cpu.savedCyclesLeft - 1;
            if (cpu.cyclesLeft > 0) {
                code = cpu.pendingInterrupt;
                lineDue = false;
            }
        }
        if (lineDue) {
            code = LineHook(cpu);
            cpu.cyclesLeft += cpu.linePeriod;
            if (code == IntNone)
                code = cpu.pendingInterrupt;
        }
        if (code == IntQuit)
            return 0;
        if (code != IntNone)
            Cpu6502Interrupt(cpu, code);
        if (FrameDone) {
            FrameDone = false;
            return 1;
        }
        Load(r, cpu);
    }
}

} // namespace Cindrel
