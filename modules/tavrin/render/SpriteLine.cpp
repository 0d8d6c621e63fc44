// Sprites of one priority band on one line. Regular sprites take the
// member's effect; semi-transparent ones blend with the second target below
// them and, with none there, take BLDCNT's brighten or darken where the
// window allows effects. Window sprites and those of object mode 3 draw
// nothing.

#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/LayerRendererTable.h"
#include "modules/tavrin/render/SpriteWalk.h"

namespace Tavrin {

namespace {

template <unsigned V>
struct RegularPixel {
    uint16_t *row;
    void operator()(unsigned col, uint32_t index) const
    {
        if (WindowLine[col] & WindowObjBit) {
            WritePalettePixel<V>(row, col, 256 + index);
            WindowLine[col] &= CoverKeep;
        }
    }
    bool Shows(unsigned col) const { return WindowOpenAny(col, WindowObjBit); }
    void Row(unsigned col, uint64_t lanes, uint32_t bank) const
    {
        WriteTileRow<V>(row, col, lanes, 256 + bank, WindowObjBit);
    }
    void NibbleRow(unsigned col, uint32_t bits, uint32_t bank) const
    {
        WriteNibbleRow<V>(row, col, bits, 256 + bank, WindowObjBit);
    }
};

template <bool SecondTarget, unsigned Fallback>
struct SemiTransparentPixel {
    uint16_t *row;
    void operator()(unsigned col, uint32_t index) const
    {
        if (!(WindowLine[col] & WindowObjBit))
            return;
        uint32_t c = ObjPalette[index];
        if (uint32_t second = SecondTargetLine[col])
            c = AlphaBlend(c, second);
        else if constexpr (Fallback != EffectNone)
            c = ApplyEffect<Fallback>(col, c);
        StorePixel<SecondTarget>(row, col, c);
    }
    bool Shows(unsigned col) const { return WindowOpenAny(col, WindowObjBit); }
    void Row(unsigned col, uint64_t lanes, uint32_t bank) const
    {
        ForEachOpaqueLane(lanes, [&](unsigned k, uint32_t lane) { (*this)(col + k, bank + lane); });
    }
    void NibbleRow(unsigned col, uint32_t bits, uint32_t bank) const { Row(col, SpreadNibbles(bits), bank); }
};

template <bool SecondTarget>
void DrawSemiTransparent(const SpriteRecord &r, uint32_t line, uint16_t *row, uint32_t effect)
{
    if (effect == EffectBrighten)
        WalkSpriteLine(r, line, SemiTransparentPixel<SecondTarget, EffectBrighten>{row});
    else if (effect == EffectDarken)
        WalkSpriteLine(r, line, SemiTransparentPixel<SecondTarget, EffectDarken>{row});
    else
        WalkSpriteLine(r, line, SemiTransparentPixel<SecondTarget, EffectNone>{row});
}

template <unsigned V>
void DrawSprite(const SpriteRecord &r, uint32_t line, uint16_t *row, uint32_t effect)
{
    switch ((SpriteAttribute(r, 0) >> 10) & 3) {
    case 0:
        WalkSpriteLine(r, line, RegularPixel<V>{row});
        break;
    case 1:
        DrawSemiTransparent<(V & 4) != 0>(r, line, row, effect);
        break;
    default:
        break;
    }
}

// A band front to back, for lines drawn in that order: the records in
// reverse, each drawing only where nothing nearer has.
template <unsigned V>
void RenderObjBandDownward(uint32_t line, uint32_t first, uint32_t end)
{
    const uint32_t effect = (RenderIo(IoBldcnt) >> 6) & 3;
    uint16_t *row = FrameRow(line);
    ForEachSpriteOnLineDownward(line, first, end,
                                [&](const SpriteRecord &r) { DrawSprite<V>(r, line, row, effect); });
}

} // namespace

template <unsigned V>
int32_t RenderObjLine(uint32_t line, uint32_t first, uint32_t bound)
{
    const uint32_t effect = (RenderIo(IoBldcnt) >> 6) & 3;
    uint16_t *row = FrameRow(line);
    const uint32_t end = SpriteBandEnd(first, bound);
    ForEachSpriteOnLine(line, first, end, [&](const SpriteRecord &r) { DrawSprite<V>(r, line, row, effect); });
    return SpriteBandCursor(end);
}

TAVRIN_LAYER_VARIANTS(RenderObjLine)

constexpr SpriteBandRenderer SpriteBandDownwardTable[LayerVariants] = {
    RenderObjBandDownward<0>, RenderObjBandDownward<1>, RenderObjBandDownward<2>, RenderObjBandDownward<3>,
    RenderObjBandDownward<4>, RenderObjBandDownward<5>, RenderObjBandDownward<6>, RenderObjBandDownward<7>,
};

} // namespace Tavrin
