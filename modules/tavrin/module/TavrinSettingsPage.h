// The handheld's settings page, "GameBoy Advance": the shared console page
// with the pad's ten buttons and no sound channel rows (the handheld's
// sixteen channels are not the four the rows name).
#pragma once

#include "modules/common/ConsoleRowsPage.h"

namespace Tavrin {

class TavrinSettingsPage : public ConsoleGlue::ConsoleRowsPage {
public:
    explicit TavrinSettingsPage(PropertyMap *settings)
        : ConsoleRowsPage(settings, {L"GameBoy Advance", ConsoleGlue::ButtonRowsPage::kButtonCount, false})
    {
    }
};

} // namespace Tavrin
