// The picture processor's registers, the page map and mirroring, and the
// sprite pre-pass.
#include "modules/cindrel/machine/tests/MachineFixture.h"

using namespace Cindrel;
using namespace Cindrel::Test;

namespace {

using PpuRegisterTest = MachineFixture;

void SetAddress(uint16_t a)
{
    WriteMemory(0x2006, uint8_t(a >> 8));
    WriteMemory(0x2006, uint8_t(a));
}

TEST_F(PpuRegisterTest, FourWriteSplitGivesTheHardwareAddressAndNextFrameScroll)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    // The usual mid-frame split: $2006 = name table 1 and fine row 3,
    // $2005 = Y 120 + 3, $2005 = X 64 + 5, $2006 = the low address byte.
    ReadMemory(0x2002);
    WriteMemory(0x2006, 0x04 | 0x30 | 0x01);
    WriteMemory(0x2005, 0x7B);
    WriteMemory(0x2005, 0x45);
    WriteMemory(0x2006, 0xE8);
    // Coarse column 8, coarse row 15, name table 1, fine row 3.
    const uint16_t expected = uint16_t(8 | (15 << 5) | (1 << 10) | (3 << 12));
    EXPECT_EQ(VramAddress, expected);
    EXPECT_EQ(PpuRegisters[0] & 3, 1);
    EXPECT_EQ(ScrollX, 0x45u);
    EXPECT_EQ(ScrollY, 0x7Bu);
    EXPECT_EQ(WriteToggle, 0);
}

TEST_F(PpuRegisterTest, WriteToggleIsSharedAndStoredAsZeroOneTwo)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    struct Step {
        uint16_t reg;
        uint8_t value;
        uint8_t toggle;
    } const steps[] = {
        {0x2006, 0x21, 1}, {0x2005, 0x10, 0}, // a $2005 finishes a $2006 pair
        {0x2005, 0x20, 2}, {0x2006, 0x00, 0}, // and a $2006 a $2005 pair
        {0x2005, 0x30, 2}, {0x2002, 0x00, 0}, // a $2002 write ends any pair
        {0x2006, 0x3F, 1},
    };
    for (const Step &s : steps) {
        WriteMemory(s.reg, s.value);
        EXPECT_EQ(WriteToggle, s.toggle) << std::hex << s.reg << " " << int(s.value);
    }
    ReadMemory(0x2002);
    EXPECT_EQ(WriteToggle, 0);
}

TEST_F(PpuRegisterTest, FirstAddressWriteKeepsSixBitsAndDataUsesFourteen)
{
    ASSERT_TRUE(Start(IdleCartridge(2, 0)));
    SetAddress(0xE345); // bits 14-15 dropped: $2345
    EXPECT_EQ(VramAddress, 0x2345);
    WriteMemory(0x2007, 0x66);
    EXPECT_EQ(VideoPageMap[8][0x345], 0x66);
    VramAddress = 0x7345; // bit 14 set by counting: still $3345, a mirror of $2345
    WriteMemory(0x2007, 0x67);
    EXPECT_EQ(VideoPageMap[8][0x345], 0x67);
    EXPECT_EQ(VramAddress, 0x7346);
    VramAddress = 0x7FFF;
    WriteMemory(0x2007, 0);
    EXPECT_EQ(VramAddress, 0);
}

TEST_F(PpuRegisterTest, DataPortReadsAndWrites)
{
    ASSERT_TRUE(Start(IdleCartridge(2, 1)));
    // Name-table data arrives one read late; palette data too.
    SetAddress(0x2000);
    WriteMemory(0x2007, 0x11);
    WriteMemory(0x2007, 0x22);
    SetAddress(0x2000);
    ReadMemory(0x2007);
    EXPECT_EQ(ReadMemory(0x2007), 0x11);
    EXPECT_EQ(ReadMemory(0x2007), 0x22);
    // Writes refill the buffer from the next address.
    SetAddress(0x2000);
    WriteMemory(0x2007, 0x33);
    EXPECT_EQ(ReadMemory(0x2007), 0x22);
    // Increment of 32.
    WriteMemory(0x2000, 0x04);
    SetAddress(0x2400);
    WriteMemory(0x2007, 1);
    EXPECT_EQ(VramAddress, 0x2420);
    WriteMemory(0x2000, 0x00);
    // Pattern ROM is not written, but the address moves on.
    SetAddress(0x0010);
    const uint8_t before = VromBuffer[0x10];
    WriteMemory(0x2007, uint8_t(before + 1));
    EXPECT_EQ(VromBuffer[0x10], before);
    EXPECT_EQ(VramAddress, 0x0011);
    // Name tables mapped onto pattern ROM ignore writes too.
    VideoPageMap[8] = VromBuffer;
    SetAddress(0x2000);
    WriteMemory(0x2007, 0x5A);
    EXPECT_EQ(VromBuffer[0], 0);
}

