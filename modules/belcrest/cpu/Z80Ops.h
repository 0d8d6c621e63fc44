// Inline building blocks shared by the Z80 executors: memory access through
// the page table, the stack, and the flag arithmetic of the ALU.
#pragma once

#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/cpu/Z80Cpu.h"
#include "modules/belcrest/cpu/Z80Tables.h"

#define Z80_INLINE inline __attribute__((always_inline))

namespace Belcrest::Z80 {

enum : uint8_t {
    FlagC = 0x01,
    FlagN = 0x02,
    FlagP = 0x04,
    FlagX = 0x08,
    FlagH = 0x10,
    FlagY = 0x20,
    FlagZ = 0x40,
    FlagS = 0x80,
    // The flags that single-flag operations leave alone.
    FlagsKept = FlagS | FlagZ | FlagP | FlagX | FlagY,
};

// Which register stands in for HL: the plain form, DD (IX) or FD (IY).
enum IndexKind { UseHL = 0, UseIX = 1, UseIY = 2 };

Z80_INLINE uint8_t Read8(uint16_t a) { return Z80PageTable[a >> 13][a & 0x1FFF]; }

// Both bytes come through the page table so a word at 0xFFFF wraps to 0x0000.
Z80_INLINE uint16_t Read16(uint16_t a)
{
    return uint16_t(Read8(a) | Read8(uint16_t(a + 1)) << 8);
}

Z80_INLINE void Write16(uint16_t a, uint16_t v)
{
    WriteMemory(a, uint8_t(v));
    WriteMemory(uint16_t(a + 1), uint8_t(v >> 8));
}

Z80_INLINE uint8_t Fetch8(Z80State &s)
{
    const uint16_t pc = s.PC.w;
    s.PC.w = uint16_t(pc + 1);
    return Read8(pc);
}

Z80_INLINE uint16_t Fetch16(Z80State &s)
{
    const uint16_t lo = Fetch8(s);
    return uint16_t(lo | Fetch8(s) << 8);
}

Z80_INLINE void Push(Z80State &s, uint16_t v)
{
    s.SP.w = uint16_t(s.SP.w - 1);
    WriteMemory(s.SP.w, uint8_t(v >> 8));
    s.SP.w = uint16_t(s.SP.w - 1);
    WriteMemory(s.SP.w, uint8_t(v));
}

Z80_INLINE uint16_t Pop(Z80State &s)
{
    const uint16_t v = Read16(s.SP.w);
    s.SP.w = uint16_t(s.SP.w + 2);
    return v;
}

template <int X>
Z80_INLINE Z80Pair &IndexReg(Z80State &s)
{
    if constexpr (X == UseIX)
        return s.IX;
    else if constexpr (X == UseIY)
        return s.IY;
    else
        return s.HL;
}

// Register by its 3-bit code (B C D E H L - A); H and L become the halves of
// the index register under a prefix. Code 6 is memory and handled apart.
template <int r, int X>
Z80_INLINE uint8_t &Reg8(Z80State &s)
{
    static_assert(r != 6, "code 6 is the memory operand");
    if constexpr (r == 0)
        return s.BC.h;
    else if constexpr (r == 1)
        return s.BC.l;
    else if constexpr (r == 2)
        return s.DE.h;
    else if constexpr (r == 3)
        return s.DE.l;
    else if constexpr (r == 4)
        return IndexReg<X>(s).h;
    else if constexpr (r == 5)
        return IndexReg<X>(s).l;
    else
        return s.AF.h;
}

// Register pair by its 2-bit code; code 3 is SP or AF by the caller's choice.
template <int rr, int X, bool afNotSp>
Z80_INLINE Z80Pair &Pair(Z80State &s)
{
    if constexpr (rr == 0)
        return s.BC;
    else if constexpr (rr == 1)
        return s.DE;
    else if constexpr (rr == 2)
        return IndexReg<X>(s);
    else if constexpr (afNotSp)
        return s.AF;
    else
        return s.SP;
}

// The address of the memory operand: (HL), or (IX+d) with d fetched here.
template <int X>
Z80_INLINE uint16_t MemoryOperand(Z80State &s)
{
    if constexpr (X == UseHL) {
        return s.HL.w;
    } else {
        const int8_t d = int8_t(Fetch8(s));
        return uint16_t(IndexReg<X>(s).w + d);
    }
}

// Condition by its 3-bit code: NZ Z NC C PO PE P M.
template <int cc>
Z80_INLINE bool Condition(const Z80State &s)
{
    const uint8_t f = s.AF.l;
    constexpr uint8_t masks[4] = {FlagZ, FlagC, FlagP, FlagS};
    const bool set = f & masks[cc >> 1];
    return (cc & 1) ? set : !set;
}

// ---- 8-bit arithmetic and logic -------------------------------------------

Z80_INLINE void Add8(Z80State &s, uint8_t v, unsigned carry)
{
    const unsigned a = s.AF.h, r = a + v + carry;
    s.AF.h = uint8_t(r);
    s.AF.l = uint8_t(SzTable[r & 0xFF] | ((a ^ v ^ r) & FlagH) | ((r >> 8) & FlagC) |
                     (((a ^ r) & (v ^ r) & 0x80) >> 5));
}

// Subtraction flags; CP shares them and stores nothing.
Z80_INLINE uint8_t Sub8(Z80State &s, uint8_t v, unsigned carry)
{
    const unsigned a = s.AF.h, r = a - v - carry;
    s.AF.l = uint8_t(SzTable[r & 0xFF] | ((a ^ v ^ r) & FlagH) | ((r >> 8) & FlagC) |
                     (((a ^ v) & (a ^ r) & 0x80) >> 5) | FlagN);
    return uint8_t(r);
}

// The eight operations of the ALU group by their 3-bit code.
template <int k>
Z80_INLINE void Alu(Z80State &s, uint8_t v)
{
    if constexpr (k == 0) {
        Add8(s, v, 0);
    } else if constexpr (k == 1) {
        Add8(s, v, s.AF.l & FlagC);
    } else if constexpr (k == 2) {
        s.AF.h = Sub8(s, v, 0);
    } else if constexpr (k == 3) {
        s.AF.h = Sub8(s, v, s.AF.l & FlagC);
    } else if constexpr (k == 4) {
        s.AF.h &= v;
        s.AF.l = uint8_t(SzpTable[s.AF.h] | FlagH);
    } else if constexpr (k == 5) {
        s.AF.h ^= v;
        s.AF.l = SzpTable[s.AF.h];
    } else if constexpr (k == 6) {
        s.AF.h |= v;
        s.AF.l = SzpTable[s.AF.h];
    } else {
        Sub8(s, v, 0);
    }
}

Z80_INLINE uint8_t Inc8(Z80State &s, uint8_t v)
{
    const uint8_t r = uint8_t(v + 1);
    s.AF.l = uint8_t((s.AF.l & FlagC) | SzTable[r] | ((r & 0x0F) == 0 ? FlagH : 0) |
                     (v == 0x7F ? FlagP : 0));
    return r;
}

Z80_INLINE uint8_t Dec8(Z80State &s, uint8_t v)
{
    const uint8_t r = uint8_t(v - 1);
    s.AF.l = uint8_t((s.AF.l & FlagC) | SzTable[r] | ((v & 0x0F) == 0 ? FlagH : 0) |
                     (v == 0x80 ? FlagP : 0) | FlagN);
    return r;
}

// ---- 16-bit arithmetic ----------------------------------------------------

Z80_INLINE uint16_t Add16(Z80State &s, uint16_t a, uint16_t v)
{
    const unsigned r = unsigned(a) + v;
    s.AF.l = uint8_t((s.AF.l & FlagsKept) | (((a ^ v ^ r) >> 8) & FlagH) | (r >> 16));
    return uint16_t(r);
}

Z80_INLINE void Adc16(Z80State &s, uint16_t v)
{
    const unsigned a = s.HL.w, r = a + v + (s.AF.l & FlagC);
    s.HL.w = uint16_t(r);
    s.AF.l = uint8_t(((r >> 8) & FlagS) | ((r & 0xFFFF) == 0 ? FlagZ : 0) |
                     (((a ^ v ^ r) >> 8) & FlagH) | (((a ^ r) & (v ^ r) & 0x8000) >> 13) |
                     ((r >> 16) & FlagC));
}

Z80_INLINE void Sbc16(Z80State &s, uint16_t v)
{
    const unsigned a = s.HL.w, r = a - v - (s.AF.l & FlagC);
    s.HL.w = uint16_t(r);
    s.AF.l = uint8_t(((r >> 8) & FlagS) | ((r & 0xFFFF) == 0 ? FlagZ : 0) |
                     (((a ^ v ^ r) >> 8) & FlagH) | (((a ^ v) & (a ^ r) & 0x8000) >> 13) |
                     ((r >> 16) & FlagC) | FlagN);
}

// ---- Rotates, shifts and bits (the CB group) -----------------------------

// RLC RRC RL RR SLA SRA SLL SRL by their 3-bit code; F from SzpTable and the
// bit shifted out.
template <int k>
Z80_INLINE uint8_t Shift(Z80State &s, uint8_t v)
{
    unsigned r, c;
    const unsigned cin = s.AF.l & FlagC;
    if constexpr (k == 0) {
        c = v >> 7;
        r = unsigned(v << 1) | c;
    } else if constexpr (k == 1) {
        c = v & 1;
        r = (v >> 1) | (c << 7);
    } else if constexpr (k == 2) {
        c = v >> 7;
        r = unsigned(v << 1) | cin;
    } else if constexpr (k == 3) {
        c = v & 1;
        r = (v >> 1) | (cin << 7);
    } else if constexpr (k == 4) {
        c = v >> 7;
        r = unsigned(v << 1);
    } else if constexpr (k == 5) {
        c = v & 1;
        r = (v >> 1) | (v & 0x80);
    } else if constexpr (k == 6) {
        c = v >> 7;
        r = unsigned(v << 1) | 1;
    } else {
        c = v & 1;
        r = v >> 1;
    }
    const uint8_t out = uint8_t(r);
    s.AF.l = uint8_t(SzpTable[out] | c);
    return out;
}

Z80_INLINE void Bit(Z80State &s, int b, uint8_t v)
{
    s.AF.l = uint8_t(SzpTable[v & (1u << b)] | FlagH | (s.AF.l & FlagC));
}

} // namespace Belcrest::Z80

// A switch over all 256 opcodes, each case calling Z80_OP(opcode) with the
// opcode as a constant; the compiler turns it into one jump table.
#define Z80_CASE_1(n) \
    case (n):         \
        Z80_OP(n);    \
        break;
#define Z80_CASE_4(n) Z80_CASE_1(n) Z80_CASE_1(n + 1) Z80_CASE_1(n + 2) Z80_CASE_1(n + 3)
#define Z80_CASE_16(n) Z80_CASE_4(n) Z80_CASE_4(n + 4) Z80_CASE_4(n + 8) Z80_CASE_4(n + 12)
#define Z80_CASE_64(n) Z80_CASE_16(n) Z80_CASE_16(n + 16) Z80_CASE_16(n + 32) Z80_CASE_16(n + 48)
#define Z80_CASE_256 Z80_CASE_64(0) Z80_CASE_64(64) Z80_CASE_64(128) Z80_CASE_64(192)
