// The serial EEPROM's protocol, one bit at a time as the bus delivers it,
// and its record in the state file.
#include "modules/tavrin/cart/Eeprom.h"

#include "RecordImageCases.h"
#include "common/zorvan/ByteStream.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/bus/MemoryMap.h"
#include "modules/tavrin/machine/Machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace Tavrin::Test {
namespace {

class EepromTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlugMachineIntoCore();
        LogFlags = 0;
        EepromSizeExp = 6;
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = uint8_t(i * 7 + 3);
        EepromReset(data.data(), 6, echo.data(), 0);
    }

    // What a game's DMA sends: start bit, read/write bit, the address from
    // its top bit down, then (for a write) 64 data bits and a stop bit.
    static std::vector<uint32_t> Request(bool read, uint32_t block, uint32_t bits)
    {
        std::vector<uint32_t> units{1, read ? 1u : 0u};
        for (int i = int(bits) - 1; i >= 0; --i)
            units.push_back((block >> i) & 1);
        return units;
    }
    static void Send(const std::vector<uint32_t> &units)
    {
        for (uint32_t u : units)
            EepromWriteBit(u);
    }
    static void ReadRequest(uint32_t block, uint32_t bits)
    {
        auto units = Request(true, block, bits);
        units.push_back(0);
        Send(units);
    }
    static void WriteBlock(uint32_t block, uint32_t bits, uint64_t value)
    {
        auto units = Request(false, block, bits);
        for (int i = 63; i >= 0; --i)
            units.push_back(uint32_t(value >> i) & 1);
        units.push_back(0);
        Send(units);
    }
    // The 64 data bits after the 4 dummy bits, first bit in bit 63.
    static uint64_t ReadBlock(uint32_t block, uint32_t bits)
    {
        ReadRequest(block, bits);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(EepromReadBit(), 0u) << "dummy bit " << i;
        uint64_t v = 0;
        for (int i = 0; i < 64; ++i)
            v = v << 1 | EepromReadBit();
        return v;
    }
    static uint64_t BlockAt(const std::vector<uint8_t> &bytes, uint32_t at)
    {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = v << 8 | bytes[at + i];
        return v;
    }
    uint16_t Echo(uint32_t i) const
    {
        uint16_t v;
        std::memcpy(&v, echo.data() + 2 * i, 2);
        return v;
    }

    std::vector<uint8_t> data = std::vector<uint8_t>(EepromArraySize);
    std::vector<uint8_t> echo = std::vector<uint8_t>(0x4000);
};

TEST_F(EepromTest, AnIdleChipReadsReady)
{
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(EepromReadBit(), 1u);
}

TEST_F(EepromTest, ReadOfBlockZeroSendsFourZerosThenByteSevenFirstThenOnes)
{
    ReadRequest(0, 6);
    std::vector<uint32_t> got;
    for (int i = 0; i < 72; ++i)
        got.push_back(EepromReadBit());
    std::vector<uint32_t> want{0, 0, 0, 0};
    for (int byte = 7; byte >= 0; --byte)
        for (int bit = 7; bit >= 0; --bit)
            want.push_back((data[byte] >> bit) & 1);
    want.insert(want.end(), 4, 1);
    EXPECT_EQ(got, want);
}

TEST_F(EepromTest, BlockAddressesReachTheEndOfTheChipAndWrap)
{
    struct Case {
        uint32_t bits, block, byteAddress;
    } cases[] = {
        {6, 63, 504},      // the last block of 512 bytes
        {14, 1023, 8184},  // the last block of 8 KB
        {14, 1024, 0},     // a 14-bit address past 8 KB wraps
        {14, 0x3FFF, 8184},
    };
    for (const Case &c : cases) {
        EepromReset(data.data(), c.bits, echo.data(), 0);
        EXPECT_EQ(ReadBlock(c.block, c.bits), BlockAt(data, c.byteAddress)) << c.bits << " bits, block " << c.block;
    }
}

