// The program's top-level window. It owns the engine and the game view, and
// turns the tool bar, its popups and the accelerators into engine and module
// calls. Every command that pauses the engine resumes it before returning,
// except those that open a modeless page: the page's close notification
// (OnDialogClosed) resumes it.
//
// The game view (ChildView) is a child widget of the frame below the tool
// bar; the frame expects of it:
//     explicit ChildView(MainFrame *frame);  // created as the frame's child
//     a GameRunner base, which the frame hands to the game loop;
//     void ReleaseImages();  // drops the cached background and paused images
// and offers it UpdateCommandStates, OnCommand (ID_RESET, ID_TOOLS) and
// GetToolBar for its keys and its full-screen switch.
#pragma once

#include "common/zorvan/String.h"
#include "engine/ModelessDialogOwner.h"

#include <QMainWindow>
#include <QPoint>

#include <memory>

class QAction;
class QMenu;
class QToolBar;
class CGameLoop;
class GameRunner;
class GlobalSettingsPage;
class ConsoleDialog;
class HtmlHostDialog;
class AboutView;

namespace ZorvanEngine {
class AppModule;
class Engine;
class Module;
} // namespace ZorvanEngine

// Command identifiers, with the old numbers.
enum MainFrameCommand : int {
    ID_TOOLS = 32053,
    ID_PLAY = 32054,
    ID_PAUSE = 32055,
    ID_RESET = 32056,
    ID_SAVE = 32057,
    ID_LOAD = 32058,
    ID_GLOBAL_SETTINGS = 33000,
    ID_SELECT_MODULE = 33001, // to 33007: settings of module (id - 33001)
    ID_SELECT_MODULE_LAST = 33007,
    ID_CONSOLE = 33012,
    ID_SAVE_HEADER = 34001,
    ID_SAVE_SLOT = 34002, // to 34010: save to slot (id - 34001)
    ID_LOAD_HEADER = 34021,
    ID_LOAD_SLOT = 34022, // to 34030: load slot (id - 34021)
    ID_FILE_OPEN = 57601,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_INDEX = 57666,
    ID_IGNORED = 57667,
};

class MainFrame : public QMainWindow, public ModelessDialogOwner {
    Q_OBJECT
public:
    static constexpr int kSlots = 9;
    // The modeless dialogs that tell the frame when they have closed.
    static constexpr int kSettingsPageId = 135;
    static constexpr int kConsoleDialogId = 258;
    static constexpr int kHtmlHostDialogId = 259;

    // programFolder stands in for the program's own folder (modules and
    // skins are looked for there); empty means the real one.
    explicit MainFrame(ZorvanEngine::AppModule *app, Zorvan::String const &programFolder = Zorvan::String());
    ~MainFrame() override;

    // Builds the window, the tool bar, the view and the engine. False when
    // the view could not be made. When the engine cannot be made the user is
    // told, the loop is asked to quit with code 2 and the result is true:
    // ourEngine stays null.
    bool OnCreate();

    // Every command: tool bar, accelerators, popups and the view's keys.
    // Exceptions are reported and shut the engine down; the program goes on.
    void OnCommand(int id);
    // Enables Play, Pause, Reset, Save and Load by the engine's state,
    // stores the tool bar's height as "ToolBarSize" and resumes the display.
    void UpdateCommandStates();

    // The popups, built afresh for each showing; null where the popup does
    // not open (no engine, or no running game for Save and Load).
    std::unique_ptr<QMenu> MakeSlotMenu(bool load);
    std::unique_ptr<QMenu> MakeToolsMenu();
    std::unique_ptr<QMenu> MakeHelpMenu();
    // Where a popup opens, in the frame's coordinates: under its button,
    // its left edge at the button's (the top left when the tool bar is hidden).
    QPoint PopupPosition(int command) const;

    // The dialogs' close notifications: 135 a settings page, 258 the
    // Console, 259 the HTML host.
    void OnDialogClosed(int dialogId, int code) override;
    void OnSettingsClosed();

    QToolBar *GetToolBar() const { return m_toolBar; }
    QAction *GetCommandAction(int id) const;
    QWidget *GetView() const { return m_view; }
    CGameLoop *GetGameLoop() const { return m_loop; }
    ZorvanEngine::Engine *GetEngine() const { return m_engine.get(); }
    GlobalSettingsPage *GetGlobalSettingsPage() const { return m_globalSettings; }
    // The module whose settings page is open; null when none.
    ZorvanEngine::Module *GetSettingsModule() const { return m_settingsModule; }

    // The commands.
    void OnPlay();
    void OnPause();
    void OnReset();
    void OnSaveSlot(int slot);
    void OnLoadSlot(int slot);
    void OnSelectModule(int index);
    void OnGlobalSettings();
    void OnConsole();
    void OnFileOpen();
    // Starts the file, from the Open dialog or the command line. When it
    // does not start the user is told why (the reason the engine or the
    // module gave) and the Console is shown.
    bool RunFileOrReport(Zorvan::String const &path);
    void OnAbout();
    void OnExit();
    // A termination signal (logout, shutdown, kill, Ctrl+C): the game is
    // closed and the program ends with 0, without a question.
    void OnTerminationSignal();
    // The Save, Load, Tools and Help popups, shown where PopupPosition says.
    void ShowPopup(int command);
    // The display's screen follows the view's size (the old platform's
    // full-screen window never changed size; a desktop window does), so a
    // game's picture stays centred in the window.
    void FitDisplayToView();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void CreateToolBar();
    void CreateAccelerators();
    void OnActivate(bool active);
    void OnDestroy();
    // The Console, the HTML host and the About view.
    void CreateDialogs();
    void DeleteDialogs();
    void RefreshViewAndToolBar();
    // The Console dialog over the frame (the engine stays paused until it
    // closes).
    void ShowConsole();
    // The chosen slot's dispatch: save (34002-34010) or load (34022-34030).
    bool OnSlotCommand(int id);
    // Applies a changed "Orientation" to the display.
    void ApplyOrientation();
    // Closes the running game's video and the display, turns the display
    // to the given rotation, and opens both again at the view's size.
    void ReopenDisplay(int rotation, bool tell);


    ZorvanEngine::AppModule *m_app;
    CGameLoop *m_loop = nullptr;
    Zorvan::String m_programFolder;
    QToolBar *m_toolBar = nullptr;
    QWidget *m_view = nullptr;
    GameRunner *m_runner = nullptr;
    std::unique_ptr<ZorvanEngine::Engine> m_engine;
    GlobalSettingsPage *m_globalSettings = nullptr;
    ConsoleDialog *m_console = nullptr;
    HtmlHostDialog *m_htmlHost = nullptr;
    AboutView *m_about = nullptr;
    ZorvanEngine::Module *m_settingsModule = nullptr;
    bool m_destroyed = false;
};

// Reports the exception being handled (call it inside a catch block): a
// processor fault's message, the pending Zorvan::Exception, or "Unknown
// Exception", each in an "Error" box; then shuts the engine down.
void ReportCaughtException();
