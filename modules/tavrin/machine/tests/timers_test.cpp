// The timers against the machine's clock: what a load sees at a chosen
// cycle for each prescaler and along count-up chains, the start and reload
// rules, and the overflow interrupt that ends the CPU's slice at its cycle.
#include "modules/tavrin/testing/MachineFixture.h"

#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/Timers.h"
#include "modules/tavrin/testing/ArmAsm.h"

#include <cstring>

#include <vector>

namespace Tavrin::Test {
namespace {

class TimerTest : public MachineTest {
protected:
    // Puts the CPU at cycle c of the clock, making the line steps on the way
    // as the run loop makes them.
    void RunTo(uint64_t c)
    {
        ASSERT_GE(c, CpuClock());
        while (SliceEndClock <= c) {
            cpu.cyclesLeft = 0;
            LineHook(&cpu);
            cpu.cyclesLeft += cpu.sliceLength;
        }
        cpu.cyclesLeft = int32_t(SliceEndClock - c);
    }
    static uint32_t Counter(uint32_t n) { return ReadIo16(0x04000100 + 4 * n); }
    static void Start(uint32_t n, uint32_t reload, uint32_t control)
    {
        WriteIo(0x04000100 + 4 * n, reload);
        WriteIo(0x04000102 + 4 * n, control);
    }
};

// A 16-bit counter started at reload and given counts: its value, and how
// often it ran over.
struct Counted {
    uint64_t value, overflows;
};
Counted Count(uint64_t reload, uint64_t counts)
{
    const uint64_t v = reload + counts;
    if (v <= 0xFFFF)
        return {v, 0};
    const uint64_t m = 0x10000 - reload;
    return {reload + (v - 0x10000) % m, (v - 0x10000) / m + 1};
}

TEST_F(TimerTest, ALoadSeesTheCounterOfItsOwnCycle)
{
    const uint64_t start = 100;
    const uint32_t prescale[4] = {1, 64, 256, 1024};
    const uint32_t reload[4] = {0xFFF0, 0xFF00, 0xFFFC, 0x8000};
    RunTo(start);
    for (uint32_t n = 0; n < 4; ++n)
        Start(n, reload[n], 0x80 | n); // timer n on prescaler n
    // Right after the start, one count later, around line events and across
    // whole frames.
    for (uint64_t after : {0, 1, 63, 64, 65, 255, 256, 859, 860, 861, 1023, 1024, 1025, 1131, 1132, 5000, 70000,
                           280897, 2000001}) {
        RunTo(start + after);
        for (uint32_t n = 0; n < 4; ++n)
            EXPECT_EQ(Counter(n), Count(reload[n], after / prescale[n]).value)
                << "timer " << n << ", " << after << " cycles after the start";
    }
}

TEST_F(TimerTest, CountUpTimersTakeOneCountPerOverflowBelow)
{
    struct Chain {
        uint32_t reload[3]; // timer 0 (one cycle a count), then two count-up timers
    };
    const Chain chains[] = {
        {{0xFFF0, 0xFFFE, 0xFFFF}}, // every timer runs over often
        {{0xFF00, 0x0000, 0xFFF0}},
        {{0xFFFF, 0xFFFD, 0x1000}}, // timer 0 runs over every cycle
    };
    for (const Chain &c : chains) {
        MachineReset();
        const uint64_t start = CpuClock() + 40;
        RunTo(start);
        Start(2, c.reload[2], 0x84);
        Start(1, c.reload[1], 0x84);
        Start(0, c.reload[0], 0x80);
        for (uint64_t after : {0, 1, 15, 16, 17, 255, 256, 257, 960, 4096, 100000}) {
            RunTo(start + after);
            const Counted t0 = Count(c.reload[0], after);
            const Counted t1 = Count(c.reload[1], t0.overflows);
            const Counted t2 = Count(c.reload[2], t1.overflows);
            EXPECT_EQ(Counter(0), t0.value) << std::hex << c.reload[0] << std::dec << " after " << after;
            EXPECT_EQ(Counter(1), t1.value) << std::hex << c.reload[1] << std::dec << " after " << after;
            EXPECT_EQ(Counter(2), t2.value) << std::hex << c.reload[2] << std::dec << " after " << after;
        }
    }
}

TEST_F(TimerTest, StartingLoadsTheCounterAndAReloadStoreWaitsForIt)
{
    RunTo(50);
    WriteIo(0x04000108, 0x1234);
    EXPECT_EQ(Counter(2), 0u) << "a stopped timer keeps its counter";
    WriteIo(0x0400010A, 0x0080);
    EXPECT_EQ(Counter(2), 0x1234u) << "the start loads the reload value";
    RunTo(60);
    EXPECT_EQ(Counter(2), 0x123Eu);
    WriteIo(0x04000108, 0xFFFE);
    RunTo(70);
    EXPECT_EQ(Counter(2), 0x1248u) << "a running timer goes on from its counter";
    const uint64_t overflow = 70 + 0x10000 - 0x1248;
    RunTo(overflow - 1);
    EXPECT_EQ(Counter(2), 0xFFFFu);
    RunTo(overflow);
    EXPECT_EQ(Counter(2), 0xFFFEu) << "the overflow takes the new reload value";
    RunTo(overflow + 100);
    const uint32_t stopped = Counter(2);
    WriteIo(0x0400010A, 0x0000);
    RunTo(overflow + 1000);
    EXPECT_EQ(Counter(2), stopped) << "a stopped timer holds its count";
    WriteIo(0x0400010A, 0x0080);
    EXPECT_EQ(Counter(2), 0xFFFEu) << "a restart loads the reload value again";

    // Rewriting the control of a running timer with the same prescaler
    // keeps its count going; another prescaler starts the count afresh.
    const uint64_t t = overflow + 2000;
    RunTo(t);
    Start(3, 0, 0x81);
    RunTo(t + 32);
    WriteIo(0x0400010E, 0x00C1);
    RunTo(t + 64);
    EXPECT_EQ(Counter(3), 1u);
    RunTo(t + 100);
    WriteIo(0x0400010E, 0x00C2);
    RunTo(t + 100 + 255);
    EXPECT_EQ(Counter(3), 1u);
    RunTo(t + 100 + 256);
    EXPECT_EQ(Counter(3), 2u);
}

TEST_F(TimerTest, AnEnabledOverflowInterruptEndsTheSliceAtItsCycle)
{
    // With the interrupt not enabled no slice is cut, yet the flag comes at
    // its cycle for a load to see.
    RunTo(10);
    Start(0, 0xFFFE, 0xC1);
    EXPECT_EQ(SliceEndClock, 960u);
    RunTo(137);
    EXPECT_EQ(ReadIo16(0x04000202) & 8, 0u);
    RunTo(138);
    EXPECT_EQ(ReadIo16(0x04000202) & 8, 8u);

    // Enabled, it ends the slice even without the master enable: it wakes
    // a halted CPU all the same.
    MachineReset();
    WriteIo(0x04000200, 0x0018); // timers 0 and 1
    RunTo(100);
    Start(0, 0xFFFE, 0xC1); // runs over every 128 cycles, the first at 228
    EXPECT_EQ(SliceEndClock, 228u);
    RunTo(227);
    EXPECT_EQ(ReadIo16(0x04000202) & 8, 0u);
    WriteIo(0x04000208, 1);
    cpu.cyclesLeft = 0;
    EXPECT_EQ(LineHook(&cpu), 8u) << "the line step at the overflow's cycle returns it";
    EXPECT_EQ(SliceEndClock, 960u) << "a flagged interrupt ends no slice";

    // Acknowledged, the next overflow ends the slice again.
    cpu.cyclesLeft = cpu.sliceLength - 72; // cycle 300
    WriteIo(0x04000202, 0x0008);
    EXPECT_EQ(SliceEndClock, 356u);
    EXPECT_EQ(CpuClock(), 300u) << "the CPU stays where it is";

    // A count-up timer's interrupt comes with the overflow below that
    // completes its count: timer 1 needs 3 of timer 0's, at 356, 484 and 612.
    Start(1, 0xFFFD, 0xC4);
    WriteIo(0x04000200, 0x0010);
    RunTo(356);
    EXPECT_EQ(SliceEndClock, 612u);
    RunTo(611);
    cpu.cyclesLeft = 0;
    EXPECT_EQ(LineHook(&cpu), 0x10u);
}

TEST_F(TimerTest, AHaltedCpuWakesAtTheOverflowsCycle)
{
    // The CPU halts in the middle of line 0; the timer runs over during the
    // horizontal blank of line 5.
    const uint64_t overflow = 5 * 1232 + 1000;
    WriteIo(0x04000200, 0x0008);
    WriteIo(0x04000208, 1);
    RunTo(300);
    Start(0, uint32_t(0x10000 - (overflow - 300)), 0xC0);
    RunTo(500);
    cpu.cpsr = 0x1F;
    cpu.r[15] = 0x08000104;
    WriteIo(0x04000300, 0);
    ASSERT_EQ(HaltState, 1u);
    EXPECT_EQ(cpu.cyclesLeft, 0) << "the rest of the slice is charged at once";
    EXPECT_EQ(LineHook(&cpu), 8u);
    EXPECT_EQ(HaltState, 2u);
    EXPECT_EQ(SliceEndClock - uint64_t(cpu.sliceLength), overflow) << "woken at the overflow";
    EXPECT_EQ(cpu.cyclesLeft, 0);
    EXPECT_EQ(IoGet(Io::VCount), 5u);

    // Nothing to wake it: the halt lasts to the frame's end, and the next
    // slice runs no instruction either.
    MachineReset();
    WriteIo(0x04000200, 0x0080);
    WriteIo(0x04000208, 1);
    cpu.r[15] = 0x08000104;
    WriteIo(0x04000300, 0);
    EXPECT_EQ(LineHook(&cpu), 0u);
    EXPECT_EQ(FrameEnded, 1);
    EXPECT_EQ(IoGet(Io::VCount), 160u);
    EXPECT_EQ(cpu.cyclesLeft + cpu.sliceLength, 0);
}

TEST(TimerPolling, ALoopWaitingOnATimerLeavesAtTheCountItWaitsFor)
{
    using namespace Tavrin::Test::Asm;
    // Waits for timer 0, 64 cycles a count, to reach 0x100, then keeps the
    // count it left on. Two turns in a row see the same count, yet the loop
    // must not be taken for one that waits for nothing.
    const uint32_t loop = 0x08000014;
    const uint32_t program[] = {
        DpImm(MOV, false, 0, 0, 4, 4),                 // r0 = 0x04000000
        DpImm(ADD, false, 4, 0, 1, 12),                // r4 = 0x04000100
        DpImm(MOV, false, 2, 0, 1, 12),                // r2 = 0x100
        DpImm(MOV, false, 1, 0, 0x81),
        MemHalf(false, 1, true, true, false, 1, 4, 2), // start, 64 cycles a count
        MemHalf(true, 1, true, true, false, 1, 4, 0),  // loop: the counter
        DpReg(CMP, true, 0, 1, 2),
        Branch(loop + 8, loop, false, CC),
        DpImm(MOV, false, 3, 0, 3, 4),                 // r3 = 0x03000000
        Mem(false, false, true, true, false, 1, 3, 0),
        SpinArm,
    };
    std::vector<uint8_t> image(0x4000);
    std::memcpy(image.data(), program, sizeof program);
    TestFolder folder;
    MachineHarness machine;
    ASSERT_TRUE(machine.Start(folder.Write("poll.gba", image)));
    machine.RunFrames(2);
    EXPECT_EQ(BusRead32(0x03000000), 0x100u);
}

} // namespace
} // namespace Tavrin::Test
