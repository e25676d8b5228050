// Synthetic pictures for the image passes: a sampler that records every sample per worker slot.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "image/render_passes.h"

namespace lumo::test {

struct SamplePosition {
    float y, x;
};

inline constexpr int kRecordedSlots = 8;

struct RecordingSampler {
    std::function<uint32_t(float, float)> picture;
    std::vector<SamplePosition> samples[kRecordedSlots];  // each slot is written only by the thread using it
    size_t lastEnter[kRecordedSlots] = {};                // samples[k].size() when slot k was last entered

    explicit RecordingSampler(std::function<uint32_t(float, float)> p) : picture(std::move(p)) {}
    void enter(int k) { lastEnter[k] = samples[k].size(); }
    uint32_t operator()(int k, float y, float x) {
        samples[k].push_back({y, x});
        return picture(y, x);
    }
    size_t total() const {
        size_t n = 0;
        for (const auto& s : samples) n += s.size();
        return n;
    }
    // What slot k sampled since it was last entered: in "Subsampling" the block worker's own samples,
    // without those slot 0 takes on the calling thread before the workers start.
    std::span<const SamplePosition> sinceEnter(int k) const {
        return std::span<const SamplePosition>(samples[k]).subspan(lastEnter[k]);
    }
};

// A different value at every integer position.
inline uint32_t hashPicture(float y, float x) {
    uint32_t h = static_cast<uint32_t>(y * 4.0f) * 2654435761u ^ static_cast<uint32_t>(x * 4.0f) * 40503u;
    h ^= h >> 13;
    return (h * 2246822519u) & 0xFFFFFFu;
}

// A red disc on a smooth blue-green ramp: flat regions, gradients and sharp edges.
inline uint32_t discPicture(float y, float x) {
    const float dy = y - 41.0f, dx = x - 57.0f;
    if (dx * dx + dy * dy < 30.0f * 30.0f) return 0xE02010u;
    const uint32_t g = static_cast<uint32_t>(x) & 0xFFu, b = static_cast<uint32_t>(2.0f * y) & 0xFFu;
    return g << 8 | b;
}

inline FrameParams subsampling(int threads, int t0, int t1, int t2, int t3, int t4, int aa = 0) {
    FrameParams p;
    p.samplingMode = 2;
    p.threadCount = threads;
    p.refine.threshold[0] = t0, p.refine.threshold[1] = t1, p.refine.threshold[2] = t2;
    p.refine.threshold[3] = t3, p.refine.threshold[4] = t4;
    p.refine.antiAliasing = aa;
    return p;
}

inline FrameParams standardSubsampling(int threads, int aa = 0) { return subsampling(threads, 5, 24, 32, 48, 64, aa); }

}  // namespace lumo::test
