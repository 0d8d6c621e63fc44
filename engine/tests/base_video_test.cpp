// The video base: where the picture goes on the screen, frame pacing and
// skipping against the clock, the measured frame rates and the statistics
// strip.
#include "engine/BaseVideo.h"
#include "engine/tests/BaseMediaFixture.h"
#include "platform/ondrel/DrawingContext.h"

#include <climits>

namespace ZorvanEngine::Test {
namespace {

class BaseVideoTest : public MediaSandbox {
protected:
    // A 240 x 160 picture, opened on the engine's display.
    std::unique_ptr<TestVideo> OpenVideo(int width = 240, int height = 160)
    {
        auto video = std::make_unique<TestVideo>(module.get(), width, height);
        module->m_video = video.get();
        EXPECT_TRUE(video->Open(0, 0, Ondrel::PixelFormatNone));
        return video;
    }

    void TearDown() override
    {
        module->m_video = nullptr;
        MediaSandbox::TearDown();
    }
};

TEST_F(BaseVideoTest, RenderRectangleFollowsScreenSizeSetting)
{
    struct Case {
        char const *what;
        int screenW, screenH, desktopHeight;
        wchar_t const *screenSize;
        bool pad;
        Ondrel::Rect expected;
        bool unscaled;
    } const cases[] = {
        {"150% on 480x640: one and a half times each way", 480, 640, 640, L"150%", false, {60, 200, 360, 240}, false},
        {"150% on 320x240: 5 % steps down to 130 %, the first that fits", 320, 240, 240, L"150%", false,
         {4, 16, 312, 208}, false},
        {"150% steps down alike whatever the desktop height", 320, 240, 640, L"150%", false, {4, 16, 312, 208}, false},
        {"105%: the last try counts as unscaled", 320, 240, 240, L"105%", false, {34, 36, 252, 168},
         true},
        {"200% larger than the screen", 320, 240, 240, L"200%", false, {-80, -40, 480, 320}, true},
        {"Auto Scale fills the width", 480, 640, 640, L"Auto Scale", false, {0, 160, 480, 320}, false},
        {"Window Size is the whole screen", 480, 640, 640, L"Window Size", false, {0, 0, 480, 640}, false},
        {"150% above the pad", 480, 640, 640, L"150%", true, {60, 152, 360, 240}, false},
        {"Window Size above the pad", 480, 640, 640, L"Window Size", true, {0, 0, 480, 544}, false},
        {"no room to grow keeps the size", 240, 320, 320, L"150%", false, {0, 80, 240, 160}, true},
        {"unknown text keeps the size", 480, 640, 640, L"100%", false, {120, 240, 240, 160}, true},
    };
    for (Case const &c : cases) {
        SetScreen(c.screenW, c.screenH);
        engine->GetSettings().Set(L"DesktopHeight", c.desktopHeight, true);
        engine->GetSettings().Set(L"FullScreen", c.pad, true);
        module->GetSettings().Set(L"ScreenSize", c.screenSize, false);
        auto video = OpenVideo();
        video->m_unscaled = !c.unscaled;
        Ondrel::Rect rect;
        video->UpdateRenderRect(240, 160, rect);
        EXPECT_EQ(rect, c.expected) << c.what << ": got " << rect.x << "," << rect.y << " " << rect.width << "x"
                                    << rect.height;
        if (!video->m_windowSize) {
            EXPECT_EQ(video->m_unscaled, c.unscaled) << c.what;
        }
    }
}

// "p %" is the picture at p % of its size each way, to the nearest pixel,
// for every console's picture, when the window holds it.
TEST_F(BaseVideoTest, PercentSizesScaleEachConsolesPictureByTheirPercentage)
{
    struct Case {
        char const *console;
        int width, height;
        wchar_t const *screenSize;
        int expectedWidth, expectedHeight;
    } const cases[] = {
        {"6502", 256, 224, L"125%", 320, 280},
        {"6502", 256, 224, L"150%", 384, 336},
        {"6502", 256, 224, L"105%", 269, 235},
        {"handheld", 240, 160, L"150%", 360, 240},
        {"handheld", 240, 160, L"115%", 276, 184},
        {"Z80 Master System", 256, 192, L"125%", 320, 240},
        {"Z80 Master System", 256, 192, L"135%", 346, 259},
        {"Z80 Game Gear", 160, 144, L"145%", 232, 209},
        {"Z80 Game Gear", 160, 144, L"110%", 176, 158},
    };
    SetScreen(1024, 768);
    engine->GetSettings().Set(L"DesktopHeight", 768, true);
    for (Case const &c : cases) {
        SCOPED_TRACE(std::string(c.console) + " at " + Narrow(c.screenSize));
        module->GetSettings().Set(L"ScreenSize", c.screenSize, false);
        auto video = OpenVideo(c.width, c.height);
        Ondrel::Rect rect;
        video->UpdateRenderRect(c.width, c.height, rect);
        EXPECT_EQ(rect.width, c.expectedWidth);
        EXPECT_EQ(rect.height, c.expectedHeight);
    }
}

// Auto Scale shows the whole picture at the largest size that fits, with its
// shape kept, whatever the window: the picture fills one side and is
// centred on the other (letterbox or pillarbox).
TEST_F(BaseVideoTest, AutoScaleFitsTheWholePictureInEveryWindow)
{
    struct Picture {
        char const *console;
        int width, height;
    } const pictures[] = {
        {"handheld", 240, 160}, {"6502", 256, 240},      {"Z80 Master System", 240, 192},
        {"Z80 256 wide", 256, 192}, {"Z80 Game Gear", 160, 144},
    };
    struct Window {
        int width, height;
    } const windows[] = {
        {320, 240}, {640, 498}, {640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}, {498, 640}, {300, 900},
    };
    module->GetSettings().Set(L"ScreenSize", L"Auto Scale", false);
    for (Window const window : windows) {
        SetScreen(window.width, window.height);
        for (Picture const picture : pictures) {
            SCOPED_TRACE(std::string(picture.console) + " in " + std::to_string(window.width) + "x" +
                         std::to_string(window.height));
            auto video = OpenVideo(picture.width, picture.height);
            Ondrel::Rect rect;
            video->UpdateRenderRect(picture.width, picture.height, rect);
            // Whole: inside the window.
            EXPECT_GE(rect.x, 0);
            EXPECT_GE(rect.y, 0);
            EXPECT_LE(rect.x + rect.width, window.width);
            EXPECT_LE(rect.y + rect.height, window.height);
            // Largest: one side fills the window.
            EXPECT_TRUE(rect.width == window.width || rect.height == window.height)
                << rect.width << "x" << rect.height;
            // Shape kept, to the pixel the rounding costs.
            double const shape = double(picture.width) / picture.height;
            EXPECT_NEAR(rect.width, rect.height * shape, 1.0 + shape) << rect.width << "x" << rect.height;
            // Centred on the other side (the start is moved to an even pixel, so
            // up to one and a half pixels off).
            EXPECT_LE(std::abs((window.width - rect.width) - 2 * rect.x), 3);
            EXPECT_LE(std::abs((window.height - rect.height) - 2 * rect.y), 3);
        }
    }
}

TEST_F(BaseVideoTest, SourceIsCroppedAroundItsCentreToFitAboveThePad)
{
    SetScreen(240, 320);
    engine->GetSettings().Set(L"FullScreen", true, true); // pad 96 high: 224 rows above it
    module->GetSettings().Set(L"ScreenSize", L"150%", false);
    auto video = OpenVideo(256, 240);
    Ondrel::Rect src{0, 0, 256, 240};
    video->UpdateSrcRect(src);
    EXPECT_EQ(src, (Ondrel::Rect{8, 8, 240, 224}));

    module->GetSettings().Set(L"ScreenSize", L"Auto Scale", false);
    video->UpdateSettings();
    src = Ondrel::Rect{0, 0, 256, 240};
    video->UpdateSrcRect(src);
    EXPECT_EQ(src, (Ondrel::Rect{0, 0, 256, 240}));
}

TEST_F(BaseVideoTest, DrawFrameScalesTheCurrentSurfaceIntoTheRenderRectangle)
{
    SetScreen(480, 640);
    engine->GetSettings().Set(L"DesktopHeight", 640, true);
    module->GetSettings().Set(L"ScreenSize", L"150%", false);
    auto video = OpenVideo();
    video->PaintCurrent(0xF800);
    video->DrawFrame(Ondrel::Rect{0, 0, 240, 160});
    EXPECT_EQ(video->m_renderRect, (Ondrel::Rect{60, 200, 360, 240}));
    EXPECT_EQ(ScreenPixel(60, 200), 0xF800);
    EXPECT_EQ(ScreenPixel(419, 439), 0xF800);
    EXPECT_NE(ScreenPixel(59, 200), 0xF800);
    EXPECT_NE(ScreenPixel(60, 440), 0xF800);
    EXPECT_EQ(video->m_lastSrc, (Ondrel::Rect{0, 0, 240, 160}));

    // A new source size recomputes the rectangle; the same one keeps it.
    video->m_renderRect = Ondrel::Rect{1, 1, 1, 1};
    video->DrawFrame(Ondrel::Rect{0, 0, 240, 160});
    EXPECT_EQ(video->m_renderRect, (Ondrel::Rect{1, 1, 1, 1}));
    video->DrawFrame(Ondrel::Rect{0, 0, 120, 80});
    EXPECT_NE(video->m_renderRect, (Ondrel::Rect{1, 1, 1, 1}));
}

TEST_F(BaseVideoTest, StatisticsStripSitsAboveAPictureThatReachesTheTop)
{
    SetScreen(480, 640);
    engine->GetSettings().Set(L"Debug", true, false);
    module->GetSettings().Set(L"ScreenSize", L"Window Size", false);
    auto video = OpenVideo();
    video->PaintCurrent(0x07E0);
    video->DrawFrame(Ondrel::Rect{0, 0, 240, 160});

    // Bands beside the strip are black, the picture starts below it.
    EXPECT_EQ(ScreenPixel(0, 0), 0x0000);
    EXPECT_EQ(ScreenPixel(479, 11), 0x0000);
    EXPECT_EQ(ScreenPixel(0, 12), 0x07E0);
    EXPECT_EQ(ScreenPixel(479, 639), 0x07E0);
    // The strip carries red text on black.
    int red = 0;
    for (int y = 0; y < BaseVideo::kStatsHeight; ++y)
        for (int x = 120; x < 360; ++x)
            red += ScreenPixel(x, y) == 0xF800;
    EXPECT_GT(red, 20);
    EXPECT_STREQ(static_cast<char const *>(video->FormatStats()), "FPS: 60/60 (60)");
}

TEST_F(BaseVideoTest, SyncVideoSkipsTheFramesThatFellDue)
{
    FakeClock clock;
    struct Case {
        char const *what;
        int frameSkip;
        bool frameSync;
        bool is60Hz;
        uint64_t elapsedUs;
        int skip, maxFrames;
    } const cases[] = {
        {"no sync: the setting", 2, false, true, 0, 2, 3},
        {"no sync: negative counts as 0", -3, false, true, 0, 0, 1},
        {"3 periods due", 4, true, true, 3 * 16667, 2, 5},
        {"10 periods limited by FrameSkip 4", 4, true, true, 10 * 16667, 4, 5},
        {"3 periods at 50 Hz", 4, true, false, 3 * 20000, 2, 5},
        {"one period: no skip", 4, true, true, 16667, 0, 5},
        {"negative FrameSkip never skips", -1, true, true, 10 * 16667, 0, 1},
        {"no sync: a huge count is the pages' largest, 8", INT_MAX, false, true, 0, 8, 9},
        {"a huge FrameSkip skips at most 8", INT_MAX, true, true, 20 * 16667, 8, 9},
    };
    engine->SetRunning(true);
    for (Case const &c : cases) {
        module->GetSettings().Set(L"FrameSkip", c.frameSkip, false);
        module->GetSettings().Set(L"FrameSync", c.frameSync, false);
        auto video = OpenVideo();
        video->is60Hz = c.is60Hz;
        video->ResetSyncTimer();
        for (int call = 0; call < 2; ++call) {
            FakeClock::AdvanceMicroseconds(c.elapsedUs);
            int const gameFrames = video->m_gameFrames;
            ASSERT_TRUE(video->SyncFrame()) << c.what;
            EXPECT_EQ(video->skip, c.skip) << c.what;
            EXPECT_EQ(video->maxFrames, c.maxFrames) << c.what;
            EXPECT_EQ(video->m_gameFrames, gameFrames + c.skip + 1) << c.what;
        }
    }
}

TEST_F(BaseVideoTest, SyncVideoWaitsForTheNextFrameAndCarriesTheRest)
{
    FakeClock clock;
    engine->SetRunning(true);
    module->GetSettings().Set(L"FrameSkip", 4, false);
    module->GetSettings().Set(L"FrameSync", true, false);
    auto video = OpenVideo();
    video->ResetSyncTimer();

    // Nothing due yet: sleeps all but the last 2 ms of the 16.7 ms, then spins.
    FakeClock::sleptMs = 0;
    ASSERT_TRUE(video->SyncFrame());
    EXPECT_EQ(video->skip, 0);
    EXPECT_EQ(FakeClock::sleptMs, 14u);

    // 2.5 periods: two due now, the half period counts towards the next.
    FakeClock::AdvanceMicroseconds(5 * 16667 / 2);
    ASSERT_TRUE(video->SyncFrame());
    EXPECT_EQ(video->skip, 1);
    FakeClock::sleptMs = 0;
    FakeClock::AdvanceMicroseconds(16667 / 2 + 10);
    ASSERT_TRUE(video->SyncFrame());
    EXPECT_EQ(video->skip, 0);
    EXPECT_EQ(FakeClock::sleptMs, 0u);

    // The last short stretch spins, or yields when the loop throttles.
    struct Case {
        int throttle;
        bool yields;
    } const cases[] = {{0, false}, {1, true}, {3, true}};
    for (Case const &c : cases) {
        loop.m_throttleMode = c.throttle;
        FakeClock::yields = 0;
        FakeClock::AdvanceMicroseconds(16667 - 3000); // 3 ms short of the next frame
        ASSERT_TRUE(video->SyncFrame());
        EXPECT_EQ(FakeClock::yields > 0, c.yields) << "throttle " << c.throttle;
    }
}

TEST_F(BaseVideoTest, ResumeRedrawsTheFrameShownLast)
{
    SetScreen(240, 320);
    module->GetSettings().Set(L"ScreenSize", L"Window Size", false);
    auto video = OpenVideo();
    // The module's frame end: unlock, draw, flip, lock the next surface.
    video->PaintCurrent(0xF800);
    video->Unlock();
    video->DrawFrame(Ondrel::Rect{0, 0, 240, 160});
    video->Flip();
    video->Lock();
    video->PaintCurrent(0x001F); // the next frame, half drawn

    Ondrel::Surface *screen = engine->GetDrawingSurface();
    Ondrel::DrawingContext(screen).Fill(screen->GetRect(), 0xFFFFFF);
    video->Pause();
    video->Resume();
    EXPECT_EQ(ScreenPixel(120, 160), 0xF800);
    // The half-drawn surface is current and locked again.
    EXPECT_EQ(video->m_chain.GetCurrent(), video->m_surface1);
    EXPECT_TRUE(video->m_surface1->IsLocked());
}

TEST_F(BaseVideoTest, SyncVideoStopsWhilePausedOrNotRunning)
{
    FakeClock clock;
    module->GetSettings().Set(L"FrameSync", true, false);
    module->GetSettings().Set(L"FrameSkip", 4, false);
    auto video = OpenVideo();
    FakeClock::AdvanceMicroseconds(5 * 16667);
    EXPECT_FALSE(video->SyncFrame()); // engine not running
    EXPECT_EQ(video->skip, 0);

    engine->SetRunning(true);
    module->m_paused = true;
    FakeClock::AdvanceMicroseconds(5 * 16667);
    EXPECT_FALSE(video->SyncFrame());
    EXPECT_EQ(video->skip, 0);
    EXPECT_EQ(video->m_remainder, 0);
}

TEST_F(BaseVideoTest, FrameRatesAreSmoothedOncePerSecond)
{
    FakeClock clock;
    struct Case {
        char const *what;
        int rate, frames;
        uint64_t elapsedMs;
        int shown;
    } const cases[] = {
        {"57 stays 57", 57, 57, 1000, 57},
        {"59 shows as 60", 59, 59, 1000, 60},
        {"a slow second halves the gap", 60, 54, 1000, 57},
        {"a stalled two seconds count as two", 30, 30, 2000, 22},
        {"a zero rate starts over at the nominal", 0, 10, 1000, 60},
    };
    for (Case const &c : cases) {
        auto video = OpenVideo();
        video->m_drawnFps = video->m_gameFps = c.rate;
        video->m_drawnFrames = 0; // Open drew the last frame once
        video->m_fpsTimer.Begin();
        for (int i = 1; i < c.frames; ++i)
            video->UpdateStats();
        EXPECT_EQ(video->m_drawnFrames, c.frames - 1) << c.what << ": counted before a second passed";
        video->m_gameFrames = c.frames;
        FakeClock::AdvanceMicroseconds(c.elapsedMs * 1000);
        video->UpdateStats();
        EXPECT_EQ(video->m_drawnFps, c.shown) << c.what;
        EXPECT_EQ(video->m_gameFps, c.shown) << c.what;
        EXPECT_EQ(video->GetGameFps(), c.shown) << c.what;
        EXPECT_EQ(video->m_drawnFrames, 0) << c.what;
        EXPECT_EQ(video->m_gameFrames, 0) << c.what;
    }
}

TEST_F(BaseVideoTest, CloseReleasesEverythingAndClearsTheScreenOfTheActiveModule)
{
    SetScreen(240, 320);
    auto video = OpenVideo();
    video->Lock();
    Ondrel::Surface *screen = engine->GetDrawingSurface();
    Ondrel::DrawingContext(screen).Fill(screen->GetRect(), 0xFFFFFF);
    video->Close();
    EXPECT_FALSE(video->IsOpen());
    EXPECT_EQ(video->m_surface0, nullptr);
    EXPECT_EQ(video->m_context, nullptr);
    EXPECT_EQ(video->m_chain.GetCount(), 0);
    EXPECT_EQ(ScreenPixel(10, 10), 0x0000);

    // Reopening works after a close.
    EXPECT_TRUE(video->Open(0, 0, Ondrel::PixelFormatNone));
    EXPECT_TRUE(video->IsOpen());
}

TEST_F(BaseVideoTest, PauseSuspendsTheDisplayAndDrawFrameResumesIt)
{
    auto video = OpenVideo();
    video->Pause();
    EXPECT_TRUE(engine->GetDisplay()->IsSuspended());
    video->DrawFrame(Ondrel::Rect{0, 0, 240, 160});
    EXPECT_FALSE(engine->GetDisplay()->IsSuspended());
    video->Pause();
    video->Resume();
    EXPECT_FALSE(engine->GetDisplay()->IsSuspended());
}

TEST(PreciseTimer, CountsInItsUnitsWithoutOverflowingOverLongRuns)
{
    FakeClock clock;
    struct Case {
        uint64_t unitsPerSecond;
        uint64_t elapsedUs;
        uint64_t reading;
    } const cases[] = {
        // End's own reading of the fake clock adds 1 us.
        {1000000, 16667, 16668},
        {1000, 999998, 999},
        {1000000, 6ULL * 3600 * 1000000, 6ULL * 3600 * 1000000 + 1}, // six hours in microseconds
    };
    for (Case const &c : cases) {
        CPreciseTimer timer(c.unitsPerSecond);
        ASSERT_TRUE(timer.IsValid());
        ASSERT_TRUE(timer.Begin());
        FakeClock::AdvanceMicroseconds(c.elapsedUs);
        EXPECT_EQ(timer.End(), c.reading) << c.elapsedUs;
        EXPECT_GE(timer.End(), c.reading) << "End does not restart the timer";
    }
    CPreciseTimer invalid(0);
    EXPECT_FALSE(invalid.Begin());
    EXPECT_EQ(invalid.End(), 0u);
}

} // namespace
} // namespace ZorvanEngine::Test
