// The fixture of the Z80 module's tests: an engine over a shown game view in
// a temporary home (EngineTest::Sandbox), which knows the module's file
// types and runs images on a BelcrestModule of the test's own, so that the
// tests can look at the machine. Every frame is drawn and nothing waits
// for the clock unless a test asks for it.
#pragma once

#include "engine/tests/EngineSandbox.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/module/BelcrestModule.h"
#include "modules/common/ConsoleDesc.h"
#include "platform/ondrel/Surface.h"

#include <QTest>
#include <QWidget>

#include <memory>

namespace Belcrest::Test {

namespace fs = std::filesystem;

class BelcrestSandbox : public EngineTest::Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        view = std::make_unique<QWidget>();
        view->resize(240, 320);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        engine = std::make_unique<ZorvanEngine::Engine>(nullptr, nullptr, view.get(), EngineTest::Wide(programFolder));
        engine->m_modules.push_back(ConsoleGlue::NewConsoleModuleDesc(BelcrestTexts));
        engine->GetSettings().Set(L"Sound", false, false);
    }

    void TearDown() override
    {
        Sandbox::TearDown();
        view.reset();
    }

    // Runs the image on a new module; the engine owns the module from here.
    bool Run(fs::path const &image)
    {
        bool const running = engine->RunFile(EngineTest::Wide(image), new BelcrestModule);
        if (running) {
            PropertyMap &settings = Module().GetSettings();
            settings.Set(L"FrameSkip", 0, false);
            settings.Set(L"FrameSync", false, false);
            Module().UpdateSettings();
        }
        return running;
    }

    BelcrestModule &Module() const { return static_cast<BelcrestModule &>(*engine->GetActiveModule()); }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(Module().RunFrame());
    }

    // The shown window of the frame last drawn, as 0x00RRGGBB.
    std::vector<uint32_t> ShownFrame() const
    {
        ZorvanEngine::BaseVideo const *video = Module().GetVideo();
        std::vector<uint32_t> pixels;
        Ondrel::Rect const window = video->m_lastSrc;
        // The frame drawn last is the surface before the current one.
        Ondrel::Surface const *surface =
            video->m_chain.GetCurrent() == video->m_surface0 ? video->m_surface1 : video->m_surface0;
        QImage const image = surface->AsImage();
        for (int y = window.y; y < window.y + window.height; ++y) {
            for (int x = window.x; x < window.x + window.width; ++x)
                pixels.push_back(image.pixel(x, y) & 0xFFFFFF);
        }
        return pixels;
    }

    std::unique_ptr<QWidget> view;
};

} // namespace Belcrest::Test
