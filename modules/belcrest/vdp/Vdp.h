// The video display processor: ports, registers, screen modes, interrupts,
// VRAM and colour RAM, the scroll latch and the sprite collision test; and
// what the video class sets for the line renderers (frame buffer, host
// colour tables, renderer family).
#pragma once

#include <cstdint>

namespace Belcrest {

inline constexpr unsigned VramSize = 0x4000;
inline constexpr unsigned VramMask = VramSize - 1;
inline constexpr unsigned ColourRamSize = 64;

enum VdpScreenMode : uint8_t {
    VdpModeText = 0,
    VdpModeGraphics1 = 1,
    VdpModeGraphics2 = 2,
    VdpModeMulticolor = 3,
    VdpMode4 = 4,
};

// Status bits.
enum : uint8_t {
    VdpStatusFrame = 0x80,
    VdpStatusOverflow = 0x40, // mode 4: a ninth sprite on a line
    VdpStatusCollision = 0x20,
};

// The table bases, as VRAM offsets (always below VramSize).
enum VdpTable { VdpNameTable, VdpColourTable, VdpPatternTable, VdpSpriteTable, VdpSpritePatterns, VdpTableCount };

extern uint8_t VdpRegisters[16];
extern uint8_t VdpStatus;
// The line interrupt's pending flag: not part of the status byte, but
// acknowledged by a status read like the frame flag.
extern uint8_t VdpLinePending;
extern uint8_t VdpIrqBits;
extern uint8_t VdpLatchEmpty;
extern uint8_t VdpFirstByte;
extern uint16_t VdpAddress;
extern uint8_t VdpReadBuffer;
extern uint8_t VdpAccessMode;
extern uint8_t VdpVramSelected;
extern uint8_t VdpColourIndex;
extern uint8_t VdpMode;
extern uint16_t VdpTableBase[VdpTableCount];
extern uint8_t VdpHLatch;
extern uint8_t VdpVScroll;
extern uint8_t VdpBackdrop;   // register 7 bits 0-3
extern uint8_t VdpTextColour; // register 7 bits 4-7

// VRAM (16 KB) with the colour RAM (64 bytes) right after it.
extern uint8_t VdpMemory[VramSize + ColourRamSize];
inline uint8_t *const Vram = VdpMemory;
inline uint8_t *const ColourRam = VdpMemory + VramSize;

// One row per screen mode: the line routine and the masks of registers 2-6.
struct VdpModeRow {
    void (*render)(int line);
    uint8_t masks[VdpTableCount];
};
extern const VdpModeRow VdpModeTable[5];

// Ports.
void VdpWriteControl(uint8_t value);
void VdpWriteData(uint8_t value);
uint8_t VdpReadData();
uint8_t VdpReadStatus();

void VdpWriteRegister(unsigned reg, uint8_t value);
void VdpSetTables(unsigned mode);
void VdpSetIrq(uint8_t bits);
// Horizontal offset from register 8 and the lock of the top two tile rows.
void VdpLatchScroll();
// Vertical scroll from register 9, as the chip takes it once per frame.
void VdpLatchVScroll();
// The TMS modes' sprite collision test, once a frame (mode 4 finds
// collisions line by line as it finds the sprites).
bool SpriteCollision();
// Finds the mode-4 sprites of active line 0-191 as the chip does, setting
// the overflow and collision status bits, without drawing: for lines the
// renderer does not draw (frame skip, the Game Gear's hidden lines).
void VdpEvaluateSprites(int line);
// Puts the VDP in its reset state for the current machine type.
void VdpReset();
// Palette entries 0-31 from colour RAM (Master System, Game Gear).
void VdpRefreshPalette();
// The TMS palette into palette entries 32-47.
void VdpSetTmsPalette();

// ---- The line renderers' side, set by the video class ----

// The frame surface: 272 x 208 pixels, rows packed (272 pixels apart).
inline constexpr int VdpSurfaceWidth = 272;
inline constexpr int VdpSurfaceHeight = 208;
extern void *VdpFrameBuffer;

// Host colours, one table per pixel depth: 0-15 background palette, 16-31
// sprite palette, 32-47 TMS palette.
inline constexpr int VdpColourCount = 48;
struct VdpColorTables {
    uint8_t c8[VdpColourCount];
    uint16_t c16[VdpColourCount];
    uint32_t c32[VdpColourCount];
};
extern VdpColorTables VdpColorTable;

// Installs the renderer family for the surface's bits per pixel (up to 8,
// 9 to 16, above 16).
void VdpInstallRenderers(int bitsPerPixel);

// The five fixed entry points of VdpModeTable; each forwards to the
// installed family.
void RenderTextLine(int line);
void RenderGraphics1Line(int line);
void RenderGraphics2Line(int line);
void RenderMulticolorLine(int line);
void RenderMode4Line(int line);

} // namespace Belcrest
