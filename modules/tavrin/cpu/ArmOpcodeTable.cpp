// Builds the handler table at compile time from the slot classifier: each
// slot's key picks its family and becomes the family's template argument.
#include "modules/tavrin/cpu/ArmOpcodeTable.h"

#include "modules/tavrin/bus/OpenBus.h"
#include "modules/tavrin/cpu/ArmBlockTransfer.h"
#include "modules/tavrin/cpu/ArmBranch.h"
#include "modules/tavrin/cpu/ArmDataProc.h"
#include "modules/tavrin/cpu/ArmMultiply.h"
#include "modules/tavrin/cpu/ArmSlotKey.h"
#include "modules/tavrin/cpu/ArmTransfer.h"

#include <cstdio>
#include <utility>

namespace Tavrin {

void ReportUndefinedOpcode(ArmState *s, uint32_t op)
{
    if (op == OpenBusFill * 0x01010101u && ArmRunOpenBus(s))
        return;
    if (s->reportUnknown)
        std::printf("ARM: Unrecognized opcode 0x%08X at 0x%08X\n", op, s->r[15] - 4);
}

namespace {

template <SlotKey K>
constexpr ArmOpHandler HandlerFor()
{
    if constexpr (K.kind == ArmKind::DataProc)
        return &ArmOp_DataProc<K>;
    else if constexpr (K.kind == ArmKind::MrsCpsr || K.kind == ArmKind::MsrCpsrReg ||
                       K.kind == ArmKind::MrsSpsr || K.kind == ArmKind::MsrSpsrReg ||
                       K.kind == ArmKind::MsrCpsrImm || K.kind == ArmKind::MsrSpsrImm)
        return &ArmOp_Psr<K>;
    else if constexpr (K.kind == ArmKind::LoadStore)
        return &ArmOp_LoadStore<K>;
    else if constexpr (K.kind == ArmKind::LoadStoreHalf)
        return &ArmOp_LoadStoreHalf<K>;
    else if constexpr (K.kind == ArmKind::Multiply)
        return &ArmOp_Multiply<K>;
    else if constexpr (K.kind == ArmKind::MultiplyLong)
        return &ArmOp_MultiplyLong<K>;
    else if constexpr (K.kind == ArmKind::Swap)
        return &ArmOp_Swap<K>;
    else if constexpr (K.kind == ArmKind::BlockTransfer)
        return &ArmOp_BlockTransfer<K>;
    else if constexpr (K.kind == ArmKind::Branch || K.kind == ArmKind::BranchLink)
        return &ArmOp_Branch<K>;
    else if constexpr (K.kind == ArmKind::BranchExchange || K.kind == ArmKind::BranchLinkExchange)
        return &ArmOp_BranchExchange<K>;
    else if constexpr (K.kind == ArmKind::CountLeadingZeros)
        return &ArmOp_CLZ<K>;
    else if constexpr (K.kind == ArmKind::Coprocessor)
        return &ArmOp_Coprocessor<K>;
    else if constexpr (K.kind == ArmKind::SoftwareInterrupt)
        return &ArmOp_SWI<K>;
    else
        return &ReportUndefinedOpcode;
}

template <std::size_t... I>
constexpr std::array<ArmOpHandler, 4096> BuildTable(std::index_sequence<I...>)
{
    return {HandlerFor<ClassifyArmIndex(uint32_t(I))>()...};
}

} // namespace

constexpr std::array<ArmOpHandler, 4096> ArmOpcodeTable = BuildTable(std::make_index_sequence<4096>{});

} // namespace Tavrin
