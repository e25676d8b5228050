// Rays in packets of 4, 8 or 16 lanes: camera rays of neighbouring samples, and the shadow rays from
// their hits toward the light. The kernels compute for every lane exactly what the scalar walks
// compute (same operations in the same order, no fused multiply-adds): the camera kernel the nearest
// object and its distance, after which the caller fills the winner's hit record with the scalar
// routine; the occlusion kernel whether something blocks the shadow ray.
//
// Camera packets walk the scene's flat tree as the scalar camera walk does, lane by lane: each lane
// visits the leaves its ray would visit, in the same order, and stops where its ray would stop. Every
// object has a compact record per frame, indexed like the scene's objects, that the leaves' object
// indices lead to (leaf order decides ties and which blocker is met first): spheres, triangles,
// parallelograms and discs with their data, every other shape tested per lane by the scalar routine.
// Shadow packets walk the tree likewise.
#pragma once

#include <cstdint>
#include <vector>

#include "core/isa.h"
#include "intersect/box_entry.h"
#include "intersect/bvh_ray.h"
#include "intersect/hit_record.h"
#include "intersect/watertight.h"
#include "scene/scene.h"
#include "simd/leaf_shapes.h"

namespace lumo {

inline constexpr int kMaxPacketLanes = 16;

enum PacketShapeKind : uint32_t {
    kPacketSphere,
    kPacketTriangle,
    kPacketParallelogram,
    kPacketDisc,
    kPacketOther,  // tested per lane by intersectCameraForm
    kPacketNone,   // a miss for every lane: hidden from the camera, or (shadow form) casting no shadow
};

// One object of the leaf as the kernels read it. Camera form, sphere: p = eye offset, term. General
// form (shadow rays), sphere: p = centre, radii[0] = r^2. Triangle and parallelogram: n = normal,
// term = plane distance from the eye (camera form), p = corner, edge = (edgeA_i, edgeA_j, edgeB_i)
// of its solve axes i, j, plus 1 / determinant. Disc: n, term (camera form), p = centre,
// radii = (outer^2, inner^2).
struct PacketShape {
    uint32_t kind = kPacketOther;
    uint32_t oneSided = 0;
    uint32_t axisI = 0, axisJ = 0;
    float n[3] = {0, 0, 0};
    float term = 0;
    float p[3] = {0, 0, 0};
    float edge[3] = {0, 0, 0};
    float inverseDeterminant = 0;
    float radii[2] = {0, 0};
    float index = -1;  // the object's index, for the shadow rays' own-surface test
    const SceneObject* object = nullptr;
    const EyeCache* cache = nullptr;  // camera form
};

// What a frame's packets read: the eye, the ray frame, the eye against the scene box, the scene's flat
// tree (nodes[0] is the root) and every object's record by object index, in camera form (`shapes`)
// and general form (`blockers`, kPacketNone for the objects that cast no shadow and the light's own
// geometry). Plain data: the kernels read nothing else.
struct CameraPacketFrame {
    Vec3 eye{};
    Vec3 cameraCorner{}, rowStep{}, columnStep{};
    CameraBoxCache box;
    Box bounds;
    const AccelNode* nodes = nullptr;
    const uint32_t* objectIndices = nullptr;
    const PacketShape* shapes = nullptr;
    const PacketShape* blockers = nullptr;
    int32_t freeShape = -1;  // the scene's free object's index, tested before the box; -1 none
    // A scene with a BVH walks it instead (bvhNodes set; shapes and blockers unused): its leaves'
    // objects and mesh triangles, the objects by index, the free object with its eye cache, and the
    // light's own geometry (never a blocker).
    const BvhNode* bvhNodes = nullptr;
    const uint32_t* bvhObjects = nullptr;
    const MeshStore* meshes = nullptr;
    const Scene* scene = nullptr;  // for the lanes that finish a walk as single rays
    SceneObject* const* objectTable = nullptr;
    const SceneObject* freeObject = nullptr;
    const EyeCache* freeCache = nullptr;
    const SceneObject* lightObject = nullptr;
};

// A frame's packet data: the records of the scene's objects for the current eye.
struct CameraPacketScene {
    CameraPacketFrame frame;
    std::vector<PacketShape> shapes;
    std::vector<PacketShape> blockers;
    size_t blockerEntries = 0;   // leaf entries over the whole tree of objects that cast shadows
    bool shadowsTested = false;  // some object of the tree is shaded with shadows (no kNoShadowTest)
};

// Shadow rays of a packet, per lane: origin, unit direction, how far they reach (blockers beyond are
// ignored) and the index of the surface they leave (its hits closer than 0.0001 are ignored), -1 none.
struct ShadowPacket {
    alignas(64) float origin[3][kMaxPacketLanes];
    alignas(64) float target[3][kMaxPacketLanes];  // the point each ray heads for (see ShadowRaysKernel)
    alignas(64) float direction[3][kMaxPacketLanes];
    alignas(64) float maxDistance[kMaxPacketLanes];
    alignas(64) float exclude[kMaxPacketLanes];
};

// One packet's result per lane: the unit direction, and the winner's index into shapes (-1: none)
// with its distance. A lane is a camera hit when shape >= 0 and distance > 0.
struct PacketHits {
    alignas(64) float direction[3][kMaxPacketLanes];
    alignas(64) float distance[kMaxPacketLanes];
    alignas(64) int32_t shape[kMaxPacketLanes];
    // Where the winner has no packet form: the record its scalar test left, so the caller need not
    // test it again (bit k of `recorded`).
    unsigned recorded = 0;
    HitRecord records[kMaxPacketLanes];
};

// Traces the lanes at (row, column[k]) for k below the kernel's lane count.
using CameraPacketKernel = void (*)(const CameraPacketFrame& frame, float row, const float* column, PacketHits& out);

// Bit k set when lane k (of those set in `lanes`) is blocked: the first blocker the lane's walk of
// the frame's tree meets (in leaf order within a leaf) that is not the surface itself within 0.0001,
// not beyond maxDistance and not behind the origin lies at a positive distance, as the scalar
// occlusion walk decides.
using OcclusionPacketKernel = unsigned (*)(const CameraPacketFrame& frame, const ShadowPacket& rays, unsigned lanes);

// The first light's terms of Phong shading for a packet's hits, per lane, from the completed hit
// point and unit normal, computed as the scalar shader computes them: the unit directions to the eye's
// hit (p - eye) and to the light (light - p), the light's distance, the cosine c = l . n and the
// highlight max(0, -(r . eyeward)) with r = normalize(2c n - l).
struct PhongPacket {
    alignas(64) float point[3][kMaxPacketLanes];
    alignas(64) float normal[3][kMaxPacketLanes];
    alignas(64) float eyeward[3][kMaxPacketLanes];
    alignas(64) float toLight[3][kMaxPacketLanes];
    alignas(64) float lightDistance[kMaxPacketLanes];
    alignas(64) float cosine[kMaxPacketLanes];
    alignas(64) float highlight[kMaxPacketLanes];
};

using PhongPacketKernel = void (*)(const Vec3& eye, const Vec3& light, PhongPacket& packet);

// Fills every lane's direction and maxDistance for a shadow ray from its origin toward its target:
// the unit direction and 0.999 times the distance, as the shadow query makes them. Bit k set where
// lane k's ray reaches a positive distance.
using ShadowRaysKernel = unsigned (*)(ShadowPacket& rays);

struct PacketKernels {
    CameraPacketKernel camera = nullptr;
    OcclusionPacketKernel occlusion = nullptr;
    PhongPacketKernel phong = nullptr;
    ShadowRaysKernel shadowRays = nullptr;
    int lanes = 1;
    LeafKernel leaf = nullptr;  // one ray against a leaf's shapes, a shape per lane
    LeafOcclusionKernel leafOcclusion = nullptr;
};

// The kernels of a level; empty (null, 1 lane) for kIsaScalar. Call only with a level the processor
// runs (see processorIsa).
PacketKernels packetKernels(Isa isa);
// The camera kernel alone.
inline CameraPacketKernel cameraPacketKernel(Isa isa) { return packetKernels(isa).camera; }

// Fills packets.shapes, .blockers, .blockerEntries, .shadowsTested and the frame's tree and shape
// fields from the scene (its tree, free object and light) and `caches`, indexed like the scene's
// objects. The caller fills the rest of the frame.
void buildPacketShapes(CameraPacketScene& packets, const Scene& scene, const EyeCache* caches);

// The scalar camera-form test of one object (used per lane for shapes without a packet form and to
// fill the winner's hit record). Out of line on purpose: the kernels are built for wider
// instruction sets and must not carry their own copies of the scalar routines.
void intersectCameraForm(const SceneObject& object, const EyeCache& cache, const Vec3& eye, const Vec3& direction,
                         HitRecord& out);
// The scalar general-form test of a shadow ray's blocker, likewise.
void intersectBlockerForm(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out);
// The scalar nearest-hit test with a best hit at `limit` (see intersectNearer), likewise.
void intersectNearerForm(const SceneObject& object, const Vec3& origin, const Vec3& direction, float limit,
                         HitRecord& out);

// The watertight test of mesh triangle t by the scalar routine (where an edge function is zero).
TriangleHit meshTriangleHitForm(const MeshStore& meshes, uint32_t t, const Vec3& origin, const Vec3& direction);
// The single-ray BVH walks from a child slot `at` on, likewise built for the base level: a camera
// ray's nearest hit, updating `nearest`; a shadow ray's first blocker (-1: none), with the rules of
// the scalar occlusion walk. And the ray they take.
BvhRay bvhRayForm(const Vec3& origin, const Vec3& direction);
void cameraWalkFrom(const Scene& scene, const BvhRay& ray, BvhRef at, HitRecord& nearest);
float occlusionWalkFrom(const Scene& scene, const BvhRay& ray, BvhRef at, float maxDistance,
                        const SceneObject* skipObject, const SceneObject* excludeObject);

}  // namespace lumo
