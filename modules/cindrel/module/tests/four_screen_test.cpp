// A mapper-0 cartridge whose header sets the four-screen flag: four name
// tables of its own, each with its own attributes, and nothing but what the
// game writes in pattern memory.
#include "modules/cindrel/module/tests/CindrelSandbox.h"

namespace Cindrel::Test {
namespace {

// Writes its palette ($3F00-$3F0F: groups 0-3 in $16, $2A, $12, $30 over a
// $0F backdrop), fills the four tables with one tile and their attributes
// with $00, $55, $AA and $FF, shows the table whose number is at $C1F0 and
// stops. With pattern ROM, tile 1 is solid value 1.
CartridgeBuilder FourTablesCartridge(uint8_t shown, int vromPages, uint8_t tile = 1)
{
    CartridgeBuilder cart(1, vromPages);
    cart.FourScreen();
    cart.Code(0xC000, {
        0x78, 0xD8, 0xA2, 0xFF, 0x9A,                               // SEI CLD LDX #$FF TXS
        0xA9, 0x00, 0x8D, 0x00, 0x20, 0x8D, 0x01, 0x20,             // picture off
        0x2C, 0x02, 0x20, 0x10, 0xFB, 0x2C, 0x02, 0x20, 0x10, 0xFB, // two blanks
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, // $2006 = $3F00
        0xA2, 0x00, 0xBD, 0x81, 0xC0, 0x8D, 0x07, 0x20,             // 16 palette bytes from $C081
        0xE8, 0xE0, 0x10, 0xD0, 0xF5,
        0xA9, 0x20, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, // $2006 = $2000
        0xA0, 0x00,                                                 // Y = table
        0xA2, 0x00, 0xA9, 0x01, 0x8D, 0x07, 0x20, 0x8D, 0x07, 0x20, // 960 tiles of 1
        0x8D, 0x07, 0x20, 0xE8, 0xE0, 0xF0, 0xD0, 0xF2,
        0xA2, 0x00, 0x8D, 0x07, 0x20, 0xE8, 0xE0, 0xF0, 0xD0, 0xF8,
        0xB9, 0x91, 0xC0, 0xA2, 0x40, 0x8D, 0x07, 0x20, 0xCA, 0xD0, 0xFA, // 64 attributes from $C091 + Y
        0xC8, 0xC0, 0x04, 0xD0, 0xD4,                               // next table
        0xAD, 0xF0, 0xC1, 0x8D, 0x00, 0x20,                         // $2000 = the table shown
        0xA9, 0x00, 0x8D, 0x05, 0x20, 0x8D, 0x05, 0x20,             // scroll 0, 0
        0x2C, 0x02, 0x20, 0x10, 0xFB, 0xA9, 0x0A, 0x8D, 0x01, 0x20, // background on
        0x4C, 0x7E, 0xC0,                                           // JMP to itself
        0x0F, 0x16, 0x16, 0x16, 0x0F, 0x2A, 0x2A, 0x2A, 0x0F, 0x12, 0x12, 0x12, 0x0F, 0x30, 0x30, 0x30,
        0x00, 0x55, 0xAA, 0xFF,
    });
    cart.Code(0xC03D, {tile}); // the LDA # of the tile loop
    cart.Code(0xC1F0, {shown}).Code(0xC200, {0x40}).Vectors(0xC200, 0xC000, 0xC200);
    if (vromPages)
        for (int row = 0; row < 8; ++row)
            cart.Vrom()[size_t(16 + row)] = 0xFF;
    return cart;
}

class FourScreen : public CindrelSandbox {
protected:
    std::vector<uint32_t> Picture(CartridgeBuilder const &cart)
    {
        cart.Write(root / "four.nes");
        EXPECT_TRUE(Run(root / "four.nes")) << Console();
        Frames(4);
        return ShownPixels();
    }
};

TEST_F(FourScreen, EachTableShowsItsOwnTilesAndAttributes)
{
    uint8_t const groups[4] = {0x16, 0x2A, 0x12, 0x30};
    for (uint8_t table = 0; table < 4; ++table) {
        std::vector<uint32_t> const picture = Picture(FourTablesCartridge(table, 1));
        for (size_t at : {size_t(0), picture.size() / 2, picture.size() - 1})
            EXPECT_EQ(picture[at], HostOf(groups[table])) << "table " << int(table) << " pixel " << at;
    }
}

TEST_F(FourScreen, PatternMemoryHoldsOnlyWhatTheGameWrote)
{
    // Without pattern ROM and with no tile uploaded, tile 0 is as empty as
    // the rest: the whole picture is the backdrop.
    std::vector<uint32_t> const picture = Picture(FourTablesCartridge(3, 0, 0));
    uint32_t const backdrop = HostOf(0x0F);
    EXPECT_EQ(std::count(picture.begin(), picture.end(), backdrop), long(picture.size()));
}

} // namespace
} // namespace Cindrel::Test
