// The mapper framework with a row of test handlers: what SetupMapper
// installs and in which order, which writes reach the handler, the line
// handler's cycle count, and the state file's validator and after-load step.
#include "modules/cindrel/machine/MapperFramework.h"
#include "modules/cindrel/machine/StateFile.h"
#include "modules/cindrel/testing/MachineFixture.h"

namespace Cindrel::Test {
namespace {

constexpr int TestMapper = 99;

struct Seen {
    int inits = 0;
    bool defaultsBeforeInit = false;
    std::vector<std::pair<uint16_t, uint8_t>> writes;
    int takeWrites = 1;
    std::vector<int32_t> lineCycles;
    int afterLoads = 0;
} seen;

class MapperFramework : public MachineFixture {
protected:
    void SetUp() override
    {
        MachineFixture::SetUp();
        seen = Seen();
        kept_ = MapperTable[TestMapper];
        MapperRow row;
        row.init = [] {
            ++seen.inits;
            seen.defaultsBeforeInit = FetchMap[4] == RomBuffer && MapperWrite != nullptr && MapperLine != nullptr;
        };
        row.write = [](uint16_t address, uint8_t value) {
            seen.writes.emplace_back(address, value);
            return seen.takeWrites;
        };
        row.line = [](int32_t cycles) {
            seen.lineCycles.push_back(cycles);
            return int32_t(0);
        };
        row.validate = [](const uint8_t *bytes) -> const char * { return bytes[0] < 10 ? nullptr : "bank 0 too large"; };
        row.afterLoad = [] { ++seen.afterLoads; };
        MapperTable[TestMapper] = row;
    }
    void TearDown() override
    {
        MapperTable[TestMapper] = kept_;
        MachineFixture::TearDown();
    }
    MapperRow kept_;
};

TEST_F(MapperFramework, PageMasks)
{
    const int counts[][2] = {{0, 0}, {1, 0}, {2, 1}, {3, 3}, {4, 3}, {5, 7}, {128, 127}, {255, 255}};
    for (const auto &c : counts)
        EXPECT_EQ(PageMask(c[0]), uint32_t(c[1])) << c[0];
}

TEST_F(MapperFramework, SetupInstallsTheRowAfterTheDefaultMapping)
{
    ASSERT_TRUE(Start(IdleCartridge(3, 3).Mapper(TestMapper)));
    EXPECT_EQ(seen.inits, 1);
    EXPECT_TRUE(seen.defaultsBeforeInit);
    EXPECT_EQ(RomMask, 3u);
    EXPECT_EQ(VromMask, 3u);
    MachineReset();
    EXPECT_EQ(seen.inits, 2);
}

TEST_F(MapperFramework, WritesTheMachineDoesNotDecodeReachTheHandler)
{
    ASSERT_TRUE(Start(IdleCartridge().Mapper(TestMapper).VsSystem()));
    const uint16_t reaching[] = {0x4017, 0x4020, 0x5FFF, 0x6000, 0x7FFF, 0x8000, 0xFFFF};
    const uint16_t notReaching[] = {0x0000, 0x2000, 0x4000, 0x4014, 0x4015, 0x4016};
    for (uint16_t a : reaching)
        WriteMemory(a, uint8_t(a));
    for (uint16_t a : notReaching)
        WriteMemory(a, 0);
    ASSERT_EQ(seen.writes.size(), std::size(reaching));
    for (size_t i = 0; i < std::size(reaching); ++i)
        EXPECT_EQ(seen.writes[i].first, reaching[i]);
    // The VS pattern switch is the mapper's business on such boards.
    EXPECT_EQ(VideoPageMap[0], VromBuffer);
    // A taken $6000 write is not stored; a declined one is.
    EXPECT_EQ(CpuSpace[0x7FFF], 0);
    seen.takeWrites = 0;
    WriteMemory(0x7FFF, 0x42);
    EXPECT_EQ(CpuSpace[0x7FFF], 0x42);
}

TEST_F(MapperFramework, LineHandlerCountsEveryCycleOfTheFrame)
{
    ASSERT_TRUE(Start(IdleCartridge().Mapper(TestMapper)));
    RunFrames(2);
    seen.lineCycles.clear();
    RunFrames(1);
    ASSERT_EQ(seen.lineCycles.size(), 240u);
    int32_t total = 0;
    for (int32_t c : seen.lineCycles)
        total += c;
    EXPECT_EQ(total, 29780);
    EXPECT_EQ(seen.lineCycles[1], 114);
    EXPECT_EQ(seen.lineCycles[0], 29780 - 239 * 114); // the blank goes to line 0
}

TEST_F(MapperFramework, StateLoadsCheckAndRebuildTheMapper)
{
    ASSERT_TRUE(Start(IdleCartridge().Mapper(TestMapper)));
    MapperState.bytes[0] = 50;
    ASSERT_EQ(SaveStateFile(Path("bad.st")), 1);
    MapperState.bytes[0] = 5;
    ASSERT_EQ(SaveStateFile(Path("good.st")), 1);
    MapperState.bytes[0] = 7;
    std::string reason;
    EXPECT_EQ(LoadStateFile(Path("bad.st"), &reason), 0);
    EXPECT_EQ(reason, "bank 0 too large"); // the row's own reason
    EXPECT_EQ(MapperState.bytes[0], 7);
    EXPECT_EQ(seen.afterLoads, 0);
    EXPECT_EQ(LoadStateFile(Path("good.st")), 1);
    EXPECT_EQ(MapperState.bytes[0], 5);
    EXPECT_EQ(seen.afterLoads, 1);
}

} // namespace
} // namespace Cindrel::Test
