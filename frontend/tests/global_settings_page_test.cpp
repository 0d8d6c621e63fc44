#include "frontend/GlobalSettingsPage.h"

#include "engine/Engine.h"
#include "frontend/FileDialog.h"
#include "ui/propertytree/PropertyItem.h"
#include "tools/testsupport/ScopedEnvironment.h"
#include "tools/testsupport/TestApplication.h"

#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace Frontend::Test {
namespace {

struct OwnerWindow : QWidget, ModelessDialogOwner {
    int closed = 0;
    void OnDialogClosed(int dialogId, int code) override { closed += dialogId == 135 && code == 2; }
};

// Runs the page over a settings map holding the engine's keys, with the home
// and working folders in a temporary folder.
class GlobalSettingsPageTest : public testing::Test {
protected:
    static void SetUpTestSuite() { QuintarTest::EnsureApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        oldCwd = QDir::currentPath();
        environment.Set("HOME", home.path().toStdString());
        environment.Set("XDG_CONFIG_HOME", (home.path() + "/config").toStdString());
        QDir::setCurrent(home.path());

        s.Set(L"CPUThrottle", 0, false);
        s.Set(L"ThreadPriority", 3, false);
        s.Set(L"DisplayDriver", 3, false);
        s.Set(L"Orientation", L"North", false);
        s.Set(L"Sound", true, false);
        s.Set(L"Volume", 50, false);
        s.Set(L"ROMPath", L"/roms", false);
        s.Set(L"SavedGameRoot", L"/nowhere/saves", false);
        s.Set(L"CustomFileDlg", true, false);
        s.Set(L"NoFullScreen", false, false);
        s.Set(L"AutoPause", false, false);
        s.Set(L"Debug", false, false);
        s.Set(L"VirtualPad", true, false);
        s.Set(L"InputPolling", false, false);
        s.Set(L"BGColor", 0, false);
        s.Set(L"BGFileName", L"/opt/quintar/QuintarLogo.bmp", false);
        owner.resize(480, 640);
        owner.show();
    }

    void TearDown() override
    {
        SetQtOpenFileDialog(nullptr);
        if (page.IsOpen())
            page.OnCancel();
        QCoreApplication::processEvents();
        QDir::setCurrent(oldCwd);
        environment.Restore();
    }

    PropertyRow Row(char const* name)
    {
        for (QTreeWidgetItemIterator it(&page.GetTree()); *it; ++it)
            if (page.GetTree().GetItem(*it)->GetName() == QLatin1String(name))
                return *it;
        ADD_FAILURE() << "no row " << name;
        return nullptr;
    }
    QString Shown(char const* name)
    {
        QString text;
        page.GetTree().GetItem(Row(name))->GetDisplayText(text);
        return text;
    }
    QString Documents() const { return home.path() + "/Documents"; }
    static std::string Text(Zorvan::String const& s) { return static_cast<char const*>(s); }

    // Answers the next modal box or dialog with the given button.
    static void AnswerNextDialog(QMessageBox::StandardButton button)
    {
        QTimer::singleShot(0, [button] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                box->button(button)->click();
            else if (modal)
                modal->close();
        });
    }

    QTemporaryDir home;
    QuintarTest::ScopedEnvironment environment;
    QString oldCwd;
    PropertyMap s;
    OwnerWindow owner;
    GlobalSettingsPage page{&s};
};

TEST_F(GlobalSettingsPageTest, RowsInTreeOrder)
{
    page.Show(&owner);
    EXPECT_EQ(page.windowTitle(), "Global Settings");
    char const* const expected[] = {
        "Display", "Driver", "Frame Rate Statistics", "Disable Full Screen", "Orientation",
        "Sound", "Enable Sound", "Volume",
        "Input", "Use Virtual Pad", "Polling Method",
        "Tweak", "Custom File Dialog", "Auto Pause", "Save Game Path", "CPU Throttle", "Thread Priority",
        "Appearance", "Background Color", "Background Image"};
    QStringList names;
    for (QTreeWidgetItemIterator it(&page.GetTree()); *it; ++it)
        names << page.GetTree().GetItem(*it)->GetName();
    ASSERT_EQ(names.size(), int(std::size(expected)));
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(names[i], expected[i]);
    EXPECT_EQ(page.GetTree().topLevelItemCount(), 5);
    EXPECT_EQ(page.GetTree().GetItem(Row("Save Game Path"))->GetKind(), PIK_TEXTEDIT);
    EXPECT_EQ(Row("Volume")->data(0, Qt::UserRole + 1).toInt(), 21);
    EXPECT_EQ(Row("Appearance")->data(0, Qt::UserRole + 1).toInt(), 30);
}

