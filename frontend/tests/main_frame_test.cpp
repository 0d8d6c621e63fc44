// The main frame over the test module: command states, popups and where they
// open, the orientation change when the settings close, and the reporting
// of exceptions around event dispatch.
#include "frontend/MainFrame.h"

#include "common/zorvan/Console.h"
#include "engine/EmuException.h"
#include "engine/Engine.h"
#include "frontend/tests/FrontendSandbox.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QTimer>
#include <QToolBar>

namespace Frontend::Test {
namespace {

class MainFrameTest : public FrameSandbox {};

struct CommandStates {
    bool play, pause, reset, save, load;
    bool operator==(CommandStates const &) const = default;
};

std::ostream &operator<<(std::ostream &out, CommandStates const &s)
{
    return out << "play " << s.play << " pause " << s.pause << " reset " << s.reset << " save " << s.save
               << " load " << s.load;
}

TEST_F(MainFrameTest, ToolBarHoldsThirteenEntriesInOrder)
{
    QList<QAction *> const actions = frame->GetToolBar()->actions();
    std::vector<int> commands;
    for (QAction *action : actions)
        commands.push_back(action->isSeparator() ? 0 : action->data().toInt());
    std::vector<int> const expected = {ID_FILE_OPEN, 0, ID_PLAY, ID_PAUSE, ID_RESET, 0, ID_SAVE,
                                       ID_LOAD,      0, ID_TOOLS, ID_APP_EXIT, 0, ID_HELP_INDEX};
    EXPECT_EQ(commands, expected);
    for (QAction *action : actions) {
        if (action->isSeparator())
            continue;
        QIcon const icon = action->icon();
        QImage const normal = icon.pixmap(16, QIcon::Normal).toImage();
        QImage const disabled = icon.pixmap(16, QIcon::Disabled).toImage();
        EXPECT_FALSE(normal.isNull());
        EXPECT_NE(normal, disabled) << action->text().toStdString() << " has no picture of its own when disabled";
    }
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Quintar 2.4.0.9"));
}

TEST_F(MainFrameTest, CommandStatesFollowTheGame)
{
    auto states = [&] {
        return CommandStates{Enabled(ID_PLAY), Enabled(ID_PAUSE), Enabled(ID_RESET), Enabled(ID_SAVE),
                             Enabled(ID_LOAD)};
    };
    EXPECT_EQ(states(), (CommandStates{false, false, false, false, false})) << "no game";
    EXPECT_TRUE(Enabled(ID_FILE_OPEN));
    EXPECT_TRUE(Enabled(ID_TOOLS));
    EXPECT_TRUE(Enabled(ID_APP_EXIT));
    EXPECT_TRUE(Enabled(ID_HELP_INDEX));

    OpenGame();
    EXPECT_EQ(states(), (CommandStates{false, true, true, true, true})) << "running";
    EXPECT_EQ(engine().GetSettings().GetInt(L"ToolBarSize"), frame->GetToolBar()->height());

    frame->OnCommand(ID_PAUSE);
    EXPECT_TRUE(engine().IsUserPaused());
    EXPECT_EQ(states(), (CommandStates{true, false, true, true, true})) << "user-paused";

    frame->OnCommand(ID_PLAY);
    EXPECT_FALSE(engine().IsUserPaused());
    EXPECT_EQ(states(), (CommandStates{false, true, true, true, true})) << "playing again";

    engine().Shutdown();
    frame->UpdateCommandStates();
    EXPECT_EQ(states(), (CommandStates{false, false, false, false, false})) << "closed";
}

TEST_F(MainFrameTest, SlotPopupsMarkSavedSlotsAndGreyEmptyOnesForLoading)
{
    EXPECT_EQ(frame->MakeSlotMenu(false), nullptr) << "no Save popup without a game";
    EXPECT_EQ(frame->MakeSlotMenu(true), nullptr) << "no Load popup without a game";

    OpenGame();
    WriteState(2);
    WriteState(9);
    for (bool load : {false, true}) {
        SCOPED_TRACE(load ? "Load" : "Save");
        std::unique_ptr<QMenu> menu = frame->MakeSlotMenu(load);
        ASSERT_NE(menu, nullptr);
        QList<QAction *> const actions = menu->actions();
        ASSERT_EQ(actions.size(), 11);
        EXPECT_EQ(actions[0]->text(), load ? QStringLiteral("Load") : QStringLiteral("Save"));
        EXPECT_EQ(actions[0]->data().toInt(), load ? ID_LOAD_HEADER : ID_SAVE_HEADER);
        EXPECT_TRUE(actions[1]->isSeparator());
        for (int slot = 1; slot <= 9; ++slot) {
            QAction const *entry = actions[slot + 1];
            bool const saved = slot == 2 || slot == 9;
            EXPECT_EQ(entry->text(), QStringLiteral("Slot %1").arg(slot));
            EXPECT_EQ(entry->data().toInt(), (load ? ID_LOAD_HEADER : ID_SAVE_HEADER) + slot);
            EXPECT_EQ(entry->isChecked(), saved) << "slot " << slot;
            EXPECT_EQ(entry->isEnabled(), !load || saved) << "slot " << slot;
        }
    }
}

TEST_F(MainFrameTest, ASlotSavedDuringTheGameIsOfferedForLoading)
{
    OpenGame();
    frame->OnSaveSlot(4);
    std::unique_ptr<QMenu> menu = frame->MakeSlotMenu(true);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions()[5]->isEnabled()) << "slot 4 stayed greyed after it was saved";
}

TEST_F(MainFrameTest, ToolsAndHelpPopupsListEveryModule)
{
    std::unique_ptr<QMenu> tools = frame->MakeToolsMenu();
    ASSERT_NE(tools, nullptr);
    std::vector<std::pair<std::string, int>> entries;
    for (QAction *action : tools->actions())
        entries.emplace_back(action->isSeparator() ? "-" : action->text().toStdString(), action->data().toInt());
    std::vector<std::pair<std::string, int>> const expected = {
        {"Global Settings", ID_GLOBAL_SETTINGS}, {"-", 0}, {"Test Module", ID_SELECT_MODULE}, {"-", 0},
        {"Console", ID_CONSOLE}};
    EXPECT_EQ(entries, expected);

    std::unique_ptr<QMenu> help = frame->MakeHelpMenu();
    ASSERT_NE(help, nullptr);
    ASSERT_EQ(help->actions().size(), 1);
    EXPECT_EQ(help->actions()[0]->text(), QStringLiteral("About"));
    EXPECT_EQ(help->actions()[0]->data().toInt(), ID_APP_ABOUT);
}

TEST_F(MainFrameTest, PopupsOpenUnderTheirButtons)
{
    OpenGame();
    for (int command : {ID_SAVE, ID_LOAD, ID_TOOLS, ID_HELP_INDEX}) {
        SCOPED_TRACE(command);
        QRect shownAt;
        QTimer::singleShot(0, [&] {
            if (QWidget *popup = QApplication::activePopupWidget()) {
                shownAt = popup->geometry();
                popup->close();
            }
        });
        frame->ShowPopup(command);
        ASSERT_TRUE(shownAt.isValid()) << "no popup opened";
        QWidget const *button = frame->GetToolBar()->widgetForAction(frame->GetCommandAction(command));
        QRect const buttonOnScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
        EXPECT_EQ(shownAt.top(), buttonOnScreen.bottom() + 1);
        EXPECT_EQ(shownAt.left(), buttonOnScreen.left());
    }
}

TEST_F(MainFrameTest, ChoosingFromAPopupRunsTheCommand)
{
    OpenGame();
    WriteState(3);
    probe->Reset();
    QTimer::singleShot(0, [] {
        if (auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *action : popup->actions()) {
                if (action->text() == QStringLiteral("Slot 3"))
                    popup->setActiveAction(action);
            }
            QTest::keyClick(popup, Qt::Key_Return);
        }
    });
    frame->OnCommand(ID_LOAD);
    EXPECT_EQ(probe->Count("LoadState"), 1);
    // The offscreen platform leaves no window active once the popup is
    // gone; a window manager gives the frame its activation back, and with
    // it the pause that losing it took.
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    EXPECT_EQ(engine().m_pauseCount, 0);
}

