// Nested pauses and the user's pause: the active module is paused while
// either holds, and resumed only when neither does.
#include "engine/tests/EngineSandbox.h"

#include <functional>

namespace ZorvanEngine::Test {
namespace {

class PauseTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        InstallModule("libTestModule.so", programFolder);
        MakeEngine().LoadModules();
        WriteFile(root / "game.qtm", "rom");
        module = new CallerModule;
        ASSERT_TRUE(engine->RunFile(Wide(root / "game.qtm"), module));
    }
    CallerModule *module = nullptr;
};

struct Step {
    char const *name;
    void (Engine::*op)();
};

Step const kPause{"Pause", &Engine::Pause};
Step const kResume{"Resume", &Engine::Resume};
Step const kUserPause{"UserPause", &Engine::UserPause};
Step const kUserResume{"UserResume", &Engine::UserResume};

struct Expect {
    int modulePauses;
    int moduleResumes;
    bool paused;
    bool userPaused;
};

struct Case {
    char const *what;
    std::vector<std::pair<Step, Expect>> steps;
};

TEST_F(PauseTest, TheModuleIsPausedWhileEitherKindOfPauseHolds)
{
    Case const cases[] = {
        {"a resume without a pause does nothing", {{kResume, {0, 0, false, false}}}},
        {"nested pauses pause and resume once",
         {{kPause, {1, 0, true, false}},
          {kPause, {1, 0, true, false}},
          {kResume, {1, 0, true, false}},
          {kResume, {1, 1, false, false}},
          {kResume, {1, 1, false, false}}}},
        {"a user resume under a nested pause waits for the last resume",
         {{kPause, {1, 0, true, false}},
          {kUserPause, {1, 0, true, true}},
          {kUserResume, {1, 0, true, false}},
          {kResume, {1, 1, false, false}}}},
        {"a nested pause under the user's pause leaves the module alone",
         {{kUserPause, {1, 0, false, true}},
          {kUserPause, {1, 0, false, true}},
          {kPause, {1, 0, true, true}},
          {kResume, {1, 0, false, true}},
          {kUserResume, {1, 1, false, false}},
          {kUserResume, {1, 1, false, false}}}},
    };
    for (Case const &c : cases) {
        module->pauses = module->resumes = 0;
        int n = 0;
        for (auto const &[step, expect] : c.steps) {
            (engine.get()->*step.op)();
            ++n;
            SCOPED_TRACE(std::string(c.what) + ", step " + std::to_string(n) + " " + step.name);
            EXPECT_EQ(module->pauses, expect.modulePauses);
            EXPECT_EQ(module->resumes, expect.moduleResumes);
            EXPECT_EQ(engine->IsPaused(), expect.paused);
            EXPECT_EQ(engine->IsUserPaused(), expect.userPaused);
        }
        EXPECT_TRUE(module->IsPaused() == (module->pauses > module->resumes)) << c.what;
    }
}

TEST_F(PauseTest, ResetResumesTheUsersPause)
{
    engine->UserPause();
    engine->Reset();
    EXPECT_EQ(module->resets, 1);
    EXPECT_FALSE(engine->IsUserPaused());
    EXPECT_EQ(module->resumes, 1);
}

TEST_F(PauseTest, ShutdownForgetsEveryPause)
{
    engine->Pause();
    engine->Pause();
    engine->UserPause();
    engine->AsyncShutdown();
    EXPECT_TRUE(engine->IsShutdownPending());
    EXPECT_TRUE(engine->IsRunning());

    engine->Shutdown();
    EXPECT_FALSE(engine->IsShutdownPending());
    EXPECT_FALSE(engine->IsPaused());
    EXPECT_FALSE(engine->IsUserPaused());
    EXPECT_EQ(engine->GetActiveModule(), nullptr);

    // Without a module the counting goes on harmlessly.
    engine->Pause();
    engine->Resume();
    engine->Reset();
    EXPECT_FALSE(engine->IsPaused());
}

} // namespace
} // namespace ZorvanEngine::Test
