#pragma once
// A row that picks one of a fixed list of texts; its value is the chosen
// index (-1 when nothing is chosen).

#include "ui/propertytree/PropertyItem.h"

#include <QStringList>

class ListItem : public PropertyItemImpl {
public:
    ListItem(wchar_t const* name, intptr_t data = 0) : PropertyItemImpl(name, data) {}

    // options is a null-terminated list of texts.
    static ListItem* Create(wchar_t const* name, wchar_t const* const* options, int selected,
                            intptr_t data = 0);
    void SetOptions(wchar_t const* const* options);
    QStringList const& GetOptions() const { return m_options; }

    int GetKind() const override { return PIK_LIST; }
    bool GetDisplayText(QString& text) const override;
    QVariant GetValue() const override { return m_index; }
    // A text selects the equal option (0 and failure when there is none); any
    // other value is taken as an index, where one past the end wraps to 0.
    int SetValue(QVariant const& value) override;
    QWidget* CreateInplaceControl(QWidget* parent, QRect const& rect) override;
    int Activate(int action, int position) override;
    int UpdateFromEditor(QWidget* editor) override;

private:
    QStringList m_options;
    int m_index = -1;
    QPointer<QWidget> m_editor;
};
