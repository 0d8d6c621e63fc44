#include "ui/propertytree/tests/TreeFixture.h"

#include "ui/propertytree/CheckItem.h"
#include "ui/propertytree/EditItem.h"
#include "ui/propertytree/InplaceEdit.h"
#include "ui/propertytree/InplaceList.h"
#include "ui/propertytree/ListItem.h"
#include "ui/propertytree/ValueItem.h"

#include <QListWidget>

namespace PropertyTreeUi::Test {
namespace {

wchar_t const* const Colours[] = {L"Black", L"White", L"Blue", nullptr};

class PropertyTreeTest : public TreeFixture {
protected:
    void SetUp() override
    {
        TreeFixture::SetUp();
        category = tree.InsertItem(CategoryItem::Create(L"Tweak", L""), 16, 16);
        text = tree.InsertItem(EditItem::Create(L"Save Game Path", L"/games"), 11, 11, category);
        number = tree.InsertItem(EditItem::Create(L"Number", L""), 0, 0, category);
        tree.GetItem(number)->SetValue(uint(12));
        list = tree.InsertItem(ListItem::Create(L"Colour", Colours, 0), 24, 24, category);
        browse = tree.InsertItem(BrowseItem::Create(L"Image", L"/pics/logo.bmp"), 22, 22, category);
        check = tree.InsertItem(CheckItem::Create(L"Auto Pause", false), 0, 0, category);
        Flush();
    }

    QLineEdit* Editor() const { return qobject_cast<QLineEdit*>(tree.GetEditor()); }
    QString Value(PropertyRow row) const { return tree.GetItem(row)->GetValue().toString(); }

    PropertyRow category, text, number, list, browse, check;
};

TEST_F(PropertyTreeTest, RowsAreInsertedInOrderUnderAnExpandedCategory)
{
    ASSERT_EQ(category->childCount(), 5);
    EXPECT_TRUE(category->isExpanded());
    EXPECT_EQ(category->child(0), text);
    EXPECT_EQ(category->child(4), check);
    PropertyRow first = tree.InsertItem(CheckItem::Create(L"First", false), 0, 0, category, nullptr);
    EXPECT_EQ(category->child(5), first);
    PropertyRow second = tree.InsertItem(CheckItem::Create(L"Second", false), 0, 0, category, text);
    EXPECT_EQ(category->child(1), second);
    EXPECT_EQ(tree.FindRow(tree.GetItem(second)), second);
}

TEST_F(PropertyTreeTest, ValueRectStartsRightOfTheNameOrAtTheNameColumn)
{
    auto layout = tree.LayoutRow(text);
    QRect value = tree.GetValueRect(text);
    EXPECT_EQ(value.left(), layout.name.right() + 1 + 4);
    EXPECT_EQ(value.right(), layout.row.right() - 3);
    tree.SetNameColumnWidth(250);
    EXPECT_EQ(tree.GetValueRect(text).left(), 250);
}

TEST_F(PropertyTreeTest, SelectingARowOpensItsEditorAndATextRowTakesTheFocus)
{
    Select(text);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(tree.GetEditedRow(), text);
    EXPECT_EQ(Editor()->text(), "/games");
    EXPECT_TRUE(Editor()->hasFocus());
    EXPECT_EQ(owner.calls.back().first, PTN_SELCHANGED);

    Select(list);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), "Black");
    EXPECT_FALSE(Editor()->hasFocus());

    // Check rows and categories have no editor.
    Select(check);
    EXPECT_EQ(tree.GetEditor(), nullptr);
}

TEST_F(PropertyTreeTest, SelectingADisabledRowClosesTheEditorAndOpensNone)
{
    Select(list);
    ASSERT_NE(tree.GetEditor(), nullptr);
    tree.GetItem(text)->SetEnabled(0);
    Select(text);
    EXPECT_EQ(tree.GetEditor(), nullptr);
    EXPECT_EQ(tree.GetEditedRow(), nullptr);
}

