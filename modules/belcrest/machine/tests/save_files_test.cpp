// State and battery files: round trips, refusals that leave the game
// untouched, foreign battery files kept aside only when the game's save
// replaces them, and writes that fail without harming the old file.
#include "common/zorvan/SafeFile.h"
#include "common/zorvan/ByteStream.h"
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/belcrest/testing/MachineStandIns.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "tools/testsupport/KilledWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Belcrest::Test {
namespace {

// Everything a state load may change, to show that a refused one did not.
struct Snapshot {
    std::vector<uint8_t> ram, vdp, registers, cpu;
    std::vector<uint8_t *> pages;
    uint8_t mode, status, pagesUsed;
    bool operator==(const Snapshot &) const = default;
};

Snapshot Take()
{
    Snapshot s;
    s.ram.assign(CpuSpace.get(), CpuSpace.get() + CpuSpaceSize);
    s.vdp.assign(VdpMemory, VdpMemory + sizeof VdpMemory);
    s.registers.assign(VdpRegisters, VdpRegisters + 16);
    Zorvan::ByteWriter cpu;
    Z80WriteImage(MachineCpu, cpu);
    s.cpu = cpu.bytes();
    s.pages.assign(std::begin(Z80PageTable), std::end(Z80PageTable));
    s.mode = VdpMode;
    s.status = VdpStatus;
    s.pagesUsed = CartRamPagesUsed;
    return s;
}

ino_t InodeOf(const std::filesystem::path &path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class SaveFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ResetStandIns(); }
    void TearDown() override { MachineShutdown(); }
    void Start(uint32_t type = MachineMasterSystem, unsigned pages = 8)
    {
        BatteryFileName = (folder / "game.save").string();
        ASSERT_TRUE(StartWithImage(folder, MakeImage(pages), type, type == MachineGameGear ? "game.gg" : "game.sms"));
    }
    // A machine with something in every block.
    void Dirty()
    {
        WriteMemory(0xFFFC, 0x08);
        WriteMemory(0xFFFE, 3);
        WriteMemory(0x8123, 0x5A);
        WriteMemory(0xC456, 0xA5);
        VdpWriteRegister(7, 0x35);
        VdpWriteControl(0x10);
        VdpWriteControl(0x40);
        for (int i = 0; i < 40; ++i)
            VdpWriteData(uint8_t(i * 3));
        VdpWriteControl(0x03);
        VdpWriteControl(0xC0);
        VdpWriteData(0x2A);
        MachineCpu.AF.w = 0x1234;
        MachineCpu.PC.w = 0x0456;
    }
    TempFolder folder;
};

TEST_F(SaveFilesTest, StateSaveLoadSaveIsByteIdentical)
{
    Start();
    Dirty();
    const auto first = folder / "first.sta", second = folder / "second.sta";
    ASSERT_TRUE(SaveStateFile(first.string()));
    EXPECT_EQ(ReadFile(first).size(), StateFileSize);
    const Snapshot saved = Take();

    WriteMemory(0xC456, 0);
    VdpWriteRegister(1, 0x00);
    WriteMemory(0xFFFE, 5);
    MachineCpu.PC.w = 0;
    ASSERT_TRUE(LoadStateFile(first.string()));
    EXPECT_EQ(CpuSpace[0xC456], 0xA5);
    EXPECT_EQ(Z80PageTable[2], RomPages[3].get());
    EXPECT_EQ(VdpBackdrop, 5);
    EXPECT_EQ(Hooks.palette[3], (std::array<int, 3>{170, 170, 170})) << "palette rebuilt from colour RAM";
    ASSERT_TRUE(SaveStateFile(second.string()));
    EXPECT_EQ(ReadFile(first), ReadFile(second));
    EXPECT_EQ(Take().ram, saved.ram);
}

