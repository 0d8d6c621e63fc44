// The signals a desktop session or a terminal sends to end the program:
// the program closes the running game the normal way (its battery save is
// written) and ends with 0, without asking, also while a dialog with an
// event loop of its own is open.
#include "frontend/TerminationSignals.h"

#include "frontend/tests/FrontendSandbox.h"

#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace Frontend::Test {
namespace {

fs::path ProgramUnderTest()
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "quintar_under_test";
}

std::string ReadFile(fs::path const &path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TerminationTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(fs::exists(ProgramUnderTest())) << "build quintar_under_test";
        InstallTestConsole();
        if (HasFatalFailure())
            return;
        frameLog = root / "frames.log";
        saveFile = root / "home/Documents/Saved Game Files/Test Console/game.save";
    }

    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
        Sandbox::TearDown();
    }

    // Starts the program, with the test console's game when asked, and
    // waits until it runs (the game's 30th frame, or the main window).
    void Start(bool withGame)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUINTAR_TEST_PROGRAM_FOLDER", QString::fromStdString(programFolder.string()));
        environment.insert("QUINTAR_TEST_INSTANCE", FreshInstanceName());
        environment.insert("QUINTAR_TEST_CONSOLE_LOG", QString::fromStdString(frameLog.string()));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        QStringList arguments;
        if (withGame)
            arguments << QString::fromStdString(WriteGame("game.qtc").string());
        process.start(QString::fromStdString(ProgramUnderTest().string()), arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
        // Running: the console's frames are logged; without a game, the
        // console is opened and closed once while the modules are looked for.
        std::string const sign = withGame ? "frame 30 " : "video delete";
        bool const running = QTest::qWaitFor([&] { return ReadFile(frameLog).find(sign) != std::string::npos; }, 30000);
        ASSERT_TRUE(running) << "the program did not get going";
    }

    // Sends the signal; true when the program ended with 0 within 2 s.
    void EndWith(int signal)
    {
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), signal), 0);
        ASSERT_TRUE(process.waitForFinished(2000)) << "still running 2 s after the signal";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
    }

    QProcess process;
    fs::path frameLog;
    fs::path saveFile;
};

TEST_F(TerminationTest, EachSignalEndsARunningGameWithItsSaveWritten)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        fs::remove(frameLog);
        fs::remove(saveFile);
        Start(true);
        if (HasFatalFailure())
            return;
        EndWith(signal);
        // The battery save holds the frames the game ran.
        std::string const save = ReadFile(saveFile);
        EXPECT_EQ(save.rfind("frames ", 0), 0u) << "no save written: " << save;
        EXPECT_GE(std::atoi(save.c_str() + std::min<size_t>(save.size(), 7)), 30) << save;
    }
}

TEST_F(TerminationTest, WithoutAGameTheProgramEndsWithZeroToo)
{
    Start(false);
    if (HasFatalFailure())
        return;
    EndWith(SIGTERM);
    EXPECT_FALSE(fs::exists(saveFile));
}

// A message box runs an event loop of its own: the signal closes it, so
// that the game loop gets to end the program.
TEST_F(TerminationTest, ASignalClosesAnOpenMessageBoxAndEndsTheLoop)
{
    if (!app)
        GTEST_SKIP() << "another test made a plain QApplication first";
    app->SetInstanceName(FreshInstanceName());
    app->SetProgramFolder(Zorvan::String(programFolder.c_str()));
    bool boxClosed = false;
    int checks = 0;
    QTimer::singleShot(0, [&] {
        QMessageBox box(QMessageBox::Question, QString(), QStringLiteral("Waiting"), QMessageBox::Yes | QMessageBox::No);
        QTimer::singleShot(0, [] { raise(SIGTERM); });
        // A loop that never ends unless the box is closed for it.
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [&] {
            if (++checks > 500)
                box.done(0);
        });
        guard.start(10);
        box.exec();
        boxClosed = checks <= 500;
    });
    int const result = app->Run(QString());
    TerminationSignals::Reset();
    app->SetProgramFolder(Zorvan::String());
    EXPECT_TRUE(boxClosed) << "the box stayed open";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ourEngine, nullptr);
}

// The first signal is only noted, for the loop to act on; a second one,
// while the program is still ending, ends it at once by that signal.
TEST_F(TerminationTest, ASecondSignalEndsTheProgramAtOnce)
{
    pid_t const child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TerminationSignals::Reset();
        TerminationSignals::Install();
        raise(SIGINT);
        if (TerminationSignals::Received() != SIGINT)
            _exit(2);
        raise(SIGINT);
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFEXITED(status)) << "exit code " << WEXITSTATUS(status) << " (2: the first signal was not noted)";
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGINT);
}

} // namespace
} // namespace Frontend::Test
