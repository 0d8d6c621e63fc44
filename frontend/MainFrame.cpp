// The main frame's construction, layout, activation and teardown, and the
// reporting of exceptions. The commands are in MainFrameCommands.cpp, the
// tool bar and popups in MainFrameToolBar.cpp.
#include "frontend/MainFrame.h"

#include "common/SeException/SeException.h"
#include "common/zorvan/Console.h"
#include "common/zorvan/Exception.h"
#include "common/zorvan/MessagePresenter.h"
#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "frontend/ChildView.h"
#include "frontend/GameLoop.h"
#include "frontend/GlobalSettingsPage.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"
#include "platform/ondrel/Window.h"
#include "engine/QtString.h"

#include <utility>

#include <QCloseEvent>
#include <QToolBar>

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 520;

// "Orientation" names by display rotation; anything else means none.
constexpr wchar_t const *kOrientationNames[] = {L"North", L"East", L"South", L"West"};

int RotationOf(Zorvan::String const &orientation)
{
    for (int i = 0; i < 4; ++i) {
        if (orientation == kOrientationNames[i])
            return i;
    }
    return Ondrel::RotationNone;
}

} // namespace

void ReportCaughtException()
{
    try {
        throw;
    } catch (CSeException *fault) {
        wchar_t text[1024];
        fault->GetErrorMessage(text, 1024);
        Zorvan::presentMessage(Zorvan::String(text), Zorvan::String(L"Error"), MB_OK | MB_ICONERROR);
        fault->Delete();
    } catch (...) {
        if (Zorvan::CurrentException) {
            Zorvan::Exception *pending = Zorvan::CurrentException;
            Zorvan::CurrentException = nullptr;
            pending->ReportError();
        } else {
            Zorvan::presentMessage(Zorvan::String(L"Unknown Exception"), Zorvan::String(L"Error"),
                                   MB_OK | MB_ICONERROR);
        }
    }
    if (ourEngine)
        ourEngine->Shutdown();
}

MainFrame::MainFrame(ZorvanEngine::AppModule *app, Zorvan::String const &programFolder)
    : QMainWindow(nullptr), m_app(app), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("Quintar.MainFrame"));
}

MainFrame::~MainFrame()
{
    OnDestroy();
}

bool MainFrame::OnCreate()
{
    m_loop = m_app ? dynamic_cast<CGameLoop *>(m_app->GetMessageLoop()) : nullptr;

    CreateToolBar();
    CreateAccelerators();
    UpdateCommandStates();

    auto *view = new ChildView(this);
    view->setObjectName(QStringLiteral("Quintar.ChildView"));
    setCentralWidget(view);
    m_view = view;
    m_runner = view;
    if (m_loop) {
        m_loop->SetGameRunner(m_runner);
        m_loop->SetTerminationHandler([this] { OnTerminationSignal(); });
    }

    Zorvan::String version(ZorvanEngine::kModuleInterfaceVersion);
    version.Replace(L", ", L".");
    setWindowTitle(QStringLiteral("Quintar ") + ToQString(version));
    resize(kDefaultWidth, kDefaultHeight);
    show();

    try {
        m_engine = std::make_unique<ZorvanEngine::Engine>(m_app, this, m_view, m_programFolder);
    } catch (...) {
        // The constructor may have published itself before it failed.
        ourEngine = nullptr;
        if (Zorvan::CurrentException)
            delete Zorvan::CurrentException;
    }
    if (!m_engine) {
        Zorvan::presentMessage(
            Zorvan::String(L"Quintar was unable to create the main emulation engine and must exit now."),
            Zorvan::String(L"Error"), MB_OK | MB_ICONERROR);
        if (m_loop)
            m_loop->Quit(2);
        return true;
    }

    m_engine->BringToFront();
    m_globalSettings = new GlobalSettingsPage(&m_engine->GetSettings());
    CreateDialogs();

    RefreshViewAndToolBar();
    m_engine->LoadModules();
    UpdateCommandStates();
    return true;
}

void MainFrame::OnDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (m_loop) {
        m_loop->SetGameRunner(nullptr);
        m_loop->SetTerminationHandler(nullptr);
    }
    delete m_globalSettings;
    m_globalSettings = nullptr;
    DeleteDialogs();
    if (m_engine) {
        // A module opened only for its page, still open as the program ends.
        if (m_settingsModule && m_settingsModule != m_engine->GetActiveModule())
            m_engine->CloseModule(m_settingsModule);
        m_settingsModule = nullptr;
        m_engine->Shutdown();
        m_engine.reset();
    }
    if (m_loop)
        m_loop->Quit(0);
}

void MainFrame::RefreshViewAndToolBar()
{
    if (m_engine && m_engine->GetWindow())
        m_engine->GetWindow()->Refresh();
    if (m_toolBar)
        m_toolBar->update();
}

