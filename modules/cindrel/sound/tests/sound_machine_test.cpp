// The sound unit in the machine: its interrupts reach the CPU within an
// instruction of their cycle, the delta channel fetches through the
// mapper's banks as they stand at each fetch, and a saved state carries the
// sequencer so that a loaded game runs on exactly as it did.
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/machine/StateFile.h"
#include "modules/cindrel/testing/CartridgeBuilder.h"
#include "modules/cindrel/testing/Harness.h"
#include "modules/cindrel/sound/SoundUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace Cindrel::Test {
namespace {

using Test::CartridgeBuilder;

// Writes to $8000 (and $4017, which also reaches the mapper) with the
// machine cycle at which they were made, and the sound unit's predicted
// interrupt then.
struct Marker {
    uint16_t address;
    uint8_t value;
    int64_t cycle;
    int64_t soundEvent;
};
std::vector<Marker> markers;

int RecordMarker(uint16_t address, uint8_t value)
{
    markers.push_back({address, value, MachineCycle(), ApuNextEvent(SoundUnit)});
    return 1;
}

class SoundMachineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() / ("cindrel_sound_" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        markers.clear();
    }
    void TearDown() override
    {
        MachineShutdown();
        std::filesystem::remove_all(folder);
    }

    bool Start(const CartridgeBuilder &cart)
    {
        cart.Write(folder / "game.nes");
        return Cindrel::Test::StartImage((folder / "game.nes").string());
    }

    // Lets the CPU's countdown run on by n cycles, as instructions would.
    static void Spend(int n) { Cpu.cyclesLeft -= n; }

    std::filesystem::path folder;
};

// Reset code common to the programs below: interrupts masked, stack set.
const std::vector<uint8_t> Prologue = {0x78, 0xD8, 0xA2, 0xFF, 0x9A}; // SEI CLD LDX #$FF TXS

// The frame interrupt, 29828 cycles after the sequence restarts (3 or 4
// cycles after the $4017 write by its cycle's parity), enters the handler
// after the instruction under way: the handler's first write comes 7 + 4
// cycles after that instruction, whose length is at most 3 here. Cases put
// the interrupt in a line and in the long slice of the vertical blank.
TEST_F(SoundMachineTest, FrameInterruptReachesTheCpuWithinAnInstruction)
{
    struct Case {
        const char *where;
        std::vector<uint8_t> before; // code before the $4017 write
    } const cases[] = {
        {"in a line", {}},
        {"in a line, a cycle on", {0xA5, 0x00}},                           // LDA $00
        {"in a line, two cycles on", {0xEA, 0xEA}},                        // NOP NOP
        {"in the vertical blank", {0x2C, 0x02, 0x20, 0x10, 0xFB, 0xA2, 0x28, 0xCA, 0xD0, 0xFD}}, // wait for it, then 200 cycles
    };
    for (Case const &c : cases) {
        std::vector<uint8_t> code = Prologue;
        code.insert(code.end(), c.before.begin(), c.before.end());
        // LDA #0; STA $4017; CLI; loop: NOP; NOP; JMP loop
        const uint16_t loop = uint16_t(0xC000 + code.size() + 6);
        for (uint8_t b : {0xA9, 0x00, 0x8D, 0x17, 0x40, 0x58, 0xEA, 0xEA, 0x4C})
            code.push_back(b);
        code.push_back(uint8_t(loop));
        code.push_back(uint8_t(loop >> 8));
        CartridgeBuilder cart(2, 1);
        // IRQ: STA $8000; LDA $4015; RTI.
        cart.Code(0xC000, code).Code(0xC200, {0x8D, 0x00, 0x80, 0xAD, 0x15, 0x40, 0x40}).Vectors(0xC100, 0xC000, 0xC200);
        cart.Code(0xC100, {0x40});
        ASSERT_TRUE(Start(cart)) << c.where;
        MapperWrite = RecordMarker;
        markers.clear();
        Cindrel::Test::RunFrames(4);
        ASSERT_GE(markers.size(), 3u) << c.where;
        ASSERT_EQ(markers[0].address, 0x4017) << c.where;
        const int64_t write = markers[0].cycle - 1;
        const int64_t flag = write + ((write & 1) ? 4 : 3) + 29828;
        // Acknowledged by the handler's read, the next comes a sequence on.
        for (int k = 0; k < 2; ++k) {
            const int64_t late = markers[1 + k].cycle - (flag + 29830 * k + 1) - 11;
            EXPECT_GE(late, 0) << c.where << " interrupt " << k;
            EXPECT_LE(late, 2) << c.where << " interrupt " << k;
        }
    }
}

