// The display processor's ports, registers, screen-mode decoding,
// interrupts, scroll latch and sprite collision.
#include "modules/belcrest/testing/MachineStandIns.h"
#include "modules/belcrest/vdp/Vdp.h"

#include <gtest/gtest.h>

#include <cstring>

namespace Belcrest::Test {
namespace {

class VdpTest : public ::testing::Test {
protected:
    void SetUp() override { Fresh(MachineMasterSystem); }
    void Fresh(uint32_t type)
    {
        ResetStandIns();
        MachineWord = type;
        std::memset(VdpMemory, 0, sizeof VdpMemory);
        CurrentLine = 100;
        FirstVisibleLine = type == MachineGameGear ? 24 : 0;
        VdpReset();
    }
    static void Control(uint8_t first, uint8_t second)
    {
        VdpWriteControl(first);
        VdpWriteControl(second);
    }
};

TEST_F(VdpTest, ResetState)
{
    EXPECT_EQ(VdpRegisters[0], 0x04) << "Master System: mode 4 as the start-up program leaves it";
    EXPECT_EQ(VdpRegisters[1], 0x60);
    EXPECT_EQ(VdpRegisters[10], 0xFF);
    EXPECT_EQ(VdpMode, VdpMode4);
    VdpWriteRegister(1, 0x40);
    EXPECT_EQ(VdpMode, VdpMode4) << "a register-1 write alone keeps mode 4";
    Fresh(MachineSg1000);
    EXPECT_EQ(VdpRegisters[0], 0x00);
    EXPECT_EQ(VdpMode, VdpModeGraphics1);
}

TEST_F(VdpTest, ControlPort)
{
    Control(0x12, 0x87);
    EXPECT_EQ(VdpRegisters[7], 0x12);
    EXPECT_EQ(VdpBackdrop, 2);
    EXPECT_EQ(VdpTextColour, 1);

    const uint8_t reg5 = VdpRegisters[5];
    Control(0x34, 0x95); // 0x90-0xBF: an address, not a register
    EXPECT_EQ(VdpAddress, 0x1534);
    EXPECT_EQ(VdpRegisters[5], reg5);
    EXPECT_EQ(VdpAccessMode, 0x80);
    VdpWriteData(0x66);
    EXPECT_EQ(Vram[0x1534], 0x66);

    VdpWriteControl(0x20);
    VdpReadStatus(); // a status read empties the latch
    Control(0x00, 0x41);
    EXPECT_EQ(VdpAddress, 0x0100);

    // So does a data access, read or write: the next control byte is a
    // first byte again.
    for (bool read : {false, true}) {
        Control(0x00, 0x41);
        VdpWriteControl(0x20);
        if (read)
            VdpReadData();
        else
            VdpWriteData(0x01);
        EXPECT_EQ(VdpLatchEmpty, 1) << (read ? "read" : "write");
        Control(0x30, 0x42);
        EXPECT_EQ(VdpAddress, 0x0230) << (read ? "read" : "write");
    }
}

TEST_F(VdpTest, ReadSetupPrefetches)
{
    Vram[0x0100] = 0xAB;
    Vram[0x0101] = 0xCD;
    Control(0x00, 0x01);
    EXPECT_EQ(VdpAddress, 0x0101);
    EXPECT_EQ(VdpReadData(), 0xAB);
    EXPECT_EQ(VdpReadData(), 0xCD);

    MachineWord |= MachineReadSetupStays;
    Control(0x00, 0x01);
    EXPECT_EQ(VdpReadData(), 0xAB);
    EXPECT_EQ(VdpReadData(), 0xAB);
}

TEST_F(VdpTest, WriteAfterReadSetupStoresAtTheCurrentAddress)
{
    Control(0x00, 0x02); // read setup at $0200: the address moves to $0201
    VdpWriteData(0x55);
    EXPECT_EQ(Vram[0x0200], 0x00);
    EXPECT_EQ(Vram[0x0201], 0x55);
    EXPECT_EQ(VdpAddress, 0x0202);
}

TEST_F(VdpTest, AddressWrapsAtTheEndOfVram)
{
    Control(0xFF, 0x7F);
    VdpWriteData(1);
    VdpWriteData(2);
    EXPECT_EQ(Vram[0x3FFF], 1);
    EXPECT_EQ(Vram[0], 2);
    EXPECT_EQ(ColourRam[0], 0) << "colour RAM is not reached through VRAM addresses";
}

TEST_F(VdpTest, ColourRamWrites)
{
    Control(0x1F, 0xC0);
    VdpWriteData(0x3F); // index 31
    EXPECT_EQ(Hooks.palette[31], (std::array<int, 3>{255, 255, 255}));
    VdpWriteData(0x06); // wrapped to index 0
    EXPECT_EQ(Hooks.palette[0], (std::array<int, 3>{170, 85, 0}));
    EXPECT_EQ(VdpColourIndex, 1);

    Fresh(MachineGameGear);
    Control(0x04, 0xC0);
    VdpWriteData(0x5A); // even byte: entry 2 with the old odd byte (0)
    EXPECT_EQ(Hooks.palette[2], (std::array<int, 3>{170, 85, 0}));
    VdpWriteData(0x0F); // odd byte completes it
    EXPECT_EQ(Hooks.palette[2], (std::array<int, 3>{170, 85, 255}));
    Control(0x3F, 0xC0);
    VdpWriteData(0x01);
    EXPECT_EQ(VdpColourIndex, 0);
    Control(0x04, 0xC0);
    EXPECT_EQ(VdpReadData(), 0x5A);
    EXPECT_EQ(VdpReadData(), 0x0F);
}

TEST_F(VdpTest, InterruptEnables)
{
    VdpStatus = VdpStatusFrame;
    VdpWriteRegister(1, 0x20);
    EXPECT_EQ(MachineCpu.pendingInterrupt, 0x00FF) << "enabling raises a pending frame interrupt";
    VdpWriteRegister(1, 0x00);
    EXPECT_EQ(MachineCpu.pendingInterrupt, Z80VectorNone);

    // The line flag is kept apart from the status byte, whose bit 6 is the
    // sprite overflow; a status read acknowledges it all the same.
    VdpLinePending = 1;
    VdpStatus = VdpStatusOverflow;
    VdpWriteRegister(0, 0x14);
    EXPECT_EQ(MachineCpu.pendingInterrupt, Z80VectorNone) << "register 0 alone does not re-evaluate";
    VdpWriteRegister(1, 0x00);
    EXPECT_EQ(MachineCpu.pendingInterrupt, 0x00FF);
    EXPECT_EQ(VdpReadStatus(), VdpStatusOverflow);
    EXPECT_EQ(MachineCpu.pendingInterrupt, Z80VectorNone);
    EXPECT_EQ(VdpLinePending, 0);
    EXPECT_EQ(VdpStatus, 0);
    VdpStatus = VdpStatusOverflow;
    VdpWriteRegister(1, 0x00);
    EXPECT_EQ(MachineCpu.pendingInterrupt, Z80VectorNone) << "overflow is no line interrupt";
}

TEST_F(VdpTest, RegistersAbove7OnlyWithTheMapper)
{
    Fresh(MachineSg1000);
    VdpWriteRegister(10, 0x12);
    EXPECT_EQ(VdpRegisters[10], 0xFF);
    Fresh(MachineMasterSystem);
    VdpWriteRegister(10, 0x12);
    EXPECT_EQ(VdpRegisters[10], 0x12);
}

TEST_F(VdpTest, ModeDecodeForEveryD)
{
    for (uint32_t type : {MachineMasterSystem, MachineGameGear, MachineSg1000, MachineSc3000}) {
        for (unsigned d = 0; d < 32; ++d) {
            Fresh(type);
            VdpWriteRegister(0, uint8_t(d & 0x07));
            VdpWriteRegister(1, uint8_t(d & 0x18));
            unsigned expected;
            if (type == MachineGameGear)
                expected = VdpMode4;
            else if (d == 0x00)
                expected = VdpModeGraphics1;
            else if (d == 0x02)
                expected = VdpModeGraphics2;
            else if (d == 0x08)
                expected = VdpModeMulticolor;
            else if (d == 0x10)
                expected = VdpModeText;
            else
                expected = type == MachineMasterSystem ? VdpMode4 : VdpModeGraphics1;
            EXPECT_EQ(VdpMode, expected) << "type " << type << ", d " << d;
        }
    }
}

TEST_F(VdpTest, TableBasesStayInsideVram)
{
    Fresh(MachineSg1000);
    for (unsigned reg = 2; reg <= 6; ++reg)
        VdpWriteRegister(reg, 0xFF);
    EXPECT_EQ(VdpTableBase[VdpNameTable], (0x7F * 0x400) & 0x3FFF);
    EXPECT_EQ(VdpTableBase[VdpColourTable], (0xFF * 0x40) & 0x3FFF);
    EXPECT_EQ(VdpTableBase[VdpPatternTable], (0x3F * 0x800) & 0x3FFF);
    EXPECT_EQ(VdpTableBase[VdpSpriteTable], (0xFF * 0x80) & 0x3FFF);
    VdpWriteRegister(1, 0x10); // text mode: other masks
    EXPECT_EQ(VdpTableBase[VdpColourTable], 0);
    Fresh(MachineMasterSystem);
    VdpWriteRegister(2, 0xFF);
    VdpWriteRegister(5, 0xFF);
    VdpWriteRegister(6, 0xFF);
    EXPECT_EQ(VdpTableBase[VdpNameTable], 0x3800);
    EXPECT_EQ(VdpTableBase[VdpSpriteTable], 0x3F00);
    EXPECT_EQ(VdpTableBase[VdpSpritePatterns], 0x2000);
}

TEST_F(VdpTest, ScrollLatch)
{
    VdpWriteRegister(8, 0x10);
    EXPECT_EQ(VdpHLatch, 0xF0);
    VdpWriteRegister(9, 0x20);
    EXPECT_EQ(VdpVScroll, 0) << "vertical scroll waits for the frame";
    VdpLatchVScroll();
    EXPECT_EQ(VdpVScroll, 0x20);
    VdpWriteRegister(0, 0x44); // lock the top two tile rows
    for (auto [line, expected] : {std::pair{0, 0}, std::pair{15, 0}, std::pair{16, 0xF0}, std::pair{100, 0xF0}}) {
        CurrentLine = uint8_t(line);
        VdpLatchScroll();
        EXPECT_EQ(VdpHLatch, expected) << "line " << line;
    }
    Fresh(MachineGameGear);
    VdpWriteRegister(0, 0x44);
    VdpWriteRegister(8, 0x10);
    CurrentLine = 30;
    VdpLatchScroll();
    EXPECT_EQ(VdpHLatch, 0xF0) << "the lock covers lines 0-15 on the Game Gear too";
}

struct CollisionCase {
    const char *name;
    std::vector<std::pair<int, int>> sprites; // (x, y)
    uint8_t reg1;                             // bit 1 16 x 16, bit 0 magnified
    bool expected;
};

// The TMS modes' frame-end test (mode 4 finds collisions on its pixels).
TEST_F(VdpTest, TmsSpriteCollision)
{
    const CollisionCase cases[] = {
        {"apart", {{10, 10}, {30, 10}}, 0x00, false},
        {"overlapping", {{10, 10}, {17, 17}}, 0x00, true},
        {"touching edges do not collide", {{10, 10}, {18, 10}}, 0x00, false},
        {"16 x 16 sprites reach further down", {{10, 10}, {10, 25}}, 0x02, true},
        {"and further right", {{10, 10}, {25, 10}}, 0x02, true},
        {"8 x 8 sprites do not", {{10, 10}, {10, 25}}, 0x00, false},
        {"magnified 8 x 8 sprites do", {{10, 10}, {25, 10}}, 0x01, true},
        {"magnified, 16 apart", {{10, 10}, {26, 10}}, 0x01, false},
        {"magnified 16 x 16, 31 apart", {{10, 10}, {41, 41}}, 0x03, true},
        {"off-screen Y skipped", {{10, 200}, {12, 202}}, 0x00, false},
        {"after 0xD0 ignored", {{10, 10}, {50, 0xD0}, {11, 11}}, 0x00, false},
        {"third pair collides", {{10, 10}, {40, 40}, {44, 44}}, 0x00, true},
    };
    for (const CollisionCase &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh(MachineSg1000);
        VdpWriteRegister(5, 0x20);
        VdpWriteRegister(1, c.reg1);
        const unsigned base = VdpTableBase[VdpSpriteTable];
        for (size_t i = 0; i < c.sprites.size(); ++i) {
            Vram[base + 4 * i] = uint8_t(c.sprites[i].second);
            Vram[base + 4 * i + 1] = uint8_t(c.sprites[i].first);
        }
        Vram[base + 4 * c.sprites.size()] = 0xD0;
        EXPECT_EQ(SpriteCollision(), c.expected);
    }
}

} // namespace
} // namespace Belcrest::Test
