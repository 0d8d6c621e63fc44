// The module's settings through the real plug-in: values in the key store
// that the module cannot use (ConsoleSettingsLoadCases.h), and the settings
// page's rows, bindings, reset, OK and Cancel.
#include "modules/common/ConsoleSettingsPage.h"
#include "modules/common/tests/ConsoleSettingsLoadCases.h"
#include "modules/tavrin/testing/TestImage.h"
#include "modules/tavrin/module/tests/PluginSandbox.h"
#include "ui/propertytree/ButtonAssignDialog.h"
#include "ui/propertytree/SettingsPage.h"

#include <climits>
#include <functional>

namespace Tavrin::Test {
namespace {

class TavrinSettingsTest : public TavrinModuleTest {
protected:
    // The module's settings as the user left them in the key store.
    void Store(std::function<void(PropertyMap &)> const &edit)
    {
        ZorvanEngine::Module *module = engine->OpenModule(0);
        edit(module->GetSettings());
        module->SaveSettings();
        engine->CloseModule(module);
    }
    int DefaultKey(int index) const { return engine->GetInput()->GetDefaultKeys()[index]; }
};

TEST_F(TavrinSettingsTest, AGameRunsOnWhatWasLeftOfUnusableValues)
{
    engine->GetSettings().Set(L"Sound", true, false);
    Store([](PropertyMap &s) {
        s.Set(L"FrameSync", false, false);
        s.Set(L"FrameSkip", INT_MAX, false);
        s.Set(L"Sound", true, false);
        s.Set(L"SoundRate", INT_MAX, false);
        s.Set(L"vkA", 0x141, false);
        s.Set(L"ScreenSize", L"huge", false);
    });
    ASSERT_TRUE(engine->RunFile(Wide(Image("spin.gba", Tavrin::SpinningImage(0x4000))))) << Console();
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(Active().RunFrame());
    EXPECT_EQ(words->SkipPeriod(), 4u) << "the default: three frames skipped for each drawn";
    ASSERT_TRUE(Active().GetSound()->IsOpen());
    EXPECT_EQ(Active().GetSound()->m_rate, 44100);
    // A is on its default key again.
    engine->GetInput()->KeyEvent(DefaultKey(5), true);
    ASSERT_TRUE(Active().RunFrame());
    EXPECT_EQ(words->Read16(0x04000130), 0x3FEu);
}

// The page shown over a module of the engine, its rows found by name.
class TavrinPageTest : public TavrinSettingsTest {
protected:
    void SetUp() override
    {
        TavrinSettingsTest::SetUp();
        // A second pad skin beside the built-in one.
        WriteFile(programFolder / "Skins/second.txt", "Quintar.Skin.1\nName=Second Skin\n");
        MakeEngine().LoadModules();
        module = engine->OpenModule(0);
    }
    void TearDown() override
    {
        if (module)
            engine->CloseModule(module);
        TavrinSettingsTest::TearDown();
    }

    SettingsPage &Show()
    {
        module->ShowProperties();
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && widget->findChild<QTreeWidget *>("tree"))
                return *static_cast<SettingsPage *>(widget);
        ADD_FAILURE() << "no page shown";
        throw std::runtime_error("no page shown");
    }
    static PropertyRow Row(SettingsPage &page, char const *name)
    {
        for (QTreeWidgetItemIterator it(&page.GetTree()); *it; ++it)
            if ((*it)->text(0) == name)
                return *it;
        ADD_FAILURE() << "no row " << name;
        return nullptr;
    }
    static std::string Text(SettingsPage &page, char const *name)
    {
        return RowText(&page.GetTree(), name).toStdString();
    }
    static long Notify(SettingsPage &page, char const *name, int code)
    {
        PropertyRow const row = Row(page, name);
        page.GetTree().setCurrentItem(row);
        return page.OnPropertyTreeNotify(code, page.GetTree().GetItem(row));
    }
    // The Button Assignment dialog over a row takes a key.
    void Assign(SettingsPage &page, char const *name, int key)
    {
        ASSERT_EQ(Notify(page, name, PTN_BROWSE), 1) << name;
        ButtonAssignDialog &dialog = static_cast<ConsoleGlue::ConsoleSettingsPage &>(page).GetButtonDialog();
        ASSERT_TRUE(dialog.IsOpen());
        engine->GetInput()->KeyEvent(key, true);
        dialog.Poll();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        engine->GetInput()->KeyEvent(key, false);
        ASSERT_FALSE(dialog.IsOpen());
    }
    // The answers the yes/no question gets, in order.
    void Answer(std::vector<int> answers)
    {
        // The presenter is copied for each question: the answers are shared.
        auto left = std::make_shared<std::vector<int>>(std::move(answers));
        Zorvan::setMessagePresenter([this, left](Zorvan::String const &text, Zorvan::String const &caption,
                                                 unsigned style) {
            messages.push_back(Narrow(text));
            captions.push_back(Narrow(caption));
            EXPECT_EQ(style & MB_TYPEMASK, unsigned(MB_YESNO));
            int const answer = left->empty() ? IDNO : left->front();
            if (!left->empty())
                left->erase(left->begin());
            return answer;
        });
    }

