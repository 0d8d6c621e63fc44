// The one engine object. The front end creates it with its main frame and
// deletes it with the frame; everything else reaches it through the global
// ourEngine. It owns the engine settings, the module descriptions, the active
// module, the names of the running file, the pad skins and the display and
// window objects, and carries the pause, running and shutdown flags that the
// front end's game loop consults.
//
// The front end and the modules read several members directly, so they are
// public and keep their order.
#pragma once

#include "common/zorvan/String.h"
#include "engine/PadSkinMgr.h"
#include "engine/PropertyMap.h"
#include "platform/ondrel/System.h"

#include <QString>

#include <cstdint>
#include <vector>

class QWidget;

namespace Ondrel {
class Display;
class Input;
class Surface;
class Window;
} // namespace Ondrel

namespace ZorvanEngine {

class AppModule;
class GameLoop;
class Module;
class ModuleDesc;
class PadSkin;

class Engine {
public:
    // Key messages that the front end forwards to ProcessMessage, with the
    // old platform's numbers.
    static constexpr unsigned kKeyDown = 0x0100;
    static constexpr unsigned kKeyUp = 0x0101;
    static constexpr unsigned kHotKey = 0x0312;

    // programFolder stands in for the folder of the running program (where
    // skins and modules are looked for); empty means the real one.
    Engine(AppModule *app, QWidget *frame, QWidget *view, Zorvan::String const &programFolder = Zorvan::String());
    ~Engine();
    Engine(Engine const &) = delete;
    Engine &operator=(Engine const &) = delete;

    AppModule *GetAppModule() const { return m_appModule; }
    QWidget *GetAppHwnd() const { return m_appHwnd; }
    QWidget *GetHwnd() const { return m_hwnd; }
    Ondrel::Window *GetWindow() const { return m_window; }
    Ondrel::Display *GetDisplay() const { return m_display; }
    Ondrel::System *GetOndrel() { return &m_system; }
    PropertyMap &GetSettings() { return m_settings; }
    Module *GetActiveModule() const { return m_activeModule; }
    int GetModuleCount() const { return static_cast<int>(m_modules.size()); }
    // 0 <= i < GetModuleCount().
    ModuleDesc *GetModuleDesc(int i) const { return m_modules[static_cast<size_t>(i)]; }
    Zorvan::String const &GetFileName() const { return m_fileName; }
    Zorvan::String const &GetZippedFileName() const { return m_zippedFileName; }
    PadSkinMgr &GetPadSkinMgr() { return m_padSkinMgr; }
    PadSkin *GetActivePadSkin() const { return m_padSkinMgr.GetActiveSkin(); }
    bool IsRunning() const { return m_running; }
    void SetRunning(bool running) { m_running = running; }
    bool IsPaused() const { return m_pauseCount != 0; }
    bool IsUserPaused() const { return m_userPaused; }
    bool IsShutdownPending() const { return m_shutdownPending; }

    // Root of the engine library's Qt resources (the built-in skin bitmap
    // is "<root>/166.png").
    static QString GetResourceInstance();
    // The loop registered with the application module for the calling thread.
    GameLoop *GetGameLoop() const;
    // The program's folder, without a trailing "/".
    Zorvan::String const &GetPath() const { return m_programFolder; }
    // The user's documents folder, created when missing.
    static Zorvan::String GetDocumentsFolder();
    // Documents folder (created when missing) + "/Saved Game Files".
    static Zorvan::String GetDefaultSavePath();
    // The engine's key in the key store.
    static Zorvan::String GetRegKeyRoot();
    Ondrel::Input *GetInput() const;
    // The display's back surface when it uses one, else its primary surface.
    Ondrel::Surface *GetDrawingSurface() const;

    // A message box captioned "Quintar" over the view, then BringToFront.
    void Message(Zorvan::String const &text);
    // Appends the text unchanged (it is not a format).
    void PrintConsole(Zorvan::String const &text);
    void ResetConsole();
    Zorvan::String GetConsole() const;
    void ResizeWindow(int) {}
    // Key messages forwarded by the front end: kKeyDown and kKeyUp carry a
    // virtual key in w; kHotKey a hardware key in the high 16 bits of l,
    // released when bit 12 of l is set.
    void ProcessMessage(unsigned msg, uintptr_t w, intptr_t l);

    bool IsPadSkinVisible() const;
    // Half the active skin's image height while the pad is shown, else 0.
    int GetPadSkinSize();

    // Nested pauses (dialogs, menus, file operations) and the user's pause;
    // the active module is paused while either holds.
    void Pause();
    void Resume();
    void UserPause();
    void UserResume();
    void Reset();
    // Only marks the shutdown; the front end performs it on its next paint.
    void AsyncShutdown() { m_shutdownPending = true; }
    void Shutdown();

    void ResetSettings();
    void LoadSettings();
    void SaveSettings();
    // Whether settings were saved before ("ShouldLoad" in the key store):
    // false on the very first run.
    bool ShouldLoadSettings();
    void UpdateSettings();
    void InitDisplay();
    void BringToFront();

    // Platform thread priority (0 time critical .. 7 idle) for a
    // "ThreadPriority" setting (0 idle .. 6 time critical; others normal).
    static int PlatformThreadPriority(int setting);

    // Module discovery and module libraries.
    void LoadModules();
    Module *OpenModule(int index);
    void CloseModule(Module *module);

    // Runs a game file (or the first accepted member of a zip archive).
    bool RunFile(Zorvan::String path) { return RunFile(path, nullptr); }
    // The same with a module object of the caller's (null: one is opened).
    bool RunFile(Zorvan::String path, Module *module);
    // Why the last RunFile failed, as the engine or the module that refused
    // the file put it ("The file does not exist"); empty when neither said.
    static Zorvan::String GetRefusal();

    AppModule *m_appModule;
    QWidget *m_appHwnd;
    QWidget *m_hwnd;
    Ondrel::Window *m_window;
    Ondrel::Display *m_display;
    Ondrel::System m_system;
    int m_displayDriver;
    bool m_userPaused;
    bool m_running;
    bool m_shutdownPending;
    int m_pauseCount;
    PropertyMap m_settings;
    Module *m_activeModule;
    std::vector<ModuleDesc *> m_modules;
    Zorvan::String m_fileName;
    Zorvan::String m_zippedFileName;
    PadSkinMgr m_padSkinMgr;
    Zorvan::String m_programFolder;

private:
    void ApplyThreadPriority();
};

} // namespace ZorvanEngine

// The engine object while it exists, else null.
extern ZorvanEngine::Engine *ourEngine;
