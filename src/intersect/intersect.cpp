#include "intersect/intersect.h"

namespace lumo {

void refreshCameraCache(SceneObject& object) {
    const World& w = world();
    const Vec3& eye = w.camera.eyePosition;
    switch (object.type) {
        case kTriangle:
        case kParallelogram: refreshPatchCache(object, eye); break;
        case kSphere: refreshSphereCache(object, eye); break;
        case kRevolved: refreshRevolvedCache(object, eye); break;
        case kDisc: refreshDiscCache(object, eye); break;
        default: break;  // the other shapes keep no eye cache
    }
    object.primaryStamp = w.frameStamp;
}

}  // namespace lumo
