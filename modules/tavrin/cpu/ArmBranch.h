// Branches (B, BL, BX, BLX), the software interrupt and the coprocessor
// classes, which this machine does not have.
#pragma once

#include "modules/tavrin/bus/OpenBus.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/cpu/ArmSlotKey.h"
#include "modules/tavrin/cpu/IdleLoop.h"

namespace Tavrin {

void ReportUndefinedOpcode(ArmState *s, uint32_t op);

inline uint32_t ArmBranchOffset(uint32_t op)
{
    return uint32_t(int32_t(op << 8) >> 6);
}

template <SlotKey K>
void ArmOp_Branch(ArmState *s, uint32_t op)
{
    const uint32_t next = s->r[15];
    const uint32_t target = next + ArmBranchOffset(op) + 4;
    s->r[15] = target;
    NoteJump(next - 4, false);
    if constexpr (K.kind == ArmKind::BranchLink)
        s->r[14] = next;
    else
        IdleBranchTaken(s, next - 4, target, false);
}

// Jumps to target, switching instruction set by its bit 0; a switch cuts
// the slice so the run loop picks the other decoder.
inline void ArmExchange(ArmState *s, uint32_t target)
{
    if (target & 1) {
        s->r[15] = target & ~1u;
        if (!(s->cpsr & FlagT)) {
            s->cpsr |= FlagT;
            ArmEarlyExit(s);
        }
    } else {
        s->r[15] = target & ~3u;
        if (s->cpsr & FlagT) {
            s->cpsr &= ~FlagT;
            ArmEarlyExit(s);
        }
    }
}

template <SlotKey K>
void ArmOp_BranchExchange(ArmState *s, uint32_t op)
{
    const uint32_t rm = op & 15;
    NoteJump(s->r[15] - 4, false);
    if constexpr (K.kind == ArmKind::BranchExchange) {
        // BX r15 reads the address + 8, as every ARM operand does.
        ArmExchange(s, ReadOperand<4>(s, rm));
    } else {
        const uint32_t target = s->r[rm];
        s->r[14] = s->r[15] | ((s->cpsr & FlagT) ? 1 : 0);
        ArmExchange(s, target);
    }
}

template <SlotKey K>
void ArmOp_SWI(ArmState *s, uint32_t op)
{
    BiosCall(s, op & 0x00FFFFFF);
}

template <SlotKey K>
void ArmOp_Coprocessor(ArmState *s, uint32_t op)
{
    // No coprocessor answers with the exception vectors at address 0.
    ReportUndefinedOpcode(s, op);
}

} // namespace Tavrin
