// Mode 4, the Master System's tile mode: a scrolled background of 8 x 8
// tiles in 16 colours, with per-tile flips, palette and priority, and the
// line's sprites (eight at most, perhaps magnified) drawn over it.
#include "modules/belcrest/vdp/VdpRender.h"

#include <array>
#include <bit>

namespace Belcrest {

namespace {

// A plane byte spread over eight nibbles: bit k goes to bit 0 of nibble k
// (so the leftmost pixel, bit 7, lands in the top nibble), or of nibble
// 7 - k for a horizontally flipped tile.
constexpr std::array<uint32_t, 256> MakeSpread(bool flipped)
{
    std::array<uint32_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned k = 0; k < 8; ++k)
            if (b & (1u << k))
                table[b] |= 1u << (4 * (flipped ? 7 - k : k));
    return table;
}
constexpr std::array<uint32_t, 256> Spread = MakeSpread(false);
constexpr std::array<uint32_t, 256> SpreadFlipped = MakeSpread(true);

constexpr std::array<uint8_t, 256> MakeReverse()
{
    std::array<uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned k = 0; k < 8; ++k)
            if (b & (1u << k))
                table[b] |= uint8_t(0x80 >> k);
    return table;
}
constexpr std::array<uint8_t, 256> BitReverse = MakeReverse();

} // namespace

template <class Pixel> void RenderMode4(int line)
{
    Pixel *row = LineStart<Pixel>(line);
    const Pixel *colours = HostColours<Pixel>();
    const Pixel backdrop = colours[SpritePaletteStart + VdpBackdrop];
    if (!DisplayOn()) {
        FillPixels<Pixel>(row, 256, backdrop);
        return;
    }

    int v = line + VdpVScroll;
    if (v >= 224)
        v -= 224;
    const unsigned nameBase = VdpTableBase[VdpNameTable];
    unsigned nameRow = nameBase + (v & 0xF8) * 8;
    unsigned patternRow = (v & 7) * 4;
    unsigned column = VdpHLatch >> 3;
    const unsigned fine = VdpHLatch & 7;
    const int lockColumn = (VdpRegisters[0] & 0x80) ? 24 : -1;

    // Priority bits of the background, one per pixel, bit 7 leftmost:
    // byte j + 1 covers columns 8j to 8j + 7, byte 0 what lies left of 0;
    // the last byte stays clear for magnified sprites at the right edge.
    uint8_t priority[35];
    priority[0] = 0;
    priority[34] = 0;
    Pixel *to = row - int(fine);
    for (int k = 0; k < 33; ++k, to += 8) {
        if (k == lockColumn) {
            nameRow = nameBase + (line & 0xF8) * 8;
            patternRow = (line & 7) * 4;
        }
        const unsigned at = (nameRow + column * 2) & VramMask;
        const unsigned entry = Vram[at] | Vram[(at + 1) & VramMask] << 8;
        const unsigned pattern = (entry & 0x1FF) * 32 + ((entry & 0x400) ? 28 - patternRow : patternRow);
        const uint8_t *planes = Vram + pattern; // at most 0x3FFF: inside VRAM
        const std::array<uint32_t, 256> &spread = (entry & 0x200) ? SpreadFlipped : Spread;
        const uint32_t word = spread[planes[0]] | spread[planes[1]] << 1 | spread[planes[2]] << 2 |
                              spread[planes[3]] << 3;
        const Pixel *palette = colours + ((entry & 0x800) ? SpritePaletteStart : 0);
        for (int i = 0; i < 8; ++i)
            to[i] = palette[(word >> (28 - 4 * i)) & 15];
        if (entry & 0x1000) {
            uint8_t opaque = planes[0] | planes[1] | planes[2] | planes[3];
            if (entry & 0x200)
                opaque = BitReverse[opaque];
            const unsigned w = unsigned(opaque) << fine;
            priority[k] |= uint8_t(w >> 8);
            priority[k + 1] = uint8_t(w);
        } else {
            priority[k + 1] = 0;
        }
        column = (column + 1) & 31;
    }

    Mode4SpriteLine sprites;
    FindMode4Sprites(line, sprites);
    if (sprites.count)
        DrawMode4Sprites<Pixel>(line, sprites, priority + 1);
    // Games hide their scroll's ragged edge this way.
    if (VdpRegisters[0] & 0x20)
        FillPixels<Pixel>(row, 8, backdrop);
}

template <class Pixel> void DrawMode4Sprites(int line, const Mode4SpriteLine &sprites, const uint8_t *mask)
{
    const Pixel *palette = HostColours<Pixel>() + SpritePaletteStart;
    Pixel *row = LineStart<Pixel>(line);
    const int zoom = sprites.zoom;
    // Lower-numbered sprites are drawn last, over higher-numbered ones.
    for (int s = sprites.count - 1; s >= 0; --s) {
        const Mode4LineSprite &sprite = sprites.sprites[s];
        const uint8_t *planes = sprite.planes;
        const uint8_t opaque = planes[0] | planes[1] | planes[2] | planes[3];
        if (!opaque)
            continue;
        unsigned cover = SpriteCover(opaque, zoom);
        const int x = sprite.x;
        // Its columns span three priority bytes; x >> 3 is -1 for a sprite
        // shifted left of column 0, which reads byte 0.
        const int b = x >> 3;
        const unsigned behind = ((unsigned(mask[b]) << 16 | unsigned(mask[b + 1]) << 8 | mask[b + 2]) >>
                                 (8 - (x & 7))) & 0xFFFF;
        cover &= ~behind;
        if (x > 240)
            cover &= 0xFFFFu << (x - 240); // nothing right of column 255
        if (!cover)
            continue;
        const uint32_t word = Spread[planes[0]] | Spread[planes[1]] << 1 | Spread[planes[2]] << 2 |
                              Spread[planes[3]] << 3;
        Pixel *to = row + x;
        while (cover) {
            const int k = std::countl_zero(cover) - 16; // column x + k
            cover &= ~(0x8000u >> k);
            to[k] = palette[(word >> (28 - 4 * (k >> zoom))) & 15];
        }
    }
}

template void RenderMode4<uint8_t>(int);
template void RenderMode4<uint16_t>(int);
template void RenderMode4<uint32_t>(int);
template void DrawMode4Sprites<uint8_t>(int, const Mode4SpriteLine &, const uint8_t *);
template void DrawMode4Sprites<uint16_t>(int, const Mode4SpriteLine &, const uint8_t *);
template void DrawMode4Sprites<uint32_t>(int, const Mode4SpriteLine &, const uint8_t *);

} // namespace Belcrest
