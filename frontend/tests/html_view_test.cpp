#include "frontend/HTMLView.h"

#include "frontend/HtmlHostDialog.h"
#include "frontend/tests/ViewTestSupport.h"
#include "engine/ModelessDialogOwner.h"

#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>

namespace Frontend::Test {
namespace {

// A view that can take links itself.
class LinkView : public HTMLView {
public:
    bool takeLinks = false;
    std::vector<std::pair<std::string, std::string>> links;

    void OnLink(Zorvan::String target, Zorvan::String data, bool *handled) override
    {
        links.emplace_back(Narrow(target), Narrow(data));
        *handled = takeLinks;
    }
};

// A page long enough to scroll, with an anchor at its end.
Zorvan::String LongPage()
{
    QString html = "<html><body><a href=\"#end\">to the end</a>";
    for (int i = 0; i < 200; ++i)
        html += QString("<p>line %1</p>").arg(i);
    html += "<a name=\"end\"></a><p>the end</p></body></html>";
    return ToZorvanString(html);
}

struct Owner : QWidget, ModelessDialogOwner {
    std::vector<std::pair<int, int>> closed;
    void OnDialogClosed(int dialogId, int code) override { closed.emplace_back(dialogId, code); }
};

class HtmlViewTest : public ::testing::Test {
protected:
    // Before the fixture's widgets are made.
    static void SetUpTestSuite() { QuintarTest::EnsureApplication(); }

    void SetUp() override
    {
        parent.resize(240, 200);
        parent.show();
    }
    int Scroll() { return view.GetControl()->verticalScrollBar()->value(); }

    QWidget parent;
    LinkView view;
};

TEST_F(HtmlViewTest, WindowCarriesTheControlWhileItExists)
{
    EXPECT_EQ(view.GetControl(), nullptr);
    QWidget *window = view.CreateView(&parent);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->objectName(), "Quintar.HTMLView");
    ASSERT_NE(view.GetControl(), nullptr);
    EXPECT_EQ(view.GetControl()->toPlainText(), "");

    view.SetPage(ToZorvanString("<html><body><b>one</b></body></html>"));
    view.SetPage(ToZorvanString("<html><body>two</body></html>"));
    EXPECT_EQ(view.GetControl()->toPlainText(), "two") << "a page replaces the one before";

    // The control fills the window as it changes size.
    window->resize(200, 150);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.GetControl()->geometry(), QRect(0, 0, 200, 150));

    view.DestroyView();
    EXPECT_EQ(view.GetWindow(), nullptr);
    EXPECT_EQ(view.GetControl(), nullptr);
    view.SetPage(ToZorvanString("<p>nowhere</p>")); // no window: nothing happens
    view.GoToAnchor(ToZorvanString("end"));
}

TEST_F(HtmlViewTest, ControlGoesWithAParentThatIsDeleted)
{
    auto *host = new QWidget;
    view.CreateView(host);
    delete host;
    EXPECT_EQ(view.GetWindow(), nullptr);
    EXPECT_EQ(view.GetControl(), nullptr);
}

TEST_F(HtmlViewTest, TappedLinkGoesToItsAnchorUnlessTheViewTakesIt)
{
    view.CreateView(&parent)->resize(240, 200);
    view.SetPage(LongPage());
    QCoreApplication::processEvents();
    ASSERT_EQ(Scroll(), 0);

    view.takeLinks = true;
    emit view.GetControl()->anchorClicked(QUrl("#end"));
    EXPECT_EQ(Scroll(), 0);
    view.takeLinks = false;
    emit view.GetControl()->anchorClicked(QUrl("#end"));
    EXPECT_GT(Scroll(), 0);
    EXPECT_EQ(view.links, (std::vector<std::pair<std::string, std::string>>{{"#end", ""}, {"#end", ""}}));

    // A name with or without its "#".
    view.GetControl()->verticalScrollBar()->setValue(0);
    view.GoToAnchor(ToZorvanString("end"));
    EXPECT_GT(Scroll(), 0);
}

TEST_F(HtmlViewTest, HostDialogShowsTheViewAndTellsItsOwnerAfterClosing)
{
    Owner owner;
    owner.resize(300, 400);
    owner.show();
    HtmlHostDialog dialog;
    dialog.Show(&view, &owner);
    dialog.SetTitle(ToZorvanString("About Quintar"));
    EXPECT_EQ(dialog.windowTitle(), "About Quintar");
    ASSERT_NE(view.GetWindow(), nullptr);
    EXPECT_EQ(view.GetWindow()->parentWidget(), &dialog);
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_EQ(dialog.size(), owner.size());
    QCoreApplication::processEvents();
    EXPECT_EQ(view.GetWindow()->geometry(), dialog.rect()) << "the view covers the whole dialog";

    dialog.close();
    EXPECT_EQ(view.GetControl(), nullptr) << "the view's window goes with the dialog's";
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_TRUE(owner.closed.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.closed, (std::vector<std::pair<int, int>>{{259, 2}}));

    // Opened again, the view gets a new window.
    dialog.Show(&view, &owner);
    EXPECT_NE(view.GetControl(), nullptr);
    EXPECT_EQ(dialog.windowTitle(), "") << "untitled until told";
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.closed.size(), 2u);
}

} // namespace
} // namespace Frontend::Test
