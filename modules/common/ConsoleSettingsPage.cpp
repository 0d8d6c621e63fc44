#include "modules/common/ConsoleSettingsPage.h"

#include "engine/Engine.h"
#include "engine/PadSkin.h"
#include "ui/propertytree/ListItem.h"
#include "ui/propertytree/ValueItem.h"

namespace ConsoleGlue {

ConsoleSettingsPage::ConsoleSettingsPage(PropertyMap *settings) : SettingsPage(settings) {}

void ConsoleSettingsPage::AddSkinItems()
{
    m_skinNames.clear();
    if (ourEngine) {
        for (ZorvanEngine::PadSkin const *skin : ourEngine->GetPadSkinMgr().GetSkins())
            m_skinNames.push_back(skin->GetName());
    }
    std::vector<wchar_t const *> list;
    for (Zorvan::String const &name : m_skinNames)
        list.push_back(name);
    list.push_back(nullptr);

    PropertyTree &tree = GetTree();
    PropertyRow const category =
        tree.InsertItem(CategoryItem::Create(L"Skin", L""), kSkinCategoryImage, kSkinCategoryImage);
    m_skinRow = tree.InsertItem(ListItem::Create(L"Name", list.data(), 0), kSkinListImage, kSkinListImage, category);
}

void ConsoleSettingsPage::LoadPadSkin()
{
    Zorvan::String const &wanted = m_settings->GetString(L"PadSkin");
    for (size_t i = 0; i < m_skinNames.size(); ++i) {
        if (m_skinNames[i] == wanted) {
            SetItemInt(m_skinRow, static_cast<int>(i));
            return;
        }
    }
}

void ConsoleSettingsPage::SavePadSkin()
{
    int const chosen = GetItemInt(m_skinRow);
    if (m_skinRow && chosen >= 0 && static_cast<size_t>(chosen) < m_skinNames.size())
        m_settings->Set(L"PadSkin", m_skinNames[static_cast<size_t>(chosen)], false);
}

} // namespace ConsoleGlue
