#include "modules/tavrin/bus/OpenBus.h"

#include <cstring>

namespace Tavrin {

namespace {

struct FilledPage {
    FilledPage() { std::memset(OpenBusPage, OpenBusFill, PageSize); }
};

// The word the bus holds when the CPU last ran into unmapped memory.
uint32_t HeldWord = 0;

// Memory as the prefetch sees it: unmapped memory gives the held word.
uint32_t PrefetchWord(uint32_t address)
{
    if (InOpenBus(address))
        return HeldWord;
    return HostWord(ReadPageTable[address >> PageShift] + (address & 0x3FFC));
}

uint32_t PrefetchHalf(uint32_t address) { return (PrefetchWord(address) >> (8 * (address & 2))) & 0xFFFF; }

// What the bus carries while the instruction at pc executes. ARM fetches
// the word two instructions ahead. THUMB fetches a halfword; the other half
// of the bus is that same halfword on 16-bit memories, and on the 32-bit
// ones (BIOS, OAM, internal work RAM) the neighbour the last fetches left.
uint32_t Prefetched(uint32_t pc, bool thumb)
{
    if (!thumb)
        return PrefetchWord(pc + 8);
    const uint32_t ahead = PrefetchHalf(pc + 4);
    const bool aligned = !(pc & 2);
    switch (pc >> 24) {
    case 0x0:
    case 0x7: return aligned ? ahead | PrefetchHalf(pc + 6) << 16 : PrefetchHalf(pc + 2) | ahead << 16;
    case 0x3: return aligned ? ahead | PrefetchHalf(pc + 2) << 16 : PrefetchHalf(pc + 2) | ahead << 16;
    default: return ahead * 0x10001;
    }
}

} // namespace

uint8_t OpenBusPage[PageSize];
uint32_t OpenBusJumpFrom = NoJump;
FilledPage filledPage;

uint32_t OpenBusWord(const ArmState *s)
{
    const bool thumb = s->cpsr & FlagT;
    const uint32_t pc = s->r[15] - (thumb ? 2 : 4);
    return InOpenBus(pc) ? HeldWord : Prefetched(pc, thumb);
}

uint32_t OpenBusFetch()
{
    if (OpenBusJumpFrom != NoJump) {
        const uint32_t from = OpenBusJumpFrom & ~1u;
        if (!InOpenBus(from))
            HeldWord = Prefetched(from, OpenBusJumpFrom & 1);
        OpenBusJumpFrom = NoJump;
    }
    return HeldWord;
}

void ResetOpenBus()
{
    HeldWord = 0;
    OpenBusJumpFrom = NoJump;
}

uint32_t CpuOutsideWord(const ArmState *s, uint32_t address)
{
    if (address < 0x4000)
        return s->r[15] >= 0x4000 ? BiosOpenBusWord : HostWord(ReadPageTable[0] + (address & 0x3FFC));
    return OpenBusWord(s);
}

} // namespace Tavrin
