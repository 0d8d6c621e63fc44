// Mapper 5 on a 256 KB program, 256 KB pattern image: RAM write pairs,
// program modes with RAM and the scratch page, name tables and fill,
// sprite and background pattern groups, the multiplier, the line IRQ and
// the state record with its background registers.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using Mmc5 = MapperFixture;

int BgBank(int i) { return int((Mmc5BgPages[i] - VromBuffer) / 0x400); }

TEST_F(Mmc5, PowerOn)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{31, 31, 31, 31}));
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(LineRenderer, PpuLineEntryMmc5);
    EXPECT_EQ(Mmc5ExAttributes, nullptr);
    EXPECT_EQ(Mmc5ChrMask, 0x1FFFu | (31u << 13));
}

TEST_F(Mmc5, RamWritesNeedBothKeys)
{
    struct Pair {
        std::vector<Write> keys;
        bool allowed;
    };
    const Pair pairs[] = {
        {{{0x5102, 2}, {0x5103, 1}}, true},  {{{0x5103, 1}, {0x5102, 2}}, true},
        {{{0x5102, 1}, {0x5103, 2}}, false}, {{{0x5102, 2}, {0x5103, 0}}, false},
        {{{0x5102, 2}, {0x5103, 1}, {0x5102, 3}}, false},
    };
    for (const Pair &p : pairs) {
        ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
        WriteAll(p.keys);
        WriteMemory(0x6010, 0x42);
        EXPECT_EQ(CpuSpace[0x6010] == 0x42, p.allowed);
        MachineShutdown();
    }
}

TEST_F(Mmc5, ProgramModes)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
    WriteAll({{0x5102, 2}, {0x5103, 1}});
    // Mode 3, one RAM page: $05 is a bank no chip answers, the open bus at
    // $8000, which takes no writes.
    WriteMemory(0x5114, 0x05);
    EXPECT_EQ(ProgramBanks()[0], 107);
    WriteMemory(0x8003, 0x99);
    EXPECT_EQ(ReadMemory(0x8003), 0x60);
    WriteMemory(0x5114, 0x00);
    WriteMemory(0x8003, 0x99);
    EXPECT_EQ(CpuSpace[0x6003], 0x99);
    WriteMemory(0x5114, 0x85);
    EXPECT_EQ(ProgramBanks()[0], 5);
    const uint8_t kept = ReadMemory(0x8003);
    WriteMemory(0x8003, uint8_t(kept + 1));
    EXPECT_EQ(ReadMemory(0x8003), kept);
    WriteAll({{0x5115, 0x86}, {0x5116, 0x87}, {0x5117, 0x88}});
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{5, 6, 7, 8}));
    WriteMemory(0x5113, 0x01);
    EXPECT_EQ(RamBank(), 103);
    // Mode 1: $5115 maps 16 KB, $5117 the upper 16 KB.
    WriteMemory(0x5100, 1);
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{6, 7, 8, 9}));
    // Mode 0: $5117 maps 32 KB.
    WriteMemory(0x5100, 0);
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{8, 9, 10, 11}));
    // Mode 2: RAM pages from $5115 with bit 7 clear.
    WriteAll({{0x5100, 2}, {0x5115, 0x00}});
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{103, 103, 7, 8}));
    EXPECT_EQ(MapperState.bytes[18] & 0x30, 0x30);
}

TEST_F(Mmc5, NameTablesAndFill)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
    WriteMemory(0x5105, 0xE4);
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{108, 109, 110, 111}));
    WriteMemory(0x5105, 0xFF);
    EXPECT_EQ(NameTableBanks(), (std::array<int, 4>{111, 111, 111, 111}));
    EXPECT_EQ(VideoPageMap[12], VideoPageMap[8]);
    WriteAll({{0x5106, 0x37}, {0x5107, 2}});
    EXPECT_EQ(VideoSpace[0x2C00], 0x37);
    EXPECT_EQ(VideoSpace[0x2FBF], 0x37);
    EXPECT_EQ(VideoSpace[0x2FC0], 0xAA);
    EXPECT_EQ(VideoSpace[0x2FFF], 0xAA);
    WriteMemory(0x5104, 1);
    EXPECT_EQ(Mmc5ExAttributes, CpuSpace + 0x5C00);
    WriteMemory(0x5C10, 0x21);
    EXPECT_EQ(CpuSpace[0x5C10], 0x21);
}

TEST_F(Mmc5, PatternGroups)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
    // Mode 0: only $5127 maps, 8 KB from register << 3.
    WriteAll({{0x5101, 0}, {0x5120, 5}, {0x5126, 6}});
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{0, 1, 2, 3, 4, 5, 6, 7}));
    WriteMemory(0x5127, 1);
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{8, 9, 10, 11, 12, 13, 14, 15}));
    // Mode 3: each register its page.
    WriteAll({{0x5101, 3}, {0x5122, 40}});
    EXPECT_EQ(PatternBanks()[2], 40);
    // Mode 1: 4 KB groups from $5123 and $5127.
    WriteAll({{0x5101, 1}, {0x5123, 3}});
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{12, 13, 14, 15, 4, 5, 6, 7}));
    // Background registers have their own bytes: program registers stay.
    WriteAll({{0x5101, 3}, {0x5128, 9}, {0x512B, 12}});
    EXPECT_EQ(BgBank(0), 9);
    EXPECT_EQ(BgBank(3), 12);
    EXPECT_EQ(MapperState.bytes[8], 0);
    EXPECT_EQ(MapperState.bytes[11], 0xFF);
    WriteMemory(0x5101, 2);
    EXPECT_EQ(BgBank(0), 2 * 0 + 0);
    EXPECT_EQ(BgBank(1), 1);
    EXPECT_EQ(BgBank(2), 2 * 12);
    WriteMemory(0x5100, 2); // a mode change maps no program bank from pattern numbers
    EXPECT_EQ(ProgramBanks()[3], 31);
}

