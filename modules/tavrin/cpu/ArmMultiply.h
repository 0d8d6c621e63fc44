// Multiplies (32-bit and long, with and without accumulate) and counting
// leading zeros. Their cost is fixed per form, never by the operands.
#pragma once

#include "modules/tavrin/cpu/ArmSlotKey.h"

#include <bit>

namespace Tavrin {

template <SlotKey K>
void ArmOp_Multiply(ArmState *s, uint32_t op)
{
    constexpr bool Accumulate = K.bits & 0x02;
    uint32_t result = s->r[op & 15] * s->r[(op >> 8) & 15];
    if constexpr (Accumulate)
        result += s->r[(op >> 12) & 15];
    SetReg(s, (op >> 16) & 15, result);
    if constexpr (K.setFlags)
        s->cpsr = (s->cpsr & ~(FlagN | FlagZ | FlagC)) | NzOf(result);
    s->cyclesLeft -= Accumulate ? 5 : 4;
}

template <SlotKey K>
void ArmOp_MultiplyLong(ArmState *s, uint32_t op)
{
    constexpr bool Accumulate = K.bits & 0x02;
    constexpr bool Signed = K.bits & 0x04;
    const uint32_t m = s->r[op & 15], f = s->r[(op >> 8) & 15];
    const uint32_t lo = (op >> 12) & 15, hi = (op >> 16) & 15;
    uint64_t product = Signed ? uint64_t(int64_t(int32_t(m)) * int64_t(int32_t(f)))
                              : uint64_t(m) * uint64_t(f);
    if constexpr (Accumulate)
        product += (uint64_t(s->r[hi]) << 32) | s->r[lo];
    SetReg(s, lo, uint32_t(product));
    SetReg(s, hi, uint32_t(product >> 32));
    if constexpr (K.setFlags)
        s->cpsr = (s->cpsr & ~(FlagN | FlagZ)) | (uint32_t(product >> 32) & FlagN) |
                  (product == 0 ? FlagZ : 0);
    s->cyclesLeft -= Accumulate ? 6 : 5;
}

template <SlotKey K>
void ArmOp_CLZ(ArmState *s, uint32_t op)
{
    SetReg(s, (op >> 12) & 15, uint32_t(std::countl_zero(s->r[op & 15])));
}

} // namespace Tavrin
