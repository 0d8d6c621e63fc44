#include "platform/ondrel/DrawingContext.h"
#include "platform/ondrel/Surface.h"
#include "platform/ondrel/SurfaceChain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

namespace Ondrel::Test {
namespace {

template <class Pixel>
std::unique_ptr<Surface> MakeSurface(PixelFormat format, int w, int h, std::vector<Pixel> const& pixels)
{
    std::unique_ptr<Surface> s(Surface::Create(w, h, format));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            reinterpret_cast<Pixel*>(s->Row(y))[x] = pixels[std::size_t(y) * w + x];
    return s;
}

template <class Pixel>
std::vector<Pixel> Pixels(Surface const& s)
{
    std::vector<Pixel> out;
    for (int y = 0; y < s.GetHeight(); ++y)
        for (int x = 0; x < s.GetWidth(); ++x)
            out.push_back(reinterpret_cast<Pixel const*>(s.Row(y))[x]);
    return out;
}

using P16 = std::vector<std::uint16_t>;
using P32 = std::vector<std::uint32_t>;

} // namespace

struct ScaleCase {
    char const* name;
    int srcW, srcH;
    std::vector<std::uint16_t> src;
    Rect srcRect;
    int dstW, dstH;
    Rect dst;
    std::vector<std::uint16_t> expected;
    friend void PrintTo(ScaleCase const& c, std::ostream* os) { *os << c.name; }
};

class BlitScaling : public testing::TestWithParam<ScaleCase> {};

TEST_P(BlitScaling, SamplesPixelCentres)
{
    ScaleCase const& c = GetParam();
    auto src = MakeSurface<std::uint16_t>(PixelFormatRGB565, c.srcW, c.srcH, c.src);
    std::unique_ptr<Surface> dst(Surface::Create(c.dstW, c.dstH, PixelFormatRGB565));
    DrawingContext dc(dst.get());
    EXPECT_TRUE(dc.Blit(c.dst, src.get(), c.srcRect, nullptr));
    EXPECT_EQ(Pixels<std::uint16_t>(*dst), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, BlitScaling,
    testing::Values(
        ScaleCase{"Copy", 2, 2, {1, 2, 3, 4}, {0, 0, 2, 2}, 2, 2, {0, 0, 2, 2}, {1, 2, 3, 4}},
        ScaleCase{"UpTwice", 2, 2, {1, 2, 3, 4}, {0, 0, 2, 2}, 4, 4, {0, 0, 4, 4},
            {1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}},
        ScaleCase{"UpThreeHalves", 2, 1, {1, 2}, {0, 0, 2, 1}, 3, 1, {0, 0, 3, 1}, {1, 2, 2}},
        ScaleCase{"DownHalf", 4, 2, {1, 2, 3, 4, 5, 6, 7, 8}, {0, 0, 4, 2}, 2, 1, {0, 0, 2, 1}, {6, 8}},
        ScaleCase{"SubRectangleAtOffset", 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 1, 2, 2}, 3, 3, {1, 0, 2, 2},
            {0, 5, 6, 0, 8, 9, 0, 0, 0}},
        ScaleCase{"TargetPartlyOffSurface", 2, 2, {1, 2, 3, 4}, {0, 0, 2, 2}, 2, 2, {-1, -1, 2, 2}, {4, 0, 0, 0}},
        ScaleCase{"SourceRectBeyondSource", 2, 1, {1, 2}, {1, 0, 2, 1}, 4, 1, {0, 0, 4, 1}, {2, 2, 0, 0}},
        ScaleCase{"StretchOneRowToThree", 2, 1, {7, 9}, {0, 0, 2, 1}, 2, 3, {0, 0, 2, 3}, {7, 9, 7, 9, 7, 9}}),
    [](testing::TestParamInfo<ScaleCase> const& info) { return std::string(info.param.name); });

TEST(BlitConversion, PaletteToRgb565And32)
{
    std::unique_ptr<Surface> src(Surface::Create(3, 1, PixelFormatPalette8));
    src->GetPalette()->Set(1, PaletteEntry::FromRgb(0xFF0000));
    src->GetPalette()->Set(2, PaletteEntry::FromRgb(0x00FF00));
    src->GetPalette()->Set(3, PaletteEntry::FromRgb(0x0000FF));
    src->Row(0)[0] = 1, src->Row(0)[1] = 2, src->Row(0)[2] = 3;

    std::unique_ptr<Surface> d16(Surface::Create(3, 1, PixelFormatRGB565));
    std::unique_ptr<Surface> d32(Surface::Create(3, 1, PixelFormatXRGB8888));
    PixelFormatConverter conv;
    ASSERT_TRUE(DrawingContext(d16.get()).Blit({0, 0, 3, 1}, src.get(), {0, 0, 3, 1}, &conv));
    ASSERT_TRUE(DrawingContext(d32.get()).Blit({0, 0, 3, 1}, src.get(), {0, 0, 3, 1}, &conv));
    EXPECT_EQ(Pixels<std::uint16_t>(*d16), (P16{0xF800, 0x07E0, 0x001F}));
    EXPECT_EQ(Pixels<std::uint32_t>(*d32), (P32{0xFF0000, 0x00FF00, 0x0000FF}));

    // A palette change after a blit must reach the next blit through the same converter.
    src->GetPalette()->Set(1, PaletteEntry::FromRgb(0xFFFFFF));
    ASSERT_TRUE(DrawingContext(d16.get()).Blit({0, 0, 3, 1}, src.get(), {0, 0, 3, 1}, &conv));
    EXPECT_EQ(Pixels<std::uint16_t>(*d16)[0], 0xFFFF);
}

TEST(BlitConversion, TrueColourBothWays)
{
    struct Case {
        std::uint16_t rgb565;
        std::uint32_t rgb32;
    };
    // 565 widens by repeating its top bits; 32-bit narrows by truncation.
    Case const cases[] = {{0x0000, 0x000000}, {0xFFFF, 0xFFFFFF}, {0xF800, 0xFF0000}, {0x07E0, 0x00FF00},
        {0x001F, 0x0000FF}, {0x8410, 0x848284}};
    for (Case const& c : cases) {
        auto s16 = MakeSurface<std::uint16_t>(PixelFormatRGB565, 1, 1, {c.rgb565});
        std::unique_ptr<Surface> d32(Surface::Create(1, 1, PixelFormatXRGB8888));
        ASSERT_TRUE(DrawingContext(d32.get()).Blit({0, 0, 1, 1}, s16.get(), {0, 0, 1, 1}, nullptr));
        EXPECT_EQ(Pixels<std::uint32_t>(*d32)[0], c.rgb32) << std::hex << c.rgb565;

        auto s32 = MakeSurface<std::uint32_t>(PixelFormatXRGB8888, 1, 1, {c.rgb32 | 0xFF000000u});
        std::unique_ptr<Surface> d16(Surface::Create(1, 1, PixelFormatRGB565));
        ASSERT_TRUE(DrawingContext(d16.get()).Blit({0, 0, 1, 1}, s32.get(), {0, 0, 1, 1}, nullptr));
        EXPECT_EQ(Pixels<std::uint16_t>(*d16)[0], c.rgb565) << std::hex << c.rgb32;
    }
}

TEST(BlitConversion, ScaledConversionAndUnsupportedPair)
{
    auto src = MakeSurface<std::uint32_t>(PixelFormatXRGB8888, 2, 1, {0xFF0000, 0x0000FF});
    std::unique_ptr<Surface> dst(Surface::Create(4, 2, PixelFormatRGB565));
    ASSERT_TRUE(DrawingContext(dst.get()).Blit({0, 0, 4, 2}, src.get(), {0, 0, 2, 1}, nullptr));
    EXPECT_EQ(Pixels<std::uint16_t>(*dst), (P16{0xF800, 0xF800, 0x001F, 0x001F, 0xF800, 0xF800, 0x001F, 0x001F}));

    std::unique_ptr<Surface> indexed(Surface::Create(2, 1, PixelFormatPalette8));
    EXPECT_FALSE(DrawingContext(indexed.get()).Blit({0, 0, 2, 1}, src.get(), {0, 0, 2, 1}, nullptr));
    EXPECT_EQ(indexed->Row(0)[0], 0);
}

TEST(BlitArguments, RejectsMissingAndEmpty)
{
    auto src = MakeSurface<std::uint16_t>(PixelFormatRGB565, 1, 1, {5});
    std::unique_ptr<Surface> dst(Surface::Create(2, 2, PixelFormatRGB565));
    DrawingContext dc(dst.get());
    EXPECT_FALSE(dc.Blit({0, 0, 2, 2}, static_cast<Surface const*>(nullptr), {0, 0, 1, 1}, nullptr));
    EXPECT_FALSE(dc.Blit({0, 0, 0, 2}, src.get(), {0, 0, 1, 1}, nullptr));
    EXPECT_FALSE(dc.Blit({0, 0, 2, 2}, src.get(), {0, 0, 0, 1}, nullptr));
    EXPECT_FALSE(dc.Blit({0, 0, 2, 2}, src.get(), {5, 5, 1, 1}, nullptr));
    EXPECT_FALSE(dc.Blit({0, 0, 2, 2}, static_cast<SurfaceChain const*>(nullptr), {0, 0, 1, 1}, nullptr));
    SurfaceChain empty;
    EXPECT_FALSE(dc.Blit({0, 0, 2, 2}, &empty, {0, 0, 1, 1}, nullptr));
    // Entirely outside the target: valid, draws nothing.
    EXPECT_TRUE(dc.Blit({100, 100, 2, 2}, src.get(), {0, 0, 1, 1}, nullptr));
    EXPECT_TRUE(dc.Blit({INT32_MAX - 1, 0, 1000, 2}, src.get(), {0, 0, 1, 1}, nullptr));
    EXPECT_EQ(Pixels<std::uint16_t>(*dst), (P16{0, 0, 0, 0}));
}

TEST(BlitChain, DrawsTheCurrentSurface)
{
    auto a = MakeSurface<std::uint16_t>(PixelFormatRGB565, 1, 1, {1});
    auto b = MakeSurface<std::uint16_t>(PixelFormatRGB565, 1, 1, {2});
    SurfaceChain chain;
    chain.Add(a.get());
    chain.Add(b.get());
    std::unique_ptr<Surface> dst(Surface::Create(1, 1, PixelFormatRGB565));
    DrawingContext dc(dst.get());
    std::vector<std::uint16_t> seen;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(dc.Blit({0, 0, 1, 1}, &chain, {0, 0, 1, 1}, nullptr));
        seen.push_back(Pixels<std::uint16_t>(*dst)[0]);
        chain.Flip();
    }
    EXPECT_EQ(seen, (P16{1, 2, 1}));
    chain.RemoveAll();
    EXPECT_EQ(chain.GetCurrent(), nullptr);
    chain.Flip();  // harmless when empty
}

