#pragma once
// A row whose value is typed as text in place. The typed text is converted to
// the type of the row's current value; an unsigned value accepts digits only.

#include "ui/propertytree/InplaceEdit.h"
#include "ui/propertytree/ValueItem.h"

class EditItem : public ValueItem {
public:
    using ValueItem::ValueItem;

    static EditItem* Create(wchar_t const* name, wchar_t const* text, intptr_t data = 0);

    int GetKind() const override { return PIK_TEXTEDIT; }
    QWidget* CreateInplaceControl(QWidget* parent, QRect const& rect) override;
    int Activate(int action, int position) override;
    // Fails, keeping the old value, when the text does not convert.
    int UpdateFromEditor(QWidget* editor) override;

private:
    QPointer<QWidget> m_editor;
};

// The plain edit field of a text row: no buttons; Enter and Escape hand the
// focus back to the tree, and losing the focus commits, or restores the
// stored value after Escape.
class InplaceTextEdit : public InplaceEdit {
    Q_OBJECT
public:
    InplaceTextEdit(PropertyTree* tree, QWidget* parent, QRect const& rect, QString const& text,
                    bool digitsOnly);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Ends the edit: committing, or restoring the stored value when cancelled.
    void Leave();
    void Report();

    bool m_cancel = false;
};
