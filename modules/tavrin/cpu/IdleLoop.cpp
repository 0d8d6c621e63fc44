#include "modules/tavrin/cpu/IdleLoop.h"

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmOpcodeTable.h"
#include "modules/tavrin/cpu/ArmSlotKey.h"

#include <array>
#include <cstring>
#include <utility>

namespace Tavrin {

IdleWatch Idle = {0, 0, 0, IdleNoPc, IdleNoPc, 0, 0, {}};

bool ThumbOpIsPure(uint32_t op)
{
    switch (op >> 11) {
    case 0x08:
        if (!(op & 0x400))
            return true; // format 4 ALU
        // Format 5: CMP anywhere, ADD and MOV unless into r15; never BX.
        switch ((op >> 8) & 3) {
        case 1: return true;
        case 3: return false;
        default: return (((op >> 4) & 8) | (op & 7)) != 15;
        }
    case 0x0A:
    case 0x0B: return ((op >> 9) & 7) >= 3; // the loads of formats 7 and 8
    case 0x16: return (op >> 8) == 0xB0;   // ADD SP, #imm
    case 0x17: return (op >> 9) == 0x5E && (op & 0x1FF) != 0 && !(op & 0x100); // POP without r15
    case 0x19: return (op & 0xFF) != 0;   // LDMIA with a list
    case 0x0C:
    case 0x0E:
    case 0x10:
    case 0x12:
    case 0x18: return false;              // stores
    default: return (op >> 11) < 0x16;    // shifts, immediates, loads, address forms; no branch, SWI or BL
    }
}

namespace {

// What each ARM opcode-table slot needs to be free of effects: never, or
// which of its register fields must not name r15.
constexpr uint8_t NeverPure = 0xFF, RdNotPc = 1, RnNotPc = 2;

constexpr uint8_t SlotPurity(uint32_t index)
{
    const SlotKey key = ClassifyArmIndex(index);
    const uint8_t writeBackBase = (!(key.bits & 0x10) || (key.bits & 0x02)) ? RnNotPc : 0;
    switch (key.kind) {
    case ArmKind::DataProc: // rd 15 also covers the status restore of the tests
    case ArmKind::MrsCpsr:
    case ArmKind::MrsSpsr:
    case ArmKind::CountLeadingZeros: return RdNotPc;
    case ArmKind::LoadStore: return (key.bits & 0x01) ? RdNotPc | writeBackBase : NeverPure;
    case ArmKind::LoadStoreHalf: return key.half != HalfKind::Store ? RdNotPc | writeBackBase : NeverPure;
    case ArmKind::Multiply: return RnNotPc;
    case ArmKind::MultiplyLong: return RnNotPc | RdNotPc;
    default: return NeverPure;
    }
}

template <std::size_t... I>
constexpr std::array<uint8_t, 4096> BuildSlotPurity(std::index_sequence<I...>)
{
    return {SlotPurity(uint32_t(I))...};
}

constexpr std::array<uint8_t, 4096> ArmSlotPurity = BuildSlotPurity(std::make_index_sequence<4096>{});

// Every instruction from target up to the branch, read as the fetch reads it.
bool BodyIsPure(uint32_t branchPc, uint32_t target, bool thumb)
{
    if (thumb) {
        for (uint32_t a = target; a != branchPc; a += 2)
            if (!ThumbOpIsPure(HostHalf(ReadPageTable[a >> PageShift] + (a & 0x3FFE))))
                return false;
    } else {
        for (uint32_t a = target; a != branchPc; a += 4)
            if (!ArmOpIsPure(HostWord(ReadPageTable[a >> PageShift] + (a & 0x3FFC))))
                return false;
    }
    return true;
}

bool SameRegisters(const IdleWatch &w, const ArmState *s)
{
    uint32_t differ = w.cpsr ^ s->cpsr;
    for (int n = 0; n < 15; ++n)
        differ |= w.r[n] ^ s->r[n];
    return differ == 0;
}

} // namespace

bool ArmOpIsPure(uint32_t op)
{
    const uint8_t needs = ArmSlotPurity[ArmTableIndex(op)];
    if ((op >> 28) == 0xF || needs == NeverPure)
        return false;
    return !((needs & RdNotPc) && ((op >> 12) & 15) == 15) && !((needs & RnNotPc) && ((op >> 16) & 15) == 15);
}

void IdleLoopTurn(ArmState *s, uint32_t branchPc, uint32_t target, bool thumb)
{
    IdleWatch &w = Idle;
    if (w.branchPc == branchPc) {
        // One whole turn ran since the record.
        if (SameRegisters(w, s) && !w.volatileRead) {
            const int32_t turn = w.cyclesLeft - s->cyclesLeft;
            // Leave between 1 and turn cycles, so the last turn still ends
            // the slice where the single steps would.
            if (turn > 0 && s->cyclesLeft > turn)
                s->cyclesLeft -= (s->cyclesLeft - 1) / turn * turn;
            w.branchPc = IdleNoPc;
            w.refusedPc = branchPc;
            return;
        }
        // The record may hold what a turn cut by the previous slice's end
        // left behind; a loop that still differs one turn later does work,
        // and so does one that reads a value that changes by itself.
        if (w.retried || w.volatileRead) {
            w.branchPc = IdleNoPc;
            w.refusedPc = branchPc;
            return;
        }
        w.retried = 1;
    } else if (BodyIsPure(branchPc, target, thumb)) {
        w.retried = 0;
    } else {
        w.refusedPc = branchPc;
        return;
    }
    w.branchPc = branchPc;
    w.volatileRead = 0;
    w.cyclesLeft = s->cyclesLeft;
    w.cpsr = s->cpsr;
    std::memcpy(w.r, s->r, sizeof w.r);
}

} // namespace Tavrin
