// The front end's application object as the engine sees it: it knows which
// message loop runs on which thread, and the loop carries the CPU-throttle
// fields that Engine::UpdateSettings writes and the video's frame pacing
// reads. The front end's CGameLoop derives from GameLoop and registers itself
// for its thread before it creates the main frame (and with it the Engine).
#pragma once

#include <map>
#include <mutex>
#include <thread>

namespace ZorvanEngine {

class GameLoop {
public:
    virtual ~GameLoop() = default;

    int m_throttleMode = 0; // "CPUThrottle": 0 off .. 3 high
    int m_frameCounter = 0; // frames run since the last throttle sleep
};

class AppModule {
public:
    // Registers the loop of the calling thread (replacing any earlier one).
    void AddMessageLoop(GameLoop *loop)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_loops[std::this_thread::get_id()] = loop;
    }
    void RemoveMessageLoop()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_loops.erase(std::this_thread::get_id());
    }
    // The calling thread's loop; null when none is registered.
    GameLoop *GetMessageLoop() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto const found = m_loops.find(std::this_thread::get_id());
        return found == m_loops.end() ? nullptr : found->second;
    }

private:
    mutable std::mutex m_lock;
    std::map<std::thread::id, GameLoop *> m_loops;
};

} // namespace ZorvanEngine
