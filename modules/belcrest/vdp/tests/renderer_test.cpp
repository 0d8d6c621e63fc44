// The line renderers against a per-pixel model computed from the scene
// (registers, VRAM, line): scroll and both locks, flips, priority,
// sprites, every TMS mode, the three pixel depths, and random scenes that
// must stay inside VRAM and the surface.
#include "modules/belcrest/testing/MachineStandIns.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "modules/belcrest/testing/VdpModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace Belcrest::Test {
namespace {

// Host colours that map back to their index at every depth.
constexpr uint32_t Base32 = 0xC0DE00;
constexpr uint16_t Base16 = 0x4000;
constexpr uint8_t Base8 = 0x80;

void SetIndexColours()
{
    for (int i = 0; i < VdpColourCount; ++i) {
        VdpColorTable.c32[i] = Base32 + uint32_t(i);
        VdpColorTable.c16[i] = uint16_t(Base16 + i);
        VdpColorTable.c8[i] = uint8_t(Base8 + i);
    }
}

int IndexOf(uint32_t pixel, uint32_t base) { return pixel == 0 ? PixelZero : int(pixel - base); }

// ---- Rendering through the installed family ----

template <class Pixel> struct Frame {
    std::vector<Pixel> pixels = std::vector<Pixel>(size_t(VdpSurfaceWidth) * VdpSurfaceHeight, Pixel(0x5A));
    Frame()
    {
        VdpFrameBuffer = pixels.data();
        VdpInstallRenderers(int(sizeof(Pixel) * 8));
    }
    ~Frame() { VdpFrameBuffer = Surface.data(); }
    Pixel at(int line, int x) const { return pixels[size_t(line + 8) * VdpSurfaceWidth + size_t(x + 8)]; }
};

uint32_t BaseOf(size_t bytes) { return bytes == 1 ? Base8 : bytes == 2 ? Base16 : Base32; }

// Renders a line as the line step does (scroll latched first) and returns
// the colour index of emulated columns 0-255.
template <class Pixel> std::vector<int> RenderIndices(int line)
{
    Frame<Pixel> frame;
    CurrentLine = uint8_t(line);
    VdpLatchScroll();
    VdpModeTable[VdpMode].render(line);
    std::vector<int> out(256);
    for (int x = 0; x < 256; ++x)
        out[size_t(x)] = IndexOf(frame.at(line, x), BaseOf(sizeof(Pixel)));
    return out;
}

std::vector<int> ModelIndices(int line)
{
    std::vector<int> out(256);
    for (int x = 0; x < 256; ++x)
        out[size_t(x)] = ModelPixel(line, x);
    return out;
}

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetStandIns();
        MachineWord = MachineMasterSystem;
        random.seed(1234);
        std::memset(VdpMemory, 0, sizeof VdpMemory);
        VdpReset();
        SetIndexColours();
    }
    void RandomVram()
    {
        for (unsigned i = 0; i < VramSize; ++i)
            Vram[i] = uint8_t(random());
    }
    void Registers(std::initializer_list<std::pair<unsigned, uint8_t>> values)
    {
        for (auto [r, v] : values)
            VdpWriteRegister(r, v);
        VdpLatchVScroll();
    }
    void ExpectModel(int line, const char *what)
    {
        EXPECT_EQ(RenderIndices<uint32_t>(line), ModelIndices(line)) << what << ", line " << line;
    }
    std::mt19937 random;
};

TEST_F(RendererTest, Mode4ScrollLocksFlipsPriorityAndSprites)
{
    RandomVram();
    for (uint8_t h : {0, 1, 7, 8, 255}) {
        for (uint8_t v : {0, 3, 230}) {
            for (uint8_t locks : {0x00, 0x40, 0x80, 0xC0}) {
                Registers({{0, uint8_t(0x04 | locks)}, {1, 0x40}, {2, 0xFF}, {5, 0xFF}, {6, 0xFF}, {8, h}, {9, v}});
                const std::string what = "h " + std::to_string(h) + " v " + std::to_string(v) + " locks " +
                                         std::to_string(locks);
                for (int line : {0, 7, 15, 16, 100, 191})
                    ExpectModel(line, what.c_str());
            }
        }
    }
}

