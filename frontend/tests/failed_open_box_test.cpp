// The program's own box for a file that does not open, shown through the
// real event loop: it gives the reason (or the old guess about memory when
// no reason is known), stands centred over the main window, and fits on the
// screen whatever the reason's length; both from the Open command and from
// the command line.
#include "frontend/Application.h"
#include "frontend/ConsoleDialog.h"
#include "frontend/FileDialog.h"
#include "frontend/tests/FrontendSandbox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace Frontend::Test {
namespace {

constexpr char kStart[] = "Quintar was unable to open the file: ";
constexpr char kEnd[] = ".  The console will now be displayed.";

struct Refusal {
    char const *what;
    std::string reason;   // the module's, as it notes it
    std::string expected; // the box's text; empty: begins with kStart, ends with kEnd
};

std::vector<Refusal> const &Refusals()
{
    static std::vector<Refusal> const refusals = {
        {"a reason", "The cartridge is upside down",
         std::string(kStart) + "the cartridge is upside down" + kEnd},
        {"an abbreviation first", "ROM banks missing.", std::string(kStart) + "ROM banks missing" + kEnd},
        {"no reason", "",
         "Quintar was unable to open the file.  Most often this is due to insufficient memory.  The console will "
         "now be displayed."},
        {"a very long reason", [] {
             std::string words;
             while (words.size() < 20000)
                 words += "the bytes are not what this console expects ";
             return words;
         }(), ""},
        {"a very long word", std::string(5000, 'x'), ""},
        {"lines of their own", "first line\nsecond line\n", std::string(kStart) + "first line second line" + kEnd},
    };
    return refusals;
}

// What the box showed, read while it was up.
struct ShownBox {
    bool shown = false;
    std::string text;
    QRect place;  // its frame on the screen
    QRect screen; // the available part of its screen
};

class FailedOpenBoxTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        if (HasFatalFailure())
            return;
        // The program's own boxes instead of the captured messages.
        Application::InstallMessageBoxPresenter();
    }

    void TearDown() override
    {
        SetQtOpenFileDialog(nullptr);
        Sandbox::TearDown();
    }

    // A file the test module refuses, giving `reason`.
    fs::path RefusedFile(std::string const &reason)
    {
        fs::path const path = root / "games" / ("refuse-" + std::to_string(++m_files) + ".qtm");
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << "reason:" << reason;
        return path;
    }

    // Reads the next message box once it shows, answers it with OK, and
    // closes the Console shown after it.
    static void ReadTheBox(ShownBox &box)
    {
        auto *timer = new QTimer;
        int tries = 0;
        QObject::connect(timer, &QTimer::timeout, [timer, tries, &box]() mutable {
            auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!shown || !shown->isVisible()) {
                if (++tries > 2000)
                    timer->stop();
                return;
            }
            timer->stop();
            timer->deleteLater();
            box.shown = true;
            box.text = shown->text().toStdString();
            box.place = shown->frameGeometry();
            box.screen = shown->screen()->availableGeometry();
            shown->button(QMessageBox::Ok)->click();
        });
        timer->start(5);
    }

    static void CloseTheConsole()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *console = qobject_cast<ConsoleDialog *>(widget); console && console->isVisible())
                console->OnClose();
        }
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    static void ExpectTheBox(ShownBox const &box, Refusal const &refusal, QWidget *mainWindow)
    {
        ASSERT_TRUE(box.shown) << "no box";
        if (refusal.expected.empty()) {
            EXPECT_EQ(box.text.rfind(kStart, 0), 0u) << box.text;
            EXPECT_EQ(box.text.substr(box.text.size() - std::string(kEnd).size()), kEnd);
        } else {
            EXPECT_EQ(box.text, refusal.expected);
        }
        EXPECT_TRUE(box.screen.contains(box.place)) << "the box at " << box.place.x() << "," << box.place.y() << " "
                                                    << box.place.width() << "x" << box.place.height();
        QPoint const off = box.place.center() - mainWindow->frameGeometry().center();
        EXPECT_LE(off.manhattanLength(), 2) << "the box is off the main window's centre by " << off.x() << ","
                                            << off.y();
    }

private:
    int m_files = 0;
};

TEST_F(FailedOpenBoxTest, FromTheOpenCommand)
{
    MakeFrame();
    ASSERT_FALSE(HasFatalFailure());
    // Away from the screen's centre and corner, so that neither passes for
    // the main window's centre.
    frame->setGeometry(60, 50, 560, 420);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    frame->GetEngine()->GetSettings().Set(L"CustomFileDlg", false, false);
    for (Refusal const &refusal : Refusals()) {
        SCOPED_TRACE(refusal.what);
        QString const chosen = QString::fromStdString(RefusedFile(refusal.reason).string());
        SetQtOpenFileDialog([chosen](QWidget *, OpenFileRequest &request) {
            request.path = chosen;
            return true;
        });
        ShownBox box;
        ReadTheBox(box);
        frame->OnCommand(ID_FILE_OPEN);
        ExpectTheBox(box, refusal, frame.get());
        CloseTheConsole();
    }
}

TEST_F(FailedOpenBoxTest, FromTheCommandLine)
{
    if (!app)
        GTEST_SKIP() << "another test made a plain QApplication first";
    app->SetProgramFolder(Zorvan::String(programFolder.c_str()));
    for (Refusal const &refusal : Refusals()) {
        SCOPED_TRACE(refusal.what);
        app->SetInstanceName(FreshInstanceName());
        fs::path const file = RefusedFile(refusal.reason);
        ShownBox box;
        ReadTheBox(box);
        // Ends the program once the box has been read (or, without a box,
        // after a while: the check below tells).
        int waits = 0;
        auto *afterBox = new QTimer;
        QObject::connect(afterBox, &QTimer::timeout, [&, afterBox] {
            if (!box.shown && ++waits < 2000)
                return;
            afterBox->stop();
            afterBox->deleteLater();
            QWidget *mainWindow = ourEngine ? ourEngine->GetAppHwnd() : nullptr;
            if (box.shown && mainWindow)
                ExpectTheBox(box, refusal, mainWindow->window());
            CloseTheConsole();
            dynamic_cast<CGameLoop *>(app->GetAppModule().GetMessageLoop())->Quit(0);
        });
        afterBox->start(5);
        EXPECT_EQ(app->Run(QString::fromStdString(file.string())), 0);
        EXPECT_TRUE(box.shown) << "no box";
    }
    app->SetProgramFolder(Zorvan::String());
}

} // namespace
} // namespace Frontend::Test
