// Every console's settings page, opened from the Tools popup and closed in
// every way a user closes it, with no game, another console's game and its
// own game running: the program goes on, the frame is usable again, the
// game that ran still runs, and the page stays on top of the frame while
// open. Pages of a console without a running game close their module, and
// with it its library, right after the page is gone.
#include "frontend/tests/RealModulesSandbox.h"

#include "engine/Module.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>

namespace Frontend::Test {
namespace {

enum class Closing { Ok, Cancel, Escape, WindowClose };
enum class Running { Nothing, AnotherConsole, OwnConsole };

char const *Describe(Closing closing)
{
    switch (closing) {
    case Closing::Ok: return "OK";
    case Closing::Cancel: return "Cancel";
    case Closing::Escape: return "Esc";
    default: return "the window's close button";
    }
}

char const *Describe(Running running)
{
    switch (running) {
    case Running::Nothing: return "no game";
    case Running::AnotherConsole: return "another console's game";
    default: return "its own game";
    }
}

class SettingsPagesTest : public RealModulesSandbox {
protected:
    void SetUp() override
    {
        RealModulesSandbox::SetUp();
        if (!HasFatalFailure())
            MakeConsoleFrame();
    }

    void Close(QWidget *page, Closing closing)
    {
        auto *buttons = page->findChild<QDialogButtonBox *>();
        switch (closing) {
        case Closing::Ok:
            ASSERT_NE(buttons, nullptr);
            buttons->button(QDialogButtonBox::Ok)->click();
            break;
        case Closing::Cancel:
            ASSERT_NE(buttons, nullptr);
            buttons->button(QDialogButtonBox::Cancel)->click();
            break;
        case Closing::Escape:
            QTest::keyClick(page, Qt::Key_Escape);
            break;
        case Closing::WindowClose:
            page->close();
            break;
        }
    }
};

TEST_F(SettingsPagesTest, EveryPageClosesInEveryWayWhateverRuns)
{
    int const count = static_cast<int>(Consoles().size());
    for (int index = 0; index < count; ++index) {
        Console const &console = Consoles()[static_cast<size_t>(index)];
        Console const &other = Consoles()[static_cast<size_t>((index + 1) % count)];
        for (Running running : {Running::Nothing, Running::AnotherConsole, Running::OwnConsole}) {
            for (Closing closing : {Closing::Ok, Closing::Cancel, Closing::Escape, Closing::WindowClose}) {
                SCOPED_TRACE(std::string(console.name) + " with " + Describe(running) + ", closed with " +
                             Describe(closing));
                engine().Shutdown();
                if (running != Running::Nothing) {
                    Console const &game = running == Running::OwnConsole ? console : other;
                    ASSERT_TRUE(engine().RunFile(Zorvan::String(Game(game).c_str()))) << Narrow(engine().GetConsole());
                }
                ZorvanEngine::Module *const active = engine().GetActiveModule();

                frame->OnCommand(ID_SELECT_MODULE + index);
                QWidget *page = ShownWindow("SettingsPage");
                ASSERT_NE(page, nullptr) << "no page opened";
                EXPECT_FALSE(frame->isEnabled()) << "the frame takes input under its page";
                EXPECT_TRUE(IsTransientFor(page, frame.get())) << "the page can go behind the frame";

                Close(page, closing);
                Settle();
                EXPECT_EQ(ShownWindow("SettingsPage"), nullptr);
                EXPECT_TRUE(frame->isEnabled());
                EXPECT_EQ(frame->GetSettingsModule(), nullptr);
                EXPECT_EQ(engine().GetActiveModule(), active);
                EXPECT_EQ(engine().IsRunning(), running != Running::Nothing);
                EXPECT_FALSE(engine().IsPaused());
                if (running != Running::Nothing) {
                    EXPECT_TRUE(active->RunFrame()) << "the game runs on";
                }
            }
        }
    }
}

// A page longer than its window opens at the top of its list, with the
// scroll bar's thumb at the top too, and the thumb follows the list down.
TEST_F(SettingsPagesTest, TheScrollBarFollowsTheList)
{
    frame->resize(640, 360);
    frame->OnCommand(ID_SELECT_MODULE + 1);
    QWidget *page = ShownWindow("SettingsPage");
    ASSERT_NE(page, nullptr);
    Settle();
    auto *tree = page->findChild<QTreeWidget *>();
    ASSERT_NE(tree, nullptr);
    QScrollBar *bar = tree->verticalScrollBar();
    ASSERT_GT(bar->maximum(), bar->minimum()) << "the list fits its window";
    EXPECT_EQ(bar->value(), bar->minimum());
    EXPECT_EQ(tree->itemAt(QPoint(4, 2)), tree->topLevelItem(0));

    QTreeWidgetItem *last = tree->topLevelItem(tree->topLevelItemCount() - 1);
    last = last->childCount() > 0 ? last->child(last->childCount() - 1) : last;
    tree->scrollToItem(last);
    Settle();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_LE(tree->visualItemRect(last).bottom(), tree->viewport()->height());
    EXPECT_GT(tree->visualItemRect(tree->topLevelItem(0)).bottom(), -tree->viewport()->height())
        << "scrolled past the list";
    page->close();
    Settle();
}

} // namespace
} // namespace Frontend::Test