TEST(BlitSelf, OverlappingCopyWithinOneSurface)
{
    auto s = MakeSurface<std::uint16_t>(PixelFormatRGB565, 4, 1, {1, 2, 3, 4});
    DrawingContext dc(s.get());
    ASSERT_TRUE(dc.Blit({1, 0, 3, 1}, s.get(), {0, 0, 3, 1}, nullptr));
    EXPECT_EQ(Pixels<std::uint16_t>(*s), (P16{1, 1, 2, 3}));
}

TEST(ClipAndFill, ClipLimitsBlitsAndFills)
{
    auto src = MakeSurface<std::uint16_t>(PixelFormatRGB565, 2, 2, {1, 2, 3, 4});
    std::unique_ptr<Surface> dst(Surface::Create(3, 3, PixelFormatRGB565));
    DrawingContext dc(dst.get());
    dc.SetClip({1, 1, 5, 5});
    dc.Fill({0, 0, 3, 3}, 0xFFFFFF);
    EXPECT_EQ(Pixels<std::uint16_t>(*dst), (P16{0, 0, 0, 0, 0xFFFF, 0xFFFF, 0, 0xFFFF, 0xFFFF}));

    dc.SetClip({0, 0, 1, 3});
    ASSERT_TRUE(dc.Blit({0, 0, 2, 2}, src.get(), {0, 0, 2, 2}, nullptr));
    EXPECT_EQ(Pixels<std::uint16_t>(*dst), (P16{1, 0, 0, 3, 0xFFFF, 0xFFFF, 0, 0xFFFF, 0xFFFF}));

    dc.ClearClip();
    EXPECT_EQ(dc.GetClip(), dst->GetRect());
    dc.Fill({2, 2, 10, 10}, 0x0000FF);
    EXPECT_EQ(Pixels<std::uint16_t>(*dst)[8], 0x001F);
}