// The CPU polls the IRQ line on each instruction's next-to-last cycle: a
// flag raised on an instruction's last cycle is taken only after the next
// instruction. The flag's cycle E is fixed by the $4017 write; a padding
// after the write moves the loop (NOP, NOP, JMP: 2, 2 and 3 cycles) under
// it, and a padding before the write moves E by the write's parity. The
// handler's STA $8000 ends 7 + 4 cycles after the entry begins.
TEST_F(SoundMachineTest, TheFrameInterruptIsPolledOnTheNextToLastCycle)
{
    const std::vector<uint8_t> Nop = {0xEA}, LdaZp = {0xA5, 0x00};
    struct Case {
        std::vector<std::vector<uint8_t>> before, after; // instructions
        int pad;                                         // cycles of `after`
    } const cases[] = {
        {{}, {}, 0},           {{}, {Nop}, 2},           {{}, {LdaZp}, 3},           {{}, {Nop, Nop}, 4},
        {{}, {Nop, LdaZp}, 5}, {{}, {Nop, Nop, Nop}, 6}, {{LdaZp}, {}, 0},           {{LdaZp}, {Nop}, 2},
        {{LdaZp}, {LdaZp}, 3}, {{LdaZp}, {Nop, Nop}, 4}, {{LdaZp}, {Nop, LdaZp}, 5}, {{LdaZp}, {Nop, Nop, Nop}, 6},
    };
    std::set<int> offsets; // where in its instruction E fell: 0 first cycle, 1 next, ...
    std::set<bool> lastCycle;
    for (size_t n = 0; n < std::size(cases); ++n) {
        const Case &c = cases[n];
        std::vector<uint8_t> code = Prologue;
        for (const auto &i : c.before)
            code.insert(code.end(), i.begin(), i.end());
        code.insert(code.end(), {0xA9, 0x00, 0x8D, 0x17, 0x40}); // LDA #0 ; STA $4017
        for (const auto &i : c.after)
            code.insert(code.end(), i.begin(), i.end());
        code.push_back(0x58); // CLI
        const uint16_t loop = uint16_t(0xC000 + code.size());
        code.insert(code.end(), {0xEA, 0xEA, 0x4C, uint8_t(loop), uint8_t(loop >> 8)});
        CartridgeBuilder cart(2, 1);
        cart.Code(0xC000, code).Code(0xC200, {0x8D, 0x00, 0x80, 0xAD, 0x15, 0x40, 0x40}).Vectors(0xC100, 0xC000, 0xC200);
        cart.Code(0xC100, {0x40});
        ASSERT_TRUE(Start(cart)) << n;
        MapperWrite = RecordMarker;
        markers.clear();
        Cindrel::Test::RunFrames(3);
        ASSERT_GE(markers.size(), 2u) << n;
        ASSERT_EQ(markers[0].address, 0x4017) << n;
        const int64_t write = markers[0].cycle - 1;
        const int64_t flag = write + ((write & 1) ? 4 : 3) + 29828;
        // Walk the loop from its first NOP to the instruction under E.
        const int lengths[3] = {2, 2, 3};
        int64_t start = markers[0].cycle + c.pad + 2, entry = 0;
        for (int i = 0;; ++i) {
            const int64_t end = start + lengths[i % 3];
            if (flag < end) {
                offsets.insert(int(flag - start) + 10 * (i % 3));
                lastCycle.insert(flag == end - 1);
                entry = flag <= end - 2 ? end : end + lengths[(i + 1) % 3];
                break;
            }
            start = end;
        }
        EXPECT_EQ(markers[1].cycle, entry + 7 + 4) << "case " << n << ": flag at " << flag - markers[0].cycle
                                                   << " cycles after the write's instruction";
    }
    EXPECT_EQ(lastCycle.size(), 2u) << "E fell on last cycles and on others";
    EXPECT_GE(offsets.size(), 5u);
}

