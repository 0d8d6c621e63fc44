#pragma once
// A row that is on or off; its state is shown by the row's image.

#include "ui/propertytree/PropertyItem.h"

class CheckItem : public PropertyItemImpl {
public:
    CheckItem(wchar_t const* name, intptr_t data = 0) : PropertyItemImpl(name, data) {}

    static CheckItem* Create(wchar_t const* name, bool checked, intptr_t data = 0);

    int GetKind() const override { return PIK_CHECK; }
    void Attach(PropertyTree* tree, PropertyRow row) override;
    void SetEnabled(int flag) override;
    QVariant GetValue() const override { return m_checked; }
    // Only a bool is taken.
    int SetValue(QVariant const& value) override;
    int Activate(int action, int position) override;

    // Image numbers of the tree's strip: unchecked and checked, enabled and disabled.
    static constexpr int ImageEnabled = 0;
    static constexpr int ImageDisabled = 4;

private:
    void ShowState();

    PropertyRow m_row = nullptr;
    bool m_checked = false;
};
