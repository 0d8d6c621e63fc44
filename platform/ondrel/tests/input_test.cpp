#include "platform/ondrel/Input.h"
#include "platform/ondrel/System.h"
#include "platform/ondrel/VirtualKeys.h"
#include "platform/ondrel/Window.h"
#include "tools/testsupport/TestApplication.h"
#include "tools/testsupport/VirtualJoystick.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace Ondrel::Test {

using QuintarTest::EnsureApplication;

namespace {

class InputTest : public testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        input = std::make_unique<Input>();
        viewWidget = std::make_unique<QWidget>();
        viewWidget->resize(50, 50);
        viewWidget->show();
        input->AttachView(viewWidget.get());
    }
    void TearDown() override
    {
        // Nothing may stay held for the next test's fresh input object.
        QEvent deactivate(QEvent::ApplicationDeactivate);
        QCoreApplication::sendEvent(qApp, &deactivate);
    }

    std::unique_ptr<Input> input;
    std::unique_ptr<QWidget> viewWidget;
};

} // namespace

TEST(VirtualKeyMapping, QtKeysToOldCodes)
{
    struct Case {
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        int virtualKey;
    };
    Case const cases[] = {
        {Qt::Key_Up, {}, 38}, {Qt::Key_Down, {}, 40}, {Qt::Key_Left, {}, 37}, {Qt::Key_Right, {}, 39},
        {Qt::Key_Return, {}, 13}, {Qt::Key_Enter, Qt::KeypadModifier, 13}, {Qt::Key_Escape, {}, 27},
        {Qt::Key_F1, {}, 112}, {Qt::Key_F12, {}, 123}, {Qt::Key_Pause, {}, 19}, {Qt::Key_A, {}, 65},
        {Qt::Key_Z, Qt::ShiftModifier, 90}, {Qt::Key_5, {}, 53}, {Qt::Key_5, Qt::KeypadModifier, 101},
        {Qt::Key_Plus, Qt::KeypadModifier, 107}, {Qt::Key_Space, {}, 32}, {Qt::Key_Meta, {}, 91},
        {Qt::Key_Comma, {}, 188}, {Qt::Key_MediaPlay, {}, 0}, {Qt::Key_unknown, {}, 0},
    };
    for (Case const& c : cases)
        EXPECT_EQ(VirtualKeyFromQtKey(c.qtKey, c.modifiers), c.virtualKey) << std::hex << c.qtKey;

    EXPECT_EQ(VirtualKeyName(38), "Up");
    EXPECT_EQ(VirtualKeyName('Q'), "Q");
    EXPECT_EQ(VirtualKeyName(116), "F5");
    EXPECT_EQ(VirtualKeyName(200), "");
}

TEST_F(InputTest, QtKeyEventsWhileOpen)
{
    input->Open();
    QTest::keyPress(viewWidget.get(), Qt::Key_Up);
    EXPECT_EQ(input->IsKeyDown(38), 1);
    EXPECT_EQ(input->GetAsyncKeyState(38), short(0x8000));
    EXPECT_EQ(input->IsKeyDown(40), 0);

    // Auto-repeat releases do not let go of a held key.
    QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(viewWidget.get(), &repeatRelease);
    EXPECT_EQ(input->IsKeyDown(38), 1);

    QTest::keyRelease(viewWidget.get(), Qt::Key_Up);
    EXPECT_EQ(input->IsKeyDown(38), 0);
    EXPECT_EQ(input->GetAsyncKeyState(38), 0);
}

TEST_F(InputTest, ClosedOrPausedInputOnlyTracksTheLiveState)
{
    QTest::keyPress(viewWidget.get(), Qt::Key_Left);
    EXPECT_EQ(input->IsKeyDown(37), 0);
    EXPECT_EQ(input->GetAsyncKeyState(37), short(0x8000));

    input->Open();
    input->Pause();
    QTest::keyPress(viewWidget.get(), Qt::Key_Right);
    input->KeyEvent(40, true);
    EXPECT_EQ(input->IsKeyDown(39), 0);
    EXPECT_EQ(input->IsKeyDown(40), 0);
    input->Resume();
    QTest::keyPress(viewWidget.get(), Qt::Key_Down);
    EXPECT_EQ(input->IsKeyDown(40), 1);

    QTest::keyRelease(viewWidget.get(), Qt::Key_Left);
    QTest::keyRelease(viewWidget.get(), Qt::Key_Right);
    QTest::keyRelease(viewWidget.get(), Qt::Key_Down);
    input->Close();
    input->KeyEvent(38, true);  // an event the view hands in directly
    EXPECT_EQ(input->IsKeyDown(38), 1);
}

