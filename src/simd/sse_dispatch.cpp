#include "simd/sse_dispatch.h"

namespace lumo {

void intersectPrimarySse(PrimaryRay& ray, const SceneObject& object, const CameraEye& view) {
    sse::intersectPrimaryAt(ray, object, view);
}

void intersectGeneralSse(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    sse::intersectGeneralAt(object, origin, direction, out);
}

}  // namespace lumo
