#include "ui/propertytree/CheckItem.h"
#include "ui/propertytree/EditItem.h"
#include "ui/propertytree/ListItem.h"
#include "ui/propertytree/SettingsPage.h"
#include "ui/propertytree/ValueItem.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <vector>

namespace PropertyTreeUi::Test {
namespace {

// The window that opens a page and hears when it is gone.
struct OwnerWindow : QWidget, ModelessDialogOwner {
    std::vector<std::pair<int, int>> closed;
    bool pageVisibleWhenTold = true;
    QWidget* page = nullptr;
    void OnDialogClosed(int dialogId, int code) override
    {
        closed.emplace_back(dialogId, code);
        pageVisibleWhenTold = page && page->isVisible();
    }
};

// A page with one check row and one text row over "Flag" and "Name".
class TestPage : public SettingsPage {
public:
    using SettingsPage::SettingsPage;
    int saves = 0;
    int buttonDialogCalls = 0;
    PropertyRow flag = nullptr, name = nullptr, list = nullptr;

protected:
    void OnInitDialog() override
    {
        SettingsPage::OnInitDialog();
        SetTitle(L"Test Settings");
        PropertyRow category = GetTree().InsertItem(CategoryItem::Create(L"General", L""), 16, 16);
        flag = GetTree().InsertItem(CheckItem::Create(L"Flag", false), 0, 0, category);
        name = GetTree().InsertItem(EditItem::Create(L"Name", L""), 11, 11, category);
        list = GetTree().InsertItem(ListItem::Create(L"Level", SettingsPageChoices::Digits, 0), 18, 18, category);
        LoadValues();
    }
    void LoadValues() override
    {
        GetTree().SetCheck(flag, m_settings->GetBoolean(L"Flag") ? 1 : 0);
        SetItemString(name, m_settings->GetString(L"Name"));
        SetItemInt(list, m_settings->GetInt(L"Level"));
    }
    void SaveValues() override
    {
        ++saves;
        m_settings->Set(L"Flag", GetTree().GetCheck(flag), false);
        m_settings->Set(L"Name", GetItemString(name), false);
        m_settings->Set(L"Level", GetItemInt(list), false);
    }
    void OnButtonDlgDestroy() override { ++buttonDialogCalls; }
};

class SettingsPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        settings.Set(L"Flag", false, false);
        settings.Set(L"Name", L"start", false);
        settings.Set(L"Level", 3, false);
        owner.resize(400, 500);
        owner.show();
        page.GetTree();
        owner.page = &page;
    }
    static void Flush()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    PropertyMap settings;
    OwnerWindow owner;
    TestPage page{&settings};
};

TEST_F(SettingsPageTest, ShowLoadsTheRowsAndDisablesTheOwner)
{
    page.Show(&owner);
    EXPECT_TRUE(page.IsOpen());
    EXPECT_TRUE(page.isVisible());
    EXPECT_FALSE(owner.isEnabled());
    // The window manager keeps it above the disabled owner.
    EXPECT_EQ(page.windowType(), Qt::Dialog);
    ASSERT_NE(page.windowHandle(), nullptr);
    EXPECT_EQ(page.windowHandle()->transientParent(), owner.windowHandle());
    EXPECT_EQ(page.geometry(), owner.geometry());
    EXPECT_EQ(ToQString(page.GetTitle()), "Test Settings");
    EXPECT_EQ(page.GetItemString(page.name), Zorvan::String(L"start"));
    EXPECT_EQ(page.GetItemInt(page.list), 3);
    EXPECT_EQ(page.GetItemInt(page.flag), 0);
    EXPECT_EQ(page.GetItemInt(nullptr), 0);
    // The title band's line lies between the title and the tree.
    EXPECT_EQ(page.grab().toImage().pixel(page.width() / 2, TitleBandHeight) & 0xFFFFFF, 0x000000u);
    EXPECT_GT(page.GetTree().geometry().top(), TitleBandHeight);
    page.OnCancel();
}

