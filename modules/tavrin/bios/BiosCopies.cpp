// Block copies and fills, and bit unpacking.
#include "modules/tavrin/bios/BiosMemory.h"

#include "common/zorvan/Console.h"
#include "modules/tavrin/bus/MemoryBus.h"

namespace Tavrin {

namespace {

// Copies or fills count units of 2 or 4 bytes, one bus access at a time.
void CopyUnits(uint32_t src, uint32_t dst, uint32_t count, uint32_t unit, bool fill)
{
    const uint32_t mask = unit == 4 ? 0x0FFFFFFC : 0x0FFFFFFE;
    const uint32_t srcStep = fill ? 0 : unit;
    for (uint32_t i = 0; i < count; ++i) {
        if (unit == 4)
            BusWrite32(dst, BusRead32(src));
        else
            BusWrite16(dst, BusRead16(src));
        dst = (dst + unit) & mask;
        src = (src + srcStep) & mask;
    }
}

bool InCartridgeOrRam(uint32_t address) { return address & 0x0E000000; }

} // namespace

void BiosCpuSet(ArmState *s)
{
    const uint32_t control = s->r[2];
    const uint32_t count = control & 0x1FFFFF;
    const uint32_t unit = (control & (1u << 26)) ? 4 : 2;
    const bool fill = control & (1u << 24);
    const uint32_t src = s->r[0] & ~(unit - 1);
    const uint32_t dst = s->r[1] & ~(unit - 1);
    if (count == 0)
        return;
    if (LogFlags & 0x20)
        printConsole("CPUSet: %08X-%08X -> %08X-%08X (%dbit)\n", src, fill ? src : src + unit * (count - 1), dst,
                     dst + unit * (count - 1), int(unit * 8));
    CopyUnits(src, dst, count, unit, fill);
}

void BiosCpuFastSet(ArmState *s)
{
    const uint32_t control = s->r[2];
    const uint32_t count = (control + 7) & 0x1FFFF8;
    const bool fill = control & (1u << 24);
    const uint32_t src = s->r[0] & 0x0FFFFFFC;
    const uint32_t dst = s->r[1] & 0x0FFFFFFC;
    const uint32_t last = fill ? src : src + 4 * (count - 1);
    if (count == 0 || !InCartridgeOrRam(src) || !InCartridgeOrRam(last))
        return;
    if (LogFlags & 0x20)
        printConsole("CPUFastSet: %08X-%08X -> %08X-%08X (32bit)\n", src, last, dst, dst + 4 * (count - 1));
    CopyUnits(src, dst, count, 4, fill);
}

void BiosBitUnPack(ArmState *s)
{
    const uint32_t params = s->r[2];
    const uint32_t length = BusRead16(params);
    const uint32_t srcWidth = BusRead8(params + 2);
    const uint32_t dstWidth = BusRead8(params + 3);
    const uint32_t offsetWord = BusRead32(params + 4);
    const bool srcOk = srcWidth == 1 || srcWidth == 2 || srcWidth == 4 || srcWidth == 8;
    const bool dstOk = dstWidth == 1 || dstWidth == 2 || dstWidth == 4 || dstWidth == 8 || dstWidth == 16 ||
                       dstWidth == 32;
    if (length == 0 || !srcOk || !dstOk)
        return;
    const uint32_t srcMask = (1u << srcWidth) - 1;
    const uint32_t dstMask = dstWidth == 32 ? 0xFFFFFFFF : (1u << dstWidth) - 1;
    const uint32_t offset = offsetWord & dstMask & 0x7FFFFFFF;
    const bool offsetZeros = offsetWord & 0x80000000;

    uint32_t src = s->r[0];
    uint32_t dst = s->r[1];
    uint32_t word = 0, filled = 0;
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t byte = BusRead8(src + i);
        // Units come from the low end of each byte and fill each word from
        // its low end, as the console does.
        for (uint32_t at = 0; at < 8; at += srcWidth) {
            uint32_t unit = (byte >> at) & srcMask;
            if (unit || offsetZeros)
                unit = (unit + offset) & dstMask;
            word |= unit << filled;
            filled += dstWidth;
            if (filled == 32) {
                BusWrite32(dst, word);
                dst += 4;
                word = filled = 0;
            }
        }
    }
    if (filled)
        BusWrite32(dst, word);
}

} // namespace Tavrin
