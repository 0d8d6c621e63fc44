// Whole synthetic frames compared with pictures kept beside this file: one
// scene per display mode and per colour effect. A missing picture (or
// QUINTAR_RENDER_GOLDEN_WRITE=1) writes it instead, for a person to look at
// once; after that any change in a frame fails.

#include "modules/tavrin/testing/RenderFixture.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace Tavrin::Test {
namespace {

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return (r & 31) | (g & 31) << 5 | (b & 31) << 10; }

void Nibble(RenderBlocks &b, uint32_t tileBase, uint32_t tile, uint32_t x, uint32_t y, uint32_t index)
{
    uint8_t &byte = b.vram[tileBase + tile * 32 + y * 4 + x / 2];
    byte = uint8_t((x & 1) ? (byte & 0x0F) | index << 4 : (byte & 0xF0) | index);
}

// 16-colour tiles 1-7 at `base`: a frame, a disc, stripes, a checker, a
// diagonal, a cross and a gradient; tile 0 stays empty.
void PatternTiles(RenderBlocks &b, uint32_t base)
{
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) {
            int dx = int(x) * 2 - 7, dy = int(y) * 2 - 7;
            uint32_t idx[8] = {
                0,
                (x == 0 || y == 0 || x == 7 || y == 7) ? 1u : 2u,
                dx * dx + dy * dy < 40 ? 3u : 0u,
                (y / 2) % 2 ? 4u : 5u,
                (x / 2 + y / 2) % 2 ? 6u : 0u,
                x == y || x == 7 - y ? 7u : 0u,
                (x == 3 || x == 4 || y == 3 || y == 4) ? 8u : 0u,
                1 + (x + y) % 15,
            };
            for (uint32_t t = 1; t < 8; ++t)
                Nibble(b, base, t, x, y, idx[t]);
        }
}

void Palettes(RenderBlocks &b)
{
    for (uint32_t bank = 0; bank < 16; ++bank)
        for (uint32_t i = 1; i < 16; ++i) {
            b.BgColor(int(bank * 16 + i), Rgb(i * 2, bank * 2, 31 - i * 2));
            b.ObjColor(int(bank * 16 + i), Rgb(31 - bank * 2, i * 2, bank * 2));
        }
    b.BgColor(0, Rgb(4, 6, 10));
}

// Text layer n: map at screen block 24 + 2n, tile by position, bank by layer.
void TextMap(RenderBlocks &b, uint32_t n, uint32_t seedShift)
{
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x) {
            uint32_t tile = (x + y * 3 + seedShift) % 8;
            if ((x + y + n) % (n + 2))
                tile = 0;
            uint32_t flips = ((x * 7 + y) % 4) << 10;
            b.Vram16((24 + 2 * n) * 0x800 + (y * 32 + x) * 2, tile | flips | (n * 4 + 2) << 12);
        }
    b.Io(0x08 + 2 * n, (24 + 2 * n) << 8 | (n & 3));
    b.Io(0x10 + 4 * n, n * 13);
    b.Io(0x12 + 4 * n, n * 5);
}

// 256-colour affine map for BG n (screen block 16 + 4 * (n - 2), 256 x 256),
// tiles at character base 1 holding a smooth colour wheel.
void AffineMap(RenderBlocks &b, uint32_t n, uint32_t wrap)
{
    for (uint32_t t = 0; t < 64; ++t)
        for (uint32_t p = 0; p < 64; ++p)
            b.vram[0x4000 + t * 64 + p] = uint8_t(t % 2 ? 16 + (p % 8 + t) * 3 % 200 : (p / 8 + p % 8) % 16 + 200);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            b.vram[(16 + 4 * (n - 2)) * 0x800 + y * 32 + x] = uint8_t((x ^ y) % 64);
    b.Io(0x08 + 2 * n, 1 << 2 | (16 + 4 * (n - 2)) << 8 | wrap << 13 | 1 << 14 | (n & 3));
    for (uint32_t i = 16; i < 256; ++i)
        b.BgColor(int(i), Rgb(i * 3, i * 5 + 8, i * 7 + 16));
}

