// The saved-state file: its layout, save-load-save round trips, refusals
// that leave the machine as it was, and saves that never lose the old file.
#include "common/zorvan/SafeFile.h"
#include "modules/cindrel/machine/StateFile.h"
#include "modules/cindrel/testing/MachineFixture.h"

#include <csignal>
#include <zlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Cindrel::Test {
namespace {

constexpr size_t Hw = StateHardwareAt;

uint32_t Word(const std::string &bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(bytes[at + size_t(i)]);
    return v;
}

void PutWord(std::string &bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = char(v >> (8 * i));
}

class StateFileTest : public MachineFixture {
protected:
    // A running cartridge with pattern ROM, a few frames in, its program
    // banks partly in ROM and partly in RAM, ROM at $6000.
    void StartBusyMachine()
    {
        CartridgeBuilder cart(4, 2);
        cart.Code(0xC000, {0xE6, 0x20, 0x4C, 0x00, 0xC0}).Code(0xC100, {0x40}).Vectors(0xC100, 0xC000, 0xC100);
        ASSERT_TRUE(Start(cart));
        RunFrames(3);
        FetchMap[3] = RomBuffer + 0x2000;
        FetchMap[5] = CpuSpace + 0x8000;
        VideoPageMap[2] = VromBuffer + 0x2C00;
        ScrollX = 0x45;
        ScrollY = 0x67;
        VramAddress = 0x2345;
        WriteToggle = 2;
        SpriteRam[3] = 0x99;
        MapperState.bytes[5] = 0xA5;
    }
};

TEST_F(StateFileTest, BlocksLieAtTheirOffsets)
{
    StartBusyMachine();
    Cpu.A = 0x3C;
    CpuSpace[0x0123] = 0x5E;
    VideoSpace[0x2001] = 0x6F;
    PpuRegisters[1] = 0x1E;
    SoundUnit.registers[2] = 0x7A;
    MirroringMode = 1;
    for (int bit = 0; bit < 8; ++bit)
        IoLatchAge[bit] = uint8_t(10 + bit);
    ASSERT_EQ(SaveStateFile(Path("s.st")), 1);
    const std::string f = ReadFile(Path("s.st"));
    ASSERT_EQ(f.size(), StateFileSize);
    EXPECT_EQ(f.substr(0, 5), std::string("STB\x1A\x03"));
    EXPECT_EQ(uint8_t(f[5]) | uint8_t(f[6]) << 8, CartridgeChecksum());
    EXPECT_EQ(f[7], '\0');
    const std::string rom(reinterpret_cast<const char *>(RomBuffer), RomBufferSize);
    const std::string patterns(reinterpret_cast<const char *>(VromBuffer), VromBufferSize);
    EXPECT_EQ(Word(f, 8), uint32_t(crc32(crc32(0, reinterpret_cast<const Bytef *>(rom.data()), uInt(rom.size())),
                                         reinterpret_cast<const Bytef *>(patterns.data()), uInt(patterns.size()))));
    EXPECT_EQ(f.substr(12, 4), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(uint8_t(f[StateCpuAt]), 0x3C);
    EXPECT_EQ(uint8_t(f[StateCpuSpaceAt + 0x123]), 0x5E);
    EXPECT_EQ(uint8_t(f[StateVideoSpaceAt + 0x2001]), 0x6F);
    EXPECT_EQ(uint8_t(f[StateSpriteRamAt + 3]), 0x99);
    EXPECT_EQ(uint8_t(f[StatePpuRegistersAt + 1]), 0x1E);
    EXPECT_EQ(uint8_t(f[StateSoundAt + 2]), 0x7A);
    EXPECT_EQ(uint8_t(f[StateMapperAt + 5]), 0xA5);
    const struct {
        size_t at;
        uint32_t value;
    } words[] = {
        {0, 1}, {8, 0x45}, {12, 0x67}, {16, 0x67}, {20, 0x2345}, {28, 2}, {32, 2}, {44, 255},
        {60, 0},                                          // $8000: ROM offset 0
        {64, uint32_t(-0x8000 - 1)},                      // $A000: RAM at CpuSpace $8000
        {68, uint32_t(RomBufferSize - 0x4000)},           // $C000: the last 16 KB
        {76, 0}, {84, 0x2C00},                            // pattern pages in VROM
        {76 + 4 * 8, uint32_t(-0x2000 - 1)},              // name table in VideoSpace
        {124, 0x2000}, {128, 1},                          // $6000 on ROM, marked
        {132, 0x100},                                     // the board holds no IRQ, marked
    };
    for (const auto &w : words)
        EXPECT_EQ(Word(f, Hw + w.at), w.value) << "hardware block +" << w.at;
    EXPECT_EQ(f.substr(Hw + 136, 8), std::string("\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11")) << "the latch bits' ages";
    EXPECT_EQ(f.substr(Hw + 144, 1024 - 144), std::string(1024 - 144, '\0'));
}

TEST_F(StateFileTest, SaveLoadSaveIsByteIdentical)
{
    StartBusyMachine();
    ASSERT_EQ(SaveStateFile(Path("a.st")), 1);
    const std::vector<uint8_t> saved = MachineSnapshot();
    // Move everything on.
    RunFrames(5);
    FetchMap[3] = CpuSpace + 0x6000;
    FetchMap[5] = RomBuffer;
    VideoPageMap[12] = VideoSpace;
    ScrollX = 1;
    WriteMemory(0x2001, 0x19); // grey
    ASSERT_EQ(LoadStateFile(Path("a.st")), 1);
    EXPECT_EQ(MachineSnapshot(), saved);
    EXPECT_EQ(FetchMap[3], RomBuffer + 0x2000);
    EXPECT_EQ(FetchMap[5], CpuSpace + 0x8000);
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(VideoPageMap[12 + n], VideoPageMap[8 + n]);
    ASSERT_EQ(SaveStateFile(Path("b.st")), 1);
    EXPECT_EQ(ReadFile(Path("a.st")), ReadFile(Path("b.st")));
    // The machine carries on from there.
    EXPECT_EQ(RunFrames(2), 2);
}

// The latch bits' ages travel with the state; a file from before they
// were kept has zeros there and loads with the latch freshly driven, so
// that it holds its value for the whole decay time from the load on.
TEST_F(StateFileTest, TheIoLatchsAgesTravelAndOlderFilesLoadFresh)
{
    StartBusyMachine();
    PpuRegisters[IoLatch] = 0x81;
    IoLatchAge[0] = 35;
    IoLatchAge[7] = 20;
    ASSERT_EQ(SaveStateFile(Path("a.st")), 1);
    std::string older = ReadFile(Path("a.st"));
    std::fill_n(older.begin() + Hw + 136, 8, '\0');
    WriteFile(Path("older.st"), older);
    ASSERT_EQ(LoadStateFile(Path("a.st")), 1);
    EXPECT_EQ(IoLatchAge[0], 35);
    EXPECT_EQ(IoLatchAge[7], 20);
    RunFrames(1); // the program (INC, JMP) touches no register
    EXPECT_EQ(PpuRegisters[IoLatch], 0x80) << "bit 0 was 35 frames old";
    ASSERT_EQ(LoadStateFile(Path("older.st")), 1);
    EXPECT_EQ(PpuRegisters[IoLatch], 0x81);
    RunFrames(35);
    EXPECT_EQ(PpuRegisters[IoLatch], 0x81);
    RunFrames(1);
    EXPECT_EQ(PpuRegisters[IoLatch], 0x00);
}

TEST_F(StateFileTest, AFourScreenBoardKeepsItsFourTablesThroughALoad)
{
    ASSERT_TRUE(Start(IdleCartridge().FourScreen()));
    ASSERT_EQ(SaveStateFile(Path("a.st")), 1);
    // A file whose mode (+0) and table pages (entries 8-11 from +108) say
    // one table.
    std::string f = ReadFile(Path("a.st"));
    const uint32_t first = Word(f, Hw + 108);
    for (int n = 1; n < 4; ++n)
        PutWord(f, Hw + 108 + n * 4, first);
    PutWord(f, Hw + 0, 2);
    WriteFile(Path("two.st"), f);
    ASSERT_EQ(LoadStateFile(Path("two.st")), 1);
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(VideoPageMap[8 + n], VideoSpace + 0x2000 + n * 0x400) << n;
        EXPECT_EQ(VideoPageMap[12 + n], VideoPageMap[8 + n]) << n;
    }
    EXPECT_EQ(MirroringMode, 4);
}

TEST_F(StateFileTest, UnmarkedFilesKeepCartridgeRamAtSixThousand)
{
    StartBusyMachine();
    ASSERT_EQ(SaveStateFile(Path("a.st")), 1);
    std::string f = ReadFile(Path("a.st"));
    PutWord(f, Hw + 124, 0);
    PutWord(f, Hw + 128, 0);
    WriteFile(Path("old.st"), f);
    ASSERT_EQ(LoadStateFile(Path("old.st")), 1);
    EXPECT_EQ(FetchMap[3], CpuSpace + 0x6000);
}

// The board's hold on the IRQ line outlives the CPU's taking it (the
// request byte reads none inside the handler), so the file carries it. In
// files saved before it did, a request the sound unit does not explain was
// the board counter's, on a board that has one; on others nothing holds it.
TEST_F(StateFileTest, TheBoardsHoldOnTheIrqLineTravelsWithTheState)
{
    struct Case {
        const char *what;
        int mapper;
        bool unmarked;  // as saved before the holds were kept
        uint8_t pending; // the CPU record's request byte in the file
        uint8_t sources;
        uint8_t pendingAfter;
    } const cases[] = {
        {"held, the CPU in its handler", 4, false, IntNone, IrqFromMapper, IntIrq},
        {"old file with a request", 4, true, IntIrq, IrqFromMapper, IntIrq},
        {"old file without", 4, true, IntNone, 0, IntNone},
        {"old file, a board without a counter", 0, true, IntIrq, 0, IntNone},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(c.mapper))) << c.what;
        if (!c.unmarked)
            HoldIrq(IrqFromMapper);
        Cpu.pendingInterrupt = c.pending;
        ASSERT_EQ(SaveStateFile(Path("a.st")), 1) << c.what;
        std::string f = ReadFile(Path("a.st"));
        if (c.unmarked)
            PutWord(f, Hw + 132, 0);
        WriteFile(Path("b.st"), f);
        MachineReset();
        ASSERT_EQ(LoadStateFile(Path("b.st")), 1) << c.what;
        EXPECT_EQ(IrqSources, c.sources) << c.what;
        RunFrames(1); // the idle program never clears I
        EXPECT_EQ(Cpu.pendingInterrupt, c.pendingAfter) << c.what;
        MachineShutdown();
    }
}

