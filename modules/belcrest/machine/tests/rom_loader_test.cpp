// Loading images: sizes, the header retry, zip archives and the messages of
// each failure; the machine type from the file name; a clean second start.
#include "common/zorvan/Console.h"
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/testing/MachineStandIns.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "tools/testsupport/TestZip.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace Belcrest::Test {
namespace {

class RomLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetStandIns();
        VerboseFlags = 1;
        clearConsole();
    }
    void TearDown() override
    {
        MachineShutdown();
        VerboseFlags = 0;
    }
    static bool ConsoleHas(const char *text) { return std::strstr(getConsole(), text) != nullptr; }
    TempFolder folder;
};

std::string AsText(const std::vector<uint8_t> &bytes) { return std::string(bytes.begin(), bytes.end()); }

// Bytes counting up, so pages and mirrors can be told apart.
std::vector<uint8_t> Counting(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 7 + i / 251);
    return bytes;
}

TEST_F(RomLoaderTest, SizesGivePagesOrAMessage)
{
    struct Case {
        const char *name;
        size_t size;
        unsigned pages; // 0: the load fails
        uint8_t mask;
        size_t start;        // where page 0 starts in the file
        const char *refusal; // why the load fails
    };
    const char *const small = "too small to be a game image";
    const Case cases[] = {
        {"empty", 0, 0, 0, 0, small},
        {"300 bytes", 300, 0, 0, 0, small},
        {"1023 bytes", 1023, 0, 0, 0, small},
        {"1 KB", 1024, 1, 0, 0, nullptr},
        {"8 KB, mirrored", 0x2000, 1, 0, 0, nullptr},
        {"10,000 bytes", 10000, 1, 0, 0, nullptr},
        {"16,000 bytes", 16000, 1, 0, 0, nullptr},
        {"16 KB + 512-byte header", 0x4200, 1, 0, 512, nullptr},
        {"20 KB", 0x5000, 2, 1, 0, nullptr},
        {"40 KB: the last 8 KB mirrored", 0xA000, 3, 3, 0, nullptr},
        {"98 KB (100,352 bytes)", 100352, 7, 7, 0, nullptr},
        {"4 MB + 512-byte header: the largest", 0x400200, 256, 255, 512, nullptr},
        {"4 MB + 16 KB: larger than any image", 0x404000, 0, 0, 0, "larger than any game image"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetStandIns();
        VerboseFlags = 1;
        clearConsole();
        const std::vector<uint8_t> image = Counting(c.size);
        const bool started = StartWithImage(folder, image);
        EXPECT_EQ(started, c.pages != 0);
        if (!started) {
            EXPECT_TRUE(ConsoleHas(c.refusal)) << getConsole();
            MachineShutdown();
            continue;
        }
        EXPECT_EQ(RomPageCount, c.pages);
        EXPECT_EQ(RomPageMask, c.mask);
        // Every page as the file has it, a short last page padded with 0xFF
        // to 8 KB and a lone 8 KB half mirrored.
        for (unsigned p = 0; p < c.pages; ++p) {
            const size_t from = c.start + size_t(p) * RomPageSize;
            const size_t got = std::min<size_t>(RomPageSize, c.size - from);
            std::vector<uint8_t> want(image.begin() + long(from), image.begin() + long(from + got));
            want.resize(got <= 0x2000 ? 0x2000 : RomPageSize, 0xFF);
            if (want.size() == 0x2000)
                want.insert(want.end(), want.begin(), want.end());
            ASSERT_EQ(std::memcmp(RomPages[p].get(), want.data(), RomPageSize), 0) << "page " << p;
        }
        EXPECT_TRUE(ConsoleHas("pages loaded"));
        MachineShutdown();
    }
}

TEST_F(RomLoaderTest, MissingFileIsNotFound)
{
    MachineWord = MachineMasterSystem;
    EXPECT_FALSE(MachineStart((folder / "none.sms").string()));
    EXPECT_TRUE(ConsoleHas("NOT FOUND"));
}

TEST_F(RomLoaderTest, ZipArchives)
{
    const std::string page0 = AsText(MakeImage(1));
    const std::string page2 = AsText(MakeImage(2)).substr(0, RomPageSize);
    std::string other = page0;
    other[0] = 0x42;
    const std::string longName = std::string(296, 'n') + ".sms";

    struct Case {
        const char *name;
        std::vector<std::pair<std::string, std::string>> members;
        std::string chosen; // the member the engine chose, or empty
        bool loads;
        uint8_t firstByte;
        const char *message;
    };
    const Case cases[] = {
        {"first .sms member", {{"readme.txt", "hello"}, {"game.sms", page0}}, "", true, 0x00, "pages loaded"},
        {"upper-case .GG matches", {{"GAME.GG", other}}, "", true, 0x42, "pages loaded"},
        {"the engine's choice wins", {{"a.sms", page0}, {"b.sms", other}}, "b.sms", true, 0x42, "pages loaded"},
        {"a 300-byte member name", {{longName, other}}, "", true, 0x42, "pages loaded"},
        {"'.sms' inside a name is not an ending", {{"x.sms.txt", page0}}, "", false, 0, "CORRUPTED FILE"},
        {"no matching member", {{"readme.txt", "hello"}}, "", false, 0, "CORRUPTED FILE"},
        {"the chosen member is missing", {{"a.sms", page0}}, "b.sms", false, 0, "FAILED TO OPEN FIRST FILE"},
        {"a short member runs padded", {{"a.sms", "\x01short" + std::string(1100, 's')}}, "", true, 1, "pages loaded"},
        {"a text member", {{"a.sms", "short"}}, "", false, 0, "text, not a game image"},
        {"an empty member", {{"a.sms", ""}}, "", false, 0, "too small"},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetStandIns();
        VerboseFlags = 1;
        clearConsole();
        const auto path = folder / ("set" + std::to_string(n++) + ".zip");
        WriteZip(path, c.members);
        MachineWord = MachineMasterSystem;
        EXPECT_EQ(MachineStart(path.string(), c.chosen), c.loads);
        EXPECT_TRUE(ConsoleHas(c.message)) << getConsole();
        if (c.loads) {
            EXPECT_EQ(RomPages[0][0], c.firstByte);
        }
        MachineShutdown();
    }
}

// Replaces every stored CRC of the archive (local and central headers).
void SpoilCrcs(const std::filesystem::path &path)
{
    std::vector<uint8_t> bytes = ReadFile(path);
    for (size_t i = 0; i + 20 < bytes.size(); ++i) {
        if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == 3 && bytes[i + 3] == 4)
            bytes[i + 14] ^= 0x5A;
        if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == 1 && bytes[i + 3] == 2)
            bytes[i + 16] ^= 0x5A;
    }
    WriteFile(path, bytes);
}

