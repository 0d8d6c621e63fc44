#include "modules/common/HostColor.h"

#include "engine/Engine.h"
#include "platform/ondrel/Palette.h"
#include "platform/ondrel/Surface.h"

namespace ConsoleGlue {

PixelDepth DepthOf(int bitsPerPixel)
{
    if (bitsPerPixel <= 8)
        return PixelDepth::Bits8;
    return bitsPerPixel <= 16 ? PixelDepth::Bits16 : PixelDepth::Bits32;
}

ColorTarget ColorTargetOf(Ondrel::Surface &frame)
{
    ColorTarget target;
    target.frameBits = frame.GetBitsPerPixel();
    target.framePalette = frame.GetPalette();
    if (Ondrel::Surface *drawing = ourEngine ? ourEngine->GetDrawingSurface() : nullptr) {
        target.displayBits = drawing->GetBitsPerPixel();
        target.displayPalette = drawing->GetPalette();
    }
    return target;
}

uint32_t HostPixel(ColorTarget const &target, int r, int g, int b)
{
    uint32_t const red = uint32_t(r) & 0xFF, green = uint32_t(g) & 0xFF, blue = uint32_t(b) & 0xFF;
    switch (DepthOf(target.frameBits)) {
    case PixelDepth::Bits32:
        return red << 16 | green << 8 | blue;
    case PixelDepth::Bits16:
        return (red & 0xF8) << 8 | (green & 0xFC) << 3 | blue >> 3;
    case PixelDepth::Bits8:
        break;
    }
    if (target.displayBits == 4)
        return ((red >> 2) + (green >> 1) + (blue >> 2)) >> 4;
    // A display without a palette of its own: the frame's palette chooses.
    Ondrel::Palette const *palette = target.displayPalette ? target.displayPalette : target.framePalette;
    if (!palette)
        return 0;
    Ondrel::PaletteEntry const wanted{uint8_t(blue), uint8_t(green), uint8_t(red), 0};
    int const index = palette->FindNearest(wanted);
    if (target.framePalette)
        target.framePalette->Set(index, palette->Get(index));
    return uint32_t(index);
}

} // namespace ConsoleGlue
