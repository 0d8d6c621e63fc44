// Start-up on every kind of image, the start state, and shutdown.
#include "modules/tavrin/testing/MachineFixture.h"

#include "common/zorvan/Console.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/cart/Flash.h"
#include "modules/tavrin/cart/Rtc.h"
#include "modules/tavrin/machine/CartridgeImage.h"
#include "modules/tavrin/machine/TrackedAlloc.h"
#include "tools/testsupport/TestZip.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

namespace Tavrin::Test {
namespace {

std::string AsText(const std::vector<uint8_t> &bytes) { return std::string(bytes.begin(), bytes.end()); }

std::vector<uint8_t> FileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Gzipped(const std::vector<uint8_t> &bytes, const std::string &path)
{
    gzFile out = gzopen(path.c_str(), "wb");
    gzwrite(out, bytes.data(), unsigned(bytes.size()));
    gzclose(out);
    return FileBytes(path);
}

uint32_t CartWord(uint32_t address) { return HostWord(ReadPageTable[address >> PageShift] + (address & 0x3FFC)); }

class MachineStartTest : public ::testing::Test {
protected:
    void SetUp() override { clearConsole(); }
    // Starts with the console lines on; a failed start must leave nothing.
    bool Start(const std::string &path, MachineHarness::Options options = {})
    {
        options.logFlags = 1;
        const bool started = machine.Start(path, options);
        if (!started) {
            EXPECT_EQ(TrackedCount(), 0u) << "a failed start frees every block";
            EXPECT_EQ(ReadPageTable[0x08000000 >> PageShift], DummyPage) << "nothing half-read is mapped";
            EXPECT_EQ(MachineBlocks.cart, nullptr);
        }
        return started;
    }
    std::string Console() const { return getConsole(); }

