// The words the machine writes and the line renderer reads: layer order,
// blend and mosaic fields, the affine walk of backgrounds 2 and 3, the
// palettes, and the frame buffer with its colour tables. The affine words of
// BG2 and BG3 sit side by side in two-entry arrays (index = background - 2)
// so the renderer picks a layer's words by index; the Bg2*/Bg3* names are
// references to those entries.
#pragma once

#include <cstdint>

namespace Tavrin {

// Draws the scanline numbered by the low byte of the line counter (I/O 0x006)
// into FrameBuffer.
void RenderLine();

// Index 0 drawn first (backmost) to index 3 (frontmost). Bits 0-15 the
// background control, 24-25 the effect (0 none, 1 alpha, 2 brighten,
// 3 darken), 26 second blend target, 28-29 the background, 30-31 priority.
extern uint32_t BgOrder[4];

// 0 to 16.
extern uint32_t BlendEva, BlendEvb, BlendEvy;
// The four fields of the mosaic register, 0 to 15.
extern uint32_t BgMosaicH, BgMosaicV, ObjMosaicH, ObjMosaicV;

// Signed, 8 fraction bits. Cur*: texture position of pixel 0 on the current
// line; Ref*: the reference point as written; Pa..Pd: the matrix.
extern int32_t BgCurX[2], BgCurY[2];
extern int32_t BgRefX[2], BgRefY[2];
extern int32_t BgPa[2], BgPb[2], BgPc[2], BgPd[2];

inline int32_t &Bg2CurX = BgCurX[0];
inline int32_t &Bg3CurX = BgCurX[1];
inline int32_t &Bg2CurY = BgCurY[0];
inline int32_t &Bg3CurY = BgCurY[1];
inline int32_t &Bg2RefX = BgRefX[0];
inline int32_t &Bg3RefX = BgRefX[1];
inline int32_t &Bg2RefY = BgRefY[0];
inline int32_t &Bg3RefY = BgRefY[1];
inline int32_t &Bg2Pa = BgPa[0];
inline int32_t &Bg3Pa = BgPa[1];
inline int32_t &Bg2Pb = BgPb[0];
inline int32_t &Bg3Pb = BgPb[1];
inline int32_t &Bg2Pc = BgPc[0];
inline int32_t &Bg3Pc = BgPc[1];
inline int32_t &Bg2Pd = BgPd[0];
inline int32_t &Bg3Pd = BgPd[1];

// 15-bit colours, one halfword each: the start of the palette block and
// that start + 0x200.
extern uint16_t *BgPalette;
extern uint16_t *ObjPalette;

// The frame: 500 x 160 RGB565 pixels, 1000 bytes a line; the picture lies at
// columns 130-369 (byte offset y * 1000 + 260), the rest are guard bands the
// renderer may overwrite.
inline constexpr int FrameBufferPitchBytes = 1000;
inline constexpr int FrameBufferPictureOffsetBytes = 260;
extern uint8_t *FrameBuffer;

// Console colour (bit 15 ignored) to host RGB565.
extern uint16_t ColorToHostTable[65536];
// Console colour with its red, green and blue fields moved to bits 0-4,
// 10-14 and 20-24, so three components add and scale in one word.
extern uint32_t SpreadColorTable[65536];

// Per-pixel side buffers of the line being drawn, laid out like a frame-buffer
// row (console column x is element 130 + x). WindowLine: bits 0-3 BG0-BG3 may
// draw, bit 4 sprites may draw, bit 5 colour effects apply. SecondTargetLine:
// 0, or the colour of the topmost pixel | 0x8000 when that pixel is a second
// blend target.
inline constexpr int LineBufferColumns = 500;
inline constexpr int PictureColumn = 130;
extern uint8_t WindowLine[LineBufferColumns];
extern uint16_t SecondTargetLine[LineBufferColumns];

// One sprite of the drawing list: priority 0-3 (-1 ends the list), the box's
// screen position and size, and its attribute entry number 0-127.
struct SpriteRecord {
    int32_t priority;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t entry;
};
inline constexpr int SpriteListCapacity = 129;
extern SpriteRecord SpriteList[SpriteListCapacity];

// Frames still to skip before the next drawn one, and frames per drawn frame.
extern uint32_t FrameSkipCountdown;
extern uint32_t FrameSkipPeriod;

} // namespace Tavrin
