// The scan-line counting board (4) and RAMBO-1 (64) on a 256 KB program,
// 128 KB pattern image: bank registers and the select bits, cartridge RAM,
// mirroring, the line counters, and their state records.
#include "modules/cindrel/mappers/tests/MapperFixture.h"

namespace Cindrel::Test {
namespace {

using Mmc3 = MapperFixture;

using Case = BankCase;

const std::vector<Write> Program4 = {{0x8000, 6}, {0x8001, 5}, {0x8000, 7}, {0x8001, 9}};
const std::vector<Write> Patterns = {{0x8000, 0}, {0x8001, 4},  {0x8000, 1}, {0x8001, 9},  {0x8000, 2}, {0x8001, 20},
                                     {0x8000, 3}, {0x8001, 21}, {0x8000, 4}, {0x8001, 22}, {0x8000, 5}, {0x8001, 23}};
constexpr std::array<int, 8> PowerOnPatterns = {0, 1, 0, 1, 0, 1, 0, 1};

TEST_F(Mmc3, RegistersMapBanks)
{
    const Case cases[] = {
        {"4 power-on", 4, {}, {0, 0, 30, 31}, PowerOnPatterns},
        {"4 R6 R7", 4, Program4, {5, 9, 30, 31}, PowerOnPatterns},
        {"4 bit 6 swaps $8000 and $C000", 4, Then(Program4, {{0x8000, 0x46}}), {30, 9, 5, 31}, PowerOnPatterns},
        {"4 bit 6 back keeps R6", 4, Then(Program4, {{0x8000, 0x46}, {0x8000, 0x06}}), {5, 9, 30, 31},
         PowerOnPatterns},
        {"4 R6 with bit 6 set lands at $C000", 4, {{0x8000, 0x46}, {0x8001, 3}}, {30, 0, 3, 31}, PowerOnPatterns},
        {"4 pattern registers", 4, Patterns, {0, 0, 30, 31}, {4, 5, 8, 9, 20, 21, 22, 23}},
        {"4 bit 7 trades the halves", 4, Then(Patterns, {{0x8000, 0x80}}), {0, 0, 30, 31},
         {20, 21, 22, 23, 4, 5, 8, 9}},
        {"4 bank numbers wrap", 4, {{0x8000, 6}, {0x8001, 0xFF}, {0x8000, 2}, {0x8001, 0xFF}}, {31, 0, 30, 31},
         {0, 1, 0, 1, 127, 1, 0, 1}},
        {"64 power-on", 64, {}, {31, 31, 31, 31}, PowerOnPatterns},
        {"64 R6 R7 R15", 64, Then(Program4, {{0x8000, 15}, {0x8001, 12}}), {5, 9, 12, 31}, PowerOnPatterns},
        {"64 bit 6 trades R6 and R15, R7 stays", 64,
         Then(Program4, {{0x8000, 15}, {0x8001, 12}, {0x8000, 0x40}}), {12, 9, 5, 31}, PowerOnPatterns},
        {"64 R8 R9 on pages 1 and 3", 64, {{0x8000, 8}, {0x8001, 40}, {0x8000, 9}, {0x8001, 41}}, {31, 31, 31, 31},
         {0, 40, 0, 41, 0, 1, 0, 1}},
        {"64 R8 R9 whatever bit 7 says", 64, {{0x8000, 0x88}, {0x8001, 40}, {0x8000, 0x89}, {0x8001, 41}},
         {31, 31, 31, 31}, {0, 40, 0, 41, 0, 1, 0, 1}},
        {"64 other registers map nothing", 64, {{0x8000, 10}, {0x8001, 40}, {0x8000, 14}, {0x8001, 41}},
         {31, 31, 31, 31}, PowerOnPatterns},
    };
    ExpectBankCases(cases, 16, 16);
}

TEST_F(Mmc3, MirroringIsZeroVerticalOnBoth)
{
    for (int mapper : {4, 64}) {
        ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(mapper)));
        WriteMemory(0xA000, 0);
        EXPECT_EQ(MirroringMode, 1) << mapper;
        WriteMemory(0xA000, 1);
        EXPECT_EQ(MirroringMode, 0) << mapper;
        MachineShutdown();
    }
}