    TestFolder folder;
    MachineHarness machine;
};

TEST_F(MachineStartTest, SmallImageFillsOnePageWithZeros)
{
    ASSERT_TRUE(Start(folder.Write("small.gba", SpinningImage(5 * 1024))));
    EXPECT_EQ(MachineBlocks.cartSize, PageSize);
    EXPECT_EQ(CartWord(0x08000400), 0x100u);
    EXPECT_EQ(CartWord(0x080013FC), 0x4FFu);
    EXPECT_EQ(CartWord(0x08001400), 0u);
    EXPECT_EQ(CartWord(0x08003FFC), 0u);
    EXPECT_EQ(CartWord(0x0A000400), 0x100u) << "second mirror";
    EXPECT_EQ(CartWord(0x0C000400), 0x100u) << "third mirror";
    EXPECT_NE(Console().find("Allocating 5kB..."), std::string::npos);
}

TEST_F(MachineStartTest, ImagesThatCannotStart)
{
    std::vector<uint8_t> huge(MaxImageSize + 1024 * 1024);
    const std::string bombPath = folder.Path("bomb.gba.gz");
    Gzipped(huge, bombPath);
    std::vector<uint8_t> damaged = Gzipped(SpinningImage(0x40000), folder.Path("damaged.gz"));
    for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i)
        damaged[i] ^= 0x5A;
    std::filesystem::create_directories(folder.Path("folder.gba"));
    std::vector<uint8_t> header = SpinningImage(0x4000);
    header.resize(192);
    const struct {
        std::string path;
        const char *reason;
    } cases[] = {
        {folder.Write("empty.gba", {}), "The image is too small to hold a game\n"},
        {folder.Write("one.gba", {0x2E}), "The image is too small to hold a game\n"},
        {folder.Write("header.gba", header), "The image is too small to hold a game\n"},
        {folder.Write("huge.gba", huge), "The image is larger than 32 MB\n"},
        {bombPath, "The image is larger than 32 MB\n"},
        {folder.Write("damaged.gba", damaged), "The gzip data is damaged\n"},
        {folder.Path("missing.gba"), "The file does not exist\n"},
        {folder.Path("folder.gba"), "The path names no file (a pipe, a device or a folder)\n"},
        {folder.Write("text.gba", std::vector<uint8_t>(300, 'a')), "The file is text, not a game image\n"},
    };
    for (const auto &c : cases) {
        clearConsole();
        EXPECT_FALSE(Start(c.path)) << c.path;
        EXPECT_NE(Console().find("FAILED\n" + std::string(c.reason)), std::string::npos) << Console();
        // The image is judged before the machine allocates anything.
        EXPECT_EQ(Console().find("Allocating"), std::string::npos) << Console();
    }
    // The first image longer than its header starts.
    EXPECT_TRUE(Start(folder.Write("smallest.gba", SpinningImage(196))));
}

TEST_F(MachineStartTest, GzipImageEqualsThePlainOne)
{
    const std::vector<uint8_t> plain = SpinningImage(0x6000);
    ASSERT_TRUE(Start(folder.Write("game.gba.gz", Gzipped(plain, folder.Path("tmp.gz")))));
    EXPECT_EQ(MachineBlocks.cartSize, 0x8000u);
    EXPECT_EQ(std::memcmp(MachineBlocks.cart, plain.data(), plain.size()), 0);
    // Two members, the last one short: its size, the hint the image is
    // inflated by, falls short, and the image moves to a larger block on
    // the way, its tail still zero.
    const std::vector<uint8_t> head(plain.begin(), plain.end() - 0x100), end(plain.end() - 0x100, plain.end());
    std::vector<uint8_t> members = Gzipped(head, folder.Path("head.gz"));
    const std::vector<uint8_t> last = Gzipped(end, folder.Path("end.gz"));
    members.insert(members.end(), last.begin(), last.end());
    ASSERT_TRUE(Start(folder.Write("members.gba.gz", members)));
    EXPECT_EQ(MachineBlocks.cartSize, 0x8000u);
    EXPECT_EQ(std::memcmp(MachineBlocks.cart, plain.data(), plain.size()), 0);
    EXPECT_TRUE(std::all_of(MachineBlocks.cart + plain.size(), MachineBlocks.cart + MachineBlocks.cartSize,
                            [](uint8_t b) { return b == 0; }));
    // A folder whose name holds "zip" is no archive.
    ASSERT_TRUE(Start(folder.Write("zipped/game.gba", plain)));
    EXPECT_EQ(std::memcmp(MachineBlocks.cart, plain.data(), plain.size()), 0);
}

TEST_F(MachineStartTest, ZipTakesTheFirstGbaMemberWhateverItsCase)
{
    const std::vector<uint8_t> image = SpinningImage(0x4000);
    const std::string path = folder.Path("game.ZIP");
    WriteZip(path, {{"readme.txt", "not a game"}, {"dir/GAME.GBA", AsText(image)}, {"other.gba", "x"}});
    ASSERT_TRUE(Start(path));
    EXPECT_EQ(std::memcmp(MachineBlocks.cart, image.data(), image.size()), 0);

    const std::string signed_ = folder.Path("archive.bin");
    WriteZip(signed_, {{"a.gba", AsText(image)}});
    EXPECT_TRUE(Start(signed_)) << "a zip header makes an archive whatever the name";

    // Headers that understate the member's size: the data read up to the
    // stated size fails its checksum, so the start fails rather than map a
    // part of the image.
    const std::string lying = folder.Path("lying.zip");
    WriteZip(lying, {{"game.gba", AsText(image)}});
    std::vector<uint8_t> bytes = FileBytes(lying);
    for (size_t i = 0; i + 30 < bytes.size(); ++i) {
        const bool local = bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == 3 && bytes[i + 3] == 4;
        const bool central = bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == 1 && bytes[i + 3] == 2;
        if (local || central)
            bytes[i + (local ? 22 : 24)] = 0x10, bytes[i + (local ? 23 : 25)] = 0;
    }
    EXPECT_FALSE(Start(folder.Write("lying.zip", bytes)));

    const std::string none = folder.Path("none.zip");
    WriteZip(none, {{"readme.txt", "no game here"}});
    EXPECT_FALSE(Start(none));
    EXPECT_FALSE(Start(folder.Write("broken.zip", {'P', 'K', 3, 4, 0, 0})));
}

TEST_F(MachineStartTest, BiosImageIsUsedOnlyAtItsExactSize)
{
    const std::string game = folder.Write("game.gba", SpinningImage(0x4000));
    for (size_t size : {15 * 1024, 17 * 1024}) {
        MachineHarness::Options options;
        options.biosPath = folder.Write("bios.bin", std::vector<uint8_t>(size, 0xAB));
        ASSERT_TRUE(Start(game, options));
        EXPECT_EQ(BiosLoaded & 1, 0u) << size;
        uint32_t first;
        std::memcpy(&first, MachineBlocks.bios, 4);
        EXPECT_EQ(first, BuiltInVectors[0]) << size;
        EXPECT_EQ(MachineBlocks.bios[0x100], 0x11) << "nothing of a wrong-sized image stays";
        EXPECT_EQ(ConsoleCpu.r[15], 0x08000000u);
    }
    MachineHarness::Options options;
    options.biosPath = folder.Write("bios.bin", std::vector<uint8_t>(16 * 1024, 0xAB));
    ASSERT_TRUE(Start(game, options));
    EXPECT_EQ(BiosLoaded & 1, 1u);
    EXPECT_EQ(MachineBlocks.bios[0], 0xAB);
    EXPECT_EQ(ConsoleCpu.r[15], 0u);
    EXPECT_EQ(ConsoleCpu.cpsr, 0xD3u);
}

TEST_F(MachineStartTest, StartStateWithoutBios)
{
    ASSERT_TRUE(Start(folder.Write("game.gba", SpinningImage(0x4000))));
    const ArmState &cpu = ConsoleCpu;
    EXPECT_EQ(cpu.cpsr, 0x1Fu);
    EXPECT_EQ(cpu.r[13], 0x03007F00u);
    EXPECT_EQ(cpu.r13Svc, 0x03007FE0u);
    EXPECT_EQ(cpu.r13Irq, 0x03007FA0u);
    EXPECT_EQ(cpu.r[14], 0x08000000u);
    EXPECT_EQ(cpu.r[15], 0x08000000u);
    EXPECT_EQ(cpu.sliceLength, 960);
    EXPECT_EQ(HostWord(MachineBlocks.iwram + 0x7FFC), 0x28u);
    // The vectors are seen only from code inside the BIOS area.
    EXPECT_EQ(BusRead32(0), 0xFF00FF11u);
    ConsoleCpu.r[15] = 0x100;
    EXPECT_EQ(BusRead32(0), 0xE3A0F302u);
    ConsoleCpu.r[15] = 0x08000000;

    const std::pair<uint32_t, uint32_t> registers[] = {
        {Io::DispCnt, 0x0080}, {Io::KeyInput, 0xFFFF}, {Io::SoundCntH, 0x880E}, {0x088, 0x0200},
        {0x134, 0x8000},       {0x020, 0x0100},        {0x026, 0x0100},         {0x036, 0x0100},
    };
    for (auto [offset, value] : registers)
        EXPECT_EQ(IoGet(offset), value) << std::hex << offset;
    for (uint32_t entry : {0u, 1u, 127u}) {
        EXPECT_EQ(HostHalf(MachineBlocks.oam + 8 * entry), 0x0200u);
        EXPECT_EQ(HostHalf(MachineBlocks.oam + 8 * entry + 6), entry % 2 ? 0u : 0x0100u);
    }
    EXPECT_EQ(RenderDirtyFlags, 0xFF);
    // The save devices start reset on the machine's blocks.
    EXPECT_EQ(FlashState.base, SaveRam);
    EXPECT_EQ(FlashState.bank, SaveRam);
    EXPECT_EQ(FlashState.chipId, 0xD4BFu);
    EXPECT_EQ(EepromState.data, EepromRam);
    EXPECT_EQ(EepromState.echo, DummyPage);
    EXPECT_EQ(EepromState.bits, 6u);
    EXPECT_EQ(RtcState.rom, MachineBlocks.cart + 0xC4);
}

// What one game (or a state loaded into it) left in the CPU's banks never
// reaches the next start, nor survives the console's reset.
TEST_F(MachineStartTest, BankedRegistersStartAsTheResetLeavesThem)
{
    const std::string game = folder.Write("game.gba", SpinningImage(0x4000));
    ASSERT_TRUE(Start(game));
    const ArmState fresh = ConsoleCpu;
    for (const std::function<void()> &restart :
         std::initializer_list<std::function<void()>>{[&] { ASSERT_TRUE(Start(game)); }, [] { MachineReset(); }}) {
        ArmState &cpu = ConsoleCpu;
        for (uint32_t *word : {&cpu.r13Usr, &cpu.r14Usr, &cpu.spsrSvc, &cpu.r14Svc, &cpu.spsrAbt, &cpu.r13Abt,
                               &cpu.r14Abt, &cpu.spsrIrq, &cpu.r14Irq, &cpu.spsrUnd, &cpu.r13Und, &cpu.r14Und,
                               &cpu.spsrFiq})
            *word = 0xDEAD0000;
        cpu.r13Svc = cpu.r13Irq = 0x0300DEAD;
        restart();
        EXPECT_EQ(std::memcmp(&ConsoleCpu.r13Usr, &fresh.r13Usr, offsetof(ArmState, reserved132) -
                                                                   offsetof(ArmState, r13Usr)),
                  0);
        EXPECT_EQ(ConsoleCpu.spsrIrq, 0u);
        EXPECT_EQ(ConsoleCpu.r13Abt, 0u);
        EXPECT_EQ(ConsoleCpu.r13Svc, 0x03007FE0u);
    }
}

TEST_F(MachineStartTest, ResetPutsEverySaveDeviceBack)
{
    ASSERT_TRUE(Start(folder.Write("game.gba", SpinningImage(0x4000))));
    const uint32_t portWords[2] = {CartWord(0x080000C4), CartWord(0x080000C8)};
    std::memset(SaveRam, 0x11, size_t(SaveRamSize()));
    // Flash: bank 1 selected, then ID mode over it.
    const std::pair<uint32_t, uint32_t> commands[] = {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0xB0}, {0x0000, 0x01},
                                                      {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x90}};
    for (auto [offset, byte] : commands)
        BusWrite8(0x0E000000 + offset, byte);
    ASSERT_EQ(FlashState.bank, SaveRam + 0x10000);
    ASSERT_EQ(SaveRam[0x10000], 0xBF) << "the chip ID covers the bank's first bytes";
    // EEPROM: a request begun; clock: the port enabled over the ROM bytes.
    BusWrite16(0x0D000000, 1);
    ASSERT_NE(EepromState.requestLeft, 0u);
    BusWrite16(0x080000C8, 1);
    ASSERT_NE(CartWord(0x080000C4), portWords[0]);