TEST_F(RomLoaderTest, DamagedArchives)
{
    const auto crc = folder / "crc.zip";
    WriteZip(crc, {{"game.sms", AsText(MakeImage(1))}});
    SpoilCrcs(crc);
    MachineWord = MachineMasterSystem;
    EXPECT_FALSE(MachineStart(crc.string()));
    EXPECT_TRUE(ConsoleHas("CORRUPTED FILE")) << getConsole();
    MachineShutdown();

    clearConsole();
    const auto fake = folder / "fake.zip";
    WriteFile(fake, {'n', 'o', 't', ' ', 'a', ' ', 'z', 'i', 'p'});
    MachineWord = MachineMasterSystem;
    EXPECT_FALSE(MachineStart(fake.string()));
    EXPECT_TRUE(ConsoleHas("FAILED TO FIND FIRST FILE")) << getConsole();
}

TEST_F(RomLoaderTest, ZipInAFolderNameIsAPlainFile)
{
    std::filesystem::create_directories(folder / "zipped");
    const std::vector<uint8_t> image = MakeImage(2);
    WriteFile(folder / "zipped" / "game.sms", image);
    MachineWord = MachineMasterSystem;
    EXPECT_TRUE(MachineStart((folder / "zipped" / "game.sms").string()));
    EXPECT_EQ(RomPageCount, 2u);
}

TEST_F(RomLoaderTest, TypeFromTheFileName)
{
    struct Case {
        const char *path;
        uint32_t type;
    };
    const Case cases[] = {
        {"sg/game.sms", MachineMasterSystem}, // the folder name has no dot
        {"game.sg", MachineSg1000},
        {"game.SC", MachineSc3000},
        {"game.GG", MachineGameGear},
        {"game.bin", MachineMasterSystem},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        ResetStandIns();
        const auto path = folder / c.path;
        std::filesystem::create_directories(path.parent_path());
        WriteFile(path, MakeImage(2));
        MachineWord = 0;
        EXPECT_TRUE(MachineStart(path.string()));
        EXPECT_EQ(MachineType(), c.type);
        MachineShutdown();
    }
}

TEST_F(RomLoaderTest, GameGearHeaderSetsTheCountry)
{
    for (auto [header, country] : {std::pair{0x5C, MachineCountryJapan}, std::pair{0x7C, MachineCountryExport}}) {
        ResetStandIns();
        VerboseFlags = 1;
        clearConsole();
        std::vector<uint8_t> image = MakeImage(2);
        image[0x7FFF] = uint8_t(header);
        ASSERT_TRUE(StartWithImage(folder, image, MachineGameGear, "game.gg"));
        EXPECT_EQ(MachineWord & MachineCountryMask, country);
        EXPECT_TRUE(ConsoleHas("  Size:    32kB\n")) << getConsole();
        MachineShutdown();
    }
}

TEST_F(RomLoaderTest, SecondStartBeginsClean)
{
    ASSERT_TRUE(StartWithImage(folder, MakeImage(8)));
    WriteMemory(0xFFFC, 0x0C);
    WriteMemory(0xC000, 0x99);
    VdpWriteControl(0x00);
    VdpWriteControl(0x40);
    VdpWriteData(0x77);
    MachineShutdown();
    ResetStandIns();
    ASSERT_TRUE(StartWithImage(folder, MakeImage(2)));
    EXPECT_EQ(RomPageCount, 2u);
    EXPECT_EQ(RomPageMask, 1);
    EXPECT_EQ(CartRamPagesUsed, 0);
    EXPECT_EQ(CpuSpace[0xC000 + 0x123], 0);
    EXPECT_EQ(Vram[0], 0) << "VRAM starts cleared";
    EXPECT_EQ(RegionWritable[2], 0);
}

} // namespace
} // namespace Belcrest::Test
