// The main frame's commands over the test module: their questions, what
// they do to the module, and that every pause they take is given back (the
// modeless pages' pauses when the page closes).
#include "frontend/MainFrame.h"

#include "common/zorvan/Console.h"
#include "engine/Engine.h"
#include "frontend/ConsoleDialog.h"
#include "frontend/FileDialog.h"
#include "frontend/GlobalSettingsPage.h"
#include "frontend/HtmlHostDialog.h"
#include "frontend/StopDialog.h"
#include "frontend/tests/FrontendSandbox.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

namespace Frontend::Test {
namespace {

class CommandsTest : public FrameSandbox {
protected:
    void TearDown() override
    {
        SetQtOpenFileDialog(nullptr);
        FrameSandbox::TearDown();
    }

    int PauseCount() { return engine().m_pauseCount; }

    // Lets the close notifications of the modeless pages arrive.
    static void DeliverNotifications()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    template <typename T> T *FindWindow()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *found = qobject_cast<T *>(widget); found && found->isVisible())
                return found;
        }
        return nullptr;
    }
};

TEST_F(CommandsTest, LoadingAnEmptySlotOnlyResumes)
{
    OpenGame();
    frame->OnCommand(ID_PAUSE);
    probe->Reset();
    frame->OnCommand(ID_LOAD_SLOT + 2); // slot 3, never saved
    EXPECT_EQ(probe->Count("LoadState"), 0);
    EXPECT_EQ(PauseCount(), 0);
    EXPECT_FALSE(engine().IsUserPaused()) << "loading resumes a game the user paused";

    WriteState(3);
    module()->CheckState();
    frame->OnCommand(ID_LOAD_SLOT + 2);
    EXPECT_EQ(probe->Count("LoadState"), 1);
    EXPECT_EQ(PauseCount(), 0);
}

TEST_F(CommandsTest, SavingOverAStateAsksFirst)
{
    OpenGame();
    probe->Reset();
    frame->OnCommand(ID_SAVE_SLOT); // slot 1, empty: no question
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(probe->Count("SaveState"), 1);

    module()->CheckState();
    answers = {IDNO};
    frame->OnCommand(ID_SAVE_SLOT);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Are you sure you wish to overwrite this saved game?");
    EXPECT_EQ(messages[0].caption, "Confirm");
    EXPECT_EQ(messages[0].style & MB_TYPEMASK, MB_YESNO);
    EXPECT_EQ(probe->Count("SaveState"), 1) << "No keeps the old state";

    answers = {IDYES};
    frame->OnCommand(ID_SAVE_SLOT);
    EXPECT_EQ(probe->Count("SaveState"), 2);
    EXPECT_EQ(PauseCount(), 0);
}

TEST_F(CommandsTest, SlotCommandsDoNothingWithoutAGame)
{
    frame->OnCommand(ID_SAVE_SLOT);
    frame->OnCommand(ID_LOAD_SLOT);
    frame->OnCommand(ID_RESET);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(PauseCount(), 0);
}

TEST_F(CommandsTest, ResetAsksAndResetsOnlyOnYes)
{
    OpenGame();
    probe->Reset();
    for (int answer : {IDNO, IDYES}) {
        answers = {answer};
        frame->OnCommand(ID_RESET);
        EXPECT_EQ(PauseCount(), 0);
    }
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "This will reset the current game, are you sure you wish to do this?");
    EXPECT_EQ(messages[0].caption, "Confirm");
    EXPECT_EQ(probe->Count("Reset"), 1);
}

TEST_F(CommandsTest, GlobalSettingsPauseUntilThePageCloses)
{
    OpenGame();
    frame->OnCommand(ID_GLOBAL_SETTINGS);
    GlobalSettingsPage *page = frame->GetGlobalSettingsPage();
    ASSERT_TRUE(page->IsOpen());
    EXPECT_GE(PauseCount(), 1);
    page->OnCancel();
    DeliverNotifications();
    EXPECT_EQ(PauseCount(), 0);
    EXPECT_FALSE(module()->IsPaused());
}