void Rotation(uint32_t i, double degrees, double scale, int32_t cx, int32_t cy)
{
    double a = degrees * 3.14159265358979 / 180.0;
    BgPa[i] = int32_t(std::lround(std::cos(a) * 256 / scale));
    BgPb[i] = int32_t(std::lround(-std::sin(a) * 256 / scale));
    BgPc[i] = int32_t(std::lround(std::sin(a) * 256 / scale));
    BgPd[i] = int32_t(std::lround(std::cos(a) * 256 / scale));
    BgRefX[i] = (cx << 8) - (120 * BgPa[i] + 80 * BgPb[i]);
    BgRefY[i] = (cy << 8) - (120 * BgPc[i] + 80 * BgPd[i]);
}

// A handful of sprites: regular ones with both flips and both depths, an
// affine double-size one, a semi-transparent one and a mosaic one.
void SpriteSet(RenderBlocks &b, uint32_t tileOffset)
{
    PatternTiles(b, 0x10000 + tileOffset * 32);
    for (int n = 0; n < 128; ++n)
        b.Sprite(n, 0x200, 0, 0);
    const uint32_t t = tileOffset;
    b.Sprite(0, 10, 8 | 1u << 14, (t + 2) | 0u << 10 | 3u << 12);            // 16x16
    b.Sprite(1, 10, 40 | 1u << 14 | 1u << 12, (t + 7) | 0u << 10 | 5u << 12);  // h-flipped
    b.Sprite(2, 40 | 0x4000, 70 | 2u << 14 | 1u << 13, (t + 3) | 1u << 10 | 8u << 12);
    b.Sprite(3, 100 | 0x0300, 150 | 2u << 14 | 0u << 9, (t + 1) | 0u << 10 | 9u << 12);
    b.Sprite(4, 120 | 0x0400, 20 | 2u << 14, (t + 4) | 0u << 10 | 12u << 12);  // semi-transparent
    b.Sprite(5, 60 | 0x1100, 200 | 1u << 14 | 1u << 9, (t + 7) | 0u << 10 | 1u << 12);
    // Affine groups 0 (a turn) and 1 (a stretch).
    b.Oam16(6, 181);
    b.Oam16(14, uint32_t(-181) & 0xFFFF);
    b.Oam16(22, 181);
    b.Oam16(30, 181);
    b.Oam16(32 + 6, 128);
    b.Oam16(32 + 14, 0);
    b.Oam16(32 + 22, 0);
    b.Oam16(32 + 30, 256);
    ObjMosaicH = 2;
    ObjMosaicV = 1;
}

void CompareWithGolden(RenderBlocks &b, const std::string &name)
{
    QImage frame(240, 160, QImage::Format_RGB16);
    for (int y = 0; y < 160; ++y)
        std::memcpy(frame.scanLine(y), b.frame.get() + y * FrameBufferPitchBytes + PictureColumn * 2, 480);
    const std::string path = std::string(RENDER_GOLDEN_DIR) + "/" + name + ".png";
    const char *write = std::getenv("QUINTAR_RENDER_GOLDEN_WRITE");
    if ((write && *write == '1') || !std::filesystem::exists(path)) {
        ASSERT_TRUE(frame.save(QString::fromStdString(path)));
        GTEST_SKIP() << "wrote " << path;
    }
    QImage golden = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB16);
    ASSERT_EQ(golden.size(), frame.size()) << path;
    int differing = 0;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 240; ++x)
            differing += reinterpret_cast<const uint16_t *>(golden.constScanLine(y))[x] !=
                         reinterpret_cast<const uint16_t *>(frame.constScanLine(y))[x];
    EXPECT_EQ(differing, 0) << name;
}

class GoldenFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        Palettes(b);
        PatternTiles(b, 0);
    }
    void Draw()
    {
        b.SortBgOrder();
        RenderDirtyFlags = 0xFF;
        DrawFrame(b);
    }
    RenderBlocks b;
};

