#include "platform/ondrel/Palette.h"
#include "platform/ondrel/Surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace Ondrel::Test {

TEST(SurfaceCreate, RejectsBadArguments)
{
    EXPECT_EQ(Surface::Create(0, 10, PixelFormatRGB565), nullptr);
    EXPECT_EQ(Surface::Create(10, -1, PixelFormatRGB565), nullptr);
    EXPECT_EQ(Surface::Create(10, 10, PixelFormatNone), nullptr);
    EXPECT_EQ(Surface::Create(10, 10, PixelFormat(5)), nullptr);
    EXPECT_EQ(Surface::Create(1 << 30, 1 << 30, PixelFormatXRGB8888), nullptr);
}

TEST(SurfaceLock, PitchAndAddresses)
{
    struct Case {
        int width;
        PixelFormat format;
        SurfaceFlags flags;
        int pitch;
        int bits;
    };
    Case const cases[] = {
        {500, PixelFormatRGB565, SurfaceFlagPackedRows, 1000, 16},  // the handheld frame buffer layout
        {272, PixelFormatRGB565, SurfaceFlagPackedRows, 544, 16},
        {3, PixelFormatXRGB8888, SurfaceFlagPackedRows, 12, 32},
        {3, PixelFormatRGB565, SurfaceFlagsNone, 16, 16},
        {17, PixelFormatPalette8, SurfaceFlagsNone, 32, 8},
    };
    for (Case const& c : cases) {
        std::unique_ptr<Surface> s(Surface::Create(c.width, 4, c.format, c.flags));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->GetBitsPerPixel(), c.bits);
        LockInfo const all = s->Lock(LockReadWrite);
        EXPECT_EQ(all.pitch, c.pitch) << c.width;
        EXPECT_TRUE(s->IsLocked());
        LockInfo const at = s->Lock(2, 3, LockRead);
        EXPECT_EQ(static_cast<std::uint8_t*>(at.pixels),
            static_cast<std::uint8_t*>(all.pixels) + 3 * c.pitch + 2 * c.bits / 8);
        s->Unlock(LockRead);
        s->Unlock(LockReadWrite);
        EXPECT_FALSE(s->IsLocked());
        s->Unlock();  // an extra unlock is harmless
    }
}

TEST(SurfaceLock, OutsideGivesNoPointer)
{
    std::unique_ptr<Surface> s(Surface::Create(4, 4, PixelFormatRGB565));
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 4}, {100, 100}})
        EXPECT_EQ(s->Lock(x, y, LockRead).pixels, nullptr) << x << "," << y;
    EXPECT_FALSE(s->IsLocked());
}

TEST(SurfaceLock, WriteLockCountsAsChange)
{
    std::unique_ptr<Surface> s(Surface::Create(4, 4, PixelFormatRGB565));
    unsigned const before = s->GetGeneration();
    s->Lock(LockRead);
    s->Unlock(LockRead);
    EXPECT_EQ(s->GetGeneration(), before);
    s->Lock(LockReadWrite);
    s->Unlock(LockReadWrite);
    EXPECT_NE(s->GetGeneration(), before);
}

