// The SunSoft boards (67, 68, 69) on a 256 KB program, 256 KB pattern
// image: banks, 68's name tables from pattern ROM, FME-7's $6000 page, the
// counters, and their state records.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using SunSoft = MapperFixture;

TEST_F(SunSoft, Mapper67)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(67)));
    EXPECT_EQ(MapperWrite(0x8000, 3), 0);
    WriteAll({{0x8800, 3}, {0xB800, 5}, {0xF800, 3}, {0xE800, 1}});
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{6, 7, 30, 31}));
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{6, 7, 2, 3, 4, 5, 10, 11}));
    EXPECT_EQ(MirroringMode, 1);
    WriteAll({{0xC800, 3}, {0xD800, 0x10}});
    EXPECT_EQ(IrqCalls({114, 114, 114, 114}), (std::vector<int>{3}));
    WriteMemory(0xD800, 0);
    EXPECT_EQ(IrqCalls({114, 114}), (std::vector<int>{}));
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[0] = 1; }, "enable other than bit 4");
}

// $E000 bit 4 takes the name tables from pattern ROM: the $C000 and $D000
// banks with bit 7 set, arranged by the mirroring bits.
TEST_F(SunSoft, Mapper68NameTableRom)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(68)));
    WriteAll({{0x8000, 2}, {0xF000, 3}, {0xC000, 5}, {0xD000, 6}, {0xE000, 0x11}});
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{6, 7, 30, 31}));
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{4, 5, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{133, 134, 133, 134}));
    EXPECT_EQ(VideoPageMap[12], VideoPageMap[8]);
    WriteMemory(0xD000, 0x07);
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{133, 135, 133, 135}));
    WriteMemory(0xE000, 0x13);
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{135, 135, 135, 135}));
    ExpectSaveLoadSave();
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{135, 135, 135, 135}));
    WriteMemory(0xE000, 0x01);
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{108, 109, 108, 109}));
    MachineShutdown();

    // Without pattern ROM the name tables stay in the console's RAM.
    ASSERT_TRUE(Start(IdleCartridge(16, 0).Mapper(68)));
    WriteAll({{0xC000, 5}, {0xE000, 0x10}});
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{108, 108, 109, 109}));
}

TEST_F(SunSoft, Fme7Banks)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(69)));
    WriteAll({{0x8000, 9}, {0xA000, 5}, {0x8000, 11}, {0xA000, 7}, {0x8000, 0}, {0xA000, 40}, {0x8000, 7},
              {0xA000, 41}, {0x8000, 12}, {0xA000, 3}});
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{5, 1, 7, 31}));
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{40, 0, 0, 0, 0, 0, 0, 41}));
    EXPECT_EQ(MirroringMode, 3);
    WriteAll({{0x8000, 8}, {0xA000, 0xC0}});
    EXPECT_EQ(RamBank(), 103);
    WriteMemory(0x6005, 0x66);
    EXPECT_EQ(CpuSpace[0x6005], 0x66);
    WriteMemory(0xA000, 0x40); // RAM selected but disabled: the open bus
    EXPECT_EQ(RamBank(), 107);
    EXPECT_EQ(ReadMemory(0x7FF9), 0x7F);
    WriteMemory(0x6005, 0x77);
    EXPECT_EQ(CpuSpace[0x6005], 0x66);
    WriteMemory(0xA000, 0x80); // ROM bank 0 whatever bit 7 says
    EXPECT_EQ(RamBank(), 0);
    const uint8_t kept = RomBuffer[5];
    WriteMemory(0x6005, uint8_t(kept + 1)); // ROM at $6000 is not written
    EXPECT_EQ(RomBuffer[5], kept);
    WriteMemory(0xA000, 0x23);
    EXPECT_EQ(RamBank(), 3);
    ExpectSaveLoadSave();
    EXPECT_EQ(RamBank(), 3);
    MachineReset(); // a reset maps the work RAM at $6000 again
    EXPECT_EQ(RamBank(), 103);
    WriteAll({{0x8000, 8}, {0xA000, 0x23}});
    EXPECT_EQ(MapperWrite(0xC000, 1), 0);
}

// The counter runs down by the cycles handed to it: a vertical-blank batch
// of 2,527 cycles counts whole, so the split lands on its line.
TEST_F(SunSoft, Fme7Counter)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(69)));
    WriteAll({{0x8000, 14}, {0xA000, 3000 & 255}, {0x8000, 15}, {0xA000, 3000 >> 8}, {0x8000, 13}, {0xA000, 1}});
    EXPECT_EQ(IrqCalls({2527, 114, 114, 114, 114, 114, 114}), (std::vector<int>{6}));
    EXPECT_EQ(MapperState.bytes[4] | MapperState.bytes[5] << 8, 0xFFFF & (3000 - 2527 - 6 * 114));
    WriteAll({{0x8000, 13}, {0xA000, 0}});
    EXPECT_EQ(IrqCalls({5000}), (std::vector<int>{}));
    ExpectRefused([](uint8_t *b) { b[6] = 1; }, "counter beyond 16 bits");
    ExpectRefused([](uint8_t *b) { b[1] = 2; }, "enable above 1");
    ExpectRefused([](uint8_t *b) { b[0] = 16; }, "command above 15");
}

TEST_F(SunSoft, AnyWriteStaysInsideAndMutatedStates)
{
    std::vector<uint16_t> registers = {0x6000, 0x8000, 0xA000, 0xC000, 0xD000, 0xE000, 0xF000};
    for (int a = 0x8800; a <= 0xF800; a += 0x1000)
        registers.push_back(uint16_t(a));
    for (int mapper : {67, 68, 69}) {
        OnHostileImages(mapper, [&] {
            // Every command for 69, then every value.
            for (int command = 0; command < 16; ++command) {
                WriteMemory(0x8000, uint8_t(command));
                for (int v = 0; v < 256; ++v) {
                    WriteMemory(0xA000, uint8_t(v));
                    WriteMemory(0x6000, uint8_t(v));
                    ExpectPagesInside();
                }
            }
            WriteEverything(registers);
        });
        ASSERT_TRUE(Start(IdleCartridge(16, 3).Mapper(mapper)));
        EXPECT_GT(MutateMapperState(uint32_t(mapper), registers), 0);
        MachineShutdown();
    }
}

} // namespace
} // namespace Cindrel::Test
