// The unprefixed instruction set as one template per opcode. The second
// parameter says which register plays HL, so the same bodies serve the DD
// and FD prefixes: there (HL) becomes (IX+d), H and L become the index
// register's halves, and opcodes without HL run unchanged.
#pragma once

#include "modules/belcrest/cpu/Z80Ops.h"

#include <utility>

namespace Belcrest::Z80 {

// DD ED and FD ED: the ED byte is consumed, nothing runs.
void IndexPrefixBeforeED(Z80State &s, int which);

Z80_INLINE void Halt(Z80State &s)
{
    // Stay on the HALT opcode and give up the rest of the slice; an
    // interrupt steps past it.
    s.IFF |= Z80IffHalted;
    s.PC.w = uint16_t(s.PC.w - 1);
    s.cyclesLeft = 0;
    s.savedCyclesLeft = 0;
}

Z80_INLINE void EnableInterrupts(Z80State &s)
{
    if (s.IFF & (Z80Iff1 | Z80IffAfterEi))
        return;
    // One more instruction runs; the slice end then accepts interrupts and
    // restores the parked remainder.
    s.IFF |= Z80IffAfterEi | Z80Iff2;
    s.savedCyclesLeft = s.cyclesLeft;
    s.cyclesLeft = 1;
}

Z80_INLINE void DisableInterrupts(Z80State &s)
{
    if (s.IFF & Z80IffAfterEi)
        s.cyclesLeft += s.savedCyclesLeft - 1;
    s.IFF &= uint8_t(~(Z80Iff1 | Z80Iff2 | Z80IffAfterEi));
}

// One update of the PC whether the jump is taken or not.
Z80_INLINE void JumpRelative(Z80State &s, bool taken)
{
    const uint16_t pc = s.PC.w;
    const int8_t d = int8_t(Read8(pc));
    s.PC.w = uint16_t(pc + 1 + (taken ? d : 0));
    if (taken)
        s.cyclesLeft -= 5;
}

template <int op, int X>
Z80_INLINE void ExecLow(Z80State &s) // 0x00-0x3F
{
    constexpr int y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
    if constexpr (z == 0) {
        if constexpr (y == 1) {
            std::swap(s.AF, s.AF2);
        } else if constexpr (y == 2) {
            s.BC.h = uint8_t(s.BC.h - 1);
            JumpRelative(s, s.BC.h != 0);
        } else if constexpr (y == 3) {
            const uint16_t pc = s.PC.w;
            s.PC.w = uint16_t(pc + 1 + int8_t(Read8(pc)));
        } else if constexpr (y >= 4) {
            JumpRelative(s, Condition<y - 4>(s));
        }
    } else if constexpr (z == 1) {
        if constexpr (q == 0) {
            Pair<p, X, false>(s).w = Fetch16(s);
        } else {
            Z80Pair &hl = IndexReg<X>(s);
            hl.w = Add16(s, hl.w, Pair<p, X, false>(s).w);
        }
    } else if constexpr (z == 2) {
        if constexpr (op == 0x02)
            WriteMemory(s.BC.w, s.AF.h);
        else if constexpr (op == 0x0A)
            s.AF.h = Read8(s.BC.w);
        else if constexpr (op == 0x12)
            WriteMemory(s.DE.w, s.AF.h);
        else if constexpr (op == 0x1A)
            s.AF.h = Read8(s.DE.w);
        else if constexpr (op == 0x22)
            Write16(Fetch16(s), IndexReg<X>(s).w);
        else if constexpr (op == 0x2A)
            IndexReg<X>(s).w = Read16(Fetch16(s));
        else if constexpr (op == 0x32)
            WriteMemory(Fetch16(s), s.AF.h);
        else
            s.AF.h = Read8(Fetch16(s));
    } else if constexpr (z == 3) {
        Z80Pair &rr = Pair<p, X, false>(s);
        rr.w = uint16_t(q ? rr.w - 1 : rr.w + 1);
    } else if constexpr (z == 4 || z == 5) {
        if constexpr (y == 6) {
            const uint16_t a = MemoryOperand<X>(s);
            const uint8_t v = Read8(a);
            WriteMemory(a, z == 4 ? Inc8(s, v) : Dec8(s, v));
        } else {
            uint8_t &r = Reg8<y, X>(s);
            r = z == 4 ? Inc8(s, r) : Dec8(s, r);
        }
    } else if constexpr (z == 6) {
        if constexpr (y == 6) {
            const uint16_t a = MemoryOperand<X>(s); // displacement precedes n
            WriteMemory(a, Fetch8(s));
        } else {
            Reg8<y, X>(s) = Fetch8(s);
        }
    } else {
        const uint8_t a = s.AF.h, f = s.AF.l;
        if constexpr (y == 0) { // RLCA
            s.AF.h = uint8_t(a << 1 | a >> 7);
            s.AF.l = uint8_t((f & FlagsKept) | (a >> 7));
        } else if constexpr (y == 1) { // RRCA
            s.AF.h = uint8_t(a >> 1 | a << 7);
            s.AF.l = uint8_t((f & FlagsKept) | (a & 1));
        } else if constexpr (y == 2) { // RLA
            s.AF.h = uint8_t(a << 1 | (f & FlagC));
            s.AF.l = uint8_t((f & FlagsKept) | (a >> 7));
        } else if constexpr (y == 3) { // RRA
            s.AF.h = uint8_t(a >> 1 | (f & FlagC) << 7);
            s.AF.l = uint8_t((f & FlagsKept) | (a & 1));
        } else if constexpr (y == 4) { // DAA
            s.AF.w = DaaTable[a | (f & FlagC) << 8 | (f & FlagH) << 5 | (f & FlagN) << 9];
        } else if constexpr (y == 5) { // CPL
            s.AF.h = uint8_t(~a);
            s.AF.l = uint8_t(f | FlagH | FlagN);
        } else if constexpr (y == 6) { // SCF
            s.AF.l = uint8_t((f & FlagsKept) | FlagC);
        } else { // CCF
            s.AF.l = uint8_t((f & FlagsKept) | (f & FlagC) << 4 | ((f & FlagC) ^ FlagC));
        }
    }
}

template <int op, int X>
Z80_INLINE void ExecHigh(Z80State &s) // 0xC0-0xFF
{
    constexpr int y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
    if constexpr (z == 0) {
        if (Condition<y>(s)) {
            s.PC.w = Pop(s);
            s.cyclesLeft -= 6;
        }
    } else if constexpr (z == 1) {
        if constexpr (q == 0) {
            Pair<p, X, true>(s).w = Pop(s);
        } else if constexpr (p == 0) {
            s.PC.w = Pop(s);
        } else if constexpr (p == 1) {
            std::swap(s.BC, s.BC2);
            std::swap(s.DE, s.DE2);
            std::swap(s.HL, s.HL2);
        } else if constexpr (p == 2) {
            s.PC.w = IndexReg<X>(s).w;
        } else {
            s.SP.w = IndexReg<X>(s).w;
        }
    } else if constexpr (z == 2) {
        const uint16_t target = Fetch16(s);
        if (Condition<y>(s))
            s.PC.w = target;
    } else if constexpr (z == 3) {
        if constexpr (y == 0) {
            s.PC.w = Fetch16(s);
        } else if constexpr (y == 1) {
            if constexpr (X == UseHL)
                Z80ExecCB(s);
            else if constexpr (X == UseIX)
                Z80ExecDDCB(s);
            else
                Z80ExecFDCB(s);
        } else if constexpr (y == 2) {
            WritePort(Fetch8(s), s.AF.h);
        } else if constexpr (y == 3) {
            s.AF.h = ReadPort(Fetch8(s));
        } else if constexpr (y == 4) {
            Z80Pair &hl = IndexReg<X>(s);
            const uint16_t v = Read16(s.SP.w);
            Write16(s.SP.w, hl.w);
            hl.w = v;
        } else if constexpr (y == 5) {
            std::swap(s.DE, s.HL); // always HL, even under a prefix
        } else if constexpr (y == 6) {
            DisableInterrupts(s);
        } else {
            EnableInterrupts(s);
        }
    } else if constexpr (z == 4) {
        const uint16_t target = Fetch16(s);
        if (Condition<y>(s)) {
            Push(s, s.PC.w);
            s.PC.w = target;
            s.cyclesLeft -= 7;
        }
    } else if constexpr (z == 5) {
        if constexpr (q == 0) {
            Push(s, Pair<p, X, true>(s).w);
        } else if constexpr (p == 0) {
            const uint16_t target = Fetch16(s);
            Push(s, s.PC.w);
            s.PC.w = target;
        } else if constexpr (p == 2) { // ED
            if constexpr (X == UseHL)
                Z80ExecED(s);
            else
                IndexPrefixBeforeED(s, X);
        } else if constexpr (X == UseHL) {
            if constexpr (p == 1)
                Z80ExecDD(s);
            else
                Z80ExecFD(s);
        } else {
            // A prefix after a prefix starts a new instruction; the first
            // one is dropped.
            s.PC.w = uint16_t(s.PC.w - 1);
        }
    } else if constexpr (z == 6) {
        Alu<y>(s, Fetch8(s));
    } else {
        Push(s, s.PC.w);
        s.PC.w = uint16_t(op & 0x38);
    }
}

template <int op, int X>
Z80_INLINE void ExecOp(Z80State &s)
{
    constexpr int y = (op >> 3) & 7, z = op & 7;
    if constexpr (op < 0x40) {
        ExecLow<op, X>(s);
    } else if constexpr (op == 0x76) {
        Halt(s);
    } else if constexpr (op < 0x80) {
        if constexpr (z == 6) // LD r,(HL): H and L stay themselves
            Reg8<y, UseHL>(s) = Read8(MemoryOperand<X>(s));
        else if constexpr (y == 6)
            WriteMemory(MemoryOperand<X>(s), Reg8<z, UseHL>(s));
        else
            Reg8<y, X>(s) = Reg8<z, X>(s);
    } else if constexpr (op < 0xC0) {
        if constexpr (z == 6)
            Alu<y>(s, Read8(MemoryOperand<X>(s)));
        else
            Alu<y>(s, Reg8<z, X>(s));
    } else {
        ExecHigh<op, X>(s);
    }
}

} // namespace Belcrest::Z80
