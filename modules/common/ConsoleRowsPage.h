// The settings page the 6502 and Z80 modules share, under each module's
// own title: display, sound and speed settings, the eight button bindings
// and the pad skin.
#pragma once

#include "modules/common/ButtonRowsPage.h"

namespace ConsoleGlue {

class ConsoleRowsPage : public ButtonRowsPage {
public:
    ConsoleRowsPage(PropertyMap *settings, wchar_t const *title);

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

private:
    wchar_t const *m_title;
};

} // namespace ConsoleGlue
