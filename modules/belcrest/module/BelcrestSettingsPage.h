// The Z80 module's settings page, "MasterSystem and GameGear": the shared console page
// under the module's title.
#pragma once

#include "modules/common/ConsoleRowsPage.h"

namespace Belcrest {

class BelcrestSettingsPage : public ConsoleGlue::ConsoleRowsPage {
public:
    explicit BelcrestSettingsPage(PropertyMap *settings)
        : ConsoleRowsPage(settings, {L"MasterSystem and GameGear", 8, true})
    {
    }
};

} // namespace Belcrest
