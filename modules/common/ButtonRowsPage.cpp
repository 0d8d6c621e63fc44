#include "modules/common/ButtonRowsPage.h"

#include "common/zorvan/MessagePresenter.h"
#include "ui/propertytree/ValueItem.h"

namespace ConsoleGlue {

// The platform's default key table lists Up, Down, Left, Right, Start, A,
// B, Select, L, R; joysticks number A and B before Start and Select.
ButtonRowsPage::ButtonRow const ButtonRowsPage::kButtons[kButtonCount] = {
    {L"Up", 32, 0, 0},     {L"Down", 33, 1, 1}, {L"Left", 34, 2, 2}, {L"Right", 35, 3, 3}, {L"Start", 39, 4, 6},
    {L"Select", 38, 7, 7}, {L"A", 36, 5, 4},    {L"B", 37, 6, 5},    {L"L", 40, 8, 8},     {L"R", 41, 9, 9},
};

namespace {

Zorvan::String KeySetting(ButtonRowsPage::ButtonRow const &button)
{
    return Zorvan::String(L"vk") + Zorvan::String(button.name);
}

Zorvan::String JoystickSetting(ButtonRowsPage::ButtonRow const &button)
{
    return Zorvan::String(L"js") + Zorvan::String(button.name);
}

} // namespace

ButtonRowsPage::ButtonRowsPage(PropertyMap *settings, int buttons) : ConsoleSettingsPage(settings), m_buttons(buttons)
{
}

void ButtonRowsPage::OnInitDialog()
{
    ConsoleSettingsPage::OnInitDialog();
    m_pending = PropertyMap();
    for (PropertyRow &row : m_rows)
        row = nullptr;
}

void ButtonRowsPage::AddButtonRows()
{
    PropertyTree &tree = GetTree();
    PropertyRow const category =
        tree.InsertItem(CategoryItem::Create(L"Input", L""), kInputCategoryImage, kInputCategoryImage);
    for (int i = 0; i < m_buttons; ++i)
        m_rows[i] = tree.InsertItem(BrowseItem::Create(kButtons[i].name, L""), kButtons[i].image, kButtons[i].image,
                                    category);
}

int ButtonRowsPage::ButtonOf(PropertyRow row) const
{
    if (!row)
        return -1;
    for (int i = 0; i < kButtonCount; ++i) {
        if (m_rows[i] == row)
            return i;
    }
    return -1;
}

void ButtonRowsPage::Refresh()
{
    for (int i = 0; i < kButtonCount; ++i) {
        if (!m_rows[i])
            continue;
        Zorvan::String const key = KeySetting(kButtons[i]);
        int const code = m_pending.Contains(key) ? m_pending.GetInt(key) : m_settings->GetInt(key);
        SetItemString(m_rows[i], GetKeyName(code));
    }
    ConsoleSettingsPage::Refresh();
}

long ButtonRowsPage::OnBrowse(PropertyItem *item)
{
    if (!item || ButtonOf(GetTree().FindRow(item)) < 0)
        return 0;
    m_buttonDialog.Show(this);
    return 1;
}

long ButtonRowsPage::OnReset(PropertyItem *)
{
    if (Zorvan::presentMessage(L"Are you sure you want to reset this property?", Zorvan::String(), MB_YESNO) != IDYES)
        return 0;
    m_buttonDialog.m_result = ButtonAssignDialog::Unbound;
    OnButtonDlgDestroy();
    return 1;
}

void ButtonRowsPage::OnButtonDlgDestroy()
{
    raise();
    activateWindow();
    int const result = m_buttonDialog.m_result;
    if (result == ButtonAssignDialog::Cancelled)
        return;
    // Only a button row takes a binding; the rows are shown anew either way.
    int const button = ButtonOf(GetTree().currentItem());
    if (button >= 0) {
        ButtonRow const &row = kButtons[button];
        if (result == ButtonAssignDialog::Unbound) {
            m_pending.Set(KeySetting(row), 0, false);
            m_pending.Set(JoystickSetting(row), ButtonAssignDialog::NoJoystickButton, false);
        } else if (result == ButtonAssignDialog::Captured) {
            if (m_buttonDialog.m_joystickButton == ButtonAssignDialog::NoJoystickButton)
                m_pending.Set(KeySetting(row), m_buttonDialog.m_key, false);
            else
                m_pending.Set(JoystickSetting(row), m_buttonDialog.m_joystickButton, false);
        }
    }
    Refresh();
}

void ButtonRowsPage::SaveButtonBindings()
{
    // Keys first, then joystick buttons, each in tree order.
    for (auto setting : {&KeySetting, &JoystickSetting}) {
        for (ButtonRow const &button : kButtons) {
            Zorvan::String const key = setting(button);
            if (m_pending.Contains(key))
                m_settings->Set(key, m_pending.GetInt(key), false);
        }
    }
}

} // namespace ConsoleGlue