    ZorvanEngine::Module *module = nullptr;
};

TEST_F(TavrinPageTest, TheTreeShowsEveryRowInItsCategory)
{
    SettingsPage &page = Show();
    EXPECT_EQ(Narrow(page.GetTitle()), "GameBoy Advance");
    PropertyTree &tree = page.GetTree();
    struct Category {
        char const *name;
        std::vector<char const *> rows;
    } const categories[] = {
        {"Display", {"Screen Size", "Image Smoothing"}},
        {"Sound", {"Enable Sound", "Quality"}},
        {"Speed", {"Frame Skip", "Auto Sync"}},
        {"Input", {"Up", "Down", "Left", "Right", "Start", "Select", "A", "B", "L", "R"}},
        {"Skin", {"Name"}},
    };
    ASSERT_EQ(tree.topLevelItemCount(), int(std::size(categories)));
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        QTreeWidgetItem const *category = tree.topLevelItem(i);
        EXPECT_EQ(category->text(0).toStdString(), categories[i].name);
        ASSERT_EQ(category->childCount(), int(categories[i].rows.size())) << categories[i].name;
        for (int r = 0; r < category->childCount(); ++r)
            EXPECT_EQ(category->child(r)->text(0).toStdString(), categories[i].rows[size_t(r)]);
    }
    // Only the button rows open the Button Assignment dialog.
    EXPECT_EQ(Notify(page, "Screen Size", PTN_BROWSE), 0);
    EXPECT_EQ(Notify(page, "Name", PTN_BROWSE), 0);
    page.OnCancel();
}

TEST_F(TavrinPageTest, PageCases)
{
    struct Case {
        char const *what;
        std::function<void(PropertyMap &)> stored;   // before the page opens
        std::function<void(SettingsPage &)> shown;   // checks and edits on the page
        bool ok;                                     // closed with OK, else Cancel
        std::function<void(PropertyMap const &)> saved;
    };
    auto const nothing = [](PropertyMap &) {};
    Case const cases[] = {
        {"an unknown rate shows High and is saved as 44100",
         [](PropertyMap &s) { s.Set(L"SoundRate", 32000, false); },
         [](SettingsPage &p) { EXPECT_EQ(Text(p, "Quality"), "High (44khz)"); }, true,
         [](PropertyMap const &s) { EXPECT_EQ(s.GetInt(L"SoundRate"), 44100); }},
        {"Medium and Low are saved as their rates",
         [](PropertyMap &s) { s.Set(L"SoundRate", 11025, false); },
         [](SettingsPage &p) {
             EXPECT_EQ(Text(p, "Quality"), "Low (11khz)");
             p.SetItemInt(Row(p, "Quality"), 1);
         },
         true, [](PropertyMap const &s) { EXPECT_EQ(s.GetInt(L"SoundRate"), 22050); }},
        {"a hand-edited frame skip shows within the choices; Cancel keeps it",
         [](PropertyMap &s) { s.Set(L"FrameSkip", 400, false); },
         [](SettingsPage &p) { EXPECT_EQ(Text(p, "Frame Skip"), "8"); }, false,
         [](PropertyMap const &s) { EXPECT_EQ(s.GetInt(L"FrameSkip"), 400); }},
        {"the chosen rows are saved on OK",
         nothing,
         [](SettingsPage &p) {
             EXPECT_EQ(Text(p, "Screen Size"), "100%");
             EXPECT_EQ(Text(p, "Frame Skip"), "3");
             p.SetItemInt(Row(p, "Screen Size"), 11);
             p.SetItemInt(Row(p, "Frame Skip"), 0);
             p.GetTree().SetCheck(Row(p, "Image Smoothing"), 1);
             p.GetTree().SetCheck(Row(p, "Enable Sound"), 1);
             p.GetTree().SetCheck(Row(p, "Auto Sync"), 0);
         },
         true,
         [](PropertyMap const &s) {
             EXPECT_EQ(Narrow(s.GetString(L"ScreenSize")), "Auto Scale");
             EXPECT_EQ(s.GetInt(L"FrameSkip"), 0);
             EXPECT_TRUE(s.GetBoolean(L"UseBlend"));
             EXPECT_TRUE(s.GetBoolean(L"Sound"));
             EXPECT_FALSE(s.GetBoolean(L"FrameSync"));
         }},
        {"edits are dropped on Cancel",
         nothing, [](SettingsPage &p) { p.GetTree().SetCheck(Row(p, "Enable Sound"), 1); }, false,
         [](PropertyMap const &s) { EXPECT_FALSE(s.GetBoolean(L"Sound")); }},
        {"the skin named by PadSkin is chosen, and the choice saved",
         [](PropertyMap &s) { s.Set(L"PadSkin", L"Second Skin", false); },
         [](SettingsPage &p) {
             EXPECT_EQ(Text(p, "Name"), "Second Skin");
             p.SetItemInt(Row(p, "Name"), 0);
         },
         true, [](PropertyMap const &s) { EXPECT_EQ(Narrow(s.GetString(L"PadSkin")), "Quintar Default"); }},
        {"a skin no one has leaves the list at its first entry",
         [](PropertyMap &s) { s.Set(L"PadSkin", L"Nobody's", false); },
         [](SettingsPage &p) { EXPECT_EQ(Text(p, "Name"), "Quintar Default"); }, false, [](PropertyMap const &) {}},
        {"key names: known keys, function keys, joystick codes, keyboard keys, else the number on the low byte",
         [](PropertyMap &s) {
             s.Set(L"vkA", 13, false);
             s.Set(L"vkB", 0x100 + 208, false);
             s.Set(L"vkSelect", 0x100 + 32, false);
             s.Set(L"vkL", 0, false);
             s.Set(L"vkR", 115, false);
             s.Set(L"vkStart", 195, false);
         },
         [](SettingsPage &p) {
             EXPECT_EQ(Text(p, "A"), "Enter");
             EXPECT_EQ(Text(p, "B"), "208");
             EXPECT_EQ(Text(p, "Select"), "Space");
             EXPECT_EQ(Text(p, "L"), "None");
             EXPECT_EQ(Text(p, "R"), "F4");
             EXPECT_EQ(Text(p, "Start"), "Button3");
         },
         false, [](PropertyMap const &) {}},
    };
    for (Case const &c : cases) {
        SCOPED_TRACE(c.what);
        module->ResetSettings();
        c.stored(module->GetSettings());
        SettingsPage &page = Show();
        c.shown(page);
        if (c.ok)
            page.OnOK();
        else
            page.OnCancel();
        c.saved(module->GetSettings());
    }
}