TEST_F(CommandsTest, ConsoleAndAboutPauseUntilTheyClose)
{
    OpenGame();
    Zorvan::printConsole("a line for the console\n");
    frame->OnCommand(ID_CONSOLE);
    auto *console = FindWindow<ConsoleDialog>();
    ASSERT_NE(console, nullptr);
    EXPECT_TRUE(console->GetTextBox()->toPlainText().contains(QStringLiteral("a line for the console")));
    EXPECT_GE(PauseCount(), 1);
    console->OnClose();
    DeliverNotifications();
    EXPECT_EQ(PauseCount(), 0);

    frame->OnCommand(ID_APP_ABOUT);
    auto *about = FindWindow<HtmlHostDialog>();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Quintar"));
    EXPECT_GE(PauseCount(), 1);
    about->OnClose();
    DeliverNotifications();
    EXPECT_EQ(PauseCount(), 0);
    EXPECT_FALSE(module()->IsPaused());
}

TEST_F(CommandsTest, ModuleSettingsOfAModuleNotRunningCloseItAgain)
{
    frame->OnCommand(ID_SELECT_MODULE);
    EXPECT_EQ(probe->Count("ShowProperties"), 1);
    ASSERT_NE(frame->GetSettingsModule(), nullptr);
    EXPECT_EQ(PauseCount(), 1);
    frame->OnDialogClosed(MainFrame::kSettingsPageId, ModelessDialogOwner::CloseCode);
    EXPECT_EQ(probe->Count("SaveSettings"), 1);
    EXPECT_EQ(probe->Count("Destroy"), 1) << "opened for its settings only";
    EXPECT_EQ(frame->GetSettingsModule(), nullptr);
    EXPECT_EQ(PauseCount(), 0);

    // The running module's own page updates it instead.
    OpenGame();
    probe->Reset();
    frame->OnCommand(ID_SELECT_MODULE);
    EXPECT_EQ(frame->GetSettingsModule(), module());
    frame->OnDialogClosed(MainFrame::kSettingsPageId, ModelessDialogOwner::CloseCode);
    EXPECT_EQ(probe->Count("UpdateSettings"), 1);
    EXPECT_EQ(probe->Count("Destroy"), 0);
    EXPECT_EQ(PauseCount(), 0);

    // Numbers past the modules found do nothing but give the pause back.
    frame->OnCommand(ID_SELECT_MODULE + 3);
    EXPECT_EQ(frame->GetSettingsModule(), nullptr);
    EXPECT_EQ(PauseCount(), 0);
}

TEST_F(CommandsTest, OpeningAFileRemembersItsWholeFolderAndRunsIt)
{
    fs::path const game = WriteGame("Storage Card/Games/hero.qtm");
    QString askedFilter;
    QString askedFolder;
    int askedIndex = 0;
    SetQtOpenFileDialog([&](QWidget *, OpenFileRequest &request) {
        askedFilter = request.filter;
        askedFolder = request.initialFolder;
        askedIndex = request.filterIndex;
        request.path = QString::fromStdString(game.string());
        request.filterIndex = 3;
        return true;
    });
    engine().GetSettings().Set(L"ROMPath", L"/somewhere", false);
    for (bool custom : {false, true}) {
        SCOPED_TRACE(custom ? "plug-in asked for (it is absent: Qt's dialog)" : "Qt's dialog");
        engine().GetSettings().Set(L"CustomFileDlg", custom, false);
        askedFilter.clear();
        frame->OnCommand(ID_FILE_OPEN);
        EXPECT_EQ(askedFilter, QStringLiteral("Test Files (*.qtm)|*.qtm|All Files (*.*)|*.*|Zip Files (*.zip)|*.zip||"));
        EXPECT_EQ(Narrow(engine().GetSettings().GetString(L"ROMPath")), game.parent_path().string());
        EXPECT_EQ(engine().GetSettings().GetInt(L"DefaultExt"), 3);
        EXPECT_TRUE(engine().IsRunning());
        EXPECT_EQ(PauseCount(), 0);
        EXPECT_TRUE(Enabled(ID_PAUSE));
    }
    EXPECT_EQ(askedFolder.toStdString(), game.parent_path().string()) << "the second dialog opens where the first ended";
    EXPECT_EQ(askedIndex, 3);
}

