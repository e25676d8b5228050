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

void causticGridRows(float step, std::vector<float>& rows) {
    rows.clear();
    for (float a = kCausticGridLow; a <= kCausticGridHigh; a += step) rows.push_back(a);
}

}  // namespace lumo
