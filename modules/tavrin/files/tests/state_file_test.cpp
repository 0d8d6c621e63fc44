// The state file: what a save and a load carry, what a load refuses, and
// that a refused or failed file changes nothing.
#include "modules/tavrin/files/StateFile.h"

#include "FileSizeLimit.h"
#include "common/zorvan/Console.h"
#include "modules/tavrin/bios/BiosCall.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/cart/Flash.h"
#include "modules/tavrin/cart/Rtc.h"
#include "modules/tavrin/files/GzipImage.h"
#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/testing/TestImage.h"
#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/Timers.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/render/RenderState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Tavrin::Test {
namespace {

using Bytes = std::vector<uint8_t>;

// Offsets of the inflated file.
constexpr size_t CpuAt = 16, FlashAt = 332, EepromAt = 352, RtcAt = 392, WordsAt = 432, IwramAt = 1456;
constexpr size_t IoAt = IwramAt + 0x8000 + 0x40000, SaveAt = 443824;

class StateFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/tavrinstateXXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        file = (dir / "game.st1").string();
        clearConsole();
    }
    void TearDown() override
    {
        machine.Stop();
        HardwareGuessOn = 1;
        fs::remove_all(dir);
    }

    // The machine on a cartridge with this complement byte and these save
    // memory sizes (no guess changes them).
    // A game of another variant differs past the header only.
    void Start(uint8_t complement = 0x5C, uint32_t flashExp = 17, uint32_t eepromExp = 6, uint8_t variant = 0)
    {
        HardwareGuessOn = 0;
        FlashSizeExp = flashExp;
        EepromSizeExp = eepromExp;
        std::vector<uint8_t> image = SpinningImage(0x4000);
        image[0xBD] = complement;
        image[0x1000] ^= variant;
        ASSERT_TRUE(machine.Start(images.Write("game.gba", image)));
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
    static Bytes Inflate(const Bytes &gz)
    {
        Bytes out;
        EXPECT_EQ(GunzipBounded(gz, 1u << 24, out), GunzipResult::Ok);
        return out;
    }
    static Bytes Gz(const Bytes &raw)
    {
        Bytes gz;
        EXPECT_TRUE(GzipBytes(raw, gz));
        return gz;
    }
    // Everything the machine holds, as the state file would carry it, plus
    // the derived words a load rebuilds.
    Bytes Snapshot()
    {
        std::string probe = (dir / "probe").string();
        EXPECT_EQ(SaveStateFile(probe.c_str()), 1);
        Bytes s = Inflate(ReadRaw(probe));
        fs::remove(probe);
        auto put = [&](const void *p, size_t n) {
            const auto *b = static_cast<const uint8_t *>(p);
            s.insert(s.end(), b, b + n);
        };
        put(WaitCycles16, sizeof WaitCycles16);
        put(WaitCycles32, sizeof WaitCycles32);
        for (uint32_t v : {BlendEva, BlendEvb, BlendEvy, BgMosaicH, BgMosaicV, ObjMosaicH, ObjMosaicV, FifoSource[0],
                           FifoSource[1], uint32_t(EepromSizeExp)})
            put(&v, 4);
        put(&RenderDirtyFlags, 1);
        for (uint32_t page = 0x0E000000 >> PageShift; page < 0x10000000 >> PageShift; page += 0x40)
            put(&ReadPageTable[page], sizeof(uint8_t *));
        return s;
    }
    bool Refused(const Bytes &gz, const char *why = nullptr)
    {
        WriteRaw(file, gz);
        clearConsole();
        bool refused = LoadStateFile(file.c_str()) == 0;
        std::string console = getConsole();
        if (refused) {
            EXPECT_EQ(std::count(console.begin(), console.end(), '\n'), 1) << console;
            if (why) {
                EXPECT_NE(console.find(why), std::string::npos) << console;
            }
        }
        return refused;
    }

    // Puts something distinctive into every part a state carries.
    static void Scribble(uint8_t seed)
    {
        const ConsoleBlocks &m = MachineBlocks;
        const std::pair<uint8_t *, size_t> blocks[] = {
            {m.ewram, EwramSize}, {m.iwram, IwramSize},          {m.palette, PaletteSize},          {m.vram, VramSize},
            {m.oam, OamSize},     {SaveRam, size_t(SaveRamSize())}, {EepromRam, size_t(EepromRamSize())},
        };
        for (auto [block, size] : blocks)
            for (size_t i = 0; i < size; ++i)
                block[i] = uint8_t(i * 7 + seed + (i >> 9));
        // Palette RAM and OAM are 1 KB, seen sixteen times in their blocks.
        RepeatFirstKilobyte(m.palette);
        RepeatFirstKilobyte(m.oam);
        uint16_t io[][2] = {{0x052, 0x0C13}, {0x054, 0x0007}, {0x04C, 0x4321}, {0x204, 0x4317}, {0x0BC, 0x1236},
                            {0x0BE, 0x0300}, {0x0C8, 0x5678}, {0x0CA, 0x0200}};
        for (auto [offset, value] : io)
            std::memcpy(m.io + offset, &value, 2);
        // The sound DMA's own address past its registers', and a FIFO
        // part played.
        FifoSource[0] = 0x02000100u + 16u * seed;
        FifoSource[1] = 0x02000200u;
        Fifo[0] = DirectFifo{};
        for (uint32_t i = 0; i < FifoBytes; ++i)
            Fifo[0].bytes[i] = uint8_t(i + seed);
        Fifo[0].head = 30;
        Fifo[0].count = 5;
        Fifo[0].playing = -3;
        ConsoleCpu.r[3] = 0x12345678u + seed;
        ConsoleCpu.r[15] = 0x08000100;
        ConsoleCpu.cpsr = 0x1F;
        ConsoleCpu.cyclesLeft = -17;
        HaltState = 1;
        const uint32_t order[4] = {0xC0000003u | 1u << 28, 0x80000002u | 2u << 28, 3u << 28, 0x04000000};
        std::memcpy(BgOrder, order, sizeof order);
        TimerPeriod[1] = 64;
        TimerCountdown[1] = 13;
        TimerCounter[1] = 0xFFF0;
        TimerReload[1] = 0x8000 + seed;
        TimerClock = SliceEndClock - uint64_t(ConsoleCpu.sliceLength) + 5 + seed;
        Bg2RefX = -1000 - seed;
        Bg3Pd = 77;
        BusWrite8(0x0E005555, 0xAA);
        BusWrite8(0x0E002AAA, 0x55);
        BusWrite8(0x0E005555, 0xB0);
        BusWrite8(0x0E000000, 1);
        EepromWriteBit(1);
        EepromWriteBit(1);
        BusWrite16(0x080000C8, 1);
        BusWrite16(0x080000C6, 7);
    }

    // Starts the machine, fills it from seed and saves it to the slot;
    // returns the file as written.
    Bytes StartAndSave(uint8_t seed)
    {
        Start();
        Scribble(seed);
        EXPECT_EQ(SaveStateFile(file.c_str()), 1);
        return ReadRaw(file);
    }

    fs::path dir;
    std::string file;
    TestFolder images;
    MachineHarness machine;
};

