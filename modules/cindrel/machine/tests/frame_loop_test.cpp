// The memory map and the per-line frame loop on built cartridges.
#include "modules/cindrel/testing/MachineFixture.h"

namespace Cindrel::Test {
namespace {

using FrameLoop = MachineFixture;

// Calls LineHook until the frame is done; returns the cycles it handed out.
int32_t StepFrame()
{
    const int64_t before = CycleTotal;
    do {
        LineHook(Cpu);
    } while (!FrameDone);
    FrameDone = false;
    return int32_t(CycleTotal - before);
}

TEST_F(FrameLoop, FramesLastTheirCycleCount)
{
    struct Case {
        bool pal;
        int32_t cycles;
    } const cases[] = {{false, 29780}, {true, 35739}};
    for (const Case &c : cases) {
        CartridgeBuilder cart = IdleCartridge();
        if (c.pal)
            cart.Pal();
        ASSERT_TRUE(Start(cart));
        EXPECT_EQ(VPeriod, c.pal ? 35795 : 29836);
        StepFrame(); // from reset to the first vertical blank
        EXPECT_EQ(StepFrame(), c.cycles) << (c.pal ? "PAL" : "NTSC");
        EXPECT_EQ(StepFrame(), c.cycles);
        // The interpreter sees the same frame.
        const int64_t before = CycleTotal;
        ASSERT_EQ(Cpu6502RunFrame(Cpu), 1);
        EXPECT_EQ(CycleTotal - before, c.cycles);
    }
}

// On a board without a line counter the count only grows: hours of play
// carry it past 32 bits, where frames go on as before.
TEST_F(FrameLoop, TheCycleCountGoesOnPastThirtyTwoBits)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    ASSERT_EQ(MapperLine, nullptr);
    StepFrame();
    CycleTotal = INT32_MAX - 1000;
    EXPECT_EQ(StepFrame(), 29780);
    EXPECT_GT(CycleTotal, int64_t(INT32_MAX));
    EXPECT_EQ(StepFrame(), 29780);
}

TEST_F(FrameLoop, NmiComesFourCyclesIntoVerticalBlankUnlessStatusWasReadAsItBegan)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    // readEnd: the cycle after the blank's start at which a four-cycle
    // status read ends (0 for none). Begun as the flag rose, it takes the
    // NMI with it; begun later, it clears the flag and the NMI still comes.
    struct Case {
        uint8_t control;
        int readEnd;
        int code;
    } const cases[] = {{0x80, 0, IntNmi}, {0x00, 0, IntNone}, {0x80, 4, IntNone},
                       {0x80, 5, IntNone}, {0x80, 6, IntNmi},  {0x80, 7, IntNmi}};
    for (const Case &c : cases) {
        LineStep = 0;
        CurrentLine = 240;
        PpuRegisters[0] = c.control;
        Cpu.pendingInterrupt = IntNone;
        EXPECT_EQ(LineHook(Cpu), IntNone);
        EXPECT_EQ(Cpu.linePeriod, 4);
        EXPECT_TRUE(PpuRegisters[2] & 0x80);
        if (c.readEnd) {
            Cpu.cyclesLeft = Cpu.linePeriod - c.readEnd;
            EXPECT_EQ(ReadMemory(0x2002) & 0x80, 0x80);
            EXPECT_EQ(PpuRegisters[2] & 0x80, 0);
        }
        EXPECT_EQ(LineHook(Cpu), c.code) << "read ending " << c.readEnd << " cycles in";
        EXPECT_EQ(Cpu.linePeriod, 29836 - 240 * 114 - 85 - 4);
        EXPECT_EQ(LineHook(Cpu), IntNone); // end of the blank
        EXPECT_EQ(PpuRegisters[2] & 0xC0, 0);
        EXPECT_EQ(CurrentLine, 0);
    }
}

