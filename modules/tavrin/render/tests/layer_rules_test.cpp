// Rules of the layer renderers shown on small scenes: how the bitmaps walk
// and clip, mode 4's transparent index, tile fetches that wrap, the
// semi-transparent sprite without a second target, and guest input of any
// value staying inside the blocks.

#include "modules/tavrin/render/tests/ReferenceRenderer.h"
#include "modules/tavrin/testing/RenderFixture.h"

#include "modules/tavrin/render/TexelRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace Tavrin::Test {
namespace {

// The run of columns inside a texture, against a walk column by column in
// the renderers' 32-bit steps: steps of both signs and none, starts on and
// beside the texture's edges, and positions that pass either end of 32 bits.
TEST(TexelRunTest, MatchesAWalkColumnByColumn)
{
    std::mt19937 rng(5);
    auto pick = [&](std::initializer_list<int64_t> values) { return *(values.begin() + rng() % values.size()); };
    for (int n = 0; n < 20000; ++n) {
        const int64_t limit = pick({128, 160, 240, 256, 1024});
        const int64_t near = pick({0, limit * 256, INT32_MAX, INT32_MIN}) + int64_t(rng() % 33) - 16;
        const int32_t start = n % 4 == 0 ? int32_t(rng()) : int32_t(std::clamp<int64_t>(near, INT32_MIN, INT32_MAX));
        const int32_t step = n % 3 == 0 ? int32_t(pick({0, 1, -1, 256, -256, 32767, -32768})) : int16_t(rng());
        const ColumnRun run = TexelRun(start, step, limit, 240);
        uint32_t x = uint32_t(start);
        for (int32_t k = 0; k < 240; ++k, x += uint32_t(step)) {
            const bool inside = uint32_t(int32_t(x) >> 8) < uint32_t(limit);
            ASSERT_EQ(inside, k >= run.first && k < run.end)
                << "start " << start << " step " << step << " limit " << limit << " column " << k;
        }
    }
}

class LayerRules : public ::testing::Test {
protected:
    uint16_t Host(uint32_t c) const { return ColorToHostTable[c]; }
    void Line(uint32_t line)
    {
        b.Io(0x006, line);
        RenderDirtyFlags = 0xFF;
        RenderLine();
    }
    RenderBlocks b;
};

// The position steps over columns the window hides, so the texel of a
// column does not depend on the window; mode 5's bitmap starts at column 0.
TEST_F(LayerRules, BitmapsWalkEveryColumnFromTheReferencePoint)
{
    for (uint32_t i = 0; i < 0x14000; i += 2)
        b.Vram16(i, i / 2);  // halfword k holds k
    b.Io(0x040, 100 << 8 | 240);
    b.Io(0x044, 0 << 8 | 160);
    b.Io(0x048, 0x0004);  // BG2 only inside WIN0
    b.Io(0x04A, 0x0000);
    b.BgColor(0, 0x1234);

    b.Io(0x000, 0x2403);  // mode 3, WIN0
    BgCurX[0] = 0;
    BgCurY[0] = 5 << 8;
    Line(5);
    EXPECT_EQ(b.Pixel(99, 5), Host(0x1234));
    EXPECT_EQ(b.Pixel(100, 5), Host(5 * 240 + 100));
    EXPECT_EQ(b.Pixel(239, 5), Host(5 * 240 + 239));

    b.Io(0x000, 0x0405);  // mode 5, no window
    struct Case {
        uint32_t line;
        int x;
        uint32_t shows;
    } cases[] = {
        {0, 0, 0}, {0, 159, 159}, {0, 160, 0x1234}, {10, 40, 10 * 160 + 40}, {127, 3, 127 * 160 + 3},
        {128, 3, 0x1234}, {159, 0, 0x1234},
    };
    for (const Case &c : cases) {
        BgCurX[0] = 0;
        BgCurY[0] = int32_t(c.line) << 8;
        Line(c.line);
        EXPECT_EQ(b.Pixel(c.x, int(c.line)), Host(c.shows & 0x7FFF)) << c.line << " " << c.x;
    }
}

TEST_F(LayerRules, Mode4IndexZeroShowsWhatLiesBehind)
{
    b.Io(0x000, 0x1404);
    b.Io(0x00C, 0);  // BG2 priority 0
    b.vram[1] = 7;   // pixel (1, 0)
    b.BgColor(7, 0x03E0);
    b.BgColor(0, 0x7C00);
    for (uint32_t i = 0; i < 32; ++i)
        b.vram[0x10000 + 512 * 32 + i] = 0x11;  // sprite tile 512
    b.ObjColor(1, 0x001F);
    for (int n = 0; n < 128; ++n)
        b.Sprite(n, 0x200, 0, 0);
    b.Sprite(0, 0, 0, 1u << 10 | 512);  // behind BG2
    BgCurX[0] = 0;
    BgCurY[0] = 0;
    Line(0);
    EXPECT_EQ(b.Pixel(0, 0), Host(0x001F));  // index 0: the sprite
    EXPECT_EQ(b.Pixel(1, 0), Host(0x03E0));
    EXPECT_EQ(b.Pixel(8, 0), Host(0x7C00));  // backdrop
}

// Tall sprites under two-dimensional mapping near the last tiles, and text
// tiles past 64 KB, wrap instead of reading past their area.
TEST_F(LayerRules, TileFetchesWrap)
{
    for (int n = 0; n < 128; ++n)
        b.Sprite(n, 0x200, 0, 0);
    // A 32x64 sprite (shape 2, size 3) with tile 1023, line 8: row offset
    // 1023 * 32 + 1024 wraps to 992 in the sprite tile area.
    b.vram[0x10000 + 992] = 0x03;
    b.ObjColor(3, 0x0015);
    b.Sprite(0, 0x8000, 50 | 3u << 14, 1023);
    b.Io(0x000, 0x1000);
    Line(8);
    EXPECT_EQ(b.Pixel(50, 8), Host(0x0015));
    // The same sprite as a window sprite marks the same column.
    b.Sprite(0, 0x8000 | 0x0800, 50 | 3u << 14, 1023);
    b.Io(0x000, 0x8000);
    b.Io(0x04A, 0x2A15);
    Line(8);
    EXPECT_EQ(WindowLine[PictureColumn + 50], 0x2A);
    EXPECT_EQ(WindowLine[PictureColumn + 51], 0x15);

    // Character base 3, tile 1000, 256 colours: (49152 + 64000) mod 65536.
    b.Io(0x000, 0x0100);
    b.Io(0x008, 3 << 2 | 0x80 | 31 << 8);
    b.SortBgOrder();
    b.Vram16(31 * 0x800, 1000);
    b.vram[47616] = 9;
    b.BgColor(9, 0x4321);
    Line(0);
    EXPECT_EQ(b.Pixel(0, 0), Host(0x4321));
}

// A semi-transparent sprite blends with a second target beneath it wherever
// it is; with none beneath it takes BLDCNT's brighten or darken where the
// window allows effects, even without being named a first target.
TEST_F(LayerRules, SemiTransparentSpriteWithoutSecondTarget)
{
    for (int n = 0; n < 128; ++n)
        b.Sprite(n, 0x200, 0, 0);
    for (uint32_t i = 0; i < 32; ++i)
        b.vram[0x10000 + i] = 0x11;
    const uint32_t c = 20 | 10 << 5 | 30 << 10;
    b.ObjColor(1, c);
    b.Sprite(0, 0x0400, 0, 0);  // semi-transparent, 8x8 at (0, 0)
    b.Io(0x040, 4 << 8 | 240);
    b.Io(0x044, 0 << 8 | 160);
    b.Io(0x048, 0x0030);  // inside WIN0 (columns 4-7): sprites and effects
    b.Io(0x04A, 0x0010);  // outside: sprites only
    BlendEva = BlendEvb = 8;
    BlendEvy = 8;
    const uint32_t bright = 25 | 20 << 5 | 30 << 10, dark = 10 | 5 << 5 | 15 << 10;
    struct Case {
        uint32_t bldcnt;
        uint32_t outside, inside;
    } cases[] = {
        {0x0080, c, bright},              // brighten, sprites not a first target
        {0x00D0, c, dark},                // darken
        {0x0040, c, c},                   // alpha and nothing beneath
        {0x0000, c, c},
        {0x2040, 10 | 5 << 5 | 15 << 10,  // black backdrop as second target:
         10 | 5 << 5 | 15 << 10},         // blended on both sides
    };
    b.Io(0x000, 0x3000);
    for (const Case &k : cases) {
        b.Io(0x050, k.bldcnt);
        Line(0);
        EXPECT_EQ(b.Pixel(0, 0), Host(k.outside)) << std::hex << k.bldcnt;
        EXPECT_EQ(b.Pixel(4, 0), Host(k.inside)) << std::hex << k.bldcnt;
    }
}

// A bitmap line stored straight, as it is, still marks its pixels as second
// targets, so semi-transparent sprites in front blend with them: at the
// line's start, middle and end, with the bitmap in place and shifted by
// eight columns (its run then starting and ending off sixteen).
TEST_F(LayerRules, SpritesBlendWithABitmapStoredStraight)
{
    const uint32_t under = 4 | 8 << 5 | 12 << 10, over = 20 | 10 << 5 | 30 << 10;
    const uint32_t blended = 12 | 9 << 5 | 21 << 10;
    for (uint32_t x = 0; x < 240; ++x)
        b.Vram16(x * 2, under);
    for (uint32_t i = 0; i < 32; ++i)
        b.vram[0x14000 + i] = 0x11;  // sprite tile 512: colour 1 throughout
    b.ObjColor(1, over);
    for (int n = 0; n < 128; ++n)
        b.Sprite(n, 0x200, 0, 0);
    const int columns[] = {0, 16, 120, 232};
    for (int n = 0; n < 4; ++n)
        b.Sprite(n, 0x0400, uint32_t(columns[n]), 512);  // semi-transparent 8x8
    b.Io(0x000, 0x1403);  // mode 3, BG2 and sprites
    b.Io(0x050, 0x0440);  // alpha onto BG2
    BlendEva = BlendEvb = 8;
    b.SortBgOrder();
    for (int32_t shift : {0, 8}) {
        BgCurX[0] = -shift * 256;
        Line(0);
        for (int col : columns) {
            const bool onBitmap = col >= shift;
            EXPECT_EQ(b.Pixel(col + 4, 0), Host(onBitmap ? blended : over)) << "shift " << shift << " column " << col;
            if (onBitmap && col + 8 < 240) {
                EXPECT_EQ(b.Pixel(col + 8, 0), Host(under)) << "shift " << shift << " column " << col;
            }
        }
    }
}

// A host table with an entry of its own (as the video's SetColor stores
// one) is what the pixels show, in the bitmap modes too, whose colours are
// otherwise converted by arithmetic; and a line that takes no palette colours
// does not lose the new frame's reconversion of the palette, which the next
// line that does take them makes.
TEST_F(LayerRules, PixelsFollowAHostTableOfItsOwn)
{
    const uint32_t color = 0x2A5F;
    b.BgColor(1, color);
    for (uint32_t i = 0; i < 32; ++i)
        b.vram[0x4000 + 32 + i] = 0x11;  // tile 1 of character base 1: index 1 throughout
    for (uint32_t i = 0; i < 0x800; i += 2)
        b.Vram16(0x8000 + i, 1);  // BG0's map at screen base 16: tile 1
    b.Vram16(0, color);           // the mode-3 bitmap's first pixel
    b.Io(0x008, 1 << 2 | 16 << 8);
    b.SortBgOrder();
    BgCurX[0] = BgCurY[0] = 0;

    b.Io(0x000, 0x0100);  // mode 0, BG0
    Line(0);
    Line(1);
    EXPECT_EQ(b.Pixel(5, 1), Host(color));

    const uint16_t packed = ColorToHostTable[color];
    ColorToHostTable[color] = 0x1234;
    HostTableIsPacked = false;
    b.Io(0x000, 0x0403);  // mode 3
    Line(0);
    EXPECT_EQ(b.Pixel(0, 0), 0x1234);
    b.Io(0x000, 0x0100);
    Line(1);
    EXPECT_EQ(b.Pixel(5, 1), 0x1234);

    ColorToHostTable[color] = packed;
    FillColorTables();
}

// A store between lines shows on the next line of a rotated layer, whose
// texels the renderer keeps decoded: into its map or its tiles, as a word,
// a halfword or a byte, at VRAM's own address or a mirror; and a change that
// no store reports (as a loaded state makes) once the machine says so.
TEST_F(LayerRules, RotatedLayersShowStoresOnTheNextLine)
{
    // Mode 2, BG2 alone: 256 x 256 texels, map at 0x2000 (screen base 4),
    // tiles at 0x4000 (character base 1); tile t holds index t + 1 and the
    // map names tile (x + y) & 63 at block (x, y).
    for (uint32_t t = 0; t < 64; ++t)
        for (uint32_t i = 0; i < 64; ++i)
            b.vram[0x4000 + t * 64 + i] = uint8_t(t + 1);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            b.vram[0x2000 + y * 32 + x] = uint8_t((x + y) & 63);
    for (int i = 0; i < 256; ++i)
        b.BgColor(i, uint32_t(i * 0x0421) & 0x7FFF);
    b.Io(0x00C, 1 << 14 | 4 << 8 | 1 << 2);
    b.Io(0x000, 0x0402);
    b.SortBgOrder();

    struct Case {
        const char *name;
        uint32_t address;  // what changes on line 41 (block row 5), column 24 on
        int bytes;
        uint32_t value;
    } cases[] = {
        {"map word", 0x06002000 + 5 * 32 + 3, 4, 0x3F3F3F3F},
        {"map halfword", 0x06002000 + 5 * 32 + 4, 2, 0x2121},
        {"map byte", 0x06002000 + 5 * 32 + 5, 1, 0x30},
        {"map through a mirror", 0x06022000 + 5 * 32 + 6, 2, 0x0101},
        {"tile word", 0x06004000 + 8 * 64 + 8, 4, 0xC8C8C8C8},
        {"tile halfword through a mirror", 0x060E4000 + 8 * 64 + 8, 2, 0x7777},
        {"tile byte", 0x06004000 + 8 * 64 + 9, 1, 0x99},
        {"palette", 0x05000000 + 2 * 9, 2, 0x001F},
    };
    // After one unchanged frame, and after several, by which the renderer
    // may keep the texels' host colours too; the second round stores other
    // values, so that its stores change what they reach again.
    for (int steadyFrames : {1, 5}) {
        const uint32_t flip = steadyFrames > 1 ? 0x01010101 : 0;
        for (const Case &c : cases) {
            RenderDirtyFlags = 0xFF;
            for (int f = 0; f < steadyFrames; ++f)
                ASSERT_EQ(CompareFrameWithReference(b, c.name, {}, f == 0), 0);
            const auto store = [&](uint32_t line) {
                if (line != 41)
                    return;
                const uint32_t value = c.value ^ flip;
                if (c.bytes == 4)
                    BusWrite32(c.address & ~3u, value);
                else if (c.bytes == 2)
                    BusWrite16(c.address & ~1u, value);
                else
                    BusWrite8(c.address, value);
            };
            EXPECT_EQ(CompareFrameWithReference(b, c.name, store, false), 0) << c.name << " after " << steadyFrames;
            EXPECT_EQ(CompareFrameWithReference(b, c.name, {}, false), 0) << c.name << " the frame after";
        }
    }

    b.vram[0x2000 + 10 * 32 + 10] = 50;
    RenderDirtyFlags |= DirtyWholeMemory;
    EXPECT_EQ(CompareFrameWithReference(b, "a change no store reports", {}, false), 0);
}

// A turned rotated layer's see-through texels keep showing the layer behind
// it frame after frame, also once the renderer keeps the host colours of
// its texels (which it does only after some unchanged frames).
TEST_F(LayerRules, RotatedLayersStaySeeThroughFrameAfterFrame)
{
    // BG2 (in front, wrapping): tiles 0-63 at character base 1 with every
    // third texel see-through; BG3: tile 64, solid, everywhere.
    for (uint32_t t = 0; t < 64; ++t)
        for (uint32_t i = 0; i < 64; ++i)
            b.vram[0x4000 + t * 64 + i] = uint8_t((i + t) % 3 ? t + 1 : 0);
    for (uint32_t i = 0; i < 64; ++i)
        b.vram[0x4000 + 64 * 64 + i] = 70;
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            b.vram[0x2000 + y * 32 + x] = uint8_t((x * 3 + y) & 63);
    for (uint32_t i = 0; i < 32 * 32; ++i)
        b.vram[0x2800 + i] = 64;
    for (int i = 0; i < 256; ++i)
        b.BgColor(i, uint32_t(i * 0x0421) & 0x7FFF);
    b.Io(0x00C, 1 << 14 | 1 << 13 | 4 << 8 | 1 << 2 | 0);
    b.Io(0x00E, 1 << 14 | 5 << 8 | 1 << 2 | 1);
    b.Io(0x000, 0x0C02);  // mode 2, BG2 and BG3
    b.SortBgOrder();
    BgPa[0] = 200;
    BgPc[0] = 60;
    RenderDirtyFlags = 0xFF;
    for (int f = 0; f < 6; ++f)
        ASSERT_EQ(CompareFrameWithReference(b, "frame " + std::to_string(f), {}, false), 0);
}

TEST_F(LayerRules, LinesPastTheScreenDrawNothing)
{
    std::memset(b.frame.get(), 0xAB, FrameBytes);
    for (uint32_t line : {160u, 200u, 255u}) {
        b.Io(0x006, line);
        RenderLine();
    }
    for (int i = 0; i < FrameBytes; ++i)
        ASSERT_EQ(b.frame[i], 0xAB);
}

// The widest reaches of the walks, on the last line of the frame buffer:
// text pixels from column -7 to 247, sprite boxes from -63 to 366, in every
// depth and as window sprites. The buffers are exact-size, so the sanitizer
// sees any write past a row or read past VRAM.
TEST_F(LayerRules, WidestReachesStayInTheGuardBands)
{
    std::mt19937 rng(5);
    for (uint32_t i = 0; i < VramSize; ++i)
        b.vram[i] = uint8_t(rng() | 0x11);
    for (int i = 0; i < 512; ++i)
        BgPalette[i] = uint16_t(rng());
    for (int n = 0; n < 128; ++n)
        b.Sprite(n, 0x200, 0, 0);
    for (uint32_t depth : {0u, 0x2000u})
        for (uint32_t window : {0u, 0x0800u}) {
            b.Sprite(0, 100 | 0x300 | depth | window, 239 | 3u << 14, 1023);       // 128 wide at 239
            b.Sprite(1, 159 | depth | window, 449 | 3u << 14 | 3u << 12, 1023);     // 64 wide at -63
            b.Sprite(2, 200 | depth | window, 449 | 3u << 14, 1000);               // from line -56
            b.Sprite(3, 159 | 0x4000 | depth | window, 239 | 3u << 14, 1020);  // 64 wide at 239
            for (uint32_t n = 0; n < 4; ++n) {
                b.Io(0x08 + 2 * n, n | 3u << 14 | (n * 8) << 8 | (n & 1) << 7 | 3 << 2);
                b.Io(0x10 + 4 * n, 7 + 512 * n);
                b.Io(0x12 + 4 * n, 0xFFFF);
            }
            b.SortBgOrder();
            b.Io(0x000, 0xFF40);
            b.Io(0x04A, 0x3F3F);
            EXPECT_EQ(CompareFrameWithReference(b, "depth " + std::to_string(depth)), 0);
        }
}

// Mosaic words past 15 (which the machine never writes) act as their low
// four bits instead of dividing by zero.
TEST_F(LayerRules, MosaicWordsUseTheirLowFourBits)
{
    std::mt19937 rng(3);
    for (uint32_t i = 0; i < VramSize; ++i)
        b.vram[i] = uint8_t(rng());
    for (int i = 0; i < 512; ++i)
        BgPalette[i] = uint16_t(rng());
    for (uint32_t mode : {0u, 2u, 3u}) {
        b.Io(0x000, 0x1F00 | mode);
        for (uint32_t n = 0; n < 4; ++n)
            b.Io(0x08 + 2 * n, 0x40 | n << 8 | 0x2000);
        for (int n = 0; n < 128; ++n)
            b.Oam16(n * 8, (HostHalf(b.oam.get() + n * 8) | 0x1100) & ~0x200u);  // affine, mosaic
        b.SortBgOrder();
        std::vector<uint8_t> frames[2];
        for (uint32_t high : {0u, 0xFFFFFFF0u}) {
            BgMosaicH = ObjMosaicH = high | 5;
            BgMosaicV = ObjMosaicV = high | 6;
            RenderDirtyFlags = 0xFF;
            DrawFrame(b);
            frames[high ? 1 : 0].assign(b.frame.get(), b.frame.get() + FrameBytes);
        }
        EXPECT_TRUE(frames[0] == frames[1]) << "mode " << mode;
    }
}

// Any register and memory contents and any BgOrder word, with the machine's
// words at the ends of their ranges: every read stays in its
// block and every write in its row (the blocks are exact-size allocations,
// so the address sanitizer reports any stray access), and the result still
// agrees with the reference.
TEST_F(LayerRules, HostileInputStaysInsideTheBlocks)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 48; ++round) {
        const uint8_t fill = round % 3 == 0 ? 0xFF : 0;
        for (uint32_t i = 0; i < VramSize; ++i)
            b.vram[i] = fill ? fill : uint8_t(rng());
        for (uint32_t i = 0; i < OamSize; ++i)
            b.oam[i] = fill ? fill : uint8_t(rng());
        for (uint32_t i = 0; i < PaletteSize; ++i)
            b.palette[i] = uint8_t(rng());
        for (uint32_t i = 0; i < 0x60; i += 2)
            b.Io(i, fill ? 0xFFFF : rng());
        b.Io(0x000, (rng() & ~0x80u) | uint32_t(round % 8));
        for (uint32_t &d : BgOrder)
            d = fill ? 0xFFFFFFFF : uint32_t(rng());
        BgMosaicH = BgMosaicV = ObjMosaicH = ObjMosaicV = fill ? 15 : rng() % 16;
        BlendEva = BlendEvb = BlendEvy = rng() % 17;
        for (int i = 0; i < 2; ++i) {
            // The reference points are 28-bit register values.
            BgRefX[i] = round % 2 ? -(1 << 27) : int32_t(rng() << 4) >> 4;
            BgRefY[i] = round % 2 ? (1 << 27) - 1 : int32_t(rng() << 4) >> 4;
            BgPa[i] = BgPc[i] = int16_t(rng());
            BgPb[i] = BgPd[i] = int16_t(rng());
        }
        EXPECT_EQ(CompareFrameWithReference(b, "round " + std::to_string(round)), 0);
    }
}

} // namespace
} // namespace Tavrin::Test