TEST_F(StateFileTest, ALoadPutsBackWhatTheSaveSaw)
{
    const Bytes saved = Inflate(StartAndSave(1));
    ASSERT_EQ(saved.size(), SaveAt + (1u << 17) + 512);
    EXPECT_EQ(saved[5], 0x5C);
    EXPECT_EQ(saved[FlashAt + 18], 1u) << "the flash bank as an offset";
    uint32_t lead;
    std::memcpy(&lead, saved.data() + WordsAt + 37 * 4, 4);
    EXPECT_EQ(lead, 5u + 1) << "timers 6 cycles past the slice's start";
    EXPECT_EQ(Bytes(saved.begin() + WordsAt + 58 * 4, saved.begin() + IwramAt), Bytes(1024 - 58 * 4, 0));

    // The load rebuilds the derived words from what it loaded.
    int32_t want16[16];
    SetWaitStates(0x4317);
    std::memcpy(want16, WaitCycles16, sizeof want16);
    Scribble(2);
    ResetWaitCycles();
    FlashReset(0xD4BF, SaveRam, 17, 0);
    BlendEva = BlendEvb = BlendEvy = 0;
    RenderDirtyFlags = 0;
    WaitCallPc = 5;
    ASSERT_EQ(LoadStateFile(file.c_str()), 1) << getConsole();

    std::string again = (dir / "again").string();
    ASSERT_EQ(SaveStateFile(again.c_str()), 1);
    EXPECT_EQ(Inflate(ReadRaw(again)), saved);
    EXPECT_EQ(ConsoleCpu.r[3], 0x12345679u);
    EXPECT_EQ(Bg2RefX, -1001);
    EXPECT_EQ(0, std::memcmp(want16, WaitCycles16, sizeof want16)) << "wait tables from WAITCNT";
    EXPECT_EQ(WaitCycles16[14], 9) << "WAITCNT 0x4317";
    EXPECT_EQ(BlendEva, 16u);
    EXPECT_EQ(BlendEvb, 12u);
    EXPECT_EQ(BlendEvy, 7u);
    EXPECT_EQ(BgMosaicH, 1u);
    EXPECT_EQ(ObjMosaicV, 4u);
    EXPECT_EQ(FifoSource[0], 0x02000110u) << "the DMA's own address, not its register's";
    EXPECT_EQ(Fifo[0].count, 5u);
    EXPECT_EQ(Fifo[0].head, 30u);
    EXPECT_EQ(Fifo[0].playing, -3);
    EXPECT_EQ(Fifo[0].bytes[31], 32u);
    EXPECT_EQ(RenderDirtyFlags, 0xFF);
    EXPECT_EQ(WaitCallPc, 0u);
    EXPECT_EQ(BusRead8(0x0E000000), SaveRam[0x10000]) << "bank 1 mapped again";
    EXPECT_EQ(RtcState.rom, MachineBlocks.cart + 0xC4);
    EXPECT_EQ(HostHalf(MachineBlocks.cart + 0xC6), 7u) << "the enabled port's words in the ROM";
}

