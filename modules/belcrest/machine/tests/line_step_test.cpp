// A frame driven through the line step: slice lengths, line and frame
// interrupts, the end of the frame, frame skip and the Pause button.
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/testing/MachineStandIns.h"
#include "modules/belcrest/vdp/Vdp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <tuple>
#include <vector>

namespace Belcrest::Test {
namespace {

class LineStepTest : public ::testing::Test {
protected:
    void SetUp() override { ResetStandIns(); }
    void TearDown() override { MachineShutdown(); }
    void Start(uint32_t type = MachineMasterSystem) { ASSERT_TRUE(StartWithImage(folder, MakeImage(2), type)); }

    // Steps the line hook until line 0 is entered again; returns the
    // interrupt word of each step.
    struct Step {
        unsigned line;
        int32_t slice;
        uint16_t vector;
        bool frameDone;
    };
    std::vector<Step> RunToLineZero()
    {
        std::vector<Step> steps;
        do {
            FrameDone = 0;
            const uint16_t v = LineHook(MachineCpu);
            steps.push_back({CurrentLine, MachineCpu.linePeriod, v, FrameDone != 0});
        } while (!(CurrentLine == 0 && LineSubStep == 0) || steps.size() < 2);
        return steps;
    }
    // Steps to the end of line 255, so the next step is line 0.
    void ToFrameStart()
    {
        while (CurrentLine != 255)
            LineHook(MachineCpu);
    }

