// What each of the 4096 opcode-table slots holds. One classifier describes
// the whole table; every distinct key becomes one generated handler, so slots
// that behave alike (blocks 8/A/C/E and 0/2/4/6, the immediate forms of every
// block, the T forms and their post-indexed twins) share one function.
#pragma once

#include "modules/tavrin/cpu/ArmAlu.h"

#include <cstdint>

namespace Tavrin {

enum class ArmKind : uint8_t {
    Undefined,
    DataProc,
    MrsCpsr,
    MsrCpsrReg,
    MrsSpsr,
    MsrSpsrReg,
    MsrCpsrImm,
    MsrSpsrImm,
    LoadStore,         // LDR, STR, LDRB, STRB
    LoadStoreHalf,     // STRH, LDRH, LDRSB, LDRSH
    Multiply,
    MultiplyLong,
    Swap,
    BlockTransfer,
    Branch,
    BranchLink,
    BranchExchange,
    BranchLinkExchange,
    CountLeadingZeros,
    Coprocessor,
    SoftwareInterrupt,
};

enum class Operand : uint8_t { None, Immediate, ShiftByImmediate, ShiftByRegister };

enum class HalfKind : uint8_t { None, Store, LoadUnsigned, LoadSignedByte, LoadSignedHalf };

// Structural, so it can be a template argument of the handler.
struct SlotKey {
    ArmKind kind = ArmKind::Undefined;
    uint8_t aluOp = 0;     // data processing: opcode bits 24-21
    bool setFlags = false; // S bit (data processing, multiplies)
    Operand operand = Operand::None;
    ShiftKind shift = ShiftKind::Lsl;
    uint8_t bits = 0;      // transfers: slot bits 4-0 (P U B/I/S W L), multiplies: slot bits
    HalfKind half = HalfKind::None;

    constexpr bool operator==(const SlotKey &) const = default;
};

namespace slot_detail {

constexpr SlotKey Make(ArmKind k)
{
    SlotKey key;
    key.kind = k;
    return key;
}

constexpr SlotKey DataProc(uint32_t slot, Operand operand, ShiftKind shift)
{
    SlotKey key;
    key.kind = ArmKind::DataProc;
    key.aluOp = uint8_t((slot >> 1) & 15);
    key.setFlags = slot & 1;
    key.operand = operand;
    key.shift = operand == Operand::Immediate ? ShiftKind::Lsl : shift;
    return key;
}

// Post-indexed transfers ignore W: the T forms are the plain forms here.
constexpr uint8_t TransferBits(uint32_t slot)
{
    uint32_t bits = slot & 0x1F;
    if (!(bits & 0x10))
        bits &= ~2u;
    return uint8_t(bits);
}

} // namespace slot_detail

// block = opcode bits 7-4, slot = opcode bits 27-20.
constexpr SlotKey ClassifyArmSlot(uint32_t block, uint32_t slot)
{
    using namespace slot_detail;
    const bool odd = block & 1;
    const ShiftKind shift = ShiftKind((block >> 1) & 3);

    if (slot < 0x20) {
        if (block == 9) {
            if (slot <= 0x03) {
                SlotKey key = Make(ArmKind::Multiply);
                key.setFlags = slot & 1;
                key.bits = uint8_t(slot);
                return key;
            }
            if (slot >= 0x08 && slot <= 0x0F) {
                SlotKey key = Make(ArmKind::MultiplyLong);
                key.setFlags = slot & 1;
                key.bits = uint8_t(slot);
                return key;
            }
            if (slot == 0x10 || slot == 0x14) {
                SlotKey key = Make(ArmKind::Swap);
                key.bits = uint8_t(slot);
                return key;
            }
            return Make(ArmKind::Undefined);
        }
        if (block == 0xB || block == 0xD || block == 0xF) {
            bool load = slot & 1;
            if (block != 0xB && !load)
                return Make(ArmKind::Undefined);
            SlotKey key = Make(ArmKind::LoadStoreHalf);
            key.bits = TransferBits(slot);
            key.half = block == 0xB ? (load ? HalfKind::LoadUnsigned : HalfKind::Store)
                     : block == 0xD ? HalfKind::LoadSignedByte
                                    : HalfKind::LoadSignedHalf;
            return key;
        }
        const bool psrSlot = slot == 0x10 || slot == 0x12 || slot == 0x14 || slot == 0x16;
        if (odd) {
            if (psrSlot) {
                if (block == 1 && slot == 0x12)
                    return Make(ArmKind::BranchExchange);
                if (block == 1 && slot == 0x16)
                    return Make(ArmKind::CountLeadingZeros);
                if (block == 3 && slot == 0x12)
                    return Make(ArmKind::BranchLinkExchange);
                return Make(ArmKind::Undefined);
            }
            return DataProc(slot, Operand::ShiftByRegister, shift);
        }
        if (psrSlot) {
            if (block != 0)
                return Make(ArmKind::Undefined);
            return Make(slot == 0x10 ? ArmKind::MrsCpsr
                      : slot == 0x12 ? ArmKind::MsrCpsrReg
                      : slot == 0x14 ? ArmKind::MrsSpsr
                                     : ArmKind::MsrSpsrReg);
        }
        return DataProc(slot, Operand::ShiftByImmediate, shift);
    }
    if (slot < 0x40) {
        if (slot == 0x30 || slot == 0x34)
            return Make(ArmKind::Undefined);
        if (slot == 0x32)
            return Make(ArmKind::MsrCpsrImm);
        if (slot == 0x36)
            return Make(ArmKind::MsrSpsrImm);
        return DataProc(slot, Operand::Immediate, ShiftKind::Lsl);
    }
    if (slot < 0x80) {
        bool registerOffset = slot >= 0x60;
        if (registerOffset && odd)
            return Make(ArmKind::Undefined);
        SlotKey key = Make(ArmKind::LoadStore);
        key.operand = registerOffset ? Operand::ShiftByImmediate : Operand::Immediate;
        key.shift = registerOffset ? shift : ShiftKind::Lsl;
        key.bits = TransferBits(slot);
        return key;
    }
    if (slot < 0xA0) {
        SlotKey key = Make(ArmKind::BlockTransfer);
        key.bits = uint8_t(slot & 0x1F);
        return key;
    }
    if (slot < 0xB0)
        return Make(ArmKind::Branch);
    if (slot < 0xC0)
        return Make(ArmKind::BranchLink);
    if (slot < 0xE0)
        return Make(odd ? ArmKind::Undefined : ArmKind::Coprocessor);
    if (slot < 0xF0)
        return Make(ArmKind::Coprocessor);
    return Make(ArmKind::SoftwareInterrupt);
}

constexpr SlotKey ClassifyArmIndex(uint32_t index)
{
    return ClassifyArmSlot(index >> 8, index & 0xFF);
}

} // namespace Tavrin
