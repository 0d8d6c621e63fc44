// A frame driven through the line step: slice lengths, line and frame
// interrupts, the end of the frame, frame skip and the Pause button.
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/machine/tests/MachineStandIns.h"
#include "modules/belcrest/vdp/Vdp.h"

#include <gtest/gtest.h>

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
        std::vector<unsigned> fired, expected;
        do {
            LineHook(MachineCpu);
            if (VdpLinePending) {
                fired.push_back(CurrentLine);
                EXPECT_EQ(MachineCpu.pendingInterrupt, 0x00FF);
                VdpReadStatus();
            }
        } while (CurrentLine != 255);
        for (unsigned line = reload; line <= 192; line += reload + 1u)
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

TEST_F(LineStepTest, QuitEndsTheFrameRun)
{
    Start();
    EXPECT_EQ(MachineRunFrame(), 1);
    QuitFlag = 1;
    EXPECT_EQ(MachineRunFrame(), 0); // at line 193
    QuitFlag = 0;
}

} // namespace
} // namespace Belcrest::Test
