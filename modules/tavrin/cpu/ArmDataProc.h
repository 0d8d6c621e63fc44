// Data processing (the sixteen ALU operations over an immediate, an
// immediate-shifted or a register-shifted operand) and the PSR transfers.
#pragma once

#include "modules/tavrin/bus/OpenBus.h"
#include "modules/tavrin/cpu/ArmSlotKey.h"

namespace Tavrin {

// Operation codes of opcode bits 24-21.
enum AluOp : uint8_t {
    OpAnd, OpEor, OpSub, OpRsb, OpAdd, OpAdc, OpSbc, OpRsc,
    OpTst, OpTeq, OpCmp, OpCmn, OpOrr, OpMov, OpBic, OpMvn,
};

constexpr bool AluIsLogical(uint8_t op)
{
    return op == OpAnd || op == OpEor || op == OpTst || op == OpTeq || op >= OpOrr;
}
constexpr bool AluIsTest(uint8_t op) { return op >= OpTst && op <= OpCmn; }
constexpr bool AluReadsRn(uint8_t op) { return op != OpMov && op != OpMvn; }

inline uint32_t ArmRotatedImmediate(uint32_t op) { return std::rotr(op & 0xFF, int((op >> 7) & 0x1E)); }

template <SlotKey K>
void ArmOp_DataProc(ArmState *s, uint32_t op)
{
    constexpr uint8_t Op = K.aluOp;
    constexpr bool S = K.setFlags;
    const uint32_t rd = (op >> 12) & 15;
    const uint32_t oldCarry = CarryOf(s);

    // Operands see r15 as the address + 8, or + 12 behind a register shift.
    Shifted op2;
    uint32_t rn;
    if constexpr (K.operand == Operand::Immediate) {
        uint32_t imm = ArmRotatedImmediate(op);
        op2 = {imm, (op & 0xF00) ? imm >> 31 : oldCarry};
        rn = ReadOperand<4>(s, (op >> 16) & 15);
    } else if constexpr (K.operand == Operand::ShiftByImmediate) {
        op2 = ShiftByImmediate<K.shift>(ReadOperand<4>(s, op & 15), (op >> 7) & 31, oldCarry);
        rn = ReadOperand<4>(s, (op >> 16) & 15);
    } else {
        op2 = ShiftByRegister<K.shift>(ReadOperand<8>(s, op & 15), ReadOperand<8>(s, (op >> 8) & 15) & 0xFF,
                                       oldCarry);
        rn = ReadOperand<8>(s, (op >> 16) & 15);
        s->cyclesLeft -= 1;
    }

    uint32_t result = 0;
    uint32_t flags = 0;
    const uint32_t b = op2.value;
    if constexpr (Op == OpAnd || Op == OpTst) result = rn & b;
    else if constexpr (Op == OpEor || Op == OpTeq) result = rn ^ b;
    else if constexpr (Op == OpOrr) result = rn | b;
    else if constexpr (Op == OpMov) result = b;
    else if constexpr (Op == OpBic) result = rn & ~b;
    else if constexpr (Op == OpMvn) result = ~b;
    else if constexpr (Op == OpSub || Op == OpCmp) result = SubWithFlags(rn, b, 1, flags);
    else if constexpr (Op == OpRsb) result = SubWithFlags(b, rn, 1, flags);
    else if constexpr (Op == OpAdd || Op == OpCmn) result = AddWithFlags(rn, b, 0, flags);
    else if constexpr (Op == OpAdc) result = AddWithFlags(rn, b, oldCarry, flags);
    else if constexpr (Op == OpSbc) result = SubWithFlags(rn, b, oldCarry, flags);
    else result = SubWithFlags(b, rn, oldCarry, flags); // RSC

    if constexpr (!AluIsTest(Op)) {
        // With S the status restore decides the instruction set, and so the
        // alignment, of the new r15.
        if (rd == 15) {
            NoteJump(s->r[15] - 4, false);
            s->r[15] = S ? result : result & ~3u;
        } else {
            s->r[rd] = result;
        }
    }
    if constexpr (S) {
        if (rd == 15) {
            // Return from an exception: the shifter carry of a logical
            // operation lands first and survives in modes without a SPSR.
            if constexpr (AluIsLogical(Op))
                s->cpsr = (s->cpsr & ~FlagC) | (op2.carry << 29);
            ArmRestoreSpsr(s);
            s->r[15] = AlignPc(s, s->r[15]);
        } else if constexpr (AluIsLogical(Op)) {
            s->cpsr = (s->cpsr & 0x1FFFFFFF) | NzOf(result) | (op2.carry << 29);
        } else {
            SetNzcv(s, flags);
        }
    }
}

// The status bits this CPU has: the four flags and the control byte. The
// bits between them do not exist; they read as 0 whatever is written.
inline constexpr uint32_t PsrImplemented = 0xF00000FF;

// Mode bit 4 is wired to 1: this CPU has no 26-bit modes, so a status word
// written with it clear reads back with it set ($03 becomes $13).
inline constexpr uint32_t PsrModeBit4 = 0x10;

// The fields the opcode names, limited to bits that exist.
inline uint32_t MsrFieldMask(uint32_t op)
{
    uint32_t mask = 0;
    if (op & (1u << 16)) mask |= 0x000000FF;
    if (op & (1u << 19)) mask |= 0xFF000000;
    return mask & PsrImplemented;
}

inline void ArmWriteCpsrFields(ArmState *s, uint32_t op, uint32_t operand)
{
    uint32_t mask = MsrFieldMask(op);
    if ((s->cpsr & ModeMask) == ModeUser)
        mask &= ~0xFFu;
    uint32_t value = (s->cpsr & ~mask) | (operand & mask);
    if (mask & 0xFF)
        ArmSwitchMode(s, value | PsrModeBit4);
    else
        s->cpsr = value;
}

inline void ArmWriteSpsrFields(ArmState *s, uint32_t op, uint32_t operand)
{
    if (uint32_t *spsr = ArmSpsrOf(s, s->cpsr)) {
        uint32_t mask = MsrFieldMask(op);
        *spsr = (*spsr & ~mask) | (operand & mask) | (mask & PsrModeBit4);
    }
}

template <SlotKey K>
void ArmOp_Psr(ArmState *s, uint32_t op)
{
    const uint32_t rd = (op >> 12) & 15;
    if constexpr (K.kind == ArmKind::MrsCpsr) {
        SetReg(s, rd, s->cpsr);
    } else if constexpr (K.kind == ArmKind::MrsSpsr) {
        // A mode without a saved status word reads the current one.
        const uint32_t *spsr = ArmSpsrOf(s, s->cpsr);
        SetReg(s, rd, spsr ? *spsr : s->cpsr);
    } else if constexpr (K.kind == ArmKind::MsrCpsrReg) {
        ArmWriteCpsrFields(s, op, s->r[op & 15]);
    } else if constexpr (K.kind == ArmKind::MsrSpsrReg) {
        ArmWriteSpsrFields(s, op, s->r[op & 15]);
    } else if constexpr (K.kind == ArmKind::MsrCpsrImm) {
        ArmWriteCpsrFields(s, op, ArmRotatedImmediate(op));
    } else {
        ArmWriteSpsrFields(s, op, ArmRotatedImmediate(op));
    }
}

} // namespace Tavrin
