// Milliseconds per 160-line frame of the handheld's line renderer, for a few
// typical scenes: four scrolled 16-colour text layers with 128 32x32 sprites
// (plain, then with alpha on two layers and both windows), rotated layers in
// modes 1 and 2 under sprites, the mode-3 and mode-4 bitmaps, and one
// rotated layer alone, wrapping and then turned and shrunk within the screen
// without wrapping; last a large rotation map drawn unrotated and unscaled,
// scrolled past its right edge, under a few sprites, as games scroll a big level.
// Each scene is timed twice: with every line drawn, its inputs changed each
// frame as when the picture moves, and as a still picture ("<scene>_still"),
// whose unchanged lines are copied from those kept.
#include "modules/tavrin/render/DrawnLines.h"
#include "modules/tavrin/testing/RenderFixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

using namespace Tavrin;

namespace {

// The renderer's memory blocks, mapped as the machine maps them.
using Memory = Tavrin::Test::RenderBlocks;

// Opaque background tiles, sprite tiles with a few transparent pixels.
void FillTilesAndMaps(Memory &m, std::mt19937 &rng)
{
    for (uint32_t i = 0; i < 0x8000; ++i)
        m.vram[i] = uint8_t(rng() | 0x11);
    for (uint32_t i = 0x10000; i < 0x18000; ++i)
        m.vram[i] = uint8_t(rng() | 0x01);
    for (int i = 0; i < 512; ++i)
        m.BgColor(i, rng() & 0x7FFF);
}

void TextLayers(Memory &m, std::mt19937 &rng)
{
    // Maps in screen blocks 24-31 (VRAM 0xC000-0xFFFF), tiles from 0.
    for (uint32_t n = 0; n < 4; ++n) {
        m.Io(0x08 + 2 * n, (3 - n) | (24 + 2 * n) << 8);
        m.Io(0x10 + 4 * n, 13 * n + 3);
        m.Io(0x12 + 4 * n, 7 * n + 1);
        BgOrder[n] = (3 - n) | (24 + 2 * n) << 8 | n << 28 | (3 - n) << 30;
    }
    for (uint32_t i = 0xC000; i < 0x10000; i += 2) {
        uint16_t e = uint16_t((rng() & 0x3FF) % 512 | (rng() & 0xF000) | (rng() & 0xC00));
        std::memcpy(m.vram.get() + i, &e, 2);
    }
}

void Sprites(Memory &m, std::mt19937 &rng)
{
    for (uint32_t n = 0; n < 128; ++n) {
        uint32_t x = rng() % 240, y = rng() % 160;
        m.Oam16(n * 8, y);                              // square, 16 colours
        m.Oam16(n * 8 + 2, x | 2u << 14);               // 32x32
        m.Oam16(n * 8 + 4, (rng() % 1024) | (rng() % 4) << 10 | (rng() % 16) << 12);
    }
}

void AffineLayer(Memory &m, uint32_t n, uint32_t size)
{
    uint32_t cnt = (3 - n) | 1 << 2 | (16 + 8 * (n - 2)) << 8 | 1 << 13 | size << 14;
    m.Io(0x08 + 2 * n, cnt);
    uint32_t i = n - 2;
    BgPa[i] = 200;
    BgPb[i] = -90;
    BgPc[i] = 90;
    BgPd[i] = 200;
    BgRefX[i] = 1000;
    BgRefY[i] = -3000;
    for (uint32_t k = 0; k < 4096; ++k)
        m.vram[(16 + 8 * i) * 0x800 + k] = uint8_t(k * 7);
}

// Processor time of this thread, so time the scheduler gives to other
// programs is not counted.
double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double TimeFrames(Memory &m, int frames, bool still)
{
    RenderDirtyFlags = 0xFF;
    ForgetDrawnLines();
    const double start = ThreadSeconds();
    for (int f = 0; f < frames; ++f) {
        // An unused display register that changes every frame makes every
        // line's inputs differ from its last drawing, as in a moving picture.
        if (!still)
            m.Io(0x056, uint32_t(f & 1));
        for (int i = 0; i < 2; ++i) {
            BgCurX[i] = BgRefX[i];
            BgCurY[i] = BgRefY[i];
        }
        for (uint32_t line = 0; line < 160; ++line) {
            m.Io(0x006, line);
            RenderLine();
            for (int i = 0; i < 2; ++i) {
                BgCurX[i] += BgPb[i];
                BgCurY[i] += BgPd[i];
            }
        }
    }
    return (ThreadSeconds() - start) * 1000.0 / frames;
}

// The best of several batches, so that other work on the machine counts
// as little as possible.
const char *only = nullptr;
int batchFrames = 200;
// Every scene's name, for the line that says which names there are when
// the one asked for is none of them.
std::string scenes;
int reported = 0;

void Report(const char *scene, Memory &m)
{
    scenes += scenes.empty() ? scene : std::string(" ") + scene;
    if (only && std::strcmp(only, scene) != 0)
        return;
    ++reported;
    for (const bool still : {false, true}) {
        TimeFrames(m, batchFrames / 4 + 1, still);
        double best = TimeFrames(m, batchFrames, still);
        for (int batch = 0; batch < 9; ++batch)
            best = std::min(best, TimeFrames(m, batchFrames, still));
        std::printf("%s%s: %.4f ms/frame\n", scene, still ? "_still" : "", best);
    }
}

} // namespace

