#include "common/zorvan/Refusal.h"

#include <mutex>

namespace Zorvan {

namespace {

std::mutex g_refusalLock;
std::string g_refusal;

} // namespace

void noteRefusal(char const *reason)
{
    if (!reason)
        return;
    std::lock_guard<std::mutex> lock(g_refusalLock);
    try {
        g_refusal = reason;
    } catch (std::exception const &) {
        // Without memory the box falls back to the memory sentence.
        g_refusal.clear();
    }
}

std::string lastRefusal()
{
    std::lock_guard<std::mutex> lock(g_refusalLock);
    return g_refusal;
}

void clearRefusal()
{
    std::lock_guard<std::mutex> lock(g_refusalLock);
    g_refusal.clear();
}

} // namespace Zorvan