TEST_F(FrameLoop, NmiHandlerRunsOncePerFrame)
{
    CartridgeBuilder cart(2, 1);
    // Reset: $2000 = $80, loop. NMI: INC $10, RTI.
    cart.Code(0xC000, {0xA9, 0x80, 0x8D, 0x00, 0x20, 0x4C, 0x05, 0xC0})
        .Code(0xC100, {0xE6, 0x10, 0x40})
        .Vectors(0xC100, 0xC000, 0xC100);
    ASSERT_TRUE(Start(cart));
    for (int frame = 1; frame <= 10; ++frame) {
        ASSERT_EQ(RunFrames(1), 1);
        EXPECT_EQ(ReadMemory(0x10), frame - 1) << frame;
    }
}

TEST_F(FrameLoop, FrameSkipDrawsOneFrameInThreeAndKeepsSpriteZeroLine)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    FrameSkip = 3;
    StandIns.spriteZeroHitLine = 30;
    PpuRegisters[1] = 0x18;
    RunFrames(1); // drawn
    EXPECT_EQ(StandIns.presents, 1);
    EXPECT_EQ(StandIns.renderCalls, 240);
    StandIns.spriteZeroHitLine = -1; // skipped frames draw nothing anyway
    // In the skipped frame bit 6 still rises on line 30.
    while (!(CurrentLine == 31 && LineStep == 1))
        LineHook(Cpu);
    EXPECT_TRUE(PpuRegisters[2] & 0x40);
    FrameDone = false;
    RunFrames(5);
    EXPECT_EQ(StandIns.presents, 2);
    EXPECT_EQ(StandIns.renderCalls, 480);
}

TEST_F(FrameLoop, PadsShiftOutEightButtonsThenReadHigh)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    struct Case {
        uint8_t host;
        uint8_t seen;
    } const cases[] = {
        {0x09, 0x09},       // A and Start
        {0x30, 0x10},       // Up and Down: Up only
        {0xC0, 0x80},       // Left and Right: Right only
        {0xF0, 0x90},
    };
    for (const Case &c : cases) {
        StandIns.pad = c.host;
        RunFrames(1);
        WriteMemory(0x4016, 1);
        WriteMemory(0x4016, 0);
        uint8_t seen = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const uint8_t v = ReadMemory(0x4016);
            EXPECT_EQ(v & 0xFE, 0x40);
            seen |= uint8_t((v & 1) << bit);
        }
        EXPECT_EQ(seen, c.seen);
        EXPECT_EQ(ReadMemory(0x4016), 0x40);
        EXPECT_EQ(ReadMemory(0x4017) & 1, 0); // no second player
    }
}

TEST_F(FrameLoop, APressBeforeAFrameReachesAGameThatReadsItsPadInThatFrame)
{
    // The main loop strobes and reads the pad over and over, keeping each
    // whole byte at $11; no NMI.
    CartridgeBuilder cart(2, 1);
    cart.Code(0xC000, {0xA9, 0x01, 0x8D, 0x16, 0x40, 0xA9, 0x00, 0x8D, 0x16, 0x40, // strobe
                       0xA2, 0x08, 0xAD, 0x16, 0x40, 0x4A, 0x66, 0x10, 0xCA, 0xD0, 0xF7, // eight bits into $10
                       0xA5, 0x10, 0x85, 0x11, 0x4C, 0x00, 0xC0})
        .Vectors(0xC100, 0xC000, 0xC100)
        .Code(0xC100, {0x40});
    ASSERT_TRUE(Start(cart));
    RunFrames(2);
    EXPECT_EQ(ReadMemory(0x11), 0);
    for (uint8_t held : {0x08, 0x01, 0x00}) {
        StandIns.pad = held;
        RunFrames(1);
        EXPECT_EQ(ReadMemory(0x11), held) << "pressed before the frame";
    }
}

