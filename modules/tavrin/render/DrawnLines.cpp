#include "modules/tavrin/render/DrawnLines.h"

#include "modules/tavrin/render/HostPalette.h"
#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/RenderState.h"
#include "modules/tavrin/render/SpriteList.h"

#include <cstring>
#include <initializer_list>

namespace Tavrin {

uint32_t VramContentGeneration = 0;
uint64_t ReusedLineCount = 0;

namespace {

constexpr uint32_t Lines = 160;
constexpr uint32_t PictureWidth = 240;
constexpr uint32_t VramBytes = 0x18000;
constexpr uint32_t VramPartBytes = 1u << VramPartShift;
constexpr uint32_t VramParts = VramBytes / VramPartBytes;
constexpr uint32_t OamBytes = 0x400;
// Attribute 0: the rotation bit, and the bit that hides an unrotated
// sprite (doubles a rotated one's box).
constexpr uint32_t Rotated = 0x100, Hidden = 0x200;

// The display registers, 0x000-0x057: control, backgrounds, affine words,
// windows, mosaic and blending. The status and line counter (0x004-0x007)
// are left out, as the line is the record's own.
constexpr uint32_t DisplayRegisterBytes = 0x58;
constexpr uint32_t StatusOffset = 0x004;

struct LineInputs {
    uint8_t io[DisplayRegisterBytes];
    uint32_t order[4];
    uint32_t blend[3];
    uint32_t mosaic[4];
    int32_t walk[12];
    uint32_t generations[3];
};
static_assert(sizeof(LineInputs) == DisplayRegisterBytes + 26 * 4, "no padding: records compare as bytes");

uint8_t seenVram[VramBytes];
uint8_t seenOam[OamBytes];
// Per line, counted up whenever a sprite entry whose box covers the line
// (before or after the change) changed, so that a sprite moving or
// turning draws again only the lines it crosses.
uint32_t spriteLineGenerations[Lines];
uint32_t spriteChanges = 0;

LineInputs gathered;
LineInputs kept[Lines];
bool keptValid[Lines];
uint16_t keptPixels[Lines][PictureWidth];

void Gather(LineInputs &in, uint32_t line)
{
    std::memcpy(in.io, RenderIoBlock(), DisplayRegisterBytes);
    std::memset(in.io + StatusOffset, 0, 4);
    std::memcpy(in.order, BgOrder, sizeof in.order);
    in.blend[0] = BlendEva;
    in.blend[1] = BlendEvb;
    in.blend[2] = BlendEvy;
    in.mosaic[0] = BgMosaicH;
    in.mosaic[1] = BgMosaicV;
    in.mosaic[2] = ObjMosaicH;
    in.mosaic[3] = ObjMosaicV;
    for (int i = 0; i < 2; ++i) {
        in.walk[i] = BgCurX[i];
        in.walk[2 + i] = BgCurY[i];
        in.walk[4 + i] = BgPa[i];
        in.walk[6 + i] = BgPb[i];
        in.walk[8 + i] = BgPc[i];
        in.walk[10 + i] = BgPd[i];
    }
    in.generations[0] = VramContentGeneration;
    in.generations[1] = spriteLineGenerations[line];
    in.generations[2] = PaletteGeneration;
}

// Marks the lines the box of the entry at e covers on the screen, counted
// from its top line round the 256 lines the vertical position wraps at; a
// hidden entry covers none.
void MarkSpriteLines(const uint8_t *e)
{
    const uint32_t a0 = HostHalf(e), a1 = HostHalf(e + 2);
    if ((a0 & (Rotated | Hidden)) == Hidden)
        return;
    const uint32_t k = (a0 >> 14) * 4 + (a1 >> 14);
    const uint32_t height = SpriteHeightTiles[k] * 8 * ((a0 & (Rotated | Hidden)) == (Rotated | Hidden) ? 2 : 1);
    const uint32_t top = a0 & 0xFF;
    for (uint32_t i = 0; i < height; ++i) {
        const uint32_t line = (top + i) & 0xFF;
        if (line < Lines)
            spriteLineGenerations[line] = spriteChanges;
    }
}

} // namespace

uint64_t NoteVramContent(uint64_t parts)
{
    const uint8_t *vram = RenderVramBlock();
    uint64_t changed = 0;
    for (parts &= (uint64_t(1) << VramParts) - 1; parts; parts &= parts - 1) {
        const uint32_t at = uint32_t(__builtin_ctzll(parts)) * VramPartBytes;
        if (std::memcmp(seenVram + at, vram + at, VramPartBytes) != 0) {
            std::memcpy(seenVram + at, vram + at, VramPartBytes);
            changed |= parts & -parts;
        }
    }
    if (changed)
        ++VramContentGeneration;
    return changed;
}

void NoteOamContent()
{
    const uint8_t *oam = RenderOamBlock();
    if (std::memcmp(seenOam, oam, OamBytes) == 0)
        return;
    ++spriteChanges;
    // Each entry's fourth halfword is a quarter of a rotation matrix, of
    // the group of four entries it lies in; a changed matrix changes every
    // rotated sprite that uses it.
    constexpr uint32_t EntryBytes = 8, MatrixWordOffset = 6;
    uint32_t changedMatrices = 0;
    for (uint32_t n = 0; n < OamBytes / EntryBytes; ++n) {
        const uint8_t *was = seenOam + n * EntryBytes, *is = oam + n * EntryBytes;
        if (std::memcmp(was, is, EntryBytes) == 0)
            continue;
        MarkSpriteLines(was);
        MarkSpriteLines(is);
        if (HostHalf(was + MatrixWordOffset) != HostHalf(is + MatrixWordOffset))
            changedMatrices |= 1u << (n / 4);
    }
    for (uint32_t n = 0; changedMatrices && n < OamBytes / EntryBytes; ++n) {
        for (const uint8_t *e : {static_cast<const uint8_t *>(seenOam) + n * EntryBytes, oam + n * EntryBytes}) {
            const uint32_t a0 = HostHalf(e), a1 = HostHalf(e + 2);
            if ((a0 & Rotated) && (changedMatrices >> ((a1 >> 9) & 31) & 1))
                MarkSpriteLines(e);
        }
    }
    std::memcpy(seenOam, oam, OamBytes);
}

void ForgetDrawnLines() { std::memset(keptValid, 0, sizeof keptValid); }

bool ReuseDrawnLine(uint32_t line)
{
    Gather(gathered, line);
    if (!keptValid[line] || std::memcmp(&gathered, &kept[line], sizeof gathered) != 0)
        return false;
    std::memcpy(FrameRow(line) + PictureColumn, keptPixels[line], sizeof keptPixels[line]);
    ++ReusedLineCount;
    return true;
}

void KeepDrawnLine(uint32_t line)
{
    kept[line] = gathered;
    keptValid[line] = true;
    std::memcpy(keptPixels[line], FrameRow(line) + PictureColumn, sizeof keptPixels[line]);
}

} // namespace Tavrin
