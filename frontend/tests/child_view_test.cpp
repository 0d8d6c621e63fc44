#include "frontend/ChildView.h"

#include "engine/PadSkin.h"
#include "frontend/MainFrame.h"
#include "frontend/tests/ViewTestSupport.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Input.h"
#include "platform/ondrel/System.h"

#include <QTest>

#include <cstdint>

namespace Frontend::Test {
namespace {

bool Near(QRgb a, QColor b, int tolerance = 8)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

std::string Describe(QRgb c)
{
    return QColor(c).name().toStdString();
}

class ChildViewTest : public ViewFixture {
protected:
    // A paint that draws, so that the view knows the input object.
    void PaintOnce() { Grab(); }

    void Tap(int x, int y)
    {
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    }

    bool FullScreen() { return settings().GetBoolean(L"FullScreen"); }
};

// ---- painting ----

TEST_F(ChildViewTest, PaintsBackgroundColourOrImageUnderTheLastFrameAndThePausedPicture)
{
    QImage const paused(ChildView::GetResourceRoot() + "/180.png");
    ASSERT_FALSE(paused.isNull()) << "the paused picture is among the program's resources";
    QString const green = WriteBitmap("green.bmp", QColor(0, 255, 0));
    QPoint const centre(kWidth / 2, kHeight / 2);
    // Where the paused picture's own centre lands: centred in the view.
    QColor const pausedCentre = paused.pixelColor(paused.width() / 2, paused.height() / 2);
    QPoint const frameInside(FakeVideo::kFrameRect.x + 5, FakeVideo::kFrameRect.y + 5);

    struct Case {
        char const *name;
        int bgColor;
        bool image;
        bool running;
        bool userPaused;
        QColor atCentre;
        QColor atFrame;
    } const cases[] = {
        {"black background", 0, false, false, false, Qt::black, Qt::black},
        {"white background", 0xFFFFFF, false, false, false, Qt::white, Qt::white},
        {"image over the colour", 0xFFFFFF, true, false, false, QColor(0, 255, 0), QColor(0, 255, 0)},
        {"last frame over the colour", 0xFFFFFF, false, true, false, Qt::white, Qt::red},
        {"last frame over the image", 0, true, true, false, QColor(0, 255, 0), Qt::red},
        {"paused picture over all", 0xFFFFFF, true, true, true, pausedCentre, Qt::red},
    };
    for (Case const &c : cases) {
        SCOPED_TRACE(c.name);
        settings().Set(L"BGColor", c.bgColor, false);
        settings().Set(L"BGFileName", c.image ? ToZorvanString(green) : Zorvan::String(L""), false);
        FakeModule *module = c.running ? StartGame() : nullptr;
        if (c.userPaused)
            engine->UserPause();

        QImage const shot = Grab();
        EXPECT_TRUE(Near(shot.pixel(centre), c.atCentre)) << Describe(shot.pixel(centre));
        EXPECT_TRUE(Near(shot.pixel(frameInside), c.atFrame)) << Describe(shot.pixel(frameInside));
        if (module) {
            EXPECT_EQ(module->Video()->lastFrames, 1);
        }
        engine->Shutdown();
    }
}

TEST_F(ChildViewTest, PausedPictureIsCentredUnscaledAndOnlyWhileAGameIsPaused)
{
    settings().Set(L"BGColor", 0xFFFFFF, false);
    QImage const paused(ChildView::GetResourceRoot() + "/180.png");
    int const x = (kWidth - paused.width()) / 2;
    int const y = (kHeight - paused.height()) / 2;
    QPoint const corner(x + 2, y + 2); // inside the picture's border
    QColor const border = paused.pixelColor(2, 2);

    // Paused by a dialog without a game: nothing to show as paused.
    engine->Pause();
    EXPECT_TRUE(Near(Grab().pixel(corner), Qt::white));
    engine->Resume();

    StartGame();
    EXPECT_TRUE(Near(Grab().pixel(corner), Qt::white)) << "running, not paused";
    engine->Pause();
    QImage const shot = Grab();
    EXPECT_TRUE(Near(shot.pixel(corner), border)) << Describe(shot.pixel(corner));
    EXPECT_TRUE(Near(shot.pixel(x - 2, y - 2), Qt::white)) << "drawn unscaled";
    EXPECT_TRUE(Near(shot.pixel(x + paused.width() + 1, y + paused.height() + 1), Qt::white));
    engine->Resume();
}

TEST_F(ChildViewTest, BackgroundFileThatCannotBeLoadedIsForgotten)
{
    settings().Set(L"BGColor", 0xFFFFFF, false);
    settings().Set(L"BGFileName", ToZorvanString(programFolder + "/missing.bmp"), false);
    QImage const shot = Grab();
    EXPECT_TRUE(Near(shot.pixel(kWidth / 2, kHeight / 2), Qt::white));
    EXPECT_EQ(Narrow(settings().GetString(L"BGFileName")), "");
    EXPECT_EQ(view->GetBackgroundImage(), nullptr);
}

TEST_F(ChildViewTest, BackgroundImageChangesWithTheSettingAndIsDroppedWhenItIsCleared)
{
    settings().Set(L"BGFileName", ToZorvanString(WriteBitmap("blue.bmp", QColor(0, 0, 255))), false);
    EXPECT_TRUE(Near(Grab().pixel(10, 10), QColor(0, 0, 255)));
    settings().Set(L"BGFileName", ToZorvanString(WriteBitmap("green.bmp", QColor(0, 255, 0))), false);
    EXPECT_TRUE(Near(Grab().pixel(10, 10), QColor(0, 255, 0)));
    settings().Set(L"BGFileName", L"", false);
    settings().Set(L"BGColor", 0xFFFFFF, false);
    EXPECT_TRUE(Near(Grab().pixel(10, 10), Qt::white));
    EXPECT_EQ(view->GetBackgroundImage(), nullptr);
}

TEST_F(ChildViewTest, PadIsDrawnAtTheBottomInFullScreenAndTheImageStopsAboveIt)
{
    settings().Set(L"BGFileName", ToZorvanString(WriteBitmap("green.bmp", QColor(0, 255, 0))), false);
    StartGame();
    settings().Set(L"VirtualPad", true, false);
    settings().Set(L"FullScreen", true, true);
    int const pad = engine->GetPadSkinSize();
    ASSERT_GT(pad, 0) << "the built-in skin is shown";
    QImage const shot = Grab();
    EXPECT_TRUE(Near(shot.pixel(kWidth / 2, kHeight - pad - 2), QColor(0, 255, 0)));
    // The pad's picture covers the rows below the image.
    ZorvanEngine::PadSkin *skin = engine->GetActivePadSkin();
    ASSERT_NE(skin, nullptr);
    QImage const padImage = skin->GetImage()->AsImage().convertToFormat(QImage::Format_RGB32);
    int const y = kHeight - pad + pad / 2;
    int matching = 0;
    for (int x = 0; x < std::min(kWidth, padImage.width()); x += 8)
        matching += Near(shot.pixel(x, y), padImage.pixelColor(x, pad / 2));
    EXPECT_GE(matching, std::min(kWidth, padImage.width()) / 8 - 1);
}

TEST_F(ChildViewTest, NothingIsDrawnAndNoInputTakenWhileAnotherWindowIsInFront)
{
    view->foreground = false;
    PaintOnce();
    EXPECT_EQ(view->GetInputObject(), nullptr);
    Tap(10, 10);
    EXPECT_FALSE(engine->GetInput()->IsStylusDown());

    view->foreground = true;
    PaintOnce();
    EXPECT_EQ(view->GetInputObject(), engine->GetInput());
    EXPECT_TRUE(engine->GetDisplay()->IsSuspended()) << "suspended again after drawing";
}

TEST_F(ChildViewTest, PendingShutdownIsCarriedOutByThePaint)
{
    bool alive = false;
    StartGame(&alive);
    engine->AsyncShutdown();
    PaintOnce();
    EXPECT_FALSE(alive);
    EXPECT_FALSE(engine->IsRunning());
    EXPECT_FALSE(engine->IsShutdownPending());
    EXPECT_GE(view->commandStates, 1);
}

TEST_F(ChildViewTest, ReleasedImagesAreMadeAgainAtTheNextPaint)
{
    settings().Set(L"BGFileName", ToZorvanString(WriteBitmap("green.bmp", QColor(0, 255, 0))), false);
    StartGame();
    engine->UserPause();
    PaintOnce();
    ASSERT_NE(view->GetBackgroundImage(), nullptr);
    ASSERT_NE(view->GetPausedImage(), nullptr);
    view->ReleaseImages();
    EXPECT_EQ(view->GetBackgroundImage(), nullptr);
    EXPECT_EQ(view->GetPausedImage(), nullptr);
    PaintOnce();
    EXPECT_NE(view->GetBackgroundImage(), nullptr);
    EXPECT_NE(view->GetPausedImage(), nullptr);
}

// ---- keys ----

TEST_F(ChildViewTest, KeysWhileAGameRuns)
{
    FakeModule *module = StartGame();
    module->GetSettings().Set(L"FrameSync", true, false);

    QTest::keyClick(view.get(), Qt::Key_Pause);
    EXPECT_TRUE(engine->IsUserPaused());
    QTest::keyClick(view.get(), Qt::Key_Pause);
    EXPECT_FALSE(engine->IsUserPaused());
    EXPECT_EQ(view->commandStates, 2);

    QTest::keyClick(view.get(), Qt::Key_F5);
    EXPECT_FALSE(module->GetSettings().GetBoolean(L"FrameSync"));
    QTest::keyClick(view.get(), Qt::Key_F5);
    EXPECT_TRUE(module->GetSettings().GetBoolean(L"FrameSync"));

    QTest::keyClick(view.get(), Qt::Key_F8);
    QTest::keyClick(view.get(), Qt::Key_F9);
    EXPECT_EQ(view->commands, (std::vector<int>{ID_RESET, ID_TOOLS}));

    QTest::keyClick(view.get(), Qt::Key_F11);
    EXPECT_EQ(module->Video()->unlocks, 1);
    EXPECT_EQ(module->Video()->locks, 1);
    EXPECT_EQ(engine->m_pauseCount, 0);
}

TEST_F(ChildViewTest, KeysWithoutAGame)
{
    QTest::keyClick(view.get(), Qt::Key_Pause);
    EXPECT_FALSE(engine->IsUserPaused());
    QTest::keyClick(view.get(), Qt::Key_F8);
    QTest::keyClick(view.get(), Qt::Key_F5);
    QTest::keyClick(view.get(), Qt::Key_F11);
    EXPECT_EQ(view->commandStates, 0);
    // The Tools popup is there with or without a game.
    QTest::keyClick(view.get(), Qt::Key_F9);
    EXPECT_EQ(view->commands, (std::vector<int>{ID_TOOLS}));
    // Alt combinations are swallowed.
    QTest::keyClick(view.get(), Qt::Key_F9, Qt::AltModifier);
    EXPECT_EQ(view->commands.size(), 1u);
}

TEST_F(ChildViewTest, EscapeLeavesFullScreenOnlyWhenInIt)
{
    StartGame();
    PaintOnce();
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_FALSE(FullScreen());
    EXPECT_EQ(view->toolBarShown, -1) << "Escape does not enter full screen";

    Tap(10, 10);
    ASSERT_TRUE(FullScreen());
    // The last tap was on the pad: Escape still leaves.
    Tap(10, 300);
    ASSERT_TRUE(FullScreen());
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_FALSE(FullScreen());
    EXPECT_EQ(view->toolBarShown, 1);
    EXPECT_EQ(engine->m_pauseCount, 0);
}

// ---- the stylus and full screen ----

TEST_F(ChildViewTest, MouseIsTheStylusOnceTheInputIsKnown)
{
    Ondrel::Input *input = engine->GetInput();
    settings().Set(L"NoFullScreen", true, false);
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    EXPECT_FALSE(input->IsStylusDown()) << "no paint has drawn yet";
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));