TEST_F(Mmc5, MultiplierAndLineIrq)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
    WriteAll({{0x5205, 7}, {0x5206, 9}});
    EXPECT_EQ(ReadMemory(0x5205), 63);
    EXPECT_EQ(ReadMemory(0x5206), 0);
    WriteAll({{0x5205, 255}, {0x5206, 255}});
    EXPECT_EQ(ReadMemory(0x5205) | ReadMemory(0x5206) << 8, 255 * 255);
    WriteAll({{0x5203, 40}, {0x5204, 0x80}});
    CurrentLine = 39;
    MapperLine(114);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    CurrentLine = 40;
    MapperLine(114);
    EXPECT_EQ(Cpu.pendingInterrupt, 1);
    WriteMemory(0x5204, 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
}

// $5204: bit 7 the line matched since the last read (the read clears it
// and acknowledges the IRQ), bit 6 while the picture is drawn; the match
// shows with the IRQ disabled too.
TEST_F(Mmc5, LineStatus)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
    WriteAll({{0x2001, 0x18}, {0x5203, 40}});
    CurrentLine = 20;
    EXPECT_EQ(ReadMemory(0x5204), 0x40);
    CurrentLine = 40;
    MapperLine(0);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    CurrentLine = 41;
    EXPECT_EQ(ReadMemory(0x5204), 0xC0);
    EXPECT_EQ(ReadMemory(0x5204), 0x40);
    WriteMemory(0x5204, 0x80);
    CurrentLine = 40;
    MapperLine(0);
    EXPECT_EQ(Cpu.pendingInterrupt, 1);
    CurrentLine = 241;
    EXPECT_EQ(ReadMemory(0x5204), 0x80);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    CurrentLine = 20;
    WriteMemory(0x2001, 0);
    EXPECT_EQ(ReadMemory(0x5204), 0);
}

// $2007 reaches pattern memory through the set written last: the sprite
// registers' pages after $5120-$5127, the background registers' (the same
// four 1 KB pages for both halves) after $5128-$512B; a state keeps which.
TEST_F(Mmc5, CpuPatternAccessUsesTheSetWrittenLast)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
    for (int bank = 0; bank < 256; ++bank)
        VromBuffer[size_t(bank) * 0x400 + 0x10] = uint8_t(bank);
    auto read = [](uint16_t a) {
        WriteMemory(0x2006, uint8_t(a >> 8));
        WriteMemory(0x2006, uint8_t(a));
        ReadMemory(0x2007);
        return ReadMemory(0x2007);
    };
    WriteAll({{0x5101, 3}, {0x5120, 7}, {0x5128, 9}, {0x5129, 11}, {0x5124, 21}});
    EXPECT_EQ(read(0x0010), 7);
    EXPECT_EQ(read(0x1010), 21);
    WriteMemory(0x512B, 33);
    EXPECT_EQ(read(0x0010), 9);
    EXPECT_EQ(read(0x0410), 11);
    EXPECT_EQ(read(0x1010), 9);
    EXPECT_EQ(read(0x1C10), 33);
    ExpectSaveLoadSave();
    EXPECT_EQ(read(0x0410), 11);
    WriteMemory(0x5127, 40);
    EXPECT_EQ(read(0x0010), 7);
    ExpectRefused([](uint8_t *b) { b[23] = 0x02; }, "status bits other than 7 and 0");
}

TEST_F(Mmc5, StateRoundTripAndRefusals)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
    WriteAll({{0x5102, 2}, {0x5103, 1}, {0x5104, 1}, {0x5114, 0x03}, {0x5128, 9}, {0x512A, 11}, {0x5105, 0x1B}});
    ExpectSaveLoadSave();
    Mmc5BgPages[0] = Mmc5BgPages[2] = nullptr;
    Mmc5ExAttributes = nullptr;
    ASSERT_EQ(LoadStateFile(Path("a.st")), 1);
    EXPECT_EQ(BgBank(0), 9);
    EXPECT_EQ(BgBank(2), 11);
    EXPECT_EQ(Mmc5ExAttributes, CpuSpace + 0x5C00);
    ExpectRefused([](uint8_t *b) { b[12] = 4; }, "program mode above 3");
    ExpectRefused([](uint8_t *b) { b[13] = 7; }, "pattern mode above 3");
    ExpectRefused([](uint8_t *b) { b[18] = 0x0C; }, "writable map with bit 2");
}

TEST_F(Mmc5, AnyWriteStaysInsideAndMutatedStates)
{
    std::vector<uint16_t> registers = {0x5000, 0x5015, 0x5100, 0x5101, 0x5102, 0x5103, 0x5104, 0x5105, 0x5106,
                                       0x5107, 0x5113, 0x5114, 0x5115, 0x5116, 0x5117, 0x5203, 0x5204, 0x5205,
                                       0x5206, 0x5C00, 0x6000, 0x8000, 0xA000, 0xC000};
    for (int a = 0x5120; a <= 0x512B; ++a)
        registers.push_back(uint16_t(a));
    OnHostileImages(5, [&] {
        WriteAll({{0x5102, 2}, {0x5103, 1}});
        for (int mode = 0; mode < 4; ++mode) {
            WriteAll({{0x5100, uint8_t(mode)}, {0x5101, uint8_t(mode)}});
            WriteEverything(registers);
        }
    });
    ASSERT_TRUE(Start(IdleCartridge(16, 32).Mapper(5)));
    EXPECT_GT(MutateMapperState(5, registers), 0);
}

} // namespace
} // namespace Cindrel::Test
