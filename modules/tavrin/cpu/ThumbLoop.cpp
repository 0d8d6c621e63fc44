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
// fetch would read (StoreKeepsFetch); the run loop steps the others.
#include "modules/tavrin/cpu/ThumbDecoder.h"

#include <algorithm>
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

// Whether a store at address leaves the loop's fetches as they are: it
// must reach neither the host page the loop runs from (through any mirror)
// nor the I/O registers, whose stores can start a DMA, nor the save memory,
// whose stores can switch a bank.
bool StoreKeepsFetch(uint32_t address, const uint8_t *codePage)
{
    const uint32_t region = address >> 24;
    return ReadPageTable[address >> PageShift] != codePage && WritePageTable[address >> PageShift] != codePage &&
           region != 4 && region != 0xE;
}

template <uint32_t Bytes>
using StoredUnit = std::conditional_t<Bytes == 4, uint32_t, std::conditional_t<Bytes == 2, uint16_t, uint8_t>>;

// The common fill, worked out at once: a constant stored at addresses a
// fixed step apart, a counter stepped down by SUB and tested by NE or PL.
// Runs the turns that stay on the plain page and whose cycles leave some
// over, up to the one where the condition fails; returns whether the loop
// goes on. Does nothing for other loops.
template <bool Lahf, LoopStore Kind>
bool FillTurns(ArmState *s, const StoreForm &store, const StepForm &step, uint32_t cond, uint32_t plainPage,
               uint8_t *plainHost, int32_t turn, int32_t &cycles, uint32_t &cpsr)
{
    constexpr uint32_t Bytes = Kind == LoopStore::Half ? 2 : Kind == LoopStore::Byte ? 1 : 4;
    constexpr uint32_t Cap = 1u << 20; // far below any wrap of the counter
    uint32_t *r = s->r;
    const uint32_t imm = step.immediate, c0 = r[step.reg];
    const bool constantValue = store.value != step.reg;
    if (!step.subtract || imm == 0 || !constantValue || (cond != 0x1 && cond != 0x5))
        return true;
    if (Kind == LoopStore::StoreMultiple && store.base == step.reg)
        return true;
    // Turns until the condition fails: the counter reaching 0 (NE), or going
    // below 0 (PL); none within the cap when it cannot.
    uint32_t exitTurn = Cap + 1;
    // (A step of 1, the usual one, needs no division.)
    const uint32_t steps = imm == 1 ? c0 : c0 / imm;
    if (cond == 0x1) {
        if (c0 != 0 && steps * imm == c0)
            exitTurn = std::min<uint32_t>(steps, Cap + 1);
    } else {
        if (int32_t(c0) < 0)
            return true;
        exitTurn = std::min<uint32_t>(steps + 1, Cap + 1);
    }
    uint32_t stride = 4;
    if constexpr (Kind != LoopStore::StoreMultiple) {
        stride = (store.base == step.reg ? 0 - imm : 0) + (store.byRegister && store.offset == step.reg ? 0 - imm : 0);
        if (stride & (Bytes - 1))
            return true;
    }
    const uint32_t base = r[store.base];
    const uint32_t first = Kind == LoopStore::StoreMultiple
                               ? base & ~3u
                               : base + (store.byRegister ? r[store.offset] : store.immediate);
    if ((first >> PageShift) != plainPage || (first & (Bytes - 1)))
        return true;
    const uint32_t pageStart = plainPage << PageShift;
    uint32_t pageTurns = Cap;
    if (int32_t(stride) > 0)
        pageTurns = (pageStart + PageSize - Bytes - first) / stride + 1;
    else if (int32_t(stride) < 0)
        pageTurns = (first - pageStart) / (0 - stride) + 1;
    const uint32_t cycleTurns = cycles > turn ? uint32_t(cycles - turn - 1) / uint32_t(turn) + 1 : 0;
    const uint32_t n = std::min({exitTurn, pageTurns, cycleTurns, Cap});
    if (n == 0)
        return true;
    // Every address lies on the page, so the offsets never leave it.
    const StoredUnit<Bytes> stored = StoredUnit<Bytes>(r[store.value]);
    for (uint32_t k = 0, offset = first & (PageSize - Bytes); k < n; ++k, offset += stride)
        std::memcpy(plainHost + offset, &stored, Bytes);
    if constexpr (Kind == LoopStore::StoreMultiple)
        r[store.base] = (base & 3) | (first + 4 * n);
    uint32_t flags;
    r[step.reg] = SubWithFlags<Lahf>(c0 - (n - 1) * imm, imm, 1, flags);
    cpsr = (cpsr & 0x0FFFFFFF) | flags;
    cycles -= int32_t(n) * turn;
    return n != exitTurn;
}

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
                bool looping = FillTurns<Lahf, Kind>(s, store, step, cond, plainPage, plainHost, turn, cycles, cpsr);
                while (looping && cycles > turn) {
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
                if (!StoreKeepsFetch(address, codePage))
                    return;
                s->cyclesLeft -= fetch;
                r[15] = target + 2;
                if (plainAllowed && StoreOnlyWritesPage<Bytes>(address)) {
                    // A new page whose stores only write it: from now on,
                    // this store included, the page is written directly.
                    plainPage = address >> PageShift;
                    plainHost = WritePageTable[plainPage];
                    plainWait = (Bytes == 4 ? WaitCycles32 : WaitCycles16)[address >> 24 & 15];
                    s->cyclesLeft -= plainWait;
                    const StoredUnit<Bytes> stored = StoredUnit<Bytes>(value);
                    std::memcpy(plainHost + (address & (PageSize - Bytes)), &stored, Bytes);
                } else {
                    plainPage = ~0u;
                    if constexpr (Bytes == 4)
                        CpuStore<4>(address, value);
                    else if constexpr (Bytes == 2)
                        CpuStore<2>(address, value & 0xFFFF);
                    else
                        BusWrite8(address, value & 0xFF);
                }
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
