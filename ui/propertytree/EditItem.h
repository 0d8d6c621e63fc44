#pragma once
// A row whose value is typed as text in place. The typed text is converted to
// the type of the row's current value; an unsigned value accepts digits only.

#include "ui/propertytree/PropertyItem.h"

#include <QLineEdit>

class EditItem : public PropertyItemImpl {
public:
    EditItem(wchar_t const* name, intptr_t data = 0) : PropertyItemImpl(name, data) {}

    static EditItem* Create(wchar_t const* name, wchar_t const* text, intptr_t data = 0);

    int GetKind() const override { return PIK_TEXTEDIT; }
    bool GetDisplayText(QString& text) const override { return VariantToText(m_value, text); }
    QVariant GetValue() const override { return m_value; }
    int SetValue(QVariant const& value) override;
    void DrawValue(PropertyDrawInfo const& info) override;
    QWidget* CreateInplaceControl(QWidget* parent, QRect const& rect) override;
    int Activate(int action, int position) override;
    // Fails, keeping the old value, when the text does not convert.
    int UpdateFromEditor(QWidget* editor) override;

private:
    QVariant m_value;
    QPointer<QWidget> m_editor;
};

class InplaceTextEdit : public QLineEdit {
    Q_OBJECT
public:
    InplaceTextEdit(PropertyTree* tree, QWidget* parent, QRect const& rect, QString const& text,
                    bool digitsOnly);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Ends the edit: committing, or restoring the stored value when cancelled.
    void Leave();
    void Report();

    PropertyTree* m_tree;
    bool m_cancel = false;
};
