// What the line renderers share: the pixel row of an emulated line, the
// host colours of a pixel type, and the renderer templates each family is
// made from (one instantiation per pixel type: uint8_t, uint16_t, uint32_t).
#pragma once

#include "modules/belcrest/vdp/Vdp.h"

#include <array>
#include <cstdint>

namespace Belcrest {

// Emulated line n, column x is surface pixel (x + 8, n + 8).
template <class Pixel> inline Pixel *LineStart(int line)
{
    return static_cast<Pixel *>(VdpFrameBuffer) + (line + 8) * VdpSurfaceWidth + 8;
}

template <class Pixel> inline const Pixel *HostColours();
template <> inline const uint8_t *HostColours<uint8_t>() { return VdpColorTable.c8; }
template <> inline const uint16_t *HostColours<uint16_t>() { return VdpColorTable.c16; }
template <> inline const uint32_t *HostColours<uint32_t>() { return VdpColorTable.c32; }

inline constexpr int SpritePaletteStart = 16;
inline constexpr int TmsPaletteStart = 32;

inline uint8_t VramAt(unsigned offset) { return Vram[offset & VramMask]; }
inline bool DisplayOn() { return VdpRegisters[1] & 0x40; }
inline int SpriteHeight() { return (VdpRegisters[1] & 0x02) ? 16 : 8; }
// Register 1 bit 0: every sprite pixel is drawn as 2 x 2.
inline int SpriteZoom() { return VdpRegisters[1] & 0x01; }

// A sprite row's opaque pixels (bit 7 leftmost) as the columns they cover,
// bit 15 leftmost: each pixel once, or twice when magnified.
inline constexpr std::array<uint16_t, 256> DoubledPixels = [] {
    std::array<uint16_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned k = 0; k < 8; ++k)
            if (b & (0x80 >> k))
                table[b] |= uint16_t(0xC000 >> (2 * k));
    return table;
}();
inline unsigned SpriteCover(uint8_t opaque, int zoom) { return zoom ? DoubledPixels[opaque] : unsigned(opaque) << 8; }

// The sprites the chip shows on one mode-4 line: the first eight on it in
// table order, each with its leftmost column and pattern row.
struct Mode4LineSprite {
    int x;             // after the shift of register 0 bit 3: -8 to 255
    uint8_t planes[4]; // the pattern row's four plane bytes
};
struct Mode4SpriteLine {
    int count;
    int zoom; // 1: each pixel 2 wide (and the rows 2 lines tall)
    Mode4LineSprite sprites[8];
};
// Finds the sprites of active line 0-191 into `out` and sets the overflow
// and collision status bits as the chip does while it fetches them.
void FindMode4Sprites(int line, Mode4SpriteLine &out);

template <class Pixel> inline void FillPixels(Pixel *to, int count, Pixel value)
{
    for (int i = 0; i < count; ++i)
        to[i] = value;
}

template <class Pixel> void RenderMode4(int line);
// Draws the line's sprites over the background; `mask` is the line's
// priority bits (bit 7 leftmost, mask[j] for columns 8j to 8j + 7, from
// mask[-1] to mask[33]).
template <class Pixel> void DrawMode4Sprites(int line, const Mode4SpriteLine &sprites, const uint8_t *mask);
template <class Pixel> void RenderText(int line);
template <class Pixel> void RenderGraphics1(int line);
template <class Pixel> void RenderGraphics2(int line);
template <class Pixel> void RenderMulticolor(int line);
template <class Pixel> void DrawTmsSprites(int line);

} // namespace Belcrest
