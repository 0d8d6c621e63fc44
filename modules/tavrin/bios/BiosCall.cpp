// The software-interrupt entry: into the BIOS image when one was loaded,
// else the call done here, found by its number in one table.
#include "modules/tavrin/bios/BiosCall.h"

#include "common/zorvan/Console.h"
#include "modules/tavrin/bios/BiosArithmetic.h"
#include "modules/tavrin/bios/BiosMemory.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/render/RenderState.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Tavrin {

uint32_t WaitCallPc = 0;
uint32_t WaitSavedR12 = 0;

namespace {

uint32_t CallNumber = 0;

constexpr uint32_t IntrFlagsAddress = 0x03000000 + BiosIntrFlagsOffset;

uint32_t InstructionSize(const ArmState *s) { return (s->cpsr & FlagT) ? 2 : 4; }

// Runs the SWI again after the next line step.
void RepeatAfterLineStep(ArmState *s)
{
    s->cyclesLeft = 0;
    s->r[15] -= InstructionSize(s);
}

// Halts on the SWI: it runs again once an interrupt is pending, after the
// game's handler has marked what it served.
void HaltOnCall(ArmState *s)
{
    RepeatAfterLineStep(s);
    HaltState = 1;
}

void Wait(ArmState *s, uint32_t discard, uint32_t mask)
{
    // Running this call, the CPU is awake.
    HaltState = 0;
    const uint32_t flags = BusRead16(IntrFlagsAddress);
    if (WaitCallPc == s->r[15]) {
        if (!(flags & mask)) {
            HaltOnCall(s);
            return;
        }
        BusWrite16(IntrFlagsAddress, flags & ~mask);
        s->r[12] = WaitSavedR12;
        WaitCallPc = 0;
        return;
    }
    IoSet(Io::Ime, 1);
    IoSet(Io::Ie, IoGet(Io::Ie) | mask);
    // A timer interrupt just enabled wakes the CPU at its own cycle.
    RescheduleSlice();
    if (discard)
        BusWrite16(IntrFlagsAddress, flags & ~mask);
    WaitSavedR12 = s->r[12];
    s->r[12] = 0x04000000;
    WaitCallPc = s->r[15];
    // A flag already marked is taken after one line step, without a halt.
    if (!discard && (flags & mask))
        RepeatAfterLineStep(s);
    else
        HaltOnCall(s);
}

void ClearBlock(uint8_t *block, uint32_t size)
{
    if (block)
        std::memset(block, 0, size);
}

void SoftReset(ArmState *s)
{
    BiosTrace("%sReset(0x%08X)", "Soft", s->r[0]);
    uint8_t *iwram = MachineBlocks.iwram;
    const uint32_t back = iwram && iwram[SoftResetFlagOffset] ? 0x02000000 : 0x08000000;
    if (iwram)
        std::memset(iwram + 0x7E00, 0, 0x200);
    const int32_t cycles = s->cyclesLeft;
    ArmReset(s, s->highVectors);
    s->cyclesLeft = cycles;
    s->cpsr = 0x1F;
    s->r13Svc = 0x03007FE0;
    s->r13Irq = 0x03007FA0;
    s->r[13] = 0x03007F00;
    s->r[14] = back;
    s->r[15] = back;
    ArmEarlyExit(s);
}

void RegisterRamReset(ArmState *s)
{
    const uint32_t flags = s->r[0];
    BiosTrace("%sReset(0x%08X)", "RegisterRAM", flags);
    if (flags & 1)
        ClearBlock(MachineBlocks.ewram, EwramSize);
    if (flags & 2)
        ClearBlock(MachineBlocks.iwram, 0x7E00);
    if (flags & 4) {
        ClearBlock(MachineBlocks.palette, PaletteSize);
        RenderDirtyFlags |= DirtyPalette;
    }
    if (flags & 8) {
        ClearBlock(MachineBlocks.vram, VramSize);
        VramPartsStored = ~uint64_t(0);
    }
    if (flags & 16) {
        ClearBlock(MachineBlocks.oam, OamSize);
        RenderDirtyFlags |= 4;
    }
}

void Halt(ArmState *)
{
    BiosTrace("Halt()");
    BusWrite8(0x04000301, 0x00);
}
void Stop(ArmState *)
{
    BiosTrace("Stop()");
    BusWrite8(0x04000301, 0x80);
}
void IntrWait(ArmState *s)
{
    BiosTrace("IntrWait(0x%08X,0x%08X)", s->r[0], s->r[1]);
    Wait(s, s->r[0], s->r[1]);
}
void VBlankIntrWait(ArmState *s)
{
    BiosTrace("VBlankIntrWait()");
    Wait(s, 1, 1);
}
void CpuSet(ArmState *s)
{
    BiosTrace("CPUSet(0x%08X,0x%08X,0x%08X)", s->r[0], s->r[1], s->r[2]);
    BiosCpuSet(s);
}
void CpuFastSet(ArmState *s)
{
    BiosTrace("CPUFastSet(0x%08X,0x%08X,0x%08X)", s->r[0], s->r[1], s->r[2]);
    BiosCpuFastSet(s);
}
void BiosChecksum(ArmState *s)
{
    BiosTrace("BIOSChecksum()");
    s->r[0] = 0xBAAE187F;
}
void BgAffineSet(ArmState *s)
{
    BiosTrace("BgAffineSet(0x%08X,0x%08X,%d)", s->r[0], s->r[1], int(s->r[2]));
    BiosBgAffineSet(s);
}
void ObjAffineSet(ArmState *s)
{
    BiosTrace("ObjAffineSet(0x%08X,0x%08X,%d,%d)", s->r[0], s->r[1], int(s->r[2]), int(s->r[3]));
    BiosObjAffineSet(s);
}
void BitUnPack(ArmState *s)
{
    BiosTrace("BitUnPack(0x%08X,0x%08X,0x%08X)", s->r[0], s->r[1], s->r[2]);
    BiosBitUnPack(s);
}

// The header word of a compressed block, when its type matches and the
// block lies in a cartridge or RAM region; else none.
bool AcceptHeader(const ArmState *s, uint32_t typeMask, uint32_t type, uint32_t &length)
{
    const uint32_t source = s->r[0];
    const uint32_t header = BusRead32(source);
    length = header >> 8;
    return ((source + length) & source & 0x0E000000) && (header & typeMask) == type;
}

void LZ77(ArmState *s)
{
    const bool vram = CallNumber == 0x12;
    BiosTrace("LZ77UnComp%cRAM(0x%08X,0x%08X)", vram ? 'V' : 'W', s->r[0], s->r[1]);
    uint32_t length;
    if (AcceptHeader(s, 0xF0, 0x10, length))
        BiosLZ77UnComp(s->r[0] + 4, s->r[1], length, vram);
}
void Huffman(ArmState *s)
{
    BiosTrace("HuffUnComp(0x%08X,0x%08X)", s->r[0], s->r[1]);
    uint32_t length;
    if (AcceptHeader(s, 0xF0, 0x20, length))
        BiosHuffUnComp(s->r[0] + 4, s->r[1], length, BusRead8(s->r[0]) & 15);
}
void RunLength(ArmState *s)
{
    const bool vram = CallNumber == 0x15;
    BiosTrace("RLUnComp%cRAM(0x%08X,0x%08X)", vram ? 'V' : 'W', s->r[0], s->r[1]);
    BiosRLUnComp(s->r[0] + 4, s->r[1], BusRead32(s->r[0]) >> 8, vram);
}
void Diff8(ArmState *s)
{
    const bool vram = CallNumber == 0x17;
    BiosTrace("Diff8bitUnFilter%cRAM(0x%08X,0x%08X)", vram ? 'V' : 'W', s->r[0], s->r[1]);
    uint32_t length;
    if (AcceptHeader(s, 0xFF, 0x81, length))
        BiosDiffUnFilter(s->r[0] + 4, s->r[1], length, 1, vram);
}
void Diff16(ArmState *s)
{
    BiosTrace("Diff16bitUnFilter(0x%08X,0x%08X)", s->r[0], s->r[1]);
    uint32_t length;
    if (AcceptHeader(s, 0xFF, 0x82, length))
        BiosDiffUnFilter(s->r[0] + 4, s->r[1], length, 2, true);
}

void MidiKey2Freq(ArmState *s)
{
    BiosTrace("MIDIKey2Freq(0x%08X,%u,%u)", s->r[0], s->r[1], s->r[2]);
    const double f = BusRead32(s->r[0] + 4);
    const uint32_t e = (180 - s->r[1]) * 256 - s->r[2];
    s->r[0] = uint32_t(int64_t(f / std::pow(2.0, e / 3072.0)));
}
void GetJumpList(ArmState *s)
{
    BiosTrace("GetJumpList(0x%08X)", s->r[0]);
    for (uint32_t i = 0; i < 36; ++i)
        BusWrite32(s->r[0] + 4 * i, 0x30);
}

// The sound driver's calls only leave a trace.
void SoundBiasChange(ArmState *s) { BiosTrace("SoundBiasChange(0x%08X)", s->r[0]); }
void SoundDriverInit(ArmState *s) { BiosTrace("SoundDriverInit(0x%08X)", s->r[0]); }
void SoundDriverMode(ArmState *s) { BiosTrace("SoundDriverMode(0x%08X)", s->r[0]); }
void SoundDriverMain(ArmState *) { BiosTrace("SoundDriverMain()"); }
void SoundDriverVSync(ArmState *) { BiosTrace("SoundDriverVSync()"); }
void SoundChannelClear(ArmState *) { BiosTrace("SoundChannelClear()"); }
void MusicPlayerOpen(ArmState *s) { BiosTrace("MusicPlayerOpen(0x%08X,0x%08X,%u)", s->r[0], s->r[1], s->r[2]); }
void MusicPlayerStart(ArmState *s) { BiosTrace("MusicPlayerStart(0x%08X,0x%08X)", s->r[0], s->r[1]); }
void MusicPlayerStop(ArmState *s) { BiosTrace("MusicPlayerStop(0x%08X)", s->r[0]); }
void MusicPlayerContinue(ArmState *s) { BiosTrace("MusicPlayerContinue(0x%08X)", s->r[0]); }
void MusicPlayerFadeOut(ArmState *s) { BiosTrace("MusicPlayerFadeOut(0x%08X,%u)", s->r[0], s->r[1]); }
void MultiBoot(ArmState *s) { BiosTrace("MultiBoot(0x%08X)", s->r[0]); }
void SoundDriverVSyncOff(ArmState *) { BiosTrace("SoundDriverVSyncOff()"); }
void SoundDriverVSyncOn(ArmState *) { BiosTrace("SoundDriverVSyncOn()"); }

using BiosHandler = void (*)(ArmState *);
constexpr uint32_t CallCount = 0x2B;
constexpr BiosHandler Calls[CallCount] = {
    SoftReset, RegisterRamReset, Halt, Stop, IntrWait, VBlankIntrWait, BiosDiv, BiosDivArm,
    BiosSqrt, BiosArcTan, BiosArcTan2, CpuSet, CpuFastSet, BiosChecksum, BgAffineSet, ObjAffineSet,
    BitUnPack, LZ77, LZ77, Huffman, RunLength, RunLength, Diff8, Diff8,
    Diff16, SoundBiasChange, SoundDriverInit, SoundDriverMode, SoundDriverMain, SoundDriverVSync, SoundChannelClear,
    MidiKey2Freq, MusicPlayerOpen, MusicPlayerStart, MusicPlayerStop, MusicPlayerContinue, MusicPlayerFadeOut,
    MultiBoot, nullptr, nullptr, SoundDriverVSyncOff, SoundDriverVSyncOn, GetJumpList,
};

} // namespace

void BiosTrace(const char *fmt, ...)
{
    if (!(LogFlags & 0x20))
        return;
    char text[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    printConsole("BIOS #0x%02X: %s\n", CallNumber, text);
}

void MachineBiosCall(ArmState *s, uint32_t comment)
{
    const uint32_t number = comment > 0x10000 ? comment >> 16 : comment;
    if (BiosLoaded & 1) {
        // As the CPU enters any exception: interrupts off until the BIOS
        // turns them on or returns.
        s->spsrSvc = s->cpsr;
        ArmSwitchMode(s, (s->cpsr & ~0x3Fu) | FlagI | ModeSupervisor);
        s->r[14] = s->r[15];
        s->r[15] = s->highVectors ? 0xFFFF0008 : 8;
        return;
    }
    if (number >= CallCount || !Calls[number]) {
        if (LogFlags & 0x20)
            printConsole("ARM: Called SWI #0x%02X at PC=0x%08X\n", number, s->r[15]);
        return;
    }
    CallNumber = number;
    Calls[number](s);
}

} // namespace Tavrin
