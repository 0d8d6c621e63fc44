// How an emulated colour becomes a host pixel, for the consoles whose line
// renderers read a host colour table: 0x00RRGGBB on a 32-bit frame, RGB565
// on a 16-bit one, and on an 8-bit frame either a grey level 0-15 (for a
// display of 4 bits per pixel) or the index of the nearest colour of the
// display's palette, which the frame's own palette then takes too.
#pragma once

#include <cstdint>

namespace Ondrel {
class Palette;
class Surface;
} // namespace Ondrel

namespace ConsoleGlue {

// The renderer family and colour table a frame surface's depth calls for:
// up to 8 bits, 9 to 16, above 16.
enum class PixelDepth { Bits8, Bits16, Bits32 };
PixelDepth DepthOf(int bitsPerPixel);

struct ColorTarget {
    int frameBits = 0;   // bits per pixel of the frame surface
    int displayBits = 0; // bits per pixel of the display's drawing surface
    Ondrel::Palette const *displayPalette = nullptr; // null: none
    Ondrel::Palette *framePalette = nullptr;         // null: none
};

// A frame surface on the engine's display.
ColorTarget ColorTargetOf(Ondrel::Surface &frame);

// The host pixel of a colour with components 0-255.
uint32_t HostPixel(ColorTarget const &target, int r, int g, int b);

} // namespace ConsoleGlue