TEST(ClipAndFill, FillConvertsTheColourPerFormat)
{
    std::unique_ptr<Surface> d32(Surface::Create(2, 1, PixelFormatXRGB8888));
    DrawingContext(d32.get()).Fill({0, 0, 2, 1}, 0x123456);
    EXPECT_EQ(Pixels<std::uint32_t>(*d32), (P32{0x123456, 0x123456}));

    std::unique_ptr<Surface> d8(Surface::Create(2, 1, PixelFormatPalette8));
    d8->GetPalette()->Set(200, PaletteEntry::FromRgb(0x123456));
    DrawingContext(d8.get()).Fill({1, 0, 1, 1}, 0x123456);
    EXPECT_EQ(d8->Row(0)[0], 0);
    EXPECT_EQ(d8->Row(0)[1], 200);
}

// Smoothing mixes the source pixels around each target pixel's centre when
// the picture is scaled: across, down, in both true-colour formats, never
// taking a pixel from outside the source rectangle; unscaled blits copy.
TEST(Smoothing, MixesNeighboursOfAScaledPicture)
{
    auto across = MakeSurface<std::uint32_t>(PixelFormatXRGB8888, 2, 1, {0x000000, 0xFFFFFF});
    auto d32 = MakeSurface<std::uint32_t>(PixelFormatXRGB8888, 4, 1, {1, 1, 1, 1});
    DrawingContext dc32(d32.get());
    ASSERT_TRUE(dc32.Blit({0, 0, 4, 1}, across.get(), {0, 0, 2, 1}, nullptr));
    EXPECT_EQ(Pixels<std::uint32_t>(*d32), (P32{0x000000, 0x000000, 0xFFFFFF, 0xFFFFFF})) << "without smoothing";
    dc32.UseSmoothing(true);
    ASSERT_TRUE(dc32.Blit({0, 0, 4, 1}, across.get(), {0, 0, 2, 1}, nullptr));
    // Centres at -0.25, 0.25, 0.75 and 1.25 source pixels; the edges are held.
    EXPECT_EQ(Pixels<std::uint32_t>(*d32), (P32{0x000000, 0x3F3F3F, 0xBFBFBF, 0xFFFFFF}));

    auto down = MakeSurface<std::uint16_t>(PixelFormatRGB565, 1, 2, {0x0000, 0xFFFF});
    std::unique_ptr<Surface> d16(Surface::Create(1, 4, PixelFormatRGB565));
    DrawingContext dc16(d16.get());
    dc16.UseSmoothing(true);
    ASSERT_TRUE(dc16.Blit({0, 0, 1, 4}, down.get(), {0, 0, 1, 2}, nullptr));
    // Each field mixed on its own: 8/32 and 24/32 of white, none spilling over.
    EXPECT_EQ(Pixels<std::uint16_t>(*d16), (P16{0x0000, (7 << 11) | (15 << 5) | 7, (23 << 11) | (47 << 5) | 23, 0xFFFF}));

    // Only the source rectangle is read: its red neighbours never show.
    auto framed = MakeSurface<std::uint32_t>(PixelFormatXRGB8888, 4, 1, {0xFF0000, 0x000000, 0xFFFFFF, 0xFF0000});
    ASSERT_TRUE(dc32.Blit({0, 0, 4, 1}, framed.get(), {1, 0, 2, 1}, nullptr));
    EXPECT_EQ(Pixels<std::uint32_t>(*d32), (P32{0x000000, 0x3F3F3F, 0xBFBFBF, 0xFFFFFF}));

    // The same size is copied as it is.
    auto same = MakeSurface<std::uint32_t>(PixelFormatXRGB8888, 4, 1, {0x102030, 0x405060, 0x708090, 0xA0B0C0});
    ASSERT_TRUE(dc32.Blit({0, 0, 4, 1}, same.get(), {0, 0, 4, 1}, nullptr));
    EXPECT_EQ(Pixels<std::uint32_t>(*d32), (P32{0x102030, 0x405060, 0x708090, 0xA0B0C0}));
}

