// The colour tables and the three effects, exhaustively against per-component
// formulas, and the pixel-write rule of one layer pixel.

#include "modules/tavrin/testing/RenderFixture.h"

#include "modules/tavrin/render/ColorEffects.h"
#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/TileRow.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace Tavrin::Test {
namespace {

uint32_t Color(uint32_t r, uint32_t g, uint32_t b) { return r | g << 5 | b << 10; }

class ColorEffects : public ::testing::Test {
protected:
    RenderBlocks blocks;
};

TEST_F(ColorEffects, HostTableWidensGreenAndIgnoresBit15)
{
    struct Case {
        uint32_t color;
        uint16_t host;
    } cases[] = {
        {0x7FFF, 0xFFFF},
        {Color(0, 1, 0), 2 << 5},
        {Color(0, 16, 0), 32 << 5},
        {Color(0, 31, 0), 63 << 5},
        {Color(31, 0, 0), 0xF800},
        {Color(0, 0, 31), 0x001F},
        {0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ColorToHostTable[c.color], c.host) << std::hex << c.color;
        EXPECT_EQ(ColorToHostTable[c.color | 0x8000], c.host) << std::hex << c.color;
    }
    EXPECT_EQ(SpreadColorTable[0x7FFF], SpreadWhite);
    for (uint32_t i = 0; i < 0x8000; ++i)
        ASSERT_EQ(SpreadColorTable[i | 0x8000], SpreadColorTable[i]);
}

// The arithmetic that converts eight colours at once, for every colour.
TEST_F(ColorEffects, EightColoursAtOnceConvertAsTheTableDoes)
{
    for (uint32_t c = 0; c < 65536; c += 8) {
        PixelVector eight;
        for (uint32_t k = 0; k < 8; ++k)
            eight[k] = uint16_t(c + k);
        const PixelVector host = PackHostColors(eight);
        for (uint32_t k = 0; k < 8; ++k)
            ASSERT_EQ(host[k], ColorToHostTable[c + k]) << std::hex << c + k;
    }
}

// Every component pair against every weight pair: red, green and blue carry
// independent values so a carry between fields would show.
TEST_F(ColorEffects, AlphaBlendMatchesPerComponentFormula)
{
    for (uint32_t eva = 0; eva <= 16; ++eva)
        for (uint32_t evb = 0; evb <= 16; ++evb) {
            BlendEva = eva;
            BlendEvb = evb;
            for (uint32_t a = 0; a < 32; ++a)
                for (uint32_t b = 0; b < 32; ++b) {
                    auto mix = [&](uint32_t x, uint32_t y) { return std::min(31u, (x * eva + y * evb) / 16); };
                    uint32_t top = Color(a, 31 - a, b), below = Color(b, a, 31 - b);
                    uint32_t want = Color(mix(a, b), mix(31 - a, a), mix(b, 31 - b));
                    ASSERT_EQ(AlphaBlend(top | 0x8000, below | 0x8000), want)
                        << "eva " << eva << " evb " << evb << " a " << a << " b " << b;
                }
        }
}

TEST_F(ColorEffects, BrightenAndDarkenMatchPerComponentFormula)
{
    for (uint32_t evy = 0; evy <= 16; ++evy) {
        BlendEvy = evy;
        for (uint32_t c = 0; c < 32; ++c) {
            auto up = [&](uint32_t x) { return x + (31 - x) * evy / 16; };
            auto down = [&](uint32_t x) { return x * (16 - evy) / 16; };
            uint32_t in = Color(c, 31 - c, c / 2) | 0x8000;
            ASSERT_EQ(Brighten(in), Color(up(c), up(31 - c), up(c / 2))) << evy << " " << c;
            ASSERT_EQ(Darken(in), Color(down(c), down(31 - c), down(c / 2))) << evy << " " << c;
        }
    }
}

TEST_F(ColorEffects, NamedValues)
{
    BlendEva = BlendEvb = 16;
    EXPECT_EQ(AlphaBlend(0x7FFF, 0xFFFF), 0x7FFFu);
    BlendEva = BlendEvb = 8;
    EXPECT_EQ(AlphaBlend(0x7FFF, 0xFFFF), 0x7FFFu);
    BlendEva = 8;
    BlendEvb = 16;
    // A black second target (0x8000) blends as black.
    EXPECT_EQ(AlphaBlend(Color(30, 20, 10), 0x8000), Color(15, 10, 5));
    BlendEvy = 16;
    EXPECT_EQ(Brighten(Color(3, 9, 27)), 0x7FFFu);
    EXPECT_EQ(Darken(Color(3, 9, 27)), 0u);
}

// One pixel through each of the eight variants, with and without the effect
// bit and a second target beneath.
TEST_F(ColorEffects, PixelWriteRuleOfEachVariant)
{
    BlendEva = 8;
    BlendEvb = 8;
    BlendEvy = 8;
    uint16_t *row = FrameRow(0);
    const uint32_t c = Color(20, 10, 30) | 0x8000;
    const uint32_t below = Color(10, 30, 0);
    const uint32_t blended = Color(15, 20, 15);
    const uint32_t bright = Color(25, 20, 30), dark = Color(10, 5, 15);
    struct Case {
        int v;
        uint8_t window;
        uint16_t second;
        uint32_t drawn;
    } cases[] = {
        {0, 0x3F, uint16_t(below | 0x8000), c},       {1, 0x3F, uint16_t(below | 0x8000), blended},
        {1, 0x1F, uint16_t(below | 0x8000), c},       {1, 0x3F, 0, c},
        {2, 0x3F, 0, bright},                         {2, 0x1F, 0, c},
        {3, 0x3F, uint16_t(below | 0x8000), dark},    {3, 0x1F, 0, c},
        {4, 0x3F, uint16_t(below | 0x8000), c},       {5, 0x3F, uint16_t(below | 0x8000), blended},
        {5, 0x1F, uint16_t(below | 0x8000), c},       {6, 0x3F, 0, bright},
        {7, 0x3F, 0, dark},                           {7, 0x1F, 0, c},
    };
    using Writer = void (*)(uint16_t *, unsigned, uint32_t);
    const Writer writers[8] = {WriteLayerPixel<0>, WriteLayerPixel<1>, WriteLayerPixel<2>, WriteLayerPixel<3>,
                               WriteLayerPixel<4>, WriteLayerPixel<5>, WriteLayerPixel<6>, WriteLayerPixel<7>};
    for (const Case &k : cases) {
        WindowLine[140] = k.window;
        SecondTargetLine[140] = k.second;
        writers[k.v](row, 140, c);
        EXPECT_EQ(row[140], ColorToHostTable[k.drawn]) << "v " << k.v << " window " << int(k.window);
        uint16_t entry = k.v >= 4 ? uint16_t(k.drawn | 0x8000) : 0;
        EXPECT_EQ(SecondTargetLine[140], entry) << "v " << k.v;
    }
}

} // namespace
} // namespace Tavrin::Test
