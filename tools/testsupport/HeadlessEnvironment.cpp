// Linked into every test program: tests run headless unless the caller chose
// otherwise, whether they are started by ctest or by hand.
#include <cstdlib>

namespace {

struct HeadlessEnvironment {
    HeadlessEnvironment()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
} headlessEnvironment;

} // namespace

#ifdef QUINTAR_SANITIZE
// The system's font configuration library keeps caches it never frees; our
// own leaks are still reported.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}
#endif