TEST_F(FrameLoop, LightSenseBitFollowsSpriteZeroOutsideVerticalBlank)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    const struct {
        uint8_t status;
        uint8_t bit3;
    } cases[] = {{0x40, 0}, {0x00, 8}, {0xC0, 8}, {0x80, 8}};
    for (auto c : cases) {
        PpuRegisters[2] = c.status;
        EXPECT_EQ(ReadMemory(0x4017) & 8, c.bit3) << int(c.status);
    }
}

TEST_F(FrameLoop, MemoryMap)
{
    ASSERT_TRUE(Start(IdleCartridge().RamPages(2)));
    WriteMemory(0x0123, 0x5A);
    for (uint16_t mirror : {0x0123, 0x0923, 0x1123, 0x1923})
        EXPECT_EQ(ReadMemory(mirror), 0x5A);
    WriteMemory(0x1FFF, 0x77);
    EXPECT_EQ(ReadMemory(0x07FF), 0x77);
    // Unmapped I/O reads its high address byte; the sound registers read
    // their fill byte; board registers answer only on their boards.
    for (uint16_t a : {0x4018, 0x4100, 0x5000, 0x5204, 0x5205, 0x5800, 0x5C00, 0x4030})
        EXPECT_EQ(ReadMemory(a), a >> 8) << std::hex << a;
    Cpu.pendingInterrupt = IntIrq;
    ReadMemory(0x5204);
    EXPECT_EQ(Cpu.pendingInterrupt, IntIrq);
    EXPECT_EQ(ReadMemory(0x4000), 0x40);
    EXPECT_EQ(ReadMemory(0x4013), 0x40);
    // Cartridge RAM, and ROM that ignores writes.
    WriteMemory(0x6000, 0x11);
    EXPECT_EQ(ReadMemory(0x6000), 0x11);
    const uint8_t rom = ReadMemory(0x8000);
    WriteMemory(0x8000, uint8_t(rom + 1));
    EXPECT_EQ(ReadMemory(0x8000), rom);
    // With ROM banked in at $6000, writes there are dropped; with another
    // RAM page they land where they are read; a page beyond the board's RAM
    // takes nothing.
    FetchMap[3] = RomBuffer;
    WriteMemory(0x6001, 0x22);
    EXPECT_EQ(RomBuffer[1], 0xEA);
    FetchMap[3] = CpuSpace + 0x8000;
    WriteMemory(0x6002, 0x33);
    EXPECT_EQ(ReadMemory(0x6002), 0x33);
    EXPECT_EQ(CpuSpace[0x8002], 0x33);
    EXPECT_EQ(CpuSpace[0x6002], 0);
    FetchMap[3] = CpuSpace + 0xA000;
    WriteMemory(0x6003, 0x44);
    EXPECT_EQ(CpuSpace[0xA003], 0);
    // Sound registers go to the sound unit.
    WriteMemory(0x4003, 0x99);
    EXPECT_EQ(StandIns.lastApuRegister, 3);
    EXPECT_EQ(StandIns.lastApuValue, 0x99);
}

TEST_F(FrameLoop, SpriteDmaCopiesFromTheSpriteAddressAndCosts513Or514Cycles)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    for (int i = 0; i < 256; ++i)
        WriteMemory(uint16_t(0x0300 + i), uint8_t(i));
    WriteMemory(0x2003, 0x10);
    for (int32_t countdown : {40, 41}) {
        Cpu.cyclesLeft = countdown;
        const int64_t writeCycle = MachineCycle() - 1;
        WriteMemory(0x4014, 0x03);
        EXPECT_EQ(countdown - Cpu.cyclesLeft, (writeCycle & 1) ? 514 : 513) << "write on cycle " << writeCycle;
        EXPECT_EQ(MachineCycle() - 1 - writeCycle, countdown - Cpu.cyclesLeft);
    }
    EXPECT_EQ(SpriteRam[0x10], 0);
    EXPECT_EQ(SpriteRam[0x0F], 0xFF);
    EXPECT_EQ(SpriteRam[0x00], 0xF0);
}

