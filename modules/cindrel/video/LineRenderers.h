// The scan-line renderers of the 6502 console: one background line from the
// name tables and pattern pages, then the line's sprites, drawn straight
// into the locked 272-pixel-wide frame surface (picture column c is pixel
// 8 + c; pixels 0-7 and 264-271 are guard bands that take the spill). Four
// kinds (normal, mapper-9 latch, mapper-10 latch, MMC5), each a template
// over the host pixel type; the video installs the family of its depth.
#pragma once

#include "modules/cindrel/machine/ModuleParts.h"

#include <cstdint>

namespace Cindrel {

#pragma GCC visibility push(hidden)

inline constexpr int FrameWidth = 272;
inline constexpr int FrameHeight = 240;

// The host pixel of each of the 64 colours under each emphasis setting
// (entry emphasis x 64 + colour), per depth.
struct PpuColorTables {
    uint32_t c32[EmphasisColourCount];
    uint16_t c16[EmphasisColourCount];
    uint8_t c8[EmphasisColourCount];
};
extern PpuColorTables PpuColorTable;

// The locked frame surface's pixels, rows 272 pixels apart; null while the
// video is closed, and then no line is drawn.
extern void *PpuFrameBuffer;

struct LineRendererSet {
    LineRendererFn mmc5;
    LineRendererFn latch10;
    LineRendererFn latch9;
    LineRendererFn normal;
};
extern LineRendererSet PpuLineRenderers;

enum class PpuDepth { Bits8, Bits16, Bits32 };
// The renderers of a depth.
LineRendererSet LineRenderersFor(PpuDepth depth);
// The sprite pass on its own, for tests: draws the prepared line's sprites
// over a background mask (picture-aligned, 33 bytes) and a cover mask (33
// bytes); returns the sprite-zero flag.
int DrawPpuSprites(PpuDepth depth, int line, const uint8_t *backgroundMask, uint8_t *coverMask);

// Eight 2-bit pixels of a tile row (low plane, high plane) as a pixel-pair
// word: pixel 0 in bits 15-14, 1 in 7-6, 2 in 13-12, ... 7 in 1-0.
inline uint16_t PixelPairWord(uint8_t low, uint8_t high)
{
    return uint16_t(((high * 2) & 0xAAA) | ((((high * 2) & 0x555) | (low & 0xAA)) * 128) | (low & 0x55));
}

#pragma GCC visibility pop

} // namespace Cindrel