TEST_F(TavrinPageTest, ABindingReachesTheSettingsOnlyWithOk)
{
    int const up = module->GetSettings().GetInt(L"vkUp");
    SettingsPage &page = Show();
    Assign(page, "Up", 'K');
    EXPECT_EQ(Text(page, "Up"), "K");
    EXPECT_EQ(module->GetSettings().GetInt(L"vkUp"), up);
    page.OnCancel();
    EXPECT_EQ(module->GetSettings().GetInt(L"vkUp"), up);

    // Opened again, the cancelled binding is gone: OK keeps the old key.
    SettingsPage &again = Show();
    EXPECT_EQ(Text(again, "Up"), "Up");
    again.OnOK();
    EXPECT_EQ(module->GetSettings().GetInt(L"vkUp"), up);

    SettingsPage &third = Show();
    Assign(third, "R", 'K');
    third.OnOK();
    EXPECT_EQ(module->GetSettings().GetInt(L"vkR"), 'K');
    EXPECT_EQ(module->GetSettings().GetInt(L"jsR"), 9);
}

TEST_F(TavrinPageTest, ResettingARowUnbindsItAfterAYesAndOnlyWithOk)
{
    Answer({IDNO, IDYES, IDYES});
    SettingsPage &page = Show();
    EXPECT_EQ(Notify(page, "A", PTN_RESET), 0);
    EXPECT_NE(Text(page, "A"), "None");
    EXPECT_EQ(Notify(page, "A", PTN_RESET), 1);
    EXPECT_EQ(Text(page, "A"), "None");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Are you sure you want to reset this property?");
    EXPECT_EQ(captions[0], "");
    int const a = module->GetSettings().GetInt(L"vkA");
    page.OnCancel();
    EXPECT_EQ(module->GetSettings().GetInt(L"vkA"), a);
    EXPECT_EQ(module->GetSettings().GetInt(L"jsA"), 4);

    SettingsPage &again = Show();
    EXPECT_EQ(Notify(again, "A", PTN_RESET), 1);
    again.OnOK();
    EXPECT_EQ(module->GetSettings().GetInt(L"vkA"), 0);
    EXPECT_EQ(module->GetSettings().GetInt(L"jsA"), 25);
}

} // namespace
} // namespace Tavrin::Test

// The plug-in as the engine opens it. Outside Tavrin::Test: the typed
// cases' test names carry this description's full name.
namespace {
struct TavrinStore {
    using Sandbox = Tavrin::Test::TavrinSettingsTest;
    static std::shared_ptr<ZorvanEngine::Module> Open(ZorvanEngine::Engine &engine)
    {
        return {engine.OpenModule(0), [&engine](ZorvanEngine::Module *module) { engine.CloseModule(module); }};
    }
};
} // namespace

namespace ConsoleGlue::Test {
INSTANTIATE_TYPED_TEST_SUITE_P(Tavrin, ConsoleSettingsLoadTest, TavrinStore);
} // namespace ConsoleGlue::Test
