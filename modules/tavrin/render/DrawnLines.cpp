#include "modules/tavrin/render/DrawnLines.h"

#include "modules/tavrin/render/HostPalette.h"
#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/RenderState.h"
#include "modules/tavrin/render/SpriteList.h"

#include <cstring>
#include <initializer_list>

namespace Tavrin {

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
// windows, mosaic and blending, in eleven words, the status and line
// counter (bytes 4-7) left out as the line is the record's own. Then the
// words the machine derives from them and the content generations, two to
// a word.
constexpr uint32_t DisplayRegisterWords = 11;
constexpr uint32_t InputWords = DisplayRegisterWords + 13;
constexpr uint64_t WithoutStatus = 0xFFFFFFFFu;

struct LineInputs {
    uint64_t words[InputWords];
};

uint8_t seenVram[VramBytes];
uint8_t seenOam[OamBytes];
// Counted up whenever a look at VRAM finds content other than at the look
// before.
uint32_t vramGeneration = 0;
// Per line, counted up whenever a sprite entry whose box covers the line
// (before or after the change) changed, so that a sprite moving or
// turning draws again only the lines it crosses.
uint32_t spriteLineGenerations[Lines];
uint32_t spriteChanges = 0;

LineInputs kept[Lines];
bool keptValid[Lines];
// Per line, how many of its drawings in a row (up to 2) had inputs other
// than the drawing before. A line that keeps changing is not kept: copying
// its pixels would cost every frame and pay in none. Once its inputs hold
// still for a frame it is kept again.
uint8_t changingFrames[Lines];
uint16_t keptPixels[Lines][PictureWidth];

inline uint64_t Pair(uint32_t low, uint32_t high) { return uint64_t(low) | uint64_t(high) << 32; }
inline uint64_t Pair(const int32_t two[2]) { return Pair(uint32_t(two[0]), uint32_t(two[1])); }

// Puts the line's inputs in its record: true when they all equal what the
// record held.
bool GatherInto(LineInputs &record, uint32_t line)
{
    LineInputs in;
    const uint8_t *io = RenderIoBlock();
    std::memcpy(in.words, io, 8 * DisplayRegisterWords);
    in.words[0] &= WithoutStatus;
    uint64_t *w = in.words + DisplayRegisterWords;
    w[0] = Pair(BgOrder[0], BgOrder[1]);
    w[1] = Pair(BgOrder[2], BgOrder[3]);
    w[2] = Pair(BlendEva, BlendEvb);
    w[3] = Pair(BlendEvy, BgMosaicH);
    w[4] = Pair(BgMosaicV, ObjMosaicH);
    w[5] = Pair(ObjMosaicV, vramGeneration);
    w[6] = Pair(BgCurX);
    w[7] = Pair(BgCurY);
    w[8] = Pair(BgPa);
    w[9] = Pair(BgPb);
    w[10] = Pair(BgPc);
    w[11] = Pair(BgPd);
    w[12] = Pair(spriteLineGenerations[line], PaletteGeneration);
    static_assert(DisplayRegisterWords + 13 == InputWords);
    uint64_t differ = 0;
    for (uint32_t k = 0; k < InputWords; ++k)
        differ |= in.words[k] ^ record.words[k];
    if (differ == 0)
        return true;
    record = in;
    return false;
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
        ++vramGeneration;
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
    const bool same = GatherInto(kept[line], line);
    changingFrames[line] = same ? 0 : changingFrames[line] < 2 ? changingFrames[line] + 1 : 2;
    if (!same || !keptValid[line]) {
        // The record now holds this drawing's inputs, its pixels not yet.
        keptValid[line] = false;
        return false;
    }
    std::memcpy(FrameRow(line) + PictureColumn, keptPixels[line], sizeof keptPixels[line]);
    ++ReusedLineCount;
    return true;
}

void KeepDrawnLine(uint32_t line)
{
    if (changingFrames[line] >= 2)
        return;
    keptValid[line] = true;
    std::memcpy(keptPixels[line], FrameRow(line) + PictureColumn, sizeof keptPixels[line]);
}

} // namespace Tavrin