// States made before the machine kept the timers' lead and the memory
// control word hold 0 in both; the load works them out.
TEST_F(StateFileTest, OlderStatesLoadWithTheWordsTheyLack)
{
    Bytes old = Inflate(StartAndSave(7));
    const uint32_t zero = 0, hblankSlice = 272;
    std::memcpy(old.data() + WordsAt + 37 * 4, &zero, 4);
    std::fill(old.begin() + WordsAt + 38 * 4, old.begin() + WordsAt + 58 * 4, 0);
    std::memcpy(old.data() + IoAt + 0x800, &zero, 4);
    std::memcpy(old.data() + CpuAt + 292, &hblankSlice, 4);
    old[IoAt + 4] |= 2; // in the horizontal blank
    WriteRaw(file, Gz(old));
    ASSERT_EQ(LoadStateFile(file.c_str()), 1) << getConsole();
    EXPECT_EQ(TimerLead(), 0u);
    EXPECT_EQ(SliceEndClock, TimerClock + 272) << "the timers describe the slice's start";
    EXPECT_EQ(LineEventClock, SliceEndClock) << "the slice ends with the blank";
    EXPECT_EQ(BusRead32(0x04000800), 0x0D000020u);
    // The sound DMA starts again from its source registers, its FIFO empty.
    EXPECT_EQ(FifoSource[0], 0x03001234u);
    EXPECT_EQ(FifoSource[1], 0x02005678u);
    EXPECT_EQ(Fifo[0].count, 0u);
    // The timer goes on from its loaded words: 13 cycles to its next count.
    EXPECT_EQ(TimerCounter[1], 0xFFF0u);
    SyncTimers(TimerClock + 13);
    EXPECT_EQ(TimerCounter[1], 0xFFF1u);
}

