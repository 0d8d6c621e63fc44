#include "platform/ondrel/Display.h"
#include "platform/ondrel/DrawingContext.h"
#include "platform/ondrel/Window.h"
#include "tools/testsupport/TestApplication.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace Ondrel::Test {

// Ondrel::Display is written in full: QApplication also declares a Display.
using QuintarTest::EnsureApplication;

namespace {

std::vector<std::vector<std::uint16_t>> Rows16(QImage const& image)
{
    std::vector<std::vector<std::uint16_t>> rows;
    for (int y = 0; y < image.height(); ++y) {
        auto const* line = reinterpret_cast<std::uint16_t const*>(image.constScanLine(y));
        rows.emplace_back(line, line + image.width());
    }
    return rows;
}

// A view that counts its own paints and, like the game view, draws into the
// display and refreshes it from inside its paint.
class CountingView : public QWidget {
public:
    Ondrel::Display* display = nullptr;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        if (display && display->IsOpen()) {
            DrawingContext(display->GetBackSurface()).Fill(display->GetBackSurface()->GetRect(), 0x00FF00);
            display->Refresh();
        }
    }
};

class DisplayTest : public testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
};

} // namespace

TEST_F(DisplayTest, OpenTakesTheWidgetSizeTurnedByTheRotation)
{
    QWidget view;
    view.resize(40, 30);
    Window window(&view);
    struct Case {
        int rotation;
        int width, height;
    };
    for (Case c : {Case{RotationNorth, 40, 30}, Case{RotationEast, 30, 40}, Case{RotationSouth, 40, 30},
             Case{RotationWest, 30, 40}, Case{RotationNone, 40, 30}, Case{9, 40, 30}}) {
        Ondrel::Display display(&window);
        display.SetRotation(c.rotation);
        ASSERT_TRUE(display.Open());
        EXPECT_EQ(display.GetPrimarySurface()->GetRect(), (Rect{0, 0, c.width, c.height})) << c.rotation;
        EXPECT_EQ(display.GetPixelFormat(), PixelFormatRGB565);
    }
    EXPECT_EQ(Ondrel::Display(&window).GetRotation(), RotationNorth);

    Ondrel::Display headless(nullptr);
    ASSERT_TRUE(headless.Open());
    EXPECT_EQ(headless.GetPrimarySurface()->GetRect(), (Rect{0, 0, 240, 320}));
}

TEST_F(DisplayTest, ReopeningKeepsOrRebuildsTheSurfaces)
{
    Ondrel::Display display(nullptr);
    ASSERT_TRUE(display.Open(8, 6));
    Surface* first = display.GetPrimarySurface();
    EXPECT_TRUE(display.Open(0, 0, PixelFormatNone));  // what the modules' video classes call
    EXPECT_TRUE(display.Open(8, 6, PixelFormatRGB565));
    EXPECT_EQ(display.GetPrimarySurface(), first);

    ASSERT_TRUE(display.Open(8, 6, PixelFormatXRGB8888));
    EXPECT_EQ(display.GetPrimarySurface()->GetPixelFormat(), PixelFormatXRGB8888);
    std::unique_ptr<Surface> s(display.CreateSurface(3, 3, PixelFormatNone));
    EXPECT_EQ(s->GetPixelFormat(), PixelFormatXRGB8888);
    std::unique_ptr<Surface> frame(display.CreateSurface(500, 160, PixelFormatRGB565, SurfaceFlagPackedRows));
    EXPECT_EQ(frame->Lock(LockReadWrite).pitch, 1000);
    EXPECT_EQ(display.CreateSurface(0, 3, PixelFormatNone), nullptr);

    EXPECT_FALSE(display.Open(8, 6, PixelFormatPalette8));
    EXPECT_FALSE(display.Open(-1, 6));
    display.Close();
    EXPECT_FALSE(display.IsOpen());
    EXPECT_EQ(display.GetBackSurface(), nullptr);
    display.Refresh();  // closed: nothing happens
    display.CloseVideo();
}

