// The clock chip behind the cartridge's port, driven bit by bit as a game
// drives it, at a pinned host date and zone.
#include "modules/tavrin/cart/Rtc.h"

#include "common/zorvan/ByteStream.h"
#include "RecordImageCases.h"
#include "common/zorvan/Console.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/machine/Machine.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace Tavrin::Test {
namespace {

// 2026-12-09 08:40:22 in the zone one hour east of UTC, a Wednesday.
constexpr time_t PinnedTime = 1796802022;
time_t Pinned() { return PinnedTime; }

class RtcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlugMachineIntoCore();
        env.Set("TZ", "CET-1");
        RtcHostTime = Pinned;
        for (size_t i = 0; i < rom.size(); ++i)
            rom[i] = uint8_t(i * 13 + 1);
        RtcKeepPortBytes(Port());
        RtcReset(Port(), 0x40);
        clearConsole();
    }
    void TearDown() override { env.Restore(); }

    uint8_t *Port() { return rom.data() + 0xC4; }
    uint32_t RomHalf(uint32_t offset) const { return HostHalf(rom.data() + offset); }

    static void Set(uint32_t address, uint32_t value) { BusWrite16(address, value); }
    static void Enable() { Set(0x080000C8, 1); }
    void SendCommand(uint8_t command)
    {
        Set(0x080000C6, 7);
        Set(0x080000C4, 1);
        Set(0x080000C4, 5);
        for (int i = 7; i >= 0; --i) {
            uint32_t sio = (command >> i) & 1;
            Set(0x080000C4, 4 | sio << 1);
            Set(0x080000C4, 5 | sio << 1);
        }
    }
    // Reads count bytes, least significant bit first, from the port's data
    // register as the game sees it in the ROM image.
    std::vector<uint8_t> Receive(int count)
    {
        Set(0x080000C6, 5);
        std::vector<uint8_t> bytes(count);
        for (int i = 0; i < 8 * count; ++i) {
            Set(0x080000C4, 4);
            Set(0x080000C4, 5);
            bytes[i >> 3] |= uint8_t(((RomHalf(0xC4) >> 1) & 1) << (i & 7));
        }
        return bytes;
    }
    void SendByte(uint8_t byte)
    {
        for (int i = 0; i < 8; ++i) {
            uint32_t sio = (byte >> i) & 1;
            Set(0x080000C4, 4 | sio << 1);
            Set(0x080000C4, 5 | sio << 1);
        }
    }

    QuintarTest::ScopedEnvironment env;
    std::vector<uint8_t> rom = std::vector<uint8_t>(0x4000);
};

TEST_F(RtcTest, DateAndTimeComeInBcdWithTheHostsWeekday)
{
    Enable();
    SendCommand(0x65);
    EXPECT_EQ(Receive(7), (std::vector<uint8_t>{0x26, 0x12, 0x09, 0x03, 0x08, 0x40, 0x22}));
    EXPECT_EQ(RtcState.state, 0u);
    EXPECT_NE(std::string(getConsole()).find("RTC: Sent 56 bits of data.\n"), std::string::npos);

    SendCommand(0x67);
    EXPECT_EQ(Receive(3), (std::vector<uint8_t>{0x08, 0x40, 0x22}));
}

TEST_F(RtcTest, StatusReadsFortyWhateverWasWritten)
{
    Enable();
    SendCommand(0x62);
    SendByte(0x12);
    EXPECT_EQ(RtcState.bytes[0], 0x12);
    EXPECT_NE(std::string(getConsole()).find("RTC: CONTROL=0x12.\n"), std::string::npos);
    SendCommand(0x63);
    EXPECT_EQ(Receive(1), std::vector<uint8_t>{0x40});
}

TEST_F(RtcTest, AnUnknownCommandReturnsToIdle)
{
    Enable();
    SendCommand(0x61);
    EXPECT_EQ(RtcState.state, 0u);
    EXPECT_NE(std::string(getConsole()).find("RTC: Unknown command 0x61.\n"), std::string::npos);
}

TEST_F(RtcTest, ADisabledPortIgnoresDataAndTheRomKeepsItsBytes)
{
    const std::vector<uint8_t> before = rom;
    SendCommand(0x65);
    EXPECT_EQ(RtcState.state, 0u);
    EXPECT_EQ(RtcState.data, 0u);
    // Direction writes are kept but never reach the image while disabled.
    EXPECT_EQ(rom, before);

    Enable();
    EXPECT_EQ(RomHalf(0xC8), 1u);
    EXPECT_EQ(RomHalf(0xC6), 7u) << "direction shows once enabled";
    Set(0x080000C8, 0);
    EXPECT_EQ(rom, before) << "disabling puts 0xC4-0xCB back";
}

TEST_F(RtcTest, ResetAndAStateWithThePortOffPutTheKeptBytesBack)
{
    const std::vector<uint8_t> before = rom;
    Enable();
    SendCommand(0x65);
    ASSERT_NE(rom, before);
    RtcReset(Port(), 0);
    EXPECT_EQ(rom, before);

    Enable();
    RtcState.control = 0;
    RtcRestorePort();
    EXPECT_EQ(rom, before);
    RtcState.control = 1;
    RtcState.data = 5;
    RtcState.direction = 7;
    RtcRestorePort();
    EXPECT_EQ(RomHalf(0xC4), 5u);
    EXPECT_EQ(RomHalf(0xC6), 7u);
}

TEST_F(RtcTest, OtherAddressesAreRefused)
{
    const std::vector<uint8_t> before = rom;
    Enable();
    Set(0x080000CA, 0x1234);
    EXPECT_NE(std::string(getConsole()).find("RTC: Write to invalid address RTC[0x080000CA]=0x1234.\n"),
              std::string::npos);
    RtcWrite(0x080000C0, 1);
    EXPECT_EQ(std::memcmp(rom.data() + 0xC0, before.data() + 0xC0, 4), 0);
}

TEST_F(RtcTest, TheRecordImageRoundTripsAndRefusesImpossibleFields)
{
    Enable();
    SendCommand(0x65);
    Set(0x080000C6, 5);
    Set(0x080000C4, 4);
    Set(0x080000C4, 5);
    Zorvan::ByteWriter out;
    RtcWriteImage(RtcState, out);
    ASSERT_EQ(out.size(), RtcImageSize);
    RtcRecord back;
    Zorvan::ByteReader in(out.bytes());
    ASSERT_TRUE(RtcReadImage(back, in));
    EXPECT_EQ(back.bitCount, 1u);
    EXPECT_EQ(back.bitTotal, 56u);
    EXPECT_EQ(0, std::memcmp(back.bytes, RtcState.bytes, sizeof back.bytes));
    EXPECT_EQ(back.savedC8, RtcState.savedC8);

    RtcRecord target;
    target.command = 0x99;
    Tavrin::Test::ExpectEachRefused(out.bytes(), target, RtcReadImage, RtcWriteImage,
                               {{6, 4, "state past 3"}, {5, 40, "transfer of 40 bits"},
                                {4, 57, "counter past the transfer"},
                                {4, 56, "a transfer under way with no bit to come"}});
}

} // namespace
} // namespace Tavrin::Test