    PaintOnce();
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    EXPECT_TRUE(input->IsStylusDown());
    EXPECT_EQ(input->GetStylusPoint(), (Ondrel::Point{30, 40}));
    QTest::mouseMove(view.get(), QPoint(50, 60));
    EXPECT_EQ(input->GetStylusPoint(), (Ondrel::Point{50, 60}));
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(70, 80));
    EXPECT_FALSE(input->IsStylusDown());
    EXPECT_EQ(input->GetStylusPoint(), (Ondrel::Point{70, 80}));
}

TEST_F(ChildViewTest, TapsEnterAndLeaveFullScreen)
{
    Ondrel::System *system = engine->GetOndrel();
    PaintOnce();
    Tap(10, 10);
    EXPECT_FALSE(FullScreen()) << "no game runs";

    StartGame();
    engine->UserPause();
    Tap(10, 10);
    EXPECT_FALSE(FullScreen()) << "the user paused";
    engine->UserResume();

    Tap(10, 10);
    EXPECT_TRUE(FullScreen());
    EXPECT_TRUE(system->IsFullScreen());
    EXPECT_EQ(view->toolBarShown, 0);

    Tap(10, 10);
    EXPECT_FALSE(FullScreen());
    EXPECT_FALSE(system->IsFullScreen());
    EXPECT_EQ(view->toolBarShown, 1);
    EXPECT_FALSE(engine->IsUserPaused()) << "AutoPause is off";
    EXPECT_EQ(engine->m_pauseCount, 0);

    settings().Set(L"NoFullScreen", true, false);
    Tap(10, 10);
    EXPECT_FALSE(FullScreen());
}

