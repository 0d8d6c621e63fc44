// BG2 as a bitmap in modes 3-5, through BG2's affine transform. The position
// steps on every column whether or not the window shows it; texels outside
// the bitmap are not drawn. Mode 4's index 0 is transparent.
//
// Without mosaic a line is drawn eight columns at a time: the columns inside
// the bitmap form one run, whose texels are gathered first (copied whole
// when the line is not scaled or turned) and then drawn as pixel vectors.

#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/HostVectors.h"
#include "modules/tavrin/render/LayerRendererTable.h"
#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/TexelRun.h"
#include "modules/tavrin/render/TileRow.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace Tavrin {

namespace {

enum class Bitmap { Direct240, Indexed240, Direct160 };

constexpr int32_t LineColumns = 240;

template <Bitmap B>
struct BitmapShape {
    static constexpr uint32_t Width = B == Bitmap::Direct160 ? 160 : 240;
    static constexpr uint32_t Height = B == Bitmap::Direct160 ? 128 : 160;
    using Texel = std::conditional_t<B == Bitmap::Indexed240, uint8_t, uint16_t>;
};

// One column at a time, with mosaic, which may bring a column from outside
// the bitmap back into it.
template <Bitmap B, unsigned V>
void WalkMosaic(const uint8_t *bitmap, uint16_t *row)
{
    constexpr uint32_t Width = BitmapShape<B>::Width, Height = BitmapShape<B>::Height;
    const uint32_t blockW = (BgMosaicH & 15) + 1;
    const uint32_t blockH = (BgMosaicV & 15) + 1;

    // Unsigned so the steps wrap instead of overflowing.
    uint32_t x = uint32_t(BgCurX[0]), y = uint32_t(BgCurY[0]);
    const uint32_t pa = uint32_t(BgPa[0]), pc = uint32_t(BgPc[0]);
    for (unsigned col = PictureColumn; col < PictureColumn + LineColumns; ++col) {
        uint32_t tx = uint32_t(int32_t(x) >> 8);
        uint32_t ty = uint32_t(int32_t(y) >> 8);
        x += pa;
        y += pc;
        if (!(WindowLine[col] & 4))
            continue;
        tx -= tx % blockW;
        ty -= ty % blockH;
        if (tx >= Width || ty >= Height)
            continue;
        if constexpr (B == Bitmap::Indexed240) {
            if (uint32_t index = bitmap[ty * Width + tx])
                WritePalettePixel<V>(row, col, index);
        } else {
            WriteLayerPixel<V>(row, col, HostHalf(bitmap + (ty * Width + tx) * 2));
        }
        WindowLine[col] &= CoverKeep;
    }
}

// The texels of columns [run.first, run.end) into texels[], by the walk's
// own 32-bit steps.
template <Bitmap B>
void GatherTexels(const uint8_t *bitmap, ColumnRun run, typename BitmapShape<B>::Texel *texels)
{
    using Texel = typename BitmapShape<B>::Texel;
    constexpr uint32_t Width = BitmapShape<B>::Width;
    const uint32_t pa = uint32_t(BgPa[0]), pc = uint32_t(BgPc[0]);
    uint32_t x = uint32_t(BgCurX[0]) + uint32_t(run.first) * pa;
    uint32_t y = uint32_t(BgCurY[0]) + uint32_t(run.first) * pc;
    const Texel *source = reinterpret_cast<const Texel *>(bitmap);
    if (pa == 256 && pc == 0) {
        const uint32_t at = uint32_t(int32_t(y) >> 8) * Width + uint32_t(int32_t(x) >> 8);
        std::memcpy(texels + run.first, bitmap + at * sizeof(Texel), size_t(run.end - run.first) * sizeof(Texel));
        return;
    }
    for (int32_t k = run.first; k < run.end; ++k) {
        const uint32_t at = uint32_t(int32_t(y) >> 8) * Width + uint32_t(int32_t(x) >> 8);
        Texel t;
        std::memcpy(&t, source + at, sizeof t);
        texels[k] = t;
        x += pa;
        y += pc;
    }
}

// Eight direct colours from column k, those outside the run left alone.
template <unsigned V>
inline void DrawDirectBlock(uint16_t *row, int32_t k, const uint16_t *texels, ColumnRun run)
{
    const LaneVector column = LaneVector{0, 1, 2, 3, 4, 5, 6, 7} + uint8_t(k);
    const LaneMask outside = (column < uint8_t(run.first)) | (column >= uint8_t(run.end));
    PixelVector c;
    std::memcpy(&c, texels + k, sizeof c);
    WriteRow<V>(row, unsigned(PictureColumn + k), outside, 4, [&] { return c; }, [&] { return HostColors(c); });
}

#ifdef TAVRIN_HOST_AVX2
// The straight store of direct colours from[k..end) sixteen at a time; the
// columns from the one returned on are left to the eight-pixel loop.
template <bool Second>
TAVRIN_AVX2 int32_t StoreStraightWide(uint16_t *row, uint16_t *second, const uint16_t *from, int32_t k, int32_t end)
{
    using Pixels = uint16_t __attribute__((vector_size(32)));
    for (; k + 16 <= end; k += 16) {
        Pixels c;
        std::memcpy(&c, from + k, sizeof c);
        Pixels host;
        PackHostColorsOf(c, host);
        const Pixels mark = Second ? c | SecondTargetMark : Pixels{};
        std::memcpy(row + k, &host, sizeof host);
        std::memcpy(second + k, &mark, sizeof mark);
    }
    return k;
}
#endif

template <Bitmap B, unsigned V>
int32_t RenderBitmapLine(uint32_t line, uint32_t page)
{
    using Shape = BitmapShape<B>;
    const uint8_t *bitmap = RenderVramBlock() + (B == Bitmap::Direct240 ? 0 : (page & 0xA000));
    uint16_t *row = FrameRow(line);
    const int64_t x0 = BgCurX[0], y0 = BgCurY[0], pa = BgPa[0], pc = BgPc[0];
    if (RenderIo(IoBg2cnt) & 0x40) {
        WalkMosaic<B, V>(bitmap, row);
        return 0;
    }
    const ColumnRun run = Intersect(TexelRun(x0, pa, Shape::Width, LineColumns),
                                    TexelRun(y0, pc, Shape::Height, LineColumns));
    if (run.first >= run.end)
        return 0;

    // Lanes outside the run are transparent: mode 4 marks them with index 0,
    // the direct-colour modes by their column.
    alignas(16) typename Shape::Texel texels[LineColumns + 8];
    std::memset(texels + (run.first & ~7), 0, 8 * sizeof texels[0]);
    std::memset(texels + (run.end & ~7), 0, 8 * sizeof texels[0]);
    int32_t k = run.first & ~7;
    // Blocks wholly inside the run, where the window shows every pixel and
    // nothing drawn must be kept from the layers behind, are stored as they
    // are; unscaled and unturned, straight from the bitmap's row, so only
    // the blocks at the run's ends are gathered.
    bool straight = false;
    if constexpr (B != Bitmap::Indexed240 && (V & 3) == EffectNone)
        // Without windows every column is open to every layer.
        straight = HostTableIsPacked && CoverKeep == 0xFF &&
                   (!(RenderIo(IoDispcnt) & 0xE000) ||
                    WindowOpenAll(PictureColumn + unsigned(run.first), PictureColumn + unsigned(run.end), 4));
    const typename Shape::Texel *inPlace = nullptr;
    if (straight && pa == 256 && pc == 0) {
        inPlace = reinterpret_cast<const typename Shape::Texel *>(bitmap) + (y0 >> 8) * int64_t(Shape::Width) +
                  (x0 >> 8) + run.first;
        if (run.first & 7)
            GatherTexels<B>(bitmap, {run.first, std::min(run.end, k + 8)}, texels);
        if (run.end & 7)
            GatherTexels<B>(bitmap, {std::max(run.first, run.end & ~7), run.end}, texels);
    } else {
        GatherTexels<B>(bitmap, run, texels);
    }
    if constexpr (B != Bitmap::Indexed240 && (V & 3) == EffectNone) {
        if (straight) {
            if (k < run.first) {
                DrawDirectBlock<V>(row, k, texels, run);
                k += 8;
            }
            const uint16_t *from = inPlace ? inPlace - run.first : texels;
#ifdef TAVRIN_HOST_AVX2
            if (HostHasAvx2)
                k = StoreStraightWide<(V & 4) != 0>(row + PictureColumn, SecondTargetLine + PictureColumn, from, k,
                                                    run.end);
#endif
            for (; k + 8 <= run.end; k += 8) {
                PixelVector c;
                std::memcpy(&c, from + k, sizeof c);
                const PixelVector host = PackHostColors(c);
                const PixelVector second = (V & 4) ? c | SecondTargetMark : PixelVector{};
                std::memcpy(row + PictureColumn + k, &host, sizeof host);
                std::memcpy(SecondTargetLine + PictureColumn + k, &second, sizeof second);
            }
        }
    }
    for (; k < run.end; k += 8) {
        if constexpr (B == Bitmap::Indexed240) {
            uint64_t lanes;
            std::memcpy(&lanes, texels + k, 8);
            WriteTileRow<V>(row, unsigned(PictureColumn + k), lanes, 0, 4);
        } else {
            DrawDirectBlock<V>(row, k, texels, run);
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
