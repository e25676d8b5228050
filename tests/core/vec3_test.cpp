#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "core/vec3.h"

namespace lumo {
namespace {

void expectVec(const Vec3& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

TEST(Vec3Ops, CrossDotAndNormalize) {
    expectVec(cross({1, 0, 0}, {0, 1, 0}), 0, 0, 1);
    expectVec(cross({0, 1, 0}, {1, 0, 0}), 0, 0, -1);
    EXPECT_EQ(dot({1, 2, 0}, {-2, 1, 7}), 0.0);
    EXPECT_DOUBLE_EQ(dot({1, 2, 3}, {4, 5, 6}), 32.0);
    EXPECT_DOUBLE_EQ(length(3.0f, 4.0f, 12.0f), 13.0);
    expectVec(normalize({0, 3, 4}), 0, 0.6f, 0.8f);
    EXPECT_DOUBLE_EQ(pointDistance({1, 1, 1}, {4, 5, 1}), 5.0);
    // The dot product is carried in double: 1e8 + 1 - 1e8 keeps the 1.
    EXPECT_DOUBLE_EQ(dot({1e4f, 1.0f, -1e4f}, {1e4f, 1.0f, 1e4f}), 1.0);
}

TEST(Vec3Ops, ComponentwiseAndInPlace) {
    expectVec(mulComponents({0.5f, 2, -1}, {4, 0.25f, 3}), 2, 0.5f, -3);
    expectVec(scaleByDouble(0.1, {10, 20, -30}), 1, 2, -3);
    expectVec(divScalar({2, 4, 6}, 2), 1, 2, 3);
    Vec3 v{1, 2, 3};
    addInPlace(v, {1, 1, 1});
    divInPlace(v, 2);
    expectVec(v, 1, 1.5f, 2);
}

TEST(Vec3Ops, PerpendicularSwitchesFrameNearTheZAxis) {
    const Vec3 a = perpendicular({0, 0, 1});
    expectVec(a, 1, 0, 0);
    EXPECT_TRUE(std::signbit(a.z));  // (1, 0, -0)
    const Vec3 b = perpendicular({1, 0, 0});
    expectVec(b, 0, 1, 0);
    EXPECT_TRUE(std::signbit(b.x));  // (-0, 1, 0)
    // Both |x| and |y| below 1/64: second form (z, 0, -x), normalised.
    const Vec3 c = perpendicular({0.01f, 0.01f, 1});
    EXPECT_EQ(c.y, 0.0f);
    EXPECT_NEAR(c.x, 1.0f / std::sqrt(1.0001f), 1e-6f);
    // Exactly 1/64 already takes the first form.
    const Vec3 d = perpendicular({0.015625f, 0, 1});
    expectVec(d, 0, 1, 0);
    for (const Vec3& n : {Vec3{0.3f, -0.4f, 0.866f}, Vec3{0.001f, 0.002f, -1}, Vec3{-1, 0.5f, 0.25f}}) {
        const Vec3 p = perpendicular(n);
        EXPECT_NEAR(dot(p, n), 0.0, 1e-6);
        EXPECT_NEAR(length(p), 1.0, 1e-6);
    }
}

TEST(ScalarOps, PolarAngleQuadrantsAndDeadZone) {
    EXPECT_EQ(polarAngle(1, 0), 0.0f);
    EXPECT_EQ(std::bit_cast<uint32_t>(polarAngle(0, 1)), 0x3FC90FDAu);
    EXPECT_EQ(polarAngle(0, 1), 1.5707962f);
    EXPECT_EQ(polarAngle(0, -1), kThreeHalfPi);
    EXPECT_EQ(polarAngle(-1, 0), kPi);
    EXPECT_FLOAT_EQ(polarAngle(1, -1), 7.0f * 3.14159265f / 4.0f);
    EXPECT_FLOAT_EQ(polarAngle(1, 1), 3.14159265f / 4.0f);
    EXPECT_FLOAT_EQ(polarAngle(-1, 1), 3.0f * 3.14159265f / 4.0f);
    EXPECT_FLOAT_EQ(polarAngle(-1, -1), 5.0f * 3.14159265f / 4.0f);
    // Dead zone: |x| <= 0.0001 gives exactly pi/2 or 3pi/2 whatever |y|.
    EXPECT_EQ(polarAngle(0.00005f, -3), kThreeHalfPi);
    EXPECT_EQ(polarAngle(-0.00005f, 1e-6f), kHalfPi);
    EXPECT_EQ(polarAngle(0, 0), kHalfPi);
    // Just outside the dead zone the true angle returns.
    EXPECT_NEAR(polarAngle(0.0002f, 1), 1.5705963f, 1e-6f);
    for (float x : {1.0f, -1.0f, 0.3f, -0.0002f})
        for (float y : {0.5f, -0.5f, 1e-8f, -1e-8f}) {
            const float a = polarAngle(x, y);
            EXPECT_GE(a, 0.0f);
            EXPECT_LE(a, kTwoPi);
        }
    // A tiny negative angle plus 2pi rounds to 2pi itself in float32; it is the same direction.
    EXPECT_EQ(polarAngle(1, -1e-8f), kTwoPi);
}

TEST(ScalarOps, SafeAcosLerpFrac) {
    EXPECT_EQ(safeAcos(1.0000001), 0.0);
    EXPECT_EQ(safeAcos(1.0), 0.0);
    EXPECT_DOUBLE_EQ(safeAcos(0.0), std::acos(0.0));
    EXPECT_EQ(lerp(1, 3, 7), 3.0f);
    EXPECT_EQ(lerp(0, 3, 7), 7.0f);
    EXPECT_EQ(lerp(0.25f, 4, 8), 7.0f);
    // Weight t on the lerp between the s-blends of (p, r) and (q, w).
    EXPECT_FLOAT_EQ(bilerp(1, 1, 2, 3, 5, 7), 2.0f);
    EXPECT_FLOAT_EQ(bilerp(0, 0, 2, 3, 5, 7), 7.0f);
    EXPECT_FLOAT_EQ(bilerp(1, 0, 2, 3, 5, 7), 3.0f);
    EXPECT_FLOAT_EQ(bilerp(0.5f, 0.5f, 2, 3, 5, 7), 4.25f);
    EXPECT_EQ(frac(2.75f), 0.75f);
    EXPECT_EQ(frac(-2.75f), 0.75f);
    EXPECT_EQ(frac(-1.25f), 0.25f);
    EXPECT_EQ(square(-3.0f), 9.0f);
}

TEST(ScalarOps, SortAscending) {
    double three[] = {3, 1, 2};
    sortAscending(3, three);
    EXPECT_EQ(three[0], 1);
    EXPECT_EQ(three[1], 2);
    EXPECT_EQ(three[2], 3);
    double one[] = {5, -1};
    sortAscending(1, one);
    EXPECT_EQ(one[0], 5);
    EXPECT_EQ(one[1], -1);
    double two[] = {2, -2};
    sortAscending(2, two);
    EXPECT_EQ(two[0], -2);
    double four[] = {4, -1, 3, 0.5};
    sortAscending(4, four);
    EXPECT_EQ(four[0], -1);
    EXPECT_EQ(four[1], 0.5);
    EXPECT_EQ(four[2], 3);
    EXPECT_EQ(four[3], 4);
    // Every permutation of three values comes out ordered.
    const double perms[6][3] = {{1, 2, 3}, {1, 3, 2}, {2, 1, 3}, {2, 3, 1}, {3, 1, 2}, {3, 2, 1}};
    for (const auto& p : perms) {
        double a[3] = {p[0], p[1], p[2]};
        sortAscending(3, a);
        EXPECT_TRUE(a[0] == 1 && a[1] == 2 && a[2] == 3);
    }
}

}  // namespace
}  // namespace lumo
