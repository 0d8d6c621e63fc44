// The arithmetic shared by the ARM handlers and the THUMB decoder: the
// barrel shifter and the flag formulas.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <bit>
#include <cstdint>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace Tavrin {

enum class ShiftKind : uint8_t { Lsl, Lsr, Asr, Ror };

struct Shifted {
    uint32_t value;
    uint32_t carry; // 0 or 1
};

// How many registers a 16-bit list names. A bit trick rather than
// std::popcount, which on a baseline x86-64 build is a library call.
inline uint32_t RegisterCount(uint32_t list)
{
    list = list - ((list >> 1) & 0x5555);
    list = (list & 0x3333) + ((list >> 2) & 0x3333);
    list = (list + (list >> 4)) & 0x0F0F;
    return (list + (list >> 8)) & 0x1F;
}

// Shift by an immediate amount 0-31; amount 0 means LSL #0 (no shift),
// LSR #32, ASR #32 or RRX.
template <ShiftKind Kind>
inline Shifted ShiftByImmediate(uint32_t v, uint32_t n, uint32_t carryIn)
{
    if constexpr (Kind == ShiftKind::Lsl) {
        if (n == 0)
            return {v, carryIn};
        return {v << n, (v >> (32 - n)) & 1};
    } else if constexpr (Kind == ShiftKind::Lsr) {
        if (n == 0)
            return {0, v >> 31};
        return {v >> n, (v >> (n - 1)) & 1};
    } else if constexpr (Kind == ShiftKind::Asr) {
        if (n == 0)
            return {uint32_t(int32_t(v) >> 31), v >> 31};
        return {uint32_t(int32_t(v) >> n), (v >> (n - 1)) & 1};
    } else {
        if (n == 0)
            return {(carryIn << 31) | (v >> 1), v & 1};
        return {std::rotr(v, int(n)), (v >> (n - 1)) & 1};
    }
}

// Shift by the low byte of a register: 0 leaves value and carry alone.
template <ShiftKind Kind>
inline Shifted ShiftByRegister(uint32_t v, uint32_t n, uint32_t carryIn)
{
    if (n == 0)
        return {v, carryIn};
    if constexpr (Kind == ShiftKind::Lsl) {
        if (n < 32)
            return {v << n, (v >> (32 - n)) & 1};
        return {0, n == 32 ? (v & 1) : 0};
    } else if constexpr (Kind == ShiftKind::Lsr) {
        if (n < 32)
            return {v >> n, (v >> (n - 1)) & 1};
        return {0, n == 32 ? (v >> 31) : 0};
    } else if constexpr (Kind == ShiftKind::Asr) {
        if (n < 32)
            return {uint32_t(int32_t(v) >> n), (v >> (n - 1)) & 1};
        return {uint32_t(int32_t(v) >> 31), v >> 31};
    } else {
        uint32_t k = n & 31;
        if (k == 0)
            return {v, v >> 31};
        return {std::rotr(v, int(k)), (v >> (k - 1)) & 1};
    }
}

inline uint32_t NzOf(uint32_t r)
{
    return (r & FlagN) | (r == 0 ? FlagZ : 0);
}

#if defined(__x86_64__) && defined(__GCC_ASM_FLAG_OUTPUTS__)
#define TAVRIN_HOST_FLAGS 1
// N, Z, C and V as the host's own arithmetic left them.
constexpr uint32_t PackFlags(bool n, bool z, bool c, bool v)
{
    return uint32_t(n) << 31 | uint32_t(z) << 30 | uint32_t(c) << 29 | uint32_t(v) << 28;
}

// Whether the host has LAHF in 64-bit mode (all but the first x86-64
// processors): it copies the sign, zero and carry flags at once, which the
// THUMB run loop takes where it has it.
inline bool DetectLahf()
{
    unsigned a, b, c, d;
    return __get_cpuid(0x80000001, &a, &b, &c, &d) && (c & 1);
}
// Not const: the tests turn it off to run the portable path too.
inline bool HostHasLahf = DetectLahf();

// N, Z, C and V by the host's sign, zero and carry flags (as LAHF puts
// them in bits 15, 14 and 8) and its overflow flag (in bit 0): one lookup
// of bits 15, 14, 8 and 0 packed into an index.
struct HostFlagTable {
    uint32_t nzcv[0xC4];
    constexpr HostFlagTable() : nzcv{}
    {
        for (uint32_t i = 0; i < 0xC4; ++i)
            nzcv[i] = PackFlags(i & 0x80, i & 0x40, i & 1, i & 2);
    }
};
inline constexpr HostFlagTable HostFlags{};

