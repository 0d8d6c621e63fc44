// The settings page glue: key names and the pad-skin rows.
#include "engine/tests/EngineSandbox.h"
#include "modules/common/ConsoleSettingsPage.h"
#include "ui/propertytree/ListItem.h"

#include <gtest/gtest.h>

namespace ConsoleGlue::Test {
namespace {

// The names the page shows for bound keys: the few of its own, then the
// keyboard's names; stored settings keep their codes.
TEST(KeyNameTest, NamedKeysButtonsFunctionKeysAndKeyboardKeys)
{
    struct Case {
        int code;
        char const *name;
    };
    Case const cases[] = {
        {0, "None"},      {38, "Up"},        {40, "Down"},      {37, "Left"},       {39, "Right"},
        {111, "Num /"},   {19, "Pause"},     {13, "Enter"},     {112, "F1"},        {135, "F24"},
        {193, "Button1"}, {207, "Button15"},
        // Keys a keyboard has, by their names instead of their numbers.
        {'X', "X"},       {'A', "A"},        {'7', "7"},        {32, "Space"},      {9, "Tab"},
        {27, "Esc"},      {8, "Backspace"},  {16, "Shift"},     {17, "Ctrl"},       {18, "Alt"},
        {96, "Num 0"},    {105, "Num 9"},    {106, "Num *"},    {107, "Num +"},     {109, "Num -"},
        {110, "Num ."},   {192, "`"},
        // Codes no key has keep their numbers.
        {208, "208"},     {136, "136"},
        // Only the low byte names the key.
        {0x100 + 38, "Up"}, {0x200, "None"}, {0x100 + 'X', "X"},
    };
    for (Case const &c : cases)
        EXPECT_EQ(ZorvanEngine::Test::Narrow(ConsoleSettingsPage::GetKeyName(c.code)), c.name) << c.code;
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

class ConsoleSettingsPageTest : public ZorvanEngine::Test::Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        ZorvanEngine::Test::WriteFile(programFolder / "Skins/second.txt", "Quintar.Skin.1\nName=Second Pad\n");
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
    EXPECT_EQ(ZorvanEngine::Test::Narrow(settings.GetString(L"PadSkin")), "Quintar Default");
}

TEST_F(ConsoleSettingsPageTest, ASkinNameNoSkinHasLeavesTheFirstSkinChosen)
{
    settings.Set(L"PadSkin", L"Second", false); // a prefix is not the name
    page->Show();
    EXPECT_EQ(page->GetItemInt(page->GetSkinRow()), 0);
    page->OnCancel();
    EXPECT_EQ(ZorvanEngine::Test::Narrow(settings.GetString(L"PadSkin")), "Second");
}

TEST_F(ConsoleSettingsPageTest, TheButtonDialogComesWithThePageUnshown)
{
    EXPECT_FALSE(page->GetButtonDialog().isVisible());
    EXPECT_FALSE(page->GetButtonDialog().IsOpen());
}

} // namespace
} // namespace ConsoleGlue::Test
