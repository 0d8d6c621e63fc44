// The 48 layer renderers, indexed kind * 8 + v with v = effect + 4 * second
// target. All share one signature (line, a, b) -> result:
//   text and affine backgrounds: a = the BgOrder word of the background;
//   bitmaps: a = the page's VRAM byte offset (0 or 0xA000);
//   sprites: a = first SpriteList record, b = lowest priority drawn, result =
//   the first record not drawn or -1 at the end of the list.
#pragma once

#include <cstdint>

namespace Tavrin {

using LayerRenderer = int32_t (*)(uint32_t line, uint32_t a, uint32_t b);

enum LayerKind : uint32_t {
    KindTextBg = 0,
    KindAffineBg = 1,
    KindBitmap16 = 2,
    KindBitmap8 = 3,
    KindBitmapSmall = 4,
    KindObj = 5,
};
inline constexpr int LayerVariants = 8;
inline constexpr int LayerRendererCount = 48;

template <unsigned V> int32_t RenderTextBgLine(uint32_t line, uint32_t d, uint32_t);
template <unsigned V> int32_t RenderAffineBgLine(uint32_t line, uint32_t d, uint32_t);
template <unsigned V> int32_t RenderBitmap16Line(uint32_t line, uint32_t page, uint32_t);
template <unsigned V> int32_t RenderBitmap8Line(uint32_t line, uint32_t page, uint32_t);
template <unsigned V> int32_t RenderBitmapSmallLine(uint32_t line, uint32_t page, uint32_t);
template <unsigned V> int32_t RenderObjLine(uint32_t line, uint32_t first, uint32_t bound);

extern const LayerRenderer LayerRendererTable[LayerRendererCount];

// The sprites of records [first, end) in reverse order, by variant, for a
// line drawn front to back.
using SpriteBandRenderer = void (*)(uint32_t line, uint32_t first, uint32_t end);
extern const SpriteBandRenderer SpriteBandDownwardTable[LayerVariants];

} // namespace Tavrin

// Instantiates the eight variants of a renderer family in its own file.
#define TAVRIN_LAYER_VARIANTS(fn)                                   \
    template int32_t fn<0>(uint32_t, uint32_t, uint32_t);           \
    template int32_t fn<1>(uint32_t, uint32_t, uint32_t);           \
    template int32_t fn<2>(uint32_t, uint32_t, uint32_t);           \
    template int32_t fn<3>(uint32_t, uint32_t, uint32_t);           \
    template int32_t fn<4>(uint32_t, uint32_t, uint32_t);           \
    template int32_t fn<5>(uint32_t, uint32_t, uint32_t);           \
    template int32_t fn<6>(uint32_t, uint32_t, uint32_t);           \
    template int32_t fn<7>(uint32_t, uint32_t, uint32_t);
