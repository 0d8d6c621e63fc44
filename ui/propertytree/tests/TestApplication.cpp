// One QApplication for every test of this program, made before the first test.
#include "tools/testsupport/TestApplication.h"

#include <gtest/gtest.h>

namespace PropertyTreeUi::Test {
namespace {

class ApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override { QuintarTest::EnsureApplication(); }
};

testing::Environment* const registered = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace
} // namespace PropertyTreeUi::Test
