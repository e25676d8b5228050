// The instruction-set levels the packet kernels are built for, what the processor offers and the
// choice a frame runs with. One binary runs on every x86-64 processor: the widest level the
// processor has is found once at start-up.
#pragma once

#include <string_view>

namespace lumo {

enum Isa : int {
    kIsaScalar = 0,  // the portable per-ray code, the reference
    kIsaSse = 1,     // 4-wide packets, SSE4.1
    kIsaAvx2 = 2,    // 8-wide packets, AVX2
    kIsaAvx512 = 3,  // 16-wide packets, AVX-512 (F, DQ, VL)
    kIsaAuto = 4,    // the widest the processor has
};

// The widest level this processor and operating system run (asked once, then remembered).
Isa processorIsa();

// The level a frame runs with when `wanted` is asked for on a processor offering `available`:
// auto gives `available`, anything wider than `available` falls back to it.
constexpr Isa resolveIsa(Isa wanted, Isa available) {
    if (wanted == kIsaAuto) return available;
    return wanted < available ? wanted : available;
}

// "scalar", "sse", "avx2", "avx512", "auto".
const char* isaName(Isa isa);
// The level of a name as isaName gives it; false for any other text.
bool parseIsaName(std::string_view name, Isa& isa);

// Lanes of a packet at a level: 1, 4, 8, 16.
constexpr int isaLanes(Isa isa) { return isa == kIsaAvx512 ? 16 : isa == kIsaAvx2 ? 8 : isa == kIsaSse ? 4 : 1; }

}  // namespace lumo
