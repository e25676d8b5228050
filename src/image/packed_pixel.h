// Packed 0x00RRGGBB pixels and the truncating per-channel arithmetic the sampler and the filter use.
#pragma once

#include <cstdint>

#include "core/vec3.h"

namespace lumo {

// 255 above 1, 0 below 0 (and for NaN, so a broken colour cannot reach a float-to-int overflow),
// otherwise trunc(value * 255) in single precision.
inline uint32_t packChannel(float value) {
    if (value > 1.0f) return 255u;
    if (!(value >= 0.0f)) return 0u;
    return static_cast<uint32_t>(value * 255.0f);
}

inline uint32_t packColour(const Vec3& c) {
    return (packChannel(c.x) << 16) | (packChannel(c.y) << 8) | packChannel(c.z);
}

inline int redOf(uint32_t p) { return static_cast<int>((p >> 16) & 0xFFu); }
inline int greenOf(uint32_t p) { return static_cast<int>((p >> 8) & 0xFFu); }
inline int blueOf(uint32_t p) { return static_cast<int>(p & 0xFFu); }

// floor((a + b) / 2) per channel without unpacking.
inline uint32_t average2(uint32_t a, uint32_t b) { return (a & b) + (((a ^ b) & 0xFEFEFEu) >> 1); }

// floor((a + b + c) / 3) per channel.
inline uint32_t average3(uint32_t a, uint32_t b, uint32_t c) {
    const uint32_t r = static_cast<uint32_t>(redOf(a) + redOf(b) + redOf(c)) / 3u;
    const uint32_t g = static_cast<uint32_t>(greenOf(a) + greenOf(b) + greenOf(c)) / 3u;
    const uint32_t bl = static_cast<uint32_t>(blueOf(a) + blueOf(b) + blueOf(c)) / 3u;
    return (r << 16) | (g << 8) | bl;
}

// floor((a + b + c + d) / 4) per channel: red and blue summed in two 16-bit lanes, green on its own.
inline uint32_t average4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    const uint32_t redBlue = (a & 0xFF00FFu) + (b & 0xFF00FFu) + (c & 0xFF00FFu) + (d & 0xFF00FFu);
    const uint32_t green = (a & 0x00FF00u) + (b & 0x00FF00u) + (c & 0x00FF00u) + (d & 0x00FF00u);
    return ((redBlue >> 2) & 0xFF00FFu) | ((green >> 2) & 0x00FF00u);
}

inline int absDiff(int a, int b) { return a > b ? a - b : b - a; }

inline int maxChannelDifference(uint32_t a, uint32_t b) {
    const int r = absDiff(redOf(a), redOf(b));
    const int g = absDiff(greenOf(a), greenOf(b));
    const int bl = absDiff(blueOf(a), blueOf(b));
    const int rg = r > g ? r : g;
    return rg > bl ? rg : bl;
}

inline int channelDifferenceSum(uint32_t a, uint32_t b) {
    return absDiff(redOf(a), redOf(b)) + absDiff(greenOf(a), greenOf(b)) + absDiff(blueOf(a), blueOf(b));
}

// Sum of the channel differences of the pairs (a, b), (c, d), (a, d), (c, b): 0..3060.
inline int blockDifference(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return channelDifferenceSum(a, b) + channelDifferenceSum(c, d) + channelDifferenceSum(a, d) +
           channelDifferenceSum(c, b);
}

}  // namespace lumo
