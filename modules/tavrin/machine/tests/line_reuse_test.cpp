// Lines copied from what the renderer kept against lines drawn afresh: one
// scripted run of the machine twice, once as it runs and once forgetting
// the kept lines before every line event, so that every line is drawn; the
// pictures must agree frame by frame, pixel by pixel. Between line events
// the script stores to the display registers, VRAM, sprite RAM and palette
// RAM (often the value already there), copies blocks by DMA (often their
// own content), loads a state saved earlier, changes the frame skip and
// the host colour table.
#include "modules/tavrin/testing/MachineFixture.h"

#include "modules/tavrin/files/StateFile.h"
#include "modules/tavrin/render/ColorTables.h"
#include "modules/tavrin/render/DrawnLines.h"
#include "modules/tavrin/render/RenderState.h"

#include <iterator>
#include <random>
#include <vector>

namespace Tavrin::Test {
namespace {

constexpr uint32_t Io = 0x04000000, Palette = 0x05000000, Vram = 0x06000000, Oam = 0x07000000;
constexpr uint32_t Ewram = 0x02000000;
constexpr int EventsPerFrame = 2 * 228;
constexpr int Frames = 120;

// The display registers the script stores to, by offset.
constexpr uint32_t DisplayRegisters[] = {
    0x000, 0x008, 0x00A, 0x00C, 0x00E, 0x010, 0x012, 0x014, 0x016, 0x018, 0x01A, 0x01C, 0x01E,
    0x020, 0x022, 0x024, 0x026, 0x028, 0x02A, 0x02C, 0x02E, 0x030, 0x032, 0x034, 0x036, 0x038,
    0x03A, 0x03C, 0x03E, 0x040, 0x042, 0x044, 0x046, 0x048, 0x04A, 0x04C, 0x050, 0x052, 0x054,
};

class LineReuseTest : public MachineTest {
protected:
    // A display control word: a tiled mode mostly, a bitmap mode now and
    // then, every layer on, windows now and then, forced blank seldom.
    uint32_t DisplayControl()
    {
        const uint32_t modes[] = {0, 1, 2, 0, 1, 2, 3, 4, 5};
        uint32_t v = modes[rng() % 9] | 0x1F00 | (rng() & 0x40);
        if (rng() % 4 == 0)
            v |= rng() & 0xE000;
        if (rng() % 16 == 0)
            v |= 0x80;
        return v;
    }

    // A window control word that shows most layers.
    uint32_t WindowControl() { return (rng() | 0x1F1F) & 0x3F3F; }

    uint32_t Value(uint32_t address)
    {
        // Half of the stores write what is already there.
        return rng() % 2 ? BusRead16(address) : rng() & 0xFFFF;
    }

    // A DMA of 32-bit units from work RAM to dst: the block's own content,
    // or new content.
    void BulkStore(uint32_t dst, uint32_t bytes)
    {
        const bool same = rng() % 2;
        for (uint32_t i = 0; i < bytes; i += 4)
            BusWrite32(Ewram + i, same ? BusRead32(dst + i) : uint32_t(rng()));
        BusWrite32(Io + 0xD4, Ewram);
        BusWrite32(Io + 0xD8, dst);
        BusWrite16(Io + 0xDC, bytes / 4);
        BusWrite16(Io + 0xDE, 0x8000 | 0x0400);
    }

    // Any kind of store, or with everything false VRAM's only.
    void RandomStore(bool everything)
    {
        constexpr uint32_t VramKinds[] = {1, 2, 3, 6};
        switch (everything ? rng() % 9 : VramKinds[rng() % 4]) {
        case 0: {
            const uint32_t reg = DisplayRegisters[rng() % std::size(DisplayRegisters)];
            const bool same = rng() % 2;
            if (same)
                BusWrite16(Io + reg, BusRead16(Io + reg));
            else
                BusWrite16(Io + reg, reg == 0 ? DisplayControl() : reg == 0x48 || reg == 0x4A ? WindowControl()
                                                                                           : rng() & 0xFFFF);
            break;
        }
        case 1: {
            const uint32_t a = Vram + (rng() % 0x18000 & ~1u);
            BusWrite16(a, Value(a));
            break;
        }
        case 2: {
            const uint32_t a = Vram + (rng() % 0x18000 & ~3u);
            BusWrite32(a, rng() % 2 ? BusRead32(a) : uint32_t(rng()));
            break;
        }
        case 3: {
            const uint32_t a = Vram + rng() % 0x10000;
            BusWrite8(a, rng() % 2 ? BusRead8(a) : rng() & 0xFF);
            break;
        }
        case 4: {
            const uint32_t a = Oam + (rng() % 0x400 & ~1u);
            BusWrite16(a, Value(a));
            break;
        }
        case 5: {
            const uint32_t a = Palette + (rng() % 0x400 & ~1u);
            BusWrite16(a, Value(a));
            break;
        }
        case 6:
            BulkStore(Vram + (rng() % 0x30) * 0x800, 0x800);
            break;
        case 7:
            BulkStore(Oam, 0x400);
            break;
        default:
            BulkStore(Palette, 0x400);
            break;
        }
    }

