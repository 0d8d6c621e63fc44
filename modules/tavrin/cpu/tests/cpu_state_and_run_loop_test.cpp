// The CPU record (banking, early exit, IRQ entry, its stored image) and the
// slice bookkeeping of the run loop.
#include "common/zorvan/ByteStream.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/testing/ArmAsm.h"
#include "modules/tavrin/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace Tavrin::Test {
namespace {

using namespace Asm;

TEST(ArmStateRecord, ModeSwitchBanksOnlyR13AndR14)
{
    TestMachine m;
    ArmState &s = ConsoleCpu;
    s.r[8] = 8;
    s.r[13] = 0x100;
    s.r[14] = 0x200;
    ArmSwitchMode(&s, 0x10); // system to user: the same bank
    EXPECT_EQ(s.r[13], 0x100u);
    ArmSwitchMode(&s, 0x12);
    s.r[13] = 0x1200;
    ArmSwitchMode(&s, 0x13);
    s.r[13] = 0x1300;
    ArmSwitchMode(&s, 0x12);
    EXPECT_EQ(s.r[13], 0x1200u);
    ArmSwitchMode(&s, 0x11); // FIQ uses the undefined bank
    s.r[13] = 0x1100;
    s.r[8] = 88;
    ArmSwitchMode(&s, 0x1B);
    EXPECT_EQ(s.r[13], 0x1100u);
    ArmSwitchMode(&s, 0x1F);
    EXPECT_EQ(s.r[13], 0x100u);
    EXPECT_EQ(s.r[14], 0x200u);
    EXPECT_EQ(s.r[8], 88u); // r8-r12 are never banked
}

TEST(ArmStateRecord, EarlyExitOnlyForModeTAndI)
{
    TestMachine m;
    ArmState &s = ConsoleCpu;
    s.cyclesLeft = 70;
    ArmSwitchMode(&s, 0xF000005F); // flags and F only
    EXPECT_EQ(s.earlyExit, 0);
    EXPECT_EQ(s.cyclesLeft, 70);
    ArmSwitchMode(&s, 0xF00000DF); // I
    EXPECT_EQ(s.earlyExit, 1);
    EXPECT_EQ(s.savedCycles, 70);
    s.cyclesLeft = -5;
    ArmRequestIrq(&s); // a second exit keeps the first count
    EXPECT_EQ(s.savedCycles, 70);
    EXPECT_EQ(s.irqRequest, 1u);
}

TEST(ArmStateRecord, IrqIsTakenInEveryModeWhileIIsClear)
{
    TestMachine m;
    ArmState &s = ConsoleCpu;
    for (uint32_t mode : {ModeUser, ModeSystem, ModeSupervisor, ModeAbort, ModeUndefined, ModeFiq, ModeIrq}) {
        ArmReset(&s, 0);
        ArmSwitchMode(&s, mode);
        s.r[15] = 0x08000200;
        s.irqRequest = 1;
        ArmSwitchMode(&s, 0x40000000 | FlagI | mode);
        EXPECT_FALSE(ArmEnterIrq(&s)) << std::hex << mode;
        ArmSwitchMode(&s, 0x40000000 | mode);
        ASSERT_TRUE(ArmEnterIrq(&s)) << std::hex << mode;
        EXPECT_EQ(s.cpsr, 0x40000092u) << std::hex << mode;
        EXPECT_EQ(s.spsrIrq, 0x40000000u | mode) << std::hex << mode;
        EXPECT_EQ(s.r[14], 0x08000204u) << std::hex << mode;
        EXPECT_EQ(s.r[15], 0x18u) << std::hex << mode;
    }
}

TEST(ArmStateRecord, IrqEntry)
{
    TestMachine m;
    ArmState &s = ConsoleCpu;
    s.irqRequest = 1;
    s.cpsr = 0x9F;
    EXPECT_FALSE(ArmEnterIrq(&s));
    s.cpsr = 0x2000003F; // THUMB, system
    s.r[15] = 0x08000102;
    EXPECT_TRUE(ArmEnterIrq(&s));
    EXPECT_EQ(s.cpsr, 0x20000092u);
    EXPECT_EQ(s.spsrIrq, 0x2000003Fu);
    EXPECT_EQ(s.r[14], 0x08000106u);
    EXPECT_EQ(s.r[15], 0x18u);
    EXPECT_EQ(s.r[13], 0x03007FA0u);
    EXPECT_EQ(s.irqRequest, 1u);
}

TEST(ArmStateRecord, ImageIsWrittenFieldByFieldAndValidated)
{
    ArmState s{};
    s.cpsr = 0x1F;
    for (uint32_t i = 0; i < 16; ++i)
        s.r[i] = 0x100 + i * 4;
    s.r14Und = 0xABCD;
    s.spsrFiq = 0x11;
    s.cp15[3] = 0x33;
    s.irqRequest = 1;
    s.sliceLength = 960;
    s.cyclesLeft = -3;
    s.savedCycles = 12;
    s.earlyExit = 1;
    s.reportUnknown = 0x10;
    Zorvan::ByteWriter out;
    ArmWriteImage(s, out);
    ASSERT_EQ(out.size(), 316u);
    auto word = [&](size_t at) {
        Zorvan::ByteReader r(out.bytes().data() + at, 4);
        return r.u32();
    };
    EXPECT_EQ(word(0), 0x1Fu);
    EXPECT_EQ(word(4 + 15 * 4), 0x13Cu);
    EXPECT_EQ(word(124), 0xABCDu);
    EXPECT_EQ(word(128), 0x11u);
    EXPECT_EQ(word(224 + 12), 0x33u);
    EXPECT_EQ(word(292), 960u);
    EXPECT_EQ(word(296), uint32_t(-3));
    EXPECT_EQ(out.bytes()[304], 1);
    EXPECT_EQ(out.bytes()[312], 0x10);

    ArmState back{};
    Zorvan::ByteReader in(out.bytes());
    ASSERT_TRUE(ArmReadImage(back, in));
    EXPECT_EQ(std::memcmp(&back, &s, sizeof s), 0);

    // Short or inconsistent images leave the record untouched.
    ArmState keep{};
    keep.r[0] = 77;
    Zorvan::ByteReader shortIn(out.bytes().data(), 315);
    EXPECT_FALSE(ArmReadImage(keep, shortIn));
    struct Corruption {
        const char *name;
        size_t at;
        std::vector<uint8_t> bytes;
    } corruptions[] = {
        {"slice length 0", 292, {0, 0, 0, 0}},
        {"negative slice length", 292, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"early-exit byte 2", 304, {2}},
        {"slice length of minutes", 292, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"countdown of minutes", 296, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"countdown far below zero", 296, {0x00, 0x00, 0x00, 0x80}},
        {"saved countdown far below zero", 300, {0x00, 0x00, 0x00, 0x80}},
        {"high-vectors byte 2", 305, {2}},
        {"no such mode", 0, {0x00}},
        {"ARM r15 not word-aligned", 4 + 15 * 4, {0x3E}},
    };
    for (const Corruption &c : corruptions) {
        std::vector<uint8_t> bad = out.bytes();
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + long(c.at));
        Zorvan::ByteReader badIn(bad);
        EXPECT_FALSE(ArmReadImage(keep, badIn)) << c.name;
        EXPECT_EQ(keep.r[0], 77u) << c.name;
    }
}

