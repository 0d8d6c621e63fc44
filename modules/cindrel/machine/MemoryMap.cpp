// The CPU's view of memory.
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/machine/LineStep.h"
#include "modules/cindrel/machine/MapperFramework.h"
#include "modules/sounddriver/SoundDriver.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace Cindrel {

uint8_t *FetchMap[8];
bool FrameDone;

Cpu6502State Cpu;
uint8_t PadState[2];
uint8_t PadMask[2];
uint8_t PadStrobe;
int HPeriod = 114;
int VPeriod = 29829;
int LineStep;
uint8_t CurrentLine;
int FrameSkip = 1;
int FrameSkipCounter;
int64_t CycleTotal;
bool QuitFlag;
uint8_t DiskControl;
uint32_t DiskPosition;
uint8_t DiskSide;
MapperStateRecord MapperState;
MapperWriteFn MapperWrite;
MapperLineFn MapperLine;
bool MapperLineAfterDrawing;
MapperReadFn MapperRead;
LineRendererFn LineRenderer;
uint8_t IrqSources;

void HoldIrq(uint8_t source)
{
    IrqSources |= source;
    Cpu.pendingInterrupt = IntIrq;
}

// The request goes with the last source; a waiting NMI stays.
void ReleaseIrq(uint8_t source)
{
    IrqSources &= uint8_t(~source);
    if (!IrqSources && Cpu.pendingInterrupt == IntIrq)
        Cpu.pendingInterrupt = IntNone;
}

// The machine's clock in CPU cycles: where the running slice began, and
// when the sound unit next wants a LineHook (two cycles after its next step
// that can raise the IRQ line: the CPU polls the line on an instruction's
// next-to-last cycle, so a line raised on the last one is taken only after
// the next instruction).
int64_t SliceStart;
int64_t SoundHookAt = INT64_MAX;

// A status read at the start of the blank took this frame's NMI with it.
bool StatusReadAsBlankBegan;

// The sound unit's hold on the IRQ line follows its flags.
void FollowSoundIrq()
{
    if (ApuIrqLine(SoundUnit))
        HoldIrq(IrqFromSound);
    else
        ReleaseIrq(IrqFromSound);
    const int64_t event = ApuNextEvent(SoundUnit);
    SoundHookAt = event == INT64_MAX ? event : event + 2;
}

// The controllers take the buttons while the strobe is high. The player's
// hands are read at the first strobe of each frame: a press made before a
// frame reaches a game that reads its pad during that frame, and a game
// that strobes in a loop does not poll the host each time.
bool PadsStale = true;

