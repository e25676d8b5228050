#include "simd/camera_packets.h"

#include "intersect/intersect.h"
#include "intersect/planar.h"

namespace lumo {

extern const CameraPacketKernel kCameraPacketSse41;
extern const CameraPacketKernel kCameraPacketAvx2;
extern const CameraPacketKernel kCameraPacketAvx512;

CameraPacketKernel cameraPacketKernel(Isa isa) {
    switch (isa) {
        case kIsaSse: return kCameraPacketSse41;
        case kIsaAvx2: return kCameraPacketAvx2;
        case kIsaAvx512: return kCameraPacketAvx512;
        default: return nullptr;
    }
}

void intersectCameraForm(const SceneObject& object, const EyeCache& cache, const Vec3& eye, const Vec3& direction,
                         HitRecord& out) {
    intersectCamera(object, cache, eye, direction, out);
}

namespace {

PacketShape packetShape(const SceneObject& o, const EyeCache& cache) {
    PacketShape s;
    s.object = &o;
    s.cache = &cache;
    switch (o.type) {
        case kSphere:
            s.kind = kPacketSphere;
            s.p[0] = cache.offset.x, s.p[1] = cache.offset.y, s.p[2] = cache.offset.z;
            s.term = cache.term;
            break;
        case kTriangle:
        case kParallelogram: {
            const PlanarPatch& p = o.patch;
            s.kind = o.type == kTriangle ? kPacketTriangle : kPacketParallelogram;
            s.oneSided = (o.flags & kOneSided) ? 1u : 0u;
            s.n[0] = p.normal.x, s.n[1] = p.normal.y, s.n[2] = p.normal.z;
            s.term = cache.term;
            s.p[0] = p.origin.x, s.p[1] = p.origin.y, s.p[2] = p.origin.z;
            const int i = kSolveAxisI[p.solveCase], j = kSolveAxisJ[p.solveCase];
            s.axisI = static_cast<uint32_t>(i);
            s.axisJ = static_cast<uint32_t>(j);
            s.edge[0] = isect::axisComponent(p.edgeA, i);
            s.edge[1] = isect::axisComponent(p.edgeA, j);
            s.edge[2] = isect::axisComponent(p.edgeB, i);
            s.inverseDeterminant = p.inverseDeterminant;
            break;
        }
        case kDisc: {
            const Disc& d = o.disc;
            s.kind = kPacketDisc;
            s.n[0] = d.normal.x, s.n[1] = d.normal.y, s.n[2] = d.normal.z;
            s.term = cache.term;
            s.p[0] = d.centre.x, s.p[1] = d.centre.y, s.p[2] = d.centre.z;
            s.radii[0] = d.outerRadiusSquared;
            s.radii[1] = d.innerRadiusSquared;
            break;
        }
        default: s.kind = kPacketOther; break;
    }
    return s;
}

}  // namespace

void buildPacketShapes(CameraPacketScene& scene, const ObjectNode* leafObjects, const SceneObject* freeObject,
                       const EyeCache* caches) {
    scene.shapes.clear();
    // Objects hidden from the camera are a miss for every camera ray: they are left out.
    const auto add = [&](const SceneObject& o) {
        if (!(o.flags & kHiddenFromCamera)) scene.shapes.push_back(packetShape(o, caches[o.index]));
    };
    if (freeObject) add(*freeObject);
    scene.frame.firstIsFree = !scene.shapes.empty();
    for (const ObjectNode* n = leafObjects; n; n = n->next) add(*n->object);
    scene.frame.shapes = scene.shapes.data();
    scene.frame.shapeCount = static_cast<int>(scene.shapes.size());
}

}  // namespace lumo
