// The line renderers on hand-set machine records. Colour table entry n is n
// at every depth, so a frame pixel is the colour number drawn there (plus 64
// times the emphasis setting).
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/video/LineRenderers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace Cindrel::Test {
namespace {

constexpr uint8_t Backdrop = 0x21;

class LineRendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        video.assign(0x4000, 0);
        vrom.assign(0x20000, 0);
        for (int i = 0; i < 12; ++i)
            VideoPageMap[i] = video.data() + i * 0x400;
        BackgroundHalf = &VideoPageMap[0];
        SpriteHalf = &VideoPageMap[4];
        PpuBgPalette = video.data() + 0x3F00;
        PpuSpritePalette = video.data() + 0x3F10;
        for (int i = 0; i < 32; ++i)
            video[0x3F00 + i] = uint8_t(0x30 + i); // palette byte i is colour ($30 + i) & 63...
        video[0x3F00] = Backdrop;                  // ...but the backdrop
        for (int i = 0; i < EmphasisColourCount; ++i) {
            PpuColorTable.c8[i] = uint8_t(i);
            PpuColorTable.c16[i] = uint16_t(i);
            PpuColorTable.c32[i] = uint32_t(i);
        }
        // Tile 1: pixel value 1 everywhere; tile 2: value 3; tile 3: value 2
        // in its left half only.
        for (int row = 0; row < 8; ++row) {
            video[16 + row] = 0xFF;
            video[32 + row] = 0xFF;
            video[32 + row + 8] = 0xFF;
            video[48 + row + 8] = 0xF0;
        }
        std::memset(PpuRegisters, 0, sizeof PpuRegisters);
        PpuRegisters[1] = 0x1E;
        std::memset(SpriteRam, 0, sizeof SpriteRam);
        std::memset(SpriteLineTable.words, 0, sizeof SpriteLineTable.words);
        SpriteLineTable.lastSprite = -1;
        frame32.assign(FrameWidth * FrameHeight, 0xDEAD);
        Install(PpuDepth::Bits32, frame32.data());
    }

    void TearDown() override { PpuFrameBuffer = nullptr; }

    void Install(PpuDepth depth, void *frame)
    {
        PpuLineRenderers = LineRenderersFor(depth);
        PpuFrameBuffer = frame;
    }

    // Tile number of table t (0-3), column, row.
    uint8_t &Name(int table, int column, int row) { return video[0x2000 + table * 0x400 + row * 32 + column]; }
    uint8_t &Attribute(int table, int index) { return video[0x2000 + table * 0x400 + 0x3C0 + index]; }

    void Sprite(int s, int x, uint8_t attributes, uint8_t low, uint8_t high)
    {
        SpriteRam[s * 4 + 2] = attributes;
        SpriteRam[s * 4 + 3] = uint8_t(x);
        SpriteLineTable.words[s] = PixelPairWord(low, high);
        SpriteLineTable.lastSprite = std::max(SpriteLineTable.lastSprite, s);
    }

    // Picture column c of line 0.
    uint32_t At(int c) const { return frame32[8 + c]; }

    std::vector<uint8_t> video;
    std::vector<uint8_t> vrom;
    std::vector<uint32_t> frame32;
};

TEST_F(LineRendererTest, PixelPairWordLayout)
{
    // Leftmost pixel in bits 15-14, then 7-6, 13-12, 5-4, 11-10, 3-2, 9-8, 1-0.
    EXPECT_EQ(PixelPairWord(0x80, 0x00), 0x4000);
    EXPECT_EQ(PixelPairWord(0x00, 0x80), 0x8000);
    EXPECT_EQ(PixelPairWord(0x40, 0x40), 0x00C0);
    EXPECT_EQ(PixelPairWord(0x01, 0x01), 0x0003);
}