TEST(ChangedBlit, RedrawsOnlyChangedRowsAndNeverShowsStalePixels)
{
    auto src = MakeSurface<std::uint16_t>(PixelFormatRGB565, 2, 2, {1, 1, 2, 2});
    std::unique_ptr<Surface> dst(Surface::Create(2, 2, PixelFormatRGB565));
    DrawingContext dc(dst.get());
    dc.UseChangedBlit(true);
    ASSERT_TRUE(dc.Blit({0, 0, 2, 2}, src.get(), {0, 0, 2, 2}, nullptr));
    EXPECT_EQ(Pixels<std::uint16_t>(*dst), (P16{1, 1, 2, 2}));

    // Scribble on the target behind the context's back: a row that did not
    // change in the source stays as it is (that is the saving) ...
    reinterpret_cast<std::uint16_t*>(dst->Row(0))[0] = 9;
    reinterpret_cast<std::uint16_t*>(src->Row(1))[1] = 3;
    ASSERT_TRUE(dc.Blit({0, 0, 2, 2}, src.get(), {0, 0, 2, 2}, nullptr));
    EXPECT_EQ(Pixels<std::uint16_t>(*dst), (P16{9, 1, 2, 3}));

    // ... but drawing through the surface's own operations is noticed.
    DrawingContext other(dst.get());
    other.Fill({0, 0, 2, 2}, 0);
    ASSERT_TRUE(dc.Blit({0, 0, 2, 2}, src.get(), {0, 0, 2, 2}, nullptr));
    EXPECT_EQ(Pixels<std::uint16_t>(*dst), (P16{1, 1, 2, 3}));

    // Another geometry draws everything.
    other.Fill({0, 0, 2, 2}, 0);
    dst->MarkChanged();
    ASSERT_TRUE(dc.Blit({0, 0, 2, 1}, src.get(), {0, 0, 2, 1}, nullptr));
    EXPECT_EQ(Pixels<std::uint16_t>(*dst), (P16{1, 1, 0, 0}));
}

} // namespace Ondrel::Test
