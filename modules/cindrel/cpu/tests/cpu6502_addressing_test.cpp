// Effective addresses, the data accesses each instruction makes, and the
// cycles it is charged.
#include "modules/cindrel/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <vector>

namespace Cindrel::Test {
namespace {

struct AddressCase {
    const char *what;
    std::vector<uint8_t> code; // at $0300
    uint8_t x, y;
    std::vector<std::pair<uint16_t, uint8_t>> memory;
    std::vector<Access> want; // every ReadMemory/WriteMemory call, in order
};

TEST(Cpu6502Addressing, EffectiveAddressesAndDataAccesses)
{
    const AddressCase cases[] = {
        {"zp,X wraps inside page zero", {0xB5, 0x10}, 0xF5, 0, {{0x0005, 0x11}}, {{0x0005, 0x11, false}}},
        {"zp,Y wraps inside page zero", {0xB6, 0xF0}, 0, 0x20, {{0x0010, 0x12}}, {{0x0010, 0x12, false}}},
        {"abs,X wraps at $FFFF", {0xBD, 0xF0, 0xFF}, 0x20, 0, {{0x0010, 0x13}}, {{0x0010, 0x13, false}}},
        {"abs,Y wraps at $FFFF", {0xB9, 0xF0, 0xFF}, 0, 0x20, {{0x0010, 0x14}}, {{0x0010, 0x14, false}}},
        {"(zp,X) index wraps inside page zero", {0xA1, 0x80}, 0x90, 0,
         {{0x0010, 0x34}, {0x0011, 0x12}, {0x1234, 0x15}}, {{0x1234, 0x15, false}}},
        {"(zp,X) pointer at $FF takes its high byte from $00", {0xA1, 0xFE}, 0x01, 0,
         {{0x00FF, 0x34}, {0x0000, 0x12}, {0x0100, 0x56}, {0x1234, 0x16}}, {{0x1234, 0x16, false}}},
        {"(zp),Y pointer at $FF takes its high byte from $00", {0xB1, 0xFF}, 0, 0x01,
         {{0x00FF, 0x34}, {0x0000, 0x12}, {0x0100, 0x56}, {0x1235, 0x17}}, {{0x1235, 0x17, false}}},
        {"(zp),Y adds Y across $FFFF", {0xB1, 0x20}, 0, 0x20,
         {{0x0020, 0xF0}, {0x0021, 0xFF}, {0x0010, 0x18}}, {{0x0010, 0x18, false}}},
        {"STA (zp),Y writes through the pointer", {0x91, 0x20}, 0, 0x05,
         {{0x0020, 0x00}, {0x0021, 0x07}}, {{0x0705, 0x00, true}}},
        {"STA abs,X", {0x9D, 0xFF, 0x06}, 0x02, 0, {}, {{0x0701, 0x00, true}}},
        {"read-modify-write of work RAM reads once and writes once", {0xFE, 0x00, 0x07}, 0x01, 0,
         {{0x0701, 0x41}}, {{0x0701, 0x41, false}, {0x0701, 0x42, true}}},
        {"shift of page zero goes through the data path", {0x06, 0x44}, 0, 0,
         {{0x0044, 0x01}}, {{0x0044, 0x01, false}, {0x0044, 0x02, true}}},
        {"JMP ($12FF) takes the high byte from $1200", {0x6C, 0xFF, 0x12}, 0, 0,
         {{0x12FF, 0x34}, {0x1200, 0x56}, {0x1300, 0x78}}, {{0x12FF, 0x34, false}, {0x1200, 0x56, false}}},

        // Accesses on the way, made where registers lie ($2000-$5FFF).
        {"LDA abs,X carrying reads the uncarried address first", {0xBD, 0xFF, 0x20}, 0x08, 0,
         {{0x2007, 0x11}, {0x2107, 0x22}}, {{0x2007, 0x11, false}, {0x2107, 0x22, false}}},
        {"LDA abs,X without a carry reads once", {0xBD, 0x00, 0x20}, 0x07, 0,
         {{0x2007, 0x11}}, {{0x2007, 0x11, false}}},
        {"LDA (zp),Y carrying reads the uncarried address first", {0xB1, 0x40}, 0, 0x08,
         {{0x0040, 0xFF}, {0x0041, 0x3F}, {0x3F07, 0x11}, {0x4007, 0x22}},
         {{0x3F07, 0x11, false}, {0x4007, 0x22, false}}},
        {"LDA abs,Y carrying from RAM: nothing to see there", {0xB9, 0xFF, 0x07}, 0, 0x01,
         {{0x0800, 0x33}}, {{0x0800, 0x33, false}}},
        {"STA abs,X reads the address before writing it", {0x9D, 0x00, 0x20}, 0x07, 0,
         {{0x2007, 0x44}}, {{0x2007, 0x44, false}, {0x2007, 0x00, true}}},
        {"STA (zp),Y carrying reads the uncarried address", {0x91, 0x40}, 0, 0x10,
         {{0x0040, 0xF8}, {0x0041, 0x3F}, {0x3F08, 0x55}}, {{0x3F08, 0x55, false}, {0x4008, 0x00, true}}},
        {"INC abs writes the old value back, then the new one", {0xEE, 0x07, 0x20}, 0, 0,
         {{0x2007, 0x41}}, {{0x2007, 0x41, false}, {0x2007, 0x41, true}, {0x2007, 0x42, true}}},
        {"INC abs,X: the uncarried read, the read, both writes", {0xFE, 0xFF, 0x40}, 0x15, 0,
         {{0x4014, 0x01}, {0x4114, 0x02}},
         {{0x4014, 0x01, false}, {0x4114, 0x02, false}, {0x4114, 0x02, true}, {0x4114, 0x03, true}}},
        // Boards see the write-back too, on cartridge RAM and ROM alike.
        {"ASL abs at $6000 writes the old value back", {0x0E, 0x00, 0x60}, 0, 0,
         {{0x6000, 0x41}}, {{0x6000, 0x41, false}, {0x6000, 0x41, true}, {0x6000, 0x82, true}}},
        {"INC abs on ROM at $FFF0 writes the old value back", {0xEE, 0xF0, 0xFF}, 0, 0,
         {{0xFFF0, 0xFF}}, {{0xFFF0, 0xFF, false}, {0xFFF0, 0xFF, true}, {0xFFF0, 0x00, true}}},
    };
    for (const AddressCase &c : cases) {
        ResetMachine();
        for (size_t i = 0; i < c.code.size(); ++i)
            Ram[0x0300 + i] = c.code[i];
        for (auto [address, value] : c.memory)
            Ram[address] = value;
        Cpu6502State cpu = MakeCpu(0x0300);
        cpu.X = c.x;
        cpu.Y = c.y;
        LogAccesses = true;
        Step(cpu);
        EXPECT_EQ(Accesses, c.want) << c.what;
    }
}

TEST(Cpu6502Addressing, JumpsCallsAndReturnsMoveThePcAndStack)
{
    ResetMachine();
    Poke(0x12FF, {0x34});
    Poke(0x1200, {0x56});
    Poke(0x0300, {0x6C, 0xFF, 0x12}); // JMP ($12FF)
    Cpu6502State cpu = MakeCpu(0x0300);
    Step(cpu);
    EXPECT_EQ(cpu.PC, 0x5634);

    // JSR pushes the address of its own last byte; RTS adds one.
    ResetMachine();
    Poke(0x0300, {0x20, 0x00, 0x05});
    Poke(0x0500, {0x60});
    cpu = MakeCpu(0x0300, FlagR, 0xFD);
    Step(cpu);
    EXPECT_EQ(cpu.PC, 0x0500);
    EXPECT_EQ(cpu.S, 0xFB);
    EXPECT_EQ(Ram[0x01FD], 0x03);
    EXPECT_EQ(Ram[0x01FC], 0x02);
    Step(cpu);
    EXPECT_EQ(cpu.PC, 0x0303);
    EXPECT_EQ(cpu.S, 0xFD);
}

TEST(Cpu6502Addressing, StackPointerWrapsWithinPageOne)
{
    ResetMachine();
    Poke(0x0300, {0x48, 0x68}); // PHA ; PLA
    Cpu6502State cpu = MakeCpu(0x0300, FlagR, 0x00);
    cpu.A = 0x99;
    Step(cpu);
    EXPECT_EQ(Ram[0x0100], 0x99);
    EXPECT_EQ(cpu.S, 0xFF);
    cpu.A = 0;
    Step(cpu);
    EXPECT_EQ(cpu.A, 0x99);
    EXPECT_EQ(cpu.S, 0x00);
    EXPECT_EQ(cpu.P, FlagR | FlagN);
}

struct CycleCase {
    const char *what;
    std::vector<uint8_t> code; // at $03F0, or at origin
    uint8_t x, y, p;
    int cycles;
    uint16_t pc;
    uint16_t origin = 0x03F0;
};

TEST(Cpu6502Addressing, PageCrossingsCostReadsAndTakenBranchesACycle)
{
    const CycleCase cases[] = {
        {"branch not taken", {0xD0, 0x05}, 0, 0, FlagR | FlagZ, 2, 0x03F2},
        {"branch taken in the same page", {0xD0, 0x05}, 0, 0, FlagR, 3, 0x03F7},
        {"branch taken into the next page", {0xD0, 0x20}, 0, 0, FlagR, 4, 0x0412},
        {"branch taken backwards in the same page", {0xF0, 0x80}, 0, 0, FlagR | FlagZ, 3, 0x0372},
        {"branch taken backwards into the previous page", {0xF0, 0xF0}, 0, 0, FlagR | FlagZ, 4, 0x03F2, 0x0400},
        {"branch measured from the next instruction, already in the next page", {0xF0, 0x00}, 0, 0, FlagR | FlagZ, 3, 0x0400, 0x03FE},
        {"LDA $12FE,X staying in the page", {0xBD, 0xFE, 0x12}, 1, 0, FlagR, 4, 0x03F3},
        {"LDA $12FF,X crossing a page", {0xBD, 0xFF, 0x12}, 1, 0, FlagR, 5, 0x03F3},
        {"LDA abs,Y crossing a page", {0xB9, 0xFF, 0x12}, 0, 1, FlagR, 5, 0x03F3},
        {"LDY abs,X crossing a page", {0xBC, 0xFF, 0x12}, 1, 0, FlagR, 5, 0x03F3},
        {"LDX abs,Y crossing a page", {0xBE, 0xFF, 0x12}, 0, 1, FlagR, 5, 0x03F3},
        {"ADC abs,X staying in the page", {0x7D, 0x00, 0x12}, 1, 0, FlagR, 4, 0x03F3},
        {"CMP abs,X crossing a page", {0xDD, 0x80, 0x12}, 0x80, 0, FlagR, 5, 0x03F3},
        {"LDA abs,X wrapping at $FFFF", {0xBD, 0xFF, 0xFF}, 1, 0, FlagR, 5, 0x03F3},
        {"LDA (zp),Y staying in the page", {0xB1, 0x40}, 0, 0x10, FlagR, 5, 0x03F2},
        {"LDA (zp),Y crossing a page", {0xB1, 0x40}, 0, 0xFF, FlagR, 6, 0x03F2},
        {"LDA (zp,X) never pays for a crossing", {0xA1, 0x3F}, 1, 0, FlagR, 6, 0x03F2},
        {"LDA zp,X never pays for a crossing", {0xB5, 0xFF}, 1, 0, FlagR, 4, 0x03F2},
        {"STA abs,X pays always, crossing or not", {0x9D, 0xFF, 0x12}, 1, 0, FlagR, 5, 0x03F3},
        {"STA (zp),Y crossing a page", {0x91, 0x40}, 0, 0xFF, FlagR, 6, 0x03F2},
        {"INC abs,X crossing a page", {0xFE, 0xFF, 0x12}, 1, 0, FlagR, 7, 0x03F3},
        {"JSR", {0x20, 0x00, 0x05}, 0, 0, FlagR, 6, 0x0500},
        {"BRK", {0x00}, 0, 0, FlagR, 7, 0x0000},
    };
    for (const CycleCase &c : cases) {
        ResetMachine();
        for (size_t i = 0; i < c.code.size(); ++i)
            Ram[c.origin + i] = c.code[i];
        Poke(0x0040, {0x01, 0x12});
        Cpu6502State cpu = MakeCpu(c.origin, c.p);
        cpu.X = c.x;
        cpu.Y = c.y;
        EXPECT_EQ(Step(cpu), c.cycles) << c.what;
        EXPECT_EQ(cpu.PC, c.pc) << c.what;
    }
}

TEST(Cpu6502Addressing, OperandsAreFetchedThroughTheFetchMap)
{
    // Code in a page the fetch map puts elsewhere: the operand must come
    // from the mapped bytes, the data read from ReadMemory.
    ResetMachine();
    static uint8_t bank[0x2000];
    bank[0x0000] = 0xAD; // LDA $0040 at $8000 via the map
    bank[0x0001] = 0x40;
    bank[0x0002] = 0x00;
    FetchMap[4] = bank;
    Ram[0x0040] = 0x77;
    Cpu6502State cpu = MakeCpu(0x8000);
    Step(cpu);
    EXPECT_EQ(cpu.A, 0x77);
    EXPECT_EQ(cpu.PC, 0x8003);
}

} // namespace
} // namespace Cindrel::Test
