// Whether the host has 32-byte integer vectors and vector gathers. The
// build targets any x86-64, so the few loops that gain from them are built
// a second time for such hosts and chosen when the program starts.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define TAVRIN_HOST_AVX2 1
#define TAVRIN_AVX2 __attribute__((target("avx2")))

namespace Tavrin {

inline bool DetectAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

// Not const: the tests turn it off to run the portable path too.
inline bool HostHasAvx2 = DetectAvx2();

} // namespace Tavrin
#endif