// Enabled and writable from power-on; $A001 bit 7 then enables the RAM
// (disabled, $6000 reads the open bus) and bit 6 protects it.
TEST_F(Mmc3, RamControl)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(4)));
    WriteMemory(0x6123, 0x11);
    EXPECT_EQ(CpuSpace[0x6123], 0x11);
    struct Step {
        uint8_t control;
        uint8_t reads;    // at $6123 after a write of $22
        uint8_t ramAfter; // the RAM byte then
    };
    const Step steps[] = {{0x40, 0x61, 0x11}, {0xC0, 0x11, 0x11}, {0x80, 0x22, 0x22}, {0x00, 0x61, 0x22}};
    for (const Step &step : steps) {
        WriteMemory(0xA001, step.control);
        WriteMemory(0x6123, 0x22);
        EXPECT_EQ(ReadMemory(0x6123), step.reads) << int(step.control);
        EXPECT_EQ(CpuSpace[0x6123], step.ramAfter) << int(step.control);
        CpuSpace[0x6123] = step.ramAfter;
    }
}

struct CounterCase {
    const char *name;
    int mapper;
    uint8_t control, mask;
    std::vector<Write> writes;
    int lines;
    std::vector<int> irqs;
};

TEST_F(Mmc3, LineCounters)
{
    const CounterCase cases[] = {
        {"4 latch 2 repeats every third line", 4, 0x08, 0x18, {{0xC000, 2}, {0xE001, 0}}, 9, {3, 6, 9}},
        {"4 latch 0 fires then reloads 0", 4, 0x08, 0x18, {{0xC000, 0}, {0xE001, 0}}, 3, {1, 2, 3}},
        {"4 $C001 reloads", 4, 0x08, 0x18, {{0xC000, 5}, {0xE001, 0}, {0xC001, 0}}, 3, {}},
        {"4 8x16 counts with the halves together", 4, 0x20, 0x10, {{0xC000, 1}, {0xE001, 0}}, 4, {2, 4}},
        {"4 8x8 with the halves together counts nothing", 4, 0x18, 0x18, {{0xC000, 0}, {0xE001, 0}}, 4, {}},
        {"4 rendering off counts nothing", 4, 0x08, 0x00, {{0xC000, 0}, {0xE001, 0}}, 4, {}},
        {"4 disabled counts nothing", 4, 0x08, 0x18, {{0xC000, 0}, {0xE001, 0}, {0xE000, 0}}, 4, {}},
        {"64 latch 2", 64, 0x10, 0x08, {{0xC000, 2}, {0xE001, 0}}, 4, {2}},
        {"64 $A001 enables nothing", 64, 0x10, 0x08, {{0xC000, 1}, {0xA001, 0xFF}}, 4, {}},
        {"64 8x16 with the halves together counts nothing", 64, 0x20, 0x18, {{0xC000, 1}, {0xE001, 0}}, 4, {}},
    };
    for (const CounterCase &c : cases) {
        ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(c.mapper))) << c.name;
        WriteAll(c.writes);
        PpuRegisters[0] = c.control;
        PpuRegisters[1] = c.mask;
        EXPECT_EQ(IrqCalls(std::vector<int32_t>(size_t(c.lines), 114)), c.irqs) << c.name;
        MachineShutdown();
    }
}

