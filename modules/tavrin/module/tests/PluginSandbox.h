// The fixture of the handheld plug-in's engine tests: the real libTavrin.so
// copied into a sandboxed program folder and loaded by the engine
// (offscreen), with the plug-in's own words reached through its exports.
#pragma once

#include "engine/BaseSound.h"
#include "engine/BaseVideo.h"
#include "engine/tests/EngineSandbox.h"
#include "platform/ondrel/Input.h"
#include "tools/testsupport/TestRoms.h"
#include "ui/propertytree/PropertyItem.h"
#include "ui/propertytree/PropertyTree.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>

#include <gmock/gmock.h>

#include <cstring>

namespace Tavrin::Test {

using namespace ZorvanEngine::Test;

// The plug-in's words, by their exported names.
class PluginWords {
public:
    explicit PluginWords(fs::path const &library) : m_handle(dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        EXPECT_NE(m_handle, nullptr) << dlerror();
    }
    ~PluginWords()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    template <typename T>
    T &Word(char const *mangled) const
    {
        void *address = dlsym(m_handle, mangled);
        EXPECT_NE(address, nullptr) << mangled;
        return *static_cast<T *>(address);
    }
    uint32_t &SoundState() const { return Word<uint32_t>("_ZN6Tavrin10SoundStateE"); }
    uint32_t &MachineStopped() const { return Word<uint32_t>("_ZN6Tavrin14MachineStoppedE"); }
    uint32_t &SkipCountdown() const { return Word<uint32_t>("_ZN6Tavrin18FrameSkipCountdownE"); }
    uint32_t &SkipPeriod() const { return Word<uint32_t>("_ZN6Tavrin15FrameSkipPeriodE"); }
    uint16_t *HostColors() const { return &Word<uint16_t>("_ZN6Tavrin16ColorToHostTableE"); }
    uint8_t *&FrameBuffer() const { return Word<uint8_t *>("_ZN6Tavrin11FrameBufferE"); }
    std::string &BiosPath() const { return Word<std::string>("_ZN6Tavrin8BiosPathB5cxx11E"); }
    uint32_t ReadPad() const { return Function<uint32_t (*)()>("_ZN6Tavrin12ReadPadStateEv")(); }
    // A halfword of the running machine's address space, as its CPU reads it.
    uint32_t Read16(uint32_t address) const
    {
        return Function<uint32_t (*)(uint32_t)>("_ZN6Tavrin9BusRead16Ej")(address);
    }

private:
    template <typename Fn>
    Fn Function(char const *mangled) const
    {
        void *address = dlsym(m_handle, mangled);
        EXPECT_NE(address, nullptr) << mangled;
        return reinterpret_cast<Fn>(address);
    }

    void *m_handle;
};

class TavrinModuleTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        roms = QuintarTest::TestRomFolder();
        fs::create_directories(programFolder / "ZorvanModules");
        library = programFolder / "ZorvanModules/libTavrin.so";
        fs::copy_file(fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin/ZorvanModules/libTavrin.so",
                      library, fs::copy_options::overwrite_existing);
        words = std::make_unique<PluginWords>(library);
        MakeEngine().LoadModules();
        ASSERT_EQ(engine->GetModuleCount(), 1);
    }
    void TearDown() override
    {
        Sandbox::TearDown();
        words.reset();
    }
    fs::path Hello() const { return fs::path(roms) / "gba/jsmolka_ppu_hello.gba"; }
    // Every frame drawn and nothing waited for, as runrom runs.
    void StoreRunSettings(bool sound)
    {
        ZorvanEngine::Module *module = engine->OpenModule(0);
        module->GetSettings().Set(L"FrameSync", false, false);
        module->GetSettings().Set(L"FrameSkip", 0, false);
        module->GetSettings().Set(L"Sound", sound, false);
        module->SaveSettings();
        engine->CloseModule(module);
    }
    ZorvanEngine::Module &Active() { return *engine->GetActiveModule(); }
    // Writes a cartridge image below the sandbox; its path.
    fs::path Image(std::string const &name, std::vector<uint8_t> const &bytes) const
    {
        WriteFile(root / name, std::string(bytes.begin(), bytes.end()));
        return root / name;
    }
    // One frame; the picture it drew (the 500 x 160 surface it drew into).
    std::vector<uint8_t> Frame()
    {
        uint8_t *drawn = words->FrameBuffer();
        EXPECT_TRUE(Active().RunFrame());
        return drawn ? std::vector<uint8_t>(drawn, drawn + 1000 * 160) : std::vector<uint8_t>();
    }

    std::string roms;
    fs::path library;
    std::unique_ptr<PluginWords> words;
};

#define NEEDS_ROMS()                                                                                                  \
    if (roms.empty())                                                                                                 \
    GTEST_SKIP() << "public test programs not found (QUINTAR_TESTROMS)"

// The text a row of the shown settings page displays.
inline QString RowText(PropertyTree *tree, QString const &name)
{
    QTreeWidgetItemIterator it(tree);
    for (; *it; ++it) {
        if ((*it)->text(0) == name) {
            QString text;
            if (PropertyItem *item = tree->GetItem(*it))
                item->GetDisplayText(text);
            return text;
        }
    }
    return QStringLiteral("(no row)");
}

} // namespace Tavrin::Test
