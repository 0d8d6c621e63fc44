// The display processor as the program sees it: control and data ports,
// registers and screen modes, interrupts, the scroll latch, the palette
// writes and the sprite collision test.
#include "modules/belcrest/vdp/Vdp.h"

#include "common/zorvan/Console.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineHooks.h"

#include <cstring>

namespace Belcrest {

uint8_t VdpRegisters[16];
uint8_t VdpStatus;
uint8_t VdpLinePending;
uint8_t VdpIrqBits;
uint8_t VdpLatchEmpty = 1;
uint8_t VdpFirstByte;
uint16_t VdpAddress;
uint8_t VdpReadBuffer;
uint8_t VdpAccessMode;
uint8_t VdpVramSelected = 1;
uint8_t VdpColourIndex;
uint8_t VdpMode = VdpMode4;
uint16_t VdpTableBase[VdpTableCount];
uint8_t VdpHLatch;
uint8_t VdpVScroll;
uint8_t VdpBackdrop;
uint8_t VdpTextColour;
alignas(64) uint8_t VdpMemory[VramSize + ColourRamSize];

const VdpModeRow VdpModeTable[5] = {
    {RenderTextLine, {0x7F, 0x00, 0x3F, 0x00, 0x3F}},
    {RenderGraphics1Line, {0x7F, 0xFF, 0x3F, 0xFF, 0x3F}},
    {RenderGraphics2Line, {0x7F, 0x80, 0x3C, 0xFF, 0x3F}},
    {RenderMulticolorLine, {0x7F, 0x00, 0x3F, 0xFF, 0x3F}},
    {RenderMode4Line, {0x0E, 0x00, 0x00, 0x7E, 0x04}},
};

namespace {

// VRAM units of registers 2-6, in VdpTable order.
constexpr unsigned TableUnit[VdpTableCount] = {0x400, 0x40, 0x800, 0x80, 0x800};
// Register of each table.
constexpr unsigned TableRegister[VdpTableCount] = {2, 3, 4, 5, 6};

// The TMS chip's colours, palette entries 32-47.
constexpr uint8_t TmsPalette[16][3] = {
    {0, 0, 0},       {0, 0, 0},     {32, 192, 32},   {96, 224, 96},  {32, 32, 224},  {64, 96, 224},
    {160, 32, 32},   {64, 192, 224}, {224, 32, 32},  {224, 96, 96},  {192, 192, 32}, {192, 192, 128},
    {32, 128, 32},   {192, 64, 160}, {160, 160, 160}, {224, 224, 224},
};

unsigned ColourRamMask() { return IsGameGear() ? 0x3F : 0x1F; }

// Palette entry of colour-RAM byte i: Game Gear entries take a byte pair
// (12-bit colour), the others one byte (6-bit colour).
void PushPaletteEntry(unsigned i)
{
    if (IsGameGear()) {
        const uint8_t lo = ColourRam[i & 0x3E], hi = ColourRam[i | 1];
        SetPaletteColor(int(i / 2), (lo & 0x0F) * 17, (lo >> 4) * 17, (hi & 0x0F) * 17);
    } else {
        const uint8_t v = ColourRam[i];
        SetPaletteColor(int(i), (v & 3) * 85, ((v >> 2) & 3) * 85, ((v >> 4) & 3) * 85);
    }
}

unsigned TableOffset(unsigned table, unsigned mode)
{
    const uint8_t v = VdpRegisters[TableRegister[table]];
    return ((v & VdpModeTable[mode].masks[table]) * TableUnit[table]) & VramMask;
}

unsigned ModeFromRegisters()
{
    if (IsGameGear())
        return VdpMode4;
    switch ((VdpRegisters[1] & 0x18) | (VdpRegisters[0] & 0x07)) {
    case 0x00: return VdpModeGraphics1;
    case 0x02: return VdpModeGraphics2;
    case 0x08: return VdpModeMulticolor;
    case 0x10: return VdpModeText;
    default: return MachineType() == MachineMasterSystem ? VdpMode4 : VdpModeGraphics1;
    }
}

} // namespace

void VdpSetIrq(uint8_t bits)
{
    if (bits & 0x80)
        VdpIrqBits &= bits;
    else
        VdpIrqBits |= bits;
    MachineCpu.pendingInterrupt = VdpIrqBits ? 0x00FF : Z80VectorNone;
}

void VdpSetTables(unsigned mode)
{
    for (unsigned t = 0; t < VdpTableCount; ++t)
        VdpTableBase[t] = uint16_t(TableOffset(t, mode));
}

void VdpLatchScroll()
{
    const bool locked = (VdpRegisters[0] & 0x40) && CurrentLine < 16;
    VdpHLatch = locked ? 0 : uint8_t(256 - VdpRegisters[8]);
}

void VdpLatchVScroll() { VdpVScroll = VdpRegisters[9]; }

void VdpWriteRegister(unsigned reg, uint8_t value)
{
    reg &= 15;
    if (VerboseFlags & 0x20)
        printConsole("VDP[%d]=%02Xh in line %d\n", reg, value, CurrentLine);
    if (reg >= 8 && !(MachineWord & MachineHasMapper))
        return;
    VdpRegisters[reg] = value;
    switch (reg) {
    case 2: case 3: case 4: case 5: case 6: {
        const unsigned t = reg - 2;
        VdpTableBase[t] = uint16_t(TableOffset(t, VdpMode));
        return;
    }
    case 7:
        VdpBackdrop = value & 0x0F;
        VdpTextColour = value >> 4;
        return;
    case 8: case 9:
        VdpLatchScroll();
        return;
    case 0:
    case 1:
        break;
    default:
        return;
    }
    if (reg == 1) {
        if (VdpStatus & VdpStatusFrame)
            VdpSetIrq((VdpRegisters[1] & 0x20) ? 1 : 0xFE);
        if (VdpLinePending)
            VdpSetIrq((VdpRegisters[0] & 0x10) ? 2 : 0xFD);
    }
    const unsigned mode = ModeFromRegisters();
    if (mode != VdpMode) {
        VdpSetTables(mode);
        VdpMode = uint8_t(mode);
        if (VerboseFlags & 0x20)
            printConsole("Screen Mode %d[%d] in line %d\n", mode,
                         (VdpRegisters[1] & 0x18) | (VdpRegisters[0] & 0x07), CurrentLine);
    }
}

void VdpWriteControl(uint8_t b)
{
    if (VdpLatchEmpty) {
        VdpFirstByte = b;
        VdpLatchEmpty = 0;
        return;
    }
    VdpLatchEmpty = 1;
    const uint8_t kind = b & 0xF0;
    if (kind == 0x80) {
        VdpWriteRegister(b & 0x0F, VdpFirstByte);
    } else if (kind >= 0xC0) {
        VdpVramSelected = 0;
        VdpColourIndex = uint8_t(VdpFirstByte & ColourRamMask());
    } else {
        VdpAddress = uint16_t((b << 8 | VdpFirstByte) & VramMask);
        VdpVramSelected = 1;
        VdpAccessMode = b & 0xC0;
        if ((b & 0x80) && (VerboseFlags & 0x40))
            printConsole("VADDR set to %04Xh in mode %02Xh\n", VdpAddress, VdpAccessMode);
        if (VdpAccessMode == 0) {
            VdpReadBuffer = Vram[VdpAddress];
            if (!(MachineWord & MachineReadSetupStays))
                VdpAddress = (VdpAddress + 1) & VramMask;
        }
    }
}

void VdpWriteData(uint8_t v)
{
    VdpLatchEmpty = 1;
    if (VdpVramSelected) {
        // The chip stores at the current address whatever the last setup
        // was; after a read setup at A that is A + 1.
        if (VdpAccessMode == 0 && (VerboseFlags & 0x40))
            printConsole("WRITE VRAM[%04Xh]=%02Xh in read mode\n", VdpAddress, v);
        Vram[VdpAddress] = v;
        VdpReadBuffer = v;
        VdpAddress = (VdpAddress + 1) & VramMask;
        return;
    }
    const unsigned i = VdpColourIndex & ColourRamMask();
    ColourRam[i] = v;
    PushPaletteEntry(i);
    VdpColourIndex = uint8_t((i + 1) & ColourRamMask());
}

uint8_t VdpReadData()
{
    // A data access ends a half-written control pair, reads as well as
    // writes.
    VdpLatchEmpty = 1;
    if (VdpVramSelected) {
        const uint8_t result = VdpReadBuffer;
        if (VdpAccessMode != 0 && (VerboseFlags & 0x40))
            printConsole("READ VRAM[%04Xh]=%02Xh in write mode\n", VdpAddress, result);
        VdpReadBuffer = Vram[VdpAddress];
        VdpAddress = (VdpAddress + 1) & VramMask;
        return result;
    }
    const unsigned i = VdpColourIndex & ColourRamMask();
    VdpColourIndex = uint8_t((i + 1) & ColourRamMask());
    return ColourRam[i];
}

uint8_t VdpReadStatus()
{
    VdpSetIrq(0xFC);
    VdpLinePending = 0;
    VdpLatchEmpty = 1;
    const uint8_t result = VdpStatus;
    VdpStatus &= 0x1F;
    return result;
}

bool SpriteCollision()
{
    // Four-byte entries (Y, X, name, colour), 32 of them; the sprites are
    // square, and twice as large magnified.
    const unsigned base = VdpTableBase[VdpSpriteTable];
    int x[32], y[32];
    unsigned n = 0;
    for (; n < 32; ++n) {
        y[n] = Vram[(base + 4 * n) & VramMask];
        if (y[n] == 0xD0)
            break;
        x[n] = Vram[(base + 4 * n + 1) & VramMask];
    }
    const int size = ((VdpRegisters[1] & 0x02) ? 16 : 8) << (VdpRegisters[1] & 0x01);
    for (unsigned j = 0; j < n; ++j) {
        if (y[j] >= 191 && y[j] <= 239)
            continue;
        for (unsigned k = j + 1; k < n; ++k) {
            if (y[k] >= 191 && y[k] <= 239)
                continue;
            if (x[k] > x[j] - size && x[k] < x[j] + size && y[k] > y[j] - size && y[k] < y[j] + size)
                return true;
        }
    }
    return false;
}

void VdpRefreshPalette()
{
    if (IsGameGear()) {
        for (unsigned i = 0; i < 64; i += 2)
            PushPaletteEntry(i);
    } else {
        for (unsigned i = 0; i < 32; ++i)
            PushPaletteEntry(i);
    }
}

void VdpSetTmsPalette()
{
    for (int i = 0; i < 16; ++i)
        SetPaletteColor(32 + i, TmsPalette[i][0], TmsPalette[i][1], TmsPalette[i][2]);
}

void VdpReset()
{
    // The Master System's start-up program leaves register 0 at 0x04 (mode
    // 4), so a game that writes only register 1 stays in mode 4.
    static constexpr uint8_t ResetValues[13] = {0x00, 0x60, 0x0E, 0x00, 0x00, 0x7F, 0x00,
                                                0x00, 0x00, 0x00, 0xFF, 0x00, 0x00};
    std::memcpy(VdpRegisters, ResetValues, sizeof ResetValues);
    if (MachineType() == MachineMasterSystem)
        VdpRegisters[0] = 0x04;
    VdpStatus = 0;
    VdpLinePending = 0;
    VdpIrqBits = 0;
    MachineCpu.pendingInterrupt = Z80VectorNone;
    VdpLatchEmpty = 1;
    VdpFirstByte = 0;
    VdpAddress = 0;
    VdpAccessMode = 0x40;
    VdpVramSelected = 1;
    VdpReadBuffer = Vram[0];
    VdpColourIndex = 0;
    VdpBackdrop = 0;
    VdpTextColour = 0;
    VdpMode = (MachineWord & MachineHasMapper) ? VdpMode4 : VdpModeGraphics1;
    VdpSetTables(VdpMode);
    VdpLatchScroll();
    VdpLatchVScroll();
}

} // namespace Belcrest
