#include "ui/propertytree/ListItem.h"

#include "ui/propertytree/InplaceList.h"
#include "ui/propertytree/PropertyTree.h"

ListItem* ListItem::Create(wchar_t const* name, wchar_t const* const* options, int selected,
                           intptr_t data)
{
    auto* item = new ListItem(name, data);
    item->SetOptions(options);
    item->m_index = selected;
    return item;
}

void ListItem::SetOptions(wchar_t const* const* options)
{
    m_options.clear();
    for (; options && *options; ++options)
        m_options.append(WideToQString(*options));
    if (m_index == -1)
        m_index = 0;
}

bool ListItem::GetDisplayText(QString& text) const
{
    if (m_index < 0 || m_index >= m_options.size())
        return false;
    text = m_options[m_index];
    return true;
}

int ListItem::SetValue(QVariant const& value)
{
    if (value.typeId() == QMetaType::QString) {
        int found = int(m_options.indexOf(value.toString()));
        m_index = found < 0 ? 0 : found;
        return found < 0 ? 0 : 1;
    }
    bool ok = false;
    int index = value.toInt(&ok);
    if (!ok)
        return 0;
    m_index = index >= m_options.size() ? 0 : index;
    return 1;
}

QWidget* ListItem::CreateInplaceControl(QWidget* parent, QRect const& rect)
{
    QString text;
    GetDisplayText(text);
    m_editor = new InplaceList(m_tree, parent, rect, text, m_options);
    return m_editor;
}

int ListItem::Activate(int action, int)
{
    if (action == PACT_DOUBLETAP && m_enabled && m_tree)
        m_tree->SetItemValueNotified(this, m_index + 1);
    else if (action == PACT_OPENKEY && m_editor)
        static_cast<InplaceList*>(m_editor.data())->OpenList();
    return 1;
}

int ListItem::UpdateFromEditor(QWidget* editor)
{
    auto* list = qobject_cast<InplaceList*>(editor);
    return list ? SetValue(list->text()) : 0;
}
