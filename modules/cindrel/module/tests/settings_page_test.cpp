// The module's settings page and its stored values: the shared console
// page's cases (ConsoleRowsPageCases.h) on the module's title and defaults,
// and the cases of values loaded from the settings store
// (ConsoleSettingsLoadCases.h).
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "modules/common/tests/ConsoleRowsPageCases.h"
#include "modules/common/tests/ConsoleSettingsLoadCases.h"

namespace Cindrel::Test {
namespace {

struct CindrelRowsPage {
    using Sandbox = CindrelSandbox;
    using Module = CindrelModule;
    using Page = CindrelSettingsPage;
    static constexpr char const *kTitle = "NES";
};

using CindrelStore = ConsoleGlue::Test::ModuleObjectStore<CindrelModule, CindrelSandbox>;

} // namespace
} // namespace Cindrel::Test

namespace ConsoleGlue::Test {
INSTANTIATE_TYPED_TEST_SUITE_P(Cindrel, ConsoleRowsPageTest, Cindrel::Test::CindrelRowsPage);
INSTANTIATE_TYPED_TEST_SUITE_P(Cindrel, ConsoleSettingsLoadTest, Cindrel::Test::CindrelStore);
} // namespace ConsoleGlue::Test
