// Starting cartridges: console text, header decoding, truncated and hostile
// images, zip archives, palettes, timing, and what each start sets afresh.
#include "modules/cindrel/machine/MapperFramework.h"
#include "modules/cindrel/testing/MachineFixture.h"

#include <algorithm>

#include <zlib.h>

namespace Cindrel::Test {
namespace {

using CartridgeStart = MachineFixture;

std::string Console() { return getConsole(); }

TEST_F(CartridgeStart, ConsoleTellsEachStep)
{
    ASSERT_TRUE(Start(IdleCartridge().Vertical()));
    EXPECT_EQ(Console(), "Allocating 64kB for CPU address space...OK\n"
                         "Allocating 16kB for Video address space...OK\n"
                         "Opening " + Path("game.nes") + "...OK\n"
                         "  2 ROM pages...OK\n"
                         "  1 VROM pages...OK\n"
                         "  Vertical Mirroring\n"
                         "Initializing Hardware and CPU:\n"
                         "  114 CPU cycles per HBlank\n"
                         "  29836 CPU cycles per VBlank\n"
                         "  261 scanlines\n"
                         "  NTSC Video\n"
                         "RUNNING ROM CODE...\n");

    CartridgeBuilder cart = IdleCartridge(2, 0).Mapper(0x42).Battery().Trainer({1, 2, 3}).FourScreen().Pal();
    ASSERT_TRUE(Start(cart, "b.nes", Path("b.sav")));
    EXPECT_EQ(Console(), "Allocating 64kB for CPU address space...OK\n"
                         "Allocating 16kB for Video address space...OK\n"
                         "Opening " + Path("b.nes") + "...OK\n"
                         "  512-byte trainer...OK\n"
                         "  2 ROM pages...OK\n"
                         "  4 Screen Buffers\n"
                         "  Battery-backed RAM\n"
                         "  Memory Mapper #66\n"
                         "Opening " + Path("b.sav") + "...FAILED\n"
                         "Initializing Hardware and CPU:\n"
                         "  114 CPU cycles per HBlank\n"
                         "  35795 CPU cycles per VBlank\n"
                         "  313 scanlines\n"
                         "  PAL Video\n"
                         "RUNNING ROM CODE...\n");
    EXPECT_EQ(CpuSpace[0x7000], 1);
    EXPECT_EQ(CpuSpace[0x7002], 3);
    EXPECT_EQ(Cartridge.mapper, 0x42);
}

TEST_F(CartridgeStart, HeaderFields)
{
    const struct {
        const char *what;
        CartridgeBuilder cart;
        int mapper, ramPages, mirroring;
        bool pal, vs, trash;
    } cases[] = {
        {"plain", IdleCartridge(), 0, 1, 0, false, false, false},
        {"RAM byte 0", IdleCartridge().RamPages(0), 0, 1, 0, false, false, false},
        {"RAM byte 2", IdleCartridge().RamPages(2), 0, 2, 0, false, false, false},
        {"RAM byte 9", IdleCartridge().RamPages(9), 0, 4, 0, false, false, false},
        {"mapper high", IdleCartridge().Mapper(0xA7).VsSystem().Pal(), 0xA7, 1, 0, true, true, false},
        {"trash", IdleCartridge().Mapper(0xA7).RamPages(3).Pal().Vertical().HeaderTail({0, 0, 'x'}), 7, 1, 1, false,
         false, true},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(Start(c.cart)) << c.what;
        EXPECT_EQ(Cartridge.mapper, c.mapper) << c.what;
        EXPECT_EQ(Cartridge.ramPages, c.ramPages) << c.what;
        EXPECT_EQ(Cartridge.mirroring, c.mirroring) << c.what;
        EXPECT_EQ(Cartridge.pal, c.pal) << c.what;
        EXPECT_EQ(Cartridge.vsSystem, c.vs) << c.what;
        EXPECT_EQ(Console().find("[Trash in the header]\n") != std::string::npos, c.trash) << c.what;
        // Pattern memory starts cleared: no header bytes in tile 0.
        EXPECT_TRUE(std::all_of(VideoSpace, VideoSpace + 0x2000, [](uint8_t b) { return b == 0; })) << c.what;
    }
}

// The NES 2.0 form: bytes 8-15 are sizes, not trash; the mapper number
// takes four more bits; work RAM and pattern RAM come from their size
// bytes (two shift counts each, added), work RAM capped at four pages.
TEST_F(CartridgeStart, Nes2HeaderFields)
{
    const struct {
        const char *what;
        CartridgeBuilder cart;
        int mapper, submapper, ramPages, patternRamPages;
        bool battery, pal;
    } cases[] = {
        {"no RAM of either kind", IdleCartridge(2, 0).Mapper(4).Nes2(0, 0, 0), 4, 0, 0, 1, false, false},
        {"8 KB work RAM, 32 KB pattern RAM", IdleCartridge(2, 0).Mapper(4).Nes2(0, 0x07, 0x09), 4, 0, 1, 4, false, false},
        {"battery-backed 8 KB", IdleCartridge(2, 1).Mapper(1).Battery().Nes2(0, 0x70, 0), 1, 0, 1, 0, true, false},
        {"8 KB and 8 KB backed", IdleCartridge(2, 1).Mapper(5).Nes2(0, 0x77, 0), 5, 0, 2, 0, false, false},
        {"battery flag with no RAM", IdleCartridge(2, 1).Mapper(1).Battery().Nes2(0, 0, 0), 1, 0, 0, 0, false, false},
        {"128 KB of work RAM", IdleCartridge(2, 1).Mapper(5).Nes2(0, 0x0B, 0), 5, 0, 4, 0, false, false},
        {"2 KB of work RAM", IdleCartridge(2, 1).Nes2(0, 0x05, 0), 0, 0, 1, 0, false, false},
        {"submapper and 12-bit number", IdleCartridge(2, 1).Mapper(0x14E).Nes2(3, 0, 0), 0x14E, 3, 0, 0, false, false},
        {"pattern ROM wins over a pattern-RAM size", IdleCartridge(2, 1).Nes2(0, 0, 0x09), 0, 0, 0, 0, false, false},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(Start(c.cart)) << c.what;
        EXPECT_TRUE(Cartridge.nes2) << c.what;
        EXPECT_EQ(Cartridge.mapper, c.mapper) << c.what;
        EXPECT_EQ(Cartridge.submapper, c.submapper) << c.what;
        EXPECT_EQ(Cartridge.ramPages, c.ramPages) << c.what;
        EXPECT_EQ(Cartridge.patternRamPages, c.patternRamPages) << c.what;
        EXPECT_EQ(Cartridge.battery, c.battery) << c.what;
        EXPECT_EQ(Cartridge.pal, c.pal) << c.what;
        EXPECT_EQ(Console().find("[Trash in the header]"), std::string::npos) << c.what;
        EXPECT_EQ(PatternRamBuffer != nullptr, c.patternRamPages > 1) << c.what;
        EXPECT_EQ(PatternRamBufferSize, c.patternRamPages > 1 ? size_t(c.patternRamPages) * 0x2000 : 0u) << c.what;
    }

    // Byte 12 bit 0 is PAL; byte 9 holds the page counts' high bits.
    std::vector<uint8_t> bytes = IdleCartridge(2, 1).Nes2(0, 0, 0).Bytes();
    bytes[12] = 1;
    WriteFile(Path("pal.nes"), std::string(bytes.begin(), bytes.end()));
    ASSERT_TRUE(StartImage(Path("pal.nes")));
    EXPECT_TRUE(Cartridge.pal);
    ASSERT_TRUE(Start(IdleCartridge(256, 0).Nes2(0, 0x07, 0)));
    EXPECT_EQ(Cartridge.romPages, 256);
    EXPECT_EQ(RomBufferSize, size_t(4) << 20);
    // The exponent form of a size describes no board here.
    bytes[9] = 0x0F;
    WriteFile(Path("exp.nes"), std::string(bytes.begin(), bytes.end()));
    EXPECT_FALSE(StartImage(Path("exp.nes")));
    EXPECT_TRUE(Console().ends_with("...INVALID IMAGE\n")) << Console();
}

// Work RAM only where the board has it: without, $6000-$7FFF reads the high
// byte of the address (as an empty bus does) and keeps nothing written.
TEST_F(CartridgeStart, WorkRamOnlyWhereTheBoardHasIt)
{
    for (int mapper : {0, 1, 4, 5, 69}) {
        ASSERT_TRUE(Start(IdleCartridge(8, 1).Mapper(mapper).Nes2(0, 0, 0))) << mapper;
        WriteMemory(0x6000, 0x12);
        WriteMemory(0x7FFF, 0x34);
        EXPECT_EQ(ReadMemory(0x6000), 0x60) << mapper;
        EXPECT_EQ(ReadMemory(0x7FFF), 0x7F) << mapper;
        MachineShutdown();
        ASSERT_TRUE(Start(IdleCartridge(8, 1).Mapper(mapper).Nes2(0, 0x07, 0))) << mapper;
        WriteMemory(0x6000, 0x12);
        WriteMemory(0x7FFF, 0x34);
        // MMC5 keeps its RAM write-protected until both keys are written.
        EXPECT_EQ(ReadMemory(0x6000), mapper == 5 ? 0 : 0x12) << mapper;
        EXPECT_EQ(ReadMemory(0x7FFF), mapper == 5 ? 0 : 0x34) << mapper;
        MachineShutdown();
    }
}

TEST_F(CartridgeStart, TruncatedImagesFailAtTheirPart)
{
    const std::vector<uint8_t> whole = IdleCartridge(2, 1).Trainer({}).Bytes();
    const size_t trainerEnd = 16 + 512, romEnd = trainerEnd + 0x8000, end = romEnd + 0x2000;
    const struct {
        size_t length;
        const char *ending;
    } cases[] = {
        {0, "...INVALID IMAGE\n"},
        {15, "...INVALID IMAGE\n"},
        {16, "  512-byte trainer...FAILED\n"},
        {trainerEnd - 1, "  512-byte trainer...FAILED\n"},
        {trainerEnd, "  2 ROM pages...FAILED\n"},
        {romEnd - 1, "  2 ROM pages...FAILED\n"},
        {romEnd, "  1 VROM pages...FAILED\n"},
        {end - 1, "  1 VROM pages...FAILED\n"},
        {end, "RUNNING ROM CODE...\n"},
        {end + 1000, "RUNNING ROM CODE...\n"}, // trailing bytes ignored
    };
    for (const auto &c : cases) {
        std::string bytes(whole.begin(), whole.end());
        bytes.resize(c.length, '\x55');
        WriteFile(Path("cut.nes"), bytes);
        const bool started = StartImage(Path("cut.nes"));
        EXPECT_EQ(started, c.length >= end) << c.length;
        const std::string console = Console();
        EXPECT_EQ(console.substr(console.size() - std::min(console.size(), std::strlen(c.ending))), c.ending)
            << c.length << ":\n" << console;
    }
}

TEST_F(CartridgeStart, RefusedImages)
{
    const struct {
        const char *what;
        std::string bytes; // empty: no file at all
        const char *ending;
    } cases[] = {
        {"missing", "", "...NOT FOUND\n"},
        {"bad magic", "NES\x1B" + std::string(40000, '\0'), "...INVALID IMAGE\n"},
        {"zero program pages", IdleCartridge(1, 1).Text().replace(4, 1, 1, '\0'), "...INVALID IMAGE\n"},
    };
    for (const auto &c : cases) {
        std::filesystem::remove(Path("x.nes"));
        if (!c.bytes.empty())
            WriteFile(Path("x.nes"), c.bytes);
        EXPECT_FALSE(StartImage(Path("x.nes"))) << c.what;
        EXPECT_TRUE(Console().ends_with(c.ending)) << c.what << ":\n" << Console();
    }
    // A start after a failed one, and after it again.
    ASSERT_TRUE(Start(IdleCartridge()));
    MachineShutdown();
    MachineShutdown();
    EXPECT_EQ(CpuSpace, nullptr);
    EXPECT_EQ(RomBuffer, nullptr);
    EXPECT_EQ(FetchMap[7], nullptr);
}

TEST_F(CartridgeStart, BuffersArePowersOfTwoWithMirrorCopies)
{
    const struct {
        int romPages, vromPages;
        size_t romSize, vromSize;
    } cases[] = {{1, 0, 0x8000, 0}, {2, 1, 0x8000, 0x2000}, {3, 3, 0x10000, 0x8000}, {8, 5, 0x20000, 0x10000}};
    for (const auto &c : cases) {
        CartridgeBuilder cart = IdleCartridge(c.romPages, c.vromPages);
        for (int p = 0; p < c.romPages; ++p)
            cart.RomAt(size_t(p) * 0x4000, {uint8_t(0x10 + p)});
        for (int p = 0; p < c.vromPages; ++p)
            cart.VromAt(size_t(p) * 0x2000, {uint8_t(0x20 + p)});
        ASSERT_TRUE(Start(cart));
        ASSERT_EQ(RomBufferSize, c.romSize);
        ASSERT_EQ(VromBufferSize, c.vromSize);
        for (size_t p = 0; p < c.romSize / 0x4000; ++p)
            EXPECT_EQ(RomBuffer[p * 0x4000], 0x10 + p % c.romPages) << c.romPages;
        for (size_t p = 0; p < c.vromSize / 0x2000; ++p)
            EXPECT_EQ(VromBuffer[p * 0x2000], 0x20 + p % c.vromPages) << c.vromPages;
        // Default mapping: first 16 KB at $8000, the last at $C000.
        EXPECT_EQ(ReadMemory(0x8000), 0x10);
        EXPECT_EQ(ReadMemory(0xC000), 0x10 + c.romPages - 1);
        // The checksum covers the loaded bytes only.
        const std::vector<uint8_t> bytes = cart.Bytes();
        EXPECT_EQ(CartridgeChecksum(), RomChecksum(bytes.data() + 16, size_t(c.romPages) * 0x4000));
        // Every bank formula stays inside, whatever the bank number.
        for (uint32_t n : {0u, 1u, 9u, 255u, 0xFFFFFFFFu}) {
            EXPECT_LE(RomBank32(n) + 0x8000, RomBuffer + RomBufferSize);
            EXPECT_LE(RomBank16(n) + 0x4000, RomBuffer + RomBufferSize);
            EXPECT_LE(RomBank8(n) + 0x2000, RomBuffer + RomBufferSize);
            if (VromBuffer) {
                EXPECT_LE(PatternBank8(n) + 0x2000, VromBuffer + VromBufferSize);
                EXPECT_LE(VromBank1(n) + 0x400, VromBuffer + VromBufferSize);
            }
        }
    }
    // On a 128 KB program ROM, 16 KB bank 9 selects bank 1.
    ASSERT_TRUE(Start(IdleCartridge(8, 0)));
    EXPECT_EQ(RomBank16(9), RomBank16(1));
}

TEST_F(CartridgeStart, UnknownMappersRunOnTheDefaultMapping)
{
    ASSERT_TRUE(Start(IdleCartridge(4, 2).Mapper(200)));
    EXPECT_NE(Console().find("  Memory Mapper #200\n  Mapper 200 is not supported; the game may not run\n"),
              std::string::npos)
        << Console();
    ASSERT_TRUE(Start(IdleCartridge(4, 2).Mapper(4)));
    EXPECT_EQ(Console().find("not supported"), std::string::npos);
    for (int mapper : {0, 200}) {
        ASSERT_TRUE(Start(IdleCartridge(4, 2).Mapper(mapper).RomAt(0x4000 * 3, {0x33})));
        EXPECT_EQ(MapperWrite, nullptr);
        EXPECT_EQ(FetchMap[4], RomBuffer);
        EXPECT_EQ(FetchMap[6], RomBuffer + 3 * 0x4000);
        EXPECT_EQ(VideoPageMap[0], VromBuffer);
        WriteMemory(0x8000, 0x01);
        WriteMemory(0xFFFF, 0x01);
        EXPECT_EQ(FetchMap[4], RomBuffer);
        EXPECT_EQ(ReadMemory(0xC000), 0x33);
    }
}

TEST_F(CartridgeStart, ZipArchives)
{
    auto marked = [](uint8_t mark) { return IdleCartridge(2, 1).RomAt(0, {mark}); };
    const std::string longName = std::string(296, 'n') + ".nes";
    WriteZip(folder_ / "order.zip", {{"readme.txt", "hello"}, {"a.NES", marked(0xA1).Text()}, {"b.nes", marked(0xB1).Text()}});
    WriteZip(folder_ / "none.zip", {{"readme.txt", "hello"}, {"game.bin", marked(0xC1).Text()}});
    WriteZip(folder_ / "long.zip", {{longName, marked(0xD1).Text()}});
    WriteZip(folder_ / "short.zip", {{"cut.nes", marked(0xE1).Text().substr(0, 1000)}});
    WriteZip(folder_ / "archive.bin", {{"z.nes", marked(0xF1).Text()}}); // zip by its signature
    std::filesystem::create_directories(folder_ / "zip.folder");
    marked(0x91).Write(folder_ / "zip.folder" / "plain.nes"); // "zip" in a folder name

    const struct {
        const char *file;
        const char *member; // the engine's choice
        int mark;           // -1: refused
        const char *ending;
    } cases[] = {
        {"order.zip", "", 0xA1, "RUNNING ROM CODE...\n"},
        {"order.zip", "b.nes", 0xB1, "RUNNING ROM CODE...\n"},
        {"order.zip", "gone.nes", 0xA1, "RUNNING ROM CODE...\n"},
        {"none.zip", "", -1, "...FAILED\n"},
        {"long.zip", "", 0xD1, "RUNNING ROM CODE...\n"},
        {"short.zip", "", -1, "  2 ROM pages...FAILED\n"},
        {"archive.bin", "", 0xF1, "RUNNING ROM CODE...\n"},
        {"zip.folder/plain.nes", "", 0x91, "RUNNING ROM CODE...\n"},
        {"missing.zip", "", -1, "...NOT FOUND\n"},
    };
    for (const auto &c : cases) {
        MachineShutdown();
        clearConsole();
        const bool started = MachineStart(Path(c.file), c.member, "") == 1;
        EXPECT_EQ(started, c.mark >= 0) << c.file << " " << c.member;
        if (started) {
            EXPECT_EQ(RomBuffer[0], c.mark) << c.file << " " << c.member;
        }
        EXPECT_TRUE(Console().ends_with(c.ending)) << c.file << ":\n" << Console();
    }
    // An encrypted member, and one whose data does not match its checksum.
    const std::string image = marked(0x81).Text();
    for (const char *name : {"locked.zip", "damaged.zip"}) {
        const bool locked = name[0] == 'l';
        zipFile zip = zipOpen(Path(name).c_str(), APPEND_STATUS_CREATE);
        ASSERT_NE(zip, nullptr);
        zip_fileinfo info{};
        const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(image.data()), uInt(image.size()));
        ASSERT_EQ(zipOpenNewFileInZip3(zip, "g.nes", &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0, -MAX_WBITS,
                                       DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, locked ? "secret" : nullptr, crc),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, image.data(), unsigned(image.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
        ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
    }
    std::string damaged = ReadFile(Path("damaged.zip"));
    const size_t data = damaged.find(image.substr(0, 64));
    ASSERT_NE(data, std::string::npos);
    damaged[data + 20000] ^= 0x40; // stored, not compressed: the image lies as it is
    WriteFile(Path("damaged.zip"), damaged);
    EXPECT_FALSE(StartImage(Path("locked.zip")));
    EXPECT_TRUE(Console().ends_with("...FAILED TO OPEN FIRST FILE\n")) << Console();
    EXPECT_FALSE(StartImage(Path("damaged.zip")));
    EXPECT_TRUE(Console().ends_with("...FAILED\n")) << Console();

    // A file named .zip that is no archive.
    WriteFile(Path("fake.zip"), IdleCartridge().Text());
    EXPECT_FALSE(StartImage(Path("fake.zip")));
    EXPECT_TRUE(Console().ends_with("...FAILED TO FIND FIRST FILE\n")) << Console();
}

TEST_F(CartridgeStart, PaletteFiles)
{
    std::string seventy;
    for (int i = 0; i < 70; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%02X %02X %02X\n", i, 255 - i, i * 3 & 255);
        seventy += line;
    }
    std::filesystem::create_directories(folder_ / "my.folder");
    const struct {
        const char *cartridge;
        const char *palette;
        std::string text;
        int loaded; // -1: no file, nothing shown
    } cases[] = {
        {"game.nes", "game.pal", seventy, 64},
        {"game.nes", "game.pal", "01 02 03\n04 05 06\nzz 07 08\n09 0A 0B\n", 2},
        {"my.folder/game", "my.folder/game.pal", "10 20 30\n", 1},
        {"plain", "plain.pal", "10 20 30", 1},
        {"long.nes", "long.pal", std::string(100000, '7') + " 1 2\n", 1},
        {"bin.nes", "bin.pal", std::string("\0\xFF\n", 3), 0},
        {"game.nes", "", "", -1},
    };
    for (const auto &c : cases) {
        std::filesystem::remove(Path("game.pal"));
        if (*c.palette)
            WriteFile(Path(c.palette), c.text);
        ResetStandIns();
        ASSERT_TRUE(Start(IdleCartridge(), c.cartridge));
        const std::string line = "Loaded " + std::to_string(c.loaded) + " colors from " + Path(c.palette) + "\n";
        if (c.loaded >= 0)
            EXPECT_NE(Console().find(line), std::string::npos) << c.palette << ":\n" << Console();
        else
            EXPECT_EQ(Console().find("Loaded"), std::string::npos);
        EXPECT_EQ(StandIns.paletteCalls, EmphasisColourCount) << "the 64 colours under each emphasis";
        if (c.loaded >= 2) {
            EXPECT_EQ(StandIns.colors[1][0], c.loaded == 64 ? 1 : 4);
        }
        // Entries past the loaded ones keep the defaults ($0012B0 is entry 2
        // unless loaded; $000000 is 13).
        EXPECT_EQ(StandIns.colors[13][0], c.loaded > 13 ? 13 : 0);
        EXPECT_EQ(StandIns.colors[63][2], c.loaded == 64 ? (63 * 3) & 255 : 0x11);
    }
}

TEST_F(CartridgeStart, EachStartSetsTimingAfresh)
{
    ASSERT_TRUE(Start(IdleCartridge().Pal()));
    EXPECT_EQ(VPeriod, 35795);
    ASSERT_TRUE(Start(IdleCartridge(), "ntsc.nes"));
    EXPECT_EQ(VPeriod, 29836);
    EXPECT_FALSE(Cartridge.pal);
    // The CPU record runs with the line period, no unknown-opcode report and
    // interrupts acknowledged when taken.
    EXPECT_EQ(Cpu.trapUnknownOpcodes, 0);
    EXPECT_EQ(Cpu.autoClear, 1);
    FrameSkip = 0;
    ASSERT_TRUE(Start(IdleCartridge(), "skip.nes"));
    EXPECT_EQ(FrameSkip, 1);
}

TEST_F(CartridgeStart, ResetKeepsStatusScrollYAndStep)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    RunFrames(2);
    PpuRegisters[2] = 0x80;
    ScrollY = 77;
    ScrollX = 12;
    WriteToggle = 2;
    SpriteRam[5] = 9;
    const int step = LineStep;
    MachineReset();
    EXPECT_EQ(PpuRegisters[2], 0x80);
    EXPECT_EQ(ScrollY, 77u);
    EXPECT_EQ(LineStep, step);
    EXPECT_EQ(ScrollX, 0u);
    EXPECT_EQ(WriteToggle, 0);
    EXPECT_EQ(SpriteRam[5], 0);
    EXPECT_EQ(PpuRegisters[1], 0); // the picture off, as at power-on
    EXPECT_EQ(Cpu.PC, 0xC000);
    EXPECT_EQ(DiskSide, 255);
}

} // namespace
} // namespace Cindrel::Test
