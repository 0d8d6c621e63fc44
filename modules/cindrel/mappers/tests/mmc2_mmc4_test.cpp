// The pattern-latch boards (9, 10) on a 128 KB program, 64 KB pattern
// image: program banks, the latch pointers the renderers choose from, the
// halves that follow their latch, and the state records.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

using namespace Cindrel;
using namespace Cindrel::Test;

namespace {

using Mmc2Mmc4 = MapperFixture;

int PatternBank(const uint8_t *p) { return int((p - VromBuffer) / 0x400); }

TEST_F(Mmc2Mmc4, Mmc2)
{
    ASSERT_TRUE(Start(IdleCartridge(8, 8).Mapper(9)));
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{0, 13, 14, 15}));
    EXPECT_EQ(PatternBank(Latch9Pages[0]), 4);
    EXPECT_EQ(PatternBank(Latch9Pages[1]), 4);
    EXPECT_EQ(Latch9State, 1);
    EXPECT_EQ(LineRenderer, PpuLineEntryLatch9);
    WriteAll({{0x9FFF, 3}, {0xA000, 5}, {0xB000, 3}, {0xD000, 6}, {0xE000, 0x27}, {0xF000, 0}});
    EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{5, 13, 14, 15}));
    EXPECT_EQ(PatternBanks(), (std::array<int, 8>{12, 13, 14, 15, 4, 5, 6, 7}));
    EXPECT_EQ(PatternBank(Latch9Pages[0]), 24);
    EXPECT_EQ(PatternBank(Latch9Pages[1]), 28); // 0x27 wraps to 4 KB bank 7
    EXPECT_EQ(MapperState.bytes[1], 7);
    EXPECT_EQ(MirroringMode, 1);
    WriteMemory(0xC000, 1);
    EXPECT_EQ(PatternBanks()[0], 4);

    ExpectSaveLoadSave();
    Latch9Pages[0] = Latch9Pages[1] = nullptr;
    ASSERT_EQ(LoadStateFile(Path("a.st")), 1);
    EXPECT_EQ(PatternBank(Latch9Pages[0]), 24);
    EXPECT_EQ(PatternBank(Latch9Pages[1]), 28);
    ExpectRefused([](uint8_t *b) { b[0] = 16; }, "latch bank beyond the pattern ROM");
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
    Latch10LowState = 0;
    WriteMemory(0xB000, 9);
    EXPECT_EQ(PatternBanks()[0], 36);
    WriteMemory(0xF000, 1);
    EXPECT_EQ(MirroringMode, 0);

    ExpectSaveLoadSave();
    Latch10HighPages[1] = nullptr;
    ASSERT_EQ(LoadStateFile(Path("a.st")), 1);
    EXPECT_EQ(PatternBank(Latch10HighPages[1]), 24);
    ExpectRefused([](uint8_t *b) { b[3] = 200; }, "latch bank beyond the pattern ROM");
}

TEST_F(Mmc2Mmc4, WithoutVromTheLatchesUsePatternRam)
{
    for (int mapper : {9, 10}) {
        ASSERT_TRUE(Start(IdleCartridge(2, 0).Mapper(mapper)));
        WriteAll({{0xB000, 7}, {0xC000, 7}, {0xD000, 7}, {0xE000, 7}});
        for (uint8_t *p : {Latch9Pages[0], Latch10LowPages[1], Latch10HighPages[0]})
            EXPECT_TRUE(p == nullptr || p == VideoSpace || p == VideoSpace + 0x1000) << mapper;
        EXPECT_EQ(PatternBanks(), (std::array<int, 8>{100, 101, 102, 103, 104, 105, 106, 107})) << mapper;
        MachineShutdown();
    }
}

TEST_F(Mmc2Mmc4, AnyWriteStaysInsideAndMutatedStates)
{
    const std::vector<uint16_t> registers = {0xA000, 0xB000, 0xC000, 0xD000, 0xE000, 0xF000};
    const int images[][2] = {{1, 0}, {3, 3}, {255, 1}};
    for (int mapper : {9, 10}) {
        for (const auto &image : images) {
            ASSERT_TRUE(Start(IdleCartridge(image[0], image[1]).Mapper(mapper)));
            WriteEverything(registers);
            MachineShutdown();
        }
        ASSERT_TRUE(Start(IdleCartridge(8, 3).Mapper(mapper)));
        EXPECT_GT(MutateMapperState(uint32_t(mapper), registers), 0);
        MachineShutdown();
    }
}

} // namespace
