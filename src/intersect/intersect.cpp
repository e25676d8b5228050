#include "intersect/intersect.h"

namespace lumo {

void refreshCameraCache(const SceneObject& object, const Vec3& eye, EyeCache& cache) {
    cache = EyeCache{{0.0f, 0.0f, 0.0f}, 0.0f};
    switch (object.type) {
        case kTriangle:
        case kParallelogram: refreshPatchCache(object, eye, cache); break;
        case kSphere: refreshSphereCache(object, eye, cache); break;
        case kRevolved: refreshRevolvedCache(object, eye, cache); break;
        case kDisc: refreshDiscCache(object, eye, cache); break;
        case kTorus:  // the other shapes keep no eye cache
        case kSphereSection:
        case kParaboloid:
        case kEllipsoidSection:
        case kDiscSector:
        case kMeshFaces: break;
    }
}

}  // namespace lumo
