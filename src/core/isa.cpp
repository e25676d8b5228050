#include "core/isa.h"

namespace lumo {

namespace {

Isa detectIsa() {
#if defined(__x86_64__) || defined(__i386__)
    // The compiler's query reads CPUID and, for the AVX levels, whether the operating system saves
    // the wide registers.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl"))
        return kIsaAvx512;
    if (__builtin_cpu_supports("avx2")) return kIsaAvx2;
    if (__builtin_cpu_supports("sse4.1")) return kIsaSse;
#endif
    return kIsaScalar;
}

constexpr const char* kNames[] = {"scalar", "sse", "avx2", "avx512", "auto"};

}  // namespace

Isa processorIsa() {
    static const Isa isa = detectIsa();
    return isa;
}

const char* isaName(Isa isa) { return isa >= kIsaScalar && isa <= kIsaAuto ? kNames[isa] : "?"; }

bool parseIsaName(std::string_view name, Isa& isa) {
    for (int i = kIsaScalar; i <= kIsaAuto; ++i)
        if (name == kNames[i]) {
            isa = static_cast<Isa>(i);
            return true;
        }
    return false;
}

}  // namespace lumo
