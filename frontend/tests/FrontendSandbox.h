// Shared fixture of the front end's tests: each test runs in a temporary
// folder that stands in for the user's home, configuration and documents
// folders and for the program's folder (with the test module plug-in in its
// ZorvanModules folder). Messages are captured and answered from a script.
#pragma once

#include "common/zorvan/MessagePresenter.h"
#include "common/zorvan/String.h"
#include "engine/Engine.h"
#include "engine/Module.h"
#include "frontend/Application.h"
#include "frontend/GameLoop.h"
#include "frontend/MainFrame.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Frontend::Test {

namespace fs = std::filesystem;

// The program object of the tests. Another test of the same program may
// have made a plain QApplication first; tests that need the program's own
// notify check IsOwnApplication.
inline Application *EnsureApplication()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "frontend_tests";
        static char *argv[] = {name, nullptr};
        new Application(argc, argv);
    }
    return qobject_cast<Application *>(QCoreApplication::instance());
}

inline std::string Narrow(Zorvan::String const &text)
{
    return static_cast<char const *>(text);
}

inline Zorvan::String Wide(std::string const &text)
{
    return Zorvan::String(text.c_str());
}

// A single-instance name of the caller's own, so that programs the tests
// start side by side, and a Quintar the user runs, never meet.
inline QString FreshInstanceName()
{
    return QStringLiteral("Quintar.MainFrame-test-") + QUuid::createUuid().toString(QUuid::Id128);
}

// The test module plug-ins, built next to the test program (target TestModule).
inline fs::path TestModuleLibrary()
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "testmodule" / "libTestModule.so";
}

// The test console plug-in, on the console module glue (target TestConsole).
inline fs::path TestConsoleLibrary()
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "testmodule" / "libTestConsole.so";
}

struct Message {
    std::string text;
    std::string caption;
    unsigned style;
};

// The call counts of the test module library the engine loads.
class ModuleProbe {
public:
    explicit ModuleProbe(fs::path const &library) : m_handle(dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~ModuleProbe()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    ModuleProbe(ModuleProbe const &) = delete;
    ModuleProbe &operator=(ModuleProbe const &) = delete;

    bool IsLoaded() const { return m_handle != nullptr; }
    int Count(char const *what) const
    {
        auto count = reinterpret_cast<int (*)(char const *)>(dlsym(m_handle, "TestModuleCount"));
        return count ? count(what) : -1;
    }
    void Reset() const
    {
        if (auto reset = reinterpret_cast<void (*)()>(dlsym(m_handle, "TestModuleResetCounts")))
            reset();
    }

private:
    void *m_handle;
};

class Sandbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = EnsureApplication();
        ASSERT_TRUE(m_temp.isValid());
        root = fs::path(m_temp.path().toStdString());
        SetEnv("HOME", root / "home");
        SetEnv("XDG_CONFIG_HOME", root / "home/.config");
        SetEnv("QUINTAR_CONFIG_DIR", root / "home/.config/Quintar");
        SetEnv("XDG_DATA_HOME", root / "home/.local/share");
        fs::create_directories(root / "home/Documents");
        programFolder = root / "app/bin";
        fs::create_directories(programFolder / "ZorvanModules");
        ASSERT_TRUE(fs::exists(TestModuleLibrary())) << "build the TestModule target: " << TestModuleLibrary();
        moduleLibrary = programFolder / "ZorvanModules/libTestModule.so";
        fs::copy_file(TestModuleLibrary(), moduleLibrary, fs::copy_options::overwrite_existing);
        m_savedPresenter = Zorvan::setMessagePresenter(
            [this](Zorvan::String const &text, Zorvan::String const &caption, unsigned style) {
                messages.push_back({Narrow(text), Narrow(caption), style});
                if (!answers.empty()) {
                    int const answer = answers.front();
                    answers.pop_front();
                    return answer;
                }
                return Zorvan::defaultMessageResult(style);
            });
    }

    void TearDown() override
    {
        frame.reset();
        if (m_loopRegistered)
            appModule().RemoveMessageLoop();
        m_loopRegistered = false;
        Zorvan::setMessagePresenter(m_savedPresenter);
        m_environment.Restore();
    }

    // The program's module of the application (a stand-in when another
    // test made a plain QApplication first).
    ZorvanEngine::AppModule &appModule()
    {
        static ZorvanEngine::AppModule fallback;
        return app ? app->GetAppModule() : fallback;
    }

    // The main frame over the program folder's modules, with `loop` as the
    // application's loop for this thread; gone again at TearDown.
    void MakeFrame()
    {
        appModule().AddMessageLoop(&loop);
        m_loopRegistered = true;
        frame = std::make_unique<MainFrame>(&appModule(), Zorvan::String(programFolder.c_str()));
        ASSERT_TRUE(frame->OnCreate());
        ASSERT_NE(ourEngine, nullptr);
    }

    // Adds the test console plug-in to the program folder's modules.
    void InstallTestConsole()
    {
        ASSERT_TRUE(fs::exists(TestConsoleLibrary())) << "build the TestConsole target";
        fs::copy_file(TestConsoleLibrary(), programFolder / "ZorvanModules/libTestConsole.so");
    }

    fs::path WriteGame(std::string const &name)
    {
        fs::path const path = root / "games" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "a game for the test module\n";
        return path;
    }

    bool SawMessage(std::string const &text) const
    {
        for (Message const &message : messages) {
            if (message.text == text)
                return true;
        }
        return false;
    }

    Application *app = nullptr;
    fs::path root;
    fs::path programFolder;
    fs::path moduleLibrary;
    std::vector<Message> messages;
    std::deque<int> answers; // given to the questions in order; then defaults
    CGameLoop loop;
    std::unique_ptr<MainFrame> frame;

private:
    void SetEnv(char const *name, fs::path const &value) { m_environment.Set(name, value.string()); }

    QTemporaryDir m_temp;
    bool m_loopRegistered = false;
    Zorvan::MessagePresenter m_savedPresenter;
    QuintarTest::ScopedEnvironment m_environment;
};

// A main frame over the test module, with its game loop registered as the
// application's loop for this thread.
class FrameSandbox : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        if (HasFatalFailure())
            return;
        MakeFrame();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(ourEngine->GetModuleCount(), 1);
        probe = std::make_unique<ModuleProbe>(moduleLibrary);
        ASSERT_TRUE(probe->IsLoaded());
    }

    void TearDown() override
    {
        frame.reset();
        probe.reset();
        Sandbox::TearDown();
    }

    ZorvanEngine::Engine &engine() { return *frame->GetEngine(); }
    ZorvanEngine::Module *module() { return engine().GetActiveModule(); }

    void OpenGame(std::string const &name = "game.qtm")
    {
        ASSERT_TRUE(engine().RunFile(Zorvan::String(WriteGame(name).c_str())));
        frame->UpdateCommandStates();
    }

    // Writes a saved state for the slot where the module looks for it.
    void WriteState(int slot)
    {
        fs::path const path(Narrow(module()->GetStateName(slot)));
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "state\n";
    }

    bool Enabled(int command) const
    {
        QAction *action = frame->GetCommandAction(command);
        return action && action->isEnabled();
    }

    std::unique_ptr<ModuleProbe> probe;
};

} // namespace Frontend::Test
