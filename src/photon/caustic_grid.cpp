#include "photon/caustic_grid.h"

#include <cmath>

namespace lumo {

CausticFrame makeCausticFrame(const Vec3& lightPosition, int causticPhotonCount) {
    CausticFrame f;
    f.axis = normalize(sub(kCausticTarget, lightPosition));
    if (f.axis.x == 0.0f) {
        f.sideU = {-1.0f, 0.0f, 0.0f};  // perpendicular to any axis in the yz plane, the vertical one included
    } else {
        const Vec3 z{0.0f, 0.0f, 1.0f};
        f.sideU = normalize(sub(z, scale(static_cast<float>(dot(z, f.axis)), f.axis)));
    }
    f.sideV = cross(f.axis, f.sideU);
    f.step = 0.3f / std::sqrt(static_cast<float>(causticPhotonCount));
    return f;
}

CausticGridRange causticGridRange(int threadCount, int k) {
    constexpr float lo = -0.15f;
    constexpr float hi = 0.15f;
    const CausticGridRange lowHalf{lo, 0.0f, false, lo, hi, true};
    const CausticGridRange highHalf{0.0f, hi, true, lo, hi, true};
    if (threadCount == 2) return k == 0 ? lowHalf : highHalf;
    if (threadCount == 4) {
        CausticGridRange r = (k < 2) ? lowHalf : highHalf;
        if (k % 2 == 0) {
            r.bTo = 0.0f;
            r.bToInclusive = false;
        } else {
            r.bFrom = 0.0f;
        }
        return r;
    }
    return {lo, hi, true, lo, hi, true};
}

}  // namespace lumo
