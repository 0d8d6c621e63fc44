#include "modules/tavrin/render/LineCompositor.h"

#include "modules/tavrin/render/AffineTexture.h"
#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/DrawnLines.h"
#include "modules/tavrin/render/HostPalette.h"
#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/RenderState.h"
#include "modules/tavrin/render/SpriteList.h"
#include "modules/tavrin/render/SpriteWalk.h"
#include "modules/tavrin/render/TileRowColours.h"
#include "modules/tavrin/render/WindowLine.h"

#include <array>
#include <cstring>
#include <utility>

namespace Tavrin {

namespace {

constexpr uint32_t NoLayer = 0xFF;

// The kind that draws background n in modes 0-2.
constexpr uint32_t TiledModeKinds[3][4] = {
    {KindTextBg, KindTextBg, KindTextBg, KindTextBg},
    {KindTextBg, KindTextBg, KindAffineBg, NoLayer},
    {NoLayer, NoLayer, KindAffineBg, KindAffineBg},
};

constexpr uint32_t HostWhite = 0x7FFF;

// The display control bits the compositor reads.
constexpr uint32_t DispcntMode = 0x0007;
constexpr uint32_t DispcntSecondPage = 0x0010;  // modes 4 and 5: the frame at 0xA000
constexpr uint32_t DispcntForcedBlank = 0x0080;
constexpr uint32_t DispcntBg0On = 0x0100;       // BG n: DispcntBg0On << n
constexpr uint32_t DispcntBg2On = 0x0400;
constexpr uint32_t DispcntObjOn = 0x1000;
constexpr uint32_t DispcntWindows = 0xE000;     // WIN0, WIN1 and the OBJ window

// The blend control: first-target bits 0-5 (BG0-BG3, sprites, backdrop),
// the effect in bits 6-7, the second-target bits eight above the first.
constexpr uint32_t BldcntBg2First = 0x0004;
constexpr uint32_t BldcntObjFirst = 0x0010;
constexpr uint32_t BldcntBackdropFirst = 0x0020;
constexpr uint32_t BldcntEffectShift = 6;
constexpr uint32_t BldcntSecondShift = 8;
constexpr uint32_t BldcntBackdropSecond = BldcntBackdropFirst << BldcntSecondShift;
constexpr uint32_t BldcntSecondTargets = 0x3F00;

// The fields of a BgOrder word: priority in bits 0-1, variant in 24-26,
// background number in 28-29.
constexpr uint32_t PriorityMask = 3;
constexpr uint32_t OrderVariantShift = 24;
constexpr uint32_t OrderBgShift = 28;

constexpr uint32_t BitmapSecondPage = 0xA000;

// A sprite's mode, attribute 0 bits 10-11: 1 is semi-transparent.
constexpr uint32_t ObjModeShift = 10;
constexpr uint32_t ObjSemiTransparent = 1;

// Every line starts with these fills: unrolled, their loops cost less than
// the stores.
void FillRow(uint16_t *row, uint16_t value)
{
#pragma GCC unroll 8
    for (unsigned col = PictureColumn; col < PictureColumn + 240; ++col)
        row[col] = value;
}

// The variant of a layer whose first-target bit is firstBit and second-target
// bit firstBit << 8.
inline uint32_t LayerVariant(uint32_t bldcnt, uint32_t firstBit)
{
    return ((bldcnt & firstBit) ? (bldcnt >> BldcntEffectShift) & 3 : 0) +
           ((bldcnt & (firstBit << BldcntSecondShift)) ? 4 : 0);
}

void PaintBackdrop(uint16_t *row, uint32_t bldcnt)
{
    const uint32_t backdrop = BgPalette[0];
    const uint16_t plain = ColorToHostTable[backdrop];
    const uint32_t effect = (bldcnt >> BldcntEffectShift) & 3;
    // Under alpha the backdrop has nothing beneath it to blend with.
    if (!(bldcnt & BldcntBackdropFirst) || effect == EffectNone || effect == EffectAlpha) {
        FillRow(row, plain);
        return;
    }
    const uint16_t changed = ColorToHostTable[effect == EffectBrighten ? Brighten(backdrop) : Darken(backdrop)];
    for (unsigned col = PictureColumn; col < PictureColumn + 240; ++col)
        row[col] = (WindowLine[col] & WindowEffectBit) ? changed : plain;
}

} // namespace

uint32_t BeginScanline(uint32_t line, uint32_t dirty)
{
    const uint32_t dispcnt = RenderIo(IoDispcnt);
    uint16_t *row = FrameRow(line);
    if (dispcnt & DispcntForcedBlank) {
        FillRow(row, ColorToHostTable[HostWhite]);
        return 0;
    }
    const uint32_t bldcnt = RenderIo(IoBldcnt);
    if (dirty & DirtySpriteList)
        BuildObjList();
    if (dirty & DirtyWindowLine)
        BuildWindowLine(line);
    if (dirty & DirtySecondTargets) {
        const uint16_t entry = (bldcnt & BldcntBackdropSecond) ? uint16_t(BgPalette[0] | SecondTargetMark) : 0;
        FillRow(SecondTargetLine, entry);
    }
    PaintBackdrop(row, bldcnt);
    return 1;
}

uint32_t ComposeLine(const LayerRenderer *table)
{
    // Nothing to draw into or from before the machine has mapped its memory.
    if (!FrameBuffer || !BgPalette || !ObjPalette || RenderVramBlock() == DummyPage ||
        RenderOamBlock() == DummyPage)
        return 0;
    const uint32_t line = RenderIo(IoVcount) & 0xFF;
    if (line >= 160 || !BeginScanline(line, RenderDirtyFlags))
        return 0;

    const uint32_t dispcnt = RenderIo(IoDispcnt);
    const uint32_t bldcnt = RenderIo(IoBldcnt);
    if (!(dispcnt & DispcntWindows))
        RenderDirtyFlags &= uint8_t(~DirtyWindowLine);
    if (!(bldcnt & BldcntSecondTargets))
        RenderDirtyFlags &= uint8_t(~DirtySecondTargets);
    RenderDirtyFlags &= uint8_t(~DirtySpriteList);

    const uint32_t mode = dispcnt & DispcntMode;
    if (mode >= 6)
        return 1;

    const LayerRenderer drawObj = table[KindObj * 8 + LayerVariant(bldcnt, BldcntObjFirst)];
    const bool objOn = dispcnt & DispcntObjOn;
    int32_t cursor = -1;

    if (mode <= 2) {
        if (objOn)
            cursor = drawObj(line, 0, (BgOrder[0] & PriorityMask) + 1);
        for (int i = 0; i < 4; ++i) {
            const uint32_t d = BgOrder[i];
            const uint32_t n = (d >> OrderBgShift) & 3;
            const uint32_t kind = TiledModeKinds[mode][n];
            if (kind != NoLayer && (dispcnt & (DispcntBg0On << n))) {
                const uint32_t v = (d >> OrderVariantShift) & 7;
                table[kind * 8 + v](line, d, v * 4);
            }
            const uint32_t bound = i < 3 ? (BgOrder[i + 1] & PriorityMask) + 1 : 0;
            if (cursor != -1 && bound <= (d & PriorityMask))
                cursor = drawObj(line, uint32_t(cursor), bound);
        }
        return 1;
    }

    if (objOn)
        cursor = drawObj(line, 0, (RenderIo(IoBg2cnt) & PriorityMask) + 1);
    if (dispcnt & DispcntBg2On) {
        const uint32_t v = LayerVariant(bldcnt, BldcntBg2First);
        const uint32_t kind = mode == 3 ? KindBitmap16 : mode == 4 ? KindBitmap8 : KindBitmapSmall;
        const uint32_t page = (mode != 3 && (dispcnt & DispcntSecondPage)) ? BitmapSecondPage : 0;
        table[kind * 8 + v](line, page, v * 4);
    }
    if (cursor != -1)
        drawObj(line, uint32_t(cursor), 0);
    return 1;
}

// RenderLine first has ComposeLine call a recording table, then draws the
// recorded calls. Where no layer of the line reads what lies beneath it (no
// alpha, no semi-transparent sprite) and a background draws, the calls run
// front to back: each drawn pixel closes its window byte to the layers
// behind it (CoverKeep), so every visible pixel is written once and hidden
// blocks of eight are skipped whole. Otherwise they run as recorded.

uint8_t CoverKeep = 0xFF;

namespace {

struct LayerCall {
    uint32_t renderer;  // kind * 8 + variant
    uint32_t a, b;
    uint32_t bandEnd;   // sprites, front to back: the first record not drawn
    bool empty;         // sprites, front to back: none of the band on the line
};

// A line makes at most nine calls: a band of sprites before and after each
// of four backgrounds.
LayerCall calls[12];
uint32_t callCount;
uint32_t backgroundCalls;
bool frontToBack;
bool paletteCalls;

// A sprite band's call returns where the next band starts, -1 at the end of
// the list; recorded, it returns 0 so that every band call is recorded, and
// the replay carries the real position from band to band.
template <uint32_t R>
int32_t RecordCall(uint32_t, uint32_t a, uint32_t b)
{
    calls[callCount++] = {R, a, b, 0, false};
    if constexpr ((R & 3) == EffectAlpha)
        frontToBack = false;
    if constexpr (R / 8 != KindObj)
        ++backgroundCalls;
    if constexpr (R / 8 != KindBitmap16 && R / 8 != KindBitmapSmall)
        paletteCalls = true;
    return 0;
}

template <uint32_t... R>
constexpr std::array<LayerRenderer, LayerRendererCount> MakeRecorders(std::integer_sequence<uint32_t, R...>)
{
    return {RecordCall<R>...};
}
constexpr auto RecordingTable = MakeRecorders(std::make_integer_sequence<uint32_t, LayerRendererCount>());

void DrawBackToFront(uint32_t line)
{
    int32_t cursor = 0;
    for (uint32_t i = 0; i < callCount; ++i) {
        const LayerCall &c = calls[i];
        if (c.renderer / 8 != KindObj)
            LayerRendererTable[c.renderer](line, c.a, c.b);
        else if (cursor != -1)
            cursor = LayerRendererTable[c.renderer](line, uint32_t(cursor), c.b);
    }
}

// Sets the sprite calls' ranges and counts the bands with sprites on the
// line into bandsOnLine; false when a semi-transparent sprite of them covers
// the line.
bool SetBandRanges(uint32_t line, uint32_t &bandsOnLine)
{
    // The list runs by priority, 3 first, and each band takes the
    // priorities from its bound up to the band before's: whether the line
    // has any of them is one test.
    const uint32_t present = line < SpriteLines ? LineSprites[line].priorities : 0;
    uint32_t above = 4;
    int32_t cursor = 0;
    bandsOnLine = 0;
    for (uint32_t k = 0; k < callCount; ++k) {
        LayerCall &c = calls[k];
        if (c.renderer / 8 != KindObj)
            continue;
        c.a = cursor == -1 ? 0 : uint32_t(cursor);
        c.bandEnd = cursor == -1 ? 0 : SpriteBandEnd(c.a, c.b);
        const uint32_t bound = c.b < above ? c.b : above;
        c.empty = cursor == -1 || !(present & ((1u << above) - (1u << bound)));
        above = bound;
        bandsOnLine += !c.empty;
        bool semiTransparent = false;
        if (SemiTransparentListed && !c.empty)
            ForEachSpriteOnLine(line, c.a, c.bandEnd, [&](const SpriteRecord &r) {
                semiTransparent |= ((SpriteAttribute(r, 0) >> ObjModeShift) & 3) == ObjSemiTransparent;
            });
        if (semiTransparent)
            return false;
        if (cursor != -1)
            cursor = SpriteBandCursor(c.bandEnd);
    }
    return true;
}

using WindowBytes = uint8_t __attribute__((vector_size(16)));

// The layer bits that any picture column of the window line still has.
uint8_t OpenLayers()
{
    WindowBytes open{};
    for (unsigned col = PictureColumn; col < PictureColumn + 240; col += 16) {
        WindowBytes sixteen;
        std::memcpy(&sixteen, WindowLine + col, 16);
        open |= sixteen;
    }
    uint64_t halves[2];
    std::memcpy(halves, &open, 16);
    uint64_t any = halves[0] | halves[1];
    any |= any >> 32;
    any |= any >> 16;
    return uint8_t(any | any >> 8);
}

// The picture's part of the window line as it was before a line drawn front
// to back closed its bytes, copied sixteen bytes at a time, unrolled so the
// compiler does not make it a block copy, which costs more to start than it
// moves here. The guard bands' bytes only decide pixels no one sees, so
// they are left as the line leaves them, as when a window is on.
struct SavedWindowLine {
    static constexpr int Sixteens = 240 / 16;
    WindowBytes sixteens[Sixteens];