// Power-on leaves the frame interrupt enabled, and the CPU comes out of
// reset with interrupts masked: a program that never touches I or $4017
// sees the flag in $4015 but never enters its handler.
TEST_F(SoundMachineTest, ResetMasksTheFrameInterruptPowerOnEnables)
{
    CartridgeBuilder cart(2, 1);
    // Reset: loop: LDA $4015; ORA $10; STA $10; JMP loop. IRQ: STA $8000.
    cart.Code(0xC000, {0xAD, 0x15, 0x40, 0x05, 0x10, 0x85, 0x10, 0x4C, 0x00, 0xC0})
        .Code(0xC200, {0x8D, 0x00, 0x80, 0x40})
        .Vectors(0xC100, 0xC000, 0xC200);
    cart.Code(0xC100, {0x40});
    ASSERT_TRUE(Start(cart));
    MapperWrite = RecordMarker;
    for (int press = 0; press < 2; ++press) {
        EXPECT_TRUE(Cpu.P & FlagI);
        CpuSpace[0x10] = 0;
        Cindrel::Test::RunFrames(3);
        EXPECT_EQ(CpuSpace[0x10], 0x40) << "the frame interrupt flag rose";
        EXPECT_TRUE(markers.empty()) << "and the handler never ran";
        MachineReset();
    }
}

// The IRQ line is the OR of its sources: a program that acknowledges the
// frame interrupt while the scan-line board's IRQ is also pending takes the
// board's as soon as it clears I.
TEST_F(SoundMachineTest, AMapperIrqOutlivesTheFrameInterruptsAcknowledgement)
{
    CartridgeBuilder cart(16, 16);
    cart.Mapper(4);
    // SEI; LDX #$FF; TXS; $4017 = 0 (frame interrupt on); $2000 = $08;
    // $2001 = $18; $C000 = $C001 = $E001 = 5 (the board's IRQ after six
    // lines); wait for three vertical blanks; LDA $4015; STA $10; CLI;
    // NOP; LDA $11; STA $13 (whether the handler has run); JMP self.
    cart.Code(0xC000, {0x78, 0xA2, 0xFF, 0x9A, 0xA9, 0x00, 0x8D, 0x17, 0x40, 0xA9, 0x08, 0x8D, 0x00, 0x20,
                       0xA9, 0x18, 0x8D, 0x01, 0x20, 0xA9, 0x05, 0x8D, 0x00, 0xC0, 0x8D, 0x01, 0xC0, 0x8D,
                       0x01, 0xE0, 0xA0, 0x03, 0x2C, 0x02, 0x20, 0x10, 0xFB, 0x88, 0xD0, 0xF8, 0xAD, 0x15,
                       0x40, 0x85, 0x10, 0x58, 0xEA, 0xA5, 0x11, 0x85, 0x13, 0x4C, 0x33, 0xC0});
    // IRQ: STA $E000 (acknowledges the board); INC $11; LDA $4015; RTI.
    cart.Code(0xC200, {0x8D, 0x00, 0xE0, 0xE6, 0x11, 0xAD, 0x15, 0x40, 0x40})
        .Code(0xC100, {0x40})
        .Vectors(0xC100, 0xC000, 0xC200);
    ASSERT_TRUE(Start(cart));
    Cindrel::Test::RunFrames(5);
    EXPECT_EQ(CpuSpace[0x10] & 0x40, 0x40) << "the frame interrupt was pending";
    EXPECT_EQ(CpuSpace[0x13], 1) << "the board's IRQ came right after CLI";
}

