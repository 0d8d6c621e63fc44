// The settings page glue: key names and the pad-skin rows.
#include "engine/tests/EngineSandbox.h"
#include "modules/common/ConsoleSettingsPage.h"
#include "ui/propertytree/ListItem.h"

#include <gtest/gtest.h>

using ConsoleGlue::ConsoleSettingsPage;
using ConsoleGlue::KeyNameFallback;

namespace {

TEST(KeyNameTest, NamedKeysButtonsFunctionKeysAndTheFallback)
{
    struct Case {
        int code;
        char const *number;     // with KeyNameFallback::Number
        char const *systemName; // with KeyNameFallback::SystemName
    };
    Case const cases[] = {
        {0, "None", "None"},         {38, "Up", "Up"},          {40, "Down", "Down"},
        {37, "Left", "Left"},        {39, "Right", "Right"},    {111, "Num /", "Num /"},
        {19, "Pause", "Pause"},      {13, "Enter", "Enter"},    {112, "F1", "F1"},
        {135, "F24", "F24"},         {193, "Button1", "Button1"}, {207, "Button15", "Button15"},
        {192, "192", "`"},     {208, "208", "Key 208"},   {65, "65", "A"},
        {136, "136", "Key 136"},
        // Only the low byte names the key.
        {0x100 + 38, "Up", "Up"},    {0x200, "None", "None"},   {0x100 + 65, "65", "A"},
    };
    for (Case const &c : cases) {
        EXPECT_EQ(EngineTest::Narrow(ConsoleSettingsPage::GetKeyName(c.code, KeyNameFallback::Number)), c.number)
            << c.code;
        EXPECT_EQ(EngineTest::Narrow(ConsoleSettingsPage::GetKeyName(c.code, KeyNameFallback::SystemName)),
                  c.systemName)
            << c.code;
    }
}

// A page with nothing but the skin rows.
class SkinPage : public ConsoleSettingsPage {
public:
    using ConsoleSettingsPage::ConsoleSettingsPage;

protected:
    void OnInitDialog() override
    {
        SettingsPage::OnInitDialog();
        AddSkinItems();
        LoadValues();
    }
    void LoadValues() override { LoadPadSkin(); }
    void SaveValues() override { SavePadSkin(); }
};

class ConsoleSettingsPageTest : public EngineTest::Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        EngineTest::WriteFile(programFolder / "Skins/second.txt", "Quintar.Skin.1\nName=Second Pad\n");
        MakeEngine();
        settings.Set(L"PadSkin", L"Second Pad", false);
        page = std::make_unique<SkinPage>(&settings);
    }

    void TearDown() override
    {
        page.reset();
        Sandbox::TearDown();
    }

    QStringList SkinOptions()
    {
        return static_cast<ListItem *>(page->GetTree().GetItem(page->GetSkinRow()))->GetOptions();
    }

    PropertyMap settings;
    std::unique_ptr<SkinPage> page;

};

TEST_F(ConsoleSettingsPageTest, SkinRowsListEverySkinAndSelectTheSettingsOne)
{
    page->Show();
    ASSERT_NE(page->GetSkinRow(), nullptr);
    QTreeWidgetItem *category = page->GetSkinRow()->parent();
    ASSERT_NE(category, nullptr);
    EXPECT_EQ(page->GetTree().GetItem(category)->GetName(), "Skin");
    EXPECT_EQ(page->GetTree().GetItem(page->GetSkinRow())->GetName(), "Name");
    EXPECT_EQ(SkinOptions(), QStringList({"Quintar Default", "Second Pad"}));
    EXPECT_EQ(page->GetItemInt(page->GetSkinRow()), 1);

    // OK stores the chosen skin's name.
    page->SetItemInt(page->GetSkinRow(), 0);
    page->OnOK();
    EXPECT_EQ(EngineTest::Narrow(settings.GetString(L"PadSkin")), "Quintar Default");
}

TEST_F(ConsoleSettingsPageTest, ASkinNameNoSkinHasLeavesTheFirstSkinChosen)
{
    settings.Set(L"PadSkin", L"Second", false); // a prefix is not the name
    page->Show();
    EXPECT_EQ(page->GetItemInt(page->GetSkinRow()), 0);
    page->OnCancel();
    EXPECT_EQ(EngineTest::Narrow(settings.GetString(L"PadSkin")), "Second");
}

TEST_F(ConsoleSettingsPageTest, TheButtonDialogComesWithThePageUnshown)
{
    EXPECT_FALSE(page->GetButtonDialog().isVisible());
    EXPECT_FALSE(page->GetButtonDialog().IsOpen());
    // The page's own fallback names keys.
    EXPECT_EQ(EngineTest::Narrow(page->GetKeyName(65)), "65");
    SkinPage systemNames(&settings, KeyNameFallback::SystemName);
    EXPECT_EQ(EngineTest::Narrow(systemNames.GetKeyName(65)), "A");
}

} // namespace
