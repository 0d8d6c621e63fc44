// The input base: direction keys turned with the screen, records that share
// a button, polling against key events, joystick buttons and pad taps.
#include "engine/BaseInput.h"
#include "engine/tests/BaseMediaFixture.h"
#include "platform/ondrel/Input.h"

#include <QKeyEvent>
#include <QTest>

namespace ZorvanEngine::Test {
namespace {

constexpr short kUp = 38, kDown = 40, kLeft = 37, kRight = 39, kEnter = 13, kKeyA = 65;
constexpr int kNoButton = 25;

class BaseInputTest : public MediaSandbox {
protected:
    void SetUp() override
    {
        MediaSandbox::SetUp();
        input = engine->GetInput();
        ASSERT_NE(input, nullptr);
        base = std::make_unique<BaseInput>(module.get());
        module->m_input = base.get();
    }

    void TearDown() override
    {
        module->m_input = nullptr;
        base.reset();
        MediaSandbox::TearDown();
    }

    // The usual four directions, then Start on Enter.
    void RegisterDirections()
    {
        base->ClearKeyMap();
        base->RegisterKey(0x40, 0x0800, kUp, kNoButton);
        base->RegisterKey(0x80, 0x0400, kDown, kNoButton);
        base->RegisterKey(0x20, 0x0200, kLeft, kNoButton);
        base->RegisterKey(0x10, 0x0100, kRight, kNoButton);
        base->RegisterKey(0x08, 0x1000, kEnter, kNoButton);
    }