TEST_F(DisplayTest, PresentTurnsThePicture)
{
    using Rows = std::vector<std::vector<std::uint16_t>>;
    struct Case {
        int rotation;
        Rows expected;
    };
    Case const cases[] = {
        {RotationNorth, {{1, 2, 3}, {4, 5, 6}}},
        {RotationEast, {{4, 1}, {5, 2}, {6, 3}}},
        {RotationSouth, {{6, 5, 4}, {3, 2, 1}}},
        {RotationWest, {{3, 6}, {2, 5}, {1, 4}}},
        {RotationNone, {{1, 2, 3}, {4, 5, 6}}},
    };
    for (Case const& c : cases) {
        Ondrel::Display display(nullptr);
        display.SetRotation(c.rotation);
        ASSERT_TRUE(display.Open(3, 2));
        Surface* s = display.GetBackSurface();
        for (int i = 0; i < 6; ++i)
            reinterpret_cast<std::uint16_t*>(s->Row(i / 3))[i % 3] = std::uint16_t(i + 1);
        display.Refresh(Rect{});
        EXPECT_EQ(Rows16(display.GetPresentedImage()), c.expected) << "rotation " << c.rotation;
    }
}

// What the widget shows, pixel for pixel, for each surface format (rows
// padded to the pitch), a turned picture, and a widget that grew since the
// display opened (the picture fitted, its pixels kept square).
TEST_F(DisplayTest, TheWidgetShowsThePresentedPicture)
{
    constexpr QRgb R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, W = 0xFFFFFFFF, K = 0xFF000000, Y = 0xFFFFFF00;
    constexpr QRgb Own = 0;  // the widget's own painting, beside the picture
    struct Case {
        char const* name;
        PixelFormat format;
        int rotation;
        QSize surface;
        QSize widget;
        std::vector<QRgb> source;  // row by row
        std::vector<std::vector<QRgb>> shown;
    };
    Case const cases[] = {
        {"RGB565 turned east", PixelFormatRGB565, RotationEast, {3, 2}, {2, 3}, {R, G, B, W, K, Y},
            {{W, R}, {K, G}, {Y, B}}},
        {"32-bit", PixelFormatXRGB8888, RotationNorth, {5, 2}, {5, 2}, {R, G, B, W, K, Y, K, W, B, G},
            {{R, G, B, W, K}, {Y, K, W, B, G}}},
        {"32-bit turned west", PixelFormatXRGB8888, RotationWest, {3, 2}, {2, 3}, {R, G, B, W, K, Y},
            {{B, Y}, {G, K}, {R, W}}},
        {"RGB565 in a grown widget", PixelFormatRGB565, RotationNorth, {2, 1}, {6, 2}, {R, B},
            {{Own, R, R, B, B, Own}, {Own, R, R, B, B, Own}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        CountingView view;
        view.resize(c.widget);
        Window window(&view);
        Ondrel::Display display(&window);
        display.SetRotation(c.rotation);
        ASSERT_TRUE(display.Open(c.surface.width(), c.surface.height(), c.format));
        DrawingContext context(display.GetBackSurface());
        for (int i = 0; i < int(c.source.size()); ++i)
            context.Fill(Rect{i % c.surface.width(), i / c.surface.width(), 1, 1}, c.source[i] & 0xFFFFFF);
        display.Refresh();

        QImage const shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), c.widget);
        for (int y = 0; y < c.widget.height(); ++y)
            for (int x = 0; x < c.widget.width(); ++x) {
                if (c.shown[y][x] != Own) {
                    EXPECT_EQ(shown.pixel(x, y), c.shown[y][x]) << x << "," << y;
                }
            }
    }
}

