// The module's video: its frame surfaces, the host colour table at each
// display depth, and the window of the frame it shows.
#include "modules/belcrest/module/tests/BelcrestSandbox.h"
#include "modules/belcrest/module/tests/TestImages.h"
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
    EXPECT_EQ(Module().GetVideo()->m_lastSrc, (Ondrel::Rect{16, 8, 240, 192}));
}

} // namespace
} // namespace Belcrest::Test
