#include "simd/sse_dispatch.h"

namespace lumo {

void intersectPrimarySse(PrimaryRay& ray, SceneObject& object) {
    const World& w = world();
    sse::intersectPrimaryAt(ray, object, w.camera.eyePosition, w.frameStamp);
}

void intersectGeneralSse(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    sse::intersectGeneralAt(object, origin, direction, out);
}

void cameraLeafSse(PrimaryRay& ray, const ObjectNode* list) {
    const World& w = world();
    const Vec3& eye = w.camera.eyePosition;
    const uint16_t frameStamp = w.frameStamp;
    for (const ObjectNode* n = list; n; n = n->next) {
        sse::intersectPrimaryAt(ray, *n->object, eye, frameStamp);
        const float t = ray.candidate.distance;
        if (t >= 0.0f && (ray.nearest.distance < 0.0f || t < ray.nearest.distance)) {
            ray.candidate.object = n->object;
            ray.nearest = ray.candidate;
        }
    }
}

void generalLeafSse(const ObjectNode* list, const Vec3& origin, const Vec3& direction, HitRecord& nearest,
                    const SceneObject* skipObject, const SceneObject* excludeObject, float maxDistance) {
    const bool shadowRay = maxDistance != 0.0f;
    HitRecord scratch{};
    for (const ObjectNode* n = list; n; n = n->next) {
        SceneObject* object = n->object;
        if (shadowRay && ((object->flags & kNoShadowCast) || object == skipObject)) continue;
        sse::intersectGeneralAt(*object, origin, direction, scratch);
        const float t = scratch.distance;
        if (object == excludeObject && t < 0.0001f) continue;
        if (shadowRay && t > maxDistance) continue;
        if (t < 0.0f) continue;
        if (nearest.distance < 0.0f || t < nearest.distance) {
            scratch.object = object;
            nearest = scratch;
        }
        if (shadowRay) return;
    }
}

}  // namespace lumo