TEST_F(GlobalSettingsPageTest, VolumeShownInTensAndStoredBack)
{
    struct Case {
        int stored;
        char const* shown;
        int saved;
    } const cases[] = {{55, "50%", 50}, {130, "100%", 100}, {-5, "0%", 0}, {100, "100%", 100}, {9, "0%", 0}};
    for (auto const& c : cases) {
        s.Set(L"Volume", c.stored, false);
        page.Show(&owner);
        EXPECT_EQ(Shown("Volume"), c.shown) << c.stored;
        page.OnOK();
        EXPECT_EQ(s.GetInt(L"Volume"), c.saved) << c.stored;
    }
}

TEST_F(GlobalSettingsPageTest, BackgroundColourIsBlackOrWhite)
{
    struct Case {
        int stored;
        char const* shown;
        int saved;
    } const cases[] = {{0x808080, "Black", 0}, {0xFFFFFF, "White", 0xFFFFFF}, {0, "Black", 0}, {0xFFFFFE, "Black", 0}};
    for (auto const& c : cases) {
        s.Set(L"BGColor", c.stored, false);
        page.Show(&owner);
        EXPECT_EQ(Shown("Background Color"), c.shown) << c.stored;
        page.OnOK();
        EXPECT_EQ(s.GetInt(L"BGColor"), c.saved) << c.stored;
    }
}

TEST_F(GlobalSettingsPageTest, ListsAndChecksRoundTrip)
{
    s.Set(L"DisplayDriver", 1, false);
    s.Set(L"CPUThrottle", 2, false);
    s.Set(L"ThreadPriority", 6, false);
    s.Set(L"Orientation", L"West", false);
    s.Set(L"Debug", true, false);
    page.Show(&owner);
    EXPECT_EQ(Shown("Driver"), "GAPI");
    EXPECT_EQ(Shown("CPU Throttle"), "Medium");
    EXPECT_EQ(Shown("Thread Priority"), "Time Critical");
    EXPECT_EQ(Shown("Orientation"), "West");
    EXPECT_TRUE(page.GetTree().GetCheck(Row("Frame Rate Statistics")));
    EXPECT_TRUE(page.GetTree().GetCheck(Row("Use Virtual Pad")));
    EXPECT_FALSE(page.GetTree().GetCheck(Row("Polling Method")));

    page.SetItemInt(Row("Orientation"), 3);
    page.GetTree().SetCheck(Row("Auto Pause"), 1);
    page.GetTree().SetCheck(Row("Enable Sound"), 0);
    page.SetItemInt(Row("Driver"), 0);
    page.OnOK();
    EXPECT_EQ(Text(s.GetString(L"Orientation")), "East");
    EXPECT_TRUE(s.GetBoolean(L"AutoPause"));
    EXPECT_FALSE(s.GetBoolean(L"Sound"));
    EXPECT_EQ(s.GetInt(L"DisplayDriver"), 0);
    EXPECT_EQ(s.GetInt(L"CPUThrottle"), 2);
    EXPECT_EQ(s.GetInt(L"ThreadPriority"), 6);
    EXPECT_TRUE(s.GetBoolean(L"Debug"));
    EXPECT_EQ(Text(s.GetString(L"BGFileName")), "/opt/quintar/QuintarLogo.bmp");
    EXPECT_EQ(owner.closed, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.closed, 1);
}

TEST_F(GlobalSettingsPageTest, UnknownOrientationSelectsNothingAndIsKept)
{
    s.Set(L"Orientation", L"Sideways", false);
    page.Show(&owner);
    QString text;
    EXPECT_FALSE(page.GetTree().GetItem(Row("Orientation"))->GetDisplayText(text));
    page.OnOK();
    EXPECT_EQ(Text(s.GetString(L"Orientation")), "Sideways");
}

