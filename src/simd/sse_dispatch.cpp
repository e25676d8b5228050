#include "simd/sse_dispatch.h"

namespace lumo {

void intersectPrimarySse(PrimaryRay& ray, SceneObject& object) {
    const World& w = world();
    sse::intersectPrimaryAt(ray, object, w.camera.eyePosition, w.frameStamp);
}

void intersectGeneralSse(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    sse::intersectGeneralAt(object, origin, direction, out);
}

}  // namespace lumo
