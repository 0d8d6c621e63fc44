// The one-latch boards on a 128 KB program, 32 KB pattern image: each write
// sequence gives the program entries (8 KB banks), pattern pages (1 KB
// banks) and name tables of the row; every value to every address stays
// inside the buffers on small, odd and large images.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using Discrete = MapperFixture;

using Case = BankCase;

// Consecutive banks from a first one.
std::array<int, 4> P(int first) { return {first, first + 1, first + 2, first + 3}; }
std::array<int, 4> P16(int low16, int high16) { return {2 * low16, 2 * low16 + 1, 2 * high16, 2 * high16 + 1}; }
std::array<int, 8> C(int first) { return {first, first + 1, first + 2, first + 3, first + 4, first + 5, first + 6, first + 7}; }
std::array<int, 8> C4(int low, int high) { return {low, low + 1, low + 2, low + 3, high, high + 1, high + 2, high + 3}; }

TEST_F(Discrete, WritesMapTheirBanks)
{
    const Case cases[] = {
        {"2 bank 3", 2, {{0x8000, 3}}, P16(3, 7), C(0)},
        {"2 bank 9 wraps to 1", 2, {{0xFFFF, 9}}, P16(1, 7), C(0)},
        {"3 from $4100", 3, {{0x4100, 2}}, P16(0, 7), C(16)},
        {"3 from $6000", 3, {{0x6000, 3}}, P16(0, 7), C(24)},
        {"3 below $4100 declined", 3, {{0x4020, 3}}, P16(0, 7), C(0)},
        {"6 base stored only", 6, {{0x8000, 0x24}}, P16(0, 7), C(0)},
        {"6 base added", 6, {{0x8000, 0x24}, {0x8000, 0x05}}, P16(1, 7), C(16)},
        {"6 other address", 6, {{0x8001, 0x05}}, P16(0, 7), C(0)},
        {"7 32 KB", 7, {{0x8000, 0x12}}, P(8), C(0)},
        {"8 both", 8, {{0x8000, 0x0A}}, P16(1, 1), C(16)},
        {"11 both", 11, {{0x8000, 0x21}}, P(4), C(16)},
        {"13 upper 4 KB", 13, {{0x8000, 0x25}}, P(8), C4(0, 20)},
        {"15 mode 0", 15, {{0x8000, 0x42}}, P16(2, 3), C(0)},
        {"15 mode 0 swapped", 15, {{0x8000, 0x82}}, {5, 4, 7, 6}, C(0)},
        {"15 mode 1", 15, {{0x8001, 0x05}}, P16(0, 5), C(0)},
        {"15 mode 2 swapped", 15, {{0x8002, 0x83}}, {7, 7, 7, 7}, C(0)},
        {"15 mode 2", 15, {{0x8002, 0x03}}, {6, 6, 6, 6}, C(0)},
        {"15 mode 3", 15, {{0x8003, 0x06}}, P16(0, 6), C(0)},
        {"34 three registers", 34, {{0x7FFE, 3}, {0x7FFF, 5}, {0x7FFD, 2}}, P(8), C4(12, 20)},
        {"34 with pattern ROM takes nothing at $8000", 34, {{0x9000, 1}}, P16(0, 7), C(0)},
        {"66 both", 66, {{0x8000, 0x21}}, P(8), C(8)},
        {"71 $8000 ignored", 71, {{0x8000, 5}}, P16(0, 7), C(0)},
        {"71 $C000", 71, {{0xC000, 5}}, P16(5, 7), C(0)},
        {"78 both", 78, {{0x8000, 0x23}}, P16(3, 7), C(16)},
        {"79 $4100", 79, {{0x4100, 0x0B}}, P(4), C(24)},
        {"79 $4000 nothing", 79, {{0x4020, 0x0B}}, P(0), C(0)},
        {"79 $6100", 79, {{0x6100, 0x0A}}, P(4), C(16)},
        {"79 $8100", 79, {{0x8100, 0x09}}, P(4), C(8)},
        {"81 address latch", 81, {{0x800E, 0}}, P16(3, 7), C(16)},
        {"81 value ignored", 81, {{0x8000, 0xFF}}, P16(0, 7), C(0)},
        {"91 2 KB pattern", 91, {{0x6001, 3}, {0x6003, 1}}, P16(0, 7), {0, 1, 6, 7, 4, 5, 2, 3}},
        {"91 8 KB program", 91, {{0x7000, 5}, {0x7001, 9}}, {5, 9, 14, 15}, C(0)},
    };
    ExpectBankCases(cases, 8, 4);
}

