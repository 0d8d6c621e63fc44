// The whole mapper table: each supported number installs the handlers its
// board has; every other number runs on the default mapping with none.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using MapperTableWalk = MapperFixture;

struct Supported {
    int number;
    bool init;
    bool line;
};

// Numbers, with whether each has an init and a line handler (all of them
// have a write handler).
const Supported Rows[] = {
    {1, true, false},   {2, false, false},  {3, false, false},  {4, true, true},    {5, true, true},    {6, false, false},
    {7, false, false},  {8, true, false},   {9, true, false},   {10, true, false},  {11, false, false}, {13, true, false},  {15, true, false},  {16, true, true},   {17, true, true},   {18, true, true},   {19, true, true},
    {20, true, true},
    {21, true, true},   {22, true, false},  {23, true, false},  {24, true, true},   {25, true, true},
    {32, true, false},  {33, true, false},  {34, false, false}, {64, true, true},   {65, false, false},  {66, false, false}, {71, false, false}, {78, false, false},
    {67, true, true},   {68, true, false},  {69, true, true},
    {79, true, false},  {81, true, false},  {91, false, false},
};

TEST_F(MapperTableWalk, EveryNumberInstallsItsRow)
{
    std::array<bool, 256> supported{};
    for (const Supported &s : Rows) {
        supported[size_t(s.number)] = true;
        const MapperRow &row = MapperTable[size_t(s.number)];
        EXPECT_NE(row.write, nullptr) << s.number;
        EXPECT_EQ(row.init != nullptr, s.init) << s.number;
        EXPECT_EQ(row.line != nullptr, s.line) << s.number;
        ASSERT_TRUE(Start(IdleCartridge(4, 2).Mapper(s.number))) << s.number;
        EXPECT_EQ(MapperWrite, row.write) << s.number;
        EXPECT_EQ(MapperLine, row.line) << s.number;
        MachineShutdown();
    }
    for (int number = 0; number < 256; ++number) {
        if (supported[size_t(number)])
            continue;
        const MapperRow &row = MapperTable[size_t(number)];
        EXPECT_TRUE(!row.init && !row.write && !row.line && !row.validate && !row.afterLoad) << number;
    }
}

// Every row's power-on state on every hostile image, pattern RAM and no
// work RAM among them: each pointer a renderer of its kind reads is set
// and inside its buffer, and frames run.
TEST_F(MapperTableWalk, EveryRowStartsOnEveryImage)
{
    for (const Supported &s : Rows)
        OnHostileImages(s.number, [this] {
            ExpectPagesInside();
            RunFrames(2);
            ExpectPagesInside();
        });
}

TEST_F(MapperTableWalk, UnknownNumbersRunOnTheDefaultMapping)
{
    for (int number : {0, 200, 255, 258, 0xFFF}) {
        ASSERT_TRUE(Start(IdleCartridge(8, 2).Mapper(number).Nes2(0, 0x07, 0))) << number;
        EXPECT_EQ(MapperWrite, nullptr);
        WriteMemory(0x8000, 3);
        WriteMemory(0xFFFF, 3);
        EXPECT_EQ(ProgramBanks(), (std::array<int, 4>{0, 1, 14, 15})) << number;
        EXPECT_EQ(PatternBanks(), (std::array<int, 8>{0, 1, 2, 3, 4, 5, 6, 7})) << number;
        MachineShutdown();
    }
}

// The boards that set name-table pages themselves (rather than through a
// mirroring mode) leave a four-screen cartridge its four tables and what
// it wrote into them; the same writes without the flag show they bite.
TEST_F(MapperTableWalk, FourScreenTablesStayWhateverTheBoardWrites)
{
    struct Case {
        const char *name;
        int mapper;
        std::vector<Write> writes;
    } const cases[] = {
        {"5 page register and fill table", 5, {{0x5105, 0x00}, {0x5106, 0x55}, {0x5107, 0x03}}},
        {"7 one-screen bit", 7, {{0x8000, 0x10}}},
        {"19 pattern-ROM and console tables", 19, {{0xC000, 0x00}, {0xC800, 0xE1}, {0xD000, 0xE0}}},
        {"68 tables from pattern ROM", 68, {{0xC000, 0x80}, {0xD000, 0x81}, {0xE000, 0x10}}},
    };
    const std::array<int, 4> own = {108, 109, 110, 111};
    for (const Case &c : cases) {
        for (bool fourScreen : {true, false}) {
            CartridgeBuilder cart = IdleCartridge(16, 16).Mapper(c.mapper);
            if (fourScreen)
                cart.FourScreen();
            ASSERT_TRUE(Start(cart)) << c.name;
            for (int i = 0; i < 0x1000; ++i)
                VideoSpace[0x2000 + i] = uint8_t(i * 7);
            const std::vector<uint8_t> tables(VideoSpace + 0x2000, VideoSpace + 0x3000);
            WriteAll(c.writes);
            if (fourScreen) {
                EXPECT_EQ(NameTableBanks(), own) << c.name;
                EXPECT_EQ(std::vector<uint8_t>(VideoSpace + 0x2000, VideoSpace + 0x3000), tables) << c.name;
            } else {
                EXPECT_NE(NameTableBanks(), own) << c.name;
            }
            for (int slot = 0; slot < 4; ++slot)
                EXPECT_EQ(VideoPageMap[12 + slot], VideoPageMap[8 + slot]) << c.name << " slot " << slot;
            MachineShutdown();
        }
    }
}

