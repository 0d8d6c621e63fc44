// The module's settings page and its stored values: the shared console
// page's cases and those of the values loaded from the settings store
// (ConsoleRowsPageCases.h), on the module's title and defaults.
#include "modules/belcrest/testing/BelcrestSandbox.h"
#include "modules/common/tests/ConsoleRowsPageCases.h"

CONSOLE_ROWS_PAGE_CASES(Belcrest, Belcrest::Test::BelcrestSandbox, Belcrest::BelcrestModule,
                        Belcrest::BelcrestSettingsPage, "MasterSystem and GameGear")
