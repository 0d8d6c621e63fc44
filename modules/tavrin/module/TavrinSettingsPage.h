// The handheld's settings page: display, sound, speed, the ten buttons and
// the pad skin, written back into the module's settings on OK.
#pragma once

#include "modules/common/ConsoleSettingsPage.h"

namespace Tavrin {

class TavrinSettingsPage : public ConsoleGlue::ConsoleSettingsPage {
public:
    explicit TavrinSettingsPage(PropertyMap *settings);

    static constexpr int kButtonRows = 10;
    // The input rows in their order (Up, Down, Left, Right, Start, Select, A, B, L, R).
    static wchar_t const *const kButtonNames[kButtonRows];
    // The last of the "Frame Skip" choices ("0" to "8").
    static constexpr int kLastFrameSkip = 8;

    PropertyRow GetScreenSizeRow() const { return m_screenSize; }
    PropertyRow GetSmoothingRow() const { return m_smoothing; }
    PropertyRow GetSoundRow() const { return m_sound; }
    PropertyRow GetQualityRow() const { return m_quality; }
    PropertyRow GetFrameSkipRow() const { return m_frameSkip; }
    PropertyRow GetAutoSyncRow() const { return m_autoSync; }
    PropertyRow GetButtonRow(int i) const { return m_buttons[i]; }

    void Refresh() override;

protected:
    void OnInitDialog() override;
    long OnBrowse(PropertyItem *item) override;
    long OnReset(PropertyItem *item) override;
    void OnButtonDlgDestroy() override;
    void LoadValues() override;
    void SaveValues() override;

private:
    // The index of a button row's name, or -1.
    static int ButtonIndex(QString const &name);
    // A key setting: the pending value when one is held, else the module's.
    int KeySetting(Zorvan::String const &key);

    PropertyRow m_screenSize = nullptr, m_smoothing = nullptr, m_sound = nullptr, m_quality = nullptr;
    PropertyRow m_frameSkip = nullptr, m_autoSync = nullptr;
    PropertyRow m_buttons[kButtonRows] = {};
};

} // namespace Tavrin
