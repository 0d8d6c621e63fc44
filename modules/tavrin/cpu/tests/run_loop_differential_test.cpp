// The run loop against the plain interpreter: random programs, THUMB above
// all, run slice after slice through ArmRunFrame (its own dispatch, the idle
// watch and the loop runner) and by single steps of ArmStepInstruction with
// the same slice lengths. At the end of every slice both must hold the same
// registers, status word, cycle count and memory. The programs store into
// their own code just ahead of themselves, switch to ARM on the address they
// run from, call the BIOS and jump about; they run from the cartridge, both
// work RAMs, VRAM and the BIOS area, and wild jumps take them on into
// unmapped memory and the cartridge space past the image.
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace Tavrin::Test {
namespace {

// What a slice leaves: the CPU record and the memory the programs reach.
struct SliceEnd {
    std::array<uint32_t, 16> r;
    uint32_t cpsr;
    int32_t cyclesLeft;
    uint32_t biosCalls, ioWrites;
    std::vector<uint8_t> memory;

    bool operator==(const SliceEnd &) const = default;
};

// The windows the random bases point into (the program's own code is one).
constexpr uint32_t Windows[][2] = {
    {0x00000000, 0x400}, {0x02000000, 0x400}, {0x03000000, 0x800}, {0x05000000, 0x100}, {0x06000000, 0x400},
};

SliceEnd Capture(const TestMachine &m, const ArmState &cpu)
{
    SliceEnd e{};
    for (int n = 0; n < 16; ++n)
        e.r[n] = cpu.r[n];
    e.cpsr = cpu.cpsr;
    e.cyclesLeft = cpu.cyclesLeft;
    e.biosCalls = StandInLog.biosCalls;
    e.ioWrites = StandInLog.ioWrites;
    for (const auto &w : Windows)
        e.memory.insert(e.memory.end(), m.Host(w[0]), m.Host(w[0]) + w[1]);
    return e;
}

// Slice lengths: single cycles that end a slice after nearly every
// instruction, the machine's two lengths and a long one.
constexpr int32_t SliceLengths[] = {1, 960, 3, 272, 2, 4000, 17, 5, 1232, 1};
constexpr int SliceCount = int(std::size(SliceLengths));

struct Recorder {
    const TestMachine *machine = nullptr;
    std::vector<SliceEnd> ends;
};
Recorder Recording;

uint32_t RecordSlice(ArmState *s)
{
    Recording.ends.push_back(Capture(*Recording.machine, *s));
    if (Recording.ends.size() == size_t(SliceCount))
        return LineHookStop;
    s->sliceLength = SliceLengths[Recording.ends.size()];
    return 0;
}

// Stores through the free registers land anywhere: at the end the whole
// writable memory counts too.
void AppendWholeMemory(const TestMachine &m, std::vector<SliceEnd> &ends)
{
    if (ends.empty())
        return;
    std::vector<uint8_t> &memory = ends.back().memory;
    for (const std::vector<uint8_t> *block : {&m.ewram, &m.iwram, &m.palette, &m.vram, &m.oam, &m.io})
        memory.insert(memory.end(), block->begin(), block->end());
}

struct Program {
    uint32_t at;
    bool thumb;
    std::vector<uint16_t> code;
    std::array<uint32_t, 8> regs;
};

// Runs p through the run loop, or by single steps slice by slice as the run
// loop would cut them, and returns every slice's end.
std::vector<SliceEnd> RunSlices(const Program &p, bool bySteps)
{
    TestMachine m;
    // The page that absorbs stores to read-only and unmapped memory is the
    // bus's own, not the machine's, and the I/O region past its registers
    // and the EEPROM's window read it: wipe what the last run stored there,
    // as a machine start does with a fresh one.
    std::memset(DummyPage, 0, PageSize);
    m.LoadThumb(p.at, p.code);
    ArmState &cpu = ConsoleCpu;
    cpu.cpsr = ModeSystem | (p.thumb ? FlagT : 0);
    for (int n = 0; n < 8; ++n)
        cpu.r[n] = p.regs[n];
    cpu.r[15] = p.at;
    cpu.cyclesLeft = SliceLengths[0];
    Recording = {&m, {}};
    if (!bySteps) {
        SetStandInLineHook(RecordSlice);
        EXPECT_EQ(ArmRunFrame(&cpu), 0);
        std::vector<SliceEnd> ends = std::move(Recording.ends);
        AppendWholeMemory(m, ends);
        return ends;
    }
    std::vector<SliceEnd> ends;
    for (int slice = 0; slice < SliceCount;) {
        while (cpu.cyclesLeft > 0)
            ArmStepInstruction(&cpu);
        if (cpu.earlyExit) {
            // A store over the fetched instructions or a switch of
            // instruction set cut the slice: the run loop folds the cycles
            // back and goes on.
            cpu.cyclesLeft += cpu.savedCycles;
            cpu.earlyExit = 0;
            continue;
        }
        ends.push_back(Capture(m, cpu));
        if (++slice < SliceCount)
            cpu.cyclesLeft += SliceLengths[slice];
    }
    AppendWholeMemory(m, ends);
    return ends;
}

// THUMB forms with bases r0-r3 that only the loads and the multiple
// transfers move (r0: the program itself, so stores land on code just
// ahead), other registers free, branches kept near the program, and one
// halfword in eight any value at all.
uint16_t RandomThumb(std::mt19937 &rng)
{
    auto pick = [&rng](uint32_t n) { return uint32_t(rng() % n); };
    const uint32_t low = 4 + pick(4); // r4-r7
    switch (pick(16)) {
    case 0: return uint16_t((pick(0x2000) & ~7u) | low);                         // shifts
    case 1: return uint16_t(0x1800 | (pick(0x800) & ~7u) | low);                 // ADD/SUB register, imm3
    case 2: return uint16_t(0x2000 | pick(4) << 11 | low << 8 | pick(256));    // MOV/CMP/ADD/SUB imm8
    case 3: return uint16_t(0x4000 | pick(16) << 6 | pick(8) << 3 | low);      // ALU
    case 4: return uint16_t(0x4400 | pick(3) << 8 | ((pick(64) << 1) & 0x78) | (low & 7)); // ADD/CMP/MOV high
    case 5: return uint16_t(0x5000 | pick(8) << 9 | pick(8) << 6 | pick(4) << 3 | pick(8)); // register offset
    case 6: return uint16_t(0x6000 | pick(4) << 11 | pick(32) << 6 | pick(4) << 3 | pick(8)); // STR/LDR(B) imm5
    case 7: return uint16_t(0x8000 | pick(2) << 11 | pick(32) << 6 | pick(4) << 3 | pick(8)); // STRH/LDRH
    case 8: return uint16_t(0x9000 | pick(2) << 11 | low << 8 | pick(32));      // SP-relative
    case 9: return uint16_t(0x4800 | low << 8 | pick(64));                      // LDR PC-relative
    case 10: return uint16_t(0xA000 | pick(2) << 11 | low << 8 | pick(256));    // ADD PC/SP
    case 11: return uint16_t(0xB400 | pick(2) << 11 | pick(0x200));             // PUSH/POP
    case 12: return uint16_t(0xD000 | pick(16) << 8 | ((pick(24) - 12) & 0xFF));  // Bcond, SWI
    case 13: return uint16_t(0xE000 | ((pick(32) - 16) & 0x7FF));                 // B
    case 14: return pick(4) ? uint16_t(0x4700 | pick(3) << 3) : uint16_t(0xC000 | pick(4) << 8 | pick(256));
    default: return uint16_t(rng());
    }
}

Program RandomProgram(std::mt19937 &rng)
{
    static constexpr uint32_t Places[] = {0x08000100, 0x03000100, 0x02000100, 0x06000100, 0x00000100};
    Program p{Places[rng() % std::size(Places)], rng() % 8 != 0, {}, {}};
    p.code.resize(96);
    for (auto &h : p.code)
        h = RandomThumb(rng);
    // r0 the code itself (BX r0 enters it as ARM), r1 work RAM data, r2
    // the I/O registers or VRAM, r3 anywhere in the windows.
    auto pick = [&rng](uint32_t n) { return uint32_t(rng() % n); };
    const uint32_t window = Windows[pick(std::size(Windows))][0];
    p.regs = {p.at + pick(32) * 2, 0x03000600 + pick(64) * 4, pick(2) ? 0x04000000u : 0x06000200u,
              window + pick(64) * 2, uint32_t(rng()), uint32_t(rng()), uint32_t(rng()),
              pick(4) ? uint32_t(rng()) : p.at + 1};
    return p;
}

TEST(RunLoopDifferential, RandomProgramsEndEverySliceAsSingleSteps)
{
    std::mt19937 rng(2027);
    for (int trial = 0; trial < 700; ++trial) {
        const Program p = RandomProgram(rng);
        const std::vector<SliceEnd> want = RunSlices(p, true);
        const std::vector<SliceEnd> got = RunSlices(p, false);
        ASSERT_EQ(got.size(), want.size()) << "trial " << trial;
        for (size_t n = 0; n < want.size(); ++n) {
            const SliceEnd &g = got[n], &w = want[n];
            const std::string where = "trial " + std::to_string(trial) + ", slice " + std::to_string(n);
            EXPECT_EQ(g.r, w.r) << where;
            EXPECT_EQ(g.cpsr, w.cpsr) << where;
            EXPECT_EQ(g.cyclesLeft, w.cyclesLeft) << where;
            EXPECT_EQ(g.biosCalls, w.biosCalls) << where;
            EXPECT_EQ(g.ioWrites, w.ioWrites) << where;
            EXPECT_TRUE(g.memory == w.memory) << where;
            if (!(g == w))
                return;
        }
    }
}

// Past the image the cartridge answers with the address halfwords, which no
// store changes. Stores into the cartridge land on the page that absorbs
// them; were that page what those addresses read, code past the image would
// run what was stored, and a program run twice what its first run left.
TEST(RunLoopDifferential, CodePastTheImageIsItsAddressWhateverWasStored)
{
    TestMachine m; // a 16 KB image
    ArmState &cpu = ConsoleCpu;
    // The halfword at a is bits 16-1 of a: 0x20nn, a THUMB MOVS r0, #nn,
    // where a's low 17 bits are 0x4000-0x41FF.
    for (const uint32_t at : {0x08004010u, 0x0A024040u, 0x0C1E41FCu}) {
        SCOPED_TRACE(testing::Message() << std::hex << at);
        // A THUMB "B ." twice, stored at the same place in the image's page.
        cpu.r[1] = 0x08000000 | (at & 0x3FFF);
        cpu.r[2] = 0xE7FEE7FE;
        m.ExecArm(0xE5812000); // STR r2, [r1]
        cpu.r[4] = at & ~3u;
        m.ExecArm(0xE5943000); // LDR r3, [r4]
        EXPECT_EQ(cpu.r[3], ((at & ~3u) >> 1 & 0xFFFF) | ((at | 2) >> 1 & 0xFFFF) << 16);

        cpu.cpsr |= FlagT;
        cpu.r[0] = 0xFFFFFFFF;
        cpu.r[15] = at;
        m.Step();
        EXPECT_EQ(cpu.r[0], at >> 1 & 0xFF);
        EXPECT_EQ(cpu.r[15], at + 2);
    }
    // The EEPROM's window keeps that page: its DMA reads see the bits there.
    std::memcpy(DummyPage, "\x11\x22\x33\x44", 4);
    cpu.r[4] = 0x0D000000;
    m.ExecArm(0xE5943000); // LDR r3, [r4]
    EXPECT_EQ(cpu.r[3], 0x44332211u);
}

} // namespace
} // namespace Tavrin::Test
