#include "ui/propertytree/InplaceEdit.h"

#include "ui/propertytree/PropertyTree.h"

#include <QApplication>
#include <QKeyEvent>

int EditorNavigationKey(QLineEdit const& edit, QKeyEvent const& event)
{
    switch (event.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Left:
        return !edit.hasSelectedText() && edit.cursorPosition() == 0 ? 37 : 0;
    case Qt::Key_Right:
        return !edit.hasSelectedText() && edit.cursorPosition() == edit.text().size() ? 39 : 0;
    default:
        return 0;
    }
}

InplaceEdit::InplaceEdit(PropertyTree* tree, QWidget* parent, QRect const& rect,
                         QString const& text, QStringList const& buttonCaptions)
    : QLineEdit(text, parent), m_tree(tree)
{
    setFrame(false);
    setFont(tree->font());
    setGeometry(rect);
    for (int i = 0; i < buttonCaptions.size(); ++i) {
        auto* button = new QPushButton(buttonCaptions[i], this);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setFont(font());
        button->installEventFilter(this);
        int id = i + 1;
        connect(button, &QPushButton::clicked, this, [this, id] { OnButton(id); });
        m_buttons.append(button);
    }
    PlaceButtons();
    setCursorPosition(0);
}

void InplaceEdit::PlaceButtons()
{
    int h = height();
    int right = width();
    int n = int(m_buttons.size());
    for (int i = 0; i < n; ++i)
        m_buttons[i]->setGeometry(right - (n - i) * h, 0, h, h);
    setTextMargins(2, 0, n * h, 0);
}

void InplaceEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    PlaceButtons();
}

bool InplaceEdit::event(QEvent* event)
{
    // Tab must reach keyPressEvent instead of moving the focus.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void InplaceEdit::keyPressEvent(QKeyEvent* event)
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
        if (!m_buttons.isEmpty())
            m_buttons.first()->click();
        return;
    default:
        break;
    }
    if (int vk = EditorNavigationKey(*this, *event)) {
        m_tree->EditKey(vk);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void InplaceEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (!m_buttons.isEmpty())
        m_buttons.first()->setFocus(event->reason());
}

void InplaceEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    QWidget* to = QApplication::focusWidget();
    if (to && m_buttons.contains(to))
        return;
    if (event->reason() != Qt::PopupFocusReason)
        m_tree->EndEdit(this);
}

bool InplaceEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && m_buttons.contains(watched)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            m_tree->EndEdit(this);
            return true;
        }
        if (key->key() == Qt::Key_F4) {
            m_buttons.first()->click();
            return true;
        }
    }
    return QLineEdit::eventFilter(watched, event);
}

InplaceBrowseEdit::InplaceBrowseEdit(PropertyTree* tree, PropertyItem* item, QWidget* parent,
                                     QRect const& rect, QString const& text)
    : InplaceEdit(tree, parent, rect, text, {QStringLiteral("..."), QStringLiteral("x")}),
      m_item(item)
{
    // The value changes only through browse and reset, so typing is of no use.
    setReadOnly(true);
}

void InplaceBrowseEdit::OnButton(int id)
{
    m_item->Activate(PACT_BUTTON, id);
}
