// A module plug-in for tests: accepts files with its extension, counts every
// call the engine makes on it, and draws a simple moving picture per frame
// through a module video, as a real module does.
// Name, version and extension are given at build time (see CMakeLists.txt).
//
// Tests read the counts through TestModuleCount("OpenRom") and friends. The
// counts live in the library, so a test keeps its own dlopen handle on the
// library while it looks at them.
//
// OpenRom refuses any path that contains "refuse"; when the file's content
// begins with "reason:", the rest is noted as the reason it was refused.
#include "common/zorvan/Refusal.h"
#include "common/zorvan/String.h"
#include "engine/Engine.h"
#include "engine/ExtensionSet.h"
#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "engine/tests/TestVideo.h"
#include "platform/ondrel/PixelFormat.h"

#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace ZorvanEngine::Test {
namespace {

std::map<std::string, int> counts;
std::string lastRom;
std::string lastZipped;

constexpr unsigned kFieldColour = 0x102040;
constexpr unsigned kBarColour = 0xF0C020;

void Count(char const *what)
{
    ++counts[what];
}

class TestModule : public Module {
public:
    static constexpr int kPictureWidth = 160;
    static constexpr int kPictureHeight = 120;

    TestModule() { Count("Construct"); }
    ~TestModule() override
    {
        Count("Destroy");
        delete m_video;
    }

    bool OpenRom(Zorvan::String path) override
    {
        Count("OpenRom");
        lastRom = static_cast<char const *>(path);
        lastZipped = static_cast<char const *>(ourEngine->GetZippedFileName());
        if (path.Find(L"refuse") >= 0) {
            // A refused file that begins with "reason:" gives the rest as
            // the module's reason, as a console module does.
            std::ifstream image(static_cast<char const *>(path), std::ios::binary);
            std::string const content{std::istreambuf_iterator<char>(image), std::istreambuf_iterator<char>()};
            if (content.starts_with("reason:"))
                Zorvan::noteRefusal(content.c_str() + 7);
            return false;
        }
        if (!m_video) {
            m_video = new ZorvanEngine::Test::TestVideo(this, kPictureWidth, kPictureHeight);
            m_video->Open(0, 0, Ondrel::PixelFormatNone);
        }
        return true;
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
    void Close() override
    {
        Count("Close");
        if (m_video)
            m_video->Close();
    }

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
    void DrawFrame(int frame)
    {
        auto *video = static_cast<ZorvanEngine::Test::TestVideo *>(m_video);
        if (!video || !video->IsOpen())
            return;
        video->PaintCurrent(Ondrel::Rgb888To565(kFieldColour));
        video->PaintCurrent(Ondrel::Rgb888To565(kBarColour),
                            Ondrel::Rect{(frame * 4) % kPictureWidth, 0, kPictureWidth / 8, kPictureHeight});
        video->PresentFrame();
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

} // namespace ZorvanEngine::Test
