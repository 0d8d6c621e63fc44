// Short THUMB loops that do work: a counter stepped by an immediate, after
// at most one store, closed by a conditional branch back to the first
// instruction (a delay, or a fill of memory one store a turn). The idle
// watch refuses them, as their registers change every turn; here they run
// turn after turn without fetching or decoding, exactly as the run loop
// would step them: the same cycles charged before each instruction, the
// slice left at the very instruction where its cycles run out, and every
// store through the same function the instruction itself calls.
//
// A turn is run this way only when nothing it does can change what the
// fetch would read: its store must land outside the host page that holds
// the loop and outside the I/O registers, whose stores can start a DMA.
#include "modules/tavrin/cpu/ThumbDecoder.h"

#include <cstring>

namespace Tavrin {

namespace {

// The store forms a loop may have: one address from registers and an
// immediate or a second register, and STMIA of one register other than
// its base.
enum class LoopStore : uint8_t { None, Word, Half, Byte, StoreMultiple };

struct StoreForm {
    LoopStore kind = LoopStore::None;
    bool byRegister = false; // the offset is a register, else an immediate
    uint8_t base = 0, offset = 0, value = 0;
    uint32_t immediate = 0;
};

bool DecodeLoopStore(uint32_t op, StoreForm &f)
{
    f.base = uint8_t((op >> 3) & 7);
    f.value = uint8_t(op & 7);
    const uint32_t imm5 = (op >> 6) & 31;
    switch (op >> 11) {
    case 0x0A: // STR, STRH, STRB by register
    case 0x0B: {
        static constexpr LoopStore Kinds[3] = {LoopStore::Word, LoopStore::Half, LoopStore::Byte};
        const uint32_t form = (op >> 9) & 7;
        if (form > 2)
            return false;
        f.kind = Kinds[form];
        f.byRegister = true;
        f.offset = uint8_t((op >> 6) & 7);
        return true;
    }
    case 0x0C: f.kind = LoopStore::Word; f.immediate = imm5 * 4; return true;
    case 0x0E: f.kind = LoopStore::Byte; f.immediate = imm5; return true;
    case 0x10: f.kind = LoopStore::Half; f.immediate = imm5 * 2; return true;
    case 0x12: // STR by SP
        f.kind = LoopStore::Word;
        f.base = 13;
        f.value = uint8_t((op >> 8) & 7);
        f.immediate = (op & 0xFF) * 4;
        return true;
    case 0x18: { // STMIA
        const uint32_t list = op & 0xFF;
        f.base = uint8_t((op >> 8) & 7);
        if (!list || (list & (list - 1)) || (list & (1u << f.base)))
            return false;
        f.kind = LoopStore::StoreMultiple;
        f.value = uint8_t(std::countr_zero(list));
        return true;
    }
    default: return false;
    }
}

// The counter step: ADD or SUB of an 8-bit immediate, flags set.
struct StepForm {
    uint8_t reg;
    bool subtract;
    uint32_t immediate;
};

bool DecodeLoopStep(uint32_t op, StepForm &f)
{
    if ((op >> 12) != 3)
        return false;
    f = {uint8_t((op >> 8) & 7), bool(op & 0x800), op & 0xFF};
    return true;
}

} // namespace

template <bool Lahf>
void ThumbRunLoop(ArmState *s, uint32_t branchPc, uint32_t target)
{
    if ((target ^ branchPc) >> PageShift) // the body and its branch in one page
        return;
    const uint8_t *codePage = ReadPageTable[target >> PageShift];
    const bool withStore = branchPc - target == 4;
    StoreForm store;
    StepForm step;
    if (withStore && !DecodeLoopStore(HostHalf(codePage + (target & 0x3FFE)), store))
        return;
    if (!DecodeLoopStep(HostHalf(codePage + ((branchPc - 2) & 0x3FFE)), step))
        return;
    const uint32_t cond = (HostHalf(codePage + (branchPc & 0x3FFE)) >> 8) & 15;
    const int32_t fetch = WaitCycles16[(target >> 24) & 15];
    const uint32_t bytes = store.kind == LoopStore::Half ? 2 : store.kind == LoopStore::Byte ? 1 : 4;
    // The page the last store went to, when a store there only writes it;
    // the bus charges the console CPU, so only it may take this path.
    uint32_t plainPage = ~0u;
    uint8_t *plainHost = nullptr;
    int32_t plainWait = 0;
    const bool plainAllowed = s == &ConsoleCpu;
    uint32_t *r = s->r;
    // r15 is at the first instruction, as the branch left it.
    for (;;) {
        if (withStore) {
            if (s->cyclesLeft <= 0)
                return;
            const uint32_t base = r[store.base];
            uint32_t address = base + (store.byRegister ? r[store.offset] : store.immediate);
            if (store.kind == LoopStore::StoreMultiple)
                address = base & ~3u;
            const uint32_t value = r[store.value];
            if ((address >> PageShift) == plainPage && !(address & (bytes - 1))) {
                s->cyclesLeft -= fetch + plainWait;
                std::memcpy(plainHost + (address & (PageSize - bytes)), &value, bytes);
            } else {
                if (ReadPageTable[address >> PageShift] == codePage || (address >> 24) == 4)
                    return;
                s->cyclesLeft -= fetch;
                r[15] = target + 2;
                switch (store.kind) {
                case LoopStore::Word:
                case LoopStore::StoreMultiple: CpuStore<4>(address, value); break;
                case LoopStore::Half: CpuStore<2>(address, value & 0xFFFF); break;
                default: BusWrite8(address, value & 0xFF); break;
                }
                // A store may change the map (a flash bank switch): the page
                // is taken again for the next one.
                const bool plain = bytes == 4   ? StoreOnlyWritesPage<4>(address)
                                   : bytes == 2 ? StoreOnlyWritesPage<2>(address)
                                                : StoreOnlyWritesPage<1>(address);
                plainPage = plain && plainAllowed ? address >> PageShift : ~0u;
                plainHost = WritePageTable[address >> PageShift];
                plainWait = (bytes == 4 ? WaitCycles32 : WaitCycles16)[address >> 24 & 15];
            }
            if (store.kind == LoopStore::StoreMultiple)
                r[store.base] = (base & 3) | (address + 4);
        }
        if (s->cyclesLeft <= 0) {
            if (withStore)
                r[15] = target + 2;
            return;
        }
        s->cyclesLeft -= fetch;
        r[15] = branchPc;
        uint32_t flags;
        r[step.reg] = step.subtract ? SubWithFlags<Lahf>(r[step.reg], step.immediate, 1, flags)
                                    : AddWithFlags<Lahf>(r[step.reg], step.immediate, 0, flags);
        SetNzcv(s, flags);
        if (s->cyclesLeft <= 0)
            return;
        s->cyclesLeft -= fetch;
        r[15] = branchPc + 2;
        if (!ConditionPasses(cond, s->cpsr))
            return;
        r[15] = target;
        NoteJump(branchPc, true);
    }
}

template void ThumbRunLoop<false>(ArmState *, uint32_t, uint32_t);
template void ThumbRunLoop<true>(ArmState *, uint32_t, uint32_t);

} // namespace Tavrin