TEST_F(PropertyTreeTest, VetoedChangeKeepsTheOldValue)
{
    Select(text);
    owner.replies[PTN_ITEMCHANGING] = 1;
    Editor()->setText("/elsewhere");
    QTest::keyClick(Editor(), Qt::Key_Return);
    Flush();
    EXPECT_EQ(Value(text), "/games");
    EXPECT_EQ(owner.Count(PTN_ITEMCHANGED), 0);

    // A row's own change (a double tap on a list) can be vetoed as well.
    Select(list);
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, NamePoint(list));
    EXPECT_EQ(tree.GetItem(list)->GetValue().toInt(), 0);
    EXPECT_EQ(owner.Count(PTN_ITEMCHANGED), 0);
}

TEST_F(PropertyTreeTest, SetCheckOnlyForCheckRows)
{
    EXPECT_EQ(tree.SetCheck(list, 1), 0);
    EXPECT_EQ(tree.GetItem(list)->GetValue().toInt(), 0);
    EXPECT_FALSE(tree.GetCheck(list));
    EXPECT_EQ(tree.SetCheck(check, 1), 1);
    EXPECT_TRUE(tree.GetCheck(check));
    EXPECT_EQ(tree.SetCheck(check, 2), 1);  // only 1 means checked
    EXPECT_FALSE(tree.GetCheck(check));
}

TEST_F(PropertyTreeTest, SetItemValueRebuildsTheOpenEditor)
{
    Select(text);
    EXPECT_EQ(tree.SetItemValue(text, QString("/other")), 1);
    Flush();
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), "/other");
    EXPECT_EQ(tree.SetItemValue(nullptr, 1), 0);
}

TEST_F(PropertyTreeTest, TextEditorEnterCommitsAndEscapeRestores)
{
    Select(text);
    Editor()->selectAll();
    QTest::keyClicks(Editor(), "/new");
    QTest::keyClick(Editor(), Qt::Key_Return);
    Flush();
    EXPECT_EQ(Value(text), "/new");
    EXPECT_EQ(owner.Count(PTN_ITEMCHANGED), 1);
    ASSERT_NE(Editor(), nullptr);

    Editor()->selectAll();
    QTest::keyClicks(Editor(), "/typed");
    QTest::keyClick(Editor(), Qt::Key_Escape);
    Flush();
    EXPECT_EQ(Value(text), "/new");
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), "/new");
}

TEST_F(PropertyTreeTest, TappingAnotherRowCommitsTheText)
{
    Select(text);
    Editor()->selectAll();
    QTest::keyClicks(Editor(), "/kept");
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, NamePoint(list));
    Flush();
    EXPECT_EQ(tree.currentItem(), list);
    EXPECT_EQ(Value(text), "/kept");
}

TEST_F(PropertyTreeTest, NavigationKeysAtTheEndsOfTheTextGoToTheTree)
{
    Select(text);
    QLineEdit* editor = Editor();
    editor->setCursorPosition(3);
    QTest::keyClick(editor, Qt::Key_Left);
    EXPECT_EQ(editor->cursorPosition(), 2);
    QTest::keyClick(editor, Qt::Key_Right);
    EXPECT_EQ(editor->cursorPosition(), 3);
    EXPECT_EQ(tree.currentItem(), text);

    // Right at the end: the tree opens the editor again with all text selected.
    editor->end(false);
    QTest::keyClick(editor, Qt::Key_Right);
    Flush();
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(tree.currentItem(), text);
    EXPECT_EQ(Editor()->selectedText(), "/games");

    // Tab selects the whole text again after the caret moved.
    Editor()->setCursorPosition(1);
    QTest::keyClick(Editor(), Qt::Key_Tab);
    EXPECT_EQ(Editor()->selectedText(), "/games");
    EXPECT_EQ(tree.currentItem(), text);

    // Left at position 0 moves the tree to the category.
    Editor()->setCursorPosition(0);
    QTest::keyClick(Editor(), Qt::Key_Left);
    Flush();
    EXPECT_EQ(tree.currentItem(), category);

    // Down from an editor moves the selection on.
    Select(text);
    QTest::keyClick(Editor(), Qt::Key_Down);
    Flush();
    EXPECT_EQ(tree.currentItem(), number);
    QTest::keyClick(Editor(), Qt::Key_Up);
    Flush();
    EXPECT_EQ(tree.currentItem(), text);
}

