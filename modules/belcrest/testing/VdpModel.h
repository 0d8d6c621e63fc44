// A model of the display processor's picture, one pixel at a time and
// straight from the registers and VRAM, for tests to hold the line
// renderers against.
#pragma once

#include "modules/belcrest/vdp/Vdp.h"

#include <cstdint>

namespace Belcrest::Test {

inline constexpr int PixelZero = -1; // the pixel value 0

inline uint8_t VramByte(unsigned offset) { return Vram[offset & VramMask]; }

struct ModelScroll {
    int fine, firstColumn;
};
inline ModelScroll ScrollOf(int line)
{
    const int h = ((VdpRegisters[0] & 0x40) && line < 16) ? 0 : (256 - VdpRegisters[8]) & 0xFF;
    return {h & 7, h >> 3};
}

// Drawn tile k and pixel i of column x, the name-table column and the line
// the tile reads (v).
struct ModelTile {
    int column, i, v;
};
inline ModelTile TileOf(int line, int x)
{
    const ModelScroll s = ScrollOf(line);
    const int k = (x + s.fine) / 8;
    int v = line + VdpRegisters[9];
    if (v >= 224)
        v -= 224;
    if ((VdpRegisters[0] & 0x80) && k >= 24)
        v = line;
    return {(s.firstColumn + k) & 31, (x + s.fine) % 8, v};
}

// The colour of the first of the line's first eight sprites that is
// opaque at column x; each pixel covers 2 x 2 when magnified.
inline int Mode4Sprite(int line, int x)
{
    const unsigned sat = (VdpRegisters[5] & 0x7E) * 0x80u;
    const unsigned patterns = (VdpRegisters[6] & 0x04) * 0x800u;
    const int h = (VdpRegisters[1] & 2) ? 16 : 8;
    const int zoom = VdpRegisters[1] & 1;
    int found = 0;
    for (int i = 0; i < 64 && VramByte(sat + i) != 0xD0 && found < 8; ++i) {
        const int y = VramByte(sat + i);
        int top = y + 1;
        if (top + (h << zoom) > 256)
            top -= 256;
        if (line < top || line >= top + (h << zoom))
            continue;
        ++found;
        const int sx = VramByte(sat + 128 + 2 * i) - ((VdpRegisters[0] & 8) ? 8 : 0);
        if (x < sx || x >= sx + (8 << zoom))
            continue;
        const unsigned number = VramByte(sat + 129 + 2 * i) & (h == 16 ? 0xFE : 0xFF);
        const unsigned at = patterns + number * 32 + unsigned((line - top) >> zoom) * 4;
        const int bit = 7 - ((x - sx) >> zoom);
        int index = 0;
        for (int p = 0; p < 4; ++p)
            index |= ((VramByte(at + p) >> bit) & 1) << p;
        if (index)
            return index;
    }
    return 0;
}

inline int Mode4Pixel(int line, int x)
{
    const int backdrop = 16 + (VdpRegisters[7] & 15);
    if (!(VdpRegisters[1] & 0x40) || ((VdpRegisters[0] & 0x20) && x >= 0 && x < 8))
        return backdrop;
    const ModelTile t = TileOf(line, x);
    const unsigned names = (VdpRegisters[2] & 0x0E) * 0x400u;
    const unsigned at = names + unsigned(t.v >> 3) * 64 + unsigned(t.column) * 2;
    const unsigned entry = VramByte(at) | VramByte(at + 1) << 8;
    int row = t.v & 7;
    if (entry & 0x400)
        row = 7 - row;
    const int bit = (entry & 0x200) ? t.i : 7 - t.i;
    int index = 0;
    for (int p = 0; p < 4; ++p)
        index |= ((VramByte((entry & 0x1FF) * 32 + unsigned(row) * 4 + unsigned(p)) >> bit) & 1) << p;
    const int sprite = Mode4Sprite(line, x);
    if (sprite && !((entry & 0x1000) && index))
        return 16 + sprite;
    return ((entry & 0x800) ? 16 : 0) + index;
}

inline int TmsSprite(int line, int x)
{
    const unsigned sat = VdpTableBase[VdpSpriteTable];
    const unsigned patterns = VdpTableBase[VdpSpritePatterns];
    const int h = (VdpRegisters[1] & 2) ? 16 : 8;
    const int zoom = VdpRegisters[1] & 1;
    const int size = h << zoom;
    int found = 0;
    for (int i = 0; i < 32 && found < 8; ++i) {
        int y = VramByte(sat + 4 * i);
        if (y == 0xD0)
            break;
        if (y > 256 - size)
            y -= 256;
        if (!(y < line && line <= y + size))
            continue;
        ++found;
        const uint8_t colour = VramByte(sat + 4 * i + 3);
        const int sx = VramByte(sat + 4 * i + 1) - ((colour & 0x80) ? 32 : 0);
        if (!(colour & 15) || sx <= -size || x < sx || x >= sx + (16 << zoom))
            continue;
        const unsigned name = VramByte(sat + 4 * i + 2) & (h == 16 ? 0xFC : 0xFF);
        const unsigned at = patterns + name * 8 + unsigned((line - y - 1) >> zoom);
        const unsigned bits = VramByte(at) << 8 | (h == 16 ? VramByte(at + 16) : 0);
        if (bits & (0x8000u >> ((x - sx) >> zoom)))
            return colour & 15;
    }
    return 0;
}

inline int TmsPixel(int line, int x)
{
    const int backdrop = VdpRegisters[7] & 15;
    const auto tms = [&](int c) { return 32 + (c ? c : backdrop); };
    if (VdpMode == VdpModeText) {
        if (!(VdpRegisters[1] & 0x40) || x < 8 || x >= 248)
            return 32 + backdrop;
        const unsigned name = VramByte(VdpTableBase[VdpNameTable] + unsigned(line / 8) * 40 + unsigned(x - 8) / 6);
        const uint8_t bits = VramByte(VdpTableBase[VdpPatternTable] + name * 8 + unsigned(line & 7));
        return (bits & (0x80 >> ((x - 8) % 6))) ? 32 + (VdpRegisters[7] >> 4) : 32 + backdrop;
    }
    if (!(VdpRegisters[1] & 0x40))
        return 32 + backdrop;
    if ((VdpRegisters[0] & 0x20) && x < 8)
        return 32 + backdrop;
    if (const int s = TmsSprite(line, x))
        return 32 + s;
    const ModelTile t = TileOf(line, x);
    const unsigned name = VramByte(VdpTableBase[VdpNameTable] + unsigned(t.v >> 3) * 32 + unsigned(t.column));
    if (VdpMode == VdpModeMulticolor) {
        const uint8_t c = VramByte(VdpTableBase[VdpPatternTable] + name * 8 + unsigned((t.v >> 2) & 7));
        return tms(t.i < 4 ? c >> 4 : c & 15);
    }
    unsigned patternAt = name * 8 + unsigned(t.v & 7), colourAt = name / 8;
    if (VdpMode == VdpModeGraphics2)
        colourAt = patternAt = patternAt + 2048 * unsigned(t.v / 64);
    const uint8_t bits = VramByte(VdpTableBase[VdpPatternTable] + patternAt);
    const uint8_t c = VramByte(VdpTableBase[VdpColourTable] + colourAt);
    return tms((bits & (0x80 >> t.i)) ? c >> 4 : c & 15);
}

inline int ModelPixel(int line, int x) { return VdpMode == VdpMode4 ? Mode4Pixel(line, x) : TmsPixel(line, x); }

} // namespace Belcrest::Test
