// Camera rays in packets of 4, 8 or 16 neighbouring samples: the kernels, their input and their
// output. The kernels find, for every lane, the nearest object and its distance exactly as the
// scalar camera walk does (same operations in the same order, no fused multiply-adds); the caller
// then fills the hit record of the winner with the scalar routine and shades it.
//
// They run where the scene's tree is a single leaf: the leaf's objects become compact records in
// leaf order (the order decides ties), spheres, triangles, parallelograms and discs with their
// camera-form data, every other shape tested per lane by the scalar routine.
#pragma once

#include <cstdint>
#include <vector>

#include "core/isa.h"
#include "intersect/box_entry.h"
#include "intersect/hit_record.h"

namespace lumo {

inline constexpr int kMaxPacketLanes = 16;

enum PacketShapeKind : uint32_t {
    kPacketSphere,
    kPacketTriangle,
    kPacketParallelogram,
    kPacketDisc,
    kPacketOther,  // tested per lane by intersectCameraForm
};

// One object of the leaf as the kernels read it. Sphere: p = eye offset, term. Triangle and
// parallelogram: n = normal, term = plane distance from the eye, p = corner, edge = (edgeA_i,
// edgeA_j, edgeB_i) of its solve axes i, j, plus 1 / determinant. Disc: n, term, p = centre,
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
    const SceneObject* object = nullptr;
    const EyeCache* cache = nullptr;
};

// What a frame's camera packets read: the eye, the ray frame, the eye against the scene box and the
// leaf's shapes. Plain data: the kernels read nothing else.
struct CameraPacketFrame {
    Vec3 eye{};
    Vec3 cameraCorner{}, rowStep{}, columnStep{};
    CameraBoxCache box;
    Box bounds;
    const PacketShape* shapes = nullptr;
    int shapeCount = 0;
    bool firstIsFree = false;  // shapes[0] is the scene's free object, tested before the box
};

// A frame's packet data. `usable` is false where the tree has more than one leaf; camera rays then
// stay scalar.
struct CameraPacketScene {
    bool usable = false;
    CameraPacketFrame frame;
    std::vector<PacketShape> shapes;
};

// One packet's result per lane: the unit direction, and the winner's index into shapes (-1: none)
// with its distance. A lane is a camera hit when shape >= 0 and distance > 0.
struct PacketHits {
    alignas(64) float direction[3][kMaxPacketLanes];
    alignas(64) float distance[kMaxPacketLanes];
    alignas(64) int32_t shape[kMaxPacketLanes];
};

// Traces the lanes at (row, column[k]) for k below the kernel's lane count.
using CameraPacketKernel = void (*)(const CameraPacketFrame& frame, float row, const float* column, PacketHits& out);

// The kernel of a level and its lane count; null / 1 for kIsaScalar (and for a level the build
// lacks). Call only with a level the processor runs (see processorIsa).
CameraPacketKernel cameraPacketKernel(Isa isa);

// Fills scene.shapes and the frame's shape fields from the free object (may be null) and the objects
// of the single leaf `leafObjects`; `caches` indexed like the scene's objects. The caller fills the
// rest of the frame.
void buildPacketShapes(CameraPacketScene& scene, const ObjectNode* leafObjects, const SceneObject* freeObject,
                       const EyeCache* caches);

// The scalar camera-form test of one object (used per lane for shapes without a packet form and to
// fill the winner's hit record). Out of line on purpose: the kernels are built for wider
// instruction sets and must not carry their own copies of the scalar routines.
void intersectCameraForm(const SceneObject& object, const EyeCache& cache, const Vec3& eye, const Vec3& direction,
                         HitRecord& out);

}  // namespace lumo