TEST_F(EepromTest, AWrittenBlockStoresItsFirstByteReceivedLast)
{
    WriteBlock(1, 6, 0x0102030405060708ull);
    const uint8_t want[8] = {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(0, std::memcmp(data.data() + 8, want, 8));
    EXPECT_EQ(Echo(0), 1u) << "ready after the block";
    EXPECT_EQ(ReadBlock(1, 6), 0x0102030405060708ull);
    // The stop bit arrived while idle and started nothing.
    EXPECT_EQ(EepromState.requestLeft, 0u);
}

TEST_F(EepromTest, AReadRequestLeavesItsBitsInTheEchoPageForDma)
{
    ReadRequest(2, 6);
    uint64_t block = BlockAt(data, 16);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(Echo(i), 0u);
    for (uint32_t i = 0; i < 64; ++i)
        ASSERT_EQ(Echo(4 + i), (block >> (63 - i)) & 1) << "echo bit " << i;
}

TEST_F(EepromTest, ALoadInTheMiddleOfARequestCancelsIt)
{
    Send({1, 1, 0, 0});
    EXPECT_EQ(EepromReadBit(), 1u);
    EXPECT_EQ(EepromState.requestLeft, 0u);
    // The rest of the cut request is ignored zeros; a new request works.
    Send({0, 0, 0, 0});
    EXPECT_EQ(ReadBlock(5, 6), BlockAt(data, 40));
}

TEST_F(EepromTest, TheFirstDmaTellsTheAddressWidth)
{
    struct Case {
        std::vector<uint32_t> transfers;
        uint32_t bits;
    } cases[] = {
        {{17}, 14}, {{81}, 14}, {{9}, 6}, {{73}, 6}, {{9, 17}, 6}, {{73, 81}, 6}, {{17, 9}, 14},
    };
    for (const Case &c : cases) {
        EepromSizeExp = 6;
        EepromReset(data.data(), 6, echo.data(), 0);
        for (uint32_t units : c.transfers)
            EepromNoteDmaUnits(units);
        EXPECT_EQ(EepromState.bits, c.bits) << c.transfers.front();
        EXPECT_EQ(EepromSizeExp, c.bits);
    }
}

TEST_F(EepromTest, SwitchingToFourteenBitsKeepsTheBytes)
{
    WriteBlock(3, 6, 0x1122334455667788ull);
    EepromNoteDmaUnits(17);
    EXPECT_EQ(ReadBlock(3, 14), 0x1122334455667788ull);
    WriteBlock(1000, 14, 0xA5A5A5A5A5A5A5A5ull);
    EXPECT_EQ(BlockAt(data, 8000), 0xA5A5A5A5A5A5A5A5ull);
}

TEST_F(EepromTest, TheBusReachesTheChipWithHalfwordAccesses)
{
    for (uint32_t u : Request(true, 4, 6))
        BusWrite16(0x0D000000, u);
    BusWrite16(0x0D000000, 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(BusRead16(0x0D000000), 0u);
    uint64_t v = 0;
    for (int i = 0; i < 64; ++i)
        v = v << 1 | BusRead16(0x0DFFFF00);
    EXPECT_EQ(v, BlockAt(data, 32));
}

TEST_F(EepromTest, AnImageOver16MegabytesLeavesTheChipOnlyTheLast256Bytes)
{
    std::vector<uint8_t> cart(0x01004000, 0x11);
    ConsoleBlocks blocks;
    blocks.cart = cart.data();
    blocks.cartSize = uint32_t(cart.size());
    MapConsoleMemory(blocks);
    EXPECT_EQ(BusRead16(0x0D000000), 0x1111u) << "the image";
    BusWrite16(0x0D000000, 1);
    BusWrite16(0x0DFFFEFE, 1);
    EXPECT_EQ(EepromState.requestLeft, 0u) << "below the chip's 256 bytes";
    EXPECT_EQ(ReadPageTable[0x0DFFFF00 >> PageShift], DummyPage) << "the echo page";
    EXPECT_EQ(BusRead16(0x0DFFFF00), 1u) << "the idle chip";
    BusWrite16(0x0DFFFF00, 1);
    EXPECT_EQ(EepromState.requestLeft, 7u);

    MapConsoleMemory(ConsoleBlocks{});
    EXPECT_EQ(EepromWindowStart, 0x0D000000u);
}

TEST_F(EepromTest, TheRecordImageRoundTripsAndRefusesImpossibleFields)
{
    Send({1, 1, 0, 1});
    EepromState.address = 0x1F8;
    Zorvan::ByteWriter out;
    EepromWriteImage(EepromState, out);
    ASSERT_EQ(out.size(), EepromImageSize);

    EepromRecord back;
    back.data = data.data();
    Zorvan::ByteReader in(out.bytes());
    ASSERT_TRUE(EepromReadImage(back, in));
    EXPECT_EQ(back.input, EepromState.input);
    EXPECT_EQ(back.output, EepromState.output);
    EXPECT_EQ(back.requestLeft, EepromState.requestLeft);
    EXPECT_EQ(back.address, 0x1F8u);
    EXPECT_EQ(back.data, data.data()) << "the live pointer stays";

    EepromRecord target;
    target.address = 0x40;
    Tavrin::Test::ExpectEachRefused(out.bytes(), target, EepromReadImage, EepromWriteImage,
                               {
                                   {16, 7, "address width other than 6 or 14"},
                                   {24, 8, "request longer than 1 + n bits"},
                                   {25, 65, "more than 64 data bits"},
                                   {26, 5, "more than 4 dummy bits"},
                                   {29, 0x02, "address past 512 bytes at 6 bits"},
                                   {28, 0x04, "address not on a block"},
                               });
}

} // namespace
} // namespace Tavrin::Test
