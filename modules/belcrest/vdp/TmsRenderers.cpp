// The TMS-family screen modes of the SG-1000, SC-3000 and SF-7000: text,
// graphics 1, graphics 2 and multicolour, and their sprites (eight a line,
// magnified or not).
#include "modules/belcrest/vdp/VdpRender.h"

namespace Belcrest {

namespace {

// Where a scrolled tile line reads from: the name-table row and the pixel
// row (v & 7), with the unscrolled line from the lock column on.
struct TileRowSource {
    int v;
    unsigned nameRow; // VRAM offset of the name-table row (32 entries)
};

TileRowSource ScrolledRow(int line)
{
    int v = line + VdpVScroll;
    if (v >= 224)
        v -= 224;
    return {v, VdpTableBase[VdpNameTable] + unsigned(v & 0xF8) * 4};
}

// The three tile modes differ only in how a tile's 8 pixels are made:
// Tile(name, v, to, palette) writes them.
template <class Pixel, class Tile> void RenderTileModeLine(int line, Tile tile)
{
    Pixel *row = LineStart<Pixel>(line);
    const Pixel *colours = HostColours<Pixel>() + TmsPaletteStart;
    const Pixel backdrop = colours[VdpBackdrop];
    if (!DisplayOn()) {
        FillPixels<Pixel>(row, 256, backdrop);
        return;
    }
    // Colour 0 shows the backdrop.
    Pixel palette[16];
    for (int i = 0; i < 16; ++i)
        palette[i] = colours[i];
    palette[0] = backdrop;

    TileRowSource source = ScrolledRow(line);
    unsigned column = VdpHLatch >> 3;
    const int lockColumn = (VdpRegisters[0] & 0x80) ? 24 : -1;
    Pixel *to = row - int(VdpHLatch & 7);
    for (int k = 0; k < 33; ++k, to += 8) {
        if (k == lockColumn)
            source = {line, VdpTableBase[VdpNameTable] + unsigned(line & 0xF8) * 4};
        const unsigned name = VramAt(source.nameRow + column);
        tile(name, source.v, to, palette);
        column = (column + 1) & 31;
    }
    DrawTmsSprites<Pixel>(line);
    if (VdpRegisters[0] & 0x20)
        FillPixels<Pixel>(row, 8, backdrop);
}

template <class Pixel> inline void DrawTileByte(Pixel *to, uint8_t bits, Pixel ink, Pixel paper)
{
    for (int i = 0; i < 8; ++i)
        to[i] = (bits & (0x80 >> i)) ? ink : paper;
}

} // namespace

template <class Pixel> void RenderText(int line)
{
    Pixel *row = LineStart<Pixel>(line);
    const Pixel *colours = HostColours<Pixel>() + TmsPaletteStart;
    const Pixel border = colours[VdpBackdrop];
    const Pixel ink = colours[VdpTextColour];
    FillPixels<Pixel>(row, 8, border);
    if (!DisplayOn()) {
        FillPixels<Pixel>(row + 8, 248, border);
        return;
    }
    const unsigned names = VdpTableBase[VdpNameTable] + unsigned(line / 8) * 40;
    const unsigned patterns = VdpTableBase[VdpPatternTable] + unsigned(line & 7);
    Pixel *to = row + 8;
    for (unsigned c = 0; c < 40; ++c, to += 6) {
        const uint8_t bits = VramAt(patterns + VramAt(names + c) * 8u);
        for (int i = 0; i < 6; ++i)
            to[i] = (bits & (0x80 >> i)) ? ink : border;
    }
    FillPixels<Pixel>(row + 248, 8, border);
}

template <class Pixel> void RenderGraphics1(int line)
{
    RenderTileModeLine<Pixel>(line, [](unsigned name, int v, Pixel *to, const Pixel *palette) {
        const uint8_t bits = VramAt(VdpTableBase[VdpPatternTable] + name * 8 + (v & 7));
        const uint8_t colour = VramAt(VdpTableBase[VdpColourTable] + name / 8);
        DrawTileByte(to, bits, palette[colour >> 4], palette[colour & 15]);
    });
}

template <class Pixel> void RenderGraphics2(int line)
{
    RenderTileModeLine<Pixel>(line, [](unsigned name, int v, Pixel *to, const Pixel *palette) {
        const unsigned at = name * 8 + (v & 7) + 2048 * unsigned(v / 64);
        const uint8_t bits = VramAt(VdpTableBase[VdpPatternTable] + at);
        const uint8_t colour = VramAt(VdpTableBase[VdpColourTable] + at);
        DrawTileByte(to, bits, palette[colour >> 4], palette[colour & 15]);
    });
}

template <class Pixel> void RenderMulticolor(int line)
{
    RenderTileModeLine<Pixel>(line, [](unsigned name, int v, Pixel *to, const Pixel *palette) {
        const uint8_t colour = VramAt(VdpTableBase[VdpPatternTable] + name * 8 + ((v >> 2) & 7));
        FillPixels(to, 4, palette[colour >> 4]);
        FillPixels(to + 4, 4, palette[colour & 15]);
    });
}

template <class Pixel> void DrawTmsSprites(int line)
{
    const int h = SpriteHeight();
    const int zoom = SpriteZoom();
    const int size = h << zoom; // lines (and columns) a sprite covers
    const unsigned table = VdpTableBase[VdpSpriteTable];
    const unsigned patterns = VdpTableBase[VdpSpritePatterns];
    // The first eight sprites on this line, each with its pattern row.
    struct {
        int sprite, row;
    } found[8];
    int count = 0;
    for (int i = 0; i < 32 && count < 8; ++i) {
        int y = VramAt(table + 4 * i);
        if (y == 0xD0)
            break;
        if (y > 256 - size)
            y -= 256;
        if (y < line && line <= y + size)
            found[count++] = {i, (line - y - 1) >> zoom};
    }
    const Pixel *colours = HostColours<Pixel>() + TmsPaletteStart;
    Pixel *row = LineStart<Pixel>(line);
    for (int f = count - 1; f >= 0; --f) {
        const unsigned entry = table + 4 * found[f].sprite;
        int x = VramAt(entry + 1);
        unsigned name = VramAt(entry + 2);
        const uint8_t colour = VramAt(entry + 3);
        if (colour & 0x80)
            x -= 32;
        if ((colour & 15) == 0 || x <= -size)
            continue;
        if (h == 16)
            name &= 0xFC;
        const unsigned at = patterns + name * 8 + unsigned(found[f].row);
        const unsigned bits = unsigned(VramAt(at)) << 8 | (h == 16 ? VramAt(at + 16) : 0u);
        const Pixel ink = colours[colour & 15];
        for (int i = 0; i < (16 << zoom); ++i) {
            const int c = x + i;
            if ((bits & (0x8000u >> (i >> zoom))) && c >= 0 && c <= 255)
                row[c] = ink;
        }
    }
}

#define BELCREST_TMS_FAMILY(P)                                                                     \
    template void RenderText<P>(int);                                                              \
    template void RenderGraphics1<P>(int);                                                         \
    template void RenderGraphics2<P>(int);                                                         \
    template void RenderMulticolor<P>(int);                                                        \
    template void DrawTmsSprites<P>(int);
BELCREST_TMS_FAMILY(uint8_t)
BELCREST_TMS_FAMILY(uint16_t)
BELCREST_TMS_FAMILY(uint32_t)
#undef BELCREST_TMS_FAMILY

} // namespace Belcrest
