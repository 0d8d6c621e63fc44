// The cases of the settings page the 6502 and Z80 modules share
// (ConsoleRowsPage): its rows and their settings, and binding keys and
// joystick buttons through the Button Assignment dialog, on the module's
// own defaults. A module's test file includes this header and states its
// own page once, outside any namespace; that brings the cases of the values
// loaded from the settings store (ConsoleSettingsLoadCases.h) as well:
//
//   CONSOLE_ROWS_PAGE_CASES(Cindrel,                       // the console's namespace, the test names' prefix
//                           Cindrel::Test::CindrelSandbox, // a ModuleSandbox on the module
//                           Cindrel::CindrelModule,        // its ResetSettings gives the defaults
//                           Cindrel::CindrelSettingsPage, "NES")
#pragma once

#include "engine/tests/EngineSandbox.h"
#include "modules/common/ConsoleRowsPage.h"
#include "modules/common/tests/ConsoleSettingsLoadCases.h"
#include "platform/ondrel/Input.h"
#include "tools/testsupport/VirtualJoystick.h"
#include "ui/propertytree/PropertyTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ConsoleGlue::Test {

template <class ModuleUnderTest>
class ConsoleRowsPageTest : public ModuleUnderTest::Sandbox {
protected:
    static constexpr int kKeyX = 'X';

    void SetUp() override
    {
        ModuleUnderTest::Sandbox::SetUp();
        typename ModuleUnderTest::Module defaults;
        defaults.ResetSettings();
        settings = defaults.GetSettings();
        page = std::make_unique<typename ModuleUnderTest::Page>(&settings);
    }
    void TearDown() override
    {
        page.reset();
        ModuleUnderTest::Sandbox::TearDown();
    }

    static void Flush()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    PropertyRow ButtonRow(char const *name) const
    {
        for (int i = 0; i < ButtonRowsPage::kButtonCount; ++i) {
            if (ZorvanEngine::Test::Narrow(ButtonRowsPage::kButtons[i].name) == name)
                return page->GetButtonRow(i);
        }
        return nullptr;
    }

    std::string RowText(PropertyRow row) const { return ZorvanEngine::Test::Narrow(page->GetItemString(row)); }

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
        Ondrel::Input *input = this->engine->GetInput();
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

    QWidget *View() const { return this->view.get(); }

    PropertyMap settings;
    std::unique_ptr<typename ModuleUnderTest::Page> page;
    QuintarTest::VirtualJoystick joystick;
};

TYPED_TEST_SUITE_P(ConsoleRowsPageTest);

TYPED_TEST_P(ConsoleRowsPageTest, ShowsEveryRowFromTheSettings)
{
    PropertyMap &settings = this->settings;
    auto &page = this->page;
    settings.Set(L"ScreenSize", L"Auto Scale", false);
    settings.Set(L"UseBlend", true, false);
    settings.Set(L"SoundChannel2", false, false);
    settings.Set(L"FrameSkip", 5, false);
    settings.Set(L"SoundRate", 22050, false);
    page->Show(this->View());
    EXPECT_EQ(ZorvanEngine::Test::Narrow(page->GetTitle()), TypeParam::kTitle);
    EXPECT_EQ(page->GetItemInt(page->m_screenSize), 11);
    EXPECT_NE(page->GetItemInt(page->m_smoothing), 0);
    EXPECT_NE(page->GetItemInt(page->m_sound), 0);
    EXPECT_EQ(page->GetItemInt(page->m_quality), 1);
    EXPECT_NE(page->GetItemInt(page->m_channel[1]), 0);
    EXPECT_EQ(page->GetItemInt(page->m_channel[2]), 0);
    EXPECT_EQ(page->GetItemInt(page->m_frameSkip), 5);
    EXPECT_NE(page->GetItemInt(page->m_autoSync), 0);
    EXPECT_EQ(this->RowText(this->ButtonRow("Up")), "Up");
    EXPECT_EQ(this->RowText(this->ButtonRow("Start")), "Enter");
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

TYPED_TEST_P(ConsoleRowsPageTest, AnUnknownSoundRateShowsHighAndIsSavedAs44100)
{
    PropertyMap &settings = this->settings;
    auto &page = this->page;
    settings.Set(L"SoundRate", 32000, false);
    page->Show(this->View());
    EXPECT_EQ(page->GetItemInt(page->m_quality), 0);
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"SoundRate"), 44100);

    settings.Set(L"SoundRate", 11025, false);
    page->Show(this->View());
    EXPECT_EQ(page->GetItemInt(page->m_quality), 2);
    page->SetItemInt(page->m_quality, 1);
    page->GetTree().SetCheck(page->m_noise, 0);
    page->SetItemInt(page->m_frameSkip, 8);
    page->SetItemInt(page->m_screenSize, 3);
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"SoundRate"), 22050);
    EXPECT_FALSE(settings.GetBoolean(L"Noise"));
    EXPECT_EQ(settings.GetInt(L"FrameSkip"), 8);
    EXPECT_EQ(ZorvanEngine::Test::Narrow(settings.GetString(L"ScreenSize")), "115%");
}

TYPED_TEST_P(ConsoleRowsPageTest, AHandEditedFrameSkipIsShownWithinItsChoices)
{
    auto &page = this->page;
    this->settings.Set(L"FrameSkip", 400, false);
    page->Show(this->View());
    EXPECT_EQ(page->GetItemInt(page->m_frameSkip), 8);
    page->OnCancel();
    EXPECT_EQ(this->settings.GetInt(L"FrameSkip"), 400);
}

