// The module's video: its frame surfaces, the host colour table at each
// display depth, and the window of the frame it shows.
#include "modules/belcrest/testing/BelcrestSandbox.h"
#include "modules/belcrest/testing/TestImages.h"
#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "modules/common/HostColor.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

namespace Belcrest::Test {
namespace {

class BelcrestVideoTest : public BelcrestSandbox {
protected:
    void SetUp() override
    {
        BelcrestSandbox::SetUp();
        Z80Code code;
        code.Start().Forever();
        code.Write(root / "idle.sms");
        code.Write(root / "idle.gg");
    }

    // Runs the idle program on a display of the given format.
    void RunOn(Ondrel::PixelFormat format, char const *image = "idle.sms")
    {
        engine->GetDisplay()->Close();
        ASSERT_TRUE(engine->GetDisplay()->Open(240, 320, format));
        ASSERT_TRUE(Run(root / image)) << Console();
    }
};

TEST_F(BelcrestVideoTest, FrameSurfacesArePackedInTheDisplaysFormat)
{
    for (Ondrel::PixelFormat format : {Ondrel::PixelFormatRGB565, Ondrel::PixelFormatXRGB8888}) {
        RunOn(format);
        ZorvanEngine::BaseVideo *video = Module().GetVideo();
        for (Ondrel::Surface const *surface : {video->m_surface0, video->m_surface1}) {
            ASSERT_NE(surface, nullptr);
            EXPECT_EQ(surface->GetWidth(), 272);
            EXPECT_EQ(surface->GetHeight(), 208);
            EXPECT_EQ(surface->GetPixelFormat(), format);
            EXPECT_EQ(surface->GetPitch(), 272 * Ondrel::BytesPerPixel(format));
        }
        EXPECT_EQ(VdpFrameBuffer, static_cast<void const *>(video->m_chain.GetCurrent()->Row(0)));
        EXPECT_EQ(video->Is60Hz(), 1);
        engine->Shutdown();
        EXPECT_EQ(VdpFrameBuffer, nullptr);
    }
}

TEST_F(BelcrestVideoTest, ColoursGoIntoTheTableOfTheSurfacesDepth)
{
    RunOn(Ondrel::PixelFormatXRGB8888);
    Module().GetVideo()->SetColor(5, 255, 0, 0);
    EXPECT_EQ(VdpColorTable.c32[5], 0xFF0000u);
    SetPaletteColor(47, 0x12, 0x34, 0x56);
    EXPECT_EQ(VdpColorTable.c32[47], 0x123456u);
    // Out of the table: ignored.
    SetPaletteColor(48, 1, 2, 3);
    SetPaletteColor(-1, 1, 2, 3);

    RunOn(Ondrel::PixelFormatRGB565);
    VdpColorTable.c32[5] = 0;
    Module().GetVideo()->SetColor(5, 255, 0, 0);
    EXPECT_EQ(VdpColorTable.c16[5], 0xF800);
    EXPECT_EQ(VdpColorTable.c32[5], 0u);
    SetPaletteColor(6, 0, 255, 0);
    EXPECT_EQ(VdpColorTable.c16[6], 0x07E0);

    // Without a video nothing happens.
    engine->Shutdown();
    VdpColorTable.c16[7] = 0x1234;
    SetPaletteColor(7, 255, 255, 255);
    EXPECT_EQ(VdpColorTable.c16[7], 0x1234);
}

TEST(HostColor, EightBitFramesTakeGreyLevelsOrTheDisplaysPalette)
{
    ConsoleGlue::ColorTarget grey;
    grey.frameBits = 8;
    grey.displayBits = 4;
    EXPECT_EQ(ConsoleGlue::HostPixel(grey, 255, 255, 255), 15u);
    EXPECT_EQ(ConsoleGlue::HostPixel(grey, 0, 0, 0), 0u);
    EXPECT_EQ(ConsoleGlue::HostPixel(grey, 128, 128, 128), 8u);

    Ondrel::Palette display, frame;
    display.Set(200, Ondrel::PaletteEntry::FromRgb(0x20C020));
    ConsoleGlue::ColorTarget paletted;
    paletted.frameBits = 8;
    paletted.displayBits = 8;
    paletted.displayPalette = &display;
    paletted.framePalette = &frame;
    EXPECT_EQ(ConsoleGlue::HostPixel(paletted, 0x21, 0xC1, 0x1F), 200u);
    EXPECT_EQ(frame.Get(200).ToRgb(), 0x20C020u);

    ConsoleGlue::ColorTarget wide;
    wide.frameBits = 32;
    EXPECT_EQ(ConsoleGlue::HostPixel(wide, 255, 0, 0), 0xFF0000u);
    wide.frameBits = 16;
    EXPECT_EQ(ConsoleGlue::HostPixel(wide, 255, 0, 0), 0xF800u);
    EXPECT_EQ(ConsoleGlue::HostPixel(wide, 0x07, 0x03, 0x07), 0u);
}

TEST_F(BelcrestVideoTest, EachConsoleShowsItsWindow)
{
    RunOn(Ondrel::PixelFormatXRGB8888, "idle.gg");
    Frames(1);
    // Emulated columns 48 to 207 of lines 24 to 167.
    EXPECT_EQ(Module().GetVideo()->m_lastSrc, (Ondrel::Rect{56, 32, 160, 144}));
    RunOn(Ondrel::PixelFormatXRGB8888, "idle.sms");
    Frames(1);
    EXPECT_EQ(Module().GetVideo()->m_lastSrc, (Ondrel::Rect{8, 8, 256, 192})); // all 256 columns
}

// Tiles in name-table columns 0 and 31 of the top row: both are shown, and
// register 0 bit 5 covers column 0's with the backdrop colour.
TEST_F(BelcrestVideoTest, TheWholeLineIsShownAndBit5BlanksTheFirstColumn)
{
    RunOn(Ondrel::PixelFormatXRGB8888);
    const auto put = [](uint16_t address, std::initializer_list<uint8_t> bytes) {
        VdpWriteControl(uint8_t(address));
        VdpWriteControl(uint8_t(0x40 | address >> 8));
        for (uint8_t b : bytes)
            VdpWriteData(b);
    };
    for (int row = 0; row < 8; ++row)
        put(uint16_t(0x20 + 4 * row), {0xFF}); // pattern 1: colour 1 throughout
    put(0x3800, {0x01, 0x00});                 // name table row 0, column 0
    put(0x383E, {0x01, 0x00});                 // and column 31
    VdpWriteControl(0x00);
    VdpWriteControl(0xC0);
    VdpWriteData(0x00); // colour 0: black
    VdpWriteData(0x3F); // colour 1: white
    VdpWriteControl(0x10);
    VdpWriteControl(0xC0);
    VdpWriteData(0x03); // sprite colour 0, the backdrop (register 7 = 0): red
    VdpWriteRegister(2, 0xFF);
    VdpWriteRegister(5, 0xFF);
    Vram[0x3F00] = 0xD0; // no sprites
    VdpWriteRegister(1, 0x40);
    for (uint8_t reg0 : {0x04, 0x24}) {
        VdpWriteRegister(0, reg0);
        Frames(1);
        const std::vector<uint32_t> shown = ShownFrame();
        ASSERT_EQ(shown.size(), 256u * 192u);
        const auto at = [&](int x, int y) { return shown[size_t(y) * 256 + size_t(x)]; };
        for (int x : {0, 7})
            EXPECT_EQ(at(x, 3), reg0 == 0x24 ? 0xFF0000u : 0xFFFFFFu) << "column " << x << ", register 0 " << int(reg0);
        for (int x : {248, 255})
            EXPECT_EQ(at(x, 3), 0xFFFFFFu) << "column " << x << ", register 0 " << int(reg0);
        EXPECT_EQ(at(8, 3), 0u);
        EXPECT_EQ(at(247, 3), 0u);
        EXPECT_EQ(at(0, 8), reg0 == 0x24 ? 0xFF0000u : 0u) << "the next tile row";
    }
}

} // namespace
} // namespace Belcrest::Test
