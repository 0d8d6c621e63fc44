#include "ui/propertytree/ValueItem.h"

#include "ui/propertytree/InplaceEdit.h"
#include "ui/propertytree/PropertyTree.h"

#include <QPainter>

int ValueItem::SetValue(QVariant const& value)
{
    m_value = value;
    return 1;
}

CategoryItem* CategoryItem::Create(wchar_t const* name, wchar_t const* text, intptr_t data)
{
    auto* item = new CategoryItem(name, data);
    item->SetValue(WideToQString(text));
    return item;
}

void CategoryItem::DrawValue(PropertyDrawInfo const& info)
{
    info.painter->fillRect(info.rect, info.windowColor);
    ValueItem::DrawValue(info);
}

BrowseItem* BrowseItem::Create(wchar_t const* name, wchar_t const* text, intptr_t data)
{
    auto* item = new BrowseItem(name, data);
    item->SetValue(WideToQString(text));
    return item;
}

bool BrowseItem::GetDisplayText(QString& text) const
{
    QString full;
    if (!ValueItem::GetDisplayText(full))
        return false;
    text = full.mid(full.lastIndexOf(QLatin1Char('/')) + 1);
    return true;
}

QWidget* BrowseItem::CreateInplaceControl(QWidget* parent, QRect const& rect)
{
    QString text;
    if (!GetDisplayText(text))
        return nullptr;
    return new InplaceBrowseEdit(m_tree, this, parent, rect, text);
}

int BrowseItem::Activate(int action, int position)
{
    if ((action == PACT_DOUBLETAP || action == PACT_BUTTON || action == PACT_OPENKEY) && m_tree)
        m_tree->Notify(position == 2 ? PTN_RESET : PTN_BROWSE, this);
    return 1;
}
