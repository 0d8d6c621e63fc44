// Instruction behaviour beyond the ALU tables: reset, I and R, port
// addressing, the block instructions, operand wrap at 0xFFFF, the trap, the
// unknown-opcode reports, and a whole CRC-32 routine against zlib.
#include "modules/belcrest/testing/TestMachine.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <random>

namespace Belcrest::Test {
namespace {

constexpr uint8_t S = 0x80, Z = 0x40, H = 0x10, PV = 0x04, N = 0x02, C = 0x01;

using Z80InstructionTest = Z80CpuTest;

TEST_F(Z80InstructionTest, ResetClearsRegistersAndKeepsTheMachineSettings)
{
    Z80State s{};
    s.AF.w = s.BC.w = s.HL2.w = s.IX.w = 0x1234;
    s.PC.w = 0x4321;
    s.IFF = 0xFF;
    s.I = 7;
    s.R = 0x55;
    s.linePeriod = 216;
    s.savedCyclesLeft = 99;
    s.autoClear = 1;
    s.trapUnknownOpcodes = 1;
    s.userWord = 0xCAFEF00D;
    Z80Reset(s);
    EXPECT_EQ(s.AF.w | s.BC.w | s.HL2.w | s.IX.w | s.PC.w, 0);
    EXPECT_EQ(s.SP.w, 0xF000);
    EXPECT_EQ(s.IFF, 0);
    EXPECT_EQ(s.I, 0);
    EXPECT_EQ(s.pendingInterrupt, 0xFFFF);
    EXPECT_EQ(s.cyclesLeft, 216);
    EXPECT_EQ(s.R, 0x55);
    EXPECT_EQ(s.savedCyclesLeft, 99);
    EXPECT_EQ(s.autoClear, 1);
    EXPECT_EQ(s.trapUnknownOpcodes, 1);
    EXPECT_EQ(s.userWord, 0xCAFEF00Du);
}

TEST_F(Z80InstructionTest, LdARSetsSignAndZeroFromTheLoadedValue)
{
    Load({0xED, 0x5F});
    bool sawZero = false, sawNegative = false;
    for (int r = 0; r < 256; ++r)
        for (uint8_t iff : {uint8_t(0), uint8_t(Z80Iff2)}) {
            SetUp();
            Load({0xED, 0x5F});
            cpu.R = uint8_t(r);
            cpu.IFF = iff;
            cpu.AF.l = C;
            Step(cpu);
            const uint8_t a = cpu.AF.h;
            sawZero |= a == 0;
            sawNegative |= (a & 0x80) != 0;
            EXPECT_EQ(cpu.AF.l & (S | Z | H | PV | N | C),
                      (a & 0x80 ? S : 0) | (a == 0 ? Z : 0) | (iff ? PV : 0) | C)
                << "R=" << r;
        }
    EXPECT_TRUE(sawZero && sawNegative);
}

TEST_F(Z80InstructionTest, LdARChangesWithinOneSlice)
{
    // LD A,R; LD B,A; LD A,R; trap
    Load({0xED, 0x5F, 0x47, 0xED, 0x5F, 0xED, 0xFE});
    RunToTrap(cpu);
    EXPECT_NE(cpu.AF.h, cpu.BC.h);
}

TEST_F(Z80InstructionTest, LdRALeavesRAndLdIASetsI)
{
    Load({0xED, 0x4F, 0xED, 0x47});
    cpu.AF.h = 0x99;
    cpu.R = 0x12;
    Step(cpu);
    EXPECT_EQ(cpu.R, 0x12);
    Step(cpu);
    EXPECT_EQ(cpu.I, 0x99);
}

TEST_F(Z80InstructionTest, LdAIShowsIff2InParity)
{
    for (uint8_t iff : {uint8_t(0), uint8_t(Z80Iff2)}) {
        SetUp();
        Load({0xED, 0x57});
        cpu.I = 0x80;
        cpu.IFF = iff;
        Step(cpu);
        EXPECT_EQ(cpu.AF.h, 0x80);
        EXPECT_EQ(cpu.AF.l & (S | Z | PV), S | (iff ? PV : 0));
    }
}

TEST_F(Z80InstructionTest, PortNumbers)
{
    // IN A,(7E) and OUT (BF),A use n alone; IN r,(C) and OUT (C),r use C alone.
    Load({0xDB, 0x7E, 0xD3, 0xBF, 0xED, 0x50, 0xED, 0x79, 0xED, 0x70});
    cpu.AF.h = 0x12;
    cpu.BC.w = 0x34DC;
    Machine.portValues[0x7E] = 0x80;
    Machine.portValues[0xDC] = 0x00;
    Step(cpu);
    EXPECT_EQ(cpu.AF.h, 0x80);
    Step(cpu);
    Step(cpu);
    EXPECT_EQ(cpu.DE.h, 0x00);
    EXPECT_EQ(cpu.AF.l & (Z | PV | S), Z | PV);
    Step(cpu);
    cpu.AF.l = C;
    Step(cpu); // ED 70: flags only
    EXPECT_EQ(cpu.AF.l, Z | PV | C);
    EXPECT_EQ(Machine.portReads, (std::vector<uint16_t>{0x7E, 0xDC, 0xDC}));
    ASSERT_EQ(Machine.portWrites.size(), 2u);
    EXPECT_EQ(Machine.portWrites[0], std::make_pair(uint16_t(0xBF), uint8_t(0x80)));
    EXPECT_EQ(Machine.portWrites[1], std::make_pair(uint16_t(0xDC), uint8_t(0x80)));
}

TEST_F(Z80InstructionTest, SixteenBitReadsWrapAtTheTopOfMemory)
{
    Machine.at(0xFFFF) = 0x34;
    Machine.at(0x0000) = 0x12;
    Load({0x2A, 0xFF, 0xFF}); // LD HL,(FFFF)
    Step(cpu);
    EXPECT_EQ(cpu.HL.w, 0x1234);

    cpu.SP.w = 0xFFFF; // POP DE
    Machine.at(0x0103) = 0xD1;
    Step(cpu);
    EXPECT_EQ(cpu.DE.w, 0x1234);
    EXPECT_EQ(cpu.SP.w, 0x0001);

    // An immediate operand that straddles the end: LD BC,nn at FFFE.
    Machine.at(0xFFFE) = 0x01;
    Machine.at(0xFFFF) = 0x78;
    Machine.at(0x0000) = 0x56;
    cpu.PC.w = 0xFFFE;
    Step(cpu);
    EXPECT_EQ(cpu.BC.w, 0x5678);
    EXPECT_EQ(cpu.PC.w, 0x0001);
}

TEST_F(Z80InstructionTest, LdirAcrossManySlicesCopiesEverything)
{
    for (int i = 0; i < 10000; ++i)
        Machine.at(uint16_t(0x2000 + i)) = uint8_t(i * 7 + 3);
    Load({0xED, 0xB0, 0xED, 0xFE});
    cpu.HL.w = 0x2000;
    cpu.DE.w = 0x5000;
    cpu.BC.w = 10000;
    cpu.AF.l = S | Z | C;
    const long cycles = RunToTrap(cpu, 228);
    EXPECT_EQ(cycles, 21L * 10000 - 5);
    EXPECT_GT(Machine.lineHookCalls, 900);
    EXPECT_EQ(cpu.BC.w, 0);
    EXPECT_EQ(cpu.HL.w, 0x2000 + 10000);
    EXPECT_EQ(cpu.DE.w, 0x5000 + 10000);
    EXPECT_EQ(cpu.AF.l & (S | Z | H | PV | N | C), S | Z | C);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(Machine.at(uint16_t(0x5000 + i)), uint8_t(i * 7 + 3)) << i;
}

TEST_F(Z80InstructionTest, BlockCountOfZeroRunsTheFullRange)
{
    // LDIR with HL = DE copies every byte onto itself 65,536 times and comes
    // back to where it started.
    Load({0xED, 0xB0, 0xED, 0xFE});
    cpu.HL.w = cpu.DE.w = 0x9000;
    cpu.BC.w = 0;
    EXPECT_EQ(RunToTrap(cpu), 21L * 65536 - 5);
    EXPECT_EQ(cpu.BC.w, 0);
    EXPECT_EQ(cpu.HL.w, 0x9000);

    // CPIR finding nothing also compares 65,536 bytes.
    SetUp();
    Load({0xED, 0xB1, 0xED, 0xFE});
    for (int a = 0; a < 0x10000; ++a)
        if (Machine.at(uint16_t(a)) == 0x5A)
            Machine.at(uint16_t(a)) = 0;
    cpu.AF.h = 0x5A;
    cpu.HL.w = 0x9000;
    cpu.BC.w = 0;
    EXPECT_EQ(RunToTrap(cpu), 21L * 65536 - 5);
    EXPECT_EQ(cpu.AF.l & (Z | PV), 0);

    // INIR with B = 0 reads 256 bytes.
    SetUp();
    Load({0xED, 0xB2, 0xED, 0xFE});
    cpu.BC.w = 0x0010;
    cpu.HL.w = 0x9000;
    EXPECT_EQ(RunToTrap(cpu), 21L * 256 - 5);
    EXPECT_EQ(Machine.portReads.size(), 256u);
}

TEST_F(Z80InstructionTest, CompareBlockStopsAtTheMatch)
{
    Machine.load(0x9000, {1, 2, 3, 4, 5});
    Load({0xED, 0xB1, 0xED, 0xFE});
    cpu.AF.h = 3;
    cpu.HL.w = 0x9000;
    cpu.BC.w = 5;
    cpu.AF.l = C;
    EXPECT_EQ(RunToTrap(cpu), 21L * 3 - 5);
    EXPECT_EQ(cpu.HL.w, 0x9003);
    EXPECT_EQ(cpu.BC.w, 2);
    EXPECT_EQ(cpu.AF.l & (S | Z | H | PV | N | C), Z | PV | N | C);
}

TEST_F(Z80InstructionTest, SingleBlockStepFlags)
{
    struct Case {
        const char *name;
        int opcode;
        uint16_t bc;
        uint8_t memory, flagsIn, flagsOut;
    } cases[] = {
        // LDI/LDD keep S, Z and C; P/V tells whether BC is still non-zero.
        {"LDI, BC 2", 0xA0, 2, 0x00, S | Z | H | N | C, S | Z | PV | C},
        {"LDD, BC 1", 0xA8, 1, 0x00, H | N, 0},
        // CPI: A (0x10) minus the byte; H from bit 4 of the borrow; C kept.
        {"CPI equal", 0xA1, 2, 0x10, C, Z | PV | N | C},
        {"CPI half borrow", 0xA1, 1, 0x01, 0, H | N},
        {"CPD greater", 0xA9, 2, 0x20, 0, S | PV | N},
        // INI/IND: 0x42 when B reached 0, else 0x02.
        {"INI last", 0xA2, 0x0100, 0x00, 0, Z | N},
        {"IND", 0xAA, 0x0200, 0x00, 0, N},
        // OUTI/OUTD: 0x11 when the byte plus the new L passes 255.
        {"OUTI carry", 0xA3, 0x0200, 0xFF, 0, H | N | C},
        {"OUTD last", 0xAB, 0x0100, 0x10, 0, Z | N},
    };
    for (const Case &c : cases) {
        SetUp();
        Load({0xED, c.opcode});
        cpu.AF.h = 0x10;
        cpu.AF.l = c.flagsIn;
        cpu.BC.w = c.bc;
        cpu.HL.w = 0x9001;
        cpu.DE.w = 0xA000;
        Machine.at(0x9001) = c.memory;
        Machine.portValues[0x00] = 0x77;
        Step(cpu);
        EXPECT_EQ(cpu.AF.l & (S | Z | H | PV | N | C), c.flagsOut) << c.name;
    }
}

TEST_F(Z80InstructionTest, DigitRotationsThroughMemory)
{
    // RRD then RLD restore both A and (HL).
    Load({0xED, 0x67, 0xED, 0x6F});
    cpu.AF.h = 0x84;
    cpu.AF.l = C;
    cpu.HL.w = 0x9000;
    Machine.at(0x9000) = 0x20;
    Step(cpu);
    EXPECT_EQ(cpu.AF.h, 0x80);
    EXPECT_EQ(Machine.at(0x9000), 0x42);
    EXPECT_EQ(cpu.AF.l & (S | Z | H | PV | N | C), S | C);
    Step(cpu);
    EXPECT_EQ(cpu.AF.h, 0x84);
    EXPECT_EQ(Machine.at(0x9000), 0x20);
    EXPECT_EQ(cpu.AF.l & (S | Z | H | PV | N | C), S | PV | C);
}

TEST_F(Z80InstructionTest, FlagBits3And5FollowTheOperationsRules)
{
    // Table-built flags leave them 0; single-flag operations keep them;
    // POP AF loads them; DAA copies them from the result.
    struct Case {
        const char *name;
        std::initializer_list<int> code;
        uint8_t a, f;
        uint8_t bits35;
    } cases[] = {
        {"ADD A,A", {0x87}, 0x14, 0x28, 0x00},
        {"XOR A", {0xAF}, 0x3F, 0x28, 0x00},
        {"SCF", {0x37}, 0x00, 0x28, 0x28},
        {"CPL", {0x2F}, 0x00, 0x08, 0x08},
        {"RLCA", {0x07}, 0xFF, 0x20, 0x20},
        {"DAA", {0x27}, 0x28, 0x00, 0x28},
    };
    for (const Case &c : cases) {
        SetUp();
        Program(0x0100)(c.code).loadInto(Machine);
        cpu.AF.h = c.a;
        cpu.AF.l = c.f;
        Step(cpu);
        EXPECT_EQ(cpu.AF.l & 0x28, c.bits35) << c.name;
    }
    SetUp();
    Load({0xF1}); // POP AF
    Machine.load(0x8000, {0xFF, 0x00});
    Step(cpu);
    EXPECT_EQ(cpu.AF.l, 0xFF);
}

TEST_F(Z80InstructionTest, ExchangesAndTrap)
{
    // EX AF,AF'; EXX; EX DE,HL; EX (SP),HL; ED FE
    Load({0x08, 0xD9, 0xEB, 0xE3, 0xED, 0xFE});
    cpu.AF.w = 0x1111;
    cpu.AF2.w = 0x2222;
    cpu.BC.w = 0x3333;
    cpu.BC2.w = 0x4444;
    cpu.DE.w = 0x5555;
    cpu.DE2.w = 0x6666;
    cpu.HL.w = 0x7777;
    cpu.HL2.w = 0x8888;
    Machine.load(0x8000, {0xCD, 0xAB});
    int trapPc = -1;
    Machine.trap = [&](Z80State &s) { trapPc = s.PC.w; };
    for (int i = 0; i < 5; ++i)
        Step(cpu);
    EXPECT_EQ(cpu.AF.w, 0x2222);
    EXPECT_EQ(cpu.AF2.w, 0x1111);
    EXPECT_EQ(cpu.BC.w, 0x4444);
    EXPECT_EQ(cpu.DE.w, 0x8888);  // EXX then EX DE,HL
    EXPECT_EQ(cpu.HL.w, 0xABCD);  // from the stack
    EXPECT_EQ(Machine.at(0x8000), 0x66);
    EXPECT_EQ(Machine.at(0x8001), 0x66);
    EXPECT_EQ(trapPc, 0x0106); // the byte after FE
}

std::string Captured(const std::function<void()> &run)
{
    ::testing::internal::CaptureStdout();
    run();
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

TEST_F(Z80InstructionTest, UnknownOpcodeReportsShowTheFullUserWord)
{
    struct Case {
        std::initializer_list<int> code;
        const char *report;
    } cases[] = {
        {{0xED, 0x00}, "[Z80 DEADBEEF] Unrecognized instruction: ED 00 at PC=0100\n"},
        {{0xED, 0xFF}, "[Z80 DEADBEEF] Unrecognized instruction: ED FF at PC=0100\n"},
        {{0xDD, 0xED}, "[Z80 DEADBEEF] Unrecognized instruction: DD ED at PC=0100\n"},
        {{0xFD, 0xED}, "Unrecognized instruction: FD ED at PC=0100\n"},
        {{0xDD, 0xCB, 0x05, 0x00}, "[Z80 DEADBEEF] Unrecognized instruction: DD CB 05 00 at PC=0100\n"},
        {{0xFD, 0xCB, 0xFE, 0xC7}, "[Z80 DEADBEEF] Unrecognized instruction: FD CB FE C7 at PC=0100\n"},
    };
    for (const Case &c : cases)
        for (uint8_t trap : {uint8_t(0), uint8_t(1)}) {
            SetUp();
            Program(0x0100)(c.code).loadInto(Machine);
            cpu.userWord = 0xDEADBEEF;
            cpu.trapUnknownOpcodes = trap;
            const Z80State before = cpu;
            EXPECT_EQ(Captured([&] { Step(cpu); }), trap ? c.report : "");
            EXPECT_EQ(cpu.PC.w, 0x0100 + c.code.size());
            EXPECT_EQ(cpu.AF.w, before.AF.w);
        }
}

TEST_F(Z80InstructionTest, Crc32RoutineMatchesZlib)
{
    // IX = data, BC = length; the CRC is kept in D E H L (high to low).
    Program p(0x0100);
    p({0x11, 0xFF, 0xFF, 0x21, 0xFF, 0xFF}) // LD DE,FFFF  LD HL,FFFF
        .label("byte")({0xDD, 0x7E, 0x00, 0xDD, 0x23, 0xAD, 0x6F, 0xC5, 0x06, 0x08})
        .label("bit")({0xCB, 0x3A, 0xCB, 0x1B, 0xCB, 0x1C, 0xCB, 0x1D})
        .jr(0x30, "skip")({0x7A, 0xEE, 0xED, 0x57, 0x7B, 0xEE, 0xB8, 0x5F, 0x7C, 0xEE, 0x83,
                           0x67, 0x7D, 0xEE, 0x20, 0x6F})
        .label("skip")
        .jr(0x10, "bit")({0xC1, 0x0B, 0x78, 0xB1})
        .jr(0x20, "byte")({0x7A, 0x2F, 0x57, 0x7B, 0x2F, 0x5F, 0x7C, 0x2F, 0x67, 0x7D, 0x2F,
                           0x6F, 0xED, 0xFE});

    std::mt19937 random(1234);
    std::vector<uint8_t> data(3000);
    for (auto &b : data)
        b = uint8_t(random());
    const std::string check = "123456789";
    const std::vector<std::vector<uint8_t>> inputs = {
        {0x00}, std::vector<uint8_t>(check.begin(), check.end()), data};
    for (const auto &input : inputs) {
        SetUp();
        p.loadInto(Machine);
        Machine.load(0x8000, input);
        cpu.IX.w = 0x8000;
        cpu.BC.w = uint16_t(input.size());
        RunToTrap(cpu, 228);
        const uint32_t got = uint32_t(cpu.DE.w) << 16 | cpu.HL.w;
        EXPECT_EQ(got, uint32_t(crc32(0, input.data(), uInt(input.size()))))
            << input.size() << " bytes";
    }
}

} // namespace
} // namespace Belcrest::Test
