// Shared pieces of the video, sound and input base tests: an engine over a
// game view of known size with a test module as the active module, a
// minimal module video, and a clock the tests move by hand.
#pragma once

#include "engine/AppModule.h"
#include "engine/BaseVideo.h"
#include "engine/PreciseTimer.h"
#include "engine/tests/EngineSandbox.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

#include <QWidget>

namespace EngineTest {

// A clock that moves only when told to, or by 1 µs per reading so that a
// pacing loop spinning on it still ends; sleeps move it by their length.
struct FakeClock {
    static inline uint64_t now = 0;
    static inline uint64_t sleptMs = 0;
    static inline int yields = 0;

    static uint64_t Read() { return now += 1000; }
    static void Sleep(unsigned ms)
    {
        now += uint64_t(ms) * 1000000;
        sleptMs += ms;
        yields += ms == 0;
    }
    static void AdvanceMicroseconds(uint64_t us) { now += us * 1000; }

    FakeClock() { CPreciseTimer::SetClock(&kClock); }
    ~FakeClock() { CPreciseTimer::SetClock(nullptr); }

private:
    static constexpr CPreciseTimer::Clock kClock{&FakeClock::Read, &FakeClock::Sleep};
};

// A module video with two RGB565 frame surfaces of the picture's size.
class TestVideo : public ZorvanEngine::BaseVideo {
public:
    TestVideo(ZorvanEngine::Module *owner, int width, int height) : BaseVideo(owner), m_size{width, height} {}
    ~TestVideo() override
    {
        if (m_open)
            Close();
    }

    bool Open(int, int, Ondrel::PixelFormat) override
    {
        Ondrel::Display *display = ourEngine->GetDisplay();
        m_surface0 = display->CreateSurface(m_size.x, m_size.y, Ondrel::PixelFormatRGB565);
        m_surface1 = m_surface0->Clone();
        m_chain.Add(m_surface0);
        m_chain.Add(m_surface1);
        return BaseVideo::Open(0, 0, Ondrel::PixelFormatNone);
    }
    void Close() override { BaseVideo::Close(); }
    void Lock() override
    {
        if (Ondrel::Surface *surface = m_chain.GetCurrent())
            surface->Lock(Ondrel::LockReadWrite);
    }
    Ondrel::Point GetScreenSize() override { return m_size; }
    void SetColor(int, int, int, int) override {}
    bool SyncFrame() override
    {
        lastResult = SyncVideo(skip, maxFrames);
        return lastResult;
    }
    int Is60Hz() override { return is60Hz ? 1 : 0; }
    void SetFastMode(bool) override {}

    // Paints the whole current frame surface with one RGB565 colour.
    void PaintCurrent(uint16_t colour)
    {
        Ondrel::Surface *surface = m_chain.GetCurrent();
        for (int y = 0; y < surface->GetHeight(); ++y) {
            auto *row = reinterpret_cast<uint16_t *>(surface->Row(y));
            for (int x = 0; x < surface->GetWidth(); ++x)
                row[x] = colour;
        }
        surface->MarkChanged();
    }

    bool is60Hz = true;
    int skip = -1;
    int maxFrames = -1;
    bool lastResult = false;

private:
    Ondrel::Point m_size;
};

// An engine over a view of the given size, with a test module active.
class MediaSandbox : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        view = std::make_unique<QWidget>();
        view->resize(240, 320);
        app.AddMessageLoop(&loop);
        engine = std::make_unique<ZorvanEngine::Engine>(&app, nullptr, view.get(), Wide(programFolder));
        module = std::make_unique<CallerModule>();
        engine->m_activeModule = module.get();
    }

    void TearDown() override
    {
        if (engine)
            engine->m_activeModule = nullptr;
        Sandbox::TearDown();
        app.RemoveMessageLoop();
        module.reset();
        view.reset();
    }

    // Rebuilds the display's drawing surface at the given size.
    void SetScreen(int width, int height)
    {
        ASSERT_TRUE(engine->GetDisplay()->Open(width, height, Ondrel::PixelFormatRGB565));
    }

    uint16_t ScreenPixel(int x, int y) const
    {
        Ondrel::Surface const *surface = engine->GetDrawingSurface();
        return reinterpret_cast<uint16_t const *>(surface->Row(y))[x];
    }

    ZorvanEngine::AppModule app;
    ZorvanEngine::GameLoop loop; // the throttle mode the pacing reads
    std::unique_ptr<QWidget> view;
    std::unique_ptr<CallerModule> module;
};

} // namespace EngineTest
