#include "image/pass_mean.h"

#include <algorithm>
#include <atomic>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumo {

namespace {

// The mean of `total` over n passes rounded to a level, with `scale` = 1 / n in single precision.
// Sums are whole numbers, so a mean is a whole number or lies at least 1/n from the next rounding
// boundary; the float product stays far closer than that. The vector code below does the same
// single-precision operations in the same order, so the levels do not depend on the path taken.
inline int32_t level(float total, float scale) { return static_cast<int32_t>(total * scale + 0.5f); }

// Adds one pixel's channels to its sums and writes the mean into it; returns how many channels' levels
// moved.
inline int addPixel(uint32_t& pixel, float* sum, float scale, float before) {
    uint32_t out = 0;
    int moved = 0;
    for (int c = 0; c < kPassMeanLanes; ++c) {
        const float previous = sum[c];
        const float total = previous + static_cast<float>(static_cast<int32_t>((pixel >> (8 * c)) & 0xFF));
        sum[c] = total;
        const int32_t now = level(total, scale);
        moved += now != level(previous, before) ? 1 : 0;
        out |= static_cast<uint32_t>(now) << (8 * c);
    }
    pixel = out;
    return moved;
}

#if defined(__SSE2__)
// The four pixels at `pixels` as four vectors of their channels (blue, green, red, 0) in 32 bits.
inline void unpackPixels(const uint32_t* pixels, __m128i channels[4]) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i all = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i low = _mm_unpacklo_epi8(all, zero), high = _mm_unpackhi_epi8(all, zero);
    channels[0] = _mm_unpacklo_epi16(low, zero);
    channels[1] = _mm_unpackhi_epi16(low, zero);
    channels[2] = _mm_unpacklo_epi16(high, zero);
    channels[3] = _mm_unpackhi_epi16(high, zero);
}
#endif

// A row's first pass into its sums; returns the first column left to do one at a time.
inline int startRow(const uint32_t* row, float* sum, int w) {
    int x = 0;
#if defined(__SSE2__)
    for (; x + 4 <= w; x += 4, sum += 4 * kPassMeanLanes) {
        __m128i channels[4];
        unpackPixels(row + x, channels);
        for (int k = 0; k < 4; ++k) _mm_storeu_ps(sum + 4 * k, _mm_cvtepi32_ps(channels[k]));
    }
#endif
    (void)row, (void)sum, (void)w;
    return x;
}

// A row's next pass, four pixels at a time where the processor has the vector unit every x86-64
// processor has; returns the first column left to do one at a time and adds the channels that moved.
inline int addRow(uint32_t* row, float* sum, int w, float scale, float before, int64_t& moved) {
    int x = 0;
#if defined(__SSE2__)
    const __m128 vScale = _mm_set1_ps(scale), vBefore = _mm_set1_ps(before), half = _mm_set1_ps(0.5f);
    __m128i unmoved = _mm_setzero_si128();  // -1 per lane whose level stayed
    for (; x + 4 <= w; x += 4, sum += 4 * kPassMeanLanes) {
        __m128i channels[4], now[4];
        unpackPixels(row + x, channels);
        for (int k = 0; k < 4; ++k) {
            const __m128 previous = _mm_loadu_ps(sum + 4 * k);
            const __m128 total = _mm_add_ps(previous, _mm_cvtepi32_ps(channels[k]));
            _mm_storeu_ps(sum + 4 * k, total);
            now[k] = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(total, vScale), half));
            const __m128i then = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(previous, vBefore), half));
            unmoved = _mm_add_epi32(unmoved, _mm_cmpeq_epi32(now[k], then));
        }
        const __m128i out = _mm_packus_epi16(_mm_packs_epi32(now[0], now[1]), _mm_packs_epi32(now[2], now[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), out);
    }
    alignas(16) int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), unmoved);
    moved += static_cast<int64_t>(x) * kPassMeanLanes + lanes[0] + lanes[1] + lanes[2] + lanes[3];
#endif
    (void)row, (void)sum, (void)w, (void)scale, (void)before, (void)moved;
    return x;
}

// Rows a worker takes at a time.
constexpr int kRowsPerBlock = 16;

struct PassJob {
    PassMean& mean;
    FrameBuffer& fb;
    bool first;
    float scale, before;
    int blocks;
    std::atomic<int> nextBlock{0};
    int64_t moved[kMaxWorkerThreads] = {};
};

void passWorker(int k, void* context) {
    PassJob& job = *static_cast<PassJob*>(context);
    const int w = job.fb.width, h = job.fb.height;
    const size_t rowSums = static_cast<size_t>(w) * kPassMeanLanes;
    int64_t moved = 0;
    for (int b; (b = job.nextBlock.fetch_add(1, std::memory_order_relaxed)) < job.blocks;) {
        for (int y = b * kRowsPerBlock; y < std::min(h, (b + 1) * kRowsPerBlock); ++y) {
            uint32_t* row = &job.fb.at(y, 1);
            float* sum = job.mean.sums.data() + static_cast<size_t>(y) * rowSums;
            if (job.first) {
                for (int x = startRow(row, sum, w); x < w; ++x) {
                    float* pixelSums = sum + static_cast<size_t>(x) * kPassMeanLanes;
                    for (int c = 0; c < kPassMeanLanes; ++c)
                        pixelSums[c] = static_cast<float>((row[x] >> (8 * c)) & 0xFF);
                }
            } else {
                for (int x = addRow(row, sum, w, job.scale, job.before, moved); x < w; ++x)
                    moved += addPixel(row[x], sum + static_cast<size_t>(x) * kPassMeanLanes, job.scale, job.before);
            }
        }
    }
    job.moved[k] = moved;
}

}  // namespace

int64_t addPass(PassMean& mean, FrameBuffer& fb, bool first, int threadCount, const WorkerWait& wait) {
    const int w = fb.width, h = fb.height;
    if (w <= 0 || h <= 0) return 0;
    if (first || mean.width != w || mean.height != h) {
        mean.width = w;
        mean.height = h;
        mean.passes = 0;
        mean.sums.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * kPassMeanLanes);
    }
    const int n = ++mean.passes;
    PassJob job{mean, fb, n == 1, 1.0f / static_cast<float>(n), n > 1 ? 1.0f / static_cast<float>(n - 1) : 0.0f,
                (h + kRowsPerBlock - 1) / kRowsPerBlock};
    const int threads = std::clamp(threadCount, 1, std::min(kMaxWorkerThreads, job.blocks));
    runWorkers(passWorker, &job, threads, wait);
    if (n == 1) return static_cast<int64_t>(w) * h * 3;
    int64_t moved = 0;
    for (int k = 0; k < threads; ++k) moved += job.moved[k];
    return moved;
}

void releasePassMean(PassMean& mean) {
    mean = PassMean{};
}

}  // namespace lumo
