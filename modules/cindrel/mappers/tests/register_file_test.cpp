// The register-file boards 16, 17, 18, 19, 32, 33 and 65 on a 256 KB
// program, 256 KB pattern image: register decoding, the counters, the
// state records, and random writes on odd images.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using RegisterFile = MapperFixture;

using Case = BankCase;

constexpr std::array<int, 8> AtStart = {0, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<int, 8> First8 = {0, 1, 2, 3, 4, 5, 6, 7};

TEST_F(RegisterFile, WritesMapBanks)
{
    const Case cases[] = {
        {"16 three register windows", 16, {{0x6000, 9}, {0x7FF7, 12}, {0x8008, 3}, {0x800D, 1}}, {6, 7, 30, 31},
         {9, 0, 0, 0, 0, 0, 0, 12}},
        {"16 outside its windows", 16, {{0x6010, 9}, {0x8010, 3}}, {0, 1, 30, 31}, AtStart},
        {"17", 17, {{0x4504, 5}, {0x4507, 9}, {0x4517, 9}, {0x4510, 200}}, {5, 1, 30, 9}, {200, 0, 0, 0, 0, 0, 0, 9}},
        {"18 nibbles", 18, {{0x8000, 5}, {0x8001, 1}, {0x8002, 3}, {0x9000, 7}, {0xA000, 4}, {0xA001, 1}, {0xA002, 2},
                            {0xD003, 3}, {0xC000, 1}},
         {21, 3, 7, 31}, {20, 2, 0, 0, 1, 0, 0, 48}},
        {"18 decodes only its lines", 18, {{0x8004, 5}, {0xA010, 4}}, {0, 1, 30, 31}, AtStart},
        {"19", 19, {{0x8000, 5}, {0xB800, 9}, {0xE000, 4}, {0xE800, 6}, {0xF000, 8}, {0xF800, 2}}, {4, 6, 8, 31},
         {5, 0, 0, 0, 0, 0, 0, 9}},
        {"32 $8000 at $C000 in mode 2", 32, {{0x8000, 5}, {0x9000, 2}, {0x8000, 7}, {0xA000, 3}, {0xB003, 9}},
         {5, 3, 7, 31}, {0, 1, 2, 9, 4, 5, 6, 7}},
        {"65", 65, {{0x8000, 5}, {0xA000, 6}, {0xC000, 7}, {0x8001, 9}, {0xB002, 4}}, {5, 6, 7, 31},
         {0, 1, 4, 3, 4, 5, 6, 7}},
        {"33", 33, {{0x8000, 3}, {0x8001, 4}, {0x8002, 2}, {0x8003, 3}, {0xA002, 9}}, {3, 4, 30, 31},
         {4, 5, 6, 7, 4, 5, 9, 7}},
    };
    ExpectBankCases(cases, 16, 32);
}

TEST_F(RegisterFile, MirroringAndNameTables)
{
    struct Mirror {
        int mapper;
        uint16_t address;
        uint8_t value;
        int mode;
    };
    const Mirror cases[] = {
        {16, 0x8009, 0, 1}, {16, 0x8009, 1, 0}, {16, 0x6009, 3, 3}, {18, 0xF002, 2, 2},
        {18, 0xF002, 1, 1}, {18, 0xF002, 0, 0}, {32, 0x9000, 1, 0}, {32, 0x9000, 0, 1},
    };
    for (const Mirror &c : cases) {
        ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(c.mapper).Vertical()));
        WriteMemory(c.address, c.value);
        EXPECT_EQ(MirroringMode, c.mode) << c.mapper << " " << c.value;
        MachineShutdown();
    }

    // 19: below $E0 a pattern-ROM bank, from $E0 the console's tables by the
    // low bit; without pattern ROM always the console's.
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(19)));
    WriteAll({{0xC000, 3}, {0xC800, 0xE1}, {0xD000, 0xE0}, {0xD800, 0xDF}});
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{3, 109, 108, 0xDF}));
    EXPECT_EQ(VideoPageMap[15], VideoPageMap[11]);
    ExpectSaveLoadSave();
    MachineShutdown();
    ASSERT_TRUE(Start(IdleCartridge(16, 0).Mapper(19)));
    WriteAll({{0xC000, 3}, {0xC800, 2}, {0xD000, 0xE1}, {0xD800, 0xE0}});
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{109, 108, 109, 108}));
}

int32_t Word(int at)
{
    const uint8_t *b = MapperState.bytes + at;
    return int32_t(b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24);
}