TEST_F(LineRendererTest, FineScrollAndTheWrapIntoTheNeighbourTable)
{
    // Fine X = 3: tile 3's value-2 half shows as columns 0-0 (pixel 3), its
    // transparent half from column 1; the 33rd tile spills into the guard.
    Name(0, 0, 0) = 3;
    Name(0, 1, 0) = 1;
    Name(0, 0x20 & 31, 0) = 3;
    PpuLineEntry(0, 3, 0);
    EXPECT_EQ(At(0), 0x32u);             // pixel 3 of tile 3: value 2, group 0
    EXPECT_EQ(At(1), uint32_t(Backdrop)); // its right half: value 0
    EXPECT_EQ(At(5), 0x31u);             // tile 1 from column 5
    EXPECT_EQ(frame32[8 - 3], 0x32u);    // pixel 0 of tile 3 in the left guard

    // X = 504: column 31 of the right-hand table, then column 0 of the left.
    Name(1, 31, 0) = 2;
    Name(0, 0, 0) = 1;
    PpuLineEntry(0, 504, 0);
    EXPECT_EQ(At(0), 0x33u);
    EXPECT_EQ(At(8), 0x31u);
}

TEST_F(LineRendererTest, ValueZeroShowsTheBackdropInEveryGroup)
{
    Name(0, 0, 0) = 3;
    Attribute(0, 0) = 0x02; // group 2 for the top-left 16 x 16
    PpuLineEntry(0, 0, 0);
    EXPECT_EQ(At(0), 0x3Au); // palette byte 8 + 2
    EXPECT_EQ(At(4), uint32_t(Backdrop));
}

TEST_F(LineRendererTest, GreyModeAndEmphasisTakenAtTheStartOfTheLine)
{
    // Column 0 backdrop, columns 8-15 tile 1 (background palette byte 1),
    // columns 16-23 a sprite (sprite palette byte 1).
    Name(0, 1, 0) = 1;
    Sprite(0, 16, 0x00, 0xFF, 0x00);
    video[0x3F00] = 0x16;
    video[0x3F01] = 0x2A;
    video[0x3F11] = 0x3D;
    const struct {
        uint8_t mask; // $2001
        uint32_t backdrop, tile, sprite;
    } cases[] = {
        {0x1E, 0x16, 0x2A, 0x3D},
        {0x1F, 0x10, 0x20, 0x30},                               // grey: colour & $30
        {0x3E, 1 * 64 + 0x16, 1 * 64 + 0x2A, 1 * 64 + 0x3D},     // red
        {0x5E, 2 * 64 + 0x16, 2 * 64 + 0x2A, 2 * 64 + 0x3D},     // green
        {0x9E, 4 * 64 + 0x16, 4 * 64 + 0x2A, 4 * 64 + 0x3D},     // blue
        {0xFF, 7 * 64 + 0x10, 7 * 64 + 0x20, 7 * 64 + 0x30},     // all, and grey
    };
    for (const auto &c : cases) {
        PpuRegisters[1] = c.mask;
        PpuLineEntry(0, 0, 0);
        EXPECT_EQ(At(0), c.backdrop) << std::hex << int(c.mask);
        EXPECT_EQ(At(8), c.tile) << std::hex << int(c.mask);
        EXPECT_EQ(At(16), c.sprite) << std::hex << int(c.mask);
    }
    // With the background off the backdrop takes the line's colours too.
    PpuRegisters[1] = 0x37;
    PpuLineEntry(0, 0, 0);
    EXPECT_EQ(At(0), 1u * 64 + 0x10);
}

TEST_F(LineRendererTest, BackgroundOffAndTheHiddenLeftColumns)
{
    Name(0, 0, 0) = 1;
    Name(0, 1, 0) = 1;
    // Sprite 0 with value 1 over columns 0-7, palette group 0: colour ($41 & 63).
    Sprite(0, 0, 0x00, 0xFF, 0x00);

    PpuRegisters[1] = 0x16; // background off
    EXPECT_EQ(PpuLineEntry(0, 0, 0), 0);
    EXPECT_EQ(At(2), 0x01u);
    EXPECT_EQ(At(10), uint32_t(Backdrop));

    PpuRegisters[1] = 0x1C; // left background hidden, left sprites shown
    EXPECT_EQ(PpuLineEntry(0, 0, 0), 0); // columns 0-7 are transparent to sprite 0
    EXPECT_EQ(At(2), 0x01u);
    EXPECT_EQ(At(10), 0x31u);

    PpuRegisters[1] = 0x1A; // left sprites hidden, left background shown
    EXPECT_EQ(PpuLineEntry(0, 0, 0), 0);
    EXPECT_EQ(At(2), 0x31u);

    PpuRegisters[1] = 0x18; // both hidden
    EXPECT_EQ(PpuLineEntry(0, 0, 0), 0);
    EXPECT_EQ(At(2), uint32_t(Backdrop));

    // A sprite at X = 3 with the left sprites hidden shows from column 8.
    Sprite(0, 3, 0x00, 0xFF, 0x00);
    PpuRegisters[1] = 0x1A;
    EXPECT_EQ(PpuLineEntry(0, 0, 0), 1);
    EXPECT_EQ(At(7), 0x31u);
    EXPECT_EQ(At(8), 0x01u);
}

