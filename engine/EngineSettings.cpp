// The engine's settings table and what applying it does: the display, the
// CPU throttle of the game loop and the priority of the UI thread.
#include "engine/Engine.h"

#include "common/zorvan/Console.h"
#include "engine/AppModule.h"
#include "engine/BaseVideo.h"
#include "engine/Module.h"
#include "engine/QtString.h"
#include "engine/Registry.h"
#include "platform/ondrel/Display.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace ZorvanEngine {

namespace {

QSize ScreenSize()
{
    // Without a screen (no application object yet, or none attached) a
    // small desktop is assumed.
    QScreen const *screen = QGuiApplication::instance() ? QGuiApplication::primaryScreen() : nullptr;
    return screen ? screen->size() : QSize(640, 480);
}

bool IsFolder(Zorvan::String const &path)
{
    std::error_code error;
    return !path.IsEmpty() &&
           std::filesystem::is_directory(std::filesystem::path(static_cast<char const *>(path)), error);
}

struct DriverName {
    int setting;
    char const *text;
};

constexpr DriverName kDriverNames[] = {
    {0, "GDI\n"},
    {1, "GAPI\n"},
    {2, "RawFrameBuffer with GAPI fallback.\n"},
    {3, "RawFrameBuffer with GAPI fallback.\n"},
};

constexpr wchar_t const *kOrientations[] = {L"North", L"East", L"South", L"West"};

// Nice values for the platform thread priorities 0 (time critical) to 7 (idle).
constexpr int kNiceForPriority[] = {-20, -10, -5, 0, 5, 10, 15, 19};

} // namespace

Zorvan::String Engine::GetDocumentsFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    return ToZorvanString(folder);
}

Zorvan::String Engine::GetDefaultSavePath()
{
    Zorvan::String path = Engine::GetDocumentsFolder();
    if (path.GetLength() > 0 && path[0] == L'"')
        path = path.Mid(1);
    if (path.GetLength() > 0 && path[path.GetLength() - 1] == L'"')
        path = path.Left(path.GetLength() - 1);
    if (path.GetLength() > 0 && path[path.GetLength() - 1] == L'/')
        path = path.Left(path.GetLength() - 1);
    if (path.IsEmpty() || path[0] != L'/')
        path = ToZorvanString(QDir::current().absoluteFilePath(ToQString(path)));
    return path + L"/Saved Game Files";
}

void Engine::ResetSettings()
{
    if (m_activeModule)
        m_activeModule->ResetSettings();

    QSize const screen = ScreenSize();
    PropertyMap &s = m_settings;
    s.Set(L"CPUThrottle", 0, false);
    s.Set(L"ThreadPriority", 3, false);
    s.Set(L"DisplayDriver", 3, false);
    s.Set(L"Orientation", L"North", false);
    s.Set(L"Sound", true, false);
    s.Set(L"Volume", 50, false);
    s.Set(L"DefaultExt", 1, false);
    s.Set(L"ROMPath", Engine::GetDocumentsFolder(), false);
    s.Set(L"SavedGameRoot", GetDefaultSavePath(), false);
    s.Set(L"CustomFileDlg", true, false);
    s.Set(L"NoFullScreen", false, false);
    s.Set(L"AutoPause", false, false);
    s.Set(L"Debug", false, false);
    s.Set(L"FullScreenRes", 0, false);
    s.Set(L"VirtualPad", true, false);
    s.Set(L"InputPolling", false, false);
    s.Set(L"BGColor", 0, false);
    s.Set(L"BGFileName", GetPath() + L"/QuintarLogo.bmp", false);
    s.Set(L"FullScreen", false, true);
    s.Set(L"DesktopWidth", screen.width(), true);
    s.Set(L"DesktopHeight", screen.height(), true);
    s.Set(L"ToolBarSize", 24, true);
    // No task bar covers part of a desktop window.
    s.Set(L"TaskBarSize", 0, true);
}

