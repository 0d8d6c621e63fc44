// Loads from the I/O region: each register gives back only what the console
// lets software read, by the CPU's own loads and through the bus alike.
#include "modules/tavrin/testing/MachineFixture.h"

#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/cpu/ArmMemory.h"

namespace Tavrin::Test {
namespace {

class ReadIoTest : public MachineTest {
protected:
    // The halfword at address as a CPU load and as a bus load see it; both
    // must agree.
    uint32_t Load16(uint32_t address)
    {
        const uint32_t cpuSees = CpuHalfAt(&cpu, address);
        EXPECT_EQ(BusRead16(address), cpuSees) << std::hex << address;
        return cpuSees;
    }
};

TEST_F(ReadIoTest, RegistersGiveBackOnlyTheirReadableBits)
{
    struct Case {
        uint32_t offset, stored, reads;
        const char *what;
    };
    const Case cases[] = {
        {0x010, 0x01FF, 0, "background offsets are write-only"},
        {0x020, 0x0100, 0, "affine parameters are write-only"},
        {0x040, 0xF0F0, 0, "window sizes are write-only"},
        {0x04C, 0x1111, 0, "mosaic is write-only"},
        {0x054, 0x0010, 0, "brightness is write-only"},
        {0x0A0, 0x1234, 0, "the sound FIFOs are write-only"},
        {0x0B0, 0x1234, 0, "DMA addresses are write-only"},
        {0x0B8, 0x0010, 0, "DMA counts are write-only"},
        {0x04E, 0xFFFF, 0, "unused"},
        {0x0A8, 0xFFFF, 0, "unused"},
        {0x110, 0xFFFF, 0, "unused"},
        {0x20A, 0xFFFF, 0, "unused"},
        {0x3FE, 0xFFFF, 0, "unused"},
        {0x004, 0xFFFF, 0xFF3F, "display status: bits 6 and 7 unused"},
        {0x006, 0xFFFF, 0x00FF, "line counter"},
        {0x008, 0xFFFF, 0xDFFF, "BG0 control has no wrap bit"},
        {0x00C, 0xFFFF, 0xFFFF, "BG2 control has one"},
        {0x048, 0xFFFF, 0x3F3F, "window inside"},
        {0x050, 0xFFFF, 0x3FFF, "blend control"},
        {0x052, 0xFFFF, 0x1F1F, "blend factors"},
        {0x062, 0xFFFF, 0xFFC0, "a square's length is write-only"},
        {0x064, 0xFFFF, 0x4000, "only a square's length flag reads back"},
        {0x082, 0xFFFF, 0x770F, "sound control: no FIFO reset bits"},
        {0x084, 0xFFFF, 0x008F, "sound on-flags"},
        {0x0BA, 0xFFFF, 0xF7E0, "DMA 0 control: no cartridge request bit"},
        {0x0DE, 0xFFFF, 0xFFE0, "DMA 3 control"},
        {0x102, 0xFFFF, 0x00C7, "timer control"},
        {0x130, 0xFFFF, 0x03FF, "keys"},
        {0x200, 0xFFFF, 0x3FFF, "interrupt enable"},
        {0x202, 0xFFFF, 0x3FFF, "interrupt flags"},
        {0x204, 0xFFFF, 0x5FFF, "wait control: a cartridge of this console"},
        {0x208, 0xFFFF, 0x0001, "master enable"},
        {0x300, 0xFFFF, 0x0001, "the halt byte is write-only"},
    };
    for (const Case &c : cases) {
        IoSet(c.offset, c.stored);
        EXPECT_EQ(Load16(0x04000000 + c.offset), c.reads) << std::hex << c.offset << ": " << c.what;
    }
    // Bytes and words are cut from the same halfwords.
    IoSet(0x082, 0xFFFF);
    EXPECT_EQ(BusRead8(0x04000083), 0x77u);
    EXPECT_EQ(CpuLoadByte(&cpu, 0x04000082), 0x0Fu);
    IoSet(0x080, 0xFFFF);
    EXPECT_EQ(BusRead32(0x04000080), 0x770FFF77u);
    EXPECT_EQ(CpuWordAt(&cpu, 0x04000080), 0x770FFF77u);
}

TEST_F(ReadIoTest, ReadModifyWritesKeepWhatTheConsoleKeeps)
{
    // Sound control: a game ORs in its volume bits; the FIFO reset bits it
    // once wrote do not come back with the load.
    BusWrite16(0x04000082, 0xFFFF);
    EXPECT_EQ(Load16(0x04000082), 0x770Fu);
    // Timer control keeps only the prescaler, count-up, interrupt and start
    // bits.
    BusWrite16(0x04000106, 0x00FF);
    EXPECT_EQ(Load16(0x04000106), 0x00C7u);
    // Display status: software cannot touch the three flags.
    GoToLine(160);
    Lines(1); // into the vertical and horizontal blank
    const uint32_t flags = IoGet(Io::DispStat) & 7;
    ASSERT_EQ(flags & 3, 3u);
    BusWrite16(0x04000004, 0x0000);
    EXPECT_EQ(Load16(0x04000004), flags);
    BusWrite16(0x04000004, 0xFF38);
    EXPECT_EQ(Load16(0x04000004), 0xFF38u | flags);
}

TEST_F(ReadIoTest, MemoryControlWordIsMirroredEvery64KAndKeepsStores)
{
    for (uint32_t base : {0x04000800u, 0x04010800u, 0x04FF0800u}) {
        EXPECT_EQ(BusRead32(base), 0x0D000020u) << std::hex << base;
        EXPECT_EQ(CpuWordAt(&cpu, base), 0x0D000020u) << std::hex << base;
        EXPECT_EQ(Load16(base + 2), 0x0D00u);
    }
    // Elsewhere past the registers the region is unmapped: the open bus.
    for (uint32_t address : {0x04000400u, 0x04000804u, 0x04123456u})
        EXPECT_EQ(CpuWordAt(&cpu, address), CpuWordAt(&cpu, 0x01000000)) << std::hex << address;
    BusWrite32(0x04020800, 0x0E000020);
    EXPECT_EQ(BusRead32(0x04000800), 0x0E000020u);
    EXPECT_EQ(BusRead8(0x04050803), 0x0Eu);
    MachineReset();
    EXPECT_EQ(BusRead32(0x04000800), 0x0D000020u) << "a reset puts it back";
}

} // namespace
} // namespace Tavrin::Test
