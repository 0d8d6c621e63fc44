// The nibble-register boards (21-25) on a 256 KB program, 256 KB pattern
// image: register decoding on each variant's address lines, the counters
// of 21, 25 and 24, and their state records.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using NibbleRegisters = MapperFixture;

constexpr std::array<int, 8> AtStart = {0, 0, 0, 0, 0, 0, 0, 0};

// The boards behind numbers 21-25 wire the chip's two register lines to
// address lines of their own; each variant reaches the same registers
// through its own addresses.
struct Variant {
    const char *name;
    int mapper;
    uint16_t line0, line1; // the address lines of register bits 0 and 1
};
const Variant Variants[] = {
    {"21 on A1, A2", 21, 0x002, 0x004}, {"21 on A6, A7", 21, 0x040, 0x080}, {"22 on A1, A0", 22, 0x002, 0x001},
    {"23 on A0, A1", 23, 0x001, 0x002}, {"23 on A2, A3", 23, 0x004, 0x008}, {"25 on A1, A0", 25, 0x002, 0x001},
    {"25 on A3, A2", 25, 0x008, 0x004},
};

uint16_t Register(const Variant &v, uint16_t block, int r)
{
    return uint16_t(block | ((r & 1) ? v.line0 : 0) | ((r & 2) ? v.line1 : 0));
}

// Register bit 0 picks the nibble, bit 1 the bank of the pair; 22 drops
// the bank number's low bit.
TEST_F(NibbleRegisters, PatternNibblesOnEachVariantsLines)
{
    for (const Variant &v : Variants) {
        ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(v.mapper))) << v.name;
        WriteAll({{Register(v, 0xB000, 0), 5}, {Register(v, 0xB000, 1), 1}, {Register(v, 0xB000, 2), 3},
                  {Register(v, 0xE000, 3), 0xF}, {Register(v, 0xE000, 2), 2}, {0x8000, 4}, {0xA000, 6}});
        const std::array<int, 8> banks = v.mapper == 22 ? std::array<int, 8>{0x0A, 1, 0, 0, 0, 0, 0, 0x79}
                                                        : std::array<int, 8>{0x15, 3, 0, 0, 0, 0, 0, 0xF2};
        EXPECT_EQ(PatternBanks(), banks) << v.name;
        EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{4, 6, 30, 31})) << v.name;
        MachineShutdown();
    }
}

// The boards with the counter: mirroring, the swap and RAM register, and
// the four counter registers, on each variant's lines. A latch of $FE
// raises the IRQ on the second whole line.
TEST_F(NibbleRegisters, CounterBoardRegistersOnEachVariantsLines)
{
    for (const Variant &v : Variants) {
        if (v.mapper != 21 && v.mapper != 25)
            continue;
        ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(v.mapper))) << v.name;
        WriteMemory(Register(v, 0x9000, 0), 1);
        EXPECT_EQ(MirroringMode, 0) << v.name;
        WriteMemory(0x6001, 0x44);
        EXPECT_EQ(CpuSpace[0x6001], 0) << v.name;
        WriteAll({{Register(v, 0x9000, 2), 3}, {0x8000, 7}, {0x6001, 0x44}});
        EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{0, 1, 7, 31})) << v.name;
        EXPECT_EQ(CpuSpace[0x6001], 0x44) << v.name;
        WriteAll({{Register(v, 0xF000, 0), 0xE}, {Register(v, 0xF000, 1), 0xF}, {Register(v, 0xF000, 2), 2}});
        EXPECT_EQ(MapperState.bytes[10], 0xFE) << v.name;
        EXPECT_EQ(MapperLine(50), 50);
        EXPECT_EQ(MapperLine(114), 0);
        EXPECT_EQ(Cpu.pendingInterrupt, 0) << v.name;
        EXPECT_EQ(MapperLine(114), 0);
        EXPECT_EQ(Cpu.pendingInterrupt, 1) << v.name;
        EXPECT_EQ(MapperState.bytes[10], 0xFE);
        WriteMemory(Register(v, 0xF000, 3), 0);
        EXPECT_EQ(Cpu.pendingInterrupt, 0) << v.name;
        MachineShutdown();
    }
}

TEST_F(NibbleRegisters, Mapper24)
{
    const BankCase cases[] = {
        {"24 program and patterns", 24, {{0x8003, 3}, {0xC000, 9}, {0xD001, 7}, {0xE003, 9}, {0xE000, 200}},
         {6, 7, 9, 31}, {0, 7, 0, 0, 200, 0, 0, 9}},
        {"24 sound registers declined", 24, {{0x9000, 3}, {0xA001, 3}}, {0, 1, 30, 31}, AtStart},
    };
    ExpectBankCases(cases, 16, 32);

    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(24)));
    WriteMemory(0xB003, 0x04);
    EXPECT_EQ(MirroringMode, 0);
    WriteMemory(0xB003, 0x0C);
    EXPECT_EQ(MirroringMode, 3);
    MachineShutdown();

    // Whole lines step the counter; the cycles past them carry.
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
    WriteAll({{0x9004, 3}, {0x8000, 5}, {0xB000, 5}, {0xF000, 3}, {0xF004, 3}});
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
} // namespace Cindrel::Test
