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

// The radical inverse of i in base b: its digits mirrored behind the point, in [0, 1).
inline double radicalInverse(uint32_t i, uint32_t base) {
    double result = 0.0, digit = 1.0 / base;
    for (; i > 0; i /= base, digit /= base) result += (i % base) * digit;
    return result;
}

// Point i of the Sobol sequence's second dimension, in [0, 1).
inline double sobolSecond(uint32_t i) {
    uint32_t bits = 0;
    for (uint32_t v = 1u << 31; i > 0; i >>= 1, v ^= v >> 1)
        if (i & 1) bits ^= v;
    return bits / 4294967296.0;
}

// The camera samples' offset in pass p (1, 2, ...): point p - 1 of the two-dimensional Sobol sequence
// (the base-2 radical inverse for columns, the second dimension for rows) moved by half a pixel, so
// that pass 1 has none. Any first 2^k passes form a (0, k, 2)-net: each box of the pixel with sides
// 2^-a and 2^-(k-a) holds exactly one of them, so edges through the pixel are sampled as evenly as
// the number of passes allows.
inline PassOffset passOffset(int pass) {
    const uint32_t i = pass > 1 ? static_cast<uint32_t>(pass - 1) : 0u;
    const double column = radicalInverse(i, 2) + 0.5, row = sobolSecond(i) + 0.5;
    return {static_cast<float>(row - std::floor(row) - 0.5), static_cast<float>(column - std::floor(column) - 0.5)};
}

// Pass p's offset of the caustic photon grid, in grid steps, each part in [0, 1): the Halton points
// in bases 3 and 5, which do not line up with the pixel offsets. Pass 1 has none.
inline PassOffset causticGridOffset(int pass) {
    const uint32_t i = pass > 1 ? static_cast<uint32_t>(pass - 1) : 0u;
    return {static_cast<float>(radicalInverse(i, 3)), static_cast<float>(radicalInverse(i, 5))};
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
