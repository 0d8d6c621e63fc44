// The module's settings page: its rows and their settings, and binding keys
// and joystick buttons through the Button Assignment dialog.
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "tools/testsupport/VirtualJoystick.h"
#include "platform/ondrel/Input.h"
#include "ui/propertytree/PropertyTree.h"

namespace Cindrel::Test {
namespace {

constexpr int kKeyX = 'X';

class CindrelSettingsPageTest : public CindrelSandbox {
protected:
    void SetUp() override
    {
        CindrelSandbox::SetUp();
        CindrelModule defaults;
        defaults.ResetSettings();
        settings = defaults.GetSettings();
        page = std::make_unique<CindrelSettingsPage>(&settings);
    }
    void TearDown() override
    {
        page.reset();
        CindrelSandbox::TearDown();
    }

    static void Flush()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    PropertyRow ButtonRow(char const *name) const
    {
        for (int i = 0; i < ConsoleGlue::ButtonRowsPage::kButtonCount; ++i) {
            if (EngineTest::Narrow(ConsoleGlue::ButtonRowsPage::kButtons[i].name) == name)
                return page->GetButtonRow(i);
        }
        return nullptr;
    }

    std::string RowText(PropertyRow row) const { return EngineTest::Narrow(page->GetItemString(row)); }

    // Selects the row and browses it, as a tap on its button does.
    long Browse(PropertyRow row)
    {
        page->GetTree().setCurrentItem(row);
        return page->OnPropertyTreeNotify(PTN_BROWSE, page->GetTree().GetItem(row));
    }

    // The dialog over the row captures a key or a joystick button.
    void Capture(PropertyRow row, int key, int joystickButton = -1)
    {
        ASSERT_EQ(Browse(row), 1);
        ButtonAssignDialog &dialog = page->GetButtonDialog();
        ASSERT_TRUE(dialog.IsOpen());
        Ondrel::Input *input = engine->GetInput();
        if (joystickButton >= 0)
            joystick.Set(joystickButton, true);
        else
            input->KeyEvent(key, true);
        dialog.Poll();
        Flush();
        if (joystickButton >= 0)
            joystick.Set(joystickButton, false);
        else
            input->KeyEvent(key, false);
        ASSERT_FALSE(dialog.IsOpen());
    }

    PropertyMap settings;
    std::unique_ptr<CindrelSettingsPage> page;
    QuintarTest::VirtualJoystick joystick;
};

TEST_F(CindrelSettingsPageTest, ShowsEveryRowFromTheSettings)
{
    settings.Set(L"ScreenSize", L"Auto Scale", false);
    settings.Set(L"UseBlend", true, false);
    settings.Set(L"SoundChannel2", false, false);
    settings.Set(L"FrameSkip", 5, false);
    settings.Set(L"SoundRate", 22050, false);
    page->Show(view.get());
    EXPECT_EQ(EngineTest::Narrow(page->GetTitle()), "NES");
    EXPECT_EQ(page->GetItemInt(page->m_screenSize), 11);
    EXPECT_NE(page->GetItemInt(page->m_smoothing), 0);
    EXPECT_NE(page->GetItemInt(page->m_sound), 0);
    EXPECT_EQ(page->GetItemInt(page->m_quality), 1);
    EXPECT_NE(page->GetItemInt(page->m_channel[1]), 0);
    EXPECT_EQ(page->GetItemInt(page->m_channel[2]), 0);
    EXPECT_EQ(page->GetItemInt(page->m_frameSkip), 5);
    EXPECT_NE(page->GetItemInt(page->m_autoSync), 0);
    EXPECT_EQ(RowText(ButtonRow("Up")), "Up");
    EXPECT_EQ(RowText(ButtonRow("Start")), "Enter");
    // The tree: four categories, then the skin rows.
    PropertyTree &tree = page->GetTree();
    ASSERT_GE(tree.topLevelItemCount(), 5);
    char const *const categories[] = {"Display", "Sound", "Speed", "Input", "Skin"};
    int const children[] = {2, 7, 2, 8, 1};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tree.topLevelItem(i)->text(0).toStdString(), categories[i]);
        EXPECT_EQ(tree.topLevelItem(i)->childCount(), children[i]) << categories[i];
    }
    page->OnCancel();
}