    MachineReset();
    EXPECT_EQ(FlashState.bank, SaveRam) << "bank 0 mapped again";
    EXPECT_EQ(FlashState.idMode, 0u);
    EXPECT_EQ(SaveRam[0x10000], 0x11) << "the bytes the ID hid are back";
    EXPECT_EQ(SaveRam[0x10001], 0x11);
    EXPECT_EQ(EepromState.requestLeft, 0u);
    EXPECT_EQ(RtcState.control, 0u);
    EXPECT_EQ(CartWord(0x080000C4), portWords[0]) << "the image's own bytes under the port";
    EXPECT_EQ(CartWord(0x080000C8), portWords[1]);
}

TEST_F(MachineStartTest, WrongHeaderComplementFailsOnlyWhenChecked)
{
    const std::string game = folder.Write("game.gba", SpinningImage(0x4000));
    MachineHarness::Options options;
    options.headerCheck = 1;
    EXPECT_FALSE(Start(game, options));
    EXPECT_NE(Console().find("CMP CHECK FAILED!\n"), std::string::npos);
    options.headerCheck = 0;
    EXPECT_TRUE(Start(game, options));
}

TEST_F(MachineStartTest, TheBatteryFileIsReadAtStartAndWrittenAtShutdown)
{
    const std::string game = folder.Write("game.gba", SpinningImage(0x4000));
    MachineHarness::Options options;
    options.saveFileName = folder.Path("game.sav");
    ASSERT_TRUE(Start(game, options));
    EXPECT_NE(Console().find("game.sav...FAILED\n"), std::string::npos) << "no file yet";
    EXPECT_EQ(SaveRam[0x10], 0xFF) << "blank memory";
    BusWrite8(0x0E000010, 0x5A);
    EepromRam[3] = 0x77;
    machine.Stop();
    const std::vector<uint8_t> written = FileBytes(options.saveFileName);
    ASSERT_FALSE(written.empty()) << "written at shutdown";

    clearConsole();
    ASSERT_TRUE(Start(game, options));
    EXPECT_NE(Console().find("game.sav...OK\n"), std::string::npos);
    EXPECT_EQ(SaveRam[0x10], 0x5A);
    EXPECT_EQ(EepromRam[3], 0x77);
    machine.Stop();

    options.saveFileName.clear();
    ASSERT_TRUE(Start(game, options));
    EXPECT_EQ(SaveRam[0x10], 0xFF) << "no file name, no battery file";
    BusWrite8(0x0E000010, 0x01);
    machine.Stop();
    EXPECT_EQ(FileBytes(folder.Path("game.sav")), written);
    size_t files = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(folder.Path("")))
        ++files;
    EXPECT_EQ(files, 2u) << "the game and its one battery file";
    EXPECT_EQ(TrackedCount(), 0u);
    EXPECT_EQ(SaveRam, nullptr);
}

