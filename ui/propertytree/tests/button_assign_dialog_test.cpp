#include "platform/ondrel/Input.h"
#include "ui/propertytree/ButtonAssignDialog.h"
#include "engine/ModelessDialogOwner.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace PropertyTreeUi::Test {
namespace {

// Stands in for the keyboard and the controllers.
struct FakeInput : Ondrel::Input {
    std::set<int> keys, buttons;
    int starts = 0, stops = 0, opens = 0, closes = 0, updates = 0;
    void Start() override { ++starts; }
    void Stop() override { ++stops; }
    void Open() override { ++opens; }
    void Close() override { ++closes; }
    void Update() override { ++updates; }
    int IsKeyDown(int key) const override { return keys.count(key) ? 1 : 0; }
    int IsJoystickButtonDown(int button) const override { return buttons.count(button) ? 1 : 0; }
};

struct OwnerPage : QWidget, ModelessDialogOwner {
    std::vector<std::pair<int, int>> closed;
    void OnDialogClosed(int dialogId, int code) override { closed.emplace_back(dialogId, code); }
};

class ButtonAssignDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        owner.resize(300, 400);
        owner.show();
        dialog.Show(&owner);
    }
    static void Flush() { QCoreApplication::processEvents(); }

    FakeInput input;
    OwnerPage owner;
    ButtonAssignDialog dialog{&input};
};

TEST_F(ButtonAssignDialogTest, OpensWaitingWithTheOwnerDisabled)
{
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(dialog.windowTitle(), "Input Mapping");
    EXPECT_FALSE(owner.isEnabled());
    // The window manager keeps it above the disabled owner.
    EXPECT_EQ(dialog.windowType(), Qt::Dialog);
    ASSERT_NE(dialog.windowHandle(), nullptr);
    EXPECT_EQ(dialog.windowHandle()->transientParent(), owner.windowHandle());
    EXPECT_EQ(dialog.m_key, 0);
    EXPECT_EQ(dialog.m_joystickButton, 25);
    EXPECT_EQ(input.starts, 1);
    EXPECT_EQ(input.opens, 1);
    dialog.Poll();
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(input.updates, 1);
    dialog.OnCancel();
}

TEST_F(ButtonAssignDialogTest, ReservedKeysAreNeverCaptured)
{
    for (int code : {0, 91, 92, 130, 131, 132, 134})
        EXPECT_TRUE(ButtonAssignDialog::IsReservedKey(code)) << code;
    for (int code : {13, 38, 90, 93, 133, 255})
        EXPECT_FALSE(ButtonAssignDialog::IsReservedKey(code)) << code;

    input.keys = {91};
    dialog.Poll();
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(dialog.m_key, 0);
    // Typed keys follow the same rule: the left system key is code 91.
    QTest::keyClick(&dialog, Qt::Key_Super_L);
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(dialog.m_key, 0);
    // Code 133 is not reserved.
    input.keys = {91, 133};
    dialog.Poll();
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(dialog.m_key, 133);
}

TEST_F(ButtonAssignDialogTest, KeyAndButtonInOnePollAreBothRecorded)
{
    input.keys = {40, 65};
    input.buttons = {3, 7};
    dialog.Poll();
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.m_key, 65);
    EXPECT_EQ(dialog.m_joystickButton, 7);
    EXPECT_EQ(dialog.m_result, ButtonAssignDialog::Captured);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(input.closes, 1);
    EXPECT_EQ(input.stops, 1);
    EXPECT_TRUE(owner.closed.empty());
    Flush();
    ASSERT_EQ(owner.closed.size(), 1u);
    EXPECT_EQ(owner.closed[0], std::make_pair(257, 2));
    // Closing happens once.
    dialog.Poll();
    dialog.OnCancel();
    Flush();
    EXPECT_EQ(owner.closed.size(), 1u);
    EXPECT_EQ(dialog.m_result, ButtonAssignDialog::Captured);
}

TEST_F(ButtonAssignDialogTest, CancelAndUnbind)
{
    QTest::mouseClick(dialog.findChild<QPushButton*>("cancel"), Qt::LeftButton);
    EXPECT_EQ(dialog.m_key, 0);
    EXPECT_EQ(dialog.m_joystickButton, 25);
    EXPECT_EQ(dialog.m_result, 1);
    Flush();
    EXPECT_EQ(owner.closed.size(), 1u);

    dialog.Show(&owner);
    QTest::mouseClick(dialog.findChild<QPushButton*>("unbind"), Qt::LeftButton);
    EXPECT_EQ(dialog.m_result, 2);
    EXPECT_FALSE(dialog.IsOpen());
    Flush();
    EXPECT_EQ(owner.closed.size(), 2u);
}

TEST_F(ButtonAssignDialogTest, KeyPressedAnywhereIsCaptured)
{
    QTest::keyClick(&dialog, Qt::Key_Up);
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(dialog.m_key, 38);
    EXPECT_EQ(dialog.m_result, 0);
}

TEST_F(ButtonAssignDialogTest, TimerPollsTheInput)
{
    input.buttons = {23};
    QTest::qWait(3 * ButtonAssignDialog::PollMilliseconds);
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(dialog.m_joystickButton, 23);
    EXPECT_EQ(dialog.m_key, 0);
}

} // namespace
} // namespace PropertyTreeUi::Test