TEST_F(MainFrameTest, ClosingTheGlobalSettingsTurnsTheDisplay)
{
    OpenGame();
    Zorvan::clearConsole();
    engine().Pause(); // as the Tools command does before it shows the page
    engine().GetSettings().Set(L"Orientation", L"East", false);
    frame->OnDialogClosed(MainFrame::kSettingsPageId, ModelessDialogOwner::CloseCode);
    EXPECT_EQ(engine().GetDisplay()->GetRotation(), Ondrel::RotationEast);
    EXPECT_TRUE(engine().GetDisplay()->IsOpen());
    std::string const console = Zorvan::getConsole();
    EXPECT_NE(console.find("Closing Display...\nSetting orientation...\nOpening...\n"), std::string::npos) << console;
    EXPECT_EQ(engine().m_pauseCount, 0);

    // Unchanged orientation: the display is left alone.
    Zorvan::clearConsole();
    engine().Pause();
    frame->OnDialogClosed(MainFrame::kSettingsPageId, ModelessDialogOwner::CloseCode);
    EXPECT_EQ(std::string(Zorvan::getConsole()).find("Closing Display"), std::string::npos);
    EXPECT_EQ(engine().m_pauseCount, 0);
}

TEST_F(MainFrameTest, TheDisplayFollowsTheViewsSizeWithAGameRunning)
{
    OpenGame();
    QWidget *view = frame->GetView();
    for (QSize const size : {QSize(300, 420), QSize(517, 233)}) {
        frame->resize(frame->size() + size - view->size());
        view->resize(size);
        QCoreApplication::processEvents();
        Ondrel::Surface *screen = engine().GetDisplay()->GetPrimarySurface();
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->GetWidth(), view->width());
        EXPECT_EQ(screen->GetHeight(), view->height());
    }
    // The game's video was opened again on the new screen and still draws.
    EXPECT_TRUE(module()->RunFrame());
    EXPECT_TRUE(engine().GetDisplay()->IsOpen());
}