// A board with more pattern RAM than VideoSpace holds carries it after the
// mapper block, its pages as positions in it; a state of the same image
// saved before it had that RAM (no tail, pages in VideoSpace) loads as it
// did, and the RAM keeps what it holds.
TEST_F(StateFileTest, PatternRamOfTheBoardsOwnTravelsAfterTheMapperBlock)
{
    ASSERT_TRUE(Start(IdleCartridge(8, 0).Mapper(4).Nes2(0, 0x07, 0x09)));
    ASSERT_EQ(PatternRamBufferSize, 0x8000u);
    for (uint8_t r : {0, 1}) { // 2 KB banks from 8 KB and 12 KB in
        WriteMemory(0x8000, r);
        WriteMemory(0x8001, uint8_t(8 + 4 * r));
    }
    PatternRamBuffer[0x2005] = 0x5A;
    EXPECT_EQ(VideoPageMap[0], PatternRamBuffer + 0x2000);
    ASSERT_EQ(SaveStateFile(Path("a.st")), 1);
    std::string f = ReadFile(Path("a.st"));
    ASSERT_EQ(f.size(), StateFileSize + 0x8000);
    EXPECT_EQ(Word(f, Hw + 76), 0x2000u);
    EXPECT_EQ(uint8_t(f[StateFileSize + 0x2005]), 0x5A);
    PatternRamBuffer[0x2005] = 0;
    VideoPageMap[0] = VideoSpace;
    ASSERT_EQ(LoadStateFile(Path("a.st")), 1);
    EXPECT_EQ(PatternRamBuffer[0x2005], 0x5A);
    EXPECT_EQ(VideoPageMap[0], PatternRamBuffer + 0x2000);

    for (int page = 0; page < 8; ++page)
        PutWord(f, Hw + 76 + 4 * size_t(page), uint32_t(-1 - page * 0x400));
    f.resize(StateFileSize);
    WriteFile(Path("old.st"), f);
    PatternRamBuffer[0x2005] = 0x77;
    ASSERT_EQ(LoadStateFile(Path("old.st")), 1);
    EXPECT_EQ(VideoPageMap[0], VideoSpace);
    EXPECT_EQ(VideoPageMap[7], VideoSpace + 0x1C00);
    EXPECT_EQ(PatternRamBuffer[0x2005], 0x77);

    f.resize(StateFileSize + 0x4000);
    WriteFile(Path("cut.st"), f);
    std::string reason;
    EXPECT_EQ(LoadStateFile(Path("cut.st"), &reason), 0);
    EXPECT_EQ(reason, "wrong size");
}