TEST_F(GoldenFrames, Mode0TextLayersAndSprites)
{
    for (uint32_t n = 0; n < 4; ++n)
        TextMap(b, n, n * 3);
    b.Io(0x00A, b.Io(0x00A) | 0x40);  // BG1 mosaic
    BgMosaicH = 3;
    BgMosaicV = 1;
    SpriteSet(b, 0);
    b.Io(0x000, 0x1F00);
    Draw();
    CompareWithGolden(b, "mode0_text_sprites");
}

TEST_F(GoldenFrames, Mode1TextAndRotatedLayer)
{
    TextMap(b, 0, 0);
    TextMap(b, 1, 5);
    AffineMap(b, 2, 1);
    Rotation(0, 30, 1.5, 128, 128);
    SpriteSet(b, 8);
    b.Io(0x000, 0x1701 | 0x40);
    Draw();
    CompareWithGolden(b, "mode1_rotated");
}

TEST_F(GoldenFrames, Mode2TwoRotatedLayersWithWindows)
{
    AffineMap(b, 2, 0);
    AffineMap(b, 3, 1);
    Rotation(0, -20, 0.8, 128, 128);
    Rotation(1, 45, 2.0, 64, 64);
    b.Io(0x040, 30 << 8 | 130);
    b.Io(0x044, 20 << 8 | 100);
    b.Io(0x042, 200 << 8 | 60);  // wraps around the right edge
    b.Io(0x046, 120 << 8 | 40);  // and the bottom
    b.Io(0x048, 0x1B17);
    b.Io(0x04A, 0x0018);
    SpriteSet(b, 0);
    b.Io(0x000, 0x7C02);
    Draw();
    CompareWithGolden(b, "mode2_windows");
}

TEST_F(GoldenFrames, BitmapModes)
{
    for (uint32_t y = 0; y < 160; ++y)
        for (uint32_t x = 0; x < 240; ++x) {
            b.Vram16((y * 240 + x) * 2, Rgb(x / 8, y / 5, (x + y) / 12));
            b.vram[0xA000 + y * 240 + x] = uint8_t((x / 15 + y / 10 * 16) % 256);
        }
    for (uint32_t i = 0; i < 160 * 128; ++i)
        b.Vram16(0xA000 + i * 2, Rgb(i % 160 / 5, i / 160 / 4, 31 - i % 160 / 5));
    struct Case {
        const char *name;
        uint32_t dispcnt;
        double degrees, scale;
    } cases[] = {
        {"mode3_bitmap", 0x0403, 10, 1.2},
        {"mode4_page1", 0x0414, 0, 1.0},
        {"mode5_page1_scaled", 0x0415, -15, 1.5},
    };
    for (const Case &c : cases) {
        if ((c.dispcnt & 7) == 3)
            std::memset(b.vram.get() + 0xA000, 0, 0x100);  // mode 3 reads page 0 only
        Rotation(0, c.degrees, c.scale, 120, 80);
        b.Io(0x000, c.dispcnt);
        Draw();
        CompareWithGolden(b, c.name);
    }
}

TEST_F(GoldenFrames, ColourEffects)
{
    for (uint32_t n = 0; n < 4; ++n)
        TextMap(b, n, n * 3);
    SpriteSet(b, 0);
    b.Io(0x040, 60 << 8 | 180);
    b.Io(0x044, 40 << 8 | 120);
    b.Io(0x048, 0x003F);
    b.Io(0x04A, 0x001F);
    struct Case {
        const char *name;
        uint32_t dispcnt, bldcnt, eva, evb, evy;
    } cases[] = {
        {"effect_alpha", 0x1F00, 0x3C43, 10, 6, 0},
        {"effect_brighten_window", 0x3F00, 0x00B5, 0, 0, 9},
        {"effect_darken_window", 0x3F00, 0x00F3, 0, 0, 11},
    };
    for (const Case &c : cases) {
        b.Io(0x000, c.dispcnt);
        b.Io(0x050, c.bldcnt);
        BlendEva = c.eva;
        BlendEvb = c.evb;
        BlendEvy = c.evy;
        Draw();
        CompareWithGolden(b, c.name);
    }
}

} // namespace
} // namespace Tavrin::Test
