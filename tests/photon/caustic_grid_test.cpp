#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "photon/caustic_grid.h"

namespace lumo {
namespace {

struct Offset {
    float a, b;
};

std::vector<Offset> grid(int threads, int k, float step) {
    std::vector<Offset> out;
    forEachCausticOffset(causticGridRange(threads, k), step, [&](float a, float b) { out.push_back({a, b}); });
    return out;
}

TEST(CausticGrid, StepAndSizeFollowThePhotonCount) {
    const CausticFrame f = makeCausticFrame({5, -3, 7}, 2500);
    EXPECT_FLOAT_EQ(f.step, 0.006f);
    const auto g = grid(1, 0, f.step);
    const size_t side = static_cast<size_t>(std::lround(std::sqrt(static_cast<double>(g.size()))));
    EXPECT_EQ(side * side, g.size());
    EXPECT_GE(side, 50u);
    EXPECT_LE(side, 51u);
    // Accumulating 0.003 in single precision overshoots 0.15 on the 101st point: 100 x 100.
    EXPECT_EQ(grid(1, 0, makeCausticFrame({5, -3, 7}, 10000).step).size(), 100u * 100u);
}

TEST(CausticGrid, FrameIsOrthonormalAndAimsAtTheTarget) {
    for (Vec3 light : {Vec3{5, -3, 7}, Vec3{0, 0, 5}, Vec3{1, 0, 3}, Vec3{0, 2, 4}}) {
        const CausticFrame f = makeCausticFrame(light, 10000);
        const Vec3 toTarget = normalize(sub(kCausticTarget, light));
        EXPECT_NEAR(dot(f.axis, toTarget), 1.0, 1e-6);
        EXPECT_NEAR(length(f.sideU), 1.0, 1e-6);
        EXPECT_NEAR(length(f.sideV), 1.0, 1e-6);
        EXPECT_NEAR(dot(f.sideU, f.axis), 0.0, 1e-6);
        EXPECT_NEAR(dot(f.sideV, f.axis), 0.0, 1e-6);
        EXPECT_NEAR(dot(f.sideU, f.sideV), 0.0, 1e-6);
    }
    // Light straight above the target.
    const CausticFrame above = makeCausticFrame({0, 0, 5}, 10000);
    EXPECT_EQ(above.sideU.x, -1.0f);
    EXPECT_EQ(above.sideU.y, 0.0f);
    EXPECT_EQ(above.sideU.z, 0.0f);
    // The usual light: sideU is the vertical direction's part perpendicular to the axis.
    const CausticFrame usual = makeCausticFrame({5, -3, 7}, 10000);
    EXPECT_GT(usual.sideU.z, 0.0f);
}

// Per thread count, the workers' shares are disjoint and together span the single-thread square.
TEST(CausticGrid, WorkerSharesCoverTheSingleThreadSquare) {
    const float step = makeCausticFrame({5, -3, 7}, 10000).step;
    const auto whole = grid(1, 0, step);
    float wholeMin = 1, wholeMax = -1;
    for (auto o : whole) {
        wholeMin = std::min(wholeMin, std::min(o.a, o.b));
        wholeMax = std::max(wholeMax, std::max(o.a, o.b));
    }
    for (int threads : {2, 4}) {
        std::vector<Offset> all;
        for (int k = 0; k < threads; ++k) {
            const auto share = grid(threads, k, step);
            EXPECT_FALSE(share.empty());
            const CausticGridRange r = causticGridRange(threads, k);
            for (auto o : share) {
                EXPECT_TRUE(r.aToInclusive ? o.a <= r.aTo : o.a < r.aTo);
                EXPECT_TRUE(r.bToInclusive ? o.b <= r.bTo : o.b < r.bTo);
            }
            all.insert(all.end(), share.begin(), share.end());
        }
        float lo = 1, hi = -1;
        for (auto o : all) {
            lo = std::min(lo, std::min(o.a, o.b));
            hi = std::max(hi, std::max(o.a, o.b));
        }
        EXPECT_EQ(lo, wholeMin) << threads;
        EXPECT_NEAR(hi, wholeMax, step) << threads;
        // Every single-thread grid point has a worker's grid point within one step in both offsets.
        for (auto w : whole) {
            bool covered = false;
            for (auto o : all)
                if (std::fabs(o.a - w.a) <= step && std::fabs(o.b - w.b) <= step) {
                    covered = true;
                    break;
                }
            ASSERT_TRUE(covered) << threads << " threads miss (" << w.a << ", " << w.b << ")";
        }
        // About as many photons as with one thread: at most one extra row and column per half.
        EXPECT_GE(all.size(), whole.size());
        EXPECT_LE(all.size(), whole.size() + 4 * 102);
    }
    // The four quadrants: negatives below zero, positives from zero.
    for (auto o : grid(4, 0, step)) EXPECT_TRUE(o.a < 0 && o.b < 0);
    for (auto o : grid(4, 1, step)) EXPECT_TRUE(o.a < 0 && o.b >= 0);
    for (auto o : grid(4, 2, step)) EXPECT_TRUE(o.a >= 0 && o.b < 0);
    for (auto o : grid(4, 3, step)) EXPECT_TRUE(o.a >= 0 && o.b >= 0);
}

}  // namespace
}  // namespace lumo