// The delta interrupt comes at the fetch of the sample's last byte; a
// sample of one byte raises it at the write that starts it, on that
// instruction's last cycle: the CPU polls it during the next instruction
// and takes it after that one.
TEST_F(SoundMachineTest, DeltaInterruptReachesTheCpuWithinAnInstruction)
{
    for (int length : {1, 0}) {
        std::vector<uint8_t> code = Prologue;
        // $4017 = $40 (no frame interrupt), $4010 = $8F, $4013 = length, CLI,
        // STA $4015 ($10), STA $8000 (marker), loop: JMP loop.
        const std::vector<uint8_t> start = {0xA9, 0x40, 0x8D, 0x17, 0x40, 0xA9, 0x8F, 0x8D, 0x10, 0x40, 0xA9,
                                            uint8_t(length), 0x8D, 0x13, 0x40, 0x58, 0xA9, 0x10, 0x8D, 0x15, 0x40,
                                            0x8D, 0x00, 0x80};
        code.insert(code.end(), start.begin(), start.end());
        const uint16_t loop = uint16_t(0xC000 + code.size());
        code.insert(code.end(), {0x4C, uint8_t(loop), uint8_t(loop >> 8)});
        CartridgeBuilder cart(2, 1);
        // IRQ: STA $8001 (marker); LDA #0; STA $4015 (acknowledges); RTI.
        cart.Code(0xC000, code)
            .Code(0xC200, {0x8D, 0x01, 0x80, 0xA9, 0x00, 0x8D, 0x15, 0x40, 0x40})
            .Vectors(0xC100, 0xC000, 0xC200);
        cart.Code(0xC100, {0x40});
        ASSERT_TRUE(Start(cart));
        MapperWrite = RecordMarker;
        markers.clear();
        Cindrel::Test::RunFrames(2);
        // Markers: $4017, the one after the start and the handler's.
        ASSERT_EQ(markers.size(), 3u) << length;
        auto find = [](uint16_t address) {
            return *std::find_if(markers.begin(), markers.end(), [=](const Marker &m) { return m.address == address; });
        };
        const Marker started = find(0x8000), handler = find(0x8001);
        if (length == 0) {
            // Taken after the marker's STA that follows STA $4015 (which
            // ends 20 cycles after STA $4017 does).
            EXPECT_GT(handler.cycle, started.cycle);
            EXPECT_EQ(handler.cycle, markers[0].cycle + 20 + 4 + 7 + 4);
        } else {
            const int64_t late = handler.cycle - (started.soundEvent + 2) - 11;
            EXPECT_GE(late, 0);
            EXPECT_LE(late, 2);
        }
    }
}

TEST_F(SoundMachineTest, StatusAndInterruptLineThroughTheMemoryMap)
{
    ASSERT_TRUE(Start(CartridgeBuilder(2, 1).Code(0xC000, {0x4C, 0x00, 0xC0}).Vectors(0xC000, 0xC000, 0xC000)));
    Cpu.P |= FlagI;
    // A delta sample of one byte with its interrupt: up at the write that
    // starts it, the slice cut to end with the next instruction, whose
    // poll sees it.
    WriteMemory(0x4010, 0x8F);
    WriteMemory(0x4013, 0x00);
    Spend(4); // the cost of the STA that writes $4015, charged before it
    ASSERT_GT(Cpu.cyclesLeft, 0);
    WriteMemory(0x4015, 0x10);
    EXPECT_EQ(Cpu.cyclesLeft, 1);
    EXPECT_EQ(Cpu.pendingInterrupt, IntIrq);
    EXPECT_EQ(ReadMemory(0x4015) & 0x80, 0x80) << "reading leaves the delta interrupt";
    EXPECT_EQ(Cpu.pendingInterrupt, IntIrq);
    WriteMemory(0x4015, 0x00);
    EXPECT_EQ(Cpu.pendingInterrupt, IntNone);

    // The frame interrupt: the line follows the flag at the next access, and
    // the read that clears the flag withdraws the request.
    WriteMemory(0x4017, 0x00);
    const int64_t write = MachineCycle() - 1;
    const int64_t flag = write + ((write & 1) ? 4 : 3) + 29828;
    Spend(int(flag - write - 1));
    WriteMemory(0x4011, 0x00);
    EXPECT_EQ(Cpu.pendingInterrupt, IntNone) << "a cycle early";
    Spend(1);
    WriteMemory(0x4011, 0x00);
    EXPECT_EQ(Cpu.pendingInterrupt, IntIrq);
    EXPECT_EQ(ReadMemory(0x4015), 0x40);
    EXPECT_EQ(Cpu.pendingInterrupt, IntNone);
    Spend(1);
    EXPECT_EQ(ReadMemory(0x4015), 0x40) << "set again the next cycle";
    Spend(10);
    EXPECT_EQ(ReadMemory(0x4015), 0x40);
    EXPECT_EQ(ReadMemory(0x4015), 0x00);
    // A mapper's hold on the line stays when the sound unit drops its own.
    HoldIrq(IrqFromMapper);
    Spend(29830);
    WriteMemory(0x4011, 0x00);
    EXPECT_EQ(IrqSources, IrqFromSound | IrqFromMapper);
    EXPECT_EQ(ReadMemory(0x4015), 0x40);
    EXPECT_EQ(IrqSources, IrqFromMapper);
    EXPECT_EQ(Cpu.pendingInterrupt, IntIrq);
}