TEST_F(DisplayTest, PresentPaintsDoNotRunTheViewsPaintButItsOwnRefreshDoes)
{
    CountingView view;
    view.resize(4, 4);
    Window window(&view);
    Ondrel::Display display(&window);
    view.display = &display;
    ASSERT_TRUE(display.Open());
    view.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    // The view's paint drew green and refreshed: the picture is in place.
    int const paintsAfterShow = view.paints;
    ASSERT_GE(paintsAfterShow, 1);
    EXPECT_EQ(view.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(1, 1), 0xFF00FF00u);

    int const before = view.paints;
    DrawingContext(display.GetBackSurface()).Fill({0, 0, 4, 4}, 0xFF0000);
    display.Refresh();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.paints, before);

    display.Refresh();
    window.Refresh();  // the view's own request must not be swallowed by a pending present
    QCoreApplication::processEvents();
    EXPECT_EQ(view.paints, before + 1);
}

TEST_F(DisplayTest, SuspendBackSurfaceAndCloseVideo)
{
    Ondrel::Display display(nullptr);
    display.SetRotation(RotationSouth);
    ASSERT_TRUE(display.Open(2, 1));
    display.Suspend();
    EXPECT_TRUE(display.IsSuspended());
    display.Refresh();
    EXPECT_TRUE(display.GetPresentedImage().isNull());
    display.Resume();

    display.UseBackSurface(true);
    Surface* back = display.GetBackSurface();
    ASSERT_NE(back, display.GetPrimarySurface());
    DrawingContext(back).Fill({0, 0, 1, 1}, 0xFFFFFF);
    EXPECT_EQ(reinterpret_cast<std::uint16_t*>(display.GetPrimarySurface()->Row(0))[0], 0);
    display.Refresh();
    EXPECT_EQ(reinterpret_cast<std::uint16_t*>(display.GetPrimarySurface()->Row(0))[0], 0xFFFF);
    EXPECT_EQ(Rows16(display.GetPresentedImage()), (std::vector<std::vector<std::uint16_t>>{{0, 0xFFFF}}));

    display.CloseVideo();
    EXPECT_EQ(reinterpret_cast<std::uint16_t*>(back->Row(0))[0], 0);
    EXPECT_EQ(Rows16(display.GetPresentedImage()), (std::vector<std::vector<std::uint16_t>>{{0, 0}}));

    display.UseBackSurface(false);
    EXPECT_EQ(display.GetBackSurface(), display.GetPrimarySurface());
}

TEST_F(DisplayTest, LoadsBitmapsInTheDisplayFormat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage truecolour(2, 1, QImage::Format_RGB32);
    truecolour.setPixel(0, 0, qRgb(0x98, 0x9C, 0x98));
    truecolour.setPixel(1, 0, qRgb(0xFF, 0x80, 0x00));
    QString const truePath = dir.filePath("true.bmp");
    ASSERT_TRUE(truecolour.save(truePath, "BMP"));

    QImage indexed(1, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0xFF, 0)});
    indexed.setPixel(0, 0, 0);
    QString const indexedPath = dir.filePath("indexed.bmp");
    ASSERT_TRUE(indexed.save(indexedPath, "BMP"));

    Ondrel::Display display(nullptr);
    ASSERT_TRUE(display.Open(4, 4));
    std::unique_ptr<Surface> a(display.LoadBitmapFile(truePath));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->GetPixelFormat(), PixelFormatRGB565);
    EXPECT_EQ(reinterpret_cast<std::uint16_t*>(a->Row(0))[0], 0x9CF3);
    EXPECT_EQ(reinterpret_cast<std::uint16_t*>(a->Row(0))[1], 0xFC00);
    std::unique_ptr<Surface> b(display.LoadBitmapFile(indexedPath));
    ASSERT_TRUE(b);
    EXPECT_EQ(reinterpret_cast<std::uint16_t*>(b->Row(0))[0], 0x07E0);

    EXPECT_EQ(display.LoadBitmapFile(dir.filePath("missing.bmp")), nullptr);
    EXPECT_EQ(display.LoadBitmapFile(QString()), nullptr);
    EXPECT_EQ(display.LoadBitmapResource(":/nothing/here", 166), nullptr);
    // A resource root may also be a folder on disk.
    ASSERT_TRUE(QFile::copy(truePath, dir.filePath("166.bmp")));
    std::unique_ptr<Surface> c(display.LoadBitmapResource(dir.path(), 166));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->GetWidth(), 2);
}

} // namespace Ondrel::Test
