// Addressing modes and instruction bodies of the 6502 interpreter. Private
// to Cpu6502.cpp: everything here is inlined into the run loop's switch so
// the registers stay in host registers.
#pragma once

#include "modules/cindrel/cpu/Cpu6502.h"
#include "modules/cindrel/cpu/Cpu6502Opcodes.h"
#include "modules/cindrel/cpu/CpuBus.h"

#include <type_traits>

#define CPU6502_INLINE inline __attribute__((always_inline))

namespace Cindrel::Ops {

#pragma GCC visibility push(hidden)

// What the run loop keeps in locals: the registers and the cycle countdown,
// plus the record for the fields the machine also touches. The countdown is
// handed to the record around data accesses: ReadMemory sees it current,
// WriteMemory may also change it (sprite DMA takes its cycles there, and a
// device may end the slice early).
struct Regs {
    uint8_t a, x, y, p, s;
    uint16_t pc;
    int32_t cycles;
    Cpu6502State &cpu;
};

CPU6502_INLINE uint8_t ReadData(Regs &r, uint16_t address)
{
    r.cpu.cyclesLeft = r.cycles;
    return ReadMemory(address);
}

CPU6502_INLINE void WriteData(Regs &r, uint16_t address, uint8_t value)
{
    r.cpu.cyclesLeft = r.cycles;
    WriteMemory(address, value);
    r.cycles = r.cpu.cyclesLeft;
}

CPU6502_INLINE uint8_t Fetch(uint16_t address)
{
    return FetchMap[address >> 13][address & 0x1FFF];
}

CPU6502_INLINE uint8_t FetchOperand(Regs &r) { return Fetch(r.pc++); }

// Each byte goes through the map on its own: the two may lie in different
// 8 KB pages.
CPU6502_INLINE uint16_t FetchWord(Regs &r)
{
    uint16_t lo = Fetch(r.pc++);
    return uint16_t(lo | (Fetch(r.pc++) << 8));
}

// A pointer in page zero; the high byte wraps to $00 like the real CPU's.
CPU6502_INLINE uint16_t ZeroPagePointer(uint8_t at)
{
    const uint8_t *zp = FetchMap[0];
    return uint16_t(zp[at] | (zp[uint8_t(at + 1)] << 8));
}

CPU6502_INLINE void Push(Regs &r, uint8_t value)
{
    WriteData(r, uint16_t(0x100 | r.s), value);
    --r.s;
}

CPU6502_INLINE uint8_t Pull(Regs &r)
{
    ++r.s;
    return FetchMap[0][0x100 | r.s];
}

CPU6502_INLINE void SetZn(Regs &r, uint8_t v) { r.p = uint8_t((r.p & 0x7D) | ZnTable[v]); }

// On its way to an indexed operand the CPU reads the address before the
// index's carry. Registers see it ($2007 moves on, $2002 drops its blank
// flag), so it is made wherever registers lie; memory elsewhere cannot
// tell, and no board register answers a read above them.
CPU6502_INLINE bool InRegisters(uint16_t address) { return uint16_t(address - 0x2000) < 0x4000; }

CPU6502_INLINE void DummyRead(Regs &r, uint16_t address)
{
    if (InRegisters(address)) [[unlikely]]
        ReadData(r, address);
}

// ---- Addressing modes. Each yields an effective address; the indexed
// ones also their base and index, which the unstable stores need. Imm and
// Acc have no address: Read takes the operand byte, Modify the accumulator.

struct Imm {};
struct Acc {};
struct Zp  { static CPU6502_INLINE uint16_t Address(Regs &r) { return FetchOperand(r); } };
struct ZpX { static CPU6502_INLINE uint16_t Address(Regs &r) { return uint8_t(FetchOperand(r) + r.x); } };
struct ZpY { static CPU6502_INLINE uint16_t Address(Regs &r) { return uint8_t(FetchOperand(r) + r.y); } };
struct Abs { static CPU6502_INLINE uint16_t Address(Regs &r) { return FetchWord(r); } };
struct IzX {
    static CPU6502_INLINE uint16_t Address(Regs &r) { return ZeroPagePointer(uint8_t(FetchOperand(r) + r.x)); }
};

// The address an indexed access reaches before the index's carry.
CPU6502_INLINE uint16_t Uncarried(uint16_t base, uint16_t address)
{
    return uint16_t((base & 0xFF00) | (address & 0xFF));
}

template <class Derived>
struct Indexed {
    // Writes and read-modify-writes always take the longer path, reading
    // the uncarried address first.
    static CPU6502_INLINE uint16_t Address(Regs &r)
    {
        const uint16_t base = Derived::Base(r);
        const uint16_t address = uint16_t(base + Derived::Index(r));
        DummyRead(r, Uncarried(base, address));
        return address;
    }
    // A read whose index carries into the high byte reads the uncarried
    // address first, and costs one more cycle.
    static CPU6502_INLINE uint16_t ReadAddress(Regs &r)
    {
        const uint16_t base = Derived::Base(r);
        const uint16_t address = uint16_t(base + Derived::Index(r));
        if ((base ^ address) & 0x100) {
            r.cycles -= 1;
            DummyRead(r, Uncarried(base, address));
        }
        return address;
    }
};
struct AbX : Indexed<AbX> {
    static CPU6502_INLINE uint16_t Base(Regs &r) { return FetchWord(r); }
    static CPU6502_INLINE uint8_t Index(const Regs &r) { return r.x; }
};
struct AbY : Indexed<AbY> {
    static CPU6502_INLINE uint16_t Base(Regs &r) { return FetchWord(r); }
    static CPU6502_INLINE uint8_t Index(const Regs &r) { return r.y; }
};
struct IzY : Indexed<IzY> {
    static CPU6502_INLINE uint16_t Base(Regs &r) { return ZeroPagePointer(FetchOperand(r)); }
    static CPU6502_INLINE uint8_t Index(const Regs &r) { return r.y; }
};

template <Opcodes::Mode M> struct ModeOf { using type = void; };
template <> struct ModeOf<Opcodes::Imm> { using type = Imm; };
template <> struct ModeOf<Opcodes::Acc> { using type = Acc; };
template <> struct ModeOf<Opcodes::Zp>  { using type = Zp; };
template <> struct ModeOf<Opcodes::ZpX> { using type = ZpX; };
template <> struct ModeOf<Opcodes::ZpY> { using type = ZpY; };
template <> struct ModeOf<Opcodes::Abs> { using type = Abs; };
template <> struct ModeOf<Opcodes::AbX> { using type = AbX; };
template <> struct ModeOf<Opcodes::AbY> { using type = AbY; };
template <> struct ModeOf<Opcodes::IzX> { using type = IzX; };
template <> struct ModeOf<Opcodes::IzY> { using type = IzY; };

template <class M>
concept HasReadPenalty = requires(Regs &r) { M::ReadAddress(r); };

template <class M>
CPU6502_INLINE uint8_t Read(Regs &r)
{
    if constexpr (std::is_same_v<M, Imm>)
        return FetchOperand(r);
    else if constexpr (HasReadPenalty<M>)
        return ReadData(r, M::ReadAddress(r));
    else
        return ReadData(r, M::Address(r));
}

// ---- Operations on a value. Register-targeted ones take the register.

CPU6502_INLINE void Adc(Regs &r, uint8_t m)
{
    // The console's CPU has no decimal mode: D never changes the sum.
    unsigned sum = r.a + m + (r.p & FlagC);
    uint8_t v = uint8_t(~(r.a ^ m) & (r.a ^ sum) & 0x80) >> 1;
    r.a = uint8_t(sum);
    r.p = uint8_t((r.p & ~(FlagC | FlagV | FlagN | FlagZ)) | (sum >> 8) | v | ZnTable[r.a]);
}

// A - M - borrow is A + ~M + C, carry meaning "no borrow".
CPU6502_INLINE void Sbc(Regs &r, uint8_t m) { Adc(r, uint8_t(~m)); }

CPU6502_INLINE void And(Regs &r, uint8_t m) { r.a &= m; SetZn(r, r.a); }
CPU6502_INLINE void Ora(Regs &r, uint8_t m) { r.a |= m; SetZn(r, r.a); }
CPU6502_INLINE void Eor(Regs &r, uint8_t m) { r.a ^= m; SetZn(r, r.a); }

CPU6502_INLINE void Compare(Regs &r, uint8_t reg, uint8_t m)
{
    r.p = uint8_t((r.p & ~(FlagC | FlagN | FlagZ)) | (reg >= m ? FlagC : 0) | ZnTable[uint8_t(reg - m)]);
}
CPU6502_INLINE void Cmp(Regs &r, uint8_t m) { Compare(r, r.a, m); }
CPU6502_INLINE void Cpx(Regs &r, uint8_t m) { Compare(r, r.x, m); }
CPU6502_INLINE void Cpy(Regs &r, uint8_t m) { Compare(r, r.y, m); }

CPU6502_INLINE void Bit(Regs &r, uint8_t m)
{
    r.p = uint8_t((r.p & ~(FlagN | FlagV | FlagZ)) | (m & (FlagN | FlagV)) | ((r.a & m) ? 0 : FlagZ));
}

CPU6502_INLINE void Lda(Regs &r, uint8_t m) { r.a = m; SetZn(r, m); }
CPU6502_INLINE void Ldx(Regs &r, uint8_t m) { r.x = m; SetZn(r, m); }
CPU6502_INLINE void Ldy(Regs &r, uint8_t m) { r.y = m; SetZn(r, m); }
CPU6502_INLINE void Lax(Regs &r, uint8_t m) { r.a = r.x = m; SetZn(r, m); }
// The operand is read (and may touch a register) and dropped.
CPU6502_INLINE void Nop(Regs &, uint8_t) {}

CPU6502_INLINE void Las(Regs &r, uint8_t m)
{
    r.a = r.x = r.s = uint8_t(m & r.s);
    SetZn(r, r.a);
}

// Read-modify-write bodies: value in, result out.
CPU6502_INLINE uint8_t Asl(Regs &r, uint8_t m)
{
    uint8_t v = uint8_t(m << 1);
    r.p = uint8_t((r.p & ~(FlagC | FlagN | FlagZ)) | (m >> 7) | ZnTable[v]);
    return v;
}
CPU6502_INLINE uint8_t Lsr(Regs &r, uint8_t m)
{
    uint8_t v = uint8_t(m >> 1);
    r.p = uint8_t((r.p & ~(FlagC | FlagN | FlagZ)) | (m & 1) | ZnTable[v]);
    return v;
}
CPU6502_INLINE uint8_t Rol(Regs &r, uint8_t m)
{
    uint8_t v = uint8_t((m << 1) | (r.p & FlagC));
    r.p = uint8_t((r.p & ~(FlagC | FlagN | FlagZ)) | (m >> 7) | ZnTable[v]);
    return v;
}
CPU6502_INLINE uint8_t Ror(Regs &r, uint8_t m)
{
    uint8_t v = uint8_t((m >> 1) | ((r.p & FlagC) << 7));
    r.p = uint8_t((r.p & ~(FlagC | FlagN | FlagZ)) | (m & 1) | ZnTable[v]);
    return v;
}
CPU6502_INLINE uint8_t Inc(Regs &r, uint8_t m) { SetZn(r, uint8_t(m + 1)); return uint8_t(m + 1); }
CPU6502_INLINE uint8_t Dec(Regs &r, uint8_t m) { SetZn(r, uint8_t(m - 1)); return uint8_t(m - 1); }

// The combined operations: a shift, rotate or step of memory whose result
// then feeds an operation on A.
CPU6502_INLINE uint8_t Slo(Regs &r, uint8_t m) { const uint8_t v = Asl(r, m); Ora(r, v); return v; }
CPU6502_INLINE uint8_t Rla(Regs &r, uint8_t m) { const uint8_t v = Rol(r, m); And(r, v); return v; }
CPU6502_INLINE uint8_t Sre(Regs &r, uint8_t m) { const uint8_t v = Lsr(r, m); Eor(r, v); return v; }
CPU6502_INLINE uint8_t Rra(Regs &r, uint8_t m) { const uint8_t v = Ror(r, m); Adc(r, v); return v; }
CPU6502_INLINE uint8_t Dcp(Regs &r, uint8_t m) { const uint8_t v = uint8_t(m - 1); Cmp(r, v); return v; }
CPU6502_INLINE uint8_t Isc(Regs &r, uint8_t m) { const uint8_t v = uint8_t(m + 1); Sbc(r, v); return v; }

// The immediates that AND the operand into A first.
CPU6502_INLINE void Anc(Regs &r, uint8_t m)
{
    And(r, m);
    r.p = uint8_t((r.p & ~FlagC) | (r.a >> 7));
}
CPU6502_INLINE void Alr(Regs &r, uint8_t m) { r.a = Lsr(r, uint8_t(r.a & m)); }
// ROR of A & M; C comes from bit 6 of the result and V from bit 6 XOR bit 5.
CPU6502_INLINE void Arr(Regs &r, uint8_t m)
{
    const uint8_t v = uint8_t(((r.a & m) >> 1) | ((r.p & FlagC) << 7));
    r.a = v;
    r.p = uint8_t((r.p & ~(FlagC | FlagV | FlagN | FlagZ)) | ((v >> 6) & 1) | (((v >> 6) ^ (v >> 5)) & 1) << 6 |
                  ZnTable[v]);
}
// X = (A & X) - M, flags as CMP sets them.
CPU6502_INLINE void Axs(Regs &r, uint8_t m)
{
    const uint8_t ax = r.a & r.x;
    Compare(r, ax, m);
    r.x = uint8_t(ax - m);
}
// The two unstable immediates mix in A through a chip-dependent constant;
// the console's CPU behaves as if every bit of it were set.
inline constexpr uint8_t UnstableMagic = 0xFF;
CPU6502_INLINE void Ane(Regs &r, uint8_t m) { Lda(r, uint8_t((r.a | UnstableMagic) & r.x & m)); }
CPU6502_INLINE void Lxa(Regs &r, uint8_t m) { Lax(r, uint8_t((r.a | UnstableMagic) & m)); }

// ---- Instruction shapes built from a mode and a body.

using ValueOp = void (*)(Regs &, uint8_t);
using ModifyOp = uint8_t (*)(Regs &, uint8_t);

template <ValueOp Op, class M>
CPU6502_INLINE void Apply(Regs &r) { Op(r, Read<M>(r)); }

template <class M>
CPU6502_INLINE void Store(Regs &r, uint8_t value) { WriteData(r, M::Address(r), value); }

// Memory operand: read, write back the value unmodified, write the result.
// Registers and boards see the write-back (games reset the serial board
// with INC on a ROM byte of $80 or more); the work RAM below $2000 holds
// the value already, so the write-back is left out there.
template <ModifyOp Op, class M>
CPU6502_INLINE void Modify(Regs &r)
{
    if constexpr (std::is_same_v<M, Acc>) {
        r.a = Op(r, r.a);
    } else {
        const uint16_t address = M::Address(r);
        const uint8_t value = ReadData(r, address);
        if (address >= 0x2000)
            WriteData(r, address, value);
        WriteData(r, address, Op(r, value));
    }
}

// SHA, SHX, SHY and TAS store a register ANDed with the base address's
// high byte plus one; when the index carries into the high byte, that
// value also replaces the high byte of the address written.
template <class M>
CPU6502_INLINE void StoreAndHigh(Regs &r, uint8_t value)
{
    const uint16_t base = M::Base(r);
    uint16_t address = uint16_t(base + M::Index(r));
    DummyRead(r, Uncarried(base, address));
    const uint8_t v = uint8_t(value & ((base >> 8) + 1));
    if ((base ^ address) & 0x100)
        address = uint16_t((address & 0xFF) | (v << 8));
    WriteData(r, address, v);
}

// A taken branch costs one more cycle, and one more again when it lands in
// another page.
CPU6502_INLINE void Branch(Regs &r, bool taken)
{
    int8_t offset = int8_t(FetchOperand(r));
    if (taken) {
        const uint16_t target = uint16_t(r.pc + offset);
        r.cycles -= 1 + (((r.pc ^ target) >> 8) & 1);
        r.pc = target;
    }
}

// Cuts the slice on the run loop's countdown. Through a copy: were the
// countdown's own address handed on, the registers would live in memory.
CPU6502_INLINE void EndSliceAfter(Regs &r, int32_t cycles)
{
    int32_t countdown = r.cycles;
    Cpu6502EndSliceAfter(r.cpu, countdown, cycles);
    r.cycles = countdown;
}

// CLI, SEI and PLP change I only after the interrupt poll of their own
// instruction, so the check after them must use the I they started with:
// the slice is cut to end right after the instruction, with that I kept
// for the check. The run loop then lets a request waiting under the new,
// clear I in after the next instruction (CLI then SEI admits exactly one).
CPU6502_INLINE void ChangeMask(Regs &r, uint8_t oldP)
{
    if ((oldP ^ r.p) & FlagI) {
        r.cpu.polledI = uint8_t(PollOverride | (oldP & FlagI));
        EndSliceAfter(r, 0);
    }
}

// RTI's change of I counts at once: a request waiting when it clears I is
// taken before the next instruction.
CPU6502_INLINE void ReturnUnmask(Regs &r, uint8_t oldP)
{
    if ((oldP & FlagI) && !(r.p & FlagI) && r.cpu.pendingInterrupt)
        EndSliceAfter(r, 0);
}

#pragma GCC visibility pop

} // namespace Cindrel::Ops