TEST_F(SettingsPageTest, OkSavesOnceAndTellsTheOwnerAfterTheWindowIsGone)
{
    page.Show(&owner);
    page.GetTree().SetCheck(page.flag, 1);
    page.SetItemInt(page.list, 5);
    page.OnOK();
    EXPECT_EQ(page.saves, 1);
    EXPECT_FALSE(page.isVisible());
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_TRUE(owner.closed.empty());  // posted, not called inside OnOK
    Flush();
    ASSERT_EQ(owner.closed.size(), 1u);
    EXPECT_EQ(owner.closed[0], std::make_pair(135, 2));
    EXPECT_FALSE(owner.pageVisibleWhenTold);
    EXPECT_TRUE(settings.GetBoolean(L"Flag"));
    EXPECT_EQ(settings.GetInt(L"Level"), 5);
    // A second OK on a closed page does nothing.
    page.OnOK();
    Flush();
    EXPECT_EQ(page.saves, 1);
    EXPECT_EQ(owner.closed.size(), 1u);
}

TEST_F(SettingsPageTest, CancelAndClosingTheWindowLeaveTheSettingsUntouched)
{
    for (int round = 0; round < 2; ++round) {
        page.Show(&owner);
        page.GetTree().SetCheck(page.flag, 1);
        page.SetItemString(page.name, L"changed");
        if (round == 0)
            page.OnCancel();
        else
            page.close();
        Flush();
        EXPECT_EQ(page.saves, 0);
        EXPECT_FALSE(page.IsOpen());
        EXPECT_TRUE(owner.isEnabled());
        EXPECT_FALSE(settings.GetBoolean(L"Flag"));
        EXPECT_EQ(settings.GetString(L"Name"), Zorvan::String(L"start"));
        EXPECT_EQ(owner.closed.size(), size_t(round + 1));
    }
}

TEST_F(SettingsPageTest, OkTakesTheTextOfTheOpenEditor)
{
    page.Show(&owner);
    page.GetTree().setCurrentItem(page.name);
    auto* editor = qobject_cast<QLineEdit*>(page.GetTree().GetEditor());
    ASSERT_NE(editor, nullptr);
    editor->setText("typed");
    page.OnOK();
    EXPECT_EQ(settings.GetString(L"Name"), Zorvan::String(L"typed"));
}

TEST_F(SettingsPageTest, ShownAgainAfterClosing)
{
    page.Show(&owner);
    page.OnCancel();
    settings.Set(L"Name", L"second", false);
    page.Show(&owner);
    EXPECT_EQ(page.GetItemString(page.name), Zorvan::String(L"second"));
    EXPECT_EQ(page.GetTree().topLevelItemCount(), 1);
    page.OnOK();
    EXPECT_EQ(page.saves, 1);
}

TEST_F(SettingsPageTest, EmptyStringIsAnEmptyTextValue)
{
    page.Show(&owner);
    EXPECT_EQ(page.SetItemString(page.name, Zorvan::String()), 1);
    QVariant value = page.GetTree().GetItem(page.name)->GetValue();
    EXPECT_EQ(value.typeId(), QMetaType::QString);
    EXPECT_TRUE(value.toString().isEmpty());
    EXPECT_TRUE(page.GetItemString(page.name).IsEmpty());
    page.OnCancel();
}

TEST_F(SettingsPageTest, RefreshRebuildsTheEditorFromTheRowsValue)
{
    page.Show(&owner);
    page.GetTree().setCurrentItem(page.name);
    // A value changed behind the tree's back shows once the page refreshes.
    page.GetTree().GetItem(page.name)->SetValue(QString("changed"));
    page.Refresh();
    QCoreApplication::processEvents();
    auto* editor = qobject_cast<QLineEdit*>(page.GetTree().GetEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "changed");
    EXPECT_EQ(page.GetTree().currentItem(), page.name);
    page.OnCancel();
}

