#include "common/zorvan/Console.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>

namespace Zorvan {

namespace {

// The text is kept as the UTF-8 it arrives in and leaves as, with amortised
// growth, so a long trace stays cheap to append to.
std::mutex g_consoleLock;
std::string g_consoleText;
std::string g_consoleSnapshot;

} // namespace

int printConsole(char const *fmt, ...)
{
    if (!fmt)
        return 0;
    // Measure, then format: a line of any length is kept whole.
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    if (n > 0) {
        std::lock_guard<std::mutex> lock(g_consoleLock);
        size_t at = g_consoleText.size();
        try {
            g_consoleText.resize(at + size_t(n) + 1);
            std::vsnprintf(g_consoleText.data() + at, size_t(n) + 1, fmt, again);
            g_consoleText.resize(at + size_t(n));
        } catch (std::exception const &) {
            // Without memory the line is dropped and the text stays as it was.
            g_consoleText.resize(at);
        }
    }
    va_end(again);
    return 0;
}

char const *getConsole()
{
    std::lock_guard<std::mutex> lock(g_consoleLock);
    try {
        g_consoleSnapshot = g_consoleText;
    } catch (std::exception const &) {
        g_consoleSnapshot.clear();
    }
    return g_consoleSnapshot.c_str();
}

void clearConsole()
{
    std::lock_guard<std::mutex> lock(g_consoleLock);
    g_consoleText.clear();
    g_consoleText.shrink_to_fit();
}

} // namespace Zorvan