// With an argument, times only the scene of that name; a second one sets
// the frames per timed batch.
int main(int argc, char **argv)
{
    if (argc > 1)
        only = argv[1];
    if (argc > 2)
        batchFrames = std::max(1, std::atoi(argv[2]));
    Memory m;
    std::mt19937 rng(7);
    FillTilesAndMaps(m, rng);
    TextLayers(m, rng);
    Sprites(m, rng);
    m.Io(0x000, 0x0F00 | 0x40);
    Report("mode0_text4", m);
    m.Io(0x000, 0x1000 | 0x40);
    Report("mode0_sprites128", m);
    m.Io(0x000, 0x1F00 | 0x40);
    Report("mode0_text4_sprites128", m);

    m.Io(0x000, 0x7F00 | 0x40);
    m.Io(0x040, 20 << 8 | 200);
    m.Io(0x044, 10 << 8 | 150);
    m.Io(0x042, 100 << 8 | 30);  // wraps
    m.Io(0x046, 40 << 8 | 120);
    m.Io(0x048, 0x3F3F);
    m.Io(0x04A, 0x1F);
    m.Io(0x050, 0x0C43);  // BG0 and BG1 over BG2 and BG3
    m.Io(0x052, 0x0A06);
    BlendEva = 6;
    BlendEvb = 10;
    BgOrder[3] |= 1u << 24;  // BG0: alpha
    BgOrder[2] |= 1u << 24;  // BG1: alpha
    BgOrder[1] |= 4u << 24;  // BG2: second target
    BgOrder[0] |= 4u << 24;  // BG3: second target
    Report("mode0_alpha_windows", m);

    m.Io(0x050, 0);
    for (uint32_t &d : BgOrder)
        d &= ~0x07000000u;
    AffineLayer(m, 2, 1);
    BgOrder[1] = m.Io(0x0C) | 2u << 28 | 1u << 30;
    m.Io(0x000, 0x1700 | 1 | 0x40);
    Report("mode1_rotated", m);

    AffineLayer(m, 3, 2);
    BgOrder[0] = m.Io(0x0E) | 3u << 28;
    m.Io(0x000, 0x1C00 | 2 | 0x40);
    Report("mode2_rotated", m);

    for (uint32_t i = 0; i < 240 * 160 * 2; ++i)
        m.vram[i] = uint8_t(rng());
    BgRefX[0] = 0;
    BgRefY[0] = 0;
    BgPa[0] = 256;
    BgPb[0] = 0;
    BgPc[0] = 0;
    BgPd[0] = 256;
    m.Io(0x000, 0x0400 | 3);
    Report("mode3_bitmap", m);
    m.Io(0x000, 0x0400 | 4);
    Report("mode4_bitmap", m);

    // The scenes above leave two entries for BG2 in the layer order; from
    // here on each background has one.
    AffineLayer(m, 2, 1);
    BgOrder[0] = m.Io(0x0E) | 3u << 28;
    BgOrder[1] = m.Io(0x0C) | 2u << 28 | 1u << 30;
    BgOrder[2] = m.Io(0x0A) | 1u << 28;
    BgOrder[3] = m.Io(0x08);
    m.Io(0x000, 0x0400 | 2);
    Report("mode2_affine", m);
    m.Io(0x0C, m.Io(0x0C) & ~0x2000u);
    BgOrder[1] &= ~0x2000u;
    BgPa[0] = 330;
    BgPb[0] = -120;
    BgPc[0] = 120;
    BgPd[0] = 330;
    BgRefX[0] = -40 << 8;
    BgRefY[0] = -10 << 8;
    Report("mode2_affine_inside", m);

    // 1024 x 1024 texels: a 16 KB map at screen block 16 (VRAM 0x8000),
    // a quarter of it tile 0, which is blank on the rows drawn here.
    const uint32_t large = 2 | 1 << 2 | 16 << 8 | 3u << 14;
    m.Io(0x0C, large);
    for (uint32_t k = 0; k < 0x4000; ++k)
        m.vram[0x8000 + k] = (rng() & 3) ? uint8_t(rng() | 1) : 0;
    std::memset(m.vram.get() + 0x4000, 0, 64);
    BgOrder[0] = large | 2u << 28 | 2u << 30;
    BgOrder[1] = 1u << 28;
    BgOrder[2] = 3u << 28;
    BgOrder[3] = 0;
    BgPa[0] = 256;
    BgPb[0] = 0;
    BgPc[0] = 0;
    BgPd[0] = 256;
    BgRefX[0] = (900 << 8) + 77;
    BgRefY[0] = 300 << 8;
    // Sixteen sprites stay on the screen.
    for (uint32_t n = 16; n < 128; ++n)
        m.Oam16(n * 8, 160);
    m.Io(0x000, 0x1400 | 1 | 0x40);
    Report("mode1_large_map_scrolled", m);
    if (reported == 0) {
        std::printf("bench_render: no scene is named %s; the scenes are: %s\n", only, scenes.c_str());
        return 1;
    }
    return 0;
}
