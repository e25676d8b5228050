#include "core/vec3.h"

#include <utility>

namespace lumo {

Vec3 perpendicular(const Vec3& v) {
    // Away from the z axis (-y, x, 0) is well conditioned; near it, switch to (z, 0, -x).
    if (std::fabs(v.x) >= 0.015625f || std::fabs(v.y) >= 0.015625f) return normalize({-v.y, v.x, 0.0f});
    return normalize({v.z, 0.0f, -v.x});
}

float polarAngle(float x, float y) {
    double a;
    if (std::fabs(static_cast<double>(x)) > 0.0001) {
        a = std::atan(static_cast<double>(y / x));
    } else {
        a = y < 0.0f ? kThreeHalfPi : kHalfPi;
    }
    if (x < -0.0001f) a += kPi;
    if (a < 0.0) a += kTwoPi;
    return static_cast<float>(a);
}

void sortAscending(int n, double* a) {
    auto order = [a](int i, int j) {
        if (!(a[j] >= a[i])) std::swap(a[i], a[j]);
    };
    switch (n) {
    case 0:
    case 1:
        return;
    case 2:
        order(0, 1);
        return;
    case 3:
        order(0, 1);
        order(1, 2);
        order(0, 1);
        return;
    default:
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) order(i, j);
    }
}

}  // namespace lumo