TEST_F(ChildViewTest, TapsBelowLine160BelongToThePadInFullScreen)
{
    struct Case {
        bool virtualPad;
        int y;
        bool staysFullScreen;
    } const cases[] = {
        {true, 161, true},
        {true, 300, true},
        {true, 160, false},
        {true, 10, false},
        {false, 161, false},
    };
    StartGame();
    PaintOnce();
    for (Case const &c : cases) {
        SCOPED_TRACE(testing::Message() << "pad " << c.virtualPad << " y " << c.y);
        settings().Set(L"VirtualPad", c.virtualPad, false);
        Tap(10, 10);
        ASSERT_TRUE(FullScreen());
        Tap(100, c.y);
        EXPECT_EQ(FullScreen(), c.staysFullScreen);
        if (FullScreen())
            QTest::keyClick(view.get(), Qt::Key_Escape);
        ASSERT_FALSE(FullScreen());
    }
}

TEST_F(ChildViewTest, LeavingFullScreenWithAutoPausePausesTheGame)
{
    settings().Set(L"AutoPause", true, false);
    StartGame();
    PaintOnce();
    Tap(10, 10);
    ASSERT_TRUE(FullScreen());
    EXPECT_FALSE(engine->IsUserPaused());
    Tap(10, 10);
    EXPECT_FALSE(FullScreen());
    EXPECT_TRUE(engine->IsUserPaused());
}

