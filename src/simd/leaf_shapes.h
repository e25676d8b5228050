// One ray against many objects of a leaf at once: the lanes are shapes. A copy of the scene's leaf in
// structure-of-arrays form (spheres, triangles and parallelograms, discs, in general form: any
// origin), tested by the kernel of an instruction-set level, the leaf's other objects by their scalar
// routines. The result is what the scalar leaf loop of the nearest-hit walk gives: the same winner,
// distance and hit record, the first object in leaf order winning a tie.
//
// Only a tree that is a single leaf gets the copy, rebuilt before every frame's rays start (the
// animation moves objects between frames); deeper trees keep the scalar walk.
#pragma once

#include <cstdint>
#include <vector>

#include "core/isa.h"
#include "intersect/hit_record.h"
#include "scene/scene.h"

namespace lumo {

// Leaves go in blocks of at most 8 lanes: leaves are small, and with 16 lanes the secondary rays of
// the Cube (7 patches) took 12% longer than with 8, the Cornell Box's (17) no less time.
inline constexpr int kMaxLeafLanes = 8;

// Floats per lane of a block, per kind. A block holds `lanes` shapes of one kind, field after field:
// block b, field f, lane k at [(b * fields + f) * lanes + k]. Shapes of a kind keep their leaf order.
//   sphere: centre x y z, r^2
//   patch: normal x y z, corner x y z, solve axes i j, edgeA_i, edgeA_j, edgeB_i, 1 / determinant,
//          triangle (1) or parallelogram (0), one-sided (1) or not (0)
//   disc: normal x y z, centre x y z, outer^2, inner^2
// and then, for every kind: object index, leaf position.
inline constexpr int kLeafSphereFields = 6;
inline constexpr int kLeafPatchFields = 16;
inline constexpr int kLeafDiscFields = 10;

// What the kernels read: plain pointers, so the units built for wide levels share no inline code.
struct LeafArrays {
    const float* spheres = nullptr;
    const float* patches = nullptr;
    const float* discs = nullptr;
    int sphereBlocks = 0, patchBlocks = 0, discBlocks = 0;
};

// The kernel's answer: the nearest accepted shape (its leaf position, -1 for none) and its distance;
// `unordered` when some shape gave a distance that is not a number (the caller then runs the scalar
// loop, whose rule for such a distance depends on the order of the tests).
struct LeafNearest {
    float distance = -1.0f;
    int32_t position = -1;
    float u = 0.0f, v = 0.0f;  // a triangle's or parallelogram's coordinates of the hit
    bool unordered = false;
};

// Nearest of the shapes for the ray (origin, unit direction): a distance counts when it is not
// negative and, on the object with index `excludeIndex`, not below 0.0001; ties go to the lower
// leaf position.
using LeafKernel = LeafNearest (*)(const LeafArrays& shapes, const Vec3& origin, const Vec3& direction,
                                   float excludeIndex);
// First of the shapes (those that cast shadows) in leaf order that blocks the ray as the occlusion
// walk decides (see traverseOcclusion): not the object with index `skipIndex`, not its own surface
// (index `excludeIndex`) closer than 0.0001, not beyond maxDistance, not behind the origin. Its
// position (-1: none) and distance (which may be a number or not).
using LeafOcclusionKernel = LeafNearest (*)(const LeafArrays& shapes, const Vec3& origin, const Vec3& direction,
                                            float maxDistance, float skipIndex, float excludeIndex);

// A leaf object tested by its scalar routine, with its position in the leaf's list.
struct LeafOther {
    SceneObject* object;
    int32_t position;
};

struct LeafShapes {
    const Accel* tree = nullptr;  // the tree whose single leaf was copied; null: no copy, the scalar walk runs
    LeafKernel kernel = nullptr;
    LeafOcclusionKernel occlusion = nullptr;
    int lanes = 1;
    LeafArrays arrays;
    std::vector<float> data;            // the blocks of every kind
    // The shapes that cast shadows, for occlusion rays, where there are at least kMinLeafShapes
    // (`blockersPacked`); otherwise those rays take the scalar walk.
    bool blockersPacked = false;
    LeafArrays blockers;
    std::vector<float> blockerData;
    std::vector<LeafOther> others;      // in leaf order
    std::vector<SceneObject*> objects;  // by leaf position
};

// Fewest shapes with a packet form that make a leaf worth copying.
inline constexpr int kMinLeafShapes = 4;

// Copies the scene's tree for rays at level `isa` (resolved: not auto) when the tree is a single leaf
// with at least kMinLeafShapes spheres, triangles, parallelograms and discs; otherwise leaves
// `shapes.tree` null. Reuses the vectors' storage from frame to frame.
void buildLeafShapes(LeafShapes& shapes, const Scene& scene, Isa isa);

// The leaf loop of the nearest-hit walk for shapes.tree's leaf: updates `nearest` (the best hit so far, of
// the free object; distance < 0 for none) as that loop does. False, with `nearest` untouched, where
// a distance that is not a number makes the answer depend on the loop's order; the caller then runs
// the scalar loop.
bool nearestInLeaf(const LeafShapes& shapes, const Vec3& origin, const Vec3& direction, HitRecord& nearest,
                   const SceneObject* excludeObject);

// The occlusion walk's answer for shapes.tree's leaf (see traverseOcclusion), where shapes.blockersPacked:
// the distance of the first blocker in leaf order, or -1.
float firstBlockerInLeaf(const LeafShapes& shapes, const Vec3& origin, const Vec3& direction, float maxDistance,
                         const SceneObject* skipObject, const SceneObject* excludeObject);

}  // namespace lumo
