// The settings page of every console module: display, sound and speed
// settings, the pad's button bindings and the pad skin, under the module's
// own title.
#pragma once

#include "modules/common/ButtonRowsPage.h"

#include <vector>

namespace ConsoleGlue {

// What differs between the consoles' pages.
struct PageRows {
    wchar_t const *title;
    int buttons;        // rows for the first of ButtonRowsPage::kButtons
    bool soundChannels; // the "Enable Noise / Drums" and "Channel 1" to "Channel 4" rows
};

class ConsoleRowsPage : public ButtonRowsPage {
public:
    ConsoleRowsPage(PropertyMap *settings, PageRows const &rows);

    // The settings whose stored values the rows cannot show: a screen size,
    // sound rate or frame skip that is not one of its list's choices, a key
    // or joystick button code of the first `buttons` buttons that is not a
    // byte.
    static std::vector<Zorvan::String> ValuesOutOfRange(PropertyMap const &settings, int buttons);

    // The rows, for tests: null while the page is closed, and the sound
    // channel rows on a page without them.
    PropertyRow m_screenSize = nullptr;
    PropertyRow m_smoothing = nullptr;
    PropertyRow m_sound = nullptr;
    PropertyRow m_quality = nullptr;
    PropertyRow m_noise = nullptr;
    PropertyRow m_channel[4] = {};
    PropertyRow m_frameSkip = nullptr;
    PropertyRow m_autoSync = nullptr;

protected:
    void OnInitDialog() override;
    void LoadValues() override;
    void SaveValues() override;

private:
    PageRows const m_layout;
};

} // namespace ConsoleGlue
