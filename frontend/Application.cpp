#include "frontend/Application.h"

#include "common/zorvan/MessagePresenter.h"
#include "engine/Engine.h"
#include "frontend/GameLoop.h"
#include "frontend/MainFrame.h"
#include "frontend/SingleInstance.h"
#include "frontend/TerminationSignals.h"
#include "engine/QtString.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ButtonRole {
    QMessageBox::StandardButton button;
    int result;
};

// The buttons of each MB_ style, in the old order (so MB_DEFBUTTONn counts
// along them).
std::vector<ButtonRole> ButtonsOf(unsigned style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon IconOf(unsigned style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int ShowMessageBox(Zorvan::String const &text, Zorvan::String const &caption, unsigned style)
{
    QMessageBox box(IconOf(style), ToQString(caption), ToQString(text), QMessageBox::NoButton,
                    Application::DialogOwner());
    std::vector<ButtonRole> const buttons = ButtonsOf(style);
    for (ButtonRole const &role : buttons)
        box.addButton(role.button);
    size_t const defaultIndex = (style & MB_DEFMASK) >> 8;
    if (defaultIndex < buttons.size())
        box.setDefaultButton(buttons[defaultIndex].button);
    auto const chosen = static_cast<QMessageBox::StandardButton>(box.exec());
    for (ButtonRole const &role : buttons) {
        if (role.button == chosen)
            return role.result;
    }
    // Closed without a button: the escape answer of the old boxes.
    return buttons.size() == 1 ? buttons.front().result : IDCANCEL;
}

thread_local int notifyDepth = 0;

// Until the window manager has placed and shown the window (it tells where
// only then), at most a few seconds.
void WaitUntilShown(QWidget *window)
{
    constexpr int kLongestWaitMs = 3000;
    QElapsedTimer waited;
    waited.start();
    QWindow *handle = window->windowHandle();
    while (handle && !handle->isExposed() && waited.elapsed() < kLongestWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

} // namespace

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv), m_instanceName(SingleInstance::DefaultName())
{
    setApplicationName(QStringLiteral("Quintar"));
    // The game loop decides when the program ends (Exit, or the frame's
    // close), not the last window closing.
    setQuitOnLastWindowClosed(false);
}

Application::~Application() = default;

void Application::InstallMessageBoxPresenter()
{
    Zorvan::setMessagePresenter(ShowMessageBox);
}

QWidget *Application::DialogOwner()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    // Nothing of ours has the focus (the program is starting, or another
    // program is in front): the box still belongs to the main window.
    QWidget *frame = ourEngine ? ourEngine->GetAppHwnd() : nullptr;
    return frame ? frame->window() : nullptr;
}

QString Application::CommandLine(QStringList const &arguments)
{
    return arguments.mid(1).join(QLatin1Char(' '));
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    struct Depth {
        Depth() { ++notifyDepth; }
        ~Depth() { --notifyDepth; }
    } depth;
    if (notifyDepth == 1) {
        if (auto *loop = dynamic_cast<CGameLoop *>(m_appModule.GetMessageLoop()))
            loop->OnEventDispatched(event->type());
    }
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCaughtException();
        return false;
    }
}

int Application::Run(QString const &commandLine)
{
    SingleInstance instance(m_instanceName);
    if (instance.FindRunning()) {
        // The running instance cannot be handed the file.
        if (!commandLine.isEmpty())
            Zorvan::presentMessage(Zorvan::String(L"Close Quintar before launching a ROM in this manner."),
                                   Zorvan::String(L"Error"), MB_OK);
        // Whoever started this one from a terminal learns why no window opens.
        bool const raised = instance.BringRunningToFront();
        std::fprintf(stderr, "Quintar is already running for this user (one instance per user): %s\n",
                     raised ? "its window was brought to the front." : "it did not answer.");
        return 0;
    }

    TerminationSignals::Install();
    int result = 0;
    CGameLoop loop;
    m_appModule.AddMessageLoop(&loop);
    {
        auto frame = std::make_unique<MainFrame>(&m_appModule, m_programFolder);
        if (!frame->OnCreate()) {
            m_appModule.RemoveMessageLoop();
            return 0;
        }
        if (!ourEngine) {
            // The frame has told the user already.
            m_appModule.RemoveMessageLoop();
            return 2;
        }
        instance.Listen(frame.get());
        try {
            if (!commandLine.isEmpty()) {
                // A box that tells why the file did not open is centred over
                // the main window, so the window is placed on the screen first.
                WaitUntilShown(frame.get());
                frame->RunFileOrReport(ToZorvanString(commandLine));
                frame->UpdateCommandStates();
            }
            result = loop.Run();
        } catch (...) {
            ReportCaughtException();
            result = 0;
        }
    }
    m_appModule.RemoveMessageLoop();
    return result;
}
