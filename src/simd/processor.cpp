#include "simd/processor.h"

namespace lumo {

bool processorHasSse() {
#if defined(__x86_64__) || defined(__i386__)
    // The compiler's feature query runs CPUID leaf 1 and reads EDX bit 25; CPUID itself is always
    // present on the processors this builds for.
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse");
#else
    return false;
#endif
}

}  // namespace lumo
