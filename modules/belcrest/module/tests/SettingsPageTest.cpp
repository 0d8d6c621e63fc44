// The module's settings page: the shared console page's cases
// (ConsoleRowsPageCases.h) on the module's title and defaults.
#include "modules/belcrest/module/tests/BelcrestSandbox.h"
#include "modules/common/tests/ConsoleRowsPageCases.h"

namespace Belcrest::Test {
namespace {

struct BelcrestRowsPage {
    using Sandbox = BelcrestSandbox;
    using Module = BelcrestModule;
    using Page = BelcrestSettingsPage;
    static constexpr char const *kTitle = "MasterSystem and GameGear";
};

} // namespace
} // namespace Belcrest::Test

namespace ConsoleGlue::Test {
INSTANTIATE_TYPED_TEST_SUITE_P(Belcrest, ConsoleRowsPageTest, Belcrest::Test::BelcrestRowsPage);
} // namespace ConsoleGlue::Test
