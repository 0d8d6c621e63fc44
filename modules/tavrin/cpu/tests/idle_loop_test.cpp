// Polling loops charged in bulk by the run loop, and short loops that do work
// run turn by turn without fetching: a slice through the run loop must end
// exactly where single steps end (registers, flags, cycles, and every
// store), and only bodies without effects may be charged in bulk.
#include "common/zorvan/ByteStream.h"
#include "modules/tavrin/cpu/IdleLoop.h"
#include "modules/tavrin/testing/ArmAsm.h"
#include "modules/tavrin/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace Tavrin::Test {
namespace {

using namespace Asm;

struct LoopCase {
    const char *name;
    bool thumb;
    uint32_t at;
    std::vector<uint32_t> code; // words, or halfwords for THUMB
    uint32_t r0, r1, r3;
    uint32_t entry = 0; // where execution starts, from `at`
};

constexpr uint32_t Rom = 0x08000000, Iwram = 0x03000000, Io = 0x04000000, Word = 0x03000100;
constexpr uint32_t Ewram = 0x02000000, Palette = 0x05000000, Vram = 0x06000000;

std::vector<LoopCase> Cases()
{
    return {
        {"thumb line-counter poll in ROM", true, Rom,
         {0x88C1 /* ldrh r1,[r0,#6] */, 0x29A0 /* cmp r1,#160 */, T::Bcond(NE, Rom + 4, Rom)}, Io, 0, 0},
        // Entered at the compare with r1 from elsewhere: the first arrival at
        // the branch differs from every later one.
        {"thumb poll entered in its middle", true, Rom,
         {0x88C1 /* ldrh r1,[r0,#6] */, 0x29A0 /* cmp r1,#160 */, T::Bcond(NE, Rom + 4, Rom)}, Io, 7, 0, 2},
        // r2 takes r3, r3 takes r4, r4 takes the line counter (moves that keep
        // the flags): the registers settle only on the third turn.
        {"thumb poll settling over three turns", true, Rom,
         {0x88C1 /* ldrh r1,[r0,#6] */, 0x29A0 /* cmp r1,#160 */, 0x461A /* mov r2,r3 */, 0x4623 /* mov r3,r4 */,
          0x460C /* mov r4,r1 */, T::Bcond(NE, Rom + 10, Rom)},
         Io, 7, 9},
        {"thumb jump to itself", true, Iwram, {T::Spin}, 0, 0, 0},
        {"thumb word poll with shift and test", true, Iwram,
         {0x6801 /* ldr r1,[r0] */, 0x00CA /* lsl r2,r1,#3 */, T::Alu(8, 1, 3), T::Bcond(EQ, Iwram + 6, Iwram)},
         Word, 0, 1},
        {"thumb countdown", true, Rom, {0x3801 /* sub r0,#1 */, T::Bcond(NE, Rom + 2, Rom)}, 100000, 0, 0},
        {"thumb poll that also stores", true, Rom,
         {0x8201 /* strh r1,[r0,#16] */, 0x88C2 /* ldrh r2,[r0,#6] */, 0x2AA0 /* cmp r2,#160 */,
          T::Bcond(NE, Rom + 6, Rom)},
         Io, 0x55, 0},
        // Loops that do work, one store a turn: they must run turn by turn
        // exactly as steps would, wherever the store lands.
        {"thumb word fill by stmia", true, Rom, {0xC004 /* stmia r0!,{r2} */, 0x3901 /* sub r1,#1 */, T::Bcond(NE, Rom + 4, Rom)},
         Ewram, 3000, 0},
        {"thumb fill into ROM space", true, Rom, {0xC004 /* stmia r0!,{r2} */, 0x3901 /* sub r1,#1 */, T::Bcond(NE, Rom + 4, Rom)},
         0x09000000, 3000, 0},
        {"thumb fill of two registers into VRAM", true, Rom,
         {0xC00C /* stmia r0!,{r2,r3} */, 0x3901 /* sub r1,#1 */, T::Bcond(NE, Rom + 4, Rom)}, Vram, 3000, 7},
        {"thumb byte fill by register offset", true, Rom,
         {0x5442 /* strb r2,[r0,r1] */, 0x3928 /* sub r1,#40 */, T::Bcond(NE, Rom + 4, Rom)}, Ewram, 40 * 1000, 0},
        {"thumb word fill counting down to a sign", true, Rom,
         {0x50C2 /* str r2,[r0,r3] */, 0x3B04 /* sub r3,#4 */, T::Bcond(PL, Rom + 4, Rom)}, Ewram, 0, 4 * 2000},
        {"thumb halfword fill into palette RAM", true, Rom,
         {0x8002 /* strh r2,[r0] */, 0x3002 /* add r0,#2 */, T::Bcond(NE, Rom + 4, Rom)}, Palette, 0, 0},
        {"thumb fill that reaches the I/O registers", true, Rom,
         {0xC004 /* stmia r0!,{r2} */, 0x3901 /* sub r1,#1 */, T::Bcond(NE, Rom + 4, Rom)}, Io - 0x40, 3000, 0},
        // In work RAM, over its own code: the store rewrites the loop's
        // first instruction, which from then on adds instead of storing.
        {"thumb fill over its own code", true, Iwram + 0x40,
         {0xC004 /* stmia r0!,{r2} */, 0x3901 /* sub r1,#1 */, T::Bcond(NE, Iwram + 0x44, Iwram + 0x40)}, Iwram, 3000,
         0},
        {"thumb countdown of one instruction", true, Iwram, {0x3801 /* sub r0,#1 */, T::Bcond(HI, Iwram + 2, Iwram)},
         100000, 0, 0},
        {"arm line-counter poll in ROM", false, Rom,
         {MemHalf(true, 1, true, true, false, 1, 0, 6), DpImm(CMP, true, 0, 1, 160), Branch(Rom + 8, Rom, false, NE)},
         Io, 0, 0},
        {"arm poll entered in its middle", false, Rom,
         {MemHalf(true, 1, true, true, false, 1, 0, 6), DpImm(CMP, true, 0, 1, 160), Branch(Rom + 8, Rom, false, NE)},
         Io, 7, 0, 4},
        {"arm jump to itself", false, Iwram, {SpinArm}, 0, 0, 0},
        {"arm literal poll with flag-setting and", false, Rom,
         {Mem(true, false, true, true, false, 0, 15, 8), Mem(true, false, true, true, false, 1, 0, 0),
          DpImm(AND, true, 1, 1, 1), Branch(Rom + 12, Rom, false, EQ), Word},
         0, 0, 0},
        {"arm poll with multiply and register shift", false, Iwram,
         {Mem(true, false, true, true, false, 1, 0, 0), Mul(false, false, 2, 1, 3), DpRegShift(MOV, false, 4, 0, 2, LSL, 1),
          DpImm(CMP, true, 0, 4, 0), Branch(Iwram + 16, Iwram, false, NE)},
         Word, 0, 7},
        {"arm countdown", false, Rom, {DpImm(SUB, true, 0, 0, 1), Branch(Rom + 4, Rom, false, NE)}, 100000, 0, 0},
        {"arm poll that also stores", false, Rom,
         {MemHalf(false, 1, true, true, false, 1, 0, 16), MemHalf(true, 1, true, true, false, 2, 0, 6),
          DpImm(CMP, true, 0, 2, 160), Branch(Rom + 12, Rom, false, NE)},
         Io, 0x55, 0},
    };
}

struct Outcome {
    ArmState cpu;
    uint32_t ioWrites;
    std::vector<uint8_t> ewram, iwram, palette, vram;
    uint64_t vramParts;
};

// A program at `at`, entered at at + entry with r0-r7 and SP as given.
struct Program {
    bool thumb;
    uint32_t at;
    std::vector<uint32_t> code;
    std::array<uint32_t, 8> regs;
    uint32_t entry;
};

// Single steps to the end of the slice. A store over the instructions
// already fetched cuts the slice short; as the run loop does, the cycles it
// saved come back and stepping goes on.
void StepSlice(ArmState &cpu)
{
    for (;;) {
        while (cpu.cyclesLeft > 0)
            ArmStepInstruction(&cpu);
        if (!cpu.earlyExit)
            return;
        cpu.cyclesLeft += cpu.savedCycles;
        cpu.earlyExit = 0;
    }
}

// Runs a slice of budget cycles: by single steps, or through the run loop
// (with its bulk paths). With resumeBudget, a second slice follows by
// single steps from the CPU record written to a state image and read back,
// as a build without the run loop's bulk paths would load it.
Outcome RunProgram(const Program &p, int32_t budget, bool bySteps, int32_t resumeBudget = 0)
{
    TestMachine m;
    for (size_t i = 0; i < p.code.size(); ++i) {
        if (p.thumb)
            m.Poke16(p.at + uint32_t(2 * i), uint16_t(p.code[i]));
        else
            m.Poke32(p.at + uint32_t(4 * i), p.code[i]);
    }
    m.Poke16(Io + 6, 5); // the line counter never reaches 160 within the slice
    m.Poke32(Word, 2);
    VramPartsStored = 0;
    ArmState &cpu = ConsoleCpu;
    cpu.cpsr = ModeSystem | (p.thumb ? FlagT : 0);
    for (int n = 0; n < 8; ++n)
        cpu.r[n] = p.regs[n];
    cpu.r[15] = p.at + p.entry;
    cpu.cyclesLeft = budget;
    if (bySteps) {
        StepSlice(cpu);
    } else {
        // The stand-in line step stops the run when the first slice ends.
        EXPECT_EQ(ArmRunFrame(&cpu), 0);
    }
    if (resumeBudget) {
        Zorvan::ByteWriter out;
        ArmWriteImage(cpu, out);
        Zorvan::ByteReader in(out.bytes());
        EXPECT_TRUE(ArmReadImage(cpu, in));
        cpu.cyclesLeft += resumeBudget;
        StepSlice(cpu);
    }
    return {cpu, StandInLog.ioWrites, m.ewram, m.iwram, m.palette, m.vram, VramPartsStored};
}

Outcome RunSlice(const LoopCase &c, int32_t budget, bool bySteps)
{
    // A value a fill stores over code is still an instruction: add r0,#0x30.
    const uint32_t filled = 0x30303030;
    return RunProgram({c.thumb, c.at, c.code, {c.r0, c.r1, filled, c.r3, 0, 0, 0, 0}, c.entry}, budget, bySteps);
}

void ExpectSameOutcome(const Outcome &got, const Outcome &want, const std::string &where)
{
    for (int n = 0; n < 16; ++n)
        EXPECT_EQ(got.cpu.r[n], want.cpu.r[n]) << where << ", r" << n;
    EXPECT_EQ(got.cpu.cpsr, want.cpu.cpsr) << where;
    EXPECT_EQ(got.cpu.cyclesLeft, want.cpu.cyclesLeft) << where;
    EXPECT_EQ(got.ioWrites, want.ioWrites) << where;
    EXPECT_TRUE(got.ewram == want.ewram && got.iwram == want.iwram) << where;
    EXPECT_TRUE(got.palette == want.palette && got.vram == want.vram) << where;
    EXPECT_EQ(got.vramParts, want.vramParts) << where;
}

TEST(IdleLoop, ASliceEndsWhereSingleStepsEnd)
{
    // Slices too short for a second turn, the machine's two slice lengths, a
    // long one, and a run of lengths that ends the last turn at every point.
    std::vector<int32_t> budgets = {1, 2, 3, 7, 960, 272, 4099, 100000};
    for (int32_t budget = 1000; budget < 1032; ++budget)
        budgets.push_back(budget);
    for (const LoopCase &c : Cases()) {
        for (int32_t budget : budgets) {
            const Outcome want = RunSlice(c, budget, true);
            const Outcome got = RunSlice(c, budget, false);
            const std::string where = std::string(c.name) + ", " + std::to_string(budget) + " cycles";
            ExpectSameOutcome(got, want, where);
        }
    }
}

// Random THUMB programs built from the forms the run loop treats in bulk
// (stores, counter steps, short backward branches) among others, in the
// cartridge, work RAM and VRAM, with bases that reach the program's own
// code, the I/O registers and the cartridge space, entered anywhere.
uint32_t RandomStore(std::mt19937 &rng)
{
    auto pick = [&rng](uint32_t n) { return uint32_t(rng() % n); };
    switch (pick(5)) {
    case 0: return 0xC000 | pick(8) << 8 | (1u << pick(8));          // STMIA rb!,{one}
    case 1: return 0x5000 | pick(3) << 9 | pick(64) << 3 | pick(8);  // STR/STRH/STRB by register
    case 2: return (0x6000 | pick(2) << 12) | pick(2048);            // STR or STRB by immediate
    case 3: return 0x9000 | pick(2048);                              // STR by SP
    default: return 0x8000 | pick(2048);                             // STRH by immediate
    }
}

uint32_t RandomThumbOp(std::mt19937 &rng, uint32_t index)
{
    auto pick = [&rng](uint32_t n) { return uint32_t(rng() % n); };
    switch (pick(6)) {
    case 0:
    case 1:
    case 2:
    case 3: return RandomStore(rng);
    case 4: return 0x3000 | pick(2) << 11 | pick(8) << 8 | (1 + pick(8) * pick(2) * 5); // ADD/SUB #imm8
    case 5: return pick(2) ? 0x2000 | pick(8) << 8 | pick(256) : 0x4000 | pick(1024); // MOV #imm8, ALU
    default: {
        // A conditional branch back over one or two instructions.
        const uint32_t back = 1 + pick(index < 2 ? index + 1 : 2);
        return 0xD000 | pick(14) << 8 | ((0x100 - back - 2) & 0xFF);
    }
    }
}

TEST(IdleLoop, RandomThumbProgramsMatchSingleSteps)
{
    std::mt19937 rng(38);
    const uint32_t places[] = {Rom, Iwram + 0x40, Ewram + 0x3FF0, Vram + 0x100};
    for (int trial = 0; trial < 1500; ++trial) {
        Program p{true, places[rng() % 4], {}, {}, 0};
        // A loop of a store and a counter step, or of a step alone, between
        // random instructions.
        for (uint32_t i = rng() % 4; i > 0; --i)
            p.code.push_back(RandomThumbOp(rng, uint32_t(p.code.size())));
        const bool store = rng() % 4 != 0;
        if (store)
            p.code.push_back(RandomStore(rng));
        p.code.push_back(0x3800 | (rng() % 8) << 8 | (rng() % 3 ? 1 : 1 + rng() % 40)); // SUB rd,#imm8
        p.code.push_back(0xD000 | (rng() % 14) << 8 | ((0x100 - (store ? 2 : 1) - 2) & 0xFF));
        for (uint32_t i = rng() % 4; i > 0; --i)
            p.code.push_back(RandomThumbOp(rng, uint32_t(p.code.size())));
        const uint32_t length = uint32_t(p.code.size());
        // Bases near the code, in the other memories, below the I/O
        // registers and in the cartridge space; small counters.
        const uint32_t bases[] = {p.at - 0x40, p.at, Ewram + 0x3F00, Iwram + 0x7FC0, Vram + 0x200, Io - 0x20,
                                  0x09000000, Palette + 0x3F8};
        for (uint32_t &r : p.regs)
            r = rng() % 2 ? bases[rng() % 8] : rng() % 300;
        p.entry = 2 * (rng() % length);
        const int32_t budget = 1 + int32_t(rng() % 6000);
        const int32_t resume = 1 + int32_t(rng() % 500);
        const Outcome want = RunProgram(p, budget, true, resume);
        const Outcome got = RunProgram(p, budget, false, resume);
        ExpectSameOutcome(got, want, "trial " + std::to_string(trial));
        if (HasFailure())
            break;
    }
}

TEST(IdleLoop, OnlyBodiesWithoutEffectsQualify)
{
    struct Op {
        uint32_t op;
        bool pure;
    };
    const Op thumb[] = {
        {0x88C1, true},  {0x6801, true},  {0x4800, true},   {0x5E0A, true},  {T::Alu(13, 1, 2), true},
        {0x4548, true},  {0x4688, true},  {0xB082, true},   {T::Pop(0x03, false), true}, {0xC803, true},
        {0x8201, false}, {0x6001, false}, {0x7001, false},  {0x9001, false}, {0x5001, false}, {0x5201, false},
        {0x5401, false}, {T::Push(0x03, false), false}, {0xC003, false}, {0xDF00, false}, {0x4708, false},
        {0x46F7, false}, {0x4487, false}, {T::Pop(0x01, true), false}, {0xC800, false}, {0xF000, false},
        {0xF800, false}, {0xDE00, false}, {0xE800, false}, {T::Spin, false},
    };
    for (const Op &o : thumb)
        EXPECT_EQ(ThumbOpIsPure(o.op), o.pure) << std::hex << "THUMB 0x" << o.op;

    const Op arm[] = {
        {Mem(true, false, true, true, false, 1, 0, 4), true},
        {Mem(true, false, true, true, false, 1, 15, 4), true},
        {Mem(true, true, false, true, false, 1, 2, 4), true},
        {MemHalf(true, 3, true, true, true, 1, 2, 4), true},
        {DpImm(CMP, true, 0, 1, 160), true},
        {DpRegShift(MOV, false, 4, 0, 2, LSL, 1), true},
        {Mul(true, true, 2, 1, 3, 4), true},
        {0xE0810392 /* umull r0,r1,r2,r3 */, true},
        {0xE10F0000 /* mrs r0,cpsr */, true},
        {0xE16F0F11 /* clz r0,r1 */, true},
        {DpImm(ADD, true, 1, 1, 1, 0, NE), true},
        {Mem(false, false, true, true, false, 1, 0, 4), false},
        {Mem(false, true, true, true, false, 1, 0, 4), false},
        {MemHalf(false, 1, true, true, false, 1, 0, 4), false},
        {Mem(true, false, true, true, false, 15, 0, 4), false},
        {Mem(true, false, false, true, false, 1, 15, 4), false},
        {Block(true, false, true, false, 0, List({1, 2})), false},
        {Block(false, true, false, true, 13, List({1, 2})), false},
        {Swp(false, 1, 0, 2), false},
        {DpReg(MOV, false, 15, 0, 14), false},
        {DpImm(CMP, true, 15, 1, 0), false},
        {Mul(false, false, 15, 1, 3), false},
        {Msr(false, 1, 0), false},
        {Branch(0, 0x100, true), false},
        {Branch(0, 0x100), false},
        {Bx(14), false},
        {0xEF000000 /* swi */, false},
        {0xEE000010 /* mcr */, false},
        {0xF5D0F000 /* cond 0xF */, false},
    };
    for (const Op &o : arm)
        EXPECT_EQ(ArmOpIsPure(o.op), o.pure) << std::hex << "ARM 0x" << o.op;
}

} // namespace
} // namespace Tavrin::Test
