#include "engine/Engine.h"

#include "common/zorvan/Console.h"
#include "common/zorvan/MessagePresenter.h"
#include "engine/AppModule.h"
#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "engine/PadSkin.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Input.h"
#include "platform/ondrel/Window.h"

#include <filesystem>
#include <system_error>

ZorvanEngine::Engine *ourEngine = nullptr;

namespace ZorvanEngine {

namespace {

// The folder of the running executable, worked out once.
Zorvan::String const &ExecutableFolder()
{
    static Zorvan::String const folder = [] {
        std::error_code error;
        std::filesystem::path const exe = std::filesystem::read_symlink("/proc/self/exe", error);
        return error ? Zorvan::String(".") : Zorvan::String(exe.parent_path().c_str());
    }();
    return folder;
}

Zorvan::String WithoutTrailingSlash(Zorvan::String path)
{
    while (path.GetLength() > 1 && path[path.GetLength() - 1] == L'/')
        path = path.Left(path.GetLength() - 1);
    return path;
}

} // namespace

Engine::Engine(AppModule *app, QWidget *frame, QWidget *view, Zorvan::String const &programFolder)
    : m_appModule(app), m_appHwnd(frame), m_hwnd(view ? view : frame), m_window(nullptr),
      m_display(nullptr), m_system(frame), m_displayDriver(-1), m_userPaused(false), m_running(false),
      m_shutdownPending(false), m_pauseCount(0), m_activeModule(nullptr),
      m_programFolder(programFolder.IsEmpty() ? ExecutableFolder() : WithoutTrailingSlash(programFolder))
{
    m_system.SetDisplayDriver(Ondrel::DisplayDriverRawFrameBuffer);
    Zorvan::clearConsole();
    m_window = m_system.CreateWindow(m_hwnd);
    ourEngine = this;

    m_padSkinMgr.LoadSkins(GetPath() + L"/Skins");
    ResetSettings();
    LoadSettings();
    InitDisplay();
}

Engine::~Engine()
{
    // A module still running refers to its description and library: close
    // it before either goes away.
    if (m_activeModule) {
        m_activeModule->Close();
        CloseModule(m_activeModule);
        m_activeModule = nullptr;
    }
    SaveSettings();
    for (ModuleDesc *desc : m_modules)
        delete desc;
    m_modules.clear();
    m_padSkinMgr.ReleaseSkins();
    if (m_display) {
        m_display->Close();
        delete m_display;
        m_display = nullptr;
    }
    delete m_window;
    m_window = nullptr;
    ourEngine = nullptr;
}

QString Engine::GetResourceInstance()
{
    return QStringLiteral(":/ZorvanEngine");
}

GameLoop *Engine::GetGameLoop() const
{
    return m_appModule ? m_appModule->GetMessageLoop() : nullptr;
}

Zorvan::String Engine::GetRegKeyRoot()
{
    return Zorvan::String(L"Software/Quintar");
}

Ondrel::Input *Engine::GetInput() const
{
    return m_system.GetInput();
}

Ondrel::Surface *Engine::GetDrawingSurface() const
{
    return m_display ? m_display->GetBackSurface() : nullptr;
}

void Engine::Message(Zorvan::String const &text)
{
    Zorvan::presentMessage(text, Zorvan::String(L"Quintar"), MB_OK);
    BringToFront();
}

void Engine::PrintConsole(Zorvan::String const &text)
{
    Zorvan::printConsole("%s", static_cast<char const *>(text));
}

void Engine::ResetConsole()
{
    Zorvan::clearConsole();
}

Zorvan::String Engine::GetConsole() const
{
    return Zorvan::String(Zorvan::getConsole());
}

void Engine::ProcessMessage(unsigned msg, uintptr_t w, intptr_t l)
{
    Ondrel::Input *input = GetInput();
    if (!input)
        return;
    switch (msg) {
    case kKeyDown:
        input->KeyEvent(static_cast<int>(w), true);
        break;
    case kKeyUp:
        input->KeyEvent(static_cast<int>(w), false);
        break;
    case kHotKey:
        input->HardwareKeyEvent(static_cast<int>((static_cast<uintptr_t>(l) >> 16) & 0xFFFF), (l & 0x1000) == 0);
        break;
    default:
        break;
    }
}

bool Engine::IsPadSkinVisible() const
{
    return m_settings.GetBoolean(L"VirtualPad") && m_settings.GetBoolean(L"FullScreen") && m_activeModule &&
           m_display && m_display->GetRotation() == Ondrel::RotationNorth;
}

int Engine::GetPadSkinSize()
{
    if (!IsPadSkinVisible())
        return 0;
    m_activeModule->LoadPad();
    PadSkin const *skin = GetActivePadSkin();
    return skin ? skin->GetImageSize().y / 2 : 0;
}

void Engine::Pause()
{
    ++m_pauseCount;
    if (m_pauseCount == 1 && !m_userPaused && m_activeModule)
        m_activeModule->Pause();
}

void Engine::Resume()
{
    if (m_pauseCount == 0)
        return;
    --m_pauseCount;
    if (m_pauseCount == 0 && !m_userPaused) {
        BringToFront();
        if (m_activeModule)
            m_activeModule->Resume();
    }
}

void Engine::UserPause()
{
    if (m_userPaused)
        return;
    m_userPaused = true;
    if (m_pauseCount == 0 && m_activeModule)
        m_activeModule->Pause();
}

void Engine::UserResume()
{
    if (!m_userPaused)
        return;
    BringToFront();
    m_userPaused = false;
    if (m_pauseCount == 0 && m_activeModule)
        m_activeModule->Resume();
}

void Engine::Reset()
{
    if (!m_activeModule)
        return;
    m_activeModule->Reset();
    UserResume();
}

void Engine::Shutdown()
{
    m_shutdownPending = false;
    m_userPaused = false;
    m_pauseCount = 0;
    BringToFront();
    SaveSettings();
    m_running = false;
    if (m_activeModule) {
        m_activeModule->Close();
        CloseModule(m_activeModule);
        m_activeModule = nullptr;
    }
    m_fileName.Empty();
    m_zippedFileName.Empty();
    if (m_window)
        m_window->Refresh();
}

void Engine::BringToFront()
{
    if (m_window)
        m_window->ShowInFront();
    if (m_settings.GetBoolean(L"FullScreen"))
        m_system.SetFullScreen(Ondrel::FullScreenEnter);
}

} // namespace ZorvanEngine
