// The flash chip's command sequences over the save array, driven through the
// bus's byte stores as a game drives them, and its record in the state file.
#include "modules/tavrin/cart/Flash.h"

#include "RecordImageCases.h"
#include "common/zorvan/ByteStream.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/machine/Machine.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace Tavrin::Test {
namespace {

using Writes = std::vector<std::pair<uint32_t, uint8_t>>;

class FlashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlugMachineIntoCore();
        Start(17);
    }
    void TearDown() override { BusClearMap(); }

    void Start(uint32_t sizeExp, uint16_t chipId = 0xD4BF)
    {
        LogFlags = 0;
        save.assign(size_t(1) << sizeExp, 0);
        for (size_t i = 0; i < save.size(); ++i)
            save[i] = uint8_t(i ^ (i >> 8) ^ (i >> 16));
        before = save;
        BusClearMap();
        FlashReset(chipId, save.data(), sizeExp, 0);
        MapPages(save.data(), FlashBankSize, 0x0E000000, 0x02000000, true);
    }
    static void Write(const Writes &writes)
    {
        for (auto [offset, byte] : writes)
            BusWrite8(0x0E000000 + offset, byte);
    }
    static uint8_t Load(uint32_t offset) { return uint8_t(BusRead8(0x0E000000 + offset)); }

    static Writes Command(uint8_t command) { return {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, command}}; }
    static Writes Then(Writes a, const Writes &b)
    {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    std::vector<uint8_t> save, before;
};

TEST_F(FlashTest, PlainAndBrokenSequencesStoreTheirBytes)
{
    struct Case {
        const char *name;
        Writes writes;
        Writes expect; // offset, byte afterwards
    } cases[] = {
        {"plain store", {{0x0100, 0x12}}, {{0x0100, 0x12}}},
        {"lone AA then a store", {{0x5555, 0xAA}, {0x0100, 0x12}}, {{0x5555, 0xAA}, {0x0100, 0x12}}},
        {"AA 55 then a store elsewhere", {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x0100, 0x12}},
         {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x0100, 0x12}}},
        {"AA 55 80 then a store", Then(Command(0x80), {{0x0100, 0x12}}), {{0x0100, 0x12}}},
        {"AA 55 80 AA then a store", Then(Command(0x80), {{0x5555, 0xAA}, {0x0100, 0x12}}),
         {{0x5555, 0xAA}, {0x0100, 0x12}}},
        {"AA 55 80 AA 55 then a store elsewhere",
         Then(Command(0x80), {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x0100, 0x12}}),
         {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x0100, 0x12}}},
        {"unknown command stores nothing", Command(0x77), {{0x5555, 0}}},
        {"unknown erase command stores nothing",
         Then(Command(0x80), {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x77}}), {{0x5555, 0}}},
        {"program clears bits only", Then(Command(0xA0), {{0x0100, 0x0F}}), {{0x0100, 0x0C}}},
    };
    for (const Case &c : cases) {
        Start(17);
        save[0x0100] = 0x3C;
        save[0x5555] = 0;
        Write(c.writes);
        for (auto [offset, byte] : c.expect)
            EXPECT_EQ(Load(offset), byte) << c.name;
        EXPECT_EQ(FlashState.cycle, 0u) << c.name;
    }
}

TEST_F(FlashTest, IdModeShowsTheChipIdAndPutsTheBytesBack)
{
    Write(Command(0x90));
    EXPECT_EQ(Load(0), 0xBF);
    EXPECT_EQ(Load(1), 0xD4);
    // Erase and programming change nothing while the ID shows.
    Write(Then(Command(0x80), {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x1234, 0x30}}));
    Write(Then(Command(0xA0), {{0x0100, 0x00}}));
    Write(Then(Command(0x80), {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x10}}));
    // Entering twice must not take the ID for the hidden bytes.
    Write(Command(0x90));
    Write({{0x0000, 0xF0}});
    EXPECT_EQ(save, before);
    EXPECT_EQ(FlashState.idMode, 0u);
}