TEST_F(PropertyTreeTest, UnsignedValueTakesDigitsOnlyAndEmptyKeepsTheOldValue)
{
    Select(number);
    Editor()->selectAll();
    QTest::keyClicks(Editor(), "4a5b");
    EXPECT_EQ(Editor()->text(), "45");
    QTest::keyClick(Editor(), Qt::Key_Return);
    Flush();
    EXPECT_EQ(tree.GetItem(number)->GetValue(), QVariant(uint(45)));

    Editor()->selectAll();
    QTest::keyClick(Editor(), Qt::Key_Backspace);
    QTest::keyClick(Editor(), Qt::Key_Return);
    Flush();
    EXPECT_EQ(tree.GetItem(number)->GetValue(), QVariant(uint(45)));
    EXPECT_EQ(Editor()->text(), "45");
}

TEST_F(PropertyTreeTest, BrowseEditorButtonsAndKeys)
{
    Select(browse);
    auto* editor = qobject_cast<InplaceEdit*>(tree.GetEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "logo.bmp");
    ASSERT_NE(editor->Button(1), nullptr);
    EXPECT_EQ(editor->Button(1)->text(), "...");
    EXPECT_EQ(editor->Button(2)->text(), "x");

    QTest::mouseClick(editor->Button(1), Qt::LeftButton);
    EXPECT_EQ(owner.Count(PTN_BROWSE), 1);
    QTest::mouseClick(editor->Button(2), Qt::LeftButton);
    EXPECT_EQ(owner.Count(PTN_RESET), 1);
    QTest::keyClick(editor, Qt::Key_F4);
    EXPECT_EQ(owner.Count(PTN_BROWSE), 2);

    // Enter in the field commits (the row takes nothing from it).
    QTest::keyClick(editor, Qt::Key_Return);
    Flush();
    EXPECT_EQ(owner.Count(PTN_ITEMCHANGED), 1);
    EXPECT_EQ(Value(browse), "/pics/logo.bmp");

    // Escape in the field rebuilds the editor from the stored value.
    editor = qobject_cast<InplaceEdit*>(tree.GetEditor());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Escape);
    Flush();
    EXPECT_EQ(owner.Count(PTN_ITEMCHANGED), 1);
    editor = qobject_cast<InplaceEdit*>(tree.GetEditor());
    ASSERT_NE(editor, nullptr);

    // Escape on a button commits.
    QTest::keyClick(editor->Button(1), Qt::Key_Escape);
    Flush();
    EXPECT_EQ(owner.Count(PTN_ITEMCHANGED), 2);

    // A double tap on the row browses as well.
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, NamePoint(browse));
    EXPECT_EQ(owner.Count(PTN_BROWSE), 3);
}

TEST_F(PropertyTreeTest, ListEditorTypedLetterSelectsAndCommits)
{
    Select(list);
    auto* editor = qobject_cast<InplaceList*>(tree.GetEditor());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_B);   // "Black" comes first
    Flush();
    EXPECT_EQ(tree.GetItem(list)->GetValue().toInt(), 0);
    editor = qobject_cast<InplaceList*>(tree.GetEditor());
    QTest::keyClick(editor, Qt::Key_W);
    Flush();
    EXPECT_EQ(tree.GetItem(list)->GetValue().toInt(), 1);
    editor = qobject_cast<InplaceList*>(tree.GetEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "White");
}

