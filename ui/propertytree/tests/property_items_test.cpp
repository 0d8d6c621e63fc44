#include "ui/propertytree/tests/TreeFixture.h"

#include "ui/propertytree/CheckItem.h"
#include "ui/propertytree/EditItem.h"
#include "ui/propertytree/ListItem.h"
#include "ui/propertytree/ValueItem.h"

namespace PropertyTreeUi::Test {
namespace {

wchar_t const* const ThreeOptions[] = {L"One", L"Two", L"Three", nullptr};

TEST(BrowseItemText, ShowsOnlyTheFileName)
{
    struct Case {
        wchar_t const* value;
        char const* shown;
    } const cases[] = {
        {L"/home/user/Pictures/logo.bmp", "logo.bmp"},
        {L"relative/dir/pad.bmp", "pad.bmp"},
        {L"plain.bmp", "plain.bmp"},
        {L"/ends/with/", ""},
        {L"", ""},
    };
    for (auto const& c : cases) {
        std::unique_ptr<BrowseItem> item(BrowseItem::Create(L"Image", c.value));
        QString shown;
        ASSERT_TRUE(item->GetDisplayText(shown));
        EXPECT_EQ(shown.toStdString(), c.shown) << QString::fromWCharArray(c.value).toStdString();
        EXPECT_EQ(item->GetDisplayTextLength(), int(strlen(c.shown)));
        // The value keeps the whole path.
        EXPECT_EQ(item->GetValue().toString(), QString::fromWCharArray(c.value));
    }
}

TEST(ListItemValue, TextsAndIndexes)
{
    std::unique_ptr<ListItem> item(ListItem::Create(L"List", ThreeOptions, 1));
    QString shown;
    ASSERT_TRUE(item->GetDisplayText(shown));
    EXPECT_EQ(shown, "Two");

    EXPECT_EQ(item->SetValue(QString("Three")), 1);
    EXPECT_EQ(item->GetValue().toInt(), 2);
    // Texts are compared with case.
    EXPECT_EQ(item->SetValue(QString("three")), 0);
    EXPECT_EQ(item->GetValue().toInt(), 0);
    EXPECT_EQ(item->SetValue(QString("Three")), 1);
    EXPECT_EQ(item->SetValue(QString("Missing")), 0);
    EXPECT_EQ(item->GetValue().toInt(), 0);

    EXPECT_EQ(item->SetValue(3), 1);  // one past the end wraps
    EXPECT_EQ(item->GetValue().toInt(), 0);
    EXPECT_EQ(item->SetValue(-1), 1);
    EXPECT_FALSE(item->GetDisplayText(shown));
    EXPECT_EQ(item->GetDisplayTextLength(), 0);
}

TEST(ListItemValue, NewOptionsChooseTheFirstWhenNothingWasChosen)
{
    std::unique_ptr<ListItem> item(ListItem::Create(L"List", ThreeOptions, -1));
    wchar_t const* const other[] = {L"A", L"B", nullptr};
    item->SetOptions(other);
    EXPECT_EQ(item->GetValue().toInt(), 0);
    EXPECT_EQ(item->GetOptions().size(), 2);
}

TEST(CheckItemValue, TakesOnlyBools)
{
    std::unique_ptr<CheckItem> item(CheckItem::Create(L"Check", false));
    EXPECT_EQ(item->SetValue(1), 0);
    EXPECT_EQ(item->SetValue(QString("true")), 0);
    EXPECT_FALSE(item->GetValue().toBool());
    EXPECT_EQ(item->SetValue(true), 1);
    EXPECT_TRUE(item->GetValue().toBool());
    EXPECT_EQ(VariantWord(item->GetValue()), -1);
}

TEST(EditItemValue, TypedTextConvertsToTheValueType)
{
    struct Case {
        QVariant start;
        char const* typed;
        int result;
        QVariant after;
    } const cases[] = {
        {QVariant(uint(7)), "42", 1, QVariant(uint(42))},
        {QVariant(uint(7)), "", 0, QVariant(uint(7))},      // empty fails, old value kept
        {QVariant(uint(7)), "-3", 0, QVariant(uint(7))},
        {QVariant(int(7)), "-3", 1, QVariant(int(-3))},
        {QVariant(int(7)), "x1", 0, QVariant(int(7))},
        {QVariant(QString("old")), "", 1, QVariant(QString(""))},
        {QVariant(QString("old")), "new text", 1, QVariant(QString("new text"))},
    };
    for (auto const& c : cases) {
        EditItem item(L"Edit");
        item.SetValue(c.start);
        QLineEdit editor;
        editor.setText(c.typed);
        EXPECT_EQ(item.UpdateFromEditor(&editor), c.result) << c.typed;
        EXPECT_EQ(item.GetValue(), c.after) << c.typed;
        EXPECT_EQ(item.GetValue().typeId(), c.start.typeId()) << c.typed;
    }
}

TEST(VariantWords, ReadWithoutConversion)
{
    EXPECT_EQ(VariantWord(QVariant(true)), -1);
    EXPECT_EQ(VariantWord(QVariant(false)), 0);
    EXPECT_EQ(VariantWord(QVariant(5)), 5);
    EXPECT_EQ(VariantWord(QVariant(-1)), -1);
    EXPECT_EQ(VariantWord(QVariant(QString("12"))), 0);
    EXPECT_EQ(VariantWord(QVariant()), 0);
}

using RowBehaviour = TreeFixture;

TEST_F(RowBehaviour, DoubleTapOnAListRowCyclesItsChoice)
{
    PropertyRow row = tree.InsertItem(ListItem::Create(L"List", ThreeOptions, 2), 0, 0);
    Select(row);
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, NamePoint(row));
    Flush();
    EXPECT_EQ(tree.GetItem(row)->GetValue().toInt(), 0);
    EXPECT_EQ(owner.Count(PTN_DBLCLK), 1);
    EXPECT_EQ(owner.Count(PTN_ITEMCHANGED), 1);
    // The editor shows the new choice.
    auto* editor = qobject_cast<QLineEdit*>(tree.GetEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "One");
}

TEST_F(RowBehaviour, CheckRowTaps)
{
    PropertyRow row = tree.InsertItem(CheckItem::Create(L"Sound", false), 0, 0);
    Flush();
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, NamePoint(row));
    EXPECT_TRUE(tree.GetCheck(row));
    // A tap right of the row does nothing.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, RightOfRowPoint(row));
    EXPECT_TRUE(tree.GetCheck(row));
    // With taps on the image only, the name does nothing and the image toggles.
    tree.SetStyleFlags(PropertyTree::PTS_CHECKONIMAGE);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, NamePoint(row));
    EXPECT_TRUE(tree.GetCheck(row));
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, ImagePoint(row));
    EXPECT_FALSE(tree.GetCheck(row));
    // An owner that answers the tap keeps the row from acting.
    owner.replies[PTN_CLICK] = 1;
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, ImagePoint(row));
    EXPECT_FALSE(tree.GetCheck(row));
}

TEST_F(RowBehaviour, DisabledCheckRowIgnoresTapsAndShowsGreyImages)
{
    PropertyRow row = tree.InsertItem(CheckItem::Create(L"Sound", true), 0, 0);
    EXPECT_EQ(row->data(0, Qt::UserRole + 1).toInt(), 1);
    tree.GetItem(row)->SetEnabled(0);
    EXPECT_EQ(row->data(0, Qt::UserRole + 1).toInt(), 5);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, ImagePoint(row));
    EXPECT_TRUE(tree.GetCheck(row));
    EXPECT_EQ(tree.SetCheck(row, 0), 1);
    EXPECT_EQ(row->data(0, Qt::UserRole + 1).toInt(), 4);
}

} // namespace
} // namespace PropertyTreeUi::Test