TEST_F(PpuRegisterTest, PaletteWrites)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    const struct {
        uint16_t address;
        std::vector<uint16_t> stored;
    } cases[] = {
        {0x3F00, {0x3F00, 0x3F10}}, {0x3F10, {0x3F00, 0x3F10}}, {0x3F20, {0x3F00, 0x3F10}},
        {0x3F04, {0x3F04}},         {0x3F14, {0x3F14}},         {0x3FFF, {0x3F1F}},
    };
    uint8_t value = 1;
    for (const auto &c : cases) {
        std::memset(VideoSpace + 0x3F00, 0, 32);
        SetAddress(c.address);
        WriteMemory(0x2007, value);
        int set = 0;
        for (int i = 0; i < 32; ++i)
            set += VideoSpace[0x3F00 + i] == value;
        EXPECT_EQ(set, int(c.stored.size())) << std::hex << c.address;
        for (uint16_t a : c.stored)
            EXPECT_EQ(VideoSpace[a], value) << std::hex << c.address;
        ++value;
    }
}

TEST_F(PpuRegisterTest, StatusReadsAndWrites)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    // Registers 0, 1, 3, 5, 6 read as $2002, clearing bit 7 and the toggle.
    for (uint16_t reg : {0x2000, 0x2001, 0x2002, 0x2003, 0x2005, 0x2006, 0x3FF8}) {
        PpuRegisters[2] = 0xC5;
        WriteToggle = 2;
        EXPECT_EQ(ReadMemory(reg), 0xC5) << std::hex << reg;
        EXPECT_EQ(PpuRegisters[2], 0x45);
        EXPECT_EQ(WriteToggle, 0);
    }
    // Any write copies bits 0-4 into $2002; a $2002 write clears bit 7.
    PpuRegisters[2] = 0xE0;
    WriteMemory(0x2003, 0x1B);
    EXPECT_EQ(PpuRegisters[2], 0xFB);
    WriteMemory(0x2002, 0x04);
    EXPECT_EQ(PpuRegisters[2], 0x64);
    // Sprite RAM through $2003/$2004; reads advance too.
    WriteMemory(0x2003, 0xFE);
    WriteMemory(0x2004, 1);
    WriteMemory(0x2004, 2);
    WriteMemory(0x2004, 3);
    EXPECT_EQ(SpriteRam[0xFE], 1);
    EXPECT_EQ(SpriteRam[0xFF], 2);
    EXPECT_EQ(SpriteRam[0x00], 3);
    WriteMemory(0x2003, 0xFF);
    EXPECT_EQ(ReadMemory(0x2004), 2);
    EXPECT_EQ(ReadMemory(0x2004), 3);
}

TEST_F(PpuRegisterTest, GreyModeHandsOnAveragedColours)
{
    ASSERT_TRUE(Start(IdleCartridge()));
    const int calls = StandIns.paletteCalls;
    WriteMemory(0x2001, 0x19);
    EXPECT_EQ(StandIns.paletteCalls, calls + 64);
    // $0012B0: (0 + 2 * $12 + $B0) / 4.
    const int grey = (0 + 2 * 0x12 + 0xB0) >> 2;
    EXPECT_EQ(StandIns.colors[2][0], grey);
    EXPECT_EQ(StandIns.colors[2][1], grey);
    WriteMemory(0x2001, 0x1F); // bit 0 unchanged: nothing handed on
    EXPECT_EQ(StandIns.paletteCalls, calls + 64);
    WriteMemory(0x2001, 0x18);
    EXPECT_EQ(StandIns.colors[2][2], 0xB0);
}

TEST_F(PpuRegisterTest, Mirroring)
{
    const struct {
        int mode;
        uint16_t tables[4];
    } modes[] = {
        {0, {0x2000, 0x2000, 0x2400, 0x2400}}, {1, {0x2000, 0x2400, 0x2000, 0x2400}},
        {2, {0x2000, 0x2000, 0x2000, 0x2000}}, {3, {0x2400, 0x2400, 0x2400, 0x2400}},
        {4, {0x2000, 0x2400, 0x2800, 0x2C00}},
    };
    ASSERT_TRUE(Start(IdleCartridge()));
    for (const auto &m : modes) {
        SetMirroring(m.mode);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(VideoPageMap[8 + i], VideoSpace + m.tables[i]) << m.mode;
            EXPECT_EQ(VideoPageMap[12 + i], VideoPageMap[8 + i]);
        }
    }
    SetMirroring(9); // unknown: stored, pages kept
    EXPECT_EQ(MirroringMode, 9);
    EXPECT_EQ(VideoPageMap[11], VideoSpace + 0x2C00);

    // A four-screen board keeps its four tables whatever a mapper asks.
    ASSERT_TRUE(Start(IdleCartridge().FourScreen().Vertical(), "four.nes"));
    EXPECT_EQ(MirroringMode, 4);
    SetMirroring(1);
    EXPECT_EQ(MirroringMode, 4);
    EXPECT_EQ(VideoPageMap[10], VideoSpace + 0x2800);
}