TEST_F(SettingsPageTest, ButtonDialogCloseReachesThePage)
{
    page.Show(&owner);
    page.OnDialogClosed(258, 2);
    EXPECT_EQ(page.buttonDialogCalls, 0);
    page.OnDialogClosed(257, 2);
    EXPECT_EQ(page.buttonDialogCalls, 1);
    page.OnCancel();
}

TEST(SettingsPageChoiceTables, EndWithNullAndHoldTheTexts)
{
    struct Case {
        wchar_t const* const* table;
        int count;
        wchar_t const* first;
        wchar_t const* last;
    } const cases[] = {
        {SettingsPageChoices::Percent, 11, L"100%", L"0%"},
        {SettingsPageChoices::EvenNumbers, 10, L"2", L"20"},
        {SettingsPageChoices::SoundRates, 3, L"High (44khz)", L"Low (11khz)"},
        {SettingsPageChoices::ScreenScale, 13, L"100%", L"Window Size"},
        {SettingsPageChoices::Digits, 9, L"0", L"8"},
    };
    for (auto const& c : cases) {
        int n = 0;
        while (c.table[n])
            ++n;
        EXPECT_EQ(n, c.count);
        EXPECT_EQ(std::wstring(c.table[0]), c.first);
        EXPECT_EQ(std::wstring(c.table[n - 1]), c.last);
    }
}

} // namespace

// A page longer than its window: thirty check rows under one heading.
class LongPage : public SettingsPage {
public:
    using SettingsPage::SettingsPage;
    std::vector<PropertyRow> rows;

protected:
    void OnInitDialog() override
    {
        SettingsPage::OnInitDialog();
        rows.clear();
        PropertyRow category = GetTree().InsertItem(CategoryItem::Create(L"Many", L""), 16, 16);
        rows.push_back(category);
        for (int i = 0; i < 30; ++i)
            rows.push_back(GetTree().InsertItem(CheckItem::Create(L"Row", false), 0, 0, category));
        GetTree().scrollToItem(category);
        LoadValues();
    }
    void LoadValues() override { Refresh(); }
    void SaveValues() override {}
};

// Where the scroll bar's handle is drawn: the middle of the rows darker than
// the bar's mean (the handle is drawn dark on a light groove); -1 when none.
int HandleMiddle(QScrollBar* bar)
{
    QImage const image = bar->grab().toImage();
    std::vector<double> rows;
    double all = 0;
    for (int y = 0; y < image.height(); ++y) {
        double sum = 0;
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
        rows.push_back(sum / image.width());
        all += rows.back();
    }
    double const mean = all / image.height();
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y) {
        if (rows[y] < mean - 8) {
            if (first < 0)
                first = y;
            last = y;
        }
    }
    return first < 0 ? -1 : (first + last) / 2;
}

TEST_F(SettingsPageTest, TheScrollBarFollowsTheList)
{
    LongPage longPage(&settings);
    longPage.Show(&owner);
    Flush();
    PropertyTree& tree = longPage.GetTree();
    QScrollBar* bar = tree.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the list fits its window";
    // Opened at the top of the list, with the handle at the top too.
    EXPECT_EQ(bar->value(), bar->minimum());
    EXPECT_EQ(tree.itemAt(QPoint(4, 2)), longPage.rows.front());
    int const top = HandleMiddle(bar);
    EXPECT_GE(top, 0) << "no handle to be seen";
    EXPECT_LT(top, bar->height() / 2);

    // At the bottom of the list, the handle is at the bottom.
    tree.scrollToItem(longPage.rows.back());
    Flush();
    EXPECT_EQ(bar->value(), bar->maximum());
    QRect const last = tree.visualItemRect(longPage.rows.back());
    EXPECT_GE(last.top(), 0);
    EXPECT_LE(last.bottom(), tree.viewport()->height());
    EXPECT_GT(HandleMiddle(bar), bar->height() / 2);
    longPage.OnCancel();
}
} // namespace PropertyTreeUi::Test
