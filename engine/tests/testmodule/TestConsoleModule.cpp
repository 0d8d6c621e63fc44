// A console plug-in for tests, built on the console module glue the way the
// real consoles are: "Test Console", images ".qtc" and ".qtd". Its machine is
// TestConsoleMachine.cpp; its objects log their construction, destruction
// and the calls the glue makes on them.
#include "common/zorvan/Console.h"
#include "engine/BaseSound.h"
#include "engine/Engine.h"
#include "engine/PadSkin.h"
#include "engine/tests/testmodule/TestConsoleMachine.h"
#include "engine/tests/testmodule/TestConsoleVideo.h"
#include "modules/common/ConsoleDesc.h"
#include "modules/common/ConsoleModule.h"
#include "modules/common/ConsoleRowsPage.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

#include <cstring>
#include <string>

namespace ZorvanEngine::Test {

// ---- video ----

Video::Video(Module *owner) : ConsoleVideo(owner, skipCountdown, skipPeriod)
{
    Log("video new");
    video = this;
}

Video::~Video()
{
    Log("video delete");
    if (video == this)
        video = nullptr;
}

bool Video::Open(int, int, Ondrel::PixelFormat)
{
    Log("video Open");
    Ondrel::Display *display = ourEngine ? ourEngine->GetDisplay() : nullptr;
    m_surface0 = display ? display->CreateSurface(kSurfaceWidth, kSurfaceHeight, Ondrel::PixelFormatRGB565,
                                                  Ondrel::SurfaceFlagPackedRows)
                         : nullptr;
    if (!m_surface0)
        return false;
    m_surface1 = m_surface0->Clone();
    m_chain.Add(m_surface0);
    m_chain.Add(m_surface1);
    Lock();
    return BaseVideo::Open(0, 0, Ondrel::PixelFormatNone);
}

void Video::Close()
{
    Log("video Close");
    ConsoleVideo::Close();
    m_pixels = nullptr;
}

void Video::Lock()
{
    if (Ondrel::Surface *surface = m_chain.GetCurrent())
        m_pixels = static_cast<uint16_t *>(surface->Lock(Ondrel::LockReadWrite).pixels);
}

void Video::DrawPicture(int frame)
{
    if (!m_pixels)
        return;
    uint16_t const guard = Ondrel::Rgb888To565(kGuardColour);
    uint16_t const field = Ondrel::Rgb888To565(kFieldColour);
    uint16_t const bar = Ondrel::Rgb888To565(kBarColour);
    int const barX = kPicture.x + frame % kPicture.width;
    for (int y = 0; y < kSurfaceHeight; ++y) {
        uint16_t *row = m_pixels + y * kSurfaceWidth;
        bool const pictureRow = y >= kPicture.y && y < kPicture.Bottom();
        for (int x = 0; x < kSurfaceWidth; ++x) {
            bool const inside = pictureRow && x >= kPicture.x && x < kPicture.Right();
            row[x] = !inside ? guard : x == barX ? bar : field;
        }
    }
    Unlock();
    DrawFrame(kPicture);
    if (Ondrel::Display *display = ourEngine ? ourEngine->GetDisplay() : nullptr)
        display->Refresh(Ondrel::Rect());
    Flip();
    Lock();
}

// ---- sound ----

class Sound : public ZorvanEngine::BaseSound {
public:
    explicit Sound(Module *owner) : BaseSound(owner)
    {
        Log("sound new");
        m_channelCount = 1;
    }
    ~Sound() override { Log("sound delete"); }
    void Open(int rate, int bits, bool stereo) override
    {
        Log("sound Open " + std::to_string(rate));
        BaseSound::Open(rate, bits, stereo);
    }
    void Close() override
    {
        Log("sound Close");
        BaseSound::Close();
    }
    void UpdateSettings() override
    {
        Log("sound UpdateSettings");
        BaseSound::UpdateSettings();
    }
    int Mix(void *buffer, int samples) override
    {
        std::memset(buffer, 0x80, static_cast<size_t>(samples));
        return samples;
    }
};

// ---- input ----

constexpr ConsoleGlue::ConsoleButton kButtons[] = {
    {L"Up", 0x01, ZorvanEngine::kPadNorth},   {L"Down", 0x02, ZorvanEngine::kPadSouth},
    {L"Left", 0x04, ZorvanEngine::kPadWest},  {L"Right", 0x08, ZorvanEngine::kPadEast},
    {L"A", 0x10, ZorvanEngine::kPadA},        {L"B", 0x20, ZorvanEngine::kPadB},
    {L"Select", 0x40, ZorvanEngine::kPadSelect}, {L"Start", 0x80, ZorvanEngine::kPadStart},
};

class Input : public ConsoleGlue::ConsoleInput {
public:
    explicit Input(Module *owner) : ConsoleInput(owner, kButtons, padInput) { Log("input new"); }
    ~Input() override { Log("input delete"); }
};

// ---- settings page ----

class Page : public ConsoleGlue::ConsoleRowsPage {
public:
    explicit Page(PropertyMap *settings) : ConsoleRowsPage(settings, {L"Test Console", 8, false}) { Log("page new"); }
    ~Page() override { Log("page delete"); }
};

// ---- module ----

// Silent by default, and a rate of its own so tests see the module's
// setting reach the sound.
ConsoleGlue::ConsoleDefaults const kDefaults{
    false, 0, 0, 8, [](PropertyMap &s) { s.Set(L"SoundRate", 22050, false); },
};

class TestConsoleModule final : public ConsoleGlue::ConsoleModuleOf<Page, Sound, Video, Input> {
public:
    TestConsoleModule() : ConsoleModuleOf(kMachine, kDefaults) { Log("module new"); }
    ~TestConsoleModule() override { Log("module delete"); }

    void Pause() override
    {
        Log("Pause");
        Module::Pause();
    }
    void Resume() override
    {
        Log("Resume");
        Module::Resume();
    }
};

constexpr ConsoleGlue::ExtensionText kExtensions[] = {
    {L"Test Console Images", L".qtc"},
    {L"Test Console Discs", L".qtd"},
};
constexpr ConsoleGlue::ModuleTexts kTexts{L"Test Console", L"TestConsole", L"<p>A console module for tests.</p>",
                                          kExtensions};

} // namespace ZorvanEngine::Test

CONSOLE_MODULE_EXPORTS(ZorvanEngine::Test::TestConsoleModule, ZorvanEngine::Test::kTexts)
