#include "modules/tavrin/machine/Dma.h"

#include "common/zorvan/Console.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmState.h"
#include "modules/tavrin/machine/CartridgeServices.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/SoundFifo.h"

#include <algorithm>
#include <cstring>

namespace Tavrin {

namespace {

// A transfer that stores into its own control register could start itself
// again from inside its own run, without end; a running channel ignores
// such starts.
bool Running[4];

int32_t Step(uint32_t control, uint32_t unit)
{
    switch (control & 3) {
    case 1: return -int32_t(unit);
    case 2: return 0;
    default: return int32_t(unit);
    }
}

const char *const TimingNames[4] = {"Immediate", "VBlank", "HBlank", "Special"};

// Regions whose loads and stores of 16 and 32 bits are plain page-table
// accesses with no device behind them (the EEPROM window aside, checked on
// its own): work RAM and video RAM, for loads also palette, sprites and the
// cartridge image. (Palette and sprite stores reach every copy of their
// 1 KB, which the bus does.)
constexpr uint32_t PlainLoadRegions = 0x3FEC, PlainStoreRegions = 0x004C;

// The units of a transfer run from first upwards or downwards by count - 1
// steps; whether they stay, without wrapping at the mask, in one region
// given by the bit set.
bool StaysPlain(uint32_t first, int32_t step, uint32_t count, uint32_t mask, uint32_t regions, uint32_t unit)
{
    const int64_t last = int64_t(first) + int64_t(step) * (int64_t(count) - 1);
    if (last < 0 || last > int64_t(mask) || (first >> 24) != (uint32_t(last) >> 24))
        return false;
    if (!((regions >> (first >> 24)) & 1))
        return false;
    const uint32_t low = std::min(first, uint32_t(last)), high = std::max(first, uint32_t(last));
    return unit == 4 || !(IsEepromAddress(low) || IsEepromAddress(high) ||
                          (low < EepromWindowStart && high >= EepromWindowStart));
}

// A transfer between plain regions, as the bus would make it unit by unit,
// without the bus: the same stores in the same order and the same cycles,
// charged at once as nothing in between can look at the clock.
template <uint32_t Unit>
void CopyPlain(uint32_t &src, uint32_t &dst, int32_t srcStep, int32_t dstStep, uint32_t count)
{
    const int32_t *const wait = Unit == 4 ? WaitCycles32 : WaitCycles16;
    ConsoleCpu.cyclesLeft -= int32_t(count) * (wait[src >> 24] + wait[dst >> 24]);
    constexpr uint32_t Within = (PageSize - 1) & ~(Unit - 1);
    // The renderer hears of VRAM stores as it would from the bus.
    const bool vram = (dst >> 24) == 6;
    for (uint32_t i = 0; i < count; ++i) {
        if (vram)
            NoteVramStore(dst);
        std::memcpy(WritePageTable[dst >> PageShift] + (dst & Within), ReadPageTable[src >> PageShift] + (src & Within),
                    Unit);
        src += uint32_t(srcStep);
        dst += uint32_t(dstStep);
    }
}

} // namespace

void RunDma(uint32_t channel)
{
    if (channel > 3 || Running[channel])
        return;
    Running[channel] = true;
    const uint32_t c = IoGet(Io::DmaControl(channel));
    const uint32_t unit = (c & 0x400) ? 4 : 2;
    uint32_t src = IoGet32(Io::DmaSource(channel)) & (DmaSourceMask[channel] + 1 - unit);
    uint32_t dst = IoGet32(Io::DmaDest(channel)) & (DmaDestMask[channel] + 1 - unit);
    const uint32_t countRegister = IoGet(Io::DmaCount(channel));
    const uint32_t count = countRegister ? countRegister & DmaCountMask[channel] : DmaCountMask[channel] + 1;
    const int32_t dstStep = Step(c >> 5, unit); // 3 steps too, and reloads the destination
    const int32_t srcStep = (c >> 7 & 3) == 3 ? 0 : Step(c >> 7, unit);

    if (LogFlags & 8)
        printConsole("DMA%d: %08X-%08X -> %08X-%08X (%dbit,%s%s%s) at line %d\n", int(channel), src,
                     src + uint32_t(srcStep) * (count - 1), dst, dst + uint32_t(dstStep) * (count - 1),
                     unit == 4 ? 32 : 16, TimingNames[c >> 12 & 3], (c & 0x4000) ? ",IRQ" : "",
                     (c & 0x200) ? ",Repeat" : "", int(IoGet(Io::VCount)));
    if (IsEepromAddress(src) || IsEepromAddress(dst))
        EepromNoteDmaUnits(count);

    if (StaysPlain(src, srcStep, count, DmaSourceMask[channel], PlainLoadRegions, unit) &&
        StaysPlain(dst, dstStep, count, DmaDestMask[channel], PlainStoreRegions, unit)) {
        if (unit == 4)
            CopyPlain<4>(src, dst, srcStep, dstStep, count);
        else
            CopyPlain<2>(src, dst, srcStep, dstStep, count);
        src &= DmaSourceMask[channel];
        dst &= DmaDestMask[channel];
    } else {
        for (uint32_t i = 0; i < count; ++i) {
            if (unit == 4)
                BusWrite32(dst, BusRead32(src));
            else
                BusWrite16(dst, BusRead16(src));
            src = (src + uint32_t(srcStep)) & DmaSourceMask[channel];
            dst = (dst + uint32_t(dstStep)) & DmaDestMask[channel];
        }
    }

    if (c & 0x4000)
        IoSet(Io::If, IoGet(Io::If) | 0x100u << channel);
    IoSet(Io::DmaSource(channel), src);
    IoSet(Io::DmaSource(channel) + 2, src >> 16);
    if ((c >> 5 & 3) != 3) {
        IoSet(Io::DmaDest(channel), dst);
        IoSet(Io::DmaDest(channel) + 2, dst >> 16);
    }
    if (!(c & 0x200) || (c & 0x3000) == 0)
        IoSet(Io::DmaControl(channel), IoGet(Io::DmaControl(channel)) & 0x7FFF);
    Running[channel] = false;
}

void StartDmaOfTiming(uint32_t timing)
{
    for (uint32_t channel = 0; channel < 4; ++channel)
        if ((IoGet(Io::DmaControl(channel)) & 0xB000) == timing)
            RunDma(channel);
}

void WriteDmaControl(uint32_t channel, uint32_t value)
{
    const uint32_t old = IoGet(Io::DmaControl(channel));
    IoSet(Io::DmaControl(channel), value);
    if (old & value & 0x8000)
        return;
    if (channel == 1 || channel == 2)
        UpdatePcmRates();
    if ((value & 0xB000) == DmaImmediate)
        RunDma(channel);
    else if ((value & 0xB000) == DmaSpecial && (channel == 1 || channel == 2))
        FifoSource[channel - 1] = IoGet32(Io::DmaSource(channel)) & 0x0FFFFFFC;
}

} // namespace Tavrin