// Sprite pre-pass fixture: pattern RAM with distinct rows.
class SpritePrePass : public MachineFixture {
protected:
    void SetUp() override
    {
        MachineFixture::SetUp();
        ASSERT_TRUE(Start(IdleCartridge(2, 0)));
        for (int i = 0; i < 0x2000; ++i)
            VideoSpace[i] = uint8_t(i);
        std::memset(SpriteRam, 0xF8, sizeof SpriteRam); // all below the picture
        PpuRegisters[0] = 0;
        PpuRegisters[1] = 0x1E;
    }
    static void Sprite(int s, uint8_t y, uint8_t tile, uint8_t attributes, uint8_t x)
    {
        SpriteRam[s * 4] = y;
        SpriteRam[s * 4 + 1] = tile;
        SpriteRam[s * 4 + 2] = attributes;
        SpriteRam[s * 4 + 3] = x;
    }
    static uint16_t Word(uint8_t low, uint8_t high)
    {
        const unsigned h2 = unsigned(high) * 2;
        return uint16_t((h2 & 0xAAA) | (((h2 & 0x555) | (low & 0xAAu)) * 128) | (low & 0x55u));
    }
};

TEST_F(SpritePrePass, EightDrawnTheNinthOverflows)
{
    for (int s = 0; s < 9; ++s)
        Sprite(s, 19, 1, 0, uint8_t(8 * s + 1));
    EXPECT_EQ(PrepareSpriteLine(20), 1);
    EXPECT_EQ(SpriteLineTable.lastSprite, 7);
    Sprite(8, 100, 1, 0, 1);
    EXPECT_EQ(PrepareSpriteLine(20), 0);
    EXPECT_EQ(SpriteLineTable.lastSprite, 7);
    // Sprites hidden in the left column do not count.
    PpuRegisters[1] = 0x18;
    Sprite(8, 19, 1, 0, 0);
    Sprite(9, 19, 1, 0, 0);
    EXPECT_EQ(PrepareSpriteLine(20), 0);
    PpuRegisters[1] = 0x1C;
    EXPECT_EQ(PrepareSpriteLine(20), 1);
    // Sprites off: nothing prepared.
    PpuRegisters[1] = 0x08;
    EXPECT_EQ(PrepareSpriteLine(20), 0);
    EXPECT_EQ(SpriteLineTable.lastSprite, -1);
}

TEST_F(SpritePrePass, RowsFlipsAndPixelPairs)
{
    // Pattern byte at p is p & 255; tile t of the low half starts at 16 t.
    const struct {
        uint8_t control;   // $2000: bit 3 sprite half, bit 5 8x16
        uint8_t tile;
        uint8_t attributes;
        int row;           // line - Y - 1
        uint16_t source;   // offset in pattern space of the low byte
        bool mirrored;
    } cases[] = {
        {0x00, 0x01, 0x00, 0, 0x0010, false},
        {0x00, 0x01, 0x00, 5, 0x0015, false},
        {0x00, 0x01, 0x80, 5, 0x0012, false},
        {0x08, 0x41, 0x00, 2, 0x1412, false},
        {0x00, 0x02, 0x40, 3, 0x0023, true},
        {0x20, 0x03, 0x00, 3, 0x1023, false},  // odd tile: right half, tile & $3E
        {0x20, 0x02, 0x00, 9, 0x0031, false},  // second tile of the pair
        {0x20, 0x02, 0x80, 0, 0x0037, false},  // flipped: bottom row of the second tile
        {0x20, 0x02, 0x80, 15, 0x0020, false}, // flipped: top row of the first
        {0x28, 0x44, 0x00, 1, 0x0441, false},  // 8x16 ignores bit 3
    };
    for (const auto &c : cases) {
        PpuRegisters[0] = c.control;
        SelectPatternTables();
        Sprite(0, 49, c.tile, c.attributes, 10);
        PrepareSpriteLine(50 + c.row);
        uint8_t low = uint8_t(c.source), high = uint8_t(c.source + 8);
        if (c.mirrored) {
            auto rev = [](uint8_t b) {
                uint8_t r = 0;
                for (int i = 0; i < 8; ++i)
                    r |= uint8_t(((b >> i) & 1) << (7 - i));
                return r;
            };
            low = rev(low);
            high = rev(high);
        }
        EXPECT_EQ(SpriteLineTable.words[0], Word(low, high)) << std::hex << int(c.control) << " tile " << int(c.tile)
                                                             << " row " << std::dec << c.row;
        EXPECT_EQ(SpriteLineTable.lastSprite, 0);
    }
}

TEST_F(SpritePrePass, PixelPairLayout)
{
    // Leftmost pixel colour 3 sits in bits 15-14, the next in 7-6.
    EXPECT_EQ(Word(0x80, 0x80), 0xC000);
    EXPECT_EQ(Word(0x40, 0x00), 0x0040);
    EXPECT_EQ(Word(0x00, 0x01), 0x0002);
    EXPECT_EQ(Word(0x01, 0x00), 0x0001);
    // Rows with no pixels leave the word 0 and the sprite undrawn.
    std::memset(VideoSpace, 0, 0x2000);
    Sprite(0, 49, 1, 0, 10);
    PrepareSpriteLine(50);
    EXPECT_EQ(SpriteLineTable.words[0], 0);
    EXPECT_EQ(SpriteLineTable.lastSprite, -1);
}

} // namespace