// The Enter that confirmed a dialog, or a button held while a game starts,
// is no press for the game: it counts once it was released and pressed again.
TEST_F(InputTest, KeysAndButtonsHeldWhenTheGameStartsOrResumesCountOnlyAfterARelease)
{
    QuintarTest::VirtualJoystick joystick;
    int const button = 5;  // the joystick's second button
    struct Moment {
        char const* what;
        bool resume;  // else the game starts
    };
    for (Moment const moment : {Moment{"a game starts", false}, Moment{"a dialog closes", true}}) {
        SCOPED_TRACE(moment.what);
        if (moment.resume) {
            input->Open();
            input->Pause();
        }
        QTest::keyPress(viewWidget.get(), Qt::Key_Return);
        joystick.Set(button, true);
        if (moment.resume)
            input->Resume();
        else
            input->Open();
        input->Update();
        EXPECT_EQ(input->IsKeyDown(13), 0);
        EXPECT_TRUE(input->IsHeldOver(13));
        EXPECT_EQ(input->IsJoystickButtonDown(button), 0);
        // Other keys count at once.
        QTest::keyPress(viewWidget.get(), Qt::Key_Up);
        EXPECT_EQ(input->IsKeyDown(38), 1);
        EXPECT_FALSE(input->IsHeldOver(38));

        // Released and pressed again, they count.
        QTest::keyRelease(viewWidget.get(), Qt::Key_Return);
        EXPECT_FALSE(input->IsHeldOver(13));
        QTest::keyPress(viewWidget.get(), Qt::Key_Return);
        EXPECT_EQ(input->IsKeyDown(13), 1);
        joystick.Set(button, false);
        input->Update();
        joystick.Set(button, true);
        input->Update();
        if (joystick.IsOpen()) {
            EXPECT_EQ(input->IsJoystickButtonDown(button), 1);
        }

        QTest::keyRelease(viewWidget.get(), Qt::Key_Return);
        QTest::keyRelease(viewWidget.get(), Qt::Key_Up);
        joystick.Set(button, false);
        input->Close();
    }
}

// A game replaced while paused (the Open dialog pauses the running one)
// leaves no pause behind for the next.
TEST_F(InputTest, TheNextGameStartsUnpaused)
{
    input->Open();
    input->Pause();
    input->Close();
    input->Open();
    EXPECT_FALSE(input->IsPaused());
    QTest::keyPress(viewWidget.get(), Qt::Key_A);
    EXPECT_EQ(input->IsKeyDown('A'), 1);
    QTest::keyRelease(viewWidget.get(), Qt::Key_A);
    input->Close();
}

TEST_F(InputTest, OpensNestSoADialogLeavesTheGameInputOpen)
{
    input->Open();
    input->Start();
    input->Open();
    input->Close();
    input->Stop();
    EXPECT_TRUE(input->IsOpen());
    QTest::keyPress(viewWidget.get(), Qt::Key_A);
    EXPECT_EQ(input->IsKeyDown('A'), 1);
    input->Close();
    EXPECT_FALSE(input->IsOpen());
    EXPECT_EQ(input->IsKeyDown('A'), 0);
    input->Close();  // unbalanced close is harmless
}

TEST_F(InputTest, LosingTheApplicationFocusReleasesKeys)
{
    input->Open();
    QTest::keyPress(viewWidget.get(), Qt::Key_Down);
    input->KeyEvent(13, true);
    QEvent deactivate(QEvent::ApplicationDeactivate);
    QCoreApplication::sendEvent(qApp, &deactivate);
    EXPECT_EQ(input->IsKeyDown(40), 0);
    EXPECT_EQ(input->IsKeyDown(13), 0);
    EXPECT_EQ(input->GetAsyncKeyState(40), 0);
}

