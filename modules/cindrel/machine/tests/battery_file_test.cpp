// The battery file: loaded at start as far as it goes, saved at shutdown
// only for a cartridge that started, never losing the old file.
#include "modules/cindrel/machine/tests/MachineFixture.h"

using namespace Cindrel;
using namespace Cindrel::Test;

namespace {

using BatteryFile = MachineFixture;

std::string Pattern(size_t length)
{
    std::string s(length, '\0');
    for (size_t i = 0; i < length; ++i)
        s[i] = char(i * 7 + 1);
    return s;
}

TEST_F(BatteryFile, LoadsAsFarAsItGoes)
{
    const size_t ram = 2 * 0x2000;
    const struct {
        const char *what;
        long length; // -1: no file
        const char *result;
    } cases[] = {
        {"missing", -1, "FAILED"},
        {"empty", 0, "FAILED"},
        {"short", 100, "FAILED"},
        {"one short", long(ram) - 1, "FAILED"},
        {"exact", long(ram), "OK"},
        {"long", long(ram) + 5000, "OK"},
    };
    for (const auto &c : cases) {
        std::filesystem::remove(Path("g.sav"));
        if (c.length >= 0)
            WriteFile(Path("g.sav"), Pattern(size_t(c.length)));
        ASSERT_TRUE(Start(IdleCartridge().Battery().RamPages(2), "g.nes", Path("g.sav"))) << c.what;
        const std::string expect = "Opening " + Path("g.sav") + "..." + (c.length >= 0 ? "loading..." : "") + c.result + "\n";
        EXPECT_NE(std::string(getConsole()).find(expect), std::string::npos) << c.what << ":\n" << getConsole();
        const size_t loaded = c.length < 0 ? 0 : std::min(size_t(c.length), ram);
        const std::string pattern = Pattern(loaded);
        EXPECT_EQ(std::memcmp(CpuSpace + 0x6000, pattern.data(), loaded), 0) << c.what;
        EXPECT_EQ(std::count(CpuSpace + 0x6000 + loaded, CpuSpace + 0x6000 + ram, 0), long(ram - loaded)) << c.what;
        EXPECT_EQ(CpuSpace[0xA000], 0) << c.what; // never past the RAM pages
        MachineShutdown();
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
    std::filesystem::create_directories(Path("g.sav.tmp") + "/blocker");
    clearConsole();
    MachineShutdown();
    EXPECT_TRUE(std::string(getConsole()).ends_with("writing...FAILED\n")) << getConsole();
    EXPECT_EQ(ReadFile(Path("g.sav")), Pattern(0x2000));
}

} // namespace
