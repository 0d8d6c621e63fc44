// The main frame's commands. Each one that pauses the engine resumes it
// before it returns, except those that open a modeless page or dialog: the
// page's close notification resumes it.
#include "frontend/MainFrame.h"

#include "common/zorvan/MessagePresenter.h"
#include "engine/Engine.h"
#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "frontend/AboutView.h"
#include "frontend/ConsoleDialog.h"
#include "frontend/FailedOpenMessage.h"
#include "frontend/FileDialog.h"
#include "frontend/GameLoop.h"
#include "frontend/GlobalSettingsPage.h"
#include "frontend/HtmlHostDialog.h"
#include "frontend/StopDialog.h"
#include "platform/ondrel/Window.h"
#include "engine/QtString.h"

#include <QApplication>
#include <QFileInfo>

#include <string>

namespace {

bool AskYesNo(wchar_t const *question)
{
    return Zorvan::presentMessage(Zorvan::String(question), Zorvan::String(L"Confirm"), MB_YESNO) == IDYES;
}

} // namespace

void MainFrame::OnCommand(int id)
{
    try {
        if (id >= ID_SELECT_MODULE && id <= ID_SELECT_MODULE_LAST) {
            OnSelectModule(id - ID_SELECT_MODULE);
        } else if (!OnSlotCommand(id)) {
            switch (id) {
            case ID_TOOLS:
            case ID_SAVE:
            case ID_LOAD:
            case ID_HELP_INDEX:
                ShowPopup(id);
                break;
            case ID_PLAY:
                OnPlay();
                break;
            case ID_PAUSE:
                OnPause();
                break;
            case ID_RESET:
                OnReset();
                break;
            case ID_GLOBAL_SETTINGS:
                OnGlobalSettings();
                break;
            case ID_CONSOLE:
                OnConsole();
                break;
            case ID_FILE_OPEN:
                OnFileOpen();
                break;
            case ID_APP_ABOUT:
                OnAbout();
                break;
            case ID_APP_EXIT:
                OnExit();
                break;
            default: // the popups' headers, 57667 and anything unknown
                break;
            }
        }
    } catch (...) {
        ReportCaughtException();
    }
}

bool MainFrame::OnSlotCommand(int id)
{
    if (id >= ID_SAVE_SLOT && id < ID_SAVE_SLOT + kSlots) {
        OnSaveSlot(id - ID_SAVE_HEADER);
        return true;
    }
    if (id >= ID_LOAD_SLOT && id < ID_LOAD_SLOT + kSlots) {
        OnLoadSlot(id - ID_LOAD_HEADER);
        return true;
    }
    return false;
}

void MainFrame::OnPlay()
{
    if (!m_engine)
        return;
    if (ZorvanEngine::Module *active = m_engine->GetActiveModule())
        active->CheckState();
    m_engine->UserResume();
    RefreshViewAndToolBar();
    UpdateCommandStates();
}

void MainFrame::OnPause()
{
    if (!m_engine)
        return;
    if (ZorvanEngine::Module *active = m_engine->GetActiveModule())
        active->CheckState();
    m_engine->UserPause();
    RefreshViewAndToolBar();
    UpdateCommandStates();
}

void MainFrame::OnReset()
{
    if (!m_engine)
        return;
    ZorvanEngine::Module *active = m_engine->GetActiveModule();
    if (active)
        active->CheckState();
    if (m_engine->IsRunning()) {
        m_engine->Pause();
        if (AskYesNo(L"This will reset the current game, are you sure you wish to do this?")) {
            m_engine->Reset();
            m_engine->UpdateSettings();
        }
        m_engine->Resume();
    }
    UpdateCommandStates();
}

void MainFrame::OnSaveSlot(int slot)
{
    ZorvanEngine::Module *active = m_engine ? m_engine->GetActiveModule() : nullptr;
    if (!active || !m_engine->IsRunning())
        return;
    m_engine->Pause();
    if (!active->HasState(slot) || AskYesNo(L"Are you sure you wish to overwrite this saved game?"))
        active->SaveState(slot);
    m_engine->Resume();
    UpdateCommandStates();
}

void MainFrame::OnLoadSlot(int slot)
{
    ZorvanEngine::Module *active = m_engine ? m_engine->GetActiveModule() : nullptr;
    if (!active || !m_engine->IsRunning())
        return;
    m_engine->Pause();
    if (active->HasState(slot))
        active->LoadState(slot);
    m_engine->Resume();
    m_engine->UserResume();
    UpdateCommandStates();
}