// States written while palette and OAM stores reached one copy of their
// 1 KB only: the game saw the first copy, and after the load every mirror
// shows it.
TEST_F(StateFileTest, OlderStatesShowTheFirstKilobyteOfPaletteAndOamEverywhere)
{
    constexpr size_t PaletteAt = 312752, OamAt = 427440;
    Bytes saved = Inflate(StartAndSave(1));
    for (size_t at : {PaletteAt, OamAt})
        for (size_t i = 0x400; i < 0x4000; ++i)
            saved[at + i] = uint8_t(i ^ 0xA5);
    WriteRaw(file, Gz(saved));
    Start();
    ASSERT_EQ(LoadStateFile(file.c_str()), 1) << getConsole();
    for (uint32_t base : {0x05000000u, 0x07000000u}) {
        for (uint32_t mirror : {0x400u, 0x3C00u, 0xFFFC00u}) {
            EXPECT_EQ(BusRead32(base + mirror + 0x3C), BusRead32(base + 0x3C)) << std::hex << base + mirror;
            EXPECT_EQ(BusRead32(base + mirror + 0x3FC), BusRead32(base + 0x3FC)) << std::hex << base + mirror;
        }
    }
    EXPECT_EQ(BusRead8(0x05000007), uint8_t(7 * 7 + 1));
}

// Another game is told by its complement byte or, where that agrees, by the
// CRC-32; states written before the CRC was kept (zeros where it is now)
// load where the byte agrees.
TEST_F(StateFileTest, StatesOfAnotherCartridgeOrSaveMemoryAreRefused)
{
    Bytes otherCart, sameComplement, smallerFlash, largerFlash;
    for (auto [complement, flashExp, variant, bytes] :
         {std::tuple{0x77, 17u, 0, &otherCart}, std::tuple{0x5C, 17u, 1, &sameComplement},
          std::tuple{0x5C, 16u, 0, &smallerFlash}, std::tuple{0x5C, 18u, 0, &largerFlash}}) {
        Start(uint8_t(complement), flashExp, 6, uint8_t(variant));
        ASSERT_EQ(SaveStateFile(file.c_str()), 1);
        *bytes = ReadRaw(file);
    }
    Start();
    Scribble(3);
    const Bytes before = Snapshot();
    EXPECT_TRUE(Refused(otherCart, "another cartridge"));
    EXPECT_TRUE(Refused(sameComplement, "another cartridge"));
    EXPECT_TRUE(Refused(smallerFlash, "flash size"));
    EXPECT_TRUE(Refused(largerFlash, "too large")) << "never inflated past the largest valid size";
    Bytes damagedMark = Inflate(sameComplement);
    damagedMark[12] = 2;
    EXPECT_TRUE(Refused(Gz(damagedMark), "header"));
    EXPECT_EQ(Snapshot(), before);

    // Byte 12 cleared alone: a checksum with no mark is no older state.
    Bytes unmarked = Inflate(sameComplement);
    unmarked[12] = 0;
    EXPECT_TRUE(Refused(Gz(unmarked), "mark is missing"));
    EXPECT_EQ(Snapshot(), before);

    Bytes older = Inflate(sameComplement);
    std::fill_n(older.begin() + 8, 5, uint8_t(0));
    WriteRaw(file, Gz(older));
    EXPECT_EQ(LoadStateFile(file.c_str()), 1) << getConsole();
}

TEST_F(StateFileTest, AStatesEepromWidthIsAdopted)
{
    Start(0x5C, 17, 14);
    EepromRam[8000] = 0x99;
    ASSERT_EQ(SaveStateFile(file.c_str()), 1);
    EXPECT_EQ(Inflate(ReadRaw(file)).size(), SaveAt + (1u << 17) + (8u << 14));
    Start();
    ASSERT_EQ(LoadStateFile(file.c_str()), 1) << getConsole();
    EXPECT_EQ(EepromSizeExp, 14u);
    EXPECT_EQ(EepromState.bits, 14u);
    EXPECT_EQ(EepromRam[8000], 0x99);
    EXPECT_EQ(EepromState.data, EepromRam);
    EXPECT_EQ(EepromState.echo, DummyPage);
}

