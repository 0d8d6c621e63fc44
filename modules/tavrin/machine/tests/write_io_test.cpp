// I/O register stores: the derived state each keeps in step.
#include "modules/tavrin/testing/MachineFixture.h"

#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/machine/Timers.h"
#include "modules/tavrin/render/RenderState.h"
#include "modules/tavrin/sound/Psg.h"

#include <array>

namespace Tavrin::Test {
namespace {

using WriteIoTest = MachineTest;

std::array<uint32_t, 4> OrderOfBackgrounds()
{
    std::array<uint32_t, 4> order;
    for (int k = 0; k < 4; ++k)
        order[k] = BgOrder[k] >> 28 & 3;
    return order;
}

uint32_t VariantOf(uint32_t bg)
{
    for (uint32_t word : BgOrder)
        if ((word >> 28 & 3) == bg)
            return word >> 24 & 7;
    return 0xFF;
}

TEST_F(WriteIoTest, BackgroundOrderFollowsPriorities)
{
    using Order = std::array<uint32_t, 4>;
    EXPECT_EQ(OrderOfBackgrounds(), (Order{3, 2, 1, 0}));
    BusWrite16(0x04000008, 0x0100); // BG0, priority 0
    EXPECT_EQ(OrderOfBackgrounds(), (Order{3, 2, 1, 0}));
    EXPECT_EQ(BgOrder[3], 0x00000100u);
    BusWrite16(0x04000008, 0x0103); // BG0, priority 3
    EXPECT_EQ(OrderOfBackgrounds(), (Order{0, 3, 2, 1}));
    EXPECT_EQ(BgOrder[0], 0xC0000103u);
    BusWrite16(0x0400000E, 0x0003); // BG3 joins priority 3, in front of BG0
    EXPECT_EQ(OrderOfBackgrounds(), (Order{3, 0, 2, 1}));
    BusWrite16(0x04000008, 0x0000);
    EXPECT_EQ(OrderOfBackgrounds(), (Order{3, 2, 1, 0}));
}

TEST_F(WriteIoTest, UnchangedControlValuesAreNotEvenStored)
{
    BusWrite16(0x0400000A, 0x1234);
    const auto before = std::to_array(BgOrder);
    IoSet(0x00A, 0x4321); // as if something else had touched the register
    BusWrite16(0x0400000A, 0x4321);
    EXPECT_EQ(std::to_array(BgOrder), before);
    IoSet(0x04C, 0x1234);
    BusWrite16(0x0400004C, 0x1234);
    EXPECT_EQ(BgMosaicH, 0u) << "mosaic unchanged: nothing derived";
    BusWrite16(0x0400004C, 0x4321);
    EXPECT_EQ(BgMosaicH, 1u);
    EXPECT_EQ(BgMosaicV, 2u);
    EXPECT_EQ(ObjMosaicH, 3u);
    EXPECT_EQ(ObjMosaicV, 4u);
}

TEST_F(WriteIoTest, BlendControlSetsLayerVariants)
{
    struct Case {
        uint32_t control;
        uint32_t bg0, bg1, bg2, bg3;
    };
    const Case cases[] = {
        {0x0241, 1, 4, 0, 0}, // alpha, BG0 first target over BG1 second target
        {0x0041, 0, 0, 0, 0}, // alpha with no second target blends nothing
        {0x1041, 1, 0, 0, 0}, // sprites as second target: BG0 blends
        {0x0084, 0, 0, 2, 0}, // brighten BG2
        {0x04C8, 0, 0, 4, 3}, // darken BG3, BG2 a second target
    };
    for (const Case &c : cases) {
        BusWrite16(0x04000050, c.control);
        EXPECT_EQ(VariantOf(0), c.bg0) << std::hex << c.control;
        EXPECT_EQ(VariantOf(1), c.bg1) << std::hex << c.control;
        EXPECT_EQ(VariantOf(2), c.bg2) << std::hex << c.control;
        EXPECT_EQ(VariantOf(3), c.bg3) << std::hex << c.control;
    }
    RenderDirtyFlags = 0;
    BusWrite16(0x04000050, 0x04C9);
    EXPECT_EQ(RenderDirtyFlags, 0) << "target bits 8-13 unchanged";
    BusWrite16(0x04000050, 0x05C9);
    EXPECT_EQ(RenderDirtyFlags, 1);
    // A priority-only move keeps the variant with its background.
    BusWrite16(0x0400000C, 0x0001);
    EXPECT_EQ(VariantOf(2), 4u);
}

TEST_F(WriteIoTest, BlendFactorsAndDisplayDirtyBits)
{
    BusWrite16(0x04000052, 0x1F0A);
    EXPECT_EQ(BlendEva, 10u);
    EXPECT_EQ(BlendEvb, 16u);
    BusWrite16(0x04000054, 0x0013);
    EXPECT_EQ(BlendEvy, 16u);
    RenderDirtyFlags = 0;
    BusWrite16(0x04000000, 0x0080);
    EXPECT_EQ(RenderDirtyFlags, 0);
    BusWrite16(0x04000000, 0x2083);
    EXPECT_EQ(RenderDirtyFlags, 6);
}

TEST_F(WriteIoTest, AffineRegistersAreSignExtended)
{
    BusWrite32(0x04000028, 0x0FFFFFFF);
    EXPECT_EQ(Bg2RefX, -1);
    EXPECT_EQ(Bg2CurX, -1);
    BusWrite16(0x0400003C, 0x0100);
    BusWrite16(0x0400003E, 0x0800); // bit 27: negative
    EXPECT_EQ(Bg3RefY, int32_t(0xF8000100));
    BusWrite16(0x04000022, 0xFF00);
    EXPECT_EQ(Bg2Pb, -256);
    BusWrite16(0x04000034, 0x7FFF);
    EXPECT_EQ(Bg3Pc, 0x7FFF);
}

TEST_F(WriteIoTest, InterruptFlagsAreAcknowledgedBitByBit)
{
    IoSet(Io::If, 0x0109);
    BusWrite16(0x04000202, 0x0008);
    EXPECT_EQ(IoGet(Io::If), 0x0101u);
    // A byte store acknowledges its own byte only.
    IoSet(Io::If, 0x0101);
    BusWrite8(0x04000202, 0x01);
    EXPECT_EQ(IoGet(Io::If), 0x0100u);
    IoSet(Io::If, 0x0101);
    BusWrite8(0x04000203, 0x01);
    EXPECT_EQ(IoGet(Io::If), 0x0001u);
}

TEST_F(WriteIoTest, EnablingAPendingInterruptCutsTheSlice)
{
    IoSet(Io::If, 0x0001);
    BusWrite16(0x04000208, 1);
    cpu.cyclesLeft = 500;
    cpu.earlyExit = 0;
    BusWrite16(0x04000200, 1);
    EXPECT_EQ(cpu.irqRequest, 1u);
    EXPECT_EQ(cpu.earlyExit, 1);
    EXPECT_EQ(cpu.cyclesLeft, 0);
}

TEST_F(WriteIoTest, HaltStoreWaitsForAnEnabledInterruptWhateverTheMasterEnable)
{
    // Halted whatever IME and IE hold: with nothing enabled, for ever.
    struct Case {
        uint32_t ime, ie;
    };
    for (const Case &c : {Case{1, 1}, Case{0, 1}, Case{1, 0}, Case{0, 0}}) {
        IoSet(Io::Ime, c.ime);
        IoSet(Io::Ie, c.ie);
        HaltState = 0;
        cpu.cpsr = 0x1F;
        cpu.r[15] = 0x08000104;
        cpu.cyclesLeft = 100;
        BusWrite8(0x04000301, 0);
        EXPECT_EQ(HaltState, 1u);
        EXPECT_EQ(cpu.r[15], 0x08000100u);
        EXPECT_EQ(cpu.cyclesLeft, 0);
    }
    // IME clear, the vertical blank enabled: the blank wakes the CPU, which
    // takes no interrupt and goes on after the store.
    IoSet(Io::Ie, 1);
    BusWrite16(0x04000004, 0x0008);
    cpu.cpsr = 0x3F;
    cpu.r[15] = 0x08000102;
    BusWrite16(0x04000300, 0);
    EXPECT_EQ(cpu.r[15], 0x08000100u) << "THUMB steps back 2";
    EXPECT_EQ(LineHook(&cpu), 0u) << "the frame ends first, still halted";
    EXPECT_EQ(HaltState, 1u);
    EXPECT_EQ(LineHook(&cpu), 0u) << "no interrupt is taken without IME";
    EXPECT_EQ(HaltState, 2u);
    EXPECT_EQ(IoGet(Io::VCount), 160u);
    cpu.r[15] = 0x08000102;
    BusWrite8(0x04000301, 0);
    EXPECT_EQ(HaltState, 0u);
    EXPECT_EQ(cpu.r[15], 0x08000102u);
}

TEST_F(WriteIoTest, LineCounterAndKeyInputIgnoreStores)
{
    BusWrite16(0x04000006, 0x55);
    BusWrite16(0x04000130, 0);
    EXPECT_EQ(IoGet(Io::VCount), 0u);
    EXPECT_EQ(IoGet(Io::KeyInput), 0xFFFFu);
}

TEST_F(WriteIoTest, StoresPastTheRegistersReachOnlyTheMemoryControlWord)
{
    // No register repeats every 4 KB: this store does not reach 0x010.
    BusWrite16(0x04001010, 0xBEEF);
    EXPECT_EQ(IoGet(0x010), 0u);
    BusWrite16(0x04000400, 0x1234);
    EXPECT_EQ(IoGet(0x400), 0u);
    // The memory control word answers at 0x800 of every 64 KB.
    BusWrite32(0x04030800, 0x0E000021);
    EXPECT_EQ(IoGet32(Io::MemoryControl), 0x0E000021u);
    BusWrite16(0x04FF0802, 0x0D00);
    EXPECT_EQ(IoGet32(Io::MemoryControl), 0x0D000021u);
}

TEST_F(WriteIoTest, SoundRegistersReachTheGenerator)
{
    // 0x062 holds the first square's length and duty (register 1) and its
    // envelope (register 2).
    BusWrite16(0x04000062, 0xA5F0);
    EXPECT_EQ(Psg.registers[1], 0xF0u);
    EXPECT_EQ(Psg.registers[2], 0xA5u);
    EXPECT_EQ(IoGet(0x062), 0xA5F0u);
    // A started square raises its on flag; a store to the mixing control
    // copies the flags.
    BusWrite16(0x04000064, 0x8000);
    BusWrite16(0x04000082, 0x0B0C);
    EXPECT_EQ(IoGet(Io::SoundCntX), 0x81u);
}

} // namespace
} // namespace Tavrin::Test