TEST_F(Mmc3, IrqRequestedAndAcknowledged)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(4)));
    WriteAll({{0xC000, 0}, {0xE001, 0}});
    PpuRegisters[0] = 0x08;
    PpuRegisters[1] = 0x18;
    Cpu.cyclesLeft = -3;
    MapperLine(114);
    EXPECT_EQ(Cpu.pendingInterrupt, 1);
    EXPECT_EQ(Cpu.cyclesLeft, -3) << "the last instruction's overshoot is kept";
    WriteMemory(0xE000, 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 0);
    Cpu.pendingInterrupt = 2; // an NMI waiting is not acknowledged with it
    WriteMemory(0xE000, 0);
    EXPECT_EQ(Cpu.pendingInterrupt, 2);
}

// The counter sees the sprite pattern fetches after each line's visible
// part: a split IRQ's handler runs in the horizontal blank before the next
// line, and a fine scroll it writes there shows from that line on. The
// counter is reloaded with the latch in the vertical blank, so the IRQ
// comes at the end of line latch - 1.
TEST_F(Mmc3, ASplitWrittenInTheHorizontalBlankShowsOnTheNextLine)
{
    for (uint8_t latch : {1, 20, 100}) {
        CartridgeBuilder cart(16, 16);
        cart.Mapper(4);
        // SEI; LDX #$FF; TXS; $4017 = $40; $2001 = $18; $2000 = $88 (NMI,
        // sprites at $1000); CLI; JMP to itself.
        cart.Code(0xC000, {0x78, 0xA2, 0xFF, 0x9A, 0xA9, 0x40, 0x8D, 0x17, 0x40, 0xA9, 0x18, 0x8D, 0x01, 0x20,
                           0xA9, 0x88, 0x8D, 0x00, 0x20, 0x58, 0x4C, 0x14, 0xC0});
        // NMI: scroll 0, 0; $C000 = latch; $C001; $E001; RTI.
        cart.Code(0xC100, {0x2C, 0x02, 0x20, 0xA9, 0x00, 0x8D, 0x05, 0x20, 0x8D, 0x05, 0x20, 0xA9, latch, 0x8D,
                           0x00, 0xC0, 0x8D, 0x01, 0xC0, 0x8D, 0x01, 0xE0, 0x40});
        // IRQ: fine scroll 4; $E000; RTI.
        cart.Code(0xC200, {0x2C, 0x02, 0x20, 0xA9, 0x04, 0x8D, 0x05, 0x20, 0x8D, 0x00, 0xE0, 0x40})
            .Vectors(0xC100, 0xC000, 0xC200);
        ASSERT_TRUE(Start(cart));
        RunFrames(3);
        EXPECT_EQ(StandIns.lineX[latch - 1], 0) << "latch " << int(latch);
        EXPECT_EQ(StandIns.lineX[latch], 4) << "latch " << int(latch);
        EXPECT_EQ(StandIns.lineX[239], 4) << "latch " << int(latch);
    }
}

// Writes through the board with the machine's cycle at each.
struct TimedWrite {
    uint16_t address;
    uint8_t value;
    int64_t cycle;
};
std::vector<TimedWrite> timedWrites;
MapperWriteFn boardWrite;
int RecordTimedWrite(uint16_t address, uint8_t value)
{
    timedWrites.push_back({address, value, MachineCycle()});
    return boardWrite(address, value);
}