TEST_F(Discrete, InitsMapTheFirst32KB)
{
    for (int mapper : {8, 15, 79}) {
        ASSERT_TRUE(Start(IdleCartridge(8, 4).Mapper(mapper)));
        EXPECT_EQ(ProgramBanks(), P(0)) << mapper;
        MachineShutdown();
        // One page: its 16 KB twice.
        ASSERT_TRUE(Start(IdleCartridge(1, 1).Mapper(mapper)));
        EXPECT_EQ(ProgramBanks(), P16(0, 0)) << mapper;
        MachineShutdown();
    }
    ASSERT_TRUE(Start(IdleCartridge(8, 4).Mapper(13)));
    EXPECT_EQ(ProgramBanks(), P16(0, 1));
    EXPECT_EQ(PatternBanks(), C4(0, 0));
}

TEST_F(Discrete, MirroringAndNameTables)
{
    ASSERT_TRUE(Start(IdleCartridge(8, 4).Mapper(7)));
    WriteMemory(0x8000, 0x10);
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{109, 109, 109, 109}));
    WriteMemory(0x8000, 0x00);
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{108, 108, 108, 108}));
    MachineShutdown();

    ASSERT_TRUE(Start(IdleCartridge(8, 4).Mapper(15)));
    WriteMemory(0x8000, 0x40);
    EXPECT_EQ(MirroringMode, 0);
    WriteMemory(0x8003, 0x00);
    EXPECT_EQ(MirroringMode, 1);
    WriteMemory(0x8001, 0x40); // mode 1 leaves it
    EXPECT_EQ(MirroringMode, 1);
}

TEST_F(Discrete, Mapper3WriteAtRamLeavesRam)
{
    ASSERT_TRUE(Start(IdleCartridge(2, 4).Mapper(3)));
    CpuSpace[0x6000] = 0x5A;
    WriteMemory(0x6000, 2);
    EXPECT_EQ(CpuSpace[0x6000], 0x5A);
    EXPECT_EQ(PatternBanks(), C(16));
}

// Pattern RAM is banked as pattern ROM is: 8 KB of it stays put whatever
// an 8 KB register says, a board's larger RAM switches, and a header's
// NES 2.0 size decides how much there is.
TEST_F(Discrete, PatternRamIsBankedAsTheBoardsWireIt)
{
    const BankCase cases[] = {
        {"3 with 8 KB", 3, {{0x8000, 0x7F}}, P16(0, 7), C(100)},
        {"8 with 8 KB", 8, {{0x8000, 0x07}}, P16(0, 1), C(100)},
        {"66 with 8 KB", 66, {{0x8000, 0xFF}}, P(12), C(100)},
        {"78 with 8 KB", 78, {{0x8000, 0xF1}}, P16(1, 7), C(100)},
        {"81 with 8 KB", 81, {{0x8003, 0}}, P16(0, 7), C(100)},
        {"13 always carries 16 KB", 13, {{0x8000, 0xFF}}, P(12), C4(0, 12)},
        {"13 power-on", 13, {}, P16(0, 1), C4(0, 4)},
        {"11 with 32 KB", 11, {{0x8000, 0x21}}, P(4), C(16), {{0, 0, 9}}},
        {"11 with 32 KB, bank 7 wraps", 11, {{0x8000, 0x70}}, P(0), C(24), {{0, 0, 9}}},
        {"78.3 with 32 KB", 78, {{0x8000, 0x2B}}, P16(3, 7), C(16), {{3, 0, 9}}},
        {"34 with pattern RAM is the $8000 latch", 34, {{0x8000, 1}, {0x7FFE, 3}}, P(4), C(100)},
    };
    ExpectBankCases(cases, 8, 0);
}