inline uint32_t FlagsOfHost(uint32_t ax) { return HostFlags.nzcv[((ax >> 8) & 0xC1) | ((ax & 1) << 1)]; }
#endif

// a + b + carryIn, with the flags of the full 32-bit addition. The carries
// come from the host's own (a constant carry-in folds its half away; without
// one, the host's one addition gives all four flags).
// Lahf: only where HostHasLahf.
template <bool Lahf = false>
inline uint32_t AddWithFlags(uint32_t a, uint32_t b, uint32_t carryIn, uint32_t &flags)
{
#ifdef TAVRIN_HOST_FLAGS
    if (__builtin_constant_p(carryIn) && carryIn == 0) {
        if constexpr (Lahf) {
            uint32_t ax;
            asm("addl %[b], %[r]\n\tlahf\n\tseto %%al" : [r] "+r"(a), "=&a"(ax) : [b] "g"(b) : "cc");
            flags = FlagsOfHost(ax);
        } else {
            bool n, z, c, v;
            asm("addl %[b], %[r]" : [r] "+r"(a), "=@ccs"(n), "=@ccz"(z), "=@ccc"(c), "=@cco"(v) : [b] "g"(b));
            flags = PackFlags(n, z, c, v);
        }
        return a;
    }
#endif
    uint32_t partial, r;
    const bool c1 = __builtin_add_overflow(a, b, &partial);
    const bool c2 = __builtin_add_overflow(partial, carryIn, &r);
    flags = NzOf(r) | (uint32_t(c1 | c2) << 29) | ((((a ^ r) & (b ^ r)) >> 31) << 28);
    return r;
}

// m - s - (1 - carryIn), C = NOT borrow, V = signed overflow of the whole
// subtraction.
template <bool Lahf = false>
inline uint32_t SubWithFlags(uint32_t m, uint32_t s, uint32_t carryIn, uint32_t &flags)
{
#ifdef TAVRIN_HOST_FLAGS
    // The host's carry is the borrow, the opposite of C.
    if (__builtin_constant_p(carryIn) && carryIn == 1) {
        if constexpr (Lahf) {
            uint32_t ax;
            asm("subl %[s], %[m]\n\tlahf\n\tseto %%al" : [m] "+r"(m), "=&a"(ax) : [s] "g"(s) : "cc");
            flags = FlagsOfHost(ax) ^ FlagC;
        } else {
            bool n, z, c, v;
            asm("subl %[s], %[m]" : [m] "+r"(m), "=@ccs"(n), "=@ccz"(z), "=@ccnc"(c), "=@cco"(v) : [s] "g"(s));
            flags = PackFlags(n, z, c, v);
        }
        return m;
    }
#endif
    uint32_t partial, r;
    const bool b1 = __builtin_sub_overflow(m, s, &partial);
    const bool b2 = __builtin_sub_overflow(partial, 1 - carryIn, &r);
    flags = NzOf(r) | (uint32_t(!(b1 | b2)) << 29) | ((((m ^ s) & (m ^ r)) >> 31) << 28);
    return r;
}

inline void SetNzcv(ArmState *s, uint32_t flags)
{
    s->cpsr = (s->cpsr & 0x0FFFFFFF) | flags;
}

// Keeps C and V, sets N and Z.
inline void SetNz(ArmState *s, uint32_t result)
{
    s->cpsr = (s->cpsr & 0x3FFFFFFF) | NzOf(result);
}

inline uint32_t CarryOf(const ArmState *s) { return (s->cpsr >> 29) & 1; }

// r15 ignores bits that the current instruction set cannot address.
inline uint32_t AlignPc(const ArmState *s, uint32_t v)
{
    return v & ((s->cpsr & FlagT) ? ~1u : ~3u);
}

// An operand register as the ARM pipeline shows it: r15 reads ahead of the
// handler's view (the address + 4) by extra bytes.
template <uint32_t Ahead>
inline uint32_t ReadOperand(const ArmState *s, uint32_t n)
{
    return n == 15 ? s->r[15] + Ahead : s->r[n];
}

// A register write from an ARM handler: r15 is kept aligned.
inline void SetReg(ArmState *s, uint32_t n, uint32_t v)
{
    s->r[n] = n == 15 ? AlignPc(s, v) : v;
}

} // namespace Tavrin