namespace {

bool SoundHoldsIrq() { return IrqSources & IrqFromSound; }

// Ends the running slice at cycle `at` when it would end later, so that
// LineHook comes then; the countdown is lowered as sprite DMA lowers it.
void EndSliceBy(int64_t at)
{
    const int64_t end = SliceStart + Cpu.linePeriod;
    at = std::max(at, SliceStart + 1);
    if (at >= end)
        return;
    const int32_t cut = int32_t(end - at);
    Cpu.linePeriod -= cut;
    if (Cpu.cliDelay)
        Cpu.savedCyclesLeft -= cut; // the countdown parked behind CLI's one-instruction wait
    else
        Cpu.cyclesLeft -= cut;
}

void LatchPads()
{
    PadsStale = false;
    ReadPadState();
    for (uint8_t &pad : PadState) {
        if (pad & 0x10)
            pad &= uint8_t(~0x20);
        if (pad & 0x80)
            pad &= uint8_t(~0x40);
    }
}

// $4000-$4015 and $4017, at the cycle of the write.
void WriteSound(int reg, uint8_t value)
{
    const int64_t now = MachineCycle();
    RunSound(now - 1);
    // Not stored at $4015: that byte of the fetch page is the mark that
    // sends code run there to the devices.
    ApuWrite(SoundUnit, reg, value);
    const bool held = SoundHoldsIrq();
    FollowSoundIrq();
    // An interrupt the write raised on this instruction's last cycle is
    // polled by the next one.
    EndSliceBy(SoundHoldsIrq() && !held ? now + 1 : SoundHookAt);
}

uint8_t ReadSoundStatus(SoundUnitState &unit)
{
    RunSound(MachineCycle() - 1);
    const uint8_t status = ApuReadStatus(unit);
    FollowSoundIrq();
    return status;
}

// A mapper write may switch the banks the delta channel reads from, or
// reach the second sound unit: the units first catch up to it.
void MapperWriteNow(uint16_t address, uint8_t value)
{
    if (!MapperWrite)
        return;
    RunSound(MachineCycle() - 1);
    FollowSoundIrq();
    MapperWrite(address, value);
}

// The I/O space $2000-$5FFF, off the one-look-up path: kept out of line so
// that the memory map's fast paths stay small.
__attribute__((noinline)) uint8_t ReadIo(uint16_t address)
{
    if (address < 0x4000) {
        // A status read begun as the blank's flag rose (the read, on the
        // last of its four cycles, done within five cycles of the rise)
        // takes the frame's NMI with it; a later read clears the flag but
        // leaves the NMI coming.
        if ((address & 7) == 2 && LineStep == 2 && MachineCycle() <= SliceStart + 5)
            StatusReadAsBlankBegan = true;
        return ReadPpuRegister(address & 7);
    }
    if (address == 0x4015)
        return ReadSoundStatus(SoundUnit);
    if (address == 0x4016) {
        uint8_t v = uint8_t(0x40 | ((PadState[0] & PadMask[0]) ? 1 : 0));
        PadMask[0] = uint8_t(PadMask[0] << 1);
        return v;
    }
    if (address == 0x4017) {
        uint8_t v = 0x40;
        if ((PpuRegisters[2] & 0xC0) != 0x40)
            v |= 8;
        if (PadState[1] & PadMask[1])
            v |= 1;
        PadMask[1] = uint8_t(PadMask[1] << 1);
        return v;
    }
    if (MapperRead) {
        const int value = MapperRead(address);
        if (value >= 0)
            return uint8_t(value);
    }
    if (address == 0x5015 && Cartridge.mapper == 5)
        return ReadSoundStatus(MapperState.sound);
    // Nothing answers: the bus keeps the address's high byte, the last
    // byte the CPU fetched for an absolute operand.
    return uint8_t(address >> 8);
}

__attribute__((noinline)) void WriteIo(uint16_t address, uint8_t value)
{
    if (address < 0x4000) {
        WritePpuRegister(address & 7, value);
        return;
    }
    if (address == 0x4014) {
        const uint8_t start = PpuRegisters[3];
        for (int i = 0; i < 256; ++i)
            SpriteRam[uint8_t(start + i)] = ReadMemory(uint16_t((value << 8) + i));
        // The CPU halts for a cycle, then reads and writes on alternate
        // cycles; a write made on an odd cycle waits one more to fall in
        // step.
        Cpu.cyclesLeft -= 513 + int((MachineCycle() - 1) & 1);
        return;
    }
    if (address == 0x4016) {
        // The VS boards switch pattern banks here; boards with a mapper of
        // their own decode it themselves.
        if (Cartridge.vsSystem && VromBuffer && !MapperWrite)
            MapVideoPages(0, 7, VromBuffer + (value & ((VromMask & 1) ? 4 : 0)) * 0x800);
        if ((value & 1) && PadsStale)
            LatchPads();
        if (PadStrobe && !(value & 1))
            PadMask[0] = PadMask[1] = 1;
        PadStrobe = value & 1;
        return;
    }
    if (address <= 0x4015) {
        WriteSound(address & 255, value);
        return;
    }
    if (address == 0x4017)
        WriteSound(0x17, value);
    MapperWriteNow(address, value);
}

} // namespace

uint8_t ReadMemory(uint16_t address)
{
    if (uint16_t(address - 0x2000) >= 0x4000)
        return FetchMap[address >> 13][address & 0x1FFF];
    return ReadIo(address);
}

void WriteMemory(uint16_t address, uint8_t value)
{
    if (address < 0x2000) {
        uint8_t *ram = CpuSpace + (address & 0x7FF);
        ram[0] = ram[0x800] = ram[0x1000] = ram[0x1800] = value;
        return;
    }
    if (address >= 0x6000 && address < 0x8000) {
        if (MapperWrite && MapperWrite(address, value))
            return;
        // Cartridge RAM is written where it is read from; ROM, or a board
        // without RAM, mapped there ignores the write.
        uint8_t *page = FetchMap[3];
        if (page >= CpuSpace + 0x6000 && page < CpuSpace + 0x6000 + Cartridge.ramPages * 0x2000)
            page[address & 0x1FFF] = value;
        return;
    }
    if (address >= 0x8000) {
        MapperWriteNow(address, value);
        return;
    }
    WriteIo(address, value);
}

void RunSound(int64_t cycle)
{
    ApuRunTo(SoundUnit, cycle);
    if (Cartridge.mapper == 5)
        ApuRunTo(MapperState.sound, cycle);
}

int64_t MachineCycle()
{
    int32_t left = Cpu.cyclesLeft;
    if (Cpu.cliDelay)
        left += Cpu.savedCyclesLeft - 1;
    return SliceStart + Cpu.linePeriod - left;
}

} // namespace Cindrel