    TempFolder folder;
};

TEST_F(LineStepTest, SlicesMakeTheFrame)
{
    Start();
    ToFrameStart();
    const auto steps = RunToLineZero();
    // Line 0 of this frame through line 255 (line 192 in three parts); the
    // last step entered line 0 of the next frame.
    ASSERT_EQ(steps.size(), 259u);
    int64_t total = 0;
    std::vector<int32_t> line192;
    for (size_t i = 0; i + 1 < steps.size(); ++i) {
        total += steps[i].slice;
        if (steps[i].line == 192)
            line192.push_back(steps[i].slice);
    }
    EXPECT_EQ(total, 65232);
    EXPECT_EQ(line192, (std::vector<int32_t>{72, 72, 72}));
    EXPECT_EQ(steps[0].slice, 216);
    EXPECT_EQ(steps[257].line, 255u);
    EXPECT_EQ(steps[257].slice, 65232 - 255 * 216);
}

TEST_F(LineStepTest, LineInterruptsFollowRegister10)
{
    for (uint8_t reload : {0, 1, 5}) {
        SCOPED_TRACE(int(reload));
        ResetStandIns();
        Start();
        VdpWriteRegister(10, reload);
        VdpWriteRegister(0, 0x14); // mode 4, line interrupts on
        ToFrameStart();
        VdpReadStatus(); // what the frame before left pending
        std::vector<unsigned> fired, expected;
        do {
            LineHook(MachineCpu);
            if (VdpLinePending) {
                fired.push_back(CurrentLine);
                EXPECT_EQ(MachineCpu.pendingInterrupt, 0x00FF);
                VdpReadStatus();
            }
        } while (CurrentLine != 255);
        for (unsigned line = reload + 2u; line <= 193; line += reload + 1u)
            expected.push_back(line);
        EXPECT_EQ(fired, expected);
        MachineShutdown();
    }
}

TEST_F(LineStepTest, FrameInterruptInTheSecondPartOfLine192)
{
    Start();
    VdpWriteRegister(1, 0x60); // display and frame interrupt on
    ToFrameStart();
    while (CurrentLine != 191)
        LineHook(MachineCpu);
    VdpReadStatus(); // acknowledge the previous frame's interrupt
    EXPECT_EQ(LineHook(MachineCpu), Z80VectorNone); // line 192, first part
    EXPECT_FALSE(VdpStatus & VdpStatusFrame);
    EXPECT_EQ(LineHook(MachineCpu), Z80VectorNone); // second part: the flag
    EXPECT_TRUE(VdpStatus & VdpStatusFrame);
    EXPECT_EQ(LineHook(MachineCpu), 0x00FF); // third part: the request
    EXPECT_EQ(VdpReadStatus() & VdpStatusFrame, VdpStatusFrame);
    EXPECT_EQ(MachineCpu.pendingInterrupt, Z80VectorNone);
}

TEST_F(LineStepTest, FrameEndsAtTheLastVisibleLine)
{
    for (auto [type, last] : {std::pair{MachineMasterSystem, 191u}, std::pair{MachineGameGear, 167u}}) {
        ResetStandIns();
        Start(type);
        ToFrameStart();
        std::vector<unsigned> done;
        for (const Step &s : RunToLineZero())
            if (s.frameDone)
                done.push_back(s.line);
        EXPECT_EQ(done, std::vector<unsigned>{last});
        MachineShutdown();
    }
}

TEST_F(LineStepTest, FrameSkipDrawsEveryThirdFrameButEndsEach)
{
    Start();
    FrameSkip = 3;
    int ended = 0, drawn = 0;
    for (int frame = 0; frame < 6; ++frame) {
        Surface[size_t(100) * VdpSurfaceWidth + 100] = 0xDEADBEEF;
        ended += MachineRunFrame();
        drawn += Surface[size_t(100) * VdpSurfaceWidth + 100] != 0xDEADBEEF;
    }
    EXPECT_EQ(ended, 6);
    EXPECT_EQ(drawn, 2);
    EXPECT_EQ(Hooks.refreshes, 2);
}

TEST_F(LineStepTest, DrawnLinesPerMachine)
{
    for (auto [type, first, last] : {std::tuple{MachineMasterSystem, 0, 191}, std::tuple{MachineGameGear, 24, 167}}) {
        ResetStandIns();
        Start(type);
        std::fill(Surface.begin(), Surface.end(), 0xDEADBEEF);
        MachineRunFrame();
        MachineRunFrame();
        for (int line = 0; line < 192; ++line) {
            const bool drawn = Surface[size_t(line + 8) * VdpSurfaceWidth + 100] != 0xDEADBEEF;
            EXPECT_EQ(drawn, line >= first && line <= last) << "line " << line;
        }
        MachineShutdown();
    }
}

TEST_F(LineStepTest, PauseGivesOneNmiPerPress)
{
    for (auto [type, nmis] : {std::pair{MachineMasterSystem, 2}, std::pair{MachineGameGear, 0}}) {
        ResetStandIns();
        Start(type);
        const uint32_t held[] = {PadPause, PadPause, PadPause, 0, PadPause, PadPause};
        int count = 0;
        for (uint32_t pad : held) {
            Hooks.pad = pad;
            while (CurrentLine != 192 || LineSubStep != 0)
                LineHook(MachineCpu);
            count += LineHook(MachineCpu) == Z80VectorNmi; // line 193
        }
        EXPECT_EQ(count, nmis);
        MachineShutdown();
    }
}

// A program that records each new value of port $7E in RAM from $C001 on:
// the counter as a game's region check sees it over whole frames.
TEST_F(LineStepTest, VCounterCountsAsTheNtscChipOverAFrame)
{
    const std::vector<uint8_t> code = {
        0xF3,             // DI
        0x21, 0x00, 0xC0, // LD HL,$C000
        0xDB, 0x7E,       // loop: IN A,($7E)
        0xBE,             // CP (HL)
        0x28, 0xFB,       // JR Z,loop
        0x23,             // INC HL
        0x77,             // LD (HL),A
        0x18, 0xF7,       // JR loop
    };
    ASSERT_TRUE(StartWithImage(folder, MakeImage(2, code)));
    for (int frame = 0; frame < 3; ++frame)
        ASSERT_TRUE(MachineRunFrame());
    std::vector<uint8_t> expected;
    for (unsigned v = 0; v <= 0xDA; ++v)
        expected.push_back(uint8_t(v));
    for (unsigned v = 0xD5; v <= 0xFF; ++v)
        expected.push_back(uint8_t(v));
    // From the first wrap to 00: one whole frame, then 00 again.
    const uint8_t *seen = CpuSpace.get() + 0xC001;
    size_t start = 1;
    while (start < 600 && !(seen[start] == 0 && seen[start - 1] == 0xFF))
        ++start;
    ASSERT_LT(start, 600u);
    EXPECT_EQ(std::vector<uint8_t>(seen + start, seen + start + expected.size()), expected);
    EXPECT_EQ(seen[start + expected.size()], 0);
}

// A program takes the line interrupt the way a game built with a usual C
// library does, through a dispatch that saves every register (about 100
// cycles from the interrupt to its read of port $7E), and records the V
// counter there, from $C000 on (HL' points past the last value). It sets register 10 and enables the
// interrupt in the vertical blank, so the first frame it records is whole.
// The counter is loaded on line 0 and through the vertical blank and counts
// down on lines 1-192; it underflows on line (n + 1) x k for register 10 =
// n, late in that line, just before the V counter steps on: the handler
// reads the line after.
TEST_F(LineStepTest, LineInterruptHandlerReadsTheVCounter)
{
    const auto program = [](uint8_t reload) {
        const uint8_t start[] = {
            0xF3,             // DI
            0xED, 0x56,       // IM 1
            0x31, 0xF0, 0xDF, // LD SP,$DFF0
            0xD9,             // EXX
            0x21, 0x00, 0xC0, // LD HL,$C000: HL' is where the next value goes
            0xD9,             // EXX
            0x3E, reload,     // LD A,n
            0xD3, 0xBF,       // OUT ($BF),A
            0x3E, 0x8A,       // LD A,$8A: register 10
            0xD3, 0xBF,       // OUT ($BF),A
            0x3E, 0x14,       // LD A,$14: mode 4, line interrupts on
            0xD3, 0xBF,       // OUT ($BF),A
            0x3E, 0x80,       // LD A,$80: register 0
            0xD3, 0xBF,       // OUT ($BF),A
            0xAF,             // XOR A: no frame interrupt
            0xD3, 0xBF,       // OUT ($BF),A
            0x3E, 0x81,       // LD A,$81: register 1
            0xD3, 0xBF,       // OUT ($BF),A
            0xDB, 0x7E,       // wait: IN A,($7E)
            0xFE, 0xC8,       // CP $C8
            0x20, 0xFA,       // JR NZ,wait
            0xDB, 0xBF,       // IN A,($BF): nothing pending
            0xFB,             // EI
            0x18, 0xFE,       // $002B spin: JR spin
        };
        // Filled in place: GCC 12 warns, falsely, on growing a vector made from a list.
        std::vector<uint8_t> code(0x38, 0x00);
        std::copy(std::begin(start), std::end(start), code.begin());
        // 13 cycles to enter, 74 of pushes, the read 11 cycles later; then
        // back to the spin in 67 more, well within a line.
        const std::vector<uint8_t> handler = {
            0xF5, 0xC5, 0xD5, 0xE5, // PUSH AF, BC, DE, HL
            0xDD, 0xE5, 0xFD, 0xE5, // PUSH IX, IY
            0xDB, 0x7E,             // IN A,($7E)
            0xD9, 0x77, 0x23, 0xD9, // EXX, LD (HL),A, INC HL, EXX
            0xDB, 0xBF,             // IN A,($BF): acknowledge
            0x31, 0xF0, 0xDF,       // LD SP,$DFF0
            0xFB,                   // EI
            0xC3, 0x2B, 0x00,       // JP spin
        };
        code.insert(code.end(), handler.begin(), handler.end());
        return code;
    };
    struct Case {
        uint8_t reload;
        std::vector<uint8_t> firstFrame; // V counter values read in one frame
    };
    const auto every = [](unsigned first, unsigned step) {
        std::vector<uint8_t> v;
        for (unsigned line = first; line <= 193; line += step)
            v.push_back(uint8_t(line));
        return v;
    };
    const Case cases[] = {
        {0, every(2, 1)},     // $02 $03 ... $C1: every line from 1 to 192
        {1, every(3, 2)},     // $03 $05 ... $C1
        {9, every(11, 10)},   // $0B $15 $1F $29 $33 $3D ... $BF
        {191, {0xC1}},        // line 192 only
        {192, {}},            // never: the count ends at 0 on line 192
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.reload));
        ResetStandIns();
        ASSERT_TRUE(StartWithImage(folder, MakeImage(2, program(c.reload))));
        // The first run sets up and waits for line $C8 of the next; from
        // there the program records one whole frame, then the next up to
        // where the third run returns, in the step of line 191, before the
        // handler of that line runs.
        for (int frame = 0; frame < 3; ++frame)
            ASSERT_TRUE(MachineRunFrame());
        std::vector<uint8_t> expected = c.firstFrame;
        for (uint8_t v : c.firstFrame)
            if (v < 191)
                expected.push_back(v);
        const std::vector<uint8_t> seen(CpuSpace.get() + 0xC000, CpuSpace.get() + MachineCpu.HL2.w);
        EXPECT_EQ(seen, expected);
        // The run returned with the interrupt of line 191 taken and its
        // handler still to run: a state saved now reads the same line after
        // loading, and the frames after it follow as they did.
        if (c.reload == 9) {
            const auto state = (folder / "line.sta").string();
            ASSERT_TRUE(SaveStateFile(state));
            const auto nextFrame = [] {
                const uint16_t from = MachineCpu.HL2.w;
                EXPECT_TRUE(MachineRunFrame());
                return std::vector<uint8_t>(CpuSpace.get() + from, CpuSpace.get() + MachineCpu.HL2.w);
            };
            const std::vector<uint8_t> ran = nextFrame();
            ASSERT_FALSE(ran.empty());
            EXPECT_EQ(ran.front(), 0xBF);
            ASSERT_TRUE(LoadStateFile(state));
            EXPECT_EQ(nextFrame(), ran);
        }
        MachineShutdown();
    }
}