TEST_F(InputTest, CodesOutOfRangeAreIgnored)
{
    input->Open();
    for (int code : {-1, 0, 256, 70000}) {
        input->KeyEvent(code, true);
        input->HardwareKeyEvent(code, true);
        EXPECT_EQ(input->IsKeyDown(code), 0) << code;
        EXPECT_EQ(input->GetAsyncKeyState(code), 0) << code;
    }
    EXPECT_EQ(input->IsHardwareKeyDown(-1), 0);
    EXPECT_EQ(input->IsHardwareKeyDown(256), 0);
    EXPECT_EQ(input->IsJoystickButtonDown(-1), 0);
    EXPECT_EQ(input->IsJoystickButtonDown(24), 0);
}

TEST_F(InputTest, HardwareKeysAndNoController)
{
    input->Open();
    input->HardwareKeyEvent(0xC1, true);
    input->Update();
    EXPECT_EQ(input->IsHardwareKeyDown(0xC1), 1);
    EXPECT_EQ(input->IsHardwareKeyDown(25), 0);  // the "no button" code of key maps
    input->HardwareKeyEvent(0xC1, false);
    EXPECT_EQ(input->IsHardwareKeyDown(0xC1), 0);

    // No controller is attached here: every button reads up, whether or not SDL started.
    for (int b = 0; b < Input::JoystickButtonCount; ++b) {
        EXPECT_EQ(input->IsJoystickButtonDown(b), 0) << b;
        EXPECT_EQ(input->IsHardwareKeyDown(b), 0) << b;
    }
    input->Close();
    input->Update();
}

TEST_F(InputTest, LeftMouseOverTheViewIsTheStylus)
{
    input->Open();
    QTest::mousePress(viewWidget.get(), Qt::LeftButton, {}, QPoint(10, 20));
    EXPECT_EQ(input->IsStylusDown(), 1);
    EXPECT_EQ(input->GetStylusPoint(), (Point{10, 20}));

    QMouseEvent move(QEvent::MouseMove, QPointF(12, 25), viewWidget->mapToGlobal(QPointF(12, 25)), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewWidget.get(), &move);
    EXPECT_EQ(input->GetStylusPoint(), (Point{12, 25}));
    EXPECT_EQ(input->IsStylusDown(), 1);

    QTest::mouseRelease(viewWidget.get(), Qt::LeftButton, {}, QPoint(13, 26));
    EXPECT_EQ(input->IsStylusDown(), 0);
    EXPECT_EQ(input->GetStylusPoint(), (Point{13, 26}));

    QTest::mousePress(viewWidget.get(), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(input->IsStylusDown(), 0);
    QTest::mouseRelease(viewWidget.get(), Qt::RightButton, {}, QPoint(5, 5));

    QWidget other;
    other.resize(20, 20);
    other.show();
    QTest::mousePress(&other, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(input->IsStylusDown(), 0);
    QTest::mouseRelease(&other, Qt::LeftButton, {}, QPoint(1, 1));
}

TEST_F(InputTest, DefaultKeyTable)
{
    std::uint16_t const* keys = input->GetDefaultKeys();
    EXPECT_EQ(keys[0], 38);  // Up
    EXPECT_EQ(keys[1], 40);  // Down
    EXPECT_EQ(keys[2], 37);  // Left
    EXPECT_EQ(keys[3], 39);  // Right
    EXPECT_EQ(keys[4], 13);  // Start
    std::set<std::uint16_t> distinct;
    for (int i = 0; i < Input::DefaultKeyCount; ++i) {
        EXPECT_NE(keys[i], 0) << i;
        distinct.insert(keys[i]);
    }
    EXPECT_EQ(distinct.size(), std::size_t(Input::DefaultKeyCount));
}

TEST(SystemObject, MakesWindowsDisplaysAndOwnsTheInput)
{
    EnsureApplication();
    QWidget frame, viewW;
    {
        System system(&frame);
        EXPECT_EQ(System::Instance(), &system);
        ASSERT_NE(system.GetInput(), nullptr);
        std::unique_ptr<Window> window(system.CreateWindow(&viewW));
        EXPECT_EQ(system.GetInput()->GetView(), &viewW);
        EXPECT_EQ(window->GetWidget(), &viewW);
        system.SetDisplayDriver(DisplayDriverGdi);
        EXPECT_EQ(system.GetDisplayDriver(), DisplayDriverGdi);
        system.SetFullScreen(FullScreenEnter);
        EXPECT_TRUE(system.IsFullScreen());
        system.SetFullScreen(FullScreenLeave);
        EXPECT_FALSE(system.IsFullScreen());
    }
    EXPECT_EQ(System::Instance(), nullptr);
}

} // namespace Ondrel::Test
