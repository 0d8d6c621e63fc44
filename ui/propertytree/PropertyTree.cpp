#include "ui/propertytree/PropertyTree.h"

#include "ui/propertytree/ValueItem.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <memory>

namespace {

constexpr int ImageRole = Qt::UserRole + 1;          // + 0 normal, + 1 selected
constexpr int ImageSize = 16;

} // namespace

// A tree row that owns its item: deleting the row deletes the item, after
// closing the editor when it belongs to this row.
class PropertyTree::OwningRow : public QTreeWidgetItem {
public:
    explicit OwningRow(PropertyItem* item) : m_item(item) {}
    ~OwningRow() override
    {
        auto* tree = dynamic_cast<PropertyTree*>(treeWidget());
        if (tree && tree->m_editRow == this)
            tree->CloseEditor(false);
    }
    PropertyItem* Item() const { return m_item.get(); }

private:
    std::unique_ptr<PropertyItem> m_item;
};

PropertyTree::PropertyTree(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(false);
    setIndentation(12);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Some styles draw the handle lighter than its groove, so that the
    // groove reads as the handle and the bar seems to run backwards: the
    // handle is drawn dark on a light groove, whatever the style.
    verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: palette(base); width: 14px; margin: 0px; }"
        "QScrollBar::handle:vertical { background: palette(mid); min-height: 24px; margin: 2px; border-radius: 4px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0px; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentChanged(current); });
    connect(this, &QTreeWidget::itemExpanded, this, [this] { PlaceEditorAgain(); });
    connect(this, &QTreeWidget::itemCollapsed, this, [this] { PlaceEditorAgain(); });
}

PropertyTree::~PropertyTree()
{
    m_owner = nullptr;
    m_closing = true;
    delete m_editor.data();
    m_editRow = nullptr;
    blockSignals(true);
    clear();
}

void PropertyTree::SetImageList(QList<QPixmap> const& images)
{
    m_images = images;
    viewport()->update();
}

void PropertyTree::SetNameColumnWidth(int width)
{
    m_nameColumnWidth = width;
    viewport()->update();
    PlaceEditorAgain();
}

void PropertyTree::FitNameColumn()
{
    int widest = 0;
    int saved = m_nameColumnWidth;
    m_nameColumnWidth = 0;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        QRect name = LayoutRow(*it).name;
        if (name.isValid())
            widest = qMax(widest, name.right() + 1 + 12);
    }
    m_nameColumnWidth = saved;
    SetNameColumnWidth(qMin(widest, viewport()->width() / 2));
}

int PropertyTree::RowHeight() const
{
    return qMax(ImageSize + 4, fontMetrics().height() + 6);
}

QFont PropertyTree::RowFont(PropertyRow row) const
{
    QFont f = font();
    if (dynamic_cast<CategoryItem*>(GetItem(row)))
        f.setBold(true);
    return f;
}

PropertyRow PropertyTree::InsertItem(PropertyItem* item, int image, int selectedImage,
                                     PropertyRow parent, PropertyRow after)
{
    auto* row = new OwningRow(item);
    row->setText(0, item->GetName());
    row->setSizeHint(0, QSize(0, RowHeight()));
    row->setData(0, ImageRole, image);
    row->setData(0, ImageRole + 1, selectedImage);
    QTreeWidgetItem* under = parent ? parent : invisibleRootItem();
    int index = after ? under->indexOfChild(after) + 1 : under->childCount();
    under->insertChild(index, row);
    item->Attach(this, row);
    if (parent)
        parent->setExpanded(true);
    return row;
}

PropertyItem* PropertyTree::GetItem(PropertyRow row) const
{
    auto* r = dynamic_cast<OwningRow*>(row);
    return r ? r->Item() : nullptr;
}

PropertyRow PropertyTree::FindRow(PropertyItem const* item) const
{
    std::vector<QTreeWidgetItem*> pending{invisibleRootItem()};
    while (!pending.empty()) {
        QTreeWidgetItem* node = pending.back();
        pending.pop_back();
        for (int i = node->childCount() - 1; i >= 0; --i) {
            QTreeWidgetItem* child = node->child(i);
            if (GetItem(child) == item)
                return child;
            pending.push_back(child);
        }
    }
    return nullptr;
}

