#include "modules/belcrest/module/BelcrestSettingsPage.h"

#include "ui/propertytree/CheckItem.h"
#include "ui/propertytree/ListItem.h"
#include "ui/propertytree/ValueItem.h"

#include <algorithm>

namespace Belcrest {

namespace {

// The check rows and their bool settings.
struct CheckRow {
    PropertyRow BelcrestSettingsPage::*row;
    wchar_t const *setting;
};

constexpr int kSoundRates[] = {44100, 22050, 11025};

using P = BelcrestSettingsPage;
constexpr CheckRow kCheckRows[] = {
    {&P::m_smoothing, L"UseBlend"},
    {&P::m_sound, L"Sound"},
    {&P::m_noise, L"Noise"},
    {&P::m_autoSync, L"FrameSync"},
};

wchar_t const *const kChannelSettings[] = {L"SoundChannel0", L"SoundChannel1", L"SoundChannel2", L"SoundChannel3"};

int ChoiceCount(wchar_t const *const *choices)
{
    int count = 0;
    while (choices[count])
        ++count;
    return count;
}

int QualityOfRate(int rate)
{
    return rate == 11025 ? 2 : rate == 22050 ? 1 : 0;
}

int RateOfQuality(int index)
{
    return index == 1 || index == 2 ? kSoundRates[index] : kSoundRates[0];
}

} // namespace

BelcrestSettingsPage::BelcrestSettingsPage(PropertyMap *settings) : ButtonRowsPage(settings) {}

void BelcrestSettingsPage::OnInitDialog()
{
    SetTitle(L"MasterSystem and GameGear");
    ButtonRowsPage::OnInitDialog();

    PropertyTree &tree = GetTree();
    auto category = [&tree](wchar_t const *name, int image) {
        return tree.InsertItem(CategoryItem::Create(name, L""), image, image);
    };
    auto check = [&tree](wchar_t const *name, PropertyRow parent) {
        return tree.InsertItem(CheckItem::Create(name, false), 0, 0, parent);
    };

    PropertyRow const display = category(L"Display", 19);
    m_screenSize = tree.InsertItem(ListItem::Create(L"Screen Size", SettingsPageChoices::ScreenScale, 0), 31, 31,
                                   display);
    m_smoothing = check(L"Image Smoothing", display);

    PropertyRow const sound = category(L"Sound", 15);
    m_sound = check(L"Enable Sound", sound);
    m_quality = tree.InsertItem(ListItem::Create(L"Quality", SettingsPageChoices::SoundRates, 0), 20, 20, sound);
    m_noise = check(L"Enable Noise / Drums", sound);
    static wchar_t const *const channels[] = {L"Channel 1", L"Channel 2", L"Channel 3", L"Channel 4"};
    for (int i = 0; i < 4; ++i)
        m_channel[i] = check(channels[i], sound);

    PropertyRow const speed = category(L"Speed", 45);
    m_frameSkip = tree.InsertItem(ListItem::Create(L"Frame Skip", SettingsPageChoices::Digits, 0), 44, 44, speed);
    m_autoSync = check(L"Auto Sync", speed);

    AddButtonRows();
    AddSkinItems();
    tree.scrollToItem(display);
    LoadValues();
}

void BelcrestSettingsPage::LoadValues()
{
    PropertyMap const &s = *m_settings;
    PropertyTree &tree = GetTree();

    SetItemString(m_screenSize, s.GetString(L"ScreenSize"));
    for (CheckRow const &check : kCheckRows)
        tree.SetCheck(this->*check.row, s.GetBoolean(check.setting) ? 1 : 0);
    for (int i = 0; i < 4; ++i)
        tree.SetCheck(m_channel[i], s.GetBoolean(kChannelSettings[i]) ? 1 : 0);
    SetItemInt(m_quality, QualityOfRate(s.GetInt(L"SoundRate")));
    int const lastSkip = ChoiceCount(SettingsPageChoices::Digits) - 1;
    SetItemInt(m_frameSkip, std::clamp(s.GetInt(L"FrameSkip"), 0, lastSkip));

    Refresh();
    LoadPadSkin();
}

void BelcrestSettingsPage::SaveValues()
{
    PropertyMap &s = *m_settings;
    PropertyTree &tree = GetTree();

    int const size = GetItemInt(m_screenSize);
    if (size >= 0 && size < ChoiceCount(SettingsPageChoices::ScreenScale))
        s.Set(L"ScreenSize", SettingsPageChoices::ScreenScale[size], false);
    s.Set(L"SoundRate", RateOfQuality(GetItemInt(m_quality)), false);
    s.Set(L"FrameSkip", GetItemInt(m_frameSkip), false);
    for (CheckRow const &check : kCheckRows)
        s.Set(check.setting, tree.GetCheck(this->*check.row), false);
    for (int i = 0; i < 4; ++i)
        s.Set(kChannelSettings[i], tree.GetCheck(m_channel[i]), false);

    SaveButtonBindings();
    SavePadSkin();
}

} // namespace Belcrest
