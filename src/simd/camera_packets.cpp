#include "simd/camera_packets.h"

#include "intersect/intersect.h"
#include "intersect/planar.h"
#include "intersect/bvh_ray.h"
#include "intersect/bvh_walk.h"

namespace lumo {

extern const PacketKernels kPacketKernelsSse41;
extern const PacketKernels kPacketKernelsAvx2;
extern const PacketKernels kPacketKernelsAvx512;

PacketKernels packetKernels(Isa isa) {
    switch (isa) {
        case kIsaSse: return kPacketKernelsSse41;
        case kIsaAvx2: return kPacketKernelsAvx2;
        case kIsaAvx512: return kPacketKernelsAvx512;
        default: return {};
    }
}

void intersectCameraForm(const SceneObject& object, const EyeCache& cache, const Vec3& eye, const Vec3& direction,
                         HitRecord& out) {
    intersectCamera(object, cache, eye, direction, out);
}

void intersectBlockerForm(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    intersectBlocker(object, origin, direction, out);
}

void intersectNearerForm(const SceneObject& object, const Vec3& origin, const Vec3& direction, float limit,
                         HitRecord& out) {
    intersectNearer(object, origin, direction, limit, out);
}

TriangleHit meshTriangleHitForm(const MeshStore& meshes, uint32_t t, const Vec3& origin, const Vec3& direction) {
    const uint32_t* i = meshes.triangle(t);
    return intersectWatertight(shearRay(origin, direction), meshes.positions[i[0]], meshes.positions[i[1]],
                               meshes.positions[i[2]]);
}

BvhRay bvhRayForm(const Vec3& origin, const Vec3& direction) { return bvhRay(origin, direction); }

void cameraWalkFrom(const Scene& scene, const BvhRay& ray, BvhRef at, HitRecord& nearest) {
    BvhNearestVisitor<true> v{scene, ray, nearest, nullptr};
    walkBvh<true>(scene.bvh.nodes.data(), ray, at, v);
}

float occlusionWalkFrom(const Scene& scene, const BvhRay& ray, BvhRef at, float maxDistance,
                        const SceneObject* skipObject, const SceneObject* excludeObject) {
    BvhOcclusionVisitor v{scene, ray, maxDistance, skipObject, excludeObject};
    walkBvh<true>(scene.bvh.nodes.data(), ray, at, v);
    return v.blocker;
}

namespace {

// Camera form when `camera`, else general form (see PacketShape).
PacketShape packetShape(const SceneObject& o, const EyeCache& cache, bool camera) {
    PacketShape s;
    s.object = &o;
    s.cache = &cache;
    s.index = static_cast<float>(o.index);
    switch (o.type) {
        case kSphere:
            s.kind = kPacketSphere;
            if (camera) {
                s.p[0] = cache.offset.x, s.p[1] = cache.offset.y, s.p[2] = cache.offset.z;
                s.term = cache.term;
            } else {
                s.p[0] = o.sphere.centre.x, s.p[1] = o.sphere.centre.y, s.p[2] = o.sphere.centre.z;
                s.radii[0] = o.sphere.radiusSquared;
            }
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
        case kRevolved:  // tested per lane by the scalar routine
        case kTorus:
        case kSphereSection:
        case kParaboloid:
        case kEllipsoidSection:
        case kDiscSector:
        case kMeshFaces: s.kind = kPacketOther; break;
    }
    return s;
}

}  // namespace

void buildPacketShapes(CameraPacketScene& packets, const Scene& scene, const EyeCache* caches) {
    const size_t n = scene.objectCount();
    packets.shapes.resize(n);
    packets.blockers.resize(n);
    packets.blockerEntries = 0;
    packets.shadowsTested = false;
    const SceneObject* lightObject = scene.firstLight()->object;
    for (size_t i = 0; i < n; ++i) {
        const SceneObject& o = scene.object(static_cast<uint32_t>(i));
        PacketShape& camera = packets.shapes[i];
        camera = packetShape(o, caches[i], true);
        // Objects hidden from the camera are a miss for every camera ray.
        if (o.flags & kHiddenFromCamera) camera.kind = kPacketNone;
        PacketShape& blocker = packets.blockers[i];
        blocker = packetShape(o, caches[i], false);
        const bool casts = !(o.flags & kNoShadowCast) && &o != lightObject;
        if (!casts) blocker.kind = kPacketNone;
        if (o.leafCount == 0) continue;
        packets.shadowsTested = packets.shadowsTested || !(o.flags & kNoShadowTest);
        if (casts) packets.blockerEntries += o.leafCount;
    }
    CameraPacketFrame& f = packets.frame;
    const SceneObject* free = scene.freeObject;
    f.freeShape = free && !(free->flags & kHiddenFromCamera) ? static_cast<int32_t>(free->index) : -1;
    f.nodes = scene.tree.nodes.data();
    f.objectIndices = scene.tree.objectIndices.data();
    f.shapes = packets.shapes.data();
    f.blockers = packets.blockers.data();
}

}  // namespace lumo