// Port $7F: the CPU's position in its line, 0-255 over the line's cycles,
// across the three parts of line 192, the long last step and EI's shadow.
TEST_F(LineStepTest, HCounterFollowsTheCpuThroughTheLine)
{
    Start();
    struct Case {
        const char *name;
        unsigned line, subStep;
        int32_t slice, left, parked; // parked: cycles EI set aside (0: none)
        uint8_t h;
    };
    const Case cases[] = {
        {"start of a line", 10, 0, 216, 216, 0, 0},
        {"one cycle in", 10, 0, 216, 215, 0, 1},
        {"halfway", 10, 0, 216, 108, 0, 128},
        {"last cycle", 10, 0, 216, 1, 0, 254},
        {"an instruction past the end", 10, 0, 216, -7, 0, 254},
        {"overshoot carried in", 10, 0, 216, 211, 0, 5},
        {"line 192, first part", 192, 1, 72, 36, 0, 42},
        {"line 192, second part", 192, 2, 72, 36, 0, 128},
        {"line 192, third part", 192, 0, 72, 36, 0, 213},
        {"long last step, its fourth line", 255, 0, 10152, 10152 - 3 * 216 - 108, 0, 128},
        {"in EI's shadow", 10, 0, 216, 1, 108, 128},
    };
    for (const Case &c : cases) {
        CurrentLine = uint8_t(c.line);
        LineSubStep = uint8_t(c.subStep);
        MachineCpu.linePeriod = c.slice;
        MachineCpu.cyclesLeft = c.left;
        MachineCpu.savedCyclesLeft = c.parked;
        MachineCpu.IFF = c.parked ? Z80IffAfterEi : 0;
        EXPECT_EQ(ReadPort(0x7F), c.h) << c.name;
    }
    // The long last step goes on counting lines up to FF.
    CurrentLine = 255;
    LineSubStep = 0;
    MachineCpu.IFF = 0;
    MachineCpu.linePeriod = 10152;
    for (auto [done, v] : {std::pair{0, 0xF9}, std::pair{215, 0xF9}, std::pair{216, 0xFA}, std::pair{6 * 216, 0xFF},
                           std::pair{10151, 0xFF}}) {
        MachineCpu.cyclesLeft = 10152 - done;
        EXPECT_EQ(ReadPort(0x7E), v) << done;
    }
}

