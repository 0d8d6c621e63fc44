#pragma once

#include "platform/ondrel/Geometry.h"
#include "platform/ondrel/PixelFormat.h"

#include <cstdint>
#include <vector>

namespace Ondrel {

class Palette;
class Surface;

// Scales and converts blocks of pixels between surface formats. It keeps the
// colour table of the last 8-bit source palette, so give each steady stream
// of blits (the picture, the statistics strip) its own converter.
//
// Supported: any format to the same format, 8-bit to RGB565 and 32-bit,
// RGB565 to 32-bit and back. Drawing true colour into an 8-bit surface is
// not supported.
class PixelFormatConverter {
public:
    PixelFormatConverter();

    static bool CanConvert(PixelFormat from, PixelFormat to);

    // Scaling of srcRect (inside src) onto dstRect of dst, writing only the
    // pixels of `visible` (inside dstRect and dst): nearest neighbour, or
    // with `smooth` (true-colour targets, sizes that differ) each target
    // pixel mixed from the four source pixels around its centre, never
    // reaching outside srcRect. `sourceRowChanged`, when given, has one flag
    // per row of srcRect; target rows whose source row is unchanged are left
    // alone (not with smoothing).
    bool Convert(Surface const& src, Rect const& srcRect, Surface& dst, Rect const& dstRect, Rect const& visible,
        bool smooth, std::uint8_t const* sourceRowChanged = nullptr);

    // A 0x00RRGGBB colour as a pixel value of the format (nearest palette
    // index for 8-bit surfaces).
    static std::uint32_t PixelFromRgb(PixelFormat format, std::uint32_t rgb, Palette const* palette);

    // Per target column of a smoothed blit: the source columns around its
    // centre and the right one's share in 256ths.
    struct SmoothColumn {
        int left;
        int right;
        unsigned share;
    };

private:
    std::uint32_t const* PaletteTable(Palette const& palette, PixelFormat to);

    std::uint32_t m_table[256];
    Palette const* m_tablePalette = nullptr;
    unsigned m_tableVersion = 0;
    PixelFormat m_tableFormat = PixelFormatNone;
    std::vector<SmoothColumn> m_columns;
    std::vector<std::uint32_t> m_mixedRows[2];
};

} // namespace Ondrel
