#include "simd/camera_packets.h"

#include "intersect/intersect.h"
#include "intersect/planar.h"

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
        case kDiscSector: s.kind = kPacketOther; break;
    }
    return s;
}

}  // namespace

namespace {

// Copies the tree under `node` into scene.nodes at `index`, the leaves' shapes into scene.shapes.
// False when it passes the size or depth limit.
bool copyTree(CameraPacketScene& scene, const KdNode* node, size_t index, int depth, const EyeCache* caches,
              const SceneObject* lightObject) {
    if (depth > kMaxPacketTreeDepth) return false;
    PacketNode n;
    if (node->axis == 0) {
        n.below = static_cast<int32_t>(scene.shapes.size());
        n.firstBlocker = static_cast<int32_t>(scene.blockers.size());
        for (const ObjectNode* on = node->objects(); on; on = on->next) {
            const SceneObject& o = *on->object;
            if (scene.shapes.size() + scene.blockers.size() >= static_cast<size_t>(kMaxPacketTreeShapes)) return false;
            // Objects hidden from the camera are a miss for every camera ray: they are left out.
            if (!(o.flags & kHiddenFromCamera)) scene.shapes.push_back(packetShape(o, caches[o.index], true));
            scene.shadowsTested = scene.shadowsTested || !(o.flags & kNoShadowTest);
            if (!(o.flags & kNoShadowCast) && &o != lightObject)
                scene.blockers.push_back(packetShape(o, caches[o.index], false));
        }
        n.above = static_cast<int32_t>(scene.shapes.size()) - n.below;
        n.blockerCount = static_cast<int32_t>(scene.blockers.size()) - n.firstBlocker;
    } else if (node->axis >= 1 && node->axis <= 3) {
        n.axis = node->axis;
        n.split = node->split;
        n.below = static_cast<int32_t>(scene.nodes.size());
        n.above = n.below + 1;
        scene.nodes.resize(scene.nodes.size() + 2);
        if (!copyTree(scene, node->belowChild(), static_cast<size_t>(n.below), depth + 1, caches, lightObject) ||
            !copyTree(scene, node->above, static_cast<size_t>(n.above), depth + 1, caches, lightObject))
            return false;
    }  // any other axis: a leaf without shapes, as the scalar walk treats it
    scene.nodes[index] = n;
    return true;
}

}  // namespace

void buildPacketShapes(CameraPacketScene& scene, const KdNode* root, const SceneObject* freeObject,
                       const EyeCache* caches, const SceneObject* lightObject) {
    scene.shapes.clear();
    scene.nodes.clear();
    scene.blockers.clear();
    scene.shadowsTested = false;
    if (freeObject && !(freeObject->flags & kHiddenFromCamera))
        scene.shapes.push_back(packetShape(*freeObject, caches[freeObject->index], true));
    scene.frame.firstIsFree = !scene.shapes.empty();
    scene.nodes.resize(1);
    scene.usable = root && copyTree(scene, root, 0, 0, caches, lightObject);
    scene.frame.shapes = scene.shapes.data();
    scene.frame.shapeCount = static_cast<int>(scene.shapes.size());
    scene.frame.nodes = scene.nodes.data();
    scene.frame.blockers = scene.blockers.data();
}

}  // namespace lumo