TEST_F(RendererTest, Mode4Options)
{
    RandomVram();
    struct Case {
        const char *name;
        uint8_t reg0, reg1;
    };
    const Case cases[] = {
        {"tall sprites", 0x04, 0x42},
        {"sprites shifted left", 0x0C, 0x40},
        {"left column blanked", 0x24, 0x40},
        {"display off shows the backdrop", 0x04, 0x00},
        {"magnified sprites", 0x04, 0x41},
        {"magnified tall sprites", 0x04, 0x43},
        {"magnified sprites shifted left", 0x0C, 0x41},
    };
    for (const Case &c : cases) {
        Registers({{0, c.reg0}, {1, c.reg1}, {2, 0xFF}, {5, 0xFF}, {6, 0xFF}, {7, 0x0B}, {8, 0x03}});
        for (int line : {0, 50, 191})
            ExpectModel(line, c.name);
    }
}

TEST_F(RendererTest, Mode4SpriteEdges)
{
    Registers({{1, 0x40}, {2, 0xFF}, {5, 0xFF}, {6, 0xFF}});
    const unsigned sat = 0x3F00;
    for (unsigned p = 0; p < 32; ++p)
        Vram[0x2000 + 32 + p] = (p % 4 == 0) ? 0xFF : 0x00; // sprite pattern 1: colour 1
    auto sprite = [&](unsigned i, uint8_t x, uint8_t y) {
        Vram[sat + i] = y;
        Vram[sat + 128 + 2 * i] = x;
        Vram[sat + 129 + 2 * i] = 1;
    };
    // 0xD0 first: no sprite at all.
    sprite(0, 100, 9);
    Vram[sat] = 0xD0;
    EXPECT_EQ(RenderIndices<uint32_t>(10)[100], 0);
    // Y = 255 starts at line 0; Y = 240 ends above line 0.
    sprite(0, 100, 255);
    sprite(1, 120, 240);
    Vram[sat + 2] = 0xD0;
    EXPECT_EQ(RenderIndices<uint32_t>(0)[100], 17);
    EXPECT_EQ(RenderIndices<uint32_t>(7)[100], 17);
    EXPECT_EQ(RenderIndices<uint32_t>(8)[100], 0);
    for (int line = 0; line < 8; ++line)
        EXPECT_EQ(RenderIndices<uint32_t>(line)[120], 0) << line;
    // X = 0 shifted left lands in the left margin (surface columns 0-7).
    VdpWriteRegister(0, 0x0C);
    sprite(0, 0, 50);
    Frame<uint32_t> frame;
    CurrentLine = 51;
    VdpModeTable[VdpMode].render(51);
    for (int x = -8; x < 0; ++x)
        EXPECT_EQ(frame.at(51, x), Base32 + 17) << x;
    EXPECT_EQ(frame.at(51, 0), Base32 + 0);
}

// Sprite patterns at $2000: 1 opaque in colour 1, 2 with only the top-left
// pixel set (colour 2).
void SpritePatterns()
{
    for (unsigned p = 0; p < 32; ++p) {
        Vram[0x2000 + 32 + p] = (p % 4 == 0) ? 0xFF : 0x00;
        Vram[0x2000 + 64 + p] = (p == 1) ? 0x80 : 0x00;
    }
}

void PutSprite(unsigned i, uint8_t x, uint8_t y, uint8_t pattern)
{
    Vram[0x3F00 + i] = y;
    Vram[0x3F80 + 2 * i] = x;
    Vram[0x3F81 + 2 * i] = pattern;
}

