// The scanline scheduler: two events a line (the end of the visible part,
// then of the horizontal blank), 228 lines a frame, the frame ending for the
// run loop when line 160 begins; between them, the overflows of timers whose
// interrupt is enabled.
#include "modules/tavrin/machine/LineHook.h"

#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/machine/Dma.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/ModuleServices.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/machine/Timers.h"
#include "modules/tavrin/render/RenderState.h"

#include <algorithm>

namespace Tavrin {

namespace {

void RaiseIf(uint32_t bits) { IoSet(Io::If, IoGet(Io::If) | bits); }

// The pad word: the ten keys in bits 0-9 (the key input register's, which
// reads 0 for a pressed key), two more in bits 10-11 and one in bit 12,
// which the extra key register shows in bits 0-1 and bit 6.
constexpr uint32_t PadKeys = 0x03FF;
constexpr uint32_t PadExtraLow = 0x0C00;
constexpr uint32_t PadExtraLowShift = 10;
constexpr uint32_t PadExtraHigh = 0x1000;
constexpr uint32_t PadExtraHighShift = 6;
// The key interrupt control: the keys it selects, its enable, and its
// condition (set: all selected keys; clear: any of them).
constexpr uint32_t KeyCntEnable = 0x4000;
constexpr uint32_t KeyCntAllKeys = 0x8000;
constexpr uint32_t IrqKeypad = 0x1000;

void ReadKeys()
{
    const uint32_t k = ReadPadState();
    const uint32_t input = ~k & PadKeys;
    IoSet(Io::KeyInput, input);
    IoSet(Io::ExtraKeys,
          ((~k & PadExtraLow) >> PadExtraLowShift) | ((~k & PadExtraHigh) >> PadExtraHighShift));
    const uint32_t control = IoGet(Io::KeyCnt);
    if ((control & (KeyCntEnable | PadKeys)) <= KeyCntEnable)
        return;
    const uint32_t selected = control & PadKeys;
    const uint32_t pressed = ~input & selected;
    const bool raise = (control & KeyCntAllKeys) ? pressed == selected : pressed != 0;
    if (raise)
        RaiseIf(IrqKeypad);
}

// Once a frame, whether the host plays sound or not: the generator's tick
// (its lengths and envelopes are the game's to see in the on-flags).
void FrameSound()
{
    MidiTicks(16);
    PsgTick(16);
    IoSet(Io::SoundCntX, PsgOnFlags() & 0xFF);
    PsgSync(2);
}

// Returns false when the machine was stopped.
bool FrameEnd()
{
    FrameEnded = 1;
    if (FrameSkipCountdown == 0) {
        // A period of 0 would skip for ever; it draws every frame instead.
        FrameSkipCountdown = FrameSkipPeriod ? FrameSkipPeriod - 1 : 0;
        PresentFrame();
    } else {
        --FrameSkipCountdown;
    }
    StartDmaOfTiming(DmaVBlank);
    ReadKeys();
    if (MachineStopped)
        return false;
    FrameSound();
    return true;
}

void DrawLine(uint32_t line)
{
    if (FrameSkipCountdown == 0) {
        if (line == 0) {
            for (int i = 0; i < 2; ++i) {
                BgCurX[i] = BgRefX[i];
                BgCurY[i] = BgRefY[i];
            }
        }
        RenderLine();
        // Unsigned, as the renderer steps them: a loaded state may hold
        // any words, and the sum wraps instead of overflowing.
        for (int i = 0; i < 2; ++i) {
            BgCurX[i] = int32_t(uint32_t(BgCurX[i]) + uint32_t(BgPb[i]));
            BgCurY[i] = int32_t(uint32_t(BgCurY[i]) + uint32_t(BgPd[i]));
        }
    }
    StartDmaOfTiming(DmaHBlank);
}

// One line event at the current cycle: the end of the visible part of the
// line or of its horizontal blank. Returns false when the machine was
// stopped.
bool LineEvent(bool &frameEnded)
{
    const uint32_t old = IoGet(Io::DispStat);
    uint32_t s = old ^ 2;
    const uint32_t v = IoGet(Io::VCount);
    if (!(s & 2)) {
        LineEventClock += VisibleCycles;
        const uint32_t line = (v + 1) % LinesPerFrame;
        IoSet(Io::VCount, line);
        s = (line == (s >> 8)) ? s | 4 : s & ~4u;
        const uint32_t sio = IoGet(Io::SioCnt);
        if (sio & 0x80) {
            if (sio & 0x4000)
                RaiseIf(0x80);
            IoSet(Io::SioCnt, sio & ~0x80u);
        }
        if (line < VisibleLines) {
            if (line == 0)
                s &= ~1u;
            if ((IoGet(Io::DmaControl(3)) & 0xB000) == DmaSpecial)
                RunDma(3);
        } else if (line == VisibleLines) {
            frameEnded = true;
            if (!FrameEnd())
                return false;
        }
    } else {
        LineEventClock += HBlankCycles;
        if (v == VisibleLines)
            s |= 1;
        if (v < VisibleLines)
            DrawLine(v);
    }
    RaiseIf((old ^ s) & s & (s >> 3) & 7);
    IoSet(Io::DispStat, s);
    return true;
}

// Set while LineHook runs: it works out the next slice itself at the end.
bool InLineHook = false;

} // namespace

uint64_t SliceEndClock = VisibleCycles;
uint64_t LineEventClock = VisibleCycles;

uint32_t MachineLineHook(ArmState *cpu)
{
    InLineHook = true;
    bool frameEnded = false;
    for (;;) {
        // A halted CPU owes nothing and runs nothing: it waits from event
        // to event, each charged at once, until an enabled interrupt is
        // requested.
        if (HaltState == 1) [[unlikely]] {
            cpu->cyclesLeft = 0;
            cpu->savedCycles = 0;
            cpu->earlyExit = 0;
        }
        const uint64_t now = SliceEndClock;
        SyncTimers(now);
        if (now >= LineEventClock && !LineEvent(frameEnded)) {
            InLineHook = false;
            return LineHookStop;
        }
        uint64_t end = LineEventClock;
        if (IoGet(Io::Ie) & 0x78)
            end = std::min(end, NextTimerInterrupt());
        SliceEndClock = end;
        cpu->sliceLength = int32_t(end - now);
        if (HaltState != 1)
            break;
        if (IoGet(Io::Ie) & IoGet(Io::If) & 0x3FFF) {
            HaltState = 2;
            break;
        }
        if (frameEnded) {
            // Still halted at the frame's end: the next slice, too, runs
            // nothing.
            cpu->cyclesLeft -= cpu->sliceLength;
            break;
        }
    }
    InLineHook = false;
    const uint32_t pending = PendingInterrupts();
    cpu->irqRequest = pending;
    return pending;
}

void RescheduleSlice()
{
    if (InLineHook)
        return;
    SyncTimers(CpuClock());
    const uint64_t next = NextTimerInterrupt();
    if (next >= SliceEndClock)
        return;
    ArmState &cpu = ConsoleCpu;
    const int32_t cut = int32_t(SliceEndClock - next);
    SliceEndClock = next;
    cpu.sliceLength -= cut;
    if (cpu.earlyExit)
        cpu.savedCycles -= cut;
    else
        cpu.cyclesLeft -= cut;
}

void ResetMachineClock() { SliceEndClock = LineEventClock = uint64_t(VisibleCycles); }

void ResumeMachineClock(uint32_t timerLead)
{
    const uint64_t part = (IoGet(Io::DispStat) & 2) ? HBlankCycles : VisibleCycles;
    SliceEndClock = uint64_t(ConsoleCpu.sliceLength);
    LineEventClock = std::max(part, SliceEndClock);
    TimerClock = timerLead;
}

uint32_t TimerLead()
{
    const uint64_t sliceStart = SliceEndClock - uint64_t(ConsoleCpu.sliceLength);
    return TimerClock > sliceStart ? uint32_t(TimerClock - sliceStart) : 0;
}

} // namespace Tavrin
