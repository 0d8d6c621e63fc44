// Polling loops without effect: a short backward branch closing a body that
// only loads and computes (the line-counter wait of nearly every game) leaves
// registers and flags exactly as they were one turn before, and nothing but
// the CPU's own stores changes memory within a slice (a running timer does,
// and the machine marks the loads of one). Once one turn has shown
// that, the turns that fit in the slice's remaining cycles are charged at once
// instead of executed; the last, partial turn runs normally, so every
// register, flag and cycle count ends as the single steps would leave it.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin {

// Longest body (in bytes, branch excluded) the watch looks at.
inline constexpr uint32_t IdleBodyBytes = 64;

struct IdleWatch {
    uint8_t armed;     // set by the run loop; single steps never skip
    uint8_t retried;   // the record was already taken again once
    // Set by the machine on a load whose value changes with time alone (a
    // running timer); a turn that made one is never taken as idle.
    uint8_t volatileRead;
    uint32_t branchPc; // the branch whose last turn is recorded, or NoPc
    uint32_t refusedPc; // a branch already found to do work in this slice
    int32_t cyclesLeft;
    uint32_t cpsr;
    uint32_t r[15];
};
inline constexpr uint32_t IdleNoPc = 0xFFFFFFFF;

extern IdleWatch Idle;

// The run loop calls this between slices: the record of a turn only holds
// while no line step, interrupt or instruction-set switch came between.
inline void IdleSliceEnded()
{
    Idle.branchPc = IdleNoPc;
    Idle.refusedPc = IdleNoPc;
}

// A taken branch at branchPc (its own address) back to target, already in
// r15. thumb tells which instruction set the body is in.
void IdleLoopTurn(ArmState *s, uint32_t branchPc, uint32_t target, bool thumb);

// Called by the branches: only short backward jumps in the run loop qualify.
[[gnu::always_inline]] inline void IdleBranchTaken(ArmState *s, uint32_t branchPc, uint32_t target, bool thumb)
{
    if (branchPc - target <= IdleBodyBytes && target <= branchPc && Idle.armed && branchPc != Idle.refusedPc)
        IdleLoopTurn(s, branchPc, target, thumb);
}

// Whether one instruction only reads memory and writes registers other than
// r15 (no store, mode change, call or report), so a body of them can repeat
// without effect. Exposed for the tests.
bool ThumbOpIsPure(uint32_t op);
bool ArmOpIsPure(uint32_t op);

} // namespace Tavrin
