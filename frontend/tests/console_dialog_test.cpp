#include "frontend/ConsoleDialog.h"

#include "common/zorvan/Console.h"
#include "frontend/tests/ViewTestSupport.h"
#include "engine/ModelessDialogOwner.h"

#include <QImage>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

namespace Frontend::Test {
namespace {

// Records the close notifications it gets, and whether the dialog's window
// was already gone when each arrived.
struct Owner : QWidget, ModelessDialogOwner {
    std::vector<std::pair<int, int>> closed;
    QWidget *dialog = nullptr;
    bool dialogWasVisible = false;
    void OnDialogClosed(int dialogId, int code) override
    {
        closed.emplace_back(dialogId, code);
        dialogWasVisible = dialog && dialog->isVisible();
    }
};

class ConsoleDialogTest : public ::testing::Test {
protected:
    // Before the fixture's widgets are made.
    static void SetUpTestSuite() { QuintarTest::EnsureApplication(); }

    void SetUp() override
    {
        Zorvan::clearConsole();
        owner.resize(320, 400);
        owner.show();
        owner.dialog = &dialog;
    }
    void TearDown() override
    {
        dialog.OnClose();
        QCoreApplication::processEvents();
        Zorvan::clearConsole();
    }

    QString Shown() const { return dialog.GetTextBox()->toPlainText(); }

    Owner owner;
    ConsoleDialog dialog;
};

TEST_F(ConsoleDialogTest, ShowsTheConsoleAsItWasWhenOpened)
{
    struct Case {
        char const *console;
        QStringList lines;
    } const cases[] = {
        {"", {""}},
        {"Display Driver: GDI\n", {"Display Driver: GDI", ""}},
        {"Loading a.gba...\nOK\nFAILED", {"Loading a.gba...", "OK", "FAILED"}},
    };
    for (Case const &c : cases) {
        SCOPED_TRACE(c.console);
        Zorvan::clearConsole();
        Zorvan::printConsole("%s", c.console);
        dialog.Show(&owner);
        // Every console line end is a line break in the text box.
        QStringList lines;
        for (QTextBlock b = dialog.GetTextBox()->document()->begin(); b.isValid(); b = b.next())
            lines << b.text();
        EXPECT_EQ(lines, c.lines);
        dialog.OnClose();
    }

    Zorvan::clearConsole();
    Zorvan::printConsole("first\n");
    dialog.Show(&owner);
    Zorvan::printConsole("later\n");
    EXPECT_EQ(Shown(), "first\n") << "read once, when the dialog opens";
    dialog.OnClose();
    dialog.Show(&owner);
    EXPECT_EQ(Shown(), "first\nlater\n");
}

TEST_F(ConsoleDialogTest, TitleBandAboveTheTextBox)
{
    dialog.Show(&owner);
    EXPECT_EQ(Narrow(dialog.GetTitle()), "Console");
    EXPECT_EQ(dialog.windowTitle(), "Console");
    QRect const box = dialog.GetTextBox()->geometry();
    EXPECT_EQ(box, QRect(0, 25, dialog.width(), dialog.height() - 26));
    EXPECT_TRUE(dialog.GetTextBox()->isReadOnly());
    // The band's line runs across the window right above the text box.
    QImage const shot = dialog.grab().toImage();
    EXPECT_EQ(shot.pixel(dialog.width() / 2, 24) & 0xFFFFFF, 0x000000u);
}

TEST_F(ConsoleDialogTest, OwnerWaitsWhileOpenAndIsToldAfterTheWindowIsGone)
{
    for (auto close : {+[](ConsoleDialog &d) { d.close(); },
                       +[](ConsoleDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); }}) {
        owner.closed.clear();
        dialog.Show(&owner);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(owner.isEnabled());
        close(dialog);
        EXPECT_TRUE(owner.closed.empty()) << "not while the close is still being handled";
        EXPECT_TRUE(owner.isEnabled());
        QCoreApplication::processEvents();
        ASSERT_EQ(owner.closed.size(), 1u);
        EXPECT_EQ(owner.closed[0], (std::pair<int, int>(258, 2)));
        EXPECT_FALSE(owner.dialogWasVisible);
        EXPECT_FALSE(dialog.IsOpen());
    }
    // A second close of a closed dialog tells nobody.
    dialog.OnClose();
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.closed.size(), 1u);
}

} // namespace
} // namespace Frontend::Test
