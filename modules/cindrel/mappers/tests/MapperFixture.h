// A started machine for the mapper tests: where each program and pattern
// page points, as offsets a table can name, state round trips, refused
// hostile records, and seeded runs of mutated records and random writes.
#pragma once

#include "modules/cindrel/machine/MapperFramework.h"
#include "modules/cindrel/machine/StateFile.h"
#include "modules/cindrel/testing/MachineFixture.h"

#include <array>
#include <optional>
#include <random>
#include <vector>

namespace Cindrel::Test {

// What a page holds, in bank numbers a table can name: program entries as
// 8 KB ROM banks, pattern and name-table pages as 1 KB VROM (or pattern
// RAM) banks; pages in
// the CPU or video space as 100 + their 8 KB or 1 KB index there ($6000 is
// 103, VideoSpace $1000 is 104, $2400 is 109); -1 anywhere else.
inline int Bank(const uint8_t *p, const uint8_t *rom, size_t romSize, const uint8_t *space, size_t spaceSize,
                int unit)
{
    if (rom && p >= rom && p < rom + romSize)
        return int((p - rom) / unit);
    if (p >= space && p < space + spaceSize)
        return 100 + int((p - space) / unit);
    return -1;
}

// FetchMap entries 4-7 ($8000-$FFFF) and entry 3 ($6000).
inline std::array<int, 4> ProgramBanks()
{
    std::array<int, 4> out{};
    for (int i = 0; i < 4; ++i)
        out[size_t(i)] = Bank(FetchMap[4 + i], RomBuffer, RomBufferSize, CpuSpace, CpuSpaceSize, 0x2000);
    return out;
}
inline int RamBank() { return Bank(FetchMap[3], RomBuffer, RomBufferSize, CpuSpace, CpuSpaceSize, 0x2000); }

// VideoPageMap entries 0-7, and 8-11 for the name tables; pattern RAM of
// the board's own counts as VROM does.
inline std::array<int, 8> PatternBanks()
{
    std::array<int, 8> out{};
    const uint8_t *store = VromBuffer ? VromBuffer : PatternRamBuffer;
    const size_t size = VromBuffer ? VromBufferSize : PatternRamBufferSize;
    for (int i = 0; i < 8; ++i)
        out[size_t(i)] = Bank(VideoPageMap[i], store, size, VideoSpace, VideoSpaceSize, 0x400);
    return out;
}
inline std::array<int, 4> NameTableBanks()
{
    std::array<int, 4> out{};
    for (int i = 0; i < 4; ++i)
        out[size_t(i)] = Bank(VideoPageMap[8 + i], VromBuffer, VromBufferSize, VideoSpace, VideoSpaceSize, 0x400);
    return out;
}

struct Write {
    uint16_t address;
    uint8_t value;
};
// Each write as an STA would make it, four cycles after the last.
inline void WriteAll(const std::vector<Write> &writes)
{
    for (const Write &w : writes) {
        Cpu.cyclesLeft -= 4;
        WriteMemory(w.address, w.value);
    }
}

inline std::vector<Write> Then(std::vector<Write> a, const std::vector<Write> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Hands each batch of cycles to the line handler; returns the calls (from
// 1) that raised the IRQ, acknowledging it after each.
inline std::vector<int> IrqCalls(const std::vector<int32_t> &batches)
{
    std::vector<int> out;
    for (size_t i = 0; i < batches.size(); ++i) {
        Cpu.pendingInterrupt = 0;
        MapperLine(batches[i]);
        if (Cpu.pendingInterrupt == 1)
            out.push_back(int(i) + 1);
    }
    return out;
}

// A write sequence on a fresh machine and the banks it leaves; nes2, when
// given, puts the header in the NES 2.0 form with its submapper, work-RAM
// and pattern-RAM size bytes.
struct BankCase {
    const char *name;
    int mapper;
    std::vector<Write> writes;
    std::array<int, 4> program;
    std::array<int, 8> patterns;
    std::optional<std::array<uint8_t, 3>> nes2 = std::nullopt;
};

// Five serial writes of a 5-bit value, low bit first.
inline std::vector<Write> Serial(uint16_t address, uint8_t value)
{
    std::vector<Write> out;
    for (int i = 0; i < 5; ++i)
        out.push_back({address, uint8_t((value >> i) & 1)});
    return out;
}

// The images every row's registers are hammered on: one program page with
// 8 KB of pattern RAM and no work RAM; three program and three pattern
// pages with two RAM pages; 4 MB of program ROM; pattern RAM of 32 KB with
// four RAM pages; 512 KB of pattern ROM with three RAM pages.
inline std::vector<CartridgeBuilder> HostileImages(int mapper)
{
    return {
        IdleCartridge(1, 0).Mapper(mapper).Nes2(0, 0, 0x07),
        IdleCartridge(3, 3).Mapper(mapper).RamPages(2),
        IdleCartridge(256, 1).Mapper(mapper).Nes2(0, 0x07, 0),
        IdleCartridge(8, 0).Mapper(mapper).Nes2(0, 0x09, 0x09),
        IdleCartridge(16, 64).Mapper(mapper).RamPages(3),
    };
}

class MapperFixture : public MachineFixture {
protected:
    // Starts each hostile image of the mapper in turn and runs body on it.
    template <typename Body>
    void OnHostileImages(int mapper, Body body)
    {
        for (const CartridgeBuilder &cart : HostileImages(mapper)) {
            ASSERT_TRUE(Start(cart)) << mapper;
            body();
            MachineShutdown();
        }
    }

    // Starts each case's mapper on an image of the given pages, writes
    // its sequence and compares the banks.
    template <typename Cases>
    void ExpectBankCases(const Cases &cases, int romPages, int vromPages)
    {
        for (const BankCase &c : cases) {
            CartridgeBuilder cart = IdleCartridge(romPages, vromPages).Mapper(c.mapper);
            if (c.nes2)
                cart.Nes2((*c.nes2)[0], (*c.nes2)[1], (*c.nes2)[2]);
            ASSERT_TRUE(Start(cart)) << c.name;
            WriteAll(c.writes);
            EXPECT_EQ(ProgramBanks(), c.program) << c.name;
            EXPECT_EQ(PatternBanks(), c.patterns) << c.name;
            MachineShutdown();
        }
    }

    // Saves a state, loads it and saves again: the two files must match.
    void ExpectSaveLoadSave()
    {
        ASSERT_EQ(SaveStateFile(Path("a.st")), 1);
        const std::string first = ReadFile(Path("a.st"));
        ASSERT_EQ(LoadStateFile(Path("a.st")), 1);
        ASSERT_EQ(SaveStateFile(Path("b.st")), 1);
        EXPECT_TRUE(first == ReadFile(Path("b.st")));
    }

    // A state whose mapper bytes are changed by edit is refused and leaves
    // the machine as it was.
    template <typename Edit>
    void ExpectRefused(Edit edit, const char *what)
    {
        const MapperStateRecord kept = MapperState;
        edit(MapperState.bytes);
        ASSERT_EQ(SaveStateFile(Path("bad.st")), 1);
        MapperState = kept;
        const std::vector<uint8_t> before = MachineSnapshot();
        std::string reason;
        EXPECT_EQ(LoadStateFile(Path("bad.st"), &reason), 0) << what;
        EXPECT_TRUE(before == MachineSnapshot()) << what;
    }

    // Ten thousand states with mutated mapper bytes: each one is refused
    // or, once loaded, takes random writes and lines without leaving the
    // buffers. Returns how many loaded.
    int MutateMapperState(uint32_t seed, const std::vector<uint16_t> &registers, int rounds = 10000)
    {
        EXPECT_EQ(SaveStateFile(Path("good.st")), 1);
        const std::string text = ReadFile(Path("good.st"));
        const std::vector<uint8_t> good(text.begin(), text.end());
        std::mt19937 random(seed);
        int loaded = 0;
        for (int round = 0; round < rounds; ++round) {
            std::vector<uint8_t> bytes = good;
            const int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e)
                bytes[StateMapperAt + random() % 24] = uint8_t(random());
            if (!LoadStateBytes(bytes, "mutated"))
                continue;
            ++loaded;
            for (int w = 0; w < 8; ++w) {
                const uint16_t a = registers[random() % registers.size()];
                WriteMemory(a, uint8_t(random()));
                ExpectPagesInside();
            }
            if (MapperLine)
                MapperLine(int32_t(random() % 3000));
            ExpectPagesInside();
        }
        return loaded;
    }

    // Every page the machine reads through lies whole inside one of its
    // buffers, so a bank formula that runs past a buffer's end fails here
    // and not only under the sanitizers. The pointers the renderers of the
    // board's kind use are never null. Only the first stray page of a test
    // is reported.
    void ExpectPagesInside()
    {
        struct Page {
            char const *what;
            int index;
            const uint8_t *at;
            size_t size;
        };
        std::vector<Page> pages;
        for (int i = 3; i < 8; ++i)
            pages.push_back({"program", i, FetchMap[i], 0x2000});
        for (int i = 0; i < 16; ++i)
            pages.push_back({"video", i, VideoPageMap[i], 0x400});
        for (int i = 0; i < 8; ++i)
            pages.push_back({"CPU pattern", i, CpuPatternPages[i], 0x400});
        if (LineRenderer == PpuLineEntryLatch9)
            for (int i = 0; i < 2; ++i)
                pages.push_back({"latch 9", i, Latch9Pages[i], 0x1000});
        if (LineRenderer == PpuLineEntryLatch10)
            for (int i = 0; i < 2; ++i) {
                pages.push_back({"latch 10 low", i, Latch10LowPages[i], 0x1000});
                pages.push_back({"latch 10 high", i, Latch10HighPages[i], 0x1000});
            }
        if (LineRenderer == PpuLineEntryMmc5) {
            for (int i = 0; i < 4; ++i)
                pages.push_back({"MMC5 background", i, Mmc5BgPages[i], 0x400});
            pages.push_back({"MMC5 patterns", 0, Mmc5ChrBase, ((0xFFu << 12) & Mmc5ChrMask) + 0x1000});
        }
        for (const Page &page : pages) {
            if (Inside(page.at, page.size) || strayPages_++ > 0)
                continue;
            ADD_FAILURE() << page.what << " page " << page.index << " (" << static_cast<const void *>(page.at) << ", "
                          << page.size << " bytes) lies outside every buffer";
        }
    }

    // Whether the bytes lie whole inside one of the machine's buffers.
    static bool Inside(const uint8_t *at, size_t size)
    {
        struct Buffer {
            const uint8_t *start;
            size_t size;
        };
        const Buffer buffers[] = {{CpuSpace, CpuSpaceSize},
                                  {VideoSpace, VideoSpaceSize},
                                  {RomBuffer, RomBufferSize},
                                  {VromBuffer, VromBufferSize},
                                  {PatternRamBuffer, PatternRamBufferSize}};
        const auto address = reinterpret_cast<uintptr_t>(at);
        for (const Buffer &buffer : buffers) {
            const auto start = reinterpret_cast<uintptr_t>(buffer.start);
            if (buffer.start && address >= start && size <= buffer.size && address - start <= buffer.size - size)
                return true;
        }
        return false;
    }

    int strayPages_ = 0;

    // Every value to every register on the hostile images, then seeded
    // mutations of the state record, for each mapper.
    void ExpectHostileWritesAndStatesContained(const std::vector<int> &mappers, const std::vector<uint16_t> &registers)
    {
        for (int mapper : mappers) {
            OnHostileImages(mapper, [&] { WriteEverything(registers); });
            ASSERT_TRUE(Start(IdleCartridge(16, 3).Mapper(mapper)));
            EXPECT_GT(MutateMapperState(uint32_t(mapper), registers), 0) << mapper;
            MachineShutdown();
        }
    }

    // Every value to every register address given, on the image: all
    // pages stay inside the buffers.
    void WriteEverything(const std::vector<uint16_t> &registers)
    {
        for (uint16_t a : registers)
            for (int v = 0; v < 256; ++v) {
                WriteMemory(a, uint8_t(v));
                ExpectPagesInside();
                if (MapperLine)
                    MapperLine(v * 7);
            }
    }
};

} // namespace Cindrel::Test
