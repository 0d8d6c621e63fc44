// The battery file: loaded at start only when it is whole, saved at shutdown
// only for a cartridge that started, never losing the old file.
#include "common/zorvan/SafeFile.h"
#include "modules/cindrel/machine/BatteryFile.h"
#include "modules/cindrel/testing/MachineFixture.h"
#include "tools/testsupport/KilledWriter.h"

#include <algorithm>

#include <unistd.h>

namespace Cindrel::Test {
namespace {

using BatteryFile = MachineFixture;

std::string Pattern(size_t length)
{
    std::string s(length, '\0');
    for (size_t i = 0; i < length; ++i)
        s[i] = char(i * 7 + 1);
    return s;
}

// A file of the RAM's size loads, and so does one with a 16-byte header in
// front of it; any other is not used at all and stays as it was until the
// game's save replaces it, when it is kept aside first. A save that loaded
// is kept as ".bak" before the game's save replaces it.
TEST_F(BatteryFile, LoadsOnlyWholeSavesAndKeepsOtherFilesAsideBeforeReplacingThem)
{
    const size_t ram = 2 * 0x2000;
    const struct {
        const char *what;
        long length; // -1: no file
        size_t skipped; // bytes in front of the RAM's
        const char *result;
    } cases[] = {
        {"missing", -1, 0, "FAILED"},
        {"empty", 0, 0, "FAILED"},
        {"one byte", 1, 0, "FAILED"},
        {"short", 100, 0, "FAILED"},
        {"one short", long(ram) - 1, 0, "FAILED"},
        {"exact", long(ram), 0, "OK"},
        {"one long", long(ram) + 1, 0, "FAILED"},
        {"a 16-byte header and the RAM", long(ram) + 16, 16, "OK"},
        {"another board's 32 KB", 0x8000, 0, "FAILED"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(Path("g.sav"));
        std::filesystem::remove(Path("g.sav.damaged"));
        std::filesystem::remove(Path("g.sav.bak"));
        const std::string file = c.length >= 0 ? Pattern(size_t(c.length)) : std::string();
        if (c.length >= 0)
            WriteFile(Path("g.sav"), file);
        ASSERT_TRUE(Start(IdleCartridge().Battery().RamPages(2), "g.nes", Path("g.sav")));
        const std::string expect = "Opening " + Path("g.sav") + "..." + c.result + "\n";
        EXPECT_NE(std::string(getConsole()).find(expect), std::string::npos) << getConsole();
        const bool whole = std::string(c.result) == "OK";
        const size_t loaded = whole ? ram : 0;
        const std::string pattern = file.substr(std::min(file.size(), c.skipped), loaded);
        EXPECT_EQ(std::memcmp(CpuSpace + 0x6000, pattern.data(), loaded), 0);
        EXPECT_EQ(std::count(CpuSpace + 0x6000 + loaded, CpuSpace + 0x6000 + ram, 0), long(ram - loaded));
        EXPECT_EQ(CpuSpace[0xA000], 0); // never past the RAM pages

        // The game leaves its RAM alone: the file stays as it was.
        MachineShutdown();
        EXPECT_EQ(std::filesystem::exists(Path("g.sav")), c.length >= 0);
        EXPECT_EQ(ReadFile(Path("g.sav")), file);
        EXPECT_FALSE(std::filesystem::exists(Path("g.sav.damaged")));

        // The game writes: its save replaces the file, kept aside first
        // when it was not a save of ours.
        ASSERT_TRUE(Start(IdleCartridge().Battery().RamPages(2), "g.nes", Path("g.sav")));
        CpuSpace[0x7FFF] ^= 0xFF;
        const std::string written(reinterpret_cast<const char *>(CpuSpace + 0x6000), ram);
        MachineShutdown();
        EXPECT_EQ(ReadFile(Path("g.sav")), written);
        const bool keptAside = c.length >= 0 && !whole;
        const std::string note = TakeBatteryNote();
        if (keptAside) {
            EXPECT_EQ(ReadFile(Path("g.sav.damaged")), file) << "the file as it was";
            EXPECT_NE(note.find("moved aside as " + Path("g.sav.damaged")), std::string::npos) << note;
        } else {
            EXPECT_FALSE(std::filesystem::exists(Path("g.sav.damaged")));
        }
        EXPECT_EQ(ReadFile(Path("g.sav.bak")), whole ? file : "");
    }
}

TEST_F(BatteryFile, SavedAtShutdownForStartedCartridgesOnly)
{
    ASSERT_TRUE(Start(IdleCartridge().Battery().RamPages(2), "g.nes", Path("g.sav")));
    CpuSpace[0x6000] = 0x12;
    CpuSpace[0x9FFF] = 0x34;
    clearConsole();
    MachineShutdown();
    EXPECT_EQ(std::string(getConsole()), "\nOpening " + Path("g.sav") + "...writing...OK\n");
    const std::string saved = ReadFile(Path("g.sav"));
    ASSERT_EQ(saved.size(), 0x4000u);
    EXPECT_EQ(saved[0], 0x12);
    EXPECT_EQ(saved[0x3FFF], 0x34);

    // A cartridge without battery writes nothing.
    ASSERT_TRUE(Start(IdleCartridge(), "n.nes", Path("n.sav")));
    MachineShutdown();
    EXPECT_FALSE(std::filesystem::exists(Path("n.sav")));

    // A truncated image must not overwrite the save with cleared RAM.
    std::string cut = IdleCartridge().Battery().RamPages(2).Text();
    cut.resize(cut.size() - 1);
    WriteFile(Path("cut.nes"), cut);
    EXPECT_FALSE(StartImage(Path("cut.nes"), Path("g.sav")));
    MachineShutdown();
    EXPECT_EQ(ReadFile(Path("g.sav")), saved);
}

TEST_F(BatteryFile, AFailedWriteKeepsTheOldFile)
{
    WriteFile(Path("g.sav"), Pattern(0x2000));
    ASSERT_TRUE(Start(IdleCartridge().Battery(), "g.nes", Path("g.sav")));
    CpuSpace[0x6000] ^= 0xFF;
    std::filesystem::create_directories(Zorvan::NextTemporaryNameOf(Path("g.sav")) + "/blocker");
    clearConsole();
    MachineShutdown();
    EXPECT_TRUE(std::string(getConsole()).ends_with("writing...FAILED\n")) << getConsole();
    EXPECT_EQ(ReadFile(Path("g.sav")), Pattern(0x2000));
}

// The save that stood there is kept as <save>.bak before the first
// replacement; when that cannot be done (the name is taken by a folder),
// the save is not written either, the old one stays whole and no
// temporary name is left behind.
TEST_F(BatteryFile, ASaveWhoseBackupCannotBeMadeIsNotReplaced)
{
    WriteFile(Path("g.sav"), Pattern(0x2000));
    std::filesystem::create_directories(Path("g.sav.bak") + "/blocker");
    ASSERT_TRUE(Start(IdleCartridge().Battery(), "g.nes", Path("g.sav")));
    CpuSpace[0x6000] ^= 0xFF;
    EXPECT_FALSE(SaveBatteryFile(Path("g.sav")));
    EXPECT_NE(TakeBatteryNote().find("could not first be kept as " + Path("g.sav") + ".bak"), std::string::npos);
    EXPECT_EQ(ReadFile(Path("g.sav")), Pattern(0x2000));
    for (const auto &entry : std::filesystem::directory_iterator(Path("")))
        EXPECT_FALSE(entry.path().string().ends_with(".tmp")) << entry.path();
    MachineShutdown();
    EXPECT_EQ(ReadFile(Path("g.sav")), Pattern(0x2000));
}

// A file that is no save of ours and cannot be moved aside (every name it
// could take is in use) is never written over: the save says so and fails.
TEST_F(BatteryFile, AFileThatCannotBeKeptAsideIsNeverWrittenOver)
{
    WriteFile(Path("g.sav"), Pattern(100));
    WriteFile(Path("g.sav.damaged"), "x");
    for (int n = 1; n < 1000; ++n)
        WriteFile(Path("g.sav.damaged." + std::to_string(n)), "x");
    ASSERT_TRUE(Start(IdleCartridge().Battery(), "g.nes", Path("g.sav")));
    CpuSpace[0x6000] ^= 0xFF;
    clearConsole();
    EXPECT_FALSE(SaveBatteryFile(Path("g.sav")));
    EXPECT_NE(std::string(getConsole()).find("writing...FAILED"), std::string::npos) << getConsole();
    EXPECT_NE(TakeBatteryNote().find("could not be kept aside"), std::string::npos);
    EXPECT_EQ(ReadFile(Path("g.sav")), Pattern(100));
    MachineShutdown();
    EXPECT_EQ(ReadFile(Path("g.sav")), Pattern(100));
}

// A file at the battery's name that the start could not read (no read
// permission) is no less the user's: the game's save keeps it aside before
// replacing it. A link that leads nowhere (or to itself) is left alone.
TEST_F(BatteryFile, AFileThatCouldNotBeReadIsKeptAsideBeforeTheSave)
{
    const struct {
        const char *what;
        bool byPermission; // read permission does not bind the superuser
        void (*make)(const std::string &path);
        bool keptAside;
    } cases[] = {
        {"unreadable", true,
         [](const std::string &path) {
             WriteFile(path, Pattern(0x2000));
             std::filesystem::permissions(path, std::filesystem::perms::owner_write);
         },
         true},
        {"a link to itself", false, [](const std::string &path) { std::filesystem::create_symlink("g.sav", path); },
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.byPermission && geteuid() == 0)
            continue;
        std::filesystem::remove(Path("g.sav"));
        std::filesystem::remove(Path("g.sav.damaged"));
        c.make(Path("g.sav"));
        ASSERT_TRUE(Start(IdleCartridge().Battery(), "g.nes", Path("g.sav")));
        EXPECT_NE(std::string(getConsole()).find("g.sav...FAILED"), std::string::npos) << getConsole();
        EXPECT_FALSE(TakeBatteryNote().empty()) << "told at the start";
        CpuSpace[0x6000] = 0x5A;
        EXPECT_EQ(MachineShutdown(), c.keptAside);
        EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(Path("g.sav.damaged"))), c.keptAside);
        if (!c.keptAside)
            continue;
        const std::string saved = ReadFile(Path("g.sav"));
        ASSERT_EQ(saved.size(), 0x2000u);
        EXPECT_EQ(saved[0], 0x5A);
    }
}

// RAM a loaded state changed is the game's to keep, though the program
// itself never wrote it: the shutdown saves it.
TEST_F(BatteryFile, RamChangedByALoadedStateIsSaved)
{
    ASSERT_TRUE(Start(IdleCartridge().Battery(), "g.nes", Path("g.sav")));
    std::memset(CpuSpace + 0x6000, 0x5A, 0x2000);
    ASSERT_EQ(SaveStateFile(Path("g.st")), 1);
    MachineShutdown();
    WriteFile(Path("g.sav"), Pattern(0x2000));

    ASSERT_TRUE(Start(IdleCartridge().Battery(), "g.nes", Path("g.sav")));
    ASSERT_EQ(LoadStateFile(Path("g.st")), 1);
    MachineShutdown();
    EXPECT_EQ(ReadFile(Path("g.sav")), std::string(0x2000, 0x5A));
}

// The writer killed at random points leaves a whole file of one round (every
// byte of one value), never a mix or a cut one.
TEST_F(BatteryFile, AWriterKilledAtRandomLeavesAWholeFile)
{
    ASSERT_TRUE(Start(IdleCartridge().Battery().RamPages(4), "g.nes", Path("g.sav")));
    QuintarTest::KillWritersAtRandom(
        10, 4,
        [&](uint32_t n) {
            std::memset(CpuSpace + 0x6000, uint8_t(n), 4 * 0x2000);
            SaveBatteryFile(Path("g.sav"));
        },
        [&](int) {
            const std::string saved = ReadFile(Path("g.sav"));
            ASSERT_EQ(saved.size(), 4u * 0x2000);
            EXPECT_EQ(std::count(saved.begin(), saved.end(), saved[0]), long(saved.size()));
        });
}

} // namespace
} // namespace Cindrel::Test
