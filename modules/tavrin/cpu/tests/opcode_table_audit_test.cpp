// Every one of the 4096 table slots against an expectation written here from
// the slot tables: which family each slot belongs to, with what operation,
// operand, shift and addressing bits, and which slots share a handler.
#include "modules/tavrin/cpu/ArmOpcodeTable.h"
#include "modules/tavrin/cpu/ArmSlotKey.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace Tavrin::Test {
namespace {

enum Parity { AnySlot, OddSlot, EvenSlot };
constexpr uint32_t AllBlocks = 0xFFFF, EvenBlocks = 0x5555, OddBlocks = 0xAAAA;
constexpr uint32_t Blk(uint32_t b) { return 1u << b; }

struct Rule {
    uint32_t blocks;
    uint32_t lo, hi;
    ArmKind kind;
    Parity parity = AnySlot;
};

// First match wins, in the order of the slot tables.
const Rule Rules[] = {
    {Blk(9), 0x00, 0x03, ArmKind::Multiply},
    {Blk(9), 0x08, 0x0F, ArmKind::MultiplyLong},
    {Blk(9), 0x10, 0x10, ArmKind::Swap},
    {Blk(9), 0x14, 0x14, ArmKind::Swap},
    {Blk(9), 0x00, 0x1F, ArmKind::Undefined},
    {Blk(0xB), 0x00, 0x1F, ArmKind::LoadStoreHalf},
    {Blk(0xD) | Blk(0xF), 0x00, 0x1F, ArmKind::LoadStoreHalf, OddSlot},
    {Blk(0xD) | Blk(0xF), 0x00, 0x1F, ArmKind::Undefined, EvenSlot},
    {Blk(0), 0x10, 0x10, ArmKind::MrsCpsr},
    {Blk(0), 0x12, 0x12, ArmKind::MsrCpsrReg},
    {Blk(0), 0x14, 0x14, ArmKind::MrsSpsr},
    {Blk(0), 0x16, 0x16, ArmKind::MsrSpsrReg},
    {Blk(1), 0x12, 0x12, ArmKind::BranchExchange},
    {Blk(1), 0x16, 0x16, ArmKind::CountLeadingZeros},
    {Blk(3), 0x12, 0x12, ArmKind::BranchLinkExchange},
    {AllBlocks, 0x10, 0x10, ArmKind::Undefined},
    {AllBlocks, 0x12, 0x12, ArmKind::Undefined},
    {AllBlocks, 0x14, 0x14, ArmKind::Undefined},
    {AllBlocks, 0x16, 0x16, ArmKind::Undefined},
    {AllBlocks, 0x00, 0x1F, ArmKind::DataProc},
    {AllBlocks, 0x30, 0x30, ArmKind::Undefined},
    {AllBlocks, 0x34, 0x34, ArmKind::Undefined},
    {AllBlocks, 0x32, 0x32, ArmKind::MsrCpsrImm},
    {AllBlocks, 0x36, 0x36, ArmKind::MsrSpsrImm},
    {AllBlocks, 0x20, 0x3F, ArmKind::DataProc},
    {AllBlocks, 0x40, 0x5F, ArmKind::LoadStore},
    {EvenBlocks, 0x60, 0x7F, ArmKind::LoadStore},
    {OddBlocks, 0x60, 0x7F, ArmKind::Undefined},
    {AllBlocks, 0x80, 0x9F, ArmKind::BlockTransfer},
    {AllBlocks, 0xA0, 0xAF, ArmKind::Branch},
    {AllBlocks, 0xB0, 0xBF, ArmKind::BranchLink},
    {EvenBlocks, 0xC0, 0xDF, ArmKind::Coprocessor},
    {OddBlocks, 0xC0, 0xDF, ArmKind::Undefined},
    {AllBlocks, 0xE0, 0xEF, ArmKind::Coprocessor},
    {AllBlocks, 0xF0, 0xFF, ArmKind::SoftwareInterrupt},
};

ArmKind ExpectedKind(uint32_t block, uint32_t slot)
{
    for (const Rule &r : Rules) {
        if (!(r.blocks & Blk(block)) || slot < r.lo || slot > r.hi)
            continue;
        if ((r.parity == OddSlot && !(slot & 1)) || (r.parity == EvenSlot && (slot & 1)))
            continue;
        return r.kind;
    }
    return ArmKind::Undefined;
}

// The shift of the register forms, by block: 0/8 LSL, 2/A LSR, 4/C ASR,
// 6/E ROR, and 1 LSL, 3 LSR, 5 ASR, 7 ROR by register.
const ShiftKind BlockShift[16] = {ShiftKind::Lsl, ShiftKind::Lsl, ShiftKind::Lsr, ShiftKind::Lsr,
                                  ShiftKind::Asr, ShiftKind::Asr, ShiftKind::Ror, ShiftKind::Ror,
                                  ShiftKind::Lsl, ShiftKind::Lsl, ShiftKind::Lsr, ShiftKind::Lsr,
                                  ShiftKind::Asr, ShiftKind::Asr, ShiftKind::Ror, ShiftKind::Ror};

std::string Where(uint32_t block, uint32_t slot)
{
    char text[32];
    std::snprintf(text, sizeof text, "block %X slot 0x%02X", block, slot);
    return text;
}

TEST(OpcodeTableAudit, EverySlotHoldsItsFamily)
{
    int undefined = 0;
    for (uint32_t block = 0; block < 16; ++block) {
        for (uint32_t slot = 0; slot < 256; ++slot) {
            const SlotKey key = ClassifyArmSlot(block, slot);
            const ArmKind expected = ExpectedKind(block, slot);
            const std::string where = Where(block, slot);
            ASSERT_EQ(int(key.kind), int(expected)) << where;
            const ArmOpHandler handler = ArmOpcodeTable[block << 8 | slot];
            EXPECT_EQ(handler == &ReportUndefinedOpcode, expected == ArmKind::Undefined) << where;
            undefined += expected == ArmKind::Undefined;

            if (expected == ArmKind::DataProc) {
                EXPECT_EQ(key.aluOp, (slot >> 1) & 15) << where;
                EXPECT_EQ(key.setFlags, bool(slot & 1)) << where;
                const Operand operand = slot >= 0x20 ? Operand::Immediate
                                      : (block & 1) ? Operand::ShiftByRegister
                                                    : Operand::ShiftByImmediate;
                EXPECT_EQ(int(key.operand), int(operand)) << where;
                if (operand != Operand::Immediate) {
                    EXPECT_EQ(int(key.shift), int(BlockShift[block])) << where;
                }
                // The test operations exist only with S.
                EXPECT_FALSE(((slot >> 1) & 15) >= 8 && ((slot >> 1) & 15) <= 11 && !(slot & 1)) << where;
            }
            if (expected == ArmKind::LoadStore) {
                const bool pre = slot & 0x10;
                EXPECT_EQ(key.bits & 0x1D, slot & 0x1D) << where; // P U B L
                EXPECT_EQ(bool(key.bits & 2), pre && (slot & 2)) << where;
                EXPECT_EQ(int(key.operand), int(slot >= 0x60 ? Operand::ShiftByImmediate : Operand::Immediate))
                    << where;
                if (slot >= 0x60) {
                    EXPECT_EQ(int(key.shift), int(BlockShift[block])) << where;
                }
            }
            if (expected == ArmKind::LoadStoreHalf) {
                const HalfKind half = block == 0xB ? ((slot & 1) ? HalfKind::LoadUnsigned : HalfKind::Store)
                                    : block == 0xD ? HalfKind::LoadSignedByte
                                                   : HalfKind::LoadSignedHalf;
                EXPECT_EQ(int(key.half), int(half)) << where;
                EXPECT_EQ(key.bits & 0x1D, slot & 0x1D) << where; // P U I L
            }
            if (expected == ArmKind::BlockTransfer) {
                EXPECT_EQ(key.bits, slot & 0x1F) << where;
            }
            if (expected == ArmKind::Multiply || expected == ArmKind::MultiplyLong) {
                EXPECT_EQ(key.setFlags, bool(slot & 1)) << where;
            }
        }
    }
    EXPECT_EQ(undefined, 635);
}

TEST(OpcodeTableAudit, RepeatedSlotsShareOneHandler)
{
    auto at = [](uint32_t block, uint32_t slot) { return ArmOpcodeTable[block << 8 | slot]; };
    for (uint32_t slot = 0; slot < 256; ++slot) {
        // Blocks 8, A, C, E repeat 0, 2, 4, 6 (bar the PSR slots of block 0).
        const bool psr = slot == 0x10 || slot == 0x12 || slot == 0x14 || slot == 0x16;
        for (uint32_t block = 8; block < 16; block += 2)
            if (!(block == 8 && psr)) {
                EXPECT_EQ(at(block, slot), at(block - 8, slot)) << Where(block, slot);
            }
        // Immediate data processing, MSR and immediate-offset transfers are the
        // same in every block.
        if (slot >= 0x20 && slot < 0x60)
            for (uint32_t block = 1; block < 16; ++block) {
                EXPECT_EQ(at(block, slot), at(0, slot)) << Where(block, slot);
            }
        if (slot >= 0x80)
            for (uint32_t block = 1; block < 16; ++block)
                if (!(slot >= 0xC0 && slot < 0xE0)) {
                    EXPECT_EQ(at(block, slot), at(0, slot)) << Where(block, slot);
                }
    }
    // The T forms are the plain post-indexed forms.
    for (uint32_t slot : {0x40u, 0x45u, 0x48u, 0x4Du, 0x60u, 0x6Du}) {
        EXPECT_EQ(at(0, slot | 2), at(0, slot)) << Where(0, slot);
    }
    for (uint32_t slot : {0x01u, 0x04u, 0x09u, 0x0Cu}) {
        EXPECT_EQ(at(0xB, slot | 2), at(0xB, slot)) << Where(0xB, slot);
    }
    // Different forms do not share.
    EXPECT_NE(at(0, 0x40), at(0, 0x41));
    EXPECT_NE(at(0, 0x50), at(0, 0x52));
    EXPECT_NE(at(1, 0x08), at(0, 0x08));

    std::set<ArmOpHandler> distinct(ArmOpcodeTable.begin(), ArmOpcodeTable.end());
    RecordProperty("distinct_handlers", int(distinct.size()));
    EXPECT_LT(distinct.size(), 700u);
}

} // namespace
} // namespace Tavrin::Test
