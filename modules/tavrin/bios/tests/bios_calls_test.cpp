// The BIOS calls on registers: dispatch, arithmetic, waiting and resets.
#include "modules/tavrin/bios/tests/BiosFixture.h"

#include "modules/tavrin/render/RenderState.h"

#include <climits>

namespace Tavrin::Test {
namespace {

constexpr uint32_t Checksum = 0xBAAE187F;

TEST_F(BiosTest, SwiCommentsReachTheirCall)
{
    struct Case {
        bool thumb;
        uint32_t comment;
        bool reached;
    };
    const Case cases[] = {
        {false, 0x0D0000, true}, // number in the high byte
        {false, 0x00000D, true}, // or in the low bits
        {true, 0x0D, true},
        {false, 0x010000, false}, // exactly 0x10000: unknown
        {false, 0x2B0000, false}, // past the last call
        {false, 0x260000, false}, // a gap in the table
    };
    for (const Case &c : cases) {
        cpu.cpsr = 0x1F;
        cpu.r[0] = 7;
        if (c.thumb)
            ThumbSwi(c.comment);
        else
            ArmSwi(c.comment);
        EXPECT_EQ(cpu.r[0], c.reached ? Checksum : 7u) << std::hex << c.comment;
        EXPECT_EQ(cpu.r[15], Code + (c.thumb ? 2u : 4u));
        EXPECT_EQ(cpu.cpsr & ModeMask, ModeSystem);
    }
    // VBlankIntrWait by either instruction set.
    for (bool thumb : {false, true}) {
        WaitCallPc = 0;
        if (thumb)
            ThumbSwi(0x05);
        else
            ArmSwi(0x050000);
        EXPECT_EQ(WaitCallPc, Code + (thumb ? 2u : 4u));
        EXPECT_EQ(cpu.r[15], Code) << "waits by running the SWI again";
    }
}

TEST_F(BiosTest, WithABiosImageEverySwiEntersSupervisorModeAtEight)
{
    BiosLoaded = 1;
    for (uint32_t comment : {0x0D0000u, 0x010000u, 0xFF0000u}) {
        cpu.cpsr = 0x3F; // system mode, THUMB
        cpu.r[14] = 0x1234;
        cpu.r[0] = 7;
        ThumbSwi(comment & 0xFF ? comment : comment >> 16);
        EXPECT_EQ(cpu.r[15], 8u);
        EXPECT_EQ(cpu.cpsr, 0x93u) << "supervisor, ARM state, interrupts off";
        EXPECT_EQ(cpu.r[14], Code + 2);
        EXPECT_EQ(cpu.spsrSvc, 0x3Fu);
        EXPECT_EQ(cpu.r[0], 7u);
        ArmSwitchMode(&cpu, 0x1F);
    }
    BiosLoaded = 0;
}

TEST_F(BiosTest, Division)
{
    struct Case {
        int32_t num, den;
        uint32_t q, r, abs;
    };
    const Case cases[] = {
        {7, 2, 3, 1, 3},
        {-7, 2, uint32_t(-3), uint32_t(-1), 3},
        {7, -2, uint32_t(-3), 1, 3},
        {INT_MIN, -1, 0x80000000, 0, 0x80000000},
        {INT_MIN, 1, 0x80000000, 0, 0x80000000},
    };
    for (const Case &c : cases) {
        Call(0x06, {uint32_t(c.num), uint32_t(c.den), 0, 0});
        EXPECT_EQ(cpu.r[0], c.q) << c.num << "/" << c.den;
        EXPECT_EQ(cpu.r[1], c.r);
        EXPECT_EQ(cpu.r[3], c.abs);
        Call(0x07, {uint32_t(c.den), uint32_t(c.num), 0, 0});
        EXPECT_EQ(cpu.r[0], c.q) << "DivARM " << c.num << "/" << c.den;
        EXPECT_EQ(cpu.r[1], c.r);
    }
    Call(0x06, {5, 0, 9, 9});
    EXPECT_EQ(cpu.r[0], 5u);
    EXPECT_EQ(cpu.r[1], 0u);
    EXPECT_EQ(cpu.r[3], 9u);
    Call(0x07, {0, 5, 9, 9});
    EXPECT_EQ(cpu.r[0], 0u);
    EXPECT_EQ(cpu.r[1], 5u);
}

// The results the console's BIOS gives, from its integer steps: square
// roots round down; an angle is 65536 a turn, the arc tangent of 1.0 an
// eighth of it, and ArcTan2 places it in the vector's octant. The full
// registers take part, as the public BIOS program's inputs show.
TEST_F(BiosTest, SquareRootAndAngles)
{
    const std::pair<uint32_t, uint32_t> roots[] = {{0, 0},           {1, 1},          {15, 3},
                                                   {16, 4},          {1000000, 1000}, {0xFFFFFFFF, 0xFFFF},
                                                   {0xFFFE0001, 0xFFFF}, {0xFFFE0000, 0xFFFE}, {0xFEDCBA98, 0xFF6E}};
    for (auto [in, out] : roots) {
        Call(0x08, {in});
        EXPECT_EQ(cpu.r[0], out) << std::hex << in;
    }
    const std::pair<uint32_t, uint32_t> tangents[] = {
        {0x4000, 0x2000}, {0xFFFFC000, 0xFFFFE000}, {0, 0}, {0xFEDCBA98, 0xFFFFE024},
    };
    for (auto [in, out] : tangents) {
        Call(0x09, {in});
        EXPECT_EQ(cpu.r[0], out) << std::hex << in;
    }
    struct Angle {
        uint32_t x, y, result;
    };
    const Angle angles[] = {
        {0x4000, 0, 0},           {0xFFFFC000, 0, 0x8000},      {0, 0, 0},
        {0, 5, 0x4000},           {0, 0xFFFFFFFF, 0xC000},      {0x4000, 0x4000, 0x2000},
        {0xFFFFC000, 0x4000, 0x6000}, {0xFFFFC000, 0xFFFFC000, 0xA000}, {0x4000, 0xFFFFC000, 0xE000},
        {0xFEDCBA98, 0x12345678, 0x3FFF},
    };
    for (const Angle &a : angles) {
        Call(0x0A, {a.x, a.y});
        EXPECT_EQ(cpu.r[0], a.result) << std::hex << a.x << "," << a.y;
    }
}

TEST_F(BiosTest, IntrWaitWaitsForItsFlagThenRestoresR12)
{
    const uint32_t flags = 0x03007FF8;
    BusWrite16(flags, 0x0001);
    cpu.cpsr = 0x1F;
    cpu.r[12] = 0xCAFE;
    cpu.r[0] = 0; // keep flags already set
    cpu.r[1] = 1;
    ArmSwi(0x040000);
    EXPECT_EQ(cpu.r[15], Code) << "even a flag already set takes one line step";
    EXPECT_EQ(HaltState, 0u) << "but does not halt";
    EXPECT_EQ(cpu.r[12], 0x04000000u);
    EXPECT_EQ(IoGet(Io::Ime), 1u);
    EXPECT_EQ(IoGet(Io::Ie) & 1, 1u);
    Step();
    EXPECT_EQ(cpu.r[15], Code + 4);
    EXPECT_EQ(cpu.r[12], 0xCAFEu);
    EXPECT_EQ(BusRead16(flags), 0u);
    EXPECT_EQ(WaitCallPc, 0u);

    // VBlankIntrWait discards an old flag and waits for a new one.
    BusWrite16(flags, 0x0001);
    ArmSwi(0x050000);
    EXPECT_EQ(BusRead16(flags), 0u);
    EXPECT_EQ(HaltState, 1u) << "halted until an interrupt";
    for (int i = 0; i < 3; ++i) {
        HaltState = 2; // woken by some other interrupt
        Step();
        EXPECT_EQ(cpu.r[15], Code) << "still waiting";
        EXPECT_EQ(cpu.cyclesLeft, 0);
        EXPECT_EQ(HaltState, 1u);
    }
    BusWrite16(flags, 0x0003);
    HaltState = 2;
    Step();
    EXPECT_EQ(cpu.r[15], Code + 4);
    EXPECT_EQ(HaltState, 0u);
    EXPECT_EQ(BusRead16(flags), 2u) << "only the awaited flag is taken";
}

TEST_F(BiosTest, HaltAndStopHaltTheCpu)
{
    IoSet(Io::Ime, 1);
    IoSet(Io::Ie, 1);
    for (uint32_t call : {0x02u, 0x03u}) {
        HaltState = 0;
        cpu.cpsr = 0x1F;
        ArmSwi(call << 16);
        EXPECT_EQ(HaltState, 1u);
        EXPECT_EQ(cpu.r[15], Code);
    }
}

TEST_F(BiosTest, RegisterRamResetClearsWhatItsFlagsName)
{
    struct Region {
        uint8_t *block;
        uint32_t size;
    };
    const Region regions[] = {{MachineBlocks.ewram, EwramSize}, {MachineBlocks.iwram, IwramSize},
                              {MachineBlocks.palette, PaletteSize}, {MachineBlocks.vram, VramSize},
                              {MachineBlocks.oam, OamSize}};
    for (const Region &r : regions)
        std::memset(r.block, 0x77, r.size);
    RenderDirtyFlags = 0;
    Call(0x01, {0x1F | 0xE0});
    for (int i : {0, 2, 3, 4}) {
        EXPECT_EQ(regions[i].block[0], 0) << i;
        EXPECT_EQ(regions[i].block[regions[i].size - 1], 0) << i;
    }
    EXPECT_EQ(MachineBlocks.iwram[0x7DFF], 0);
    EXPECT_EQ(MachineBlocks.iwram[0x7E00], 0x77) << "the top 512 bytes survive";
    EXPECT_EQ(RenderDirtyFlags & 4, 4);

    std::memset(MachineBlocks.ewram, 0x77, EwramSize);
    Call(0x01, {0x02});
    EXPECT_EQ(MachineBlocks.ewram[0], 0x77);
}

TEST_F(BiosTest, SoftResetReturnsToTheFlaggedStart)
{
    for (uint8_t flag : {uint8_t(0), uint8_t(1)}) {
        std::memset(MachineBlocks.iwram, 0x77, IwramSize);
        MachineBlocks.iwram[SoftResetFlagOffset] = flag;
        std::memset(MachineBlocks.ewram, 0x77, 16);
        cpu.cpsr = 0x12;
        cpu.r[5] = 5;
        Call(0x00, {0xFF});
        const uint32_t back = flag ? 0x02000000 : 0x08000000;
        EXPECT_EQ(cpu.r[15], back);
        EXPECT_EQ(cpu.cpsr, 0x1Fu);
        EXPECT_EQ(cpu.r[13], 0x03007F00u);
        EXPECT_EQ(cpu.r13Svc, 0x03007FE0u);
        EXPECT_EQ(cpu.r13Irq, 0x03007FA0u);
        EXPECT_EQ(cpu.r[5], 0u);
        EXPECT_EQ(MachineBlocks.iwram[0x7E00], 0);
        EXPECT_EQ(MachineBlocks.iwram[0x7FFF], 0);
        EXPECT_EQ(MachineBlocks.iwram[0x7DFF], 0x77) << "only the top 512 bytes are cleared";
        EXPECT_EQ(MachineBlocks.ewram[0], 0x77) << "r0 is not looked at";
    }
}

TEST_F(BiosTest, SmallerCalls)
{
    BusWrite32(Ewram + 4, 0x10000);
    Call(0x1F, {Ewram, 180, 0});
    EXPECT_EQ(cpu.r[0], 0x10000u);
    Call(0x1F, {Ewram, 168, 0});
    EXPECT_EQ(cpu.r[0], 0x8000u) << "an octave down";
    Call(0x2A, {Ewram + 0x100});
    EXPECT_EQ(BusRead32(Ewram + 0x100), 0x30u);
    EXPECT_EQ(BusRead32(Ewram + 0x100 + 35 * 4), 0x30u);
    EXPECT_EQ(BusRead32(Ewram + 0x100 + 36 * 4), 0u);
    Call(0x0D);
    EXPECT_EQ(cpu.r[0], Checksum);
    Call(0x25, {0x1234});
    EXPECT_EQ(cpu.r[0], 0x1234u);
}

} // namespace
} // namespace Tavrin::Test
