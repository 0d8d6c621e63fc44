// The 6502 module's settings page, "NES": the shared console page
// under the module's title.
#pragma once

#include "modules/common/ConsoleRowsPage.h"

namespace Cindrel {

class CindrelSettingsPage : public ConsoleGlue::ConsoleRowsPage {
public:
    explicit CindrelSettingsPage(PropertyMap *settings) : ConsoleRowsPage(settings, {L"NES", 8, true}) {}
};

} // namespace Cindrel
