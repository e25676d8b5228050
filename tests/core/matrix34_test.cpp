#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/matrix34.h"

namespace lumo {
namespace {

Matrix34 identity() {
    Matrix34 m;
    setIdentity(m);
    return m;
}

void expectNear(const Vec3& v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

TEST(Matrix34Ops, IdentityTranslateAndRotations) {
    Matrix34 m = identity();
    expectNear(transformPoint({1.5f, -2, 3}, m), 1.5f, -2, 3, 0);
    translateBy(m, 1, 2, 3);
    expectNear(transformPoint({0, 0, 0}, m), 1, 2, 3, 0);

    Matrix34 rz = identity();
    rotateZ(rz, 1.5707964f);
    expectNear(transformPoint({1, 0, 0}, rz), 0, 1, 0);
    Matrix34 rx = identity();
    rotateX(rx, 1.5707964f);
    expectNear(transformPoint({0, 1, 0}, rx), 0, 0, -1);
    Matrix34 ry = identity();
    rotateY(ry, 1.5707964f);
    expectNear(transformPoint({1, 0, 0}, ry), 0, 0, 1);
}

TEST(Matrix34Ops, StepsApplyInCallOrder) {
    Matrix34 a = identity();
    scaleBy(a, 2, 2, 2);
    translateBy(a, 1, 0, 0);
    expectNear(transformPoint({1, 0, 0}, a), 3, 0, 0, 0);
    Matrix34 b = identity();
    translateBy(b, 1, 0, 0);
    scaleBy(b, 2, 2, 2);  // also scales the translation
    expectNear(transformPoint({1, 0, 0}, b), 4, 0, 0, 0);
    // Translate, then rotate about the origin: the translation turns too.
    Matrix34 c = identity();
    translateBy(c, 1, 0, 0);
    rotateZ(c, 1.5707964f);
    expectNear(transformPoint({0, 0, 0}, c), 0, 1, 0);
}

TEST(Matrix34Ops, MultiplyComposesLeftThenRight) {
    Matrix34 a = identity();
    scaleBy(a, 2, 3, 4);
    translateBy(a, 1, 1, 1);
    Matrix34 b = identity();
    rotateZ(b, 0.7f);
    translateBy(b, -2, 5, 0.5f);
    const Matrix34 c = multiply(a, b);
    for (const Vec3& p : {Vec3{1, 2, 3}, Vec3{-0.5f, 0, 7}}) {
        const Vec3 expected = transformPoint(transformPoint(p, a), b);
        const Vec3 got = transformPoint(p, c);
        expectNear(got, expected.x, expected.y, expected.z, 1e-5f);
    }
}

// The placements the demo scenes and their animation build.
std::vector<Matrix34> placements() {
    std::vector<Matrix34> out;
    Matrix34 m = identity();
    scaleBy(m, 1.5f, 1.5f, 1.5f);
    rotateX(m, 0.78539f);
    rotateY(m, 0.61548f);
    rotateZ(m, -2.1f);
    translateBy(m, 0, 0, 1.3f);
    out.push_back(m);
    m = identity();
    scaleBy(m, 0.25f, 0.25f, 1.5f);
    rotateX(m, kHalfPi);
    rotateZ(m, -0.5f);
    translateBy(m, 1, -1.2f, 0.25f);
    out.push_back(m);
    m = identity();
    scaleBy(m, 0.45f, 0.45f, 2);
    translateBy(m, -1.3f, 0, 0);
    out.push_back(m);
    m = identity();
    rotateX(m, 0.7853982f);
    translateBy(m, 0, 0, 1.2071f);
    rotateZ(m, -4.0f);
    out.push_back(m);
    m = identity();
    scaleBy(m, 0.75f, 0.75f, 1.0f);
    rotateX(m, 0.3f);
    translateBy(m, 0, 0.75f * 0.3f, 0.75f);
    rotateZ(m, -1.0f);
    out.push_back(m);
    m = identity();
    scaleBy(m, 0.884f, 0.884f, 1.85f);
    rotateZ(m, -1.274f);
    translateBy(m, 0.471f, -0.375f, 0.925f);
    out.push_back(m);
    m = identity();
    translateBy(m, 2, -1, 0);
    rotateZ(m, -1.3f);
    rotateY(m, -0.3f);
    translateBy(m, 0, 0, 3);
    out.push_back(m);
    return out;
}

TEST(Matrix34Ops, InverseRoundTripsForScenePlacements) {
    for (const Matrix34& m : placements()) {
        const Matrix34 inv = inverse(m);
        for (const Matrix34& round : {multiply(m, inv), multiply(inv, m)}) {
            for (const Vec3& p : {Vec3{0, 0, 0}, Vec3{1, -2, 0.5f}, Vec3{-1.5f, 1.5f, 3}}) {
                const Vec3 q = transformPoint(p, round);
                expectNear(q, p.x, p.y, p.z, 2e-5f);
            }
        }
    }
}

TEST(Matrix34Ops, InversePivotsAroundAZeroDiagonal) {
    // A pure axis swap has zeros on the diagonal; the pivot search must take the other rows.
    Matrix34 m = identity();
    rotateZ(m, 1.5707964f);  // (1,0,0) -> (0,1,0): m0 ~ 0
    m.m[0] = 0.0f;
    m.m[4] = 0.0f;
    translateBy(m, 3, -4, 5);
    const Matrix34 inv = inverse(m);
    expectNear(transformPoint(transformPoint({1, 2, 3}, m), inv), 1, 2, 3);
    // Scale of 4: the float-rounded reciprocal is exact.
    Matrix34 s = identity();
    scaleBy(s, 4, 0.5f, 8);
    translateBy(s, 2, 2, 2);
    const Matrix34 si = inverse(s);
    EXPECT_EQ(si.m[0], 0.25f);
    EXPECT_EQ(si.m[4], 2.0f);
    EXPECT_EQ(si.m[8], 0.125f);
    EXPECT_EQ(si.m[9], -0.5f);
    EXPECT_EQ(si.m[10], -4.0f);
    EXPECT_EQ(si.m[11], -0.25f);
}

TEST(Matrix34Ops, NormalMatrix) {
    // Of a pure rotation: the rotation itself with zero translation.
    Matrix34 r = identity();
    rotateX(r, 0.4f);
    rotateY(r, -1.1f);
    rotateZ(r, 2.5f);
    Matrix34 placed = r;
    translateBy(placed, 5, 6, 7);
    const Matrix34 n = normalMatrix(placed);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(n.m[i], r.m[i], 1e-6f) << i;
    EXPECT_EQ(n.m[9], 0.0f);
    EXPECT_EQ(n.m[10], 0.0f);
    EXPECT_EQ(n.m[11], 0.0f);
    // Of a scale: the inverse scale, so a tangent stays perpendicular to the mapped normal.
    Matrix34 s = identity();
    scaleBy(s, 2, 1, 0.5f);
    rotateZ(s, 0.3f);
    const Matrix34 ns = normalMatrix(s);
    const Vec3 tangent = transformDirection({1, -1, 0}, s);
    const Vec3 normal = transformDirection({1, 1, 0}, ns);
    EXPECT_NEAR(dot(tangent, normal), 0.0, 1e-6);
}

}  // namespace
}  // namespace lumo
