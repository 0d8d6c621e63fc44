// The line renderer against the slow reference renderer on randomised
// scenes: every mode, every layer variant, windows with wraps and the OBJ
// window, mosaic, flips, both sprite mappings, affine and double-size
// sprites, semi-transparency and tile fetches near the end of VRAM; and
// scenes whose rotated layers and bitmaps lie on the screen in whole or in
// part, with colours changed between lines, for the walks that draw a run
// of columns at a time; and rotation layers drawn unturned, under stores
// between lines.

#include "modules/tavrin/render/tests/ReferenceRenderer.h"
#include "modules/tavrin/testing/RenderFixture.h"

#include "modules/tavrin/bus/MemoryBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace Tavrin::Test {
namespace {

class SceneMaker {
public:
    explicit SceneMaker(uint32_t seed) : rng(seed) {}

    uint32_t Bits(int n) { return rng() & ((1u << n) - 1); }
    uint32_t Range(uint32_t lo, uint32_t hi) { return lo + rng() % (hi - lo + 1); }
    bool Chance(int percent) { return rng() % 100 < uint32_t(percent); }

    void Fill(RenderBlocks &b, uint32_t mode)
    {
        RenderBlocks::ResetWords();
        std::memset(b.io.get(), 0, IoSize);
        // Sparse memory, so transparency and opaque pixels both occur.
        int density = int(Range(5, 60));
        for (uint32_t i = 0; i < VramSize; ++i)
            b.vram[i] = Chance(density) ? uint8_t(rng()) : 0;
        for (int i = 0; i < 512; ++i)
            BgPalette[i] = uint16_t(rng());
        for (uint32_t i = 0; i < 1024; i += 2)
            b.Oam16(i, rng());
        for (int n = 0; n < 128; ++n)
            MakeSprite(b, n);

        uint32_t dispcnt = mode | Bits(1) << 4 | Bits(1) << 6 | Bits(5) << 8 | Bits(3) << 13;
        if (Chance(3))
            dispcnt |= 0x80;
        b.Io(0x000, dispcnt);
        for (uint32_t n = 0; n < 4; ++n) {
            b.Io(0x08 + 2 * n, Bits(16));
            b.Io(0x10 + 4 * n, Bits(16));
            b.Io(0x12 + 4 * n, Bits(16));
        }
        b.Io(0x40, Range(0, 255) << 8 | Range(0, 255));
        b.Io(0x42, Range(0, 255) << 8 | Range(0, 255));
        b.Io(0x44, Range(0, 170) << 8 | Range(0, 170));
        b.Io(0x46, Range(0, 170) << 8 | Range(0, 170));
        b.Io(0x48, Bits(16));
        b.Io(0x4A, Bits(16));
        b.Io(0x50, Bits(14));
        BlendEva = Range(0, 16);
        BlendEvb = Range(0, 16);
        BlendEvy = Range(0, 16);
        if (Chance(50)) {
            BgMosaicH = Bits(4);
            BgMosaicV = Bits(4);
            ObjMosaicH = Bits(4);
            ObjMosaicV = Bits(4);
        }
        for (int i = 0; i < 2; ++i) {
            BgRefX[i] = int32_t(Bits(28) << 4) >> 4;
            BgRefY[i] = int32_t(Bits(28) << 4) >> 4;
            if (Chance(50)) {
                BgRefX[i] &= 0xFFFFF;
                BgRefY[i] &= 0xFFFFF;
            }
            BgPa[i] = int16_t(Bits(16)) / (Chance(50) ? 64 : 1);
            BgPb[i] = int16_t(Bits(16)) / (Chance(50) ? 64 : 1);
            BgPc[i] = int16_t(Bits(16)) / (Chance(50) ? 64 : 1);
            BgPd[i] = int16_t(Bits(16)) / (Chance(50) ? 64 : 1);
        }
        b.SortBgOrder();
        // Also any variant on any background, as the words allow.
        if (Chance(30))
            for (uint32_t &d : BgOrder)
                d = (d & ~0x07000000u) | Bits(3) << 24;
    }