TEST_F(GlobalSettingsPageTest, SwitchingTheFileDialogResetsTheRomFolder)
{
    page.Show(&owner);
    page.OnOK();
    EXPECT_EQ(Text(s.GetString(L"ROMPath")), "/roms");

    page.Show(&owner);
    page.GetTree().SetCheck(Row("Custom File Dialog"), 0);
    page.OnOK();
    EXPECT_FALSE(s.GetBoolean(L"CustomFileDlg"));
    EXPECT_EQ(ToQString(s.GetString(L"ROMPath")), Documents());
    EXPECT_TRUE(QFileInfo(Documents()).isDir());

    // Cancel never touches it.
    s.Set(L"ROMPath", L"/roms", false);
    page.Show(&owner);
    page.GetTree().SetCheck(Row("Custom File Dialog"), 1);
    page.OnCancel();
    EXPECT_EQ(Text(s.GetString(L"ROMPath")), "/roms");
    EXPECT_FALSE(s.GetBoolean(L"CustomFileDlg"));
}

TEST_F(GlobalSettingsPageTest, SaveGamePathMustNameAFolder)
{
    ASSERT_TRUE(QDir(home.path()).mkpath("Games"));
    QString const games = home.path() + "/Games";
    QString const fallback = ToQString(ZorvanEngine::Engine::GetDefaultSavePath());
    struct Case {
        QString typed;
        QString saved;
    } const cases[] = {
        {"Games", games},            // relative to the working folder
        {games, games},
        {games + "/", games},
        {"NoSuchFolder", fallback},
        {"/no/such/folder", fallback},
        {"", fallback},
    };
    for (auto const& c : cases) {
        page.Show(&owner);
        page.SetItemString(Row("Save Game Path"), ToZorvanString(c.typed));
        page.OnOK();
        EXPECT_EQ(ToQString(s.GetString(L"SavedGameRoot")), c.saved) << c.typed.toStdString();
    }
}

TEST_F(GlobalSettingsPageTest, TypedSaveGamePathIsTaken)
{
    ASSERT_TRUE(QDir(home.path()).mkpath("Saves"));
    page.Show(&owner);
    page.GetTree().setCurrentItem(Row("Save Game Path"));
    auto* editor = qobject_cast<QLineEdit*>(page.GetTree().GetEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "/nowhere/saves");
    editor->selectAll();
    QTest::keyClicks(editor, "Saves");
    QTest::keyClick(editor, Qt::Key_Return);
    page.OnOK();
    EXPECT_EQ(ToQString(s.GetString(L"SavedGameRoot")), home.path() + "/Saves");
}

TEST_F(GlobalSettingsPageTest, BrowseAsksForABitmapFromTheDocumentsFolder)
{
    // Without the plug-in both the ticked and the clear row end in Qt's dialog.
    QStringList filters;
    QString folder;
    int calls = 0;
    QString answer = home.path() + "/pictures/back.bmp";
    SetQtOpenFileDialog([&](QWidget*, OpenFileRequest& request) {
        ++calls;
        filters = QtNameFilters(request.filter);
        folder = request.initialFolder;
        request.path = answer;
        return !answer.isEmpty();
    });
    page.Show(&owner);
    PropertyItem* image = page.GetTree().GetItem(Row("Background Image"));
    EXPECT_EQ(Shown("Background Image"), "QuintarLogo.bmp");

    page.OnPropertyTreeNotify(PTN_BROWSE, image);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(filters, QStringList{"Bitmap Files (*.bmp)"});
    EXPECT_EQ(folder, Documents());
    EXPECT_EQ(Shown("Background Image"), "back.bmp");

    // A cancelled dialog leaves the value alone.
    page.GetTree().SetCheck(Row("Custom File Dialog"), 0);
    answer.clear();
    page.OnPropertyTreeNotify(PTN_BROWSE, image);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Shown("Background Image"), "back.bmp");

    page.OnOK();
    EXPECT_EQ(ToQString(s.GetString(L"BGFileName")), home.path() + "/pictures/back.bmp");
}

TEST_F(GlobalSettingsPageTest, ResetAsksFirst)
{
    page.Show(&owner);
    PropertyItem* image = page.GetTree().GetItem(Row("Background Image"));
    AnswerNextDialog(QMessageBox::No);
    page.OnPropertyTreeNotify(PTN_RESET, image);
    EXPECT_EQ(Shown("Background Image"), "QuintarLogo.bmp");
    AnswerNextDialog(QMessageBox::Yes);
    page.OnPropertyTreeNotify(PTN_RESET, image);
    EXPECT_EQ(Shown("Background Image"), "");
    page.OnOK();
    EXPECT_TRUE(s.GetString(L"BGFileName").IsEmpty());
}

} // namespace
} // namespace Frontend::Test