    Ondrel::Input *input = nullptr;
    std::unique_ptr<BaseInput> base;
};

TEST_F(BaseInputTest, DirectionKeysFollowTheDisplaysRotation)
{
    struct Case {
        int rotation;
        short keys[4]; // what records 0-3 (Up, Down, Left, Right) hold afterwards
    } const cases[] = {
        {0, {kUp, kDown, kLeft, kRight}},
        {1, {kRight, kLeft, kUp, kDown}},
        {2, {kDown, kUp, kRight, kLeft}},
        {3, {kLeft, kRight, kDown, kUp}},
        {4, {kUp, kDown, kLeft, kRight}},
    };
    for (Case const &c : cases) {
        engine->GetDisplay()->SetRotation(c.rotation);
        RegisterDirections();
        base->UpdateSettings();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(base->m_keys[size_t(i)].virtualKey, c.keys[i]) << "rotation " << c.rotation << " record " << i;
        EXPECT_EQ(base->m_keys[4].virtualKey, kEnter) << "rotation " << c.rotation;
    }

    // Fewer than four records are left alone.
    engine->GetDisplay()->SetRotation(1);
    base->ClearKeyMap();
    base->RegisterKey(1, 0, kUp, kNoButton);
    base->RegisterKey(2, 0, kDown, kNoButton);
    base->RegisterKey(4, 0, kLeft, kNoButton);
    base->UpdateSettings();
    EXPECT_EQ(base->m_keys[0].virtualKey, kUp);
    EXPECT_EQ(base->m_keys[1].virtualKey, kDown);
    EXPECT_EQ(base->m_keys[2].virtualKey, kLeft);
}

TEST_F(BaseInputTest, ALaterRecordForTheSameButtonDecides)
{
    base->Open();
    struct Case {
        bool firstDown, secondDown;
        unsigned state;
    } const cases[] = {
        {true, false, 0x0}, {false, true, 0x1}, {true, true, 0x1}, {false, false, 0x0},
    };
    base->RegisterKey(0x1, 0, kEnter, kNoButton);
    base->RegisterKey(0x1, 0, kKeyA, kNoButton);
    base->RegisterKey(0x2, 0, kUp, kNoButton);
    input->KeyEvent(kUp, true);
    for (Case const &c : cases) {
        input->KeyEvent(kEnter, c.firstDown);
        input->KeyEvent(kKeyA, c.secondDown);
        EXPECT_EQ(base->GetState(), c.state | 0x2) << c.firstDown << c.secondDown;
    }
}

TEST_F(BaseInputTest, PollingReadsTheLiveKeyStateInsteadOfKeyEvents)
{
    base->RegisterKey(0x1, 0, kLeft, kNoButton);
    base->RegisterKey(0x2, 0, kRight, 3);
    base->Open();

    struct Case {
        char const *what;
        bool polling;
        bool liveOnly; // the key is held, but its key event was taken back
        bool eventOnly;
        bool button3;
        unsigned state;
    } const cases[] = {
        {"events: live state ignored", false, true, false, false, 0x0},
        {"events: event counts", false, false, true, false, 0x1},
        {"polling: live state counts", true, true, false, false, 0x1},
        {"polling: event alone ignored", true, false, true, false, 0x0},
        {"events: joystick button", false, false, false, true, 0x2},
        {"polling: joystick button", true, false, false, true, 0x2},
    };
    for (Case const &c : cases) {
        engine->GetSettings().Set(L"InputPolling", c.polling, false);
        base->UpdateSettings();
        if (c.liveOnly) {
            QTest::keyPress(view.get(), Qt::Key_Left);
            input->KeyEvent(kLeft, false);
        }
        if (c.eventOnly)
            input->KeyEvent(kLeft, true);
        input->HardwareKeyEvent(3, c.button3);
        EXPECT_EQ(base->GetState(), c.state) << c.what;
        QTest::keyRelease(view.get(), Qt::Key_Left);
        input->KeyEvent(kLeft, false);
        input->HardwareKeyEvent(3, false);
    }
}

TEST_F(BaseInputTest, PadTapsPressTheButtonsOfTheirControls)
{
    engine->GetSettings().Set(L"FullScreen", true, true);
    engine->GetPadSkinMgr().SetActiveSkin(nullptr); // the built-in skin: 240 x 192
    RegisterDirections();
    base->Open();
    ASSERT_TRUE(base->m_padTouch);
    ASSERT_NE(base->m_padSkin, nullptr);

    // The view is 320 high; the pad is the skin's upper 96 rows at its bottom.
    int const padTop = 320 - 96;
    struct Case {
        char const *what;
        Ondrel::Point stylus;
        bool down;
        unsigned state;
    } const cases[] = {
        {"north-east (0x0900) presses Up and Right", {75, padTop + 30}, true, 0x40 | 0x10},
        {"east alone", {80, padTop + 54}, true, 0x10},
        {"start", {134, padTop + 88}, true, 0x08},
        {"the cross's centre is no control", {50, padTop + 54}, true, 0x0},
        {"above the pad", {75, padTop - 10}, true, 0x0},
        {"stylus up", {75, padTop + 30}, false, 0x0},
    };
    for (Case const &c : cases) {
        input->SetStylusPoint(c.stylus);
        input->SetStylusDown(c.down);
        EXPECT_EQ(base->GetState(), c.state) << c.what;
    }

    // Without full screen there is no pad to tap.
    engine->GetSettings().Set(L"FullScreen", false, true);
    base->UpdateSettings();
    input->SetStylusPoint(Ondrel::Point{75, padTop + 30});
    input->SetStylusDown(true);
    EXPECT_EQ(base->GetState(), 0u);
}

TEST_F(BaseInputTest, CloseOnlyClosesTheInputOfTheActiveModule)
{
    base->Open();
    ASSERT_TRUE(input->IsOpen());
    engine->m_activeModule = nullptr;
    base->Close();
    EXPECT_TRUE(input->IsOpen());
    engine->m_activeModule = module.get();
    base->Close();
    EXPECT_FALSE(input->IsOpen());
}

TEST_F(BaseInputTest, PausedInputReadsEveryKeyAsUp)
{
    base->RegisterKey(0x1, 0, kUp, kNoButton);
    base->Open();
    input->KeyEvent(kUp, true);
    EXPECT_EQ(base->GetState(), 0x1u);
    base->Pause();
    EXPECT_EQ(base->GetState(), 0x0u);
    base->Resume();
    input->KeyEvent(kUp, true);
    EXPECT_EQ(base->GetState(), 0x1u);
}

} // namespace
} // namespace ZorvanEngine::Test
