// Every store to the I/O registers, one halfword at a time: the value is
// kept in IoPage and the machine's derived state follows it.
#include "modules/tavrin/machine/IoRegisters.h"

#include "common/zorvan/Console.h"
#include "modules/tavrin/cpu/ArmState.h"
#include "modules/tavrin/machine/BgOrder.h"
#include "modules/tavrin/machine/Dma.h"
#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/ModuleServices.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/machine/Timers.h"
#include "modules/tavrin/render/RenderState.h"

namespace Tavrin {

namespace {

uint32_t BlendFactor(uint32_t field) { return (field & 0x10) ? 16 : field & 15; }

// The pair of halfwords of an affine reference point as a signed 28-bit value.
int32_t ReferencePoint(uint32_t lowOffset)
{
    return int32_t(IoGet32(lowOffset) << 4) >> 4;
}

// After a store to IE, IF or IME: the CPU takes a pending interrupt at once,
// and a timer interrupt that became possible may end the slice sooner.
void InterruptTest()
{
    const uint32_t r = PendingInterrupts();
    ConsoleCpu.irqRequest = r;
    if (r)
        ArmRequestIrq(&ConsoleCpu);
    RescheduleSlice();
}

// The store to the halt register stops the CPU on itself: the rest of the
// slice is charged, LineHook runs the machine on without it until an
// enabled interrupt is requested (whatever the master enable says; with
// none enabled, for ever), and the store then runs again and goes on.
void HaltStep()
{
    const uint32_t back = (ConsoleCpu.cpsr & FlagT) ? 2 : 4;
    switch (HaltState) {
    case 0:
        HaltState = 1;
        [[fallthrough]];
    case 1:
        ConsoleCpu.r[15] -= back;
        ConsoleCpu.cyclesLeft = 0;
        break;
    default:
        HaltState = 0;
        break;
    }
}

// Stores of the affine registers of BG2 (base 0x020) or BG3 (base 0x030).
void WriteAffine(uint32_t offset, uint32_t value)
{
    const int bg = offset >= 0x030;
    const uint32_t base = bg ? 0x030 : 0x020;
    int32_t *const matrix[4] = {&BgPa[bg], &BgPb[bg], &BgPc[bg], &BgPd[bg]};
    const uint32_t at = offset - base;
    IoSet(offset, value);
    if (at < 8) {
        *matrix[at / 2] = int16_t(value);
    } else if (at < 12) {
        BgCurX[bg] = BgRefX[bg] = ReferencePoint(base + 8);
    } else {
        BgCurY[bg] = BgRefY[bg] = ReferencePoint(base + 12);
    }
}

} // namespace

void MachineWriteIo(uint32_t address, uint32_t value)
{
    const uint32_t offset = address & 0x00FFFFFE;
    value &= 0xFFFF;
    if (LogFlags & 2)
        printConsole("Wrote %04Xh to IO[%03Xh] at %d (PC=%08Xh)\n", value, offset, int(IoGet(Io::VCount)),
                     ConsoleCpu.r[15]);
    if (offset >= Io::RegisterEnd) {
        // Past the registers only the memory control word keeps what is
        // written, wherever it is mirrored.
        if ((offset & 0xFFFC) == Io::MemoryControl)
            IoSet(Io::MemoryControl + (offset & 2), value);
        return;
    }
    const uint32_t old = IoGet(offset);

    switch (offset) {
    case Io::DispCnt:
        if ((old ^ value) & 0xE000)
            RenderDirtyFlags |= 2;
        if ((old ^ value) & 7)
            RenderDirtyFlags |= 4;
        break;
    case Io::DispStat:
        // The blank and line-match flags are the display's own.
        value = (value & 0xFFF8) | (old & 7);
        break;
    case Io::VCount:
    case Io::KeyInput:
        return;
    case 0x008: case 0x00A: case 0x00C: case 0x00E:
        if (value == old)
            return;
        SetBgControl((offset - 0x008) / 2, value);
        break;
    case 0x020: case 0x022: case 0x024: case 0x026: case 0x028: case 0x02A: case 0x02C: case 0x02E:
    case 0x030: case 0x032: case 0x034: case 0x036: case 0x038: case 0x03A: case 0x03C: case 0x03E:
        WriteAffine(offset, value);
        return;
    case Io::Mosaic:
        if (value == old)
            return;
        BgMosaicH = value & 15;
        BgMosaicV = value >> 4 & 15;
        ObjMosaicH = value >> 8 & 15;
        ObjMosaicV = value >> 12 & 15;
        break;
    case Io::BldCnt:
        if (value == old)
            return;
        if ((old ^ value) & 0x3F00)
            RenderDirtyFlags |= 1;
        IoSet(offset, value);
        UpdateBgOrder();
        return;
    case Io::BldAlpha:
        BlendEva = BlendFactor(value);
        BlendEvb = BlendFactor(value >> 8);
        break;
    case Io::BldY:
        BlendEvy = BlendFactor(value);
        break;
    case Io::SoundCntH:
        IoSet(offset, value);
        WriteDirectSoundControl(value);
        UpdatePcmRates();
        IoSet(Io::SoundCntX, PsgOnFlags() & 0xFF);
        return;
    case 0x0A0: case 0x0A2: case 0x0A4: case 0x0A6:
        WriteFifo(offset, value);
        break;
    case 0x0BA: case 0x0C6: case 0x0D2: case 0x0DE:
        WriteDmaControl((offset - 0x0BA) / 12, value);
        return;
    case 0x100: case 0x104: case 0x108: case 0x10C:
        WriteTimerReload((offset - 0x100) / 4, value);
        return;
    case 0x102: case 0x106: case 0x10A: case 0x10E:
        WriteTimerControl((offset - 0x102) / 4, value);
        return;
    case Io::Ie:
    case Io::Ime:
        SyncTimers(CpuClock());
        IoSet(offset, value);
        InterruptTest();
        return;
    case Io::If:
        // Writing 1 acknowledges a flag; the other bits stay as they are.
        // Overflows up to this cycle have raised theirs first.
        SyncTimers(CpuClock());
        IoSet(offset, IoGet(offset) & ~value);
        InterruptTest();
        return;
    case Io::WaitCnt:
        SetWaitStates(value);
        break;
    case Io::HaltCnt:
        IoSet(offset, value);
        HaltStep();
        return;
    default:
        if (offset >= 0x060 && offset <= 0x09E)
            PsgWriteIo(offset - 0x060, value);
        break;
    }
    IoSet(offset, value);
}

} // namespace Tavrin