TEST_F(RendererTest, MagnifiedSpritePixelsAreTwoByTwo)
{
    SpritePatterns();
    struct Case {
        const char *name;
        uint8_t reg1;
        uint8_t pattern;
        int width, height; // of the opaque block from (100, 50)
    };
    const Case cases[] = {
        {"one pixel, plain", 0x40, 2, 1, 1},
        {"one pixel, magnified", 0x41, 2, 2, 2},
        {"whole pattern, magnified", 0x41, 1, 16, 16},
        {"tall pattern pair, magnified", 0x43, 0, 16, 32}, // patterns 0 and 1: only 1 opaque
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(Vram + 0x3F00, 0, 256);
        PutSprite(0, 100, 49, c.pattern);
        Vram[0x3F01] = 0xD0;
        Registers({{1, c.reg1}, {2, 0xFF}, {5, 0xFF}, {6, 0xFF}});
        const int tallOffset = c.pattern == 0 ? 16 : 0; // pattern 0 is clear: its rows come first
        for (int line = 46; line < 90; ++line) {
            const std::vector<int> got = RenderIndices<uint32_t>(line);
            for (int x = 96; x < 120; ++x) {
                const bool inside = x >= 100 && x < 100 + c.width && line >= 50 + tallOffset &&
                                    line < 50 + c.height;
                EXPECT_EQ(got[size_t(x)] != 0, inside) << "line " << line << ", column " << x;
            }
        }
        ExpectModel(55, c.name);
    }
}

TEST_F(RendererTest, EightSpritesALineAndTheNinthSetsOverflow)
{
    SpritePatterns();
    Registers({{1, 0x40}, {2, 0xFF}, {5, 0xFF}, {6, 0xFF}});
    for (unsigned count : {8u, 9u}) {
        SCOPED_TRACE(count);
        for (unsigned i = 0; i < count; ++i)
            PutSprite(i, uint8_t(20 * i), 49, 1);
        Vram[0x3F00 + count] = 0xD0;
        VdpStatus = 0;
        const std::vector<int> line = RenderIndices<uint32_t>(50);
        for (unsigned i = 0; i < 8; ++i)
            EXPECT_EQ(line[20 * i], 17) << "sprite " << i;
        EXPECT_EQ(line[160], 0) << "a ninth sprite is not drawn";
        EXPECT_EQ(VdpStatus, count == 9 ? VdpStatusOverflow : 0);
        EXPECT_EQ(VdpReadStatus(), count == 9 ? VdpStatusOverflow : 0);
        EXPECT_EQ(VdpStatus, 0) << "a status read clears it";
        ExpectModel(50, "sprites on one line");
    }
}

// Magnified sprites at the right and bottom edges, shifted or not, short or
// tall, in every line: each line's pixels stay in its own row (right of
// column 255 nothing is drawn), and what shows matches the model.
TEST_F(RendererTest, MagnifiedSpritesAtTheEdgesStayInTheirRows)
{
    SpritePatterns();
    std::vector<uint32_t> surface(size_t(VdpSurfaceWidth) * VdpSurfaceHeight);
    for (uint8_t reg0 : {0x04, 0x0C}) {
        for (uint8_t reg1 : {0x41, 0x43}) {
            for (int x = 248; x <= 255; ++x) {
                for (int y = 208; y <= 255; ++y) {
                    // Sprite 0 at the edge (Y 208 ends the list there), sprite 1
                    // across the same lines at the left.
                    PutSprite(0, uint8_t(x), uint8_t(y), 1);
                    PutSprite(1, 0, uint8_t(y), 1);
                    Vram[0x3F02] = 0xD0;
                    Registers({{0, reg0}, {1, reg1}, {2, 0xFF}, {5, 0xFF}, {6, 0xFF}, {8, uint8_t(x)}});
                    std::fill(surface.begin(), surface.end(), 0x5A5A5A5Au);
                    VdpFrameBuffer = surface.data();
                    VdpInstallRenderers(32);
                    for (int line = 0; line < 192; ++line) {
                        CurrentLine = uint8_t(line);
                        VdpLatchScroll();
                        VdpModeTable[VdpMode].render(line);
                    }
                    const auto guard = [](uint32_t p) { return p == 0x5A5A5A5Au; };
                    const long top = 8 * VdpSurfaceWidth, bottom = long(200) * VdpSurfaceWidth;
                    ASSERT_TRUE(std::all_of(surface.begin(), surface.begin() + top, guard)) << x << ", " << y;
                    ASSERT_TRUE(std::all_of(surface.begin() + bottom, surface.end(), guard)) << x << ", " << y;
                    // No sprite pixel right of column 255, nor left of 0 unless
                    // shifted there.
                    for (int line = 0; line < 192; ++line) {
                        const uint32_t *row = surface.data() + size_t(line + 8) * VdpSurfaceWidth + 8;
                        for (int column = 256; column < 264; ++column)
                            ASSERT_NE(row[column], Base32 + 17) << x << ", " << y << ", line " << line;
                        for (int column = -8; column < 0 && reg0 == 0x04; ++column)
                            ASSERT_NE(row[column], Base32 + 17) << x << ", " << y << ", line " << line;
                    }
                    for (int line : {0, 1, 15, 31}) {
                        for (int column = 240; column < 256; ++column) {
                            const uint32_t p = surface[size_t(line + 8) * VdpSurfaceWidth + size_t(column + 8)];
                            ASSERT_EQ(IndexOf(p, Base32), ModelPixel(line, column))
                                << "sprite at " << x << ", " << y << ", line " << line << ", column " << column;
                        }
                    }
                }
            }
        }
    }
    VdpFrameBuffer = Surface.data();
}

