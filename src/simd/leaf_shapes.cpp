#include "simd/leaf_shapes.h"

#include <algorithm>

#include <cmath>

#include "intersect/intersect.h"
#include "simd/camera_packets.h"

namespace lumo {

namespace {

// Appends a block of `lanes` lanes of `fields` floats, each lane a shape that every ray misses: a
// zero normal (patch, disc) or a radius^2 of -infinity (sphere), index -1, position +infinity.
float* appendBlock(std::vector<float>& data, int fields, int lanes, bool sphere) {
    const size_t start = data.size();
    data.resize(start + static_cast<size_t>(fields * lanes), 0.0f);
    float* block = data.data() + start;
    for (int k = 0; k < lanes; ++k) {
        if (sphere) block[3 * lanes + k] = -INFINITY;
        block[(fields - 2) * lanes + k] = -1.0f;
        block[(fields - 1) * lanes + k] = INFINITY;
    }
    return block;
}

void setLane(float* block, int lanes, int k, const float* values, int count) {
    for (int f = 0; f < count; ++f) block[f * lanes + k] = values[f];
}

// Lays out the shapes of each kind (spheres, patches, discs) in blocks of `lanes` lanes.
void fillArrays(const std::vector<LeafOther> (&kinds)[3], int lanes, std::vector<float>& data, LeafArrays& arrays) {
    const int w = lanes;
    const auto blocks = [w](size_t count) { return static_cast<int>((count + static_cast<size_t>(w) - 1) / w); };
    arrays.sphereBlocks = blocks(kinds[0].size());
    arrays.patchBlocks = blocks(kinds[1].size());
    arrays.discBlocks = blocks(kinds[2].size());
    data.clear();
    data.reserve(static_cast<size_t>(w) * static_cast<size_t>(arrays.sphereBlocks * kLeafSphereFields +
                                                              arrays.patchBlocks * kLeafPatchFields +
                                                              arrays.discBlocks * kLeafDiscFields));
    size_t offsets[3];
    const int fields[3] = {kLeafSphereFields, kLeafPatchFields, kLeafDiscFields};
    for (int kind = 0; kind < 3; ++kind) {
        offsets[kind] = data.size();
        float* block = nullptr;
        for (size_t i = 0; i < kinds[kind].size(); ++i) {
            const int k = static_cast<int>(i % static_cast<size_t>(w));
            if (k == 0) block = appendBlock(data, fields[kind], w, kind == 0);
            const SceneObject& o = *kinds[kind][i].object;
            const float index = static_cast<float>(o.index), position = static_cast<float>(kinds[kind][i].position);
            if (kind == 0) {
                const Sphere& s = o.sphere;
                const float v[kLeafSphereFields] = {s.centre.x, s.centre.y, s.centre.z, s.radiusSquared, index, position};
                setLane(block, w, k, v, kLeafSphereFields);
            } else if (kind == 1) {
                const PlanarPatch& p = o.patch;
                const int ai = kSolveAxisI[p.solveCase], aj = kSolveAxisJ[p.solveCase];
                const float v[kLeafPatchFields] = {p.normal.x, p.normal.y, p.normal.z, p.origin.x, p.origin.y,
                                                   p.origin.z, static_cast<float>(ai), static_cast<float>(aj),
                                                   isect::axisComponent(p.edgeA, ai), isect::axisComponent(p.edgeA, aj),
                                                   isect::axisComponent(p.edgeB, ai), p.inverseDeterminant,
                                                   o.type == kTriangle ? 1.0f : 0.0f,
                                                   (o.flags & kOneSided) ? 1.0f : 0.0f, index, position};
                setLane(block, w, k, v, kLeafPatchFields);
            } else {
                const Disc& d = o.disc;
                const float v[kLeafDiscFields] = {d.normal.x, d.normal.y, d.normal.z, d.centre.x, d.centre.y, d.centre.z,
                                                  d.outerRadiusSquared, d.innerRadiusSquared, index, position};
                setLane(block, w, k, v, kLeafDiscFields);
            }
        }
    }
    arrays.spheres = data.data() + offsets[0];
    arrays.patches = data.data() + offsets[1];
    arrays.discs = data.data() + offsets[2];
}

size_t shapeCount(const std::vector<LeafOther> (&kinds)[3]) { return kinds[0].size() + kinds[1].size() + kinds[2].size(); }

}  // namespace

void buildLeafShapes(LeafShapes& shapes, const Scene& scene, Isa isa) {
    shapes.tree = nullptr;
    shapes.others.clear();
    shapes.objects.clear();
    shapes.arrays = LeafArrays{};
    shapes.blockers = LeafArrays{};
    const PacketKernels kernels = packetKernels(isa);
    shapes.kernel = kernels.leaf;
    shapes.occlusion = kernels.leafOcclusion;
    shapes.lanes = std::min(isaLanes(isa), kMaxLeafLanes);
    shapes.blockersPacked = false;
    const Accel& tree = scene.tree;
    const AccelNode& root = tree.nodes[0];
    if (!shapes.kernel || !root.isLeaf()) return;

    std::vector<LeafOther> kinds[3], casting[3];  // spheres, patches, discs
    for (uint32_t i = root.objectBegin(); i < root.objectEnd(); ++i) {
        SceneObject* o = &scene.object(tree.objectIndices[i]);
        const auto position = static_cast<int32_t>(shapes.objects.size());
        shapes.objects.push_back(o);
        int kind = -1;  // tested by the scalar routine
        switch (o->type) {
            case kSphere: kind = 0; break;
            case kTriangle:
            case kParallelogram: kind = 1; break;
            case kDisc: kind = 2; break;
            case kRevolved:
            case kTorus:
            case kSphereSection:
            case kParaboloid:
            case kEllipsoidSection:
            case kDiscSector:
            case kMeshFaces: break;  // never in a flat tree's leaf
        }
        if (kind < 0) {
            shapes.others.push_back({o, position});
            continue;
        }
        kinds[kind].push_back({o, position});
        if (!(o->flags & kNoShadowCast)) casting[kind].push_back({o, position});
    }
    if (shapeCount(kinds) < kMinLeafShapes) return;
    fillArrays(kinds, shapes.lanes, shapes.data, shapes.arrays);
    shapes.blockersPacked = shapeCount(casting) >= kMinLeafShapes;
    if (shapes.blockersPacked) fillArrays(casting, shapes.lanes, shapes.blockerData, shapes.blockers);
    shapes.tree = &tree;
}

namespace {

// The leaf's objects without a packet form, in leaf order, by the scalar loop's rule, from the best
// hit so far at distance `best` (the caller's: position -1, it wins ties against the whole leaf).
// False at a distance that is not a number.
bool nearestOther(const LeafShapes& shapes, const Vec3& origin, const Vec3& direction,
                  const SceneObject* excludeObject, float& best, int32_t& bestPosition, HitRecord& otherHit) {
    HitRecord scratch{};
    for (const LeafOther& other : shapes.others) {
        intersectNearer(*other.object, origin, direction, best, scratch);
        const float t = scratch.distance;
        if (std::isnan(t)) return false;
        if (other.object == excludeObject && t < 0.0001f) continue;
        if (t < 0.0f) continue;
        if (best < 0.0f || t < best) {
            best = t;
            bestPosition = other.position;
            otherHit = scratch;
        }
    }
    return true;
}

}  // namespace

bool nearestInLeaf(const LeafShapes& shapes, const Vec3& origin, const Vec3& direction, HitRecord& nearest,
                   const SceneObject* excludeObject) {
    if (std::isnan(nearest.distance)) return false;
    const float excludeIndex = excludeObject ? static_cast<float>(excludeObject->index) : -1.0f;
    const LeafNearest packed = shapes.kernel(shapes.arrays, origin, direction, excludeIndex);
    if (packed.unordered) return false;

    float best = nearest.distance;
    int32_t bestPosition = -1;
    HitRecord otherHit;
    if (!shapes.others.empty() &&
        !nearestOther(shapes, origin, direction, excludeObject, best, bestPosition, otherHit))
        return false;
    const bool packedWins = packed.position >= 0 && (best < 0.0f || packed.distance < best ||
                                                     (packed.distance == best && packed.position < bestPosition));
    if (packedWins) {
        // The winner's record as its scalar routine writes it on a clean record: the leaf loop's
        // record differs only in fields the winner's shape leaves alone, which shading does not read.
        SceneObject* winner = shapes.objects[static_cast<size_t>(packed.position)];
        nearest = HitRecord{};
        nearest.distance = packed.distance;
        // A flat shape met at distance 0 (the ray leaves its plane) has no point or coordinates.
        if (winner->type != kSphere && packed.distance > 0.0f) {
            nearest.position = isect::pointAlong(origin, packed.distance, direction);
            if (winner->type != kDisc) nearest.u = packed.u, nearest.v = packed.v;
        }
        nearest.object = winner;
    } else if (bestPosition >= 0) {
        otherHit.object = shapes.objects[static_cast<size_t>(bestPosition)];
        nearest = otherHit;
    }
    return true;
}

float firstBlockerInLeaf(const LeafShapes& shapes, const Vec3& origin, const Vec3& direction, float maxDistance,
                         const SceneObject* skipObject, const SceneObject* excludeObject) {
    const float skipIndex = skipObject ? static_cast<float>(skipObject->index) : -1.0f;
    const float excludeIndex = excludeObject ? static_cast<float>(excludeObject->index) : -1.0f;
    const LeafNearest packed = shapes.occlusion(shapes.blockers, origin, direction, maxDistance, skipIndex, excludeIndex);
    // The objects without a packet form that come before the packed blocker, by the walk's rule.
    HitRecord scratch{};
    for (const LeafOther& other : shapes.others) {
        if (packed.position >= 0 && other.position > packed.position) break;
        const SceneObject* object = other.object;
        if ((object->flags & kNoShadowCast) || object == skipObject) continue;
        intersectBlocker(*object, origin, direction, scratch);
        const float t = scratch.distance;
        if (object == excludeObject && t < 0.0001f) continue;
        if (t > maxDistance) continue;
        if (t <= 0.0f) continue;
        return t;
    }
    return packed.position >= 0 ? packed.distance : -1.0f;
}

}  // namespace lumo
