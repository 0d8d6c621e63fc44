#include "modules/cindrel/video/LineRenderers.h"

#include "modules/cindrel/machine/Machine.h"

#include <cstring>

namespace Cindrel {

PpuColorTables PpuColorTable;
void *PpuFrameBuffer = nullptr;
LineRendererSet PpuLineRenderers = {nullptr, nullptr, nullptr, nullptr};

namespace {

enum class Kind { Normal, Latch9, Latch10, Mmc5 };

// Where pixel i of a pixel-pair word lies.
constexpr int PairShift[8] = {14, 6, 12, 4, 10, 2, 8, 0};

// Each set bit of an 8-pixel mask (bit 7 leftmost) as a pair of set bits
// at its pixel's place in a pixel-pair word.
constexpr uint16_t Expand(uint32_t m)
{
    return uint16_t(((m & 0x55) | ((m & 0xAA) * 128)) * 3);
}

// The reverse of Expand: an 8-pixel mask (bit 7 leftmost) of the pixels
// whose pair in a pixel-pair word is not zero.
constexpr uint32_t Compact(uint32_t w)
{
    const uint32_t t = (w | (w >> 1)) & 0x5555;
    return (t & 0x55) | ((t >> 7) & 0xAA);
}

template <class P> P *ColorTableOf();
template <> uint8_t *ColorTableOf<uint8_t>() { return PpuColorTable.c8; }
template <> uint16_t *ColorTableOf<uint16_t>() { return PpuColorTable.c16; }
template <> uint32_t *ColorTableOf<uint32_t>() { return PpuColorTable.c32; }

// The line's colours, taken from $2001 at the start of the line: the
// colours of its emphasis setting (bits 5-7), and in grey mode (bit 0)
// only the brightness column of each colour number.
template <class P>
struct LineColors {
    const P *table = ColorTableOf<P>() + (PpuRegisters[1] >> 5) * 64;
    uint8_t mask = (PpuRegisters[1] & 1) ? 0x30 : 0x3F;
    P operator[](uint8_t colour) const { return table[colour & mask]; }
};

template <class P>
P *RowOf(int line)
{
    return static_cast<P *>(PpuFrameBuffer) + line * FrameWidth + 8;
}

template <class P>
int DrawSprites(int line, const uint8_t *bgMask, uint8_t *cover)
{
    if (SpriteLineTable.lastSprite < 0)
        return 0;
    const LineColors<P> colors;
    P palette[16];
    for (int i = 0; i < 16; ++i)
        palette[i] = colors[PpuSpritePalette[i]];
    P *row = RowOf<P>(line);
    // Sprite pixels in columns 0-7 are hidden while $2001 bit 2 is clear.
    const bool clipLeft = !(PpuRegisters[1] & 0x04);
    int flag = 0;
    for (int s = 0; s <= SpriteLineTable.lastSprite; ++s) {
        uint32_t w = SpriteLineTable.words[s];
        if (!w)
            continue;
        const int x = SpriteRam[s * 4 + 3];
        const uint8_t attributes = SpriteRam[s * 4 + 2];
        const int k = x >> 3;
        const int sh = 8 - (x & 7);
        if (clipLeft && x < 8)
            w &= Expand(0xFFu >> (8 - x));
        const uint32_t bg = ((uint32_t(bgMask[k]) << 8 | bgMask[k + 1]) >> sh) & 0xFF;
        if (s == 0 && (w & Expand(bg)))
            flag = 1;
        const uint32_t covered = ((uint32_t(cover[k]) << 8 | cover[k + 1]) >> sh) & 0xFF;
        w &= ~uint32_t(Expand(covered));
        const uint32_t opaque = Compact(w);
        cover[k] = uint8_t(cover[k] | (opaque >> (x & 7)));
        cover[k + 1] = uint8_t(cover[k + 1] | ((opaque << sh) & 0xFF));
        if (attributes & 0x20)
            w &= ~uint32_t(Expand(bg));
        const P *colorsOfSprite = palette + (attributes & 3) * 4;
        P *out = row + x;
        for (int i = 0; i < 8; ++i) {
            const uint32_t p = (w >> PairShift[i]) & 3;
            if (p)
                out[i] = colorsOfSprite[p];
        }
    }
    return flag;
}

// Switches the latched pattern pages after a $FD or $FE tile.
template <Kind K>
inline void Latch(uint8_t tile)
{
    if constexpr (K == Kind::Latch9 || K == Kind::Latch10) {
        if (tile != 0xFD && tile != 0xFE)
            return;
        const uint8_t latch = uint8_t(tile - 0xFD);
        uint8_t *pages;
        int first;
        if (K == Kind::Latch9) {
            Latch9State = latch;
            pages = Latch9Pages[latch];
            first = 4;
        } else if (PpuRegisters[0] & 0x10) {
            Latch10HighState = latch;
            pages = Latch10HighPages[latch];
            first = 4;
        } else {
            Latch10LowState = latch;
            pages = Latch10LowPages[latch];
            first = 0;
        }
        if (!pages)
            return;
        for (int i = 0; i < 4; ++i)
            VideoPageMap[first + i] = pages + i * 0x400;
    }
}

template <class P, Kind K>
int RenderLine(int line, int x, int y)
{
    if (!PpuFrameBuffer)
        return 0;
    uint8_t backgroundMask[34] = {};
    uint8_t coverMask[33] = {};
    const LineColors<P> colors;
    P *row = RowOf<P>(line);
    const P backdrop = colors[PpuBgPalette[0]];
    if (!(PpuRegisters[1] & 0x08)) {
        for (int i = 0; i < 256; ++i)
            row[i] = backdrop;
        return DrawSprites<P>(line, backgroundMask + 1, coverMask);
    }
    // Pixel value 0 shows the backdrop in every group.
    P palette[16];
    for (int i = 0; i < 16; ++i)
        palette[i] = (i & 3) ? colors[PpuBgPalette[i]] : backdrop;

    int table = ((y & 0x100) ? 2 : 0) + ((x & 0x100) ? 1 : 0);
    const int tileOffset = (y & 0xF8) * 4;
    const int attributeOffset = 0x3C0 + ((y >> 5) & 7) * 8;
    const uint8_t *names = VideoPageMap[8 + table];
    int column = (x >> 3) & 31;
    const int fineX = x & 7;
    const int fineY = y & 7;
    const int attributeShift = (y & 0x10) ? 4 : 0;
    P *out = row - fineX;
    for (int t = 0; t < 33; ++t, out += 8) {
        const uint8_t tile = names[tileOffset + column];
        const uint8_t *pattern;
        int group;
        if constexpr (K == Kind::Mmc5) {
            if (Mmc5ExAttributes) {
                const uint8_t e = Mmc5ExAttributes[tileOffset + column];
                group = e >> 6;
                pattern = Mmc5ChrBase + ((uint32_t(e) << 12) & Mmc5ChrMask) + tile * 16;
            } else {
                pattern = Mmc5BgPages[tile >> 6] + (tile & 63) * 16;
                group = (names[attributeOffset + (column >> 2)] >> ((column & 2) + attributeShift)) & 3;
            }
        } else {
            pattern = BackgroundHalf[tile >> 6] + (tile & 63) * 16;
            group = (names[attributeOffset + (column >> 2)] >> ((column & 2) + attributeShift)) & 3;
        }
        const uint8_t low = pattern[fineY];
        const uint8_t high = pattern[fineY + 8];
        const uint16_t word = PixelPairWord(low, high);
        const P *groupColors = palette + group * 4;
        for (int i = 0; i < 8; ++i)
            out[i] = groupColors[(word >> PairShift[i]) & 3];
        const uint32_t m = uint32_t(low | high) << fineX;
        backgroundMask[t] = uint8_t(backgroundMask[t] | (m >> 8));
        backgroundMask[t + 1] = uint8_t(m);
        Latch<K>(tile);
        column = (column + 1) & 31;
        if (column == 0) {
            table ^= 1;
            names = VideoPageMap[8 + table];
        }
    }
    // The hidden left column shows the backdrop and hides nothing.
    if (!(PpuRegisters[1] & 0x02)) {
        for (int i = 0; i < 8; ++i)
            row[i] = backdrop;
        backgroundMask[1] = 0;
    }
    return DrawSprites<P>(line, backgroundMask + 1, coverMask);
}

template <class P>
LineRendererSet FamilyOf()
{
    return {&RenderLine<P, Kind::Mmc5>, &RenderLine<P, Kind::Latch10>, &RenderLine<P, Kind::Latch9>,
            &RenderLine<P, Kind::Normal>};
}

} // namespace

// Until a video opens, lines go to the 32-bit family, which draws nothing
// without a frame buffer.
static const bool RenderersInstalled = (PpuLineRenderers = FamilyOf<uint32_t>(), true);

LineRendererSet LineRenderersFor(PpuDepth depth)
{
    switch (depth) {
    case PpuDepth::Bits8:
        return FamilyOf<uint8_t>();
    case PpuDepth::Bits16:
        return FamilyOf<uint16_t>();
    case PpuDepth::Bits32:
        break;
    }
    return FamilyOf<uint32_t>();
}

int DrawPpuSprites(PpuDepth depth, int line, const uint8_t *backgroundMask, uint8_t *coverMask)
{
    if (!PpuFrameBuffer)
        return 0;
    switch (depth) {
    case PpuDepth::Bits8:
        return DrawSprites<uint8_t>(line, backgroundMask, coverMask);
    case PpuDepth::Bits16:
        return DrawSprites<uint16_t>(line, backgroundMask, coverMask);
    case PpuDepth::Bits32:
        break;
    }
    return DrawSprites<uint32_t>(line, backgroundMask, coverMask);
}

int PpuLineEntry(int line, int x, int y) { return PpuLineRenderers.normal(line, x, y); }
int PpuLineEntryLatch9(int line, int x, int y) { return PpuLineRenderers.latch9(line, x, y); }
int PpuLineEntryLatch10(int line, int x, int y) { return PpuLineRenderers.latch10(line, x, y); }
int PpuLineEntryMmc5(int line, int x, int y) { return PpuLineRenderers.mmc5(line, x, y); }

} // namespace Cindrel
