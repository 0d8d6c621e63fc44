// The fixture of a console module's tests: an engine over a shown game view
// in a temporary home (ZorvanEngine::Test::Sandbox) that knows the module's file
// types and runs images on a module object of the test's own, so that tests
// can look at the machine. Every frame is drawn and nothing waits for the
// clock unless a test asks for it.
#pragma once

#include "engine/tests/EngineSandbox.h"
#include "modules/common/ConsoleDesc.h"
#include "platform/ondrel/Surface.h"

#include <QTest>
#include <QWidget>

#include <memory>

namespace ConsoleGlue::Test {

template <class ModuleT, ModuleTexts const &Texts, int ViewWidth, int ViewHeight>
class ModuleSandbox : public ZorvanEngine::Test::Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        view = std::make_unique<QWidget>();
        view->resize(ViewWidth, ViewHeight);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        engine = std::make_unique<ZorvanEngine::Engine>(nullptr, nullptr, view.get(), ZorvanEngine::Test::Wide(programFolder));
        engine->m_modules.push_back(NewConsoleModuleDesc(Texts));
        engine->GetSettings().Set(L"Sound", false, false);
    }

    void TearDown() override
    {
        Sandbox::TearDown();
        view.reset();
    }

    // Runs the image on a new module; the engine owns the module from here.
    bool Run(std::filesystem::path const &image)
    {
        bool const running = engine->RunFile(ZorvanEngine::Test::Wide(image), new ModuleT);
        if (running) {
            PropertyMap &settings = Module().GetSettings();
            settings.Set(L"FrameSkip", 0, false);
            settings.Set(L"FrameSync", false, false);
            Module().UpdateSettings();
        }
        return running;
    }

    ModuleT &Module() const { return static_cast<ModuleT &>(*engine->GetActiveModule()); }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(Module().RunFrame());
    }

    // The surface of the frame drawn last: the one before the current one.
    Ondrel::Surface const *LastDrawnSurface() const
    {
        ZorvanEngine::BaseVideo const *video = Module().GetVideo();
        return video->m_chain.GetCurrent() == video->m_surface0 ? video->m_surface1 : video->m_surface0;
    }

    std::unique_ptr<QWidget> view;
};

} // namespace ConsoleGlue::Test