TEST_F(PropertyTreeTest, ListEditorOpensAndTakesTheChosenOption)
{
    Select(list);
    auto* editor = qobject_cast<InplaceList*>(tree.GetEditor());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(&tree, Qt::Key_F2);   // the open key opens the list
    Flush();
    editor = qobject_cast<InplaceList*>(tree.GetEditor());
    ASSERT_TRUE(editor->IsListOpen());
    QListWidget* popup = editor->List();
    popup->setCurrentRow(2);
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_FALSE(popup->isVisible());
    Flush();  // the old editor and its popup are gone from here on
    EXPECT_EQ(tree.GetItem(list)->GetValue().toInt(), 2);

    // Escape in the open list discards.
    editor = qobject_cast<InplaceList*>(tree.GetEditor());
    editor->OpenList();
    editor->List()->setCurrentRow(0);
    QTest::keyClick(editor->List(), Qt::Key_Escape);
    Flush();
    EXPECT_EQ(tree.GetItem(list)->GetValue().toInt(), 2);
}

TEST_F(PropertyTreeTest, ListHeightFollowsTheOptionsUpToItsLimit)
{
    tree.resize(320, 700);
    Flush();
    Select(list);
    auto* editor = qobject_cast<InplaceList*>(tree.GetEditor());
    ASSERT_NE(editor, nullptr);
    int itemHeight = editor->List()->sizeHintForRow(0);
    int borders = 2 * editor->List()->frameWidth();
    EXPECT_EQ(editor->ListGeometry().height(), 3 * itemHeight + borders);
    // Below the field while there is room below.
    QPoint fieldBottom = editor->mapToGlobal(QPoint(0, editor->height()));
    EXPECT_EQ(editor->ListGeometry().top(), fieldBottom.y());
    EXPECT_EQ(editor->ListGeometry().left(), editor->mapToGlobal(QPoint(0, 0)).x() - 1);

    std::vector<std::wstring> texts;
    std::vector<wchar_t const*> many;
    for (int i = 0; i < 20; ++i)
        texts.push_back(L"Option " + std::to_wstring(i));
    for (auto const& t : texts)
        many.push_back(t.c_str());
    many.push_back(nullptr);
    PropertyRow longList = tree.InsertItem(ListItem::Create(L"Long", many.data(), 0), 0, 0, category);
    Select(longList);
    editor = qobject_cast<InplaceList*>(tree.GetEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->ListGeometry().height(), InplaceList::MaxListHeight);
}

TEST_F(PropertyTreeTest, ExpandingAndCollapsingCanBeRefused)
{
    Select(category);
    owner.replies[PTN_ITEMCOLLAPSING] = 1;
    QTest::keyClick(&tree, Qt::Key_Left);
    EXPECT_TRUE(category->isExpanded());
    owner.replies.clear();
    QTest::keyClick(&tree, Qt::Key_Left);
    EXPECT_FALSE(category->isExpanded());
    // Taps do not expand with the style flag.
    tree.SetStyleFlags(PropertyTree::PTS_NOTAPEXPAND);
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, NamePoint(category));
    EXPECT_FALSE(category->isExpanded());
    QTest::keyClick(&tree, Qt::Key_Right);
    EXPECT_TRUE(category->isExpanded());
}

TEST_F(PropertyTreeTest, DeletingTheEditedRowClosesItsEditorUncommitted)
{
    Select(text);
    Editor()->setText("/typed");
    delete text;
    Flush();
    EXPECT_EQ(owner.Count(PTN_ITEMCHANGING), 0);
    EXPECT_NE(tree.GetEditedRow(), text);
    EXPECT_EQ(category->childCount(), 4);
    // The tree goes on working with the row that took its place.
    ASSERT_NE(tree.currentItem(), nullptr);
    EXPECT_NE(tree.GetItem(tree.currentItem()), nullptr);
}

TEST_F(PropertyTreeTest, DeletingRowsClosesTheEditor)
{
    Select(text);
    ASSERT_NE(tree.GetEditor(), nullptr);
    tree.DeleteAllRows();
    EXPECT_EQ(tree.GetEditor(), nullptr);
    EXPECT_EQ(tree.topLevelItemCount(), 0);
}

} // namespace
} // namespace PropertyTreeUi::Test
