#include "ui/propertytree/CheckItem.h"

#include "ui/propertytree/PropertyTree.h"

CheckItem* CheckItem::Create(wchar_t const* name, bool checked, intptr_t data)
{
    auto* item = new CheckItem(name, data);
    item->m_checked = checked;
    return item;
}

void CheckItem::Attach(PropertyTree* tree, PropertyRow row)
{
    PropertyItemImpl::Attach(tree, row);
    m_row = row;
    SetValue(m_checked);
}

void CheckItem::SetEnabled(int flag)
{
    PropertyItemImpl::SetEnabled(flag);
    ShowState();
}

int CheckItem::SetValue(QVariant const& value)
{
    if (value.typeId() != QMetaType::Bool)
        return 0;
    m_checked = value.toBool();
    ShowState();
    return 1;
}

void CheckItem::ShowState()
{
    if (!m_tree || !m_row)
        return;
    int image = (m_enabled ? ImageEnabled : ImageDisabled) + (m_checked ? 1 : 0);
    m_tree->SetRowImages(m_row, image, image);
}

int CheckItem::Activate(int action, int)
{
    if ((action == PACT_TAP || action == PACT_DOUBLETAP || action == PACT_OPENKEY) && m_enabled && m_tree)
        m_tree->SetItemValueNotified(this, !m_checked);
    return 1;
}
