// The three colour effects on the spread form of a colour, and the rule by
// which every layer renderer writes one pixel: the layer's effect where the
// window allows it, the host colour into the frame row, and the pixel's
// second-target entry. The variant v (effect + 4 * second target) is a
// template argument, so no pixel tests which effect or role applies.
#pragma once

#include "modules/tavrin/render/HostPalette.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstdint>

namespace Tavrin {

inline constexpr uint32_t SpreadWhite = 0x1F07C1F;
inline constexpr uint8_t WindowEffectBit = 0x20;
inline constexpr uint8_t WindowObjBit = 0x10;
inline constexpr uint16_t SecondTargetMark = 0x8000;

// Each 10-bit field holds a component times 16; a field of 512 or more
// saturates at 31.
inline uint32_t SpreadToColor(uint32_t w)
{
    uint32_t parts = (w >> 4) & SpreadWhite;
    parts |= ((w >> 9) & 0x100401u) * 31;
    return (parts & 31) | ((parts >> 5) & 0x3E0) | ((parts >> 10) & 0x7C00);
}

inline uint32_t AlphaBlend(uint32_t top, uint32_t second)
{
    return SpreadToColor(SpreadColorTable[second] * BlendEvb + SpreadColorTable[top] * BlendEva);
}

inline uint32_t Brighten(uint32_t c)
{
    uint32_t s = SpreadColorTable[c];
    return SpreadToColor((SpreadWhite - s) * BlendEvy + s * 16);
}

inline uint32_t Darken(uint32_t c) { return SpreadToColor(SpreadColorTable[c] * (16 - BlendEvy)); }

// ANDed into the window byte of every pixel a layer draws: 0xFF while the
// line is drawn back to front, WindowCovered while it is drawn front to back,
// so that layers further back leave drawn pixels alone.
inline constexpr uint8_t WindowCovered = 0xE0;
extern uint8_t CoverKeep;

enum Effect : unsigned { EffectNone = 0, EffectAlpha = 1, EffectBrighten = 2, EffectDarken = 3 };

// The effect of a first-target pixel in buffer column col.
template <unsigned E>
inline uint32_t ApplyEffect(unsigned col, uint32_t c)
{
    if constexpr (E != EffectNone) {
        if (WindowLine[col] & WindowEffectBit) {
            if constexpr (E == EffectAlpha) {
                if (uint32_t second = SecondTargetLine[col])
                    c = AlphaBlend(c, second);
            } else if constexpr (E == EffectBrighten) {
                c = Brighten(c);
            } else {
                c = Darken(c);
            }
        }
    }
    return c;
}

template <bool SecondTarget>
inline void StorePixel(uint16_t *row, unsigned col, uint32_t c)
{
    row[col] = ColorToHostTable[c & 0xFFFF];
    SecondTargetLine[col] = SecondTarget ? uint16_t(c | SecondTargetMark) : 0;
}

// Steps 3-5 of the pixel-write rule; the caller has tested the layer's
// window bit and transparency.
template <unsigned V>
inline void WriteLayerPixel(uint16_t *row, unsigned col, uint32_t c)
{
    StorePixel<(V & 4) != 0>(row, col, ApplyEffect<V & 3>(col, c));
}

// The same for a palette entry (0-511, sprite colours from 256): without an
// effect the host colour comes straight from HostPalette.
template <unsigned V>
inline void WritePalettePixel(uint16_t *row, unsigned col, uint32_t entry)
{
    if constexpr ((V & 3) == EffectNone) {
        row[col] = HostPalette[entry];
        SecondTargetLine[col] = (V & 4) ? uint16_t(BgPalette[entry] | SecondTargetMark) : 0;
    } else {
        WriteLayerPixel<V>(row, col, BgPalette[entry]);
    }
}

} // namespace Tavrin
