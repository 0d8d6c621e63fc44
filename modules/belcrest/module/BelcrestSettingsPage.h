// The Z80 module's settings page, "MasterSystem and GameGear": display,
// sound and speed settings, the eight button bindings and the pad skin.
#pragma once

#include "modules/common/ButtonRowsPage.h"

namespace Belcrest {

class BelcrestSettingsPage : public ConsoleGlue::ButtonRowsPage {
public:
    explicit BelcrestSettingsPage(PropertyMap *settings);

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

} // namespace Belcrest
