// The disk system's adapter (20): RAM at $6000-$DFFF with the image's last
// 8 KB fixed at $E000, no write reaching the program ROM, its timer, and
// its state record.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using DiskSystem = MapperFixture;

TEST_F(DiskSystem, RamBelowTheFixedProgram)
{
    ASSERT_TRUE(Start(IdleCartridge(2, 0).Mapper(20)));
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{104, 105, 106, 3}));
    EXPECT_EQ(RamBank(), 103);
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{100, 101, 102, 103, 104, 105, 106, 107}));
    const uint16_t checksum = CartridgeChecksum();
    const std::vector<uint8_t> rom(RomBuffer, RomBuffer + RomBufferSize);
    for (uint16_t a : {0x6000, 0x7FFF, 0x8000, 0xA123, 0xDFFF, 0xE000, 0xFFFF})
        WriteMemory(a, 0x5A);
    for (uint16_t a : {0x6000, 0x7FFF, 0x8000, 0xA123, 0xDFFF})
        EXPECT_EQ(ReadMemory(a), 0x5A) << a;
    EXPECT_TRUE(rom == std::vector<uint8_t>(RomBuffer, RomBuffer + RomBufferSize));
    EXPECT_EQ(CartridgeChecksum(), checksum);
    ExpectSaveLoadSave();
    EXPECT_EQ(ReadMemory(0xA123), 0x5A);
    // A reset keeps the RAM (battery pages stay too).
    MachineReset();
    EXPECT_EQ(ReadMemory(0xA123), 0x5A);
}

TEST_F(DiskSystem, TimerAndRegisters)
{
    ASSERT_TRUE(Start(IdleCartridge(2, 0).Mapper(20)));
    WriteAll({{0x4020, 10}, {0x4021, 0}, {0x4022, 2}});
    std::vector<int> irqs;
    for (int call = 1; call <= 4; ++call) {
        Cpu.pendingInterrupt = 0;
        MapperLine(3);
        if (Cpu.pendingInterrupt == 1)
            irqs.push_back(call);
    }
    EXPECT_EQ(irqs, (std::vector<int>{4}));
    EXPECT_EQ(ReadMemory(0x4030) & 1, 1);
    EXPECT_EQ(MapperState.bytes[8], 8); // 10 - 12 wraps to 8 of 0..10
    MapperLine(29773);
    EXPECT_LE(MapperState.bytes[8], 10);
    WriteMemory(0x4021, 0);
    EXPECT_EQ(ReadMemory(0x4030) & 1, 0);
    WriteMemory(0x4022, 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    WriteMemory(0x4025, 0x08);
    EXPECT_EQ(MirroringMode, 0);
    EXPECT_EQ(DiskControl, 0x08);
    WriteMemory(0x4025, 0x80);
    EXPECT_EQ(MirroringMode, 1);
    EXPECT_EQ(Cpu.pendingInterrupt, 1);
    WriteAll({{0x4020, 0x34}, {0x4021, 0x12}, {0x4022, 2}, {0x4024, 7}});
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[6] = 1; }, "reload above 16 bits");
    ExpectRefused([](uint8_t *b) { b[11] = 0xFF; }, "negative counter");
    ExpectRefused([](uint8_t *b) { b[13] = 1; }, "enable other than bit 1");
}

TEST_F(DiskSystem, AnyWriteStaysInsideAndMutatedStates)
{
    const std::vector<uint16_t> registers = {0x4020, 0x4021, 0x4022, 0x4023, 0x4024, 0x4025, 0x4080, 0x4082,
                                             0x4083, 0x6000, 0x9FFF, 0xDFFF, 0xE000};
    for (int pages : {1, 3, 255}) {
        ASSERT_TRUE(Start(IdleCartridge(pages, 0).Mapper(20)));
        WriteEverything(registers);
        MachineShutdown();
    }
    ASSERT_TRUE(Start(IdleCartridge(2, 0).Mapper(20)));
    EXPECT_GT(MutateMapperState(20, registers), 0);
}

} // namespace
} // namespace Cindrel::Test
