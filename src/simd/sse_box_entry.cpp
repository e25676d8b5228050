#include "simd/sse_box_entry.h"

#include "scene/world.h"

namespace lumo {

void refreshCameraBoxCacheSse() {
    CameraBoxCache& c = cameraBoxCache;
    const Vec3& eye = camera().eyePosition;
    const Box& box = currentScene().bounds;
    c.eyeInside = true;
    for (int a = 0; a < 3; ++a) {
        const float o = axisValue(eye, a);
        if (o >= axisValue(box.max, a)) {
            c.outside[a] = true;
            c.plane[a] = axisValue(box.max, a);
        } else if (o < axisValue(box.min, a)) {
            c.outside[a] = true;
            c.plane[a] = axisValue(box.min, a);
        } else {
            c.outside[a] = false;
            c.plane[a] = 0.0f;
        }
        c.eyeInside = c.eyeInside && !c.outside[a];
    }
    c.stamp = world().frameStamp;
}

}  // namespace lumo