void MainFrame::UpdateCommandStates()
{
    bool const running = m_engine && m_engine->IsRunning();
    bool const userPaused = running && m_engine->IsUserPaused();
    struct State {
        int command;
        bool enabled;
    } const states[] = {
        {ID_PLAY, running && userPaused}, {ID_PAUSE, running && !userPaused}, {ID_RESET, running},
        {ID_SAVE, running},               {ID_LOAD, running},
    };
    for (State const &state : states) {
        if (QAction *action = GetCommandAction(state.command))
            action->setEnabled(state.enabled);
    }
    if (!m_toolBar)
        return;
    m_toolBar->update();
    if (m_engine) {
        m_engine->GetSettings().Set(L"ToolBarSize", m_toolBar->isVisible() ? m_toolBar->height() : 0, true);
        if (Ondrel::Display *display = m_engine->GetDisplay())
            display->Resume();
    }
}

void MainFrame::resizeEvent(QResizeEvent *event)
{
    // The tool bar and the view are laid out by the window itself.
    QMainWindow::resizeEvent(event);
    if (m_engine)
        m_engine->UpdateSettings();
}

void MainFrame::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !m_destroyed)
        OnActivate(isActiveWindow());
}

void MainFrame::OnActivate(bool active)
{
    if (!m_engine)
        return;
    if (active) {
        if (m_engine->IsPaused()) {
            m_engine->BringToFront();
            m_engine->Resume();
        }
        RefreshViewAndToolBar();
    } else {
        m_engine->Pause();
        // The view paints black while another program is in front.
        RefreshViewAndToolBar();
    }
    UpdateCommandStates();
}

void MainFrame::closeEvent(QCloseEvent *event)
{
    // Closing the window is the Exit command, with its question; the loop
    // ends when the user confirms and the run step destroys the frame.
    event->ignore();
    OnCommand(ID_APP_EXIT);
}

void MainFrame::OnDialogClosed(int dialogId, int code)
{
    if (code != ModelessDialogOwner::CloseCode || !m_engine)
        return;
    switch (dialogId) {
    case kSettingsPageId:
        OnSettingsClosed();
        break;
    case kConsoleDialogId:
    case kHtmlHostDialogId:
        m_engine->Resume();
        break;
    default:
        break;
    }
}

void MainFrame::OnSettingsClosed()
{
    if (!m_engine)
        return;
    ZorvanEngine::Module *active = m_engine->GetActiveModule();
    if (ZorvanEngine::Module *module = m_settingsModule) {
        m_settingsModule = nullptr;
        module->SaveSettings();
        if (module == active || (active && active->GetDesc() == module->GetDesc()))
            module->UpdateSettings();
        else
            m_engine->CloseModule(module); // it was opened for its settings only
    } else {
        m_engine->UpdateSettings();
        m_engine->SaveSettings();
        if (active)
            active->CheckState();
        ApplyOrientation();
    }
    m_engine->Resume();
    RefreshViewAndToolBar();
}

void MainFrame::ApplyOrientation()
{
    Ondrel::Display *display = m_engine->GetDisplay();
    int const rotation = RotationOf(m_engine->GetSettings().GetString(L"Orientation"));
    if (!display || display->GetRotation() == rotation)
        return;
    ReopenDisplay(rotation, true);
}

void MainFrame::ReopenDisplay(int rotation, bool tell)
{
    Ondrel::Display *display = m_engine->GetDisplay();
    ZorvanEngine::Module *active = m_engine->GetActiveModule();
    ZorvanEngine::BaseVideo *video = active ? active->GetVideo() : nullptr;
    if (video)
        video->Close();
    if (tell)
        Zorvan::printConsole("Closing Display...\n");
    display->Close();
    if (tell)
        Zorvan::printConsole("Setting orientation...\n");
    display->SetRotation(rotation);
    if (auto *view = dynamic_cast<ChildView *>(m_view))
        view->ReleaseImages();
    if (tell)
        Zorvan::printConsole("Opening...\n");
    display->Open();
    if (video)
        video->Open(0, 0, Ondrel::PixelFormatNone);
}

void MainFrame::FitDisplayToView()
{
    Ondrel::Display *display = m_engine ? m_engine->GetDisplay() : nullptr;
    if (!display || !display->IsOpen() || !m_view || m_view->width() <= 0 || m_view->height() <= 0)
        return;
    int width = m_view->width();
    int height = m_view->height();
    int const rotation = display->GetRotation();
    if (rotation == Ondrel::RotationEast || rotation == Ondrel::RotationWest)
        std::swap(width, height);
    Ondrel::Surface *screen = display->GetPrimarySurface();
    if (screen->GetWidth() == width && screen->GetHeight() == height)
        return;
    ReopenDisplay(rotation, false);
}