// Reload 10: every counter the line handler leaves is in 0..10, however
// many cycles a call brings.
TEST_F(RegisterFile, BandaiCounterStaysWithinItsReload)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(16)));
    WriteAll({{0x800B, 10}, {0x800C, 0}, {0x800A, 1}});
    EXPECT_EQ(Word(4), 10);
    EXPECT_EQ(IrqCalls({3, 3, 3, 3}), (std::vector<int>{4}));
    EXPECT_EQ(Word(4), 8); // 10 - 12 = -2 wraps to 8
    for (int32_t cycles : {114, 2527, 1, 29773, 11, 12}) {
        MapperLine(cycles);
        EXPECT_GE(Word(4), 0) << cycles;
        EXPECT_LE(Word(4), 10) << cycles;
    }
    WriteMemory(0x800A, 0);
    EXPECT_EQ(IrqCalls({5000}), (std::vector<int>{}));
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[2] = 1; }, "reload above 16 bits");
    ExpectRefused([](uint8_t *b) { b[7] = 0x80; }, "negative counter");
    ExpectRefused([](uint8_t *b) { b[8] = 3; }, "enable above 1");
}

TEST_F(RegisterFile, LineCountersOf17And18)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(17)));
    WriteMemory(0x4503, 0);
    EXPECT_EQ(IrqCalls({114, 114}), (std::vector<int>{1}));
    MachineShutdown();

    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(18)));
    WriteAll({{0x8000, 5}, {0xF000, 3}});
    EXPECT_EQ(IrqCalls({114, 114}), (std::vector<int>{1}));
    EXPECT_EQ(MapperState.bytes[0], 5); // the counter does not touch program register 0
    WriteMemory(0xF000, 2);
    EXPECT_EQ(IrqCalls({114}), (std::vector<int>{}));
    Cpu.pendingInterrupt = 1;
    WriteMemory(0xF001, 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    WriteAll({{0x8001, 2}, {0xA000, 7}, {0xE002, 9}, {0xF000, 1}});
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[14] = 2; }, "line counter above 1");
}

TEST_F(RegisterFile, NamcotCounter)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(19)));
    WriteAll({{0x5000, 0x34}, {0x5800, 0x92}});
    EXPECT_EQ(Word(0), 0x1234);
    EXPECT_EQ(Word(4), 0x1234);
    EXPECT_EQ(MapperState.bytes[8], 0x80);
    EXPECT_EQ(ReadMemory(0x5800), 0x12);
    EXPECT_EQ(ReadMemory(0x5000), 0x34);
    // From $7FFF one line wraps within the reload.
    WriteAll({{0x5000, 0xFF}, {0x5800, 0xFF}});
    EXPECT_EQ(IrqCalls({114, 114}), (std::vector<int>{1}));
    EXPECT_EQ(Word(4), 112 + 114);
    WriteAll({{0x5000, 5}, {0x5800, 0x80}});
    EXPECT_EQ(IrqCalls({32763}), (std::vector<int>{1}));
    EXPECT_EQ(Word(4), 5); // (5 + 32768 - 32768) modulo 6
    EXPECT_EQ(IrqCalls({2527}), (std::vector<int>{}));
    EXPECT_EQ(Word(4), 5 + 2527);
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[1] = 0x80; }, "reload above 15 bits");
    ExpectRefused([](uint8_t *b) { b[5] = 0x80; }, "counter above 15 bits");
    ExpectRefused([](uint8_t *b) { b[8] = 1; }, "enable other than bit 7");
}

TEST_F(RegisterFile, IremStateRefusal)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(32)));
    WriteAll({{0x9000, 2}, {0x8000, 5}});
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[0] = 5; }, "fetch entry other than 4 or 6");
}

TEST_F(RegisterFile, AnyWriteStaysInsideAndMutatedStates)
{
    std::vector<uint16_t> registers = {0x4501, 0x4503, 0x4504, 0x4507, 0x4510, 0x4517, 0x5000, 0x5800, 0x6000,
                                       0x6008, 0x600A, 0x7FF9, 0x9003, 0xB007, 0xC000, 0xC800, 0xD800, 0xE000,
                                       0xE800, 0xF000, 0xF001, 0xF002, 0xF800};
    for (int a = 0x8000; a <= 0x800F; ++a)
        registers.push_back(uint16_t(a));
    for (int a = 0x9000; a <= 0xE000; a += 0x1000)
        for (int low : {0, 1, 2, 3})
            registers.push_back(uint16_t(a + low));
    ExpectHostileWritesAndStatesContained({16, 17, 18, 19, 32, 33, 65}, registers);
}

} // namespace
} // namespace Cindrel::Test
