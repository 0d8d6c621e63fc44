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
#include <type_traits>

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

template <uint32_t Bytes>
using StoredUnit = std::conditional_t<Bytes == 4, uint32_t, std::conditional_t<Bytes == 2, uint16_t, uint8_t>>;

// The turns of a loop whose store (if any) is of kind Kind, from r15 at
// its first instruction, as the branch left it.
template <bool Lahf, LoopStore Kind>
void RunTurns(ArmState *s, uint32_t target, const StoreForm &store, const StepForm &step, uint32_t cond)
{
    constexpr bool WithStore = Kind != LoopStore::None;
    constexpr uint32_t Bytes = Kind == LoopStore::Half ? 2 : Kind == LoopStore::Byte ? 1 : 4;
    const uint32_t branchPc = target + (WithStore ? 4 : 2);
    const uint8_t *codePage = ReadPageTable[target >> PageShift];
    const int32_t fetch = WaitCycles16[(target >> 24) & 15];
    // The page the last store went to, when a store there only writes it;
    // the bus charges the console CPU, so only it may take this path.
    uint32_t plainPage = ~0u;
    uint8_t *plainHost = nullptr;
    int32_t plainWait = 0;
    const bool plainAllowed = s == &ConsoleCpu;
    uint32_t *r = s->r;
    for (;;) {
        if constexpr (WithStore) {
            // Whole turns on the page of the last store: while a turn's
            // cycles leave some over, no instruction of it can find the
            // slice ended, and the checks between them are all passed.
            const int32_t turn = 3 * fetch + plainWait;
            if (plainPage != ~0u && s->cyclesLeft > turn) {
                int32_t cycles = s->cyclesLeft;
                uint32_t cpsr = s->cpsr;
                bool looping = true;
                while (cycles > turn) {
                    const uint32_t base = r[store.base];
                    const uint32_t address = Kind == LoopStore::StoreMultiple
                                                 ? base & ~3u
                                                 : base + (store.byRegister ? r[store.offset] : store.immediate);
                    if ((address >> PageShift) != plainPage || (address & (Bytes - 1)))
                        break;
                    const StoredUnit<Bytes> stored = StoredUnit<Bytes>(r[store.value]);
                    std::memcpy(plainHost + (address & (PageSize - Bytes)), &stored, Bytes);
                    if constexpr (Kind == LoopStore::StoreMultiple)
                        r[store.base] = (base & 3) | (address + 4);
                    uint32_t flags;
                    r[step.reg] = step.subtract ? SubWithFlags<Lahf>(r[step.reg], step.immediate, 1, flags)
                                                : AddWithFlags<Lahf>(r[step.reg], step.immediate, 0, flags);
                    cpsr = (cpsr & 0x0FFFFFFF) | flags;
                    cycles -= turn;
                    if (!ConditionPasses(cond, cpsr)) {
                        looping = false;
                        break;
                    }
                }
                s->cyclesLeft = cycles;
                s->cpsr = cpsr;
                if (!looping) {
                    r[15] = branchPc + 2;
                    return;
                }
            }
            if (s->cyclesLeft <= 0)
                return;
            const uint32_t base = r[store.base];
            const uint32_t address = Kind == LoopStore::StoreMultiple
                                         ? base & ~3u
                                         : base + (store.byRegister ? r[store.offset] : store.immediate);
            const uint32_t value = r[store.value];
            if ((address >> PageShift) == plainPage && !(address & (Bytes - 1))) {
                s->cyclesLeft -= fetch + plainWait;
                const StoredUnit<Bytes> stored = StoredUnit<Bytes>(value);
                std::memcpy(plainHost + (address & (PageSize - Bytes)), &stored, Bytes);
            } else {
                if (ReadPageTable[address >> PageShift] == codePage || (address >> 24) == 4)
                    return;
                s->cyclesLeft -= fetch;
                r[15] = target + 2;
                if constexpr (Bytes == 4)
                    CpuStore<4>(address, value);
                else if constexpr (Bytes == 2)
                    CpuStore<2>(address, value & 0xFFFF);
                else
                    BusWrite8(address, value & 0xFF);
                // A store may change the map (a flash bank switch): the page
                // is taken again for the next one.
                plainPage = plainAllowed && StoreOnlyWritesPage<Bytes>(address) ? address >> PageShift : ~0u;
                plainHost = WritePageTable[address >> PageShift];
                plainWait = (Bytes == 4 ? WaitCycles32 : WaitCycles16)[address >> 24 & 15];
            }
            if constexpr (Kind == LoopStore::StoreMultiple)
                r[store.base] = (base & 3) | (address + 4);
            if (s->cyclesLeft <= 0) {
                r[15] = target + 2;
                return;
            }
        } else {
            if (s->cyclesLeft <= 0)
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
    switch (store.kind) {
    case LoopStore::None: RunTurns<Lahf, LoopStore::None>(s, target, store, step, cond); break;
    case LoopStore::Word: RunTurns<Lahf, LoopStore::Word>(s, target, store, step, cond); break;
    case LoopStore::Half: RunTurns<Lahf, LoopStore::Half>(s, target, store, step, cond); break;
    case LoopStore::Byte: RunTurns<Lahf, LoopStore::Byte>(s, target, store, step, cond); break;
    case LoopStore::StoreMultiple: RunTurns<Lahf, LoopStore::StoreMultiple>(s, target, store, step, cond); break;
    }
}

template void ThumbRunLoop<false>(ArmState *, uint32_t, uint32_t);
template void ThumbRunLoop<true>(ArmState *, uint32_t, uint32_t);

} // namespace Tavrin
