// BG2 as a bitmap in modes 3-5, through BG2's affine transform. The position
// steps on every column whether or not the window shows it; texels outside
// the bitmap are not drawn. Mode 4's index 0 is transparent.

#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/LayerRendererTable.h"
#include "modules/tavrin/render/RenderMemory.h"

namespace Tavrin {

namespace {

enum class Bitmap { Direct240, Indexed240, Direct160 };

template <Bitmap B, unsigned V>
int32_t RenderBitmapLine(uint32_t line, uint32_t page)
{
    constexpr uint32_t Width = B == Bitmap::Direct160 ? 160 : 240;
    constexpr uint32_t Height = B == Bitmap::Direct160 ? 128 : 160;
    const uint8_t *bitmap = RenderVramBlock() + (B == Bitmap::Direct240 ? 0 : (page & 0xA000));
    const bool mosaic = RenderIo(IoBg2cnt) & 0x40;
    const uint32_t blockW = (BgMosaicH & 15) + 1;
    const uint32_t blockH = (BgMosaicV & 15) + 1;
    uint16_t *row = FrameRow(line);

    // Unsigned so the steps wrap instead of overflowing.
    uint32_t x = uint32_t(BgCurX[0]), y = uint32_t(BgCurY[0]);
    const uint32_t pa = uint32_t(BgPa[0]), pc = uint32_t(BgPc[0]);
    for (unsigned col = PictureColumn; col < PictureColumn + 240; ++col) {
        uint32_t tx = uint32_t(int32_t(x) >> 8);
        uint32_t ty = uint32_t(int32_t(y) >> 8);
        x += pa;
        y += pc;
        if (!(WindowLine[col] & 4))
            continue;
        if (mosaic) {
            tx -= tx % blockW;
            ty -= ty % blockH;
        }
        if (tx >= Width || ty >= Height)
            continue;
        if constexpr (B == Bitmap::Indexed240) {
            if (uint32_t index = bitmap[ty * Width + tx])
                WritePalettePixel<V>(row, col, index);
        } else {
            WriteLayerPixel<V>(row, col, HostHalf(bitmap + (ty * Width + tx) * 2));
        }
    }
    return 0;
}

} // namespace

template <unsigned V>
int32_t RenderBitmap16Line(uint32_t line, uint32_t page, uint32_t)
{
    return RenderBitmapLine<Bitmap::Direct240, V>(line, page);
}

template <unsigned V>
int32_t RenderBitmap8Line(uint32_t line, uint32_t page, uint32_t)
{
    return RenderBitmapLine<Bitmap::Indexed240, V>(line, page);
}

template <unsigned V>
int32_t RenderBitmapSmallLine(uint32_t line, uint32_t page, uint32_t)
{
    return RenderBitmapLine<Bitmap::Direct160, V>(line, page);
}

TAVRIN_LAYER_VARIANTS(RenderBitmap16Line)
TAVRIN_LAYER_VARIANTS(RenderBitmap8Line)
TAVRIN_LAYER_VARIANTS(RenderBitmapSmallLine)

} // namespace Tavrin
