// A machine started on a small image whose code spins at 0x08000000, with
// no frame presented and no button held, for tests that drive the machine's
// parts directly.
#pragma once

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/testing/HeadlessHost.h"
#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/testing/TestImage.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/Machine.h"

#include <gtest/gtest.h>

namespace Tavrin::Test {

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(machine.Start(folder.Write("spin.gba", SpinningImage(0x4000))));
        FrameEnded = 0;
    }

    // n calls of the line step, as the run loop makes them.
    uint32_t Lines(int n)
    {
        uint32_t pending = 0;
        for (int i = 0; i < n; ++i)
            pending = LineHook(&cpu);
        return pending;
    }
    // Puts the machine at the start of line `line` (visible part).
    void GoToLine(uint32_t line)
    {
        while (IoGet(Io::VCount) != line || (IoGet(Io::DispStat) & 2))
            LineHook(&cpu);
        FrameEnded = 0;
    }

    TestFolder folder;
    MachineHarness machine;
    ArmState &cpu = ConsoleCpu;
};

} // namespace Tavrin::Test
