// The scanline scheduler: line and frame timing, status flags and their
// interrupts, timers, keys, frame skip and the stop code.
#include "modules/tavrin/testing/MachineFixture.h"

#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/machine/Timers.h"
#include "modules/tavrin/render/RenderState.h"
#include "modules/tavrin/sound/Psg.h"

namespace Tavrin::Test {
namespace {

using LineHookTest = MachineTest;

TEST_F(LineHookTest, FrameEndsAtLine160AndVBlankFlagsOnTheNextStep)
{
    BusWrite16(0x04000004, 0x0008); // VBlank interrupt enable
    Lines(319);
    EXPECT_EQ(FrameEnded, 0);
    EXPECT_EQ(IoGet(Io::VCount), 159u);
    Lines(1);
    EXPECT_EQ(FrameEnded, 1);
    EXPECT_EQ(IoGet(Io::VCount), 160u);
    EXPECT_EQ(IoGet(Io::If) & 1, 0u);
    EXPECT_EQ(cpu.sliceLength, VisibleCycles);
    Lines(1);
    EXPECT_EQ(IoGet(Io::If) & 1, 1u);
    EXPECT_EQ(IoGet(Io::DispStat) & 3, 3u);
    EXPECT_EQ(cpu.sliceLength, HBlankCycles);
    Lines(456 - 321);
    EXPECT_EQ(IoGet(Io::VCount), 0u);
    EXPECT_EQ(IoGet(Io::DispStat) & 3, 0u);
}

TEST_F(LineHookTest, LineMatchRaisesItsFlagOnceAFrame)
{
    BusWrite16(0x04000004, 100 << 8 | 0x0020);
    int raised = 0;
    for (int i = 0; i < 2 * 456; ++i) {
        LineHook(&cpu);
        if (IoGet(Io::If) & 4) {
            ++raised;
            EXPECT_EQ(IoGet(Io::VCount), 100u);
            EXPECT_TRUE(IoGet(Io::DispStat) & 4);
            BusWrite16(0x04000202, 4);
        }
    }
    EXPECT_EQ(raised, 2);
    // A status write keeps the three flags as the display set them.
    GoToLine(100);
    EXPECT_TRUE(IoGet(Io::DispStat) & 4);
    BusWrite16(0x04000004, 0xFFF8);
    EXPECT_EQ(IoGet(Io::DispStat) & 7, 4u);
    BusWrite16(0x04000004, 0x0003);
    EXPECT_EQ(IoGet(Io::DispStat) & 7, 4u);
}

TEST_F(LineHookTest, PendingWordNeedsMasterEnableAndWakesAHaltedCpu)
{
    BusWrite16(0x04000004, 0x0010); // HBlank interrupt
    BusWrite16(0x04000200, 0x0002);
    EXPECT_EQ(Lines(1), 0u) << "IME clear";
    EXPECT_EQ(IoGet(Io::If), 2u);
    BusWrite16(0x04000208, 1);
    HaltState = 1;
    EXPECT_EQ(Lines(1), 2u);
    EXPECT_EQ(cpu.irqRequest, 2u);
    EXPECT_EQ(HaltState, 2u);
}

TEST_F(LineHookTest, TimerRunsOverAndCountsItsSoundSamples)
{
    BusWrite16(0x04000100, 0xFFF0);
    BusWrite16(0x04000102, 0x00C0); // running, interrupt, 1 cycle a count
    SyncTimers(TimerClock + 272);
    // 0xFFF0 + 272 = 0x10100: 0x100 past the top with a period of 16.
    EXPECT_EQ(TimerCounter[0], 0xFFF0u);
    EXPECT_EQ(PcmWritten[0], 17u) << "channel A runs on timer 0: 17 samples played";
    EXPECT_EQ(PcmWritten[1], 17u) << "so does channel B";
    EXPECT_EQ(IoGet(Io::If) & 8, 8u);
}

TEST_F(LineHookTest, PrescaledTimerCarriesItsRemainder)
{
    BusWrite16(0x04000108, 0);
    BusWrite16(0x0400010A, 0x0081); // 64 cycles a count
    SyncTimers(TimerClock + 960);
    EXPECT_EQ(TimerCounter[2], 15u);
    SyncTimers(TimerClock + 272);
    EXPECT_EQ(TimerCounter[2], 19u) << "1232 cycles are 19 counts and 16 cycles";
    EXPECT_EQ(TimerCountdown[2], 48);
}

TEST_F(LineHookTest, KeysAreReadOnceAFrameActiveLow)
{
    HeadlessHost.padState = 0x11; // A and Right
    Lines(320);
    EXPECT_EQ(IoGet(Io::KeyInput), 0x3EEu);
    HeadlessHost.padState = 0x200; // L alone
    Lines(455);
    EXPECT_EQ(IoGet(Io::KeyInput), 0x3EEu) << "the pad is read at the frame's end only";
    Lines(1);
    EXPECT_EQ(IoGet(Io::KeyInput), 0x1FFu);
}

TEST_F(LineHookTest, KeyInterruptInEitherMode)
{
    struct Case {
        uint32_t control, pad;
        bool raised;
    };
    const Case cases[] = {
        {0x4011, 0x01, true},   // any of A, Right: A held
        {0x4011, 0x00, false},  // none held
        {0xC011, 0x01, false},  // all of A, Right: only A held
        {0xC011, 0x11, true},   // both held
        {0x0011, 0x11, false},  // interrupt not enabled
        {0x4000, 0x3FF, false}, // no key selected
    };
    for (const Case &c : cases) {
        BusWrite16(0x04000132, c.control);
        BusWrite16(0x04000202, 0xFFFF);
        HeadlessHost.padState = c.pad;
        GoToLine(159);
        Lines(2);
        EXPECT_EQ((IoGet(Io::If) & 0x1000) != 0, c.raised) << std::hex << c.control << " pad " << c.pad;
    }
}

TEST_F(LineHookTest, SkippedFramesDrawNothingButRunEverythingElse)
{
    FrameSkipPeriod = 2;
    BusWrite16(0x04000026, 0x0100); // BG2 PD
    BusWrite16(0x04000104, 0);
    BusWrite16(0x04000106, 0x0080);
    // Each drawn line steps the affine point by PD: Bg2CurY counts them.
    Lines(456);
    EXPECT_EQ(HeadlessHost.framesPresented, 1u);
    EXPECT_EQ(Bg2CurY, 160 * 0x100);
    EXPECT_EQ(FrameSkipCountdown, 1u);

    const uint32_t timerBefore = TimerCounter[1];
    BusWrite16(0x04000004, 0x0010);
    BusWrite16(0x04000202, 0xFFFF);
    Lines(2);
    EXPECT_EQ(Bg2CurY, 160 * 0x100) << "no affine step in a skipped frame";
    EXPECT_EQ(IoGet(Io::If) & 2, 2u) << "interrupts as usual";
    Lines(454);
    EXPECT_EQ(Bg2CurY, 160 * 0x100);
    EXPECT_EQ(HeadlessHost.framesPresented, 1u);
    EXPECT_GT(TimerCounter[1], timerBefore);
    EXPECT_EQ(FrameSkipCountdown, 0u);
    Lines(2);
    EXPECT_EQ(Bg2CurY, 0x100) << "the next frame is drawn from its first line";

    // A period of 0 draws every frame rather than none.
    FrameSkipPeriod = 0;
    Lines(454 + 456);
    EXPECT_EQ(FrameSkipCountdown, 0u);
    EXPECT_EQ(Bg2CurY, 160 * 0x100);
    EXPECT_EQ(HeadlessHost.framesPresented, 3u);
    FrameSkipPeriod = 1;
}

TEST_F(LineHookTest, StopCodeComesBeforeAnySoundStep)
{
    // The first square plays with its length counter on: each frame's
    // sound tick adds 16 ms to it.
    BusWrite16(0x04000064, 0xC000);
    ASSERT_EQ(Psg.channel[0].lengthCount, 0);
    HeadlessHost.padState = 0x01; // A
    MachineStopped = 1;
    EXPECT_EQ(Lines(319), 0u);
    EXPECT_EQ(LineHook(&cpu), LineHookStop);
    EXPECT_EQ(Psg.channel[0].lengthCount, 0) << "no sound tick once stopped";
    EXPECT_EQ(IoGet(Io::KeyInput), 0x3FEu) << "the keys are read before the stop";
    MachineStopped = 0;
    Lines(456);
    EXPECT_EQ(Psg.channel[0].lengthCount, 16);
}

TEST_F(LineHookTest, FramesRunThroughTheCpu)
{
    BusWrite16(0x04000036, 0x0100); // BG3 PD
    EXPECT_EQ(machine.RunFrames(3), 3);
    EXPECT_EQ(HeadlessHost.framesPresented, 3u);
    EXPECT_EQ(Bg3CurY, 160 * 0x100);
    EXPECT_EQ(cpu.r[15], 0x08000000u);
}

} // namespace
} // namespace Tavrin::Test
