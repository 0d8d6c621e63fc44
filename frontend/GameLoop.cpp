#include "frontend/GameLoop.h"

#include "frontend/TerminationSignals.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

struct ThrottleStep {
    int frames;       // frames between two sleeps
    int milliseconds; // 0 only gives up the rest of the time slice
};

// Indexed by the "CPUThrottle" mode; mode 0 never sleeps.
constexpr ThrottleStep kThrottle[] = {{0, 0}, {10, 5}, {5, 5}, {1, 0}};

void SleepMilliseconds(int milliseconds)
{
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    else
        std::this_thread::yield();
}

} // namespace

CGameLoop::CGameLoop() : m_sleep(SleepMilliseconds) {}

CGameLoop::~CGameLoop()
{
    for (QObject *filter : m_messageFilters) {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->removeEventFilter(filter);
    }
}

void CGameLoop::SetSleepFunction(SleepFunction sleep)
{
    m_sleep = sleep ? std::move(sleep) : SleepFunction(SleepMilliseconds);
}

void CGameLoop::Quit(int code)
{
    m_quitRequested = true;
    m_quitCode = code;
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

void CGameLoop::AddMessageFilter(QObject *filter)
{
    if (!filter || std::find(m_messageFilters.begin(), m_messageFilters.end(), filter) != m_messageFilters.end())
        return;
    m_messageFilters.push_back(filter);
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(filter);
}

void CGameLoop::RemoveMessageFilter(QObject *filter)
{
    auto const found = std::find(m_messageFilters.begin(), m_messageFilters.end(), filter);
    if (found == m_messageFilters.end())
        return;
    m_messageFilters.erase(found);
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(filter);
}

void CGameLoop::AddIdleHandler(IdleHandler *handler)
{
    if (handler && std::find(m_idleHandlers.begin(), m_idleHandlers.end(), handler) == m_idleHandlers.end())
        m_idleHandlers.push_back(handler);
}

void CGameLoop::RemoveIdleHandler(IdleHandler *handler)
{
    m_idleHandlers.erase(std::remove(m_idleHandlers.begin(), m_idleHandlers.end(), handler), m_idleHandlers.end());
}

bool CGameLoop::OnIdle(int)
{
    // A handler may unregister itself while it runs: walk a copy.
    std::vector<IdleHandler *> const handlers = m_idleHandlers;
    for (IdleHandler *handler : handlers)
        handler->OnIdle();
    return false;
}

bool CGameLoop::RearmsIdle(QEvent::Type type)
{
    switch (type) {
    case QEvent::Paint:
    case QEvent::UpdateRequest: // Qt's deferred paint
    case QEvent::Timer:
    case QEvent::MouseMove:
    case QEvent::HoverMove:
        return false;
    default:
        return true;
    }
}

void CGameLoop::OnEventDispatched(QEvent::Type type)
{
    if (RearmsIdle(type))
        m_idleArmed = true;
}

void CGameLoop::Throttle()
{
    if (m_throttleMode < 1 || m_throttleMode > 3)
        return;
    ThrottleStep const &step = kThrottle[m_throttleMode];
    if (m_frameCounter != step.frames)
        return;
    m_frameCounter = 0;
    m_sleep(step.milliseconds);
}

bool CGameLoop::DispatchWaiting()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    bool handled = dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
    // Objects given to deleteLater go at the top level of the loop: no
    // handler is on the stack here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return handled;
}

void CGameLoop::WaitForEvent()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) {
        SleepMilliseconds(1);
        return;
    }
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void CGameLoop::OnTermination()
{
    m_terminating = true;
    if (m_onTermination)
        m_onTermination();
    else
        Quit(0);
}

int CGameLoop::Run()
{
    m_idleArmed = true;
    for (;;) {
        Throttle();
        if (!m_quitRequested && !m_terminating && TerminationSignals::Received() != 0)
            OnTermination();
        if (m_quitRequested)
            break;
        if (DispatchWaiting())
            continue;
        if (m_quitRequested)
            break;
        if (m_idleArmed) {
            OnIdle(0);
            m_idleArmed = false;
            continue;
        }
        // Without a runner there is nothing to emulate either: wait rather
        // than spin.
        if (!m_gameRunner || m_gameRunner->ShouldWait()) {
            WaitForEvent();
            continue;
        }
        // An exception escaping the frame ends Run: the run step reports it
        // and ends the program.
        m_gameRunner->RunFrame();
        if (m_throttleMode > 0)
            ++m_frameCounter;
    }
    m_quitRequested = false;
    return m_quitCode;
}