void PropertyTree::SetRowImages(PropertyRow row, int image, int selectedImage)
{
    row->setData(0, ImageRole, image);
    row->setData(0, ImageRole + 1, selectedImage);
    InvalidateItem(row);
}

void PropertyTree::InvalidateItem(PropertyRow row)
{
    QRect r = visualItemRect(row);
    if (r.isValid())
        viewport()->update(QRect(0, r.top(), viewport()->width(), r.height()));
}

void PropertyTree::DeleteAllRows()
{
    CloseEditor(false);
    clear();
}

int PropertyTree::SetItemValue(PropertyRow row, QVariant const& value)
{
    PropertyItem* item = GetItem(row);
    if (!item)
        return 0;
    int result = item->SetValue(value);
    InvalidateItem(row);
    if (row == m_editRow)
        RebuildEditor(row);
    return result;
}

int PropertyTree::SetItemValueNotified(PropertyItem* item, QVariant const& value)
{
    if (Notify(PTN_ITEMCHANGING, item) != 0)
        return 0;
    int result = item->SetValue(value);
    Notify(PTN_ITEMCHANGED, item);
    if (PropertyRow row = FindRow(item)) {
        InvalidateItem(row);
        if (row == m_editRow)
            RebuildEditor(row);
    }
    return result;
}

bool PropertyTree::GetCheck(PropertyRow row) const
{
    PropertyItem* item = GetItem(row);
    return item && item->GetKind() == PIK_CHECK && item->GetValue().toBool();
}

int PropertyTree::SetCheck(PropertyRow row, int state)
{
    PropertyItem* item = GetItem(row);
    if (!item || item->GetKind() != PIK_CHECK)
        return 0;
    int result = item->SetValue(state == 1);
    InvalidateItem(row);
    return result;
}

PropertyTree::RowLayout PropertyTree::LayoutRow(PropertyRow row) const
{
    RowLayout layout;
    QRect cell = row ? visualItemRect(row) : QRect();
    if (!cell.isValid())
        return layout;
    layout.row = cell;
    layout.image = QRect(cell.left() + 2, cell.top() + (cell.height() - ImageSize) / 2, ImageSize, ImageSize);
    PropertyItem* item = GetItem(row);
    int textWidth = item ? QFontMetrics(RowFont(row)).horizontalAdvance(item->GetName()) + 4 : 0;
    layout.name = QRect(layout.image.right() + 4, cell.top(), textWidth, cell.height());
    int left = qMax(layout.name.right() + 1 + 4, m_nameColumnWidth);
    layout.value = QRect(QPoint(left, cell.top()), QPoint(cell.right() - 3, cell.bottom()));
    return layout;
}

QRect PropertyTree::GetValueRect(PropertyRow row) const
{
    return LayoutRow(row).value;
}

PropertyDrawInfo PropertyTree::MakeDrawInfo(QPainter* painter, QRect const& rect, bool selected,
                                            bool disabled) const
{
    QPalette const& pal = palette();
    PropertyDrawInfo info;
    info.painter = painter;
    info.rect = rect;
    info.selected = selected;
    info.disabled = disabled;
    info.font = font();
    // A disabled tree shows its rows on the button face.
    info.windowColor = isEnabled() ? pal.color(QPalette::Active, QPalette::Base)
                                   : pal.color(QPalette::Active, QPalette::Button);
    info.textColor = pal.color(QPalette::Active, QPalette::Text);
    info.highlightColor = pal.color(QPalette::Active, QPalette::Highlight);
    info.highlightTextColor = pal.color(QPalette::Active, QPalette::HighlightedText);
    info.greyTextColor = pal.color(QPalette::Disabled, QPalette::Text);
    return info;
}