// With an IRQ every line the machine's clock still counts every cycle the
// CPU spends: the gaps between a program's writes are the cycles of the
// instructions between them, the interrupt entry included, wherever in the
// loop the IRQ came.
TEST_F(Mmc3, AnIrqEveryLineKeepsTheClockExact)
{
    CartridgeBuilder cart(16, 16);
    cart.Mapper(4);
    // SEI; LDX #$FF; TXS; $4017 = $40; $2000 = $08; $2001 = $18; $C000 = 0;
    // $E001 = 0; CLI; loop: STA $5000 ($C01C); JMP loop ($C01F).
    cart.Code(0xC000, {0x78, 0xA2, 0xFF, 0x9A, 0xA9, 0x40, 0x8D, 0x17, 0x40, 0xA9, 0x08, 0x8D, 0x00, 0x20,
                       0xA9, 0x18, 0x8D, 0x01, 0x20, 0xA9, 0x00, 0x8D, 0x00, 0xC0, 0x8D, 0x01, 0xE0, 0x58,
                       0x8D, 0x00, 0x50, 0x4C, 0x1C, 0xC0});
    // IRQ: TSX; LDA $0102,X (the return address's low byte); STA $5001;
    // STA $E000; STA $E001; RTI.
    cart.Code(0xC200, {0xBA, 0xBD, 0x02, 0x01, 0x8D, 0x01, 0x50, 0x8D, 0x00, 0xE0, 0x8D, 0x01, 0xE0, 0x40})
        .Code(0xC100, {0x40})
        .Vectors(0xC100, 0xC000, 0xC200);
    ASSERT_TRUE(Start(cart));
    boardWrite = MapperWrite;
    MapperWrite = RecordTimedWrite;
    timedWrites.clear();
    RunFrames(3);

    size_t first = 0;
    while (first < timedWrites.size() && timedWrites[first].address != 0x5000)
        ++first;
    int interrupts = 0;
    uint8_t returnTo = 0;
    for (size_t i = first + 1; i < timedWrites.size(); ++i) {
        const TimedWrite &w = timedWrites[i], &before = timedWrites[i - 1];
        int64_t expected = 0;
        switch (w.address) {
        case 0x5000:
            // The loop's JMP then STA; after the handler its RTI, and the
            // JMP too when the IRQ came after the STA.
            expected = before.address == 0x5000 ? 7 : (returnTo == 0x1C ? 10 : 13);
            break;
        case 0x5001:
            // The entry after the JMP or after the STA, then TSX, LDA, STA.
            returnTo = w.value;
            ASSERT_TRUE(returnTo == 0x1C || returnTo == 0x1F) << int(returnTo);
            expected = (returnTo == 0x1C ? 3 : 0) + 7 + 2 + 4 + 4;
            ++interrupts;
            break;
        default: expected = 4; break; // $E000, $E001
        }
        ASSERT_EQ(w.cycle - before.cycle, expected) << "write " << i << " to $" << std::hex << w.address;
    }
    EXPECT_GE(interrupts, 2 * 240);
}

TEST_F(Mmc3, StateRoundTripAndRefusals)
{
    ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(4)));
    WriteAll(Then(Then(Program4, Patterns), {{0x8000, 0xC0}, {0xC000, 7}, {0xE001, 0}}));
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[10] = 0x20; }, "RAM control other than bits 6-7");
    ExpectRefused([](uint8_t *b) { b[11] = 2; }, "IRQ enable above 1");
    MachineShutdown();

    ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(64)));
    WriteAll(Then(Program4, {{0x8000, 8}, {0x8001, 50}, {0xC000, 7}, {0xE001, 0}}));
    ExpectSaveLoadSave();
    ExpectRefused([](uint8_t *b) { b[18] = 5; }, "IRQ enable above 1");
}

TEST_F(Mmc3, AnyWriteStaysInside)
{
    for (int mapper : {4, 64})
        OnHostileImages(mapper, [this] {
            for (int select = 0; select < 256; select += 1) {
                WriteMemory(0x8000, uint8_t(select));
                WriteMemory(0x8001, uint8_t(select * 37));
            }
            WriteEverything({0x6000, 0x8000, 0x8001, 0xA000, 0xA001, 0xC000, 0xC001, 0xE000, 0xE001});
        });
}

TEST_F(Mmc3, MutatedStates)
{
    const std::vector<uint16_t> registers = {0x6000, 0x8000, 0x8001, 0xA000, 0xA001, 0xC000, 0xC001, 0xE000, 0xE001};
    for (int mapper : {4, 64}) {
        ASSERT_TRUE(Start(IdleCartridge(16, 16).Mapper(mapper)));
        EXPECT_GT(MutateMapperState(uint32_t(mapper), registers), 0);
        MachineShutdown();
    }
}

} // namespace
} // namespace Cindrel::Test
