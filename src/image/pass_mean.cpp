#include "image/pass_mean.h"

namespace lumo {

namespace {

// round(sum / n) with halves rounded up, for whole sums below 2^24 and n up to 2^16: floor((2 sum + n)
// / 2n) from a multiply by the reciprocal, corrected to the exact quotient.
struct RoundedMean {
    uint32_t twiceN;
    double inverse;
    explicit RoundedMean(uint32_t n) : twiceN(2 * n), inverse(1.0 / (2.0 * n)) {}
    uint32_t operator()(uint32_t sum) const {
        const uint32_t x = 2 * sum + twiceN / 2;
        uint32_t q = static_cast<uint32_t>(x * inverse);
        if (q * twiceN > x) --q;
        else if ((q + 1) * twiceN <= x) ++q;
        return q;
    }
};

}  // namespace

int64_t addPass(PassMean& mean, FrameBuffer& fb, bool first) {
    const int w = fb.width, h = fb.height;
    if (w <= 0 || h <= 0) return 0;
    if (first || mean.width != w || mean.height != h) {
        mean.width = w;
        mean.height = h;
        mean.passes = 0;
        mean.sums.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    }
    const uint32_t n = static_cast<uint32_t>(++mean.passes);
    float* sum = mean.sums.data();
    if (n == 1) {
        for (int y = 0; y < h; ++y) {
            const uint32_t* row = &fb.at(y, 1);
            for (int x = 0; x < w; ++x, sum += 3) {
                sum[0] = static_cast<float>((row[x] >> 16) & 0xFF);
                sum[1] = static_cast<float>((row[x] >> 8) & 0xFF);
                sum[2] = static_cast<float>(row[x] & 0xFF);
            }
        }
        return static_cast<int64_t>(w) * h;
    }
    const RoundedMean now(n), before(n - 1);
    int64_t moved = 0;
    for (int y = 0; y < h; ++y) {
        uint32_t* row = &fb.at(y, 1);
        for (int x = 0; x < w; ++x, sum += 3) {
            uint32_t pixel = 0;
            bool changed = false;
            for (int c = 0; c < 3; ++c) {
                const int shift = 16 - 8 * c;
                const uint32_t previous = static_cast<uint32_t>(sum[c]);
                const uint32_t total = previous + ((row[x] >> shift) & 0xFF);
                sum[c] = static_cast<float>(total);
                const uint32_t level = now(total);
                changed |= level != before(previous);
                pixel |= level << shift;
            }
            row[x] = pixel;
            moved += changed ? 1 : 0;
        }
    }
    return moved;
}

void releasePassMean(PassMean& mean) {
    mean = PassMean{};
}

}  // namespace lumo
