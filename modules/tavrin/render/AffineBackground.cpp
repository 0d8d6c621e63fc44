// Rotated and scaled tiled backgrounds: the texture position starts at the
// line's reference point and steps by (pa, pc) per column, drawn or not.

#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/LayerRendererTable.h"
#include "modules/tavrin/render/RenderMemory.h"

namespace Tavrin {

namespace {

struct AffineLine {
    const uint8_t *map;
    const uint8_t *tiles;
    uint16_t *row;
    uint32_t x, y, pa, pc;  // unsigned so the steps wrap instead of overflowing
    uint32_t sizeLog2;
    uint8_t layerBit;
};

// Wrap-around and mosaic are fixed per walk, so the column loop tests
// neither.
template <unsigned V, bool Wrap, bool Mosaic>
void WalkAffine(AffineLine a)
{
    const uint32_t size = 1u << a.sizeLog2;
    const uint32_t mask = Wrap ? size - 1 : ~0u;
    const uint32_t blockW = (BgMosaicH & 15) + 1;
    const uint32_t blockH = (BgMosaicV & 15) + 1;
    for (unsigned col = PictureColumn; col < PictureColumn + 240; ++col) {
        uint32_t tx = uint32_t(int32_t(a.x) >> 8) & mask;
        uint32_t ty = uint32_t(int32_t(a.y) >> 8) & mask;
        a.x += a.pa;
        a.y += a.pc;
        if (!(WindowLine[col] & a.layerBit))
            continue;
        if constexpr (!Wrap) {
            if ((tx | ty) >= size)
                continue;
        }
        if constexpr (Mosaic) {
            tx -= tx % blockW;
            ty -= ty % blockH;
        }
        const uint32_t tile = a.map[((ty >> 3) << (a.sizeLog2 - 3)) + (tx >> 3)];
        if (uint32_t index = a.tiles[tile * 64 + (ty & 7) * 8 + (tx & 7)])
            WritePalettePixel<V>(a.row, col, index);
    }
}

} // namespace

template <unsigned V>
int32_t RenderAffineBgLine(uint32_t line, uint32_t d, uint32_t)
{
    const uint32_t i = (d >> 28) & 1;  // BG2 or BG3
    const uint32_t cnt = d & 0xFFFF;
    const uint8_t *vram = RenderVramBlock();
    const AffineLine a{vram + ((cnt >> 8) & 31) * 0x800,
                       vram + ((cnt >> 2) & 3) * 0x4000,
                       FrameRow(line),
                       uint32_t(BgCurX[i]),
                       uint32_t(BgCurY[i]),
                       uint32_t(BgPa[i]),
                       uint32_t(BgPc[i]),
                       7 + (cnt >> 14),
                       uint8_t(1u << ((d >> 28) & 3))};
    switch ((cnt >> 12 & 2) | (cnt >> 6 & 1)) {
    case 0: WalkAffine<V, false, false>(a); break;
    case 1: WalkAffine<V, false, true>(a); break;
    case 2: WalkAffine<V, true, false>(a); break;
    default: WalkAffine<V, true, true>(a); break;
    }
    return 0;
}

TAVRIN_LAYER_VARIANTS(RenderAffineBgLine)

} // namespace Tavrin