// Every board's counter holds the IRQ line from the line it ends on until
// the game acknowledges it there: taking the interrupt does not release it,
// and the acknowledgement releases the board's hold only, so the sound
// unit's hold on the same line keeps the request.
TEST_F(MapperTableWalk, EveryCounterHoldsTheLineUntilItsAcknowledgement)
{
    struct Case {
        const char *name;
        int mapper;
        std::vector<Write> setup;
        int32_t lineCycles;   // handed to the line handler once
        uint16_t ackAddress;  // written with ackValue, or read when ackRead
        uint8_t ackValue;
        bool ackRead;
    } const cases[] = {
        {"4 $E000", 4, {{0xC000, 0}, {0xE001, 0}}, 114, 0xE000, 0, false},
        {"64 $E000", 64, {{0xC000, 1}, {0xE001, 0}}, 114, 0xE000, 0, false},
        {"5 status read", 5, {{0x5203, 10}, {0x5204, 0x80}}, 114, 0x5204, 0, true},
        {"16 $800A", 16, {{0x800B, 10}, {0x800C, 0}, {0x800A, 1}}, 114, 0x800A, 1, false},
        {"17 $4501", 17, {{0x4503, 0}}, 114, 0x4501, 0, false},
        {"17 $4503", 17, {{0x4503, 0}}, 114, 0x4503, 0, false},
        {"18 $F001", 18, {{0xF000, 1}}, 114, 0xF001, 0, false},
        {"19 $5000", 19, {{0x5000, 0x00}, {0x5800, 0xFF}}, 300, 0x5000, 0, false},
        {"19 $5800", 19, {{0x5000, 0x00}, {0x5800, 0xFF}}, 300, 0x5800, 0x80, false},
        {"20 status read", 20, {{0x4020, 10}, {0x4021, 0}, {0x4022, 2}}, 114, 0x4030, 0, true},
        {"21 acknowledge register", 21, {{0xF000, 0xF}, {0xF002, 0xF}, {0xF004, 2}}, 114, 0xF006, 0, false},
        {"25 acknowledge register", 25, {{0xF000, 0xF}, {0xF002, 0xF}, {0xF001, 2}}, 114, 0xF003, 0, false},
        {"24 $F002", 24, {{0xF000, 255}, {0xF001, 2}}, 114, 0xF002, 0, false},
        {"67 $D800", 67, {{0xC800, 1}, {0xD800, 0x10}}, 114, 0xD800, 0x10, false},
        // The last command, 13, stays selected for the acknowledgement.
        {"69 command 13", 69, {{0x8000, 14}, {0xA000, 10}, {0x8000, 15}, {0xA000, 0}, {0x8000, 13}, {0xA000, 1}},
         114, 0xA000, 1, false},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(c.mapper))) << c.name;
        PpuRegisters[0] = c.mapper == 64 ? 0x10 : 0x08;
        PpuRegisters[1] = 0x18;
        CurrentLine = 10;
        WriteAll(c.setup);
        MapperLine(c.lineCycles);
        ASSERT_EQ(IrqSources, IrqFromMapper) << c.name;
        EXPECT_EQ(Cpu.pendingInterrupt, IntIrq) << c.name;
        Cpu.pendingInterrupt = IntNone; // the CPU took it
        EXPECT_EQ(LineHook(Cpu), IntIrq) << c.name << ": still held";
        StandIns.irqLine = true; // the sound unit raises its line too
        HoldIrq(IrqFromSound);
        if (c.ackRead)
            ReadMemory(c.ackAddress);
        else
            WriteMemory(c.ackAddress, c.ackValue);
        EXPECT_EQ(IrqSources, IrqFromSound) << c.name;
        EXPECT_EQ(Cpu.pendingInterrupt, IntIrq) << c.name;
        EXPECT_EQ(ReadMemory(0x4015) & 0x40, 0x40) << c.name; // acknowledges the sound unit's
        EXPECT_EQ(Cpu.pendingInterrupt, IntNone) << c.name;
        MachineShutdown();
    }
}

} // namespace
} // namespace Cindrel::Test