    void SetUpScreen()
    {
        for (uint32_t a = 0; a < 0x18000; a += 4)
            BusWrite32(Vram + a, rng());
        for (uint32_t a = 0; a < 0x400; a += 4) {
            BusWrite32(Palette + a, rng() & 0x7FFF7FFF);
            // Sprites shown, half of them rotated.
            BusWrite32(Oam + a, (a & 4) ? rng() : rng() & 0xFFFFFDFF);
        }
        BusWrite16(Io, DisplayControl() & ~0x80u);
        for (uint32_t n = 0; n < 4; ++n)
            BusWrite16(Io + 8 + 2 * n, rng() & 0xFFFF);
        BusWrite16(Io + 0x20, 0x100);
        BusWrite16(Io + 0x26, 0x100);
        BusWrite16(Io + 0x30, 0xE0);
        BusWrite16(Io + 0x32, 0x30);
        BusWrite16(Io + 0x36, 0x100);
        BusWrite16(Io + 0x44, 0x2080);
        BusWrite16(Io + 0x40, 0x10C0);
        BusWrite16(Io + 0x48, WindowControl());
        BusWrite16(Io + 0x4A, WindowControl());
        BusWrite16(Io + 0x50, rng() & 0x3FFF);
        BusWrite16(Io + 0x52, 0x0808);
        BusWrite16(Io + 0x54, 0x0006);
    }

    // The script's pictures, one per frame. forget: every line drawn.
    std::vector<std::vector<uint16_t>> Run(bool forget)
    {
        rng.seed(2207);
        std::vector<std::vector<uint16_t>> pictures;
        std::vector<uint8_t> saved;
        SetUpScreen();
        for (int frame = 0; frame < Frames; ++frame) {
            // A few stores in every other frame, so that each one's lines
            // are drawn again while the rest may still be copied; none in
            // the frame before the state load and the colour table's
            // refill, so that nothing else changes the lines.
            const bool busy = frame % 2 == 1 && frame != 49 && frame != 95;
            if (frame == 16)
                saved = StateImage();
            // The state is loaded over the same registers, sprites and
            // colours, so that only VRAM tells the lines apart.
            const bool everything = frame < 16 || frame >= 50;
            if (frame == 50) {
                EXPECT_EQ(LoadStateImage(saved, "line reuse"), 1);
            }
            if (frame == 70)
                FrameSkipPeriod = 2;
            if (frame == 75)
                FrameSkipPeriod = 1;
            if (frame == 90) {
                // A host colour table of its own, as the video's SetColor
                // stores it.
                for (uint32_t i = 0; i < 65536; ++i)
                    ColorToHostTable[i] = uint16_t(~ColorToHostTable[i]);
                HostTableIsPacked = false;
                ForgetDrawnLines();
            }
            if (frame == 96)
                FillColorTables();
            for (int event = 0; event < EventsPerFrame; ++event) {
                if (busy && rng() % 100 == 0)
                    RandomStore(everything);
                if (forget)
                    ForgetDrawnLines();
                // The CPU, which does not run here, has used up its slice.
                cpu.cyclesLeft = 0;
                LineHook(&cpu);
            }
            pictures.push_back(machine.Picture());
        }
        return pictures;
    }

    std::mt19937 rng;
};

TEST_F(LineReuseTest, CopiedLinesEqualDrawnOnes)
{
    const uint64_t reusedBefore = ReusedLineCount;
    const auto copied = Run(false);
    const uint64_t reused = ReusedLineCount - reusedBefore;
    ASSERT_TRUE(machine.Start(folder.Write("spin.gba", SpinningImage(0x4000))));
    const auto drawn = Run(true);
    // Many lines of the quiet frames are copied.
    EXPECT_GT(reused, uint64_t(Frames * 160 / 8));
    ASSERT_EQ(copied.size(), drawn.size());
    for (size_t f = 0; f < copied.size(); ++f) {
        for (size_t i = 0; i < copied[f].size(); ++i) {
            if (copied[f][i] != drawn[f][i]) {
                ADD_FAILURE() << "frame " << f << " line " << i / MachineHarness::PictureWidth << " column "
                              << i % MachineHarness::PictureWidth << ": copied " << copied[f][i] << ", drawn "
                              << drawn[f][i];
                break;
            }
        }
    }
}

} // namespace
} // namespace Tavrin::Test