TEST_F(CommandsTest, AFileNoModuleOpensShowsTheConsole)
{
    fs::path const game = WriteGame("refuse.qtm");
    SetQtOpenFileDialog([&](QWidget *, OpenFileRequest &request) {
        request.path = QString::fromStdString(game.string());
        return true;
    });
    engine().GetSettings().Set(L"CustomFileDlg", false, false);
    frame->OnCommand(ID_FILE_OPEN);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Quintar was unable to open the file.  Most often this is due to insufficient memory.  "
                                "The console will now be displayed.");
    EXPECT_EQ(messages[0].caption, "");
    EXPECT_FALSE(engine().IsRunning());
    auto *console = FindWindow<ConsoleDialog>();
    ASSERT_NE(console, nullptr);
    console->OnClose();
    DeliverNotifications();
    EXPECT_EQ(PauseCount(), 0);
}

TEST_F(CommandsTest, CancelledFileDialogChangesNothing)
{
    SetQtOpenFileDialog([](QWidget *, OpenFileRequest &) { return false; });
    engine().GetSettings().Set(L"ROMPath", L"/kept", false);
    frame->OnCommand(ID_FILE_OPEN);
    EXPECT_EQ(Narrow(engine().GetSettings().GetString(L"ROMPath")), "/kept");
    EXPECT_FALSE(engine().IsRunning());
    EXPECT_EQ(PauseCount(), 0);
}

TEST_F(CommandsTest, ExitWithoutAGameAsksAndQuitsOnYes)
{
    answers = {IDNO};
    frame->OnCommand(ID_APP_EXIT);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Are you sure you want to exit Quintar?");
    EXPECT_EQ(messages[0].caption, "Confirm");
    EXPECT_FALSE(loop.IsQuitRequested());

    answers = {IDYES};
    frame->OnCommand(ID_APP_EXIT);
    EXPECT_TRUE(loop.IsQuitRequested());
    EXPECT_EQ(loop.Run(), 0);
    EXPECT_EQ(PauseCount(), 0);
}

TEST_F(CommandsTest, ExitDuringAGameOffersToCloseTheGameOnly)
{
    struct Case {
        std::optional<StopDialog::Choice> choice; // none: Cancel
        bool running;
        bool quits;
    };
    for (Case const &c : {Case{std::nullopt, true, false}, Case{StopDialog::CloseGame, false, false},
                          Case{StopDialog::ExitQuintar, false, true}}) {
        SCOPED_TRACE(c.choice ? int(*c.choice) : 0);
        OpenGame();
        std::optional<StopDialog::Choice> preselected;
        QTimer::singleShot(0, [&] {
            auto *stop = qobject_cast<StopDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(stop, nullptr);
            EXPECT_EQ(stop->windowTitle(), QStringLiteral("Stop"));
            preselected = stop->GetChoice();
            if (c.choice) {
                stop->SetChoice(*c.choice);
                stop->accept();
            } else {
                stop->reject();
            }
        });
        frame->OnCommand(ID_APP_EXIT);
        EXPECT_EQ(preselected, StopDialog::CloseGame);
        EXPECT_EQ(engine().IsRunning(), c.running);
        EXPECT_EQ(loop.IsQuitRequested(), c.quits);
        EXPECT_EQ(PauseCount(), 0);
        EXPECT_TRUE(messages.empty());
    }
}

} // namespace
} // namespace Frontend::Test
