#include "frontend/TerminationSignals.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile std::sig_atomic_t received = 0;
int wakePipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signal)
{
    if (received != 0) {
        // Asked again while ending: the default action, at once.
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigaction(signal, &action, nullptr);
        raise(signal);
        return;
    }
    received = signal;
    int const savedErrno = errno;
    char const byte = 1;
    [[maybe_unused]] ssize_t const written = write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

// Closes what runs an event loop of its own, so that control comes back to
// the game loop. Dialogs shown again right after are closed on the next tick.
void CloseNestedLoops()
{
    while (QWidget *popup = QApplication::activePopupWidget()) {
        if (!popup->close())
            break;
    }
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
}

} // namespace

void TerminationSignals::Install()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        wakePipe[0] = wakePipe[1] = -1;

    auto *app = QCoreApplication::instance();
    if (wakePipe[0] >= 0) {
        auto *notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, app);
        auto *closer = new QTimer(app);
        closer->setInterval(100);
        QObject::connect(closer, &QTimer::timeout, app, [closer] {
            if (received == 0)
                closer->stop();
            else
                CloseNestedLoops();
        });
        QObject::connect(notifier, &QSocketNotifier::activated, app, [closer] {
            char bytes[16];
            while (read(wakePipe[0], bytes, sizeof bytes) > 0) {
            }
            if (received == 0)
                return;
            CloseNestedLoops();
            closer->start();
        });
    }

    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

int TerminationSignals::Received()
{
    return received;
}

void TerminationSignals::Reset()
{
    received = 0;
}