TEST(ArmStateRecord, ImageWithAnOverflowingEarlyExitIsRefused)
{
    // Folding this early exit back would add INT32_MIN to -5.
    ArmState s{};
    s.cpsr = ModeSystem;
    s.sliceLength = 960;
    s.cyclesLeft = -5;
    s.savedCycles = INT32_MIN;
    s.earlyExit = 1;
    Zorvan::ByteWriter out;
    ArmWriteImage(s, out);
    ArmState keep{};
    keep.cyclesLeft = 123;
    Zorvan::ByteReader in(out.bytes());
    EXPECT_FALSE(ArmReadImage(keep, in));
    EXPECT_EQ(keep.cyclesLeft, 123);

    // A THUMB image with a halfword-aligned r15 and an unfolded early exit
    // within a frame is a state a running machine leaves.
    s.cpsr = ModeUser | FlagT;
    s.r[15] = 0x08000002;
    s.savedCycles = 272;
    Zorvan::ByteWriter again;
    ArmWriteImage(s, again);
    Zorvan::ByteReader good(again.bytes());
    EXPECT_TRUE(ArmReadImage(keep, good));

    s.r[15] = 0x08000003;
    Zorvan::ByteWriter odd;
    ArmWriteImage(s, odd);
    Zorvan::ByteReader oddIn(odd.bytes());
    EXPECT_FALSE(ArmReadImage(keep, oddIn)) << "THUMB r15 odd";
}

// The run loop with a scripted line step.
struct Script {
    int calls = 0;
    uint32_t result = 0;
    int stopAfter = 1000;
    int frameAt = 1000;
    bool requestIrqDuringHook = false;
};
Script gScript;