// ---- the game runner ----

TEST_F(ChildViewTest, ShouldWaitUnlessAGameRunsUnpaused)
{
    EXPECT_TRUE(view->ShouldWait()) << "no game";
    StartGame();
    EXPECT_FALSE(view->ShouldWait());
    engine->Pause();
    EXPECT_TRUE(view->ShouldWait()) << "a dialog's pause";
    engine->Resume();
    engine->UserPause();
    EXPECT_TRUE(view->ShouldWait()) << "the user's pause";
    engine->UserResume();
    EXPECT_FALSE(view->ShouldWait());
    engine.reset();
    EXPECT_TRUE(view->ShouldWait()) << "no engine";
}

TEST_F(ChildViewTest, RunFrameRunsOneFrameOfTheActiveModule)
{
    view->RunFrame(); // nothing to run
    FakeModule *module = StartGame();
    view->RunFrame();
    view->RunFrame();
    EXPECT_EQ(module->frames, 2);
    EXPECT_TRUE(messages.empty());
}

// Faults made on purpose, at an address nothing is mapped at.
void TouchUnmapped()
{
    *reinterpret_cast<volatile int *>(uintptr_t(0x1A2B3C)) = 1;
}

TEST_F(ChildViewTest, ProcessorFaultInAFrameIsReportedAndShutsTheEngineDown)
{
    bool alive = false;
    FakeModule *module = StartGame(&alive);
    module->onFrame = TouchUnmapped;
    view->RunFrame();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Error: Exception ACCESS_VIOLATION (0xc0000005) at address 0x001a2b3c.");
    EXPECT_FALSE(alive) << "the faulted module is closed and never run again";
    EXPECT_FALSE(engine->IsRunning());
    EXPECT_TRUE(view->ShouldWait());
    view->RunFrame();
    EXPECT_EQ(messages.size(), 1u);
}

} // namespace
} // namespace Frontend::Test
