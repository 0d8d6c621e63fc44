// The pattern-latch boards (9, 10) on a 128 KB program, 64 KB pattern
// image: program banks, the latch pointers the renderers choose from, the
// halves that follow their latch and the fetches that flip it, pattern
// RAM, and the state records.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using Mmc2Mmc4 = MapperFixture;

int PatternBank(const uint8_t *p) { return int((p - VromBuffer) / 0x400); }

// What the picture processor fetches when $2007 reads at an address.
void FetchPattern(uint16_t a)
{
    WriteMemory(0x2006, uint8_t(a >> 8));
    WriteMemory(0x2006, uint8_t(a));
    ReadMemory(0x2007);
}

// Both halves latch: the low one on $0FD8 and $0FE8 exactly, the high one
// on the rows $1FD8-$1FDF and $1FE8-$1FEF; a half follows its latch at
// once when its register is written.
TEST_F(Mmc2Mmc4, Mmc2)
{
    ASSERT_TRUE(Start(IdleCartridge(8, 8).Mapper(9)));
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{0, 13, 14, 15}));
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(PatternBank(Latch9Pages[0]), 4);
    EXPECT_EQ(PatternBank(Latch9Pages[1]), 4);
    EXPECT_EQ(Latch9State, 1);
    EXPECT_EQ(LineRenderer, PpuLineEntryLatch9);
    WriteAll({{0x9FFF, 3}, {0xA000, 5}, {0xB000, 3}, {0xD000, 6}, {0xE000, 0x27}, {0xF000, 0}});
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{5, 13, 14, 15}));
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{0, 1, 2, 3, 28, 29, 30, 31}));
    EXPECT_EQ(PatternBank(Latch9Pages[0]), 24);
    EXPECT_EQ(PatternBank(Latch9Pages[1]), 28); // 0x27 wraps to 4 KB bank 7
    EXPECT_EQ(MapperState.bytes[1], 7);
    EXPECT_EQ(MirroringMode, 1);
    WriteMemory(0xC000, 1);
    EXPECT_EQ(PatternBanks()[0], 4);

    struct Fetch {
        uint16_t address;
        int low, high; // the first page of each half after it
    };
    const Fetch fetches[] = {
        {0x0FD8, 12, 28}, {0x0FE8, 4, 28}, {0x0FD9, 4, 28}, {0x0FD0, 4, 28},
        {0x1FDD, 4, 24}, {0x1FE8, 4, 28}, {0x1FDF, 4, 24}, {0x1FF8, 4, 24},
    };
    for (const Fetch &f : fetches) {
        FetchPattern(f.address);
        EXPECT_EQ(PatternBanks()[0], f.low) << std::hex << f.address;
        EXPECT_EQ(PatternBanks()[4], f.high) << std::hex << f.address;
    }

    ExpectSaveLoadSave();
    Latch9Pages[0] = Latch9Pages[1] = nullptr;
    ASSERT_EQ(LoadStateFile(Path("a.st")), 1);
    EXPECT_EQ(PatternBank(Latch9Pages[0]), 24);
    EXPECT_EQ(PatternBank(Latch9Pages[1]), 28);
    FetchPattern(0x0FD8); // the low half's pointers came back too
    EXPECT_EQ(PatternBanks()[0], 12);
    ExpectRefused([](uint8_t *b) { b[0] = 16; }, "latch bank beyond the pattern ROM");
    ExpectRefused([](uint8_t *b) { b[3] = 16; }, "low latch bank beyond the pattern ROM");
    ExpectRefused([](uint8_t *b) { b[4] = 2; }, "low latch other than 0 or 1");
}

