// Grey mode and colour emphasis in the shown picture: a program sets the
// backdrop and $2001, and the frame's host pixels are taken apart into
// their components.
#include "modules/cindrel/module/tests/CindrelSandbox.h"

namespace Cindrel::Test {
namespace {

// Waits for two blanks, sets the backdrop to the byte at $D100 and $2001 to
// the byte at $D101, and stops. Pattern memory is empty: every pixel shows
// the backdrop.
CartridgeBuilder BackdropCartridge(uint8_t backdrop, uint8_t mask)
{
    CartridgeBuilder cart(1, 1);
    cart.Code(0xC000, {0x78, 0xD8, 0xA2, 0xFF, 0x9A,                         // SEI CLD LDX #$FF TXS
                       0x2C, 0x02, 0x20, 0x10, 0xFB, 0x2C, 0x02, 0x20, 0x10, 0xFB, // two blanks
                       0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, // $2006 = $3F00
                       0xAD, 0x00, 0xD1, 0x8D, 0x07, 0x20,                   // backdrop
                       0xA9, 0x00, 0x8D, 0x00, 0x20, 0x8D, 0x05, 0x20, 0x8D, 0x05, 0x20,
                       0xAD, 0x01, 0xD1, 0x8D, 0x01, 0x20,                   // $2001
                       0x4C, 0x30, 0xC0})                                    // JMP to itself
        .Code(0xD100, {backdrop, mask})
        .Vectors(0xC100, 0xC000, 0xC100)
        .Code(0xC100, {0x40});
    return cart;
}

struct Rgb {
    int r, g, b;
    bool operator==(Rgb const &) const = default;
};

std::ostream &operator<<(std::ostream &out, Rgb const &c)
{
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

class PictureColours : public CindrelSandbox {
protected:
    // The backdrop's components in the middle of the shown picture, scaled
    // to 0-255 from the frame's depth.
    Rgb Backdrop(uint8_t colour, uint8_t mask)
    {
        BackdropCartridge(colour, mask).Write(root / "colours.nes");
        EXPECT_TRUE(Run(root / "colours.nes")) << Console();
        Frames(4);
        uint32_t const p = ShownPixels()[112 * 256 + 128];
        if (Module().GetVideo()->m_surface0->GetBitsPerPixel() == 16)
            return {int((p >> 11) & 31) * 255 / 31, int((p >> 5) & 63) * 255 / 63, int(p & 31) * 255 / 31};
        return {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
    }

    // A colour as the frame's depth stores it, scaled back to 0-255.
    Rgb AtDepth(int r, int g, int b)
    {
        if (Module().GetVideo()->m_surface0->GetBitsPerPixel() == 16)
            return {(r >> 3) * 255 / 31, (g >> 2) * 255 / 63, (b >> 3) * 255 / 31};
        return {r, g, b};
    }
};

TEST_F(PictureColours, EmphasisDimsTheOtherTwoComponents)
{
    // White ($20) under blue, red and green emphasis: the two other
    // components at 3/4 (255 -> 191).
    struct Case {
        uint8_t mask;
        int r, g, b;
    } const cases[] = {
        {0x1E, 255, 255, 255},
        {0x9E, 191, 191, 255},
        {0x3E, 255, 191, 191},
        {0x5E, 191, 255, 191},
    };
    for (Case const &c : cases) {
        Rgb const shown = Backdrop(0x20, c.mask);
        EXPECT_EQ(shown, AtDepth(c.r, c.g, c.b)) << std::hex << "$2001 = $" << int(c.mask);
    }
    // A coloured backdrop, $0077FF (colour $11), under blue emphasis.
    EXPECT_EQ(Backdrop(0x11, 0x9E), AtDepth(0x00, 0x77 * 3 / 4, 0xFF));
}

TEST_F(PictureColours, GreyModeShowsTheGreyOfTheColoursColumn)
{
    // $16 in grey mode is the grey of $10 ($C7C7C7), not an average of its
    // own components.
    Rgb const grey = Backdrop(0x16, 0x1F);
    EXPECT_EQ(grey, AtDepth(0xC7, 0xC7, 0xC7));
    EXPECT_EQ(grey, Backdrop(0x10, 0x1E));
    EXPECT_EQ(Backdrop(0x2D, 0x1F), Backdrop(0x20, 0x1E)) << "$2D as $20";
}

} // namespace
} // namespace Cindrel::Test
