#include "ui/propertytree/EditItem.h"

#include "ui/propertytree/PropertyTree.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

EditItem* EditItem::Create(wchar_t const* name, wchar_t const* text, intptr_t data)
{
    auto* item = new EditItem(name, data);
    item->SetValue(WideToQString(text));
    return item;
}

QWidget* EditItem::CreateInplaceControl(QWidget* parent, QRect const& rect)
{
    QString text;
    GetDisplayText(text);
    m_editor = new InplaceTextEdit(m_tree, parent, rect.adjusted(0, 0, -2, 0), text,
                                   IsUnsignedVariant(m_value));
    return m_editor;
}

int EditItem::Activate(int action, int)
{
    if ((action == PACT_DOUBLETAP || action == PACT_TAB || action == PACT_OPENKEY) && m_editor) {
        m_editor->setFocus(Qt::OtherFocusReason);
        static_cast<QLineEdit*>(m_editor.data())->selectAll();
    }
    return 1;
}

int EditItem::UpdateFromEditor(QWidget* editor)
{
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit)
        return 0;
    QVariant typed(edit->text());
    if (m_value.isValid() && !typed.convert(m_value.metaType()))
        return 0;
    return SetValue(typed);
}

InplaceTextEdit::InplaceTextEdit(PropertyTree* tree, QWidget* parent, QRect const& rect,
                                 QString const& text, bool digitsOnly)
    : InplaceEdit(tree, parent, rect, text, {})
{
    if (digitsOnly)
        setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
}

void InplaceTextEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Leave();
        return;
    case Qt::Key_Escape:
        m_cancel = true;
        Leave();
        return;
    default:
        InplaceEdit::keyPressEvent(event);
    }
}

void InplaceTextEdit::Leave()
{
    // Moving the focus to the tree reports through focusOutEvent; an editor
    // without the focus reports at once.
    if (hasFocus())
        m_tree->setFocus(Qt::OtherFocusReason);
    else
        Report();
}

void InplaceTextEdit::Report()
{
    if (m_cancel)
        m_tree->CancelEdit(this);
    else
        m_tree->EndEdit(this);
}

void InplaceTextEdit::focusInEvent(QFocusEvent* event)
{
    m_cancel = false;
    InplaceEdit::focusInEvent(event);
}

void InplaceTextEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        Report();
}