TEST_F(FlashTest, IdModeMovesWithABankSwitch)
{
    Write(Command(0x90));
    Write(Then(Command(0xB0), {{0x0000, 1}}));
    EXPECT_EQ(save[0], before[0]) << "bank 0 got its bytes back";
    EXPECT_EQ(save[1], before[1]);
    EXPECT_EQ(Load(0), 0xBF) << "the ID shows in bank 1";
    EXPECT_EQ(Load(2), before[0x10002]) << "the window shows bank 1";
    Write(Command(0xF0));
    EXPECT_EQ(save, before);
}

TEST_F(FlashTest, EraseFillsASectorOrTheWholeChip)
{
    Write(Then(Command(0x80), {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x1234, 0x30}}));
    for (uint32_t i = 0; i < save.size(); ++i)
        ASSERT_EQ(save[i], i >= 0x1000 && i < 0x2000 ? 0xFF : before[i]) << i;

    Write(Then(Command(0xB0), {{0x0000, 1}}));
    Write(Then(Command(0x80), {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x10}}));
    EXPECT_EQ(save, std::vector<uint8_t>(save.size(), 0xFF)) << "both 64 KB banks";
}

TEST_F(FlashTest, BankSelectMapsTheNewBankOrReturnsNone)
{
    Write(Then(Command(0xB0), {{0x0000, 1}}));
    EXPECT_EQ(FlashState.bank, save.data() + 0x10000);
    EXPECT_EQ(Load(0x4321), before[0x14321]);
    EXPECT_EQ(Load(0x01FF4321 & 0xFFFF), before[0x14321]);
    EXPECT_EQ(BusRead8(0x0FFF4321), before[0x14321]) << "mirrored over the whole window";

    // One bank: the selection wraps to bank 0, which is already current.
    Start(16);
    EXPECT_EQ(FlashWrite(0x5555, 0xAA), nullptr);
    FlashWrite(0x2AAA, 0x55);
    FlashWrite(0x5555, 0xB0);
    EXPECT_EQ(FlashWrite(0x0000, 0x01), nullptr);
    EXPECT_EQ(FlashState.bank, save.data());
}

TEST_F(FlashTest, ResetInIdModeOnBankOnePutsTheBytesBack)
{
    Write(Then(Command(0xB0), {{0x0000, 1}}));
    Write(Command(0x90));
    FlashReset(0xD4BF, save.data(), 17, 0);
    EXPECT_EQ(save, before);
    EXPECT_EQ(FlashState.bank, save.data());
    EXPECT_EQ(FlashState.idMode, 0u);
}

TEST_F(FlashTest, TheRecordImageKeepsTheBankOffsetAndRefusesImpossibleFields)
{
    Write(Then(Command(0xB0), {{0x0000, 1}}));
    Write(Command(0x90));
    Zorvan::ByteWriter out;
    FlashWriteImage(FlashState, out);
    ASSERT_EQ(out.size(), FlashImageSize);
    EXPECT_EQ(out.bytes()[16], 0u);
    EXPECT_EQ(out.bytes()[18], 1u) << "bank offset 0x10000";

    std::vector<uint8_t> other(save.size());
    FlashRecord back;
    back.base = other.data();
    back.sizeExp = 17;
    Zorvan::ByteReader in(out.bytes());
    ASSERT_TRUE(FlashReadImage(back, in));
    EXPECT_EQ(back.bank, other.data() + 0x10000);
    EXPECT_EQ(back.idMode, 1u);
    EXPECT_EQ(back.hidden[0], before[0x10000]);

    FlashRecord target = back;
    target.cycle = 3;
    target.bank = target.base;
    Tavrin::Test::ExpectEachRefused(out.bytes(), target, FlashReadImage, FlashWriteImage,
                               {
                                   {4, 8, "cycle past 7"},
                                   {5, 2, "ID mode flag not 0/1"},
                                   {12, 16, "another array size"},
                                   {18, 2, "bank past the array"},
                                   {17, 0x80, "bank not on 64 KB"},
                               });
}

} // namespace
} // namespace Tavrin::Test
