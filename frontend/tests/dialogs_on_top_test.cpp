// Every dialog the main window opens belongs to it for the window manager,
// so that the disabled main window never covers it, and is the window in
// front once it shows.
#include "frontend/Application.h"
#include "frontend/tests/FrontendSandbox.h"

#include <QApplication>
#include <QWindow>

namespace Frontend::Test {
namespace {

class DialogsOnTopTest : public FrameSandbox {
protected:
    static QWidget *ShownDialog(QWidget *frame)
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget != frame && widget->isVisible() && widget->windowType() == Qt::Dialog)
                return widget;
        }
        return nullptr;
    }
};

TEST_F(DialogsOnTopTest, TheModelessDialogsBelongToTheMainWindow)
{
    struct Case {
        char const *what;
        int command;
    } const cases[] = {
        {"Console", ID_CONSOLE},
        {"About", ID_APP_ABOUT},
        {"Global Settings", ID_GLOBAL_SETTINGS},
    };
    for (Case const &c : cases) {
        SCOPED_TRACE(c.what);
        frame->OnCommand(c.command);
        QWidget *dialog = ShownDialog(frame.get());
        ASSERT_NE(dialog, nullptr);
        ASSERT_NE(dialog->windowHandle(), nullptr);
        EXPECT_EQ(dialog->windowHandle()->transientParent(), frame->windowHandle());
        EXPECT_FALSE(frame->isEnabled());
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::activeWindow(), dialog);
        dialog->close();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        EXPECT_TRUE(frame->isEnabled());
    }
}

TEST_F(DialogsOnTopTest, AMessageBoxBelongsToTheMainWindowWhenNothingIsInFront)
{
    // Nothing of the program is active (another program is in front).
    QApplication::setActiveWindow(nullptr);
    if (QApplication::activeWindow())
        GTEST_SKIP() << "the platform keeps a window active";
    EXPECT_EQ(Application::DialogOwner(), frame.get());
}

} // namespace
} // namespace Frontend::Test