TEST_F(StateFileTest, HostileFilesAreRefusedAndChangeNothing)
{
    StartBusyMachine();
    ASSERT_EQ(SaveStateFile(Path("good.st")), 1);
    const std::string good = ReadFile(Path("good.st"));
    RunFrames(1);
    const std::vector<uint8_t> before = MachineSnapshot();
    using Edit = void (*)(std::string &);
    const struct {
        const char *what;
        Edit edit;
        const char *reason = nullptr; // a part of the reason given
    } cases[] = {
        {"empty", [](std::string &f) { f.clear(); }},
        {"one short", [](std::string &f) { f.pop_back(); }},
        {"one long", [](std::string &f) { f.push_back(0); }},
        {"much longer", [](std::string &f) { f.append(100000, '\0'); }},
        {"magic", [](std::string &f) { f[0] = 'X'; }},
        {"version", [](std::string &f) { f[4] = 2; }},
        {"checksum", [](std::string &f) { f[5] ^= 1; }},
        {"CRC", [](std::string &f) { f[9] ^= 1; }},
        {"CRC mark 2", [](std::string &f) { f[12] = 2; }},
        {"pending interrupt", [](std::string &f) { f[StateCpuAt + 16] = 9; }},
        {"cycle countdown", [](std::string &f) { PutWord(f, StateCpuAt + 12, 0x40000000); }},
        {"mirroring 5", [](std::string &f) { PutWord(f, Hw + 0, 5); }},
        {"line 256", [](std::string &f) { PutWord(f, Hw + 4, 256); }},
        {"scroll X 256", [](std::string &f) { PutWord(f, Hw + 8, 256); }},
        {"address $8000", [](std::string &f) { PutWord(f, Hw + 20, 0x8000); }},
        {"toggle 3", [](std::string &f) { PutWord(f, Hw + 28, 3); }},
        {"disk position 65500", [](std::string &f) { PutWord(f, Hw + 40, 65500); }},
        {"latch 9 is 2", [](std::string &f) { PutWord(f, Hw + 48, 2); }},
        {"latch 10 high is 2", [](std::string &f) { PutWord(f, Hw + 56, 2); }},
        {"ROM page past the end", [](std::string &f) { PutWord(f, Hw + 60, 0x10000); }},
        {"ROM page not whole", [](std::string &f) { PutWord(f, Hw + 60, 0x10000 - 0x1000); }},
        {"RAM page past the end", [](std::string &f) { PutWord(f, Hw + 64, uint32_t(-0x10000 - 1)); }},
        {"RAM page not whole", [](std::string &f) { PutWord(f, Hw + 64, uint32_t(-0xF000 - 1)); }},
        {"most negative", [](std::string &f) { PutWord(f, Hw + 64, 0x80000000u); }},
        {"VROM page past the end", [](std::string &f) { PutWord(f, Hw + 76, 0x4000); }},
        {"video page not whole", [](std::string &f) { PutWord(f, Hw + 108, uint32_t(-0x3E00 - 1)); }},
        {"entry 3 past the end", [](std::string &f) { PutWord(f, Hw + 124, 0x7FFFFFFF); }},
        {"entry 3 mark 2", [](std::string &f) { PutWord(f, Hw + 128, 2); }},
        {"IRQ hold of the sound unit", [](std::string &f) { PutWord(f, Hw + 132, 0x101); }},
        {"IRQ holds unmarked", [](std::string &f) { PutWord(f, Hw + 132, 0x002); }},
        {"IRQ holds mark 2", [](std::string &f) { PutWord(f, Hw + 132, 0x200); }},
        {"IRQ held by a board without a counter", [](std::string &f) { PutWord(f, Hw + 132, 0x102); },
         "without its source"},
        {"IRQ held by a drive the board lacks", [](std::string &f) { PutWord(f, Hw + 132, 0x104); },
         "without its source"},
        {"sound block", [](std::string &f) { PutWord(f, StateSoundAt + 228, 7); }, "frame rate"},
        {"sequencer step", [](std::string &f) { f[StateSoundAt + 108] = 6; }, "step beyond its sequence"},
        {"sequencer cycle", [](std::string &f) { PutWord(f, StateSoundAt + 112, 7457); }, "cycle beyond its step"},
        {"delta bytes 4082", [](std::string &f) { f[StateSoundAt + 120] = char(4082 & 255); f[StateSoundAt + 121] = char(4082 >> 8); },
         "byte count beyond 4081"},
        // No frame rate for a running unit to divide by.
        {"sound block all zero", [](std::string &f) { f.replace(StateSoundAt, SoundUnitImageSize, SoundUnitImageSize, '\0'); }},
        {"second sound unit", [](std::string &f) { PutWord(f, StateMapperAt + 24 + 228, 7); }},
    };
    for (const auto &c : cases) {
        std::string f = good;
        c.edit(f);
        WriteFile(Path("bad.st"), f);
        clearConsole();
        std::string reason;
        EXPECT_EQ(LoadStateFile(Path("bad.st"), &reason), 0) << c.what;
        EXPECT_FALSE(reason.empty()) << c.what;
        if (c.reason) {
            EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
        }
        EXPECT_NE(std::string(getConsole()).find(reason), std::string::npos) << c.what;
        EXPECT_TRUE(MachineSnapshot() == before) << c.what;
    }
    std::string reason;
    EXPECT_EQ(LoadStateFile(Path("missing.st"), &reason), 0);
    EXPECT_EQ(LoadStateFile("", &reason), 0);
    // A named pipe is refused at once, not waited on.
    ASSERT_EQ(mkfifo(Path("pipe.st").c_str(), 0644), 0);
    EXPECT_EQ(LoadStateFile(Path("pipe.st"), &reason), 0);
    EXPECT_NE(reason.find("not a file"), std::string::npos) << reason;
    EXPECT_TRUE(MachineSnapshot() == before);
}

