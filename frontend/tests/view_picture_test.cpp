// Each console's picture in the program's own window, as a new user first
// sees it: the window the program opens holds the whole picture at every
// screen size up to "150%", "p%" shows the picture at p % of its size each
// way (so "100%" is one screen pixel per picture pixel), and the view paints
// the display's picture where the video put it, without scaling it again.
#include "engine/BaseVideo.h"
#include "frontend/tests/RealModulesSandbox.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

#include <QImage>

#include <cstdlib>

namespace Frontend::Test {
namespace {

class ViewPictureTest : public RealModulesSandbox {};

constexpr QRgb kBackground = 0xFFFFFFFF;

// The bounding box of the pixels of `shot` that are not the background.
QRect PictureIn(QImage const &shot)
{
    QRect box;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (shot.pixel(x, y) != kBackground)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

TEST_F(ViewPictureTest, TheProgramsWindowShowsEachConsolesPictureWholeAtEveryScreenSizeUpTo150)
{
    MakeConsoleFrame();
    ASSERT_FALSE(HasFatalFailure());
    WriteImage("blank.gg", std::string(32768, '\0'));
    // White around the picture, so that its place shows in the view (the
    // blank games' pictures are dark).
    engine().GetSettings().Set(L"BGColor", 0xFFFFFF, false);
    engine().GetSettings().Set(L"BGFileName", L"", false);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));

    struct Case {
        char const *game;
        int width, height; // the console's picture
    };
    Case const cases[] = {
        {"blank.sms", 256, 192},
        {"blank.gg", 160, 144},
        {"blank.nes", 256, 224},
        {"blank.gba", 240, 160},
    };
    char const *const sizes[] = {"100%", "105%", "110%", "115%", "120%", "125%",
                                 "130%", "135%", "140%", "145%", "150%"};
    QWidget *view = frame->GetView();
    Ondrel::Display *display = engine().GetDisplay();
    for (Case const &c : cases) {
        SCOPED_TRACE(c.game);
        ASSERT_TRUE(engine().RunFile(Wide((root / "games" / c.game).string()))) << Narrow(engine().GetConsole());
        ZorvanEngine::Module *module = engine().GetActiveModule();
        ZorvanEngine::BaseVideo *video = module->GetVideo();
        ASSERT_EQ(video->GetScreenSize(), (Ondrel::Point{c.width, c.height}));
        module->GetSettings().Set(L"FrameSync", false, false);
        int lastWidth = 0;
        for (char const *size : sizes) {
            SCOPED_TRACE(size);
            module->GetSettings().Set(L"ScreenSize", Wide(size), false);
            module->UpdateSettings();
            ASSERT_TRUE(module->RunFrame());
            view->repaint();

            // The display is the view's size, so its picture is painted 1:1.
            Ondrel::Surface const *screen = display->GetPrimarySurface();
            ASSERT_EQ(QSize(screen->GetWidth(), screen->GetHeight()), view->size());
            QImage const shot = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(shot, display->GetPresentedImage().convertToFormat(QImage::Format_RGB32));

            // The whole picture, its shape kept, where the video put it.
            Ondrel::Rect const r = video->m_renderRect;
            EXPECT_EQ(PictureIn(shot), QRect(r.x, r.y, r.width, r.height));
            EXPECT_EQ(r.Intersected(screen->GetRect()), r) << "cut by the window";
            EXPECT_LE(std::abs(r.height * c.width - r.width * c.height), c.width) << r.width << " x " << r.height;
            int const percent = std::atoi(size);
            EXPECT_EQ(r.width, (c.width * percent + 50) / 100);
            EXPECT_EQ(r.height, (c.height * percent + 50) / 100);
            EXPECT_GT(r.width, lastWidth);
            lastWidth = r.width;
        }
        engine().Shutdown();
    }
}

} // namespace
} // namespace Frontend::Test
