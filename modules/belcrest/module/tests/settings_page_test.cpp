// The module's settings page and its stored values: the shared console
// page's cases (ConsoleRowsPageCases.h) on the module's title and defaults,
// and the cases of values loaded from the settings store
// (ConsoleSettingsLoadCases.h).
#include "modules/belcrest/testing/BelcrestSandbox.h"
#include "modules/common/tests/ConsoleRowsPageCases.h"
#include "modules/common/tests/ConsoleSettingsLoadCases.h"

namespace Belcrest::Test {
namespace {

struct BelcrestRowsPage {
    using Sandbox = BelcrestSandbox;
    using Module = BelcrestModule;
    using Page = BelcrestSettingsPage;
    static constexpr char const *kTitle = "MasterSystem and GameGear";
};

using BelcrestStore = ConsoleGlue::Test::ModuleObjectStore<BelcrestModule, BelcrestSandbox>;

} // namespace
} // namespace Belcrest::Test

namespace ConsoleGlue::Test {
INSTANTIATE_TYPED_TEST_SUITE_P(Belcrest, ConsoleRowsPageTest, Belcrest::Test::BelcrestRowsPage);
INSTANTIATE_TYPED_TEST_SUITE_P(Belcrest, ConsoleSettingsLoadTest, Belcrest::Test::BelcrestStore);
} // namespace ConsoleGlue::Test
