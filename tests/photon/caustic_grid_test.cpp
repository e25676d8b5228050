#include <gtest/gtest.h>

#include <vector>

#include "photon/caustic_grid.h"

namespace lumo {
namespace {

// Rows and columns of the grid for a step.
size_t rowCount(float step) {
    std::vector<float> rows;
    causticGridRows(step, rows);
    return rows.size();
}
size_t columnCount(float step) {
    size_t n = 0;
    forEachCausticColumn(step, [&](float) { ++n; });
    return n;
}

TEST(CausticGrid, StepAndSizeFollowThePhotonCount) {
    const CausticFrame f = makeCausticFrame({5, -3, 7}, 2500);
    EXPECT_FLOAT_EQ(f.step, 0.006f);
    const size_t side = rowCount(f.step);
    EXPECT_EQ(columnCount(f.step), side);
    EXPECT_GE(side, 50u);
    EXPECT_LE(side, 51u);
    // Accumulating 0.003 in single precision overshoots 0.15 on the 101st point: 100 x 100.
    const float fine = makeCausticFrame({5, -3, 7}, 10000).step;
    EXPECT_EQ(rowCount(fine), 100u);
    EXPECT_EQ(columnCount(fine), 100u);
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

}  // namespace
}  // namespace lumo