    // Takes out everything that reads the pixel beneath it: alpha (on any
    // layer or as BLDCNT's effect) and semi-transparent sprites. The renderer
    // draws such lines front to back, so this is where overlapping layers and
    // sprites must still come out in priority order.
    void DropBlending(RenderBlocks &b)
    {
        uint32_t bldcnt = b.Io(0x50);
        if (((bldcnt >> 6) & 3) == 1)
            bldcnt = (bldcnt & ~0xC0u) | Range(2, 3) << 6;
        b.Io(0x50, bldcnt);
        for (uint32_t &d : BgOrder)
            if (((d >> 24) & 3) == 1)
                d = (d & ~0x03000000u) | Range(2, 3) << 24;
        for (int n = 0; n < 128; ++n) {
            const uint32_t a0 = HostHalf(b.oam.get() + n * 8);
            if (((a0 >> 10) & 3) == 1)
                b.Oam16(n * 8, a0 & ~0x0400u);
        }
    }

    // Affine words under which the lines run through the texture, all the
    // way or in part, entering and leaving it anywhere: the texture in
    // place or shifted, scaled, mirrored, turned, stepped along one axis
    // only, sheared, and a position that wraps at 32 bits within a line. BG2 and
    // BG3 are on, and with spritesOff the rotated or bitmap layer may be
    // all a line draws.
    void TextureTransforms(RenderBlocks &b, bool spritesOff)
    {
        uint32_t dispcnt = (b.Io(0x000) | 0x0C00) & ~0x80u;
        if (spritesOff)
            dispcnt &= ~0x1000u;
        b.Io(0x000, dispcnt);
        for (int i = 0; i < 2; ++i) {
            int32_t &pa = BgPa[i], &pb = BgPb[i], &pc = BgPc[i], &pd = BgPd[i];
            int32_t &x = BgRefX[i], &y = BgRefY[i];
            x = int32_t(Range(0, 400)) * 256 - 200 * 256 + int32_t(Bits(8));
            y = int32_t(Range(0, 400)) * 256 - 200 * 256 + int32_t(Bits(8));
            pa = pd = 256;
            pb = pc = 0;
            switch (Range(0, 6)) {
            case 0:
                break;
            case 1:
                pa = int32_t(Range(64, 600));
                pd = int32_t(Range(64, 600));
                break;
            case 2:
                pa = -int32_t(Range(128, 400));
                x += 300 * 256;
                break;
            case 3: {
                const double turn = Range(0, 359) * 3.14159265358979 / 180, scale = Range(100, 400);
                pa = pd = int32_t(std::cos(turn) * scale);
                pc = int32_t(std::sin(turn) * scale);
                pb = -pc;
                break;
            }
            case 4:
                pa = int32_t(Range(0, 8)) - 4;
                pc = int32_t(Range(0, 600)) - 300;
                break;
            case 5:
                pc = int32_t(Range(0, 400)) - 200;
                break;
            default:
                x = INT32_MAX - int32_t(Range(0, 300000));
                pa = int32_t(Range(1000, 32767));
                break;
            }
        }
    }

    // Rotation layers drawn one texel per column, neither turned nor
    // scaled, as games scroll maps larger than the screen: any size of map,
    // with or without wrap-around, entering and leaving it anywhere, the
    // lines stepping down, up or not at all.
    void Unturned(RenderBlocks &b)
    {
        for (uint32_t n = 2; n < 4; ++n) {
            const uint32_t cnt = b.Io(0x08 + 2 * n);
            b.Io(0x08 + 2 * n, Chance(80) ? (cnt & ~0x0040u) : cnt);
        }
        b.SortBgOrder();
        for (int i = 0; i < 2; ++i) {
            const int32_t size = 128 << (b.Io(0x0C + 2 * i) >> 14);
            BgPa[i] = 256;
            BgPc[i] = 0;
            BgPb[i] = Chance(70) ? 0 : int32_t(Range(0, 512)) - 256;
            BgPd[i] = Chance(70) ? 256 : int32_t(Range(0, 1024)) - 512;
            BgRefX[i] = (int32_t(Range(0, uint32_t(size) + 480)) - 240) * 256 + int32_t(Bits(8));
            BgRefY[i] = (int32_t(Range(0, uint32_t(size) + 320)) - 160) * 256 + int32_t(Bits(8));
        }
    }

