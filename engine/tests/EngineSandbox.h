// Shared fixture of the engine's tests: every test runs in a temporary
// folder that stands in for the user's home, configuration and documents
// folders and for the program's folder, so nothing touches the real user's
// files. Messages are captured instead of shown.
#pragma once

#include "common/zorvan/Console.h"
#include "common/zorvan/MessagePresenter.h"
#include "common/zorvan/String.h"
#include "engine/Engine.h"
#include "engine/Module.h"
#include "tools/testsupport/TestApplication.h"
#include "tools/testsupport/ScopedEnvironment.h"
#include "tools/testsupport/TestZip.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ZorvanEngine::Test {

namespace fs = std::filesystem;

using QuintarTest::EnsureApplication;

// The test module plug-ins, built next to the test program.
inline fs::path TestModuleFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "testmodule";
}

inline std::string Narrow(Zorvan::String const &text)
{
    return static_cast<char const *>(text);
}

inline Zorvan::String Wide(fs::path const &path)
{
    return Zorvan::String(path.c_str());
}

inline void WriteFile(fs::path const &path, std::string const &content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// The counters of one copy of a test module library. Holding the library
// open keeps its counts alive while the engine loads and frees it.
class ModuleProbe {
public:
    explicit ModuleProbe(fs::path const &library) : m_handle(dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        EXPECT_NE(m_handle, nullptr) << dlerror();
    }
    ~ModuleProbe()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    ModuleProbe(ModuleProbe const &) = delete;
    ModuleProbe &operator=(ModuleProbe const &) = delete;

    int Count(char const *what) const { return Call<int (*)(char const *)>("TestModuleCount")(what); }
    std::string LastRom() const { return Call<char const *(*)()>("TestModuleLastRom")(); }
    std::string LastZipped() const { return Call<char const *(*)()>("TestModuleLastZipped")(); }
    void Reset() const { Call<void (*)()>("TestModuleResetCounts")(); }

private:
    template <typename Fn>
    Fn Call(char const *name) const
    {
        return reinterpret_cast<Fn>(dlsym(m_handle, name));
    }
    void *m_handle;
};

// A module of the test's own, handed to Engine::RunFile(path, module); it
// counts the calls it gets and accepts every file unless told otherwise.
class CallerModule : public ZorvanEngine::Module {
public:
    explicit CallerModule(bool accept = true) : m_accept(accept) {}
    bool OpenRom(Zorvan::String) override { return m_accept; }
    bool RunFrame() override { return true; }
    void Pause() override
    {
        ++pauses;
        Module::Pause();
    }
    void Resume() override
    {
        ++resumes;
        Module::Resume();
    }
    void Reset() override { ++resets; }
    void Close() override {}
    bool SaveState(int) override { return false; }
    bool LoadState(int) override { return false; }
    void ShowProperties() override {}
    void ResetSettings() override
    {
        Module::ResetSettings();
        ++settingResets;
    }

    int pauses = 0;
    int resumes = 0;
    int resets = 0;
    int settingResets = 0;

private:
    bool m_accept;
};

class Sandbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        ASSERT_TRUE(m_temp.isValid());
        root = fs::path(m_temp.path().toStdString());
        SetEnv("QUINTAR_CONFIG_DIR", root / "config");
        SetEnv("HOME", root / "home");
        SetEnv("XDG_CONFIG_HOME", root / "home/.config");
        SetEnv("XDG_DATA_HOME", root / "home/.local/share");
        fs::create_directories(root / "home");
        programFolder = root / "app/bin";
        fs::create_directories(programFolder);
        m_savedPresenter = Zorvan::setMessagePresenter(
            [this](Zorvan::String const &text, Zorvan::String const &caption, unsigned) {
                messages.push_back(Narrow(text));
                captions.push_back(Narrow(caption));
                return IDOK;
            });
    }

    void TearDown() override
    {
        engine.reset();
        Zorvan::setMessagePresenter(m_savedPresenter);
        m_environment.Restore();
    }

    // Copies a test module library into a folder (created when missing).
    fs::path InstallModule(char const *library, fs::path const &folder)
    {
        fs::create_directories(folder);
        fs::path const target = folder / library;
        fs::copy_file(TestModuleFolder() / library, target, fs::copy_options::overwrite_existing);
        return target;
    }

    ZorvanEngine::Engine &MakeEngine()
    {
        engine.reset();
        engine = std::make_unique<ZorvanEngine::Engine>(nullptr, nullptr, nullptr, Wide(programFolder));
        return *engine;
    }

    fs::path Documents() const { return root / "home/Documents"; }

    std::string Console() const { return Zorvan::getConsole(); }

    fs::path root;
    fs::path programFolder;
    std::vector<std::string> messages;
    std::vector<std::string> captions;
    std::unique_ptr<ZorvanEngine::Engine> engine;

private:
    void SetEnv(char const *name, fs::path const &value) { m_environment.Set(name, value.string()); }

    QTemporaryDir m_temp;
    Zorvan::MessagePresenter m_savedPresenter;
    QuintarTest::ScopedEnvironment m_environment;
};

} // namespace ZorvanEngine::Test
