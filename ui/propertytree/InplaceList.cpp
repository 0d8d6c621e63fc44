#include "ui/propertytree/InplaceList.h"

#include "ui/propertytree/InplaceEdit.h"
#include "ui/propertytree/PropertyTree.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QToolButton>

InplaceList::InplaceList(PropertyTree* tree, QWidget* parent, QRect const& rect,
                         QString const& text, QStringList const& options)
    : QLineEdit(text, parent), m_tree(tree), m_options(options)
{
    setFrame(false);
    setReadOnly(true);
    setFont(tree->font());
    setGeometry(rect);
    m_button = new QToolButton(this);
    m_button->setArrowType(Qt::DownArrow);
    m_button->setFocusPolicy(Qt::NoFocus);
    connect(m_button, &QToolButton::clicked, this, [this] {
        if (IsListOpen())
            CloseList();
        else
            OpenList();
    });

    m_list = new QListWidget(nullptr);
    m_list->setWindowFlags(Qt::Popup);
    m_list->setFont(font());
    m_list->setFrameShape(QFrame::Box);
    m_list->setLineWidth(1);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->addItems(options);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    setCursorPosition(0);
}

InplaceList::~InplaceList()
{
    m_list->viewport()->removeEventFilter(this);
    m_list->removeEventFilter(this);
    delete m_list;
}

void InplaceList::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    int h = height();
    m_button->setGeometry(width() - h, 0, h, h);
    setTextMargins(2, 0, h, 0);
}

QRect InplaceList::ListGeometry() const
{
    int itemHeight = m_list->sizeHintForRow(0);
    if (itemHeight <= 0)
        itemHeight = fontMetrics().height();
    int content = int(m_options.size()) * itemHeight + 2 * m_list->frameWidth();
    content = qMin(content, MaxListHeight);

    QWidget* area = m_tree ? m_tree->viewport() : parentWidget();
    QRect field(mapTo(area, QPoint(0, 0)), size());
    int below = area->height() - field.bottom() - 1;
    int above = field.top();
    bool down = below >= above;
    int height = qMin(content, qMax(down ? below : above, 0));
    QRect list(field.left() - 1, down ? field.bottom() + 1 : field.top() - height, field.width(), height);
    return QRect(area->mapToGlobal(list.topLeft()), list.size());
}

void InplaceList::OpenList()
{
    m_list->setCurrentRow(int(m_options.indexOf(text())));
    m_list->setGeometry(ListGeometry());
    m_list->show();
    m_list->setFocus(Qt::PopupFocusReason);
}

void InplaceList::CloseList()
{
    m_list->hide();
}

bool InplaceList::IsListOpen() const
{
    return m_list->isVisible();
}

void InplaceList::Choose(int index)
{
    if (index >= 0 && index < m_options.size())
        setText(m_options[index]);
    // Commit before the popup goes: closing it hands the focus back to the
    // tree, which rebuilds the editor.
    m_tree->EndEdit(this);
    CloseList();
}

void InplaceList::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_tree->EndEdit(this);
        return;
    case Qt::Key_Escape:
        m_tree->CancelEdit(this);
        return;
    case Qt::Key_F4:
        OpenList();
        return;
    default:
        break;
    }
    if (int vk = EditorNavigationKey(*this, *event)) {
        m_tree->EditKey(vk);
        return;
    }
    // A typed character picks the first option that begins with it.
    QString typed = event->text();
    if (!typed.isEmpty() && typed[0].isPrint()) {
        for (int i = 0; i < m_options.size(); ++i) {
            if (m_options[i].startsWith(typed, Qt::CaseInsensitive)) {
                Choose(i);
                return;
            }
        }
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void InplaceList::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        CloseList();
}

bool InplaceList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Choose(m_list->currentRow());
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            m_tree->CancelEdit(this);
            CloseList();
            return true;
        }
    }
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        QListWidgetItem* hit = m_list->itemAt(mouse->position().toPoint());
        if (hit) {
            Choose(m_list->row(hit));
            return true;
        }
    }
    return QLineEdit::eventFilter(watched, event);
}