TEST_F(Mmc2Mmc4, Mmc4)
{
    ASSERT_TRUE(Start(IdleCartridge(8, 8).Mapper(10)));
    EXPECT_EQ(PatternBank(Latch10LowPages[0]), 0);
    EXPECT_EQ(PatternBank(Latch10HighPages[1]), 4);
    EXPECT_EQ(Latch10LowState, 1);
    EXPECT_EQ(Latch10HighState, 1);
    EXPECT_EQ(LineRenderer, PpuLineEntryLatch10);
    WriteMemory(0xA000, 0x0B);
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{6, 7, 14, 15}));
    // Latches at 1: $C000 and $E000 take effect at once, $B000 and $D000 not.
    WriteAll({{0xB000, 2}, {0xD000, 3}});
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{0, 1, 2, 3, 4, 5, 6, 7}));
    WriteAll({{0xC000, 5}, {0xE000, 6}});
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{20, 21, 22, 23, 24, 25, 26, 27}));
    EXPECT_EQ(PatternBank(Latch10LowPages[0]), 8);
    EXPECT_EQ(PatternBank(Latch10HighPages[0]), 12);
    // Both latches answer the whole rows.
    FetchPattern(0x0FDB);
    EXPECT_EQ(PatternBanks()[0], 8);
    WriteMemory(0xB000, 9);
    EXPECT_EQ(PatternBanks()[0], 36);
    FetchPattern(0x1FD8);
    EXPECT_EQ(PatternBanks()[4], 12);
    FetchPattern(0x1FEF);
    EXPECT_EQ(PatternBanks()[4], 24);
    WriteMemory(0xF000, 1);
    EXPECT_EQ(MirroringMode, 0);

    ExpectSaveLoadSave();
    Latch10HighPages[1] = nullptr;
    ASSERT_EQ(LoadStateFile(Path("a.st")), 1);
    EXPECT_EQ(PatternBank(Latch10HighPages[1]), 24);
    ExpectRefused([](uint8_t *b) { b[3] = 200; }, "latch bank beyond the pattern ROM");
}

// Pattern RAM is banked in 4 KB as pattern ROM is: 8 KB of it holds two
// banks, a header's larger RAM more; a state naming a bank beyond the RAM
// is refused with its reason.
TEST_F(Mmc2Mmc4, WithoutVromTheLatchesBankPatternRam)
{
    for (int mapper : {9, 10}) {
        ASSERT_TRUE(Start(IdleCartridge(2, 0).Mapper(mapper)));
        WriteAll({{0xB000, 6}, {0xC000, 7}, {0xD000, 6}, {0xE000, 7}});
        EXPECT_EQ(PatternBanks(), (std::array<int, 8>{104, 105, 106, 107, 104, 105, 106, 107})) << mapper;
        FetchPattern(0x0FD8);
        FetchPattern(0x1FD8);
        EXPECT_EQ(PatternBanks(), (std::array<int, 8>{100, 101, 102, 103, 100, 101, 102, 103})) << mapper;
        MachineShutdown();
    }
    ASSERT_TRUE(Start(IdleCartridge(2, 0).Mapper(10).Nes2(0, 0, 8))); // 16 KB
    WriteAll({{0xC000, 3}, {0xE000, 6}});
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{12, 13, 14, 15, 8, 9, 10, 11}));
    ExpectSaveLoadSave();
    MapperState.bytes[3] = 4;
    ASSERT_EQ(SaveStateFile(Path("beyond.st")), 1);
    MapperState.bytes[3] = 2;
    std::string reason;
    EXPECT_EQ(LoadStateFile(Path("beyond.st"), &reason), 0);
    EXPECT_EQ(reason, "a pattern bank beyond the pattern memory");
}

TEST_F(Mmc2Mmc4, AnyWriteStaysInsideAndMutatedStates)
{
    const std::vector<uint16_t> registers = {0xA000, 0xB000, 0xC000, 0xD000, 0xE000, 0xF000};
    for (int mapper : {9, 10}) {
        OnHostileImages(mapper, [&] {
            WriteEverything(registers);
            for (int a = 0; a < 0x2000; a += 8) { // every latch row, through $2007
                WriteMemory(0x2006, uint8_t(a >> 8));
                WriteMemory(0x2006, uint8_t(a));
                ReadMemory(0x2007);
                ExpectPagesInside();
            }
        });
        ASSERT_TRUE(Start(IdleCartridge(8, 3).Mapper(mapper)));
        EXPECT_GT(MutateMapperState(uint32_t(mapper), registers), 0);
        MachineShutdown();
    }
}

} // namespace
} // namespace Cindrel::Test
