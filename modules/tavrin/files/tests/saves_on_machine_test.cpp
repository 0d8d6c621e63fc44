// The save hardware on the whole machine: the EEPROM driven by DMA as games
// drive it, the battery file across start and shutdown, a state of a
// running machine, and the public save programs.
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/cart/Flash.h"
#include "common/zorvan/SafeFile.h"
#include "modules/tavrin/files/BatteryFile.h"
#include "modules/tavrin/files/GzipImage.h"
#include "modules/tavrin/files/StateFile.h"
#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/testing/PublicPrograms.h"
#include "modules/tavrin/testing/TestImage.h"
#include "modules/tavrin/machine/Machine.h"
#include "tools/testsupport/KilledWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Tavrin::Test {
namespace {

constexpr uint32_t Ewram = 0x02000000;

std::vector<uint8_t> ReadFileBytes(const std::string &path)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(Zorvan::ReadFileBounded(path, 1 << 20, bytes), Zorvan::ReadResult::Ok) << path;
    return bytes;
}

class SavesOnMachine : public ::testing::Test {
protected:
    void Start(const std::string &save = {})
    {
        MachineHarness::Options options;
        options.saveFileName = save;
        ASSERT_TRUE(machine.Start(game, options));
    }
    // A 16-bit immediate DMA on channel 3, as games move EEPROM bits.
    static void Dma(uint32_t src, uint32_t dst, uint32_t units)
    {
        BusWrite32(0x040000D4, src);
        BusWrite32(0x040000D8, dst);
        BusWrite16(0x040000DC, units);
        BusWrite16(0x040000DE, 0x8000);
    }
    // Puts a request into work RAM, one bit per halfword, and sends it.
    static void SendRequest(bool read, uint32_t block, uint32_t bits, const uint64_t *data)
    {
        std::vector<uint16_t> units{1, uint16_t(read)};
        for (int i = int(bits) - 1; i >= 0; --i)
            units.push_back(uint16_t((block >> i) & 1));
        for (int i = 63; data && i >= 0; --i)
            units.push_back(uint16_t((*data >> i) & 1));
        units.push_back(0);
        std::memcpy(MachineBlocks.ewram, units.data(), 2 * units.size());
        Dma(Ewram, 0x0D000000, uint32_t(units.size()));
    }
    static void WriteBlock(uint32_t block, uint32_t bits, uint64_t value) { SendRequest(false, block, bits, &value); }
    static uint64_t ReadBlock(uint32_t block, uint32_t bits)
    {
        SendRequest(true, block, bits, nullptr);
        Dma(0x0D000000, Ewram + 0x1000, 68);
        uint64_t v = 0;
        for (int i = 0; i < 68; ++i) {
            uint16_t unit;
            std::memcpy(&unit, MachineBlocks.ewram + 0x1000 + 2 * i, 2);
            if (i < 4)
                EXPECT_EQ(unit & 1, 0) << "dummy bit " << i;
            else
                v = v << 1 | (unit & 1);
        }
        return v;
    }

    // A gzip file as it inflates (empty when it does not).
    static std::vector<uint8_t> Inflated(const std::string &path)
    {
        std::vector<uint8_t> gz, raw;
        if (Zorvan::ReadFileBounded(path, 1u << 24, gz) != Zorvan::ReadResult::Ok ||
            GunzipBounded(gz, 1u << 24, raw) != GunzipResult::Ok)
            raw.clear();
        return raw;
    }

    TestFolder folder;
    std::string game = folder.Write("game.gba", SpinningImage(0x4000));
    MachineHarness machine;
};

TEST_F(SavesOnMachine, EepromBlocksRoundTripThroughDmaAtBothWidths)
{
    Start();
    WriteBlock(5, 6, 0x0123456789ABCDEFull);
    EXPECT_EQ(ReadBlock(5, 6), 0x0123456789ABCDEFull);
    EXPECT_EQ(EepromState.bits, 6u);
    EXPECT_EQ(EepromRam[40], 0xEF);

    // A game whose first request has 14 address bits.
    Start();
    ASSERT_EQ(EepromState.bits, 6u);
    WriteBlock(700, 14, 0xFEDCBA9876543210ull);
    EXPECT_EQ(EepromState.bits, 14u) << "switched by the 81-unit write";
    EXPECT_EQ(EepromSizeExp, 14u);
    EXPECT_EQ(ReadBlock(700, 14), 0xFEDCBA9876543210ull);
    EXPECT_EQ(EepromRam[700 * 8], 0x10);

    Start();
    EXPECT_EQ(ReadBlock(3, 14), ~0ull) << "a 17-unit read request switches too; blank reads as erased";
    EXPECT_EQ(EepromState.bits, 14u);
}