TEST_F(RendererTest, PriorityAcrossAFineScrollEdge)
{
    // Tile 1 everywhere: opaque colour 1 in its left half only, priority set.
    for (unsigned c = 0; c < 32 * 28; ++c) {
        Vram[0x3800 + 2 * c] = 1;
        Vram[0x3800 + 2 * c + 1] = 0x10;
    }
    for (unsigned r = 0; r < 8; ++r)
        Vram[32 + r * 4] = 0xF0;
    for (unsigned p = 0; p < 32; ++p)
        Vram[0x2000 + 64 + p] = (p % 4 == 1) ? 0xFF : 0x00; // sprite pattern 2: colour 2
    Registers({{1, 0x40}, {2, 0xFF}, {5, 0xFF}, {6, 0xFF}, {8, 3}});
    for (uint8_t x : {0, 3, 5, 9, 12}) {
        Vram[0x3F00] = 20;
        Vram[0x3F80] = x;
        Vram[0x3F81] = 2;
        Vram[0x3F01] = 0xD0;
        ExpectModel(21, ("sprite x " + std::to_string(x)).c_str());
    }
}

TEST_F(RendererTest, EveryTmsMode)
{
    struct Case {
        const char *name;
        uint8_t reg0, reg1;
    };
    const Case cases[] = {
        {"text", 0x00, 0x50},
        {"text, display off", 0x00, 0x10},
        {"graphics 1", 0x00, 0x40},
        {"graphics 1, tall sprites", 0x00, 0x42},
        {"graphics 1, locked right columns", 0x80, 0x40},
        {"graphics 1, left column blanked", 0x20, 0x40},
        {"graphics 2", 0x02, 0x40},
        {"graphics 2, tall sprites", 0x02, 0x42},
        {"multicolour", 0x00, 0x48},
        {"multicolour, display off", 0x00, 0x08},
    };
    for (const Case &c : cases) {
        RandomVram();
        Registers({{0, c.reg0}, {1, c.reg1}, {2, 0x0E}, {3, 0xFF}, {4, 0x03}, {5, 0x36}, {6, 0x07}, {7, 0x4B},
                   {8, 0x05}, {9, 0x10}});
        for (int line : {0, 1, 63, 64, 100, 191})
            ExpectModel(line, c.name);
    }
}