TEST_F(StateFileTest, FieldsTheMachineCannotHoldAreRefused)
{
    const Bytes good = Inflate(StartAndSave(4));
    const Bytes before = Snapshot();
    auto put32 = [](Bytes &b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); };
    struct Case {
        const char *why;
        size_t at;
        uint32_t value;
        int width;
    } cases[] = {
        {"not a state file", 4, 4, 1},
        {"EEPROM size", 7, 10, 1},
        // The CPU image's own reader may refuse these first, as "CPU record".
        {"CPU", CpuAt + 292, 961, 4},
        {"CPU", CpuAt + 292, 0, 4},
        {"CPU", CpuAt + 296, 961, 4},
        {"CPU", CpuAt + 296, uint32_t(-(1 << 24) - 1), 4},
        {"CPU record", CpuAt + 304, 2, 1},
        {"flash record", FlashAt + 4, 8, 1},
        {"flash record", FlashAt + 5, 2, 1},
        {"flash record", FlashAt + 12, 16, 1},
        {"flash record", FlashAt + 16, 0x20000, 4},
        {"flash record", FlashAt + 16, 0x8000, 4},
        {"EEPROM record", EepromAt + 16, 14, 1},
        {"EEPROM record", EepromAt + 24, 9, 1},
        {"EEPROM record", EepromAt + 28, 0x200, 4},
        {"clock record", RtcAt + 6, 4, 1},
        {"clock record", RtcAt + 5, 16, 1},
        {"halt state", WordsAt, 3, 4},
        {"background order", WordsAt + 4, 0, 4},
        {"background order", WordsAt + 8, 0xC0000000u | 2u << 28, 4},
        {"timer period", WordsAt + 20, 3, 4},
        {"timer countdown", WordsAt + 40, 65, 4},
        {"timer countdown", WordsAt + 40, uint32_t(-1), 4},
        {"timer value", WordsAt + 56, 0x10000, 4},
        {"timer value", WordsAt + 72, 0x10000, 4},
        {"timer lead", WordsAt + 37 * 4, (1u << 24) + 1, 4},
        {"sound DMA address", WordsAt + 38 * 4, 0x10000000, 4},
        {"sound DMA address", WordsAt + 39 * 4, 0x02000002, 4},
        {"sound FIFO", WordsAt + 48 * 4, 32, 4},        // head
        {"sound FIFO", WordsAt + 57 * 4, 33u << 8, 4},  // count
        {"sound FIFO", WordsAt + 57 * 4, 1u << 24, 4},
    };
    for (const Case &c : cases) {
        Bytes bad = good;
        if (c.width == 1)
            bad[c.at] = uint8_t(c.value);
        else
            put32(bad, c.at, c.value);
        EXPECT_TRUE(Refused(Gz(bad), c.why)) << c.why << " at " << c.at;
        ASSERT_EQ(Snapshot(), before) << c.why << " at " << c.at;
    }
}

// The affine words of a state may hold any value: the line step adds them
// with wrap-around, as the renderer does, never overflowing.
TEST_F(StateFileTest, AffineWordsOfAnyValueStepByWrapping)
{
    Bytes bytes = Inflate(StartAndSave(9));
    constexpr size_t Bg2At = WordsAt + 21 * 4; // RefX, RefY, CurX, CurY, Pa, Pb, Pc, Pd
    const int32_t words[8] = {INT32_MAX, INT32_MIN, 0, 0, 0x100, INT32_MAX, 0, INT32_MIN};
    std::memcpy(bytes.data() + Bg2At, words, sizeof words);
    WriteRaw(file, Gz(bytes));
    ASSERT_EQ(LoadStateFile(file.c_str()), 1) << getConsole();
    BusWrite16(0x04000000, 0x0402); // mode 2 with background 2 shown
    ASSERT_EQ(machine.RunFrames(2), 2);
    EXPECT_EQ(uint32_t(BgCurX[0]), uint32_t(INT32_MAX) + 160u * uint32_t(INT32_MAX));
    EXPECT_EQ(uint32_t(BgCurY[0]), uint32_t(INT32_MIN) + 160u * uint32_t(INT32_MIN));
}

