// What the line renderers share: the pixel row of an emulated line, the
// host colours of a pixel type, and the renderer templates each family is
// made from (one instantiation per pixel type: uint8_t, uint16_t, uint32_t).
#pragma once

#include "modules/belcrest/vdp/Vdp.h"

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

template <class Pixel> inline void FillPixels(Pixel *to, int count, Pixel value)
{
    for (int i = 0; i < count; ++i)
        to[i] = value;
}

template <class Pixel> void RenderMode4(int line);
template <class Pixel> void DrawMode4Sprites(int line, const uint8_t *mask);
template <class Pixel> void RenderText(int line);
template <class Pixel> void RenderGraphics1(int line);
template <class Pixel> void RenderGraphics2(int line);
template <class Pixel> void RenderMulticolor(int line);
template <class Pixel> void DrawTmsSprites(int line);

} // namespace Belcrest