TEST_F(RendererTest, NineTmsSpritesOnALine)
{
    Registers({{0, 0x00}, {1, 0x40}, {5, 0x20}, {6, 0x01}, {7, 0x01}});
    ASSERT_EQ(VdpMode, VdpModeGraphics1);
    Vram[0x0800] = 0xFF; // sprite pattern 0, row 0: all set
    for (unsigned i = 0; i < 9; ++i) {
        Vram[0x1000 + 4 * i] = 49; // top line 50
        Vram[0x1000 + 4 * i + 1] = uint8_t(20 * i);
        Vram[0x1000 + 4 * i + 2] = 0;
        Vram[0x1000 + 4 * i + 3] = uint8_t(2 + i);
    }
    Vram[0x1000 + 36] = 0xD0;
    const std::vector<int> line = RenderIndices<uint32_t>(50);
    for (unsigned i = 0; i < 8; ++i)
        EXPECT_EQ(line[20 * i], int(32 + 2 + i)) << i;
    EXPECT_EQ(line[160], 32 + 1) << "the ninth sprite is not drawn";
    ExpectModel(50, "nine sprites");
}

TEST_F(RendererTest, EveryDepthGivesTheSameIndices)
{
    RandomVram();
    Registers({{0, 0x84}, {1, 0x42}, {2, 0xFF}, {5, 0xFF}, {6, 0xFF}, {8, 0x13}, {9, 0x21}});
    for (int line : {0, 90, 191}) {
        const std::vector<int> wide = RenderIndices<uint32_t>(line);
        EXPECT_EQ(RenderIndices<uint16_t>(line), wide);
        EXPECT_EQ(RenderIndices<uint8_t>(line), wide);
        EXPECT_EQ(wide, ModelIndices(line));
    }
    Registers({{0, 0x02}, {1, 0x40}, {2, 0x0E}, {3, 0xFF}, {4, 0x03}});
    ASSERT_EQ(VdpMode, VdpModeGraphics2);
    EXPECT_EQ(RenderIndices<uint8_t>(70), RenderIndices<uint32_t>(70));
    EXPECT_EQ(RenderIndices<uint16_t>(70), RenderIndices<uint32_t>(70));
}

// Random registers, VRAM and lines: every read stays in VRAM and every
// write in the drawn row (the sanitizer builds check the rest).
TEST_F(RendererTest, RandomScenesStayInsideVramAndTheSurface)
{
    std::vector<uint32_t> surface(size_t(VdpSurfaceWidth) * VdpSurfaceHeight);
    VdpFrameBuffer = surface.data();
    VdpInstallRenderers(32);
    for (int n = 0; n < 10000; ++n) {
        if (n % 100 == 0)
            RandomVram();
        MachineWord = (n & 1) ? MachineMasterSystem : MachineSg1000;
        for (unsigned r = 0; r < 16; ++r)
            VdpWriteRegister(r, uint8_t(random()));
        VdpLatchVScroll();
        const int line = int(random() % 192);
        std::fill(surface.begin(), surface.end(), 0x5A5A5A5Au);
        CurrentLine = uint8_t(line);
        VdpLatchScroll();
        ASSERT_LT(VdpMode, 5);
        VdpModeTable[VdpMode].render(line);
        const size_t rowStart = size_t(line + 8) * VdpSurfaceWidth;
        const size_t rowEnd = rowStart + VdpSurfaceWidth;
        ASSERT_TRUE(std::all_of(surface.begin(), surface.begin() + long(rowStart),
                                [](uint32_t p) { return p == 0x5A5A5A5Au; }))
            << "a pixel above row " << line + 8;
        ASSERT_TRUE(std::all_of(surface.begin() + long(rowEnd), surface.end(),
                                [](uint32_t p) { return p == 0x5A5A5A5Au; }))
            << "a pixel below row " << line + 8;
        if (n % 500 == 0) {
            ASSERT_EQ(RenderIndices<uint32_t>(line), ModelIndices(line)) << "scene " << n;
        }
        VdpFrameBuffer = surface.data();
        VdpInstallRenderers(32);
    }
}

} // namespace
} // namespace Belcrest::Test
