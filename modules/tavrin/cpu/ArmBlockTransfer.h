// LDM and STM: one generated handler per combination of P, U, S, W and L.
#pragma once

#include "modules/tavrin/cpu/ArmMemory.h"
#include "modules/tavrin/cpu/ArmSlotKey.h"

#include <bit>

namespace Tavrin {

// Visits the listed registers with the address of each. The CPU moves the
// lowest register to the lowest address and goes up from there whichever way
// the base steps, so a decrementing STM into the DMA registers writes the
// control word last, after source and destination. The decrementing forms
// start at the bottom of the block below the base; the before forms of
// either direction step the address before the first register.
template <bool Pre, bool Up, class Visit>
inline void ArmForEachListed(uint32_t list, uint32_t address, Visit visit)
{
    if constexpr (!Up)
        address -= 4 * uint32_t(std::popcount(list));
    constexpr bool StepFirst = Up == Pre;
    for (uint32_t bits = list; bits; bits &= bits - 1) {
        if constexpr (StepFirst) address += 4;
        visit(uint32_t(std::countr_zero(bits)), address);
        if constexpr (!StepFirst) address += 4;
    }
}

// An empty list transfers r15 alone, but the base moves as if all sixteen
// registers had been transferred, and r15 sits at the lowest address of that
// block.
template <bool Pre, bool Up, bool WriteBack, bool Load, bool UserBank>
void ArmBlockTransferEmpty(ArmState *s, uint32_t rn)
{
    const uint32_t base = s->r[rn];
    const uint32_t aligned = base & ~3u;
    const uint32_t address = Up ? (Pre ? aligned + 4 : aligned) : (Pre ? aligned - 0x40 : aligned - 0x3C);
    const uint32_t writtenBack = (base & 3) | (Up ? aligned + 0x40 : aligned - 0x40);
    if constexpr (!Load) {
        CpuStore<4>(address, s->r[15] + 8);
        if constexpr (WriteBack)
            SetReg(s, rn, writtenBack);
    } else {
        s->cyclesLeft -= LoadWait32(address);
        NoteJump(s->r[15] - 4, false);
        s->r[15] = CpuWordAt(s, address);
        // r15 is the register transferred, so as a base it keeps the load.
        if constexpr (WriteBack)
            if (rn != 15)
                s->r[rn] = writtenBack;
        s->cyclesLeft -= 1;
        if constexpr (UserBank)
            ArmRestoreSpsr(s);
        s->r[15] = AlignPc(s, s->r[15]);
    }
}

template <SlotKey K>
void ArmOp_BlockTransfer(ArmState *s, uint32_t op)
{
    constexpr bool Pre = K.bits & 0x10, Up = K.bits & 0x08, UserBank = K.bits & 0x04;
    constexpr bool WriteBack = K.bits & 0x02, Load = K.bits & 0x01;
    const uint32_t rn = (op >> 16) & 15;
    const uint32_t list = op & 0xFFFF;
    if (!list) {
        ArmBlockTransferEmpty<Pre, Up, WriteBack, Load, UserBank>(s, rn);
        return;
    }
    const uint32_t span = 4 * RegisterCount(list);

    const uint32_t base = s->r[rn];
    const uint32_t aligned = base & ~3u;
    const uint32_t final = Up ? aligned + span : aligned - span;
    const uint32_t writtenBack = (base & 3) | final;
    // The user bank of r13/r14 is in its slots only while another mode runs.
    const bool bankedUser = UserBank && !ArmHasUserBankLive(s->cpsr);

    if constexpr (!Load) {
        // The base is stored as it was when it is the first register
        // transferred, otherwise as written back.
        const uint32_t baseValue =
            (WriteBack && (list & ((1u << rn) - 1))) ? writtenBack : base;
        auto value = [&](uint32_t n) -> uint32_t {
            if (bankedUser && (n == 13 || n == 14))
                return n == 13 ? s->r13Usr : s->r14Usr;
            if (n == 15)
                return s->r[15] + 8;
            return n == rn ? baseValue : s->r[n];
        };
        ArmForEachListed<Pre, Up>(list, aligned, [&](uint32_t n, uint32_t address) { CpuStore<4>(address, value(n)); });
        if constexpr (WriteBack)
            SetReg(s, rn, writtenBack);
    } else {
        const bool withPc = list & 0x8000;
        const bool toUserBank = bankedUser && !withPc;
        // A loaded r15 waits until the end: the BIOS read protection of the
        // other words looks at the address of this instruction.
        uint32_t loadedPc = 0;
        auto put = [&](uint32_t n, uint32_t v) {
            if (n == 15)
                loadedPc = v;
            else if (toUserBank && (n == 13 || n == 14))
                (n == 13 ? s->r13Usr : s->r14Usr) = v;
            else
                s->r[n] = v;
        };
        ArmForEachListed<Pre, Up>(list, aligned, [&](uint32_t n, uint32_t address) {
            s->cyclesLeft -= LoadWait32(address);
            put(n, CpuWordAt(s, address));
        });
        if constexpr (WriteBack) {
            if (!(list & (1u << rn)))
                SetReg(s, rn, writtenBack);
        }
        s->cyclesLeft -= 1;
        if (withPc) {
            NoteJump(s->r[15] - 4, false);
            s->r[15] = loadedPc;
            if constexpr (UserBank)
                ArmRestoreSpsr(s);
            s->r[15] = AlignPc(s, s->r[15]);
        }
    }
}

} // namespace Tavrin
