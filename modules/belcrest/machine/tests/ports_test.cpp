// The port map per machine type, the pads' TH lines, and the joypad word
// built from the host buttons.
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/belcrest/testing/MachineStandIns.h"

#include <gtest/gtest.h>

namespace Belcrest::Test {
namespace {

class PortsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetStandIns(); }
    void TearDown() override { MachineShutdown(); }
    void Start(uint32_t type) { ASSERT_TRUE(StartWithImage(folder, MakeImage(2), type)); }
    TempFolder folder;
};

TEST_F(PortsTest, ReadsPerMachineType)
{
    struct Case {
        const char *name;
        uint32_t word;     // MachineWord after the start
        uint8_t port;
        uint8_t expected;
    };
    const Case cases[] = {
        {"$00 export, Start up", MachineMasterSystem | MachineCountryExport, 0x00, 0xC0},
        {"$00 Japan", MachineMasterSystem | MachineCountryJapan, 0x00, 0x80},
        {"$04", MachineMasterSystem, 0x04, 0x00},
        {"$05", MachineMasterSystem, 0x05, 0x14},
        {"$DC pad low byte", MachineMasterSystem, 0xDC, 0xFF},
        {"$C0 mirrors $DC", MachineMasterSystem, 0xC0, 0xFF},
        {"$DD pad high byte", MachineMasterSystem, 0xDD, 0xFF},
        {"$DE", MachineMasterSystem, 0xDE, 0xFF},
        {"$E0", MachineMasterSystem, 0xE0, 0x80},
        {"$E4 without SF-7000", MachineMasterSystem, 0xE4, 0xFF},
        {"$F2 without FM", MachineMasterSystem, 0xF2, 0xFF},
        {"$F2 with FM (latch 0)", MachineMasterSystem | MachineHasFm, 0xF2, 0x00},
        {"unknown $20", MachineMasterSystem, 0x20, 0xFF},
        {"high byte of the port ignored", MachineMasterSystem, 0x05, 0x14},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetStandIns();
        Start(c.word & MachineTypeMask);
        MachineWord = c.word;
        EXPECT_EQ(ReadPort(uint16_t(0x1200 | c.port)), c.expected);
        MachineShutdown();
    }
}

TEST_F(PortsTest, PadBitsReachTheirPorts)
{
    Start(MachineMasterSystem);
    KeyboardRows[7] = uint16_t(~(PadUp | PadButton2 | 0x0400) & 0xFFFF);
    EXPECT_EQ(ReadPort(0xDC), 0xDE);
    EXPECT_EQ(ReadPort(0xDD), 0xFB);
    KeyboardRows[7] = uint16_t(~PadStart & 0xFFFF);
    EXPECT_EQ(ReadPort(0x00) & 0x80, 0) << "Game Gear Start on port $00 bit 7";
}

TEST_F(PortsTest, Sc3000KeyboardThroughPpi1)
{
    Start(MachineSc3000);
    KeyboardRows[3] = 0xFE7F;
    WritePort(0xDF, 0x92); // A and B inputs, C outputs
    WritePort(0xDE, 0x03); // row 3
    EXPECT_EQ(ReadPort(0xDC), 0x7F);
    EXPECT_EQ(ReadPort(0xDD), 0xBE);
    EXPECT_EQ(ReadPort(0xC1), 0xBE) << "$C0-$C3 mirror $DC-$DF";
    KeyboardRows[7] = 0xFFFE; // the pad is row 7
    WritePort(0xDE, 0x07);
    EXPECT_EQ(ReadPort(0xDC), 0xFE);
    EXPECT_EQ(ReadPort(0xE4), 0xFF) << "PPI 2 only on the SF-7000";
}

TEST_F(PortsTest, ThLinesFromPort3F)
{
    struct Case {
        uint32_t country;
        uint8_t value;
        uint16_t bits; // bits 14-15 of the joypad word
    };
    const Case cases[] = {
        {MachineCountryExport, 0x00, 0xC000}, // not the 5 pattern: both high
        {MachineCountryExport, 0xF5, 0xC000},
        {MachineCountryExport, 0x55, 0x0000},
        {MachineCountryExport, 0xA5, 0xC000},
        {MachineCountryExport, 0x25, 0x4000},
        {MachineCountryJapan, 0xF5, 0x0000},
        {MachineCountryJapan, 0x05, 0xC000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.value));
        MachineShutdown();
        ResetStandIns();
        Start(MachineMasterSystem);
        MachineWord |= c.country;
        KeyboardRows[7] = 0x3FFF;
        WritePort(0x3F, c.value);
        EXPECT_EQ(KeyboardRows[7] & 0xC000, c.bits);
        EXPECT_EQ(KeyboardRows[7] & 0x3FFF, 0x3FFF);
    }
}

TEST_F(PortsTest, PsgAndVdpPorts)
{
    Start(MachineMasterSystem);
    WritePort(0x7E, 0x9F);
    WritePort(0x7F, 0x80);
    EXPECT_EQ(Hooks.psgWrites, (std::vector<uint8_t>{0x9F, 0x80}));
    CurrentLine = 77;
    EXPECT_EQ(ReadPort(0x7E), 77); // the counters are the line step's tests'
}

TEST_F(PortsTest, JoypadWord)
{
    struct Case {
        const char *name;
        uint32_t type;
        uint32_t buttons;
        uint16_t old;
        uint16_t expected;
    };
    const Case cases[] = {
        {"nothing pressed", MachineMasterSystem, 0, 0xC000, 0xFFFF},
        {"TH bits kept", MachineMasterSystem, 0, 0x4000, 0x7FFF},
        {"Up", MachineMasterSystem, PadUp, 0xC000, 0xFFFE},
        {"Up and Down: Down released", MachineMasterSystem, PadUp | PadDown, 0xC000, 0xFFFE},
        {"Left and Right: Left released", MachineMasterSystem, PadLeft | PadRight, 0xC000, 0xFFF7},
        {"buttons 1 and 2", MachineMasterSystem, PadButton1 | PadButton2, 0xC000, 0xFFCF},
        {"Start presses button 1", MachineMasterSystem, PadStart, 0xC000, 0xDFEF},
        {"Pause is not in the word", MachineMasterSystem, PadPause, 0xC000, 0xFFFF},
        {"Game Gear Start", MachineGameGear, PadStart, 0xC000, 0xDFFF},
        {"Game Gear button 1", MachineGameGear, PadButton1, 0xC000, 0xFFEF},
        {"Game Gear: bits 6-11 press pad 1 too", MachineGameGear, 0x0FC0, 0xC000, 0xFFC6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MachineWord = c.type;
        AutofireCounter = 0;
        EXPECT_EQ(JoypadWord(c.buttons, c.old), c.expected);
    }
}

TEST_F(PortsTest, AutofireReleasesButtonsHalfTheTime)
{
    MachineWord = MachineMasterSystem | MachineAutofire1;
    AutofireCounter = 0;
    std::vector<int> pressed;
    for (int frame = 0; frame < 8; ++frame)
        pressed.push_back(!(JoypadWord(PadButton1 | PadButton2, 0xC000) & 0x10));
    EXPECT_EQ(pressed, (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 1}));
    MachineWord = MachineMasterSystem | MachineAutofire2;
    AutofireCounter = 3;
    EXPECT_EQ(JoypadWord(PadButton1 | PadButton2, 0xC000) & 0x830, 0x820) << "button 2 forced up, 1 held";
}

} // namespace
} // namespace Belcrest::Test