TEST_F(LineRendererTest, SpritePriorities)
{
    for (int c = 0; c < 4; ++c)
        Name(0, c, 0) = 1;
    // Sprite 0 behind an opaque background: the flag, but no pixel.
    Sprite(0, 0, 0x20, 0xFF, 0x00);
    EXPECT_EQ(PpuLineEntry(0, 0, 0), 1);
    EXPECT_EQ(At(3), 0x31u);

    // Sprite 1 behind the background hides sprite 3 in front of it.
    SpriteLineTable.words[0] = 0;
    Sprite(1, 8, 0x20, 0xFF, 0x00);
    Sprite(3, 8, 0x01, 0xFF, 0xFF);
    EXPECT_EQ(PpuLineEntry(0, 0, 0), 0);
    EXPECT_EQ(At(10), 0x31u);

    // Only its opaque pixels hide: a sprite behind with pixels 0, 1, 6 and
    // 7 set, across two mask bytes, lets the middle of sprite 3 through.
    Sprite(1, 12, 0x20, 0xC3, 0x00);
    Sprite(3, 12, 0x01, 0xFF, 0xFF);
    PpuLineEntry(0, 0, 0);
    for (int c : {12, 13, 18, 19})
        EXPECT_EQ(At(c), 0x31u) << c;
    for (int c = 14; c < 18; ++c)
        EXPECT_EQ(At(c), 0x07u) << c;

    // A sprite at X = 250 shows columns 250-255, the rest in the guard band.
    SpriteLineTable.words[1] = SpriteLineTable.words[3] = 0;
    Sprite(2, 250, 0x01, 0xFF, 0xFF);
    PpuLineEntry(0, 0, 0);
    EXPECT_EQ(At(250), 0x07u);
    EXPECT_EQ(At(255), 0x07u);
    EXPECT_EQ(frame32[8 + 257], 0x07u);
}

TEST_F(LineRendererTest, LatchAndMmc5Kinds)
{
    // Mapper 9: $FD then $20 on the sprite half's pages: $20 comes from the
    // latched pages, $FD from the pages mapped before it.
    BackgroundHalf = &VideoPageMap[4];
    std::vector<uint8_t> latched(0x1000, 0);
    for (int row = 0; row < 8; ++row) {
        latched[0x20 * 16 + row] = 0xFF;      // $20: value 1 in the latched pages
        video[0x1000 + 0xFD * 16 + row] = 0xFF; // $FD: value 1 before the switch
        video[0x1000 + 0xFD * 16 + row + 8] = 0xFF; // ... value 3
    }
    Latch9Pages[0] = latched.data();
    Latch9Pages[1] = latched.data();
    Name(0, 0, 0) = 0xFD;
    Name(0, 1, 0) = 0x20;
    PpuLineRenderers.latch9(0, 0, 0);
    EXPECT_EQ(At(0), 0x33u);
    EXPECT_EQ(At(8), 0x31u);
    EXPECT_EQ(Latch9State, 0);
    EXPECT_EQ(VideoPageMap[5], latched.data() + 0x400);

    // MMC5 extended attributes: $C5 is group 3 and 4 KB bank 5 of 128 KB.
    for (int i = 0; i < 12; ++i)
        VideoPageMap[i] = video.data() + i * 0x400;
    std::vector<uint8_t> extra(0x400, 0);
    extra[0] = 0xC5;
    Mmc5ExAttributes = extra.data();
    Mmc5ChrBase = vrom.data();
    Mmc5ChrMask = 0x1FFFF;
    Name(0, 0, 0) = 0x07;
    for (int row = 0; row < 8; ++row)
        vrom[5 * 0x1000 + 0x07 * 16 + row] = 0xFF;
    PpuRegisters[1] = 0x0E; // no sprites
    PpuLineRenderers.mmc5(0, 0, 0);
    EXPECT_EQ(At(0), 0x3Du);
    Mmc5ExAttributes = nullptr;
}

