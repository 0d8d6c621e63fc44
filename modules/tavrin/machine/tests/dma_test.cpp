// DMA transfers and the direct-sound FIFOs they feed.
#include "modules/tavrin/testing/MachineFixture.h"

#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/machine/Dma.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/machine/Timers.h"

#include <cstring>
#include <vector>

namespace Tavrin::Test {
namespace {

using DmaTest = MachineTest;

constexpr uint32_t Ewram = 0x02000000;

void SetChannel(uint32_t n, uint32_t src, uint32_t dst, uint32_t count)
{
    BusWrite32(0x040000B0 + 12 * n, src);
    BusWrite32(0x040000B4 + 12 * n, dst);
    BusWrite16(0x040000B8 + 12 * n, count);
}

TEST_F(DmaTest, CountZeroMovesTheWholeRange)
{
    struct Case {
        uint32_t channel, units;
    };
    for (const Case c : {Case{3, 0x10000}, Case{0, 0x4000}, Case{1, 0x4000}, Case{2, 0x4000}}) {
        std::memset(MachineBlocks.ewram, 0, EwramSize);
        BusWrite16(0x03000000, 0x0101);
        SetChannel(c.channel, 0x03000000, Ewram, 0);
        BusWrite16(0x040000BA + 12 * c.channel, 0x8000 | 0x0100); // immediate, fixed source
        uint32_t last = 0;
        for (uint32_t i = 0; i < EwramSize; i += 2)
            if (MachineBlocks.ewram[i] || MachineBlocks.ewram[i + 1])
                last = i;
        EXPECT_EQ(last / 2 + 1, c.units) << "channel " << c.channel;
        EXPECT_EQ(IoGet(Io::DmaControl(c.channel)) & 0x8000, 0u);
        EXPECT_EQ(IoGet(Io::DmaCount(c.channel)), 0u) << "count register left as it was";
    }
}

TEST_F(DmaTest, StepsAndFinalAddresses)
{
    BusWrite32(0x02000100, 0x11111111);
    BusWrite32(0x02000104, 0x22222222);
    // Source decrements, destination increments, 32-bit units.
    SetChannel(3, 0x02000104, 0x02000200, 2);
    BusWrite16(0x040000DE, 0x8000 | 0x0400 | 0x0080);
    EXPECT_EQ(BusRead32(0x02000200), 0x22222222u);
    EXPECT_EQ(BusRead32(0x02000204), 0x11111111u);
    EXPECT_EQ(IoGet32(Io::DmaSource(3)), 0x020000FCu);
    EXPECT_EQ(IoGet32(Io::DmaDest(3)), 0x02000208u);
    // Fixed destination: every unit lands on one address.
    SetChannel(3, 0x02000100, 0x02000300, 2);
    BusWrite16(0x040000DE, 0x8000 | 0x0400 | 0x0040);
    EXPECT_EQ(BusRead32(0x02000300), 0x22222222u);
    EXPECT_EQ(BusRead32(0x02000304), 0u);
}

// What a transfer may have touched in the cases below.
struct Touched {
    std::vector<uint8_t> ewram, iwram, vram, oam, palette;
    uint32_t io, dirty;
    bool operator==(const Touched &) const = default;
};

Touched LookAtMemory()
{
    const ConsoleBlocks &m = MachineBlocks;
    return {{m.ewram, m.ewram + 0x1000}, {m.iwram, m.iwram + IwramSize}, {m.vram, m.vram + 0x100},
            {m.oam, m.oam + 0x100},     {m.palette, m.palette + 0x20},   IoGet(0x010),
            RenderDirtyFlags & 4u};
}

void FillMemory()
{
    const ConsoleBlocks &m = MachineBlocks;
    for (uint32_t i = 0; i < EwramSize; ++i)
        m.ewram[i] = uint8_t(i * 13 + (i >> 8));
    for (uint32_t i = 0; i < IwramSize; ++i)
        m.iwram[i] = uint8_t(i * 7 + 1);
    std::memset(m.vram, 0, 0x100);
    std::memset(m.oam, 0, 0x100);
    std::memset(m.palette, 0, 0x20);
    IoSet(0x010, 0);
    RenderDirtyFlags = 0;
}

// Every transfer moves what the bus would move unit by unit, in the same
// order, charges the same cycles and leaves the same registers, whichever
// regions it runs between.
TEST_F(DmaTest, TransfersMatchTheBusUnitByUnit)
{
    struct Case {
        uint32_t channel, src, dst, count, control;
        const char *what;
    };
    const Case cases[] = {
        {3, 0x02000000, 0x06000000, 60, 0x0400, "work RAM to video RAM, words"},
        {0, 0x03000100, 0x07000000, 33, 0x0000, "internal RAM to sprites, halfwords"},
        {3, 0x08000040, 0x02000000, 100, 0x0400, "cartridge to work RAM"},
        {1, 0x0D000000, 0x02000000, 8, 0x0000, "from the EEPROM window"},
        {3, 0x02000100, 0x02000104, 40, 0x0400, "overlapping upwards: each word carried on"},
        {3, 0x02000200, 0x020001FC, 40, 0x0480, "source down, destination up"},
        {2, 0x02000300, 0x05000000, 16, 0x0100 | 0x0040, "fixed source and destination"},
        {3, 0x0203FFF0, 0x03000000, 16, 0x0400, "across work RAM's mirror"},
        {3, 0x03FFFFF8, 0x02000000, 12, 0x0000, "source running into the I/O region"},
        {3, 0x02000400, 0x04000010, 4, 0x0000, "into the I/O registers"},
        {0, 0x07FFFFF8, 0x02000000, 4, 0x0400, "source wrapping at channel 0's mask"},
    };
    for (const Case &c : cases) {
        const uint32_t unit = (c.control & 0x400) ? 4 : 2;
        const int32_t dstStep = (c.control & 0x60) == 0x40 ? 0 : int32_t(unit);
        const int32_t srcStep = (c.control & 0x180) == 0x100 ? 0 : (c.control & 0x80) ? -int32_t(unit) : int32_t(unit);

        FillMemory();
        cpu.cyclesLeft = 100000;
        VramPartsStored = 0;
        RenderDirtyFlags = 0;
        uint32_t s = c.src, d = c.dst;
        for (uint32_t i = 0; i < c.count; ++i) {
            if (unit == 4)
                BusWrite32(d, BusRead32(s));
            else
                BusWrite16(d, BusRead16(s));
            s = (s + uint32_t(srcStep)) & DmaSourceMask[c.channel];
            d = (d + uint32_t(dstStep)) & DmaDestMask[c.channel];
        }
        const int32_t busCycles = 100000 - cpu.cyclesLeft;
        const Touched byBus = LookAtMemory();
        // What the renderer hears of the stores, too.
        const uint64_t partsByBus = VramPartsStored;
        const uint8_t flagsByBus = RenderDirtyFlags;

        FillMemory();
        SetChannel(c.channel, c.src, c.dst, c.count);
        cpu.cyclesLeft = 100000;
        VramPartsStored = 0;
        RenderDirtyFlags = 0;
        WriteIo(0x040000BA + 12 * c.channel, 0x8000 | c.control);
        EXPECT_EQ(100000 - cpu.cyclesLeft, busCycles) << c.what;
        EXPECT_TRUE(LookAtMemory() == byBus) << c.what;
        EXPECT_EQ(VramPartsStored, partsByBus) << c.what;
        EXPECT_EQ(RenderDirtyFlags, flagsByBus) << c.what;
        EXPECT_EQ(IoGet32(Io::DmaSource(c.channel)), s) << c.what;
        EXPECT_EQ(IoGet32(Io::DmaDest(c.channel)), d) << c.what;
    }
}

TEST_F(DmaTest, ReloadedDestinationStaysAndImmediateRepeatRunsOnce)
{
    BusWrite32(0x02000100, 0xAABBCCDD);
    SetChannel(0, 0x02000100, 0x02000400, 2);
    BusWrite16(0x040000BA, 0x8000 | 0x0200 | 0x0060); // immediate, repeat, reload
    EXPECT_EQ(IoGet32(Io::DmaDest(0)), 0x02000400u);
    EXPECT_EQ(IoGet(Io::DmaControl(0)) & 0x8000, 0u) << "immediate repeat runs once";
    EXPECT_EQ(BusRead32(0x02000400), 0xAABBCCDDu);

    // HBlank with repeat and reload: the same place every line, still enabled.
    SetChannel(1, 0x02000100, 0x02000500, 1);
    BusWrite16(0x040000C6, 0xA000 | 0x0200 | 0x0060);
    BusWrite32(0x02000500, 0);
    Lines(1);
    EXPECT_EQ(BusRead16(0x02000500), 0xCCDDu);
    EXPECT_EQ(IoGet32(Io::DmaDest(1)), 0x02000500u);
    EXPECT_NE(IoGet(Io::DmaControl(1)) & 0x8000, 0u);
}

TEST_F(DmaTest, RewritingAnEnabledChannelDoesNotStartIt)
{
    BusWrite32(0x02000100, 0x12345678);
    SetChannel(3, 0x02000100, 0x02000600, 1);
    BusWrite16(0x040000DE, 0xA400); // HBlank, waits
    BusWrite16(0x040000DE, 0x8400); // enabled already: only stored
    EXPECT_EQ(BusRead32(0x02000600), 0u);
    EXPECT_EQ(IoGet(Io::DmaControl(3)), 0x8400u);
}

TEST_F(DmaTest, TimingsStartOnTheirLines)
{
    BusWrite32(0x02000100, 0x5555);
    SetChannel(2, 0x02000100, 0x02000700, 1);
    BusWrite16(0x040000D2, 0x9000 | 0x4000); // VBlank, interrupt
    GoToLine(159);
    Lines(1);
    EXPECT_EQ(BusRead16(0x02000700), 0u);
    Lines(1);
    EXPECT_EQ(BusRead16(0x02000700), 0x5555u);
    EXPECT_EQ(IoGet(Io::If) & 0x400, 0x400u);
    // Capture timing on channel 3 runs at the start of lines 0-159.
    SetChannel(3, 0x02000100, 0x02000800, 1);
    BusWrite16(0x040000DE, 0xB000 | 0x0200);
    GoToLine(200);
    Lines(2 * 27);
    EXPECT_EQ(BusRead16(0x02000800), 0u) << "line 227";
    Lines(2);
    EXPECT_EQ(BusRead16(0x02000800), 0x5555u) << "line 0";
}

TEST_F(DmaTest, TransferThatRestartsItselfEnds)
{
    // Halfwords 0x0000, 0x8000, ... stored into the channel's own control:
    // each 0x8000 would start the running channel again.
    for (uint32_t i = 0; i < 64; ++i)
        BusWrite16(0x02000100 + 2 * i, (i & 1) ? 0x8000 : 0);
    SetChannel(3, 0x02000100, 0x040000DE, 64);
    BusWrite16(0x040000DE, 0x8000 | 0x0040); // fixed destination
    EXPECT_EQ(IoGet32(Io::DmaSource(3)), 0x02000180u);
}

TEST_F(DmaTest, TheFirstEepromRequestSetsTheChipsAddressWidth)
{
    // The length of the first request a DMA sends the EEPROM tells its
    // address width: 17 units (a read request) or 81 (a write) carry 14
    // bits, 9 or 73 keep 6; the 68-unit read of a block tells nothing.
    struct Transfer {
        uint32_t units;
        bool fromChip;
    };
    struct Case {
        std::vector<Transfer> transfers;
        uint32_t bits;
    };
    const Case cases[] = {
        {{{9, false}}, 6},
        {{{73, false}}, 6},
        {{{81, false}}, 14},
        {{{68, true}, {9, false}, {17, false}}, 6},
        {{{68, true}, {17, false}, {9, false}}, 14},
    };
    std::memset(MachineBlocks.ewram, 0, 0x200); // zeros: no request starts
    for (const Case &c : cases) {
        EepromSizeExp = 6;
        MachineReset();
        for (const Transfer &t : c.transfers) {
            if (t.fromChip)
                SetChannel(3, 0x0D000000, Ewram + 0x100, t.units);
            else
                SetChannel(3, Ewram, 0x0D000000, t.units);
            BusWrite16(0x040000DE, 0x8000);
        }
        EXPECT_EQ(EepromState.bits, c.bits) << c.transfers.size() << " transfers, last " << c.transfers.back().units;
        EXPECT_EQ(EepromSizeExp, c.bits);
    }
    MachineReset();
    EXPECT_EQ(EepromState.bits, 14u) << "a reset keeps the width the game showed";
}

} // namespace
} // namespace Tavrin::Test