void PropertyTree::drawRow(QPainter* painter, QStyleOptionViewItem const& option,
                           QModelIndex const& index) const
{
    PropertyRow row = itemFromIndex(index);
    PropertyItem* item = GetItem(row);
    PropertyDrawInfo base = MakeDrawInfo(painter, option.rect, false, false);
    painter->fillRect(option.rect, base.windowColor);
    if (!item)
        return;
    painter->save();
    RowLayout layout = LayoutRow(row);
    bool selected = row->isSelected();
    bool disabled = !item->IsEnabled();

    int image = row->data(0, ImageRole + (selected ? 1 : 0)).toInt();
    if (image >= 0 && image < m_images.size())
        painter->drawPixmap(layout.image.topLeft(), m_images[image]);

    PropertyDrawInfo name = MakeDrawInfo(painter, layout.name, selected, disabled);
    name.font = RowFont(row);
    item->DrawName(name);

    PropertyDrawInfo value = MakeDrawInfo(painter, layout.value, selected, disabled);
    int kind = item->GetKind();
    if (selected && kind != PIK_VALUE && kind != PIK_CHECK) {
        painter->setPen(value.textColor);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(layout.value.adjusted(-1, 0, -2, -1));
    }
    item->DrawValue(value);
    painter->restore();
}

long PropertyTree::Notify(int code, PropertyItem* item)
{
    return m_owner ? m_owner->OnPropertyTreeNotify(code, item) : 0;
}

void PropertyTree::OnCurrentChanged(QTreeWidgetItem* current)
{
    CloseEditor(true);
    PropertyItem* item = GetItem(current);
    if (item && item->IsEnabled()) {
        OpenEditor(current, true);
        item->Activate(PACT_SELECTED, 0);
    }
    Notify(PTN_SELCHANGED, item);
}

void PropertyTree::OpenEditor(PropertyRow row, bool focus)
{
    if (m_editor)
        CloseEditor(true);
    PropertyItem* item = GetItem(row);
    if (!item || row != currentItem() || !item->IsEnabled())
        return;
    QRect rect = GetValueRect(row);
    if (!rect.isValid())
        return;
    QWidget* editor = item->CreateInplaceControl(viewport(), rect.adjusted(0, 1, 0, -1));
    if (!editor)
        return;
    m_editor = editor;
    m_editRow = row;
    editor->show();
    if (focus && item->GetKind() == PIK_TEXTEDIT && !m_closing)
        editor->setFocus(Qt::OtherFocusReason);
}

void PropertyTree::RebuildEditor(PropertyRow row)
{
    CloseEditor(false);
    OpenEditor(row, false);
}

void PropertyTree::PlaceEditorAgain()
{
    if (!m_editRow)
        return;
    PropertyRow row = m_editRow;
    bool hadFocus = m_editor && (m_editor->hasFocus() || m_editor->isAncestorOf(QApplication::focusWidget()));
    CloseEditor(true);
    OpenEditor(row, hadFocus);
}

void PropertyTree::CommitEditor()
{
    PropertyItem* item = GetItem(m_editRow);
    if (!item || !m_editor)
        return;
    if (Notify(PTN_ITEMCHANGING, item) != 0)
        return;
    item->UpdateFromEditor(m_editor);
    Notify(PTN_ITEMCHANGED, item);
}

void PropertyTree::CloseEditor(bool commit)
{
    QWidget* editor = m_editor;
    if (!editor) {
        m_editRow = nullptr;
        return;
    }
    if (commit)
        CommitEditor();
    bool wasClosing = m_closing;
    m_closing = true;
    if (editor->hasFocus() || editor->isAncestorOf(QApplication::focusWidget()))
        setFocus(Qt::OtherFocusReason);
    editor->hide();
    editor->deleteLater();
    m_editor = nullptr;
    m_editRow = nullptr;
    m_closing = wasClosing;
}

void PropertyTree::EndEdit(QWidget* editor)
{
    if (m_closing || !editor || editor != m_editor || !m_editRow)
        return;
    PropertyRow row = m_editRow;
    CommitEditor();
    InvalidateItem(row);
    if (row == m_editRow)
        RebuildEditor(row);
}

void PropertyTree::CancelEdit(QWidget* editor)
{
    if (m_closing || !editor || editor != m_editor || !m_editRow)
        return;
    PropertyRow row = m_editRow;
    InvalidateItem(row);
    RebuildEditor(row);
}

void PropertyTree::EditKey(int virtualKey)
{
    Qt::Key key;
    switch (virtualKey) {
    case 9: key = Qt::Key_Tab; break;
    case 37: key = Qt::Key_Left; break;
    case 38: key = Qt::Key_Up; break;
    case 39: key = Qt::Key_Right; break;
    case 40: key = Qt::Key_Down; break;
    default: return;
    }
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    keyPressEvent(&event);
}