void MainFrame::OnSelectModule(int index)
{
    if (!m_engine)
        return;
    m_engine->Pause();
    ZorvanEngine::Module *module = nullptr;
    if (index >= 0 && index < m_engine->GetModuleCount()) {
        ZorvanEngine::Module *active = m_engine->GetActiveModule();
        module = active && active->GetDesc() == m_engine->GetModuleDesc(index) ? active : m_engine->OpenModule(index);
    }
    m_settingsModule = module;
    if (module)
        module->ShowProperties(); // its page's close notification resumes
    else
        m_engine->Resume();
}

void MainFrame::OnGlobalSettings()
{
    if (!m_engine || !m_globalSettings)
        return;
    m_engine->Pause();
    m_globalSettings->Show(this);
}

void MainFrame::OnConsole()
{
    if (!m_engine)
        return;
    m_engine->Pause();
    ShowConsole();
}

void MainFrame::ShowConsole()
{
    if (m_console)
        m_console->Show(this);
}

void MainFrame::OnAbout()
{
    if (!m_engine || !m_htmlHost || !m_about)
        return;
    m_engine->Pause();
    m_htmlHost->Show(m_about, this);
    m_htmlHost->SetTitle(Zorvan::String(L"About Quintar"));
}

void MainFrame::CreateDialogs()
{
    m_console = new ConsoleDialog;
    m_about = new AboutView;
    m_htmlHost = new HtmlHostDialog;
}

void MainFrame::DeleteDialogs()
{
    delete m_htmlHost;
    m_htmlHost = nullptr;
    delete m_about;
    m_about = nullptr;
    delete m_console;
    m_console = nullptr;
}

void MainFrame::OnFileOpen()
{
    if (!m_engine)
        return;
    PropertyMap &settings = m_engine->GetSettings();
    OpenFileRequest request;
    for (int i = 0; i < m_engine->GetModuleCount(); ++i)
        request.filter += ToQString(m_engine->GetModuleDesc(i)->GetFileFilter());
    request.filter += QStringLiteral("All Files (*.*)|*.*|Zip Files (*.zip)|*.zip||");
    request.filterIndex = settings.GetInt(L"DefaultExt");
    request.initialFolder = ToQString(settings.GetString(L"ROMPath"));

    m_engine->Pause();
    bool const custom = settings.GetBoolean(L"CustomFileDlg");
    QWidget *owner = custom ? this : QApplication::activeWindow();
    if (GetOpenFileName(owner ? owner : this, request, custom)) {
        // The whole folder, whichever dialog chose the file, so that the
        // next dialog opens where this one ended.
        QString const folder = QFileInfo(request.path).absolutePath();
        settings.Set(L"ROMPath", ToZorvanString(folder), false);
        settings.Set(L"DefaultExt", request.filterIndex, false);
        RunFileOrReport(ToZorvanString(request.path));
    }
    if (ZorvanEngine::Module *active = m_engine->GetActiveModule())
        active->CheckState();
    m_engine->UpdateSettings();
    m_engine->Resume();
    UpdateCommandStates();
}

bool MainFrame::RunFileOrReport(Zorvan::String const &path)
{
    if (!m_engine)
        return false;
    if (m_engine->RunFile(path))
        return true;
    Zorvan::presentMessage(ToZorvanString(FailedOpenMessage(ToQString(ZorvanEngine::Engine::GetRefusal()))),
                           Zorvan::String(), MB_OK);
    m_engine->Pause(); // until the Console is closed
    ShowConsole();
    return false;
}

void MainFrame::OnTerminationSignal()
{
    // "Exit Quintar" without the question: the game closes the normal way,
    // its battery save written and the settings kept.
    if (m_engine) {
        m_engine->Shutdown();
        UpdateCommandStates();
    }
    if (m_loop)
        m_loop->Quit(0);
}

void MainFrame::OnExit()
{
    if (!m_engine) {
        if (m_loop)
            m_loop->Quit(0);
        return;
    }
    m_engine->Pause();
    if (m_engine->IsRunning()) {
        StopDialog stop(this, true);
        if (stop.exec() == QDialog::Accepted) {
            bool const exitProgram = stop.GetChoice() == StopDialog::ExitQuintar;
            m_engine->Shutdown();
            UpdateCommandStates();
            if (exitProgram && m_loop)
                m_loop->Quit(0);
        }
    } else if (AskYesNo(L"Are you sure you want to exit Quintar?") && m_loop) {
        m_loop->Quit(0);
    }
    m_engine->Resume();
}
