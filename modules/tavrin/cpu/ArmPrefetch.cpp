#include "modules/tavrin/cpu/ArmPrefetch.h"

#include "modules/tavrin/bus/MemoryBus.h"

namespace Tavrin {

HeldFetches Prefetched;

void HoldFetchesAhead(ArmState *s, uint32_t address, uint32_t bytes)
{
    const bool thumb = s->cpsr & FlagT;
    const uint32_t step = thumb ? 2 : 4;
    const uint32_t first = s->r[15];
    // The bus stores a misaligned word or halfword at its aligned address.
    const uint32_t start = address & ~(bytes - 1);
    if (start - first >= 2 * step && first - start >= bytes)
        return;
    HeldFetches &p = Prefetched;
    // What an earlier store kept must still be the pipeline's head.
    if (p.count && (p.address[0] != first || p.thumb != thumb))
        p.count = 0;
    p.thumb = thumb;
    for (; p.count < 2; ++p.count) {
        const uint32_t a = first + p.count * step;
        const uint8_t *page = ReadPageTable[a >> PageShift];
        p.address[p.count] = a;
        p.op[p.count] = thumb ? HostHalf(page + (a & 0x3FFE)) : HostWord(page + (a & 0x3FFC));
    }
    ArmEarlyExit(s);
}

bool TakeHeldFetch(ArmState *s, uint32_t &op)
{
    HeldFetches &p = Prefetched;
    if (!p.count)
        return false;
    if (p.address[0] != s->r[15] || p.thumb != bool(s->cpsr & FlagT)) {
        p.count = 0;
        return false;
    }
    op = p.op[0];
    p.address[0] = p.address[1];
    p.op[0] = p.op[1];
    --p.count;
    return true;
}

} // namespace Tavrin