TEST(SurfaceClone, IndependentCopyOfPixelsAndPalette)
{
    std::unique_ptr<Surface> s(Surface::Create(500, 160, PixelFormatRGB565, SurfaceFlagPackedRows));
    reinterpret_cast<std::uint16_t*>(s->Row(159))[499] = 0xBEEF;
    std::unique_ptr<Surface> c(s->Clone());
    ASSERT_TRUE(c);
    EXPECT_EQ(c->GetRect(), (Rect{0, 0, 500, 160}));
    EXPECT_EQ(c->GetPitch(), 1000);
    EXPECT_EQ(c->GetPixelFormat(), PixelFormatRGB565);
    EXPECT_EQ(reinterpret_cast<std::uint16_t*>(c->Row(159))[499], 0xBEEF);
    reinterpret_cast<std::uint16_t*>(c->Row(0))[0] = 1;
    EXPECT_EQ(reinterpret_cast<std::uint16_t*>(s->Row(0))[0], 0);

    std::unique_ptr<Surface> p(Surface::Create(2, 2, PixelFormatPalette8));
    p->GetPalette()->Set(7, PaletteEntry::FromRgb(0x010203));
    std::unique_ptr<Surface> pc(p->Clone());
    EXPECT_EQ(pc->GetPalette()->Get(7).ToRgb(), 0x010203u);
    pc->GetPalette()->Set(7, PaletteEntry::FromRgb(0));
    EXPECT_EQ(p->GetPalette()->Get(7).ToRgb(), 0x010203u);
    EXPECT_EQ(s->GetPalette(), nullptr);
}

TEST(SurfaceImage, WrapsTheSurfaceMemory)
{
    std::unique_ptr<Surface> s(Surface::Create(3, 2, PixelFormatRGB565));
    QImage const image = s->AsImage();
    EXPECT_EQ(image.format(), QImage::Format_RGB16);
    EXPECT_EQ(image.constBits(), s->Row(0));
    EXPECT_EQ(image.bytesPerLine(), s->GetPitch());

    std::unique_ptr<Surface> p(Surface::Create(1, 1, PixelFormatPalette8));
    p->GetPalette()->Set(0, PaletteEntry::FromRgb(0x102030));
    EXPECT_EQ(p->AsImage().pixel(0, 0), 0xFF102030u);
}

TEST(PaletteLookup, NearestColour)
{
    Palette palette;
    // The default palette is the 3-3-2 cube.
    EXPECT_EQ(palette.Get(0).ToRgb(), 0x000000u);
    EXPECT_EQ(palette.Get(255).ToRgb(), 0xFFFFFFu);
    EXPECT_EQ(palette.Get(0xE0).ToRgb(), 0xFF0000u);

    struct Case {
        std::uint32_t rgb;
        int index;
    };
    Case const cases[] = {{0x000000, 0}, {0xFFFFFF, 255}, {0xFF0000, 0xE0}, {0x00FF00, 0x1C}, {0x0000FF, 0x03},
        {0xF00808, 0xE0}, {0x101010, 0}};
    for (Case const& c : cases)
        EXPECT_EQ(palette.FindNearest(PaletteEntry::FromRgb(c.rgb)), c.index) << std::hex << c.rgb;

    // Ties go to the lowest index; out-of-range entries are ignored.
    for (int i = 0; i < Palette::Size; ++i)
        palette.Set(i, PaletteEntry::FromRgb(0x808080));
    palette.Set(10, PaletteEntry::FromRgb(0x102030));
    palette.Set(20, PaletteEntry::FromRgb(0x102030));
    EXPECT_EQ(palette.FindNearest(PaletteEntry::FromRgb(0x112233)), 10);
    EXPECT_EQ(palette.FindNearest(PaletteEntry::FromRgb(0x7F7F7F)), 0);
    unsigned const version = palette.GetVersion();
    palette.Set(-1, PaletteEntry::FromRgb(0xFFFFFF));
    palette.Set(256, PaletteEntry::FromRgb(0xFFFFFF));
    EXPECT_EQ(palette.GetVersion(), version);
    EXPECT_EQ(palette.Get(256).ToRgb(), 0u);
}

TEST(PaletteLookup, EntryByteOrderIsBlueGreenRed)
{
    PaletteEntry const e = PaletteEntry::FromRgb(0x112233);
    std::uint8_t bytes[4];
    std::memcpy(bytes, &e, 4);
    EXPECT_EQ(bytes[0], 0x33);
    EXPECT_EQ(bytes[1], 0x22);
    EXPECT_EQ(bytes[2], 0x11);
    EXPECT_EQ(bytes[3], 0);
}

} // namespace Ondrel::Test
