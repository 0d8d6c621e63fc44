#include "modules/common/ConsoleRowsPage.h"

#include "ui/propertytree/CheckItem.h"
#include "ui/propertytree/ListItem.h"
#include "ui/propertytree/ValueItem.h"

#include <algorithm>
#include <iterator>

namespace ConsoleGlue {

namespace {

// The check rows and their bool settings.
struct CheckRow {
    PropertyRow ConsoleRowsPage::*row;
    wchar_t const *setting;
};

constexpr int kSoundRates[] = {44100, 22050, 11025};

using P = ConsoleRowsPage;
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

bool IsChoice(wchar_t const *const *choices, Zorvan::String const &text)
{
    for (; *choices; ++choices)
        if (text == *choices)
            return true;
    return false;
}

// Key and joystick button codes are bytes.
bool IsCode(int code) { return code >= 0 && code <= 0xFF; }

int QualityOfRate(int rate)
{
    return rate == 11025 ? 2 : rate == 22050 ? 1 : 0;
}

int RateOfQuality(int index)
{
    return index == 1 || index == 2 ? kSoundRates[index] : kSoundRates[0];
}

} // namespace

ConsoleRowsPage::ConsoleRowsPage(PropertyMap *settings, PageRows const &rows)
    : ButtonRowsPage(settings, rows.buttons), m_layout(rows)
{
}

std::vector<Zorvan::String> ConsoleRowsPage::ValuesOutOfRange(PropertyMap const &settings, int buttons)
{
    std::vector<Zorvan::String> out;
    if (!IsChoice(SettingsPageChoices::ScreenScale, settings.GetString(L"ScreenSize")))
        out.emplace_back(L"ScreenSize");
    if (std::find(std::begin(kSoundRates), std::end(kSoundRates), settings.GetInt(L"SoundRate")) ==
        std::end(kSoundRates))
        out.emplace_back(L"SoundRate");
    int const frameSkip = settings.GetInt(L"FrameSkip");
    if (frameSkip < 0 || frameSkip >= ChoiceCount(SettingsPageChoices::Digits))
        out.emplace_back(L"FrameSkip");
    for (int i = 0; i < buttons; ++i) {
        for (wchar_t const *prefix : {L"vk", L"js"}) {
            Zorvan::String const key = Zorvan::String(prefix) + kButtons[i].name;
            if (!IsCode(settings.GetInt(key)))
                out.push_back(key);
        }
    }
    return out;
}

void ConsoleRowsPage::OnInitDialog()
{
    SetTitle(m_layout.title);
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
    if (m_layout.soundChannels) {
        m_noise = check(L"Enable Noise / Drums", sound);
        static wchar_t const *const channels[] = {L"Channel 1", L"Channel 2", L"Channel 3", L"Channel 4"};
        for (int i = 0; i < 4; ++i)
            m_channel[i] = check(channels[i], sound);
    }

    PropertyRow const speed = category(L"Speed", 45);
    m_frameSkip = tree.InsertItem(ListItem::Create(L"Frame Skip", SettingsPageChoices::Digits, 0), 44, 44, speed);
    m_autoSync = check(L"Auto Sync", speed);

    AddButtonRows();
    AddSkinItems();
    tree.scrollToItem(display);
    LoadValues();
}

void ConsoleRowsPage::LoadValues()
{
    PropertyMap const &s = *m_settings;
    PropertyTree &tree = GetTree();

    SetItemString(m_screenSize, s.GetString(L"ScreenSize"));
    for (CheckRow const &check : kCheckRows)
        if (this->*check.row)
            tree.SetCheck(this->*check.row, s.GetBoolean(check.setting) ? 1 : 0);
    for (int i = 0; i < 4; ++i)
        if (m_channel[i])
            tree.SetCheck(m_channel[i], s.GetBoolean(kChannelSettings[i]) ? 1 : 0);
    SetItemInt(m_quality, QualityOfRate(s.GetInt(L"SoundRate")));
    int const lastSkip = ChoiceCount(SettingsPageChoices::Digits) - 1;
    SetItemInt(m_frameSkip, std::clamp(s.GetInt(L"FrameSkip"), 0, lastSkip));

    Refresh();
    LoadPadSkin();
}

void ConsoleRowsPage::SaveValues()
{
    PropertyMap &s = *m_settings;
    PropertyTree &tree = GetTree();

    int const size = GetItemInt(m_screenSize);
    if (size >= 0 && size < ChoiceCount(SettingsPageChoices::ScreenScale))
        s.Set(L"ScreenSize", SettingsPageChoices::ScreenScale[size], false);
    s.Set(L"SoundRate", RateOfQuality(GetItemInt(m_quality)), false);
    s.Set(L"FrameSkip", GetItemInt(m_frameSkip), false);
    for (CheckRow const &check : kCheckRows)
        if (this->*check.row)
            s.Set(check.setting, tree.GetCheck(this->*check.row), false);
    for (int i = 0; i < 4; ++i)
        if (m_channel[i])
            s.Set(kChannelSettings[i], tree.GetCheck(m_channel[i]), false);

    SaveButtonBindings();
    SavePadSkin();
}

} // namespace ConsoleGlue
