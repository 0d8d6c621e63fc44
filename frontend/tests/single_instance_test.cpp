// The program's entry: a later start finds the first instance and brings it
// to the front; a start with a file runs the game loop over that file.
#include "frontend/SingleInstance.h"

#include "frontend/Application.h"
#include "frontend/tests/FrontendSandbox.h"

#include <QLocalServer>
#include <QTimer>
#include <QWidget>

namespace Frontend::Test {
namespace {

class SingleInstanceTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        name = FreshInstanceName();
    }

    QString name;
};

TEST_F(SingleInstanceTest, NamedAfterTheMainFrameAndTheUser)
{
    EXPECT_TRUE(SingleInstance::DefaultName().startsWith(QStringLiteral("Quintar.MainFrame-")));
    EXPECT_TRUE(SingleInstance::DefaultName().endsWith(QString::number(getuid())));
}

TEST_F(SingleInstanceTest, ASecondStartBringsTheFirstToTheFrontAndExits)
{
    if (!app)
        GTEST_SKIP() << "another test made a plain QApplication first";
    struct Case {
        QString commandLine;
        bool tellsTheUser;
    };
    for (Case const &c : {Case{QStringLiteral("/games/hero.qtm"), true}, Case{QString(), false}}) {
        SCOPED_TRACE(c.commandLine.toStdString());
        messages.clear();
        QWidget firstWindow;
        SingleInstance first(name);
        ASSERT_TRUE(first.Listen(&firstWindow));
        EXPECT_FALSE(firstWindow.isVisible());

        app->SetInstanceName(name);
        testing::internal::CaptureStderr();
        EXPECT_EQ(app->Run(c.commandLine), 0);
        std::string const terminal = testing::internal::GetCapturedStderr();
        // With or without a file, the terminal says why no window opened.
        EXPECT_NE(terminal.find("Quintar is already running for this user"), std::string::npos) << terminal;
        EXPECT_NE(terminal.find("its window was brought to the front"), std::string::npos) << terminal;
        if (c.tellsTheUser) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, "Close Quintar before launching a ROM in this manner.");
            EXPECT_EQ(messages[0].caption, "Error");
            EXPECT_EQ(messages[0].style, MB_OK);
        } else {
            EXPECT_TRUE(messages.empty());
        }
        EXPECT_EQ(ourEngine, nullptr) << "the second start made no engine";
        // The first instance comes to the front once its loop reads the request.
        EXPECT_TRUE(QTest::qWaitFor([&] { return firstWindow.isVisible(); }, 5000));
    }
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashedInstanceIsTakenOver)
{
    {
        // A server file with nobody behind it.
        QLocalServer stale;
        ASSERT_TRUE(stale.listen(name));
        stale.setSocketOptions(QLocalServer::UserAccessOption);
    }
    SingleInstance second(name);
    EXPECT_FALSE(second.FindRunning());
    QWidget window;
    EXPECT_TRUE(second.Listen(&window));
    SingleInstance third(name);
    EXPECT_TRUE(third.FindRunning());
}

TEST_F(SingleInstanceTest, AStartWithAGameFileRunsItsFramesInTheLoop)
{
    if (!app)
        GTEST_SKIP() << "another test made a plain QApplication first";
    fs::path const game = WriteGame("hero.qtm");
    ModuleProbe probe(moduleLibrary);
    ASSERT_TRUE(probe.IsLoaded());
    app->SetInstanceName(name);
    app->SetProgramFolder(Zorvan::String(programFolder.c_str()));

    // Ends the program once the module has run a few frames; with no frames
    // the check gives up after a while and the count below tells.
    int checks = 0;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        auto *loop = dynamic_cast<CGameLoop *>(app->GetAppModule().GetMessageLoop());
        if (loop && (probe.Count("RunFrame") >= 10 || ++checks > 500))
            loop->Quit(0);
    });
    check.start(10);
    int const result = app->Run(QString::fromStdString(game.string()));
    check.stop();
    app->SetProgramFolder(Zorvan::String());

    EXPECT_EQ(result, 0);
    EXPECT_EQ(probe.Count("OpenRom"), 1);
    EXPECT_GE(probe.Count("RunFrame"), 10);
    EXPECT_EQ(ourEngine, nullptr) << "the frame and its engine are gone after the loop";
    EXPECT_TRUE(messages.empty());
}

} // namespace
} // namespace Frontend::Test
