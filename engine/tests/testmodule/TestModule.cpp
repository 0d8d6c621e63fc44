// A module plug-in for tests: accepts files with its extension, counts every
// call the engine makes on it, and draws a simple moving picture per frame.
// Name, version and extension are given at build time (see CMakeLists.txt).
//
// Tests read the counts through TestModuleCount("OpenRom") and friends. The
// counts live in the library, so a test keeps its own dlopen handle on the
// library while it looks at them.
//
// OpenRom refuses any path that contains "refuse".
#include "common/zorvan/String.h"
#include "engine/Engine.h"
#include "engine/ExtensionSet.h"
#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/DrawingContext.h"
#include "platform/ondrel/Surface.h"

#include <fstream>
#include <map>
#include <memory>
#include <string>

using ZorvanEngine::Module;
using ZorvanEngine::ModuleDesc;

namespace {

std::map<std::string, int> counts;
std::string lastRom;
std::string lastZipped;

void Count(char const *what)
{
    ++counts[what];
}

class TestModule : public Module {
public:
    TestModule() { Count("Construct"); }
    ~TestModule() override { Count("Destroy"); }

    bool OpenRom(Zorvan::String path) override
    {
        Count("OpenRom");
        lastRom = static_cast<char const *>(path);
        lastZipped = static_cast<char const *>(ourEngine->GetZippedFileName());
        return path.Find(L"refuse") < 0;
    }

    bool RunFrame() override
    {
        Count("RunFrame");
        DrawFrame(counts["RunFrame"]);
        return true;
    }

    void Pause() override
    {
        Count("Pause");
        Module::Pause();
    }
    void Resume() override
    {
        Count("Resume");
        Module::Resume();
    }
    void Reset() override { Count("Reset"); }
    void Close() override { Count("Close"); }

    bool SaveState(int slot) override
    {
        Count("SaveState");
        ourEngine->Pause();
        std::ofstream out(static_cast<char const *>(GetStateName(slot)));
        out << "test module state " << slot << "\n";
        bool const ok = static_cast<bool>(out);
        ourEngine->Resume();
        return ok;
    }
    bool LoadState(int slot) override
    {
        Count("LoadState");
        std::ifstream in(static_cast<char const *>(GetStateName(slot)));
        return static_cast<bool>(in);
    }
    void ShowProperties() override { Count("ShowProperties"); }

    void UpdateSettings() override
    {
        Count("UpdateSettings");
        Module::UpdateSettings();
    }
    void LoadSettings() override
    {
        Count("LoadSettings");
        Module::LoadSettings();
    }
    void SaveSettings() override
    {
        Count("SaveSettings");
        Module::SaveSettings();
    }
    void ResetSettings() override
    {
        Count("ResetSettings");
        Module::ResetSettings();
        m_settings.Set(L"PadSkin", L"Quintar Default", false);
        m_settings.Set(L"TestValue", 7, false);
        LoadPad();
    }

private:
    // A dark field with a bright bar that moves one step per frame.
    static void DrawFrame(int frame)
    {
        Ondrel::Surface *surface = ourEngine->GetDrawingSurface();
        if (!surface)
            return;
        std::unique_ptr<Ondrel::DrawingContext> context(surface->CreateDrawingContext());
        Ondrel::Rect const all = surface->GetRect();
        context->Fill(all, 0x102040);
        int const barWidth = all.width / 8 > 0 ? all.width / 8 : 1;
        context->Fill(Ondrel::Rect{(frame * 4) % (all.width > 0 ? all.width : 1), 0, barWidth, all.height}, 0xF0C020);
        if (Ondrel::Display *display = ourEngine->GetDisplay())
            display->Refresh();
    }
};

} // namespace

extern "C" ModuleDesc *NewModuleDesc()
{
    Count("NewModuleDesc");
    auto *desc = new ModuleDesc;
    desc->SetName(L"" TESTMODULE_NAME);
    desc->SetVersion(L"" TESTMODULE_VERSION);
    desc->SetRegKeyRoot(L"" TESTMODULE_KEY);
    desc->SetDescription(L"<p>A module for tests.</p>");
    auto *set = new ZorvanEngine::ExtensionSet(L"Test Files");
    set->Add(L"" TESTMODULE_EXTENSION);
    desc->GetExtensionSet().push_back(set);
    return desc;
}

#ifndef TESTMODULE_NO_NEW_MODULE
extern "C" Module *NewModule()
{
    return new TestModule;
}
#endif

// How often the named call happened since the library was loaded or the
// counts were reset.
extern "C" int TestModuleCount(char const *what)
{
    auto const found = counts.find(what);
    return found == counts.end() ? 0 : found->second;
}

extern "C" void TestModuleResetCounts()
{
    counts.clear();
    lastRom.clear();
    lastZipped.clear();
}

// The path the last OpenRom got, and the archive member the engine had
// chosen at that moment.
extern "C" char const *TestModuleLastRom()
{
    return lastRom.c_str();
}

extern "C" char const *TestModuleLastZipped()
{
    return lastZipped.c_str();
}