// The Holy Diver board (78 with NES 2.0 submapper 3) switches vertical
// mirroring with bit 3; the other 78 boards take it as a program bank bit.
// 34 follows its NES 2.0 submapper over its pattern memory.
TEST_F(Discrete, SubmappersNameTheBoard)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(78).Nes2(3, 0, 0)));
    WriteMemory(0x8000, 0x08);
    EXPECT_EQ(MirroringMode, 1);
    EXPECT_EQ(ProgramBanks(), P16(0, 15));
    WriteMemory(0x8000, 0x00);
    EXPECT_EQ(MirroringMode, 0);
    MachineShutdown();
    ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(78)));
    WriteMemory(0x8000, 0x09);
    EXPECT_EQ(MirroringMode, 0);
    EXPECT_EQ(ProgramBanks(), P16(9, 15));
    MachineShutdown();
    ASSERT_TRUE(Start(IdleCartridge(8, 4).Mapper(34).Nes2(2, 0, 0)));
    WriteMemory(0x8000, 1);
    EXPECT_EQ(ProgramBanks(), P(4));
    MachineShutdown();
    ASSERT_TRUE(Start(IdleCartridge(8, 0).Mapper(34).Nes2(1, 0x07, 0x07)));
    WriteMemory(0x8000, 1);
    EXPECT_EQ(ProgramBanks(), P16(0, 7));
    WriteMemory(0x7FFD, 1);
    EXPECT_EQ(ProgramBanks(), P(4));
    EXPECT_EQ(CpuSpace[0x7FFD], 1); // the work RAM under the registers keeps it
}

// An NES 2.0 submapper 2 on 2, 3 and 7 says the ROM drives the bus as the
// latch is written: the bank is the value ANDed with the ROM byte there.
TEST_F(Discrete, BusConflictsWhereTheSubmapperSaysSo)
{
    for (int submapper : {0, 1, 2}) {
        for (int mapper : {2, 3, 7}) {
            CartridgeBuilder cart = IdleCartridge(8, 4).Mapper(mapper).Nes2(submapper, 0x07, 0);
            cart.Code(0xC010, {0x05});
            ASSERT_TRUE(Start(cart));
            WriteMemory(0xC010, 0x07);
            const int bank = submapper == 2 ? 5 : 7;
            if (mapper == 2)
                EXPECT_EQ(ProgramBanks(), P16(bank, 7)) << submapper;
            else if (mapper == 3)
                EXPECT_EQ(PatternBanks(), C(8 * (bank & 3))) << submapper;
            else
                EXPECT_EQ(ProgramBanks(), submapper == 2 ? P(4) : P(12)) << submapper;
            MachineShutdown();
        }
    }
}

TEST_F(Discrete, StateRoundTripAndRefusal)
{
    ASSERT_TRUE(Start(IdleCartridge(8, 4).Mapper(6)));
    WriteAll({{0x8000, 0x2C}, {0x8000, 0x06}});
    ExpectSaveLoadSave();
    EXPECT_EQ(MapperState.bytes[0], 0x0C);
    ExpectRefused([](uint8_t *b) { b[0] = 0x0D; }, "6 base with low bits");
    ExpectRefused([](uint8_t *b) { b[0] = 0x20; }, "6 base with bit 5");
}

// Every value at every decoded address, on the hostile images.
TEST_F(Discrete, AnyWriteStaysInside)
{
    const int numbers[] = {2, 3, 6, 7, 8, 11, 13, 15, 34, 66, 71, 78, 79, 81, 91};
    const std::vector<uint16_t> addresses = {0x4100, 0x6000, 0x6001, 0x6003, 0x6100, 0x7000, 0x7001, 0x7FFD,
                                             0x7FFE, 0x7FFF, 0x8000, 0x8001, 0x8002, 0x8003, 0x800F, 0x8100,
                                             0xC000, 0xFFFF};
    for (int mapper : numbers)
        OnHostileImages(mapper, [&] { WriteEverything(addresses); });
}

TEST_F(Discrete, MutatedStates)
{
    ASSERT_TRUE(Start(IdleCartridge(8, 4).Mapper(6)));
    EXPECT_GT(MutateMapperState(6, {0x8000, 0x8001}), 0);
}

} // namespace
} // namespace Cindrel::Test