    // Rewrites a few palette entries, background and sprite ones.
    void ChangeColors()
    {
        for (int n = int(Range(0, 6)); n > 0; --n)
            BgPalette[Bits(9)] = uint16_t(rng());
    }

    // Maps as games leave them: rotated maps of 128 or 256 texels without
    // mosaic, and text maps with empty rows (entry 0, whose tile is blank
    // on most of its rows), some with one entry anywhere along them.
    void GameMaps(RenderBlocks &b)
    {
        for (uint32_t n = 0; n < 4; ++n) {
            const uint32_t cnt = b.Io(0x08 + 2 * n);
            b.Io(0x08 + 2 * n, Chance(80) ? (cnt & ~0x8040u) : cnt);
        }
        b.SortBgOrder();
        for (uint32_t i = 0; i < 64; ++i)
            b.vram[Chance(80) ? i : Bits(14)] = Chance(90) ? 0 : uint8_t(rng());
        for (int rows = int(Range(20, 100)); rows > 0; --rows) {
            const uint32_t map = ((b.Io(0x08 + 2 * Bits(2)) >> 8) & 31) * 0x800;
            uint8_t *row = b.vram.get() + std::min(map + Bits(2) * 0x800, 0x17800u) + Bits(5) * 64;
            std::memset(row, 0, 64);
            if (Chance(50))
                row[Bits(6)] = uint8_t(1 + Bits(7));
        }
    }

    // Stores through the bus, as the CPU and DMA make them, into the maps
    // and tiles of BG2 and BG3 (at any of VRAM's mirrors) and into palette
    // RAM: words, halfwords and bytes.
    void StoreThroughTheBus(RenderBlocks &b)
    {
        for (int n = int(Range(0, 4)); n > 0; --n) {
            const uint32_t cnt = b.Io(0x0C + 2 * Bits(1));
            const uint32_t tiles = ((cnt >> 2) & 3) * 0x4000, map = ((cnt >> 8) & 31) * 0x800;
            const uint32_t offset = Chance(50) ? map + Bits(10) : tiles + Bits(14);
            const uint32_t address = Chance(50) ? 0x05000000 + Bits(10) : 0x06000000 + Bits(3) * 0x20000 + offset;
            switch (Bits(2)) {
            case 0: BusWrite8(address, rng()); break;
            case 1: BusWrite16(address & ~1u, rng()); break;
            default: BusWrite32(address & ~3u, rng()); break;
            }
        }
    }

private:
    void MakeSprite(RenderBlocks &b, int n)
    {
        uint32_t a0 = Bits(16), a1 = Bits(16), a2 = Bits(16);
        // Mostly drawable regular or affine sprites, some of every mode.
        if (Chance(70))
            a0 &= ~0x0800u;
        if (Chance(60))
            a0 &= ~0x0200u | (a0 & 0x100) << 1;
        if (Chance(20))
            a2 |= 0x3E0;  // tiles near the end of sprite memory
        b.Sprite(n, a0, a1, a2);
    }

