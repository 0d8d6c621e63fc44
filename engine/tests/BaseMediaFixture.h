// Shared pieces of the video, sound and input base tests: an engine over a
// game view of known size with a test module as the active module, the
// test module video, and a clock the tests move by hand.
#pragma once

#include "engine/AppModule.h"
#include "engine/BaseVideo.h"
#include "engine/PreciseTimer.h"
#include "engine/tests/EngineSandbox.h"
#include "engine/tests/TestVideo.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

#include <QWidget>

namespace ZorvanEngine::Test {

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

} // namespace ZorvanEngine::Test
