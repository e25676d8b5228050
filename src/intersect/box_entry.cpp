#include "intersect/box_entry.h"

namespace lumo {

CameraBoxCache classifyEye(const Box& box, const Vec3& eye) {
    CameraBoxCache c;
    c.eyeInside = true;
    for (int a = 0; a < 3; ++a) {
        const float o = axisValue(eye, a);
        if (o < axisValue(box.min, a)) {
            c.outside[a] = true;
            c.plane[a] = axisValue(box.min, a);
        } else if (o > axisValue(box.max, a)) {
            c.outside[a] = true;
            c.plane[a] = axisValue(box.max, a);
        } else {
            c.outside[a] = false;
            c.plane[a] = 0.0f;
        }
        c.eyeInside = c.eyeInside && !c.outside[a];
    }
    return c;
}

}  // namespace lumo