    SavedWindowLine()
    {
#pragma GCC unroll 16
        for (int k = 0; k < Sixteens; ++k)
            std::memcpy(&sixteens[k], WindowLine + PictureColumn + 16 * k, 16);
    }
    void Restore() const
    {
#pragma GCC unroll 16
        for (int k = 0; k < Sixteens; ++k)
            std::memcpy(WindowLine + PictureColumn + 16 * k, &sixteens[k], 16);
    }
};

uint8_t LayerBit(const LayerCall &c)
{
    switch (c.renderer / 8) {
    case KindObj: return WindowObjBit;
    case KindTextBg:
    case KindAffineBg: return uint8_t(1u << ((c.a >> OrderBgShift) & 3));
    default: return uint8_t(1u << 2);  // the bitmaps are background 2
    }
}

[[gnu::always_inline]] inline void DrawLayersFrontToBack(uint32_t line)
{
    CoverKeep = WindowCovered;
    // A layer whose bit no column has any more is hidden whole. The bits
    // are looked at again only before a call that follows a drawing one.
    uint8_t open = OpenLayers();
    bool drawn = false;
    for (uint32_t i = callCount; i-- > 0;) {
        const LayerCall &c = calls[i];
        if (c.empty)
            continue;
        if (drawn) {
            open = OpenLayers();
            drawn = false;
        }
        if (!(open & LayerBit(c)))
            continue;
        if (c.renderer / 8 == KindObj)
            SpriteBandDownwardTable[c.renderer & 7](line, c.a, c.bandEnd);
        else
            LayerRendererTable[c.renderer](line, c.a, c.b);
        drawn = true;
    }
    CoverKeep = 0xFF;
}

// While a window is on, the next line drawn builds the picture's part of
// the window line afresh, so the bytes this one closes need not be put
// back (those of the guard bands only decide pixels no one sees).
void DrawFrontToBack(uint32_t line)
{
    if (RenderDirtyFlags & DirtyWindowLine) {
        DrawLayersFrontToBack(line);
        return;
    }
    const SavedWindowLine saved;
    DrawLayersFrontToBack(line);
    saved.Restore();
}

// Looks at what stores reached before a line is drawn or copied: what the
// renderer keeps decoded from VRAM is dropped where the content changed,
// all of it after a change no store reported, which also forgets the kept
// lines. Palette RAM is looked at on line 0 even unmarked, as its
// converted copy is. False while the machine has not mapped its memory.
bool NoteStores(uint32_t line)
{
    if (!FrameBuffer || !BgPalette || !ObjPalette || RenderVramBlock() == DummyPage || RenderOamBlock() == DummyPage)
        return false;
    const bool whole = RenderDirtyFlags & DirtyWholeMemory;
    uint64_t parts = VramPartsStored;
    VramPartsStored = 0;
    if (whole) {
        parts = ~uint64_t(0);
        RenderDirtyFlags &= uint8_t(~DirtyWholeMemory);
        ForgetDrawnLines();
    }
    if (whole || line == 0)
        RenderDirtyFlags |= DirtyPalette;
    NotePaletteStores();
    if (whole || (RenderDirtyFlags & DirtySpriteList))
        NoteOamContent();
    const uint64_t changed = parts ? NoteVramContent(parts) : 0;
    if (const uint64_t drop = whole ? ~uint64_t(0) : changed) {
        DropAffineTexels(drop);
        DropTileRowColours(drop);
    }
    return true;
}

} // namespace

void RenderLine()
{
    const uint32_t line = RenderIo(IoVcount) & 0xFF;
    const bool noted = line < 160 && NoteStores(line);
    if (noted && ReuseDrawnLine(line)) {
        // The sprite list is rebuilt as the drawing would have, so that
        // the mark does not make every copied line look at sprite RAM.
        if (RenderDirtyFlags & DirtySpriteList) {
            BuildObjList();
            RenderDirtyFlags &= uint8_t(~DirtySpriteList);
        }
        // Palette RAM was looked at with the stores; line 0 still asks
        // for the whole conversion the next drawn line makes.
        if (line == 0)
            RefreshHostPalette(true, false);
        return;
    }
    callCount = backgroundCalls = 0;
    frontToBack = true;
    paletteCalls = false;
    if (!ComposeLine(RecordingTable.data()))
        return;
    RefreshHostPalette(line == 0, paletteCalls);
    // Sprites alone seldom hide enough of each other to pay for the order,
    // and one layer alone on the line has nothing in front of it.
    uint32_t bandsOnLine = 0;
    if (frontToBack && backgroundCalls > 0 && callCount > 1 && SetBandRanges(line, bandsOnLine) &&
        backgroundCalls + bandsOnLine > 1)
        DrawFrontToBack(line);
    else
        DrawBackToFront(line);
    if (noted)
        KeepDrawnLine(line);
}

} // namespace Tavrin
