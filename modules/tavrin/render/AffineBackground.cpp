// Rotated and scaled tiled backgrounds: the texture position starts at the
// line's reference point and steps by (pa, pc) per column, drawn or not.

#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/LayerRendererTable.h"
#include "modules/tavrin/render/RenderMemory.h"

namespace Tavrin {

template <unsigned V>
int32_t RenderAffineBgLine(uint32_t line, uint32_t d, uint32_t)
{
    const uint32_t n = (d >> 28) & 3;
    const uint32_t i = n & 1;  // BG2 or BG3
    const uint32_t cnt = d & 0xFFFF;
    const uint32_t sizeLog2 = 7 + (cnt >> 14);
    const uint32_t size = 1u << sizeLog2;
    const uint32_t mask = (cnt & 0x2000) ? size - 1 : ~0u;
    const bool mosaic = cnt & 0x40;
    const uint32_t blockW = (BgMosaicH & 15) + 1;
    const uint32_t blockH = (BgMosaicV & 15) + 1;
    const uint8_t layerBit = uint8_t(1u << n);

    const uint8_t *vram = RenderVramBlock();
    const uint8_t *map = vram + ((cnt >> 8) & 31) * 0x800;
    const uint8_t *tiles = vram + ((cnt >> 2) & 3) * 0x4000;
    uint16_t *row = FrameRow(line);

    // Unsigned so the steps wrap instead of overflowing.
    uint32_t x = uint32_t(BgCurX[i]), y = uint32_t(BgCurY[i]);
    const uint32_t pa = uint32_t(BgPa[i]), pc = uint32_t(BgPc[i]);
    for (unsigned col = PictureColumn; col < PictureColumn + 240; ++col) {
        uint32_t tx = uint32_t(int32_t(x) >> 8) & mask;
        uint32_t ty = uint32_t(int32_t(y) >> 8) & mask;
        x += pa;
        y += pc;
        if (!(WindowLine[col] & layerBit) || tx >= size || ty >= size)
            continue;
        if (mosaic) {
            tx -= tx % blockW;
            ty -= ty % blockH;
        }
        uint32_t tile = map[((ty >> 3) << (sizeLog2 - 3)) + (tx >> 3)];
        uint32_t index = tiles[tile * 64 + (ty & 7) * 8 + (tx & 7)];
        if (index)
            WritePalettePixel<V>(row, col, index);
    }
    return 0;
}

TAVRIN_LAYER_VARIANTS(RenderAffineBgLine)

} // namespace Tavrin