uint32_t ScriptedLineHook(ArmState *s)
{
    ++gScript.calls;
    if (gScript.calls >= gScript.stopAfter)
        return LineHookStop;
    if (gScript.requestIrqDuringHook)
        ArmRequestIrq(s);
    if (gScript.calls == gScript.frameAt)
        FrameEnded = 1;
    s->sliceLength = 100;
    return gScript.result;
}

class RunLoop : public ::testing::Test {
protected:
    TestMachine m;
    ArmState &cpu = ConsoleCpu;
    void SetUp() override
    {
        gScript = Script{};
        FrameEnded = 0;
        SetStandInLineHook(&ScriptedLineHook);
        // Code in internal RAM: every instruction costs 1 cycle.
        for (uint32_t a = 0x03000000; a < 0x03000400; a += 4)
            m.Poke32(a, DpImm(ADD, false, 0, 0, 1));
        cpu.r[15] = 0x03000000;
        cpu.sliceLength = 100;
        cpu.cyclesLeft = 10;
    }
};

TEST_F(RunLoop, SlicesRunUntilTheFrameEnds)
{
    gScript.frameAt = 3;
    EXPECT_EQ(ArmRunFrame(&cpu), 1);
    EXPECT_EQ(cpu.r[0], 10u + 100 + 100);
    EXPECT_EQ(cpu.cyclesLeft, 100);
    EXPECT_EQ(FrameEnded, 0);
}

TEST_F(RunLoop, EmptySliceGoesStraightToTheLineStep)
{
    cpu.cyclesLeft = -4;
    gScript.stopAfter = 2;
    EXPECT_EQ(ArmRunFrame(&cpu), 0);
    EXPECT_EQ(cpu.r[0], 96u);
}

TEST_F(RunLoop, StopReturnsAtOnceWithoutIrq)
{
    gScript.stopAfter = 1;
    cpu.irqRequest = 1;
    EXPECT_EQ(ArmRunFrame(&cpu), 0);
    EXPECT_EQ(cpu.cpsr & ModeMask, 0x1Fu);
}

TEST_F(RunLoop, EarlyExitSkipsTheLineStepAndKeepsCycles)
{
    // MSR CPSR_c into IRQ mode after four instructions: the slice is cut,
    // then continues in the new mode with the cycles it had left.
    cpu.r[1] = 0x92;
    m.Poke32(0x03000010, Msr(false, 1, 1));
    gScript.stopAfter = 1;
    EXPECT_EQ(ArmRunFrame(&cpu), 0);
    EXPECT_EQ(gScript.calls, 1);
    EXPECT_EQ(cpu.cpsr & ModeMask, 0x12u);
    EXPECT_EQ(cpu.r[0], 9u); // 10 cycles: 4 adds, the MSR, 5 more adds
}

TEST_F(RunLoop, PendingIrqIsTakenAtTheSliceEnd)
{
    gScript.result = 1;
    gScript.stopAfter = 2;
    m.Poke32(0x18, SpinArm); // the BIOS vector spins
    m.bios[0x18] = 0xFE;
    m.bios[0x19] = 0xFF;
    m.bios[0x1A] = 0xFF;
    m.bios[0x1B] = 0xEA;
    EXPECT_EQ(ArmRunFrame(&cpu), 0);
    EXPECT_EQ(cpu.cpsr & ModeMask, 0x12u);
    EXPECT_EQ(cpu.r[14], 0x03000000u + 40 + 4);
    EXPECT_EQ(cpu.r[15], 0x18u);
    EXPECT_EQ(cpu.r[0], 10u);
}

TEST_F(RunLoop, EarlyExitDuringTheLineStepIsFoldedBeforeTheNextSlice)
{
    // The line step raises an interrupt (a DMA store to IE). The next slice
    // must still be cut by BX into THUMB code after ten adds, or the rest of
    // the slice would decode THUMB halfwords as ARM words.
    gScript.requestIrqDuringHook = true;
    gScript.stopAfter = 2;
    cpu.cpsr = 0x9F; // I set: the request is not taken
    cpu.r[1] = 0x03000201;
    m.Poke32(0x03000028 + 40, Bx(1));
    for (uint32_t a = 0x03000200; a < 0x03000400; a += 2)
        m.Poke16(a, 0x3201); // add r2, #1
    EXPECT_EQ(ArmRunFrame(&cpu), 0);
    EXPECT_TRUE(cpu.cpsr & FlagT);
    EXPECT_EQ(cpu.r[0], 20u);
    EXPECT_EQ(cpu.r[2], 89u); // the slice's remaining cycles, in THUMB
    EXPECT_EQ(gScript.calls, 2);
}

