#include "modules/tavrin/module/TavrinSettingsPage.h"

#include "ui/propertytree/CheckItem.h"
#include "ui/propertytree/ListItem.h"
#include "ui/propertytree/ValueItem.h"

#include "common/zorvan/MessagePresenter.h"

#include <algorithm>

namespace Tavrin {

wchar_t const *const TavrinSettingsPage::kButtonNames[kButtonRows] = {
    L"Up", L"Down", L"Left", L"Right", L"Start", L"Select", L"A", L"B", L"L", L"R"};

namespace {
// Tree images of the input rows, in kButtonNames order.
constexpr int kButtonImages[TavrinSettingsPage::kButtonRows] = {32, 33, 34, 35, 39, 38, 36, 37, 40, 41};
// "SoundRate" by list index; any other rate shows as the first.
constexpr int kSoundRates[] = {44100, 22050, 11025};

// The choice at an index of a null-ended list; null past its end.
wchar_t const *ChoiceAt(wchar_t const *const *choices, int index)
{
    for (int i = 0; index >= 0 && choices[i]; ++i)
        if (i == index)
            return choices[i];
    return nullptr;
}
} // namespace

TavrinSettingsPage::TavrinSettingsPage(PropertyMap *settings) : ConsoleSettingsPage(settings) {}

int TavrinSettingsPage::ButtonIndex(QString const &name)
{
    for (int i = 0; i < kButtonRows; ++i)
        if (name == QString::fromWCharArray(kButtonNames[i]))
            return i;
    return -1;
}

void TavrinSettingsPage::OnInitDialog()
{
    SetTitle(L"GameBoy Advance");
    SettingsPage::OnInitDialog();
    // Bindings left from an opening that was cancelled are dropped.
    m_pending = PropertyMap();
    PropertyTree &tree = GetTree();
    PropertyRow const display = tree.InsertItem(CategoryItem::Create(L"Display", L""), 19, 19);
    m_screenSize = tree.InsertItem(ListItem::Create(L"Screen Size", SettingsPageChoices::ScreenScale, 0), 31, 31, display);
    m_smoothing = tree.InsertItem(CheckItem::Create(L"Image Smoothing", false), 0, 0, display);
    PropertyRow const sound = tree.InsertItem(CategoryItem::Create(L"Sound", L""), 15, 15);
    m_sound = tree.InsertItem(CheckItem::Create(L"Enable Sound", false), 0, 0, sound);
    m_quality = tree.InsertItem(ListItem::Create(L"Quality", SettingsPageChoices::SoundRates, 0), 20, 20, sound);
    PropertyRow const speed = tree.InsertItem(CategoryItem::Create(L"Speed", L""), 45, 45);
    m_frameSkip = tree.InsertItem(ListItem::Create(L"Frame Skip", SettingsPageChoices::Digits, 0), 44, 44, speed);
    m_autoSync = tree.InsertItem(CheckItem::Create(L"Auto Sync", false), 0, 0, speed);
    PropertyRow const input = tree.InsertItem(CategoryItem::Create(L"Input", L""), 29, 29);
    for (int i = 0; i < kButtonRows; ++i)
        m_buttons[i] = tree.InsertItem(BrowseItem::Create(kButtonNames[i], L""), kButtonImages[i], kButtonImages[i], input);
    AddSkinItems();
    LoadValues();
}

void TavrinSettingsPage::LoadValues()
{
    SetItemString(m_screenSize, m_settings->GetString(L"ScreenSize"));
    GetTree().SetCheck(m_smoothing, m_settings->GetBoolean(L"UseBlend"));
    GetTree().SetCheck(m_sound, m_settings->GetBoolean(L"Sound"));
    GetTree().SetCheck(m_autoSync, m_settings->GetBoolean(L"FrameSync"));
    const int rate = m_settings->GetInt(L"SoundRate");
    SetItemInt(m_quality, rate == 11025 ? 2 : rate == 22050 ? 1 : 0);
    SetItemInt(m_frameSkip, std::clamp(m_settings->GetInt(L"FrameSkip"), 0, kLastFrameSkip));
    Refresh();
    LoadPadSkin();
}

void TavrinSettingsPage::SaveValues()
{
    // The list's value is its index; the setting is the chosen text.
    if (wchar_t const *size = ChoiceAt(SettingsPageChoices::ScreenScale, GetItemInt(m_screenSize)))
        m_settings->Set(L"ScreenSize", size, false);
    m_settings->Set(L"UseBlend", GetTree().GetCheck(m_smoothing), false);
    const int quality = GetItemInt(m_quality);
    m_settings->Set(L"SoundRate", quality == 1 || quality == 2 ? kSoundRates[quality] : kSoundRates[0], false);
    m_settings->Set(L"Sound", GetTree().GetCheck(m_sound), false);
    m_settings->Set(L"FrameSkip", GetItemInt(m_frameSkip), false);
    m_settings->Set(L"FrameSync", GetTree().GetCheck(m_autoSync), false);
    for (wchar_t const *prefix : {L"vk", L"js"}) {
        for (wchar_t const *name : kButtonNames) {
            const Zorvan::String key = Zorvan::String(prefix) + name;
            if (m_pending.Contains(key))
                m_settings->Set(key, m_pending.GetInt(key), false);
        }
    }
    SavePadSkin();
}

long TavrinSettingsPage::OnBrowse(PropertyItem *item)
{
    if (!item || ButtonIndex(item->GetName()) < 0)
        return 0;
    m_buttonDialog.Show(this);
    return 1;
}

long TavrinSettingsPage::OnReset(PropertyItem *)
{
    if (Zorvan::presentMessage(L"Are you sure you want to reset this property?", Zorvan::String(), MB_YESNO) != IDYES)
        return 0;
    m_buttonDialog.m_result = ButtonAssignDialog::Unbound;
    OnButtonDlgDestroy();
    return 1;
}

void TavrinSettingsPage::OnButtonDlgDestroy()
{
    raise();
    if (m_buttonDialog.m_result == ButtonAssignDialog::Cancelled)
        return;
    PropertyRow const row = GetTree().currentItem();
    for (int i = 0; i < kButtonRows; ++i) {
        if (!row || row != m_buttons[i])
            continue;
        const Zorvan::String name(kButtonNames[i]);
        if (m_buttonDialog.m_result == ButtonAssignDialog::Unbound) {
            m_pending.Set(L"vk" + name, 0, false);
            m_pending.Set(L"js" + name, ButtonAssignDialog::NoJoystickButton, false);
        } else if (m_buttonDialog.m_joystickButton == ButtonAssignDialog::NoJoystickButton) {
            m_pending.Set(L"vk" + name, m_buttonDialog.m_key, false);
        } else {
            m_pending.Set(L"js" + name, m_buttonDialog.m_joystickButton, false);
        }
    }
    Refresh();
}

int TavrinSettingsPage::KeySetting(Zorvan::String const &key)
{
    return m_pending.Contains(key) ? m_pending.GetInt(key) : m_settings->GetInt(key);
}

void TavrinSettingsPage::Refresh()
{
    for (int i = 0; i < kButtonRows; ++i)
        if (m_buttons[i])
            SetItemString(m_buttons[i], GetKeyName(KeySetting(Zorvan::String(L"vk") + kButtonNames[i])));
    SettingsPage::Refresh();
}

} // namespace Tavrin