TEST_F(SaveFilesTest, RefusedStatesLeaveTheGameUntouched)
{
    Start();
    Dirty();
    const auto good = folder / "good.sta";
    ASSERT_TRUE(SaveStateFile(good.string()));
    const std::vector<uint8_t> valid = ReadFile(good);
    WriteMemory(0xC456, 0x11); // differs from the file
    const Snapshot before = Take();

    struct Case {
        const char *name;
        size_t offset; // where to put value (a 32-bit word for offsets >= 104)
        uint32_t value;
        int size;      // bytes of value; 0 = cut the file to offset
    };
    const Case cases[] = {
        {"empty", 0, 0, 0},
        {"header only", 16, 0, 0},
        {"one byte short", StateFileSize - 1, 0, 0},
        {"one byte long", StateFileSize, 0, 1},
        {"magic", 0, 'X', 1},
        {"version 3", 4, 3, 1},
        {"another machine type", 5, 0x03, 1},
        {"another country", 5, 0x22, 1},
        {"cartridge mark 2", 12, 2, 1},
        {"quit request pending", 16 + 40, 0xFFFE, 2},
        {"a wide vector pending", 16 + 40, 0x01FF, 2},
        {"both interrupt modes", 16 + 24, 0x06, 1},
        {"zero line period", 16 + 28, 0, 4},
        {"screen mode 5", 104 + 0 * 4, 5, 4},
        {"three cartridge RAM pages", 104 + 1 * 4, 3, 4},
        {"VRAM address $4000", 104 + 4 * 4, 0x4000, 4},
        {"colour index 32", 104 + 5 * 4, 32, 4},
        {"latch flag 2", 104 + 6 * 4, 2, 4},
        {"VRAM selected flag 2", 104 + 7 * 4, 2, 4},
        {"status above a byte", 104 + 2 * 4, 0x100, 4},
        {"another machine word", 104 + 9 * 4, MachineMasterSystem | MachineHasFm, 4},
        {"mapper above a byte", 104 + 12 * 4, 0x103, 4},
        {"writable flag 8", 104 + 16 * 4, 8, 4},
        {"line flag 2", 104 + 18 * 4, 0x102, 4},
        {"line flag without its mark", 104 + 18 * 4, 1, 4},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = valid;
        if (c.size == 0) {
            bytes.resize(c.offset);
        } else {
            if (bytes.size() < c.offset + c.size)
                bytes.resize(c.offset + c.size);
            for (int i = 0; i < c.size; ++i)
                bytes[c.offset + i] = uint8_t(c.value >> (8 * i));
        }
        const auto path = folder / ("bad" + std::to_string(n++) + ".sta");
        WriteFile(path, bytes);
        std::string reason;
        EXPECT_FALSE(LoadStateFile(path.string(), &reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_TRUE(Take() == before);
    }
    EXPECT_FALSE(LoadStateFile((folder / "missing.sta").string()));
    EXPECT_TRUE(Take() == before);
    // A named pipe is refused at once, not waited on.
    const auto pipe = folder / "pipe.sta";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    std::string reason;
    EXPECT_FALSE(LoadStateFile(pipe.string(), &reason));
    EXPECT_EQ(reason, "it is not a file (a pipe, a device or a folder)");
    EXPECT_TRUE(Take() == before);
}

// A program that scrolls by one more pixel each frame: after a load, the
// frames are those that followed the save.
TEST_F(SaveFilesTest, LoadedStateReplaysTheSameFrames)
{
    const std::vector<uint8_t> code = {
        0xF3,             // di
        0xDB, 0x7E,       // loop: in a,($7E)
        0xFE, 0xC0,       // cp 192
        0x20, 0xFA,       // jr nz,loop
        0x2A, 0x00, 0xC0, // ld hl,($C000)
        0x23,             // inc hl
        0x22, 0x00, 0xC0, // ld ($C000),hl
        0x7D,             // ld a,l
        0xD3, 0xBF,       // out ($BF),a
        0x3E, 0x88,       // ld a,$88
        0xD3, 0xBF,       // out ($BF),a: register 8
        0xDB, 0x7E,       // wait: in a,($7E)
        0xFE, 0xC0,       // cp 192
        0x28, 0xFA,       // jr z,wait
        0x18, 0xE4,       // jr loop
    };
    BatteryFileName.clear();
    ASSERT_TRUE(StartWithImage(folder, MakeImage(2, code)));
    for (unsigned i = 0; i < VramSize; ++i)
        Vram[i] = uint8_t(i * 37 + i / 97);
    for (unsigned i = 0; i < 32; ++i)
        ColourRam[i] = uint8_t(i * 2 + 1);
    VdpRefreshPalette();
    for (int f = 0; f < 5; ++f)
        MachineRunFrame();
    const auto path = folder / "replay.sta";
    ASSERT_TRUE(SaveStateFile(path.string()));
    // The 256 emulated columns of lines 0-191 (the margins keep whatever
    // earlier frames left there).
    const auto picture = [] {
        std::vector<uint32_t> out;
        for (int line = 0; line < 192; ++line) {
            const auto row = Surface.begin() + (line + 8) * VdpSurfaceWidth + 8;
            out.insert(out.end(), row, row + 256);
        }
        return out;
    };
    std::vector<std::vector<uint32_t>> frames;
    for (int f = 0; f < 10; ++f) {
        MachineRunFrame();
        frames.push_back(picture());
    }
    EXPECT_NE(frames[0], frames[1]) << "the picture moves";
    ASSERT_TRUE(LoadStateFile(path.string()));
    for (int f = 0; f < 10; ++f) {
        MachineRunFrame();
        ASSERT_EQ(picture(), frames[size_t(f)]) << "frame " << f << " after the load";
    }
}

// The line interrupt's flag is kept apart from the status byte (whose bit 6
// is the sprite overflow); states saved before kept it in that bit. Both
// load to the same machine and the same frames.
TEST_F(SaveFilesTest, LineFlagAndOverflowApartAndOlderStatesAlike)
{
    Start();
    Dirty();
    VdpWriteRegister(0, 0x14);
    VdpWriteRegister(1, 0x40);
    const auto path = folder / "flags.sta";
    const auto frame = [] {
        MachineRunFrame();
        return std::vector<uint32_t>(Surface.begin() + 8 * VdpSurfaceWidth, Surface.begin() + 200 * VdpSurfaceWidth);
    };
    struct Case {
        const char *name;
        uint8_t status, linePending;
        bool older; // written as before: no mark, the line flag in status bit 6
        uint8_t loadedStatus, loadedLine;
    };
    const Case cases[] = {
        {"overflow only", VdpStatusOverflow, 0, false, VdpStatusOverflow, 0},
        {"line flag only", 0, 1, false, 0, 1},
        {"both", VdpStatusOverflow | VdpStatusFrame, 1, false, VdpStatusOverflow | VdpStatusFrame, 1},
        {"older state, line flag", 0, 1, true, 0, 1},
        {"older state, frame flag and line flag", VdpStatusFrame, 1, true, VdpStatusFrame, 1},
        {"older state, no flag", VdpStatusCollision, 0, true, VdpStatusCollision, 0},
    };
    std::vector<uint32_t> firstFrame;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        VdpStatus = c.status;
        VdpLinePending = c.linePending;
        ASSERT_TRUE(SaveStateFile(path.string()));
        if (c.older) {
            std::vector<uint8_t> bytes = ReadFile(path);
            bytes[104 + 2 * 4] = uint8_t(c.status | (c.linePending ? 0x40 : 0));
            std::fill_n(bytes.begin() + 104 + 18 * 4, 4, uint8_t(0));
            WriteFile(path, bytes);
        }
        VdpStatus = 0;
        VdpLinePending = 0;
        ASSERT_TRUE(LoadStateFile(path.string()));
        EXPECT_EQ(VdpStatus, c.loadedStatus);
        EXPECT_EQ(VdpLinePending, c.loadedLine);
        EXPECT_EQ(MachineCpu.pendingInterrupt, c.loadedLine ? 0x00FF : Z80VectorNone);
        // The same frame follows every load: the picture does not depend on
        // how the flags were kept.
        const std::vector<uint32_t> shown = frame();
        if (firstFrame.empty())
            firstFrame = shown;
        EXPECT_TRUE(shown == firstFrame);
        ASSERT_TRUE(LoadStateFile(path.string())); // back to the saved machine for the next case
    }
}

TEST_F(SaveFilesTest, GameGearStateRefusedByAMasterSystem)
{
    Start(MachineGameGear);
    const auto path = folder / "gg.sta";
    ASSERT_TRUE(SaveStateFile(path.string()));
    MachineShutdown();
    ResetStandIns();
    Start(MachineMasterSystem);
    std::string reason;
    EXPECT_FALSE(LoadStateFile(path.string(), &reason));
    EXPECT_EQ(reason, "it was saved on another machine");
}

// Two Master System games share the header byte; the cartridge's CRC-32
// tells their states apart. A copier's header does not make another game,
// and states written before the CRC was kept load only where what they hold
// fits the cartridge (their banks within its pages).
TEST_F(SaveFilesTest, AnotherCartridgesStateIsRefusedWithItsReason)
{
    std::vector<uint8_t> game = MakeImage(4), other = game;
    other[0x5000] ^= 1;
    std::vector<uint8_t> withHeader(512, 0xEE);
    withHeader.reserve(512 + game.size()); // spares GCC 12 a false out-of-bounds warning in insert
    withHeader.insert(withHeader.end(), game.begin(), game.end());
    BatteryFileName.clear();
    ASSERT_TRUE(StartWithImage(folder, game));
    Dirty();
    const auto path = folder / "game.sta", older = folder / "older.sta";
    const auto larger = folder / "larger.sta", unmarked = folder / "unmarked.sta";
    ASSERT_TRUE(SaveStateFile(path.string()));
    std::vector<uint8_t> bytes = ReadFile(path);
    // Byte 12 cleared alone: a checksum with no mark is no older state.
    bytes[12] = 0;
    WriteFile(unmarked, bytes);
    std::fill_n(bytes.begin() + 8, 5, uint8_t(0));
    WriteFile(older, bytes);
    // An older state whose bank register (machine word 11) selects page 7:
    // the cartridge it was saved with had more than four pages.
    bytes[104 + 4 * 11] = 7;
    WriteFile(larger, bytes);

    struct Case {
        const char *name;
        const std::vector<uint8_t> &image;
        const std::filesystem::path &state;
        const char *refusal; // null: loads
    };
    const Case cases[] = {
        {"the same game", game, path, nullptr},
        {"the same game behind a copier's header", withHeader, path, nullptr},
        {"another game", other, path, "it was saved with another cartridge"},
        {"an older state on another game of the same size", other, older, nullptr},
        {"an older state of a larger cartridge", game, larger, "it was saved with a larger cartridge"},
        {"a checksum without the mark", game, unmarked, "its cartridge mark is missing"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MachineShutdown();
        ResetStandIns();
        ASSERT_TRUE(StartWithImage(folder, c.image));
        const Snapshot before = Take();
        std::string reason;
        EXPECT_EQ(LoadStateFile(c.state.string(), &reason), !c.refusal);
        if (c.refusal) {
            EXPECT_EQ(reason, c.refusal);
            EXPECT_TRUE(Take() == before);
        } else {
            EXPECT_EQ(CpuSpace[0xC456], 0xA5);
        }
    }
}

TEST_F(SaveFilesTest, LoadRebuildsInterruptsAndLinePosition)
{
    Start();
    VdpWriteRegister(1, 0x60);
    VdpStatus = VdpStatusFrame;
    const auto path = folder / "irq.sta";
    ASSERT_TRUE(SaveStateFile(path.string()));
    VdpStatus = 0;
    VdpSetIrq(0xFC);
    CurrentLine = 50;
    LineSubStep = 2;
    ASSERT_TRUE(LoadStateFile(path.string()));
    EXPECT_EQ(VdpIrqBits, 1);
    EXPECT_EQ(MachineCpu.pendingInterrupt, 0x00FF);
    EXPECT_EQ(CurrentLine, 191);
    EXPECT_EQ(LineSubStep, 0);
}

TEST_F(SaveFilesTest, BatteryRoundTrips)
{
    struct Case {
        const char *name;
        size_t fileSize;     // battery present at start, 0 = none
        uint8_t mapControl;  // $FFFC value the game writes (0: none)
        bool writes;         // the game writes $EE at $8000 once RAM is mapped
        size_t writtenSize;  // battery size after shutdown (0: none written)
    };
    const Case cases[] = {
        {"no battery, no RAM mapped", 0, 0, false, 0},
        {"no battery, page 1 mapped", 0, 0x08, true, 0x4000},
        {"no battery, page 2 mapped", 0, 0x0C, true, 0x8000},
        {"no battery, page 1 mapped and only read", 0, 0x08, false, 0},
        {"16 KB battery", 0x4000, 0, false, 0x4000},
        {"16 KB battery, written", 0x4000, 0x08, true, 0x4000},
        {"32 KB battery, a run mapping page 1 only", 0x8000, 0x08, true, 0x8000},
        {"32 KB battery, a run writing what it holds", 0x8000, 0x0C, false, 0x8000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetStandIns();
        const auto path = folder / "game.save";
        std::filesystem::remove(path);
        std::vector<uint8_t> old(c.fileSize);
        for (size_t i = 0; i < old.size(); ++i)
            old[i] = uint8_t(i * 13 + 1);
        if (c.fileSize)
            WriteFile(path, old);
        const ino_t oldInode = c.fileSize ? InodeOf(path) : 0;
        Start();
        if (c.fileSize) {
            EXPECT_EQ(std::memcmp(CpuSpace.get() + 0x4000, old.data(), old.size()), 0);
        }
        if (c.mapControl) {
            WriteMemory(0xFFFC, c.mapControl);
            // Without a change, the byte the RAM already holds.
            WriteMemory(0x8000, c.writes ? 0xEE : CpuSpace[(c.mapControl & 0x04) ? 0x8000 : 0x4000]);
        }
        EXPECT_TRUE(MachineShutdown());
        if (!c.writtenSize) {
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        const std::vector<uint8_t> saved = ReadFile(path);
        ASSERT_EQ(saved.size(), c.writtenSize);
        if (c.writes) {
            EXPECT_EQ(saved[(c.mapControl & 0x04) ? 0x4000 : 0], 0xEE);
        }
        for (size_t i = 1; i < c.fileSize; ++i)
            ASSERT_EQ(saved[i], old[i]) << i;
        // An unchanged save is not written again.
        if (c.fileSize) {
            EXPECT_EQ(InodeOf(path) == oldInode, !c.writes);
        }
        EXPECT_EQ(Zorvan::RemoveLeftTemporaries(path.parent_path().string()), 0u);
    }
}

// A file at the battery's name that is no save of ours stays as it is while
// the game runs; it is moved aside only when the game's own save replaces it.
TEST_F(SaveFilesTest, ForeignBatteryStaysUntilTheGamesSaveReplacesIt)
{
    const bool superuser = geteuid() == 0;
    for (size_t size : {size_t(0), size_t(1000), size_t(0x4001), size_t(0x8000 + 16)}) {
        for (bool readable : {true, false}) {
            if (!readable && superuser)
                continue; // read permission does not bind the superuser
            for (bool gameWrites : {false, true}) {
                SCOPED_TRACE(testing::Message() << size << " bytes" << (readable ? "" : ", unreadable")
                                                << (gameWrites ? ", the game writes" : ""));
                ResetStandIns();
                TempFolder own;
                const auto path = own / "game.save";
                const std::vector<uint8_t> foreign(size, 0x77);
                WriteFile(path, foreign);
                if (!readable)
                    std::filesystem::permissions(path, std::filesystem::perms::owner_write);
                BatteryFileName = path.string();
                ASSERT_TRUE(StartWithImage(own, MakeImage(2)));
                EXPECT_EQ(CpuSpace[0x4000], 0) << "cartridge RAM starts clear";
                EXPECT_EQ(CartRamPagesUsed, 0);
                EXPECT_NE(TakeBatteryNote().find(readable ? "not a save of this game" : "permission denied"),
                          std::string::npos);
                WriteMemory(0xFFFC, 0x08);
                if (gameWrites)
                    WriteMemory(0x8000, 0x12);
                EXPECT_TRUE(MachineShutdown());
                if (!gameWrites) {
                    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
                    EXPECT_EQ(ReadFile(path), foreign);
                    EXPECT_FALSE(std::filesystem::exists(path.string() + ".damaged"));
                    EXPECT_EQ(TakeBatteryNote(), "");
                    continue;
                }
                EXPECT_NE(TakeBatteryNote().find("moved aside as " + path.string() + ".damaged"), std::string::npos);
                std::filesystem::permissions(path.string() + ".damaged", std::filesystem::perms::owner_all);
                EXPECT_EQ(ReadFile(path.string() + ".damaged"), foreign);
                const std::vector<uint8_t> saved = ReadFile(path);
                ASSERT_EQ(saved.size(), 0x4000u);
                EXPECT_EQ(saved[0], 0x12);
            }
        }
    }
}

// Moving the foreign file aside fails only when it cannot be renamed: then
// the game's save is not written over it. A file removed while the game ran
// is no obstacle.
TEST_F(SaveFilesTest, ForeignBatteryIsNeverWrittenOver)
{
    const auto path = folder / "game.save";
    const std::vector<uint8_t> foreign(100, 0x77);
    WriteFile(path, foreign);
    // Every name it could be kept under is taken.
    WriteFile(path.string() + ".damaged", {1});
    for (int n = 1; n < 1000; ++n)
        WriteFile(path.string() + ".damaged." + std::to_string(n), {1});
    Start();
    WriteMemory(0xFFFC, 0x08);
    WriteMemory(0x8000, 0x12);
    EXPECT_FALSE(MachineShutdown());
    EXPECT_EQ(ReadFile(path), foreign);
    EXPECT_NE(TakeBatteryNote().find("could not be kept aside"), std::string::npos);

    ResetStandIns();
    Start();
    std::filesystem::remove(path);
    WriteMemory(0xFFFC, 0x08);
    WriteMemory(0x8000, 0x12);
    EXPECT_TRUE(MachineShutdown());
    EXPECT_EQ(ReadFile(path).size(), 0x4000u);
    EXPECT_EQ(TakeBatteryNote(), "");
}

TEST_F(SaveFilesTest, StateLoadKeepsTheBatterysPages)
{
    WriteFile(folder / "game.save", std::vector<uint8_t>(0x8000, 0x33));
    Start();
    CartRamPagesUsed = 0; // as a state saved before RAM was mapped says
    const auto path = folder / "early.sta";
    ASSERT_TRUE(SaveStateFile(path.string()));
    ASSERT_TRUE(LoadStateFile(path.string()));
    EXPECT_EQ(CartRamPagesUsed, 2);
}

// A write that fails part way (a file-size limit, in a child process) keeps
// the old file byte for byte and leaves no temporary file.
TEST_F(SaveFilesTest, FailedWritesKeepTheOldFile)
{
    Start();
    Dirty();
    const auto state = folder / "slot.sta", battery = folder / "game.save";
    const std::vector<uint8_t> oldState(5000, 0x42), oldBattery(0x4000, 0x24);
    WriteFile(state, oldState);
    WriteFile(battery, oldBattery);
    CartRamPagesUsed = 2;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool stateWritten = SaveStateFile(state.string());
        const bool batteryWritten = MachineShutdown();
        _exit(!stateWritten && !batteryWritten ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writes reported success";
    EXPECT_EQ(ReadFile(state), oldState);
    EXPECT_EQ(ReadFile(battery), oldBattery);
    EXPECT_EQ(Zorvan::RemoveLeftTemporaries(state.parent_path().string()), 0u);
}

// The state and battery writers killed at random points: each file is a
// whole one of some round (every RAM byte of one value) and the state loads;
// the start-up clearing removes the temporary files the kills left.
TEST_F(SaveFilesTest, WritersKilledAtRandomLeaveWholeFiles)
{
    Start();
    CartRamPagesUsed = 2;
    const auto state = folder / "slot.sta";
    const std::string battery = BatteryFileName;
    const auto uniform = [](const std::vector<uint8_t> &bytes, size_t from, size_t size) {
        return bytes.size() >= from + size &&
               std::all_of(bytes.begin() + from, bytes.begin() + from + size,
                           [&](uint8_t b) { return b == bytes[from]; });
    };
    QuintarTest::KillWritersAtRandom(
        12, 31,
        [&](uint32_t n) {
            std::fill(CpuSpace.get() + 0x4000, CpuSpace.get() + CpuSpaceSize, uint8_t(n));
            SaveStateFile(state.string());
            SaveBatteryFile();
        },
        [&](int) {
            const std::vector<uint8_t> saved = ReadFile(state), ram = ReadFile(battery);
            EXPECT_EQ(saved.size(), StateFileSize);
            EXPECT_TRUE(uniform(saved, 1128, 0xC000)) << "a state of two writes";
            EXPECT_EQ(ram.size(), 0x8000u);
            EXPECT_TRUE(uniform(ram, 0, ram.size())) << "a battery file of two writes";
            EXPECT_TRUE(LoadStateFile(state.string()));
            ASSERT_TRUE(SaveStateFile(state.string()));
            ASSERT_TRUE(SaveBatteryFile());
            Zorvan::RemoveLeftTemporaries(state.parent_path().string());
            for (const auto &entry : std::filesystem::directory_iterator(state.parent_path()))
                EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
        });
}

TEST_F(SaveFilesTest, ReadOnlyFolderKeepsTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: a read-only folder does not stop writes";
    Start();
    const auto ro = folder / "ro";
    std::filesystem::create_directories(ro);
    const auto state = ro / "slot.sta";
    WriteFile(state, {1, 2, 3});
    std::filesystem::permissions(ro, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(SaveStateFile(state.string()));
    std::filesystem::permissions(ro, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFile(state), (std::vector<uint8_t>{1, 2, 3}));
}

} // namespace
} // namespace Belcrest::Test