// The chip looks for a line's sprites whether or not the line is drawn: a
// ninth sprite on a line sets the overflow flag in skipped frames too.
TEST_F(LineStepTest, SpriteOverflowAlsoInSkippedFrames)
{
    Start();
    VdpWriteRegister(1, 0x40);
    VdpWriteRegister(5, 0xFF);
    for (unsigned i = 0; i < 9; ++i) {
        Vram[0x3F00 + i] = 99;
        Vram[0x3F80 + 2 * i] = uint8_t(20 * i);
    }
    Vram[0x3F09] = 0xD0;
    FrameSkip = 3;
    for (int frame = 0; frame < 3; ++frame) {
        const int refreshes = Hooks.refreshes;
        VdpReadStatus();
        ASSERT_TRUE(MachineRunFrame());
        EXPECT_EQ(VdpStatus & VdpStatusOverflow, VdpStatusOverflow) << "frame " << frame;
        EXPECT_EQ(Hooks.refreshes - refreshes, frame == 0 ? 1 : 0) << "frame " << frame;
    }
}

TEST_F(LineStepTest, QuitEndsTheFrameRun)
{
    Start();
    EXPECT_TRUE(MachineRunFrame());
    QuitFlag = 1;
    EXPECT_FALSE(MachineRunFrame()); // at line 193
    QuitFlag = 0;
}

} // namespace
} // namespace Belcrest::Test
