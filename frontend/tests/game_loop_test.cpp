#include "frontend/GameLoop.h"

#include "frontend/tests/FrontendSandbox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace Frontend::Test {
namespace {

// Runs frames until it has run `frames` of them, then asks the loop to quit.
class CountingRunner : public GameRunner {
public:
    CountingRunner(CGameLoop &loop, int frames) : m_loop(loop), m_frames(frames) {}
    bool ShouldWait() override { return false; }
    void RunFrame() override
    {
        if (++framesRun == m_frames)
            m_loop.Quit(0);
    }
    int framesRun = 0;

private:
    CGameLoop &m_loop;
    int m_frames;
};

// Always waits; each time it is asked it plays the next step of a script.
class ScriptedWaiter : public GameRunner {
public:
    explicit ScriptedWaiter(std::vector<std::function<void()>> steps) : m_steps(std::move(steps)) {}
    bool ShouldWait() override
    {
        ++asked;
        if (m_next < m_steps.size())
            m_steps[m_next++]();
        return true;
    }
    void RunFrame() override { ++framesRun; }
    int asked = 0;
    int framesRun = 0;

private:
    std::vector<std::function<void()>> m_steps;
    size_t m_next = 0;
};

struct CountingIdle : IdleHandler {
    bool OnIdle() override
    {
        ++calls;
        return false;
    }
    int calls = 0;
};

class GameLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = EnsureApplication();
        if (app)
            app->GetAppModule().AddMessageLoop(&loop);
        loop.SetSleepFunction([this](int ms) { sleeps.push_back(ms); });
    }
    void TearDown() override
    {
        if (app)
            app->GetAppModule().RemoveMessageLoop();
    }

    Application *app = nullptr;
    CGameLoop loop;
    std::vector<int> sleeps;
};

TEST_F(GameLoopTest, ThrottleSleepsAfterTheModesFrameCount)
{
    struct Case {
        int mode;
        int frames;
        std::vector<int> sleeps; // the durations asked for, in order
    };
    Case const cases[] = {
        {0, 30, {}},
        {1, 30, {5, 5, 5}},           // after every 10th frame
        {2, 12, {5, 5}},              // after every 5th
        {3, 4, {0, 0, 0, 0}},         // a zero-length sleep after every frame
    };
    for (Case const &c : cases) {
        SCOPED_TRACE(c.mode);
        sleeps.clear();
        loop.m_throttleMode = c.mode;
        loop.m_frameCounter = 0;
        CountingRunner runner(loop, c.frames);
        loop.SetGameRunner(&runner);
        EXPECT_EQ(loop.Run(), 0);
        EXPECT_EQ(runner.framesRun, c.frames);
        EXPECT_EQ(sleeps, c.sleeps);
        if (c.mode == 0) {
            EXPECT_EQ(loop.m_frameCounter, 0) << "mode 0 never counts frames";
        }
    }
    loop.SetGameRunner(nullptr);
}

TEST_F(GameLoopTest, QuitBeforeRunEndsTheFirstPassWithItsCode)
{
    CountingRunner runner(loop, 1000);
    loop.SetGameRunner(&runner);
    loop.Quit(2);
    EXPECT_EQ(loop.Run(), 2);
    EXPECT_EQ(runner.framesRun, 0);
    EXPECT_FALSE(loop.IsQuitRequested()) << "a new Run starts without the old quit";
    loop.SetGameRunner(nullptr);
}

TEST_F(GameLoopTest, AWaitingGameBlocksForEventsAndNeverRunsFrames)
{
    // Each step posts one event; the loop must sleep in the dispatcher until
    // it arrives rather than spin asking the runner again and again.
    QWidget target;
    std::vector<std::function<void()>> steps;
    for (int i = 0; i < 5; ++i)
        steps.push_back([&] { QCoreApplication::postEvent(&target, new QEvent(QEvent::User)); });
    steps.push_back([&] { loop.Quit(0); });
    ScriptedWaiter runner(steps);
    loop.SetGameRunner(&runner);
    EXPECT_EQ(loop.Run(), 0);
    EXPECT_EQ(runner.framesRun, 0);
    EXPECT_GE(runner.asked, 6);
    EXPECT_LE(runner.asked, 40) << "the loop polled instead of waiting for the next event";
    loop.SetGameRunner(nullptr);
}

TEST_F(GameLoopTest, KeyEventsRearmTheIdleHandlersButPaintsMovesAndTimersDoNot)
{
    if (!app)
        GTEST_SKIP() << "another test made a plain QApplication first; the program's notify is not in place";
    QWidget target;
    target.resize(50, 50);
    auto post = [&](QEvent *event) { return [&target, event] { QCoreApplication::postEvent(&target, event); }; };
    QPointF const at(5, 5);
    CountingIdle idle;
    std::vector<int> idleAfterStep;
    auto note = [&] { idleAfterStep.push_back(idle.calls); };
    std::vector<std::function<void()>> steps = {
        note,
        post(new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier)),
        note,
        post(new QMouseEvent(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier)),
        note,
        post(new QPaintEvent(QRect(0, 0, 10, 10))),
        note,
        post(new QTimerEvent(1)),
        note,
        post(new QKeyEvent(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier)),
        note,
        [&] { loop.Quit(0); },
    };
    ScriptedWaiter runner(steps);
    loop.AddIdleHandler(&idle);
    loop.SetGameRunner(&runner);
    // The steps that only take notes post nothing: a timer wakes the loop
    // for them, which must not re-arm the handlers either.
    QTimer wake;
    QObject::connect(&wake, &QTimer::timeout, [] {});
    wake.start(1);
    loop.Run();
    loop.RemoveIdleHandler(&idle);
    loop.SetGameRunner(nullptr);

    ASSERT_EQ(idleAfterStep.size(), 6u);
    EXPECT_EQ(idleAfterStep[0], 1) << "the loop starts armed";
    EXPECT_EQ(idleAfterStep[1], 2) << "a key press re-arms";
    EXPECT_EQ(idleAfterStep[2], 2) << "a mouse move does not";
    EXPECT_EQ(idleAfterStep[3], 2) << "a paint does not";
    EXPECT_EQ(idleAfterStep[4], 2) << "a timer does not";
    EXPECT_EQ(idleAfterStep[5], 3) << "a key release re-arms";
}

TEST(GameLoopRules, OnlyPaintsTimersAndMouseMovesLeaveTheIdleHandlersDisarmed)
{
    for (QEvent::Type type : {QEvent::Paint, QEvent::UpdateRequest, QEvent::Timer, QEvent::MouseMove})
        EXPECT_FALSE(CGameLoop::RearmsIdle(type)) << type;
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease, QEvent::MouseButtonPress, QEvent::Resize,
                              QEvent::WindowActivate, QEvent::User})
        EXPECT_TRUE(CGameLoop::RearmsIdle(type)) << type;
}

} // namespace
} // namespace Frontend::Test