TEST_F(LineRendererTest, Latch10SwitchesTheHalfThatRegister0Selects)
{
    // Tile $20 in its own pattern in each of the four latched page sets
    // (value 1 / 2 / 3 / 1 then 2 for low 0, low 1, high 0, high 1) and in
    // the pages mapped before any switch (2 then 1); $FC-$FE there are value 3.
    struct Rows {
        uint8_t low, high;
    } const patterns[4] = {{0xFF, 0x00}, {0x00, 0xFF}, {0xFF, 0xFF}, {0xF0, 0x0F}};
    std::vector<uint8_t> sets[4];
    for (int k = 0; k < 4; ++k) {
        sets[k].assign(0x1000, 0);
        for (int row = 0; row < 8; ++row) {
            sets[k][0x20 * 16 + row] = patterns[k].low;
            sets[k][0x20 * 16 + row + 8] = patterns[k].high;
        }
    }
    for (int half = 0; half < 0x2000; half += 0x1000)
        for (int row = 0; row < 8; ++row) {
            video[half + 0x20 * 16 + row] = 0x0F;
            video[half + 0x20 * 16 + row + 8] = 0xF0;
            for (int tile = 0xFC; tile <= 0xFE; ++tile)
                video[half + tile * 16 + row] = video[half + tile * 16 + row + 8] = 0xFF;
        }
    Latch10LowPages[0] = sets[0].data();
    Latch10LowPages[1] = sets[1].data();
    Latch10HighPages[0] = sets[2].data();
    Latch10HighPages[1] = sets[3].data();

    constexpr int Kept = 7; // a latch byte the line must not touch
    struct Case {
        uint8_t control, tile;
        int lowState, highState, set; // set: the page set mapped after, -1 none
        uint32_t at8, at12;            // tile $20's columns 0 and 4
    } const cases[] = {
        {0x00, 0xFD, 0, Kept, 0, 0x31, 0x31},
        {0x00, 0xFE, 1, Kept, 1, 0x32, 0x32},
        {0x10, 0xFD, Kept, 0, 2, 0x33, 0x33},
        {0x10, 0xFE, Kept, 1, 3, 0x31, 0x32},
        {0x10, 0xFC, Kept, Kept, -1, 0x32, 0x31},
    };
    for (Case const &c : cases) {
        for (int i = 0; i < 8; ++i)
            VideoPageMap[i] = video.data() + i * 0x400;
        Latch10LowState = Latch10HighState = Kept;
        PpuRegisters[0] = c.control;
        const int first = (c.control & 0x10) ? 4 : 0;
        BackgroundHalf = &VideoPageMap[first];
        Name(0, 0, 0) = c.tile;
        Name(0, 1, 0) = 0x20;
        PpuLineRenderers.latch10(0, 0, 0);
        SCOPED_TRACE(testing::Message() << "control " << int(c.control) << " tile " << int(c.tile));
        EXPECT_EQ(At(0), 0x33u); // the latch tile itself from the pages mapped before it
        EXPECT_EQ(At(8), c.at8);
        EXPECT_EQ(At(12), c.at12);
        EXPECT_EQ(Latch10LowState, c.lowState);
        EXPECT_EQ(Latch10HighState, c.highState);
        for (int i = 0; i < 8; ++i) {
            const bool switched = c.set >= 0 && i >= first && i < first + 4;
            EXPECT_EQ(VideoPageMap[i], switched ? sets[c.set].data() + (i - first) * 0x400 : video.data() + i * 0x400)
                << "entry " << i;
        }
    }
}