// The CPU has fetched the two instructions after the one it executes: a
// store over them does not change what runs next, a store further on does,
// and so does a store over code reached again by a jump. Each program adds
// 1 to r0 for every original instruction and 16 for each one the store put
// there (r2 holds the new code, r3 the address stored to). Run both by
// single steps and by the run loop's slices.
TEST_F(RunLoop, StoresOverFetchedInstructionsDoNotChangeThem)
{
    constexpr uint32_t P = 0x03000000;
    const uint32_t add1 = DpImm(ADD, false, 0, 0, 1), add16 = DpImm(ADD, false, 0, 0, 16);
    const uint32_t str = Mem(false, false, true, true, false, 2, 3, 0); // str r2, [r3]
    const uint16_t tAdd1 = 0x3001, tAdd16 = 0x3010;                     // add r0, #imm
    const uint16_t tStrh = 0x801A, tStr = 0x601A, tStrb = 0x701A;       // strh/str/strb r2, [r3]
    struct Case {
        const char *what;
        bool thumb;
        std::vector<uint32_t> code; // words, or halfwords in THUMB; the last one spins
        uint32_t r2, r3;
        uint32_t r0;
    };
    const Case cases[] = {
        {"ARM, next instruction", false, {str, add1, add1, add1, SpinArm}, add16, P + 4, 3},
        {"ARM, the one after", false, {str, add1, add1, add1, SpinArm}, add16, P + 8, 3},
        {"ARM, third ahead", false, {str, add1, add1, add1, SpinArm}, add16, P + 12, 18},
        {"ARM, byte store", false, {Mem(false, true, true, true, false, 2, 3, 0), add1, add1, add1, SpinArm},
         add16, P + 4, 3},
        {"ARM, STM over both", false, {Block(false, false, true, false, 3, List({2, 4})), add1, add1, add1, SpinArm},
         add16, P + 4, 3},
        // The kept instruction stores past the pair: what it reaches next is
        // now fetched, so its old code runs too.
        {"ARM, kept store reaches on", false,
         {str, Mem(false, false, true, true, false, 2, 3, 8), add1, add1, SpinArm}, add16, P + 4, 2},
        // Back over the stored instruction by a branch: it is fetched anew.
        {"ARM, branch back", false,
         {str, add1, DpImm(CMP, true, 0, 0, 1), Branch(P + 12, P + 4, false, EQ), SpinArm}, add16, P + 4, 17},
        {"THUMB, next instruction", true, {tStrh, tAdd1, tAdd1, tAdd1, T::Spin}, tAdd16, P + 2, 3},
        {"THUMB, the one after", true, {tStrh, tAdd1, tAdd1, tAdd1, T::Spin}, tAdd16, P + 4, 3},
        {"THUMB, third ahead", true, {tStrh, tAdd1, tAdd1, tAdd1, T::Spin}, tAdd16, P + 6, 18},
        {"THUMB, byte store", true, {tStrb, tAdd1, tAdd1, tAdd1, T::Spin}, tAdd16, P + 2, 3},
        {"THUMB, word over one kept and one not", true, {tStr, tAdd1, tAdd1, tAdd1, T::Spin},
         uint32_t(tAdd16) * 0x10001, P + 4, 18},
    };
    for (bool slices : {false, true}) {
        for (const Case &c : cases) {
            m.ResetCpu(P);
            gScript = Script{};
            gScript.stopAfter = 3;
            uint32_t done = P;
            for (uint32_t word : c.code) {
                if (c.thumb)
                    m.Poke16(done, uint16_t(word));
                else
                    m.Poke32(done, word);
                done += c.thumb ? 2 : 4;
            }
            done -= c.thumb ? 2 : 4;
            cpu.cpsr = c.thumb ? 0x3F : 0x1F;
            cpu.r[2] = cpu.r[4] = c.r2;
            cpu.r[3] = c.r3;
            if (slices) {
                cpu.sliceLength = 100;
                cpu.cyclesLeft = 100;
                EXPECT_EQ(ArmRunFrame(&cpu), 0) << c.what;
            } else {
                EXPECT_GE(m.RunUntil(done, 100), 0) << c.what;
            }
            EXPECT_EQ(cpu.r[15], done) << c.what << (slices ? ", in slices" : ", by steps");
            EXPECT_EQ(cpu.r[0], c.r0) << c.what << (slices ? ", in slices" : ", by steps");
        }
    }
    // The store itself reached memory.
    EXPECT_EQ(m.Peek32(P + 4), uint32_t(tAdd16) * 0x10001);
}

} // namespace
} // namespace Tavrin::Test