TEST_F(StateFileTest, ACutFileIsRefusedWithTheMachineUntouched)
{
    const Bytes gz = StartAndSave(5);
    const Bytes good = Inflate(gz);
    Scribble(6);
    const Bytes before = Snapshot();
    std::vector<size_t> cuts{0, 15, 16, CpuAt + 315, FlashAt, EepromAt, RtcAt, WordsAt, IwramAt, SaveAt,
                             good.size() - 1};
    for (size_t at = 4096; at < good.size(); at += 4096)
        cuts.push_back(at);
    for (size_t at : cuts)
        EXPECT_TRUE(Refused(Gz(Bytes(good.begin(), good.begin() + at)))) << "inflated cut at " << at;
    for (size_t at = 0; at < gz.size(); at += std::max<size_t>(1, gz.size() / 64))
        EXPECT_TRUE(Refused(Bytes(gz.begin(), gz.begin() + at))) << "compressed cut at " << at;
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_TRUE(Refused(Gz(longer), "wrong size"));
    EXPECT_EQ(Snapshot(), before);
}

// Files that never get as far as the checks of their contents: each is
// refused with its own reason and leaves the machine as it was.
TEST_F(StateFileTest, UnreadableFilesAreRefusedWithTheReason)
{
    const Bytes gz = StartAndSave(4);
    Scribble(5);
    const Bytes before = Snapshot();
    Bytes badChecksum = gz;
    badChecksum[gz.size() - 8] ^= 0xFF; // the trailer's CRC of the inflated data
    Bytes badBody = gz;
    for (size_t i = 20; i < 40; ++i)
        badBody[i] ^= 0x5A;
    const struct Case {
        const char *name;
        std::function<void()> make;
        const char *why;
    } cases[] = {
        {"missing file", [&] { fs::remove(file); }, "no such file"},
        {"a folder at the path", [&] { fs::create_directory(file); }, "not a file"},
        {"a named pipe at the path", [&] { mkfifo(file.c_str(), 0644); }, "not a file"},
        {"larger than any state", [&] { WriteRaw(file, Bytes(4u << 20, 0x1F)); }, "too large"},
        {"wrong checksum", [&] { WriteRaw(file, badChecksum); }, "damaged"},
        {"damaged compressed data", [&] { WriteRaw(file, badBody); }, "damaged"},
    };
    for (const Case &c : cases) {
        fs::remove_all(file);
        c.make();
        clearConsole();
        EXPECT_EQ(LoadStateFile(file.c_str()), 0) << c.name;
        const std::string console = getConsole();
        EXPECT_EQ(std::count(console.begin(), console.end(), '\n'), 1) << c.name << ": " << console;
        EXPECT_NE(console.find(c.why), std::string::npos) << c.name << ": " << console;
        ASSERT_EQ(Snapshot(), before) << c.name;
    }
}

TEST_F(StateFileTest, MutatedFilesLoadOrAreRefusedButNeverCrash)
{
    const Bytes gz = StartAndSave(7);
    const Bytes good = Inflate(gz);
    std::mt19937 random(15);
    int loaded = 0, refused = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes bad = round % 3 == 0 ? gz : good;
        int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) {
            // Most flips go where the checks are: the header and records.
            size_t at = round % 3 == 0 ? random() % bad.size() : random() % (random() % 2 ? IwramAt : bad.size());
            bad[at] ^= uint8_t(1u << (random() % 8));
        }
        WriteRaw(file, round % 3 == 0 ? bad : Gz(bad));
        if (LoadStateFile(file.c_str()))
            ++loaded;
        else
            ++refused;
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(loaded, 0);
}

TEST_F(StateFileTest, AFailedSaveKeepsTheSlotsFile)
{
    const Bytes old = StartAndSave(8);
    // Noise in work RAM makes a file far larger than the limit.
    std::mt19937 random(9);
    for (uint32_t i = 0; i < EwramSize; ++i)
        MachineBlocks.ewram[i] = uint8_t(random());
    EXPECT_EQ(Tavrin::Test::ResultUnderFileSizeLimit(65536, [&] { return SaveStateFile(file.c_str()); }), 0)
        << "the failed save was reported as success";
    EXPECT_EQ(ReadRaw(file), old);
    for (const auto &entry : fs::directory_iterator(fs::path(file).parent_path()))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();

    EXPECT_EQ(SaveStateFile((dir / "no" / "such" / "folder").c_str()), 0);
}

} // namespace
} // namespace Tavrin::Test