bool Engine::ShouldLoadSettings()
{
    Registry key(HKEY_CURRENT_USER, GetRegKeyRoot(), 1);
    return key.ReadDWORD(L"ShouldLoad", 0) != 0;
}

void Engine::LoadSettings()
{
    if (m_activeModule)
        m_activeModule->LoadSettings();
    if (!ShouldLoadSettings())
        return;
    Registry key(HKEY_CURRENT_USER, GetRegKeyRoot(), 1);
    m_settings.FromRegistry(key);
    if (!IsFolder(m_settings.GetString(L"SavedGameRoot")))
        m_settings.Set(L"SavedGameRoot", GetDefaultSavePath(), false);
}

void Engine::SaveSettings()
{
    if (m_activeModule)
        m_activeModule->SaveSettings();
    Registry key(HKEY_CURRENT_USER, GetRegKeyRoot(), 1);
    m_settings.ToRegistry(key);
}

void Engine::InitDisplay()
{
    int const setting = m_settings.GetInt(L"DisplayDriver");
    int const driver = setting == 3 ? Ondrel::DisplayDriverRawFrameBuffer : setting;
    if (driver == m_displayDriver && m_display)
        return;
    m_displayDriver = driver;

    char const *name = "Undefined\n";
    for (DriverName const &entry : kDriverNames) {
        if (entry.setting == setting)
            name = entry.text;
    }
    Zorvan::printConsole("Display Driver: %s", name);
    m_system.SetDisplayDriver(driver);

    if (m_activeModule && m_activeModule->GetVideo())
        m_activeModule->GetVideo()->Close();
    if (m_display) {
        m_display->Close();
        delete m_display;
    }
    m_display = m_system.CreateDisplay(m_window);

    int rotation = Ondrel::RotationNone;
    Zorvan::String const orientation = m_settings.GetString(L"Orientation");
    for (int i = 0; i < 4; ++i) {
        if (orientation == kOrientations[i])
            rotation = i;
    }
    if (m_display->GetRotation() != rotation)
        m_display->SetRotation(rotation);
    m_display->Open();
    m_display->UseBackSurface(false);

    if (m_activeModule && m_activeModule->GetVideo())
        m_activeModule->GetVideo()->Open(0, 0, Ondrel::PixelFormatNone);
}

int Engine::PlatformThreadPriority(int setting)
{
    // Settings run from idle (0) to time critical (6); platform priorities
    // the other way round, with no step between idle and lowest.
    constexpr int kPlatformPriority[] = {7, 5, 4, 3, 2, 1, 0};
    return setting >= 0 && setting <= 6 ? kPlatformPriority[setting] : 3;
}

void Engine::ApplyThreadPriority()
{
    int const nice = kNiceForPriority[PlatformThreadPriority(m_settings.GetInt(L"ThreadPriority"))];
    id_t const thread = static_cast<id_t>(gettid());
    errno = 0;
    int const current = getpriority(PRIO_PROCESS, thread);
    if (errno == 0 && current == nice)
        return;
    if (setpriority(PRIO_PROCESS, thread, nice) != 0) {
        // Raising the priority needs a privilege most users lack: the game
        // simply runs at the priority it has.
        Zorvan::printConsole("Thread priority %d (nice %d) refused: %s\n",
                             PlatformThreadPriority(m_settings.GetInt(L"ThreadPriority")), nice, std::strerror(errno));
    }
}

void Engine::UpdateSettings()
{
    InitDisplay();
    m_settings.Set(L"TaskBarSize", 0, true);
    if (GameLoop *loop = GetGameLoop()) {
        loop->m_throttleMode = m_settings.GetInt(L"CPUThrottle");
        loop->m_frameCounter = 0;
    }
    ApplyThreadPriority();
    if (m_activeModule)
        m_activeModule->UpdateSettings();
}

} // namespace ZorvanEngine