// Files saved while the sound unit counted its lengths in milliseconds carry
// a zero at byte 26 of its record and those counts in place of the counters.
TEST_F(StateFileTest, FilesWithTheMillisecondSoundRecordStillLoad)
{
    StartBusyMachine();
    ASSERT_EQ(SaveStateFile(Path("new.st")), 1);
    std::string f = ReadFile(Path("new.st"));
    for (size_t at : {size_t(StateSoundAt), size_t(StateMapperAt + 24)})
        f.replace(at + 26, 224 - 26, 224 - 26, '\0');
    WriteFile(Path("old.st"), f);
    RunFrames(2);
    std::string reason;
    ASSERT_EQ(LoadStateFile(Path("old.st"), &reason), 1) << reason;
    EXPECT_EQ(SoundUnit.framesPerSecond, 60);
    EXPECT_EQ(RunFrames(2), 2);
}

// The 16-bit sum lets a cartridge with two bytes swapped through; the CRC-32
// does not. States written before the CRC was kept still load where the sum
// agrees.
TEST_F(StateFileTest, AnotherCartridgeIsRefusedEvenWithTheSameSum)
{
    StartBusyMachine();
    ASSERT_EQ(SaveStateFile(Path("a.st")), 1);
    std::string older = ReadFile(Path("a.st"));
    std::fill_n(older.begin() + 8, 5, '\0');
    WriteFile(Path("older.st"), older);
    CartridgeBuilder other(4, 2);
    other.Code(0xC000, {0x20, 0xE6, 0x4C, 0x00, 0xC0}).Code(0xC100, {0x40}).Vectors(0xC100, 0xC000, 0xC100);
    ASSERT_TRUE(Start(other, "other.nes"));
    RunFrames(1);
    const auto before = MachineSnapshot();
    std::string reason;
    EXPECT_EQ(LoadStateFile(Path("a.st"), &reason), 0);
    EXPECT_EQ(reason, "another cartridge");
    EXPECT_TRUE(MachineSnapshot() == before);
    EXPECT_EQ(LoadStateFile(Path("older.st")), 1);
    // One byte more changes the sum: refused, older state or not.
    other.Code(0xC100, {0x41});
    ASSERT_TRUE(Start(other, "third.nes"));
    EXPECT_EQ(LoadStateFile(Path("older.st"), &reason), 0);
    EXPECT_EQ(reason, "another cartridge");
}

