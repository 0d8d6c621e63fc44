// The nibble-register boards (21-25) on a 256 KB program, 256 KB pattern
// image: register decoding with 25's swapped address lines, the counters
// of 21 and 24, and their state records.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

using namespace Cindrel;
using namespace Cindrel::Test;

namespace {

using NibbleRegisters = MapperFixture;

using Case = BankCase;

constexpr std::array<int, 8> AtStart = {0, 0, 0, 0, 0, 0, 0, 0};

TEST_F(NibbleRegisters, WritesMapBanks)
{
    const Case cases[] = {
        {"21 power-on", 21, {}, {0, 1, 30, 31}, AtStart},
        {"21 $8000 and $A000", 21, {{0x8000, 5}, {0xA000, 3}}, {5, 3, 30, 31}, AtStart},
        {"21 $9002 bit 1 moves $8000's bank to $C000", 21, {{0x9002, 2}, {0x8000, 7}}, {0, 1, 7, 31}, AtStart},
        {"21 nibbles", 21, {{0xB000, 5}, {0xB002, 1}, {0xB001, 3}, {0xE003, 0xF}, {0xE001, 2}},
         {0, 1, 30, 31}, {0x15, 3, 0, 0, 0, 0, 0, 0xF2}},
        {"21 second address lines", 21, {{0xC004, 9}, {0xC008, 1}}, {0, 1, 30, 31}, {0, 0, 0x10, 9, 0, 0, 0, 0}},
        {"25 swapped lines", 25, {{0xB000, 5}, {0xB001, 1}, {0xB002, 3}}, {0, 1, 30, 31}, {0x15, 3, 0, 0, 0, 0, 0, 0}},
        {"25 $9001 is 21's $9002", 25, {{0x9001, 2}, {0x8000, 7}}, {0, 1, 7, 31}, AtStart},
        {"22 registers drop their low bit", 22, {{0xB000, 0xA}, {0xB002, 1}, {0xC001, 6}, {0x8000, 4}, {0xA000, 6}},
         {4, 6, 30, 31}, {13, 0, 0, 3, 0, 0, 0, 0}},
        {"23 lines", 23, {{0xB000, 5}, {0xB001, 1}, {0xB002, 7}, {0xB00C, 2}, {0xE00C, 3}}, {0, 1, 30, 31},
         {0x15, 0x27, 0, 0, 0, 0, 0, 0x30}},
        {"24 program and patterns", 24, {{0x8003, 3}, {0xC000, 9}, {0xD001, 7}, {0xE003, 9}, {0xE000, 200}},
         {6, 7, 9, 31}, {0, 7, 0, 0, 200, 0, 0, 9}},
        {"24 sound registers declined", 24, {{0x9000, 3}, {0xA001, 3}}, {0, 1, 30, 31}, AtStart},
    };
    ExpectBankCases(cases, 16, 32);
}

TEST_F(NibbleRegisters, DecodingAndMirroring)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(25)));
    EXPECT_EQ(MapperWrite(0x9002, 1), 0);
    EXPECT_EQ(MapperWrite(0x9001, 1), 1);
    EXPECT_EQ(MapperState.bytes[8], 1);
    WriteMemory(0x9000, 1);
    EXPECT_EQ(MirroringMode, 0);
    WriteMemory(0x9000, 2);
    EXPECT_EQ(MirroringMode, 2);
    MachineShutdown();

    // 21's RAM at $6000 only while enabled.
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(21)));
    WriteMemory(0x6001, 0x44);
    EXPECT_EQ(CpuSpace[0x6001], 0);
    WriteMemory(0x9002, 1);
    WriteMemory(0x6001, 0x44);
    EXPECT_EQ(CpuSpace[0x6001], 0x44);
    MachineShutdown();

    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(24)));
    WriteMemory(0xB003, 0x04);
    EXPECT_EQ(MirroringMode, 0);
    WriteMemory(0xB003, 0x0C);
    EXPECT_EQ(MirroringMode, 3);
}

// 21: latch and counter $FE raise the IRQ on the second whole line; a part
// line is handed back; 24 carries the cycles past its whole lines.
TEST_F(NibbleRegisters, Counters)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(21)));
    WriteAll({{0xF000, 0xE}, {0xF002, 0xF}, {0xF001, 2}});
    EXPECT_EQ(MapperState.bytes[10], 0xFE);
    EXPECT_EQ(MapperLine(50), 50);
    EXPECT_EQ(MapperLine(114), 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    EXPECT_EQ(MapperLine(114), 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 1);
    EXPECT_EQ(MapperState.bytes[10], 0xFE);
    WriteMemory(0xF003, 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    MachineShutdown();

    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(24)));
    WriteAll({{0xF001, 2}, {0xF000, 250}, {0xF002, 0}});
    EXPECT_EQ(MapperState.bytes[1], 250);
    EXPECT_EQ(MapperLine(50), 50);
    EXPECT_EQ(MapperLine(114 * 3 + 20), 20);
    EXPECT_EQ(MapperState.bytes[1], 253);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    EXPECT_EQ(MapperLine(114 * 3), 0);
    EXPECT_EQ(MapperState.bytes[1], 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 1);
    WriteMemory(0xF001, 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    WriteMemory(0xF000, 9); // disabled: sets the counter
    EXPECT_EQ(MapperState.bytes[1], 9);
    EXPECT_EQ(MapperLine(500), 0);
}

TEST_F(NibbleRegisters, StateRoundTripAndRefusals)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(21)));
    WriteAll({{0x9002, 3}, {0x8000, 5}, {0xB000, 5}, {0xF000, 3}, {0xF001, 3}});
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[12] = 5; }, "fetch entry other than 4 or 6");
    ExpectRefused([](uint8_t *b) { b[11] = 4; }, "control above 3");
    ExpectRefused([](uint8_t *b) { b[8] = 2; }, "RAM enable above 1");
    MachineShutdown();
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(24)));
    WriteAll({{0xF001, 2}, {0xF000, 9}, {0xD000, 4}});
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[2] = 1; }, "enable other than bit 1");
}

TEST_F(NibbleRegisters, AnyWriteStaysInsideAndMutatedStates)
{
    std::vector<uint16_t> registers = {0x6000, 0x8000, 0x9000, 0x9001, 0x9002, 0x9003, 0xA000, 0xB003, 0xC000};
    for (int base = 0xB000; base <= 0xF000; base += 0x1000)
        for (uint16_t low : {0, 1, 2, 3, 4, 8, 12})
            registers.push_back(uint16_t(base + low));
    ExpectHostileWritesAndStatesContained({21, 22, 23, 24, 25}, registers);
}

} // namespace