TEST_F(MachineStartTest, GuessedSaveSizeGetsItsOwnBlock)
{
    // Save memory is allocated at the option's size before the header is
    // read; a cartridge naming the 128 KB flash chip gets the guess's size.
    const uint32_t exp = FlashSizeExp;
    FlashSizeExp = 16;
    std::vector<uint8_t> image = SpinningImage(0x4000);
    std::memcpy(image.data() + 0x2000, "FLASH1M_V103", 12);
    const std::string game = folder.Write("game.gba", image);
    MachineHarness::Options options;
    options.saveFileName = folder.Path("game.sav");
    ASSERT_TRUE(Start(game, options));
    EXPECT_EQ(SaveRamSize(), 0x20000u);
    // The option's block, the guess, then the guess's block.
    const std::string console = Console();
    size_t at = 0;
    for (const char *line : {"Allocating 64kB Cartridge SRAM/FlashROM...", "FlashID=0x09C2...OK\n",
                             "Allocating 128kB Cartridge SRAM/FlashROM..."}) {
        at = console.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << " in\n" << console;
    }
    SaveRam[0x1FFFF] = 1;
    SaveRam[0x20] = 3;
    EXPECT_EQ(BusRead8(0x0E000020), 3u) << "the new block is the one mapped";
    BusWrite8(0x0E000010, 2);
    EXPECT_EQ(SaveRam[0x10], 2) << "and the one the flash chip stores into";
    machine.Stop();

    ASSERT_TRUE(Start(game, options));
    EXPECT_EQ(SaveRam[0x1FFFF], 1) << "all 128 KB went to the battery file";
    EXPECT_EQ(SaveRam[0x10], 2);
    machine.Stop();
    FlashSizeExp = exp;
}

TEST(TrackedAllocTest, HoldsAtMost256Blocks)
{
    EXPECT_EQ(TrackedAlloc(0), nullptr);
    for (uint32_t i = 0; i < MaxTrackedBlocks; ++i)
        ASSERT_NE(TrackedAlloc(16), nullptr);
    EXPECT_EQ(TrackedAlloc(16), nullptr);
    FreeAllTracked();
    EXPECT_EQ(TrackedCount(), 0u);
    EXPECT_NE(TrackedAlloc(16), nullptr);
    FreeAllTracked();
}

} // namespace
} // namespace Tavrin::Test
