#pragma once
// Rows whose value is shown as text: plain values, category headings and
// browse rows (a path with "..." and reset buttons).

#include "ui/propertytree/PropertyItem.h"

class ValueItem : public PropertyItemImpl {
public:
    explicit ValueItem(wchar_t const* name, intptr_t data = 0) : PropertyItemImpl(name, data) {}

    int GetKind() const override { return PIK_VALUE; }
    bool GetDisplayText(QString& text) const override { return VariantToText(m_value, text); }
    QVariant GetValue() const override { return m_value; }
    int SetValue(QVariant const& value) override;

protected:
    QVariant m_value;
};

// A heading row; its value column is painted opaque in the window colours.
class CategoryItem : public ValueItem {
public:
    using ValueItem::ValueItem;
    static CategoryItem* Create(wchar_t const* name, wchar_t const* text, intptr_t data = 0);
    void DrawValue(PropertyDrawInfo const& info) override;
};

// A file path or text, shown without its folder, changed only through the
// page's browse and reset handlers.
class BrowseItem : public ValueItem {
public:
    using ValueItem::ValueItem;
    static BrowseItem* Create(wchar_t const* name, wchar_t const* text, intptr_t data = 0);

    bool GetDisplayText(QString& text) const override;
    QWidget* CreateInplaceControl(QWidget* parent, QRect const& rect) override;
    int Activate(int action, int position) override;
    int UpdateFromEditor(QWidget*) override { return 0; }
};
