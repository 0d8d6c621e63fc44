// The battery file: round trips of each kind of save memory, trimming, the
// write-only-on-change rule, damaged files kept aside when the game's save
// replaces them, and failed writes.
#include "common/zorvan/SafeFile.h"
#include "modules/tavrin/files/BatteryFile.h"

#include "FileSizeLimit.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/files/GzipImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace Tavrin::Test {
namespace {

using Bytes = std::vector<uint8_t>;

class BatteryFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/tavrinsaveXXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        file = (dir / "game.sav").string();
        Machine(17, 6);
    }
    void TearDown() override
    {
        SaveRam = nullptr;
        EepromRam = nullptr;
        fs::remove_all(dir);
    }

    // A fresh machine: save memory full of leftovers until the load.
    void Machine(uint32_t flashExp, uint32_t eepromExp)
    {
        FlashSizeExp = flashExp;
        EepromSizeExp = eepromExp;
        save.assign(size_t(1) << flashExp, 0x5A);
        eeprom.assign(EepromArraySize, 0x5A);
        SaveRam = save.data();
        EepromRam = eeprom.data();
    }
    static Bytes ReadRaw(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteRaw(const std::string &path, const Bytes &bytes)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    }
    Bytes Inflated() const
    {
        Bytes out;
        EXPECT_EQ(GunzipBounded(ReadRaw(file), 1u << 26, out), GunzipResult::Ok);
        return out;
    }
    // A battery file: header and blocks as given, whatever they say.
    static Bytes File(uint8_t s, uint8_t e, const Bytes &saveBlock = {}, const Bytes &eepromBlock = {})
    {
        Bytes f(16 + saveBlock.size() + eepromBlock.size(), 0);
        const uint8_t head[7] = {'S', 'A', 'V', 0x1A, 1, s, e};
        std::copy(head, head + 7, f.begin());
        std::copy(saveBlock.begin(), saveBlock.end(), f.begin() + 16);
        std::copy(eepromBlock.begin(), eepromBlock.end(), f.begin() + 16 + long(saveBlock.size()));
        return f;
    }
    static Bytes Gz(const Bytes &raw)
    {
        Bytes gz;
        EXPECT_TRUE(GzipBytes(raw, gz));
        return gz;
    }
    static Bytes Pattern(size_t size, uint8_t seed)
    {
        Bytes b(size);
        for (size_t i = 0; i < size; ++i)
            b[i] = uint8_t(i * 31 + seed) | 1;
        return b;
    }

    fs::path dir;
    std::string file;
    Bytes save, eeprom;
};

TEST_F(BatteryFileTest, EachKindOfSaveMemoryRoundTrips)
{
    struct Case {
        const char *name;
        uint32_t eepromExp;
        size_t saveBytes, eepromBytes; // how much the game writes
        size_t saveAt;
        uint32_t s, e;
    } cases[] = {
        {"SRAM, 32 KB", 6, 0x8000, 0, 0, 15, 6},
        {"128 KB flash, bank 1 only", 6, 0x100, 0, 0x10000, 17, 6},
        {"512-byte EEPROM", 6, 0, 512, 0, 17, 6},
        {"8 KB EEPROM", 14, 0, 8192, 0, 17, 10},
    };
    for (const Case &c : cases) {
        fs::remove(file);
        Machine(17, c.eepromExp);
        EXPECT_FALSE(LoadBatteryFile(file.c_str())) << c.name;
        EXPECT_EQ(TakeBatteryNote(), "") << "no file is nothing to tell";
        ASSERT_EQ(save, Bytes(save.size(), 0xFF)) << "blank memory reads as an erased chip";
        ASSERT_EQ(eeprom, Bytes(eeprom.size(), 0xFF));
        // The game clears what it does not use, then writes its data.
        std::fill(save.begin(), save.end(), 0);
        std::fill(eeprom.begin(), eeprom.end(), 0);
        Bytes saveData = Pattern(c.saveBytes, 7), eepromData = Pattern(c.eepromBytes, 9);
        std::copy(saveData.begin(), saveData.end(), save.begin() + c.saveAt);
        std::copy(eepromData.begin(), eepromData.end(), eeprom.begin());
        const Bytes wantSave = save, wantEeprom = eeprom;
        ASSERT_TRUE(SaveBatteryFile(file.c_str())) << c.name;

        Bytes raw = Inflated();
        ASSERT_GE(raw.size(), 16u);
        EXPECT_EQ(raw[5], c.saveBytes ? c.s : 0u) << c.name;
        EXPECT_EQ(raw[6], c.eepromBytes ? c.e : 0u) << c.name;

        Machine(17, 6);
        EXPECT_TRUE(LoadBatteryFile(file.c_str())) << c.name;
        EXPECT_EQ(save, wantSave) << c.name;
        EXPECT_EQ(eeprom, wantEeprom) << c.name;
        EXPECT_EQ(EepromSizeExp, c.eepromExp) << c.name << ": the width follows the block";
    }
}