TEST_F(StateFileTest, SavesThatCannotBeMadeKeepTheOldFile)
{
    StartBusyMachine();
    WriteFile(Path("s.st"), "old");
    // A page pointer outside every buffer: refused before any file is made.
    static uint8_t elsewhere[0x2000];
    uint8_t *const kept = FetchMap[4];
    FetchMap[4] = elsewhere;
    EXPECT_EQ(SaveStateFile(Path("s.st")), 0);
    FetchMap[4] = kept;
    EXPECT_EQ(ReadFile(Path("s.st")), "old");
    // A write that fails keeps the old file and leaves no temporary one.
    const std::string blocker = Zorvan::NextTemporaryNameOf(Path("s.st"));
    std::filesystem::create_directories(blocker + "/blocker");
    EXPECT_EQ(SaveStateFile(Path("s.st")), 0);
    EXPECT_EQ(ReadFile(Path("s.st")), "old");
    std::filesystem::remove_all(blocker);
    EXPECT_EQ(SaveStateFile(""), 0);
    EXPECT_EQ(SaveStateFile(Path("s.st")), 1);
    EXPECT_EQ(Zorvan::RemoveLeftTemporaries(std::filesystem::path(Path("s.st")).parent_path().string()), 0u);
}

TEST_F(StateFileTest, AChildKilledWhileSavingLeavesTheOldOrTheNewFile)
{
    StartBusyMachine();
    ASSERT_EQ(SaveStateFile(Path("s.st")), 1);
    const std::string old = ReadFile(Path("s.st"));
    CpuSpace[0x0200] ^= 0xFF;
    ASSERT_EQ(SaveStateFile(Path("new.st")), 1);
    const std::string fresh = ReadFile(Path("new.st"));
    for (int round = 0; round < 5; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;)
                SaveStateFile(Path("s.st"));
        }
        usleep(useconds_t(2000 + round * 3000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const std::string now = ReadFile(Path("s.st"));
        EXPECT_TRUE(now == old || now == fresh) << "round " << round << ": " << now.size() << " bytes";
        Zorvan::RemoveLeftTemporaries(std::filesystem::path(Path("s.st")).parent_path().string());
    }
}

} // namespace
} // namespace Cindrel::Test
