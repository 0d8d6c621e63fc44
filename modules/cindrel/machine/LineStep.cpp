// The per-line event step and the hardware reset.
#include "modules/cindrel/machine/LineStep.h"
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/machine/MapperFramework.h"
#include "modules/sounddriver/SoundDriver.h"

#include <climits>
#include <cstring>

namespace Cindrel {

uint8_t SpriteZeroLine = 255;

namespace {

// Where the next line step is due, in CPU cycles.
int64_t NextLineAt;

constexpr int VisibleCycles(int h) { return h * 256 / 341; }

__attribute__((noinline)) void SoundHook()
{
    RunSound(SliceStart - 1);
    FollowSoundIrq();
}

// Moves VramAddress to the line about to be drawn, as the hardware's
// address counter does at the end of each line.
void AdvanceAddress(int line)
{
    uint32_t a = VramAddress;
    if (line == 0) {
        a = ((ScrollY & 0xF8) << 2) | ((PpuRegisters[0] & 3u) << 10) | ((ScrollY & 7) << 12) | (ScrollX >> 3);
        if (((a >> 5) & 31) >= 30)
            a = (a - 0x40) ^ 0x800;
    } else {
        if (((a >> 5) & 31) >= 30)
            a = (a - 0x40) ^ 0x800;
        a += 0x1000;
        if (a & 0x8000) {
            a &= 0x7FFF;
            if (((a >> 5) & 31) >= 29)
                a = (a & ~0x3E0u) ^ 0x800;
            else
                a += 0x20;
        }
        a = (a & 0xFBE0) | ((PpuRegisters[0] & 1u) << 10) | (ScrollX >> 3);
    }
    VramAddress = uint16_t(a);
}

int StartOfLine(Cpu6502State &cpu)
{
    const int line = CurrentLine;
    if (FrameSkipCounter == 0) {
        if (PpuRegisters[1] & 0x18)
            AdvanceAddress(line);
        const uint32_t a = VramAddress;
        const int x = int(((a >> 10) & 1) * 256 + (a & 31) * 8 + (ScrollX & 7));
        const int y = int(((a >> 11) & 1) * 256 + ((a >> 5) & 31) * 8 + ((a >> 12) & 7));
        if (LineRenderer && LineRenderer(line, x, y) && SpriteZeroLine == 255)
            SpriteZeroLine = uint8_t(line);
    }
    if (line == SpriteZeroLine)
        PpuRegisters[2] |= 0x40;
    if (MapperLine && !MapperLineAfterDrawing)
        CycleTotal = MapperLine(int32_t(CycleTotal)); // a line or two: always small here
    LineStep = 1;
    cpu.linePeriod = VisibleCycles(HPeriod);
    return cpu.pendingInterrupt;
}

void SetOverflow(int overflow)
{
    PpuRegisters[2] = uint8_t(overflow ? (PpuRegisters[2] | 0x20) : (PpuRegisters[2] & ~0x20));
}

int StartOfVerticalBlank(Cpu6502State &cpu)
{
    // The driver hears the channels as the sequencer has clocked them. The
    // unit runs only to the instruction's next-to-last cycle, the last one
    // its IRQ line can reach the CPU's poll on; SoundHook takes the rest.
    RunSound(SliceStart - 2);
    FollowSoundIrq();
    ApuSync(SoundUnit, 0x82);
    if (Cartridge.mapper == 5)
        ApuSync(MapperState.sound, 0x82);
    MidiTicks(Cartridge.pal ? 20 : 17);
    TriggerSound();
    PadsStale = true;
    FrameDone = true;
    DecayIoLatch();
    if (FrameSkipCounter) {
        --FrameSkipCounter;
    } else {
        FrameSkipCounter = FrameSkip - 1;
        PresentFrame();
    }
    if (FrameSkipCounter == 0)
        SpriteZeroLine = 255;
    PpuRegisters[2] = uint8_t((PpuRegisters[2] & 0x5F) | 0x80);
    StatusReadAsBlankBegan = false;
    LineStep = 2;
    cpu.linePeriod = 4;
    return QuitFlag ? int(IntQuit) : int(cpu.pendingInterrupt);
}

int LineStepHook(Cpu6502State &cpu)
{
    switch (LineStep) {
    case 0:
        if (CurrentLine < 240)
            return StartOfLine(cpu);
        return StartOfVerticalBlank(cpu);
    case 1:
        if (MapperLineAfterDrawing)
            CycleTotal = MapperLine(int32_t(CycleTotal));
        LineStep = 0;
        ++CurrentLine;
        SetOverflow(PrepareSpriteLine(CurrentLine));
        cpu.linePeriod = HPeriod - VisibleCycles(HPeriod);
        return cpu.pendingInterrupt;
    case 2:
        cpu.linePeriod = VPeriod - 240 * HPeriod - VisibleCycles(HPeriod) - 4;
        LineStep = 3;
        if ((PpuRegisters[0] & 0x80) && !StatusReadAsBlankBegan)
            return IntNmi;
        return cpu.pendingInterrupt;
    default:
        // The end of the visible part of the line before the first.
        if (MapperLineAfterDrawing)
            CycleTotal = MapperLine(int32_t(CycleTotal));
        PpuRegisters[2] &= 0x3F;
        LineStep = 0;
        CurrentLine = 0;
        SetOverflow(PrepareSpriteLine(0));
        cpu.linePeriod = HPeriod - VisibleCycles(HPeriod);
        return cpu.pendingInterrupt;
    }
}

} // namespace

// Line steps 0 and 1 cover the visible lines and the hblank before line 0;
// the rest of the line before the first is the end of the blank's long
// step.
bool PictureFetching()
{
    if (!(PpuRegisters[1] & 0x18))
        return false;
    return LineStep <= 1 || (LineStep == 3 && MachineCycle() >= NextLineAt - VisibleCycles(HPeriod));
}

// Slices end at line steps, and earlier when the sound unit raises the IRQ
// line inside one, so that the CPU sees it within an instruction.
int LineHook(Cpu6502State &cpu)
{
    CycleTotal += cpu.linePeriod;
    const int64_t now = SliceStart += cpu.linePeriod;
    if (now >= SoundHookAt) [[unlikely]]
        SoundHook();
    if (IrqSources) [[unlikely]]
        cpu.pendingInterrupt = IntIrq; // a line held low interrupts again after each handler
    int code = cpu.pendingInterrupt;
    if (now >= NextLineAt) {
        code = LineStepHook(cpu);
        NextLineAt = now + cpu.linePeriod;
    } else {
        cpu.linePeriod = int32_t(NextLineAt - now);
    }
    // The sound unit's next step lies after now: it ran up to now - 1.
    if (SoundHookAt < NextLineAt) [[unlikely]]
        cpu.linePeriod = int32_t(SoundHookAt - now);
    return code;
}

void RestartSlice()
{
    NextLineAt = SliceStart + Cpu.linePeriod;
    RunSound(MachineCycle() - 1);
    FollowSoundIrq();
}

void MachineReset()
{
    IrqSources = 0;
    SetupMapper(Cartridge.mapper);
    PadState[0] = PadState[1] = 0;
    PadsStale = true;
    PadMask[0] = PadMask[1] = 1;
    std::memset(SpriteRam, 0, sizeof SpriteRam);
    PpuRegisters[0] = 0;
    PpuRegisters[1] = 0;
    SetMirroring(MirroringMode | 128);
    PpuBgPalette = VideoSpace + 0x3F00;
    PpuSpritePalette = VideoSpace + 0x3F10;
    SelectPatternTables();
    SpriteLineTable.lastSprite = -1;
    PadStrobe = 0;
    WriteToggle = 0;
    CurrentLine = 0;
    ScrollX = 0;
    SpriteZeroLine = 255;
    VramAddress = 0;
    ReadBuffer = 0;
    StatusReadAsBlankBegan = false;
    DiskControl = 0;
    DiskPosition = 0;
    DiskSide = 255;
    // A reset press keeps the frame sequencer's mode; power-on starts it at 0.
    ApuReset(SoundUnit, (Cartridge.pal ? ApuPal : 0) | (CartridgeStarted ? ApuWarm : 0));
    Cpu6502Reset(Cpu);
    RestartSlice();
}

} // namespace Cindrel
