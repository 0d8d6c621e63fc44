#pragma once

#include <cstdint>

namespace Ondrel {

// Pixel layouts of surfaces. The numbers are stored by callers (the modules
// ask for format 4, RGB565, for their frame surfaces), so they never change.
enum PixelFormat : int {
    PixelFormatNone = 0,      // "the display's own format" where a format is asked for
    PixelFormatPalette8 = 1,  // one byte per pixel, index into the surface's palette
    PixelFormatRGB565 = 4,    // 16 bits: red 15-11, green 10-5, blue 4-0
    PixelFormatXRGB8888 = 6,  // 32 bits: 0x00RRGGBB, top byte unused
};

inline int BytesPerPixel(PixelFormat format)
{
    switch (format) {
    case PixelFormatPalette8: return 1;
    case PixelFormatRGB565: return 2;
    case PixelFormatXRGB8888: return 4;
    default: return 0;
    }
}

inline int BitsPerPixel(PixelFormat format) { return BytesPerPixel(format) * 8; }

inline bool IsValidPixelFormat(PixelFormat format) { return BytesPerPixel(format) != 0; }

// Colour helpers shared by fills, conversions and palettes. Expansion repeats
// the top bits so that full intensity stays full (0x1F -> 0xFF).
inline std::uint16_t Rgb888To565(std::uint32_t rgb)
{
    return static_cast<std::uint16_t>(((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb >> 3) & 0x001F));
}

inline std::uint32_t Rgb565To888(std::uint16_t c)
{
    std::uint32_t const r = (c >> 11) & 0x1F, g = (c >> 5) & 0x3F, b = c & 0x1F;
    return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

} // namespace Ondrel
