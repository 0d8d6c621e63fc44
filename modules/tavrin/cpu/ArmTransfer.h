// Single data transfers: word and byte (LDR, STR, LDRB, STRB), halfword and
// signed (STRH, LDRH, LDRSB, LDRSH), and the swaps. Loads read the page
// table inline; stores go through the bus.
#pragma once

#include "modules/tavrin/cpu/ArmMemory.h"
#include "modules/tavrin/cpu/ArmSlotKey.h"

namespace Tavrin {

namespace transfer_bits {
inline constexpr uint8_t P = 0x10, U = 0x08, B = 0x04, I = 0x04, W = 0x02, L = 0x01;
}

// The end of a load: the written-back base first, then the loaded value, so
// that a load into its own base keeps what it loaded.
inline void FinishLoad(ArmState *s, uint32_t rd, uint32_t rn, bool writeBack, uint32_t changed,
                       uint32_t value)
{
    if (rd == 15)
        NoteJump(s->r[15] - 4, false);
    if (writeBack)
        SetReg(s, rn, changed);
    SetReg(s, rd, value);
    s->cyclesLeft -= 1;
}

template <SlotKey K>
void ArmOp_LoadStore(ArmState *s, uint32_t op)
{
    using namespace transfer_bits;
    constexpr bool Pre = K.bits & P, Up = K.bits & U, Byte = K.bits & B, Load = K.bits & L;
    constexpr bool WriteBack = !Pre || (K.bits & W);
    const uint32_t rn = (op >> 16) & 15, rd = (op >> 12) & 15;

    // Base and offset read r15 as the address + 8; a stored r15 is + 12.
    const uint32_t base = ReadOperand<4>(s, rn);
    uint32_t offset;
    if constexpr (K.operand == Operand::Immediate)
        offset = op & 0xFFF;
    else
        offset = ShiftByImmediate<K.shift>(ReadOperand<4>(s, op & 15), (op >> 7) & 31, CarryOf(s)).value;

    const uint32_t changed = Up ? base + offset : base - offset;
    const uint32_t address = Pre ? changed : base;
    if constexpr (!Load) {
        const uint32_t stored = ReadOperand<8>(s, rd);
        if constexpr (Byte)
            CpuStore<1>(address, stored & 0xFF);
        else
            CpuStore<4>(address, stored);
        if constexpr (WriteBack)
            SetReg(s, rn, changed);
    } else {
        uint32_t value;
        if constexpr (Byte) {
            s->cyclesLeft -= LoadWait16(address);
            value = CpuLoadByte(s, address);
        } else {
            s->cyclesLeft -= LoadWait32(address);
            value = CpuLoadWord(s, address);
        }
        FinishLoad(s, rd, rn, WriteBack, changed, value);
    }
}

template <SlotKey K>
void ArmOp_LoadStoreHalf(ArmState *s, uint32_t op)
{
    using namespace transfer_bits;
    constexpr bool Pre = K.bits & P, Up = K.bits & U, Imm = K.bits & I;
    constexpr bool WriteBack = !Pre || (K.bits & W);
    const uint32_t rn = (op >> 16) & 15, rd = (op >> 12) & 15;

    const uint32_t base = ReadOperand<4>(s, rn);
    const uint32_t offset = Imm ? (((op >> 4) & 0xF0) | (op & 0xF)) : ReadOperand<4>(s, op & 15);

    const uint32_t changed = Up ? base + offset : base - offset;
    const uint32_t address = Pre ? changed : base;
    if constexpr (K.half == HalfKind::Store) {
        CpuStore<2>(address, ReadOperand<8>(s, rd) & 0xFFFF);
        if constexpr (WriteBack)
            SetReg(s, rn, changed);
    } else {
        s->cyclesLeft -= LoadWait16(address);
        uint32_t value;
        if constexpr (K.half == HalfKind::LoadUnsigned)
            value = CpuLoadHalf(s, address);
        else if constexpr (K.half == HalfKind::LoadSignedByte)
            value = CpuLoadSignedByte(s, address);
        else
            value = CpuLoadSignedHalf(s, address);
        FinishLoad(s, rd, rn, WriteBack, changed, value);
    }
}

template <SlotKey K>
void ArmOp_Swap(ArmState *s, uint32_t op)
{
    constexpr bool Byte = K.bits & 0x04;
    const uint32_t address = s->r[(op >> 16) & 15];
    const uint32_t rd = (op >> 12) & 15;
    const uint32_t source = s->r[op & 15];
    uint32_t old;
    if constexpr (Byte) {
        s->cyclesLeft -= LoadWait16(address);
        old = CpuLoadByte(s, address);
        CpuStore<1>(address, source & 0xFF);
    } else {
        s->cyclesLeft -= LoadWait32(address);
        old = CpuLoadWord(s, address);
        CpuStore<4>(address, source);
    }
    SetReg(s, rd, old);
    s->cyclesLeft -= 1;
}

} // namespace Tavrin
