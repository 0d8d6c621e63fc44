// The key that confirms a dialog is still down when the dialog has gone: it
// is no press for the game, which sees it only once it was released and
// pressed again.
#include "engine/BaseInput.h"
#include "frontend/FileDialog.h"
#include "frontend/tests/FrontendSandbox.h"

#include <QTest>

namespace Frontend::Test {
namespace {

constexpr unsigned kStartBit = 0x80; // the test console's Start, on Enter

class HeldKeysTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        if (HasFatalFailure())
            return;
        InstallTestConsole();
        if (!HasFatalFailure())
            MakeFrame();
    }

    void TearDown() override
    {
        SetQtOpenFileDialog(nullptr);
        if (frame)
            QTest::keyRelease(frame->GetView(), Qt::Key_Return);
        Sandbox::TearDown();
    }

    // The console's buttons as its next frame reads them.
    unsigned Pad() { return ourEngine->GetActiveModule()->GetInput()->GetState(); }
};

TEST_F(HeldKeysTest, TheEnterThatConfirmsTheOpenDialogIsNoStartForTheGame)
{
    // Once with no game running, once replacing a running one.
    for (bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "a game ran" : "no game ran");
        fs::path const game = WriteGame(replacing ? "second.qtc" : "first.qtc");
        SetQtOpenFileDialog([&](QWidget *, OpenFileRequest &request) {
            // The user confirms with Enter; it is released after the dialog has gone.
            QTest::keyPress(frame->GetView(), Qt::Key_Return);
            request.path = QString::fromStdString(game.string());
            return true;
        });
        frame->OnCommand(ID_FILE_OPEN);
        ASSERT_TRUE(ourEngine->IsRunning());
        EXPECT_EQ(Pad() & kStartBit, 0u) << "the Enter reached the game";

        QTest::keyRelease(frame->GetView(), Qt::Key_Return);
        EXPECT_EQ(Pad() & kStartBit, 0u);
        QTest::keyPress(frame->GetView(), Qt::Key_Return);
        EXPECT_EQ(Pad() & kStartBit, kStartBit) << "a fresh press is Start";
        QTest::keyRelease(frame->GetView(), Qt::Key_Return);
    }
}

TEST_F(HeldKeysTest, AKeyHeldAcrossADialogsCloseIsNoPressForTheGame)
{
    ASSERT_TRUE(ourEngine->RunFile(Zorvan::String(WriteGame("game.qtc").c_str())));
    frame->OnCommand(ID_CONSOLE);
    QTest::keyPress(frame->GetView(), Qt::Key_Return);
    frame->OnDialogClosed(MainFrame::kConsoleDialogId, 2); // the Console has gone
    ASSERT_FALSE(ourEngine->IsPaused());
    EXPECT_EQ(Pad() & kStartBit, 0u) << "the held Enter reached the game";
    QTest::keyRelease(frame->GetView(), Qt::Key_Return);
    QTest::keyPress(frame->GetView(), Qt::Key_Return);
    EXPECT_EQ(Pad() & kStartBit, kStartBit);
}

} // namespace
} // namespace Frontend::Test
