// The 6502 module's settings page, "NES": display,
// sound and speed settings, the eight button bindings and the pad skin.
#pragma once

#include "modules/common/ButtonRowsPage.h"

namespace Cindrel {

class CindrelSettingsPage : public ConsoleGlue::ButtonRowsPage {
public:
    explicit CindrelSettingsPage(PropertyMap *settings);

    // The rows, for tests: null while the page is closed.
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
};

} // namespace Cindrel
