// The SF-7000: the system ROM beside the disk, its trap patches, and
// sector reads served by the trap.
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/testing/MachineStandIns.h"

#include <gtest/gtest.h>

namespace Belcrest::Test {
namespace {

constexpr size_t DiskSize = 163840;

class Sf7000DiskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetStandIns();
        rom = MakeImage(1);
        for (size_t i = 0; i < rom.size(); ++i)
            rom[i] = uint8_t(i * 5 + 3);
        WriteFile(folder / "SF7000.ROM", rom);
    }
    void TearDown() override { MachineShutdown(); }
    bool StartWithDisk(const std::vector<uint8_t> &disk)
    {
        const auto path = folder / "work.dsk";
        WriteFile(path, disk);
        MachineWord = MachineSf7000;
        return MachineStart(path.string()) == 1;
    }
    // Runs the trap at the patched entry `at` with the given registers.
    Z80State Trap(uint16_t at, uint8_t track, uint8_t sector, uint16_t dest)
    {
        Z80State cpu = MachineCpu;
        cpu.PC.w = uint16_t(at + 2);
        cpu.BC.l = track;
        cpu.BC.h = sector;
        cpu.DE.w = dest;
        cpu.AF.w = 0x5500;
        TrapHandler(cpu);
        return cpu;
    }
    static std::vector<uint8_t> Disk()
    {
        std::vector<uint8_t> disk(DiskSize);
        for (size_t i = 0; i < disk.size(); ++i)
            disk[i] = uint8_t(i / 256 + i);
        return disk;
    }
    TempFolder folder;
    std::vector<uint8_t> rom;
};

TEST_F(Sf7000DiskTest, PatchesKeepTheRomSum)
{
    ASSERT_TRUE(StartWithDisk(Disk()));
    for (uint16_t a : {0x0008, 0x107C, 0x0010, 0x10F8, 0x0018, 0x0020, 0x0028, 0x0030}) {
        SCOPED_TRACE(a);
        const uint8_t *p = RomPages[0].get() + a;
        EXPECT_EQ(p[0], 0xED);
        EXPECT_EQ(p[1], 0xFE);
        EXPECT_EQ(p[2], 0xC9);
        EXPECT_EQ(uint8_t(p[0] + p[1] + p[2] + p[3]), uint8_t(rom[a] + rom[a + 1] + rom[a + 2] + rom[a + 3]));
    }
    EXPECT_EQ(RegionWritable[1], 1);
}

TEST_F(Sf7000DiskTest, SectorReads)
{
    const std::vector<uint8_t> disk = Disk();
    ASSERT_TRUE(StartWithDisk(disk));
    struct Case {
        uint8_t track, sector;
        uint16_t dest;
        bool reads;
    };
    const Case cases[] = {{0, 1, 0x8000, true}, {39, 16, 0x9000, true}, {3, 7, 0xFF80, true},
                          {40, 1, 0x8000, false}, {0, 0, 0x8000, false}, {0, 17, 0x8000, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.track) + "/" + std::to_string(c.sector));
        std::fill(CpuSpace.get(), CpuSpace.get() + CpuSpaceSize, 0);
        const Z80State before = Trap(0x1000, c.track, c.sector, c.dest); // not an entry: nothing
        EXPECT_EQ(before.AF.w, 0x5500);
        const Z80State after = Trap(0x0010, c.track, c.sector, c.dest);
        if (!c.reads) {
            EXPECT_EQ(after.AF.w, 0x5500);
            EXPECT_EQ(CpuSpace[c.dest], 0);
            continue;
        }
        EXPECT_EQ(after.AF.h, 0);
        EXPECT_TRUE(after.AF.l & 0x40);
        EXPECT_FALSE(after.AF.l & 0x01);
        const size_t from = size_t(c.track) * 4096 + (c.sector - 1) * 256u;
        for (unsigned i = 0; i < 256; ++i)
            ASSERT_EQ(CpuSpace[uint16_t(c.dest + i)], disk[from + i]) << i;
    }
    EXPECT_FALSE(Trap(0x0008, 0, 0, 0).AF.l & 0x01);
}

TEST_F(Sf7000DiskTest, Ppi2SwitchesRamAtZero)
{
    ASSERT_TRUE(StartWithDisk(Disk()));
    WriteMemory(0x0100, 0x99);
    EXPECT_EQ(Z80PageTable[0][0x100], rom[0x100]) << "ROM at reset";
    WritePort(0xE7, 0x80); // every PPI 2 port an output
    WritePort(0xE6, 0x40);
    EXPECT_EQ(RegionWritable[0], 1);
    WriteMemory(0x0100, 0x99);
    EXPECT_EQ(Z80PageTable[0][0x100], 0x99);
    EXPECT_EQ(ReadPort(0xE6), 0x40);
    WritePort(0xE6, 0x00);
    EXPECT_EQ(Z80PageTable[0][0x100], rom[0x100]);
}

TEST_F(Sf7000DiskTest, WrongSizedDiskReadsAsFF)
{
    // One byte short, or one byte more than a disk holds: none of it is used.
    for (size_t size : {DiskSize - 1, DiskSize + 1}) {
        ASSERT_TRUE(StartWithDisk(std::vector<uint8_t>(size, 0x11))) << size;
        Trap(0x0010, 0, 1, 0x8000);
        EXPECT_EQ(CpuSpace[0x8000], 0xFF) << size;
        EXPECT_EQ(CpuSpace[0x80FF], 0xFF) << size;
    }
}

TEST_F(Sf7000DiskTest, MissingSystemRomFailsTheStart)
{
    std::filesystem::remove(folder / "SF7000.ROM");
    EXPECT_FALSE(StartWithDisk(Disk()));
}

TEST_F(Sf7000DiskTest, TrapDoesNothingOnOtherMachines)
{
    ASSERT_TRUE(StartWithImage(folder, MakeImage(2)));
    const Z80State after = Trap(0x0010, 0, 1, 0xC000);
    EXPECT_EQ(after.AF.w, 0x5500);
    EXPECT_EQ(CpuSpace[0xC000 + 5], 0);
}

} // namespace
} // namespace Belcrest::Test