TYPED_TEST_P(ConsoleRowsPageTest, ABindingReachesTheSettingsOnlyWithOk)
{
    PropertyMap &settings = this->settings;
    auto &page = this->page;
    int const kKeyX = TestFixture::kKeyX;
    int const up = settings.GetInt(L"vkUp");
    page->Show(this->View());
    this->Capture(this->ButtonRow("Up"), kKeyX);
    EXPECT_EQ(this->RowText(this->ButtonRow("Up")), "X");
    EXPECT_EQ(settings.GetInt(L"vkUp"), up);
    page->OnCancel();
    EXPECT_EQ(settings.GetInt(L"vkUp"), up);

    // Opened again, the cancelled binding is gone: OK keeps the old key.
    page->Show(this->View());
    EXPECT_EQ(this->RowText(this->ButtonRow("Up")), "Up");
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"vkUp"), up);

    page->Show(this->View());
    this->Capture(this->ButtonRow("Up"), kKeyX);
    page->OnOK();
    EXPECT_EQ(settings.GetInt(L"vkUp"), kKeyX);
    EXPECT_EQ(settings.GetInt(L"jsUp"), 0);
}

TYPED_TEST_P(ConsoleRowsPageTest, AJoystickButtonBindsOnlyTheJoystickSetting)
{
    PropertyMap &settings = this->settings;
    int const start = settings.GetInt(L"vkStart");
    this->page->Show(this->View());
    ASSERT_TRUE(this->joystick.IsOpen()) << SDL_GetError();
    this->Capture(this->ButtonRow("Start"), 0, 5);
    this->page->OnOK();
    EXPECT_EQ(settings.GetInt(L"jsStart"), 5);
    EXPECT_EQ(settings.GetInt(L"vkStart"), start);
}

TYPED_TEST_P(ConsoleRowsPageTest, ResettingARowUnbindsItAfterAYes)
{
    auto &page = this->page;
    std::vector<int> answers = {IDNO, IDYES};
    Zorvan::setMessagePresenter([&](Zorvan::String const &text, Zorvan::String const &caption, unsigned style) {
        this->messages.push_back(ZorvanEngine::Test::Narrow(text));
        this->captions.push_back(ZorvanEngine::Test::Narrow(caption));
        EXPECT_EQ(style & MB_TYPEMASK, MB_YESNO);
        int const answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    page->Show(this->View());
    PropertyRow const start = this->ButtonRow("Start");
    page->GetTree().setCurrentItem(start);
    PropertyItem *item = page->GetTree().GetItem(start);
    EXPECT_EQ(page->OnPropertyTreeNotify(PTN_RESET, item), 0);
    EXPECT_EQ(this->RowText(start), "Enter");
    EXPECT_EQ(page->OnPropertyTreeNotify(PTN_RESET, item), 1);
    EXPECT_EQ(this->RowText(start), "None");
    ASSERT_EQ(this->messages.size(), 2u);
    EXPECT_EQ(this->messages[0], "Are you sure you want to reset this property?");
    EXPECT_EQ(this->captions[0], "");
    page->OnOK();
    EXPECT_EQ(this->settings.GetInt(L"vkStart"), 0);
    EXPECT_EQ(this->settings.GetInt(L"jsStart"), 25);
}

TYPED_TEST_P(ConsoleRowsPageTest, OnlyButtonRowsOpenTheDialog)
{
    auto &page = this->page;
    page->Show(this->View());
    EXPECT_EQ(this->Browse(page->m_screenSize), 0);
    EXPECT_FALSE(page->GetButtonDialog().IsOpen());
    EXPECT_EQ(this->Browse(this->ButtonRow("B")), 1);
    EXPECT_TRUE(page->GetButtonDialog().IsOpen());
    page->GetButtonDialog().OnCancel();
    TestFixture::Flush();
    EXPECT_FALSE(page->GetButtonDialog().IsOpen());
    page->OnOK();
    EXPECT_EQ(this->settings.GetInt(L"jsB"), 5);
}

REGISTER_TYPED_TEST_SUITE_P(ConsoleRowsPageTest, ShowsEveryRowFromTheSettings,
                            AnUnknownSoundRateShowsHighAndIsSavedAs44100, AHandEditedFrameSkipIsShownWithinItsChoices,
                            ABindingReachesTheSettingsOnlyWithOk, AJoystickButtonBindsOnlyTheJoystickSetting,
                            ResettingARowUnbindsItAfterAYes, OnlyButtonRowsOpenTheDialog);

} // namespace ConsoleGlue::Test

// The module's page under the prefix Name, which is also the console's
// namespace: its description for the page's cases in Name::Test (ctest
// names the typed cases by the description's full name), the module object
// loaded as the engine loads it for the stored values' cases, and both
// instantiations in the suites' namespace.
#define CONSOLE_ROWS_PAGE_CASES(Name, SandboxT, ModuleT, PageT, Title)                      \
    namespace Name::Test {                                                                  \
    namespace {                                                                             \
    struct Name##RowsPage {                                                                 \
        using Sandbox = SandboxT;                                                           \
        using Module = ModuleT;                                                             \
        using Page = PageT;                                                                 \
        static constexpr char const *kTitle = Title;                                        \
    };                                                                                      \
    using Name##Store = ConsoleGlue::Test::ModuleObjectStore<ModuleT, SandboxT>;            \
    }                                                                                       \
    }                                                                                       \
    namespace ConsoleGlue::Test {                                                           \
    INSTANTIATE_TYPED_TEST_SUITE_P(Name, ConsoleRowsPageTest, Name::Test::Name##RowsPage);  \
    INSTANTIATE_TYPED_TEST_SUITE_P(Name, ConsoleSettingsLoadTest, Name::Test::Name##Store); \
    }