TEST_F(BatteryFileTest, TrimmingKeepsUpToTheLastNonZeroByte)
{
    LoadBatteryFile(file.c_str());
    std::fill(save.begin(), save.end(), 0);
    std::fill(eeprom.begin(), eeprom.end(), 0);
    save[0] = 0x42;
    ASSERT_TRUE(SaveBatteryFile(file.c_str()));
    Bytes raw = Inflated();
    EXPECT_EQ(raw.size(), 18u);
    EXPECT_EQ(raw, File(1, 0, {0x42, 0}));

    eeprom[8] = 1; // the ninth byte needs 16
    save[1000] = 1;
    ASSERT_TRUE(SaveBatteryFile(file.c_str()));
    raw = Inflated();
    EXPECT_EQ(raw[5], 10u);
    EXPECT_EQ(raw[6], 1u);
    EXPECT_EQ(raw.size(), 16u + 1024 + 16);
}

TEST_F(BatteryFileTest, ALargerMemorysFileFillsWhatFits)
{
    Bytes big = Pattern(size_t(1) << 18, 3);
    Bytes eepromBlock = Pattern(512, 5);
    WriteRaw(file, Gz(File(18, 6, big, eepromBlock)));
    EXPECT_TRUE(LoadBatteryFile(file.c_str()));
    EXPECT_EQ(save, Bytes(big.begin(), big.begin() + 0x20000));
    EXPECT_EQ(Bytes(eeprom.begin(), eeprom.begin() + 512), eepromBlock) << "found at 16 + 262,144";
    EXPECT_EQ(Bytes(eeprom.begin() + 512, eeprom.end()), Bytes(EepromArraySize - 512, 0));

    // A smaller one leaves the rest zero.
    WriteRaw(file, Gz(File(2, 0, {1, 2, 3, 4})));
    EXPECT_TRUE(LoadBatteryFile(file.c_str()));
    EXPECT_EQ(Bytes(save.begin(), save.begin() + 5), (Bytes{1, 2, 3, 4, 0}));
    EXPECT_EQ(eeprom, Bytes(EepromArraySize, 0));
}

TEST_F(BatteryFileTest, OnlyChangedMemoryIsWrittenAndAnEraseToZeroSurvivesARestart)
{
    // Nothing changed after a blank start: no file.
    LoadBatteryFile(file.c_str());
    EXPECT_TRUE(SaveBatteryFile(file.c_str()));
    EXPECT_FALSE(fs::exists(file));

    save[5] = 0x77;
    ASSERT_TRUE(SaveBatteryFile(file.c_str()));
    Machine(17, 6);
    ASSERT_TRUE(LoadBatteryFile(file.c_str()));
    struct stat before{};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    EXPECT_TRUE(SaveBatteryFile(file.c_str()));
    struct stat after{};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "unchanged memory leaves the file alone";

    // The game erases its save to zeros: the file says so.
    std::fill(save.begin(), save.end(), 0);
    std::fill(eeprom.begin(), eeprom.end(), 0);
    ASSERT_TRUE(SaveBatteryFile(file.c_str()));
    EXPECT_EQ(Inflated(), File(0, 0));
    Machine(17, 6);
    ASSERT_TRUE(LoadBatteryFile(file.c_str()));
    EXPECT_EQ(save, Bytes(save.size(), 0)) << "not the blank 0xFF";
    EXPECT_EQ(eeprom, Bytes(eeprom.size(), 0));
}

