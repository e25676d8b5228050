#include "trace/view.h"

#include <cmath>

#include "intersect/intersect.h"

namespace lumo {

RayFrame computeRayFrame(const Camera& camera, int width, int height) {
    RayFrame frame;
    if (width <= 0 || height <= 0) return frame;
    const Vec3 forward = normalize(sub(camera.lookAtPoint, camera.eyePosition));
    const float upAlongForward = static_cast<float>(dot(camera.upVector, forward));
    const Vec3 up = normalize(sub(camera.upVector, scale(upAlongForward, forward)));
    const Vec3 right = cross(forward, up);
    const float t = std::tan(camera.fieldOfView / 2.0f);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    float horizontal, vertical;
    if (width < height) {
        horizontal = t;
        vertical = t * h / w;
    } else {
        horizontal = t * w / h;
        vertical = t;
    }
    frame.cameraCorner = sub(sub(forward, scale(horizontal, right)), scale(vertical, up));
    frame.rowStep = scale(2.0f * vertical / h, up);
    frame.columnStep = scale(2.0f * horizontal / w, right);
    return frame;
}

namespace {

// What packets read of a scene with a BVH: the tree and the scene as it is, nothing per object.
void bvhPacketFrame(CameraPacketScene& packets, const Scene& scene, const EyeCache* caches) {
    packets.shapes.clear();
    packets.blockers.clear();
    packets.shadowsTested = false;
    for (const SceneObject& o : scene.objects)
        packets.shadowsTested = packets.shadowsTested || ((o.leafCount > 0 || o.type == kMeshFaces) && !(o.flags & kNoShadowTest));
    packets.blockerEntries = scene.bvh.objects.size() + scene.meshes.triangleCount();
    CameraPacketFrame& f = packets.frame;
    f.nodes = nullptr;
    f.objectIndices = nullptr;
    f.shapes = f.blockers = nullptr;
    f.freeShape = -1;
    f.bvhNodes = scene.bvh.nodes.data();
    f.bvhObjects = scene.bvh.objects.data();
    f.meshes = &scene.meshes;
    f.scene = &scene;
    f.objectTable = scene.objectTable.data();
    const SceneObject* free = scene.freeObject;
    f.freeObject = free && !(free->flags & kHiddenFromCamera) ? free : nullptr;
    f.freeCache = free ? &caches[free->index] : nullptr;
    f.lightObject = scene.firstLight()->object;
}

}  // namespace

void prepareView(View& view, const Scene& scene, int width, int height) {
    const Vec3& eye = view.camera.eyePosition;
    view.rayFrame = computeRayFrame(view.camera, width, height);
    view.eyeCaches.resize(scene.objectCount());
    for (const SceneObject& object : scene.objects) refreshCameraCache(object, eye, view.eyeCaches[object.index]);
    view.box = classifyEye(scene.bounds, eye);

    CameraPacketScene& packets = view.packets;
    CameraPacketFrame& f = packets.frame;
    if (scene.usesBvh)
        bvhPacketFrame(packets, scene, view.eyeCaches.data());
    else
        buildPacketShapes(packets, scene, view.eyeCaches.data());
    f.eye = eye;
    f.cameraCorner = view.rayFrame.cameraCorner;
    f.rowStep = view.rayFrame.rowStep;
    f.columnStep = view.rayFrame.columnStep;
    f.box = view.box;
    f.bounds = scene.bounds;
}

}  // namespace lumo
