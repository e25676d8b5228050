// The passes that refine a still view. Pass 1 is the plain frame; every later pass moves the camera
// samples by a sub-pixel offset and re-shoots the photon maps with a seed and grid offset of its own,
// so the mean of the passes converges. Everything here depends on the pass number alone.
#pragma once

#include <cmath>
#include <cstdint>

namespace lumo {

// The most passes one view takes: the channel sums of the pass mean stay whole numbers below 2^24,
// exact in single precision (255 x 65536 < 2^24).
inline constexpr int kMaxRefinePasses = 65536;

// A sub-pixel offset in pixels, each part in [-0.5, 0.5).
struct PassOffset {
    float row = 0.0f;
    float column = 0.0f;
};

// The camera samples' offset in pass p (1, 2, ...): the additive recurrence on the plastic number
// (frac(0.5 + i / g), frac(0.5 + i / g^2) with g^3 = g + 1, i = p - 1), shifted to be centred on the
// pixel. Pass 1 has none, and any run of passes covers the pixel square evenly.
inline PassOffset passOffset(int pass) {
    constexpr double kStepColumn = 0.7548776662466927;  // 1 / g
    constexpr double kStepRow = 0.5698402909980532;     // 1 / g^2
    const double i = pass > 1 ? pass - 1 : 0;
    const double column = 0.5 + i * kStepColumn, row = 0.5 + i * kStepRow;
    return {static_cast<float>(row - std::floor(row) - 0.5), static_cast<float>(column - std::floor(column) - 0.5)};
}

// The radical inverse of i in base b: its digits mirrored behind the point, in [0, 1).
inline double radicalInverse(uint32_t i, uint32_t base) {
    double result = 0.0, digit = 1.0 / base;
    for (; i > 0; i /= base, digit /= base) result += (i % base) * digit;
    return result;
}

// Pass p's offset of the caustic photon grid, in grid steps, each part in [0, 1): the Halton points
// in bases 2 and 3, which do not line up with the pixel offsets. Pass 1 has none.
inline PassOffset causticGridOffset(int pass) {
    const uint32_t i = pass > 1 ? static_cast<uint32_t>(pass - 1) : 0u;
    return {static_cast<float>(radicalInverse(i, 2)), static_cast<float>(radicalInverse(i, 3))};
}

// The seed of pass p's photon generator: 12345 for pass 1 (the frame's own), a mix of 12345 and p
// (64-bit finaliser) for the others.
inline uint32_t passSeed(int pass) {
    if (pass <= 1) return 12345u;
    uint64_t x = (uint64_t{12345} << 32) | static_cast<uint32_t>(pass);
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return static_cast<uint32_t>(x);
}

}  // namespace lumo
