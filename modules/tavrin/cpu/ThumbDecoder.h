// The THUMB instruction set, decoded inline by the run loop: one dense switch
// on the top five opcode bits, register numbers from fixed fields, and no call
// except for stores, SWI and the unrecognized-opcode report.
#pragma once

#include "modules/tavrin/cpu/ArmAlu.h"
#include "modules/tavrin/cpu/ArmCondition.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/cpu/ArmMemory.h"
#include "modules/tavrin/cpu/IdleLoop.h"

#include <bit>
#include <cstdio>

namespace Tavrin {

inline void ThumbReportUndefined(const ArmState *s, uint32_t op, uint32_t pc)
{
    if (s->reportUnknown)
        std::printf("THUMB: Unrecognized opcode 0x%04X at 0x%08X\n", op, pc);
}

inline void ThumbSetC(ArmState *s, uint32_t carry)
{
    s->cpsr = (s->cpsr & ~FlagC) | (carry << 29);
}

// Format 1: Rd = Rs shifted by imm5, with the ARM meaning of an amount of 0.
template <ShiftKind Kind>
inline void ThumbShiftByImmediate(ArmState *s, uint32_t rd, uint32_t v, uint32_t n)
{
    const Shifted sh = ShiftByImmediate<Kind>(v, n, CarryOf(s));
    ThumbSetC(s, sh.carry);
    s->r[rd] = sh.value;
    SetNz(s, sh.value);
}

// Shifts of format 4 by the low byte of Rs; one internal cycle.
template <ShiftKind Kind>
inline uint32_t ThumbShiftByRegister(ArmState *s, uint32_t v, uint32_t amount)
{
    const Shifted sh = ShiftByRegister<Kind>(v, amount & 0xFF, CarryOf(s));
    ThumbSetC(s, sh.carry);
    s->cyclesLeft -= 1;
    return sh.value;
}

// The sixteen operations of format 4 (Rd = Rd op Rs).
template <bool Lahf = false>
[[gnu::always_inline]] inline void ThumbAlu(ArmState *s, uint32_t op)
{
    uint32_t *r = s->r;
    const uint32_t rd = op & 7;
    const uint32_t a = r[rd], b = r[(op >> 3) & 7];
    uint32_t flags, result;
    switch ((op >> 6) & 15) {
    case 0x0: result = r[rd] = a & b; break;
    case 0x1: result = r[rd] = a ^ b; break;
    case 0x2: result = r[rd] = ThumbShiftByRegister<ShiftKind::Lsl>(s, a, b); break;
    case 0x3: result = r[rd] = ThumbShiftByRegister<ShiftKind::Lsr>(s, a, b); break;
    case 0x4: result = r[rd] = ThumbShiftByRegister<ShiftKind::Asr>(s, a, b); break;
    case 0x5: r[rd] = AddWithFlags<Lahf>(a, b, CarryOf(s), flags); SetNzcv(s, flags); return;
    case 0x6: r[rd] = SubWithFlags<Lahf>(a, b, CarryOf(s), flags); SetNzcv(s, flags); return;
    // A non-zero multiple of 32 keeps the value but shows bit 31 in C.
    case 0x7: result = r[rd] = ThumbShiftByRegister<ShiftKind::Ror>(s, a, b); break;
    case 0x8: result = a & b; break;
    case 0x9: r[rd] = SubWithFlags<Lahf>(0, b, 1, flags); SetNzcv(s, flags); return;
    case 0xA: SubWithFlags<Lahf>(a, b, 1, flags); SetNzcv(s, flags); return;
    case 0xB: AddWithFlags<Lahf>(a, b, 0, flags); SetNzcv(s, flags); return;
    case 0xC: result = r[rd] = a | b; break;
    case 0xD:
        // C is cleared; V keeps its value.
        result = r[rd] = a * b;
        s->cpsr &= ~FlagC;
        s->cyclesLeft -= 4;
        break;
    case 0xE: result = r[rd] = a & ~b; break;
    default: result = r[rd] = ~b; break;
    }
    SetNz(s, result);
}

// Format 5: ADD, CMP, MOV over all sixteen registers, and BX.
template <bool Lahf = false>
inline void ThumbHighRegister(ArmState *s, uint32_t op)
{
    uint32_t *r = s->r;
    const uint32_t hd = ((op >> 4) & 8) | (op & 7), hs = (op >> 3) & 15;
    // r15 reads as the instruction's address + 4.
    const uint32_t source = ReadOperand<2>(s, hs);
    if (hd == 15 || ((op >> 8) & 3) == 3)
        NoteJump(r[15] - 2, true);
    // r15 loses bit 0 only when written: a store of it on every MOV and ADD
    // would hold up the next fetch, which reads r15 straight back.
    switch ((op >> 8) & 3) {
    case 0:
        r[hd] = ReadOperand<2>(s, hd) + source;
        if (r[15] & 1)
            r[15] &= ~1u;
        break;
    case 1: {
        uint32_t flags;
        SubWithFlags<Lahf>(ReadOperand<2>(s, hd), source, 1, flags);
        SetNzcv(s, flags);
        break;
    }
    case 2:
        r[hd] = source;
        if (r[15] & 1)
            r[15] &= ~1u;
        break;
    default:
        if (source & 1) {
            r[15] = source & ~1u;
        } else {
            r[15] = source & ~3u;
            s->cpsr &= ~FlagT;
            ArmEarlyExit(s);
        }
        break;
    }
}

// Format 7 and 8: loads and stores with a register offset.
inline void ThumbRegisterOffset(ArmState *s, uint32_t op)
{
    uint32_t *r = s->r;
    const uint32_t rd = op & 7;
    const uint32_t address = r[(op >> 3) & 7] + r[(op >> 6) & 7];
    switch ((op >> 9) & 7) {
    case 0: CpuStore<4>(address, r[rd]); return;
    case 1: CpuStore<2>(address, r[rd] & 0xFFFF); return;
    case 2: CpuStore<1>(address, r[rd] & 0xFF); return;
    case 3: s->cyclesLeft -= LoadWait16(address) + 1; r[rd] = CpuLoadSignedByte(s, address); return;
    case 4: s->cyclesLeft -= LoadWait32(address) + 1; r[rd] = CpuLoadWord(s, address); return;
    case 5: s->cyclesLeft -= LoadWait16(address) + 1; r[rd] = CpuLoadHalf(s, address); return;
    case 6: s->cyclesLeft -= LoadWait16(address) + 1; r[rd] = CpuLoadByte(s, address); return;
    default: s->cyclesLeft -= LoadWait16(address) + 1; r[rd] = CpuLoadSignedHalf(s, address); return;
    }
}

// PUSH and POP keep the low two bits of SP; an empty list moves r15 and
// steps SP by 0x40.
inline void ThumbPush(ArmState *s, uint32_t op, uint32_t pc)
{
    uint32_t *r = s->r;
    const uint32_t sp = r[13];
    uint32_t address = sp & ~3u;
    const uint32_t list = op & 0xFF;
    if (!(op & 0x1FF)) {
        address -= 0x40;
        CpuStore<4>(address, pc + 6);
        r[13] = (sp & 3) | address;
        return;
    }
    if (op & 0x100) {
        address -= 4;
        CpuStore<4>(address, r[14]);
    }
    for (uint32_t bits = list; bits;) {
        uint32_t n = 31 - uint32_t(std::countl_zero(bits));
        bits &= ~(1u << n);
        address -= 4;
        CpuStore<4>(address, r[n]);
    }
    r[13] = (sp & 3) | address;
}

inline void ThumbPop(ArmState *s, uint32_t op)
{
    uint32_t *r = s->r;
    const uint32_t sp = r[13];
    uint32_t address = sp & ~3u;
    if (!(op & 0x1FF)) {
        s->cyclesLeft -= LoadWait32(address);
        NoteJump(r[15] - 2, true);
        r[15] = CpuWordAt(s, address) & ~1u;
        r[13] = (sp & 3) | (address + 0x40);
        return;
    }
    for (uint32_t bits = op & 0xFF; bits; bits &= bits - 1) {
        uint32_t n = uint32_t(std::countr_zero(bits));
        s->cyclesLeft -= LoadWait32(address);
        r[n] = CpuWordAt(s, address);
        address += 4;
    }
    if (op & 0x100) {
        s->cyclesLeft -= LoadWait32(address);
        NoteJump(r[15] - 2, true);
        r[15] = CpuWordAt(s, address) & ~1u;
        address += 4;
    }
    r[13] = (sp & 3) | address;
}

inline void ThumbStoreMultiple(ArmState *s, uint32_t op, uint32_t pc)
{
    uint32_t *r = s->r;
    const uint32_t rb = (op >> 8) & 7, list = op & 0xFF;
    const uint32_t base = r[rb];
    uint32_t address = base & ~3u;
    if (!list) {
        CpuStore<4>(address, pc + 6);
        r[rb] = (base & 3) | (address + 0x40);
        return;
    }
    const uint32_t writtenBack = (base & 3) | (address + 4 * RegisterCount(list));
    // The base goes out as it was only when it is the first register stored.
    const bool baseFirst = !(list & ((1u << rb) - 1));
    for (uint32_t bits = list; bits; bits &= bits - 1) {
        uint32_t n = uint32_t(std::countr_zero(bits));
        CpuStore<4>(address, n == rb && !baseFirst ? writtenBack : r[n]);
        address += 4;
    }
    r[rb] = writtenBack;
}

inline void ThumbLoadMultiple(ArmState *s, uint32_t op)
{
    uint32_t *r = s->r;
    const uint32_t rb = (op >> 8) & 7, list = op & 0xFF;
    const uint32_t base = r[rb];
    uint32_t address = base & ~3u;
    if (!list) {
        s->cyclesLeft -= LoadWait32(address);
        NoteJump(r[15] - 2, true);
        r[15] = CpuWordAt(s, address) & ~1u;
        r[rb] = (base & 3) | (address + 0x40);
        return;
    }
    for (uint32_t bits = list; bits; bits &= bits - 1) {
        uint32_t n = uint32_t(std::countr_zero(bits));
        s->cyclesLeft -= LoadWait32(address);
        r[n] = CpuWordAt(s, address);
        address += 4;
    }
    if (!(list & (1u << rb)))
        r[rb] = (base & 3) | address;
}

// The undefined opcodes 0xE800-0xEFFF, and a fetch from unmapped memory,
// whose page reads as 0xEEEE: the latter executes what the bus holds.
void ThumbUndefinedOrOpenBus(ArmState *s, uint32_t op, uint32_t pc);

// A conditional branch at branchPc taken back over one or two instructions
// that the idle watch refused: runs further turns of that loop while the
// slice lasts, as the run loop would step them.
template <bool Lahf>
void ThumbRunLoop(ArmState *s, uint32_t branchPc, uint32_t target);

// Executes the THUMB instruction op fetched from pc (r15 is already past it),
// given its top five bits as group. Lahf: the flags by LAHF (only where
// HostHasLahf). The run loop passes group as a constant, one copy per group,
// so the switch folds away there.
template <bool Lahf = false>
[[gnu::always_inline]] inline void ThumbExecuteGroup(ArmState *s, uint32_t op, uint32_t pc, uint32_t group)
{
    uint32_t *r = s->r;
    // The fields are read where each form needs them: computed up front they
    // would be spilled to the stack on every instruction.
    const auto rd = [op] { return op & 7; };
    const auto rs = [op] { return (op >> 3) & 7; };
    const auto rd8 = [op] { return (op >> 8) & 7; };
    const auto imm8 = [op] { return op & 0xFF; };
    const auto imm5 = [op] { return (op >> 6) & 31; };
    uint32_t flags;

    switch (group) {
    case 0x00: ThumbShiftByImmediate<ShiftKind::Lsl>(s, rd(), r[rs()], imm5()); break;
    case 0x01: ThumbShiftByImmediate<ShiftKind::Lsr>(s, rd(), r[rs()], imm5()); break; // 0 means 32
    case 0x02: ThumbShiftByImmediate<ShiftKind::Asr>(s, rd(), r[rs()], imm5()); break; // 0 means 32
    case 0x03: { // ADD/SUB register or 3-bit immediate
        const uint32_t b = (op & 0x400) ? (op >> 6) & 7 : r[(op >> 6) & 7];
        r[rd()] = (op & 0x200) ? SubWithFlags<Lahf>(r[rs()], b, 1, flags) : AddWithFlags<Lahf>(r[rs()], b, 0, flags);
        SetNzcv(s, flags);
        break;
    }
    case 0x04: // MOV Rd8, #imm8
        r[rd8()] = imm8();
        s->cpsr = (s->cpsr & 0x3FFFFFFF) | (imm8() ? 0 : FlagZ);
        break;
    case 0x05: SubWithFlags<Lahf>(r[rd8()], imm8(), 1, flags); SetNzcv(s, flags); break;
    case 0x06: r[rd8()] = AddWithFlags<Lahf>(r[rd8()], imm8(), 0, flags); SetNzcv(s, flags); break;
    case 0x07: r[rd8()] = SubWithFlags<Lahf>(r[rd8()], imm8(), 1, flags); SetNzcv(s, flags); break;
    case 0x08:
        if (op & 0x400)
            ThumbHighRegister<Lahf>(s, op);
        else
            ThumbAlu<Lahf>(s, op);
        break;
    case 0x09: { // LDR Rd8, [PC, #imm8 * 4]
        const uint32_t address = ((pc + 4) & ~3u) + imm8() * 4;
        s->cyclesLeft -= LoadWait32(address) + 1;
        r[rd8()] = CpuLoadWord(s, address);
        break;
    }
    case 0x0A:
    case 0x0B: ThumbRegisterOffset(s, op); break;
    case 0x0C: CpuStore<4>(r[rs()] + imm5() * 4, r[rd()]); break;
    case 0x0D: {
        const uint32_t address = r[rs()] + imm5() * 4;
        s->cyclesLeft -= LoadWait32(address) + 1;
        r[rd()] = CpuLoadWord(s, address);
        break;
    }
    case 0x0E: CpuStore<1>(r[rs()] + imm5(), r[rd()] & 0xFF); break;
    case 0x0F: {
        const uint32_t address = r[rs()] + imm5();
        s->cyclesLeft -= LoadWait16(address) + 1;
        r[rd()] = CpuLoadByte(s, address);
        break;
    }
    case 0x10: CpuStore<2>(r[rs()] + imm5() * 2, r[rd()] & 0xFFFF); break;
    case 0x11: {
        const uint32_t address = r[rs()] + imm5() * 2;
        s->cyclesLeft -= LoadWait16(address) + 1;
        r[rd()] = CpuLoadHalf(s, address);
        break;
    }
    case 0x12: CpuStore<4>(r[13] + imm8() * 4, r[rd8()]); break;
    case 0x13: {
        const uint32_t address = r[13] + imm8() * 4;
        s->cyclesLeft -= LoadWait32(address) + 1;
        r[rd8()] = CpuLoadWord(s, address);
        break;
    }
    case 0x14: r[rd8()] = ((pc + 4) & ~3u) + imm8() * 4; break;
    case 0x15: r[rd8()] = r[13] + imm8() * 4; break;
    case 0x16: // 0xB0-0xB7
        if ((op >> 8) == 0xB0)
            r[13] = (op & 0x80) ? r[13] - (op & 0x7F) * 4 : r[13] + (op & 0x7F) * 4;
        else if ((op >> 9) == 0x5A)
            ThumbPush(s, op, pc);
        else
            ThumbReportUndefined(s, op, pc);
        break;
    case 0x17: // 0xB8-0xBF
        if ((op >> 9) == 0x5E)
            ThumbPop(s, op);
        else
            ThumbReportUndefined(s, op, pc);
        break;
    case 0x18: ThumbStoreMultiple(s, op, pc); break;
    case 0x19: ThumbLoadMultiple(s, op); break;
    case 0x1A:
    case 0x1B: {
        const uint32_t cond = (op >> 8) & 15;
        if (cond == 0xF)
            BiosCall(s, imm8());
        else if (cond == 0xE)
            ThumbReportUndefined(s, op, pc);
        else if (ConditionPasses(cond, s->cpsr)) {
            const uint32_t target = pc + 4 + uint32_t(int32_t(int8_t(imm8())) * 2);
            r[15] = target;
            NoteJump(pc, true);
            IdleBranchTaken(s, pc, target, true);
            if (pc - target - 2 <= 2 && Idle.refusedPc == pc && Idle.armed)
                ThumbRunLoop<Lahf>(s, pc, target);
        }
        break;
    }
    case 0x1C: {
        const uint32_t target = pc + 4 + (uint32_t(int32_t(op << 21) >> 20));
        r[15] = target;
        NoteJump(pc, true);
        IdleBranchTaken(s, pc, target, true);
        break;
    }
    case 0x1D: ThumbUndefinedOrOpenBus(s, op, pc); break;
    case 0x1E: r[14] = pc + 4 + (uint32_t(int32_t(op << 21) >> 9)); break;
    case 0x1F: { // BL, second half
        const uint32_t target = r[14] + (op & 0x7FF) * 2;
        r[14] = (pc + 2) | 1;
        r[15] = target & ~1u;
        NoteJump(pc, true);
        break;
    }
    default: __builtin_unreachable(); // a halfword has five bits above bit 10
    }
}

template <bool Lahf = false>
[[gnu::always_inline]] inline void ThumbExecute(ArmState *s, uint32_t op, uint32_t pc)
{
    ThumbExecuteGroup<Lahf>(s, op, pc, op >> 11);
}

// Fetches and executes one THUMB instruction. Inlined into the run loop so
// the per-instruction path makes no call.
template <bool Lahf = false>
[[gnu::always_inline]] inline void ThumbStep(ArmState *s)
{
    const uint32_t pc = s->r[15];
    s->cyclesLeft -= WaitCycles16[(pc >> 24) & 15];
    const uint32_t op = HostHalf(ReadPageTable[pc >> PageShift] + (pc & 0x3FFE));
    s->r[15] = pc + 2;
    ThumbExecute<Lahf>(s, op, pc);
}

} // namespace Tavrin
