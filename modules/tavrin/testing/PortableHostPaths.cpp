// Linked into a second build of the CPU and renderer tests: the processor
// running them may have the vector gathers and LAHF the fast paths use, and
// then nothing else would ever run the code other processors take.
#include "modules/tavrin/cpu/ArmAlu.h"
#include "modules/tavrin/render/HostVectors.h"

#include <gtest/gtest.h>

namespace {

struct PortableHostPaths : ::testing::Environment {
    void SetUp() override
    {
#ifdef TAVRIN_HOST_FLAGS
        Tavrin::HostHasLahf = false;
#endif
#ifdef TAVRIN_HOST_AVX2
        Tavrin::HostHasAvx2 = false;
#endif
    }
};

::testing::Environment *const registered = ::testing::AddGlobalTestEnvironment(new PortableHostPaths);

} // namespace