TEST_F(LineRendererTest, Mmc5WithoutExtendedAttributesUsesItsOwnPages)
{
    // Tile index 7 of each of the four background pages in its own pattern
    // (columns 0 and 4: 1 1 / 2 2 / 3 3 / 1 2); the page map's background
    // half holds every tile as 2 1, which must not show.
    struct Rows {
        uint8_t low, high;
    } const patterns[4] = {{0xFF, 0x00}, {0x00, 0xFF}, {0xFF, 0xFF}, {0xF0, 0x0F}};
    std::vector<uint8_t> pages(0x1000, 0);
    for (int p = 0; p < 4; ++p) {
        Mmc5BgPages[p] = pages.data() + p * 0x400;
        for (int row = 0; row < 8; ++row) {
            pages[size_t(p * 0x400 + 7 * 16 + row)] = patterns[p].low;
            pages[size_t(p * 0x400 + 7 * 16 + row + 8)] = patterns[p].high;
        }
    }
    for (int at = 0; at < 0x1000; at += 16)
        for (int row = 0; row < 8; ++row) {
            video[size_t(at + row)] = 0x0F;
            video[size_t(at + row + 8)] = 0xF0;
        }
    Mmc5ExAttributes = nullptr;
    PpuRegisters[1] = 0x0E; // no sprites

    struct Case {
        uint8_t tile;
        int y;             // tile rows 0 and 2 take attribute bits 0-1 and 4-5
        uint8_t attribute; // of the top-left 32 x 32
        uint32_t at0, at4;
    } const cases[] = {
        {0x07, 0, 0x00, 0x31, 0x31},
        {0x47, 0, 0x00, 0x32, 0x32},
        {0x87, 0, 0x02, 0x3B, 0x3B},
        {0xC7, 0, 0x03, 0x3D, 0x3E},
        {0x47, 16, 0x13, 0x36, 0x36},
        {0x07, 19, 0x20, 0x39, 0x39},
    };
    for (Case const &c : cases) {
        Name(0, 0, c.y >> 3) = c.tile;
        Attribute(0, 0) = c.attribute;
        PpuLineRenderers.mmc5(0, 0, c.y);
        EXPECT_EQ(At(0), c.at0) << "tile " << int(c.tile) << " y " << c.y;
        EXPECT_EQ(At(4), c.at4) << "tile " << int(c.tile) << " y " << c.y;
    }
}

TEST_F(LineRendererTest, OneSceneEqualAtEveryDepth)
{
    for (int c = 0; c < 32; ++c)
        Name(0, c, 0) = uint8_t(c % 4);
    Attribute(0, 1) = 0x01;
    Attribute(0, 2) = 0x03;
    Sprite(0, 20, 0x02, 0xAA, 0x55);
    Sprite(1, 100, 0x21, 0xF0, 0x0F);
    Sprite(2, 200, 0x03, 0x3C, 0x3C);
    std::vector<uint8_t> frame8(FrameWidth * FrameHeight);
    std::vector<uint16_t> frame16(FrameWidth * FrameHeight);
    int flags[3];
    flags[2] = PpuLineEntry(5, 3, 2);
    Install(PpuDepth::Bits16, frame16.data());
    flags[1] = PpuLineEntry(5, 3, 2);
    Install(PpuDepth::Bits8, frame8.data());
    flags[0] = PpuLineEntry(5, 3, 2);
    EXPECT_EQ(flags[0], flags[2]);
    EXPECT_EQ(flags[1], flags[2]);
    for (int x = 0; x < FrameWidth; ++x) {
        size_t const i = size_t(5 * FrameWidth + x);
        if (x < 5 || x >= 264)
            continue; // guard bands
        ASSERT_EQ(uint32_t(frame8[i]), frame32[i]) << x;
        ASSERT_EQ(uint32_t(frame16[i]), frame32[i]) << x;
    }
}

TEST_F(LineRendererTest, NothingDrawnWithoutAFrame)
{
    PpuFrameBuffer = nullptr;
    Name(0, 0, 0) = 1;
    Sprite(0, 0, 0, 0xFF, 0);
    EXPECT_EQ(PpuLineEntry(0, 0, 0), 0);
}

} // namespace
} // namespace Cindrel::Test