// The delta channel reads its bytes through the CPU's map: a sample at
// $C000 under MMC3's switchable bank takes its first bytes from the bank
// mapped when they are fetched and the rest from the bank switched in
// mid-sample; past $FFFF it goes on at $8000, in that page's bank.
TEST_F(SoundMachineTest, DeltaBytesAreFetchedThroughTheMappersBanks)
{
    CartridgeBuilder cart(4, 1); // eight 8 KB program banks
    cart.Mapper(4).Vectors(0xE000, 0xE000, 0xE000);
    for (int i = 0; i < 17; ++i) {
        cart.RomAt(size_t(2 * 0x2000 + i), {0xFF}); // bank 2: ones
        cart.RomAt(size_t(3 * 0x2000 + i), {0x00}); // bank 3: zeros
    }
    ASSERT_TRUE(Start(cart));
    WriteMemory(0x8000, 0x46); // program mode 1: $C000 is R6
    WriteMemory(0x8001, 0x02);
    ASSERT_EQ(ReadMemory(0xC000), 0xFF);
    for (auto [a, v] : {std::pair{0x4017, 0x40}, std::pair{0x4010, 0x0F}, std::pair{0x4011, 0x00},
                        std::pair{0x4012, 0x00}, std::pair{0x4013, 0x01}, std::pair{0x4015, 0x10}})
        WriteMemory(uint16_t(a), uint8_t(v));
    Spend(8 * 432 + 100); // some eight bytes on at 432 cycles a byte
    WriteMemory(0x8001, 0x03);
    const int fetched = 17 - SoundUnit.dmcBytesLeft;
    ASSERT_GT(fetched, 4);
    ASSERT_LT(fetched, 12);
    Spend(17 * 432);
    ReadMemory(0x4015);
    EXPECT_EQ(SoundUnit.dmcBytesLeft, 0);
    // The heard sample rises while it reads ones and falls from the first
    // byte of the new bank.
    int turn = 0;
    for (int i = 1; i < 17 * 8 && !turn; ++i)
        if (DmcSampleBuffer[i] < DmcSampleBuffer[i - 1])
            turn = i;
    EXPECT_EQ(turn, fetched * 8);

    // $FFC0 + 65 bytes: the last one is $8000's, the bank R6 leaves there.
    WriteMemory(0x8000, 0x06); // program mode 0: $8000 is R6
    WriteMemory(0x8001, 0x02);
    ASSERT_EQ(ReadMemory(0x8000), 0xFF);
    for (auto [a, v] : {std::pair{0x4011, 0x00}, std::pair{0x4012, 0xFF}, std::pair{0x4013, 0x04},
                        std::pair{0x4015, 0x10}})
        WriteMemory(uint16_t(a), uint8_t(v));
    Spend(70 * 432);
    ReadMemory(0x4015);
    EXPECT_EQ(SoundUnit.dmcAddress, 0x8001);
    EXPECT_GT(DmcSampleBuffer[65 * 8 - 1], DmcSampleBuffer[64 * 8 - 1]);
}

