// The program's message loop. Emulation runs inside it: whenever no event is
// waiting, the loop asks the game runner (the game view) whether to wait and
// otherwise runs exactly one emulated frame, so input and painting are never
// starved by the game.
//
// The loop sits on Qt's event dispatcher: one pass processes the events that
// are waiting without blocking. While the game should wait, the loop blocks
// in the dispatcher until the next event arrives instead of polling.
#pragma once

#include "engine/AppModule.h"

#include <QEvent>

#include <functional>
#include <vector>

class QObject;

// What the game loop drives. The game view implements it.
class GameRunner {
public:
    virtual ~GameRunner() = default;
    // True while nothing should be emulated: no engine, no running file,
    // paused by a dialog or by the user.
    virtual bool ShouldWait() = 0;
    // Emulates one frame of the active module.
    virtual void RunFrame() = 0;
};

// Called with 0 when the loop becomes idle after events were handled.
class IdleHandler {
public:
    virtual ~IdleHandler() = default;
    virtual bool OnIdle() = 0;
};

class CGameLoop : public ZorvanEngine::GameLoop {
public:
    // The throttle sleep: a duration in milliseconds (0 only yields).
    using SleepFunction = std::function<void(int milliseconds)>;

    CGameLoop();
    ~CGameLoop() override;
    CGameLoop(CGameLoop const &) = delete;
    CGameLoop &operator=(CGameLoop const &) = delete;

    // Runs until Quit is called (before or during the run) and returns its
    // code. A quit requested before Run makes Run return at once.
    virtual int Run();
    // Calls every idle handler, first registered first; returns false.
    virtual bool OnIdle(int idleCount);

    // Ends Run at its next pass with this code (the old WM_QUIT).
    void Quit(int code);
    bool IsQuitRequested() const { return m_quitRequested; }

    // Message filters are event filters on the application object: Qt offers
    // each event to the filter installed last first, as the old loop did.
    void AddMessageFilter(QObject *filter);
    void RemoveMessageFilter(QObject *filter);
    void AddIdleHandler(IdleHandler *handler);
    void RemoveIdleHandler(IdleHandler *handler);

    // What ends the program when a termination signal was received (see
    // TerminationSignals); without one the loop just quits with 0.
    void SetTerminationHandler(std::function<void()> handler) { m_onTermination = std::move(handler); }

    void SetGameRunner(GameRunner *runner) { m_gameRunner = runner; }
    GameRunner *GetGameRunner() const { return m_gameRunner; }

    // Tests count the throttle sleeps through their own function.
    void SetSleepFunction(SleepFunction sleep);

    // Told by the application of every event that comes out of the queue
    // (not of the events sent while one is handled). Every event re-arms the
    // idle handlers except paints, timers and mouse moves, which arrive all
    // the time without the user doing anything.
    void OnEventDispatched(QEvent::Type type);
    static bool RearmsIdle(QEvent::Type type);

    // One throttle step: sleeps when the counter has reached the mode's
    // frame count. Run calls it at the top of every pass.
    void Throttle();

private:
    // Takes the events that are waiting; true when any was handled.
    bool DispatchWaiting();
    // Blocks until at least one event has been handled.
    void WaitForEvent();

    // Acts once on a termination signal.
    void OnTermination();

    GameRunner *m_gameRunner = nullptr;
    std::function<void()> m_onTermination;
    bool m_terminating = false;
    std::vector<QObject *> m_messageFilters;
    std::vector<IdleHandler *> m_idleHandlers;
    SleepFunction m_sleep;
    bool m_idleArmed = true;
    bool m_quitRequested = false;
    int m_quitCode = 0;
};
