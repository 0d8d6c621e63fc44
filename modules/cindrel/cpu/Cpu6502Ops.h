// Addressing modes and instruction bodies of the 6502 interpreter. Private
// to Cpu6502.cpp: everything here is inlined into the run loop's switch so
// the registers stay in host registers.
#pragma once

#include "modules/cindrel/cpu/Cpu6502.h"
#include "modules/cindrel/cpu/CpuBus.h"

#include <type_traits>

#define CPU6502_INLINE inline __attribute__((always_inline))

namespace Cindrel::Ops {

#pragma GCC visibility push(hidden)

// What the run loop keeps in locals: the registers and the cycle countdown,
// plus the record for the fields the machine also touches. The countdown is
// handed to the record around data accesses: ReadMemory sees it current,
// WriteMemory may also change it (sprite DMA takes its cycles there).
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

// ---- Addressing modes: each yields an effective address; Imm yields the
// operand itself through Read.

// Indexing that carries into the high byte costs a read one more cycle
// (writes and read-modify-writes always take the longer path).
CPU6502_INLINE uint16_t Indexed(uint16_t base, uint8_t index) { return uint16_t(base + index); }
CPU6502_INLINE uint16_t IndexedRead(Regs &r, uint16_t base, uint8_t index)
{
    const uint16_t address = uint16_t(base + index);
    r.cycles -= ((base ^ address) >> 8) & 1;
    return address;
}

struct Imm {};
struct Zp  { static CPU6502_INLINE uint16_t Address(Regs &r) { return FetchOperand(r); } };
struct ZpX { static CPU6502_INLINE uint16_t Address(Regs &r) { return uint8_t(FetchOperand(r) + r.x); } };
struct ZpY { static CPU6502_INLINE uint16_t Address(Regs &r) { return uint8_t(FetchOperand(r) + r.y); } };
struct Abs { static CPU6502_INLINE uint16_t Address(Regs &r) { return FetchWord(r); } };
struct AbsX {
    static CPU6502_INLINE uint16_t Address(Regs &r) { return Indexed(FetchWord(r), r.x); }
    static CPU6502_INLINE uint16_t ReadAddress(Regs &r) { return IndexedRead(r, FetchWord(r), r.x); }
};
struct AbsY {
    static CPU6502_INLINE uint16_t Address(Regs &r) { return Indexed(FetchWord(r), r.y); }
    static CPU6502_INLINE uint16_t ReadAddress(Regs &r) { return IndexedRead(r, FetchWord(r), r.y); }
};
struct IndX {
    static CPU6502_INLINE uint16_t Address(Regs &r) { return ZeroPagePointer(uint8_t(FetchOperand(r) + r.x)); }
};
struct IndY {
    static CPU6502_INLINE uint16_t Address(Regs &r) { return Indexed(ZeroPagePointer(FetchOperand(r)), r.y); }
    static CPU6502_INLINE uint16_t ReadAddress(Regs &r)
    {
        return IndexedRead(r, ZeroPagePointer(FetchOperand(r)), r.y);
    }
};

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

// ---- Instruction shapes built from a mode and a body.

using ValueOp = void (*)(Regs &, uint8_t);
using ModifyOp = uint8_t (*)(Regs &, uint8_t);

template <ValueOp Op, class M>
CPU6502_INLINE void Apply(Regs &r) { Op(r, Read<M>(r)); }

template <class M>
CPU6502_INLINE void Store(Regs &r, uint8_t value) { WriteData(r, M::Address(r), value); }

// Memory operand: one read, one write, no dummy accesses.
template <ModifyOp Op, class M>
CPU6502_INLINE void Modify(Regs &r)
{
    uint16_t address = M::Address(r);
    WriteData(r, address, Op(r, ReadData(r, address)));
}

template <ModifyOp Op>
CPU6502_INLINE void ModifyA(Regs &r) { r.a = Op(r, r.a); }

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

// CLI and PLP unmasking IRQs with one pending let one more instruction run
// first: the countdown is parked and set to expire after that instruction.
CPU6502_INLINE void Unmask(Regs &r, uint8_t oldP)
{
    if ((oldP & FlagI) && !(r.p & FlagI) && r.cpu.pendingInterrupt) {
        r.cpu.cliDelay = 1;
        r.cpu.savedCyclesLeft = r.cycles;
        r.cycles = 1;
    }
}

#pragma GCC visibility pop

} // namespace Cindrel::Ops
