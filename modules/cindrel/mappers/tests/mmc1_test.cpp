// The serial-register board on a 256 KB program, 128 KB pattern image:
// per-register shifts, the bit-7 reset, program and pattern modes, the RAM
// page of the boards with more than one, and its state record.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using Mmc1 = MapperFixture;

struct Case {
    const char *name;
    std::vector<Write> writes;
    std::array<int, 4> program;
    std::array<int, 8> patterns;
    int mirroring;
};

std::array<int, 4> P16(int low, int high) { return {2 * low, 2 * low + 1, 2 * high, 2 * high + 1}; }
std::array<int, 8> C4(int low, int high)
{
    return {4 * low, 4 * low + 1, 4 * low + 2, 4 * low + 3, 4 * high, 4 * high + 1, 4 * high + 2, 4 * high + 3};
}

TEST_F(Mmc1, RegistersMapBanks)
{
    const Case cases[] = {
        {"power-on", {}, P16(0, 15), C4(0, 1), 2},
        {"R3 in 16 KB mode, $C000 fixed", Serial(0xE000, 5), P16(5, 15), C4(0, 1), 2},
        {"$8000 fixed", Then(Serial(0xE000, 5), Serial(0x8000, 0x08)), P16(0, 5), C4(0, 1), 2},
        {"32 KB mode", Then(Serial(0xE000, 5), Serial(0x8000, 0x00)), P16(4, 5), C4(0, 1), 2},
        {"8 KB patterns", Serial(0xA000, 3), P16(0, 15), C4(2, 3), 2},
        {"4 KB patterns", Then(Serial(0x8000, 0x1F), Then(Serial(0xA000, 3), Serial(0xC000, 7))), P16(0, 15),
         C4(3, 7), 0},
        {"bit 7 forces 16 KB with $C000 fixed",
         Then(Then(Serial(0xE000, 5), Serial(0x8000, 0x01)), {{0x8000, 0x80}}), P16(5, 15), C4(0, 1), 3},
        {"bit 7 mid-sequence drops the bits", Then({{0xE000, 1}, {0xE000, 1}, {0xE000, 0x80}}, Serial(0xE000, 2)),
         P16(2, 15), C4(0, 1), 2},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(1))) << c.name;
        WriteAll(c.writes);
        EXPECT_EQ(ProgramBanks(), c.program) << c.name;
        EXPECT_EQ(PatternBanks(), c.patterns) << c.name;
        EXPECT_EQ(MirroringMode, c.mirroring) << c.name;
        MachineShutdown();
    }
}

// Five writes each to $8000 and $E000, interleaved: the register that gets
// its fifth bit first takes it and clears both sequences.
TEST_F(Mmc1, InterleavedShiftsKeepTheirOwnSequence)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(1)));
    const auto r0 = Serial(0x8000, 0x0E);
    const auto r3 = Serial(0xE000, 0x13);
    for (size_t i = 0; i < 5; ++i) {
        WriteAll({r0[i]});
        WriteAll({r3[i]});
    }
    EXPECT_EQ(MapperState.bytes[0], 0x0E);
    EXPECT_EQ(MapperState.bytes[3], 0);
    EXPECT_EQ(MapperState.bytes[11], 2); // $E000's fifth write began a new sequence
    EXPECT_EQ(MapperState.bytes[7], 1);
    EXPECT_EQ(MirroringMode, 1);
}

// The board takes no serial write on the cycle right after another: the
// second of two writes one cycle apart, or both in one instruction's last
// cycles (a read-modify-write's), is not seen, reset bit or not; two
// cycles apart both count.
TEST_F(Mmc1, AWriteOnTheCycleAfterAnotherIsIgnored)
{
    struct Case {
        const char *name;
        int gap; // cycles between the two writes to $E000
        uint8_t first, second;
        uint8_t shift, accumulator; // $E000's sequence afterwards
    } const cases[] = {
        {"one cycle apart", 1, 1, 1, 2, 1},
        {"in the same instruction", 0, 1, 1, 2, 1},
        {"a reset after a bit", 1, 1, 0x80, 2, 1},
        {"a bit after a reset", 0, 0x80, 1, 1, 0},
        {"two cycles apart", 2, 1, 1, 4, 3},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(1))) << c.name;
        Cpu.cyclesLeft -= 4;
        WriteMemory(0xE000, c.first);
        Cpu.cyclesLeft -= c.gap;
        WriteMemory(0xE000, c.second);
        EXPECT_EQ(MapperState.bytes[11], c.shift) << c.name;
        EXPECT_EQ(MapperState.bytes[7], c.accumulator) << c.name;
        MachineShutdown();
    }
}