TEST_F(SavesOnMachine, SaveMemorySurvivesARestartAndSoDoesAnErase)
{
    const std::string save = folder.Path("game.sav");
    Start(save);
    EXPECT_EQ(TakeBatteryNote(), "");
    EXPECT_EQ(BusRead8(0x0E001234), 0xFFu) << "blank save memory reads as an erased chip";
    BusWrite8(0x0E001234, 0x5A);
    machine.Stop();

    Start(save);
    EXPECT_EQ(TakeBatteryNote(), "");
    EXPECT_EQ(BusRead8(0x0E001234), 0x5Au);
    std::memset(SaveRam, 0, size_t(SaveRamSize()));
    std::memset(EepromRam, 0, size_t(EepromRamSize()));
    machine.Stop();

    Start(save);
    EXPECT_EQ(BusRead8(0x0E001234), 0u) << "the erase stayed";
    machine.Stop();

    // A damaged file: the game starts blank and the file stays as it is
    // until the game's save replaces it.
    folder.Write("game.sav", {1, 2, 3});
    Start(save);
    EXPECT_NE(TakeBatteryNote().find("not a save of this game"), std::string::npos);
    EXPECT_EQ(BusRead8(0x0E001234), 0xFFu);
    machine.RunFrames(2);
    machine.Stop();
    EXPECT_EQ(ReadFileBytes(save), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(TakeBatteryNote(), "");

    Start(save);
    BusWrite8(0x0E001234, 0x5A);
    machine.Stop();
    EXPECT_NE(TakeBatteryNote().find("moved aside as " + save + ".damaged"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(save + ".damaged"), (std::vector<uint8_t>{1, 2, 3}));
    Start(save);
    EXPECT_EQ(BusRead8(0x0E001234), 0x5Au);
}

TEST_F(SavesOnMachine, AStateOfARunningMachineComesBackWhole)
{
    Start();
    machine.RunFrames(3);
    const std::string slot = folder.Path("game.st1"), check = folder.Path("check.st1");
    ASSERT_EQ(SaveStateFile(slot.c_str()), 1);
    const std::vector<uint8_t> ewram(MachineBlocks.ewram, MachineBlocks.ewram + EwramSize);
    const ArmState cpu = ConsoleCpu;

    machine.RunFrames(2);
    std::memset(MachineBlocks.ewram, 0x33, EwramSize);
    BusWrite16(0x04000204, 0x4317);
    ASSERT_EQ(LoadStateFile(slot.c_str()), 1);
    EXPECT_EQ(std::vector<uint8_t>(MachineBlocks.ewram, MachineBlocks.ewram + EwramSize), ewram);
    EXPECT_EQ(std::memcmp(&ConsoleCpu, &cpu, sizeof cpu), 0);
    EXPECT_EQ(WaitCycles16[8], 3) << "wait states of the loaded WAITCNT";
    ASSERT_EQ(SaveStateFile(check.c_str()), 1);
    std::vector<uint8_t> gz, first, again;
    ASSERT_EQ(Zorvan::ReadFileBounded(slot, 1u << 24, gz), Zorvan::ReadResult::Ok);
    ASSERT_EQ(GunzipBounded(gz, 1u << 24, first), GunzipResult::Ok);
    ASSERT_EQ(Zorvan::ReadFileBounded(check, 1u << 24, gz), Zorvan::ReadResult::Ok);
    ASSERT_EQ(GunzipBounded(gz, 1u << 24, again), GunzipResult::Ok);
    EXPECT_TRUE(first == again) << "every record, word and block as saved";
    EXPECT_EQ(machine.RunFrames(2), 2) << "the loaded machine runs on";
}

// A flash chip left in ID mode shows its ID over the first two bytes of the
// bank: the battery file still gets the game's bytes, and nothing of that
// chip reaches the next game's save memory (whose block may lie where the
// old one did). The state route is the one users take: a state saved in ID
// mode, loaded, then another game.
TEST_F(SavesOnMachine, AFlashLeftInIdModeKeepsItsBytesAndReachesNoOtherGame)
{
    const auto command = [](uint8_t code) {
        BusWrite8(0x0E005555, 0xAA);
        BusWrite8(0x0E002AAA, 0x55);
        BusWrite8(0x0E005555, code);
    };
    const std::string save = folder.Path("game.sav"), slot = folder.Path("game.st1");
    Start(save);
    BusWrite8(0x0E000000, 0x12);
    BusWrite8(0x0E000001, 0x34);
    command(0x90);
    ASSERT_EQ(BusRead8(0x0E000000), 0xBFu) << "the chip's ID shows";
    ASSERT_EQ(SaveStateFile(slot.c_str()), 1);
    command(0xF0);
    machine.Stop();
    Start(save);
    ASSERT_EQ(LoadStateFile(slot.c_str()), 1);
    ASSERT_EQ(BusRead8(0x0E000000), 0xBFu);
    machine.Stop();
    const std::vector<uint8_t> battery = Inflated(save);
    ASSERT_GE(battery.size(), 18u);
    EXPECT_EQ(battery[16], 0x12) << "the game's byte, not the ID";
    EXPECT_EQ(battery[17], 0x34);

    const std::string other = folder.Path("other.sav");
    Start(other);
    BusWrite8(0x0E000000, 0x56);
    machine.Stop();
    Start(other);
    EXPECT_EQ(BusRead8(0x0E000000), 0x56u);
    EXPECT_EQ(BusRead8(0x0E000001), 0xFFu);
}

TEST_F(SavesOnMachine, TheGuessSeesTheWholeImageAndNothingCarriesToTheNextCartridge)
{
    std::vector<uint8_t> image = SpinningImage(0x8000);
    std::memcpy(image.data() + 0x6000, "FLASH1M_V103", 12);
    ASSERT_TRUE(machine.Start(folder.Write("large.gba", image)));
    EXPECT_EQ(FlashChipId, 0x09C2u);
    EXPECT_EQ(FlashState.chipId, 0x09C2u);
    Start();
    EXPECT_EQ(FlashChipId, 0xD4BFu);
    EXPECT_EQ(FlashState.chipId, 0xD4BFu);
}

// The state and battery writers killed at random points: each file
// inflates whole, holds the save memory of one round (every byte of one
// value), and the state loads.
TEST_F(SavesOnMachine, WritersKilledAtRandomLeaveWholeFiles)
{
    const std::string save = folder.Path("game.sav"), slot = folder.Path("game.st1");
    Start(save);
    const size_t size = size_t(SaveRamSize());
    const auto uniform = [&](const std::vector<uint8_t> &bytes, size_t from) {
        return bytes.size() >= from + size &&
               std::count(bytes.begin() + from, bytes.begin() + from + size, bytes[from]) == long(size);
    };
    QuintarTest::KillWritersAtRandom(
        10, 28,
        [&](uint32_t n) {
            std::memset(SaveRam, uint8_t(n | 1), size);
            SaveStateFile(slot.c_str());
            SaveBatteryFile(save.c_str());
        },
        [&](int) {
            const std::vector<uint8_t> state = Inflated(slot), battery = Inflated(save);
            EXPECT_TRUE(uniform(state, 443824)) << "the state's save memory, " << state.size() << " bytes";
            EXPECT_TRUE(uniform(battery, 16)) << "the battery file, " << battery.size() << " bytes";
            EXPECT_EQ(LoadStateFile(slot.c_str()), 1);
        });
}

struct SaveProgram {
    const char *file;
    uint32_t expected;
    const char *why;
};

void PrintTo(const SaveProgram &c, std::ostream *out) { *out << c.file; }

class PublicSavePrograms : public ::testing::TestWithParam<SaveProgram> {};

TEST_P(PublicSavePrograms, ReportTheirResultWithAnEmptySaveFolder)
{
    const SaveProgram &c = GetParam();
    const std::string path = PublicProgramPath(c.file);
    if (path.empty())
        GTEST_SKIP() << "test program " << c.file << " not found: set QUINTAR_TESTROMS";
    TestFolder folder;
    MachineHarness machine;
    MachineHarness::Options options;
    options.saveFileName = folder.Path("game.sav");
    ASSERT_TRUE(machine.Start(path, options));
    ASSERT_TRUE(machine.RunUntilSpin(60)) << "no spin within 60 frames, pc=0x" << std::hex
                                          << MachineHarness::Cpu().r[15];
    EXPECT_EQ(MachineHarness::Cpu().r[12], c.expected) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Jsmolka, PublicSavePrograms,
    ::testing::Values(SaveProgram{"jsmolka_save_none.gba", 0, ""},
                      SaveProgram{"jsmolka_save_flash64.gba", 0, ""},
                      SaveProgram{"jsmolka_save_flash128.gba", 0, ""},
                      SaveProgram{"jsmolka_save_sram.gba", 0, ""}),
    [](const ::testing::TestParamInfo<SaveProgram> &info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        return name;
    });

} // namespace
} // namespace Tavrin::Test