// The sound unit's interrupt cuts the slice it falls in: LineHook comes two
// cycles after it (an instruction whose last cycle it falls on has polled
// already), while the line steps keep their cycles and the frame its
// length.
TEST_F(FrameLoop, ASoundInterruptCutsTheSliceNotTheLines)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    StepFrame();
    // Hooks as the interpreter makes them, each slice run exactly to its end.
    auto frame = [](std::vector<int64_t> &lineStarts, int64_t &irqHook) {
        lineStarts.clear();
        const int64_t before = CycleTotal;
        do {
            const uint8_t line = CurrentLine;
            Cpu.cyclesLeft = 0;
            const int code = LineHook(Cpu);
            Cpu.cyclesLeft = Cpu.linePeriod;
            if (CurrentLine != line)
                lineStarts.push_back(MachineCycle());
            if (code == IntIrq && irqHook < 0)
                irqHook = MachineCycle();
        } while (!FrameDone);
        FrameDone = false;
        return CycleTotal - before;
    };
    std::vector<int64_t> plain, cut;
    int64_t none = -1, irqHook = -1;
    Cpu.cyclesLeft = Cpu.linePeriod;
    EXPECT_EQ(frame(plain, none), 29780);
    EXPECT_EQ(none, -1);
    const int64_t irqAt = MachineCycle() + 1000; // in the vertical blank's long slice
    StandIns.irqAt = irqAt;
    WriteMemory(0x4011, 0x00); // the machine learns of it at a sound access
    EXPECT_EQ(frame(cut, irqHook), 29780);
    EXPECT_EQ(irqHook, irqAt + 2);
    ASSERT_EQ(cut.size(), plain.size());
    for (size_t i = 0; i < cut.size(); ++i)
        EXPECT_EQ(cut[i] - plain[i], 29780) << "line " << i;
    EXPECT_EQ(Cpu.pendingInterrupt, IntIrq);
    EXPECT_EQ(ReadMemory(0x4015), 0x40);
    EXPECT_EQ(Cpu.pendingInterrupt, IntNone);
    QuitFlag = true;
    EXPECT_EQ(Cpu6502RunFrame(Cpu), 0);
}

} // namespace

namespace {

TEST_F(FrameLoop, LinesAreDrawnFromTheScrollAndAddress)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    const struct {
        uint8_t control;
        uint32_t scrollX, scrollY;
        int line;
        int x, y;
    } cases[] = {
        {0x00, 0x00, 0x00, 0, 0, 0},
        {0x01, 0x45, 0x67, 0, 256 + 0x45, 0x67},
        {0x01, 0x45, 0x67, 1, 256 + 0x45, 0x68},
        {0x02, 0x00, 0x00, 0, 0, 256},
        {0x00, 0x00, 0xEF, 0, 0, 0xEF},
        {0x00, 0x00, 0xEF, 1, 0, 256},           // row 29 wraps into the next table
        {0x00, 0x00, 0xF8, 0, 0, 256 + 29 * 8},  // Y 240-255 come back two rows
        {0x00, 0x00, 0xF8, 1, 0, 256 + 29 * 8 + 1},
        {0x00, 0x00, 0xF8, 8, 0, 0},             // and leave row 29 into the first table
    };
    for (const auto &c : cases) {
        PpuRegisters[0] = c.control;
        PpuRegisters[1] = 0x18;
        ScrollX = c.scrollX;
        ScrollY = c.scrollY;
        ResetStandIns();
        RunFrames(1);
        EXPECT_EQ(StandIns.lineX[c.line], c.x) << c.line << " " << c.scrollY;
        EXPECT_EQ(StandIns.lineY[c.line], c.y) << c.line << " " << c.scrollY;
    }
}

