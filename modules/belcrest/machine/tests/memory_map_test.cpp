// The memory map per machine type, the cartridge mapper and its first-1 KB
// view, and stores to ROM, RAM and the mapper registers.
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/testing/MachineStandIns.h"

#include <gtest/gtest.h>

namespace Belcrest::Test {
namespace {

uint8_t Peek(uint16_t a) { return Z80PageTable[a >> 13][a & 0x1FFF]; }

class MachineMapTest : public ::testing::Test {
protected:
    void SetUp() override { ResetStandIns(); }
    void TearDown() override { MachineShutdown(); }
    void Start(unsigned pages, uint32_t type = MachineMasterSystem)
    {
        ASSERT_TRUE(StartWithImage(folder, MakeImage(pages), type));
    }
    TempFolder folder;
};

// What each 8 KB page-table entry shows after reset: a ROM page number, or
// RAM at a CpuSpace offset.
struct MapCase {
    const char *name;
    uint32_t type;
    int rom[8];      // ROM page of each entry, or -1 for RAM
    uint32_t ram[8]; // CpuSpace offset of each RAM entry
    uint8_t writable[4];
};

TEST_F(MachineMapTest, ResetMapPerMachineType)
{
    const MapCase cases[] = {
        {"Master System", MachineMasterSystem, {0, 0, 1, 1, 2, 2, -1, -1}, {0, 0, 0, 0, 0, 0, 0xC000, 0xC000}, {0, 0, 0, 1}},
        {"Game Gear", MachineGameGear, {0, 0, 1, 1, 2, 2, -1, -1}, {0, 0, 0, 0, 0, 0, 0xC000, 0xC000}, {0, 0, 0, 1}},
        {"SG-1000", MachineSg1000, {0, 0, 1, 1, -1, -1, -1, -1}, {0, 0, 0, 0, 0x8000, 0xA000, 0xC000, 0xE000}, {0, 0, 1, 1}},
        {"SC-3000", MachineSc3000, {0, 0, 1, 1, -1, -1, -1, -1}, {0, 0, 0, 0, 0x8000, 0xA000, 0xC000, 0xE000}, {0, 0, 1, 1}},
    };
    for (const MapCase &c : cases) {
        SCOPED_TRACE(c.name);
        ResetStandIns();
        Start(4, c.type);
        for (int e = 0; e < 8; ++e) {
            const uint8_t *at = Z80PageTable[e];
            const bool inRam = at >= CpuSpace.get() && at < CpuSpace.get() + CpuSpaceSize;
            if (c.rom[e] >= 0) {
                EXPECT_FALSE(inRam) << "entry " << e;
                EXPECT_EQ(Peek(uint16_t(e * 0x2000 + 0x1000)), c.rom[e]) << "entry " << e;
            } else {
                EXPECT_EQ(at, CpuSpace.get() + c.ram[e]) << "entry " << e;
            }
        }
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(RegionWritable[r], c.writable[r]) << "region " << r;
        MachineShutdown();
    }
}

TEST_F(MachineMapTest, StoresGoOnlyToWritableRegions)
{
    Start(4);
    WriteMemory(0x0100, 0x55);
    WriteMemory(0x4100, 0x55);
    WriteMemory(0x8100, 0x55);
    EXPECT_EQ(Peek(0x4100), 1);
    EXPECT_EQ(Peek(0x8100), 2);
    WriteMemory(0xC123, 0x77);
    EXPECT_EQ(Peek(0xE123), 0x77) << "8 KB of RAM mirrored";
    WriteMemory(0xFFFD, 0x03);
    EXPECT_EQ(CpuSpace[0xDFFD], 0x03) << "a mapper store also lands in RAM";
    EXPECT_EQ(MapperRegisters[1], 3);
}

TEST_F(MachineMapTest, MapperRegisters)
{
    struct Case {
        const char *name;
        std::vector<std::pair<uint16_t, uint8_t>> writes;
        uint16_t probe;
        int romPage;        // expected ROM page at probe, or -1 for cartridge RAM
        uint8_t cartPage;   // cartridge RAM page when romPage is -1
        uint8_t pagesUsed;
    };
    const Case cases[] = {
        {"$FFFE selects region 1", {{0xFFFE, 5}}, 0x4000, 5, 0, 0},
        {"$FFFF selects region 2", {{0xFFFF, 6}}, 0x8000, 6, 0, 0},
        {"values wrap by the mask", {{0xFFFF, 9}}, 0x8000, 1, 0, 0},
        {"$FFFD moves $0400 on", {{0xFFFD, 3}}, 0x0400, 3, 0, 0},
        {"$FFFD moves $2000 on", {{0xFFFD, 3}}, 0x2000, 3, 0, 0},
        {"$FFFC bit 3 maps RAM page 1", {{0xFFFC, 0x08}}, 0x8000, -1, 1, 1},
        {"$FFFC bits 3 and 2 map RAM page 2", {{0xFFFC, 0x0C}}, 0x8000, -1, 2, 2},
        {"$FFFF while RAM is mapped changes nothing", {{0xFFFC, 0x08}, {0xFFFF, 7}}, 0x8000, -1, 1, 1},
        {"clearing bit 3 maps the ROM of $FFFF", {{0xFFFC, 0x08}, {0xFFFF, 7}, {0xFFFC, 0}}, 0x8000, 7, 0, 1},
        {"page 2 then page 1 keeps 2 pages used", {{0xFFFC, 0x0C}, {0xFFFC, 0x08}}, 0x8000, -1, 1, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetStandIns();
        Start(8);
        for (auto [a, v] : c.writes)
            WriteMemory(a, v);
        if (c.romPage >= 0) {
            EXPECT_EQ(Peek(c.probe), c.romPage);
        } else {
            WriteMemory(c.probe, 0xA5);
            EXPECT_EQ(CpuSpace[c.cartPage * 0x4000u + (c.probe & 0x3FFF)], 0xA5);
        }
        EXPECT_EQ(CartRamPagesUsed, c.pagesUsed);
        MachineShutdown();
    }
}

TEST_F(MachineMapTest, FirstKilobyteStaysOnPageZero)
{
    std::vector<uint8_t> image = MakeImage(4);
    image[0x0038] = 0xC9; // an interrupt handler on page 0
    image[0x03FF] = 0xAB;
    ResetStandIns();
    ASSERT_TRUE(StartWithImage(folder, image));
    WriteMemory(0xFFFD, 2);
    EXPECT_EQ(Peek(0x0038), 0xC9);
    EXPECT_EQ(Peek(0x03FF), 0xAB);
    EXPECT_EQ(Peek(0x0400), 2);
    EXPECT_EQ(Peek(0x3FFF), 2);
}

TEST_F(MachineMapTest, EepromCartridge)
{
    ResetStandIns();
    BatteryFileName.clear();
    ASSERT_TRUE(StartWithImage(folder, MakeImage(4)));
    MachineWord |= MachineHasEeprom;
    MachineReset();
    EXPECT_EQ(CpuSpace[0x4000], 0x03) << "RAM filled with the chip's idle data-out line";
    EXPECT_EQ(CpuSpace[0x7F7F], 0x03);
    WriteMemory(0xFFFC, 0x08);
    WriteMemory(0x8000, 0x04); // select the chip: the store holds what it answers
    EXPECT_EQ(CpuSpace[0x4000] & 0x02, 0x02);
    EXPECT_NE(CpuSpace[0x4000], 0x04);
}

TEST_F(MachineMapTest, AlternativeMapperSwitchesOnRegionStarts)
{
    Start(8, MachineSg1000);
    MachineWord |= MachineAltMapper;
    WriteMemory(0x4000, 5);
    EXPECT_EQ(Peek(0x4000), 5);
    WriteMemory(0x0000, 3);
    EXPECT_EQ(Peek(0x0000), 3);
    WriteMemory(0x4001, 6); // not a region start: dropped
    EXPECT_EQ(Peek(0x4000), 5);
}

TEST_F(MachineMapTest, EmptySlotMapsTheStartOfCpuSpace)
{
    Start(3); // mask 3: page 3 has no slot
    EXPECT_EQ(RomPageMask, 3);
    WriteMemory(0xFFFE, 3);
    EXPECT_EQ(Z80PageTable[2], CpuSpace.get());
}

} // namespace
} // namespace Belcrest::Test