// An object whose event handler fails as engine code fails.
class ThrowingObject : public QObject {
public:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            throw new ZorvanEngine::EmuException(L"Test", L"The handler failed.");
        if (event->type() == QEvent::User + 1)
            throw 42;
        return QObject::event(event);
    }
};

TEST_F(MainFrameTest, ExceptionsInEventHandlersAreReportedAndShutTheGameDown)
{
    if (!app)
        GTEST_SKIP() << "another test made a plain QApplication first; the program's notify is not in place";
    struct Case {
        int type;
        std::string text;
    };
    for (Case const &c :
         {Case{QEvent::User, "Quintar: The handler failed."}, Case{QEvent::User + 1, "Unknown Exception"}}) {
        SCOPED_TRACE(c.text);
        OpenGame();
        messages.clear();
        ThrowingObject target;
        QEvent event(static_cast<QEvent::Type>(c.type));
        QCoreApplication::sendEvent(&target, &event);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, c.text);
        EXPECT_EQ(messages[0].caption, "Error");
        EXPECT_EQ(messages[0].style & MB_ICONMASK, MB_ICONERROR);
        EXPECT_FALSE(engine().IsRunning()) << "the engine is shut down";
        EXPECT_EQ(Zorvan::CurrentException, nullptr);
    }
}

} // namespace
} // namespace Frontend::Test