TEST_F(FrameLoop, MidFrameSplitScrollsTheRestOfTheFrameAndTheNext)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    PpuRegisters[1] = 0x18;
    RunFrames(1);
    // At line 100: the split writes of the common game idiom.
    while (CurrentLine != 100)
        LineHook(Cpu);
    WriteMemory(0x2006, 0x04);
    WriteMemory(0x2005, 0x50);
    WriteMemory(0x2005, 0x28);
    WriteMemory(0x2006, 0x45);
    ResetStandIns();
    RunFrames(1);
    // The address counts on from what the split wrote, a row at a time.
    EXPECT_EQ(StandIns.lineX[100], 256 + 0x28);
    EXPECT_EQ(StandIns.lineY[100], 0x50 + 1);
    EXPECT_EQ(StandIns.lineY[101], 0x50 + 2);
    RunFrames(1);
    EXPECT_EQ(StandIns.lineX[0], 256 + 0x28);
    EXPECT_EQ(StandIns.lineY[0], 0x50);
}

TEST_F(FrameLoop, BoardRegistersAnswerOnlyOnTheirBoard)
{
    const struct {
        int mapper;
        uint16_t address;
        int value;
    } cases[] = {
        {19, 0x5000, 0x34}, {19, 0x5800, 0x12}, {0, 0x5000, 0x50}, {0, 0x5800, 0x58},
        {5, 0x5205, (7 * 44) & 255}, {5, 0x5206, (7 * 44) >> 8}, {5, 0x5C10, 0x77}, {19, 0x5205, 0x52},
        {0, 0x5C10, 0x5C}, {20, 0x4030, 0x0A}, {20, 0x4032, 7}, {20, 0x4033, 0}, {5, 0x4032, 0x40},
        {0, 0x5015, 0x50},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(Start(IdleCartridge().Mapper(c.mapper)));
        MapperState.bytes[2] = 0x0A;
        MapperState.bytes[4] = 0x34;
        MapperState.bytes[5] = 0x92;
        MapperState.bytes[21] = 7;
        MapperState.bytes[22] = 44;
        if (c.mapper == 5)
            CpuSpace[0x5C10] = 0x77;
        EXPECT_EQ(ReadMemory(c.address), c.value) << c.mapper << " " << std::hex << c.address;
    }
    // $5204 on mapper 5 acknowledges the IRQ and tells the IRQ line (and,
    // the picture on, that a frame is being drawn).
    ASSERT_TRUE(Start(IdleCartridge().Mapper(5)));
    PpuRegisters[1] = 0x18;
    Cpu.pendingInterrupt = IntIrq;
    MapperState.bytes[20] = 0;
    EXPECT_EQ(ReadMemory(0x5204), 0x40);
    EXPECT_EQ(Cpu.pendingInterrupt, IntNone);
    // $4031 on the disk system moves the disk on and raises an IRQ when asked.
    ASSERT_TRUE(Start(IdleCartridge().Mapper(20)));
    DiskControl = 0x80;
    DiskPosition = DiskLength - 1;
    EXPECT_EQ(ReadMemory(0x4031), 0);
    EXPECT_EQ(DiskPosition, 0u);
    EXPECT_EQ(Cpu.pendingInterrupt, IntIrq);
}

TEST_F(FrameLoop, VsBoardsSwitchPatternBanksThroughThePadPort)
{
    ASSERT_TRUE(Start(IdleCartridge(2, 2).VsSystem()));
    WriteMemory(0x4016, 0x04);
    EXPECT_EQ(VideoPageMap[0], VromBuffer + 0x2000);
    WriteMemory(0x4016, 0x00);
    EXPECT_EQ(VideoPageMap[0], VromBuffer);
    ASSERT_TRUE(Start(IdleCartridge(2, 2), "plain.nes"));
    WriteMemory(0x4016, 0x04);
    EXPECT_EQ(VideoPageMap[0], VromBuffer);
}

} // namespace
} // namespace Cindrel::Test
