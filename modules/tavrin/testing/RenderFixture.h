// A machine-less setting for the line renderer: exact-size host blocks
// mapped through the bus's page tables (so a read past a block trips the
// address sanitizer), the colour tables, and helpers that set the words the
// machine would set and draw whole frames the way its line step does.
#pragma once

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/bus/MemoryMap.h"
#include "modules/tavrin/render/ColorTables.h"
#include "modules/tavrin/render/RenderState.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace Tavrin::Test {

using namespace Tavrin;

inline constexpr int FrameBytes = FrameBufferPitchBytes * 160;

struct RenderBlocks {
    std::unique_ptr<uint8_t[]> io{new uint8_t[IoSize]()};
    std::unique_ptr<uint8_t[]> palette{new uint8_t[PaletteSize]()};
    std::unique_ptr<uint8_t[]> vram{new uint8_t[VramSize]()};
    std::unique_ptr<uint8_t[]> oam{new uint8_t[OamSize]()};
    std::unique_ptr<uint8_t[]> frame{new uint8_t[FrameBytes]()};

    RenderBlocks()
    {
        static bool tablesFilled = false;
        if (!tablesFilled) {
            FillColorTables();
            tablesFilled = true;
        }
        ConsoleBlocks b;
        b.io = io.get();
        b.palette = palette.get();
        b.vram = vram.get();
        b.oam = oam.get();
        MapConsoleMemory(b);
        BgPalette = reinterpret_cast<uint16_t *>(palette.get());
        ObjPalette = BgPalette + 256;
        FrameBuffer = frame.get();
        ResetWords();
    }
    ~RenderBlocks()
    {
        BusClearMap();
        IoPage = nullptr;
        BgPalette = ObjPalette = nullptr;
        FrameBuffer = nullptr;
    }

    // The renderer words as machine reset leaves them.
    static void ResetWords()
    {
        for (int n = 0; n < 4; ++n)
            BgOrder[3 - n] = uint32_t(n) << 28;
        BlendEva = BlendEvb = BlendEvy = 0;
        BgMosaicH = BgMosaicV = ObjMosaicH = ObjMosaicV = 0;
        for (int i = 0; i < 2; ++i) {
            BgCurX[i] = BgCurY[i] = BgRefX[i] = BgRefY[i] = 0;
            BgPa[i] = BgPd[i] = 256;
            BgPb[i] = BgPc[i] = 0;
        }
        std::memset(WindowLine, 0xFF, sizeof WindowLine);
        std::memset(SecondTargetLine, 0, sizeof SecondTargetLine);
        SpriteList[0].priority = -1;
        RenderDirtyFlags = 0xFF;
    }

    void Io(uint32_t offset, uint32_t value)
    {
        uint16_t v = uint16_t(value);
        std::memcpy(io.get() + offset, &v, 2);
    }
    uint32_t Io(uint32_t offset) const { return HostHalf(io.get() + offset); }
    void Vram16(uint32_t offset, uint32_t value)
    {
        uint16_t v = uint16_t(value);
        std::memcpy(vram.get() + offset, &v, 2);
    }
    void Oam16(uint32_t offset, uint32_t value)
    {
        uint16_t v = uint16_t(value);
        std::memcpy(oam.get() + offset, &v, 2);
    }
    void Sprite(int n, uint32_t a0, uint32_t a1, uint32_t a2)
    {
        Oam16(n * 8, a0);
        Oam16(n * 8 + 2, a1);
        Oam16(n * 8 + 4, a2);
    }
    void BgColor(int i, uint32_t c) { BgPalette[i] = uint16_t(c); }
    void ObjColor(int i, uint32_t c) { ObjPalette[i] = uint16_t(c); }

    // Host pixel of console column x (may be -130..369) on line y.
    uint16_t Pixel(int x, int y) const
    {
        uint16_t v;
        std::memcpy(&v, frame.get() + y * FrameBufferPitchBytes + (PictureColumn + x) * 2, 2);
        return v;
    }

    // The BgOrder words from the four control registers, as the machine's
    // register writes keep them: sorted back to front, variant bits from
    // BLDCNT with the alpha refinement.
    void SortBgOrder()
    {
        uint32_t bldcnt = Io(0x50);
        uint32_t words[4];
        for (uint32_t n = 0; n < 4; ++n) {
            uint32_t cnt = Io(0x08 + 2 * n);
            words[n] = cnt | n << 28 | (cnt & 3) << 30;
        }
        std::sort(words, words + 4, [](uint32_t a, uint32_t b) { return a > b; });
        uint32_t effect = (bldcnt >> 6) & 3;
        // In alpha mode with only backgrounds as second targets, a background
        // blends only when a second target lies behind it.
        int backmostSecond = 4;
        for (int i = 3; i >= 0; --i)
            if (bldcnt & (0x100u << ((words[i] >> 28) & 3)))
                backmostSecond = i;
        for (int i = 0; i < 4; ++i) {
            uint32_t n = (words[i] >> 28) & 3;
            uint32_t e = (bldcnt & (1u << n)) ? effect : 0;
            if (effect == 1 && !(bldcnt & 0x3000) && i <= backmostSecond)
                e = 0;
            uint32_t st = (bldcnt & (0x100u << n)) ? 1 : 0;
            BgOrder[i] = words[i] | (e + 4 * st) << 24;
        }
    }
};

// Draws lines 0-159 the way the machine's line step does: the affine
// reference points are loaded before line 0 and stepped after every line.
template <class DrawLine>
void DrawFrame(RenderBlocks &blocks, DrawLine drawLine)
{
    for (int i = 0; i < 2; ++i) {
        BgCurX[i] = BgRefX[i];
        BgCurY[i] = BgRefY[i];
    }
    for (uint32_t line = 0; line < 160; ++line) {
        blocks.Io(0x006, line);
        drawLine(line);
        for (int i = 0; i < 2; ++i) {
            BgCurX[i] += BgPb[i];
            BgCurY[i] += BgPd[i];
        }
    }
}

inline void DrawFrame(RenderBlocks &blocks)
{
    DrawFrame(blocks, [](uint32_t) { RenderLine(); });
}

} // namespace Tavrin::Test
