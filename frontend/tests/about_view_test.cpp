#include "frontend/AboutView.h"

#include "engine/ModuleDesc.h"
#include "frontend/tests/ViewTestSupport.h"

#include <QScrollBar>
#include <QTextBrowser>

namespace Frontend::Test {
namespace {

std::string const kHead = "<html>\n<head></head>\n"
                          "<body style=\"font-family: arial, verdana, helvetica; font-size: 8pt;\" bgcolor=\"#FFFFFF\">\n"
                          "Quintar Version 2.4.0.9<br>Linux"
                          "<br>Copyright \u00A9 2026 the Quintar developers<br>\n";
std::string const kTail = "</body>\n</html>";

class AboutViewTest : public ViewFixture {
protected:
    void AddModule(wchar_t const *description, wchar_t const *version)
    {
        auto *desc = new ZorvanEngine::ModuleDesc;
        desc->SetDescription(description);
        desc->SetVersion(version);
        engine->m_modules.push_back(desc);
    }
    std::string Page() { return Narrow(AboutView::BuildPage()); }
};

TEST_F(AboutViewTest, PageWithoutModulesHasNoModuleList)
{
    std::string const page = Page();
    EXPECT_EQ(page.substr(0, kHead.size()), kHead);
    EXPECT_EQ(page.substr(page.size() - kTail.size()), kTail);
    EXPECT_EQ(page.find("Featured Modules"), std::string::npos);
    // The page's only link stays inside it.
    EXPECT_NE(page.find("<a href=\"#modules\">"), std::string::npos);
    EXPECT_NE(page.find("<a name=\"modules\"></a><hr>\n</body>"), std::string::npos);
    EXPECT_EQ(page.find("http"), std::string::npos);
}

TEST_F(AboutViewTest, PageListsEveryModuleInOrder)
{
    AddModule(L"Handheld console", L"2, 4, 0, 9");
    AddModule(L"Home console", L"2, 5, 0, 0");
    std::string const page = Page();
    std::string const list = "<hr>\n<b>Featured Modules</b><br>\n<ul>\n"
                             "<li>Handheld console<br>Build Version: 2.4.0.9<br><br></li>\n"
                             "<li>Home console<br>Build Version: 2.5.0.0<br><br></li>\n"
                             "</ul>\n" + kTail;
    ASSERT_GE(page.size(), list.size());
    EXPECT_EQ(page.substr(page.size() - list.size()), list);
}

TEST_F(AboutViewTest, PageIsBuiltWhenTheWindowIsCreated)
{
    AboutView about;
    QWidget parent;
    parent.resize(240, 120);
    parent.show();
    about.CreateView(&parent)->resize(240, 120);
    QString const first = about.GetControl()->toPlainText();
    EXPECT_TRUE(first.startsWith("Quintar Version 2.4.0.9\nLinux\nCopyright \u00A9 2026 the Quintar developers"))
        << first.toStdString();
    EXPECT_FALSE(first.contains("Featured Modules"));

    // Created again, it lists the modules found by then.
    AddModule(L"Handheld console", L"2, 4, 0, 9");
    about.CreateView(&parent)->resize(240, 120);
    QCoreApplication::processEvents();
    EXPECT_TRUE(about.GetControl()->toPlainText().contains("Featured Modules"));

    // Its link goes to the module list further down.
    ASSERT_EQ(about.GetControl()->verticalScrollBar()->value(), 0);
    emit about.GetControl()->anchorClicked(QUrl("#modules"));
    EXPECT_GT(about.GetControl()->verticalScrollBar()->value(), 0);
}

} // namespace
} // namespace Frontend::Test