// A game resets the board with INC on a ROM byte of $FF: the unmodified
// value written back resets it, the $00 after it is not seen. Two bits of
// a sequence are pending before; five writes after it then set R3 = 2.
TEST_F(Mmc1, IncOnARomByteResetsTheBoard)
{
    CartridgeBuilder cart(16, 16);
    cart.Mapper(1);
    // SEI; LDA #1; STA $E000; STA $E000; INC $FFF0; then R3 = 2 in five
    // writes (0, 1, 0, 0, 0); loop: JMP loop.
    cart.Code(0xC000, {0x78, 0xA9, 0x01, 0x8D, 0x00, 0xE0, 0x8D, 0x00, 0xE0, 0xEE, 0xF0, 0xFF, 0xA9, 0x00,
                       0x8D, 0x00, 0xE0, 0xA9, 0x01, 0x8D, 0x00, 0xE0, 0xA9, 0x00, 0x8D, 0x00, 0xE0, 0x8D,
                       0x00, 0xE0, 0x8D, 0x00, 0xE0, 0x4C, 0x21, 0xC0})
        .Code(0xFFF0, {0xFF})
        .Code(0xC100, {0x40})
        .Vectors(0xC100, 0xC000, 0xC100);
    ASSERT_TRUE(Start(cart));
    RunFrames(1);
    EXPECT_EQ(ProgramBanks(), P16(2, 15));
    EXPECT_EQ(MapperState.bytes[3], 2);
    EXPECT_EQ(MapperState.bytes[11], 1) << "no sequence left pending";
}

// Two RAM pages: R1 bit 3 picks the $6000 page; four pages: bits 2-3.
// Reads and writes follow it. R3 bit 4 disables the RAM (the open bus is
// read, writes are dropped) and still switches the program bank.
TEST_F(Mmc1, RamPagesFollowR1)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 0).Mapper(1).RamPages(2)));
    EXPECT_EQ(RamBank(), 103);
    WriteAll(Serial(0xA000, 0x08));
    EXPECT_EQ(RamBank(), 104);
    WriteMemory(0x6010, 0x77);
    EXPECT_EQ(CpuSpace[0x8010], 0x77);
    EXPECT_EQ(ReadMemory(0x6010), 0x77);
    WriteAll(Serial(0xE000, 0x13));
    EXPECT_EQ(ProgramBanks(), P16(3, 15));
    EXPECT_EQ(ReadMemory(0x6010), 0x60);
    EXPECT_EQ(ReadMemory(0x7FF9), 0x7F);
    WriteMemory(0x6010, 0x55);
    ExpectSaveLoadSave();
    EXPECT_EQ(ReadMemory(0x6010), 0x60);
    WriteAll(Serial(0xA000, 0x00)); // another page while disabled: still none
    EXPECT_EQ(ReadMemory(0x6010), 0x60);
    WriteAll(Serial(0xE000, 0x03));
    EXPECT_EQ(RamBank(), 103);
    WriteAll(Serial(0xA000, 0x08));
    EXPECT_EQ(ReadMemory(0x6010), 0x77);
    MachineShutdown();

    ASSERT_TRUE(Start(IdleCartridge(16, 0).Mapper(1).RamPages(4)));
    WriteAll(Serial(0xA000, 0x0C));
    EXPECT_EQ(RamBank(), 106);
    WriteAll(Serial(0xA000, 0x04));
    EXPECT_EQ(RamBank(), 104);
    MachineShutdown();

    ASSERT_TRUE(Start(IdleCartridge(16, 0).Mapper(1)));
    WriteAll(Serial(0xA000, 0x0C));
    EXPECT_EQ(RamBank(), 103);
}

// Above 16 and 32 pages R1 (and R2) bit 4 select the outer 256 KB.
TEST_F(Mmc1, LargeImagesTakeOuterBanksFromR1)
{
    ASSERT_TRUE(Start(IdleCartridge(32, 0).Mapper(1)));
    WriteAll(Serial(0xA000, 0x10));
    WriteAll(Serial(0xE000, 0x02));
    EXPECT_EQ(ProgramBanks(), P16(18, 31));
    MachineShutdown();
    ASSERT_TRUE(Start(IdleCartridge(64, 0).Mapper(1)));
    WriteAll(Serial(0xA000, 0x10));
    EXPECT_EQ(ProgramBanks(), P16(32, 47));
    WriteAll(Serial(0x8000, 0x1C));
    EXPECT_EQ(ProgramBanks(), P16(16, 31));
    WriteAll(Serial(0xC000, 0x10)); // R2 alone maps no program bank
    EXPECT_EQ(ProgramBanks(), P16(16, 31));
    WriteAll(Serial(0xE000, 0));
    EXPECT_EQ(ProgramBanks(), P16(48, 63));
}

TEST_F(Mmc1, StateRoundTripAndRefusals)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(1)));
    WriteAll(Serial(0xE000, 5));
    WriteAll({{0xA000, 1}, {0xA000, 0}});
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[8] = 3; }, "shift bit not a power of two");
    ExpectRefused([](uint8_t *b) { b[9] = 32; }, "shift bit past the fifth");
    ExpectRefused([](uint8_t *b) { b[10] = 0; }, "shift bit zero");
    ExpectRefused([](uint8_t *b) { b[4] = 1; }, "accumulator ahead of its shift");
    ExpectRefused([](uint8_t *b) { b[2] = 32; }, "register over five bits");
}

TEST_F(Mmc1, AnyWriteStaysInside)
{
    OnHostileImages(1, [this] { WriteEverything({0x6000, 0x8000, 0xA000, 0xC000, 0xE000}); });
}

TEST_F(Mmc1, MutatedStates)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(1).RamPages(4)));
    EXPECT_GT(MutateMapperState(1, {0x8000, 0xA000, 0xC000, 0xE000}), 0);
}

} // namespace
} // namespace Cindrel::Test