// A state saved mid-sequence loads into a machine that then runs exactly as
// the saving one did: frame interrupts at the same cycles, the same counts.
TEST_F(SoundMachineTest, ASavedStateCarriesTheSequencer)
{
    std::vector<uint8_t> code = Prologue;
    // $4017 = 0, $4015 = $01, square 1 halted off with a long length, CLI,
    // loop: INC $11; JMP loop.
    for (uint8_t b : {0xA9, 0x00, 0x8D, 0x17, 0x40, 0xA9, 0x01, 0x8D, 0x15, 0x40, 0xA9, 0x10, 0x8D, 0x00, 0x40,
                      0xA9, 0x08, 0x8D, 0x03, 0x40, 0x58})
        code.push_back(b);
    const uint16_t loop = uint16_t(0xC000 + code.size());
    code.insert(code.end(), {0xE6, 0x11, 0x4C, uint8_t(loop), uint8_t(loop >> 8)});
    CartridgeBuilder cart(2, 1);
    // IRQ: INC $10; LDA $4015; STA $12; RTI.
    cart.Code(0xC000, code).Code(0xC200, {0xE6, 0x10, 0xAD, 0x15, 0x40, 0x85, 0x12, 0x40}).Vectors(0xC100, 0xC000, 0xC200);
    cart.Code(0xC100, {0x40});
    ASSERT_TRUE(Start(cart));
    Cindrel::Test::RunFrames(7);
    const std::string state = (folder / "s.st").string();
    ASSERT_EQ(SaveStateFile(state), 1);
    Cindrel::Test::RunFrames(20);
    const std::vector<uint8_t> ran(CpuSpace, CpuSpace + 0x800);
    EXPECT_GT(ran[0x10], 20) << "frame interrupts taken";
    EXPECT_EQ(ran[0x12], 0x41) << "square 1's length still runs";
    Cindrel::Test::RunFrames(3);
    ASSERT_EQ(LoadStateFile(state), 1);
    Cindrel::Test::RunFrames(20);
    EXPECT_EQ(std::vector<uint8_t>(CpuSpace, CpuSpace + 0x800), ran);
}

// Code at $4015 reads the status register, clearing the frame interrupt
// flag as any read does, also after the program has written $4015: the
// write must not leave its answer where the CPU fetches code. The program
// waits for the frame flag (masked), writes $4015, then jumps there with an
// RTI frame on the stack: the status ($40, RTI) is fetched from the unit,
// and the status read after the return finds the flag cleared.
TEST_F(SoundMachineTest, CodeAtTheStatusRegisterIsReadFromItAfterAWrite)
{
    std::vector<uint8_t> code = Prologue;
    // $4017 = 0; wait about 41,000 cycles; $4015 = 0.
    for (uint8_t b : {0xA9, 0x00, 0x8D, 0x17, 0x40, 0xA0, 0x20, 0xA2, 0x00, 0xCA, 0xD0, 0xFD, 0x88, 0xD0, 0xF8,
                      0xA9, 0x00, 0x8D, 0x15, 0x40})
        code.push_back(b);
    const uint16_t after = uint16_t(0xC000 + code.size() + 12);
    // Push the return address and P = $24, JMP $4015.
    code.insert(code.end(), {0xA9, uint8_t(after >> 8), 0x48, 0xA9, uint8_t(after), 0x48, 0xA9, 0x24, 0x48,
                             0x4C, 0x15, 0x40});
    // LDA $4015; STA $10; $11 = 1; loop.
    code.insert(code.end(), {0xAD, 0x15, 0x40, 0x85, 0x10, 0xA9, 0x01, 0x85, 0x11});
    const uint16_t loop = uint16_t(0xC000 + code.size());
    code.insert(code.end(), {0x4C, uint8_t(loop), uint8_t(loop >> 8)});
    CartridgeBuilder cart(2, 1);
    // BRK or IRQ: $11 = 2; loop.
    cart.Code(0xC000, code).Code(0xC200, {0xA9, 0x02, 0x85, 0x11, 0x4C, 0x04, 0xC2}).Vectors(0xC100, 0xC000, 0xC200);
    cart.Code(0xC100, {0x40});
    ASSERT_TRUE(Start(cart));
    Cindrel::Test::RunFrames(4);
    ASSERT_EQ(CpuSpace[0x11], 1) << "returned from the code at $4015";
    EXPECT_EQ(CpuSpace[0x10] & 0x40, 0) << "the fetch read the status and cleared the frame flag";
}

} // namespace
} // namespace Cindrel::Test