    std::mt19937 rng;
};

class ReferenceFrames : public ::testing::TestWithParam<uint32_t> {
protected:
    // Twelve scenes of the test's mode, their seeds from mode * 1000 + base:
    // check(scene, k, what) draws and compares scene k, and the first one
    // that fails ends the test (the others would only repeat its fault).
    template <class Check>
    void EachScene(uint32_t base, Check check)
    {
        for (uint32_t k = 0; k < 12; ++k) {
            const uint32_t seed = GetParam() * 1000 + base + k;
            SceneMaker scene(seed);
            check(scene, k, "seed " + std::to_string(seed));
            if (HasFailure())
                return;
        }
    }
    // Scene k of a family whose rotated layers and bitmaps are on the
    // screen: half of them without sprites, half without blending (so drawn
    // front to back).
    void TexturedScene(SceneMaker &scene, uint32_t k)
    {
        scene.Fill(blocks, GetParam());
        scene.TextureTransforms(blocks, k % 4 < 2);
        if (k % 2)
            scene.DropBlending(blocks);
    }
    RenderBlocks blocks;
};

TEST_P(ReferenceFrames, RandomScenesMatchTheReference)
{
    EachScene(0, [&](SceneMaker &scene, uint32_t, const std::string &what) {
        scene.Fill(blocks, GetParam());
        CompareFrameWithReference(blocks, what);
    });
}

TEST_P(ReferenceFrames, ScenesWithoutBlendingMatchTheReference)
{
    EachScene(500, [&](SceneMaker &scene, uint32_t, const std::string &what) {
        scene.Fill(blocks, GetParam());
        scene.DropBlending(blocks);
        if (CompareFrameWithReference(blocks, what) != 0)
            return;
        // The same frame with the window and target lines built once, as the
        // machine leaves them when nothing changes: a line must leave both as
        // it found them for the next one.
        const std::vector<uint8_t> rebuiltEveryLine(blocks.frame.get(), blocks.frame.get() + FrameBytes);
        std::memset(blocks.frame.get(), 0, FrameBytes);
        RenderDirtyFlags = 0xFF;
        DrawFrame(blocks);
        int differing = 0;
        for (int y = 0; y < 160; ++y) {
            const int at = y * FrameBufferPitchBytes + FrameBufferPictureOffsetBytes;
            differing += std::memcmp(blocks.frame.get() + at, rebuiltEveryLine.data() + at, 240 * 2) != 0;
        }
        ASSERT_EQ(differing, 0) << "lines differ, " << what;
    });
}

// A third of the scenes with colours changed before lines, which the
// converted palette and its tables must follow.
TEST_P(ReferenceFrames, ScenesWithTexturesOnScreenMatchTheReference)
{
    EachScene(700, [&](SceneMaker &scene, uint32_t k, const std::string &what) {
        TexturedScene(scene, k);
        std::function<void(uint32_t)> beforeLine;
        if (k % 3 == 0)
            beforeLine = [&scene](uint32_t line) {
                if (line % 4 == 1)
                    scene.ChangeColors();
            };
        CompareFrameWithReference(blocks, what, beforeLine);
    });
}

// A frame drawn as the machine draws it, the rebuild requests left to the
// stores and register writes that make them: what the renderer keeps
// decoded from VRAM and palette RAM must follow stores made between lines,
// before every line or only now and then.
TEST_P(ReferenceFrames, StoresBetweenLinesReachTheNextLine)
{
    EachScene(900, [&](SceneMaker &scene, uint32_t k, const std::string &what) {
        TexturedScene(scene, k);
        scene.GameMaps(blocks);
        if (CompareFrameWithReference(blocks, what) != 0)
            return;
        const uint32_t every = k % 3 == 0 ? 1 : 16;
        const auto store = [&](uint32_t line) {
            if (line % every == 0)
                scene.StoreThroughTheBus(blocks);
        };
        CompareFrameWithReference(blocks, what + ", stores", store, false);
    });
}

// The same for rotation layers drawn unturned and unscaled, whose tile
// rows' colours the renderer keeps from line to line: stores into their
// maps, tiles and palette, before every line or now and then.
TEST_P(ReferenceFrames, UnturnedRotationLayersFollowStores)
{
    EachScene(1100, [&](SceneMaker &scene, uint32_t k, const std::string &what) {
        TexturedScene(scene, k);
        scene.Unturned(blocks);
        if (CompareFrameWithReference(blocks, what) != 0)
            return;
        // A frame first, as the machine leaves the rows kept from it.
        RenderDirtyFlags = 0xFF;
        DrawFrame(blocks);
        const uint32_t every = k % 3 == 0 ? 1 : 16;
        const auto store = [&](uint32_t line) {
            if (line % every == 0)
                scene.StoreThroughTheBus(blocks);
        };
        CompareFrameWithReference(blocks, what + ", stores", store, false);
    });
}

INSTANTIATE_TEST_SUITE_P(EveryMode, ReferenceFrames, ::testing::Range(0u, 8u));

} // namespace
} // namespace Tavrin::Test