// A damaged file stays as it is while the game leaves save memory alone; it
// is kept aside only when the game's own save replaces it.
TEST_F(BatteryFileTest, DamagedFilesStayUntilTheGamesSaveReplacesThem)
{
    const Bytes good = File(1, 0, {9, 9});
    Bytes gzGood = Gz(good);
    struct Case {
        const char *name;
        Bytes contents;
    } cases[] = {
        {"bad magic", Gz([&] { Bytes b = good; b[2] = 'X'; return b; }())},
        {"bad version", Gz([&] { Bytes b = good; b[4] = 2; return b; }())},
        {"s above 24", Gz([&] { Bytes b = good; b[5] = 25; return b; }())},
        {"e above 21", Gz([&] { Bytes b = good; b[6] = 22; return b; }())},
        {"block shorter than the header says", Gz(Bytes(good.begin(), good.end() - 1))},
        {"header cut short", Gz(Bytes(good.begin(), good.begin() + 10))},
        {"gzip cut short", Bytes(gzGood.begin(), gzGood.end() - 6)},
        {"gzip data damaged", [&] { Bytes b = gzGood; b[12] ^= 0xFF; b[13] ^= 0xFF; return b; }()},
        {"empty file", Bytes{}},
        // Sizes no save memory reaches, on disk or once inflated.
        {"larger on disk than any save", Bytes(40u << 20, 0x5A)},
        {"inflates past any save", Gz(Bytes(33u << 20, 0))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir);
        fs::create_directory(dir);
        WriteRaw(file, c.contents);
        Machine(17, 6);
        EXPECT_FALSE(LoadBatteryFile(file.c_str()));
        EXPECT_NE(TakeBatteryNote().find("not a save of this game"), std::string::npos) << "told at the start";
        EXPECT_EQ(save, Bytes(save.size(), 0xFF));
        EXPECT_EQ(eeprom, Bytes(eeprom.size(), 0xFF));
        EXPECT_TRUE(SaveBatteryFile(file.c_str()));
        EXPECT_EQ(TakeBatteryNote(), "");
        EXPECT_FALSE(fs::exists(file + ".damaged"));
        EXPECT_TRUE(ReadRaw(file) == c.contents) << "unchanged memory left the file alone";

        save[0] = 1;
        EXPECT_TRUE(SaveBatteryFile(file.c_str()));
        EXPECT_NE(TakeBatteryNote().find("moved aside as " + file + ".damaged"), std::string::npos);
        EXPECT_TRUE(ReadRaw(file + ".damaged") == c.contents);
        Machine(17, 6);
        EXPECT_TRUE(LoadBatteryFile(file.c_str())) << "the game's save replaced it";
        EXPECT_EQ(save[0], 1);
    }

    // A folder where the file should be is no file to replace: it stays,
    // and the user is told the save was not written.
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_FALSE(LoadBatteryFile(file.c_str()));
    EXPECT_NE(TakeBatteryNote().find("is a folder"), std::string::npos);
    save[0] = 1;
    EXPECT_FALSE(SaveBatteryFile(file.c_str()));
    EXPECT_NE(TakeBatteryNote().find("was not written"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(file));
}

// A damaged file that cannot be moved aside is not written over; one that
// was removed while the game ran is no obstacle.
TEST_F(BatteryFileTest, ADamagedFileIsNeverWrittenOver)
{
    const Bytes damaged{1, 2, 3};
    WriteRaw(file, damaged);
    // Every name it could be kept under is taken.
    WriteRaw(file + ".damaged", {1});
    for (int n = 1; n < 1000; ++n)
        WriteRaw(file + ".damaged." + std::to_string(n), {1});
    LoadBatteryFile(file.c_str());
    save[0] = 1;
    EXPECT_FALSE(SaveBatteryFile(file.c_str()));
    EXPECT_EQ(ReadRaw(file), damaged);

    Machine(17, 6);
    LoadBatteryFile(file.c_str());
    fs::remove(file);
    save[0] = 1;
    EXPECT_TRUE(SaveBatteryFile(file.c_str()));
    EXPECT_EQ(TakeBatteryNote(), "");
    Machine(17, 6);
    EXPECT_TRUE(LoadBatteryFile(file.c_str()));
    EXPECT_EQ(save[0], 1);
}

TEST_F(BatteryFileTest, AWriteFailingHalfWayKeepsTheOldFile)
{
    LoadBatteryFile(file.c_str());
    save[0] = 1;
    ASSERT_TRUE(SaveBatteryFile(file.c_str()));
    const Bytes old = ReadRaw(file);
    // Noise makes a file larger than the limit.
    std::mt19937 random(1);
    for (uint8_t &b : save)
        b = uint8_t(random());
    EXPECT_EQ(Tavrin::Test::ResultUnderFileSizeLimit(8192, [&] { return SaveBatteryFile(file.c_str()); }), 0)
        << "the failed write was reported as success";
    EXPECT_EQ(ReadRaw(file), old);
    EXPECT_EQ(Zorvan::RemoveLeftTemporaries(dir.string()), 0u);
}

// A full disk and a file that is no save: the file stays under the save's
// name and nowhere else, and the user is told that it is as it was.
TEST_F(BatteryFileTest, AFullDiskLeavesAFileThatWasNoSaveWhereItWas)
{
    const Bytes damaged{1, 2, 3};
    WriteRaw(file, damaged);
    EXPECT_FALSE(LoadBatteryFile(file.c_str()));
    TakeBatteryNote();
    std::mt19937 random(2);
    for (uint8_t &b : save)
        b = uint8_t(random());
    const int wrong = Tavrin::Test::ResultUnderFileSizeLimit(8192, [&] {
        const int result = SaveBatteryFile(file.c_str());
        const std::string note = TakeBatteryNote();
        return result != 0 || note.find("the file there is as it was") == std::string::npos ||
               note.find("moved aside") != std::string::npos;
    });
    EXPECT_EQ(wrong, 0) << "the save was told as written, or the file as moved";
    EXPECT_EQ(ReadRaw(file), damaged);
    EXPECT_FALSE(fs::exists(file + ".damaged"));
}

TEST_F(BatteryFileTest, AReadOnlyFolderKeepsTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    LoadBatteryFile(file.c_str());
    save[0] = 1;
    ASSERT_TRUE(SaveBatteryFile(file.c_str()));
    const Bytes old = ReadRaw(file);
    save[0] = 2;
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(SaveBatteryFile(file.c_str()));
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(ReadRaw(file), old);
    EXPECT_EQ(Zorvan::RemoveLeftTemporaries(dir.string()), 0u);
}

} // namespace
} // namespace Tavrin::Test