TEST_F(CindrelSettingsPageTest, AnUnknownSoundRateShowsHighAndIsSavedAs44100)
{
    settings.Set(L"SoundRate", 32000, false);
    page->Show(view.get());
    EXPECT_EQ(page->GetItemInt(page->m_quality), 0);
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"SoundRate"), 44100);

    settings.Set(L"SoundRate", 11025, false);
    page->Show(view.get());
    EXPECT_EQ(page->GetItemInt(page->m_quality), 2);
    page->SetItemInt(page->m_quality, 1);
    page->GetTree().SetCheck(page->m_noise, 0);
    page->SetItemInt(page->m_frameSkip, 8);
    page->SetItemInt(page->m_screenSize, 3);
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"SoundRate"), 22050);
    EXPECT_FALSE(settings.GetBoolean(L"Noise"));
    EXPECT_EQ(settings.GetInt(L"FrameSkip"), 8);
    EXPECT_EQ(EngineTest::Narrow(settings.GetString(L"ScreenSize")), "115%");
}

TEST_F(CindrelSettingsPageTest, AHandEditedFrameSkipIsShownWithinItsChoices)
{
    settings.Set(L"FrameSkip", 400, false);
    page->Show(view.get());
    EXPECT_EQ(page->GetItemInt(page->m_frameSkip), 8);
    page->OnCancel();
    EXPECT_EQ(settings.GetInt(L"FrameSkip"), 400);
}

TEST_F(CindrelSettingsPageTest, ABindingReachesTheSettingsOnlyWithOk)
{
    int const up = settings.GetInt(L"vkUp");
    page->Show(view.get());
    Capture(ButtonRow("Up"), kKeyX);
    EXPECT_EQ(RowText(ButtonRow("Up")), "88");
    EXPECT_EQ(settings.GetInt(L"vkUp"), up);
    page->OnCancel();
    EXPECT_EQ(settings.GetInt(L"vkUp"), up);

    // Opened again, the cancelled binding is gone: OK keeps the old key.
    page->Show(view.get());
    EXPECT_EQ(RowText(ButtonRow("Up")), "Up");
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"vkUp"), up);

    page->Show(view.get());
    Capture(ButtonRow("Up"), kKeyX);
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"vkUp"), kKeyX);
    EXPECT_EQ(settings.GetInt(L"jsUp"), 0);
}

TEST_F(CindrelSettingsPageTest, AJoystickButtonBindsOnlyTheJoystickSetting)
{
    int const start = settings.GetInt(L"vkStart");
    page->Show(view.get());
    ASSERT_TRUE(joystick.IsOpen()) << SDL_GetError();
    Capture(ButtonRow("Start"), 0, 5);
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"jsStart"), 5);
    EXPECT_EQ(settings.GetInt(L"vkStart"), start);
}

TEST_F(CindrelSettingsPageTest, ResettingARowUnbindsItAfterAYes)
{
    std::vector<int> answers = {IDNO, IDYES};
    Zorvan::setMessagePresenter([&](Zorvan::String const &text, Zorvan::String const &caption, unsigned style) {
        messages.push_back(EngineTest::Narrow(text));
        captions.push_back(EngineTest::Narrow(caption));
        EXPECT_EQ(style & MB_TYPEMASK, MB_YESNO);
        int const answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    page->Show(view.get());
    PropertyRow const start = ButtonRow("Start");
    page->GetTree().setCurrentItem(start);
    PropertyItem *item = page->GetTree().GetItem(start);
    EXPECT_EQ(page->OnPropertyTreeNotify(PTN_RESET, item), 0);
    EXPECT_EQ(RowText(start), "Enter");
    EXPECT_EQ(page->OnPropertyTreeNotify(PTN_RESET, item), 1);
    EXPECT_EQ(RowText(start), "None");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Are you sure you want to reset this property?");
    EXPECT_EQ(captions[0], "");
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"vkStart"), 0);
    EXPECT_EQ(settings.GetInt(L"jsStart"), 25);
}

TEST_F(CindrelSettingsPageTest, OnlyButtonRowsOpenTheDialog)
{
    page->Show(view.get());
    EXPECT_EQ(Browse(page->m_screenSize), 0);
    EXPECT_FALSE(page->GetButtonDialog().IsOpen());
    EXPECT_EQ(Browse(ButtonRow("B")), 1);
    EXPECT_TRUE(page->GetButtonDialog().IsOpen());
    page->GetButtonDialog().OnCancel();
    Flush();
    EXPECT_FALSE(page->GetButtonDialog().IsOpen());
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"jsB"), 5);
}

} // namespace
} // namespace Cindrel::Test
