// The module's settings page: the shared console page's cases
// (ConsoleRowsPageCases.h) on the module's title and defaults.
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "modules/common/tests/ConsoleRowsPageCases.h"

namespace Cindrel::Test {
namespace {

struct CindrelRowsPage {
    using Sandbox = CindrelSandbox;
    using Module = CindrelModule;
    using Page = CindrelSettingsPage;
    static constexpr char const *kTitle = "NES";
};

} // namespace
} // namespace Cindrel::Test

namespace ConsoleGlue::Test {
INSTANTIATE_TYPED_TEST_SUITE_P(Cindrel, ConsoleRowsPageTest, Cindrel::Test::CindrelRowsPage);
} // namespace ConsoleGlue::Test