void PropertyTree::Reselect()
{
    PropertyRow row = currentItem();
    if (!row)
        return;
    // The editor shows the old value; taking its text now would undo the change.
    CloseEditor(false);
    setCurrentItem(nullptr);
    scrollToItem(row);
    setCurrentItem(row);
}

bool PropertyTree::event(QEvent* event)
{
    // Tab acts on the selected row instead of moving the focus on.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QTreeWidget::event(event);
}

void PropertyTree::keyPressEvent(QKeyEvent* event)
{
    PropertyRow row = currentItem();
    PropertyItem* item = GetItem(row);
    switch (event->key()) {
    case Qt::Key_Tab:
        if (item)
            item->Activate(PACT_TAB, 0);
        return;
    case Qt::Key_Right:
        if (row && row->childCount() > 0 && !row->isExpanded()) {
            RequestExpand(row, true, false);
            return;
        }
        [[fallthrough]];
    case Qt::Key_Space:
    case Qt::Key_F2:
        if (item) {
            OpenEditor(row, true);
            item->Activate(PACT_OPENKEY, 0);
        }
        return;
    case Qt::Key_Left:
        if (row && row->childCount() > 0 && row->isExpanded())
            RequestExpand(row, false, false);
        else if (row && row->parent())
            setCurrentItem(row->parent());
        return;
    default:
        QTreeWidget::keyPressEvent(event);
    }
}

void PropertyTree::RequestExpand(PropertyRow row, bool expand, bool byTap)
{
    if (byTap && (m_style & PTS_NOTAPEXPAND))
        return;
    if (Notify(expand ? PTN_ITEMEXPANDING : PTN_ITEMCOLLAPSING, GetItem(row)) != 0)
        return;
    row->setExpanded(expand);
}

void PropertyTree::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (m_skipRelease) {
        m_skipRelease = false;
        return;
    }
    if (event->button() == Qt::LeftButton)
        OnTap(event->position().toPoint());
}

void PropertyTree::OnTap(QPoint const& pos)
{
    PropertyRow row = itemAt(pos);
    PropertyItem* item = GetItem(row);
    if (!item)
        return;
    RowLayout layout = LayoutRow(row);
    bool rightOfRow = pos.x() > layout.name.right();
    bool onImage = layout.image.contains(pos);
    bool notify;
    switch (item->GetKind()) {
    case PIK_VALUE:
        notify = item->IsEnabled() && !rightOfRow;
        break;
    case PIK_CHECK:
        notify = !rightOfRow && !((m_style & PTS_CHECKONIMAGE) && !onImage);
        break;
    default:
        setCurrentItem(row);
        notify = item->IsEnabled() || rightOfRow;
        break;
    }
    if (notify && Notify(PTN_CLICK, item) == 0)
        item->Activate(PACT_TAP, 0);
}

void PropertyTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_skipRelease = true;
    if (event->button() != Qt::LeftButton)
        return;
    PropertyRow row = currentItem();
    if (PropertyItem* item = GetItem(row)) {
        if (Notify(PTN_DBLCLK, item) == 0)
            item->Activate(PACT_DOUBLETAP, 0);
    }
    PropertyRow hit = itemAt(event->position().toPoint());
    if (hit && hit->childCount() > 0)
        RequestExpand(hit, !hit->isExpanded(), true);
}

void PropertyTree::focusInEvent(QFocusEvent* event)
{
    QTreeWidget::focusInEvent(event);
    if (m_closing)
        return;
    PropertyRow row = currentItem();
    PropertyItem* item = GetItem(row);
    if (item && item->IsEnabled()) {
        CloseEditor(false);
        OpenEditor(row, true);
    }
}

void PropertyTree::changeEvent(QEvent* event)
{
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        int height = RowHeight();
        QTreeWidgetItemIterator it(this);
        for (; *it; ++it)
            (*it)->setSizeHint(0, QSize(0, height));
        PlaceEditorAgain();
    }
}

void PropertyTree::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
    PlaceEditorAgain();
}
